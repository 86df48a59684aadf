#include "automation/watched_file.h"

#include "platform/text/cp1252.h"
#include "platform/text/digits.h"
#include "sending/phone_rules.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <map>
#include <set>
#include <unordered_map>
#include <utility>

namespace automation {
namespace {

// Adds a line's numbers to the first entry of the same message that can take them, else to a new
// entry at the end. A merged list that runs past the limit is cut at a comma: the entry keeps what
// precedes it and a new entry of the same message takes the rest, so no number is split or lost.
//
// Which entry is first is found without walking the queue: an entry below kFullEntry takes any
// list (whole or cut), one from kFullEntry up to the limit only a list short enough to join
// whole, and a longer one nothing more. The open entries of each message are kept by length class,
// each class in queue order, so a line costs a look at a hundred classes at most instead of a walk
// over every entry before it.
class SendQueue final {
public:
    explicit SendQueue(QList<QueuedSend> &sends) : m_sends(sends) {}

    void enqueue(const QString &list, const QString &message)
    {
        OpenEntries &open = m_openByMessage[message];
        const qsizetype i = firstThatTakes(open, list.size());
        if (i < 0) {
            addEntry(open, {list, message});
            return;
        }
        untrack(open, i);
        QueuedSend &entry = m_sends[i];
        const QString joined = entry.numbers + QLatin1Char(',') + list;
        if (joined.size() <= kEntryLimit) {
            entry.numbers = joined;
            track(open, i);
            return;
        }
        qsizetype comma = joined.indexOf(QLatin1Char(','), kEntryLimit - 1);
        // The last number runs across the limit to the end: cut before it instead. The comma that
        // joined the two lists lies before the limit, so there always is one.
        if (comma < 0)
            comma = joined.lastIndexOf(QLatin1Char(','), kEntryLimit - 1);
        entry.numbers = joined.left(comma);
        track(open, i);
        addEntry(open, {joined.mid(comma + 1), message});
    }

private:
    struct OpenEntries {
        std::set<qsizetype> shortOnes;                     // below kFullEntry
        std::map<qsizetype, std::set<qsizetype>> fullOnes; // by length, kFullEntry up to the limit
    };

    // The first entry in queue order that takes a list of `largo` characters; -1 when none does.
    qsizetype firstThatTakes(const OpenEntries &open, qsizetype length) const
    {
        qsizetype best = open.shortOnes.empty() ? -1 : *open.shortOnes.begin();
        // Joined whole: the entry, a comma and the list within the limit.
        const qsizetype longest = kEntryLimit - 1 - length;
        for (auto it = open.fullOnes.cbegin(); it != open.fullOnes.cend() && it->first <= longest; ++it) {
            if (best < 0 || *it->second.begin() < best)
                best = *it->second.begin();
        }
        return best;
    }

    void track(OpenEntries &open, qsizetype i)
    {
        const qsizetype n = m_sends[i].numbers.size();
        if (n < kFullEntry)
            open.shortOnes.insert(i);
        else if (n <= kEntryLimit)
            open.fullOnes[n].insert(i);
        // Longer: it takes nothing more and is forgotten here.
    }

    void untrack(OpenEntries &open, qsizetype i)
    {
        const qsizetype n = m_sends[i].numbers.size();
        if (n < kFullEntry)
            open.shortOnes.erase(i);
        else if (const auto lengthClass = open.fullOnes.find(n); lengthClass != open.fullOnes.end()) {
            lengthClass->second.erase(i);
            if (lengthClass->second.empty())
                open.fullOnes.erase(lengthClass);
        }
    }

    void addEntry(OpenEntries &open, QueuedSend entry)
    {
        m_sends.append(std::move(entry));
        track(open, m_sends.size() - 1);
    }

    QList<QueuedSend> &m_sends;
    std::unordered_map<QString, OpenEntries> m_openByMessage;
};

} // namespace

QString cleanNumber(QString part)
{
    sending::phone::removeChars(part, u"-.()+_ ");
    sending::phone::removeLeading(part, u"0");
    // Only digits: the gateway takes nothing else, and "1e9" or "&H1F" are no phone numbers.
    if (!text::isDigitsOnly(part) || part.size() < 7)
        return {};
    sending::phone::addMobilePrefix(part, u"6");
    return part;
}

QStringList fileLines(const QByteArray &bytes)
{
    QString content = text::decodeAnsiOrUtf8(bytes);
    content.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    content.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QStringList lines = content.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.constLast().isEmpty())
        lines.removeLast(); // the break that ends the last line starts no new one
    return lines;
}

FileReading groupByMessage(const QStringList &lines, const QString &separator)
{
    FileReading reading;
    SendQueue queue(reading.sends);
    // Every number queued per message, compared whole: "3460012345" is not "34600123456".
    QHash<QString, QSet<QString>> queued;

    for (const QString &line : lines) {
        if (line.trimmed().isEmpty())
            continue;
        const qsizetype cut = separator.isEmpty() ? -1 : line.indexOf(separator);
        if (cut < 0) {
            reading.discards.append({Discard::Reason::NoSeparator, line, {}});
            continue;
        }
        const QString field = line.left(cut);
        const QString rest = line.mid(cut + separator.size());
        const qsizetype secondSeparator = rest.indexOf(separator);
        const QString message = secondSeparator < 0 ? rest : rest.left(secondSeparator);

        QSet<QString> &alreadyQueued = queued[message];
        QStringList list;
        QSet<QString> inList;
        QStringList invalidParts;
        bool anyValid = false;
        for (const QString &part : field.split(QLatin1Char(','))) {
            const QString number = cleanNumber(part);
            if (number.isEmpty()) {
                if (!part.trimmed().isEmpty())
                    invalidParts.append(part.trimmed());
                continue;
            }
            anyValid = true;
            if (alreadyQueued.contains(number) || inList.contains(number))
                continue;
            inList.insert(number);
            list.append(number);
        }
        if (!anyValid) {
            reading.discards.append({Discard::Reason::NoNumbers, line, {}});
            continue;
        }
        for (const QString &part : std::as_const(invalidParts))
            reading.discards.append({Discard::Reason::InvalidNumber, part, message});
        if (list.isEmpty())
            continue;
        alreadyQueued.unite(inList);
        queue.enqueue(list.join(QLatin1Char(',')), message);
    }
    return reading;
}

QString copyName(const QDateTime &now)
{
    return QStringLiteral("enviados_") + now.toString(QStringLiteral("yyyy_MM_dd__HH_mm")) + QStringLiteral(".txt");
}

QString copyPathFor(const QString &file, const QDateTime &now)
{
    return QFileInfo(file).absoluteDir().filePath(copyName(now));
}

QString discardText(const Discard &discard)
{
    switch (discard.reason) {
    case Discard::Reason::NoSeparator:
        return QStringLiteral("Línea sin separador, no enviada: ") + discard.text;
    case Discard::Reason::NoNumbers:
        return QStringLiteral("Línea sin ningún número de teléfono válido, no enviada: ") + discard.text;
    case Discard::Reason::InvalidNumber:
        return QStringLiteral("Número de teléfono no válido, no enviado: ") + discard.text
               + QStringLiteral(". Texto del mensaje: ") + discard.message;
    }
    return {};
}

} // namespace automation
