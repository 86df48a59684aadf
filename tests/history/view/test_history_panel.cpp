#include "history/send_time.h"
#include "history/view/history_feature.h"
#include "history/view/history_panel.h"
#include "history/view/history_seams.h"
#include "history/view/recipient_actions.h"
#include "history/gateway_sends.h"
#include "history/history_fixture.h"
#include "gateway-sim/gateway_simulator.h"
#include "platform/net/too_large_reply.h"
#include "platform/ui/busy_cursor.h"
#include "support/recording_shell.h"
#include "support/scripted_prompter.h"

#include <QAction>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QToolButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

#include <memory>

using namespace std::chrono_literals;
using history::HistoryFeature;
using history::HistoryPanel;
using historytest::Send;

namespace {

const QString kFuture = QStringLiteral("2024-06-01 10:00");
const QString kLogin = QStringLiteral("demo");
const QString kGone = QStringLiteral("Este envío ya no está en el historial. No se ha hecho nada.");

// One client with its own program folder, database, gateway and prompts.
struct Client {
    historytest::Database data;
    sim::GatewaySimulator gateway;
    testing::ScriptedPrompter prompter;
    testing::RecordingShell shell;
    ui::BusyCursor busy;
    seams::AppContext context{data.connection, prompter, shell, busy, data.home.path()};
    std::unique_ptr<HistoryFeature> feature;

    Client()
    {
        QVERIFY(gateway.start());
        qputenv("BRISANTA_URL_BASE", gateway.baseUrl().toUtf8());
        gateway.addAccount(kLogin, kLogin);
        gateway.setGatewayClock(historytest::fixedNow());
        data.connection.execute(QStringLiteral("INSERT INTO Usuario (login, pass) VALUES (?, ?)"), {kLogin, kLogin});
        feature = std::make_unique<HistoryFeature>(context);
        feature->setClock(&historytest::fixedNow);
        feature->reportChannel().setTimeout(10s);
        feature->cancelChannel().setTimeout(10s);
        feature->setSyncTimeout(10s);
    }

    HistoryPanel &panel() { return *feature->panel(); }

    // A send the gateway knows, as the send command would have made it; returns its id.
    QString gatewaySend(const QString &number, const QString &scheduledFor = {})
    {
        return historytest::sendAtGateway(gateway, kLogin, kLogin, number, scheduledFor);
    }

    // A send known to both sides.
    qint64 recordSend(const QString &number, const QString &scheduledFor = {})
    {
        Send s;
        s.recipients = number;
        s.gatewayId = gatewaySend(number, scheduledFor);
        if (!scheduledFor.isEmpty())
            s.scheduledFor = scheduledFor;
        return data.insert(s);
    }

    // A right click on the node `key`: the popup menu opens on that send.
    void rightClick(const QString &key) { Q_EMIT panel().contextRequested(key, QPoint()); }
    QString idOf(qint64 sid)
    {
        return data.connection.scalar(QStringLiteral("SELECT id_web FROM Historial WHERE sid=?"), {sid}).toString();
    }

    QTreeWidgetItem *node(const QString &key) { return panel().itemForKey(key); }
    QString text(const QString &key)
    {
        QTreeWidgetItem *item = node(key);
        return item ? item->text(0) : QStringLiteral("<none>");
    }
    QColor colour(const QString &key)
    {
        QTreeWidgetItem *item = node(key);
        return item ? item->foreground(0).color() : QColor();
    }
    QString label() { return panel().pageLabel()->text(); }
    int sends() { return panel().sendsList()->topLevelItemCount(); }
    QAction *item(const char *name) { return panel().menuItem(QString::fromLatin1(name)); }
};

QColor colourOf(history::Colour c)
{
    return QColor::fromRgb(history::rgb(c));
}

} // namespace

class TestHistoryPanel final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { m_client = std::make_unique<Client>(); }
    void cleanup()
    {
        if (m_client)
            m_client->gateway.releaseHangs();
        m_client.reset();
    }

    void emptyHistoryShowsOneNode()
    {
        Client &c = *m_client;
        c.feature->refreshHistoryPage();
        QCOMPARE(c.sends(), 1);
        QCOMPARE(c.text(QStringLiteral("l0")), QStringLiteral("Sin registros"));
        QCOMPARE(c.label(), QStringLiteral("Página 1 de 1"));
        QVERIFY(!c.item("mnurclick_listado_historial_cancelar_todos")->isEnabled());
        QVERIFY(!c.item("mnurclick_listado_historial_eliminar_todos")->isEnabled());
        // The bulk actions on an empty view do nothing at all.
        c.feature->cancelAllInView();
        c.feature->deleteAllSentInView();
        QCOMPARE(c.prompter.count(), 0);
    }

    void pagingAndViewOptions()
    {
        Client &c = *m_client;
        c.data.seedHundred();
        c.feature->refreshHistoryPage();
        QCOMPARE(c.sends(), 30);
        QCOMPARE(c.label(), QStringLiteral("Página 1 de 4"));
        QVERIFY(c.text(QStringLiteral("pMensaje 100")).startsWith(QStringLiteral("Mensaje 1 (")));
        QCOMPARE(c.panel().pageBar()->maximum(), 3);

        // The page bar pages.
        c.panel().pageBar()->setValue(3);
        QCOMPARE(c.sends(), 10);
        QCOMPARE(c.label(), QStringLiteral("Página 4 de 4"));
        QVERIFY(c.text(QStringLiteral("pMensaje 10")).startsWith(QStringLiteral("Mensaje 91 (")));

        // "Programados" lists the 17 future sends: the view shrinks to one page and the bar follows.
        QSignalSpy redrawn(c.feature.get(), &HistoryFeature::redrawn);
        c.panel().viewOption(2)->trigger();
        QCOMPARE(redrawn.count(), 1);
        QCOMPARE(c.sends(), 17);
        QCOMPARE(c.label(), QStringLiteral("Página 1 de 1"));
        QCOMPARE(c.panel().pageBar()->value(), 0);
        QVERIFY(c.item("mnurclick_listado_historial_cancelar_todos")->isEnabled());
        QVERIFY(!c.item("mnurclick_listado_historial_eliminar_todos")->isEnabled());

        // "Enviados" twice: the second click changes nothing and does not redraw.
        c.panel().viewOption(1)->trigger();
        c.panel().viewOption(1)->trigger();
        QCOMPARE(redrawn.count(), 2);
        QCOMPARE(c.panel().viewIndex(), 1);
        QCOMPARE(c.feature->currentPage().rowCount, qint64(83));
        QVERIFY(!c.item("mnurclick_listado_historial_cancelar_todos")->isEnabled());
        QVERIFY(c.item("mnurclick_listado_historial_eliminar_todos")->isEnabled());
    }

    // Another workstation records sends and deletes some of those shown while the user pages:
    // each page follows on from the sends the page before showed, forwards and back.
    void pageTurnsFollowTheSendsShownWhileOthersWrite()
    {
        Client &c = *m_client;
        c.data.seedHundred();
        c.feature->refreshHistoryPage();
        QVERIFY(c.node(QStringLiteral("pMensaje 71")));    // the oldest send on page 1
        db::Connection other;
        QVERIFY(other.open(c.data.connection.path()).ok());
        for (int i = 0; i < 40; ++i)
            QVERIFY(other.execute(QStringLiteral("INSERT INTO Historial (destinatario, f_envio, f_programada, mensaje, estado) "
                                                 "VALUES ('34600999999', '2024-05-09 10:00', 'Inmediato', 'Nuevo', '0|0|0')"))
                        .ok());
        QVERIFY(other.execute(QStringLiteral("DELETE FROM Historial WHERE sid IN (99, 98)")).ok());

        const auto shows = [&c](int newest, int oldest) {
            return c.sends() == newest - oldest + 1 && c.node(QStringLiteral("pMensaje %1").arg(newest))
                && c.node(QStringLiteral("pMensaje %1").arg(oldest));
        };
        c.panel().pageBar()->setValue(1);
        QVERIFY(shows(70, 41));
        c.panel().pageBar()->setValue(2);
        QVERIFY(shows(40, 11));
        c.panel().pageBar()->setValue(1);
        QVERIFY(shows(70, 41));
        // The first page is the newest sends.
        c.panel().pageBar()->setValue(0);
        QVERIFY(shows(140, 111));
    }

    void coloursAndNullFields()
    {
        Client &c = *m_client;
        c.data.seedHundred();
        // A row with every column null but its key, as an old or damaged file may hold.
        c.data.connection.execute(QStringLiteral("INSERT INTO Historial (sid) VALUES (101)"));
        c.feature->refreshHistoryPage();

        QCOMPARE(c.colour(QStringLiteral("pMensaje 99")), colourOf(history::Colour::Grey));    // future
        QCOMPARE(c.colour(QStringLiteral("pMensaje 98")), colourOf(history::Colour::Red));     // all failed
        QCOMPARE(c.colour(QStringLiteral("pMensaje 97")), colourOf(history::Colour::Orange));  // partly
        QCOMPARE(c.colour(QStringLiteral("pMensaje 95")), colourOf(history::Colour::Green));   // delivered
        QCOMPARE(c.colour(QStringLiteral("Recibidos 97")), colourOf(history::Colour::Green));
        QCOMPARE(c.text(QStringLiteral("pFallidos 98")), QStringLiteral("Destinatarios fallidos: (3/3)"));

        // The null row is drawn, and its menu, report and cancel leave it alone.
        QVERIFY(c.text(QStringLiteral("pMensaje 101")).startsWith(QStringLiteral("Mensaje 1 (")));
        QVERIFY(c.panel().selectKey(QStringLiteral("pMensaje 101")));
        const QRect where = c.panel().sendsList()->visualItemRect(c.node(QStringLiteral("pMensaje 101")));
        Q_EMIT c.panel().sendsList()->customContextMenuRequested(where.center());
        QVERIFY(!c.item("mnurclick_listado_historial_destinatarios")->isEnabled());
        QVERIFY(c.item("mnurclick_listado_historial_eliminar")->isEnabled());
        c.panel().contextMenu()->hide();
        c.feature->requestMenuSendReport();
        QCOMPARE(c.gateway.requestCount(sim::Endpoint::GetReport), 0);
        QCOMPARE(c.data.count(QStringLiteral("sid=101")), qint64(1));

        // A right click below the sends: only the bulk items and "Ver".
        Q_EMIT c.panel().sendsList()->customContextMenuRequested(QPoint(2, 100000));
        QVERIFY(!c.item("mnurclick_listado_historial_cancelar")->isVisible());
        QVERIFY(c.item("mnurclick_listado_historial_cancelar_todos")->isVisible());
        c.panel().contextMenu()->hide();
    }

    void recipientActionsStayDisabledUntilSomeoneCarriesThemOut()
    {
        // A panel on its own carries out nothing: all twenty leaves are there and disabled, and
        // neither they nor the double click ask for anything.
        HistoryPanel bare;
        QSignalSpy bareRequested(&bare, &HistoryPanel::recipientsRequested);
        QSignalSpy bareDoubleClicked(&bare, &HistoryPanel::recipientsDoubleClicked);
        const QStringList classes{"todos", "confirmados", "pendientes", "fallidos"};
        const QStringList actions{"filtrar", "grupo", "portapapeles", "enviar", "excel"};
        const QStringList captions{"Filtrar contactos", "Crear grupo", "Copiar al portapapeles", "Añadir a 'Enviar a'",
                                   "Exportar teléfonos a Excel"};
        const auto leaf = [&classes, &actions](HistoryPanel &p, int classIndex, int action) {
            return p.menuItem(QStringLiteral("mnurclick_listado_historial_destinatarios_%1_%2")
                                  .arg(classes.at(classIndex), actions.at(action)));
        };
        for (int classIndex = 0; classIndex < 4; ++classIndex) {
            for (int action = 0; action < 5; ++action) {
                QAction *a = leaf(bare, classIndex, action);
                QVERIFY(a);
                QCOMPARE(a->text(), captions.at(action));
                QVERIFY(!a->isEnabled());
                a->trigger();
            }
        }
        QCOMPARE(bareRequested.count(), 0);

        // The history feature carries out the copy and the workbook itself; the filter, the group
        // and the send panel wait until the application says where they lead.
        Client &c = *m_client;
        c.data.seedHundred();
        c.feature->refreshHistoryPage();
        QSignalSpy requested(&c.panel(), &HistoryPanel::recipientsRequested);
        const QString sendKey = QStringLiteral("pMensaje 97");   // partly delivered: every class has numbers
        QVERIFY(c.panel().selectKey(sendKey));
        const QRect where = c.panel().sendsList()->visualItemRect(c.node(sendKey));
        Q_EMIT c.panel().sendsList()->customContextMenuRequested(where.center());
        QVERIFY(c.item("mnurclick_listado_historial_destinatarios")->isEnabled());
        QVERIFY(c.item("mnurclick_listado_historial_destinatarios_confirmados")->isEnabled());
        QVERIFY(!c.item("mnurclick_listado_historial_destinatarios_fallidos")->isEnabled());
        for (int classIndex = 0; classIndex < 4; ++classIndex) {
            for (int action = 0; action < 5; ++action)
                QCOMPARE(leaf(c.panel(), classIndex, action)->isEnabled(), action == 2 || action == 4);
        }
        leaf(c.panel(), 0, 0)->trigger();
        leaf(c.panel(), 0, 3)->trigger();
        QCOMPARE(requested.count(), 0);
        QSignalSpy doubleClicked(&c.panel(), &HistoryPanel::recipientsDoubleClicked);
        Q_EMIT c.panel().sendsList()->itemDoubleClicked(c.node(QStringLiteral("Recibidos 97")), 0);
        QCOMPARE(doubleClicked.count(), 0);

        // The copy works at once, for the send the menu was opened on.
        QSignalSpy acted(&c.feature->recipientActions(), &history::RecipientActions::acted);
        leaf(c.panel(), 1, 2)->trigger();
        QCOMPARE(requested.count(), 1);
        QCOMPARE(requested.first().at(0).toLongLong(), qint64(97));
        QCOMPARE(requested.first().at(1).toString(), QStringLiteral("Recibidos"));
        QCOMPARE(requested.first().at(2).toInt(), 2);
        QCOMPARE(acted.count(), 1);
        QCOMPARE(acted.first().at(0).value<history::RecipientOutcome>().status,
                 history::RecipientOutcome::Status::Copied);
        c.panel().contextMenu()->hide();

        // Once the contact book is there, its two leaves and the double click work.
        QStringList filtered;
        history::ContactBookLink contactBook;
        contactBook.filterByPhones = [&filtered](const QString &list) { filtered << list; };
        contactBook.reloadGroups = [] {};
        contactBook.filterByGroup = [](const QString &) {};
        contactBook.showContacts = [] {};
        c.feature->recipientActions().setContactBook(contactBook);
        QVERIFY(leaf(c.panel(), 3, 0)->isEnabled() && leaf(c.panel(), 3, 1)->isEnabled());
        QVERIFY(!leaf(c.panel(), 3, 3)->isEnabled());
        Q_EMIT c.panel().sendsList()->itemDoubleClicked(c.node(QStringLiteral("Recibidos 97")), 0);
        QCOMPARE(doubleClicked.count(), 1);
        QCOMPARE(doubleClicked.first().at(1).toString(), QStringLiteral("Recibidos"));
        QCOMPARE(filtered, QStringList{QStringLiteral("34600009701")});
        // A double click on the send's own node names no class: nothing.
        Q_EMIT c.panel().sendsList()->itemDoubleClicked(c.node(sendKey), 0);
        QCOMPARE(filtered.size(), 1);

        // Nothing to act on: an unknown class, a send that is gone, a class without numbers (the
        // filter is not applied and the tab stays).
        using history::RecipientAction;
        using Status = history::RecipientOutcome::Status;
        history::RecipientActions &recipientActions = c.feature->recipientActions();
        QCOMPARE(recipientActions.actOnRecipients(97, QStringLiteral("pMensaje"), RecipientAction::Filter).status,
                 Status::Nothing);
        QCOMPARE(recipientActions.actOnRecipients(999, QStringLiteral("Recibidos"), RecipientAction::Filter).status,
                 Status::Nothing);
        QCOMPARE(recipientActions.actOnRecipients(96, QStringLiteral("Fallidos"), RecipientAction::Filter).status,
                 Status::Nothing);
        QCOMPARE(filtered.size(), 1);
        // The send panel has nowhere to go yet.
        QCOMPARE(recipientActions.actOnRecipients(97, QStringLiteral("Recibidos"), RecipientAction::AddToSendPanel).status,
                 Status::Unavailable);

        c.feature->recipientActions().setSendPanel([](const QString &) {});
        QVERIFY(leaf(c.panel(), 2, 3)->isEnabled());
        QVERIFY2(!c.prompter.hasUnexpected(), c.prompter.unexpectedReport().constData());
    }

    void filterThroughThePanel()
    {
        Client &c = *m_client;
        c.data.seedHundred();
        c.feature->refreshHistoryPage();
        HistoryPanel &p = c.panel();

        // Before any "Filtrar" the box cannot be ticked: a click opens the panel, another closes it.
        p.filterCheck()->click();
        QVERIFY(!p.filterCheck()->isChecked());
        QVERIFY(!p.filterFrame()->isHidden());
        p.filterCheck()->click();
        QVERIFY(p.filterFrame()->isHidden());

        p.byTextCheck()->setChecked(true);
        p.messageTextBox()->setText(QStringLiteral("Oferta"));
        p.applyFilterButton()->click();
        QVERIFY(p.filterCheck()->isChecked());
        QVERIFY(p.filterFrame()->isHidden());
        QCOMPARE(c.feature->currentPage().rowCount, qint64(50));
        QCOMPARE(c.label(), QStringLiteral("Página 1 de 2"));

        // Unticking shows everything again without losing the condition; ticking applies it.
        p.filterCheck()->click();
        QCOMPARE(c.feature->currentPage().rowCount, qint64(100));
        p.filterCheck()->click();
        QCOMPARE(c.feature->currentPage().rowCount, qint64(50));

        // A nine-digit mobile gets its prefix back in the box and finds exactly that member.
        p.byTextCheck()->setChecked(false);
        p.byPhoneCheck()->setChecked(true);
        p.phoneBox()->setText(QStringLiteral("600000101"));
        p.applyFilterButton()->click();
        QCOMPARE(p.phoneBox()->text(), QStringLiteral("34600000101"));
        QCOMPARE(c.feature->currentPage().rowCount, qint64(1));
        QVERIFY(c.node(QStringLiteral("pMensaje 1")));

        // Quotes and brackets typed into the text are only text.
        p.byPhoneCheck()->setChecked(false);
        p.byTextCheck()->setChecked(true);
        p.messageTextBox()->setText(QStringLiteral("O'Ferta [1]"));
        p.applyFilterButton()->click();
        QCOMPARE(c.feature->currentPage().rowCount, qint64(0));
        QCOMPARE(c.text(QStringLiteral("l0")), QStringLiteral("Sin registros"));

        // The contact book's "Buscar envíos" lands on the same filter (the text criterion stays as it was).
        p.byTextCheck()->setChecked(false);
        c.feature->findSendsTo(QStringLiteral("34600000101"));
        QCOMPARE(c.feature->currentPage().rowCount, qint64(1));
    }

    void filterPanelAndCalendars()
    {
        Client &c = *m_client;
        c.data.seedHundred();
        c.feature->refreshHistoryPage();
        HistoryPanel &p = c.panel();
        p.resize(760, 520);
        p.show();
        QVERIFY(QTest::qWaitForWindowExposed(&p));
        QCOMPARE(p.fromDateBox()->text(), QStringLiteral("2000-01-01"));
        QCOMPARE(p.toDateBox()->text(), QStringLiteral("2050-01-01"));
        QCOMPARE(p.fromCalendar()->selectedDate(), QDate(2000, 1, 1));

        // The icon opens and closes the panel; closing it closes the calendars too.
        p.filterPanelButton()->click();
        QVERIFY(!p.filterFrame()->isHidden());
        QTest::mouseClick(p.fromDateBox(), Qt::LeftButton);
        QVERIFY(!p.fromCalendar()->isHidden());
        p.filterPanelButton()->click();
        QVERIFY(p.filterFrame()->isHidden());
        QVERIFY(p.fromCalendar()->isHidden());
        p.filterPanelButton()->click();

        // Each calendar fills its box; the second starts at today the first time only.
        QTest::mouseClick(p.fromDateBox(), Qt::LeftButton);
        QVERIFY(!p.fromCalendar()->isHidden() && p.toCalendar()->isHidden());
        p.fromCalendar()->setSelectedDate(QDate(2024, 5, 5));
        QCOMPARE(p.fromDateBox()->text(), QStringLiteral("2024-05-05"));
        QTest::mouseClick(p.toDateBox(), Qt::LeftButton);
        QVERIFY(p.fromCalendar()->isHidden() && !p.toCalendar()->isHidden());
        QCOMPARE(p.toCalendar()->selectedDate(), QDate::currentDate());
        p.toCalendar()->setSelectedDate(QDate(2024, 5, 5));
        QCOMPARE(p.toDateBox()->text(), QStringLiteral("2024-05-05"));
        Q_EMIT p.toCalendar()->activated(QDate(2024, 5, 5));   // a double click closes it
        QVERIFY(p.toCalendar()->isHidden());
        QTest::mouseClick(p.toDateBox(), Qt::LeftButton);
        QCOMPARE(p.toCalendar()->selectedDate(), QDate(2024, 5, 5));
        QCOMPARE(c.feature->currentPage().rowCount, qint64(100));   // nothing applies before "Filtrar"

        // "Cerrar" only hides; "Filtrar" applies the dates (the whole last day included).
        p.closeFilterButton()->click();
        QVERIFY(p.filterFrame()->isHidden() && p.toCalendar()->isHidden());
        QVERIFY(!p.filterCheck()->isChecked());
        p.byDateCheck()->setChecked(true);
        p.applyFilterButton()->click();
        QCOMPARE(c.feature->currentPage().rowCount, qint64(11));

        // Leaving the phone box empty drops the phone criterion.
        p.byPhoneCheck()->setChecked(true);
        p.phoneBox()->setText(QStringLiteral("  "));
        QFocusEvent out(QEvent::FocusOut);
        QCoreApplication::sendEvent(p.phoneBox(), &out);
        QVERIFY(!p.byPhoneCheck()->isChecked());
    }

    void namesOnAndOff()
    {
        Client &c = *m_client;
        c.data.seedHundred();
        c.data.addContact(QStringLiteral("Ana"), QStringLiteral("34600009601"));
        c.feature->refreshHistoryPage();
        const QString key = QStringLiteral("pMensaje 96");
        QVERIFY(c.text(key).endsWith(QStringLiteral(" - 34600009601")));

        QAction menu(QStringLiteral("Mostrar nombres"));
        menu.setEnabled(false);
        history::HistoryPanels seam(*c.feature);
        seam.bindShowNamesItem(&menu);
        QVERIFY(menu.isEnabled());

        c.panel().showNamesCheck()->click();
        QVERIFY(c.text(key).endsWith(QStringLiteral(" - Ana")));
        QVERIFY(menu.isChecked());

        menu.trigger();
        QVERIFY(!c.panel().showNamesCheck()->isChecked());
        QVERIFY(c.text(key).endsWith(QStringLiteral(" - 34600009601")));
        menu.trigger();
        QVERIFY(c.panel().showNamesCheck()->isChecked());
        QVERIFY(c.text(key).endsWith(QStringLiteral(" - Ana")));
    }

    void reportsOnOpeningTheTab_data()
    {
        QTest::addColumn<int>("fault");
        QTest::newRow("plain") << -1;
        QTest::newRow("lf-only") << int(sim::FaultKind::LfOnly);
        QTest::newRow("trailing-crlf") << int(sim::FaultKind::TrailingCrLf);
    }
    void reportsOnOpeningTheTab()
    {
        QFETCH(int, fault);
        Client &c = *m_client;
        c.gateway.setFailingSuffixes({QStringLiteral("99")});
        const qint64 delivered = c.recordSend(QStringLiteral("34600111111,34600222222"));
        const qint64 failed = c.recordSend(QStringLiteral("34600333399"));
        const qint64 waiting = c.recordSend(QStringLiteral("34600444444"));
        const qint64 scheduled = c.recordSend(QStringLiteral("34600555555"), kFuture);
        QVERIFY(c.gateway.deliver(c.data.connection.scalar(QStringLiteral("SELECT id_web FROM Historial WHERE sid=?"), {delivered}).toLongLong()) > 0);
        QVERIFY(c.gateway.deliver(c.data.connection.scalar(QStringLiteral("SELECT id_web FROM Historial WHERE sid=?"), {failed}).toLongLong()) > 0);
        if (fault >= 0)
            c.gateway.armFault(sim::Endpoint::GetReport, sim::FaultKind(fault));

        c.feature->refreshHistoryPage();
        const QString sendKey = QStringLiteral("pMensaje %1").arg(delivered);
        QCOMPARE(c.colour(sendKey), colourOf(history::Colour::Orange));

        QSignalSpy handled(c.feature.get(), &HistoryFeature::reportHandled);
        history::HistoryListViews seam(*c.feature);
        seams::ListViews &lists = seam;
        lists.refreshPendingReports(kLogin, kLogin);
        QVERIFY(c.busy.isBusy());
        QVERIFY(handled.wait(10000));
        QVERIFY(!c.busy.isBusy());

        const std::optional<sim::LoggedRequest> request = c.gateway.lastRequest(sim::Endpoint::GetReport);
        QVERIFY(request);
        QCOMPARE(request->value("sms_id").split(QLatin1Char(',')).size(), 3);   // the scheduled one is not due
        QCOMPARE(c.colour(sendKey), colourOf(history::Colour::Green));
        QCOMPARE(c.colour(QStringLiteral("pMensaje %1").arg(failed)), colourOf(history::Colour::Red));
        QCOMPARE(c.colour(QStringLiteral("pMensaje %1").arg(waiting)), colourOf(history::Colour::Orange));
        QCOMPARE(c.colour(QStringLiteral("pMensaje %1").arg(scheduled)), colourOf(history::Colour::Grey));
        QCOMPARE(c.text(QStringLiteral("pRecibidos %1").arg(delivered)), QStringLiteral("Destinatarios confirmados: (2/2)"));
        QCOMPARE(c.prompter.count(), 0);
    }

    void reportJunkNeverCrashesAndEveryChangeShows()
    {
        Client &c = *m_client;
        Send s;
        s.recipients = QStringLiteral("34600111111");
        s.gatewayId = QStringLiteral("77");
        const qint64 sid = c.data.insert(s);
        s.gatewayId = QStringLiteral("78");
        s.state = QStringLiteral("1|34600111111|0");
        c.data.insert(s);
        c.feature->refreshHistoryPage();

        // Unknown ids, short and empty lines, LF endings; the last line changes nothing, yet the
        // first line's change must show.
        c.gateway.armCustomReply(sim::Endpoint::GetReport,
                                 QStringLiteral("1|77|34600111111|0\n|\r\n0\r\n\r\n1|9999|34600111111|0\n5\n1|78|34600111111|0\r\n"));
        QSignalSpy handled(c.feature.get(), &HistoryFeature::reportHandled);
        history::ReportOutcome outcome;
        connect(c.feature.get(), &HistoryFeature::reportHandled, this,
                [&outcome](const history::ReportOutcome &o) { outcome = o; });
        c.rightClick(QStringLiteral("pMensaje %1").arg(sid));
        c.feature->requestMenuSendReport();
        QVERIFY(handled.wait(10000));
        QCOMPARE(outcome.updated, 1);
        QCOMPARE(c.data.stateOf(QStringLiteral("77")), QStringLiteral("1|34600111111|0"));
        QCOMPARE(c.colour(QStringLiteral("pMensaje %1").arg(sid)), colourOf(history::Colour::Green));
        QCOMPARE(c.data.count(), qint64(2));
        QCOMPARE(c.prompter.count(), 0);

        // An error page: "Error de conexion", nothing changes.
        c.gateway.armFault(sim::Endpoint::GetReport, sim::FaultKind::NoSeparator);
        c.rightClick(QStringLiteral("pMensaje %1").arg(sid));
        c.feature->requestMenuSendReport();
        QVERIFY(handled.wait(10000));
        QCOMPARE(c.prompter.messageTexts(), QStringList{history::kConnectionErrorMessage});
        QCOMPARE(c.data.stateOf(QStringLiteral("77")), QStringLiteral("1|34600111111|0"));
    }

    void reportsOfLargeGroupsAreRead()
    {
        // A page of sends to groups of 50,000: some twelve megabytes of report in one reply.
        constexpr int kSends = history::kMaxReportIds;
        constexpr int kGroup = 50000;
        Client &c = *m_client;
        QString reply;
        for (int k = 0; k < kSends; ++k) {
            QStringList numbers;
            numbers.reserve(kGroup);
            for (int i = 0; i < kGroup; ++i)
                numbers << QStringLiteral("346%1%2").arg(k, 2, 10, QLatin1Char('0')).arg(i, 6, 10, QLatin1Char('0'));
            const QString list = numbers.join(QLatin1Char(','));
            Send s;
            s.recipients = list;
            s.gatewayId = QString::number(500 + k);
            c.data.insert(s);
            reply += QStringLiteral("1|") + s.gatewayId + QLatin1Char('|') + list + QStringLiteral("|0\r\n");
        }
        c.gateway.armCustomReply(sim::Endpoint::GetReport, reply);
        c.feature->reportChannel().setTimeout(120s);
        QSignalSpy handled(c.feature.get(), &HistoryFeature::reportHandled);
        c.feature->refreshPendingReports(kLogin, kLogin);
        QVERIFY(handled.wait(120000));
        const auto outcome = handled.at(0).at(0).value<history::ReportOutcome>();
        QCOMPARE(int(outcome.status), int(history::ReportOutcome::Status::Applied));
        QCOMPARE(outcome.updated, kSends);
        QCOMPARE(c.prompter.count(), 0);
        QCOMPARE(c.data.count(QStringLiteral("estado LIKE '1|34600000000,%|0'")), qint64(1));
        QCOMPARE(c.data.count(QStringLiteral("estado LIKE '1|%'")), qint64(kSends));
    }

    void reportPastTheCapIsTooLargeNotAConnectionFailure()
    {
        Client &c = *m_client;
        const qint64 sid = c.recordSend(QStringLiteral("34600111111"));
        QCOMPARE(c.feature->reportChannel().replyLimit(), history::kReportReplyLimit);
        // The cap lowered below the reply stands in for a reply past the real one.
        c.feature->reportChannel().setReplyLimit(4);
        c.gateway.armCustomReply(sim::Endpoint::GetReport, QStringLiteral("1|1|34600111111|0"));
        QSignalSpy handled(c.feature.get(), &HistoryFeature::reportHandled);
        c.feature->refreshPendingReports(kLogin, kLogin);
        QVERIFY(handled.wait(10000));
        QCOMPARE(c.prompter.messageTexts(),
                 QStringList{QStringLiteral("Los informes de entrega recibidos son demasiado grandes para leerlos (más de "
                                            "32 MB). No se ha cambiado ningún envío.")});
        QVERIFY(!c.busy.isBusy());
        QCOMPARE(c.data.count(QStringLiteral("sid=? AND estado='0|0|0'"), {sid}), qint64(1));
    }

    void reportTimeOut()
    {
        Client &c = *m_client;
        const qint64 sid = c.recordSend(QStringLiteral("34600111111"));
        c.feature->reportChannel().setTimeout(300ms);
        c.gateway.armFault(sim::Endpoint::GetReport, sim::FaultKind::Hang);
        QSignalSpy handled(c.feature.get(), &HistoryFeature::reportHandled);
        c.feature->refreshPendingReports(kLogin, kLogin);
        QVERIFY(handled.wait(10000));
        QCOMPARE(c.prompter.messageTexts(), QStringList{history::kConnectionErrorMessage});
        QVERIFY(!c.busy.isBusy());
        QCOMPARE(c.data.count(QStringLiteral("sid=? AND estado='0|0|0'"), {sid}), qint64(1));
    }

    void singleCancel_data()
    {
        QTest::addColumn<QString>("reply");     // "" = the gateway's own answer; "<id>" stands for the send's id
        QTest::addColumn<int>("fault");
        QTest::addColumn<int>("answer");        // to the question of code "3"; -1 none
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("afterwards"); // "gone", "kept", "immediate"

        const QString noCancel = history::kNotCancelledMessage;
        const QString cancelled =
            QStringLiteral("El envio ha sido cancelado satisfactoriamente, y los créditos le han sido devueltos.");
        QTest::newRow("0 real") << QString() << -1 << -1 << cancelled << "gone";
        QTest::newRow("0 naming another send") << "0|999999" << -1 << -1 << cancelled << "gone";
        QTest::newRow("1") << "1|<id>" << -1 << -1 << noCancel << "kept";
        QTest::newRow("2") << "2|<id>" << -1 << -1 << noCancel << "kept";
        QTest::newRow("9") << "9|<id>" << -1 << -1 << noCancel << "kept";
        QTest::newRow("3 yes") << "3|<id>" << -1 << int(ui::Answer::Yes) << QString() << "gone";
        QTest::newRow("3 no") << "3|<id>" << -1 << int(ui::Answer::No) << QString() << "kept";
        QTest::newRow("4") << "4|<id>" << -1 << -1 << QStringLiteral("El mensaje ya ha sido enviado, y no puede cancelarse.")
                           << "immediate";
        // Neither the gateway's success nor its refusal, after it had the request: the send may
        // have been cancelled (the simulator did cancel it).
        const QString maybe = history::kCancelUncertainMessage;
        QTest::newRow("empty") << QString() << int(sim::FaultKind::EmptyBody) << -1 << maybe << "uncertain";
        QTest::newRow("no separator") << QString() << int(sim::FaultKind::NoSeparator) << -1 << maybe << "uncertain";
        QTest::newRow("server error page") << QString() << int(sim::FaultKind::HttpError) << -1 << maybe << "uncertain";
        QTest::newRow("cut short") << QString() << int(sim::FaultKind::Truncated) << -1 << maybe << "uncertain";
    }
    void singleCancel()
    {
        QFETCH(QString, reply);
        QFETCH(int, fault);
        QFETCH(int, answer);
        QFETCH(QString, message);
        QFETCH(QString, afterwards);
        Client &c = *m_client;
        const qint64 sid = c.recordSend(QStringLiteral("34600111111"), kFuture);
        const QString id = c.data.connection.scalar(QStringLiteral("SELECT id_web FROM Historial WHERE sid=?"), {sid}).toString();
        Send other;
        other.recipients = QStringLiteral("34600999999");
        other.gatewayId = QStringLiteral("999999");
        c.data.insert(other);
        if (!reply.isEmpty())
            c.gateway.armCustomReply(sim::Endpoint::ScheduledSendings, QString(reply).replace(QStringLiteral("<id>"), id));
        if (fault >= 0)
            c.gateway.armFault(sim::Endpoint::ScheduledSendings, sim::FaultKind(fault));
        if (answer >= 0)
            c.prompter.answerMessage(ui::Answer(answer));

        c.feature->refreshHistoryPage();
        c.rightClick(QStringLiteral("Texto %1").arg(sid));   // any node of the send names it
        QSignalSpy balanceWanted(c.feature.get(), &HistoryFeature::balanceWanted);
        QSignalSpy handled(c.feature.get(), &HistoryFeature::cancelHandled);
        c.feature->cancelMenuSend();
        QVERIFY(c.busy.isBusy());
        QVERIFY(handled.wait(10000));
        QVERIFY(!c.busy.isBusy());

        const std::optional<sim::LoggedRequest> request = c.gateway.lastRequest(sim::Endpoint::ScheduledSendings);
        QVERIFY(request);
        QCOMPARE(request->value("sms_id"), id);
        QCOMPARE(request->value("action"), QStringLiteral("2"));
        QCOMPARE(request->value("buf"), QStringLiteral("0"));
        if (!message.isEmpty())
            QCOMPARE(c.prompter.messageTexts().constLast(), message);
        QCOMPARE(c.data.count(QStringLiteral("id_web='999999'")), qint64(1));
        if (afterwards == QLatin1String("gone")) {
            QCOMPARE(c.data.count(QStringLiteral("sid=?"), {sid}), qint64(0));
            QVERIFY(!c.node(QStringLiteral("pMensaje %1").arg(sid)));
        } else if (afterwards == QLatin1String("kept")) {
            QCOMPARE(c.data.count(QStringLiteral("sid=? AND f_programada=? AND estado='0|0|0'"), {sid, kFuture}), qint64(1));
        } else if (afterwards == QLatin1String("uncertain")) {
            QCOMPARE(c.data.count(QStringLiteral("sid=? AND f_programada=? AND estado='?|0|0'"), {sid, kFuture}), qint64(1));
            QVERIFY(c.text(QStringLiteral("pMensaje %1").arg(sid)).endsWith(QStringLiteral(" - cancelación sin confirmar")));
            QCOMPARE(c.prompter.lastCall().icon, ui::Icon::Warning);
        } else {
            QCOMPARE(c.data.count(QStringLiteral("sid=? AND f_programada='Inmediato'"), {sid}), qint64(1));
        }
        // Credits came back, or may have: the balance is asked for again.
        const bool refunded = afterwards == QLatin1String("uncertain")
            || (afterwards == QLatin1String("gone") && answer < 0);
        QCOMPARE(balanceWanted.count(), refunded ? 1 : 0);
    }

    // The cancellation may have been carried out at the gateway: the send stays, marked as such,
    // and the user is told to look before asking again, not that the connection failed.
    void cancelPastTheCapIsTooLargeNotAConnectionFailure()
    {
        Client &c = *m_client;
        const qint64 sid = c.recordSend(QStringLiteral("34600111111"), kFuture);
        // The cap lowered below the reply stands in for a reply past the real one.
        c.feature->cancelChannel().setReplyLimit(4);
        c.feature->refreshHistoryPage();
        c.rightClick(QStringLiteral("Texto %1").arg(sid));
        QSignalSpy handled(c.feature.get(), &HistoryFeature::cancelHandled);
        c.feature->cancelMenuSend();
        QVERIFY(handled.wait(10000));
        QVERIFY(!c.busy.isBusy());
        QCOMPARE(c.gateway.requestCount(sim::Endpoint::ScheduledSendings), 1);
        QCOMPARE(c.prompter.messageTexts(), QStringList{net::kTooLargeRequestMessage});
        QCOMPARE(c.prompter.lastCall().title, net::kTooLargeReplyTitle);
        QCOMPARE(c.data.count(QStringLiteral("sid=? AND f_programada=? AND estado='?|0|0'"), {sid, kFuture}), qint64(1));
    }

    // A cancellation that never reached the gateway cancelled nothing: the send stays scheduled.
    void singleCancelThatNeverLeft()
    {
        Client &c = *m_client;
        const qint64 sid = c.recordSend(QStringLiteral("34600111111"), kFuture);
        c.feature->refreshHistoryPage();
        c.rightClick(QStringLiteral("pMensaje %1").arg(sid));
        c.gateway.stop();   // nothing listens on that port any more
        QSignalSpy balanceWanted(c.feature.get(), &HistoryFeature::balanceWanted);
        QSignalSpy handled(c.feature.get(), &HistoryFeature::cancelHandled);
        c.feature->cancelMenuSend();
        QVERIFY(handled.wait(10000));
        QCOMPARE(c.prompter.messageTexts(), QStringList{history::kNotCancelledMessage});
        QCOMPARE(c.data.count(QStringLiteral("sid=? AND f_programada=? AND estado='0|0|0'"), {sid, kFuture}), qint64(1));
        QCOMPARE(balanceWanted.count(), 0);
    }

    void singleCancelWithoutAccount()
    {
        Client &c = *m_client;
        const qint64 sid = c.recordSend(QStringLiteral("34600111111"), kFuture);
        c.data.connection.execute(QStringLiteral("DELETE FROM Usuario"));
        c.feature->refreshHistoryPage();
        c.rightClick(QStringLiteral("pMensaje %1").arg(sid));
        c.feature->cancelMenuSend();
        QCOMPARE(c.prompter.messageTexts(), QStringList{history::kMissingAccountMessage});
        QCOMPARE(c.gateway.requestCount(sim::Endpoint::ScheduledSendings), 0);
        QVERIFY(!c.busy.isBusy());
    }

    void cancelAll_data()
    {
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<int>("asked");
        QTest::addColumn<bool>("cancels");
        QTest::newRow("si") << QStringList{QStringLiteral("si")} << 1 << true;
        QTest::newRow("blank SI asks again") << QStringList{QStringLiteral(" SI")} << 2 << false;
        QTest::newRow("no asks again") << QStringList{QStringLiteral("no")} << 2 << false;
    }
    void cancelAll()
    {
        QFETCH(QStringList, answers);
        QFETCH(int, asked);
        QFETCH(bool, cancels);
        Client &c = *m_client;
        for (int i = 0; i < 3; ++i)
            c.recordSend(QStringLiteral("3460011111%1").arg(i), kFuture);
        c.recordSend(QStringLiteral("34600222222"));
        for (const QString &a : answers)
            c.prompter.answerInput(a);
        c.feature->refreshHistoryPage();
        c.feature->cancelAllInView();

        const auto inputs = c.prompter.callsOf(testing::ScriptedPrompter::Kind::Input);
        QCOMPARE(inputs.size(), asked);
        QCOMPARE(inputs.first().title, QStringLiteral("Confirmar cancelación de 3 envíos"));
        QVERIFY(!c.busy.isBusy());
        if (cancels) {
            QCOMPARE(c.prompter.messageTexts(), QStringList{QStringLiteral("Se han cancelado 3 envios programados.")});
            QCOMPARE(c.gateway.requestCount(sim::Endpoint::ScheduledSendings), 3);
            QCOMPARE(c.gateway.lastRequest(sim::Endpoint::ScheduledSendings)->names(),
                     (QList<QByteArray>{"Fuente", "username", "password", "sms_id", "action"}));
            QCOMPARE(c.data.count(), qint64(1));
            QCOMPARE(c.feature->currentPage().rowCount, qint64(1));
        } else {
            QCOMPARE(c.prompter.messageTexts(), QStringList{ui::kAbortedMessage});
            QCOMPARE(c.gateway.requestCount(sim::Endpoint::ScheduledSendings), 0);
            QCOMPARE(c.data.count(), qint64(4));
        }
    }

    // The gateway cancels both scheduled sends and refunds them, but one of its answers is an
    // empty page: the client counts the one it heard of, says the other may have been cancelled,
    // keeps that row marked, asks for the balance, and a later report refresh leaves it be.
    void cancelAllWithAnEmptyAnswer()
    {
        Client &c = *m_client;
        QDateTime clock = historytest::fixedNow();
        c.feature->setClock([&clock] { return clock; });
        const double before = c.gateway.balance(kLogin);
        const qint64 first = c.recordSend(QStringLiteral("34600111111"), kFuture);
        const qint64 second = c.recordSend(QStringLiteral("34600222222"), QStringLiteral("2024-06-02 10:00"));
        QVERIFY(c.gateway.balance(kLogin) < before);
        sim::Fault empty;
        empty.kind = sim::FaultKind::EmptyBody;
        c.gateway.armFault(sim::Endpoint::ScheduledSendings, empty);   // the first request: the newest send
        c.prompter.answerInput(QStringLiteral("SI"));
        c.feature->refreshHistoryPage();
        QSignalSpy balanceWanted(c.feature.get(), &HistoryFeature::balanceWanted);
        c.feature->cancelAllInView();

        QCOMPARE(c.gateway.requestCount(sim::Endpoint::ScheduledSendings), 2);
        QCOMPARE(c.gateway.balance(kLogin), before);
        QCOMPARE(c.prompter.messageTexts(),
                 QStringList{QStringLiteral("Se han cancelado 1 envios programados.\nEl envío programado para el "
                                            "2024-06-02 10:00 (identificador ")
                             + c.idOf(second)
                             + QStringLiteral(") puede haberse cancelado: no se ha recibido una respuesta reconocible de "
                                              "la pasarela. Queda marcado en el historial como cancelación sin confirmar.")});
        QCOMPARE(c.prompter.lastCall().icon, ui::Icon::Warning);
        QCOMPARE(balanceWanted.count(), 1);
        QCOMPARE(c.data.count(QStringLiteral("sid=?"), {first}), qint64(0));
        QCOMPARE(c.data.count(QStringLiteral("sid=? AND estado='?|0|0'"), {second}), qint64(1));
        QVERIFY(c.text(QStringLiteral("pMensaje %1").arg(second)).endsWith(QStringLiteral(" - cancelación sin confirmar")));

        // Past its time, the automatic refresh does not ask for it, so it is not removed unseen.
        clock = QDateTime(QDate(2024, 6, 3), QTime(12, 0), Qt::UTC);
        c.gateway.setGatewayClock(clock);
        history::HistoryListViews seam(*c.feature);
        static_cast<seams::ListViews &>(seam).refreshPendingReports(kLogin, kLogin);
        QCOMPARE(c.gateway.requestCount(sim::Endpoint::GetReport), 0);
        QCOMPARE(c.data.count(QStringLiteral("sid=?"), {second}), qint64(1));
    }

    void cancelAllUnreachable()
    {
        Client &c = *m_client;
        c.recordSend(QStringLiteral("34600111111"), kFuture);
        c.feature->refreshHistoryPage();
        c.gateway.stop();   // nothing listens on that port any more
        c.prompter.answerInput(QStringLiteral("SI"));
        c.feature->cancelAllInView();
        QCOMPARE(c.prompter.messageTexts().size(), 1);
        QVERIFY(c.prompter.messageTexts().constFirst().startsWith(QStringLiteral("No ha sido posible conectar")));
        QCOMPARE(c.data.count(), qint64(1));
        QVERIFY(!c.busy.isBusy());
    }

    void deleteOne()
    {
        Client &c = *m_client;
        c.data.seedHundred();
        c.feature->refreshHistoryPage();
        // The empty view's node and no selection do nothing.
        c.feature->deleteMenuSend();
        QCOMPARE(c.data.count(), qint64(100));
        c.rightClick(QStringLiteral("Fecha 100"));
        c.feature->deleteMenuSend();
        QCOMPARE(c.data.count(QStringLiteral("sid=100")), qint64(0));
        QCOMPARE(c.prompter.lastCall().text, QStringLiteral("Registro eliminado satisfactoriamente"));
        QCOMPARE(c.prompter.lastCall().title, QStringLiteral("Historial eliminado"));
        QVERIFY(c.text(QStringLiteral("pMensaje 99")).startsWith(QStringLiteral("Mensaje 1 (")));
    }

    // The popup menu acts on the send it was opened on. While it is up a report reply or the
    // automation redraws the view, and the tree's current item moves to the newest send (as Qt
    // makes it when the rebuilt tree takes the focus again): the items still act on the send the
    // user clicked, and on none at all once that send has gone.
    void popupItemsActOnTheSendTheMenuWasOpenedOn()
    {
        Client &c = *m_client;
        const qint64 sent = c.recordSend(QStringLiteral("34600111111"));
        const qint64 scheduled = c.recordSend(QStringLiteral("34600222222"), kFuture);
        const qint64 newest = c.recordSend(QStringLiteral("34600333333"), kFuture);   // drawn first
        const QString scheduledId = c.idOf(scheduled);
        const QString newestId = c.idOf(newest);
        c.feature->refreshHistoryPage();
        QTreeWidget *tree = c.panel().sendsList();
        QMenu *menu = c.panel().contextMenu();
        const auto openOn = [&](qint64 sid) {
            QTreeWidgetItem *item = c.node(QStringLiteral("pMensaje %1").arg(sid));
            QVERIFY(item);
            Q_EMIT tree->customContextMenuRequested(tree->visualItemRect(item).center());
            QVERIFY(menu->isVisible());
            QCOMPARE(c.panel().selectedKey(), QStringLiteral("pMensaje %1").arg(sid));
        };
        const auto redrawUnderTheMenu = [&] {
            QVERIFY(menu->isVisible());
            c.feature->refreshHistoryPage();
            tree->setCurrentItem(tree->topLevelItem(0));
        };
        // The user picks the item in the open menu: the menu closes, then the item acts.
        const auto choose = [&](const char *name) {
            QAction *a = c.item(name);
            QVERIFY(a->isVisible());
            QVERIFY(a->isEnabled());
            menu->setActiveAction(a);
            QTest::keyClick(menu, Qt::Key_Return);
            QVERIFY(!menu->isVisible());
        };

        // "Eliminar registro" on the sent one.
        openOn(sent);
        redrawUnderTheMenu();
        choose("mnurclick_listado_historial_eliminar");
        QCOMPARE(c.data.count(QStringLiteral("sid=?"), {sent}), qint64(0));
        QCOMPARE(c.data.count(QStringLiteral("sid IN (?, ?)"), {scheduled, newest}), qint64(2));
        QCOMPARE(c.prompter.messageTexts(), QStringList{QStringLiteral("Registro eliminado satisfactoriamente")});

        // "Cancelar envío" on the older scheduled one.
        QSignalSpy cancelled(c.feature.get(), &HistoryFeature::cancelHandled);
        openOn(scheduled);
        redrawUnderTheMenu();
        choose("mnurclick_listado_historial_cancelar");
        QVERIFY(cancelled.wait(10000));
        QCOMPARE(c.gateway.lastRequest(sim::Endpoint::ScheduledSendings)->value("sms_id"), scheduledId);
        QCOMPARE(c.data.count(QStringLiteral("sid=?"), {scheduled}), qint64(0));
        QCOMPARE(c.data.count(QStringLiteral("sid=? AND f_programada=?"), {newest, kFuture}), qint64(1));

        // "Actualizar confirmación" asks about the send clicked.
        const qint64 another = c.recordSend(QStringLiteral("34600444444"));
        c.feature->refreshHistoryPage();
        QSignalSpy reported(c.feature.get(), &HistoryFeature::reportHandled);
        openOn(newest);
        redrawUnderTheMenu();
        QCOMPARE(c.panel().selectedKey(), QStringLiteral("pMensaje %1").arg(another));
        choose("mnurclick_listado_historial_Actualizar");
        QVERIFY(reported.wait(10000));
        QCOMPARE(c.gateway.lastRequest(sim::Endpoint::GetReport)->value("sms_id"), newestId);

        // A send deleted from another workstation while the menu is up: nothing happens to any
        // other send, and the user hears why.
        const qint64 requests = c.gateway.requestCount(sim::Endpoint::ScheduledSendings);
        openOn(newest);
        c.data.connection.execute(QStringLiteral("DELETE FROM Historial WHERE sid=?"), {newest});
        redrawUnderTheMenu();
        choose("mnurclick_listado_historial_cancelar");
        QCOMPARE(c.gateway.requestCount(sim::Endpoint::ScheduledSendings), requests);
        QCOMPARE(c.prompter.messageTexts().constLast(), kGone);
        openOn(another);
        c.data.connection.execute(QStringLiteral("DELETE FROM Historial WHERE sid=?"), {another});
        c.recordSend(QStringLiteral("34600555555"));
        redrawUnderTheMenu();
        choose("mnurclick_listado_historial_eliminar");
        QCOMPARE(c.prompter.messageTexts().constLast(), kGone);
        QCOMPARE(c.data.count(), qint64(1));
        QVERIFY(!c.busy.isBusy());
    }

    // A gateway that numbered its sends afresh gives a new send the number of an older one that
    // was delivered and charged. Cancelling the new send, or asking for its report, changes the
    // new send's row and leaves the older send as it was.
    void anOlderSendWithTheSameNumberIsLeftAlone()
    {
        Client &c = *m_client;
        const qint64 scheduled = c.recordSend(QStringLiteral("34600222222"), kFuture);
        const qint64 olderCancelled = c.data.insert({.recipients = "34600999991", .sentAt = "2024-04-01 09:00",
                                                     .gatewayId = c.idOf(scheduled), .state = "1|34600999991|0"});
        const qint64 sent = c.recordSend(QStringLiteral("34600333333"));
        const qint64 olderReported = c.data.insert({.recipients = "34600999992", .sentAt = "2024-04-01 09:00",
                                                    .gatewayId = c.idOf(sent), .state = "1|34600999992|0"});
        c.feature->refreshHistoryPage();

        QSignalSpy cancelled(c.feature.get(), &HistoryFeature::cancelHandled);
        c.rightClick(QStringLiteral("pMensaje %1").arg(scheduled));
        c.feature->cancelMenuSend();
        QVERIFY(cancelled.wait(10000));
        QCOMPARE(c.data.count(QStringLiteral("sid=?"), {scheduled}), qint64(0));
        QCOMPARE(c.data.count(QStringLiteral("sid=? AND estado='1|34600999991|0' AND f_programada='Inmediato'"),
                              {olderCancelled}),
                 qint64(1));

        QVERIFY(c.gateway.deliver(c.idOf(sent).toLongLong()) > 0);
        QSignalSpy reported(c.feature.get(), &HistoryFeature::reportHandled);
        c.rightClick(QStringLiteral("pMensaje %1").arg(sent));
        c.feature->requestMenuSendReport();
        QVERIFY(reported.wait(10000));
        QCOMPARE(c.data.count(QStringLiteral("sid=? AND estado='1|34600333333|0'"), {sent}), qint64(1));
        QCOMPARE(c.data.count(QStringLiteral("sid=? AND estado='1|34600999992|0'"), {olderReported}), qint64(1));
        QCOMPARE(c.data.count(), qint64(3));
        QVERIFY(!c.busy.isBusy());
    }

    void deleteAllSentUnderAFilter()
    {
        Client &c = *m_client;
        c.data.seedHundred();
        c.feature->refreshHistoryPage();
        HistoryPanel &p = c.panel();
        p.byTextCheck()->setChecked(true);
        p.messageTextBox()->setText(QStringLiteral("Cita"));
        p.applyFilterButton()->click();
        QCOMPARE(c.feature->currentPage().rowCount, qint64(50));

        c.prompter.answerInput(QStringLiteral(" si "));
        c.feature->deleteAllSentInView();
        QCOMPARE(c.prompter.callsOf(testing::ScriptedPrompter::Kind::Input).constFirst().title,
                 QStringLiteral("Confirmar eliminación de 33 historiales de envíos"));
        QCOMPARE(c.prompter.messageTexts(), QStringList{QStringLiteral("Se han eliminado 33 registros de historial.")});
        // The future "Cita" sends and every "Oferta" stay.
        QCOMPARE(c.data.count(), qint64(67));
        QCOMPARE(c.data.count(QStringLiteral("mensaje LIKE 'Cita%'")), qint64(17));
        QCOMPARE(c.feature->currentPage().rowCount, qint64(17));
    }

    void textsFitOnScreen()
    {
        Client &c = *m_client;
        c.data.seedHundred();
        c.data.addContact(QStringLiteral("Ana"), QStringLiteral("34600000601"));
        c.feature->refreshHistoryPage();
        HistoryPanel &p = c.panel();
        p.resize(760, 520);
        p.show();
        QVERIFY(QTest::qWaitForWindowExposed(&p));
        p.sendsList()->expandItem(c.node(QStringLiteral("pMensaje 97")));
        p.sendsList()->expandItem(c.node(QStringLiteral("pRecibidos 97")));
        p.sendsList()->expandItem(c.node(QStringLiteral("pMensaje 98")));
        p.filterFrame()->show();
        QCoreApplication::processEvents();
        QVERIFY(p.pageLabel()->width() >= p.pageLabel()->sizeHint().width());
        QVERIFY(p.showNamesCheck()->width() >= p.showNamesCheck()->sizeHint().width());
        QVERIFY(p.byPhoneCheck()->width() >= p.byPhoneCheck()->sizeHint().width());
        const QString shot = qEnvironmentVariable("BRISANTA_HISTORY_SHOT");
        if (!shot.isEmpty())
            QVERIFY(p.grab().save(shot));
    }

private:
    std::unique_ptr<Client> m_client;
};

QTEST_MAIN(TestHistoryPanel)
#include "test_history_panel.moc"
