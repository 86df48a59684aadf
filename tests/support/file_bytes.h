#pragma once

#include <QByteArray>
#include <QString>

// A test's look at files as bytes.
namespace testing {

// The whole file, or nothing when it cannot be read.
QByteArray readFile(const QString &path);
// Replaces the file with `bytes`; false when it could not be written whole.
bool writeFile(const QString &path, const QByteArray &bytes);
// SHA-256 of the file, empty when it cannot be read: tells whether a file was touched.
QByteArray digest(const QString &path);

} // namespace testing
