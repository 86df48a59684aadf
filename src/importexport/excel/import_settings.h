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
inline const QString kRutaInicial = QStringLiteral("c:\\");

struct ImportSettings {
    bool hasRow = false;
    QString ruta;
    std::array<QVariant, kCampos> indices;     // as stored: null, empty or a number as text
};

ImportSettings leerAjustes(db::Connection &connection, db::Result *result = nullptr);
// Puts in the first row (its path 'c:\') when the table is empty.
db::Result asegurarFila(db::Connection &connection);
db::Result guardarRuta(db::Connection &connection, const QString &path);
db::Result guardarIndices(db::Connection &connection, const std::array<int, kCampos> &indices);

} // namespace importexport::excel
