#include "account/account_settings.h"

#include "database/account_row.h"

#include <QDir>
#include <QFileInfo>

#include <functional>

namespace account {
namespace {

bool sameFile(const QString &a, const QString &b)
{
    return QFileInfo(a).absoluteFilePath() == QFileInfo(b).absoluteFilePath();
}

// Runs `work` on the local file: on the connection in use when that is the local file, else on a
// connection of its own that lives only for this one piece of work.
db::Result onLocalFile(db::Connection &connection, const QString &programFolder,
                       const std::function<db::Result(db::Connection &)> &work)
{
    const QString local = localDatabasePath(programFolder);
    if (connection.isOpen() && sameFile(connection.path(), local))
        return work(connection);
    db::Connection own;
    const db::Result opened = own.open(local, db::OpenMode::ExistingOnly);
    if (!opened.ok())
        return opened;
    return work(own);
}

} // namespace

const QStringList &timeZones()
{
    static const QStringList zones = {
        QStringLiteral("GMT -12:00"), QStringLiteral("GMT -11:00"), QStringLiteral("GMT -10:00"),
        QStringLiteral("GMT -09:00"), QStringLiteral("GMT -08:00"), QStringLiteral("GMT -07:00"),
        QStringLiteral("GMT -06:00"), QStringLiteral("GMT -05:00"), QStringLiteral("GMT -04:30"),
        QStringLiteral("GMT -04:00"), QStringLiteral("GMT -03:30"), QStringLiteral("GMT -03:00"),
        QStringLiteral("GMT -02:00"), QStringLiteral("GMT -01:00"), QStringLiteral("GMT +00:00"),
        QStringLiteral("GMT +01:00"), QStringLiteral("GMT +02:00"), QStringLiteral("GMT +03:00"),
        QStringLiteral("GMT +03:30"), QStringLiteral("GMT +04:00"), QStringLiteral("GMT +04:30"),
        QStringLiteral("GMT +05:00"), QStringLiteral("GMT +05:30"), QStringLiteral("GMT +05:45"),
        QStringLiteral("GMT +06:00"), QStringLiteral("GMT +06:30"), QStringLiteral("GMT +07:00"),
        QStringLiteral("GMT +08:00"), QStringLiteral("GMT +09:00"), QStringLiteral("GMT +09:30"),
        QStringLiteral("GMT +10:00"), QStringLiteral("GMT +11:00"), QStringLiteral("GMT +12:00"),
        QStringLiteral("GMT +13:00"),
    };
    return zones;
}

std::optional<AccountRow> loadAccount(db::Connection &connection, db::Result *result)
{
    const auto rows = connection.select(
        database::accountRowQuery(QStringLiteral("login,pass,ruta,huso_horario,defecto_agenda")),
        {}, result);
    if (rows.empty())
        return std::nullopt;
    const db::Row &r = rows.front();
    return AccountRow{r.value(0).toString(), r.value(1).toString(), r.value(2).toString(),
                      r.value(3).toString(), r.value(4).toString()};
}

QString localDatabasePath(const QString &programFolder)
{
    return QDir(programFolder).filePath(QStringLiteral("bbdd.mdb"));
}

std::optional<QString> readSharedPath(db::Connection &connection, const QString &programFolder)
{
    std::optional<QString> path;
    onLocalFile(connection, programFolder, [&path](db::Connection &local) {
        db::Result result;
        const auto rows = local.select(QStringLiteral("SELECT ruta_bbdd FROM Usuario ORDER BY sid LIMIT 1"),
                                       {}, &result);
        if (result.ok() && !rows.empty())
            path = rows.front().value(0).toString();
        return result;
    });
    return path;
}

db::Result saveSharedPath(db::Connection &connection, const QString &programFolder, const QString &path)
{
    return onLocalFile(connection, programFolder, [&path](db::Connection &local) {
        db::Transaction transaction(local);
        if (!transaction.isActive())
            return transaction.beginResult();
        db::Result result = local.execute(QStringLiteral("UPDATE Usuario SET ruta_bbdd=?1"), {path});
        if (!result.ok())
            return result;
        if (result.changes == 0) {
            result = local.execute(QStringLiteral("INSERT INTO Usuario (ruta_bbdd) VALUES (?1)"), {path});
            if (!result.ok())
                return result;
        }
        return transaction.commit();
    });
}

db::Result storeVerifiedAccount(db::Connection &connection, const VerifiedAccount &account)
{
    db::Transaction transaction(connection);
    if (!transaction.isActive())
        return transaction.beginResult();
    db::Result result;
    const QVariant rowCount = connection.scalar(QStringLiteral("SELECT count(*) FROM Usuario"), {}, &result);
    if (!result.ok())
        return result;
    const QVariant accountCount = connection.scalar(QStringLiteral("SELECT count(*) FROM Usuario WHERE length(login)>0"), {},
                                             &result);
    if (!result.ok())
        return result;
    // A first account gets "Preguntar" when no default is ticked, also when a row holding only the
    // shared path is already there (it is updated, so the path stays).
    const QString unknownDefault = account.defaultTicked ? account.unknownNumberDefault
        : accountCount.toLongLong() == 0                ? QString::fromLatin1(kAsk)
                                                   : QStringLiteral("");
    if (rowCount.toLongLong() == 0) {
        result = connection.execute(
            QStringLiteral("INSERT INTO Usuario (login,pass,ruta,saldo,huso_horario,defecto_agenda) "
                           "VALUES (?1,?2,?3,?4,?5,?6)"),
            {account.login, account.pass, account.route, account.balance, account.timeZone, unknownDefault});
    } else {
        // An unticked default is stored empty on an existing account, as the send panel expects.
        result = connection.execute(
            QStringLiteral("UPDATE Usuario SET login=?1,pass=?2,ruta=?3,saldo=?4,huso_horario=?5,"
                           "defecto_agenda=?6"),
            {account.login, account.pass, account.route, account.balance, account.timeZone, unknownDefault});
    }
    if (!result.ok())
        return result;
    return transaction.commit();
}

QString zoneToStore(const QString &selected, const QString &stored)
{
    if (!selected.isEmpty())
        return selected;
    if (!stored.isEmpty())
        return stored;
    return timeZones().at(kDefaultZoneIndex);
}

QString costLabel(const QString &route)
{
    if (route == QLatin1String("1"))
        return QStringLiteral("0.825 créditos");
    return QStringLiteral("1 crédito");
}

QList<SenderRow> loadSenderRows(db::Connection &connection, db::Result *result)
{
    QList<SenderRow> senders;
    const auto rows = connection.select(QStringLiteral("SELECT remitente,defecto FROM Remitentes ORDER BY rowid"),
                                      {}, result);
    for (const db::Row &r : rows)
        senders.append(SenderRow{r.value(0).toString(), r.value(1).toLongLong() != 0});
    return senders;
}

db::Result setDefaultSender(db::Connection &connection, const QString &sender)
{
    db::Transaction transaction(connection);
    if (!transaction.isActive())
        return transaction.beginResult();
    db::Result result = connection.execute(QStringLiteral("UPDATE Remitentes SET defecto=0"));
    if (!result.ok())
        return result;
    result = connection.execute(
        QStringLiteral("UPDATE Remitentes SET defecto=1 WHERE remitente=?1 COLLATE BINARY"), {sender});
    if (!result.ok())
        return result;
    return transaction.commit();
}

} // namespace account
