#include "sending/recipients.h"

#include "sending/phone_rules.h"

#include <QSet>

#include <unordered_set>

namespace sending {
namespace {

bool startsWithAny(QStringView text, QStringView a, QStringView b)
{
    return text.startsWith(a) || text.startsWith(b);
}

// Two numbers written without a separator. Character positions below count from 1.
bool splitJoined(QString &num, QStringList &entries)
{
    if (num.size() <= 16)
        return false;
    const QStringView view(num);
    if (num.startsWith(QLatin1Char('6')) || (num.startsWith(QLatin1Char('7')) && num.size() >= 18)) {
        const QChar tenth = num.at(9);
        if (tenth == QLatin1Char('6') || tenth == QLatin1Char('7') || startsWithAny(view.mid(9, 3), u"346", u"347")) {
            entries.append(num.mid(9));
            num = QStringLiteral("34") + num.left(9);
            return true;
        }
    } else if (startsWithAny(view, u"346", u"347")) {
        const QChar twelfth = num.at(11);
        if (twelfth == QLatin1Char('6') || twelfth == QLatin1Char('7') || startsWithAny(view.mid(11, 3), u"346", u"347")) {
            entries.append(num.mid(11));
            num = num.left(11);
            return true;
        }
    }
    return false;
}

// The numbers kept so far, compared whole. Up to 18 digits a number is its own integer key
// (no leading zeros remain, so the key is exact); longer ones are kept as text.
class SeenNumbers final {
public:
    explicit SeenNumbers(qsizetype expected) { m_short.reserve(static_cast<std::size_t>(expected)); }
    // True when `num` was not there yet.
    bool insert(const QString &num)
    {
        if (num.size() <= 18) {
            bool ok = false;
            const qint64 key = num.toLongLong(&ok);
            if (ok)
                return m_short.insert(key).second;
        }
        if (m_long.contains(num))
            return false;
        m_long.insert(num);
        return true;
    }

private:
    std::unordered_set<qint64> m_short;
    QSet<QString> m_long;
};

} // namespace

RecipientsResult cleanRecipients(const QString &box)
{
    // Every separator a paste may bring (tab, line breaks, ";") becomes a comma, everything but
    // digits goes, in one pass; empty entries between separators drop out below.
    QString text;
    text.reserve(box.size());
    for (const QChar c : box) {
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            text.append(c);
        else if (c == QLatin1Char(',') || c == QLatin1Char(';') || c == QLatin1Char('\t') || c == QLatin1Char('\r')
                 || c == QLatin1Char('\n'))
            text.append(QLatin1Char(','));
    }
    QStringList entries = text.split(QLatin1Char(','), Qt::SkipEmptyParts);
    text = entries.join(QLatin1Char(','));

    RecipientsResult result;
    if (entries.isEmpty()) {
        result.text = text;
        return result;
    }
    const qsizetype typed = entries.size();

    SeenNumbers seen(entries.size());
    for (qsizetype i = 0; i < entries.size(); ++i) {
        QString num = entries.at(i);
        phone::removeLeading(num, u"0");
        if (splitJoined(num, entries))
            entries[i] = num;
        if (num.size() > 7) {
            phone::addMobilePrefix(num, u"6");
            if (seen.insert(num)) {
                result.kept.append(num);
            }
        } else {
            result.rejected.append(num);
        }
    }

    result.text = result.kept.isEmpty() ? text : result.kept.join(QLatin1Char(','));
    result.sendEnabled = !result.kept.isEmpty();
    if (result.rejected.isEmpty()) {
        result.status = RecipientsStatus::Valid;
        result.askQuote = true;
        result.offerUnknown = result.text.size() < kUnknownOfferMaxLength;
        return result;
    }
    if (typed == 1) {
        result.status = RecipientsStatus::SingleInvalid;
        result.messageTitle = QStringLiteral("Destinatario no valido");
        result.messageText = QStringLiteral("El telefono no es válido. Por favor, compruébelo.");
    } else {
        result.status = RecipientsStatus::SomeInvalid;
        result.messageTitle = QStringLiteral("Algún destinatario no valido");
        result.messageText = QStringLiteral("Alguno de los teléfonos no es válido. Por favor, revise los telefonos: ")
                             + result.rejected.join(QLatin1Char(',')) + QLatin1Char('.');
    }
    return result;
}

LeaveAction recipientsLeaveAction(const QString &text, const QString &tag)
{
    if (text == tag)
        return LeaveAction::Nothing;
    if (tag.contains(QStringLiteral(",coste")) && tag == text + QStringLiteral(",coste"))
        return text.size() > 6 ? LeaveAction::QuoteOnly : LeaveAction::Nothing;
    return LeaveAction::Process;
}

} // namespace sending
