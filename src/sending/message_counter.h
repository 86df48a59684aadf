#pragma once

#include "sending/contact_lookup.h"
#include "sending/message_parts.h"

#include <QDateTime>
#include <QString>

#include <optional>

// The send panel's counter: the length of the message as it will go out, its parts and limit,
// and the cost of the send scaled to those parts.
namespace sending {

struct CounterResult {
    qsizetype length = 0;   // what the characters label shows
    SmsParts parts;         // partsFor() that length; the limit label shows parts.limit
    int chargedParts = 0;   // 0 for an empty message
};

// True when the message holds a contact keyword the counter sizes from the recipients' contacts,
// that is, when the contact book must be asked (and only then, and only with recipients).
bool needsLongestValues(const QString &message);

// `message` is the message box's text with line breaks as CR LF (each
// counts 2). `sendTime` is the send-time box; date keywords are counted as filled in from it. Contact
// keywords count as many characters as the longest value among the recipients (`longest`,
// nothing when the recipients box is empty, which counts them as nothing).
CounterResult countCharacters(const QString &message, const QString &sendTime, const QDateTime &now,
                                  const std::optional<LongestValues> &longest = std::nullopt);

// The cost label. The gateway quotes the cost of the message as it stood when the quote was
// asked; while the user writes on, the quote is scaled by the parts now against the parts then.
// An unknown quote stays unknown rather than reading as a free send.
class CostModel final {
public:
    void setChecking();
    void setUnknown();
    // A quote figure as the gateway wrote it ("1,5", "0.825") for a message of `partsAtQuote`.
    void setQuote(const QString &figure, int partsAtQuote);
    void setParts(int chargedParts);

    bool known() const { return m_state == State::Quoted || m_state == State::Initial; }
    std::optional<double> cost() const;
    // The cost as the client reckons it for a send now: cost() while known, else the last quote
    // scaled to the parts (a new quote awaited, or one that could not be read).
    double reckoned() const;
    QString label() const;

private:
    enum class State { Initial, Checking, Unknown, Quoted };
    State m_state = State::Initial;
    QString m_figure = QStringLiteral("1");
    double m_quote = 1.0;
    int m_quoteParts = 1;
    int m_parts = 1;
};

// The cost label while the recipients box is empty: one credit per part of the message.
QString costWithoutRecipients(qsizetype messageLength);

// A credit amount written for the labels: at most six decimals, `decimalComma` picking ",".
QString formatCredits(double value, bool decimalComma);

} // namespace sending
