#include "history/history_view.h"

#include "history/contact_names.h"
#include "history/send_time.h"
#include "platform/text/node_key.h"

#include <algorithm>

namespace history {

namespace {

// A send is still to come while its scheduled time is later than now; one scheduled for the
// current minute already counts as sent.
const QString kFuture = QStringLiteral("(f_programada<>'Inmediato' AND f_programada>?)");
const QString kSent = QStringLiteral("(f_programada='Inmediato' OR f_programada<=?)");

// Send times start with a digit and sort before "Inmediato", so the future sends are these two
// ranges of the send-time index.
const QString kFutureRanges =
    QStringLiteral("(f_programada>? AND f_programada<'Inmediato') OR f_programada>'Inmediato'");

// The number of sends in the view and, where that settles them, whether it holds a future send
// and a send already made (what enables "Cancelar todos" and "Eliminar todos (enviados)").
struct ViewCount {
    qint64 rows = 0;
    std::optional<bool> future;      // empty: still to be looked for
    std::optional<bool> sent;
};

// Without the filter the views are counted on the send-time index alone: each range on its own (an
// OR of ranges first gathers every matching row to drop duplicates), and "Enviados" as the whole
// table less the future sends and the rows with no time, since counting a whole table is far
// cheaper than counting most of it by range. A filter has to read the rows anyway, so "Todos" then
// answers both bulk items in the same pass. "Enviados" holds no future send and "Programados"
// nothing already sent, so for them the count answers both.
ViewCount countView(db::Connection &connection, const ViewOptions &options, const Condition &condition,
                    const QString &now, db::Result *r)
{
    ViewCount v;
    const bool filtered = options.filtering && !options.filter.isEmpty();
    static const QString future = QStringLiteral(
        "(SELECT COUNT(*) FROM Historial WHERE f_programada>?1 AND f_programada<'Inmediato') "
        "+ (SELECT COUNT(*) FROM Historial WHERE f_programada>'Inmediato')");
    if (!filtered && options.kind == ViewKind::Scheduled) {
        v.rows = connection.scalar(QStringLiteral("SELECT ") + future, {now}, r).toLongLong();
    } else if (!filtered && options.kind == ViewKind::Sent) {
        v.rows = connection
                     .scalar(QStringLiteral("SELECT (SELECT COUNT(*) FROM Historial) - (") + future
                                 + QStringLiteral(") - (SELECT COUNT(*) FROM Historial WHERE f_programada IS NULL)"),
                             {now}, r)
                     .toLongLong();
    } else if (filtered && options.kind == ViewKind::All) {
        const std::vector<db::Row> rows = connection.select(
            QStringLiteral("SELECT COUNT(*), COALESCE(MAX") + kFuture + QStringLiteral(", 0), COALESCE(MAX") + kSent
                + QStringLiteral(", 0) FROM Historial") + whereClause(condition),
            QVariantList{now, now} + condition.values, r);
        if (!rows.empty()) {
            v.rows = rows.front().value(0).toLongLong();
            v.future = rows.front().value(1).toLongLong() != 0;
            v.sent = rows.front().value(2).toLongLong() != 0;
        }
    } else {
        v.rows = connection.scalar(QStringLiteral("SELECT COUNT(*) FROM Historial") + whereClause(condition),
                                 condition.values, r)
                     .toLongLong();
    }
    if (options.kind == ViewKind::Sent) {
        v.future = false;
        v.sent = v.rows > 0;
    } else if (options.kind == ViewKind::Scheduled) {
        v.future = v.rows > 0;
        v.sent = false;
    }
    return v;
}

struct Row {
    qint64 sid = 0;
    QString recipients;
    QString sentAt;
    QString scheduledFor;
    QString message;
    QString state;
};

QString commaSpaced(const QString &list)
{
    QString s = list;
    return s.replace(QLatin1Char(','), QStringLiteral(", "));
}

void addClass(std::vector<HistoryNode> &nodes, const QString &sid, const QString &sendKey,
              const QString &classPrefix, const QString &listPrefix, const QString &caption,
              qint64 count, qint64 total, const QString &list, Colour colour)
{
    if (count <= 0)
        return;
    const int image = count == 1 ? 7 : 6;
    const QString classKey = classPrefix + sid;
    nodes.push_back({classKey, sendKey,
                     caption + QStringLiteral(" (") + QString::number(count) + QLatin1Char('/')
                         + QString::number(total) + QLatin1Char(')'),
                     image, colour});
    nodes.push_back({listPrefix + sid, classKey, commaSpaced(list), image, colour});
}

// Whether the page shown last was read under the view now asked for.
bool sameView(const PageAnchor &a, const ViewOptions &o)
{
    return a.kind == o.kind && a.filtering == o.filtering
        && (!o.filtering || (a.filterSql == o.filter.sql && a.filterValues == o.filter.values));
}

// The view with no send in it: one page, one node saying so.
void showEmptyView(HistoryPage &page)
{
    page.rowCount = 0;
    page.label = QStringLiteral("Página 1 de 1");
    page.nodes.push_back({QLatin1String(text::kEmptyListKey), {}, QStringLiteral("Sin registros"), 0, Colour::None});
}

// Whether a send of the view also meets `extra`; the probe stops at its first row.
bool viewHolds(db::Connection &connection, const Condition &view, const Condition &extra)
{
    const Condition c = view && extra;
    return connection.scalar(QStringLiteral("SELECT EXISTS (SELECT 1 FROM Historial") + whereClause(c)
                                 + QStringLiteral(")"),
                             c.values)
               .toLongLong()
        != 0;
}

// The page asked for, pulled back to the last one when the view has shrunk, and the page bar's label.
void placePage(HistoryPage &page, qint64 asked)
{
    page.lastPage = (page.rowCount - 1) / kPageSize;
    page.page = asked < 0 ? 0 : asked;
    if (page.page * kPageSize >= page.rowCount)
        page.page = page.lastPage;
    page.label = QStringLiteral("Página ") + QString::number(page.page + 1) + QStringLiteral(" de ")
        + QString::number(page.lastPage + 1);
}

const QString kColumns =
    QStringLiteral("SELECT sid, destinatario, f_envio, f_programada, mensaje, estado FROM Historial");

// Runs a page's statement, if it could be prepared, adding its rows; a failed read lands in `r`.
void readRows(db::Statement &st, const QVariantList &values, std::vector<Row> &rows, db::Result &r)
{
    if (!r.ok())
        return;
    st.bindAll(values);
    while (st.next())
        rows.push_back({st.value(0).toLongLong(), st.text(1), st.text(2), st.text(3), st.text(4), st.text(5)});
    if (!st.error().isEmpty())
        r = {db::Status::Error, st.error()};
}

// The rows of page `pageNo` read from the sends shown last, by their sids (newest first).
void readRowsFromAnchor(db::Connection &connection, const Condition &view, const PageAnchor &anchor,
                        qint64 pageNo, std::vector<Row> &rows, db::Result &r)
{
    Condition key;
    bool backwards = false;
    qint64 offset = 0;
    if (pageNo == anchor.page) {
        key = {QStringLiteral("sid<=?"), {anchor.newest}};
    } else if (pageNo > anchor.page) {
        key = {QStringLiteral("sid<?"), {anchor.oldest}};
        offset = (pageNo - anchor.page - 1) * kPageSize;
    } else {
        key = {QStringLiteral("sid>?"), {anchor.newest}};
        backwards = true;
        offset = (anchor.page - pageNo - 1) * kPageSize;
    }
    const Condition c = view && key;
    db::Statement st = connection.prepare(kColumns + whereClause(c)
                                              + (backwards ? QStringLiteral(" ORDER BY sid ASC")
                                                           : QStringLiteral(" ORDER BY sid DESC"))
                                              + QStringLiteral(" LIMIT ? OFFSET ?"),
                                          &r);
    readRows(st, c.values + QVariantList{kPageSize, offset}, rows, r);
    if (backwards)
        std::reverse(rows.begin(), rows.end());
}

// The rows of page `pageNo` counted from the newest send. The whole history is paged on its keys
// alone, so that an index holding only the key can skip the rows before the page without reading
// them; a view with a condition reads its rows in key order and stops at the page.
void readRowsByPosition(db::Connection &connection, const Condition &view, qint64 pageNo, std::vector<Row> &rows,
                        db::Result &r)
{
    db::Statement st = connection.prepare(
        view.isEmpty()
            ? QString(kColumns + QStringLiteral(" WHERE sid IN (SELECT sid FROM Historial ORDER BY sid DESC LIMIT ? "
                                                "OFFSET ?) ORDER BY sid DESC"))
            : QString(kColumns + whereClause(view) + QStringLiteral(" ORDER BY sid DESC LIMIT ? OFFSET ?")),
        &r);
    readRows(st, view.values + QVariantList{kPageSize, pageNo * kPageSize}, rows, r);
}

// The sends of the page shown, newest first: from the page shown last when it was read under the
// same view, else (or when that finds none) by position.
std::vector<Row> readPageRows(db::Connection &connection, const ViewOptions &options, const HistoryPage &page,
                              db::Result &r)
{
    std::vector<Row> rows;
    rows.reserve(kPageSize);
    const PageAnchor *anchor = options.anchor && sameView(*options.anchor, options) ? &*options.anchor : nullptr;
    if (anchor && page.page > 0)
        readRowsFromAnchor(connection, page.condition, *anchor, page.page, rows, r);
    if (r.ok() && rows.empty())
        readRowsByPosition(connection, page.condition, page.page, rows, r);
    return rows;
}

// Each send's recipients by delivery class; with `showNames`, each number that belongs to a
// contact is shown as the contact's name.
std::vector<Breakdown> breakdownsOf(db::Connection &connection, const std::vector<Row> &rows, bool showNames)
{
    std::vector<Breakdown> breakdowns;
    breakdowns.reserve(rows.size());
    for (const Row &row : rows)
        breakdowns.push_back(parseDeliveryState(row.state, row.recipients));
    if (!showNames)
        return breakdowns;
    QStringList numbers;
    for (Breakdown &d : breakdowns) {
        for (QString *list : {&d.pending, &d.confirmed, &d.failed}) {
            *list = cutForNames(*list);
            if (!list->isEmpty())
                numbers += list->split(QLatin1Char(','));
        }
    }
    // Without names the view still shows the numbers.
    const NameBook book = NameBook::lookup(connection, numbers);
    for (Breakdown &d : breakdowns) {
        for (QString *list : {&d.pending, &d.confirmed, &d.failed})
            *list = book.namesFor(*list);
    }
    return breakdowns;
}

// What follows a send's time in its caption: its one recipient, and a cancellation still unconfirmed.
QString sendSuffix(const Breakdown &d, const QString &state)
{
    QString suffix;
    if (d.total == 1) {
        for (const QString *list : {&d.pending, &d.confirmed, &d.failed}) {
            if (!list->isEmpty()) {
                suffix = QStringLiteral(" - ") + *list;
                break;
            }
        }
    }
    if (isCancelUncertain(state))
        suffix += kCancelUncertainCaption;
    return suffix;
}

// The nodes of one send, the `n`th of the view: its caption, its recipient classes, its date and its text.
void addSendNodes(std::vector<HistoryNode> &nodes, const Row &row, const Breakdown &d, qint64 n, const QString &time,
                  Colour colour, const QString &now)
{
    const QString sid = QString::number(row.sid);
    const QString sendKey = QStringLiteral("pMensaje ") + sid;
    nodes.push_back({sendKey, {},
                     QStringLiteral("Mensaje ") + QString::number(n) + QStringLiteral(" (") + time + QLatin1Char(')')
                         + sendSuffix(d, row.state),
                     10, colour});
    addClass(nodes, sid, sendKey, QStringLiteral("pRecibidos "), QStringLiteral("Recibidos "),
             QStringLiteral("Destinatarios confirmados:"), d.confirmedCount, d.total, d.confirmed, Colour::Green);
    addClass(nodes, sid, sendKey, QStringLiteral("pFallidos "), QStringLiteral("Fallidos "),
             QStringLiteral("Destinatarios fallidos:"), d.failedCount, d.total, d.failed, Colour::Red);
    addClass(nodes, sid, sendKey, QStringLiteral("pPendientes "), QStringLiteral("Pendientes "),
             QStringLiteral("Destinatarios sin confirmación:"), d.pendingCount, d.total, d.pending,
             pendingColour(colour, time, now));
    nodes.push_back({QStringLiteral("pFecha ") + sid, sendKey, QStringLiteral("Fecha de envío"), 1, colour});
    nodes.push_back({QStringLiteral("Fecha ") + sid, QStringLiteral("pFecha ") + sid, row.sentAt, 5, colour});
    nodes.push_back({QStringLiteral("pTexto ") + sid, sendKey, QStringLiteral("Texto del mensaje"), 1, colour});
    nodes.push_back({QStringLiteral("Texto ") + sid, QStringLiteral("pTexto ") + sid, row.message, 5, colour});
}

// The page's sends as tree nodes, in order; a send still to come enables "Cancelar todos", any
// other "Eliminar todos (enviados)".
void addPageNodes(HistoryPage &page, const std::vector<Row> &rows, const std::vector<Breakdown> &breakdowns,
                  const QString &now)
{
    page.nodes.reserve(rows.size() * 11);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const Row &row = rows[i];
        const Breakdown &d = breakdowns[i];
        const QString time = rowTime(row.sentAt, row.scheduledFor);
        const Colour colour = stateColour(d, time, now);
        if (colour == Colour::Grey)
            page.canCancelAll = true;
        else
            page.canDeleteAllSent = true;
        addSendNodes(page.nodes, row, d, page.page * kPageSize + qint64(i) + 1, time, colour, now);
    }
}

} // namespace

Condition viewCondition(ViewKind kind, const QString &now)
{
    switch (kind) {
    case ViewKind::Sent:
        return {kSent, {now}};
    case ViewKind::Scheduled:
        return {kFuture, {now}};
    case ViewKind::All:
        break;
    }
    return {};
}

Condition statementCondition(const ViewOptions &options, const QString &now)
{
    Condition c = viewCondition(options.kind, now);
    if (options.filtering && !options.filter.isEmpty())
        c = c && options.filter;
    return c;
}

std::optional<qint64> sidFromKey(const QString &key)
{
    return text::nodeKeyId(key, text::BareKey::NoId, text::IdText::Integer);
}

HistoryPage buildHistoryPage(db::Connection &connection, const ViewOptions &options, const QString &now)
{
    HistoryPage page;
    page.condition = statementCondition(options, now);

    db::Result r;
    const ViewCount count = countView(connection, options, page.condition, now, &r);
    if (!r.ok()) {
        page.status = HistoryPage::Status::DatabaseError;
        page.error = r.error;
    }
    page.rowCount = count.rows;
    if (page.rowCount <= 0) {
        showEmptyView(page);
        return page;
    }
    // What the count did not settle is probed.
    page.canCancelAll = count.future ? *count.future : viewHolds(connection, page.condition, {kFutureRanges, {now}});
    page.canDeleteAllSent = count.sent ? *count.sent : viewHolds(connection, page.condition, {kSent, {now}});
    placePage(page, options.page);

    const std::vector<Row> rows = readPageRows(connection, options, page, r);
    if (!r.ok()) {
        page.status = HistoryPage::Status::DatabaseError;
        page.error = r.error;
        return page;
    }
    if (!rows.empty())
        page.anchor = PageAnchor{page.page,          rows.front().sid,        rows.back().sid, options.kind,
                                 options.filtering, options.filter.sql, options.filter.values};
    addPageNodes(page, rows, breakdownsOf(connection, rows, options.showNames), now);
    return page;
}

RowMenu rowMenu(db::Connection &connection, const QString &nodeKey, const QString &now)
{
    RowMenu menu;
    const std::optional<qint64> sid = sidFromKey(nodeKey);
    if (!sid) {
        menu.status = RowMenu::Status::EmptyView;
        return menu;
    }
    db::Result r;
    const std::vector<db::Row> rows = connection.select(
        QStringLiteral("SELECT f_programada, destinatario, estado FROM Historial WHERE sid=?"), {*sid}, &r);
    if (!r.ok()) {
        menu.status = RowMenu::Status::DatabaseError;
        return menu;
    }
    if (rows.empty()) {
        menu.status = RowMenu::Status::NoRow;
        return menu;
    }
    const QString scheduledFor = rows.front().value(0).toString();
    const QString recipients = rows.front().value(1).toString();
    const QString state = rows.front().value(2).toString();

    // Only a time written "yyyy-mm-dd hh:mm" and still ahead can be cancelled at the gateway.
    const bool future = scheduledFor.size() == 16 && scheduledFor.at(4) == QLatin1Char('-') && scheduledFor > now;
    menu.canCancel = future;
    menu.canDelete = !future;
    menu.canSelectRecipients = !recipients.isEmpty();
    if (menu.canSelectRecipients) {
        const Breakdown d = parseDeliveryState(state, recipients);
        menu.hasConfirmed = !d.confirmed.isEmpty();
        menu.hasFailed = !d.failed.isEmpty();
        menu.hasUnconfirmed = !d.pending.isEmpty();
    }
    return menu;
}

} // namespace history
