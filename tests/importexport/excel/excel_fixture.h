#pragma once

#include "importexport/excel/record_sheet.h"
#include "platform/xlsx/read_book.h"
#include "platform/xlsx/workbook_writer.h"
#include "support/fresh_database.h"

#include <QStringList>
#include <QTest>

#include <initializer_list>

// A fresh database in a temporary program folder, and workbooks written there with the project's
// own writer and read back the way the import reads them.
namespace exceltest {

class Database final : public testing::FreshDatabase {
public:
    qint64 addContact(const QVariantList &values)
    {
        const db::Result r = connection.execute(
            QStringLiteral("INSERT INTO Agenda (nombre,telefono,nombre_completo,direccion,telefono_2,comentario,"
                           "f_nacimiento,grupos_sid) VALUES (?1,?2,?3,?4,?5,?6,?7,?8)"),
            values);
        if (!r.ok())
            qWarning() << r.error;
        return connection.lastInsertRowId();
    }

    qint64 addGroup(const QString &name)
    {
        connection.execute(QStringLiteral("INSERT INTO Grupos (nombre) VALUES (?1)"), {name});
        return connection.lastInsertRowId();
    }

    qint64 count(const QString &where = {}, const QVariantList &values = {})
    {
        return connection.scalar(QStringLiteral("SELECT COUNT(*) FROM Agenda ") + where, values).toLongLong();
    }

    // One column of the contact with that phone.
    QVariant field(const QString &phone, const QString &column)
    {
        return connection.scalar(QStringLiteral("SELECT ") + column + QStringLiteral(" FROM Agenda WHERE telefono=?1"),
                               {phone});
    }
};

// Rows of text from row `firstRow`, column A on; an empty string leaves the cell empty, a text
// that looks like a number is stored as one (as typing it into Excel would).
inline xlsx::Sheet sheetOf(const QList<QStringList> &rows, int firstRow = 1, int firstColumn = 1)
{
    xlsx::Sheet sheet;
    for (int r = 0; r < rows.size(); ++r)
        for (int c = 0; c < rows.at(r).size(); ++c)
            if (!rows.at(r).at(c).isEmpty())
                sheet.setTyped(firstRow + r, firstColumn + c, rows.at(r).at(c));
    return sheet;
}

inline QString saveBook(const testing::TempHome &home, const xlsx::Sheet &sheet,
                        const QString &name = QStringLiteral("contactos.xlsx"))
{
    const QString path = home.file(name);
    const xlsx::SaveResult saved = xlsx::save(path, {sheet});
    if (!saved.ok())
        qWarning() << saved.detail;
    return path;
}

inline importexport::excel::RecordSheet readBack(const testing::TempHome &home, const xlsx::Sheet &sheet,
                                                 bool swapped = false)
{
    const xlsx::ReadBook book = xlsx::readWorkbook(saveBook(home, sheet), xlsx::ReadScope::FirstSheet);
    if (!book.ok())
        qWarning() << book.message;
    return importexport::excel::RecordSheet(book.sheets.value(0), swapped);
}

} // namespace exceltest
