#pragma once

#include "sending/contact_lookup.h"
#include "sending/keywords.h"

#include "platform/net/form_body.h"

#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <optional>

// The per-recipient values of the contact
// keywords of a message, and the pairs that carry them to the gateway.
namespace sending {

// Asks the user for one value: (prompt, title, default answer) -> the answer, nothing on Cancel.
using AskValue = std::function<std::optional<QString>(const QString &prompt, const QString &title,
                                                      const QString &defaultAnswer)>;

enum class ValuesStatus { Ok, Cancelled };

struct PersonalValues {
    ValuesStatus status = ValuesStatus::Ok;
    // For each contact field, every recipient's value in recipient order joined by "|"; empty
    // when the message does not hold the field's keyword. A "|" inside a value would shift every
    // later recipient's value, so it travels as "¦" (the broken bar, which the code page has).
    std::array<QString, kContactFieldCount> values;
};

// `numbers` in recipient order (the same number twice is asked twice);
// `book` holds the recipients' contacts (one query for them all, loadContacts()). A contact
// lacking a value, and every confirmation form, asks through `ask`; Cancel stops everything.
PersonalValues collectPersonalValues(const QString &message, const QStringList &numbers, const ContactBook &book,
                                      const AskValue &ask);

// The value a recipient's answer or stored field travels as.
QString safeValue(QString value);

// The send's extra pairs: "replace_vars" with the keywords found joined by "|", then "var1", "var2" ...
// with their value lists, in the send's keyword order (not the message's). The birth date is
// posted under each spelling the message holds. Empty when the message holds no contact keyword.
net::FormFields sendVariables(const QString &message, const PersonalValues &values);

// The message with each keyword found replaced by its value list (the one-recipient preview).
QString personalizedPreview(const QString &message, const PersonalValues &values);

} // namespace sending
