#pragma once

#include <QHash>
#include <QString>

// A workbook read back before it takes the place of the file the user chose. The library that
// writes workbooks does not report every failed write (a full disk, a quota, a file-size limit):
// it may close a package cut short, or whole but holding a sheet cut short. Reading the package
// back finds both: every part must inflate to its declared size and checksum, and each sheet must
// reach the last row that was written into it.
namespace xlsx {

struct PackageCheck {
    bool ok = false;
    QString detail;      // what was wrong, for logs and tests
};

// `lastRows`: per worksheet part ("xl/worksheets/sheet1.xml"), the last row (from 1) that holds a
// value; a sheet without values is not asked about.
PackageCheck checkPackage(const QString &path, const QHash<QString, int> &lastRows);

} // namespace xlsx
