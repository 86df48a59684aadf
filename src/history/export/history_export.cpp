#include "history/export/history_export.h"

#include "history/send_time.h"

#include <QSet>

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

SenderChoice senderChoice(db::Connection &conexion)
{
    SenderChoice choice;
    db::Result result;
    const auto rows = conexion.select(
        QStringLiteral("SELECT DISTINCT remitente FROM Historial WHERE length(remitente) > 0"), {}, &result);
    for (const db::Row &row : rows)
        choice.items.append(textOf(row.value(0)));
    choice.filterEnabled = !choice.items.isEmpty();
    if (choice.items.isEmpty())
        choice.items.append(kNinguno);
    return choice;
}

QString titleText(const QString &marca, const Options &options)
{
    QString title = QStringLiteral("Historial ") + marca + QStringLiteral(" Desktop (") + options.desde
        + QStringLiteral(" al ") + options.hasta + QStringLiteral(")");
    if (options.filtrarRemitente)
        title += QStringLiteral(" Filtrado por remitente: ") + options.remitente;
    return title;
}

std::vector<SendRow> selectSends(db::Connection &conexion, const Options &options, db::Result *result)
{
    // The period runs from the first day's midnight, included, to the last day's, left out.
    QString sql = QStringLiteral(
        "SELECT destinatario, f_envio, f_programada, mensaje, estado, creditos, remitente FROM Historial "
        "WHERE f_envio >= ?1 AND f_envio < ?2");
    QVariantList values{QString(options.desde + QStringLiteral(" 00:00")), QString(options.hasta + QStringLiteral(" 00:00"))};
    if (options.filtrarRemitente) {
        sql += QStringLiteral(" AND remitente = ?3");
        values.append(options.remitente);
    }
    sql += QStringLiteral(" ORDER BY f_envio ASC, sid ASC");

    std::vector<SendRow> sends;
    db::Result status;
    const auto rows = conexion.select(sql, values, &status);
    if (result)
        *result = status;
    if (!status.ok())
        return sends;
    sends.reserve(rows.size());
    for (const db::Row &row : rows)
        sends.push_back({row.value(0), row.value(1), row.value(2), row.value(3), row.value(4), row.value(5),
                         row.value(6)});
    return sends;
}

std::pair<QString, QString> stateLists(const QString &estado)
{
    QString confirmados;
    QString fallidos;
    if (estado.size() > 2) {
        const qsizetype bar = estado.indexOf(u'|', 2);
        if (bar < 0) {
            confirmados = estado.mid(2);
        } else {
            confirmados = estado.mid(2, bar - 2);
            fallidos = estado.mid(bar + 1);
        }
    }
    if (confirmados.size() <= 3)
        confirmados.clear();
    if (fallidos.size() <= 3)
        fallidos.clear();
    return {confirmados, fallidos};
}

bool listHolds(const QString &list, const QString &number)
{
    const QString wanted = normalised(number);
    return !wanted.isEmpty() && membersOf(list).contains(wanted);
}

QString pendingList(const QString &destinatarios, const QString &confirmados, const QString &fallidos)
{
    const QSet<QString> confirmed = membersOf(confirmados);
    const QSet<QString> failed = membersOf(fallidos);
    bool confirmedTakenOut = false;
    QStringList kept;
    for (const QStringView member : QStringView(destinatarios).split(u',')) {
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

QString oneLine(const QString &mensaje)
{
    QString line = mensaje;
    line.remove(u'\n');
    line.replace(u'\r', u' ');
    return line;
}

SendValues sendValues(const SendRow &row)
{
    SendValues v;
    v.fEnvio = textOf(row.fEnvio);
    const QString programada = textOf(row.fProgramada);
    v.llegada = programada == kInmediato ? v.fEnvio : programada;
    v.remitente = row.remitente.isNull() || !row.remitente.isValid() ? QStringLiteral("Desconocido")
                                                                      : textOf(row.remitente);
    v.mensaje = oneLine(textOf(row.mensaje));
    v.creditos = creditsOf(row.creditos);
    v.destinatarios = textOf(row.destinatario);
    v.recipientCount = int(v.destinatarios.count(u',')) + 1;
    std::tie(v.confirmados, v.fallidos) = stateLists(textOf(row.estado));
    v.pendientes = pendingList(v.destinatarios, v.confirmados, v.fallidos);
    return v;
}

QStringList numbersToName(const std::vector<SendRow> &sends)
{
    QSet<QString> numbers;
    for (const SendRow &row : sends) {
        const SendValues v = sendValues(row);
        for (const QString &list : {v.destinatarios, v.confirmados, v.fallidos, v.pendientes})
            for (const QString &member : list.split(u','))
                if (!member.isEmpty())
                    numbers.insert(member);
    }
    return QStringList(numbers.cbegin(), numbers.cend());
}

Built buildSheet(const std::vector<SendRow> &sends, const Options &options, const QString &marca,
                 const NameBook *names)
{
    using xlsx::HAlign;
    using xlsx::Line;
    Built built;
    xlsx::Sheet &s = built.sheet;
    s.setName(kSheetName);
    const NameBook *shownNames = options.mostrarNombres ? names : nullptr;

    // The title goes into the merged cell's first cell, which is what a merged cell shows.
    s.setText(kTitleRow, B, titleText(marca, options));
    xlsx::Style &title = s.style(kTitleRow, B);
    title.fontSize = 18;
    title.fontColour = xlsx::fromVbColour(255);
    title.align = HAlign::Center;

    s.setText(kHeaderRow, A, kBlank);
    s.setTextRow(kHeaderRow, B, kHeaders);
    s.setText(kHeaderRow, L, kBlank);
    s.styleRange({kHeaderRow, B, kHeaderRow, K}, [](xlsx::Style &st) {
        st.fontSize = 12;
        st.bold = true;
        st.align = HAlign::Center;
    });
    s.merge({kTitleRow, B, kTitleRow, K});

    int row = kHeaderRow;
    const auto writeCommon = [&s](int r, const SendValues &v) {
        s.setText(r, A, kBlank);
        s.setNumber(r, B, r - kHeaderRow);
        s.setTyped(r, C, v.fEnvio);
        s.setTyped(r, D, v.remitente);
        s.setTyped(r, F, v.mensaje);
        s.setTyped(r, G, v.llegada);
        s.setText(r, L, kBlank);
    };
    const auto writeCredits = [&s](int r, std::optional<double> credits) {
        if (credits)
            s.setNumber(r, K, *credits);
        else
            s.setText(r, K, kUnknownCredits);
    };

    for (const SendRow &send : sends) {
        const SendValues v = sendValues(send);
        if (v.creditos)
            built.totalCredits += *v.creditos;
        if (options.separarFilas && v.destinatarios.contains(u',')) {
            const std::optional<double> share =
                v.creditos ? std::optional<double>(*v.creditos / v.recipientCount) : std::nullopt;
            for (const QString &number : v.destinatarios.split(u',')) {
                ++row;
                writeCommon(row, v);
                s.setTyped(row, E, number);
                const bool confirmed = listHolds(v.confirmados, number);
                const bool failed = !confirmed && listHolds(v.fallidos, number);
                s.setTyped(row, H, confirmed ? number : QString());
                s.setTyped(row, I, !confirmed && !failed ? number : QString());
                s.setTyped(row, J, failed ? number : QString());
                writeCredits(row, share);
            }
        } else {
            ++row;
            writeCommon(row, v);
            s.setTyped(row, E, shownList(v.destinatarios, shownNames));
            s.setTyped(row, H, shownList(v.confirmados, shownNames));
            s.setTyped(row, I, shownList(v.pendientes, shownNames));
            s.setTyped(row, J, shownList(v.fallidos, shownNames));
            writeCredits(row, v.creditos);
        }
    }
    built.lastDataRow = row;
    built.totalRow = row + 1;
    const int last = built.lastDataRow;
    const int total = built.totalRow;
    for (int c = A; c <= I; ++c)
        s.setText(total, c, kBlank);

    // Widths: fitted to the contents, the four list columns then set to a fixed width and their
    // texts put to the right.
    s.fitColumns(A, K, 1, total);
    for (const int c : {E, H, I, J}) {
        s.setColumnWidth(c, 21);
        s.styleRange({kFirstDataRow, c, total, c}, [](xlsx::Style &st) { st.align = HAlign::Right; });
    }

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

    s.setText(total, J, QStringLiteral("TOTAL"));
    s.setNumber(total, K, built.totalCredits);
    return built;
}

QString suggestedFileName(const Options &options)
{
    QString name = QStringLiteral("Historial ") + options.desde + QStringLiteral(" al ") + options.hasta;
    // Characters no file system takes in a name.
    for (QChar &ch : name)
        if (QStringView(u"\\/:*?\"<>|").contains(ch))
            ch = u'-';
    return name + QStringLiteral(".xlsx");
}

} // namespace history::exporting
