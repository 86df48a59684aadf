#pragma once

#include <QString>
#include <QStringView>

// The steps every way of bringing phone numbers in is built from. Contacts are found again by the
// exact text of Agenda.telefono, so each way keeps its own documented order of these steps (the
// contacts it stored are matched by it); the steps themselves are written once here.
namespace sending::phone {

// Removes every occurrence of each character of `chars`.
void removeChars(QString &phone, QStringView chars);
// Drops the leading characters that are any of `chars` ("0", or "0" and "+").
void removeLeading(QString &phone, QStringView chars);
// Puts "34" before a nine-character number whose first character is one of `firstChars`: a
// Spanish mobile written without its country code.
void addMobilePrefix(QString &phone, QStringView firstChars);

// The stored form of a phone (`telefono_normalizado`) that the contact
// book and the Excel import share. Removes every "+", "(", ")", "-", ".", blank and ","; puts "34"
// before a nine-character text that starts with 6 or 7; then drops leading zeros. Nothing else is
// removed (letters, tabs, non-breaking spaces stay): callers that need digits test the result.
// Rewrites `phone` in place and returns the result.
QString normalizePhone(QString &phone);

// The same, for a value the caller keeps.
inline QString normalizedPhone(QString phone)
{
    return normalizePhone(phone);
}

} // namespace sending::phone
