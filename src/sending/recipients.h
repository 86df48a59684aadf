#pragma once

#include <QString>
#include <QStringList>

// The recipients box: whatever the user typed or pasted turned into a clean recipient list
// (digits only, joined by "," without blanks, no comma at either end).
namespace sending {

// The unknown-number offer only runs for boxes shorter than this.
inline constexpr qsizetype kUnknownOfferMaxLength = 30000;

enum class RecipientsStatus {
    Empty,          // nothing left: send disabled
    Valid,          // every entry kept (or a duplicate): ask for a quote
    SomeInvalid,    // several entries typed, some rejected: the list box
    SingleInvalid,  // one entry typed and it was rejected: the single-number box
};

struct RecipientsResult {
    RecipientsStatus status = RecipientsStatus::Empty;
    QString text;               // the box's new text
    QStringList kept;           // the valid numbers, in order of acceptance
    QStringList rejected;       // the invalid entries (leading zeros removed)
    bool sendEnabled = false;   // true exactly when something was kept
    bool askQuote = false;      // no invalid entry and something kept
    bool offerUnknown = false;  // the unknown-number offer may run (size limit)
    QString messageTitle;       // empty: no box
    QString messageText;
};

// The whole cleaning of the box. Duplicates are compared as whole numbers: a number contained in
// another is a different number. Which box reports invalid entries follows the number of entries
// typed, and the send stays possible whenever a valid number is kept.
RecipientsResult cleanRecipients(const QString &box);

enum class LeaveAction { Nothing, QuoteOnly, Process };

// Leaving the box: nothing when the text is as last processed; only a quote when a picker left
// the text followed by ",coste" in the tag (and the text is longer than 6 characters); otherwise
// the whole cleaning.
LeaveAction recipientsLeaveAction(const QString &text, const QString &tag);

} // namespace sending
