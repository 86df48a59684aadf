#pragma once

#include "database/schema.h"
#include "gateway-sim/gateway_simulator.h"
#include "platform/db/connection.h"
#include "platform/ui/busy_cursor.h"
#include "seams/app_context.h"
#include "seams/subsystems.h"
#include "support/recording_shell.h"
#include "support/scripted_prompter.h"
#include "support/temp_home.h"


#include <memory>

class CountingLists final : public seams::ListViews {
public:
    void refreshContactList(bool reload) override { contactReloads << reload; }
    void refreshGroupList() override { ++groupReloads; }
    QList<bool> contactReloads;
    int groupReloads = 0;
};

// A program folder, its database and a simulator the brand addresses point at.
struct WebRig {
    testing::TempHome home;
    sim::GatewaySimulator sim;
    db::Connection connection;
    testing::ScriptedPrompter prompter;
    testing::RecordingShell shell;
    ui::BusyCursor busy;
    std::unique_ptr<seams::AppContext> context;
    CountingLists lists;

    WebRig()
    {
        sim.start();
        qputenv("BRISANTA_URL_BASE", sim.baseUrl().toUtf8());
        connection.open(home.file(QStringLiteral("bbdd.mdb")), db::OpenMode::CreateIfMissing);
        database::createSchema(connection);
        context.reset(new seams::AppContext{connection, prompter, shell, busy, home.path()});
    }

    ~WebRig()
    {
        sim.stop();
        qunsetenv("BRISANTA_URL_BASE");
    }

    void addAccountRow(const QString &login, const QString &pass)
    {
        connection.execute(QStringLiteral("INSERT INTO Usuario (login,pass,ruta,saldo,huso_horario) "
                                        "VALUES (?1,?2,'3','100','GMT +01:00')"),
                         {login, pass});
    }

    void addContact(const QVariant &name, const QVariant &phone, const QVariant &fullName = {},
                    const QVariant &address = {}, const QVariant &otherPhone = {}, const QVariant &comment = {})
    {
        connection.execute(QStringLiteral("INSERT INTO Agenda (nombre,telefono,nombre_completo,direccion,telefono_2,comentario) "
                                        "VALUES (?1,?2,?3,?4,?5,?6)"),
                         {name, phone, fullName, address, otherPhone, comment});
    }

    int contactCount() { return connection.scalar(QStringLiteral("SELECT count(*) FROM Agenda")).toInt(); }
};
