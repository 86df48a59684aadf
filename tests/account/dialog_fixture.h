#pragma once

#include "account/account_windows.h"
#include "account/main_window_access.h"
#include "database/schema.h"
#include "gateway-sim/gateway_simulator.h"
#include "platform/db/connection.h"
#include "platform/ui/busy_cursor.h"
#include "seams/app_context.h"
#include "seams/subsystems.h"
#include "support/recording_shell.h"
#include "support/scripted_prompter.h"
#include "support/temp_home.h"

#include <QStringList>

#include <memory>

// A main window that only remembers what the account windows asked of it.
class FakeMain final : public account::MainWindowAccess {
public:
    void refreshSenders() override { ++refreshes; }
    void selectSender(const QString &sender) override { selected = sender; }
    void showMain() override { ++shown; }
    void setSendEnabled(bool enabled) override { sendEnabled = enabled; }
    void focusRecipients() override { ++focused; }
    bool recipientsEmpty() const override { return recipients.isEmpty(); }
    void showBalance(const QString &figure) override { balance = figure; }
    void setCostText(const QString &text) override { cost = text; }
    void setCredentials(const QString &l, const QString &p) override { login = l; pass = p; }

    int refreshes = 0;
    int shown = 0;
    int focused = 0;
    bool sendEnabled = true;
    QString selected, recipients, balance, cost, login, pass;
};

class FakeOpener final : public seams::WindowOpener {
public:
    bool canOpen(seams::WindowId) const override { return true; }
    void open(seams::WindowId id) override { opened.append(id); }
    QList<seams::WindowId> opened;
};

// One program folder, one database, one simulator and the account windows over them.
struct DialogFixture {
    testing::TempHome home;
    sim::GatewaySimulator sim;
    db::Connection connection;
    testing::ScriptedPrompter prompter;
    testing::RecordingShell shell;
    ui::BusyCursor busy;
    std::unique_ptr<seams::AppContext> context;
    FakeMain main;
    FakeOpener opener;
    std::unique_ptr<account::AccountWindows> windows;

    DialogFixture()
    {
        sim.start();
        qputenv("BRISANTA_URL_BASE", sim.baseUrl().toUtf8());
        connection.open(home.file(QStringLiteral("bbdd.mdb")), db::OpenMode::CreateIfMissing);
        database::createSchema(connection);
        context.reset(new seams::AppContext{connection, prompter, shell, busy, home.path()});
        windows = std::make_unique<account::AccountWindows>(*context, main, &opener);
    }

    ~DialogFixture()
    {
        windows.reset();
        sim.stop();
        qunsetenv("BRISANTA_URL_BASE");
    }

    void addAccountRow(const QString &login, const QString &pass)
    {
        connection.execute(QStringLiteral("INSERT INTO Usuario (login,pass,ruta,saldo,huso_horario,defecto_agenda) "
                                        "VALUES (?1,?2,'3','100','GMT +01:00','')"),
                         {login, pass});
    }

    void addSenderRow(const QString &sender, bool isDefault = false)
    {
        connection.execute(QStringLiteral("INSERT INTO Remitentes (remitente,defecto) VALUES (?1,?2)"),
                         {sender, isDefault ? 1 : 0});
    }

    QStringList senderRows()
    {
        QStringList out;
        for (const auto &row : connection.select(QStringLiteral("SELECT remitente FROM Remitentes ORDER BY rowid")))
            out << row.value(0).toString();
        return out;
    }

    QString accountValue(const QString &column)
    {
        return connection.scalar(QStringLiteral("SELECT ") + column + QStringLiteral(" FROM Usuario ORDER BY sid LIMIT 1"))
            .toString();
    }
};
