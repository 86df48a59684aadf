#include "gateway-sim/gateway_simulator.h"

#include "sim_state.h"
#include "state_file.h"

#include "platform/text/cp1252.h"


#include <httplib.h>

#include <QFile>

#include <algorithm>
#include <cstdio>
#include <sys/socket.h>
#include <thread>

namespace sim {

namespace {

struct ArmedFault {
    Endpoint endpoint;
    Fault fault;
};

constexpr std::size_t kSlowPiece = 64;

QByteArray toBytes(const std::string &s)
{
    return QByteArray(s.data(), static_cast<qsizetype>(s.size()));
}

std::string toStd(const QByteArray &b)
{
    return std::string(b.constData(), static_cast<std::size_t>(b.size()));
}

QString htmlPage(const QString &title, const QString &body)
{
    return QStringLiteral("<HTML><HEAD><TITLE>") + title + QStringLiteral("</TITLE></HEAD><BODY>") + body
        + QStringLiteral("</BODY></HTML>");
}

} // namespace

struct GatewaySimulator::State {
    mutable std::mutex mutex;
    std::condition_variable wake;          // hangs and slow transfers wait on it
    GatewayData data;
    QList<LoggedRequest> log;
    QList<ArmedFault> faults;
    bool stopping = false;
    quint64 releaseGeneration = 0;
    int holding = 0;

    httplib::Server server;
    std::thread thread;
    int port = 0;
    bool running = false;
    bool used = false;
    bool loopEnded = false;

    QString statePath;                     // empty: nothing lasts beyond this object
    QByteArray savedState;                 // what the state file holds now
    std::function<void()> stateWriteHook;

    // Writes the state file when the lasting state changed since it was last written. Runs with
    // the mutex held, so the file follows the changes in the order they were made.
    bool persist(QString *error = nullptr);
    void handle(const httplib::Request &req, httplib::Response &res, const QByteArray &body);
    std::optional<Fault> takeFault(Endpoint endpoint);
    // Waits up to `delay`; false when the simulator stops or the holds are released meanwhile.
    bool hold(std::chrono::milliseconds delay);
};

bool GatewaySimulator::State::persist(QString *error)
{
    if (statePath.isEmpty())
        return true;
    const QByteArray bytes = encodeState(data);
    if (bytes == savedState)
        return true;
    QString why;
    if (!writeStateFile(statePath, bytes, &why, stateWriteHook)) {
        if (error)
            *error = why;
        else
            std::fprintf(stderr, "No se ha podido guardar el estado del simulador: %s\n", qPrintable(why));
        return false;
    }
    savedState = bytes;
    return true;
}

std::optional<Fault> GatewaySimulator::State::takeFault(Endpoint endpoint)
{
    for (qsizetype i = 0; i < faults.size(); ++i) {
        if (faults[i].endpoint != endpoint)
            continue;
        Fault fault = faults[i].fault;
        if (--faults[i].fault.count <= 0)
            faults.removeAt(i);
        return fault;
    }
    return std::nullopt;
}

bool GatewaySimulator::State::hold(std::chrono::milliseconds delay)
{
    std::unique_lock lock(mutex);
    const quint64 generation = releaseGeneration;
    ++holding;
    const bool cut = wake.wait_for(lock, delay, [&] { return stopping || releaseGeneration != generation; });
    --holding;
    return !cut;
}

void GatewaySimulator::State::handle(const httplib::Request &req, httplib::Response &res, const QByteArray &body)
{
    LoggedRequest entry;
    entry.method = toBytes(req.method);
    const QByteArray target = toBytes(req.target);
    const qsizetype q = target.indexOf('?');
    entry.path = q < 0 ? target : target.first(q);
    entry.query = q < 0 ? QByteArray() : target.sliced(q + 1);
    entry.body = body;
    for (const auto &[name, value] : req.headers)
        entry.headers.append({toBytes(name), toBytes(value)});
    entry.pairs = parseFormPairs(entry.query) + parseFormPairs(body);
    entry.received = QDateTime::currentDateTimeUtc();
    entry.endpoint = endpointForPath(QByteArray::fromPercentEncoding(entry.path));

    Reply reply;
    std::optional<Fault> fault;
    {
        std::lock_guard lock(mutex);
        log.append(entry);
        fault = takeFault(entry.endpoint);
        reply = answer(data, entry);
        // On disk before the reply leaves: whatever the client was told is there at the next start.
        persist();
    }

    QString textBody = reply.text;
    QByteArray contentType = reply.contentType;
    int status = reply.status;
    if (fault && fault->answerAfter.count() > 0)
        hold(fault->answerAfter);
    if (fault) {
        switch (fault->kind) {
        case FaultKind::EmptyBody:
            textBody.clear();
            reply.bytes.clear();
            reply.binary = false;
            status = 200;
            break;
        case FaultKind::NoSeparator:
            textBody = htmlPage(QStringLiteral("Mantenimiento"),
                                QStringLiteral("<H1>Servicio en mantenimiento</H1><P>Vuelva a intentarlo más tarde.</P>"));
            contentType = "text/html; charset=windows-1252";
            reply.binary = false;
            status = 200;
            break;
        case FaultKind::HttpError:
        case FaultKind::NotFound: {
            const bool notFound = fault->kind == FaultKind::NotFound;
            status = fault->status ? fault->status : (notFound ? 404 : 500);
            textBody = htmlPage(notFound ? QStringLiteral("404 Not Found") : QStringLiteral("500 Internal Server Error"),
                                notFound ? QStringLiteral("<H1>Not Found</H1>")
                                         : QStringLiteral("<H1>Internal Server Error</H1>"));
            contentType = "text/html; charset=windows-1252";
            reply.binary = false;
            break;
        }
        case FaultKind::ErrorStatusValid:
            status = fault->status ? fault->status : 500;
            break;
        case FaultKind::Hang: {
            hold(fault->delay);
            // Headers promising a body that never comes, then the connection goes.
            res.status = 200;
            res.set_content_provider(
                1, "text/plain; charset=windows-1252",
                [](size_t, size_t, httplib::DataSink &) { return false; });
            return;
        }
        case FaultKind::Delay:
            hold(fault->delay);
            break;
        case FaultKind::MalformedNumbers:
            textBody = malformNumbers(textBody);
            break;
        case FaultKind::TrailingCrLf:
            if (reply.binary)
                reply.bytes.append("\r\n");
            else
                textBody.append(QStringLiteral("\r\n"));
            break;
        case FaultKind::LfOnly:
            textBody.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
            break;
        case FaultKind::Utf8Body:
            if (!reply.binary) {
                reply.bytes = textBody.toUtf8();
                reply.binary = true;
                contentType.replace("windows-1252", "utf-8");
            }
            break;
        case FaultKind::Redirect:
            res.status = 302;
            res.set_header("Location", "/error.html");
            res.set_content(toStd(text::toCp1252(htmlPage(QStringLiteral("Moved"), QStringLiteral("Moved")))),
                            "text/html; charset=windows-1252");
            return;
        case FaultKind::CustomBody:
            textBody = fault->body;
            reply.binary = false;
            status = fault->status ? fault->status : 200;
            break;
        case FaultKind::Truncated:
        case FaultKind::Slow:
            break;
        }
    }

    const QByteArray bytes = reply.binary ? reply.bytes : text::toCp1252(textBody);
    res.status = status;
    for (const auto &[name, value] : reply.headers)
        res.set_header(toStd(name), toStd(value));
    if (fault && (fault->kind == FaultKind::Truncated || fault->kind == FaultKind::Slow)) {
        const bool truncated = fault->kind == FaultKind::Truncated;
        const auto shared = std::make_shared<std::string>(toStd(bytes));
        const std::size_t limit = truncated ? shared->size() / 2 : shared->size();
        const auto delay = fault->delay;
        res.set_content_provider(
            shared->size(), toStd(contentType),
            [this, shared, limit, truncated, delay](size_t offset, size_t, httplib::DataSink &sink) {
                if (offset >= limit)
                    return false; // truncated: the connection closes short of Content-Length
                std::size_t piece = truncated ? limit - offset : std::min(kSlowPiece, limit - offset);
                if (!truncated && offset > 0 && !hold(delay))
                    piece = limit - offset; // released: the rest at once
                return sink.write(shared->data() + offset, piece);
            });
        return;
    }
    res.set_content(toStd(bytes), toStd(contentType));
}

// --- LoggedRequest ---------------------------------------------------------------------------

QByteArray LoggedRequest::header(const QByteArray &name) const
{
    for (const auto &[key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

bool LoggedRequest::has(const QByteArray &name) const
{
    return std::any_of(pairs.begin(), pairs.end(), [&](const auto &p) { return p.first == name; });
}

QByteArray LoggedRequest::rawValue(const QByteArray &name) const
{
    for (const auto &[key, value] : pairs) {
        if (key == name)
            return value;
    }
    return {};
}

QString LoggedRequest::value(const QByteArray &name) const
{
    return text::fromCp1252(rawValue(name));
}

QList<QByteArray> LoggedRequest::names() const
{
    QList<QByteArray> out;
    for (const auto &pair : pairs)
        out.append(pair.first);
    return out;
}

// --- GatewaySimulator ------------------------------------------------------------------------

GatewaySimulator::GatewaySimulator()
    : d(std::make_unique<State>())
{
}

GatewaySimulator::~GatewaySimulator()
{
    stop();
}

bool GatewaySimulator::start(int port)
{
    if (d->running)
        return true;
    if (d->used)
        return false; // the server's routes and pool are set up once: one start per object
    d->used = true;
    State *state = d.get();
    state->server.new_task_queue = [] { return new httplib::ThreadPool(16); };
    // One request per connection: a kept-alive idle connection would hold stop() for the
    // keep-alive time-out, and the client's transports expect nothing from reuse. The library
    // waits that same time-out for a connection's first request and then drops it unanswered;
    // a client starved on a loaded test machine can take several seconds to write it (a history
    // reading a large report request under sanitizers took over five), and the client never
    // sends a dropped request again, so the wait is generous.
    state->server.set_keep_alive_max_count(1);
    state->server.set_keep_alive_timeout(30);
    state->server.set_payload_max_length(64 * 1024 * 1024);
    // A reply of many megabytes goes out while the client, on a loaded test machine, may not read
    // for seconds: the library's 5 s write time-out would cut it short and look like a dropped
    // connection. The client's own time-out is what decides.
    state->server.set_write_timeout(120, 0);
    // The library's default adds SO_REUSEPORT, which lets a second simulator share a busy port
    // and steal half its connections; a taken port must be an error.
    state->server.set_socket_options([](socket_t sock) {
        int yes = 1;
        ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
    });

    // Bodies are read through a content reader: the library's own form parsing refuses
    // form bodies above 8 KiB, and recipient lists run to 30,000 characters.
    const auto withBody = [state](const httplib::Request &req, httplib::Response &res,
                                  const httplib::ContentReader &reader) {
        std::string body;
        reader([&](const char *data, size_t length) {
            body.append(data, length);
            return true;
        });
        state->handle(req, res, toBytes(body));
    };
    const auto withoutBody = [state](const httplib::Request &req, httplib::Response &res) {
        state->handle(req, res, toBytes(req.body));
    };
    const char *const any = "/.*";
    state->server.Get(any, withoutBody);
    state->server.Delete(any, withoutBody);
    state->server.Options(any, withoutBody);
    state->server.Post(any, withBody);
    state->server.Put(any, withBody);
    state->server.Patch(any, withBody);

    {
        std::lock_guard lock(state->mutex);
        state->stopping = false;
    }
    int bound = -1;
    if (port == 0)
        bound = state->server.bind_to_any_port("127.0.0.1");
    else
        bound = state->server.bind_to_port("127.0.0.1", port) ? port : -1;
    if (bound <= 0)
        return false;
    state->port = bound;
    // The socket already listens after binding: connections queue until the loop accepts them.
    state->thread = std::thread([state] {
        state->server.listen_after_bind();
        std::lock_guard lock(state->mutex);
        state->loopEnded = true;
        state->wake.notify_all();
    });
    // The library raises no event when its accept loop runs; stop() before that point would be
    // lost, so wait (briefly, it is the next thing that thread does) until it reports running.
    std::unique_lock lock(state->mutex);
    while (!state->server.is_running() && !state->loopEnded)
        state->wake.wait_for(lock, std::chrono::milliseconds(1));
    state->running = !state->loopEnded;
    lock.unlock();
    if (!state->running && state->thread.joinable())
        state->thread.join();
    return state->running;
}

void GatewaySimulator::stop()
{
    if (!d->running)
        return;
    {
        std::lock_guard lock(d->mutex);
        d->stopping = true;
    }
    d->wake.notify_all();
    d->server.stop();
    if (d->thread.joinable())
        d->thread.join();
    d->running = false;
}

bool GatewaySimulator::isRunning() const
{
    return d->running;
}

int GatewaySimulator::port() const
{
    return d->port;
}

QString GatewaySimulator::baseUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1/").arg(d->port);
}

// --- accounts

void GatewaySimulator::addAccount(const QString &login, const QString &password, double balance)
{
    std::lock_guard lock(d->mutex);
    AccountData &acc = d->data.accounts[login];
    acc.login = login;
    acc.password = password;
    acc.balance = balance;
}

bool GatewaySimulator::hasAccount(const QString &login) const
{
    std::lock_guard lock(d->mutex);
    return d->data.accounts.contains(login);
}

void GatewaySimulator::setPassword(const QString &login, const QString &password)
{
    std::lock_guard lock(d->mutex);
    if (AccountData *acc = d->data.account(login))
        acc->password = password;
}

void GatewaySimulator::setBalance(const QString &login, double balance)
{
    std::lock_guard lock(d->mutex);
    if (AccountData *acc = d->data.account(login))
        acc->balance = balance;
}

double GatewaySimulator::balance(const QString &login) const
{
    std::lock_guard lock(d->mutex);
    const auto it = d->data.accounts.constFind(login);
    return it == d->data.accounts.constEnd() ? 0.0 : it->balance;
}

void GatewaySimulator::setRoutePrice(const QString &login, const QString &route, double pricePerPart)
{
    std::lock_guard lock(d->mutex);
    if (AccountData *acc = d->data.account(login))
        acc->prices[route] = pricePerPart;
}

void GatewaySimulator::setDefaultRoute(const QString &login, const QString &route)
{
    std::lock_guard lock(d->mutex);
    if (AccountData *acc = d->data.account(login))
        acc->defaultRoute = route;
}

// --- senders

void GatewaySimulator::approveSender(const QString &login, const QString &sender)
{
    std::lock_guard lock(d->mutex);
    AccountData *acc = d->data.account(login);
    if (!acc)
        return;
    for (SenderEntry &entry : acc->senders) {
        if (entry.identifier == sender) {
            entry.approved = true;
            return;
        }
    }
    acc->senders.append({sender, true});
}

void GatewaySimulator::requestSender(const QString &login, const QString &sender)
{
    std::lock_guard lock(d->mutex);
    AccountData *acc = d->data.account(login);
    if (!acc)
        return;
    for (const SenderEntry &entry : acc->senders) {
        if (entry.identifier == sender)
            return;
    }
    acc->senders.append({sender, false});
}

void GatewaySimulator::removeSender(const QString &login, const QString &sender)
{
    std::lock_guard lock(d->mutex);
    if (AccountData *acc = d->data.account(login))
        acc->senders.removeIf([&](const SenderEntry &e) { return e.identifier == sender; });
}

QStringList GatewaySimulator::senders(const QString &login) const
{
    std::lock_guard lock(d->mutex);
    QStringList out;
    if (const AccountData *acc = d->data.account(login)) {
        for (const SenderEntry &entry : acc->senders)
            out.append(entry.identifier);
    }
    return out;
}

bool GatewaySimulator::isSenderApproved(const QString &login, const QString &sender) const
{
    std::lock_guard lock(d->mutex);
    const AccountData *acc = d->data.account(login);
    return acc && d->data.senderAccepted(*acc, sender);
}

void GatewaySimulator::setAutoApproveSenders(bool on)
{
    std::lock_guard lock(d->mutex);
    d->data.autoApprove = on;
}

void GatewaySimulator::setListPendingSenders(bool on)
{
    std::lock_guard lock(d->mutex);
    d->data.listPending = on;
}

void GatewaySimulator::setWebFormAction(const QString &action)
{
    std::lock_guard lock(d->mutex);
    d->data.formAction = action;
}

void GatewaySimulator::setWebFormNeedsSession(bool on)
{
    std::lock_guard lock(d->mutex);
    d->data.formNeedsSession = on;
}

void GatewaySimulator::setBrandSender(const QString &sender)
{
    std::lock_guard lock(d->mutex);
    d->data.brandSender = sender;
}

// --- contacts

void GatewaySimulator::addWebContact(const QString &login, const WebContact &contact)
{
    std::lock_guard lock(d->mutex);
    if (AccountData *acc = d->data.account(login))
        acc->contacts.append(contact);
}

QList<WebContact> GatewaySimulator::webContacts(const QString &login) const
{
    std::lock_guard lock(d->mutex);
    const AccountData *acc = d->data.account(login);
    return acc ? acc->contacts : QList<WebContact>();
}

void GatewaySimulator::clearWebContacts(const QString &login)
{
    std::lock_guard lock(d->mutex);
    if (AccountData *acc = d->data.account(login))
        acc->contacts.clear();
}

// --- sends

QList<SendRecord> GatewaySimulator::sends() const
{
    std::lock_guard lock(d->mutex);
    return d->data.sends.values();
}

std::optional<SendRecord> GatewaySimulator::send(qint64 id) const
{
    std::lock_guard lock(d->mutex);
    const auto it = d->data.sends.constFind(id);
    if (it == d->data.sends.constEnd())
        return std::nullopt;
    return *it;
}

void GatewaySimulator::setNextSendId(qint64 id)
{
    std::lock_guard lock(d->mutex);
    const qint64 highest = d->data.sends.isEmpty() ? 0 : d->data.sends.lastKey();
    d->data.nextId = std::max(id, highest + 1);
}

int GatewaySimulator::deliverDue()
{
    std::lock_guard lock(d->mutex);
    const QDateTime now = d->data.now();
    int changed = 0;
    for (SendRecord &send : d->data.sends) {
        if (!send.cancelled && (!send.due || *send.due <= now))
            changed += d->data.finalise(send);
    }
    return changed;
}

int GatewaySimulator::deliver(qint64 id)
{
    std::lock_guard lock(d->mutex);
    const auto it = d->data.sends.find(id);
    return it == d->data.sends.end() ? 0 : d->data.finalise(*it);
}

void GatewaySimulator::setDelivery(qint64 id, const QString &number, Delivery state)
{
    std::lock_guard lock(d->mutex);
    const auto it = d->data.sends.find(id);
    if (it == d->data.sends.end())
        return;
    for (Recipient &r : it->recipients) {
        if (r.number == number)
            r.state = state;
    }
}

void GatewaySimulator::setFailingSuffixes(const QStringList &suffixes)
{
    std::lock_guard lock(d->mutex);
    d->data.failingSuffixes = suffixes;
}

void GatewaySimulator::setReportsUntilDelivered(int k)
{
    std::lock_guard lock(d->mutex);
    d->data.reportsUntilDelivered = k;
}

void GatewaySimulator::setForeignReportCode(const QString &code)
{
    std::lock_guard lock(d->mutex);
    d->data.foreignReportCode = code;
}

// --- clock

QDateTime GatewaySimulator::gatewayNow() const
{
    std::lock_guard lock(d->mutex);
    return d->data.now();
}

void GatewaySimulator::setGatewayClock(const QDateTime &wallTime)
{
    std::lock_guard lock(d->mutex);
    d->data.frozenClock = QDateTime(wallTime.date(), wallTime.time(), Qt::UTC);
}

void GatewaySimulator::clearGatewayClock()
{
    std::lock_guard lock(d->mutex);
    d->data.frozenClock.reset();
}

// --- version and downloads

void GatewaySimulator::setVersionText(const QString &text)
{
    std::lock_guard lock(d->mutex);
    d->data.versionText = text;
}

void GatewaySimulator::setDownload(const QString &fileName, const QByteArray &bytes)
{
    std::lock_guard lock(d->mutex);
    d->data.downloads.insert(fileName, bytes);
}

void GatewaySimulator::setDownloadFolder(const QString &folder)
{
    std::lock_guard lock(d->mutex);
    d->data.downloadFolder = folder;
}

void GatewaySimulator::setSignDownloads(bool on)
{
    std::lock_guard lock(d->mutex);
    d->data.signDownloads = on;
}

// --- journal

QList<LoggedRequest> GatewaySimulator::requests() const
{
    std::lock_guard lock(d->mutex);
    return d->log;
}

QList<LoggedRequest> GatewaySimulator::requests(Endpoint endpoint) const
{
    std::lock_guard lock(d->mutex);
    QList<LoggedRequest> out;
    for (const LoggedRequest &r : d->log) {
        if (r.endpoint == endpoint)
            out.append(r);
    }
    return out;
}

int GatewaySimulator::requestCount(Endpoint endpoint) const
{
    std::lock_guard lock(d->mutex);
    return static_cast<int>(std::count_if(d->log.begin(), d->log.end(),
                                          [&](const LoggedRequest &r) { return r.endpoint == endpoint; }));
}

int GatewaySimulator::requestCount() const
{
    std::lock_guard lock(d->mutex);
    return static_cast<int>(d->log.size());
}

std::optional<LoggedRequest> GatewaySimulator::lastRequest(Endpoint endpoint) const
{
    std::lock_guard lock(d->mutex);
    for (auto it = d->log.crbegin(); it != d->log.crend(); ++it) {
        if (it->endpoint == endpoint)
            return *it;
    }
    return std::nullopt;
}

void GatewaySimulator::clearLog()
{
    std::lock_guard lock(d->mutex);
    d->log.clear();
}

// --- faults

void GatewaySimulator::armFault(Endpoint endpoint, const Fault &fault)
{
    if (fault.count <= 0)
        return;
    std::lock_guard lock(d->mutex);
    d->faults.append({endpoint, fault});
}

void GatewaySimulator::armFault(Endpoint endpoint, FaultKind kind, int count)
{
    Fault fault;
    fault.kind = kind;
    fault.count = count;
    armFault(endpoint, fault);
}

void GatewaySimulator::armCustomReply(Endpoint endpoint, const QString &body, int count)
{
    Fault fault;
    fault.kind = FaultKind::CustomBody;
    fault.count = count;
    fault.body = body;
    armFault(endpoint, fault);
}

void GatewaySimulator::clearFaults()
{
    std::lock_guard lock(d->mutex);
    d->faults.clear();
}

int GatewaySimulator::armedFaults(Endpoint endpoint) const
{
    std::lock_guard lock(d->mutex);
    int total = 0;
    for (const ArmedFault &armed : d->faults) {
        if (armed.endpoint == endpoint)
            total += armed.fault.count;
    }
    return total;
}

int GatewaySimulator::hangingRequests() const
{
    std::lock_guard lock(d->mutex);
    return d->holding;
}

void GatewaySimulator::releaseHangs()
{
    {
        std::lock_guard lock(d->mutex);
        ++d->releaseGeneration;
    }
    d->wake.notify_all();
}

bool GatewaySimulator::useStateFile(const QString &path, QString *error)
{
    std::lock_guard lock(d->mutex);
    QFile file(path);
    if (file.exists()) {
        if (!file.open(QIODevice::ReadOnly)) {
            if (error)
                *error = QStringLiteral("No se puede leer %1: %2").arg(path, file.errorString());
            return false;
        }
        QString why;
        if (!decodeState(file.readAll(), d->data, &why)) {
            if (error)
                *error = QStringLiteral("El archivo %1 %2.").arg(path, why);
            return false;
        }
    }
    d->statePath = path;
    if (!d->persist(error)) {
        d->statePath.clear();
        return false;
    }
    return true;
}

void GatewaySimulator::setStateWriteHook(std::function<void()> hook)
{
    std::lock_guard lock(d->mutex);
    d->stateWriteHook = std::move(hook);
}

void GatewaySimulator::installDemo()
{
    if (hasAccount(QStringLiteral("demo"))) {
        setReportsUntilDelivered(2);
        return;
    }
    addAccount(QStringLiteral("demo"), QStringLiteral("demo"), 1500);
    approveSender(QStringLiteral("demo"), QStringLiteral("Tienda"));
    approveSender(QStringLiteral("demo"), QStringLiteral("Avisos"));
    WebContact ana;
    ana.name = QStringLiteral("Ana");
    ana.phone = QStringLiteral("34600000001");
    ana.fullName = QStringLiteral("Ana García Núñez");
    ana.address = QStringLiteral("C/ Mayor 1, Madrid");
    addWebContact(QStringLiteral("demo"), ana);
    WebContact luis;
    luis.name = QStringLiteral("Luis");
    luis.phone = QStringLiteral("34600000002");
    luis.fullName = QStringLiteral("Luis O'Donnell");
    luis.comment = QStringLiteral("Cliente preferente");
    addWebContact(QStringLiteral("demo"), luis);
    setReportsUntilDelivered(2);
    std::lock_guard lock(d->mutex);
    d->persist();
}

} // namespace sim
