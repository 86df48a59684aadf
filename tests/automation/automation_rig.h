#pragma once

#include "automation/automation_controller.h"
#include "database/schema.h"
#include "gateway-sim/gateway_simulator.h"
#include "platform/db/connection.h"
#include "platform/net/gateway_channel.h"
#include "platform/ui/busy_cursor.h"
#include "seams/app_context.h"
#include "sending/panel/send_panel_controller.h"
#include "sending/panel/send_panel_view.h"
#include "support/recording_shell.h"
#include "support/scripted_prompter.h"
#include "support/temp_home.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QPushButton>

#include <memory>

// A send panel and the automation on top of it, with their own program folder, database and
// gateway simulator; the watched file lives in its own folder below the program folder.
namespace testing {

struct AutomationRig {
    explicit AutomationRig(bool withAccount = true)
    {
        sim.start();
        sim.addAccount(QStringLiteral("usu"), QStringLiteral("secreto"), 100.0);
        sim.approveSender(QStringLiteral("usu"), QStringLiteral("Tienda"));
        qputenv("BRISANTA_URL_BASE", sim.baseUrl().toUtf8());
        connection.open(home.file(QStringLiteral("bbdd.mdb")), db::OpenMode::CreateIfMissing);
        database::createSchema(connection);
        if (withAccount)
            connection.execute(QStringLiteral("INSERT INTO Usuario (login,pass,ruta,saldo,huso_horario,defecto_agenda) "
                                            "VALUES (?1,?2,?3,?4,?5,?6)"),
                             {QStringLiteral("usu"), QStringLiteral("secreto"), QStringLiteral("0"),
                              QStringLiteral("100"), QStringLiteral("GMT +01:00"), QStringLiteral("Preguntar")});
        QDir(home.path()).mkdir(QStringLiteral("entrada"));
        context = std::make_unique<seams::AppContext>(
            seams::AppContext{connection, prompter, shell, busy, home.path()});
        view = std::make_unique<sending::SendPanelView>();
        view->senderCombo()->addItems({QStringLiteral("Tienda")});
        view->senderCombo()->setCurrentIndex(0);
        panel = std::make_unique<sending::SendPanelController>(*view, *context);
        panel->sendChannel().setTimeout(std::chrono::milliseconds(5000));
        panel->quoteChannel().setTimeout(std::chrono::milliseconds(5000));
        automation = std::make_unique<automation::AutomationController>(*context, *panel);
        startAction = std::make_unique<QAction>(QStringLiteral("Comenzar"));
        automation->setMenuItem(startAction.get());
        automation->setClock([this] { return now; });
        // Files are read as soon as no writer holds them; the quiet period has tests of its own.
        automation->fileTaker().restWatch().setQuietPeriod(std::chrono::milliseconds(0));
        taker.restWatch().setQuietPeriod(std::chrono::milliseconds(0));
        // A moved file goes at the first take after its last read; the long rest has tests of its own.
        automation->fileTaker().setLongRest(std::chrono::milliseconds(0));
        taker.setLongRest(std::chrono::milliseconds(0));
    }
    ~AutomationRig()
    {
        automation.reset();
        panel.reset();
        view.reset();
        sim.stop();
        qunsetenv("BRISANTA_URL_BASE");
    }
    AutomationRig(const AutomationRig &) = delete;
    AutomationRig &operator=(const AutomationRig &) = delete;

    QString watched() const { return home.file(QStringLiteral("entrada/Enviar_SMS.txt")); }
    QString inbox(const QString &name) const { return home.file(QStringLiteral("entrada/") + name); }

    void settings(const QString &minutes, const QString &separator = QStringLiteral("#"), QString file = {},
                  const QString &active = QStringLiteral("0"))
    {
        if (file.isEmpty())
            file = watched();
        connection.execute(QStringLiteral("DELETE FROM Automatizado"));
        connection.execute(QStringLiteral("INSERT INTO Automatizado (minutos,delimitador,archivo,activo) VALUES (?1,?2,?3,?4)"),
                         {minutes, separator, file, active});
    }

    bool write(const QByteArray &bytes) const { return writeTo(watched(), bytes); }
    static bool writeTo(const QString &path, const QByteArray &bytes)
    {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    }
    static QByteArray read(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QByteArray errorLog() const { return read(home.file(QStringLiteral("error_auto.txt"))); }

    QString scalar(const QString &sql) { return connection.scalar(sql).toString(); }
    int rows(const QString &table) { return connection.scalar(QStringLiteral("SELECT count(*) FROM ") + table).toInt(); }

    TempHome home;
    sim::GatewaySimulator sim;
    db::Connection connection;
    ScriptedPrompter prompter;
    RecordingShell shell;
    ui::BusyCursor busy;
    std::unique_ptr<seams::AppContext> context;
    std::unique_ptr<sending::SendPanelView> view;
    std::unique_ptr<sending::SendPanelController> panel;
    std::unique_ptr<automation::AutomationController> automation;
    std::unique_ptr<QAction> startAction;
    automation::FileTaker taker;   // takes made by hand, outside the controller's checks
    QDateTime now{QDate(2026, 12, 8), QTime(9, 5, 30)};
};

} // namespace testing
