#pragma once

#include "gateway-sim/gateway_simulator.h"

#include <QByteArray>
#include <QHash>
#include <QMap>
#include <QSet>
#include <QString>

#include <condition_variable>
#include <mutex>

// What the simulated gateway remembers between requests. Guarded by one mutex; the endpoint
// functions below run with it held and never block.
namespace sim {

struct SenderEntry {
    QString identifier;
    bool approved = false;
};

struct AccountData {
    QString login;
    QString password;
    double balance = 0;
    QString defaultRoute = QStringLiteral("3");
    QMap<QString, double> prices{{QStringLiteral("1"), 0.825}, {QStringLiteral("3"), 1.0}};
    QList<SenderEntry> senders;
    QList<WebContact> contacts;
};

struct GatewayData {
    QMap<QString, AccountData> accounts;
    QMap<qint64, SendRecord> sends;
    qint64 nextId = 1000;
    QString brandSender = QStringLiteral("Brisanta.es");
    bool autoApprove = false;
    bool listPending = true;
    QStringList failingSuffixes;
    int reportsUntilDelivered = 0;
    QString foreignReportCode;
    std::optional<QDateTime> frozenClock;
    QString versionText = QStringLiteral("2.34|2.34");
    QHash<QString, QByteArray> downloads;
    QString downloadFolder;
    // Every served file has its signed release statement (test key, the version the version reply
    // offers) at its name followed by ".sig", unless a file of that name was set explicitly.
    bool signDownloads = true;
    // The personalised-send form: where it posts, and whether a submission must come back with
    // the session the page handed out (its cookie and its hidden field).
    QString formAction = QStringLiteral("/extranet_nueva/SMS/sendsms.php");
    bool formNeedsSession = false;
    QSet<QString> formSessions;
    quint64 nextFormSession = 1;

    QDateTime now() const;
    AccountData *account(const QString &login);
    // The account when login and password match, else nothing.
    AccountData *authenticate(const QString &login, const QString &password);
    bool senderAccepted(const AccountData &account, const QString &sender) const;
    int finalise(SendRecord &send); // pending recipients become confirmed/failed
};

// One answer before faults are applied.
struct Reply {
    int status = 200;
    QString text;                     // sent as Windows-1252 unless `bytes` is set
    QByteArray bytes;                 // binary replies (downloads)
    bool binary = false;
    QByteArray contentType = "text/plain; charset=windows-1252";
    QList<QPair<QByteArray, QByteArray>> headers; // extra response headers (Set-Cookie)
};

Endpoint endpointForPath(const QByteArray &path);

// Form pairs of raw query or body bytes: split on "&", then on the first "=", each side
// form-decoded ("+" a blank, "%XX" a byte, a stray "%" kept). Empty pieces are skipped.
QList<QPair<QByteArray, QByteArray>> parseFormPairs(const QByteArray &raw);

// The answer of one endpoint to one request; runs with the state locked.
Reply answer(GatewayData &data, const LoggedRequest &request);

// Messages parts as the client counts them: up to 160 characters one part, else 153 a part.
int messageParts(const QString &text);

// Reply text with every numeric field after the code replaced by "abc", line by line.
QString malformNumbers(const QString &text);

} // namespace sim
