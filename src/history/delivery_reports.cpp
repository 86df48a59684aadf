#include "history/delivery_reports.h"

#include "brand/brand.h"
#include "history/history_view.h"
#include "platform/net/reply_text.h"
#include "platform/text/digits.h"
#include "platform/text/url_encode.h"

#include <array>

namespace history {

namespace {

// The rows of this account on a database that several accounts may share.
const QString kOwnRows = QStringLiteral("(username=? OR username IS NULL OR username='')");

// A report that is not final yet: the automatic refresh asks only for these.
const QString kUnsettled = QStringLiteral("estado LIKE '0|%'");

} // namespace

bool isGatewayId(const QString &id)
{
    const QString trimmed = id.trimmed();
    return trimmed.size() <= 18 && text::isDigitsOnly(trimmed);
}

namespace {

bool isNumberList(QStringView list)
{
    if (list.isEmpty())
        return false;
    for (const QChar c : list) {
        if ((c < QLatin1Char('0') || c > QLatin1Char('9')) && c != QLatin1Char(','))
            return false;
    }
    return true;
}

// The first N fields of a line split on "|", read where they lie (a line may hold a list of
// tens of thousands of numbers, or a great many "|"); returns how many there were, at most N.
template <std::size_t N>
qsizetype leadingFields(QStringView line, std::array<QStringView, N> &fields)
{
    qsizetype start = 0;
    for (std::size_t k = 0; k < N; ++k) {
        const qsizetype bar = line.indexOf(QLatin1Char('|'), start);
        fields[k] = line.mid(start, (bar < 0 ? line.size() : bar) - start);
        if (bar < 0)
            return qsizetype(k + 1);
        start = bar + 1;
    }
    return qsizetype(N);
}

} // namespace

GatewayRequest buildReportRequest(const Account &account, const QString &ids)
{
    return {brand::baseUrl() + QStringLiteral("APIv2/getreport.php"),
            {{QStringLiteral("username"), text::escapeRawValue(account.login)},
             {QStringLiteral("password"), text::escapeRawValue(account.pass)},
             {QStringLiteral("sms_id"), text::escapeRawValue(ids)}}};
}

PendingReport findPendingReports(db::Connection &connection, const Account &account, const QString &nowMinutes)
{
    PendingReport pending;
    db::Result r;
    const std::vector<db::Row> rows = connection.select(
        QStringLiteral("SELECT sid, id_web FROM Historial WHERE (f_programada='Inmediato' OR f_programada<?) "
                       "AND ")
            + kUnsettled + QStringLiteral(" AND ") + kGatewayIdCondition + QStringLiteral(" AND ") + kOwnRows
            + QStringLiteral(" ORDER BY sid DESC LIMIT ?"),
        {nowMinutes, account.login, kMaxReportIds}, &r);
    if (!r.ok()) {
        pending.status = PendingReport::Status::DatabaseError;
        return pending;
    }
    pending.rows.unsettledOnly = true;
    for (const db::Row &row : rows) {
        const QString id = row.value(1).toString().trimmed();
        // Newest first: of two rows with one number, the gateway's report is the newest one's.
        if (pending.rows.sidById.contains(id))
            continue;
        pending.ids.append(id);
        pending.rows.sidById.insert(id, row.value(0).toLongLong());
    }
    if (pending.ids.isEmpty())
        return pending;
    pending.status = PendingReport::Status::Ready;
    pending.request = buildReportRequest(account, pending.ids.join(QLatin1Char(',')));
    return pending;
}

std::optional<SendReportRequest> buildSendReportRequest(db::Connection &connection, const Account &account,
                                                       const QString &nodeKey)
{
    const std::optional<qint64> sid = sidFromKey(nodeKey);
    if (!sid)
        return std::nullopt;
    const QString id =
        connection.scalar(QStringLiteral("SELECT id_web FROM Historial WHERE sid=?"), {*sid}).toString().trimmed();
    if (!isGatewayId(id))
        return std::nullopt;
    SendReportRequest out{buildReportRequest(account, id), {}};
    out.rows.sidById.insert(id, *sid);
    return out;
}

QString StateLine::storedState() const
{
    return code + QLatin1Char('|') + confirmed + QLatin1Char('|') + failed;
}

std::optional<StateLine> parseStateLine(QStringView line)
{
    std::array<QStringView, 4> fields;
    const qsizetype count = leadingFields(line.trimmed(), fields);
    if (count < 2)
        return std::nullopt;
    // The line's code is read as every reply's is: one digit, blanks around it dropped.
    const std::optional<int> code = net::apiCode(line.trimmed());
    StateLine l;
    l.code = code ? QString::number(*code) : QString();
    l.id = fields[1].trimmed().toString();
    if (l.code.isEmpty() || l.id.isEmpty())
        return std::nullopt;
    if (count > 2 && !fields[2].trimmed().isEmpty())
        l.confirmed = fields[2].trimmed().toString();
    if (count > 3 && !fields[3].trimmed().isEmpty())
        l.failed = fields[3].trimmed().toString();
    // The view reads these lists by position; anything else would corrupt the stored state.
    if (!isNumberList(l.confirmed) || !isNumberList(l.failed))
        return std::nullopt;
    return l;
}

ReportOutcome recordReportReply(db::Connection &connection, const net::GatewayReply &reply, const Account &account,
                                const ReportedRows &asked)
{
    if (reply.status == net::GatewayReply::Status::TooLarge) {
        ReportOutcome out;
        out.status = ReportOutcome::Status::TooLarge;
        out.message = kReportTooLargeMessage;
        return out;
    }
    return recordReportReply(connection, reply.text, account, asked);
}

ReportOutcome recordReportReply(db::Connection &connection, const QString &replyText, const Account &account,
                                const ReportedRows &asked)
{
    ReportOutcome out;
    if (replyText.isEmpty() || !replyText.contains(QLatin1Char('|'))) {
        out.status = ReportOutcome::Status::ConnectionError;
        out.message = kConnectionErrorMessage;
        return out;
    }

    db::Transaction transaction(connection);
    if (!transaction.isActive()) {
        out.status = ReportOutcome::Status::DatabaseError;
        return out;
    }
    // The row asked about, as parameters 2 (its sid) and 3 (the number), while it still carries
    // that number and, for the automatic refresh, its report is still not final: a reply that
    // arrives after another has settled the row never takes it back.
    const QString askedRow = QStringLiteral("sid=?2 AND ") + sameGatewayId(3)
        + (asked.unsettledOnly ? QStringLiteral(" AND ") + kUnsettled : QString());
    db::Result r;
    db::Statement update = connection.prepare(
        QStringLiteral("UPDATE Historial SET estado=?1 WHERE ") + askedRow + QStringLiteral(" AND (estado IS NULL OR estado<>?1)"),
        &r);
    db::Statement remove;
    if (r.ok())
        remove = connection.prepare(QStringLiteral("DELETE FROM Historial WHERE ") + askedRow + QStringLiteral(" AND ")
                                        + QString(kOwnRows).replace(QLatin1Char('?'), QStringLiteral("?1")),
                                    &r);

    // Lines end in CR LF; a bare LF, a trailing empty line or a blank line are all the same here.
    // Each line is read where it lies in the reply, one at a time.
    const QStringView text(replyText);
    for (qsizetype start = 0; start <= text.size() && r.ok();) {
        const qsizetype end = text.indexOf(QLatin1Char('\n'), start);
        const QStringView line = text.mid(start, (end < 0 ? text.size() : end) - start);
        start = end < 0 ? text.size() + 1 : end + 1;
        const std::optional<StateLine> l = parseStateLine(line);
        if (!l) {
            if (!line.trimmed().isEmpty())
                ++out.skipped;
            continue;
        }
        const auto row = asked.sidById.constFind(l->id);
        if (row == asked.sidById.constEnd()) {
            ++out.skipped;   // a send this request did not ask about
            continue;
        }
        if (l->code == QLatin1String("0") || l->code == QLatin1String("1")) {
            update.bindAll({l->storedState(), row.value(), l->id});
            r = update.run();
            update.reset();
            if (r.changes > 0)
                ++out.updated;
        } else if (l->code == QLatin1String("5")) {
            remove.bindAll({account.login, row.value(), l->id});
            r = remove.run();
            remove.reset();
            if (r.changes > 0)
                ++out.deleted;
            else
                ++out.skipped;
        } else {
            ++out.skipped;
        }
    }
    if (r.ok())
        r = transaction.commit();
    if (!r.ok()) {
        out = {};
        out.status = ReportOutcome::Status::DatabaseError;
        return out;
    }
    out.changed = out.updated > 0 || out.deleted > 0;
    return out;
}

} // namespace history
