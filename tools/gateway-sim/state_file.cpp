#include "state_file.h"

#include "sim_state.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace sim {

namespace {

// Written into every state file: a file without it is not one of this simulator's.
const QString kFormat = QStringLiteral("brisanta-gateway-sim-state-1");

QJsonObject encodeAccount(const AccountData &acc)
{
    QJsonObject prices;
    for (auto it = acc.prices.cbegin(); it != acc.prices.cend(); ++it)
        prices.insert(it.key(), it.value());
    QJsonArray senders;
    for (const SenderEntry &s : acc.senders)
        senders.append(QJsonObject{{QStringLiteral("identifier"), s.identifier}, {QStringLiteral("approved"), s.approved}});
    QJsonArray contacts;
    for (const WebContact &c : acc.contacts) {
        contacts.append(QJsonObject{{QStringLiteral("name"), c.name},
                                    {QStringLiteral("phone"), c.phone},
                                    {QStringLiteral("fullName"), c.fullName},
                                    {QStringLiteral("address"), c.address},
                                    {QStringLiteral("phone2"), c.phone2},
                                    {QStringLiteral("comment"), c.comment},
                                    {QStringLiteral("type"), c.type}});
    }
    return {{QStringLiteral("login"), acc.login},
            {QStringLiteral("password"), acc.password},
            {QStringLiteral("balance"), acc.balance},
            {QStringLiteral("defaultRoute"), acc.defaultRoute},
            {QStringLiteral("prices"), prices},
            {QStringLiteral("senders"), senders},
            {QStringLiteral("contacts"), contacts}};
}

AccountData decodeAccount(const QJsonObject &o)
{
    AccountData acc;
    acc.login = o.value(QStringLiteral("login")).toString();
    acc.password = o.value(QStringLiteral("password")).toString();
    acc.balance = o.value(QStringLiteral("balance")).toDouble();
    acc.defaultRoute = o.value(QStringLiteral("defaultRoute")).toString(acc.defaultRoute);
    const QJsonObject prices = o.value(QStringLiteral("prices")).toObject();
    acc.prices.clear();
    for (auto it = prices.constBegin(); it != prices.constEnd(); ++it)
        acc.prices.insert(it.key(), it.value().toDouble());
    for (const QJsonValue &v : o.value(QStringLiteral("senders")).toArray()) {
        const QJsonObject s = v.toObject();
        acc.senders.append({s.value(QStringLiteral("identifier")).toString(), s.value(QStringLiteral("approved")).toBool()});
    }
    for (const QJsonValue &v : o.value(QStringLiteral("contacts")).toArray()) {
        const QJsonObject c = v.toObject();
        WebContact contact;
        contact.name = c.value(QStringLiteral("name")).toString();
        contact.phone = c.value(QStringLiteral("phone")).toString();
        contact.fullName = c.value(QStringLiteral("fullName")).toString();
        contact.address = c.value(QStringLiteral("address")).toString();
        contact.phone2 = c.value(QStringLiteral("phone2")).toString();
        contact.comment = c.value(QStringLiteral("comment")).toString();
        contact.type = c.value(QStringLiteral("type")).toString(contact.type);
        acc.contacts.append(contact);
    }
    return acc;
}

QJsonObject encodeSend(const SendRecord &send)
{
    QJsonArray recipients;
    for (const Recipient &r : send.recipients) {
        recipients.append(QJsonObject{{QStringLiteral("number"), r.number},
                                      {QStringLiteral("text"), r.text},
                                      {QStringLiteral("state"), static_cast<int>(r.state)}});
    }
    QJsonObject o{{QStringLiteral("id"), QString::number(send.id)},
                  {QStringLiteral("login"), send.login},
                  {QStringLiteral("sender"), send.sender},
                  {QStringLiteral("route"), send.route},
                  {QStringLiteral("message"), send.message},
                  {QStringLiteral("recipients"), recipients},
                  {QStringLiteral("credits"), send.credits},
                  {QStringLiteral("cancelled"), send.cancelled},
                  {QStringLiteral("fromWebForm"), send.fromWebForm},
                  {QStringLiteral("reportsAsked"), send.reportsAsked}};
    if (send.due)
        o.insert(QStringLiteral("due"), send.due->toString(Qt::ISODate));
    return o;
}

std::optional<SendRecord> decodeSend(const QJsonObject &o)
{
    SendRecord send;
    bool ok = false;
    send.id = o.value(QStringLiteral("id")).toString().toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    send.login = o.value(QStringLiteral("login")).toString();
    send.sender = o.value(QStringLiteral("sender")).toString();
    send.route = o.value(QStringLiteral("route")).toString();
    send.message = o.value(QStringLiteral("message")).toString();
    for (const QJsonValue &v : o.value(QStringLiteral("recipients")).toArray()) {
        const QJsonObject r = v.toObject();
        Recipient recipient;
        recipient.number = r.value(QStringLiteral("number")).toString();
        recipient.text = r.value(QStringLiteral("text")).toString();
        const int state = r.value(QStringLiteral("state")).toInt();
        recipient.state = state == static_cast<int>(Delivery::Confirmed) ? Delivery::Confirmed
            : state == static_cast<int>(Delivery::Failed)                ? Delivery::Failed
                                                                          : Delivery::Pending;
        send.recipients.append(recipient);
    }
    send.credits = o.value(QStringLiteral("credits")).toDouble();
    send.cancelled = o.value(QStringLiteral("cancelled")).toBool();
    send.fromWebForm = o.value(QStringLiteral("fromWebForm")).toBool();
    send.reportsAsked = o.value(QStringLiteral("reportsAsked")).toInt();
    if (o.contains(QStringLiteral("due"))) {
        QDateTime due = QDateTime::fromString(o.value(QStringLiteral("due")).toString(), Qt::ISODate);
        if (!due.isValid())
            return std::nullopt;
        send.due = QDateTime(due.date(), due.time(), Qt::UTC);
    }
    return send;
}

QString systemError(const QString &what, const QString &path)
{
    return what + QStringLiteral(" ") + QDir::toNativeSeparators(path) + QStringLiteral(": ")
        + QString::fromLocal8Bit(std::strerror(errno));
}

// write() until every byte is out.
bool writeWhole(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

} // namespace

QByteArray encodeState(const GatewayData &data)
{
    QJsonArray accounts;
    for (const AccountData &acc : data.accounts)
        accounts.append(encodeAccount(acc));
    QJsonArray sends;
    for (const SendRecord &send : data.sends)
        sends.append(encodeSend(send));
    const QJsonObject root{{QStringLiteral("format"), kFormat},
                           {QStringLiteral("nextId"), QString::number(data.nextId)},
                           {QStringLiteral("accounts"), accounts},
                           {QStringLiteral("sends"), sends}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

bool decodeState(const QByteArray &bytes, GatewayData &data, QString *error)
{
    const auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    QJsonParseError parse;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &parse);
    if (parse.error != QJsonParseError::NoError || !doc.isObject())
        return fail(QStringLiteral("no es un estado del simulador (%1)").arg(parse.errorString()));
    const QJsonObject root = doc.object();
    if (root.value(QStringLiteral("format")).toString() != kFormat)
        return fail(QStringLiteral("no es un estado de esta versión del simulador"));
    bool ok = false;
    const qint64 nextId = root.value(QStringLiteral("nextId")).toString().toLongLong(&ok);
    if (!ok)
        return fail(QStringLiteral("falta el siguiente identificador de envío"));

    QMap<QString, AccountData> accounts;
    for (const QJsonValue &v : root.value(QStringLiteral("accounts")).toArray()) {
        AccountData acc = decodeAccount(v.toObject());
        if (acc.login.isEmpty())
            return fail(QStringLiteral("una cuenta no tiene nombre de usuario"));
        accounts.insert(acc.login, acc);
    }
    QMap<qint64, SendRecord> sends;
    for (const QJsonValue &v : root.value(QStringLiteral("sends")).toArray()) {
        const std::optional<SendRecord> send = decodeSend(v.toObject());
        if (!send)
            return fail(QStringLiteral("un envío no se puede leer"));
        sends.insert(send->id, *send);
    }
    data.accounts = accounts;
    data.sends = sends;
    // Never a number given before, whatever the file says.
    data.nextId = std::max(nextId, sends.isEmpty() ? qint64(0) : sends.lastKey() + 1);
    return true;
}

bool writeStateFile(const QString &path, const QByteArray &bytes, QString *error,
                    const std::function<void()> &beforeStep)
{
    const auto step = [&beforeStep] {
        if (beforeStep)
            beforeStep();
    };
    const auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    const QString temporary = path + QStringLiteral(".nuevo");
    const QByteArray temporaryName = QFile::encodeName(temporary);
    step();
    const int fd = ::open(temporaryName.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return fail(systemError(QStringLiteral("No se puede crear"), temporary));
    step();
    bool written = writeWhole(fd, bytes);
    if (written) {
        step();
        written = ::fsync(fd) == 0;
    }
    const QString writeError = written ? QString() : systemError(QStringLiteral("No se puede escribir"), temporary);
    if (::close(fd) != 0 && written)
        return fail(systemError(QStringLiteral("No se puede cerrar"), temporary));
    if (!written) {
        ::unlink(temporaryName.constData());
        return fail(writeError);
    }
    step();
    if (::rename(temporaryName.constData(), QFile::encodeName(path).constData()) != 0)
        return fail(systemError(QStringLiteral("No se puede reemplazar"), path));
    step();
    const QString folder = QFileInfo(path).absolutePath();
    const int dirFd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0)
        return fail(systemError(QStringLiteral("No se puede abrir la carpeta"), folder));
    const bool synced = ::fsync(dirFd) == 0;
    ::close(dirFd);
    if (!synced)
        return fail(systemError(QStringLiteral("No se puede sincronizar la carpeta"), folder));
    step();
    return true;
}

} // namespace sim
