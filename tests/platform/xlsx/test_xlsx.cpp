#include "platform/xlsx/column_width.h"
#include "platform/xlsx/package_check.h"
#include "platform/xlsx/read_book.h"
#include "platform/xlsx/sheet.h"
#include "platform/xlsx/workbook_writer.h"
#include "platform/xlsx/xls_reader.h"
#include "platform/xlsx/xls_rows.h"
#include "platform/xlsx/xlsx_stream.h"
#include "platform/xlsx/xml_reader.h"
#include "support/temp_home.h"
#include "platform/xlsx/biff8_file.h"

#include <QFile>
#include <QtEndian>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

using namespace xlsx;

namespace {

void writeFile(const QString &path, const QByteArray &data)
{
    QFile out(path);
    QVERIFY(out.open(QIODevice::WriteOnly));
    QCOMPARE(out.write(data), data.size());
}

QByteArray readFile(const QString &path)
{
    QFile in(path);
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
}

// Runs a short Python script with openpyxl's interpreter; false (and a reason) when it is missing.
bool runPython(const QString &script, const QStringList &arguments, QString &why)
{
    const QString python = QStringLiteral("/usr/bin/python3");
    if (!QFileInfo(python).isExecutable()) {
        why = QStringLiteral("no /usr/bin/python3");
        return false;
    }
    QProcess process;
    process.start(python, QStringList{QStringLiteral("-c"), script} + arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0) {
        why = QStringLiteral("python not usable: ") + QString::fromUtf8(process.readAllStandardError());
        return false;
    }
    return true;
}

// Writes `out`: the workbook `good` with its part whose name ends in `suffix` replaced by the bytes
// of a Python expression (deflated).
bool replacePart(const QString &good, const QString &suffix, const QString &python, const QString &out, QString &why)
{
    return runPython(QStringLiteral("import sys, zipfile\n"
                                    "body = %1\n"
                                    "with zipfile.ZipFile(sys.argv[2], 'w', zipfile.ZIP_DEFLATED) as z, zipfile.ZipFile(sys.argv[1]) as g:\n"
                                    "    for i in g.infolist():\n"
                                    "        data = g.read(i.filename)\n"
                                    "        if i.filename.endswith('%2'):\n"
                                    "            data = body\n"
                                    "        z.writestr(i, data, zipfile.ZIP_DEFLATED)\n")
                         .arg(python, suffix),
                     {good, out}, why);
}

// A workbook of one sheet with a shared text, to have its parts replaced.
QString goodWorkbook(const testing::TempHome &home)
{
    Sheet sheet;
    sheet.setText(1, 1, QStringLiteral("Nombre"));
    sheet.style(1, 1).bold = true;
    const QString good = home.file(QStringLiteral("bueno.xlsx"));
    return save(good, {sheet}).ok() ? good : QString();
}

// `name` in the test's folder: a one-sheet workbook with its part whose name ends in `suffix`
// replaced by the bytes of a Python expression; empty (and why) when it could not be made.
QString withPart(const testing::TempHome &home, const QString &suffix, const QString &python, const QString &name,
                 QString &why)
{
    const QString good = goodWorkbook(home);
    const QString path = home.file(name);
    if (good.isEmpty())
        why = QStringLiteral("the workbook to start from could not be written");
    return !good.isEmpty() && replacePart(good, suffix, python, path, why) ? path : QString();
}

// Counts the cells of a sheet as they stream, holding none.
class CellCounter final : public SheetVisitor {
public:
    bool cell(const StreamedCell &) override
    {
        ++count;
        return true;
    }
    qint64 count = 0;
};

} // namespace

class TestXlsx final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void typedValue_data();
    void typedValue();
    void vbColoursAreBlueGreenRed();
    void columnNames();
    void roundTripKeepsTextsAndNumbers();
    void roundTripKeepsLooksMergesAndWidths();
    void fittedWidthsFollowTheLongestText();
    void overlongTextIsCutToExcelsLimit();
    void unwritablePathsGiveASpanishMessageAndLoseNothing();
    void suffixIsAddedWhenMissing();
    void unreadableFilesAreReported();
    void damagedPackagesAreReportedNotCrashedOn();
    void textsThatAreNoUtf8AreRefused();
    void positionsPastTheSheetsEndAreRefused();
    void workbooksPastTheBoundsAreRefused();
    void everythingHeldIsPaidFromTheBudget_data();
    void everythingHeldIsPaidFromTheBudget();
    void negativeTextCountsAreOnlyAHint_data();
    void negativeTextCountsAreOnlyAHint();
    void partsDeclaringHugeSizesAreRefused();
    void xlsRecordsAreCheckedBeforeUse();
    void damagedXlsNeverReachesTheClient();
    void xlsThatBreaksTheLibraryGetsAMessage();
    void xlsSharedTextGoesOnceForAllItsCells();
    void xlsDeclaredGridsArePaidForBeforeTheLibrary();
    void passwordProtectedWorkbooksAreReported();
    void legacyXlsIsRead();
    void firstSheetOnlyAndUsedRange();
    void datesAreWrittenAndReadAsDates();
    void datesBefore1900AreWrittenAsText();
    void excelDateTexts_data();
    void excelDateTexts();
    void timesAndDurationsReadAsExcelShowsThem_data();
    void timesAndDurationsReadAsExcelShowsThem();
    void escapeLikeTextsSurvive();
    void overlappingMergesAreRefused();
    void workbookFromAnotherWriterIsRead();
    void illFormedPartsAreRefused_data();
    void illFormedPartsAreRefused();
    void sharedTextsPayForWhatTheyAllocate();
    void namesLongerThanAnyWorkbookUsesAreRefused();
    void partsThatCarryNoCellsAreBounded();
    void markupAroundNothingKeptEarnsNothing_data();
    void markupAroundNothingKeptEarnsNothing();
    void heldCellsPayForTheirTexts();
    void zip64PackagesAreRead();
    void packagesPutTogetherToMisleadAreRefused_data();
    void packagesPutTogetherToMisleadAreRefused();
    void xlsSharedTextsArePaidFor();
    void exportedTextsLeaveOutWhatXmlCannotHold_data();
    void exportedTextsLeaveOutWhatXmlCannotHold();
    void textsOfExcelsLongestLengthAreRead_data();
    void textsOfExcelsLongestLengthAreRead();
};

void TestXlsx::typedValue_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("number");
    QTest::addColumn<double>("expected");
    QTest::newRow("phone") << "34600123456" << true << 34600123456.0;
    QTest::newRow("decimal") << "0.5" << true << 0.5;
    QTest::newRow("negative") << "-12" << true << -12.0;
    QTest::newRow("leading zero") << "0034600123456" << false << 0.0;
    QTest::newRow("plus sign") << "+34600123456" << false << 0.0;
    QTest::newRow("16 digits") << "1234567890123456" << false << 0.0;
    QTest::newRow("comma decimal") << "1,5" << false << 0.0;
    QTest::newRow("formula") << "=SUMA(A1:A3)" << false << 0.0;
    QTest::newRow("unknown credits") << "???" << false << 0.0;
    QTest::newRow("blank") << " " << false << 0.0;
    QTest::newRow("date") << "2024-05-01 09:00" << false << 0.0;
}

void TestXlsx::typedValue()
{
    QFETCH(QString, text);
    QFETCH(bool, number);
    QFETCH(double, expected);
    const Value v = xlsx::typedValue(text);
    QCOMPARE(std::holds_alternative<double>(v), number);
    if (number)
        QCOMPARE(std::get<double>(v), expected);
    else
        QCOMPARE(std::get<QString>(v), text);
}

void TestXlsx::vbColoursAreBlueGreenRed()
{
    QCOMPARE(fromVbColour(255), Rgb(0xFF0000));
    QCOMPARE(fromVbColour(65280), Rgb(0x00FF00));
    QCOMPARE(fromVbColour(16711680), Rgb(0x0000FF));
}

void TestXlsx::columnNames()
{
    QCOMPARE(columnName(1), QStringLiteral("A"));
    QCOMPARE(columnName(12), QStringLiteral("L"));
    QCOMPARE(columnName(26), QStringLiteral("Z"));
    QCOMPARE(columnName(27), QStringLiteral("AA"));
    QCOMPARE(columnName(0), QString());
}

void TestXlsx::roundTripKeepsTextsAndNumbers()
{
    testing::TempHome home;
    const QString longText = QStringLiteral("Mañana, «oferta» de O'Donnell: ").repeated(200);
    Sheet sheet(QStringLiteral("Listado Historial"));
    sheet.setText(1, 1, QStringLiteral("Teléfono"));
    sheet.setText(1, 2, QStringLiteral("Ñandú \"comillas\" y 'apóstrofos' & <etiquetas>"));
    sheet.setText(2, 1, longText);
    sheet.setTyped(2, 2, QStringLiteral("34600123456"));
    sheet.setTyped(3, 2, QStringLiteral("0034600123456"));
    sheet.setTyped(4, 2, QStringLiteral("1.5"));
    sheet.setTyped(5, 2, QStringLiteral("=HIPERVINCULO(\"x\")"));
    sheet.setText(6, 3, QStringLiteral("  espacios al borde  "));
    sheet.setText(7, 1, QStringLiteral("línea 1\nlínea 2\ttab\x01"));
    sheet.setNumber(8, 1, 1234567.25);
    Sheet second(QStringLiteral("Otra"));
    second.setText(1, 1, QStringLiteral("€ y 漢字"));

    const QString path = home.file(QStringLiteral("ida y vuelta.xlsx"));
    const SaveResult saved = save(path, {sheet, second});
    QVERIFY2(saved.ok(), qPrintable(saved.detail));

    const ReadBook book = readWorkbook(path);
    QVERIFY2(book.ok(), qPrintable(book.message));
    QCOMPARE(book.sheets.size(), 2);
    const ReadSheet &s = book.sheets.at(0);
    QCOMPARE(s.name, QStringLiteral("Listado Historial"));
    QCOMPARE(s.lastRow, 8);
    QCOMPARE(s.lastColumn, 3);
    QCOMPARE(s.text(1, 1), QStringLiteral("Teléfono"));
    QCOMPARE(s.text(1, 2), QStringLiteral("Ñandú \"comillas\" y 'apóstrofos' & <etiquetas>"));
    QCOMPARE(s.text(2, 1), longText);
    QCOMPARE(s.cell(2, 2)->kind, ReadCell::Kind::Number);
    QCOMPARE(s.text(2, 2), QStringLiteral("34600123456"));
    QCOMPARE(s.cell(2, 2)->style.numberFormat, QStringLiteral("0"));
    QCOMPARE(s.cell(3, 2)->kind, ReadCell::Kind::Text);
    QCOMPARE(s.text(3, 2), QStringLiteral("0034600123456"));
    QCOMPARE(s.cell(4, 2)->number, 1.5);
    QCOMPARE(s.text(5, 2), QStringLiteral("=HIPERVINCULO(\"x\")"));
    QCOMPARE(s.cell(5, 2)->kind, ReadCell::Kind::Text);
    QCOMPARE(s.text(6, 3), QStringLiteral("  espacios al borde  "));
    QCOMPARE(s.text(7, 1), QStringLiteral("línea 1\nlínea 2\ttab\x01"));
    QCOMPARE(s.text(8, 1), QStringLiteral("1234567.25"));
    QCOMPARE(book.sheets.at(1).text(1, 1), QStringLiteral("€ y 漢字"));
}

void TestXlsx::roundTripKeepsLooksMergesAndWidths()
{
    testing::TempHome home;
    Sheet sheet;
    sheet.setText(2, 2, QStringLiteral("Título"));
    sheet.style(2, 2) = Style{.fontSize = 18, .fontColour = fromVbColour(255), .align = HAlign::Center};
    sheet.merge({2, 2, 2, 11});
    sheet.setText(3, 3, QStringLiteral("Confirmado"));
    sheet.style(3, 3).fontColour = 0x00FF00;
    sheet.style(3, 3).bold = true;
    sheet.setText(4, 3, QStringLiteral("Relleno"));
    sheet.style(4, 3).fill = 0xFFCC77;
    sheet.setAllBorders({3, 2, 4, 4}, Line::Thin);
    sheet.style(4, 4).borders.bottom = Line::Medium;
    sheet.style(4, 5).align = HAlign::Right;
    sheet.setColumnWidth(5, 21);

    const QString path = home.file(QStringLiteral("formatos.xlsx"));
    QVERIFY(save(path, {sheet}).ok());
    const ReadBook book = readWorkbook(path);
    QVERIFY2(book.ok(), qPrintable(book.message));
    const ReadSheet &s = book.sheets.at(0);

    const Range title{2, 2, 2, 11};
    QCOMPARE(s.merges, QList<Range>{title});
    QCOMPARE(s.text(2, 2), QStringLiteral("Título"));
    QCOMPARE(s.cell(2, 2)->style.fontSize, 18.0);
    QCOMPARE(s.cell(2, 2)->style.fontColour, std::optional<Rgb>(0xFF0000));
    QCOMPARE(s.cell(2, 2)->style.align, HAlign::Center);
    QVERIFY(s.cell(2, 11));     // the merged cells are there, blank
    QVERIFY(s.cell(3, 3)->style.bold);
    QCOMPARE(s.cell(3, 3)->style.fontColour, std::optional<Rgb>(0x00FF00));
    QCOMPARE(s.cell(4, 3)->style.fill, std::optional<Rgb>(0xFFCC77));
    QCOMPARE(s.cell(3, 2)->style.borders, (Borders{Line::Thin, Line::Thin, Line::Thin, Line::Thin}));
    QCOMPARE(s.cell(4, 4)->style.borders.bottom, Line::Medium);
    QCOMPARE(s.cell(4, 5)->style.align, HAlign::Right);
    QVERIFY(!s.cell(4, 5)->style.bold);
    QCOMPARE(s.widths.value(5), 21.0);      // as Excel shows it, without the padding it stores
}

void TestXlsx::fittedWidthsFollowTheLongestText()
{
    Sheet sheet;
    sheet.setText(1, 1, QStringLiteral("corto"));
    sheet.setText(2, 1, QStringLiteral("un texto bastante más largo"));
    sheet.setText(1, 2, QStringLiteral("corto"));
    sheet.style(1, 2).bold = true;
    sheet.setTyped(1, 3, QStringLiteral("34600123456"));
    sheet.setText(1, 4, QStringLiteral("x").repeated(1000));
    sheet.setText(9, 1, QStringLiteral("fuera del rango ajustado, mucho más largo que los otros"));
    sheet.setText(1, 5, QStringLiteral("título combinado larguísimo"));
    sheet.merge({1, 5, 1, 6});
    sheet.fitColumns(1, 5, 1, 8);

    QCOMPARE(*sheet.columnWidth(1), widthFor(QStringLiteral("un texto bastante más largo"), {}));
    QVERIFY(*sheet.columnWidth(2) > *sheet.columnWidth(3) - 6);  // bold widens
    QVERIFY(*sheet.columnWidth(2) > widthFor(QStringLiteral("corto"), {}));
    QCOMPARE(*sheet.columnWidth(3), widthFor(QStringLiteral("34600123456"), {}));
    QCOMPARE(*sheet.columnWidth(4), kMaxColumnWidth);
    QVERIFY(!sheet.columnWidth(5));     // merged cells do not widen a column
    QVERIFY(widthFor(QStringLiteral("abc"), Style{.fontSize = 22}) > widthFor(QStringLiteral("abc"), {}) * 1.7);
    QVERIFY(widthFor(QStringLiteral("漢字"), {}) > widthFor(QStringLiteral("ab"), {}));
}

void TestXlsx::overlongTextIsCutToExcelsLimit()
{
    testing::TempHome home;
    Sheet sheet;
    sheet.setText(1, 1, QStringLiteral("a").repeated(40000));
    sheet.setText(1, 2, QStringLiteral("después"));
    const QString path = home.file(QStringLiteral("largo.xlsx"));
    QVERIFY(save(path, {sheet}).ok());
    const ReadBook book = readWorkbook(path);
    QVERIFY(book.ok());
    QCOMPARE(book.sheets.at(0).text(1, 1).size(), 32767);
    QCOMPARE(book.sheets.at(0).text(1, 2), QStringLiteral("después"));
}

void TestXlsx::unwritablePathsGiveASpanishMessageAndLoseNothing()
{
    testing::TempHome home;
    Sheet sheet;
    sheet.setText(1, 1, QStringLiteral("dato"));

    const SaveResult missing = save(home.file(QStringLiteral("no existe/libro.xlsx")), {sheet});
    QCOMPARE(missing.status, SaveResult::Status::FolderMissing);
    QVERIFY(missing.message.startsWith(QStringLiteral("No se ha podido guardar el archivo")));
    QVERIFY(missing.message.contains(QStringLiteral("no existe")));

    QFile plain(home.file(QStringLiteral("nota.txt")));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.write("contenido");
    plain.close();
    const SaveResult underFile = save(home.file(QStringLiteral("nota.txt/libro.xlsx")), {sheet});
    QCOMPARE(underFile.status, SaveResult::Status::FolderMissing);

    QVERIFY(QDir(home.path()).mkdir(QStringLiteral("carpeta.xlsx")));
    const SaveResult onFolder = save(home.file(QStringLiteral("carpeta.xlsx")), {sheet});
    QCOMPARE(onFolder.status, SaveResult::Status::NotWritable);
    QVERIFY(onFolder.message.contains(QStringLiteral("no está abierto en otro programa")));
    QVERIFY(QFileInfo(home.file(QStringLiteral("carpeta.xlsx"))).isDir());

    // A workbook replaced by a new save is replaced whole; no scratch file is left beside it.
    const QString path = home.file(QStringLiteral("libro.xlsx"));
    QVERIFY(save(path, {sheet}).ok());
    sheet.setText(1, 1, QStringLiteral("nuevo"));
    QVERIFY(save(path, {sheet}).ok());
    QCOMPARE(readWorkbook(path).sheets.at(0).text(1, 1), QStringLiteral("nuevo"));
    const QStringList left = QDir(home.path()).entryList(QDir::Files | QDir::Hidden);
    QCOMPARE(left, (QStringList{QStringLiteral("libro.xlsx"), QStringLiteral("nota.txt")}));
    QCOMPARE(plain.size(), 9);
}

void TestXlsx::suffixIsAddedWhenMissing()
{
    QCOMPARE(withXlsxSuffix(QStringLiteral("/tmp/envios")), QStringLiteral("/tmp/envios.xlsx"));
    QCOMPARE(withXlsxSuffix(QStringLiteral("/tmp/envios.XLSX")), QStringLiteral("/tmp/envios.XLSX"));
    QCOMPARE(withXlsxSuffix(QString()), QString());
}

void TestXlsx::unreadableFilesAreReported()
{
    testing::TempHome home;
    const ReadBook missing = readWorkbook(home.file(QStringLiteral("nada.xlsx")));
    QCOMPARE(missing.status, ReadBook::Status::NotFound);
    QVERIFY(missing.message.startsWith(QStringLiteral("No se encuentra el archivo")));

    QFile junk(home.file(QStringLiteral("roto.xlsx")));
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write("PK\x03\x04 esto no es un zip");
    junk.close();
    const ReadBook broken = readWorkbook(junk.fileName());
    QCOMPARE(broken.status, ReadBook::Status::Unreadable);
    QVERIFY(broken.message.contains(QStringLiteral("no es un libro de Excel válido")));

    QFile text(home.file(QStringLiteral("texto.xls")));
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write("nombre;telefono\n");
    text.close();
    QCOMPARE(readWorkbook(text.fileName()).status, ReadBook::Status::Unreadable);
}

void TestXlsx::damagedPackagesAreReportedNotCrashedOn()
{
    testing::TempHome home;
    Sheet sheet;
    sheet.setText(1, 1, QStringLiteral("Nombre"));
    sheet.setText(2, 1, QStringLiteral("x").repeated(5000));
    const QString good = home.file(QStringLiteral("bueno.xlsx"));
    QVERIFY(save(good, {sheet}).ok());
    const QByteArray whole = readFile(good);
    QVERIFY(whole.size() > 1000);

    // Cut short at several places, and with bytes overwritten in the middle: always a status.
    int n = 0;
    for (const qsizetype cut : {qsizetype(4), qsizetype(30), whole.size() / 3, whole.size() / 2, whole.size() - 22,
                                whole.size() - 1}) {
        const QString path = home.file(QStringLiteral("cortado%1.xlsx").arg(++n));
        writeFile(path, whole.left(cut));
        const ReadBook book = readWorkbook(path);
        QVERIFY2(!book.ok(), qPrintable(QString::number(cut)));
        QCOMPARE(book.status, ReadBook::Status::Unreadable);
        QVERIFY(!book.message.isEmpty());
    }
    for (qsizetype at = 40; at < whole.size() - 40; at += whole.size() / 7) {
        QByteArray damaged = whole;
        for (qsizetype i = at; i < at + 32; ++i)
            damaged[i] = char(0xA5);
        const QString path = home.file(QStringLiteral("danado%1.xlsx").arg(++n));
        writeFile(path, damaged);
        const ReadBook book = readWorkbook(path);
        // A hit outside every compressed part may leave the workbook readable; it must not crash.
        QVERIFY(book.ok() || !book.message.isEmpty());
    }

    // A real zip that is no workbook, and one whose sheet is not well-formed XML.
    QString why;
    if (!runPython(QStringLiteral("import sys, zipfile\n"
                                  "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
                                  "    z.writestr('leeme.txt', 'hola')\n"
                                  "with zipfile.ZipFile(sys.argv[2], 'w') as z, zipfile.ZipFile(sys.argv[3]) as g:\n"
                                  "    for i in g.infolist():\n"
                                  "        data = g.read(i.filename)\n"
                                  "        if i.filename.endswith('sheet1.xml'):\n"
                                  "            data = data[:len(data) // 2]\n"
                                  "        z.writestr(i, data)\n"),
                   {home.file(QStringLiteral("otro.zip")), home.file(QStringLiteral("xml.xlsx")), good}, why))
        QSKIP(qPrintable(why));
    QCOMPARE(readWorkbook(home.file(QStringLiteral("otro.zip"))).status, ReadBook::Status::Unreadable);
    QCOMPARE(readWorkbook(home.file(QStringLiteral("xml.xlsx"))).status, ReadBook::Status::Unreadable);

    // A folder and an empty file.
    QCOMPARE(readWorkbook(home.path()).status, ReadBook::Status::NotFound);
    writeFile(home.file(QStringLiteral("vacio.xlsx")), {});
    QCOMPARE(readWorkbook(home.file(QStringLiteral("vacio.xlsx"))).status, ReadBook::Status::Unreadable);
}

void TestXlsx::textsThatAreNoUtf8AreRefused()
{
    // A byte that is no UTF-8 in a shared text, or in a cell's own value, is damage: the file is
    // refused rather than read with a character silently changed.
    testing::TempHome home;
    Sheet sheet;
    sheet.setText(1, 1, QStringLiteral("Nombre"));
    sheet.setTyped(2, 1, QStringLiteral("600123456"));
    const QString good = home.file(QStringLiteral("bueno.xlsx"));
    QVERIFY(save(good, {sheet}).ok());
    QVERIFY(readWorkbook(good).ok());
    QString why;
    if (!runPython(QStringLiteral("import sys, zipfile\n"
                                  "for target, part, old, new in ((sys.argv[2], 'sharedStrings.xml', b'Nombre', b'Nom\\xffbre'),\n"
                                  "                              (sys.argv[3], 'sheet1.xml', b'600123456', b'600\\xe1123456')):\n"
                                  "    with zipfile.ZipFile(target, 'w') as z, zipfile.ZipFile(sys.argv[1]) as g:\n"
                                  "        for i in g.infolist():\n"
                                  "            data = g.read(i.filename)\n"
                                  "            if i.filename.endswith(part):\n"
                                  "                assert old in data\n"
                                  "                data = data.replace(old, new)\n"
                                  "            z.writestr(i, data)\n"),
                   {good, home.file(QStringLiteral("texto.xlsx")), home.file(QStringLiteral("valor.xlsx"))}, why))
        QSKIP(qPrintable(why));
    for (const QString &name : {QStringLiteral("texto.xlsx"), QStringLiteral("valor.xlsx")}) {
        const ReadBook book = readWorkbook(home.file(name));
        QCOMPARE(book.status, ReadBook::Status::Unreadable);
        QVERIFY(book.message.contains(QStringLiteral("no es un libro de Excel válido")));
    }
}

void TestXlsx::positionsPastTheSheetsEndAreRefused()
{
    // Row numbers past Excel's last row (here the largest int, with a row after it that counts
    // on from there) and cells counted past the last column come only from a damaged sheet.
    testing::TempHome home;
    Sheet sheet;
    sheet.setText(1, 1, QStringLiteral("Nombre"));
    const QString good = home.file(QStringLiteral("bueno.xlsx"));
    QVERIFY(save(good, {sheet}).ok());
    const QString rows = home.file(QStringLiteral("filas.xlsx"));
    const QString columns = home.file(QStringLiteral("columnas.xlsx"));
    QString why;
    if (!runPython(QStringLiteral("import sys, zipfile\n"
                                  "head = b'<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>'\n"
                                  "tail = b'</sheetData></worksheet>'\n"
                                  "bodies = [b'<row r=\"2147483647\"><c><v>1</v></c></row><row><c><v>2</v></c></row>',\n"
                                  "          b'<row r=\"1\">' + b'<c><v>1</v></c>' * 16385 + b'</row>']\n"
                                  "for out, body in zip(sys.argv[2:], bodies):\n"
                                  "    with zipfile.ZipFile(out, 'w') as z, zipfile.ZipFile(sys.argv[1]) as g:\n"
                                  "        for i in g.infolist():\n"
                                  "            data = g.read(i.filename)\n"
                                  "            if i.filename.endswith('sheet1.xml'):\n"
                                  "                data = head + body + tail\n"
                                  "            z.writestr(i, data)\n"),
                   {good, rows, columns}, why))
        QSKIP(qPrintable(why));
    for (const QString &path : {rows, columns}) {
        const ReadBook book = readWorkbook(path);
        QCOMPARE(book.status, ReadBook::Status::TooLarge);
        QVERIFY(book.message.contains(QStringLiteral("límites de Excel")));
    }
}

// A small file may declare more than Excel could hold: a reference past its last column or row,
// width ranges repeated over every column, a used range past its bounds. Each is refused with the
// message naming Excel's limits, without the time or the memory of what it declares; a row of
// 16,384 empty cells is within them and costs nothing held.
void TestXlsx::workbooksPastTheBoundsAreRefused()
{
    testing::TempHome home;
    Sheet sheet;
    sheet.setText(1, 1, QStringLiteral("Nombre"));
    const QString good = home.file(QStringLiteral("bueno.xlsx"));
    QVERIFY(save(good, {sheet}).ok());
    const QStringList names = {QStringLiteral("columna.xlsx"), QStringLiteral("fila.xlsx"), QStringLiteral("anchos.xlsx"),
                               QStringLiteral("rango.xlsx"), QStringLiteral("vacias.xlsx")};
    QStringList paths{good};
    for (const QString &name : names)
        paths << home.file(name);
    QString why;
    if (!runPython(QStringLiteral("import sys, zipfile\n"
                                  "head = b'<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">'\n"
                                  "bodies = [b'<sheetData><row r=\"1\"><c r=\"XFE1\"><v>1</v></c></row></sheetData>',\n"
                                  "          b'<sheetData><row r=\"1\"><c r=\"A1048577\"><v>1</v></c></row></sheetData>',\n"
                                  "          b'<cols>' + b'<col min=\"1\" max=\"16384\" width=\"9\"/>' * 100000 + b'</cols><sheetData/>',\n"
                                  "          b'<dimension ref=\"A1:H2000000\"/><sheetData/>',\n"
                                  "          b'<sheetData>' + (b'<row>' + b'<c/>' * 16384 + b'</row>') * 20\n"
                                  "          + b'<row><c><v>7</v></c></row></sheetData>']\n"
                                  "for out, body in zip(sys.argv[2:], bodies):\n"
                                  "    with zipfile.ZipFile(out, 'w', zipfile.ZIP_DEFLATED) as z, zipfile.ZipFile(sys.argv[1]) as g:\n"
                                  "        for i in g.infolist():\n"
                                  "            data = g.read(i.filename)\n"
                                  "            if i.filename.endswith('sheet1.xml'):\n"
                                  "                data = head + body + b'</worksheet>'\n"
                                  "            z.writestr(i, data, zipfile.ZIP_DEFLATED)\n"),
                   paths, why))
        QSKIP(qPrintable(why));
    for (qsizetype i = 1; i + 1 < paths.size(); ++i) {
        const ReadBook book = readWorkbook(paths[i]);
        QVERIFY2(book.status == ReadBook::Status::TooLarge, qPrintable(paths[i]));
        QCOMPARE(book.limit, Limit::ExcelBounds);
        QVERIFY(book.sheets.isEmpty());
        QVERIFY(book.message.contains(QStringLiteral("demasiado grande")));
        QVERIFY(book.message.contains(QStringLiteral("1.048.576 filas")));
    }
    const ReadBook empties = readWorkbook(paths.constLast(), ReadScope::AllSheets, 1024 * 1024);
    QVERIFY2(empties.ok(), qPrintable(empties.message));
    QCOMPARE(empties.sheets.constFirst().text(21, 1), QStringLiteral("7"));
    QCOMPARE(empties.sheets.constFirst().lastColumn, 1);
}

// Everything a reading holds is taken from one budget of bytes, and a workbook that passes it
// is refused with a message naming what passed: its texts (refused from the count the part
// declares before any is read, or as they come), one text longer than a cell holds, styles past
// Excel's own count (declared or not), merged ranges, the cells themselves. The same workbook
// with room to spare is read.
void TestXlsx::everythingHeldIsPaidFromTheBudget_data()
{
    QTest::addColumn<QString>("part");          // the part replaced: sheet, strings or styles
    QTest::addColumn<QString>("python");        // an expression giving its bytes
    QTest::addColumn<qint64>("budget");
    QTest::addColumn<int>("limit");
    QTest::addColumn<QString>("named");          // in the message
    QTest::addColumn<qint64>("roomy");           // a budget that reads it; 0: never readable

    const QString ws = QStringLiteral("b'<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">");
    const QString sst = QStringLiteral("b'<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"");
    const QString styles = QStringLiteral("b'<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">");
    constexpr qint64 MB = 1024 * 1024;
    QTest::newRow("declared strings") << "strings" << sst + QStringLiteral(" count=\"1\" uniqueCount=\"900000000\"><si><t>Nombre</t></si></sst>'")
                                      << 512 * MB << int(Limit::Strings) << "textos" << qint64(0);
    QTest::newRow("declared strings past any count")
        << "strings" << sst + QStringLiteral(" count=\"1\" uniqueCount=\"9223372036854775807\"><si><t>Nombre</t></si></sst>'")
        << 512 * MB << int(Limit::Strings) << "textos" << qint64(0);
    QTest::newRow("strings") << "strings"
                             << sst + QStringLiteral("><si><t>Nombre</t></si>' + b''.join(b'<si><t>texto %d de prueba</t></si>' % i for i in range(50000)) + b'</sst>'")
                             << 1 * MB << int(Limit::Strings) << "textos" << 64 * MB;
    QTest::newRow("shared text too long") << "strings"
                                          << sst + QStringLiteral("><si><t>' + b'x' * 40000 + b'</t></si></sst>'")
                                          << 512 * MB << int(Limit::TextLength) << "32.767 caracteres" << qint64(0);
    QTest::newRow("giant text") << "strings" << sst + QStringLiteral("><si><t>' + b'x' * 50000000 + b'</t></si></sst>'")
                                << 512 * MB << int(Limit::TextLength) << "32.767 caracteres" << qint64(0);
    QTest::newRow("inline text too long")
        << "sheet" << ws + QStringLiteral("<sheetData><row><c t=\"inlineStr\"><is><t>' + b'y' * 40000 + b'</t></is></c></row></sheetData></worksheet>'")
        << 512 * MB << int(Limit::TextLength) << "32.767 caracteres" << qint64(0);
    QTest::newRow("declared fonts") << "styles" << styles + QStringLiteral("<fonts count=\"18000000\"><font/></fonts></styleSheet>'")
                                    << 512 * MB << int(Limit::Styles) << "estilos" << qint64(0);
    QTest::newRow("fonts") << "styles" << styles + QStringLiteral("<fonts>' + b'<font><sz val=\"11\"/></font>' * 70000 + b'</fonts></styleSheet>'")
                           << 512 * MB << int(Limit::Styles) << "estilos" << qint64(0);
    QTest::newRow("cell formats") << "styles" << styles + QStringLiteral("<fonts><font/></fonts><cellXfs>' + b'<xf fontId=\"0\"/>' * 60000 + b'</cellXfs></styleSheet>'")
                                  << 1 * MB << int(Limit::Styles) << "estilos" << 64 * MB;
    QTest::newRow("merges") << "sheet"
                            << ws + QStringLiteral("<sheetData><row><c><v>1</v></c></row></sheetData><mergeCells>' + b''.join(b'<mergeCell ref=\"A%d:B%d\"/>' % (i, i) for i in range(2, 30002)) + b'</mergeCells></worksheet>'")
                            << MB / 2 << int(Limit::Merges) << "celdas combinadas" << 64 * MB;
    QTest::newRow("cells") << "sheet"
                           << ws + QStringLiteral("<sheetData>' + b''.join(b'<row><c><v>%d</v></c><c><v>2</v></c></row>' % i for i in range(20000)) + b'</sheetData></worksheet>'")
                           << 2 * MB << int(Limit::Cells) << "sus celdas" << 64 * MB;
}

void TestXlsx::everythingHeldIsPaidFromTheBudget()
{
    QFETCH(QString, part);
    QFETCH(QString, python);
    QFETCH(qint64, budget);
    QFETCH(int, limit);
    QFETCH(QString, named);
    QFETCH(qint64, roomy);

    testing::TempHome home;
    const QString suffix = part == u"sheet" ? QStringLiteral("sheet1.xml")
                         : part == u"strings" ? QStringLiteral("sharedStrings.xml") : QStringLiteral("styles.xml");
    QString why;
    const QString path = withPart(home, suffix, python, QStringLiteral("libro.xlsx"), why);
    if (path.isEmpty())
        QSKIP(qPrintable(why));

    const ReadBook refused = readWorkbook(path, ReadScope::AllSheets, budget);
    QCOMPARE(refused.status, ReadBook::Status::TooLarge);
    QCOMPARE(int(refused.limit), limit);
    QVERIFY(refused.sheets.isEmpty());
    QVERIFY2(refused.message.contains(named), qPrintable(refused.message));
    QVERIFY(refused.message.contains(QStringLiteral("demasiado grande")));
    if (roomy > 0) {
        const ReadBook read = readWorkbook(path, ReadScope::AllSheets, roomy);
        QVERIFY2(read.ok(), qPrintable(read.message));
    }
}

// The count of texts a part declares only lets a hopeless reading stop early: a negative one (no
// writer means it) neither refuses the workbook nor upsets the arithmetic; the texts themselves
// are read and taken from the budget as they come.
void TestXlsx::negativeTextCountsAreOnlyAHint_data()
{
    QTest::addColumn<QString>("count");
    QTest::newRow("minus one") << QStringLiteral("-1");
    QTest::newRow("most negative") << QStringLiteral("-9223372036854775808");
}

void TestXlsx::negativeTextCountsAreOnlyAHint()
{
    QFETCH(QString, count);
    testing::TempHome home;
    QString why;
    const QString path = withPart(home, QStringLiteral("sharedStrings.xml"),
                                  QStringLiteral("b'<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
                                                 "count=\"1\" uniqueCount=\"%1\"><si><t>Nombre</t></si></sst>'")
                                      .arg(count),
                                  QStringLiteral("libro.xlsx"), why);
    if (path.isEmpty())
        QSKIP(qPrintable(why));
    const ReadBook book = readWorkbook(path);
    QVERIFY2(book.ok(), qPrintable(book.message));
    QCOMPARE(book.sheets.constFirst().text(1, 1), QStringLiteral("Nombre"));
}

// A zip bomb names its size in the directory: a sheet or a part declaring more than a workbook
// part could be is refused with the size message, and nothing of that size is ever allocated.
void TestXlsx::partsDeclaringHugeSizesAreRefused()
{
    testing::TempHome home;
    Sheet sheet;
    sheet.setText(1, 1, QStringLiteral("Nombre"));
    const QString good = home.file(QStringLiteral("bueno.xlsx"));
    QVERIFY(save(good, {sheet}).ok());
    QFile source(good);
    QVERIFY(source.open(QIODevice::ReadOnly));
    const QByteArray bytes = source.readAll();
    for (const auto &[part, declared] : {std::pair{QByteArray("xl/worksheets/sheet1.xml"), quint32(0xFFFFFFF0u)},
                                         std::pair{QByteArray("xl/sharedStrings.xml"), quint32(0xFFFFFFF0u)}}) {
        QByteArray patched = bytes;
        // The central directory entry of the part: its uncompressed size at byte 24.
        qsizetype at = -1;
        for (qsizetype from = 0; (from = patched.indexOf("PK\x01\x02", from)) >= 0; ++from) {
            const quint16 nameLength = qFromLittleEndian<quint16>(patched.constData() + from + 28);
            if (patched.mid(from + 46, nameLength) == part) {
                at = from;
                break;
            }
        }
        QVERIFY2(at >= 0, part.constData());
        qToLittleEndian<quint32>(declared, patched.data() + at + 24);
        QFile out(home.file(QStringLiteral("bomba.xlsx")));
        QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(patched);
        out.close();
        const ReadBook book = readWorkbook(out.fileName());
        QVERIFY2(book.status == ReadBook::Status::TooLarge, part.constData());
        QVERIFY(book.message.contains(QStringLiteral("demasiado grande")));
    }
}

// What the .xls helper hands back is read as untrusted bytes: cut short, out of bounds, of an
// unknown kind or without its end record, it is a damaged file.
void TestXlsx::xlsRecordsAreCheckedBeforeUse()
{
    using namespace xlsx::xlsrows;
    ReadCell textCell;
    textCell.kind = ReadCell::Kind::Text;
    textCell.text = QStringLiteral("Año €");
    ReadCell numberCell;
    numberCell.kind = ReadCell::Kind::Number;
    numberCell.number = 3.5;
    numberCell.text = QStringLiteral("3,5");
    const QByteArray whole = header() + sheet(QStringLiteral("Hoja1")) + cell(2, 3, textCell) + cell(65536, 256, numberCell)
        + sheet(QStringLiteral("B")) + end(ReadBook::Status::Ok);
    const ReadBook book = decode(whole, QStringLiteral("x.xls"));
    QVERIFY(book.ok());
    QCOMPARE(book.sheets.size(), 2);
    QCOMPARE(book.sheets[0].text(2, 3), QStringLiteral("Año €"));
    QCOMPARE(book.sheets[0].cell(65536, 256)->number, 3.5);
    QCOMPARE(book.sheets[0].lastRow, 65536);
    QVERIFY(book.sheets[1].cells.isEmpty());

    QCOMPARE(decode(header() + end(ReadBook::Status::Protected), QStringLiteral("x.xls")).status, ReadBook::Status::Protected);
    QCOMPARE(decode(header() + end(ReadBook::Status::TooLarge), QStringLiteral("x.xls")).status, ReadBook::Status::TooLarge);
    QByteArray huge = cell(1, 1, textCell);
    qToLittleEndian<quint32>(0x7FFFFFFFu, huge.data() + 1 + 4 + 4 + 1 + 8);
    const QList<QByteArray> damaged = {
        QByteArray(),
        whole.left(whole.size() - 1),                                            // no end record
        whole.left(whole.size() / 2),                                            // cut in a record
        QByteArray("BXLS1\n") + whole.mid(6),                                    // another format
        header() + cell(1, 1, textCell) + end(ReadBook::Status::Ok),             // a cell before any sheet
        header() + sheet(QStringLiteral("H")) + cell(0, 1, textCell) + end(ReadBook::Status::Ok),
        header() + sheet(QStringLiteral("H")) + cell(1, 16385, textCell) + end(ReadBook::Status::Ok),
        header() + sheet(QStringLiteral("H")) + sharedCell(1, 1, 0) + end(ReadBook::Status::Ok), // no such text
        header() + sheet(QStringLiteral("H")) + QByteArray("X") + end(ReadBook::Status::Ok),
        header() + end(ReadBook::Status::Ok) + sheet(QStringLiteral("H")),       // bytes after the end
        header() + QByteArray("E\x09"),                                          // no such status
    };
    for (const QByteArray &bytes : damaged) {
        const ReadBook failed = decode(bytes, QStringLiteral("x.xls"));
        QCOMPARE(failed.status, ReadBook::Status::Unreadable);
        QVERIFY(failed.message.contains(QStringLiteral("dañado")));
    }
    // A text longer than any cell holds is refused from its size, before its bytes are waited for.
    const ReadBook overlong = decode(header() + sheet(QStringLiteral("H")) + huge, QStringLiteral("x.xls"));
    QCOMPARE(overlong.status, ReadBook::Status::TooLarge);
    QCOMPARE(overlong.limit, Limit::TextLength);

    // Records decode the same whatever pieces they come in, a shared text kept once for its cells.
    const QByteArray shared = header() + sheet(QStringLiteral("H")) + sharedText(QStringLiteral("común"))
        + sharedCell(1, 1, 0) + sharedCell(2, 1, 0) + end(ReadBook::Status::Ok);
    Decoder decoder(QStringLiteral("x.xls"));
    for (const char byte : shared)
        QVERIFY(decoder.feed(QByteArray(1, byte)));
    const ReadBook pieces = decoder.finish();
    QVERIFY(pieces.ok());
    QCOMPARE(pieces.sheets[0].text(2, 1), QStringLiteral("común"));
    QCOMPARE(pieces.sheets[0].cell(1, 1)->text.constData(), pieces.sheets[0].cell(2, 1)->text.constData());
}

// freexl reads past its buffers, loops or crashes on damaged files, so the client runs it in a
// helper process: whatever happens there (a crash, a hang, no helper at all) the client gets a
// message and goes on.
// A damaged workbook found by fuzzing: freexl reads below a stack buffer inside its character
// conversion while opening it. Read in the client's own process it took the client down; now only
// the reading helper falls, and the user is told the file cannot be read.
void TestXlsx::xlsThatBreaksTheLibraryGetsAMessage()
{
    testing::TempHome home;
    const QString xls = home.file(QStringLiteral("dañado.xls"));
    QVERIFY(QFile::copy(QStringLiteral(XLSX_TEST_DATA "/iconv_underflow.xls"), xls));
    const ReadBook book = readWorkbook(xls);
    QVERIFY(!book.ok());
    QVERIFY2(book.message.contains(QStringLiteral("dañado.xls")), qPrintable(book.message));
    QVERIFY(QFileInfo::exists(xls));
}

void TestXlsx::damagedXlsNeverReachesTheClient()
{
    testing::TempHome home;
    const QString longText(5000, QLatin1Char('x'));
    const QByteArray good = xlstest::xlsFile({{QStringLiteral("Hoja1"), {{0, 0, longText}, {1, 1, QStringLiteral("Año €")}, {2, 0, 3.5}}},
                                              {QStringLiteral("B"), {{0, 0, 1.0}}}});
    const QString xls = home.file(QStringLiteral("libro.xls"));
    {
        QFile out(xls);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(good);
    }
    QVERIFY(readWorkbook(xls).ok());

    const QByteArray helper = qgetenv("BRISANTA_XLS_READER");
    const auto script = [&home](const QString &name, const QByteArray &body) {
        QFile file(home.file(name));
        if (!file.open(QIODevice::WriteOnly) || file.write("#!/bin/sh\n" + body + "\n") <= 0)
            return QString();
        file.close();
        file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
        return file.fileName();
    };
    struct Case {
        QString program;
        QString says;
    };
    const QList<Case> cases = {
        {script(QStringLiteral("se_cae.sh"), "kill -SEGV $$"), QStringLiteral("dañado")},
        {script(QStringLiteral("a_medias.sh"), "printf 'BXLS1\\nS\\005\\000\\000\\000Hoja1'; kill -ABRT $$"), QStringLiteral("dañado")},
        {script(QStringLiteral("falla.sh"), "exit 3"), QStringLiteral("dañado")},
        {script(QStringLiteral("se_cuelga.sh"), "exec tail -f /dev/null"), QStringLiteral("dañado")},
        {home.file(QStringLiteral("no_existe")), QStringLiteral("Vuelva a instalar")},
    };
    for (const Case &c : cases) {
        qputenv("BRISANTA_XLS_READER", c.program.toLocal8Bit());
        const ReadBook book = readXls(xls, ReadScope::AllSheets, 2000);
        QVERIFY2(book.status == ReadBook::Status::Unreadable, qPrintable(c.program));
        QVERIFY2(book.message.contains(c.says), qPrintable(book.message));
        QVERIFY(book.sheets.isEmpty());
    }
    qputenv("BRISANTA_XLS_READER", helper);

    // The real helper on damaged copies of the file. A sheet whose dimensions claim 16.7 million
    // rows (one changed byte) is refused as past the format's own 65,536 rows instead of being
    // walked cell by cell; other garbled bytes end as a message or as what could be read, never as
    // a crash here.
    const auto written = [&home](const QByteArray &bytes) {
        QFile out(home.file(QStringLiteral("roto.xls")));
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return QString();
        out.write(bytes);
        return out.fileName();
    };
    QByteArray tall = good;
    const qsizetype dimensions = tall.lastIndexOf(QByteArray("\x00\x02\x0e\x00", 4));
    QVERIFY(dimensions > 0);
    qToLittleEndian<quint32>(0x00FF0001u, tall.data() + dimensions + 8);
    const ReadBook refused = readWorkbook(written(tall));
    QCOMPARE(refused.status, ReadBook::Status::TooLarge);
    QVERIFY(refused.message.contains(QStringLiteral("demasiado grande")));

    quint32 seed = 7;
    for (int attempt = 0; attempt < 40; ++attempt) {
        QByteArray bytes = good;
        for (int k = 0; k < 6; ++k) {
            seed = seed * 1103515245u + 12345u;
            bytes[qsizetype((seed >> 8) % quint32(bytes.size()))] = char(seed >> 24);
        }
        const ReadBook book = readXls(written(bytes), ReadScope::AllSheets, 20000);
        QVERIFY(book.ok() || !book.message.isEmpty());
    }
}

// Many cells showing one long shared text: the helper sends the text once and each cell as a
// reference to it, and the client keeps the one text for all of them, so the reading costs about
// the cells, not the cells times the text.
void TestXlsx::xlsSharedTextGoesOnceForAllItsCells()
{
    testing::TempHome home;
    const QString longText = QStringLiteral("texto compartido ").repeated(470).left(8000);
    xlstest::XlsSheet sheet{QStringLiteral("Hoja1"), {}};
    for (int r = 0; r < 4000; ++r)
        sheet.cells.append({r, 0, longText});
    const QByteArray file = xlstest::xlsFile({sheet});
    QVERIFY(!file.isEmpty());
    const QString xls = home.file(QStringLiteral("compartido.xls"));
    writeFile(xls, file);

    QProcess helper;
    helper.start(xlsReaderProgram(), {xls});
    QVERIFY(helper.waitForFinished(60000));
    QCOMPARE(helper.exitCode(), 0);
    const QByteArray records = helper.readAllStandardOutput();
    // One text of 8,000 bytes and 4,000 references of 13 bytes, not 4,000 copies of the text.
    QVERIFY2(records.size() < 100 * 1024, qPrintable(QString::number(records.size())));

    const ReadBook book = readXls(xls, ReadScope::AllSheets, kXlsReaderTimeoutMs, 4 * 1024 * 1024);
    QVERIFY2(book.ok(), qPrintable(book.message));
    const ReadSheet &read = book.sheets.constFirst();
    QCOMPARE(read.lastRow, 4000);
    QCOMPARE(read.text(4000, 1), longText);
    QCOMPARE(read.cell(1, 1)->text.constData(), read.cell(4000, 1)->text.constData());
}

// The .xls library allocates and fills the grid each sheet declares as it opens the file: the
// declared sizes are summed first and a file past the budget is refused with the size message, the
// library never given it. Two sheets of 65,536 × 64 cells take 128 MB there: past a 64 MB budget,
// read within the usual one; sixteen of 65,536 × 256 (an 8 KB file, 4 GB of grids) are refused.
void TestXlsx::xlsDeclaredGridsArePaidForBeforeTheLibrary()
{
    testing::TempHome home;
    const auto declaring = [](int sheets, quint32 rows, quint16 columns) {
        QList<xlstest::XlsSheet> list;
        for (int i = 0; i < sheets; ++i)
            list.append({QStringLiteral("Hoja%1").arg(i + 1), {{0, 0, QStringLiteral("Ana ").repeated(1100)}, {1, 1, 600123456.0}}});
        QByteArray bytes = xlstest::xlsFile(list);
        for (qsizetype at = 0; (at = bytes.indexOf(QByteArray("\x00\x02\x0e\x00", 4), at)) >= 0; at += 4) {
            qToLittleEndian<quint32>(rows, bytes.data() + at + 8);
            qToLittleEndian<quint16>(columns, bytes.data() + at + 14);
        }
        return bytes;
    };
    const QString wide = home.file(QStringLiteral("anchas.xls"));
    writeFile(wide, declaring(2, 65536, 64));
    const ReadBook refused = readWorkbook(wide, ReadScope::AllSheets, 64LL * 1024 * 1024);
    QCOMPARE(refused.status, ReadBook::Status::TooLarge);
    QCOMPARE(refused.limit, Limit::Cells);
    QVERIFY2(refused.message.contains(QStringLiteral("sus celdas necesitan más de 64 MB")), qPrintable(refused.message));
    const ReadBook read = readWorkbook(wide);
    QVERIFY2(read.ok(), qPrintable(read.message));
    QCOMPARE(read.sheets.size(), 2);
    QCOMPARE(read.sheets.at(1).text(2, 2), QStringLiteral("600123456"));

    const QString bomb = home.file(QStringLiteral("bomba.xls"));
    writeFile(bomb, declaring(16, 65536, 256));
    QVERIFY(QFileInfo(bomb).size() < 64 * 1024);
    const ReadBook bombed = readWorkbook(bomb);
    QCOMPARE(bombed.status, ReadBook::Status::TooLarge);
    QCOMPARE(bombed.limit, Limit::Cells);
    QVERIFY(bombed.message.contains(QStringLiteral("demasiado grande")));
}

void TestXlsx::passwordProtectedWorkbooksAreReported()
{
    testing::TempHome home;
    const QString longText = QStringLiteral("texto largo ").repeated(500);
    const QByteArray xls = xlstest::xlsFile({{QStringLiteral("Hoja1"), {{0, 0, longText}}}}, true);
    QVERIFY(!xls.isEmpty());
    writeFile(home.file(QStringLiteral("clave.xls")), xls);
    const ReadBook protectedXls = readWorkbook(home.file(QStringLiteral("clave.xls")));
    QCOMPARE(protectedXls.status, ReadBook::Status::Protected);
    QVERIFY(protectedXls.message.contains(QStringLiteral("protegido con contraseña")));

    // Excel saves an .xlsx with a password to open as a compound file with an encrypted package.
    const QByteArray xlsx = xlstest::compoundFile(QStringLiteral("EncryptedPackage"), QByteArray(6000, '\x5A'));
    QVERIFY(!xlsx.isEmpty());
    writeFile(home.file(QStringLiteral("clave.xlsx")), xlsx);
    QCOMPARE(readWorkbook(home.file(QStringLiteral("clave.xlsx"))).status, ReadBook::Status::Protected);

    // A compound file that is neither: unreadable.
    writeFile(home.file(QStringLiteral("word.doc")),
              xlstest::compoundFile(QStringLiteral("WordDocument"), QByteArray(6000, '\x11')));
    QCOMPARE(readWorkbook(home.file(QStringLiteral("word.doc"))).status, ReadBook::Status::Unreadable);
}

void TestXlsx::legacyXlsIsRead()
{
    testing::TempHome home;
    const QString longText = QStringLiteral("texto largo ").repeated(500);
    const QByteArray file = xlstest::xlsFile({
        {QStringLiteral("Contactos"),
         {{0, 0, QStringLiteral("Nombre")}, {0, 1, QStringLiteral("Teléfono")},
          {1, 0, QStringLiteral("José O'Donnell")}, {1, 1, 34600123456.0},
          {2, 0, QStringLiteral("Ana \"la Ñ\"")}, {2, 1, 0.5},
          {3, 2, longText}}},
        {QStringLiteral("Segunda"), {{0, 0, QStringLiteral("otra hoja")}}},
    });
    QVERIFY(!file.isEmpty());
    QFile out(home.file(QStringLiteral("antiguo.xls")));
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(file);
    out.close();

    const ReadBook book = readWorkbook(out.fileName());
    QVERIFY2(book.ok(), qPrintable(book.message));
    QCOMPARE(book.sheets.size(), 2);
    const ReadSheet &s = book.sheets.at(0);
    QCOMPARE(s.name, QStringLiteral("Contactos"));
    QCOMPARE(s.lastRow, 4);
    QCOMPARE(s.lastColumn, 3);
    QCOMPARE(s.text(1, 2), QStringLiteral("Teléfono"));
    QCOMPARE(s.text(2, 1), QStringLiteral("José O'Donnell"));
    QCOMPARE(s.text(2, 2), QStringLiteral("34600123456"));
    QCOMPARE(s.cell(2, 2)->kind, ReadCell::Kind::Number);
    QCOMPARE(s.text(3, 1), QStringLiteral("Ana \"la Ñ\""));
    QCOMPARE(s.text(3, 2), QStringLiteral("0.5"));
    QCOMPARE(s.text(4, 3), longText);
    QCOMPARE(book.sheets.at(1).name, QStringLiteral("Segunda"));
    QCOMPARE(book.sheets.at(1).text(1, 1), QStringLiteral("otra hoja"));
}

void TestXlsx::firstSheetOnlyAndUsedRange()
{
    testing::TempHome home;
    Sheet first(QStringLiteral("Primera"));
    first.setText(3, 3, QStringLiteral("C3"));
    first.setText(7, 5, QStringLiteral("E7"));
    first.style(9, 9).bold = true;      // a formatted blank is not part of the used range
    Sheet second(QStringLiteral("Segunda"));
    second.setText(1, 1, QStringLiteral("otra"));
    const QString path = home.file(QStringLiteral("rango.xlsx"));
    QVERIFY(save(path, {first, second}).ok());

    const ReadBook book = readWorkbook(path, ReadScope::FirstSheet);
    QVERIFY2(book.ok(), qPrintable(book.message));
    QCOMPARE(book.sheets.size(), 1);
    const ReadSheet &s = book.sheets.at(0);
    QCOMPARE(s.firstRow, 3);
    QCOMPARE(s.firstColumn, 3);
    QCOMPARE(s.lastRow, 7);
    QCOMPARE(s.lastColumn, 5);
    QCOMPARE(s.text(4, 4), QString());
    QVERIFY(!s.cell(4, 4));

    const QString longText = QStringLiteral("texto largo ").repeated(500);
    const QString xls = home.file(QStringLiteral("rango.xls"));
    writeFile(xls, xlstest::xlsFile({{QStringLiteral("A"), {{2, 1, longText}}}, {QStringLiteral("B"), {{0, 0, 1.0}}}}));
    const ReadBook old = readWorkbook(xls, ReadScope::FirstSheet);
    QVERIFY2(old.ok(), qPrintable(old.message));
    QCOMPARE(old.sheets.size(), 1);
    QCOMPARE(old.sheets.at(0).firstRow, 3);
    QCOMPARE(old.sheets.at(0).firstColumn, 2);
}

void TestXlsx::datesAreWrittenAndReadAsDates()
{
    testing::TempHome home;
    Sheet sheet;
    sheet.setDate(1, 1, QDate(1980, 2, 29));
    sheet.setDate(2, 1, QDate(2024, 12, 31), QStringLiteral("yyyy-mm-dd"));
    sheet.setDate(3, 1, QDate());
    QCOMPARE(excelSerial(QDate(1900, 1, 1)), 1.0);
    QCOMPARE(excelSerial(QDate(1900, 3, 1)), 61.0);
    QCOMPARE(excelSerial(QDate(2024, 1, 1)), 45292.0);
    const QString path = home.file(QStringLiteral("fechas.xlsx"));
    QVERIFY(save(path, {sheet}).ok());
    const ReadBook book = readWorkbook(path);
    QVERIFY(book.ok());
    const ReadSheet &s = book.sheets.at(0);
    QCOMPARE(s.cell(1, 1)->kind, ReadCell::Kind::Date);
    QCOMPARE(s.text(1, 1), QStringLiteral("29/02/1980"));
    QCOMPARE(s.cell(1, 1)->style.numberFormat, QStringLiteral("dd/mm/yyyy"));
    QCOMPARE(s.text(2, 1), QStringLiteral("31/12/2024"));
    QVERIFY(!s.cell(3, 1) || s.cell(3, 1)->kind == ReadCell::Kind::Empty);
}

// Excel has no day count before 1900: such a date is kept as its text, never dropped.
void TestXlsx::datesBefore1900AreWrittenAsText()
{
    Sheet sheet;
    sheet.setDate(1, 1, QDate(1899, 12, 31));
    sheet.setDate(2, 1, QDate(1700, 1, 2));
    sheet.setDate(3, 1, QDate(1900, 1, 1));
    QVERIFY(sheet.value(1, 1) == Value(QStringLiteral("31/12/1899")));
    QVERIFY(sheet.value(2, 1) == Value(QStringLiteral("02/01/1700")));
    QVERIFY(sheet.value(3, 1) == Value(1.0));
}

void TestXlsx::excelDateTexts_data()
{
    QTest::addColumn<double>("serial");
    QTest::addColumn<bool>("system1904");
    QTest::addColumn<QString>("text");
    QTest::newRow("first day") << 1.0 << false << "01/01/1900";
    QTest::newRow("before the phantom day") << 59.0 << false << "28/02/1900";
    QTest::newRow("after the phantom day") << 61.0 << false << "01/03/1900";
    QTest::newRow("modern") << 45292.0 << false << "01/01/2024";
    QTest::newRow("with time") << 45292.75 << false << "01/01/2024 18:00:00";
    QTest::newRow("rounds to midnight") << 45292.9999999 << false << "02/01/2024";
    QTest::newRow("1904 system") << 0.0 << true << "01/01/1904";
    QTest::newRow("negative") << -5.0 << false << "-5";
    QTest::newRow("beyond 9999") << 3e6 << false << "3000000";
}

void TestXlsx::excelDateTexts()
{
    QFETCH(double, serial);
    QFETCH(bool, system1904);
    QFETCH(QString, text);
    QCOMPARE(excelDateText(serial, system1904), text);
}

// A number format with only time parts shows a time of day, one that counts hours, minutes or
// seconds in brackets shows time elapsed past a day, and one with a date part shows the date (with
// its time when it carries one) as before. Quoted text, escapes, colours and AM/PM say nothing of
// the shape; m is a minute next to h or before s, a month elsewhere.
void TestXlsx::timesAndDurationsReadAsExcelShowsThem_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<double>("number");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("kind");
    const int date = int(ReadCell::Kind::Date);
    const int time = int(ReadCell::Kind::Time);
    const int number = int(ReadCell::Kind::Number);
    QTest::newRow("noon") << "h:mm" << 0.5 << "12:00" << time;
    QTest::newRow("time of a later day") << "hh:mm" << 1.75 << "18:00" << time;
    QTest::newRow("seconds") << "h:mm:ss" << 0.5 + 61.0 / 86400 << "12:01:01" << time;
    QTest::newRow("minutes and seconds") << "mm:ss" << 90.0 / 86400 << "00:01:30" << time;
    QTest::newRow("AM/PM") << "h:mm AM/PM" << 0.75 << "18:00" << time;
    QTest::newRow("colour and condition") << "[Red][<1]h:mm;General" << 0.25 << "06:00" << time;
    QTest::newRow("elapsed hours") << "[h]:mm" << 1.75 << "42:00" << time;
    QTest::newRow("elapsed hours and seconds") << "[hh]:mm:ss" << 2.0 + 5.0 / 86400 << "48:00:05" << time;
    QTest::newRow("elapsed minutes") << "[mm]:ss" << 1.0 / 24 << "60:00" << time;
    QTest::newRow("date") << "dd/mm/yyyy" << 45292.0 << "01/01/2024" << date;
    QTest::newRow("date and time") << "dd/mm/yyyy hh:mm" << 45292.75 << "01/01/2024 18:00:00" << date;
    QTest::newRow("month alone") << "mmmm" << 45292.0 << "01/01/2024" << date;
    QTest::newRow("quoted letters") << "0 \"horas y segundos\"" << 3.0 << "3" << number;
    QTest::newRow("escaped letters") << "0\\h\\s" << 4.0 << "4" << number;
    QTest::newRow("negative time") << "h:mm" << -0.5 << "-0.5" << time;
}

void TestXlsx::timesAndDurationsReadAsExcelShowsThem()
{
    QFETCH(QString, format);
    QFETCH(double, number);
    QFETCH(QString, text);
    QFETCH(int, kind);
    testing::TempHome home;
    Sheet sheet;
    sheet.setNumber(1, 1, number);
    sheet.style(1, 1).numberFormat = format;
    const QString path = home.file(QStringLiteral("horas.xlsx"));
    QVERIFY(save(path, {sheet}).ok());
    const ReadBook book = readWorkbook(path);
    QVERIFY2(book.ok(), qPrintable(book.message));
    const ReadCell *cell = book.sheets.constFirst().cell(1, 1);
    QVERIFY(cell);
    QCOMPARE(cell->text, text);
    QCOMPARE(int(cell->kind), kind);
    QCOMPARE(cell->number, number);
}

void TestXlsx::escapeLikeTextsSurvive()
{
    testing::TempHome home;
    Sheet sheet;
    sheet.setText(1, 1, QStringLiteral("código _x0041_ literal"));
    sheet.setText(1, 2, QStringLiteral("_x00"));
    const QString path = home.file(QStringLiteral("escape.xlsx"));
    QVERIFY(save(path, {sheet}).ok());
    const ReadBook book = readWorkbook(path);
    QVERIFY(book.ok());
    QCOMPARE(book.sheets.at(0).text(1, 1), QStringLiteral("código _x0041_ literal"));
    QCOMPARE(book.sheets.at(0).text(1, 2), QStringLiteral("_x00"));
}

void TestXlsx::overlappingMergesAreRefused()
{
    Sheet sheet;
    QVERIFY(sheet.merge({2, 2, 2, 11}));
    QVERIFY(!sheet.merge({2, 5, 3, 5}));
    QVERIFY(!sheet.merge({4, 4, 4, 4}));
    QVERIFY(!sheet.merge({5, 5, 4, 6}));
    QVERIFY(sheet.merge({3, 2, 3, 11}));
    QCOMPARE(sheet.merges().size(), 2);
}

void TestXlsx::workbookFromAnotherWriterIsRead()
{
    // openpyxl writes inline strings, dates and sheets in its own way, as other programs do.
    const QString python = QStringLiteral("/usr/bin/python3");
    if (!QFileInfo(python).isExecutable())
        QSKIP("no /usr/bin/python3");
    testing::TempHome home;
    const QString path = home.file(QStringLiteral("openpyxl.xlsx"));
    const QString script = QStringLiteral(
        "import sys, datetime, openpyxl\n"
        "wb = openpyxl.Workbook()\n"
        "ws = wb.active\n"
        "ws.title = 'Agenda'\n"
        "ws['A1'] = 'Nombre'\n"
        "ws['B1'] = 'Teléfono'\n"
        "ws['A2'] = \"María O'Neill\"\n"
        "ws['B2'] = 34600123456\n"
        "ws['C2'] = datetime.date(1980, 2, 29)\n"
        "ws['D5'] = True\n"
        "wb.create_sheet('Vacía')\n"
        "wb.save(sys.argv[1])\n");
    QProcess process;
    process.start(python, {QStringLiteral("-c"), script, path});
    QVERIFY(process.waitForFinished(60000));
    if (process.exitCode() != 0)
        QSKIP(qPrintable(QStringLiteral("openpyxl not usable: ") + QString::fromUtf8(process.readAllStandardError())));

    const ReadBook book = readWorkbook(path);
    QVERIFY2(book.ok(), qPrintable(book.message));
    QCOMPARE(book.sheets.size(), 2);
    const ReadSheet &s = book.sheets.at(0);
    QCOMPARE(s.name, QStringLiteral("Agenda"));
    QCOMPARE(s.lastRow, 5);
    QCOMPARE(s.lastColumn, 4);
    QCOMPARE(s.text(1, 2), QStringLiteral("Teléfono"));
    QCOMPARE(s.text(2, 1), QStringLiteral("María O'Neill"));
    QCOMPARE(s.text(2, 2), QStringLiteral("34600123456"));
    QCOMPARE(s.cell(2, 3)->kind, ReadCell::Kind::Date);
    QCOMPARE(s.text(2, 3), QStringLiteral("29/02/1980"));
    QCOMPARE(s.cell(5, 4)->kind, ReadCell::Kind::Boolean);
    QCOMPARE(book.sheets.at(1).name, QStringLiteral("Vacía"));
    QCOMPARE(book.sheets.at(1).lastRow, 0);
}

// What XML forbids is damage wherever it stands: control characters in a text, an attribute given
// twice (which of the two would be the cell's?). The file gets the damaged-file message.
void TestXlsx::illFormedPartsAreRefused_data()
{
    QTest::addColumn<QString>("part");
    QTest::addColumn<QString>("python");
    const QString ws = QStringLiteral("b'<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">");
    const QString sst = QStringLiteral("b'<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">");
    QTest::newRow("NUL in a shared text") << "sharedStrings.xml" << sst + QStringLiteral("<si><t>n\\x00m</t></si></sst>'");
    QTest::newRow("NUL and ESC in an inline text")
        << "sheet1.xml"
        << ws + QStringLiteral("<sheetData><row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>a\\x00b\\x1bc</t></is></c></row></sheetData></worksheet>'");
    QTest::newRow("a cell's reference given twice")
        << "sheet1.xml"
        << ws + QStringLiteral("<sheetData><row r=\"1\"><c r=\"D1\" r=\"Z9\"><v>1</v></c></row></sheetData></worksheet>'");
    QTest::newRow("a cell reference without a column")
        << "sheet1.xml" << ws + QStringLiteral("<sheetData><row r=\"24\"><c r=\"24\"><v>1</v></c></row></sheetData></worksheet>'");
    QTest::newRow("a cell reference without a row")
        << "sheet1.xml" << ws + QStringLiteral("<sheetData><row r=\"1\"><c r=\"B\"><v>1</v></c></row></sheetData></worksheet>'");
    QTest::newRow("a style's attribute given twice")
        << "styles.xml"
        << QStringLiteral("b'<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
                          "<cellXfs><xf numFmtId=\"14\" numFmtId=\"0\"/></cellXfs></styleSheet>'");
}

void TestXlsx::illFormedPartsAreRefused()
{
    QFETCH(QString, part);
    QFETCH(QString, python);
    testing::TempHome home;
    QString why;
    const QString path = withPart(home, part, python, QStringLiteral("libro.xlsx"), why);
    if (path.isEmpty())
        QSKIP(qPrintable(why));
    const QByteArray before = readFile(path);
    const ReadBook book = readWorkbook(path);
    QCOMPARE(book.status, ReadBook::Status::Unreadable);
    QVERIFY(book.sheets.isEmpty());
    QVERIFY2(book.message.contains(QStringLiteral("no es un libro de Excel válido")), qPrintable(book.message));
    QCOMPARE(readFile(path), before);
}

// A table of texts takes from the budget what it allocates, not what it uses: its pieces at their
// full capacity and the places of its texts in blocks, so what it holds never passes what it took,
// however the texts come (millions of empty ones, long ones, mixed).
void TestXlsx::sharedTextsPayForWhatTheyAllocate()
{
    for (const qsizetype length : {qsizetype(0), qsizetype(3), qsizetype(5000)}) {
        ReadBudget budget(1LL << 40);
        TextTable table;
        const QString text(length, u'x');
        const int count = length == 0 ? 1000000 : length == 3 ? 300000 : 3000;
        for (int i = 0; i < count; ++i) {
            QVERIFY(table.append(text, budget) == i);
            if ((i & (i - 1)) == 0 || i == count - 1)
                QVERIFY2(table.memory() <= budget.used(),
                         qPrintable(QStringLiteral("%1 of %2: holds %3, paid %4")
                                        .arg(i).arg(length).arg(table.memory()).arg(budget.used())));
        }
        QCOMPARE(table.at(count - 1), QStringView(text));
        // Not far from the texts' own bytes and their places: pieces and blocks are filled.
        QVERIFY(budget.used() < qint64(count) * (length * 2 + TextTable::kCostPerText) * 2 + 4 * 1024 * 1024);
    }

    // The shared texts of a workbook: 300,000 empty ones, refused by a budget that their places
    // pass, read by one with room; what the table holds is taken from the budget either way.
    testing::TempHome home;
    QString why;
    const QString path = withPart(
        home, QStringLiteral("sharedStrings.xml"),
        QStringLiteral("b'<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><si><t>Nombre</t></si>' "
                       "+ b'<si/>' * 300000 + b'</sst>'"),
        QStringLiteral("vacios.xlsx"), why);
    if (path.isEmpty())
        QSKIP(qPrintable(why));
    {
        ReadBudget budget(64LL * 1024 * 1024);
        XlsxWorkbook workbook(path, budget);
        QCOMPARE(workbook.status(), ReadBook::Status::Ok);
        QCOMPARE(workbook.sharedTexts().size(), 300001);
        QVERIFY2(workbook.sharedTexts().memory() <= budget.used(),
                 qPrintable(QStringLiteral("holds %1, paid %2").arg(workbook.sharedTexts().memory()).arg(budget.used())));
    }
    const ReadBook refused = readWorkbook(path, ReadScope::AllSheets, 3 * 1024 * 1024);
    QCOMPARE(refused.status, ReadBook::Status::TooLarge);
    QCOMPARE(refused.limit, Limit::Strings);
}

// Every open element is held until it closes: a part that opens elements with names far longer
// than any a workbook uses is refused at the first, whatever follows.
void TestXlsx::namesLongerThanAnyWorkbookUsesAreRefused()
{
    testing::TempHome home;
    QString why;
    const QString path = withPart(
        home, QStringLiteral("sharedStrings.xml"),
        QStringLiteral("b'<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">' "
                       "+ b''.join(b'<n%d' % i + b'n' * 900000 + b'>' for i in range(20)) + b'<si/>' * 1000 "
                       "+ b''.join(b'</n%d' % i + b'n' * 900000 + b'>' for i in reversed(range(20))) + b'</sst>'"),
        QStringLiteral("nombres.xlsx"), why);
    if (path.isEmpty())
        QSKIP(qPrintable(why));
    ReadBudget budget;
    XlsxWorkbook workbook(path, budget);
    QCOMPARE(workbook.status(), ReadBook::Status::Unreadable);
    const ReadBook book = readWorkbook(path);
    QCOMPARE(book.status, ReadBook::Status::Unreadable);
    QVERIFY(book.message.contains(QStringLiteral("no es un libro de Excel válido")));
}

// A sheet of elements that hold no cell (a small file inflating to a large part) is refused once
// a bounded amount of it has gone by, with a message saying so, rather than read through to an
// empty sheet; a sheet whose cells take more than that allowance is read.
void TestXlsx::partsThatCarryNoCellsAreBounded()
{
    testing::TempHome home;
    const QString ws = QStringLiteral("b'<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>");
    const qint64 past = XmlReader::kFreeBytes + 2 * 1024 * 1024;
    QString why;
    const QString chaff = withPart(
        home, QStringLiteral("sheet1.xml"),
        ws + QStringLiteral("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>' + b'<x/>' * %1 + b'</sheetData></worksheet>'").arg(past / 4),
        QStringLiteral("paja.xlsx"), why);
    const QString cells = chaff.isEmpty() ? QString()
                        : withPart(home, QStringLiteral("sheet1.xml"),
                                   ws + QStringLiteral("' + b''.join(b'<row r=\"%d\">' % r + b'<c><v>12345</v></c>' * 8 + b'</row>' "
                                                       "for r in range(1, %1)) + b'</sheetData></worksheet>'")
                                            .arg(past / (8 * 19) + 2),
                                   QStringLiteral("celdas.xlsx"), why);
    if (cells.isEmpty())
        QSKIP(qPrintable(why));
    const ReadBook refused = readWorkbook(chaff);
    QCOMPARE(refused.status, ReadBook::Status::TooLarge);
    QCOMPARE(refused.limit, Limit::Filler);
    QVERIFY2(refused.message.contains(QStringLiteral("sin celdas")), qPrintable(refused.message));
    QVERIFY(refused.message.contains(QStringLiteral("demasiado grande")));

    ReadBudget budget;
    XlsxWorkbook workbook(cells, budget);
    QCOMPARE(workbook.status(), ReadBook::Status::Ok);
    CellCounter counter;
    QCOMPARE(workbook.readSheet(0, counter), ReadBook::Status::Ok);
    QCOMPARE(counter.count, (past / (8 * 19) + 1) * 8);
}

// Only what a reading keeps earns the bytes around it: a styled cell without a value, which a
// reading without looks drops, earns nothing, and a text split into runs of a character or two
// earns what its text earns, not its runs' markup. Millions of either are refused as bytes that
// carry nothing, soon after the free allowance, instead of being read through.
void TestXlsx::markupAroundNothingKeptEarnsNothing_data()
{
    QTest::addColumn<QString>("part");
    QTest::addColumn<QString>("python");
    const QString ws = QStringLiteral("b'<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>");
    const QString sst = QStringLiteral("b'<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">");
    const QString runs = QStringLiteral("b'<r><rPr><b/></rPr><t>a</t></r>' * 32000");
    QTest::newRow("styled empty cells")
        << "sheet1.xml"
        << ws + QStringLiteral("<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>Ana</t></is></c></row>' "
                               "+ (b'<row>' + b'<c s=\"1\"/>' * 10000 + b'</row>') * 180 + b'</sheetData></worksheet>'");
    QTest::newRow("shared texts in runs of one character")
        << "sharedStrings.xml" << sst + QStringLiteral("' + (b'<si>' + %1 + b'</si>') * 28 + b'</sst>'").arg(runs);
    QTest::newRow("inline texts in runs of one character")
        << "sheet1.xml"
        << ws + QStringLiteral("' + b''.join(b'<row r=\"%d\"><c t=\"inlineStr\"><is>' % r + %1 + b'</is></c></row>' "
                               "for r in range(1, 29)) + b'</sheetData></worksheet>'").arg(runs);
}

void TestXlsx::markupAroundNothingKeptEarnsNothing()
{
    QFETCH(QString, part);
    QFETCH(QString, python);
    testing::TempHome home;
    QString why;
    const QString path = withPart(home, part, python, QStringLiteral("relleno.xlsx"), why);
    if (path.isEmpty())
        QSKIP(qPrintable(why));
    ReadBudget budget;
    XlsxWorkbook workbook(path, budget);
    ReadBook::Status status = workbook.status();
    CellCounter counter;
    if (status == ReadBook::Status::Ok)
        status = workbook.readSheet(0, counter);
    QCOMPARE(status, ReadBook::Status::TooLarge);
    QCOMPARE(budget.passed(), Limit::Filler);
}

// A cell kept whole holds its own copy of its text, even when the file shares one text among many
// cells: each copy is taken from the budget.
void TestXlsx::heldCellsPayForTheirTexts()
{
    testing::TempHome home;
    const QString sheetPath = home.file(QStringLiteral("copias2.xlsx"));
    QString why;
    const QString path = withPart(
        home, QStringLiteral("sharedStrings.xml"),
        QStringLiteral("b'<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><si><t>' + b'x' * 30000 + b'</t></si></sst>'"),
        QStringLiteral("copias.xlsx"), why);
    if (path.isEmpty()
        || !replacePart(path, QStringLiteral("sheet1.xml"),
                     QStringLiteral("b'<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>' "
                                    "+ b''.join(b'<row r=\"%d\"><c t=\"s\"><v>0</v></c></row>' % r for r in range(1, 201)) "
                                    "+ b'</sheetData></worksheet>'"),
                     sheetPath, why))
        QSKIP(qPrintable(why));
    // 200 copies of 60 KB: far past 4 MB, though the text itself is read once.
    const ReadBook refused = readWorkbook(sheetPath, ReadScope::AllSheets, 4 * 1024 * 1024);
    QCOMPARE(refused.status, ReadBook::Status::TooLarge);
    QCOMPARE(refused.limit, Limit::Cells);
    const ReadBook read = readWorkbook(sheetPath, ReadScope::AllSheets, 64 * 1024 * 1024);
    QVERIFY2(read.ok(), qPrintable(read.message));
    QCOMPARE(read.sheets.constFirst().text(200, 1).size(), 30000);
}

// The .xls helper's shared texts are held once each, and taken from the budget as they come: a
// stream of large texts no cell uses is refused by a budget they pass.
void TestXlsx::xlsSharedTextsArePaidFor()
{
    using namespace xlsx::xlsrows;
    QByteArray records = header() + sheet(QStringLiteral("Hoja1"));
    const QString text(20000, u'z');
    for (int i = 0; i < 100; ++i)
        records += sharedText(text);
    records += sharedCell(1, 1, 99) + end(ReadBook::Status::Ok);
    const ReadBook refused = decode(records, QStringLiteral("libro.xls"), 2 * 1024 * 1024);
    QCOMPARE(refused.status, ReadBook::Status::TooLarge);
    QCOMPARE(refused.limit, Limit::Strings);
    const ReadBook read = decode(records, QStringLiteral("libro.xls"), 16 * 1024 * 1024);
    QVERIFY2(read.ok(), qPrintable(read.message));
    QCOMPARE(read.sheets.constFirst().text(1, 1), text);
}

// Characters no XML document can hold are left out of an exported cell, the rest of its text
// kept: the workbook is read back (by a reader that refuses them) with the texts as they stand.
void TestXlsx::exportedTextsLeaveOutWhatXmlCannotHold_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("U+FFFE") << QString(QStringLiteral("a") + QChar(0xFFFE) + QStringLiteral("b")) << QStringLiteral("ab");
    QTest::newRow("U+FFFF") << QString(QStringLiteral("a") + QChar(0xFFFF) + QStringLiteral("b")) << QStringLiteral("ab");
    QTest::newRow("lone low surrogate") << QString(QStringLiteral("c") + QChar(0xDC00) + QStringLiteral("d")) << QStringLiteral("cd");
    QTest::newRow("lone low surrogate first") << QString(QChar(0xDC00) + QStringLiteral("d")) << QStringLiteral("d");
    QTest::newRow("lone high surrogate last") << QString(QStringLiteral("e") + QChar(0xD800)) << QStringLiteral("e");
    QTest::newRow("NUL") << QString(QStringLiteral("f") + QChar(0) + QStringLiteral("g")) << QStringLiteral("fg");
    QTest::newRow("a pair is kept") << QStringLiteral("h😀i") << QStringLiteral("h😀i");
}

void TestXlsx::exportedTextsLeaveOutWhatXmlCannotHold()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    testing::TempHome home;
    Sheet sheet;
    sheet.setText(1, 1, text);
    sheet.setText(2, 1, QStringLiteral("después"));
    const QString path = home.file(QStringLiteral("raros.xlsx"));
    const SaveResult saved = save(path, {sheet});
    QVERIFY2(saved.ok(), qPrintable(saved.detail));
    const ReadBook book = readWorkbook(path);
    QVERIFY2(book.ok(), qPrintable(book.message));
    QCOMPARE(book.sheets.constFirst().text(1, 1), expected);
    QCOMPARE(book.sheets.constFirst().text(2, 1), QStringLiteral("después"));
}

// Excel holds 32,767 characters in a cell: a text of exactly that many is read, whatever kind of
// cell holds it; one more is refused with the message naming the limit.
void TestXlsx::textsOfExcelsLongestLengthAreRead_data()
{
    QTest::addColumn<QString>("part");
    QTest::addColumn<QString>("python");        // the part, with N standing for the text's length
    const QString ws = QStringLiteral("b'<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData><row r=\"1\">");
    const QString wsEnd = QStringLiteral("</row></sheetData></worksheet>'");
    QTest::newRow("formula text") << "sheet1.xml" << ws + QStringLiteral("<c r=\"A1\" t=\"str\"><f>REPT(\"y\",N)</f><v>' + b'y' * N + b'</v></c>") + wsEnd;
    QTest::newRow("inline text") << "sheet1.xml" << ws + QStringLiteral("<c r=\"A1\" t=\"inlineStr\"><is><t>' + b'y' * N + b'</t></is></c>") + wsEnd;
    QTest::newRow("error text") << "sheet1.xml" << ws + QStringLiteral("<c r=\"A1\" t=\"e\"><v>' + b'y' * N + b'</v></c>") + wsEnd;
    QTest::newRow("shared text") << "sharedStrings.xml"
                                 << QStringLiteral("b'<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><si><t>' + b'y' * N + b'</t></si></sst>'");
}

void TestXlsx::textsOfExcelsLongestLengthAreRead()
{
    QFETCH(QString, part);
    QFETCH(QString, python);
    testing::TempHome home;
    for (const qsizetype length : {kMaxTextLength, kMaxTextLength + 1}) {
        QString why;
        QString body = python;
        body.replace(QStringLiteral("N"), QString::number(length));
        const QString path = withPart(home, part, body, QStringLiteral("largo%1.xlsx").arg(length), why);
        if (path.isEmpty())
            QSKIP(qPrintable(why));
        const ReadBook book = readWorkbook(path);
        if (length == kMaxTextLength) {
            QVERIFY2(book.ok(), qPrintable(book.message));
            QCOMPARE(book.sheets.constFirst().text(1, 1), QString(length, u'y'));
        } else {
            QCOMPARE(book.status, ReadBook::Status::TooLarge);
            QCOMPARE(book.limit, Limit::TextLength);
            QVERIFY(book.message.contains(QStringLiteral("32.767 caracteres")));
        }
    }
}

// A package in zip64 form (the zip64 end records, and entries whose local headers carry their
// sizes in zip64 fields, as the workbook library writes when it streams) is read and checked as
// any other.
void TestXlsx::zip64PackagesAreRead()
{
    testing::TempHome home;
    const QString good = goodWorkbook(home);
    QVERIFY(!good.isEmpty());
    const QString path = home.file(QStringLiteral("zip64.xlsx"));
    QString why;
    // Python's zipfile writes the zip64 end records for more entries than this: here, any.
    if (!runPython(QStringLiteral("import sys, zipfile\n"
                                  "zipfile.ZIP_FILECOUNT_LIMIT = 0\n"
                                  "with zipfile.ZipFile(sys.argv[2], 'w', zipfile.ZIP_DEFLATED) as z, zipfile.ZipFile(sys.argv[1]) as g:\n"
                                  "    for i in g.infolist():\n"
                                  "        info = zipfile.ZipInfo(i.filename, i.date_time)\n"
                                  "        info.compress_type = zipfile.ZIP_DEFLATED\n"
                                  "        with z.open(info, 'w', force_zip64=True) as part:\n"
                                  "            part.write(g.read(i.filename))\n"),
                   {good, path}, why))
        QSKIP(qPrintable(why));
    const QByteArray bytes = readFile(path);
    QVERIFY(bytes.contains(QByteArray("PK\x06\x06")));     // the zip64 end record
    const ReadBook book = readWorkbook(path);
    QVERIFY2(book.ok(), qPrintable(book.message));
    QCOMPARE(book.sheets.constFirst().text(1, 1), QStringLiteral("Nombre"));
    const PackageCheck check = checkPackage(path, {{QStringLiteral("xl/worksheets/sheet1.xml"), 1}});
    QVERIFY2(check.ok, qPrintable(check.detail));
}

// The package a workbook comes in is read as a writer saved it, or refused: directory entries
// that share one local header, a local header naming another part than its directory entry, data
// running into the next entry, more entries than any workbook has. A part whose sizes stand in
// the zip64 field behind all-ones markers is read, and its length and checksum are still checked.
void TestXlsx::packagesPutTogetherToMisleadAreRefused_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("status");
    const int unreadable = int(ReadBook::Status::Unreadable);
    QTest::newRow("three entries at one local header") << "shared" << unreadable;
    QTest::newRow("local name differs from the directory's") << "renamed" << unreadable;
    QTest::newRow("data running into the next entry") << "overlap" << unreadable;
    QTest::newRow("20,001 entries") << "many" << unreadable;
    QTest::newRow("zip64 markers") << "zip64" << int(ReadBook::Status::Ok);
    QTest::newRow("zip64 markers, wrong checksum") << "zip64crc" << unreadable;
    QTest::newRow("zip64 markers, size past the data") << "zip64size" << unreadable;
}

void TestXlsx::packagesPutTogetherToMisleadAreRefused()
{
    QFETCH(QString, kind);
    QFETCH(int, status);
    testing::TempHome home;
    const QString good = goodWorkbook(home);
    QVERIFY(!good.isEmpty());
    const QString path = home.file(QStringLiteral("paquete.xlsx"));
    QString why;
    const QString script = QStringLiteral(R"PY(
import sys, struct, zipfile, zlib
src, out, kind = sys.argv[1], sys.argv[2], sys.argv[3]
sheet = b'xl/worksheets/sheet1.xml'

def directory(data):
    end = data.rindex(b'PK\x05\x06')
    count, size, offset = struct.unpack('<HII', data[end + 10:end + 20])
    entries, at = [], offset
    for _ in range(count):
        n, e, c = struct.unpack('<HHH', data[at + 28:at + 34])
        entries.append(bytearray(data[at:at + 46 + n + e + c]))
        at += 46 + n + e + c
    return end, offset, entries

def rebuilt(data, entries, offset):
    body = b''.join(entries)
    return data[:offset] + body + struct.pack('<IHHHHIIH', 0x06054b50, 0, 0, len(entries), len(entries), len(body), offset, 0)

data = bytearray(open(src, 'rb').read())
if kind in ('shared', 'renamed', 'overlap'):
    end, offset, entries = directory(data)
    if kind == 'shared':
        first = next(e for e in entries if e[46:46 + len(sheet)] == sheet)
        for other in (b'xl/worksheets/sheet2.xml', b'xl/worksheets/sheet3.xml'):
            copy = bytearray(first)
            copy[46:46 + len(other)] = other
            entries.append(copy)
    elif kind == 'renamed':
        local = struct.unpack('<I', entries[0][42:46])[0]
        data[local + 30] ^= 0x20
    else:
        local = struct.unpack('<I', entries[0][42:46])[0]
        grown = struct.unpack('<I', entries[0][20:24])[0] + 40
        entries[0][20:24] = struct.pack('<I', grown)
        data[local + 18:local + 22] = struct.pack('<I', grown)
    open(out, 'wb').write(rebuilt(data, entries, offset))
elif kind == 'many':
    with zipfile.ZipFile(out, 'w') as z, zipfile.ZipFile(src) as g:
        for i in g.infolist():
            z.writestr(i, g.read(i.filename))
        for n in range(20001):
            z.writestr('x/%d' % n, b'')
else:
    body, central = bytearray(), bytearray()
    with zipfile.ZipFile(src) as g:
        names = [i.filename for i in g.infolist()]
        for name in names:
            raw = g.read(name)
            packer = zlib.compressobj(6, zlib.DEFLATED, -15)
            packed = packer.compress(raw) + packer.flush()
            crc = zlib.crc32(raw)
            size = len(raw)
            if name.encode() == sheet:
                if kind == 'zip64crc':
                    crc ^= 1
                if kind == 'zip64size':
                    size += 10
            extra = struct.pack('<HHQQ', 1, 16, size, len(packed))
            key = name.encode()
            where = len(body)
            body += struct.pack('<IHHHHHIIIHH', 0x04034b50, 45, 0, 8, 0, 0x21, crc, 0xFFFFFFFF, 0xFFFFFFFF, len(key), len(extra)) + key + extra + packed
            extra = struct.pack('<HHQQ', 1, 16, size, len(packed))
            central += struct.pack('<IHHHHHHIIIHHHHHII', 0x02014b50, 45, 45, 0, 8, 0, 0x21, crc, 0xFFFFFFFF, 0xFFFFFFFF, len(key), len(extra), 0, 0, 0, 0, where) + key + extra
    open(out, 'wb').write(bytes(body) + bytes(central) + struct.pack('<IHHHHIIH', 0x06054b50, 0, 0, len(names), len(names), len(central), len(body), 0))
)PY");
    if (!runPython(script, {good, path, kind}, why))
        QSKIP(qPrintable(why));
    const ReadBook book = readWorkbook(path);
    QVERIFY2(int(book.status) == status, qPrintable(book.message));
    if (book.ok())
        QCOMPARE(book.sheets.constFirst().text(1, 1), QStringLiteral("Nombre"));
    else
        QVERIFY(book.message.contains(QStringLiteral("no es un libro de Excel válido")));
}

QTEST_GUILESS_MAIN(TestXlsx)
#include "test_xlsx.moc"
