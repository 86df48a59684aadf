#pragma once

#include <QString>

// The phone cleaning of the two Access imports. Each differs from the Excel import's normaliser on
// purpose: existing contact lists were filled by these rules and are matched by exact text.
namespace importexport::access {

// Contacts from another Access table: outer blanks trimmed, then leading "0" and "+" dropped,
// "34" put before nine characters starting with 6, and anything that is not all digits refused
// (returns ""). Blanks or hyphens between the digits therefore refuse the number.
QString cleanAccessPhone(const QString &raw);

// Mobile numbers of a customer database: the first 48 characters, without ".", ",", blanks, "-",
// "+" and the middle dot, leading zeros dropped, "34" before nine characters starting with 6.
// No other test: whatever remains is the phone, the empty text included.
QString cleanCustomerPhone(const QString &raw);

} // namespace importexport::access
