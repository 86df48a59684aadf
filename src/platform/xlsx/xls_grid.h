#pragma once

#include <QString>

// How many cells the sheets of a legacy .xls declare, read before the reading library sees the file.
// freexl allocates (and fills) a grid of every sheet's declared rows by columns as soon as it opens
// a workbook, before any check of ours can run: an 8 KB file declaring 16 sheets of 65,536 × 256
// cells makes it take gigabytes. The declared sizes (each DIMENSION record of the workbook stream)
// are summed here first, walking the compound file and the records with bounds of their own, so a
// grid past the budget is refused before it is allocated.
namespace xlsx {

struct DeclaredGrid {
    bool known = false;             // the workbook stream was found and walked to its end
    qint64 cells = 0;               // rows × columns, summed over every DIMENSION record
    bool pastExcel = false;         // one declares more than 65,536 rows or 256 columns
};

DeclaredGrid declaredXlsGrid(const QString &path);

} // namespace xlsx
