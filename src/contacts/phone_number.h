#pragma once

#include "sending/phone_rules.h"

#include <QString>

// Phone numbers as the contact book stores and checks them.
namespace contacts {

// The stored form of a phone, the same one the Excel import writes.
using sending::phone::normalizePhone;
using sending::phone::normalizedPhone;

// The contact editor's check of the mobile box when it loses the focus.
struct MobileCheck {
    enum class Status {
        Empty,          // nothing typed: nothing happens
        Valid,         // kept as it is (trimmed)
        PrefixAdded, // nine digits starting with 6: "34" put in front, the user is told
        Invalid        // not numeric or shorter than 7: the user is told, the box keeps its text
    };
    Status status = Status::Empty;
    QString text;      // what the box holds afterwards
};
MobileCheck checkMobile(const QString &text);

inline constexpr auto kInvalidPhoneMessage = "El número de teléfono no es válido. Por favor, revíselo.";
inline constexpr auto kInvalidPhoneTitle = "Teléfono incorrecto";
inline constexpr auto kPrefixAddedMessage =
    "Le recordamos que los destinatarios deben llevar el prefijo internacional. El prefijo para móviles "
    "españoles es 34, y ha sido incluido automáticamente en el número destinatario. Por favor, revíselo antes "
    "de enviar el mensaje.";
inline constexpr auto kPrefixAddedTitle = "Prefijo internacional";

} // namespace contacts
