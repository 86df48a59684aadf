#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

// A stand-in for the SMS gateway, for tests and demos: every script the client talks to, with the
// state behind it (accounts, senders, sends, delivery reports, web contact book, version, files),
// a journal of every request as it arrived and faults armed per endpoint.
//
// Thread model: the HTTP server answers on its own threads; every public method may be called
// from any thread at any time (one mutex guards the state).
namespace sim {

// The scripts of the gateway, as the journal and the fault table name them.
enum class Endpoint {
    SendSms,           // APIv2/sendsms.php
    QuoteSms,          // APIv2/quotesms.php
    GetReport,         // APIv2/getreport.php
    ScheduledSendings, // APIv2/scheduled_sendings.php
    CostQuote,        // extranet/SMS/pedir_coste.php
    SenderList,   // extranet/SMS/pedir_remitentes.php
    DesktopVersion,    // extranet/SMS/desktop_version.php
    ExportBook,      // extranet/SMS/desktop_export_agenda.php
    ImportBook,      // extranet/SMS/desktop_import_agenda.php
    FormPage,          // extranet/SMS/sms_personalizados.php
    FormResult,        // extranet_nueva/SMS/sendsms.php
    Download,          // extranet/Descargas/<file>
    WebPage,           // "/", "extranet/", "extranet_nueva/OUT/out_index.php"
    Unknown,           // anything else (404)
};

// The script path of an endpoint relative to the base URL ("APIv2/sendsms.php"); "" for the
// groups without one path (Download, WebPage, Unknown).
QString endpointPath(Endpoint endpoint);

enum class FaultKind {
    EmptyBody,        // 200 with Content-Length 0
    NoSeparator,      // 200 with an HTML page holding no "|"
    HttpError,        // status (500 unless given) with an HTML error page
    ErrorStatusValid, // status (500 unless given) with the normal reply: status must not matter
    Hang,             // no reply until the delay passes, releaseHangs() or the simulator stops;
                      // then the connection is dropped without a reply
    Delay,            // the normal reply, after the delay (cut short by stop or releaseHangs)
    MalformedNumbers, // every numeric field after the code reads "abc"
    TrailingCrLf,     // the normal reply with CR LF appended
    LfOnly,           // the normal reply with every CR LF turned into LF
    Utf8Body,         // the normal reply in UTF-8 instead of Windows-1252
    Redirect,         // 302 to "/error.html" (a page under another address)
    Truncated,        // Content-Length of the full reply, half the bytes sent, connection closed
    Slow,             // the normal reply sent in small pieces with the delay between them
    NotFound,         // 404 with an HTML page
    CustomBody,       // 200 (or the given status) with the given Windows-1252 text instead
};

struct Fault {
    FaultKind kind = FaultKind::EmptyBody;
    int count = 1;                                 // requests it applies to
    std::chrono::milliseconds delay{30000};        // Hang, Delay; Slow: between pieces
    int status = 0;                                // HttpError/ErrorStatusValid/CustomBody; 0 = default
    QString body;                                  // CustomBody
    std::chrono::milliseconds answerAfter{0};      // any kind: nothing is answered before this wait
};

enum class Delivery { Pending, Confirmed, Failed };

struct Recipient {
    QString number;                                // exactly as received in `destino`
    QString text;                                  // the message after personalisation
    Delivery state = Delivery::Pending;
};

struct SendRecord {
    qint64 id = 0;
    QString login;
    QString sender;
    QString route;
    QString message;                               // the message as received (decoded)
    QList<Recipient> recipients;
    std::optional<QDateTime> due;                  // gateway wall clock (as Qt::UTC); none = immediate
    double credits = 0;
    bool cancelled = false;
    bool fromWebForm = false;
    int reportsAsked = 0;                          // getreport calls that named it while due
};

struct WebContact {
    QString name;
    QString phone;
    QString fullName;                       // the web contact's "contacto"
    QString address;
    QString phone2;
    QString comment;
    QString type = QStringLiteral("particular");
};

struct LoggedRequest {
    Endpoint endpoint = Endpoint::Unknown;
    QByteArray method;
    QByteArray path;                               // as on the request line, without the query
    QByteArray query;                              // raw bytes after "?" (no "?"), "" when none
    QByteArray body;                               // raw body bytes
    QList<QPair<QByteArray, QByteArray>> headers;
    QList<QPair<QByteArray, QByteArray>> pairs;    // query then body pairs, form-decoded bytes
    QDateTime received;                            // UTC

    QByteArray header(const QByteArray &name) const;          // case-insensitive; "" when absent
    bool has(const QByteArray &name) const;
    QByteArray rawValue(const QByteArray &name) const;        // decoded bytes of the first pair
    QString value(const QByteArray &name) const;              // rawValue read as Windows-1252
    QList<QByteArray> names() const;                          // pair names in order
};

class GatewaySimulator final {
public:
    GatewaySimulator();
    ~GatewaySimulator(); // stops the server
    GatewaySimulator(const GatewaySimulator &) = delete;
    GatewaySimulator &operator=(const GatewaySimulator &) = delete;

    // Listens on 127.0.0.1 (port 0 = a free one) and returns once it accepts connections.
    // One start per object; false when the port cannot be had or after a stop.
    bool start(int port = 0);
    void stop();                                   // releases hangs, joins the server thread
    bool isRunning() const;
    int port() const;
    QString baseUrl() const;                       // "http://127.0.0.1:<port>/"

    // --- accounts -----------------------------------------------------------------------------
    void addAccount(const QString &login, const QString &password, double balance = 100.0);
    bool hasAccount(const QString &login) const;
    void setPassword(const QString &login, const QString &password);
    void setBalance(const QString &login, double balance);
    double balance(const QString &login) const;    // 0 for an unknown login
    // Price per message part; defaults "1" = 0.825, "3" = 1. Routes without a price are refused.
    void setRoutePrice(const QString &login, const QString &route, double pricePerPart);
    void setDefaultRoute(const QString &login, const QString &route); // quotes without `ruta`; "3"

    // --- sender identifiers ----------------------------------------------------------------------
    void approveSender(const QString &login, const QString &sender);  // adds it approved
    void requestSender(const QString &login, const QString &sender);  // adds it pending approval
    void removeSender(const QString &login, const QString &sender);
    QStringList senders(const QString &login) const;                  // every one, in order
    bool isSenderApproved(const QString &login, const QString &sender) const;
    void setAutoApproveSenders(bool on);                               // requests approved at once
    void setListPendingSenders(bool on);                               // list shows requested too (default on)
    void setBrandSender(const QString &sender);                        // always accepted; "Brisanta.es"

    // --- web contact book ------------------------------------------------------------------------
    void addWebContact(const QString &login, const WebContact &contact);
    QList<WebContact> webContacts(const QString &login) const;
    void clearWebContacts(const QString &login);

    // --- sends and delivery reports --------------------------------------------------------------
    QList<SendRecord> sends() const;
    std::optional<SendRecord> send(qint64 id) const;
    void setNextSendId(qint64 id);                 // default 1000; never below an id in use
    // Every pending recipient of every due, live send becomes final: failed when the number ends
    // with one of the failing suffixes, confirmed otherwise. Returns how many changed.
    int deliverDue();
    int deliver(qint64 id);                        // the same for one send (due or not)
    void setDelivery(qint64 id, const QString &number, Delivery state);
    void setFailingSuffixes(const QStringList &suffixes);
    // When > 0, a due send becomes final by itself on the k-th getreport call naming it.
    void setReportsUntilDelivered(int k);
    // Sends of other accounts named in getreport: omitted (default) or answered with this code.
    void setForeignReportCode(const QString &code);

    // --- clock -----------------------------------------------------------------------------------
    // The gateway keeps GMT+01:00: wall time, returned as Qt::UTC.
    QDateTime gatewayNow() const;
    void setGatewayClock(const QDateTime &wallTime); // frozen at this wall time (any time zone read as wall time)
    void clearGatewayClock();

    // --- version and downloads -------------------------------------------------------------------
    void setVersionText(const QString &text);      // whole reply body; default "2.34|2.34"
    void setDownload(const QString &fileName, const QByteArray &bytes);
    void setDownloadFolder(const QString &folder); // files not set explicitly are read from here
    // Whether "<file>.sig" answers with the file's signed release statement, made with the test
    // release key for the version the version reply offers first (release_signing.h), when no file
    // of that name was set; on by default.
    void setSignDownloads(bool on);

    // --- journal ---------------------------------------------------------------------------------
    QList<LoggedRequest> requests() const;
    QList<LoggedRequest> requests(Endpoint endpoint) const;
    int requestCount(Endpoint endpoint) const;
    int requestCount() const;
    std::optional<LoggedRequest> lastRequest(Endpoint endpoint) const;
    void clearLog();

    // --- faults ----------------------------------------------------------------------------------
    void armFault(Endpoint endpoint, const Fault &fault);
    void armFault(Endpoint endpoint, FaultKind kind, int count = 1);
    void armCustomReply(Endpoint endpoint, const QString &body, int count = 1);
    void clearFaults();
    int armedFaults(Endpoint endpoint) const;      // requests still to be hit
    int hangingRequests() const;                   // requests held right now by Hang/Delay/Slow
    void releaseHangs();                           // ends every hold at once

    // --- personalised-send web form ---------------------------------------------------------------
    // The form's action as written in the page (default "/extranet_nueva/SMS/sendsms.php"; a
    // relative one such as "../../extranet_nueva/SMS/sendsms.php" tests the client's resolution).
    void setWebFormAction(const QString &action);
    // Every form page hands out a session: a cookie "BRISESSID" and the hidden field "sesion".
    // When required, a submission without both (or with a session never handed out) is refused
    // with "8|Session expired|".
    void setWebFormNeedsSession(bool on);

    // The demo account: "demo"/"demo", balance 1500, senders "Tienda" and "Avisos" approved,
    // a few web contacts, deliveries on the second report. An account "demo" already there (kept
    // in the state file) stays as it is: its balance, senders and contacts are the user's.
    void installDemo();

    // --- lasting state ----------------------------------------------------------------------------
    // Keeps the accounts, their balances, senders and web contacts, every send with its delivery
    // states, and the next send number in `path` (state_file.h), so that a simulator started again
    // on it goes on where the last one stopped: its sends are still known and no number is given
    // twice. Reads the file when it exists, then writes it at once and after every request that
    // changed the state, before the reply leaves. False, with `error` saying why, when the file
    // cannot be read as a state or cannot be written; nothing is kept then. Call before start().
    // Without it (the tests), the state lives in memory only.
    bool useStateFile(const QString &path, QString *error = nullptr);
    // Called before each step of writing the state file that touches the disk, and after the last
    // (writeStateFile); the crash tests end the program there. Call before useStateFile().
    void setStateWriteHook(std::function<void()> hook);

    struct State;

private:
    std::unique_ptr<State> d;
};

} // namespace sim
