#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <QtGlobal>

#include <cstddef>
#include <cstdint>

// What every fuzz target shares: quiet Qt logging, the input as bytes or text, and a scratch file
// for the readers that only take a path.
namespace fuzz {

inline QByteArray bytesOf(const uint8_t *data, size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
}

// The input read as UTF-8 (invalid sequences become U+FFFD), as replies and files reach the parsers.
inline QString textOf(const uint8_t *data, size_t size)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
}

// The input split at its first line feed: a short header (a content type, a delimiter...) and the rest.
inline std::pair<QByteArray, QByteArray> splitFirstLine(const QByteArray &input)
{
    const qsizetype end = input.indexOf('\n');
    if (end < 0)
        return {QByteArray(), input};
    return {input.left(end), input.mid(end + 1)};
}

// The readers log through Qt; millions of runs must not flood the terminal.
inline void quietQt()
{
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
}

// One file per process, rewritten for every input, in a folder removed at exit.
inline QString scratchFile(const QByteArray &bytes, const QString &name)
{
    static QTemporaryDir folder;
    const QString path = QDir(folder.path()).filePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
    return path;
}

} // namespace fuzz
