#include "app/main_window/dialog_opener.h"
#include "app/main_window/main_window.h"
#include "app/main_window/startup_rules.h"
#include "brand/brand.h"
#include "database/opening.h"
#include "database/schema.h"
#include "platform/db/connection.h"
#include "platform/ui/busy_cursor.h"
#include "seams/app_context.h"
#include "seams/subsystems.h"
#include "sending/panel/send_panel_view.h"
#include "support/recording_shell.h"
#include "support/scripted_prompter.h"
#include "support/temp_home.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

#include <memory>

namespace {

struct RecordingLists final : seams::ListViews {
    QStringList calls;
    QList<QPair<QString, QString>> pendingUpdates;
    void refreshHistoryPage() override { calls << QStringLiteral("historial"); }
    void refreshContactList(bool reload) override { calls << (reload ? QStringLiteral("agenda(true)") : QStringLiteral("agenda(false)")); }
    void refreshGroupList() override { calls << QStringLiteral("grupos"); }
    void refreshTemplateList() override { calls << QStringLiteral("plantillas"); }
    void refreshPendingReports(const QString &login, const QString &pass) override { pendingUpdates.append({login, pass}); }
};

struct RecordingQuote final : seams::BalanceQuote {
    QList<Request> requests;
    void requestQuote(const Request &request) override { requests << request; }
};

struct RecordingDialogs final : startup::DialogOpener {
    QStringList calls;
    void showAccountSettings() override { calls << QStringLiteral("Form2"); }
    void showMissingAccountData() override { calls << QStringLiteral("Form3"); }
    void showPasswordPrompt(const QString &code) override { calls << QStringLiteral("Form19:") + code; }
    void checkVersion(const QString &version) override { calls << QStringLiteral("version:") + version; }
};

struct SomeWindows final : seams::WindowOpener {
    QList<seams::WindowId> opened;
    bool canOpen(seams::WindowId id) const override { return id == seams::WindowId::ExcelImport; }
    void open(seams::WindowId id) override { opened << id; }
};

// One client in its own program folder, with every seam recording what the start-up asked of it.
struct Client {
    testing::TempHome home;
    db::Connection connection;
    testing::ScriptedPrompter prompter;
    testing::RecordingShell shell;
    ui::BusyCursor busy;
    seams::AppContext context{connection, prompter, shell, busy, QString()};
    RecordingLists lists;
    RecordingQuote quote;
    RecordingDialogs dialogs;
    SomeWindows windows;
    std::unique_ptr<startup::MainWindow> form;

    Client() { context.programFolder = home.path(); }

    // The database as an earlier run left it.
    void prepare(const QList<QPair<QString, QVariantList>> &statements)
    {
        db::Connection setup;
        QVERIFY(setup.open(database::localDatabasePath(home.path()), db::OpenMode::CreateIfMissing).ok());
        QVERIFY(database::createSchema(setup).ok());
        for (const auto &[sql, values] : statements)
            QVERIFY2(setup.execute(sql, values).ok(), qPrintable(sql));
    }

    void withAccount(const QString &route = QStringLiteral("3"), const QString &balance = QStringLiteral("12"))
    {
        prepare({{QStringLiteral("INSERT INTO Usuario (login,pass,ruta,saldo,version_desktop) VALUES (?1,?2,?3,?4,?5)"),
                  {QStringLiteral("ana"), QStringLiteral("p&ss"), route, balance, QStringLiteral("2.1")}}});
    }

    startup::StartupStatus start()
    {
        seams::Subsystems subsystems;
        subsystems.lists = &lists;
        subsystems.quote = &quote;
        subsystems.windows = &windows;
        form = std::make_unique<startup::MainWindow>(context, subsystems, &dialogs);
        return form->load();
    }

    sending::SendPanelView &panel() { return form->sendPanel(); }

    QString stored(const QString &sql)
    {
        return connection.scalar(sql).toString();
    }
};

void sendFocusIn(QWidget *widget)
{
    QFocusEvent event(QEvent::FocusIn, Qt::TabFocusReason);
    QCoreApplication::sendEvent(widget, &event);
}

} // namespace

class TestMainWindow final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void withoutAccountRowTheSettingsOpenAndEverythingElseIsFilled()
    {
        Client client;
        QCOMPARE(client.start(), startup::StartupStatus::Ready);
        QVERIFY2(!client.prompter.hasUnexpected(), client.prompter.unexpectedReport().constData());

        QCOMPARE(client.dialogs.calls,
                 QStringList({QStringLiteral("Form2"), QStringLiteral("Form3"), QStringLiteral("version:")}));
        QVERIFY(!client.form->isVisible());
        QVERIFY(client.quote.requests.isEmpty());
        QCOMPARE(client.lists.calls, QStringList({QStringLiteral("historial"), QStringLiteral("agenda(true)"),
                                                  QStringLiteral("grupos"), QStringLiteral("plantillas")}));
        QCOMPARE(client.form->filterOperatorCombo()->count(), 10);
        QCOMPARE(client.form->filterOperatorCombo()->currentText(), QStringLiteral("contengan"));
        QCOMPARE(client.form->filterFieldCombo()->count(), 7);
        QCOMPARE(client.form->filterFieldCombo()->currentText(), QStringLiteral("nombre"));
        QCOMPARE(client.form->tabs()->tabText(4), QStringLiteral("Plantillas"));
        QCOMPARE(client.form->tabs()->tabToolTip(0), QStringLiteral("Enviar SMS a móvil"));
        QCOMPARE(client.form->windowTitle(), brand::brandName());
        QVERIFY(!client.panel().sendButton()->isEnabled());

        // The settings dialog brings the window back once the account is saved.
        client.form->bringToFront();
        QVERIFY(client.form->isVisible());
    }

    void theSenderListFollowsTheStoredDefaults_data()
    {
        QTest::addColumn<QStringList>("senders");
        QTest::addColumn<QList<int>>("defaults");
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<QString>("selected");
        QTest::newRow("empty table") << QStringList() << QList<int>() << QStringList({brand::defaultSender()})
                                     << brand::defaultSender();
        QTest::newRow("two defaults, the later wins")
            << QStringList({QStringLiteral("Uno"), QStringLiteral("Dos"), QStringLiteral("Tres")}) << QList<int>({1, 0, 1})
            << QStringList({QStringLiteral("Uno"), QStringLiteral("Dos"), QStringLiteral("Tres")}) << QStringLiteral("Tres");
        QTest::newRow("no default") << QStringList({QStringLiteral("Uno"), QStringLiteral("Dos")}) << QList<int>({0, 0})
                                    << QStringList({QStringLiteral("Uno"), QStringLiteral("Dos")}) << QStringLiteral("Uno");
    }

    void theSenderListFollowsTheStoredDefaults()
    {
        QFETCH(QStringList, senders);
        QFETCH(QList<int>, defaults);
        QFETCH(QStringList, items);
        QFETCH(QString, selected);
        Client client;
        QList<QPair<QString, QVariantList>> rows;
        for (int i = 0; i < senders.size(); ++i)
            rows.append({QStringLiteral("INSERT INTO Remitentes (remitente,defecto) VALUES (?1,?2)"), {senders[i], defaults[i]}});
        client.prepare(rows);
        client.start();

        QComboBox *combo = client.panel().senderCombo();
        QStringList shown;
        for (int i = 0; i < combo->count(); ++i)
            shown << combo->itemText(i);
        QCOMPARE(shown, items);
        QCOMPARE(combo->currentText(), selected);

        // A refill by another window keeps the sender the user had chosen.
        combo->setCurrentIndex(0);
        client.form->reloadSenders();
        QCOMPARE(combo->currentIndex(), 0);
    }

    void theStartupQuoteUsesTheStoredRoute_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("sent");
        QTest::addColumn<QString>("afterwards");
        QTest::addColumn<QString>("cost");
        QTest::newRow("0 is sent as 3 and kept") << "0" << "3" << "0" << "1 crédito(s)";
        QTest::newRow("5 is rewritten to 3") << "5" << "5" << "3" << "1 crédito(s)";
        QTest::newRow("1 is its own price") << "1" << "1" << "1" << "0.825 crédito(s)";
    }

    void theStartupQuoteUsesTheStoredRoute()
    {
        QFETCH(QString, stored);
        QFETCH(QString, sent);
        QFETCH(QString, afterwards);
        QFETCH(QString, cost);
        Client client;
        client.withAccount(stored);
        QCOMPARE(client.start(), startup::StartupStatus::Ready);

        QCOMPARE(client.quote.requests.size(), 1);
        const auto &request = client.quote.requests.first();
        QCOMPARE(request.route, sent);
        QCOMPARE(request.username, QStringLiteral("ana"));
        QCOMPARE(request.password, QStringLiteral("p&ss"));
        QCOMPARE(request.message, QStringLiteral("Saldo al arrancar Desktop"));
        QCOMPARE(request.recipients, QStringLiteral("34600123456"));
        QCOMPARE(request.sender, QStringLiteral("Saldo"));
        QVERIFY(request.callback.isEmpty() && request.date.isEmpty());
        QCOMPARE(client.stored(QStringLiteral("SELECT ruta FROM Usuario")), afterwards);
        QCOMPARE(client.panel().costLabel()->text(), cost);
        QCOMPARE(client.form->accountLogin(), QStringLiteral("ana"));
        QCOMPARE(client.form->desktopVersion(), QStringLiteral("2.1"));
        QCOMPARE(client.dialogs.calls, QStringList({QStringLiteral("version:2.1")}));
        QVERIFY(client.form->isVisible());
    }

    void theBalanceIsWordedByItsLength_data()
    {
        QTest::addColumn<QString>("balance");
        QTest::addColumn<QString>("label");
        QTest::newRow("one") << "1" << "1 crédito";
        QTest::newRow("twelve") << "12" << "12 créditos";
        QTest::newRow("four characters") << "1500" << "1500 cr.";
        QTest::newRow("decimal one") << "1.0" << "1.0 crédito";
        QTest::newRow("none stored") << "" << "Desconocido";
        QTest::newRow("one and a blank") << "1 " << "1 crédito";
        QTest::newRow("two digits and a blank") << "12 " << "12 créditos";
    }

    void theBalanceIsWordedByItsLength()
    {
        QFETCH(QString, balance);
        QFETCH(QString, label);
        Client client;
        client.withAccount(QStringLiteral("3"), balance);
        client.start();
        QCOMPARE(client.panel().balanceLabel()->text(), label);
        // The send stays off until the balance reply arrives.
        QVERIFY(!client.panel().sendButton()->isEnabled());
    }

    void ctrlTabWrapsAndCtrlShiftTabDoesNothing()
    {
        Client client;
        client.withAccount();
        client.start();
        client.form->selectTab(5);
        QWidget *focus = client.panel().messageBox();
        QTest::keyClick(focus, Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(client.form->selectedTab(), 1);
        QTest::keyClick(client.form->tabs(), Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(client.form->selectedTab(), 2);
        QTest::keyClick(client.form->tabs(), Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
        QTest::keyClick(client.panel().recipientsBox(), Qt::Key_Tab, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(client.form->selectedTab(), 2);
        // Only the visible panel is enabled; the last-picked label belongs to the send tab.
        QVERIFY(client.form->tabs()->widget(1)->isEnabled());
        QVERIFY(!client.panel().isEnabled());
        QVERIFY(client.panel().pickedRecipientLabel()->isHidden());
    }

    void theHistoryTabAsksForReportsOnlyWithAnAccount()
    {
        {
            Client client;
            client.withAccount();
            client.start();
            client.form->selectTab(2);
            QCOMPARE(client.lists.pendingUpdates.size(), 1);
            QCOMPARE(client.lists.pendingUpdates.first(), qMakePair(QStringLiteral("ana"), QStringLiteral("p&ss")));
            client.form->selectTab(3);
            QCOMPARE(client.lists.pendingUpdates.size(), 1);
        }
        {
            Client client;
            client.start();
            client.form->selectTab(2);
            QVERIFY(client.lists.pendingUpdates.isEmpty());
        }
        {
            // A row holding only a shared path, saved before any account, is no account.
            Client client;
            client.prepare({{QStringLiteral("INSERT INTO Usuario (ruta_bbdd) VALUES (?1)"),
                             {QStringLiteral("/srv/bbdd.mdb")}}});
            client.start();
            client.form->selectTab(2);
            QVERIFY(client.lists.pendingUpdates.isEmpty());
        }
    }

    void quitShutsDownLikeClosingTheWindow()
    {
        Client client;
        client.withAccount();
        client.start();
        QVERIFY(client.connection.isOpen());
        QSignalSpy finished(client.form.get(), &startup::MainWindow::finished);
        client.form->menuAction(QStringLiteral("mnuSalir"))->trigger();
        QVERIFY(!client.connection.isOpen());
        QCOMPARE(finished.size(), 1);
        QVERIFY(!client.form->isVisible());
        QVERIFY(!client.form->hasTrayIcon());
        client.form->close();
        QCOMPARE(finished.size(), 1);
    }

    void closingTheWindowEndsTheProgramWithDialogsOpen()
    {
        Client client;
        client.withAccount();
        client.start();
        QWidget dialog;
        dialog.show();
        QSignalSpy finished(client.form.get(), &startup::MainWindow::finished);
        client.form->close();
        QCOMPARE(finished.size(), 1);
        QVERIFY(!client.connection.isOpen());
    }

    void aDatabaseThatCannotBeOpenedEndsTheStart()
    {
        Client client;
        // A folder where the file should be: neither opened nor created.
        QVERIFY(QDir(client.home.path()).mkdir(QStringLiteral("bbdd.mdb")));
        QCOMPARE(client.start(), startup::StartupStatus::NoDatabase);
        QCOMPARE(client.prompter.callsOf(testing::ScriptedPrompter::Kind::Message).size(), 1);
        const auto call = client.prompter.lastCall();
        QCOMPARE(call.icon, ui::Icon::Critical);
        QVERIFY(!call.text.isEmpty());
        QVERIFY(!client.form->isVisible());
        QVERIFY(client.lists.calls.isEmpty());
        QVERIFY(client.quote.requests.isEmpty());
    }

    void createNewStaysOnceAtTheEndAndLeadsToThePasswordPrompt()
    {
        Client client;
        client.prepare({{QStringLiteral("INSERT INTO Remitentes (remitente,defecto) VALUES ('Uno',0),('Dos',1)"), {}}});
        client.start();
        QComboBox *combo = client.panel().senderCombo();
        sendFocusIn(combo);
        sendFocusIn(combo);
        QCOMPARE(combo->count(), 3);
        QCOMPARE(combo->itemText(2), QStringLiteral("Crear nuevo..."));
        QCOMPARE(combo->findText(QStringLiteral("Crear nuevo...")), 2);
        QCOMPARE(combo->currentText(), QStringLiteral("Dos"));

        combo->setCurrentIndex(1);
        QVERIFY(client.dialogs.calls.filter(QStringLiteral("Form19")).isEmpty());
        combo->setCurrentIndex(2);
        QCOMPARE(combo->count(), 2);
        QCOMPARE(combo->currentIndex(), 0);
        QCOMPARE(client.dialogs.calls.filter(QStringLiteral("Form19")), QStringList({QStringLiteral("Form19:9")}));
        QCOMPARE(client.panel().senderComboTag(), QStringLiteral("0"));
    }

    void menusOpenWhatIsBuiltAndDisableTheRest()
    {
        Client client;
        client.withAccount();
        client.start();
        QCOMPARE(client.form->menuAction(QStringLiteral("mnuAgendaBrisanta"))->text(),
                 QStringLiteral("Web ") + brand::webName());
        QAction *home = client.form->menuAction(QStringLiteral("mnuBrisanta"));
        QCOMPARE(home->text(), brand::defaultSender());
        home->trigger();
        QCOMPARE(client.shell.urls(), QStringList({brand::baseUrl()}));

        QVERIFY(client.form->menuAction(QStringLiteral("mnuExcelImportar"))->isEnabled());
        client.form->menuAction(QStringLiteral("mnuExcelImportar"))->trigger();
        QCOMPARE(client.windows.opened, QList<seams::WindowId>({seams::WindowId::ExcelImport}));
        for (const char *name : {"mnuExcelExportar", "mnuAccess_Importar", "mnuborraragenda", "mnuExportarHistorial",
                                 "mnuAutomatizar_Configuracion", "mnuFelicitarCumpleaños", "mnuImportarBrisanta"})
            QVERIFY2(!client.form->menuAction(QString::fromUtf8(name))->isEnabled(), name);
        // Without an automation row the start/stop entry has nothing to start.
        QVERIFY(!client.form->menuAction(QStringLiteral("mnuAutomatizar_Comenzar"))->isEnabled());

        client.panel().sendButton()->setEnabled(true);
        client.form->menuAction(QStringLiteral("mnuConfiguracion"))->trigger();
        QVERIFY(client.dialogs.calls.contains(QStringLiteral("Form2")));
        QVERIFY(!client.panel().sendButton()->isEnabled());
    }

    void trayDoubleClickTogglesTheWindow()
    {
        Client client;
        client.withAccount();
        client.start();
        QVERIFY(client.form->isVisible());
        client.form->trayDoubleClick();
        QVERIFY(!client.form->isVisible());
        QVERIFY(client.form->windowState() & Qt::WindowMinimized);
        client.form->trayDoubleClick();
        QVERIFY(client.form->isVisible());
        QVERIFY(!(client.form->windowState() & Qt::WindowMinimized));
    }

    void longRecipientListsAreNotCut()
    {
        sending::SendPanelView panel;
        const QString numbers = QStringLiteral("34600123456,").repeated(4000);
        panel.recipientsBox()->setPlainText(numbers);
        QCOMPARE(panel.recipientsBox()->toPlainText().size(), numbers.size());
        QCOMPARE(panel.sendTimeBox()->text(), QStringLiteral("Inmediato"));
        QVERIFY(panel.clearRecipientsImage()->isHidden());
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
