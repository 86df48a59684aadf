#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

// The watched file's rules, without any file or window: its lines turned into queued sends (one
// per message, holding that message's recipients) and the name of the copy kept after reading.
namespace automation {

// One queued send: the recipients (numbers joined by ",") and the message they all get.
struct QueuedSend {
    QString numbers;
    QString message;
    bool operator==(const QueuedSend &) const = default;
};

// What of a line went unsent, so the error log can tell the writing program's owner.
struct Discard {
    enum class Reason {
        NoSeparator,    // a non-blank line without the separator
        NoNumbers,      // not one usable number before the separator
        InvalidNumber   // one number of an otherwise usable line
    };
    Reason reason = Reason::NoSeparator;
    QString text;       // the line, or the number as written
    QString message;     // InvalidNumber: the message the number was meant for
};

struct FileReading {
    QList<QueuedSend> sends;   // in the order reading created them
    QList<Discard> discards;
};

// An entry takes later lines' numbers while it stays within this many characters; one that
// already holds kFullEntry or more takes no more.
inline constexpr qsizetype kEntryLimit = 1000;
inline constexpr qsizetype kFullEntry = 900;

// One part of the numbers field as the gateway takes it: "-", ".", "(", ")", "+", "_" and blanks
// removed, leading zeros dropped, "34" before a nine-digit number starting with 6. Empty when
// what is left is not all digits or is shorter than 7 characters.
QString cleanNumber(QString part);

// The file's lines: UTF-8 when the bytes are valid UTF-8, else Windows-1252; CR LF, LF or CR ends
// a line.
QStringList fileLines(const QByteArray &bytes);

// Each line is numbers, the separator, the message and optionally the separator and ignored text.
// Lines with the same message (exact text) go into the same entry; a number already queued for a
// message is queued once.
FileReading groupByMessage(const QStringList &lines, const QString &separator);

// "enviados_" + "yyyy_MM_dd__HH_mm" + ".txt".
QString copyName(const QDateTime &now);
// The copy's path: in the watched file's folder (the current one for a bare file name).
QString copyPathFor(const QString &file, const QDateTime &now);

// The error log's text for a descarte (without time stamp or line end).
QString discardText(const Discard &discard);

} // namespace automation
