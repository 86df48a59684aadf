#include "excel_fixture.h"
#include "importexport/excel/column_mapping.h"
#include "importexport/excel/import_engine.h"
#include "importexport/excel/import_record.h"
#include "importexport/excel/progress_text.h"
#include "importexport/phone_number.h"

#include <QLocale>
#include <QTest>

using namespace importexport::excel;
using importexport::normalizePhone;

class TestExcelRules final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    void normalisation_data();
    void normalisation();
    void normalisationRewritesInPlace();

    void columnLettersBothWays_data();
    void columnLettersBothWays();
    void chosenItemGivesTheColumnOrRow();
    void sampleSkipsLeadingEmptyRowsAndUnusedColumns();
    void sampleStartsNoLaterThanRowTen();
    void comboItemsAndFirstImportPreselection();
    void swappedSheetOffersRows();
    void sizeText();

    void recordPutsTheMobileFirst();
    void recordValidity_data();
    void recordValidity();
    void recordCleansCellsAndKeepsQuotes();
    void recordDates_data();
    void recordDates();
    void numericPhoneCellsKeepEveryDigit();

    void countersText();
    void timeFormat_data();
    void timeFormat();
    void pauseDoesNotCountAsRunTime();
    void progressAndSummaryTexts();
};

void TestExcelRules::normalisation_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    QTest::newRow("mobile") << "600123456" << "34600123456";
    QTest::newRow("blanks") << "600 12 34 56" << "34600123456";
    QTest::newRow("plus and dashes") << "+34 600-123-456" << "34600123456";
    QTest::newRow("double zero prefix") << "0034600123456" << "34600123456";
    QTest::newRow("trunk zero") << "0600123456" << "600123456";
    QTest::newRow("landline 9") << "912345678" << "912345678";
    QTest::newRow("landline 8") << "812345678" << "812345678";
    QTest::newRow("brackets dots commas") << "(6) 00.12.34,56" << "34600123456";
    QTest::newRow("letter counts") << "6001234a5" << "346001234a5";
    QTest::newRow("7 prefix") << "712345678" << "34712345678";
    QTest::newRow("zeros only") << "000" << "";
    QTest::newRow("empty") << "" << "";
    QTest::newRow("tab stays") << "600\t123456" << "600\t123456";
    QTest::newRow("nbsp stays") << QStringLiteral("600\u00A0123456") << QStringLiteral("600\u00A0123456");
}

void TestExcelRules::normalisation()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    QCOMPARE(importexport::normalizedPhone(input), expected);
}

void TestExcelRules::normalisationRewritesInPlace()
{
    QString phone = QStringLiteral("+34 600 123 456");
    const QString returned = normalizePhone(phone);
    QCOMPARE(phone, QStringLiteral("34600123456"));
    QCOMPARE(returned, phone);
}

void TestExcelRules::columnLettersBothWays_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("letters");
    QTest::newRow("A") << 1 << "A";
    QTest::newRow("Z") << 26 << "Z";
    QTest::newRow("AA") << 27 << "AA";
    QTest::newRow("AB") << 28 << "AB";
    QTest::newRow("AZ") << 52 << "AZ";
    QTest::newRow("BA") << 53 << "BA";
    QTest::newRow("ZZ") << 702 << "ZZ";
    QTest::newRow("AAA") << 703 << "AAA";
}

void TestExcelRules::columnLettersBothWays()
{
    QFETCH(int, number);
    QFETCH(QString, letters);
    QCOMPARE(columnName(number), letters);
    QCOMPARE(columnNumber(letters), number);
    QCOMPARE(columnNumber(letters.toLower()), number);
}

void TestExcelRules::chosenItemGivesTheColumnOrRow()
{
    QCOMPARE(numberFromItem(QStringLiteral("Columna AZ"), false), 52);
    QCOMPARE(numberFromItem(QStringLiteral("Columna C"), false), 3);
    QCOMPARE(numberFromItem(QStringLiteral("Fila 7"), true), 7);
    QCOMPARE(numberFromItem(kDoNotSave, false), 0);
    QCOMPARE(numberFromItem(QString(), false), 0);
    QCOMPARE(columnNumber(QStringLiteral("A1")), 0);
}

void TestExcelRules::sampleSkipsLeadingEmptyRowsAndUnusedColumns()
{
    exceltest::Database d;
    // The used range starts at row 2 (a lone note in E2); the data starts at row 4 in column C;
    // column D is empty in the five sample rows and filled only later.
    xlsx::Sheet sheet = exceltest::sheetOf({{QStringLiteral("Ana"), QString(), QStringLiteral("600123456")},
                                            {QStringLiteral("Luis"), QString(), QStringLiteral("611223344")},
                                            {QStringLiteral("Eva"), QString(), QStringLiteral("622334455")},
                                            {QStringLiteral("Pep"), QString(), QStringLiteral("633445566")},
                                            {QStringLiteral("Bea"), QString(), QStringLiteral("644556677")},
                                            {QStringLiteral("Tom"), QStringLiteral("tarde"), QStringLiteral("655667788")}},
                                           4, 3);
    sheet.setText(2, 8, QStringLiteral(" "));
    const RecordSheet records = exceltest::readBack(d.home, sheet);
    const Sample sample = buildSample(records);
    QCOMPARE(sample.firstRecord, 4);
    QCOMPARE(sample.columns.size(), 2);
    QCOMPARE(sample.columns.at(0).number, 3);
    QCOMPARE(sample.columns.at(0).values, (QStringList{"Ana", "Luis", "Eva", "Pep", "Bea"}));
    QCOMPARE(sample.columns.at(1).number, 5);
    QCOMPARE(mappingItems(Name, sample, false), (QStringList{"Columna C", "Columna E"}));
}

void TestExcelRules::sampleStartsNoLaterThanRowTen()
{
    exceltest::Database d;
    xlsx::Sheet sheet;
    sheet.setText(1, 20, QStringLiteral("nota lejana"));     // beyond the eleven columns looked at
    sheet.setText(15, 1, QStringLiteral("Ana"));
    const Sample sample = buildSample(exceltest::readBack(d.home, sheet));
    QCOMPARE(sample.firstRecord, 10);
}

void TestExcelRules::comboItemsAndFirstImportPreselection()
{
    Sample sample;
    sample.columns = {{1, {"Ana", "Luis", "", "", ""}}, {2, {"600", "611", "", "", ""}}, {4, {"x", "", "", "", ""}}};
    QCOMPARE(mappingItems(Phone, sample, false), (QStringList{"Columna A", "Columna B", "Columna D"}));
    QCOMPARE(mappingItems(Address, sample, false), (QStringList{"No guardar", "Columna A", "Columna B", "Columna D"}));
    QCOMPARE(sampleItems(Name, sample, 1, false), (QStringList{"Columna A: Luis", "Columna B: 611", "Columna D: "}));
    QCOMPARE(sampleItems(Comment, sample, 0, false).value(0), QStringLiteral("No guardar"));

    // First import ever: every remembered index is null, so each field starts on its own number.
    QCOMPARE(initialIndex(Name, QVariant(), 3), 0);
    QCOMPARE(initialIndex(Phone, QVariant(), 3), 1);
    QCOMPARE(initialIndex(FullName, QVariant(), 4), 2);
    QCOMPARE(initialIndex(Address, QVariant(), 4), 3);
    QCOMPARE(initialIndex(OtherPhone, QVariant(), 4), 0);     // beyond the list: first item
    QCOMPARE(initialIndex(Name, QStringLiteral("2"), 3), 2);
    QCOMPARE(initialIndex(Name, QStringLiteral("9"), 3), 0);
    QCOMPARE(initialIndex(Phone, QStringLiteral(""), 3), 1);
    QCOMPARE(initialIndex(Phone, QStringLiteral("x"), 3), 1);
}

void TestExcelRules::swappedSheetOffersRows()
{
    exceltest::Database d;
    // One contact per column: names in row 1, phones in row 2.
    const xlsx::Sheet sheet = exceltest::sheetOf({{"Ana", "Luis"}, {"600123456", "611223344"}});
    const RecordSheet records = exceltest::readBack(d.home, sheet, true);
    QCOMPARE(records.firstRecord(), 1);
    QCOMPARE(records.lastRecord(), 2);
    const Sample sample = buildSample(records);
    QCOMPARE(mappingItems(Name, sample, true), (QStringList{"Fila 1", "Fila 2"}));
    QCOMPARE(sampleItems(Phone, sample, 1, true).value(1), QStringLiteral("Fila 2: 611223344"));
}

void TestExcelRules::sizeText()
{
    exceltest::Database d;
    const RecordSheet records = exceltest::readBack(d.home, exceltest::sheetOf({{"a", "b", "c"}, {"d"}}, 3, 2));
    QCOMPARE(sheetSizeText(records), QStringLiteral("2 filas por 3 columnas"));
}

void TestExcelRules::recordPutsTheMobileFirst()
{
    exceltest::Database d;
    const RecordSheet records =
        exceltest::readBack(d.home, exceltest::sheetOf({{"Ana", "912345678", "", "", "600123456"}}));
    const FieldColumns columns{1, 2, 0, 0, 5, 0, 0};
    const Record r = readRecord(records, 1, columns);
    QVERIFY(r.valid);
    QCOMPARE(r.contact.phone, QStringLiteral("34600123456"));
    QCOMPARE(r.contact.otherPhone, QStringLiteral("912345678"));
}

void TestExcelRules::recordValidity_data()
{
    QTest::addColumn<QStringList>("row");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("phone");
    QTest::newRow("header row") << QStringList{"Nombre", "Teléfono"} << false << "";
    QTest::newRow("landline only") << QStringList{"Ana", "912345678"} << false << "";
    QTest::newRow("no name") << QStringList{"", "600123456"} << false << "34600123456";
    QTest::newRow("short number") << QStringList{"Ana", "1234567"} << false << "1234567";
    QTest::newRow("eight digits") << QStringList{"Ana", "12345678"} << true << "12345678";
    QTest::newRow("letters in phone") << QStringList{"Ana", "600abc456"} << false << "";
    QTest::newRow("phone as text with blanks") << QStringList{"Ana", "600 123 456"} << true << "34600123456";
    QTest::newRow("nbsp in phone") << QStringList{"Ana", QStringLiteral("600\u00A0123\u00A0456")} << true
                                   << "34600123456";
    QTest::newRow("mobile only in other phone") << QStringList{"Ana", "", "", "", "699887766"} << true << "34699887766";
}

void TestExcelRules::recordValidity()
{
    QFETCH(QStringList, row);
    QFETCH(bool, valid);
    QFETCH(QString, phone);
    exceltest::Database d;
    const RecordSheet records = exceltest::readBack(d.home, exceltest::sheetOf({row}));
    const Record r = readRecord(records, 1, FieldColumns{1, 2, 0, 0, 5, 0, 0});
    QCOMPARE(r.valid, valid);
    QCOMPARE(r.contact.phone, phone);
}

void TestExcelRules::recordCleansCellsAndKeepsQuotes()
{
    exceltest::Database d;
    const QString longText = QStringLiteral("x").repeated(300);
    const RecordSheet records = exceltest::readBack(
        d.home, exceltest::sheetOf({{QStringLiteral("  Miguel O'Donnell  "), "600123456", "", QStringLiteral("Calle \"Ñandú\" 3"),
                                     "", longText, "31/02/2000"}}));
    const Record r = readRecord(records, 1, FieldColumns{1, 2, 3, 4, 5, 6, 7});
    QVERIFY(r.valid);
    QCOMPARE(r.contact.name, QStringLiteral("Miguel O'Donnell"));
    // A mapped but empty full name takes the name.
    QCOMPARE(r.contact.fullName, QStringLiteral("Miguel O'Donnell"));
    QCOMPARE(r.contact.address, QStringLiteral("Calle \"Ñandú\" 3"));
    QCOMPARE(r.contact.comment.size(), 250);
    QCOMPARE(r.contact.birthDate, QString());      // no such day

    // Not mapped: stays empty.
    const Record unmapped = readRecord(records, 1, FieldColumns{1, 2, 0, 0, 0, 0, 0});
    QCOMPARE(unmapped.contact.fullName, QString());
}

void TestExcelRules::recordDates_data()
{
    QTest::addColumn<QString>("cell");
    QTest::addColumn<QString>("stored");
    QTest::newRow("dd/MM/yyyy") << "05/03/1980" << "1980-03-05";
    QTest::newRow("d/M/yyyy") << "5/3/1980" << "1980-03-05";
    QTest::newRow("iso") << "1980-03-05" << "1980-03-05";
    QTest::newRow("with time") << "05/03/1980 00:00:00" << "1980-03-05";
    QTest::newRow("words") << "mañana" << "";
    QTest::newRow("empty") << "" << "";
}

void TestExcelRules::recordDates()
{
    QFETCH(QString, cell);
    QFETCH(QString, stored);
    const std::optional<QDate> date = parseDate(cell);
    QCOMPARE(date ? date->toString(QStringLiteral("yyyy-MM-dd")) : QString(), stored);
}

void TestExcelRules::numericPhoneCellsKeepEveryDigit()
{
    exceltest::Database d;
    xlsx::Sheet sheet;
    sheet.setText(1, 1, QStringLiteral("Ana"));
    sheet.setNumber(1, 2, 34600123456.0);
    sheet.setText(2, 1, QStringLiteral("Luis"));
    sheet.setNumber(2, 2, 600123456.0);
    sheet.setText(3, 1, QStringLiteral("Eva"));
    sheet.setDate(3, 3, QDate(1990, 12, 24));
    sheet.setNumber(3, 2, 346001234567.0);
    const RecordSheet records = exceltest::readBack(d.home, sheet);
    const FieldColumns columns{1, 2, 0, 0, 0, 0, 3};
    QCOMPARE(readRecord(records, 1, columns).contact.phone, QStringLiteral("34600123456"));
    QCOMPARE(readRecord(records, 2, columns).contact.phone, QStringLiteral("34600123456"));
    const Record eva = readRecord(records, 3, columns);
    QCOMPARE(eva.contact.phone, QStringLiteral("346001234567"));
    QCOMPARE(eva.contact.birthDate, QStringLiteral("1990-12-24"));
}

void TestExcelRules::countersText()
{
    const Counters c = Counters::fromText(QStringLiteral(" 7,10,3 "));
    QCOMPARE(c.added, 7);
    QCOMPARE(c.valid, 10);
    QCOMPARE(c.inGroup, 3);
    QCOMPARE(c.repeated(), 3);
    QCOMPARE(c.text(), QStringLiteral("7,10,3"));
    QCOMPARE(Counters::fromText(QStringLiteral("0,0,0")), Counters{});
}

void TestExcelRules::timeFormat_data()
{
    QTest::addColumn<double>("seconds");
    QTest::addColumn<QString>("expected");
    QTest::newRow("below five") << 2.345 << "Tiempo acumulado: 2.34 seg";
    QTest::newRow("hours") << 3725.0 << "Tiempo acumulado: 1 h 2 min 5 seg";
    QTest::newRow("exact hour") << 3600.0 << "Tiempo acumulado: 60 min ";
    QTest::newRow("zero") << 0.0 << "Tiempo acumulado: ";
    QTest::newRow("whole seconds above five") << 12.9 << "Tiempo acumulado: 12 seg";
    QTest::newRow("exact minute") << 60.0 << "Tiempo acumulado: 60 seg";
}

void TestExcelRules::timeFormat()
{
    QFETCH(double, seconds);
    QFETCH(QString, expected);
    QCOMPARE(formatDuration(seconds, QStringLiteral("Tiempo acumulado: ")), expected);
}

void TestExcelRules::pauseDoesNotCountAsRunTime()
{
    RunClock clock;
    clock.open(100);
    clock.close(103.5);     // "Pausar"
    QVERIFY(!clock.isOpen());
    clock.open(500);        // "Reanudar", after a long pause
    clock.reopen(501);
    QCOMPARE(clock.accumulated(), 4.5);
    QCOMPARE(remainingSeconds(100, 10, 4.5), 40.0);
    QCOMPARE(remainingSeconds(100, 0, 4.5), 0.0);
}

void TestExcelRules::progressAndSummaryTexts()
{
    QCOMPARE(progressText(12, 30, false), QStringLiteral("Importando fila: 12. Progreso 40%"));
    QCOMPARE(progressText(3, 4, true), QStringLiteral("Importando columna: 3. Progreso 75%"));
    QCOMPARE(barValue(15, 30), 72);
    QCOMPARE(barValue(30, 30), 145);
    QCOMPARE(barValue(1, 0), 0);
    QCOMPARE(summaryText({7, 10, 7}),
             QStringLiteral("Se han revisado 10 registros válidos con teléfonos y se han importado 7 nuevos contactos "
                            "(7 añadidos al grupo)."));
}

QTEST_GUILESS_MAIN(TestExcelRules)
#include "test_excel_rules.moc"
