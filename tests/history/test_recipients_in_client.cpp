// "Seleccionar destinatarios" inside the whole client: each action on a send's recipients reaches
// the contact book, the send panel, the clipboard or a workbook, as the user sees it.
#include "history/view/history_panel.h"
#include "platform/db/connection.h"
#include "platform/ui/saved_workbook.h"
#include "platform/xlsx/read_book.h"
#include "app/main_window/main_window.h"
#include "sending/panel/send_panel_view.h"
#include "support/client_rig.h"


#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>
#include <QUrl>

#include <memory>

namespace {

const QString kAllRecipients = QStringLiteral("34600123456,34611111111,34622222222");

struct Run : testing::ClientRig {
    Run() { sim.addAccount(QStringLiteral("ana"), QStringLiteral("secreto"), 500); }

    // One send: Ana confirmed, Bea failed, Dora pending. Carla's 600123 is part of Ana's number
    // and no recipient.
    void seed(const QString &recipients = kAllRecipients)
    {
        db::Connection setup;
        QVERIFY(openDatabase(setup));
        QVERIFY(setup
                    .execute(QStringLiteral("INSERT INTO Usuario (login,pass,ruta,saldo,huso_horario,version_desktop) "
                                            "VALUES ('ana','secreto','3','500','GMT +01:00','2.0')"))
                    .ok());
        QVERIFY(setup.execute(QStringLiteral("INSERT INTO Grupos (nombre) VALUES ('Clientes')")).ok());
        QVERIFY(setup
                    .execute(QStringLiteral("INSERT INTO Agenda (nombre,telefono,grupos_sid) VALUES "
                                            "('Ana','34600123456','1'),('Bea','34611111111',''),"
                                            "('Carla','600123',NULL),('Dora','34622222222',NULL)"))
                    .ok());
        QVERIFY(setup
                    .execute(QStringLiteral("INSERT INTO Historial (destinatario,f_envio,f_programada,mensaje,id_web,"
                                            "estado,remitente,creditos,bool_cumple,username) VALUES "
                                            "(?1,'2024-05-01 09:00','Inmediato','Hola','w1',"
                                            "'1|34600123456|34611111111','Brisanta',3,'0','ana')"),
                             {recipients})
                    .ok());
    }

    void start()
    {
        client = std::make_unique<app::Client>(prompter, shell);
        QCOMPARE(client->start(), startup::StartupStatus::Ready);
    }

    startup::MainWindow &form() { return client->mainWindow(); }
    QTabWidget *tabs() { return form().tabs(); }
    history::HistoryPanel *history() { return tabs()->findChild<history::HistoryPanel *>(QStringLiteral("picOptions1")); }
    QTreeWidget *contacts() { return tabs()->widget(2)->findChild<QTreeWidget *>(QStringLiteral("TreeView4")); }
    db::Connection &connection() { return client->context().connection; }

    // Opens the popup menu on the send and picks one leaf, as the user does.
    void pick(const char *recipientClass, const char *action)
    {
        history::HistoryPanel *p = history();
        QVERIFY(p);
        QVERIFY(p->selectKey(QStringLiteral("pMensaje 1")));
        const QRect where = p->sendsList()->visualItemRect(p->itemForKey(QStringLiteral("pMensaje 1")));
        Q_EMIT p->sendsList()->customContextMenuRequested(where.center());
        QAction *leaf = p->menuItem(QStringLiteral("mnurclick_listado_historial_destinatarios_%1_%2")
                                        .arg(QLatin1String(recipientClass), QLatin1String(action)));
        QVERIFY(leaf);
        QVERIFY(leaf->isEnabled());
        leaf->trigger();
        p->contextMenu()->hide();
    }

    QStringList shownContacts()
    {
        QStringList names;
        for (int i = 0; i < contacts()->topLevelItemCount(); ++i)
            names << contacts()->topLevelItem(i)->text(0);
        return names;
    }

    QVariant groupsOf(const QString &phone)
    {
        return connection().scalar(QStringLiteral("SELECT grupos_sid FROM Agenda WHERE telefono = ?1"), {phone});
    }
};

bool startsEach(const QStringList &shown, const QStringList &names)
{
    if (shown.size() != names.size())
        return false;
    for (int i = 0; i < shown.size(); ++i) {
        if (!shown.at(i).startsWith(names.at(i)))
            return false;
    }
    return true;
}

} // namespace

class TestRecipientsInClient final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void everyActionIsEnabled()
    {
        Run run;
        run.seed();
        run.start();
        history::HistoryPanel *p = run.history();
        QVERIFY(p);
        for (int action = 0; action < 5; ++action)
            QVERIFY(p->recipientActionAvailable(action));
    }

    void filterAndGroupEndOnTheContactsTab()
    {
        Run run;
        run.seed();
        run.start();
        run.tabs()->setCurrentIndex(1);

        // "Confirmados" → "Filtrar contactos": only Ana, on the contacts tab.
        run.pick("confirmados", "filtrar");
        QCOMPARE(run.tabs()->currentIndex(), 2);
        QCOMPARE(run.tabs()->widget(2)->findChild<QLineEdit *>(QStringLiteral("Text7"))->text(), QStringLiteral("34600123456"));
        QVERIFY2(startsEach(run.shownContacts(), {QStringLiteral("Ana")}), qPrintable(run.shownContacts().join('|')));

        // "Sin confirmar" → "Crear grupo": a name already taken is asked again; the group holds
        // Dora alone (Carla's 600123 is only part of a recipient's number).
        run.tabs()->setCurrentIndex(1);
        run.prompter.answerInput(QStringLiteral("clientes"));
        run.prompter.answerMessage(ui::Answer::Ok);
        run.prompter.answerInput(QStringLiteral("Pendientes de O'Brien"));
        run.pick("pendientes", "grupo");
        const QList<testing::ScriptedPrompter::Call> inputs = run.prompter.callsOf(testing::ScriptedPrompter::Kind::Input);
        QCOMPARE(inputs.size(), 2);
        QCOMPARE(inputs.first().title, QStringLiteral("Crear grupo"));
        QVERIFY(inputs.first().text.endsWith(QStringLiteral("Tiempo estimado: 0 seg")));
        QVERIFY(run.prompter.messageTexts().last().startsWith(QStringLiteral("Ya existe un grupo con el nombre 'clientes'")));
        const qint64 group = run.connection()
                                 .scalar(QStringLiteral("SELECT sid FROM Grupos WHERE nombre = ?1"),
                                         {QStringLiteral("Pendientes de O'Brien")})
                                 .toLongLong();
        QVERIFY(group > 1);
        QCOMPARE(run.groupsOf(QStringLiteral("34622222222")).toString(), QString::number(group));
        QVERIFY(!run.groupsOf(QStringLiteral("600123")).isValid());
        QCOMPARE(run.groupsOf(QStringLiteral("34600123456")).toString(), QStringLiteral("1"));
        QCOMPARE(run.tabs()->currentIndex(), 2);
        QCOMPARE(run.tabs()->widget(2)->findChild<QComboBox *>(QStringLiteral("Combo3"))->currentText(),
                 QStringLiteral("Pendientes de O'Brien"));
        QVERIFY(run.tabs()->widget(2)->findChild<QCheckBox *>(QStringLiteral("Check3"))->isChecked());
        QVERIFY2(startsEach(run.shownContacts(), {QStringLiteral("Dora")}), qPrintable(run.shownContacts().join('|')));

        // "Confirmados" → "Crear grupo" keeps Ana's groups and adds the new one.
        run.prompter.answerInput(QStringLiteral("Recibieron"));
        run.pick("confirmados", "grupo");
        const qint64 confirmedGroup =
            run.connection().scalar(QStringLiteral("SELECT MAX(sid) FROM Grupos")).toLongLong();
        QCOMPARE(run.groupsOf(QStringLiteral("34600123456")).toString(), QStringLiteral("1,%1").arg(confirmedGroup));

        // A cancelled name creates nothing.
        const qint64 before = run.connection().scalar(QStringLiteral("SELECT COUNT(*) FROM Grupos")).toLongLong();
        run.prompter.answerInput(std::nullopt);
        run.pick("todos", "grupo");
        QCOMPARE(run.connection().scalar(QStringLiteral("SELECT COUNT(*) FROM Grupos")).toLongLong(), before);
        QVERIFY2(!run.prompter.hasUnexpected(), run.prompter.unexpectedReport().constData());
    }

    void clipboardAndSendPanel()
    {
        Run run;
        run.seed();
        run.start();
        run.tabs()->setCurrentIndex(1);

        run.pick("todos", "portapapeles");
        QCOMPARE(QGuiApplication::clipboard()->text(), kAllRecipients);
        QCOMPARE(run.tabs()->currentIndex(), 1);

        // Into an empty recipients box: exactly the list, the send tab shown, a new quote asked.
        QPlainTextEdit *recipientsBox = run.form().sendPanel().recipientsBox();
        QVERIFY(recipientsBox->toPlainText().isEmpty());
        const int quotes = run.sim.requestCount(sim::Endpoint::QuoteSms);
        run.pick("fallidos", "enviar");
        QCOMPARE(recipientsBox->toPlainText(), QStringLiteral("34611111111"));
        QCOMPARE(run.tabs()->currentIndex(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(run.sim.requestCount(sim::Endpoint::QuoteSms), quotes + 1, 10000);

        // Then every recipient: the one already there is not added twice.
        run.tabs()->setCurrentIndex(1);
        run.pick("todos", "enviar");
        QCOMPARE(recipientsBox->toPlainText(), QStringLiteral("34611111111,34600123456,34622222222"));
        QCOMPARE(run.tabs()->currentIndex(), 0);
        QVERIFY2(!run.prompter.hasUnexpected(), run.prompter.unexpectedReport().constData());
    }

    void phonesToAWorkbook()
    {
        Run run;
        run.seed();
        run.start();
        const QString path = run.home.file(QStringLiteral("destinatarios"));
        run.prompter.answerSaveFile(path);
        run.prompter.answerMessage(ui::Answer::Ok);
        run.pick("todos", "excel");

        const QString written = path + QStringLiteral(".xlsx");
        QVERIFY(QFileInfo::exists(written));
        QCOMPARE(run.prompter.messageTexts().last(), QStringLiteral("Exportación completa"));
        QCOMPARE(run.prompter.lastCall().title, QStringLiteral("Exportar destinatarios a Excel"));
        QCOMPARE(run.shell.urls().last(), QUrl::fromLocalFile(written).toString());
        const xlsx::ReadBook book = xlsx::readWorkbook(written);
        QVERIFY(book.ok());
        const xlsx::ReadSheet &s = book.sheets.first();
        QCOMPARE(s.text(4, 3), QStringLiteral("Hola"));
        QCOMPARE(s.text(8, 2), QStringLiteral("34600123456"));
        QCOMPARE(s.text(8, 3), QStringLiteral("Confirmado"));
        QCOMPARE(s.text(9, 3), QStringLiteral("Fallido"));
        QCOMPARE(s.text(10, 3), QStringLiteral("Sin confirmar"));

        // No file chosen: nothing written, nothing said.
        const int said = run.prompter.count();
        run.prompter.answerSaveFile(std::nullopt);
        run.pick("confirmados", "excel");
        QCOMPARE(run.prompter.count(), said + 1);

        // No program opens the saved workbook: the user is told so, and where the file is.
        run.shell.setOpenUrlResult(false);
        const QString unopened = run.home.file(QStringLiteral("sin programa.xlsx"));
        run.prompter.answerSaveFile(unopened);
        run.prompter.answerMessage(ui::Answer::Ok);
        run.prompter.answerMessage(ui::Answer::Ok);
        run.pick("todos", "excel");
        QVERIFY(QFileInfo::exists(unopened));
        QCOMPARE(run.prompter.messageTexts().mid(run.prompter.messageTexts().size() - 2),
                 (QStringList{QStringLiteral("Exportación completa"), ui::workbookNotOpenedMessage(unopened)}));
        QCOMPARE(run.prompter.lastCall().title, QStringLiteral("Exportar destinatarios a Excel"));
        QVERIFY2(!run.prompter.hasUnexpected(), run.prompter.unexpectedReport().constData());
    }

    void aLongListIsFilteredThroughAGroup()
    {
        // 5001 characters and more: the contact filter cannot take the numbers, a group does.
        QStringList numbers{QStringLiteral("34600123456")};
        for (int i = 0; numbers.join(QLatin1Char(',')).size() <= 5000; ++i)
            numbers << QStringLiteral("3469%1").arg(i, 7, 10, QLatin1Char('0'));
        Run run;
        run.seed(numbers.join(QLatin1Char(',')));
        run.start();
        run.prompter.answerMessage(ui::Answer::Ok);
        run.prompter.answerInput(QStringLiteral("Muchos"));
        run.pick("todos", "filtrar");
        QCOMPARE(run.prompter.messageTexts().first(),
                 QStringLiteral("Por el número de contactos, es necesario crear un grupo para poder manejarse "
                                "adecuadamente."));
        QCOMPARE(run.tabs()->currentIndex(), 2);
        QCOMPARE(run.tabs()->widget(2)->findChild<QComboBox *>(QStringLiteral("Combo3"))->currentText(), QStringLiteral("Muchos"));
        QVERIFY2(startsEach(run.shownContacts(), {QStringLiteral("Ana")}), qPrintable(run.shownContacts().join('|')));
        QVERIFY2(!run.prompter.hasUnexpected(), run.prompter.unexpectedReport().constData());
    }
};

QTEST_MAIN(TestRecipientsInClient)
#include "test_recipients_in_client.moc"
