#include "startup/database/pending_sends.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QSaveFile>

namespace startup {

namespace {

// A pending file is a handful of lines; anything near this size is not ours to read whole.
constexpr qint64 kMaxBytes = 16 * 1024 * 1024;

QByteArray readBounded(const QString &path, bool *ok)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *ok = false;
        return {};
    }
    *ok = true;
    return file.read(2 * kMaxBytes);
}

// Rewrites the file with `rest`, or removes it when nothing is left.
bool keepOnly(const QString &path, const QByteArray &rest)
{
    if (rest.isEmpty())
        return QFile::remove(path);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(rest);
    return file.commit();
}

} // namespace

QString pendingSendsPath(const QString &databasePath)
{
    return QFileInfo(databasePath).absoluteDir().filePath(QStringLiteral("envios_pendientes.txt"));
}

QByteArray pendingLine(const SendRecord &record)
{
    QJsonObject o;
    o.insert(QStringLiteral("username"), record.username);
    o.insert(QStringLiteral("destinatario"), record.recipients);
    o.insert(QStringLiteral("f_envio"), record.sentAt);
    o.insert(QStringLiteral("f_programada"), record.scheduledAt);
    o.insert(QStringLiteral("mensaje"), record.message);
    o.insert(QStringLiteral("id_web"), record.webId);
    o.insert(QStringLiteral("estado"), record.state);
    o.insert(QStringLiteral("remitente"), record.sender);
    o.insert(QStringLiteral("creditos"), record.credits);
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

std::optional<SendRecord> parsePendingLine(QByteArrayView line)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(line.trimmed().toByteArray(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    const QJsonObject o = doc.object();
    SendRecord record;
    QString *texts[] = {&record.username, &record.recipients, &record.sentAt, &record.scheduledAt,
                        &record.message,  &record.webId,       &record.state,  &record.sender};
    const char *names[] = {"username", "destinatario", "f_envio", "f_programada",
                           "mensaje",  "id_web",       "estado",  "remitente"};
    for (std::size_t i = 0; i < std::size(names); ++i) {
        const QJsonValue value = o.value(QLatin1String(names[i]));
        if (!value.isString())
            return std::nullopt;
        *texts[i] = value.toString();
    }
    const QJsonValue credits = o.value(QStringLiteral("creditos"));
    if (!credits.isDouble())
        return std::nullopt;
    record.credits = credits.toDouble();
    // Without its time and recipients a send could neither be shown nor told apart.
    if (record.sentAt.isEmpty() || record.recipients.isEmpty())
        return std::nullopt;
    return record;
}

bool appendPendingSend(const QString &file, const SendRecord &record)
{
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    // One write for the whole line, so a reader never meets half of it from this side.
    const QByteArray line = pendingLine(record) + '\n';
    const bool written = out.write(line) == line.size() && out.flush();
    out.close();
    return written && out.error() == QFileDevice::NoError;
}

std::optional<bool> sendRecorded(db::Connection &connection, const SendRecord &record)
{
    // Without the gateway's number two sends of one minute to the same numbers cannot be told
    // apart: such a row is always written, never taken for another.
    if (record.webId.trimmed().isEmpty())
        return false;
    db::Result r;
    const QVariant count = connection.scalar(
        QStringLiteral("SELECT count(*) FROM Historial WHERE id_web=?1 AND f_envio=?2 AND destinatario=?3"),
        {record.webId, record.sentAt, record.recipients}, &r);
    if (!r.ok())
        return std::nullopt;
    return count.toLongLong() > 0;
}

db::Result insertSendOnce(db::Connection &connection, const SendRecord &record, bool *alreadyThere)
{
    if (alreadyThere)
        *alreadyThere = false;
    const std::optional<bool> recorded = sendRecorded(connection, record);
    if (!recorded)
        return connection.refusal().ok() ? db::Result{db::Status::Error, QStringLiteral("cannot look the send up")}
                                       : connection.refusal();
    if (*recorded) {
        if (alreadyThere)
            *alreadyThere = true;
        return {};
    }
    return connection.execute(
        QStringLiteral("INSERT INTO Historial (username,destinatario,f_envio,f_programada,mensaje,id_web,estado,"
                       "remitente,creditos) VALUES (?1,?2,?3,?4,?5,?6,?7,?8,?9)"),
        {record.username, record.recipients, record.sentAt, record.scheduledAt, record.message, record.webId,
         record.state, record.sender, record.credits});
}

PendingWrite writePendingSends(db::Connection &connection)
{
    PendingWrite out;
    if (!connection.isOpen())
        return out;
    const QString path = pendingSendsPath(connection.path());
    if (!QFileInfo::exists(path))
        return out;
    if (QFileInfo(path).size() > kMaxBytes) {
        // Not what this program writes: left for a person to look at.
        out.status = PendingWrite::Status::Failed;
        out.error = QStringLiteral("too large: ") + path;
        return out;
    }
    bool readable = false;
    const QByteArray taken = readBounded(path, &readable);
    if (!readable) {
        out.status = PendingWrite::Status::Failed;
        out.error = QStringLiteral("cannot read ") + path;
        return out;
    }

    QList<SendRecord> records;
    QByteArray unreadable;
    for (const QByteArray &line : taken.split('\n')) {
        if (line.trimmed().isEmpty())
            continue;
        if (const std::optional<SendRecord> record = parsePendingLine(line)) {
            records.append(*record);
        } else {
            // Kept for a person to look at, never silently thrown away.
            unreadable += line + '\n';
            ++out.unreadable;
        }
    }

    if (!records.isEmpty()) {
        db::Transaction transaction(connection);
        db::Result r = transaction.isActive() ? db::Result{} : connection.refusal();
        for (const SendRecord &record : std::as_const(records)) {
            if (!r.ok())
                break;
            bool there = false;
            r = insertSendOnce(connection, record, &there);
            if (r.ok())
                ++(there ? out.alreadyThere : out.written);
        }
        if (r.ok())
            r = transaction.commit();
        if (!r.ok()) {
            out = {};
            out.status = PendingWrite::Status::Failed;
            out.error = r.error;
            return out;
        }
    }
    out.status = records.isEmpty() && out.unreadable == 0 ? PendingWrite::Status::Nothing
                                                          : PendingWrite::Status::Written;

    // Lines another send appended while this ran stay for the next start. If the file changed in
    // any other way it is left alone: its records are recognised as written next time.
    bool again = false;
    const QByteArray now = readBounded(path, &again);
    if (again && now.startsWith(taken))
        keepOnly(path, unreadable + now.mid(taken.size()));
    return out;
}

} // namespace startup
