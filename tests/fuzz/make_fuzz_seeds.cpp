// Writes the starting workbooks of the .xlsx and .xls targets into the folder given, made by the
// project's own writer and the test suite's .xls builder, so no binary sample lives in the tree.
#include "platform/xlsx/workbook_writer.h"
#include "platform/xlsx/xls_rows.h"
#include "biff8_file.h"

#include <QDate>
#include <QDir>
#include <QFile>

#include <cstdio>

namespace {

bool writeFile(const QString &path, const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return false;
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "Uso: make_fuzz_seeds <carpeta-xlsx> <carpeta-xls>\n");
        return 2;
    }
    const QDir xlsxFolder(QString::fromLocal8Bit(argv[1]));
    const QDir xlsFolder(QString::fromLocal8Bit(argv[2]));
    QDir().mkpath(xlsxFolder.path());
    QDir().mkpath(xlsFolder.path());

    xlsx::Sheet contacts(QStringLiteral("Contactos"));
    contacts.setTextRow(1, 1, {QStringLiteral("Nombre"), QStringLiteral("Teléfono"), QStringLiteral("Nacimiento")});
    contacts.setTypedRow(2, 1, {QStringLiteral("Ana Núñez"), QStringLiteral("600111222")});
    contacts.setDate(2, 3, QDate(1980, 2, 29));
    contacts.setTypedRow(3, 1, {QStringLiteral("Jordi"), QStringLiteral("+34 611 222 333")});
    contacts.setNumber(4, 2, 34622333444.0);
    xlsx::Sheet second(QStringLiteral("Otra hoja"));
    second.setText(1, 1, QStringLiteral("texto"));
    second.merge({1, 1, 2, 2});
    bool ok = xlsx::save(xlsxFolder.filePath(QStringLiteral("contactos.xlsx")), {contacts}).status
              == xlsx::SaveResult::Status::Ok;
    ok = xlsx::save(xlsxFolder.filePath(QStringLiteral("dos_hojas.xlsx")), {contacts, second}).status
             == xlsx::SaveResult::Status::Ok
         && ok;

    // The builder's simple layout needs a workbook stream of at least 4096 bytes; its string table
    // keeps each distinct text once.
    const QString padding(2500, QLatin1Char('x'));
    const QString morePadding(2500, QLatin1Char('y'));
    const QList<xlstest::XlsSheet> sheets{
        {QStringLiteral("Contactos"),
         {{0, 0, QStringLiteral("Nombre")}, {0, 1, QStringLiteral("Teléfono")}, {1, 0, QStringLiteral("Ana")},
          {1, 1, 600111222.0}, {2, 0, padding}, {2, 1, QStringLiteral("+34 611 222 333")}, {3, 0, morePadding}}},
        {QStringLiteral("Hoja2"), {{0, 0, 1.5}, {3, 2, padding}}}};
    ok = writeFile(xlsFolder.filePath(QStringLiteral("contactos.xls")), xlstest::xlsFile(sheets)) && ok;
    ok = writeFile(xlsFolder.filePath(QStringLiteral("una_hoja.xls")), xlstest::xlsFile({sheets.first()})) && ok;

    // What the .xls reading helper hands back for a workbook like the ones above.
    const auto cell = [](xlsx::ReadCell::Kind kind, const QString &text, double number = 0) {
        xlsx::ReadCell c;
        c.kind = kind;
        c.text = text;
        c.number = number;
        return c;
    };
    QByteArray records = xlsx::xlsrows::header();
    records += xlsx::xlsrows::sheet(QStringLiteral("Contactos"));
    records += xlsx::xlsrows::cell(1, 1, cell(xlsx::ReadCell::Kind::Text, QStringLiteral("Nombre")));
    records += xlsx::xlsrows::cell(1, 2, cell(xlsx::ReadCell::Kind::Text, QStringLiteral("Teléfono")));
    records += xlsx::xlsrows::cell(2, 1, cell(xlsx::ReadCell::Kind::Text, QStringLiteral("Ana Núñez")));
    records += xlsx::xlsrows::cell(2, 2, cell(xlsx::ReadCell::Kind::Number, QStringLiteral("600111222"), 600111222.0));
    records += xlsx::xlsrows::cell(2, 3, cell(xlsx::ReadCell::Kind::Date, QStringLiteral("29/02/1980"), 29280.0));
    records += xlsx::xlsrows::sharedText(QStringLiteral("Cliente habitual"));
    records += xlsx::xlsrows::sharedCell(2, 4, 0);
    records += xlsx::xlsrows::sharedCell(3, 4, 0);
    records += xlsx::xlsrows::sheet(QStringLiteral("Hoja2"));
    records += xlsx::xlsrows::cell(1, 1, cell(xlsx::ReadCell::Kind::Number, QStringLiteral("1.5"), 1.5));
    records += xlsx::xlsrows::end(xlsx::ReadBook::Status::Ok);
    ok = writeFile(xlsFolder.filePath(QStringLiteral("registros.bin")), records) && ok;
    ok = writeFile(xlsFolder.filePath(QStringLiteral("vacio.bin")),
                   xlsx::xlsrows::header() + xlsx::xlsrows::end(xlsx::ReadBook::Status::Ok))
         && ok;
    return ok ? 0 : 1;
}
