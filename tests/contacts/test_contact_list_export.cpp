// The contacts tab's list written to a workbook (layout, the typed confirmation of long lists,
// exactly the rows the view holds), names in Spanish order, and the editor opened for an
// unknown recipient starting from a clean contact.
#include "contacts/editor/contact_editor_dialog.h"
#include "contacts/export/contact_list_export.h"
#include "contacts/group_book.h"
#include "contacts/view/contact_book_feature.h"
#include "contacts/view/contacts_panel.h"
#include "contacts/view/contacts_tab.h"
#include "contacts/view/groups_panel.h"
#include "contacts_harness.h"
#include "platform/db/spanish_order.h"
#include "platform/ui/saved_workbook.h"
#include "platform/xlsx/read_book.h"
#include "platform/xlsx/workbook_writer.h"
#include "support/file_size_limit.h"

#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>
#include <QUrl>

using namespace contacts;
using namespace contactstest;
using Kind = testing::ScriptedPrompter::Kind;
using Status = exporting::ExportResult::Status;

class TestContactListExport final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void sheetLayout()
    {
        Contact withDate;
        withDate.name = QStringLiteral("Ana O'Neill");
        withDate.phone = QStringLiteral("34600000001");
        withDate.comment = QStringLiteral("=1+1");
        withDate.birthDate = QStringLiteral("1984-10-23");
        Contact withoutDate;
        withoutDate.name = QStringLiteral("Berta");
        withoutDate.phone = QStringLiteral("+34600000002");
        const xlsx::Sheet sheet = exporting::listSheet({withDate, withoutDate});

        QVERIFY(!sheet.cell(1, 1));
        QCOMPARE(sheet.text(2, 1), QString());
        for (int c = 2; c <= 8; ++c) {
            QCOMPARE(sheet.text(2, c), exporting::headers().at(c - 2));
            QVERIFY(sheet.cell(2, c)->style.bold);
        }
        QCOMPARE(sheet.text(2, 3), QStringLiteral("Telefono"));
        QCOMPARE(sheet.text(3, 2), QStringLiteral("Ana O'Neill"));
        QVERIFY(sheet.value(3, 3) == xlsx::Value(34600000001.0));       // a typed number stays a number
        QVERIFY(sheet.value(3, 7) == xlsx::Value(QStringLiteral("=1+1")));  // never a formula
        QVERIFY(sheet.value(3, 8) == xlsx::Value(xlsx::excelSerial(QDate(1984, 10, 23))));
        QCOMPARE(sheet.cell(3, 8)->style.numberFormat, QStringLiteral("dd/mm/yyyy"));
        QCOMPARE(sheet.text(4, 3), QStringLiteral("+34600000002"));
        QVERIFY(!sheet.cell(4, 8));
        QCOMPARE(sheet.lastRow(), 4);
        QVERIFY(sheet.columnWidth(2).has_value());
    }

    // A birth date before 1900 (the editor and the Access import take such dates) has no Excel
    // day count: it goes in as its dd/mm/yyyy text instead of leaving the cell empty.
    void birthDatesBefore1900KeepTheirText()
    {
        Contact old;
        old.name = QStringLiteral("Bisabuela");
        old.phone = QStringLiteral("34600000001");
        old.birthDate = QStringLiteral("1899-12-30");
        Contact another;
        another.name = QStringLiteral("Tatarabuelo");
        another.phone = QStringLiteral("34600000002");
        another.birthDate = QStringLiteral("1850-07-04");
        const xlsx::Sheet sheet = exporting::listSheet({old, another});
        QVERIFY(sheet.value(3, 8) == xlsx::Value(QStringLiteral("30/12/1899")));
        QVERIFY(sheet.value(4, 8) == xlsx::Value(QStringLiteral("04/07/1850")));
    }

    // A filtered view of 3 contacts out of 500 gives exactly those 3, in name order, rows 3 to 5.
    void exportsTheFilteredViewToAWorkbook()
    {
        Harness h;
        h.d.addMany(497);
        h.d.addContact(ContactRow{QStringLiteral("Zoe"), QStringLiteral("34699000003"), {}, {}, QStringLiteral("2001-02-03")});
        h.d.addContact(QStringLiteral("Ángel"), QStringLiteral("34699000001"));
        h.d.addContact(QStringLiteral("Ñoño"), QStringLiteral("34699000002"));
        ContactBookFeature f(h.context);
        f.refreshContactList(true);
        f.filterByPhones(QStringLiteral("34699000001,34699000002,34699000003"));
        QCOMPARE(f.contactRecords().total(), 3);

        const QString path = h.d.home.file(QStringLiteral("listado"));
        h.prompter.answerSaveFile(path);
        h.ok();
        f.contactsPanel()->exportImage()->click();

        QCOMPARE(h.prompter.callsOf(Kind::Input).size(), 0);
        const auto shownMessages = h.prompter.callsOf(Kind::Message);
        QCOMPARE(shownMessages.size(), 1);
        QCOMPARE(shownMessages.at(0).text, QStringLiteral("Exportación completa\n\nSe han exportado 3 contactos."));
        QCOMPARE(shownMessages.at(0).title, QStringLiteral("Exportar listado de contactos a Excel"));
        QCOMPARE(shownMessages.at(0).icon, ui::Icon::Information);
        QCOMPARE(h.shell.urls(), QStringList{QUrl::fromLocalFile(path + QStringLiteral(".xlsx")).toString()});

        const xlsx::ReadBook workbook = xlsx::readWorkbook(path + QStringLiteral(".xlsx"));
        QVERIFY2(workbook.ok(), qPrintable(workbook.message));
        const xlsx::ReadSheet &sheet = workbook.sheets.at(0);
        QCOMPARE(sheet.firstRow, 2);
        QCOMPARE(sheet.firstColumn, 2);
        QCOMPARE(sheet.lastRow, 5);
        QCOMPARE(sheet.text(3, 2), QStringLiteral("Ángel"));
        QCOMPARE(sheet.text(4, 2), QStringLiteral("Ñoño"));
        QCOMPARE(sheet.text(5, 2), QStringLiteral("Zoe"));
        QCOMPARE(sheet.text(5, 8), QStringLiteral("03/02/2001"));
        QCOMPARE(sheet.text(3, 8), QString());
        QVERIFY(sheet.cell(2, 2)->style.bold);
        QVERIFY2(!h.prompter.hasUnexpected(), h.prompter.unexpectedReport().constData());
    }

    // No program opens the saved workbook: the user is told so, and where the file is.
    void anUnopenedWorkbookIsReportedWithItsPlace()
    {
        Harness h;
        h.d.addContact(QStringLiteral("Ana"), QStringLiteral("34699000001"));
        ContactBookFeature f(h.context);
        f.refreshContactList(true);
        h.shell.setOpenUrlResult(false);
        const QString path = h.d.home.file(QStringLiteral("listado.xlsx"));
        h.prompter.answerSaveFile(path);
        h.ok();
        h.ok();
        f.contactsPanel()->exportImage()->click();
        QVERIFY(QFileInfo::exists(path));
        const auto shownMessages = h.prompter.callsOf(Kind::Message);
        QCOMPARE(shownMessages.size(), 2);
        QCOMPARE(shownMessages.at(1).text, ui::workbookNotOpenedMessage(path));
        QCOMPARE(shownMessages.at(1).title, QStringLiteral("Exportar listado de contactos a Excel"));
        QVERIFY2(!h.prompter.hasUnexpected(), h.prompter.unexpectedReport().constData());
    }

    void longListsAskForSi()
    {
        Harness h;
        h.d.addMany(5000);
        ContactBookFeature f(h.context);
        f.refreshContactList(true);
        // Exactly 5000: no question; the file picker comes straight away (cancelled here).
        h.prompter.answerSaveFile(std::nullopt);
        QCOMPARE(f.contactsTab().exportList().status, Status::Cancelled);
        QCOMPARE(h.prompter.callsOf(Kind::Input).size(), 0);
        QCOMPARE(h.prompter.callsOf(Kind::SaveFile).size(), 1);
        h.prompter.clear();

        h.d.addContact(QStringLiteral("Uno más"), QStringLiteral("34611111111"));
        f.refreshContactList(true);
        h.prompter.answerInput(std::nullopt);
        QCOMPARE(f.contactsTab().exportList().status, Status::NotConfirmed);
        QCOMPARE(h.prompter.count(), 1);
        const auto first = h.prompter.lastCall();
        QCOMPARE(first.text, QStringLiteral("Se van a exportar a Excel 5001 contactos, y llevará un tiempo procesar "
                                              "los datos. Está seguro que desea continuar?"));
        QCOMPARE(first.title, QStringLiteral("Confirmar exportación"));
        QCOMPARE(first.defaultText, QStringLiteral("Escriba SI o cancele la operación"));
        h.prompter.clear();

        // "sí" and "OK" bring the box back holding them; "si" in any case goes on.
        h.prompter.answerInput(QStringLiteral("sí"));
        h.prompter.answerInput(QStringLiteral("OK"));
        h.prompter.answerInput(QStringLiteral(" SI"));
        h.prompter.answerInput(QStringLiteral("si"));
        h.prompter.answerSaveFile(std::nullopt);
        QCOMPARE(f.contactsTab().exportList().status, Status::Cancelled);
        const auto prompts = h.prompter.callsOf(Kind::Input);
        QCOMPARE(prompts.size(), 4);
        QCOMPARE(prompts.at(1).defaultText, QStringLiteral("sí"));
        QCOMPARE(prompts.at(2).defaultText, QStringLiteral("OK"));
        QCOMPARE(prompts.at(3).defaultText, QStringLiteral(" SI"));
        QCOMPARE(h.prompter.callsOf(Kind::SaveFile).size(), 1);
        h.prompter.clear();

        // An emptied answer ends it as Cancel does.
        h.prompter.answerInput(QString());
        QCOMPARE(f.contactsTab().exportList().status, Status::NotConfirmed);
        QCOMPARE(h.prompter.count(), 1);
    }

    void emptyListDoesNothing()
    {
        Harness h;
        ContactBookFeature f(h.context);
        f.refreshContactList(true);
        f.contactsPanel()->exportImage()->click();
        QCOMPARE(f.contactsTab().exportList().status, Status::NoContacts);
        QCOMPARE(h.prompter.count(), 0);
        QVERIFY(h.shell.urls().isEmpty());
    }

    void aFailedSaveIsReported()
    {
        Harness h;
        h.d.addContact(QStringLiteral("Ana"), QStringLiteral("34600000001"));
        ContactBookFeature f(h.context);
        f.refreshContactList(true);
        h.prompter.answerSaveFile(h.d.home.file(QStringLiteral("no/existe/listado.xlsx")));
        h.ok();
        QCOMPARE(f.contactsTab().exportList().status, Status::SaveFailed);
        QCOMPARE(h.prompter.lastCall().title, QStringLiteral("Exportar listado de contactos a Excel"));
        QVERIFY(!h.prompter.lastCall().text.startsWith(QStringLiteral("Exportación completa")));
        QVERIFY(h.shell.urls().isEmpty());
    }

    // A disk that fills during the export: the failure is reported and the earlier workbook kept.
    void aWorkbookCutShortIsNeverComplete()
    {
        Harness h;
        h.d.connection.execute(QStringLiteral("BEGIN"));
        for (int i = 0; i < 3000; ++i)
            h.d.addContact(ContactRow{QStringLiteral("Contacto %1 ").arg(i).repeated(3), QStringLiteral("3460%1").arg(1000000 + i * 7919 % 900000),
                                      {}, QStringLiteral("Comentario %1 ").arg(i * 31).repeated(3), {}});
        h.d.connection.execute(QStringLiteral("COMMIT"));
        ContactBookFeature f(h.context);
        f.refreshContactList(true);
        const QString path = h.d.home.file(QStringLiteral("listado.xlsx"));
        xlsx::Sheet earlier;
        earlier.setText(1, 1, QStringLiteral("Listado anterior"));
        QVERIFY(xlsx::save(path, {earlier}).ok());
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray before = file.readAll();
        file.close();

        h.prompter.answerSaveFile(path);
        h.ok();
        exporting::ExportResult r;
        {
            const testing::FileSizeLimit cap{100 * 1024};
            QVERIFY(cap.isActive());
            r = f.contactsTab().exportList();
        }
        QCOMPARE(r.status, Status::SaveFailed);
        QVERIFY(h.prompter.lastCall().text.startsWith(QStringLiteral("No se ha podido guardar el archivo")));
        QVERIFY(h.shell.urls().isEmpty());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);
    }

    // Pages are read from the database one at a time: every contact of a long list shows once,
    // in Spanish order with the sid settling equal names, also under a filter with bound values;
    // and the export writes every page, not only the one shown.
    void pagesAndExportCoverTheWholeList()
    {
        Harness h;
        const char *names[] = {"ángel", "Ángel", "Ana", "Ñu", "Nube", "zeta"};
        for (int i = 0; i < 130; ++i)
            h.d.addContact(QString::fromUtf8(names[i % 6]), QStringLiteral("3460000%1").arg(1000 + i));
        ContactRecords records;
        QCOMPARE(records.reload(h.d.connection, std::nullopt), ContactRecords::Status::Ok);
        QCOMPARE(records.total(), 130);
        std::vector<Contact> pages;
        for (qint64 n = 0; n * kContactsPerPage < records.total(); ++n) {
            const std::vector<Contact> page = records.page(n);
            QCOMPARE(qint64(page.size()), std::min<qint64>(kContactsPerPage, 130 - n * kContactsPerPage));
            pages.insert(pages.end(), page.begin(), page.end());
        }
        const std::vector<Contact> all = records.rows();
        QCOMPARE(pages.size(), all.size());
        for (size_t i = 0; i < all.size(); ++i)
            QCOMPARE(pages[i].sid, all[i].sid);
        // Each contact after the one before it in the database's own Spanish order, equal names by sid.
        for (size_t i = 1; i < all.size(); ++i) {
            const QByteArray before = all[i - 1].name.toUtf8();
            const QByteArray after = all[i].name.toUtf8();
            const int collation = db::compareSpanishUtf8(before.constData(), before.size(), after.constData(), after.size());
            QVERIFY(collation < 0 || (collation == 0 && all[i - 1].sid < all[i].sid));
        }
        QCOMPARE(all.front().name, QStringLiteral("Ana"));
        QCOMPARE(all.back().name, QStringLiteral("zeta"));

        Condition filter{QStringLiteral("telefono > ?"), {QStringLiteral("34600001100")}};
        QCOMPARE(records.reload(h.d.connection, filter), ContactRecords::Status::Ok);
        QCOMPARE(records.total(), 29);
        QCOMPARE(records.page(0).size(), size_t(29));

        QCOMPARE(records.reload(h.d.connection, std::nullopt), ContactRecords::Status::Ok);
        const QString path = h.d.home.file(QStringLiteral("todas.xlsx"));
        h.prompter.answerSaveFile(path);
        h.ok();
        const exporting::ExportResult r = exporting::exportContactList({h.prompter, h.shell, h.busy}, records, h.d.home.path());
        QCOMPARE(r.status, Status::Exported);
        QCOMPARE(r.rows, 130);
        const xlsx::ReadSheet sheet = xlsx::readWorkbook(path).sheets.value(0);
        QCOMPARE(sheet.lastRow, exporting::kFirstRow + 129);
        QCOMPARE(sheet.text(exporting::kFirstRow, 2), QStringLiteral("Ana"));
        QCOMPARE(sheet.text(exporting::kFirstRow + 129, 2), QStringLiteral("zeta"));
        QVERIFY(sheet.cell(exporting::kHeaderRow, 2)->style.bold);
        QVERIFY(sheet.widths.contains(2));
    }

    // Another workstation adds contacts that sort before the page shown, and deletes some of the
    // ones already seen: the next page starts right after the last contact shown, the page before
    // ends right before the first one, and nothing is shown twice or skipped.
    void pageTurnsFollowTheRowsShownWhileOthersWrite()
    {
        Harness h;
        const char *names[] = {"Óscar", "oscar", "Nuria", "ñandú", "Zoe"};
        for (int i = 0; i < 150; ++i)
            h.d.addContact(QString::fromUtf8(names[i % 5]) + QStringLiteral(" %1").arg(i % 30, 2, 10, QLatin1Char('0')),
                           QStringLiteral("3460000%1").arg(1000 + i));
        ContactRecords records;
        QCOMPARE(records.reload(h.d.connection, std::nullopt), ContactRecords::Status::Ok);
        const std::vector<Contact> before = records.rows();
        const std::vector<Contact> first = records.page(0);
        QCOMPARE(first.size(), size_t(50));

        db::Connection other;
        QVERIFY(other.open(h.d.connection.path()).ok());
        for (int i = 0; i < 60; ++i)
            QVERIFY(other.execute(QStringLiteral("INSERT INTO Agenda (nombre, telefono) VALUES (?, ?)"),
                                  {QStringLiteral("Álvaro %1").arg(i, 2, 10, QLatin1Char('0')), QStringLiteral("34611000%1").arg(100 + i)})
                        .ok());
        QVERIFY(other.execute(QStringLiteral("DELETE FROM Agenda WHERE sid IN (?, ?)"), {first.at(3).sid, first.at(4).sid}).ok());

        const std::vector<Contact> second = records.page(1);
        QCOMPARE(second.size(), size_t(50));
        for (size_t i = 0; i < second.size(); ++i)
            QCOMPARE(second[i].sid, before[50 + i].sid);
        const std::vector<Contact> third = records.page(2);
        QCOMPARE(third.size(), size_t(50));
        QCOMPARE(third.front().sid, before[100].sid);
        QCOMPARE(third.back().sid, before[149].sid);
        // Back one page: the same contacts as on the way forward.
        const std::vector<Contact> back = records.page(1);
        QCOMPARE(back.size(), size_t(50));
        QCOMPARE(back.front().sid, second.front().sid);
        QCOMPARE(back.back().sid, second.back().sid);
        // A redraw of the page showing keeps it; only the first page is read from the top.
        QCOMPARE(records.page(1).front().sid, second.front().sid);
        QCOMPARE(records.page(0).front().name, QStringLiteral("Álvaro 00"));
        // From page 0 straight to page 2: counted on from the last contact of page 0.
        QCOMPARE(records.page(2).front().sid, records.rows().at(100).sid);
    }

    // The tab's page bar turns pages the same way.
    void theTabsPagesFollowTheRowsShown()
    {
        Harness h;
        for (int i = 0; i < 120; ++i)
            h.d.addContact(QStringLiteral("Contacto %1").arg(i, 3, 10, QLatin1Char('0')),
                           QStringLiteral("3460000%1").arg(1000 + i));
        ContactBookFeature f(h.context);
        f.refreshContactList(true);
        QVERIFY(findNode(f.contactsPanel()->contactList(), QStringLiteral("pContacto 50")));
        db::Connection other;
        QVERIFY(other.open(h.d.connection.path()).ok());
        for (int i = 0; i < 60; ++i)
            QVERIFY(other.execute(QStringLiteral("INSERT INTO Agenda (nombre, telefono) VALUES (?, ?)"),
                                  {QStringLiteral("Ana %1").arg(i, 2, 10, QLatin1Char('0')), QStringLiteral("34611000%1").arg(100 + i)})
                        .ok());
        f.contactsPanel()->pageBar()->setValue(1);
        QTreeWidget *tree = f.contactsPanel()->contactList();
        QCOMPARE(tree->topLevelItemCount(), 50);
        QCOMPARE(tree->topLevelItem(0)->text(0), QStringLiteral("Contacto 050"));
        QCOMPARE(tree->topLevelItem(49)->text(0), QStringLiteral("Contacto 099"));
        QCOMPARE(f.contactsPanel()->pageLabel()->text(), QStringLiteral("Página 2 de 3"));
    }

    // The export writes what the list holds when it runs: contacts another workstation added
    // after the view was drawn are in it, and none that the user was shown is left out.
    void theExportTakesTheListAsItStandsWhenItRuns()
    {
        Harness h;
        for (int i = 0; i < 120; ++i)
            h.d.addContact(QStringLiteral("Contacto %1").arg(i, 3, 10, QLatin1Char('0')),
                           QStringLiteral("3460000%1").arg(1000 + i));
        ContactBookFeature f(h.context);
        f.refreshContactList(true);
        QCOMPARE(f.contactRecords().total(), 120);
        db::Connection other;
        QVERIFY(other.open(h.d.connection.path()).ok());
        for (int i = 0; i < 60; ++i)
            QVERIFY(other.execute(QStringLiteral("INSERT INTO Agenda (nombre, telefono) VALUES (?, ?)"),
                                  {QStringLiteral("Ana %1").arg(i, 2, 10, QLatin1Char('0')), QStringLiteral("34611000%1").arg(100 + i)})
                        .ok());
        const QString path = h.d.home.file(QStringLiteral("todos.xlsx"));
        h.prompter.answerSaveFile(path);
        h.ok();
        const exporting::ExportResult r = f.contactsTab().exportList();
        QCOMPARE(r.status, Status::Exported);
        QCOMPARE(r.rows, 180);
        QCOMPARE(h.prompter.lastCall().text, QStringLiteral("Exportación completa\n\nSe han exportado 180 contactos."));
        const xlsx::ReadSheet sheet = xlsx::readWorkbook(path).sheets.value(0);
        QCOMPARE(sheet.lastRow, exporting::kFirstRow + 179);
        QCOMPARE(sheet.text(exporting::kFirstRow, 2), QStringLiteral("Ana 00"));
        QCOMPARE(sheet.text(exporting::kFirstRow + 179, 2), QStringLiteral("Contacto 119"));
    }

    void namesInSpanishOrder()
    {
        Harness h;
        for (const char *name : {"Zoe", "Óscar", "ñandú", "Nuria", "ángel", "Ángel", "Berta", "alba"})
            h.d.addContact(QString::fromUtf8(name), QStringLiteral("34600000001"));
        ContactRecords records;
        QCOMPARE(records.reload(h.d.connection, std::nullopt), ContactRecords::Status::Ok);
        QStringList collation;
        for (const Contact &c : records.rows())
            collation << c.name;
        QCOMPARE(collation, (QStringList{QStringLiteral("alba"), QStringLiteral("ángel"), QStringLiteral("Ángel"),
                                     QStringLiteral("Berta"), QStringLiteral("Nuria"), QStringLiteral("ñandú"),
                                     QStringLiteral("Óscar"), QStringLiteral("Zoe")}));

        for (const char *name : {"Zumba", "Ñu", "Nada", "Élite", "Ebro"})
            h.d.addGroup(QString::fromUtf8(name));
        QStringList groups;
        for (const Group &g : listGroups(h.d.connection).groups)
            groups << g.name;
        QCOMPARE(groups, (QStringList{QStringLiteral("Ebro"), QStringLiteral("Élite"), QStringLiteral("Nada"),
                                      QStringLiteral("Ñu"), QStringLiteral("Zumba")}));
    }

    // An unknown recipient offered while the editor holds another contact: the new contact takes
    // nothing of that one, and that one stays as it was.
    void offeredNumberStartsACleanContact()
    {
        Harness h;
        const qint64 sid = h.d.addContact(ContactRow{QStringLiteral("Ana"), QStringLiteral("34600000001"), {},
                                             QStringLiteral("Vecina"), QStringLiteral("1980-01-02")});
        ContactBookFeature f(h.context);
        f.refreshContactList(true);
        ContactEditorDialog *e = f.openContactEditor(sid);
        QVERIFY(e);
        QCOMPARE(e->commentBox()->text(), QStringLiteral("Vecina"));
        e = f.openEditorForUnknownNumber(QStringLiteral("34699000111"), 0);
        QCOMPARE(e->saveButton()->text(), QStringLiteral("Guardar contacto"));
        QCOMPARE(e->commentBox()->text(), QString());
        QCOMPARE(e->birthDateBox()->text(), QString());
        QVERIFY(!e->editedSid());
        h.ok();
        e->save();
        QCOMPARE(h.d.count(QStringLiteral("Agenda")), 2);
        QCOMPARE(h.d.value(QStringLiteral("comentario"), sid).toString(), QStringLiteral("Vecina"));
        QCOMPARE(h.d.connection.scalar(QStringLiteral("SELECT comentario FROM Agenda WHERE telefono='34699000111'"))
                     .toString(),
                 QString());
    }
};

QTEST_MAIN(TestContactListExport)
#include "test_contact_list_export.moc"
