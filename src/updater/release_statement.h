#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

// What the maker signs for a release: not only the file's bytes but which release the file is, so
// that nobody between the updater and the download folder can pass off an older release, or
// another of the maker's programs, as the new client.
//
// The statement is five lines, each "key=value" and a line feed, in this order and nothing else:
//
//   producto=Brisanta
//   archivo=Brisanta
//   version=2.35
//   bytes=123456
//   sha256=<the file's SHA-256 in 64 lower-case hexadecimal digits>
namespace updater {

struct ReleaseStatement {
    QString product;
    QString file;      // the file's name in the download folder
    QString version;   // compared as text, as the client's version check compares versions
    qint64 size = 0;
    QByteArray sha256; // 32 raw bytes
};

// No statement of the form above is longer.
inline constexpr qsizetype kStatementSizeLimit = 512;

// The statement of `bytes` published as `file`.
ReleaseStatement describeRelease(const QString &product, const QString &file, const QString &version,
                                 const QByteArray &bytes);

// The statement as it is signed and published.
QByteArray composeStatement(const ReleaseStatement &statement);

// The statement the text holds; nothing for any text that is not exactly of the form above
// (a missing, repeated, unknown or reordered line, a value out of its form, a longer text).
std::optional<ReleaseStatement> parseStatement(QByteArrayView text);

} // namespace updater
