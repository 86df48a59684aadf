#include "history/export/export_flow.h"
#include "history/export/history_export.h"
#include "history/export/history_export_dialog.h"
#include "history/history_fixture.h"
#include "history/view/history_feature.h"
#include "history/view/history_panel.h"
#include "platform/ui/busy_cursor.h"
#include "platform/ui/saved_workbook.h"
#include "platform/xlsx/read_book.h"
#include "platform/xlsx/workbook_writer.h"
#include "seams/app_context.h"
#include "support/file_size_limit.h"
#include "support/recording_shell.h"
#include "support/scripted_prompter.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QUrl>

using namespace history::exporting;
using testing::ScriptedPrompter;

namespace {

// The sends the export would write, gathered to look at them; empty on a database error.
std::vector<SendRow> selectSends(db::Connection &connection, const Options &options, db::Result *result = nullptr)
{
    std::vector<SendRow> sends;
    if (!forEachSend(connection, options, [&sends](const SendRow &row) { sends.push_back(row); }, result))
        sends.clear();
    return sends;
}

struct Row {
    QString recipients;
    QString sentAt = QStringLiteral("2024-01-10 09:00");
    QVariant scheduledFor = QStringLiteral("Inmediato");
    QString message = QStringLiteral("Hola");
    QString state = QStringLiteral("0|0|0");
    QVariant credits = 1.0;
    QVariant sender = QStringLiteral("Brisanta");
};

void insert(db::Connection &connection, const Row &r)
{
    const db::Result result = connection.execute(
        QStringLiteral("INSERT INTO Historial (destinatario, f_envio, f_programada, mensaje, estado, creditos, remitente) "
                       "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)"),
        {r.recipients, r.sentAt, r.scheduledFor, r.message, r.state, r.credits, r.sender});
    QVERIFY2(result.ok(), qPrintable(result.error));
}

Options period(const QString &fromDate = QStringLiteral("2024-01-09"), const QString &toDate = QStringLiteral("2024-02-09"))
{
    Options o;
    o.fromDate = fromDate;
    o.toDate = toDate;
    return o;
}

// The sheet as it comes back from the file the export wrote.
xlsx::ReadSheet written(historytest::Database &db, const Options &options)
{
    const Built built = buildSheet(selectSends(db.connection, options), options, QStringLiteral("Brisanta"),
                                   nullptr);
    const QString path = db.home.file(QStringLiteral("hoja.xlsx"));
    const xlsx::SaveResult saved = xlsx::save(path, {built.sheet});
    if (!saved.ok())
        qWarning() << saved.detail;
    const xlsx::ReadBook book = xlsx::readWorkbook(path);
    return book.sheets.value(0);
}

} // namespace

class TestHistoryExport final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void defaultPeriodCoversTheLastMonth();
    void senderListOrNone();
    void stateListsAndPending_data();
    void stateListsAndPending();
    void sendValuesFollowTheRow();
    void periodBoundsAndSenderFilter();
    void oneRowPerSend();
    void namesReplaceNumbersInTheLists();
    void oneRowPerRecipient();
    void bordersFrameTheTable();
    void streamedWorkbookMatchesTheSheet();
    void flowReportsEveryEnding();
    void periodPastOneSheetIsRefusedUpFront();
    void aWorkbookCutShortIsNeverComplete();
    void windowLoadsAndExports();
    void menuOpensOneWindow();
};

void TestHistoryExport::defaultPeriodCoversTheLastMonth()
{
    const Period p = defaultPeriod(QDate(2024, 5, 15));
    QCOMPARE(p.fromDate, QDate(2024, 4, 16));
    QCOMPARE(p.toDate, QDate(2024, 5, 16));
    QCOMPARE(titleText(QStringLiteral("Brisanta"), period()),
             QStringLiteral("Historial Brisanta Desktop (2024-01-09 al 2024-02-09)"));
    Options filtered = period();
    filtered.filterBySender = true;
    filtered.sender = QStringLiteral("Tienda");
    QVERIFY(titleText(QStringLiteral("Brisanta"), filtered).endsWith(QStringLiteral(") Filtrado por remitente: Tienda")));
}

void TestHistoryExport::senderListOrNone()
{
    historytest::Database db;
    SenderChoice none = senderChoice(db.connection);
    QCOMPARE(none.items, QStringList{QStringLiteral("Ninguno")});
    QVERIFY(!none.filterEnabled);

    insert(db.connection, {.recipients = QStringLiteral("1"), .sender = QStringLiteral("Tienda")});
    insert(db.connection, {.recipients = QStringLiteral("2"), .sender = QStringLiteral("")});
    insert(db.connection, {.recipients = QStringLiteral("3"), .sender = QVariant()});
    insert(db.connection, {.recipients = QStringLiteral("4"), .sender = QStringLiteral("Tienda")});
    insert(db.connection, {.recipients = QStringLiteral("5"), .sender = QStringLiteral("O'Brien")});
    const SenderChoice some = senderChoice(db.connection);
    QCOMPARE(some.items, (QStringList{QStringLiteral("Tienda"), QStringLiteral("O'Brien")}));
    QVERIFY(some.filterEnabled);
}

void TestHistoryExport::stateListsAndPending_data()
{
    QTest::addColumn<QString>("recipients");
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("confirmed");
    QTest::addColumn<QString>("failed");
    QTest::addColumn<QString>("pending");
    QTest::newRow("nothing known") << "11111,22222" << "0|0|0" << "" << "" << "11111,22222";
    QTest::newRow("one of each") << "11111,22222,33333" << "1|11111|22222" << "11111" << "22222" << "33333";
    QTest::newRow("two pending") << "11111,22222,33333,44444" << "1|11111|22222" << "11111" << "22222"
                                 << "33333,44444";
    QTest::newRow("all delivered") << "11111,22222" << "1|11111,22222|0" << "11111,22222" << "" << "";
    // A number is never taken for a part of a longer one.
    QTest::newRow("whole numbers") << "11111,111112" << "1|11111|0" << "11111" << "" << "111112";
    QTest::newRow("plus signs go once one confirmed")
        << "+3411111,+3422222,+3433333" << "1|3411111|0" << "3411111" << "" << "3422222,3433333";
    QTest::newRow("plus signs stay without one") << "+3411111,+3422222" << "1|0|3422222" << "" << "3422222"
                                                 << "+3411111";
    QTest::newRow("short lists are none") << "11111" << "1|123|456" << "" << "" << "11111";
    QTest::newRow("no second bar") << "11111,22222" << "1|11111" << "11111" << "" << "22222";
    QTest::newRow("empty state") << "11111" << "" << "" << "" << "11111";
}

void TestHistoryExport::stateListsAndPending()
{
    QFETCH(QString, recipients);
    QFETCH(QString, state);
    QFETCH(QString, confirmed);
    QFETCH(QString, failed);
    QFETCH(QString, pending);
    const auto [c, f] = stateLists(state);
    QCOMPARE(c, confirmed);
    QCOMPARE(f, failed);
    QCOMPARE(pendingList(recipients, c, f), pending);
}

void TestHistoryExport::sendValuesFollowTheRow()
{
    SendRow row{QStringLiteral("1,2,3"), QStringLiteral("2024-01-10 09:00"), QStringLiteral("2024-01-20 10:00"),
                QStringLiteral("Hola\r\nadiós"), QStringLiteral("0|0|0"), 1.5, QVariant()};
    SendValues v = sendValues(row);
    QCOMPARE(v.arrival, QStringLiteral("2024-01-20 10:00"));
    QCOMPARE(v.sentAt, QStringLiteral("2024-01-10 09:00"));
    QCOMPARE(v.sender, QStringLiteral("Desconocido"));
    QCOMPARE(v.message, QStringLiteral("Hola adiós"));
    QCOMPARE(v.recipientCount, 3);
    QCOMPARE(v.credits, std::optional<double>(1.5));

    row.scheduledFor = QStringLiteral("Inmediato");
    QCOMPARE(sendValues(row).arrival, QStringLiteral("2024-01-10 09:00"));
    for (const QVariant &credits : {QVariant(), QVariant(0.0), QVariant(QStringLiteral("abc")), QVariant(QStringLiteral(""))}) {
        row.credits = credits;
        QVERIFY(!sendValues(row).credits);
    }
    row.credits = QStringLiteral("2,5");
    QCOMPARE(sendValues(row).credits, std::optional<double>(2.5));
    QCOMPARE(displayList(QStringLiteral("33333,44444")), QStringLiteral("33333, 44444"));
    QVERIFY(listHolds(QStringLiteral("11111,22222"), QStringLiteral("+22222")));
    QVERIFY(!listHolds(QStringLiteral("111112"), QStringLiteral("11111")));
}

void TestHistoryExport::periodBoundsAndSenderFilter()
{
    historytest::Database db;
    insert(db.connection, {.recipients = QStringLiteral("1"), .sentAt = QStringLiteral("2024-01-08 23:59")});
    insert(db.connection, {.recipients = QStringLiteral("2"), .sentAt = QStringLiteral("2024-01-09 00:00")});
    insert(db.connection, {.recipients = QStringLiteral("3"), .sentAt = QStringLiteral("2024-02-08 23:59"),
                         .sender = QStringLiteral("O'Brien")});
    insert(db.connection, {.recipients = QStringLiteral("4"), .sentAt = QStringLiteral("2024-02-09 00:00")});
    insert(db.connection, {.recipients = QStringLiteral("5"), .sentAt = QStringLiteral("2024-01-20 10:00"),
                         .sender = QStringLiteral("O'Brien")});

    db::Result result;
    const auto sends = selectSends(db.connection, period(), &result);
    QVERIFY(result.ok());
    QStringList numbers;
    for (const SendRow &s : sends)
        numbers << s.recipients.toString();
    // From the first day's midnight, included, to the last day's, left out; oldest first.
    QCOMPARE(numbers, (QStringList{QStringLiteral("2"), QStringLiteral("5"), QStringLiteral("3")}));

    Options filtered = period();
    filtered.filterBySender = true;
    filtered.sender = QStringLiteral("O'Brien");
    const auto mine = selectSends(db.connection, filtered, &result);
    QVERIFY(result.ok());
    QCOMPARE(mine.size(), std::size_t(2));
}

void TestHistoryExport::oneRowPerSend()
{
    historytest::Database db;
    insert(db.connection, {.recipients = QStringLiteral("11111,22222,33333,44444"),
                         .sentAt = QStringLiteral("2024-01-10 09:00"),
                         .scheduledFor = QStringLiteral("2024-01-11 08:30"),
                         .message = QStringLiteral("Hola\r\nadiós"),
                         .state = QStringLiteral("1|11111|22222"),
                         .credits = 4.0});
    insert(db.connection, {.recipients = QStringLiteral("600111222"),
                         .sentAt = QStringLiteral("2024-01-12 10:00"),
                         .message = QStringLiteral("=SUMA(A1)"),
                         .credits = QVariant(),
                         .sender = QVariant()});

    const xlsx::ReadSheet s = written(db, period());
    QCOMPARE(s.name, QStringLiteral("Listado Historial"));
    QCOMPARE(s.text(2, 2), QStringLiteral("Historial Brisanta Desktop (2024-01-09 al 2024-02-09)"));
    QCOMPARE(s.merges, (QList<xlsx::Range>{{2, 2, 2, 11}}));
    QCOMPARE(s.cell(2, 2)->style.fontSize, 18.0);
    QCOMPARE(s.cell(2, 2)->style.fontColour, std::optional<xlsx::Rgb>(0xFF0000));
    QCOMPARE(s.cell(2, 2)->style.align, xlsx::HAlign::Center);

    const QStringList headers{QStringLiteral("Número"), QStringLiteral("Fecha envío"), QStringLiteral("Remitente"),
                              QStringLiteral("Destinatarios"), QStringLiteral("Texto SMS"),
                              QStringLiteral("Fecha llegada"), QStringLiteral("Dest Confirmados"),
                              QStringLiteral("Dest Pendientes"), QStringLiteral("Dest Fallidos"),
                              QStringLiteral("Créditos")};
    for (int c = 2; c <= 11; ++c) {
        QCOMPARE(s.text(3, c), headers.at(c - 2));
        QVERIFY(s.cell(3, c)->style.bold);
        QCOMPARE(s.cell(3, c)->style.fontSize, 12.0);
    }
    QCOMPARE(s.text(3, 1), QStringLiteral(" "));
    QCOMPARE(s.text(3, 12), QStringLiteral(" "));

    QCOMPARE(s.text(4, 2), QStringLiteral("1"));
    QCOMPARE(s.text(4, 3), QStringLiteral("2024-01-10 09:00"));
    QCOMPARE(s.text(4, 4), QStringLiteral("Brisanta"));
    QCOMPARE(s.text(4, 5), QStringLiteral("11111, 22222, 33333, 44444"));
    QCOMPARE(s.text(4, 6), QStringLiteral("Hola adiós"));
    QCOMPARE(s.text(4, 7), QStringLiteral("2024-01-11 08:30"));
    QCOMPARE(s.text(4, 8), QStringLiteral("11111"));
    QCOMPARE(s.text(4, 9), QStringLiteral("33333, 44444"));
    QCOMPARE(s.text(4, 10), QStringLiteral("22222"));
    QCOMPARE(s.text(4, 11), QStringLiteral("4"));
    QCOMPARE(s.cell(4, 5)->style.align, xlsx::HAlign::Right);

    QCOMPARE(s.text(5, 2), QStringLiteral("2"));
    QCOMPARE(s.text(5, 4), QStringLiteral("Desconocido"));
    QCOMPARE(s.text(5, 5), QStringLiteral("600111222"));
    QCOMPARE(s.text(5, 6), QStringLiteral("=SUMA(A1)"));        // text, never a formula
    QCOMPARE(s.text(5, 7), QStringLiteral("2024-01-12 10:00"));
    QCOMPARE(s.text(5, 8), QString());
    QCOMPARE(s.text(5, 9), QStringLiteral("600111222"));
    QCOMPARE(s.text(5, 11), QStringLiteral("???"));

    // The total row: blanks, "TOTAL" and the credits that were known.
    QCOMPARE(s.text(6, 1), QStringLiteral(" "));
    QCOMPARE(s.text(6, 9), QStringLiteral(" "));
    QCOMPARE(s.text(6, 10), QStringLiteral("TOTAL"));
    QCOMPARE(s.cell(6, 11)->kind, xlsx::ReadCell::Kind::Number);
    QCOMPARE(s.text(6, 11), QStringLiteral("4"));
    QVERIFY(s.cell(6, 10)->style.bold);
    QCOMPARE(s.lastRow, 6);

    // The list columns have their fixed width; the others follow their contents.
    for (const int c : {5, 8, 9, 10})
        QVERIFY(std::abs(s.widths.value(c) - 21.0) < 0.7);
    QVERIFY(s.widths.value(3) > s.widths.value(2));
}

void TestHistoryExport::namesReplaceNumbersInTheLists()
{
    historytest::Database db;
    db.addContact(QStringLiteral("Ana"), QStringLiteral("11111"));
    db.addContact(QStringLiteral("Pérez, Luis"), QStringLiteral("33333"));
    insert(db.connection, {.recipients = QStringLiteral("11111,22222,33333"), .state = QStringLiteral("1|11111|0")});
    insert(db.connection, {.recipients = QStringLiteral("111112")});

    Options o = period();
    o.showNames = true;
    const auto sends = selectSends(db.connection, o);
    const history::NameBook names = history::NameBook::lookup(db.connection, numbersToName(sends));
    const Built built = buildSheet(sends, o, QStringLiteral("Brisanta"), &names);
    QCOMPARE(built.sheet.text(4, 5), QStringLiteral("Ana, 22222, Pérez, Luis"));
    QCOMPARE(built.sheet.text(4, 8), QStringLiteral("Ana"));
    QCOMPARE(built.sheet.text(4, 9), QStringLiteral("22222, Pérez, Luis"));
    QCOMPARE(built.sheet.text(5, 5), QStringLiteral("111112"));    // not Ana's number

    // Split into rows, the numbers stay numbers.
    o.splitRows = true;
    const Built split = buildSheet(sends, o, QStringLiteral("Brisanta"), &names);
    QCOMPARE(split.sheet.text(4, 5), QStringLiteral("11111"));
    QCOMPARE(split.sheet.text(4, 8), QStringLiteral("11111"));
}

void TestHistoryExport::oneRowPerRecipient()
{
    historytest::Database db;
    insert(db.connection, {.recipients = QStringLiteral("11111,22222,33333"), .state = QStringLiteral("1|11111|22222"),
                         .credits = 1.5});
    insert(db.connection, {.recipients = QStringLiteral("44444"), .sentAt = QStringLiteral("2024-01-11 09:00"),
                         .credits = QVariant()});
    // Confirmed and failed at once counts as confirmed; a number inside a longer one is neither.
    insert(db.connection, {.recipients = QStringLiteral("55555,666661"), .sentAt = QStringLiteral("2024-01-12 09:00"),
                         .state = QStringLiteral("1|55555,66666|55555"), .credits = 2.0});

    Options o = period();
    o.splitRows = true;
    const Built built = buildSheet(selectSends(db.connection, o), o, QStringLiteral("Brisanta"));
    const xlsx::Sheet &s = built.sheet;
    QCOMPARE(built.lastDataRow, 9);
    QCOMPARE(built.totalCredits, 3.5);
    for (int r = 4; r <= 6; ++r) {
        QCOMPARE(s.text(r, 2), QString::number(r - 3));
        QCOMPARE(s.text(r, 11), QStringLiteral("0.5"));
    }
    QCOMPARE(s.text(4, 5), QStringLiteral("11111"));
    QCOMPARE(s.text(4, 8), QStringLiteral("11111"));
    QCOMPARE(s.text(4, 9), QString());
    QCOMPARE(s.text(5, 10), QStringLiteral("22222"));
    QCOMPARE(s.text(5, 8), QString());
    QCOMPARE(s.text(6, 9), QStringLiteral("33333"));
    // A single recipient stays one row, "???" and all.
    QCOMPARE(s.text(7, 5), QStringLiteral("44444"));
    QCOMPARE(s.text(7, 11), QStringLiteral("???"));
    QCOMPARE(s.text(8, 8), QStringLiteral("55555"));
    QCOMPARE(s.text(8, 10), QString());
    QCOMPARE(s.text(9, 9), QStringLiteral("666661"));
    QCOMPARE(s.text(9, 8), QString());
    QCOMPARE(s.text(10, 10), QStringLiteral("TOTAL"));
    QCOMPARE(s.text(10, 11), QStringLiteral("3.5"));
}

void TestHistoryExport::bordersFrameTheTable()
{
    historytest::Database db;
    insert(db.connection, {.recipients = QStringLiteral("1")});
    insert(db.connection, {.recipients = QStringLiteral("2"), .sentAt = QStringLiteral("2024-01-11 09:00")});
    const Built built = buildSheet(selectSends(db.connection, period()), period(), QStringLiteral("Brisanta"));
    const xlsx::Sheet &s = built.sheet;
    using xlsx::Line;
    const auto borders = [&s](int r, int c) { return s.cell(r, c)->style.borders; };
    QCOMPARE(borders(3, 3), (xlsx::Borders{Line::Medium, Line::Medium, Line::Medium, Line::Medium}));
    // A data cell: medium between columns, thin between rows.
    QCOMPARE(borders(4, 3), (xlsx::Borders{Line::Medium, Line::Medium, Line::Medium, Line::Thin}));
    QCOMPARE(borders(5, 3).bottom, Line::Medium);
    QCOMPARE(borders(5, 11).right, Line::Medium);
    QCOMPARE(borders(6, 10), (xlsx::Borders{Line::Medium, Line::Medium, Line::Medium, Line::Medium}));
    QCOMPARE(borders(6, 3).bottom, Line::None);
    QCOMPARE(borders(4, 1).right, Line::Medium);    // column A's blank meets the frame
    QCOMPARE(borders(4, 1).left, Line::None);
}

// A mixed history: several recipients, unknown credits, scheduled sends, states.
static void fillMixed(historytest::Database &db, int sends)
{
    for (int i = 0; i < sends; ++i) {
        Row r;
        r.recipients = i % 3 == 0 ? QStringLiteral("11111,22222,3333%1").arg(i % 10) : QStringLiteral("4444%1").arg(i % 10);
        r.sentAt = QStringLiteral("2024-01-%1 09:%2").arg(10 + i % 20).arg(10 + i % 50);
        r.scheduledFor = i % 4 == 0 ? QVariant(QStringLiteral("2024-03-01 10:00")) : QVariant(QStringLiteral("Inmediato"));
        r.message = QStringLiteral("Mensaje\r\nnúmero %1").arg(i);
        r.state = i % 2 == 0 ? QStringLiteral("1|11111|22222") : QStringLiteral("0|0|0");
        r.credits = i % 5 == 0 ? QVariant() : QVariant(1.5 * (i % 4));
        r.sender = i % 7 == 0 ? QVariant() : QVariant(QStringLiteral("Brisanta"));
        insert(db.connection, r);
    }
}

static bool sameCells(const xlsx::ReadSheet &a, const xlsx::ReadSheet &b)
{
    if (a.cells.size() != b.cells.size() || a.merges != b.merges || a.widths != b.widths || a.name != b.name)
        return false;
    for (auto it = a.cells.cbegin(); it != a.cells.cend(); ++it) {
        const xlsx::ReadCell *other = b.cell(it.key().first, it.key().second);
        if (!other || other->text != it->text || other->kind != it->kind || !(other->style == it->style)) {
            qWarning() << "cell" << it.key().first << it.key().second << "differs:" << it->text;
            return false;
        }
    }
    return true;
}

void TestHistoryExport::streamedWorkbookMatchesTheSheet()
{
    historytest::Database db;
    fillMixed(db, 40);
    for (const bool split : {false, true})
        for (const int count : {1, 2, 3, 40}) {
            Options o = period();
            o.splitRows = split;
            std::vector<SendRow> sends = selectSends(db.connection, o);
            sends.resize(size_t(count));
            const Built built = buildSheet(sends, o, QStringLiteral("Brisanta"));
            const QString inMemory = db.home.file(QStringLiteral("memoria.xlsx"));
            QVERIFY(xlsx::save(inMemory, {built.sheet}).ok());

            const QString streamed = db.home.file(QStringLiteral("flujo.xlsx"));
            xlsx::SheetStream stream(streamed, kSheetName);
            SheetWriter writer(stream, o, QStringLiteral("Brisanta"));
            for (const SendRow &send : sends)
                writer.add(send);
            const Built figures = writer.finish();
            QCOMPARE(figures.lastDataRow, built.lastDataRow);
            QCOMPARE(figures.totalCredits, built.totalCredits);
            QVERIFY(stream.finish().ok());
            QVERIFY2(sameCells(xlsx::readWorkbook(inMemory).sheets.value(0), xlsx::readWorkbook(streamed).sheets.value(0)),
                     qPrintable(QStringLiteral("split %1, %2 sends").arg(split).arg(count)));
        }
}

void TestHistoryExport::flowReportsEveryEnding()
{
    historytest::Database db;
    ScriptedPrompter prompter;
    testing::RecordingShell shell;
    ui::BusyCursor busy;
    const Services services{db.connection, prompter, shell, busy};

    // Nothing in the period: the message, and no file is asked for.
    Outcome none = runExport(services, period(), QStringLiteral("Brisanta"), db.home.path());
    QCOMPARE(none.status, Outcome::Status::NoSends);
    QCOMPARE(prompter.messageTexts(), QStringList{kNoSendsMessage});
    QCOMPARE(prompter.lastCall().title, kNoSendsTitle);
    QVERIFY(prompter.callsOf(ScriptedPrompter::Kind::SaveFile).isEmpty());

    insert(db.connection, {.recipients = QStringLiteral("11111")});
    prompter.clear();
    prompter.answerSaveFile(std::nullopt);
    QCOMPARE(runExport(services, period(), QStringLiteral("Brisanta"), db.home.path()).status, Outcome::Status::Cancelled);
    QCOMPARE(prompter.lastCall().defaultText, db.home.file(QStringLiteral("Historial 2024-01-09 al 2024-02-09.xlsx")));
    QVERIFY(shell.urls().isEmpty());

    // A folder that does not exist: the writer's message, nothing opened, nothing reported as done.
    prompter.clear();
    prompter.answerSaveFile(db.home.file(QStringLiteral("no existe/historial.xlsx")));
    prompter.answerMessage(ui::Answer::Ok);
    QCOMPARE(runExport(services, period(), QStringLiteral("Brisanta"), db.home.path()).status, Outcome::Status::SaveFailed);
    QVERIFY(prompter.lastCall().text.startsWith(QStringLiteral("No se ha podido guardar el archivo")));
    QCOMPARE(prompter.lastCall().icon, ui::Icon::Warning);
    QVERIFY(shell.urls().isEmpty());

    prompter.clear();
    prompter.answerSaveFile(db.home.file(QStringLiteral("historial")));
    prompter.answerMessage(ui::Answer::Ok);
    const Outcome done = runExport(services, period(), QStringLiteral("Brisanta"), db.home.path());
    QCOMPARE(done.status, Outcome::Status::Exported);
    QCOMPARE(done.path, db.home.file(QStringLiteral("historial.xlsx")));
    QCOMPARE(done.rows, 1);
    QCOMPARE(prompter.lastCall().text, kExportedMessage);
    QCOMPARE(prompter.lastCall().title, kExportTitle);
    QCOMPARE(prompter.lastCall().icon, ui::Icon::Information);
    QCOMPARE(shell.urls(), QStringList{QUrl::fromLocalFile(done.path).toString()});
    QCOMPARE(xlsx::readWorkbook(done.path).sheets.value(0).text(4, 5), QStringLiteral("11111"));
    QVERIFY(!busy.isBusy());
    QVERIFY2(!prompter.hasUnexpected(), prompter.unexpectedReport());

    // No program opens the saved workbook: the user is told so, and where the file is.
    shell.clear();
    shell.setOpenUrlResult(false);
    prompter.clear();
    prompter.answerSaveFile(db.home.file(QStringLiteral("sin programa")));
    const Outcome unopened = runExport(services, period(), QStringLiteral("Brisanta"), db.home.path());
    QCOMPARE(unopened.status, Outcome::Status::Exported);
    QCOMPARE(prompter.messageTexts(),
             (QStringList{kExportedMessage, ui::workbookNotOpenedMessage(db.home.file(QStringLiteral("sin programa.xlsx")))}));
    QCOMPARE(prompter.lastCall().title, kExportTitle);
    QVERIFY(prompter.lastCall().text.endsWith(QDir::toNativeSeparators(unopened.path)));
    QVERIFY(QFileInfo::exists(unopened.path));

    // The history was only read.
    QCOMPARE(db.count(), 1);
}

void TestHistoryExport::periodPastOneSheetIsRefusedUpFront()
{
    historytest::Database db;
    fillMixed(db, 40);
    insert(db.connection, {.recipients = QStringLiteral("1,2,3"), .sentAt = QStringLiteral("2024-02-09 00:00")});
    insert(db.connection, {.recipients = QStringLiteral(",,"), .sentAt = QStringLiteral("2024-01-09 00:00"), .sender = {}});
    insert(db.connection, {.recipients = {}, .sentAt = QStringLiteral("2024-01-20 10:00")});
    // The count is the sheet's own, in every mode.
    for (const bool split : {false, true})
        for (const bool filtered : {false, true}) {
            Options o = period();
            o.splitRows = split;
            o.filterBySender = filtered;
            o.sender = QStringLiteral("Brisanta");
            const Built built = buildSheet(selectSends(db.connection, o), o, QStringLiteral("Brisanta"));
            db::Result r;
            QCOMPARE(dataRowCount(db.connection, o, &r), qint64(built.lastDataRow - kHeaderRow));
            QVERIFY(r.ok());
        }
    QCOMPARE(dataRowCount(db.connection, period(QStringLiteral("2023-01-01"), QStringLiteral("2023-02-01"))), 0);

    // One send to more recipients than a sheet has rows: split, it is refused before any file
    // is asked for; on one row it is exported.
    historytest::Database big;
    QString many = QStringLiteral("600000000,").repeated(int(kMaxDataRows));
    many += QStringLiteral("600000001");
    insert(big.connection, {.recipients = many});
    ScriptedPrompter prompter;
    testing::RecordingShell shell;
    ui::BusyCursor busy;
    const Services services{big.connection, prompter, shell, busy};
    Options split = period();
    split.splitRows = true;
    prompter.answerMessage(ui::Answer::Ok);
    QCOMPARE(runExport(services, split, QStringLiteral("Brisanta"), big.home.path()).status, Outcome::Status::TooManyRows);
    QCOMPARE(prompter.messageTexts(),
             QStringList{QStringLiteral("Los envíos de esas fechas ocupan 1.048.573 filas, más de las 1.048.572 que caben en "
                                        "una hoja de Excel. Elija un periodo más corto y expórtelo por partes.")});
    QCOMPARE(prompter.lastCall().icon, ui::Icon::Warning);
    QVERIFY(prompter.callsOf(ScriptedPrompter::Kind::SaveFile).isEmpty());
    QVERIFY(shell.urls().isEmpty());
    QVERIFY(!busy.isBusy());

    prompter.clear();
    prompter.answerSaveFile(big.home.file(QStringLiteral("historial.xlsx")));
    prompter.answerMessage(ui::Answer::Ok);
    const Outcome whole = runExport(services, period(), QStringLiteral("Brisanta"), big.home.path());
    QCOMPARE(whole.status, Outcome::Status::Exported);
    QCOMPARE(whole.rows, 1);
    QVERIFY2(!prompter.hasUnexpected(), prompter.unexpectedReport());
}

// A disk that fills (here a file-size limit) during the export: the failure is reported, the
// workbook of the last export stays as it was, and nothing is opened.
void TestHistoryExport::aWorkbookCutShortIsNeverComplete()
{
    historytest::Database db;
    db.connection.execute(QStringLiteral("BEGIN"));
    for (int i = 0; i < 4000; ++i)
        insert(db.connection, {.recipients = QStringLiteral("346%1").arg(10000000 + i * 7919 % 9000000),
                               .message = QStringLiteral("Mensaje %1 ").arg(i).repeated(4)});
    db.connection.execute(QStringLiteral("COMMIT"));
    ScriptedPrompter prompter;
    testing::RecordingShell shell;
    ui::BusyCursor busy;
    const Services services{db.connection, prompter, shell, busy};

    const QString path = db.home.file(QStringLiteral("historial.xlsx"));
    xlsx::Sheet earlier;
    earlier.setText(1, 1, QStringLiteral("Exportación anterior"));
    QVERIFY(xlsx::save(path, {earlier}).ok());
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();

    prompter.answerSaveFile(path);
    prompter.answerMessage(ui::Answer::Ok);
    Outcome outcome;
    {
        const testing::FileSizeLimit cap{100 * 1024};
        QVERIFY(cap.isActive());
        outcome = runExport(services, period(), QStringLiteral("Brisanta"), db.home.path());
    }
    QCOMPARE(outcome.status, Outcome::Status::SaveFailed);
    QVERIFY(prompter.lastCall().text.startsWith(QStringLiteral("No se ha podido guardar el archivo")));
    QVERIFY(prompter.messageTexts().indexOf(kExportedMessage) < 0);
    QCOMPARE(prompter.lastCall().icon, ui::Icon::Warning);
    QVERIFY(shell.urls().isEmpty());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), before);
    QVERIFY2(!prompter.hasUnexpected(), prompter.unexpectedReport());
}

void TestHistoryExport::windowLoadsAndExports()
{
    historytest::Database db;
    ScriptedPrompter prompter;
    testing::RecordingShell shell;
    ui::BusyCursor busy;
    seams::AppContext context{db.connection, prompter, shell, busy, db.home.path()};

    {
        HistoryExportDialog empty(context, QDate(2024, 5, 15));
        QCOMPARE(empty.fromBox->text(), QStringLiteral("2024-04-16"));
        QCOMPARE(empty.toBox->text(), QStringLiteral("2024-05-16"));
        QCOMPARE(empty.senderCombo->currentText(), QStringLiteral("Ninguno"));
        QVERIFY(!empty.senderFilterCheck->isEnabled());
        QVERIFY(empty.fromCalendar->isHidden());
    }

    insert(db.connection, {.recipients = QStringLiteral("11111"), .sender = QStringLiteral("Tienda")});
    insert(db.connection, {.recipients = QStringLiteral("22222"), .sender = QStringLiteral("Otra")});
    HistoryExportDialog form(context, QDate(2024, 5, 15));
    // The help says what the export does here: a file name is asked, the saved file is opened.
    QStringList help;
    for (const QLabel *label : form.findChildren<QLabel *>())
        help << label->text();
    QVERIFY2(!help.join(QLatin1Char(' ')).contains(QStringLiteral("Guardar como")), qPrintable(help.join(QLatin1Char('\n'))));
    QVERIFY(help.join(QLatin1Char(' ')).contains(QStringLiteral("se le pide el nombre y la carpeta del archivo Excel")));
    QVERIFY(form.senderFilterCheck->isEnabled());
    QCOMPARE(form.senderCombo->currentText(), QStringLiteral("Tienda"));
    Q_EMIT form.fromCalendar->clicked(QDate(2024, 1, 9));
    QCOMPARE(form.fromBox->text(), QStringLiteral("2024-01-09"));
    form.toBox->setText(QStringLiteral("2024-02-09"));
    form.senderFilterCheck->setChecked(true);

    prompter.answerSaveFile(db.home.file(QStringLiteral("ventana.xlsx")));
    prompter.answerMessage(ui::Answer::Ok);
    form.onExportClicked();
    QCOMPARE(form.lastOutcome().status, Outcome::Status::Exported);
    QCOMPARE(form.lastOutcome().rows, 1);
    const xlsx::ReadBook book = xlsx::readWorkbook(db.home.file(QStringLiteral("ventana.xlsx")));
    QCOMPARE(book.sheets.value(0).text(2, 2),
             QStringLiteral("Historial Brisanta Desktop (2024-01-09 al 2024-02-09) Filtrado por remitente: Tienda"));
}

void TestHistoryExport::menuOpensOneWindow()
{
    historytest::Database db;
    ScriptedPrompter prompter;
    testing::RecordingShell shell;
    ui::BusyCursor busy;
    seams::AppContext context{db.connection, prompter, shell, busy, db.home.path()};
    history::HistoryFeature feature(context);

    QVERIFY(!feature.exportWindow());
    feature.openExport();
    HistoryExportDialog *first = feature.exportWindow();
    QVERIFY(first);
    QCOMPARE(first->windowTitle(), QStringLiteral("Exportar Historial a Excel"));
    feature.openExport();
    QCOMPARE(feature.exportWindow(), first);
    QVERIFY(first->close());
    QVERIFY(!feature.exportWindow());
}

QTEST_MAIN(TestHistoryExport)
#include "test_history_export.moc"
