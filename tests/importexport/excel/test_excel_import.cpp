#include "excel_import_rig.h"

using namespace importexport::excel;
using exceltest::Run;
using exceltest::State;

// The import engine's rules: what a record adds, joins or asks, and the duplicate dialog's answers.
class TestExcelImport final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void headerRowIsSkippedAndRowsImported();
    void singleRowEndsWithoutTheTimer();
    void newContactsJoinTheGroup();
    void identicalContactCountsAsRepeatedAndJoinsGroupOnce();
    void groupListIsEditedAsText();
    void groupNamesCompareWithoutCase();
    void nullStoredColumnsDecideNothing();
    void conflictWaitsAndWritesNothing();
    void overwriteOnceAsksAgainAtTheNextConflict();
    void ignoreAllKeepsStoredContacts();
    void overwriteAllNeedsNoDialog();
    void closingTheDialogReadsTheRecordAgain();
    void finishStopsReading();
};

void TestExcelImport::headerRowIsSkippedAndRowsImported()
{
    exceltest::Database d;
    Run r(d.connection, exceltest::readBack(d.home, exceltest::sheetOf({{"Nombre", "Teléfono"},
                                                                      {"Ana", "600123456"},
                                                                      {"Luis", "912345678", "", "", "611223344"},
                                                                      {"Sin móvil", "912345678"},
                                                                      {"", "622334455"},
                                                                      {"Eva", "+34 633 445 566"}})));
    QCOMPARE(r.toTheEnd(), State::Finished);
    QCOMPARE(r.run.counters(), (Counters{3, 3, 0}));
    QCOMPARE(d.count(), 3);
    QCOMPARE(d.field(QStringLiteral("34611223344"), QStringLiteral("telefono_2")).toString(), QStringLiteral("912345678"));
    QCOMPARE(d.field(QStringLiteral("34633445566"), QStringLiteral("nombre")).toString(), QStringLiteral("Eva"));
    QCOMPARE(d.field(QStringLiteral("34600123456"), QStringLiteral("grupos_sid")).toString(), QString());
}

void TestExcelImport::singleRowEndsWithoutTheTimer()
{
    exceltest::Database d;
    Run r(d.connection, exceltest::readBack(d.home, exceltest::sheetOf({{"Ana", "600123456"}})));
    QCOMPARE(r.run.start(), State::Finished);
    QCOMPARE(d.count(), 1);
}

void TestExcelImport::newContactsJoinTheGroup()
{
    exceltest::Database d;
    const qint64 group = d.addGroup(QStringLiteral("Clientes"));
    Run r(d.connection,
          exceltest::readBack(d.home, exceltest::sheetOf({{"Ana", "600123456"}, {"Luis", "611223344"}})),
          QString::number(group));
    QCOMPARE(r.toTheEnd(), State::Finished);
    QCOMPARE(r.run.counters(), (Counters{2, 2, 2}));
    QCOMPARE(d.field(QStringLiteral("34611223344"), QStringLiteral("grupos_sid")).toString(), QString::number(group));
}

void TestExcelImport::identicalContactCountsAsRepeatedAndJoinsGroupOnce()
{
    exceltest::Database d;
    d.addContact({"Ana", "34600123456", "", "", "", "", QVariant(), QVariant()});
    // The same contact twice in the sheet, and once more already among the contacts.
    Run r(d.connection, exceltest::readBack(d.home, exceltest::sheetOf({{"Ana", "600123456"}, {"Ana", "600123456"}})),
          QStringLiteral("7"), FieldColumns{1, 2, 0, 0, 0, 0, 0});
    QCOMPARE(r.toTheEnd(), State::Finished);
    QCOMPARE(r.run.counters(), (Counters{0, 2, 1}));
    QCOMPARE(r.run.counters().repeated(), 2);
    QCOMPARE(d.count(), 1);
    QCOMPARE(d.field(QStringLiteral("34600123456"), QStringLiteral("grupos_sid")).toString(), QStringLiteral("7"));
}

void TestExcelImport::groupListIsEditedAsText()
{
    exceltest::Database d;
    // "1,12" must not count as holding 2 nor as holding 1 twice; a numeric "+" would turn the
    // list into a number.
    d.addContact({"Ana", "34600123456", "", "", "", "", QVariant(), "1,12"});
    d.addContact({"Luis", "34611223344", "", "", "", "", QVariant(), "12,2"});
    Run r(d.connection, exceltest::readBack(d.home, exceltest::sheetOf({{"Ana", "600123456"}, {"Luis", "611223344"}})),
          QStringLiteral("2"), FieldColumns{1, 2, 0, 0, 0, 0, 0});
    QCOMPARE(r.toTheEnd(), State::Finished);
    QCOMPARE(d.field(QStringLiteral("34600123456"), QStringLiteral("grupos_sid")).toString(), QStringLiteral("1,12,2"));
    QCOMPARE(d.field(QStringLiteral("34611223344"), QStringLiteral("grupos_sid")).toString(), QStringLiteral("12,2"));
    QCOMPARE(r.run.counters().inGroup, 1);
}

// A group typed in another case is the same group, for every letter; an accent makes another.
void TestExcelImport::groupNamesCompareWithoutCase()
{
    exceltest::Database d;
    const qint64 group = d.addGroup(QStringLiteral("Peña Ártica"));
    importexport::AgendaStore store(d.connection);
    QVERIFY(store.groupExists(QStringLiteral("PEÑA ÁRTICA")));
    QCOMPARE(store.groupSid(QStringLiteral("peña ártica")), std::optional<qint64>(group));
    QVERIFY(!store.groupExists(QStringLiteral("Pena Artica")));
}

void TestExcelImport::nullStoredColumnsDecideNothing()
{
    exceltest::Database d;
    d.addContact({"Ana", "34600123456", QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant()});
    Run r(d.connection, exceltest::readBack(d.home, exceltest::sheetOf({{"Ana", "600123456", "Ana Pérez", "Calle 1"}})));
    QCOMPARE(r.toTheEnd(), State::Finished);
    QCOMPARE(r.run.counters(), (Counters{0, 1, 0}));
}

void TestExcelImport::conflictWaitsAndWritesNothing()
{
    exceltest::Database d;
    d.addContact({"Ana", "34600123456", "", "", "", "", "1980-01-01", ""});
    Run r(d.connection,
          exceltest::readBack(d.home, exceltest::sheetOf({{"Ana María", "600123456"}, {"Luis", "611223344"}})),
          QStringLiteral("3"), FieldColumns{1, 2, 0, 0, 0, 0, 0});
    QCOMPARE(r.run.start(), State::AwaitingAnswer);
    QCOMPARE(r.run.conflict().record, 1);
    QCOMPARE(r.run.conflict().imported.name, QStringLiteral("Ana María"));
    QCOMPARE(r.run.conflict().stored.name.toString(), QStringLiteral("Ana"));
    QCOMPARE(r.run.counters(), Counters{});
    QCOMPARE(d.field(QStringLiteral("34600123456"), QStringLiteral("grupos_sid")).toString(), QString());
    // A timer tick while the dialog is up does nothing.
    QCOMPARE(r.run.batch(), State::AwaitingAnswer);
    QCOMPARE(d.count(), 1);

    QCOMPARE(r.run.answer(Choice::OverwriteOnce), State::Running);
    QCOMPARE(d.field(QStringLiteral("34600123456"), QStringLiteral("nombre")).toString(), QStringLiteral("Ana María"));
    QCOMPARE(d.field(QStringLiteral("34600123456"), QStringLiteral("grupos_sid")).toString(), QStringLiteral("3"));
    // The birth date was not mapped: the overwrite empties it, as the record holds none.
    QVERIFY(d.field(QStringLiteral("34600123456"), QStringLiteral("f_nacimiento")).isNull());
    QCOMPARE(r.run.batch(), State::Finished);
    QCOMPARE(r.run.counters(), (Counters{2, 2, 2}));
}

void TestExcelImport::overwriteOnceAsksAgainAtTheNextConflict()
{
    exceltest::Database d;
    d.addContact({"Ana", "34600123456", "", "", "", "", QVariant(), ""});
    d.addContact({"Luis", "34611223344", "", "", "", "", QVariant(), ""});
    Run r(d.connection,
          exceltest::readBack(d.home, exceltest::sheetOf({{"Ana 2", "600123456"}, {"Luis 2", "611223344"}})),
          {}, FieldColumns{1, 2, 0, 0, 0, 0, 0});
    QCOMPARE(r.run.start(), State::AwaitingAnswer);
    QCOMPARE(r.run.answer(Choice::OverwriteOnce), State::Running);
    QCOMPARE(r.run.batch(), State::AwaitingAnswer);
    QCOMPARE(r.run.conflict().record, 2);
    QCOMPARE(r.run.answer(Choice::IgnoreOnce), State::Finished);
    QCOMPARE(d.field(QStringLiteral("34600123456"), QStringLiteral("nombre")).toString(), QStringLiteral("Ana 2"));
    QCOMPARE(d.field(QStringLiteral("34611223344"), QStringLiteral("nombre")).toString(), QStringLiteral("Luis"));
    QCOMPARE(r.run.counters(), (Counters{1, 2, 0}));
}

void TestExcelImport::ignoreAllKeepsStoredContacts()
{
    exceltest::Database d;
    for (const char *phone : {"34600000001", "34600000002", "34600000003"})
        d.addContact({"Viejo", QString::fromLatin1(phone), "", "", "", "", QVariant(), ""});
    Run r(d.connection,
          exceltest::readBack(d.home, exceltest::sheetOf({{"Nuevo", "600000001"}, {"Nuevo", "600000002"},
                                                          {"Nuevo", "600000003"}, {"Otro", "600000004"}})),
          {}, FieldColumns{1, 2, 0, 0, 0, 0, 0});
    QCOMPARE(r.run.start(), State::AwaitingAnswer);
    State e = r.run.answer(Choice::IgnoreAll);
    while (e == State::Running)
        e = r.run.batch();
    QCOMPARE(e, State::Finished);
    QCOMPARE(d.count(QStringLiteral("WHERE nombre='Viejo'")), 3);
    QCOMPARE(r.run.counters(), (Counters{1, 4, 0}));
}

void TestExcelImport::overwriteAllNeedsNoDialog()
{
    exceltest::Database d;
    for (const char *phone : {"34600000001", "34600000002", "34600000003"})
        d.addContact({"Viejo", QString::fromLatin1(phone), "", "", "", "", QVariant(), ""});
    Run r(d.connection,
          exceltest::readBack(d.home, exceltest::sheetOf({{"Nuevo", "600000001"}, {"Nuevo", "600000002"},
                                                          {"Nuevo", "600000003"}})),
          {}, FieldColumns{1, 2, 0, 0, 0, 0, 0});
    QCOMPARE(r.run.start(), State::AwaitingAnswer);
    State e = r.run.answer(Choice::OverwriteAll);
    while (e == State::Running)
        e = r.run.batch();
    QCOMPARE(e, State::Finished);
    QCOMPARE(d.count(QStringLiteral("WHERE nombre='Nuevo'")), 3);
    QCOMPARE(r.run.counters(), (Counters{3, 3, 0}));
}

void TestExcelImport::closingTheDialogReadsTheRecordAgain()
{
    exceltest::Database d;
    d.addContact({"Ana", "34611223344", "", "", "", "", QVariant(), ""});
    Run r(d.connection,
          exceltest::readBack(d.home, exceltest::sheetOf({{"Eva", "600123456"}, {"Ana 2", "611223344"},
                                                          {"Pep", "622334455"}})),
          {}, FieldColumns{1, 2, 0, 0, 0, 0, 0});
    QCOMPARE(r.run.start(), State::Running);
    QCOMPARE(r.run.batch(), State::AwaitingAnswer);
    QCOMPARE(r.run.current(), 2);
    r.run.pauseAtConflict();
    QCOMPARE(r.run.current(), 1);
    // "Reanudar": the same record asks again.
    QCOMPARE(r.run.batch(), State::AwaitingAnswer);
    QCOMPARE(r.run.conflict().record, 2);
    QCOMPARE(r.run.counters(), (Counters{1, 1, 0}));
}

void TestExcelImport::finishStopsReading()
{
    exceltest::Database d;
    QList<QStringList> rows;
    for (int i = 0; i < 20; ++i)
        rows << QStringList{QStringLiteral("C%1").arg(i), QStringLiteral("6000000%1").arg(i + 10)};
    Run r(d.connection, exceltest::readBack(d.home, exceltest::sheetOf(rows)), {}, FieldColumns{1, 2, 0, 0, 0, 0, 0});
    QCOMPARE(r.run.start(), State::Running);
    QCOMPARE(r.run.batch(), State::Running);
    r.run.finish();
    QCOMPARE(r.run.batch(), State::Finished);
    QCOMPARE(d.count(), 6);
    QCOMPARE(r.run.counters().valid, 6);
}

QTEST_GUILESS_MAIN(TestExcelImport)
#include "test_excel_import.moc"
