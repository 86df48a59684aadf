#pragma once

#include "platform/xlsx/sheet.h"

#include <QList>
#include <QString>

// Saves sheets as an .xlsx workbook. The workbook is written beside the target under a temporary
// name and only then put in its place, so a failed save never leaves a half-written file behind
// nor destroys a workbook that was there before.
namespace xlsx {

struct SaveResult {
    enum class Status { Ok, FolderMissing, NotWritable, Failed };
    Status status = Status::Ok;
    QString message;        // for the user, in Spanish; empty when saved
    QString detail;         // the library's own words, for logs and tests
    bool ok() const { return status == Status::Ok; }
};

SaveResult save(const QString &path, const QList<Sheet> &sheets);

// The name a file picker's answer is saved under: ".xlsx" is added when the user left it out.
QString withXlsxSuffix(const QString &path);

} // namespace xlsx
