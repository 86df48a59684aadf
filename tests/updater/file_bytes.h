#pragma once

#include "support/file_bytes.h"

#include <QByteArray>
#include <QDir>
#include <QFileInfo>
#include <QString>

// Whole files in and out, for the updater's tests: the shared helpers, with the folder made first.
namespace testing {

// The file's bytes, or nothing when it cannot be read.
inline QByteArray readAll(const QString &path)
{
    return readFile(path);
}

// Writes the file whole (its folder made first); false when any of it could not be written.
inline bool write(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    return writeFile(path, bytes);
}

} // namespace testing
