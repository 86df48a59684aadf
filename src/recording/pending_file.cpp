#include "recording/pending_file.h"

#include "platform/files/durable_write.h"
#include "platform/files/shared_take.h"
#include "platform/files/take_names.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QStringList>
#include <QUuid>

namespace recording {

// Appends bytes that must survive a power cut once this returns true.
bool appendSynced(const QString &path, const QByteArray &bytes, const FileSync &sync)
{
    QFile out(path);
    if (!out.open(QIODevice::ReadWrite | QIODevice::Append | QIODevice::Unbuffered))
        return false;
    QByteArray data;
    // A last line cut short (a crash, a full disk) must not swallow the next record.
    const qint64 size = out.size();
    char last = '\n';
    if (size > 0 && (!out.seek(size - 1) || !out.getChar(&last)))
        return false;
    if (last != '\n')
        data += '\n';
    data += bytes;
    // One write, so a reader never meets half of it from this side.
    const bool written = out.write(data) == data.size() && out.flush() && (sync ? sync(out) : true);
    out.close();
    return written && out.error() == QFileDevice::NoError;
}

QString pendingTakeMarker()
{
    return QStringLiteral("en_lectura");
}

QString pendingSendsPath(const QString &databasePath)
{
    return QFileInfo(databasePath).absoluteDir().filePath(QStringLiteral("envios_pendientes.txt"));
}

QString setAsidePath(const QString &databasePath)
{
    return QFileInfo(databasePath).absoluteDir().filePath(QStringLiteral("envios_pendientes_no_legibles.txt"));
}

QByteArray pendingLine(const SendRecord &record)
{
    QJsonObject o;
    o.insert(QStringLiteral("registro"), record.recordId);
    o.insert(QStringLiteral("username"), record.username);
    o.insert(QStringLiteral("destinatario"), record.recipients);
    o.insert(QStringLiteral("f_envio"), record.sentAt);
    o.insert(QStringLiteral("f_programada"), record.scheduledAt);
    o.insert(QStringLiteral("mensaje"), record.message);
    o.insert(QStringLiteral("id_web"), record.webId);
    o.insert(QStringLiteral("estado"), record.state);
    o.insert(QStringLiteral("remitente"), record.sender);
    o.insert(QStringLiteral("creditos"), record.credits);
    if (record.birthday)
        o.insert(QStringLiteral("bool_cumple"), QStringLiteral("1"));
    if (record.triedKey > 0)
        o.insert(QStringLiteral("sid"), QString::number(record.triedKey));
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

std::optional<SendRecord> parsePendingLine(QByteArrayView line)
{
    const QByteArray bytes = line.trimmed().toByteArray();
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
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
    record.birthday = o.value(QStringLiteral("bool_cumple")).toString() == QLatin1String("1");
    record.recordId = o.value(QStringLiteral("registro")).toString();
    record.triedKey = std::max<qint64>(0, o.value(QStringLiteral("sid")).toString().toLongLong());
    if (record.recordId.isEmpty()) {
        // Written before records carried an id: the line itself tells it apart.
        record.recordId = QStringLiteral("linea-")
            + QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
    }
    // Without its time and recipients a row could neither be shown nor told apart.
    if (record.sentAt.isEmpty() || record.recipients.isEmpty())
        return std::nullopt;
    return record;
}

OsSync platformSync() { return &files::syncDescriptor; }

bool syncThrough(QFileDevice &file, OsSync osSync) { return osSync(file.handle()) == 0; }

bool syncToDisk(QFileDevice &file) { return syncThrough(file, platformSync()); }

bool appendPendingRecords(const QString &file, QList<SendRecord> records, const FileSync &sync)
{
    QByteArray lines;
    for (SendRecord &record : records) {
        if (record.recordId.isEmpty())
            record.recordId = QUuid::createUuid().toString(QUuid::WithoutBraces);
        lines += pendingLine(record) + '\n';
    }
    return !lines.isEmpty() && appendSynced(file, lines, sync);
}

QList<SendRecord> readPendingRecords(const QString &file)
{
    QList<SendRecord> records;
    // What a start has taken and kept waits too.
    QStringList paths = files::TakeNames(file, pendingTakeMarker()).leftovers();
    paths.append(file);
    for (const QString &path : std::as_const(paths)) {
        const QFileInfo info(path);
        if (!info.exists() || info.size() > kMaxPendingBytes)
            continue;
        // What a start has written from a kept file is written; only what follows waits.
        const std::optional<QByteArray> bytes = files::readPiece(path, files::progressOf(path).done, kMaxPendingBytes);
        if (!bytes)
            continue;
        for (const QByteArray &line : bytes->split('\n')) {
            if (std::optional<SendRecord> record = parsePendingLine(line))
                records.append(*record);
        }
    }
    return records;
}

} // namespace recording
