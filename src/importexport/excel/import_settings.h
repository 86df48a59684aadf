#pragma once

#include "importexport/excel/record_sheet.h"

#include <QString>
#include <QVariant>

#include <array>

namespace db { class Connection; struct Result; }

// The remembered import settings (table Parametros_Excel): the last workbook and the list index
// chosen for each field. Every update has no WHERE: all rows keep the same values.
namespace importexport::excel {

// What a fresh row remembers as the last workbook.
inline const QString kInitialPath = QStringLiteral("c:\\");

struct ImportSettings {
    bool hasRow = false;
    QString path;
    std::array<QVariant, kFieldCount> indices;     // as stored: null, empty or a number as text
};

ImportSettings readSettings(db::Connection &connection, db::Result *result = nullptr);
// Puts in the first row (its path 'c:\') when the table is empty.
db::Result ensureRow(db::Connection &connection);
db::Result savePath(db::Connection &connection, const QString &path);
db::Result saveIndices(db::Connection &connection, const std::array<int, kFieldCount> &indices);

} // namespace importexport::excel
