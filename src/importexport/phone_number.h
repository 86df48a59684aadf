#pragma once

#include <QString>

// The stored form of a phone number. Every contact is found again by the exact text of
// Agenda.telefono, so every road that brings numbers in agrees on one spelling.
namespace importexport {

// Removes "+", "(", ")", "-", ".", blanks and ","; puts "34" before a nine-character number that
// starts with 6 or 7 (a Spanish mobile without its country code); then drops leading zeros.
// Anything else (letters, tabs, the non-breaking space) stays: callers that need digits test the
// result themselves. Rewrites `telefono` in place and returns it.
QString f_normalizar_telefono(QString &telefono);

// The same, for a value the caller keeps.
inline QString normalizarTelefono(QString telefono)
{
    return f_normalizar_telefono(telefono);
}

} // namespace importexport
