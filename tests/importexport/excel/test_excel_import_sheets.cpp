#include "excel_import_rig.h"

using namespace importexport::excel;
using exceltest::Run;
using exceltest::State;
using exceltest::writeFile;

// The sheets an import reads: long gaps, timed ticks, failures part-way, odd and large workbooks.
class TestExcelImportSheets final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void longGapDoesNotLoseLaterRows();
    void timedTickImportsManyRecordsAndCommitsThem();
    void timedTickTakesAtLeastOneRecord();
    void failingRecordInATimedTickLeavesNothingOfItself();
    void mobileOnlyInOtherPhoneIsFoundByTheLookAhead();
    void failureMidImportKeepsEarlierRowsAndStops();
    void swappedSheetImportsColumns();
    void oddWorkbooksAreReported();
    void bigSharedTextSheetIsReadWithinBudget();
    void whatTheSampleAcceptsTheImportTakes();
    void emptySheetImportsNothing();
    void settingsRemembered();
};

void TestExcelImportSheets::longGapDoesNotLoseLaterRows()
{
    exceltest::Database d;
    xlsx::Sheet sheet = exceltest::sheetOf({{"Nombre", "Teléfono"}});
    // Far below a header, after more than a hundred rows without a name and a phone.
    sheet.setText(150, 3, QStringLiteral("nota"));
    sheet.setText(300, 1, QStringLiteral("Ana"));
    sheet.setText(300, 2, QStringLiteral("600123456"));
    sheet.setText(301, 1, QStringLiteral("Luis"));
    sheet.setText(301, 2, QStringLiteral("611223344"));
    Run r(d.connection, exceltest::readBack(d.home, sheet), {}, FieldColumns{1, 2, 0, 0, 0, 0, 0});
    QCOMPARE(r.toTheEnd(), State::Finished);
    QCOMPARE(d.count(), 2);
}

void TestExcelImportSheets::timedTickImportsManyRecordsAndCommitsThem()
{
    exceltest::Database d;
    QList<QStringList> rows;
    for (int i = 0; i < 40; ++i)
        rows << QStringList{QStringLiteral("C%1").arg(i), QString::number(600000100 + i)};
    rows[20] = QStringList{QString(), QStringLiteral("611000000")};   // skipped: no name
    Run r(d.connection, exceltest::readBack(d.home, exceltest::sheetOf(rows)), {}, FieldColumns{1, 2, 0, 0, 0, 0, 0});
    QCOMPARE(r.run.start(), State::Running);
    // A tick with time to spare takes every record that is left, not five.
    QCOMPARE(r.run.slice(std::chrono::hours(1)), State::Finished);
    QCOMPARE(r.run.current(), 40);
    QCOMPARE(r.run.counters(), (Counters{39, 39, 0}));
    // Committed when the tick ends: another workstation sees the contacts at once.
    db::Connection other;
    QVERIFY(other.open(d.connection.path()).ok());
    QCOMPARE(other.scalar(QStringLiteral("SELECT COUNT(*) FROM Agenda")).toInt(), 39);
}

void TestExcelImportSheets::timedTickTakesAtLeastOneRecord()
{
    exceltest::Database d;
    Run r(d.connection,
          exceltest::readBack(d.home, exceltest::sheetOf({{"Ana", "600123456"}, {"Luis", "611223344"},
                                                          {"Eva", "622334455"}})),
          {}, FieldColumns{1, 2, 0, 0, 0, 0, 0});
    QCOMPARE(r.run.start(), State::Running);
    QCOMPARE(r.run.slice(std::chrono::nanoseconds(0)), State::Running);
    QCOMPARE(r.run.current(), 2);
    QCOMPARE(r.run.slice(std::chrono::nanoseconds(0)), State::Finished);
    QCOMPARE(d.count(), 3);
}

void TestExcelImportSheets::failingRecordInATimedTickLeavesNothingOfItself()
{
    exceltest::Database d;
    const qint64 group = d.addGroup(QStringLiteral("G"));
    // Eva is known with the same data: her record only joins the group, and that change is refused.
    d.addContact({"Eva", "34622334455", "", "", "", "", QVariant(), ""});
    QVERIFY(d.connection
                .executeScript(QStringLiteral("CREATE TRIGGER rechazo BEFORE UPDATE ON Agenda WHEN NEW.telefono='34622334455' "
                                              "BEGIN SELECT RAISE(ABORT,'disco lleno'); END"))
                .ok());
    Run r(d.connection,
          exceltest::readBack(d.home, exceltest::sheetOf({{"Ana", "600123456"}, {"Luis", "611223344"},
                                                          {"Eva", "622334455"}, {"Pep", "633445566"}})),
          QString::number(group), FieldColumns{1, 2, 0, 0, 0, 0, 0});
    QCOMPARE(r.run.start(), State::Running);
    QCOMPARE(r.run.slice(std::chrono::hours(1)), State::Failed);
    QVERIFY(r.run.error().contains(QStringLiteral("fila 3")));
    QCOMPARE(r.run.counters(), (Counters{2, 2, 2}));
    db::Connection other;
    QVERIFY(other.open(d.connection.path()).ok());
    QCOMPARE(other.scalar(QStringLiteral("SELECT COUNT(*) FROM Agenda")).toInt(), 3);
    QCOMPARE(other.scalar(QStringLiteral("SELECT grupos_sid FROM Agenda WHERE telefono='34622334455'")).toString(),
             QString());
    QCOMPARE(other.scalar(QStringLiteral("SELECT COUNT(*) FROM Agenda WHERE nombre='Pep'")).toInt(), 0);
    QVERIFY(d.connection.execute(QStringLiteral("BEGIN")).ok());
    QVERIFY(d.connection.execute(QStringLiteral("COMMIT")).ok());
}

void TestExcelImportSheets::mobileOnlyInOtherPhoneIsFoundByTheLookAhead()
{
    exceltest::Database d;
    Run r(d.connection,
          exceltest::readBack(d.home, exceltest::sheetOf({{"Nombre", "Teléfono"}, {"Ana", "", "", "", "600123456"}})));
    QCOMPARE(r.toTheEnd(), State::Finished);
    QCOMPARE(d.count(), 1);
}

void TestExcelImportSheets::failureMidImportKeepsEarlierRowsAndStops()
{
    exceltest::Database d;
    // The third contact's insert is refused by the database, as a full disk or a lost network
    // file would refuse it.
    QVERIFY(d.connection
                .executeScript(QStringLiteral(
                    "CREATE TRIGGER rechazo BEFORE INSERT ON Agenda WHEN NEW.nombre='Eva' "
                    "BEGIN SELECT RAISE(ABORT,'disco lleno'); END"))
                .ok());
    const qint64 group = d.addGroup(QStringLiteral("G"));
    Run r(d.connection,
          exceltest::readBack(d.home, exceltest::sheetOf({{"Ana", "600123456"}, {"Luis", "611223344"},
                                                          {"Eva", "622334455"}, {"Pep", "633445566"}})),
          QString::number(group), FieldColumns{1, 2, 0, 0, 0, 0, 0});
    QCOMPARE(r.toTheEnd(), State::Failed);
    QVERIFY(r.run.error().contains(QStringLiteral("Eva")));
    QVERIFY(r.run.error().contains(QStringLiteral("fila 3")));
    QCOMPARE(r.run.counters(), (Counters{2, 2, 2}));
    QCOMPARE(d.count(), 2);
    QCOMPARE(d.count(QStringLiteral("WHERE nombre='Pep'")), 0);
    // The connection is usable and outside any transaction afterwards.
    QVERIFY(d.connection.execute(QStringLiteral("BEGIN")).ok());
    QVERIFY(d.connection.execute(QStringLiteral("COMMIT")).ok());
}

void TestExcelImportSheets::swappedSheetImportsColumns()
{
    exceltest::Database d;
    Run r(d.connection, exceltest::readBack(d.home, exceltest::sheetOf({{"Ana", "Luis"}, {"600123456", "611223344"}}), true),
          {}, FieldColumns{1, 2, 0, 0, 0, 0, 0});
    QCOMPARE(r.toTheEnd(), State::Finished);
    QCOMPARE(d.field(QStringLiteral("34611223344"), QStringLiteral("nombre")).toString(), QStringLiteral("Luis"));
}

void TestExcelImportSheets::oddWorkbooksAreReported()
{
    testing::TempHome home;
    writeFile(home.file(QStringLiteral("roto.xlsx")), QByteArray("PK\x03\x04 roto", 10));
    const xlsx::ReadBook damaged = xlsx::readWorkbook(home.file(QStringLiteral("roto.xlsx")), xlsx::ReadScope::FirstSheet);
    QVERIFY(!damaged.ok());
    QVERIFY(!damaged.message.isEmpty());

    writeFile(home.file(QStringLiteral("clave.xls")),
              xlstest::xlsFile({{QStringLiteral("Hoja1"), {{0, 0, QStringLiteral("Ana ").repeated(1500)}}}}, true));
    const xlsx::ReadBook locked = xlsx::readWorkbook(home.file(QStringLiteral("clave.xls")), xlsx::ReadScope::FirstSheet);
    QCOMPARE(locked.status, xlsx::ReadBook::Status::Protected);
    QVERIFY(locked.message.contains(QStringLiteral("contraseña")));

    const xlsx::ReadBook missing = xlsx::readWorkbook(home.file(QStringLiteral("no.xlsx")), xlsx::ReadScope::FirstSheet);
    QCOMPARE(missing.status, xlsx::ReadBook::Status::NotFound);
}

// A contact sheet of 200,000 rows of 8 columns as Excel saves it, every text in the shared table
// (1.6 million texts and 1.6 million cells, more than a count of cells took). Read for the sample
// alone it keeps a few records; for the import, the mapped fields of every record, each cell a
// number into the shared texts, well inside a budget of a quarter of a gigabyte; and the records
// read as written.
void TestExcelImportSheets::bigSharedTextSheetIsReadWithinBudget()
{
    testing::TempHome home;
    const QString path = home.file(QStringLiteral("grande.xlsx"));
    const QString python = QStringLiteral("/usr/bin/python3");
    if (!QFileInfo(python).isExecutable())
        QSKIP("no /usr/bin/python3");
    const QString script = QStringLiteral(
        "import sys, zipfile\n"
        "rows, cols = 200000, 8\n"
        "ns = b'xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"'\n"
        "rel = 'http://schemas.openxmlformats.org/officeDocument/2006/relationships'\n"
        "def text(r, c):\n"
        "    return b'6%08d' % (r * 7 % 100000000) if c == 1 else b'campo %d de la fila %d' % (c, r)\n"
        "with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:\n"
        "    z.writestr('[Content_Types].xml', '<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\"/>')\n"
        "    z.writestr('_rels/.rels', '<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"><Relationship Id=\"r1\" Type=\"' + rel + '/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>')\n"
        "    z.writestr('xl/workbook.xml', '<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" xmlns:r=\"' + rel + '\"><sheets><sheet name=\"Hoja1\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>')\n"
        "    z.writestr('xl/_rels/workbook.xml.rels', '<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"><Relationship Id=\"rId1\" Type=\"' + rel + '/worksheet\" Target=\"worksheets/sheet1.xml\"/><Relationship Id=\"rId2\" Type=\"' + rel + '/sharedStrings\" Target=\"sharedStrings.xml\"/></Relationships>')\n"
        "    n = (rows + 1) * cols\n"
        "    with z.open('xl/sharedStrings.xml', 'w') as f:\n"
        "        f.write(b'<sst ' + ns + b' count=\"%d\" uniqueCount=\"%d\">' % (n, n))\n"
        "        f.write(b''.join(b'<si><t>Columna %d</t></si>' % c for c in range(cols)))\n"
        "        for r in range(1, rows + 1):\n"
        "            f.write(b''.join(b'<si><t>' + text(r, c) + b'</t></si>' for c in range(cols)))\n"
        "        f.write(b'</sst>')\n"
        "    with z.open('xl/worksheets/sheet1.xml', 'w') as f:\n"
        "        f.write(b'<worksheet ' + ns + b'><dimension ref=\"A1:H%d\"/><sheetData>' % (rows + 1))\n"
        "        for r in range(rows + 1):\n"
        "            f.write(b'<row r=\"%d\">' % (r + 1) + b''.join(b'<c r=\"%s%d\" t=\"s\"><v>%d</v></c>' % (b'ABCDEFGH'[c:c+1], r + 1, r * cols + c) for c in range(cols)) + b'</row>')\n"
        "        f.write(b'</sheetData></worksheet>')\n");
    QProcess process;
    process.start(python, {QStringLiteral("-c"), script, path});
    QVERIFY(process.waitForFinished(120000));
    QVERIFY2(process.exitCode() == 0, process.readAllStandardError().constData());

    constexpr qint64 kBudget = 256LL * 1024 * 1024;
    RecordSheet::Keep sampleOnly = sampleKeep(false);
    sampleOnly.wholeUpTo = 0;
    RecordSheet::Loaded sample = RecordSheet::load(path, sampleOnly, kBudget);
    QVERIFY2(sample.ok(), qPrintable(sample.message));
    QCOMPARE(sheetSizeText(sample.sheet), QStringLiteral("200001 filas por 8 columnas"));
    QVERIFY(sample.sheet.heldCells() <= 14 * 8);
    QVERIFY(!sample.sheet.holdsEverything());
    QCOMPARE(buildSample(sample.sheet).columns.size(), 8);

    const FieldColumns columns{1, 2, 3, 4, 5, 6, 7};
    RecordSheet::Loaded whole = RecordSheet::load(path, importKeep(false, columns), kBudget);
    QVERIFY2(whole.ok(), qPrintable(whole.message));
    QCOMPARE(whole.sheet.heldCells(), qsizetype(200001) * 7);
    QCOMPARE(whole.sheet.lastRecord(), 200001);
    QCOMPARE(whole.sheet.text(200001, 1), QStringLiteral("campo 0 de la fila 200000"));
    QCOMPARE(whole.sheet.text(200001, 2), QStringLiteral("6%1").arg(200000 * 7 % 100000000, 8, 10, QLatin1Char('0')));
    QCOMPARE(whole.sheet.text(200001, 8), QString());      // not mapped, not kept

    exceltest::Database d;
    Run r(d.connection, std::move(whole.sheet), {}, columns);
    QCOMPARE(r.run.start(), State::Running);
    QCOMPARE(r.run.batch(), State::Running);
    QCOMPARE(d.count(), 6);
    QCOMPARE(d.field(QStringLiteral("34600000007"), QStringLiteral("nombre")).toString(), QStringLiteral("campo 0 de la fila 1"));

    // The same sheet past a small budget is refused, naming its texts.
    const RecordSheet::Loaded refused = RecordSheet::load(path, sampleKeep(false), 16 * 1024 * 1024);
    QCOMPARE(refused.status, xlsx::ReadBook::Status::TooLarge);
    QCOMPARE(refused.limit, xlsx::Limit::Strings);
    QVERIFY2(refused.message.contains(QStringLiteral("textos")), qPrintable(refused.message));
}

namespace {

// Writes a one-sheet workbook of `rows` rows of 8 columns: a phone number (a number cell, whose
// text is the reading's own) and seven shared texts, distinct ones or all the same one.
bool writeSharedTextSheet(const QString &path, int rows, bool distinct, QString &why)
{
    const QString python = QStringLiteral("/usr/bin/python3");
    if (!QFileInfo(python).isExecutable()) {
        why = QStringLiteral("no /usr/bin/python3");
        return false;
    }
    const QString script = QStringLiteral(
        "import sys, zipfile\n"
        "rows, distinct = int(sys.argv[2]), sys.argv[3] == '1'\n"
        "ns = b'xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"'\n"
        "rel = 'http://schemas.openxmlformats.org/officeDocument/2006/relationships'\n"
        "with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:\n"
        "    z.writestr('[Content_Types].xml', '<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\"/>')\n"
        "    z.writestr('_rels/.rels', '<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"><Relationship Id=\"r1\" Type=\"' + rel + '/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>')\n"
        "    z.writestr('xl/workbook.xml', '<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" xmlns:r=\"' + rel + '\"><sheets><sheet name=\"Hoja1\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>')\n"
        "    z.writestr('xl/_rels/workbook.xml.rels', '<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"><Relationship Id=\"rId1\" Type=\"' + rel + '/worksheet\" Target=\"worksheets/sheet1.xml\"/><Relationship Id=\"rId2\" Type=\"' + rel + '/sharedStrings\" Target=\"sharedStrings.xml\"/></Relationships>')\n"
        "    n = rows * 7 if distinct else 1\n"
        "    z.writestr('xl/sharedStrings.xml', b'<sst ' + ns + b'>' + b''.join(b'<si><t>texto %d del libro</t></si>' % i for i in range(n)) + b'</sst>')\n"
        "    z.writestr('xl/worksheets/sheet1.xml', b'<worksheet ' + ns + b'><sheetData>' + b''.join(\n"
        "        b'<row r=\"%d\"><c><v>6%08d</v></c>' % (r + 1, r) + b''.join(b'<c t=\"s\"><v>%d</v></c>' % ((r * 7 + c) if distinct else 0) for c in range(7)) + b'</row>'\n"
        "        for r in range(rows)) + b'</sheetData></worksheet>')\n");
    QProcess process;
    process.start(python, {QStringLiteral("-c"), script, path, QString::number(rows), distinct ? QStringLiteral("1") : QStringLiteral("0")});
    if (!process.waitForFinished(120000) || process.exitCode() != 0) {
        why = QString::fromUtf8(process.readAllStandardError());
        return false;
    }
    return true;
}

} // namespace

// A sheet too large to be kept whole for the sample is read again for the import. Whatever budget
// the sample's reading was given, a sheet it accepts is one the import's reading takes within the
// same budget, whatever is mapped: the sample's reading pays for what the import will hold. The
// cells the import keeps are paid for even when every one shows the same shared text.
void TestExcelImportSheets::whatTheSampleAcceptsTheImportTakes()
{
    testing::TempHome home;
    const QString distinct = home.file(QStringLiteral("distintos.xlsx"));
    const QString same = home.file(QStringLiteral("iguales.xlsx"));
    QString why;
    if (!writeSharedTextSheet(distinct, 5000, true, why) || !writeSharedTextSheet(same, 25000, false, why))
        QSKIP(qPrintable(why));
    RecordSheet::Keep sampleOnly = sampleKeep(false);
    sampleOnly.wholeUpTo = 0;
    const FieldColumns columns{1, 2, 3, 4, 5, 6, 7};
    constexpr qint64 MB = 1024 * 1024;
    int accepted = 0;
    for (qint64 budget = 2 * MB; budget <= 9 * MB; budget += MB / 2) {
        const RecordSheet::Loaded sample = RecordSheet::load(distinct, sampleOnly, budget);
        if (!sample.ok()) {
            QVERIFY2(sample.limit == xlsx::Limit::Cells || sample.limit == xlsx::Limit::Strings, qPrintable(sample.message));
            continue;
        }
        ++accepted;
        RecordSheet::Keep keep = importKeep(false, columns);
        keep.expectedCells = sample.sheet.cellsOf(keep.fields);
        QCOMPARE(keep.expectedCells, qint64(5000) * 7);
        const RecordSheet::Loaded whole = RecordSheet::load(distinct, keep, budget);
        QVERIFY2(whole.ok(), qPrintable(QStringLiteral("%1 MB: %2").arg(budget / MB).arg(whole.message)));
        QCOMPARE(whole.sheet.heldCells(), qsizetype(5000) * 7);
    }
    QVERIFY(accepted > 0);

    // 175,000 kept cells of one shared text: their list is past 2 MB, read within 16 MB.
    const RecordSheet::Loaded refused = RecordSheet::load(same, importKeep(false, columns), 2 * MB);
    QCOMPARE(refused.status, xlsx::ReadBook::Status::TooLarge);
    QCOMPARE(refused.limit, xlsx::Limit::Cells);
    const RecordSheet::Loaded kept = RecordSheet::load(same, importKeep(false, columns), 16 * MB);
    QVERIFY2(kept.ok(), qPrintable(kept.message));
    QCOMPARE(kept.sheet.text(25000, 2), QStringLiteral("texto 0 del libro"));
}

void TestExcelImportSheets::emptySheetImportsNothing()
{
    exceltest::Database d;
    const RecordSheet empty = exceltest::readBack(d.home, xlsx::Sheet());
    QVERIFY(empty.isEmpty());
    Run r(d.connection, empty);
    QCOMPARE(r.run.start(), State::Finished);
    QCOMPARE(r.run.counters(), Counters{});
}

void TestExcelImportSheets::settingsRemembered()
{
    exceltest::Database d;
    QVERIFY(!readSettings(d.connection).hasRow);
    QVERIFY(ensureRow(d.connection).ok());
    QVERIFY(ensureRow(d.connection).ok());
    QCOMPARE(d.connection.scalar(QStringLiteral("SELECT COUNT(*) FROM Parametros_Excel")).toInt(), 1);
    ImportSettings s = readSettings(d.connection);
    QCOMPARE(s.path, kInitialPath);
    QVERIFY(s.indices[0].isNull());
    const QString path = QStringLiteral("/datos/O'Brien/agenda.xlsx");
    QVERIFY(savePath(d.connection, path).ok());
    QVERIFY(saveIndices(d.connection, {0, 1, 0, 3, 2, 0, 4}).ok());
    s = readSettings(d.connection);
    QCOMPARE(s.path, path);
    QCOMPARE(s.indices[3].toString(), QStringLiteral("3"));
    QCOMPARE(s.indices[6].toString(), QStringLiteral("4"));
}

QTEST_GUILESS_MAIN(TestExcelImportSheets)
#include "test_excel_import_sheets.moc"
