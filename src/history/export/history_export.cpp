#include "history/export/history_export.h"

#include "history/send_time.h"
#include "platform/xlsx/read_budget.h"

#include <QSet>

#include <algorithm>
#include <cmath>
#include <tuple>

namespace history::exporting {

namespace {

const QStringList kHeaders = {
    QStringLiteral("Número"),           QStringLiteral("Fecha envío"),      QStringLiteral("Remitente"),
    QStringLiteral("Destinatarios"),    QStringLiteral("Texto SMS"),        QStringLiteral("Fecha llegada"),
    QStringLiteral("Dest Confirmados"), QStringLiteral("Dest Pendientes"),  QStringLiteral("Dest Fallidos"),
    QStringLiteral("Créditos")};

const QString kBlank = QStringLiteral(" ");
const QString kUnknownCredits = QStringLiteral("???");

// Columns by letter, as the layout names them.
constexpr int A = 1, B = 2, C = 3, D = 4, E = 5, F = 6, G = 7, H = 8, I = 9, J = 10, K = 11, L = 12;

QString textOf(const QVariant &value)
{
    return value.isValid() && !value.isNull() ? value.toString() : QString();
}

QString normalised(QStringView member)
{
    QString n = member.toString();
    n.remove(u'+');
    n.remove(u' ');
    return n;
}

QSet<QString> membersOf(const QString &list)
{
    QSet<QString> members;
    for (const QStringView m : QStringView(list).split(u','))
        if (const QString n = normalised(m); !n.isEmpty())
            members.insert(n);
    return members;
}

std::optional<double> creditsOf(const QVariant &value)
{
    if (!value.isValid() || value.isNull())
        return std::nullopt;
    bool ok = false;
    double credits = 0;
    if (value.typeId() == QMetaType::QString) {
        QString text = value.toString().trimmed();
        text.replace(u',', u'.');
        credits = text.toDouble(&ok);
    } else {
        credits = value.toDouble(&ok);
    }
    if (!ok || !std::isfinite(credits) || credits == 0)
        return std::nullopt;
    return credits;
}

enum class Side { Left, Right, Top, Bottom };

// The table's cells share their edges: a line drawn on one cell's side is drawn on the facing side
// of its neighbour too (when the neighbour is part of the sheet), so the two never disagree.
class Borders final {
public:
    explicit Borders(xlsx::Sheet &sheet) : m_sheet(sheet) {}

    void edge(int row, int column, Side side, xlsx::Line line)
    {
        set(row, column, side, line);
        switch (side) {
        case Side::Left: neighbour(row, column - 1, Side::Right, line); break;
        case Side::Right: neighbour(row, column + 1, Side::Left, line); break;
        case Side::Top: neighbour(row - 1, column, Side::Bottom, line); break;
        case Side::Bottom: neighbour(row + 1, column, Side::Top, line); break;
        }
    }

    void all(const xlsx::Range &range, xlsx::Line line)
    {
        for (int r = range.firstRow; r <= range.lastRow; ++r)
            for (int c = range.firstColumn; c <= range.lastColumn; ++c)
                for (const Side side : {Side::Left, Side::Right, Side::Top, Side::Bottom})
                    edge(r, c, side, line);
    }

    void column(int column, int firstRow, int lastRow, Side side, xlsx::Line line)
    {
        for (int r = firstRow; r <= lastRow; ++r)
            edge(r, column, side, line);
    }

    void row(int row, int firstColumn, int lastColumn, Side side, xlsx::Line line)
    {
        for (int c = firstColumn; c <= lastColumn; ++c)
            edge(row, c, side, line);
    }

private:
    void set(int row, int column, Side side, xlsx::Line line)
    {
        xlsx::Borders &b = m_sheet.style(row, column).borders;
        switch (side) {
        case Side::Left: b.left = line; break;
        case Side::Right: b.right = line; break;
        case Side::Top: b.top = line; break;
        case Side::Bottom: b.bottom = line; break;
        }
    }

    void neighbour(int row, int column, Side side, xlsx::Line line)
    {
        if (row >= 1 && column >= 1 && m_sheet.cell(row, column))
            set(row, column, side, line);
    }

    xlsx::Sheet &m_sheet;
};

// What a cell of the list columns shows: names for numbers when asked, ", " between members.
QString shownList(const QString &list, const NameBook *names)
{
    if (list.isEmpty())
        return {};
    return names ? names->namesFor(list).trimmed() : displayList(list);
}

} // namespace

Period defaultPeriod(const QDate &today)
{
    return {today.addMonths(-1).addDays(1), today.addDays(1)};
}

SenderChoice senderChoice(db::Connection &connection)
{
    SenderChoice choice;
    db::Result result;
    const auto rows = connection.select(
        QStringLiteral("SELECT DISTINCT remitente FROM Historial WHERE length(remitente) > 0"), {}, &result);
    for (const db::Row &row : rows)
        choice.items.append(textOf(row.value(0)));
    choice.filterEnabled = !choice.items.isEmpty();
    if (choice.items.isEmpty())
        choice.items.append(kNoSender);
    return choice;
}

QString titleText(const QString &brandName, const Options &options)
{
    QString title = QStringLiteral("Historial ") + brandName + QStringLiteral(" Desktop (") + options.fromDate
        + QStringLiteral(" al ") + options.toDate + QStringLiteral(")");
    if (options.filterBySender)
        title += QStringLiteral(" Filtrado por remitente: ") + options.sender;
    return title;
}

bool forEachSend(db::Connection &connection, const Options &options, const std::function<void(const SendRow &)> &visit,
                 db::Result *result)
{
    // The period runs from the first day's midnight, included, to the last day's, left out. Only
    // the keys are sorted (a million whole sends would be held by the sorter); each send is then
    // read by its sid, in that order.
    QString sql = QStringLiteral("SELECT sid FROM Historial WHERE f_envio >= ?1 AND f_envio < ?2");
    QVariantList values{QString(options.fromDate + QStringLiteral(" 00:00")), QString(options.toDate + QStringLiteral(" 00:00"))};
    if (options.filterBySender) {
        sql += QStringLiteral(" AND remitente = ?3");
        values.append(options.sender);
    }
    sql += QStringLiteral(" ORDER BY f_envio ASC, sid ASC");

    db::Result status;
    db::Statement keys = connection.prepare(sql, &status);
    db::Statement send;
    if (status.ok())
        send = connection.prepare(QStringLiteral("SELECT destinatario, f_envio, f_programada, mensaje, estado, creditos, "
                                                 "remitente FROM Historial WHERE sid = ?1"),
                                  &status);
    if (status.ok()) {
        keys.bindAll(values);
        while (keys.next()) {
            send.reset();
            send.bind(1, keys.value(0));
            if (send.next())
                visit({send.value(0), send.value(1), send.value(2), send.value(3), send.value(4), send.value(5),
                       send.value(6)});
            if (!send.error().isEmpty()) {
                status = {db::Status::Error, send.error()};
                break;
            }
        }
        if (status.ok() && !keys.error().isEmpty())
            status = {db::Status::Error, keys.error()};
    }
    if (result)
        *result = status;
    return status.ok();
}

qint64 dataRowCount(db::Connection &connection, const Options &options, db::Result *result)
{
    QString where = QStringLiteral(" FROM Historial WHERE f_envio >= ?1 AND f_envio < ?2");
    QVariantList values{QString(options.fromDate + QStringLiteral(" 00:00")), QString(options.toDate + QStringLiteral(" 00:00"))};
    if (options.filterBySender) {
        where += QStringLiteral(" AND remitente = ?3");
        values.append(options.sender);
    }
    db::Result status;
    qint64 rows = connection.scalar(QStringLiteral("SELECT COUNT(*)") + where, values, &status).toLongLong();
    if (status.ok() && options.splitRows) {
        // A split send takes a row more per comma of its recipients, as the sheet splits them. The
        // commas are counted here: the engine's replace() copies a whole list for every one.
        db::Statement lists = connection.prepare(
            QStringLiteral("SELECT destinatario") + where + QStringLiteral(" AND instr(destinatario, ',') > 0"), &status);
        if (status.ok()) {
            lists.bindAll(values);
            while (lists.next())
                rows += textOf(lists.value(0)).count(u',');
            if (!lists.error().isEmpty())
                status = {db::Status::Error, lists.error()};
        }
    }
    if (result)
        *result = status;
    return status.ok() ? rows : 0;
}

QString tooManyRowsMessage(qint64 rows)
{
    return QStringLiteral("Los envíos de esas fechas ocupan %1 filas, más de las %2 que caben en una hoja de Excel. "
                          "Elija un periodo más corto y expórtelo por partes.")
        .arg(xlsx::spanishThousands(rows), xlsx::spanishThousands(kMaxDataRows));
}

std::pair<QString, QString> stateLists(const QString &state)
{
    QString confirmedList;
    QString failedList;
    if (state.size() > 2) {
        const qsizetype bar = state.indexOf(u'|', 2);
        if (bar < 0) {
            confirmedList = state.mid(2);
        } else {
            confirmedList = state.mid(2, bar - 2);
            failedList = state.mid(bar + 1);
        }
    }
    if (confirmedList.size() <= 3)
        confirmedList.clear();
    if (failedList.size() <= 3)
        failedList.clear();
    return {confirmedList, failedList};
}

bool listHolds(const QString &list, const QString &number)
{
    const QString wanted = normalised(number);
    return !wanted.isEmpty() && membersOf(list).contains(wanted);
}

QString pendingList(const QString &recipientList, const QString &confirmedList, const QString &failedList)
{
    const QSet<QString> confirmed = membersOf(confirmedList);
    const QSet<QString> failed = membersOf(failedList);
    bool confirmedTakenOut = false;
    QStringList kept;
    for (const QStringView member : QStringView(recipientList).split(u',')) {
        const QString n = normalised(member);
        if (n.isEmpty())
            continue;
        if (confirmed.contains(n)) {
            confirmedTakenOut = true;
            continue;
        }
        if (!failed.contains(n))
            kept.append(member.toString());
    }
    if (confirmedTakenOut)
        for (QString &member : kept)
            member = normalised(member);
    const QString pending = kept.join(u',');
    return pending.size() < 3 ? QString() : pending;
}

QString displayList(const QString &list)
{
    QString shown = list;
    shown.replace(QStringLiteral(","), QStringLiteral(", "));
    return shown.trimmed();
}

QString oneLine(const QString &message)
{
    QString line = message;
    line.remove(u'\n');
    line.replace(u'\r', u' ');
    return line;
}

SendValues sendValues(const SendRow &row)
{
    SendValues v;
    v.sentAt = textOf(row.sentAt);
    const QString scheduledFor = textOf(row.scheduledFor);
    v.arrival = scheduledFor == kImmediate ? v.sentAt : scheduledFor;
    v.sender = row.sender.isNull() || !row.sender.isValid() ? QStringLiteral("Desconocido")
                                                                      : textOf(row.sender);
    v.message = oneLine(textOf(row.message));
    v.credits = creditsOf(row.credits);
    v.recipients = textOf(row.recipients);
    v.recipientCount = int(v.recipients.count(u',')) + 1;
    std::tie(v.confirmed, v.failed) = stateLists(textOf(row.state));
    v.pending = pendingList(v.recipients, v.confirmed, v.failed);
    return v;
}

void NumberCollector::add(const SendRow &row)
{
    const SendValues v = sendValues(row);
    for (const QString &list : {v.recipients, v.confirmed, v.failed, v.pending})
        for (const QString &member : list.split(u','))
            if (!member.isEmpty())
                m_numbers.insert(member);
}

QStringList NumberCollector::numbers() const
{
    return QStringList(m_numbers.cbegin(), m_numbers.cend());
}

QStringList numbersToName(const std::vector<SendRow> &sends)
{
    NumberCollector collector;
    for (const SendRow &row : sends)
        collector.add(row);
    return collector.numbers();
}

namespace {

// The look of every cell that the table's frame, the title, the headers and the total give it.
// It depends only on where a cell stands (title, headers, first, middle or last data row, total),
// so it is worked out once on a table of that shape, and every row written takes its looks from
// there: the sheet streams out without ever being held whole.
void frame(xlsx::Sheet &s, int last, int total)
{
    using xlsx::HAlign;
    using xlsx::Line;
    // The list columns: their texts put to the right.
    for (const int c : {E, H, I, J})
        s.styleRange({kFirstDataRow, c, total, c}, [](xlsx::Style &st) { st.align = HAlign::Right; });

    // Thin lines inside the table, medium ones around it, around the title and headers and
    // between the columns.
    Borders borders(s);
    borders.all({kTitleRow, B, last, K}, Line::Thin);
    borders.all({kTitleRow, B, kHeaderRow, K}, Line::Medium);
    for (int c = B; c <= K; ++c)
        borders.column(c, kTitleRow, last, Side::Left, Line::Medium);
    borders.column(K, kTitleRow, last, Side::Right, Line::Medium);
    borders.row(kTitleRow, B, K, Side::Top, Line::Medium);
    borders.row(last, B, K, Side::Bottom, Line::Medium);
    borders.all({kTitleRow, B, kTitleRow, D}, Line::Medium);
    borders.all({total, J, total, K}, Line::Medium);
    s.styleRange({total, J, total, K}, [](xlsx::Style &st) { st.bold = true; });
}

// A table with `dataRows` rows: the cells every such table has, in their final looks.
xlsx::Sheet layout(int dataRows, const QString &title)
{
    using xlsx::HAlign;
    xlsx::Sheet s;
    s.setText(kTitleRow, B, title);
    xlsx::Style &titleStyle = s.style(kTitleRow, B);
    titleStyle.fontSize = 18;
    titleStyle.fontColour = xlsx::fromVbColour(255);
    titleStyle.align = HAlign::Center;

    s.setText(kHeaderRow, A, kBlank);
    s.setTextRow(kHeaderRow, B, kHeaders);
    s.setText(kHeaderRow, L, kBlank);
    s.styleRange({kHeaderRow, B, kHeaderRow, K}, [](xlsx::Style &st) {
        st.fontSize = 12;
        st.bold = true;
        st.align = HAlign::Center;
    });
    s.merge({kTitleRow, B, kTitleRow, K});
    const int last = kHeaderRow + dataRows;
    for (int r = kFirstDataRow; r <= last; ++r)
        for (int c = A; c <= L; ++c)
            s.setText(r, c, QString());
    const int total = last + 1;
    for (int c = A; c <= I; ++c)
        s.setText(total, c, kBlank);
    frame(s, last, total);
    s.setText(total, J, QStringLiteral("TOTAL"));
    s.setNumber(total, K, 0);
    return s;
}

// The cells of one row of a layout.
xlsx::RowCells rowOf(const xlsx::Sheet &s, int row)
{
    xlsx::RowCells cells;
    for (int c = A; c <= L; ++c)
        if (const xlsx::Cell *cell = s.cell(row, c))
            cells.emplace_back(c, *cell);
    return cells;
}

} // namespace

struct SheetWriter::Looks {
    xlsx::Sheet none;         // a table without data rows
    xlsx::Sheet one;          // with one
    xlsx::Sheet three;        // first, middle and last
};

SheetWriter::SheetWriter(xlsx::RowTarget &target, const Options &options, const QString &brandName, const NameBook *names)
    : m_target(target), m_options(options), m_names(options.showNames ? names : nullptr),
      m_looks(std::make_unique<Looks>())
{
    const QString title = titleText(brandName, options);
    m_looks->none = layout(0, title);
    m_looks->one = layout(1, title);
    m_looks->three = layout(3, title);
    // The title and the headers look the same whatever follows them.
    m_target.writeRow(kTitleRow, rowOf(m_looks->one, kTitleRow), {{kTitleRow, B, kTitleRow, K}});
    const xlsx::RowCells headers = rowOf(m_looks->one, kHeaderRow);
    m_fit.note(headers, A, K);
    m_target.writeRow(kHeaderRow, headers);
}

SheetWriter::~SheetWriter() = default;

void SheetWriter::add(const SendRow &send)
{
    const SendValues v = sendValues(send);
    if (v.credits)
        m_totalCredits += *v.credits;

    const auto common = [&v](xlsx::RowCells &cells, int row) {
        cells.emplace_back(A, xlsx::Cell{kBlank, {}});
        cells.emplace_back(B, xlsx::Cell{double(row - kHeaderRow), {}});
        cells.emplace_back(C, xlsx::typedCell(v.sentAt));
        cells.emplace_back(D, xlsx::typedCell(v.sender));
        cells.emplace_back(F, xlsx::typedCell(v.message));
        cells.emplace_back(G, xlsx::typedCell(v.arrival));
        cells.emplace_back(L, xlsx::Cell{kBlank, {}});
    };
    const auto credits = [](std::optional<double> amount) {
        return amount ? xlsx::Cell{*amount, {}} : xlsx::Cell{kUnknownCredits, {}};
    };

    if (m_options.splitRows && v.recipients.contains(u',')) {
        const xlsx::Cell share = v.credits ? xlsx::Cell{*v.credits / v.recipientCount, {}}
                                            : xlsx::Cell{kUnknownCredits, {}};
        for (const QString &number : v.recipients.split(u',')) {
            xlsx::RowCells cells;
            common(cells, m_row + 1);
            cells.emplace_back(E, xlsx::typedCell(number));
            const bool confirmed = listHolds(v.confirmed, number);
            const bool failed = !confirmed && listHolds(v.failed, number);
            cells.emplace_back(H, xlsx::typedCell(confirmed ? number : QString()));
            cells.emplace_back(I, xlsx::typedCell(!confirmed && !failed ? number : QString()));
            cells.emplace_back(J, xlsx::typedCell(failed ? number : QString()));
            cells.emplace_back(K, share);
            push(std::move(cells));
        }
    } else {
        xlsx::RowCells cells;
        common(cells, m_row + 1);
        cells.emplace_back(E, xlsx::typedCell(shownList(v.recipients, m_names)));
        cells.emplace_back(H, xlsx::typedCell(shownList(v.confirmed, m_names)));
        cells.emplace_back(I, xlsx::typedCell(shownList(v.pending, m_names)));
        cells.emplace_back(J, xlsx::typedCell(shownList(v.failed, m_names)));
        cells.emplace_back(K, credits(v.credits));
        push(std::move(cells));
    }
}

void SheetWriter::push(xlsx::RowCells cells)
{
    // A row is written once the next one is known: the last one looks different.
    if (m_held)
        write(*m_held, m_row, m_row == kFirstDataRow ? Place::First : Place::Middle);
    m_held = std::move(cells);
    ++m_row;
}

void SheetWriter::write(xlsx::RowCells &cells, int row, Place place)
{
    const xlsx::Sheet &looks = place == Place::Only ? m_looks->one : m_looks->three;
    const int from = place == Place::Only || place == Place::First ? kFirstDataRow
        : place == Place::Middle                                    ? kFirstDataRow + 1
                                                                    : kFirstDataRow + 2;
    for (auto &[column, cell] : cells) {
        const xlsx::Cell *shape = looks.cell(from, column);
        if (!shape)
            continue;
        const QString numberFormat = cell.style.numberFormat;
        cell.style = shape->style;
        cell.style.numberFormat = numberFormat;
    }
    m_fit.note(cells, A, K);
    m_target.writeRow(row, cells);
}

Built SheetWriter::finish()
{
    if (m_held) {
        write(*m_held, m_row, m_row == kFirstDataRow ? Place::Only : Place::Last);
        m_held.reset();
    }
    Built built;
    built.lastDataRow = m_row;
    built.totalRow = m_row + 1;
    built.totalCredits = m_totalCredits;
    const int dataRows = m_row - kHeaderRow;
    const xlsx::Sheet &looks = dataRows == 0 ? m_looks->none : dataRows == 1 ? m_looks->one : m_looks->three;
    const int shapeRows = dataRows == 0 ? 0 : dataRows == 1 ? 1 : 3;
    const int shapeTotal = kHeaderRow + shapeRows + 1;
    xlsx::RowCells total = rowOf(looks, shapeTotal);
    for (auto &[column, cell] : total) {
        // Widths are fitted before the total's own texts go in.
        if (column <= I)
            m_fit.note(column, cell);
        if (column == K)
            cell.value = m_totalCredits;
    }
    // Widths: fitted to the contents, the four list columns then set to a fixed width.
    for (auto it = m_fit.widths().cbegin(); it != m_fit.widths().cend(); ++it)
        m_target.setColumnWidth(it.key(), it.value());
    for (const int c : {E, H, I, J})
        m_target.setColumnWidth(c, 21);
    m_target.writeRow(built.totalRow, total);
    return built;
}

Built buildSheet(const std::vector<SendRow> &sends, const Options &options, const QString &brandName,
                 const NameBook *names)
{
    xlsx::Sheet sheet(kSheetName);
    xlsx::SheetRows rows(sheet);
    SheetWriter writer(rows, options, brandName, names);
    for (const SendRow &send : sends)
        writer.add(send);
    Built built = writer.finish();
    built.sheet = std::move(sheet);
    return built;
}

QString suggestedFileName(const Options &options)
{
    QString name = QStringLiteral("Historial ") + options.fromDate + QStringLiteral(" al ") + options.toDate;
    // Characters no file system takes in a name.
    for (QChar &ch : name)
        if (QStringView(u"\\/:*?\"<>|").contains(ch))
            ch = u'-';
    return name + QStringLiteral(".xlsx");
}

} // namespace history::exporting
