// The gateway's scripts: each turns one logged request into a reply text and changes the state.
#include "sim_state.h"

#include "gateway-sim/release_signing.h"

#include "platform/text/cp1252.h"
#include "platform/text/decimal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cmath>

namespace sim {

namespace {

const QString kAuthFailure = QStringLiteral("3|Authentication failure|");
const QString kMissing = QStringLiteral("3|Required parameters missing|");
const QString kBadNumber = QStringLiteral("2|Invalid destination number|");
const QString kBadSender = QStringLiteral("4|SenderID not allowed|");
const QString kNoCredits = QStringLiteral("5|Insufficient credits|");
const QString kBadRoute = QStringLiteral("6|Invalid route|");
const QString kBadDate = QStringLiteral("7|Invalid date format|");

constexpr int kMaxSenderLength = 11;

double roundCredits(double value)
{
    return std::round(value * 1000.0) / 1000.0;
}

QString credits(double value)
{
    return text::formatDecimal(roundCredits(value));
}

Reply plain(const QString &text)
{
    Reply reply;
    reply.text = text;
    return reply;
}

Reply html(const QString &text, int status = 200)
{
    Reply reply;
    reply.status = status;
    reply.text = text;
    reply.contentType = "text/html; charset=windows-1252";
    return reply;
}

// The list of recipients as the gateway accepts it: digits only, 6 to 15 of them.
bool validNumber(const QString &number)
{
    if (number.size() < 6 || number.size() > 15)
        return false;
    return std::all_of(number.begin(), number.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

// "yyyy-mm-dd hh:mm" on the gateway clock; "" and "Inmediato" mean now.
struct DueTime {
    bool valid = true;
    std::optional<QDateTime> due;
};

DueTime parseDue(const QString &text)
{
    const QString value = text.trimmed();
    if (value.isEmpty() || value == QStringLiteral("Inmediato"))
        return {};
    QDateTime parsed = QDateTime::fromString(value, QStringLiteral("yyyy-MM-dd HH:mm"));
    if (!parsed.isValid())
        parsed = QDateTime::fromString(value, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (!parsed.isValid())
        return {false, std::nullopt};
    return {true, QDateTime(parsed.date(), parsed.time(), Qt::UTC)};
}

QString route(const AccountData &account, const QString &requested)
{
    return requested.isEmpty() ? account.defaultRoute : requested;
}

QString personalise(QString text, const QStringList &keywords, const QList<QStringList> &values, qsizetype index)
{
    for (qsizetype k = 0; k < keywords.size(); ++k) {
        if (keywords[k].isEmpty())
            continue;
        const QStringList &list = k < values.size() ? values[k] : QStringList();
        text.replace(keywords[k], index < list.size() ? list[index] : QString());
    }
    return text;
}

class Params {
public:
    explicit Params(const LoggedRequest &request)
        : m_request(request)
    {
    }
    QString operator[](const char *name) const { return m_request.value(name); }
    bool has(const char *name) const { return m_request.has(name); }

private:
    const LoggedRequest &m_request;
};

QStringList splitList(const QString &value, const QString &separator)
{
    return value.isEmpty() ? QStringList() : value.split(separator);
}

// --- APIv2 ----------------------------------------------------------------------------------

Reply sendSms(GatewayData &data, const Params &p)
{
    const QString login = p["username"];
    const QString password = p["password"];
    const QString message = p["mensaje"];
    const QString recipients = p["destino"];
    if (login.isEmpty() || password.isEmpty() || message.isEmpty() || recipients.isEmpty())
        return plain(kMissing);
    AccountData *acc = data.authenticate(login, password);
    if (!acc)
        return plain(kAuthFailure);

    const QStringList numbers = recipients.split(QLatin1Char(','));
    for (const QString &n : numbers) {
        if (!validNumber(n))
            return plain(kBadNumber);
    }
    const QString sender = p.has("remitente") ? p["remitente"] : data.brandSender;
    if (!data.senderAccepted(*acc, sender))
        return plain(kBadSender);
    const QString r = route(*acc, p["ruta"]);
    if (!acc->prices.contains(r))
        return plain(kBadRoute);
    const DueTime due = parseDue(p["fecha"]);
    if (!due.valid)
        return plain(kBadDate);

    const QStringList keywords = splitList(p["replace_vars"], QStringLiteral("|"));
    QList<QStringList> values;
    for (qsizetype k = 0; k < keywords.size(); ++k)
        values.append(splitList(p[QByteArray("var" + QByteArray::number(k + 1)).constData()], QStringLiteral("|")));

    SendRecord send;
    send.login = login;
    send.sender = sender;
    send.route = r;
    send.message = message;
    send.due = due.due;
    double cost = 0;
    for (qsizetype i = 0; i < numbers.size(); ++i) {
        Recipient recipient;
        recipient.number = numbers[i];
        recipient.text = personalise(message, keywords, values, i);
        cost += messageParts(recipient.text) * acc->prices.value(r);
        send.recipients.append(recipient);
    }
    cost = roundCredits(cost);
    if (cost > acc->balance + 1e-9)
        return plain(kNoCredits);
    acc->balance = roundCredits(acc->balance - cost);
    send.credits = cost;
    send.id = data.nextId++;
    data.sends.insert(send.id, send);

    QString reply = QStringLiteral("0|Message sent|") + QString::number(send.id);
    if (p.has("coste"))
        reply += QLatin1Char('|') + credits(cost);
    return plain(reply);
}

Reply quoteSms(GatewayData &data, const Params &p)
{
    const QString login = p["username"];
    const QString password = p["password"];
    if (login.isEmpty() || password.isEmpty())
        return plain(kMissing);
    AccountData *acc = data.authenticate(login, password);
    if (!acc)
        return plain(kAuthFailure);
    const QStringList numbers = p["destino"].split(QLatin1Char(','));
    for (const QString &n : numbers) {
        if (!validNumber(n))
            return plain(QStringLiteral("2|Invalid destination number|"));
    }
    // The balance query at start-up carries a sender nobody owns ("Saldo"): only a real quote
    // checks the sender, and an empty one is the client's fallback.
    const QString sender = p["remitente"];
    if (p["saldo"] != QStringLiteral("1") && !sender.isEmpty() && !data.senderAccepted(*acc, sender))
        return plain(kBadSender);
    const QString r = route(*acc, p["ruta"]);
    if (!acc->prices.contains(r))
        return plain(kBadRoute);
    const double cost = messageParts(p["mensaje"]) * acc->prices.value(r) * static_cast<double>(numbers.size());
    return plain(QStringLiteral("0|Ticket price|") + credits(cost) + QLatin1Char('|') + credits(acc->balance));
}

Reply getReport(GatewayData &data, const Params &p)
{
    const QString login = p["username"];
    const QString password = p["password"];
    if (login.isEmpty() || password.isEmpty() || p["sms_id"].trimmed().isEmpty())
        return plain(kMissing);
    if (!data.authenticate(login, password))
        return plain(kAuthFailure);

    const QDateTime now = data.now();
    QStringList lines;
    for (const QString &rawId : p["sms_id"].split(QLatin1Char(','))) {
        const QString id = rawId.trimmed();
        if (id.isEmpty())
            continue;
        const std::optional<qint64> number = text::parseInteger(id);
        const auto it = number ? data.sends.find(*number) : data.sends.end();
        if (it == data.sends.end() || it->cancelled) {
            lines.append(QStringLiteral("5|") + id + QStringLiteral("|0|0"));
            continue;
        }
        SendRecord &send = *it;
        if (send.login != login) {
            // Answering "5" would make the client delete a row another account owns.
            if (!data.foreignReportCode.isEmpty())
                lines.append(data.foreignReportCode + QLatin1Char('|') + id + QStringLiteral("|0|0"));
            continue;
        }
        if (send.due && *send.due > now) {
            lines.append(QStringLiteral("0|") + id + QStringLiteral("|0|0"));
            continue;
        }
        ++send.reportsAsked;
        if (data.reportsUntilDelivered > 0 && send.reportsAsked >= data.reportsUntilDelivered)
            data.finalise(send);
        QStringList confirmed;
        QStringList failed;
        bool pending = false;
        for (const Recipient &r : send.recipients) {
            if (r.state == Delivery::Confirmed)
                confirmed.append(r.number);
            else if (r.state == Delivery::Failed)
                failed.append(r.number);
            else
                pending = true;
        }
        lines.append((pending ? QStringLiteral("0|") : QStringLiteral("1|")) + id + QLatin1Char('|')
                     + (confirmed.isEmpty() ? QStringLiteral("0") : confirmed.join(QLatin1Char(','))) + QLatin1Char('|')
                     + (failed.isEmpty() ? QStringLiteral("0") : failed.join(QLatin1Char(','))));
    }
    return plain(lines.join(QStringLiteral("\r\n")));
}

Reply scheduledSendings(GatewayData &data, const Params &p)
{
    const QString id = p["sms_id"].trimmed();
    const QString login = p["username"];
    const QString password = p["password"];
    if (login.isEmpty() || password.isEmpty() || id.isEmpty() || p["action"] != QStringLiteral("2"))
        return plain(QStringLiteral("2|") + id);
    if (!data.authenticate(login, password))
        return plain(QStringLiteral("1|") + id);
    const std::optional<qint64> number = text::parseInteger(id);
    const auto it = number ? data.sends.find(*number) : data.sends.end();
    if (it == data.sends.end() || it->login != login || it->cancelled)
        return plain(QStringLiteral("3|") + id);
    if (!it->due || *it->due <= data.now())
        return plain(QStringLiteral("4|") + id);
    it->cancelled = true;
    AccountData *acc = data.account(login);
    acc->balance = roundCredits(acc->balance + it->credits);
    return plain(QStringLiteral("0|") + id);
}

// --- extranet ------------------------------------------------------------------------------

Reply costQuote(GatewayData &data, const Params &p)
{
    const QString login = p["username"];
    const QString password = p["password"];
    if (login.isEmpty() || password.isEmpty())
        return plain(kMissing);
    const AccountData *acc = data.authenticate(login, password);
    if (!acc)
        return plain(kAuthFailure);
    // The client reads the balance from a fixed offset: the cost field stays one character.
    return plain(QStringLiteral("0|Ticket price|1|") + credits(acc->balance));
}

Reply senderList(GatewayData &data, const Params &p)
{
    const QString login = p["username"];
    const QString password = p["password"];
    if (login.isEmpty() || password.isEmpty())
        return plain(kMissing);
    AccountData *acc = data.authenticate(login, password);
    if (!acc)
        return plain(kAuthFailure);
    if (!p.has("remitente")) {
        QStringList list;
        for (const SenderEntry &entry : acc->senders) {
            if (entry.approved || data.listPending)
                list.append(entry.identifier);
        }
        return plain(QStringLiteral("0|SenderID list|") + list.join(QLatin1Char(';')));
    }
    const QString sender = p["remitente"];
    const auto found = std::find_if(acc->senders.begin(), acc->senders.end(),
                                    [&](const SenderEntry &e) { return e.identifier == sender; });
    if (p["delete"] == QStringLiteral("1")) {
        if (found == acc->senders.end())
            return plain(QStringLiteral("2|SenderID not listed|"));
        acc->senders.erase(found);
        return plain(QStringLiteral("0|SenderID removed|") + sender);
    }
    // ";" separates the list and "|" the reply fields: neither can be part of an identifier.
    if (sender.isEmpty() || sender.size() > kMaxSenderLength || sender.contains(QLatin1Char(';'))
        || sender.contains(QLatin1Char('|')))
        return plain(QStringLiteral("2|Error|"));
    if (found != acc->senders.end())
        return plain(QStringLiteral("2|SenderID already requested|"));
    acc->senders.append({sender, data.autoApprove});
    return plain(QStringLiteral("0|SenderID requested|") + sender);
}

QString sqlLiteral(const QString &value)
{
    QString escaped = value;
    escaped.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + escaped + QLatin1Char('\'');
}

Reply exportBook(GatewayData &data, const Params &p)
{
    const AccountData *acc = data.authenticate(p["login"], p["password"]);
    if (!acc || p["login"].isEmpty())
        return plain(QStringLiteral("Error de autentificacion"));
    if (acc->contacts.isEmpty())
        return plain(QStringLiteral("Sin datos"));
    QStringList records;
    for (const WebContact &c : acc->contacts) {
        records.append(QStringLiteral("INSERT INTO Agenda (nombre,telefono,direccion,nombre_completo,telefono_2,comentario) VALUES (")
                       + QStringList{sqlLiteral(c.name), sqlLiteral(c.phone), sqlLiteral(c.address),
                                     sqlLiteral(c.fullName), sqlLiteral(c.phone2), sqlLiteral(c.comment)}
                             .join(QLatin1Char(','))
                       + QLatin1Char(')'));
    }
    return plain(records.join(QStringLiteral("||")));
}

Reply importBook(GatewayData &data, const Params &p)
{
    const QString login = p["usuario"];
    const QString password = p["clave"];
    if (login.isEmpty() || password.isEmpty())
        return plain(QStringLiteral("Error de falta de datos"));
    AccountData *acc = data.authenticate(login, password);
    if (!acc)
        return plain(QStringLiteral("Error de autentificacion"));
    WebContact contact;
    contact.name = p["nombre"];
    contact.phone = p["telefono"];
    contact.fullName = p["nombre_completo"];
    contact.address = p["direccion"];
    contact.phone2 = p["telefono_2"];
    contact.comment = p["comentario"];
    if (contact.name.isEmpty() || contact.phone.isEmpty())
        return plain(QStringLiteral("Error de falta de datos"));
    if (contact.fullName.isEmpty())
        contact.fullName = contact.name;
    const bool byPhone = p["opc_telefono"] == QStringLiteral("1");
    for (const WebContact &existing : acc->contacts) {
        const bool samePhone = existing.phone == contact.phone;
        if (samePhone && (byPhone || existing.name == contact.name))
            return plain(QStringLiteral("Ya existe el contacto"));
    }
    acc->contacts.append(contact);
    return plain(QStringLiteral("Contacto creado con exito"));
}

const char *const kFormFields[] = {"mensaje", "username", "password", "remitente", "ruta", "nombre", "destino",
                                   "telefono", "nombre_completo", "direccion", "otro_telefono", "comentarios", "fecha"};

const QString kSessionExpired = QStringLiteral("8|Session expired|");
const QByteArray kSessionCookie = "BRISESSID";

Reply formPage(GatewayData &data)
{
    const QString session = QStringLiteral("s%1").arg(data.nextFormSession++);
    data.formSessions.insert(session);
    QString body = QStringLiteral("<FORM name=\"f\" method=\"POST\" action=\"%1\">\r\n").arg(data.formAction);
    for (const char *name : kFormFields)
        body += QStringLiteral("<INPUT type=\"hidden\" name=\"%1\" value=\"\">\r\n").arg(QLatin1String(name));
    body += QStringLiteral("<INPUT type=\"hidden\" name=\"sesion\" value=\"%1\">\r\n").arg(session);
    body += QStringLiteral("<INPUT type=\"submit\" name=\"sub\" value=\"Enviar\">\r\n</FORM>");
    Reply reply = html(QStringLiteral("<HTML><HEAD><TITLE>SMS personalizados</TITLE></HEAD>\r\n<BODY>")
                       + body + QStringLiteral("</BODY></HTML>"));
    reply.headers.append({"Set-Cookie", QByteArray(kSessionCookie).append('=').append(session.toLatin1()).append("; path=/")});
    return reply;
}

// The session a submission brings back in its cookie header, or "" without one.
QString cookieSession(const LoggedRequest &request)
{
    const QByteArray prefix = QByteArray(kSessionCookie).append('=');
    const QList<QByteArray> cookies = request.header("Cookie").split(';');
    for (const QByteArray &cookie : cookies) {
        const QByteArray trimmed = cookie.trimmed();
        if (trimmed.startsWith(prefix))
            return QString::fromLatin1(trimmed.sliced(prefix.size()));
    }
    return {};
}

Reply formResult(GatewayData &data, const LoggedRequest &request, const Params &p)
{
    if (data.formNeedsSession) {
        const QString session = cookieSession(request);
        if (session.isEmpty() || session != p["sesion"] || !data.formSessions.contains(session))
            return html(kSessionExpired);
    }
    const QString login = p["username"];
    const QString password = p["password"];
    const QString message = p["mensaje"];
    const QString recipients = p["destino"];
    if (login.isEmpty() || password.isEmpty() || message.trimmed().isEmpty() || recipients.isEmpty())
        return html(kMissing);
    AccountData *acc = data.authenticate(login, password);
    if (!acc)
        return html(kAuthFailure);
    const QStringList numbers = recipients.split(QLatin1Char(','));
    for (const QString &n : numbers) {
        if (!validNumber(n))
            return html(kBadNumber);
    }
    const QString sender = p["remitente"].isEmpty() ? data.brandSender : p["remitente"];
    if (!data.senderAccepted(*acc, sender))
        return html(kBadSender);
    const QString r = route(*acc, p["ruta"]);
    if (!acc->prices.contains(r))
        return html(kBadRoute);

    const QString sep = QStringLiteral("||");
    const QStringList keywords{QStringLiteral("[NOMBRE]"),      QStringLiteral("[TELEFONO]"),
                               QStringLiteral("[NOMBRE_COMPLETO]"), QStringLiteral("[DIRECCION]"),
                               QStringLiteral("[OTRO_TELEFONO]"), QStringLiteral("[COMENTARIOS]")};
    const QList<QStringList> values{p["nombre"].split(sep),          p["telefono"].split(sep),
                                    p["nombre_completo"].split(sep), p["direccion"].split(sep),
                                    p["otro_telefono"].split(sep),   p["comentarios"].split(sep)};
    const QStringList times = p["fecha"].split(sep);

    QList<SendRecord> planned;
    double total = 0;
    for (qsizetype i = 0; i < numbers.size(); ++i) {
        const DueTime due = parseDue(i < times.size() ? times[i] : QString());
        if (!due.valid)
            return html(kBadDate);
        SendRecord send;
        send.login = login;
        send.sender = sender;
        send.route = r;
        send.message = message;
        send.due = due.due;
        send.fromWebForm = true;
        Recipient recipient;
        recipient.number = numbers[i];
        recipient.text = personalise(message, keywords, values, i);
        send.credits = roundCredits(messageParts(recipient.text) * acc->prices.value(r));
        total += send.credits;
        send.recipients.append(recipient);
        planned.append(send);
    }
    if (roundCredits(total) > acc->balance + 1e-9)
        return html(kNoCredits);
    acc->balance = roundCredits(acc->balance - total);
    for (SendRecord &send : planned) {
        send.id = data.nextId++;
        data.sends.insert(send.id, send);
    }
    return html(QStringLiteral("0|IN_PROGRESS|") + QString::number(data.nextId - 1));
}

// The bytes of a file of the download folder, set explicitly or read from the data folder.
std::optional<QByteArray> downloadable(const GatewayData &data, const QString &name)
{
    if (data.downloads.contains(name))
        return data.downloads.value(name);
    if (data.downloadFolder.isEmpty() || name.isEmpty() || name.contains(QLatin1Char('/'))
        || name == QStringLiteral("..") || name == QStringLiteral("."))
        return std::nullopt;
    QFile file(QDir(data.downloadFolder).filePath(name));
    if (!QFileInfo(file).isFile() || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

Reply download(const GatewayData &data, const QByteArray &path)
{
    const QByteArray decoded = QByteArray::fromPercentEncoding(path);
    const QString name = text::fromCp1252(decoded.sliced(decoded.lastIndexOf('/') + 1));
    std::optional<QByteArray> bytes = downloadable(data, name);
    static const QString signatureSuffix = QStringLiteral(".sig");
    if (!bytes && data.signDownloads && name.endsWith(signatureSuffix)) {
        const QString signedName = name.chopped(signatureSuffix.size());
        if (const std::optional<QByteArray> signedFile = downloadable(data, signedName))
            bytes = signedReleaseStatement(signedName, offeredVersion(data.versionText), *signedFile);
    }
    if (!bytes)
        return html(QStringLiteral("<HTML><BODY><H1>Not Found</H1></BODY></HTML>"), 404);
    Reply reply;
    reply.binary = true;
    reply.bytes = *bytes;
    reply.contentType = "application/octet-stream";
    return reply;
}

Reply webPage(const QByteArray &path)
{
    QString title = QStringLiteral("Brisanta");
    QString body = QStringLiteral("<H1>Brisanta</H1><P>Pasarela de SMS (simulador).</P>");
    if (path.contains("out_index.php")) {
        title = QStringLiteral("Recordar contraseña");
        body = QStringLiteral("<H1>Recordar contraseña</H1><P>Escriba su usuario y le enviaremos la contraseña.</P>");
    } else if (path.startsWith("/extranet")) {
        title = QStringLiteral("Registro");
        body = QStringLiteral("<H1>Registro gratuito</H1><P>Cree su cuenta de Brisanta.</P>");
    } else if (path == "/error.html") {
        title = QStringLiteral("Error");
        body = QStringLiteral("<H1>Error</H1><P>La página solicitada no está disponible.</P>");
    }
    return html(QStringLiteral("<HTML><HEAD><TITLE>") + title + QStringLiteral("</TITLE></HEAD><BODY>") + body
                + QStringLiteral("</BODY></HTML>"));
}

} // namespace

Reply answer(GatewayData &data, const LoggedRequest &request)
{
    const Params p(request);
    switch (request.endpoint) {
    case Endpoint::SendSms: return sendSms(data, p);
    case Endpoint::QuoteSms: return quoteSms(data, p);
    case Endpoint::GetReport: return getReport(data, p);
    case Endpoint::ScheduledSendings: return scheduledSendings(data, p);
    case Endpoint::CostQuote: return costQuote(data, p);
    case Endpoint::SenderList: return senderList(data, p);
    case Endpoint::DesktopVersion: return plain(data.versionText);
    case Endpoint::ExportBook: return exportBook(data, p);
    case Endpoint::ImportBook: return importBook(data, p);
    case Endpoint::FormPage: return formPage(data);
    case Endpoint::FormResult: return formResult(data, request, p);
    case Endpoint::Download: return download(data, request.path);
    case Endpoint::WebPage: return webPage(request.path);
    case Endpoint::Unknown: break;
    }
    return html(QStringLiteral("<HTML><HEAD><TITLE>404 Not Found</TITLE></HEAD><BODY><H1>Not Found</H1></BODY></HTML>"), 404);
}

} // namespace sim
