#pragma once

#include "sending/phone_rules.h"

// The stored form of a phone number. Every contact is found again by the exact text of
// Agenda.telefono, so the Excel import writes the same spelling the contact book does.
namespace importexport {

using sending::phone::normalizePhone;
using sending::phone::normalizedPhone;

} // namespace importexport
