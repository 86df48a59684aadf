#include "excel_fixture.h"
#include "importexport/excel/contact_export.h"
#include "platform/ui/busy_cursor.h"
#include "platform/ui/saved_workbook.h"
#include "support/recording_shell.h"
#include "support/scripted_prompter.h"

#include <QTest>

using namespace importexport::excel;

namespace {

QStringList names(const std::vector<ExportedRow> &rows)
{
    QStringList out;
    for (const ExportedRow &f : rows)
        out << f.name.toString();
    return out;
}

} // namespace

class TestContactExport final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void groupOptions();
    void groupMatchesWholeElementsInNameOrder();
    void groupNameWithQuote();
    void sheetLayoutAndValues();
    void oldBirthDatesAndSpanishNameOrder();
    void exportWritesOpensAndReports();
    void emptyBookGivesHeaderOnly();
    void cancelledPickerWritesNothing();
    void vanishedGroupIsReported();
};

void TestContactExport::groupOptions()
{
    exceltest::Database d;
    d.addGroup(QStringLiteral("Zeta"));
    d.addGroup(QStringLiteral("Alfa"));
    QCOMPARE(exportOptions(d.connection), (QStringList{"Todos los contactos", "Grupo: Zeta", "Grupo: Alfa"}));
}

void TestContactExport::groupMatchesWholeElementsInNameOrder()
{
    exceltest::Database d;
    const qint64 one = d.addGroup(QStringLiteral("Uno"));
    for (int i = 2; i < 12; ++i)
        d.addGroup(QStringLiteral("G%1").arg(i));
    QCOMPARE(d.addGroup(QStringLiteral("Doce")), 12);
    QCOMPARE(one, 1);
    d.addContact({"Solo", "1", "", "", "", "", QVariant(), "1"});
    d.addContact({"Primero", "2", "", "", "", "", QVariant(), "1,5"});
    d.addContact({"Medio", "3", "", "", "", "", QVariant(), "4,1,5"});
    d.addContact({"Último", "4", "", "", "", "", QVariant(), "5, 1"});
    d.addContact({"doce", "5", "", "", "", "", QVariant(), "12"});
    d.addContact({"nada", "6", "", "", "", "", QVariant(), QVariant()});
    bool exists = false;
    QCOMPARE(names(contactsToExport(d.connection, QStringLiteral("Uno"), &exists)),
             (QStringList{"Medio", "Primero", "Solo", "Último"}));
    QVERIFY(exists);
    QCOMPARE(names(contactsToExport(d.connection, QStringLiteral("Doce"), &exists)), QStringList{"doce"});
    QCOMPARE(names(contactsToExport(d.connection, QString(), &exists)),
             (QStringList{"doce", "Medio", "nada", "Primero", "Solo", "Último"}));
}

void TestContactExport::groupNameWithQuote()
{
    exceltest::Database d;
    const qint64 sid = d.addGroup(QStringLiteral("Clientes d'Ana"));
    d.addContact({"Ana", "34600123456", "", "", "", "", QVariant(), QString::number(sid)});
    db::Result r;
    QCOMPARE(names(contactsToExport(d.connection, QStringLiteral("Clientes d'Ana"), nullptr, &r)), QStringList{"Ana"});
    QVERIFY(r.ok());
}

void TestContactExport::sheetLayoutAndValues()
{
    exceltest::Database d;
    d.addContact({"=SUMA(1)", "34600123456", "Ana O'Neil", "Calle \"Mayor\"", "", "nota", "1980-03-05", ""});
    const xlsx::Sheet sheet = exportSheet(contactsToExport(d.connection, QString(), nullptr));
    const xlsx::ReadSheet back = xlsx::readWorkbook(exceltest::saveBook(d.home, sheet)).sheets.value(0);
    QCOMPARE(back.text(1, 1), QStringLiteral("Nombre"));
    QCOMPARE(back.text(1, 2), QStringLiteral("Telefono"));
    QCOMPARE(back.text(1, 5), QStringLiteral("Otro telefono"));
    QCOMPARE(back.text(1, 7), QStringLiteral("Fecha de nacimiento"));
    QCOMPARE(back.text(2, 1), QStringLiteral("=SUMA(1)"));
    QCOMPARE(back.cell(2, 1)->kind, xlsx::ReadCell::Kind::Text);
    QCOMPARE(back.text(2, 2), QStringLiteral("34600123456"));
    QCOMPARE(back.text(2, 3), QStringLiteral("Ana O'Neil"));
    QCOMPARE(back.text(2, 4), QStringLiteral("Calle \"Mayor\""));
    QCOMPARE(back.text(2, 7), QStringLiteral("05/03/1980"));
    QCOMPARE(back.cell(2, 7)->kind, xlsx::ReadCell::Kind::Date);
    QCOMPARE(back.lastRow, 2);
}

// Names in the order the lists show them ("álvaro" before "Beto", "Ñandú" after "Nuria"), and a
// birth date before 1900 written as its dd/mm/yyyy text rather than lost.
void TestContactExport::oldBirthDatesAndSpanishNameOrder()
{
    exceltest::Database d;
    const qint64 g = d.addGroup(QStringLiteral("Familia"));
    for (const char *name : {"Zoë", "Ñandú", "Nuria", "álvaro", "Beto", "Óscar"})
        d.addContact({QString::fromUtf8(name), "1", "", "", "", "", "1850-07-04", QString::number(g)});
    const QStringList order{QStringLiteral("álvaro"), QStringLiteral("Beto"), QStringLiteral("Nuria"),
                            QStringLiteral("Ñandú"), QStringLiteral("Óscar"), QStringLiteral("Zoë")};
    const std::vector<ExportedRow> all = contactsToExport(d.connection, QString(), nullptr);
    QCOMPARE(names(all), order);
    QCOMPARE(names(contactsToExport(d.connection, QStringLiteral("Familia"), nullptr)), order);

    const xlsx::ReadSheet back = xlsx::readWorkbook(exceltest::saveBook(d.home, exportSheet(all))).sheets.value(0);
    QCOMPARE(back.text(2, 7), QStringLiteral("04/07/1850"));
    QCOMPARE(back.text(7, 7), QStringLiteral("04/07/1850"));
}

void TestContactExport::exportWritesOpensAndReports()
{
    exceltest::Database d;
    d.addContact({"Ana", "34600123456", "", "", "", "", QVariant(), ""});
    testing::ScriptedPrompter prompter;
    testing::RecordingShell shell;
    ui::BusyCursor busy;
    const QString path = d.home.file(QStringLiteral("agenda"));
    prompter.answerSaveFile(path);
    const ExportOutcome out = exportContacts({d.connection, prompter, shell, busy}, 0, kAllContacts, d.home.path());
    QCOMPARE(out.status, ExportOutcome::Status::Exported);
    QCOMPARE(out.path, path + QStringLiteral(".xlsx"));
    QCOMPARE(out.contacts, 1);
    QCOMPARE(prompter.messageTexts(), QStringList{kExportDone});
    QCOMPARE(prompter.callsOf(testing::ScriptedPrompter::Kind::Message).value(0).title, kExportTitle);
    QCOMPARE(shell.urls().size(), 1);
    QVERIFY(!busy.isBusy());
    QCOMPARE(xlsx::readWorkbook(out.path).sheets.value(0).text(2, 1), QStringLiteral("Ana"));

    // The program that should show the workbook cannot be started: said so, not hidden.
    shell.setOpenUrlResult(false);
    prompter.answerSaveFile(d.home.file(QStringLiteral("otra.xlsx")));
    const ExportOutcome failed = exportContacts({d.connection, prompter, shell, busy}, 0, kAllContacts, d.home.path());
    QCOMPARE(failed.status, ExportOutcome::Status::OpenFailed);
    QCOMPARE(prompter.messageTexts().constLast(), ui::workbookNotOpenedMessage(d.home.file(QStringLiteral("otra.xlsx"))));
    QCOMPARE(prompter.lastCall().title, kExportTitle);
}

void TestContactExport::emptyBookGivesHeaderOnly()
{
    exceltest::Database d;
    const qint64 sid = d.addGroup(QStringLiteral("Vacío"));
    Q_UNUSED(sid);
    testing::ScriptedPrompter prompter;
    testing::RecordingShell shell;
    ui::BusyCursor busy;
    prompter.answerSaveFile(d.home.file(QStringLiteral("vacio.xlsx")));
    const ExportOutcome out =
        exportContacts({d.connection, prompter, shell, busy}, 1, QStringLiteral("Grupo: Vacío"), d.home.path());
    QCOMPARE(out.status, ExportOutcome::Status::Exported);
    const xlsx::ReadSheet back = xlsx::readWorkbook(out.path).sheets.value(0);
    QCOMPARE(back.lastRow, 1);
    QCOMPARE(back.lastColumn, 7);
}

void TestContactExport::cancelledPickerWritesNothing()
{
    exceltest::Database d;
    testing::ScriptedPrompter prompter;
    testing::RecordingShell shell;
    ui::BusyCursor busy;
    prompter.answerSaveFile(std::nullopt);
    const ExportOutcome out = exportContacts({d.connection, prompter, shell, busy}, 0, kAllContacts, d.home.path());
    QCOMPARE(out.status, ExportOutcome::Status::Cancelled);
    QVERIFY(!out.closesWindow());
    QVERIFY(prompter.messageTexts().isEmpty());
    QVERIFY(shell.urls().isEmpty());
}

void TestContactExport::vanishedGroupIsReported()
{
    exceltest::Database d;
    testing::ScriptedPrompter prompter;
    testing::RecordingShell shell;
    ui::BusyCursor busy;
    const ExportOutcome out =
        exportContacts({d.connection, prompter, shell, busy}, 1, QStringLiteral("Grupo: Borrado"), d.home.path());
    QCOMPARE(out.status, ExportOutcome::Status::GroupMissing);
    QVERIFY(out.closesWindow());
    QCOMPARE(prompter.messageTexts(), QStringList{missingGroupMessage(QStringLiteral("Borrado"))});
    QVERIFY(prompter.callsOf(testing::ScriptedPrompter::Kind::SaveFile).isEmpty());
}

QTEST_MAIN(TestContactExport)
#include "test_contact_export.moc"
