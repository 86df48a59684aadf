#pragma once

#include <QString>

// What the recipient picker reaches of the send panel: the recipients box with its Tag, the label
// of the last pick, the send button and the focus. The send panel's side implements it
// (SendPanelRecipients); tests use a plain fake.
namespace contacts::picker {

class RecipientsBox {
public:
    virtual ~RecipientsBox() = default;

    virtual QString text() const = 0;                              // the recipients box
    virtual QString tag() const = 0;                                // the box's Tag
    virtual void write(const QString &text, const QString &tag) = 0;
    virtual void setLastPick(const QString &caption) = 0;             // the last-pick label
    // The send button disabled until the next successful quote.
    virtual void disableSend() = 0;
    // The picker closes, whichever way: the box counts as left (its text cleaned, a Tag ending
    // in ",coste" asks for the new quote now); then the message box gets the focus.
    virtual void leaveRecipients() = 0;
};

} // namespace contacts::picker
