#pragma once

#include "database/schema.h"
#include "gateway-sim/gateway_simulator.h"
#include "platform/db/connection.h"
#include "platform/ui/busy_cursor.h"
#include "seams/app_context.h"
#include "seams/subsystems.h"
#include "sending/panel/send_panel_controller.h"
#include "sending/panel/send_panel_view.h"
#include "support/recording_shell.h"
#include "support/scripted_prompter.h"
#include "support/temp_home.h"

#include "platform/net/gateway_channel.h"

#include <QComboBox>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>

#include <memory>

// One send panel wired to its own simulator and program folder.
namespace testing {

class FakeLists final : public seams::ListViews {
public:
    bool isBookEmpty() const override { return bookEmpty; }
    bool hasNoTemplates() const override { return templatesEmpty; }
    bool bookEmpty = true;
    bool templatesEmpty = true;
};

class FakeWindows final : public seams::WindowOpener {
public:
    bool canOpen(seams::WindowId) const override { return true; }
    void open(seams::WindowId id) override { opened.append(id); }
    QList<seams::WindowId> opened;
};

struct PanelRig {
    PanelRig()
    {
        sim.start();
        sim.addAccount(QStringLiteral("usu"), QStringLiteral("secreto"), 100.0);
        sim.approveSender(QStringLiteral("usu"), QStringLiteral("Tienda"));
        qputenv("BRISANTA_URL_BASE", sim.baseUrl().toUtf8());
        connection.open(home.file(QStringLiteral("bbdd.mdb")), db::OpenMode::CreateIfMissing);
        database::createSchema(connection);
        connection.execute(QStringLiteral("INSERT INTO Usuario (login,pass,ruta,saldo,huso_horario,defecto_agenda) "
                                        "VALUES ('usu','secreto','0','100','GMT +01:00','Preguntar')"));
        context = std::make_unique<seams::AppContext>(
            seams::AppContext{connection, prompter, shell, busy, home.path()});
        view = std::make_unique<sending::SendPanelView>();
        view->senderCombo()->addItems({QStringLiteral("Tienda"), QStringLiteral("Avisos")});
        view->senderCombo()->setCurrentIndex(0);
        view->sendButton()->setEnabled(false); // as the main window leaves it at start-up
        panel = std::make_unique<sending::SendPanelController>(*view, *context, &lists, &windows);
        panel->sendChannel().setTimeout(std::chrono::milliseconds(5000));
        panel->quoteChannel().setTimeout(std::chrono::milliseconds(5000));
    }
    ~PanelRig()
    {
        panel.reset();
        view.reset();
        sim.stop();
        qunsetenv("BRISANTA_URL_BASE");
    }
    PanelRig(const PanelRig &) = delete;
    PanelRig &operator=(const PanelRig &) = delete;

    // The start-up quote, answered: the balance is known from here on.
    bool startUp()
    {
        QSignalSpy spy(panel.get(), &sending::SendPanelController::quoteReplyHandled);
        seams::BalanceQuote::Request request;
        request.username = QStringLiteral("usu");
        request.password = QStringLiteral("secreto");
        request.message = QStringLiteral("Saldo al arrancar Desktop");
        request.recipients = QStringLiteral("34600123456");
        request.sender = QStringLiteral("Saldo");
        request.route = QStringLiteral("3");
        panel->balanceQuote().requestQuote(request);
        return spy.wait(5000);
    }

    // Presses "Enviar SMS" and waits for the reply to be handled.
    bool send()
    {
        QSignalSpy spy(panel.get(), &sending::SendPanelController::sendReplyHandled);
        panel->sendMessage();
        return spy.count() > 0 || spy.wait(5000);
    }

    QString scalar(const QString &sql) { return connection.scalar(sql).toString(); }
    int rows(const QString &table) { return connection.scalar(QStringLiteral("SELECT count(*) FROM ") + table).toInt(); }

    TempHome home;
    sim::GatewaySimulator sim;
    db::Connection connection;
    ScriptedPrompter prompter;
    RecordingShell shell;
    ui::BusyCursor busy;
    std::unique_ptr<seams::AppContext> context;
    FakeLists lists;
    FakeWindows windows;
    std::unique_ptr<sending::SendPanelView> view;
    std::unique_ptr<sending::SendPanelController> panel;
};

} // namespace testing
