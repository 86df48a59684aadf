#pragma once

#include "platform/db/connection.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace ui {
class BusyCursor;
class Prompter;
}

// The upgrade steps every start runs on the file in use: two added columns and the one-time move
// of group membership from the groups to the contacts.
namespace database {

enum class UpgradeStatus { Ok, Failed };

struct UpgradeResult {
    UpgradeStatus status = UpgradeStatus::Ok;
    QStringList added;      // "Tabla.columna" of each column added by this run
    QString error;
    bool ok() const { return status == UpgradeStatus::Ok; }
};

// Adds Usuario.version_desktop and Historial.username when they are missing. A column that is
// already there is not an error; any other failure is reported.
UpgradeResult upgradeSchema(db::Connection &connection);

// A member list as the groups stored it ("12,7, 30"): the whole numbers in order, each once;
// pieces that are not a positive whole number are counted in `dropped`.
struct IdList {
    std::vector<qint64> ids;
    int dropped = 0;
};
IdList parseIdList(const QString &list);

// A contact's group list without empty pieces or outer commas (",,7,,9," gives "7,9").
QString normalizeGroupList(const QString &list);

enum class MigrationStatus { NotNeeded, Migrated, Failed };

struct MigrationResult {
    MigrationStatus status = MigrationStatus::NotNeeded;
    int groups = 0;            // groups whose members were moved
    int contacts = 0;          // contacts whose group list changed
    int droppedIds = 0;        // member ids that were not whole numbers
    QString error;
};

QString maintenanceMessage();

// Moves Grupos.miembros_sid into Agenda.grupos_sid, drops one leading "+" from every mobile
// number and removes the old column, all in one transaction: a failure leaves the file as it was
// and the next start tries again. Does nothing (and says nothing) once the column is gone.
// `busy`, when given, shows the hourglass while the work runs.
MigrationResult migrateGroups(db::Connection &connection, ui::Prompter &prompter, ui::BusyCursor *busy = nullptr);

} // namespace database
