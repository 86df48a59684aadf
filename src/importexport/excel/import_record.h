#pragma once

#include "importexport/excel/record_sheet.h"

#include <QDate>
#include <QString>

#include <optional>

// One record of the sheet turned into a contact: cells read and cut, phones cleaned and
// normalised, the mobile number put first, the birth date checked.
namespace importexport::excel {

inline constexpr int kAnchoTexto = 250;
inline constexpr int kAnchoTelefono = 50;

struct Contacto {
    QString nombre;
    QString telefono;
    QString nombre_completo;
    QString direccion;
    QString telefono_2;
    QString comentario;
    QString f_nacimiento;     // as stored: yyyy-MM-dd, or empty
};

struct Registro {
    Contacto contacto;
    bool valido = false;      // a name and a mobile phone of more than 7 digits
};

// A phone fails the mobile test when it is not all digits, or when it is a nine-digit number that
// starts with 9 or 8 (a Spanish landline).
bool pasaPruebaMovil(const QString &phone);

// A birth date as a sheet may hold it: "dd/MM/yyyy" (what a date cell reads as), "d/M/yyyy",
// "dd-MM-yyyy", "yyyy-MM-dd", optionally followed by a time of day. Nothing for anything else.
std::optional<QDate> fechaValida(const QString &raw);
// A stored birth date (yyyy-MM-dd) as the user reads it, "dd/MM/yyyy"; other texts unchanged.
QString fechaParaMostrar(const QString &stored);

Registro leerRegistro(const RecordSheet &sheet, int record, const Columnas &columns);

// The look-ahead's test: the record holds a name and something in one of its phone cells.
bool tieneNombreYTelefono(const RecordSheet &sheet, int record, const Columnas &columns);

} // namespace importexport::excel
