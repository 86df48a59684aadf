#pragma once

#include "history/account.h"
#include "history/gateway_request.h"
#include "platform/db/connection.h"
#include "platform/net/gateway_reply.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

// Delivery reports (`APIv2/getreport.php`): which sends to ask for, the request, and the reply
// written into `Historial.estado`.
namespace history {

inline constexpr int kMaxReportIds = 20;

// The longest report reply taken: one line per asked send with its confirmed and failed numbers,
// so twenty sends to groups of 50,000 numbers of up to 15 digits come to some 16 MB. The lines
// are read where they lie in the reply.
inline constexpr qint64 kReportReplyLimit = 32 * 1024 * 1024;

// The report request for identifiers already joined by ",". Values made form-safe.
GatewayRequest buildReportRequest(const Account &account, const QString &ids);

// The rows a report request asked about. A reply line names a send only by the gateway's number,
// which more than one row may carry (a gateway that numbered its sends afresh, two accounts on one
// shared database): it is written only to the row asked about with that number, and only while
// that row is still in the state it was asked in.
struct ReportedRows {
    QHash<QString, qint64> sidById;   // the gateway's number (trimmed) -> the row asked about
    bool unsettledOnly = false;       // asked because its report was not final (flag "0")
};

struct PendingReport {
    enum class Status { Nothing, Ready, DatabaseError };
    Status status = Status::Nothing;
    QStringList ids;              // newest first, at most 20
    GatewayRequest request;       // filled when Ready
    ReportedRows rows;            // what the reply may change
};

// A request for one send, and the row it is about.
struct SendReportRequest {
    GatewayRequest request;
    ReportedRows rows;
};

// findPendingReports: the due sends (immediate, or scheduled before the current minute) whose
// report is not final and whose number the gateway gave (isGatewayId), newest first. On a shared
// database only this account's sends (`username` equal to the login, or empty) are asked for.
// `nowMinutes` is history::nowMinutes().
PendingReport findPendingReports(db::Connection &connection, const Account &account, const QString &nowMinutes);

// "Actualizar confirmación" for the send a node key names (any state). Nothing for "l0", an
// unknown sid or a send without a gateway number (isGatewayId).
std::optional<SendReportRequest> buildSendReportRequest(db::Connection &connection, const Account &account,
                                                       const QString &nodeKey);

// `linea_estado`: code|id|confirmed|failed.
struct StateLine {
    QString code;
    QString id;
    QString confirmed = QStringLiteral("0");
    QString failed = QStringLiteral("0");

    // The state stored for a code "0" or "1" line: the line without its identifier.
    QString storedState() const;
};

// Nothing for a line that does not carry a code and an identifier; CR and blanks around the
// fields are dropped; missing lists read as "0". Lists with anything but digits and "," are refused.
std::optional<StateLine> parseStateLine(QStringView line);

struct ReportOutcome {
    enum class Status { Applied, ConnectionError, DatabaseError, TooLarge };
    Status status = Status::Applied;
    bool changed = false;         // a row was updated or deleted: redraw the view
    int updated = 0;
    int deleted = 0;
    int skipped = 0;              // lines with other codes, junk, or ids with no row
    QString message;              // for the user; empty when there is nothing to say
};

// recordReportReply: applies a whole reply in one transaction, to the rows `asked` names alone
// (a line about any other number is skipped). `account` is the one the request was sent for: a
// code "5" ("unknown send") only removes that account's rows (or rows without an account), never
// another workstation's.
ReportOutcome recordReportReply(db::Connection &connection, const QString &replyText, const Account &account,
                                const ReportedRows &asked);
// The same for what the request came to: a reply past kReportReplyLimit says the reports are too
// large to read, not that there is no connection; nothing changes then.
ReportOutcome recordReportReply(db::Connection &connection, const net::GatewayReply &reply, const Account &account,
                                const ReportedRows &asked);

inline const QString kConnectionErrorMessage = QStringLiteral("Error de conexion");
inline const QString kReportTooLargeMessage =
    QStringLiteral("Los informes de entrega recibidos son demasiado grandes para leerlos (más de %1 MB). No se ha "
                   "cambiado ningún envío.")
        .arg(kReportReplyLimit / (1024 * 1024));

} // namespace history
