#pragma once

#include "support/file_bytes.h"

#include <QByteArray>
#include <QDir>
#include <QFileInfo>
#include <QString>

// Whole files written for the updater's tests: the shared helper, with the folder made first.
namespace testing {

// Writes the file whole (its folder made first); false when any of it could not be written.
inline bool write(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    return writeFile(path, bytes);
}

} // namespace testing
