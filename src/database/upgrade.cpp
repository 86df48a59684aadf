#include "database/upgrade.h"

#include "platform/ui/busy_cursor.h"
#include "platform/ui/prompter.h"

#include <QHash>
#include <QSet>

#include <optional>

namespace database {

namespace {

db::Result addColumnIfMissing(db::Connection &connection, const QString &table, const QString &column,
                              QStringList &added)
{
    if (connection.hasColumn(table, column))
        return {};
    const db::Result r = connection.execute(QStringLiteral("ALTER TABLE ") + table + QStringLiteral(" ADD COLUMN ")
                                          + column + QStringLiteral(" TEXT"));
    if (r.ok())
        added << table + QLatin1Char('.') + column;
    return r;
}

QString quoted(const QString &identifier)
{
    QString text = identifier;
    return QLatin1Char('"') + text.replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
}

// Each contact's group list as it stands, and the new group ids appended to it in group order.
db::Result moveMemberships(db::Connection &connection, const std::vector<db::Row> &groups, MigrationResult &result)
{
    QHash<qint64, QString> lists;
    db::Result r;
    db::Statement read = connection.prepare(QStringLiteral("SELECT sid,grupos_sid FROM Agenda"), &r);
    if (!read.isValid())
        return r;
    while (read.next())
        lists.insert(read.value(0).toLongLong(), read.text(1));
    if (!read.error().isEmpty())
        return {db::Status::Error, read.error()};

    QHash<qint64, QStringList> newGroups;
    for (const db::Row &group : groups) {
        const QString g = group.at(0).toString().trimmed();
        const IdList members = parseIdList(group.at(1).toString());
        result.droppedIds += members.dropped;
        ++result.groups;
        for (const qint64 sid : members.ids) {
            if (lists.contains(sid))
                newGroups[sid] << g;
        }
    }

    db::Statement update = connection.prepare(QStringLiteral("UPDATE Agenda SET grupos_sid=?1 WHERE sid=?2"), &r);
    if (!update.isValid())
        return r;
    for (auto it = lists.cbegin(); it != lists.cend(); ++it) {
        QStringList items = normalizeGroupList(it.value()).split(QLatin1Char(','), Qt::SkipEmptyParts);
        for (const QString &g : newGroups.value(it.key())) {
            if (!items.contains(g))
                items << g;
        }
        const QString list = items.join(QLatin1Char(','));
        if (list == it.value())
            continue;
        update.bindAll({list, it.key()});
        r = update.run();
        if (!r.ok())
            return r;
        update.reset();
        ++result.contacts;
    }
    return {};
}

// The type a rebuilt column gets: one of SQLite's own type words, chosen by the affinity rules from
// the type the file declares. The declared text is someone else's data (a shared file is written by
// other workstations and programs) and never becomes part of a statement.
QString storableType(const QString &declared)
{
    const QString type = declared.toUpper();
    if (type.contains(QLatin1String("INT")))
        return QStringLiteral("INTEGER");
    if (type.contains(QLatin1String("CHAR")) || type.contains(QLatin1String("CLOB")) || type.contains(QLatin1String("TEXT")))
        return QStringLiteral("TEXT");
    if (type.contains(QLatin1String("BLOB")) || type.trimmed().isEmpty())
        return QStringLiteral("BLOB");
    if (type.contains(QLatin1String("REAL")) || type.contains(QLatin1String("FLOA")) || type.contains(QLatin1String("DOUB")))
        return QStringLiteral("REAL");
    return QStringLiteral("NUMERIC");
}

// SQLite here has no DROP COLUMN: the table is rebuilt without it, keeping every row, its key and
// the counter, so a deleted group's key is still never reused. Each step is one statement of its
// own: a name that somehow escaped its quotes could still not start a second one.
db::Result dropMembersColumn(db::Connection &connection)
{
    QStringList definitions;
    QStringList columns;
    for (const db::Row &info : connection.select(QStringLiteral("PRAGMA table_info(Grupos)"))) {
        const QString name = info.value(1).toString();
        if (name.compare(QLatin1String("miembros_sid"), Qt::CaseInsensitive) == 0)
            continue;
        columns << quoted(name);
        if (info.value(5).toInt() > 0)
            definitions << quoted(name) + QStringLiteral(" INTEGER PRIMARY KEY AUTOINCREMENT");
        else if (name.compare(QLatin1String("nombre"), Qt::CaseInsensitive) == 0)
            definitions << quoted(name) + QStringLiteral(" TEXT COLLATE NOCASE");
        else
            definitions << quoted(name) + QLatin1Char(' ') + storableType(info.value(2).toString());
    }
    if (columns.isEmpty())
        return {db::Status::Error, QStringLiteral("Grupos has no columns")};

    const QVariant counter = connection.hasTable(QStringLiteral("sqlite_sequence"))
        ? connection.scalar(QStringLiteral("SELECT seq FROM sqlite_sequence WHERE name='Grupos'"))
        : QVariant();
    const QString list = columns.join(QLatin1Char(','));
    const QStringList steps = {
        QStringLiteral("CREATE TABLE Grupos_migracion (") + definitions.join(QStringLiteral(", ")) + QLatin1Char(')'),
        QStringLiteral("INSERT INTO Grupos_migracion (") + list + QStringLiteral(") SELECT ") + list
            + QStringLiteral(" FROM Grupos ORDER BY rowid"),
        QStringLiteral("DROP TABLE Grupos"),
        QStringLiteral("ALTER TABLE Grupos_migracion RENAME TO Grupos"),
    };
    for (const QString &step : steps) {
        if (const db::Result r = connection.execute(step); !r.ok())
            return r;
    }
    if (!counter.isValid())
        return {};
    return connection.execute(QStringLiteral("UPDATE sqlite_sequence SET seq=max(seq,?1) WHERE name='Grupos'"),
                            {counter.toLongLong()});
}

} // namespace

UpgradeResult upgradeSchema(db::Connection &connection)
{
    UpgradeResult result;
    for (const auto &[table, column] : {std::pair{QStringLiteral("Usuario"), QStringLiteral("version_desktop")},
                                        std::pair{QStringLiteral("Historial"), QStringLiteral("username")}}) {
        const db::Result r = addColumnIfMissing(connection, table, column, result.added);
        if (!r.ok()) {
            result.status = UpgradeStatus::Failed;
            result.error += table + QLatin1Char('.') + column + QStringLiteral(": ") + r.error + QLatin1Char('\n');
        }
    }
    // The history view counts and pages by send time; without the first index every page of a long
    // history reads (and decrypts) the whole table. The second is narrow on purpose: a deep page
    // skips its earlier rows through it instead of through the wide rows of the table itself. The
    // third finds a send by the gateway's number (a pending record already recorded, a delivery
    // report, a cancellation) without reading the whole history for each one.
    for (const auto &[name, statement] :
         {std::pair{QStringLiteral("Historial_f_programada"),
                    QStringLiteral("CREATE INDEX IF NOT EXISTS Historial_f_programada ON Historial (f_programada)")},
          std::pair{QStringLiteral("Historial_sid"),
                    QStringLiteral("CREATE INDEX IF NOT EXISTS Historial_sid ON Historial (sid)")},
          std::pair{QStringLiteral("Historial_id_web"),
                    QStringLiteral("CREATE INDEX IF NOT EXISTS Historial_id_web ON Historial (id_web)")}}) {
        const db::Result index = connection.execute(statement);
        if (!index.ok()) {
            result.status = UpgradeStatus::Failed;
            result.error += name + QStringLiteral(": ") + index.error + QLatin1Char('\n');
        }
    }
    return result;
}

IdList parseIdList(const QString &list)
{
    IdList result;
    QSet<qint64> seen;
    for (const QString &piece : list.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString trimmed = piece.trimmed();
        if (trimmed.isEmpty())
            continue;
        bool ok = false;
        const qint64 id = trimmed.toLongLong(&ok);
        if (!ok || id <= 0) {
            ++result.dropped;
            continue;
        }
        if (!seen.contains(id)) {
            seen.insert(id);
            result.ids.push_back(id);
        }
    }
    return result;
}

QString normalizeGroupList(const QString &list)
{
    QStringList items;
    for (const QString &piece : list.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString trimmed = piece.trimmed();
        if (!trimmed.isEmpty())
            items << trimmed;
    }
    return items.join(QLatin1Char(','));
}

QString maintenanceMessage()
{
    return QStringLiteral("Se va a ejecutar una operación de mantenimiento en la base de datos, para actualizar el "
                          "programa. Esto podría tardar unos minutos. Por favor, espere.");
}

MigrationResult migrateGroups(db::Connection &connection, ui::Prompter &prompter, ui::BusyCursor *busy)
{
    MigrationResult result;
    if (!connection.hasColumn(QStringLiteral("Grupos"), QStringLiteral("miembros_sid")))
        return result;

    db::Result r;
    const std::vector<db::Row> groups = connection.select(
        QStringLiteral("SELECT sid,miembros_sid FROM Grupos WHERE length(miembros_sid)>0 ORDER BY sid"), {}, &r);
    if (!r.ok()) {
        result.status = MigrationStatus::Failed;
        result.error = r.error;
        return result;
    }
    prompter.message(maintenanceMessage());
    std::optional<ui::BusyGuard> hourglass;
    if (busy)
        hourglass.emplace(*busy, QStringLiteral("migracion"));

    auto fail = [&result](const db::Result &failure) {
        result.status = MigrationStatus::Failed;
        result.error = failure.error;
        result.groups = result.contacts = result.droppedIds = 0;
        return result;
    };
    db::Transaction transaction(connection);
    if (!transaction.isActive())
        return fail({db::Status::Busy, QStringLiteral("cannot begin a transaction")});
    QStringList added;
    if (r = addColumnIfMissing(connection, QStringLiteral("Agenda"), QStringLiteral("grupos_sid"), added); !r.ok())
        return fail(r);
    if (r = moveMemberships(connection, groups, result); !r.ok())
        return fail(r);
    if (r = connection.execute(QStringLiteral("UPDATE Agenda SET telefono=substr(telefono,2) WHERE telefono LIKE '+%'"));
        !r.ok())
        return fail(r);
    if (r = dropMembersColumn(connection); !r.ok())
        return fail(r);
    if (r = transaction.commit(); !r.ok())
        return fail(r);
    result.status = MigrationStatus::Migrated;
    return result;
}

} // namespace database
