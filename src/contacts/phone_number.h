#pragma once

#include "sending/phone_rules.h"

#include <QString>

// Phone numbers as the contact book stores and checks them.
namespace contacts {

// `f_normalizar_telefono`: the stored form of a phone, the same one the Excel import writes.
using sending::phone::f_normalizar_telefono;
using sending::phone::normalizarTelefono;

// The numeric test of the editor's boxes: a non-empty run of the digits 0-9, nothing else.
inline bool esNumerico(const QString &text)
{
    return sending::phone::soloDigitos(text);
}

// The contact editor's check of the mobile box when it loses the focus.
struct ComprobacionMovil {
    enum class Status {
        Vacio,          // nothing typed: nothing happens
        Valido,         // kept as it is (trimmed)
        PrefijoAnadido, // nine digits starting with 6: "34" put in front, the user is told
        Invalido        // not numeric or shorter than 7: the user is told, the box keeps its text
    };
    Status estado = Status::Vacio;
    QString texto;      // what the box holds afterwards
};
ComprobacionMovil comprobarMovil(const QString &text);

inline constexpr auto kTelefonoIncorrecto = "El número de teléfono no es válido. Por favor, revíselo.";
inline constexpr auto kTituloTelefonoIncorrecto = "Teléfono incorrecto";
inline constexpr auto kPrefijoInternacional =
    "Le recordamos que los destinatarios deben llevar el prefijo internacional. El prefijo para móviles "
    "españoles es 34, y ha sido incluido automáticamente en el número destinatario. Por favor, revíselo antes "
    "de enviar el mensaje.";
inline constexpr auto kTituloPrefijoInternacional = "Prefijo internacional";

} // namespace contacts
