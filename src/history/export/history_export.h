#pragma once

#include "history/contact_names.h"
#include "platform/db/connection.h"
#include "platform/xlsx/column_width.h"
#include "platform/xlsx/sheet.h"

#include <QDate>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

// "Exportar Historial a Excel": the sends of a period written as one worksheet. Everything here
// works without a window: the sheet is computed first and handed to the workbook writer after.
namespace history::exporting {

inline const QString kNoSendsMessage = QStringLiteral("No se han encontrado registros de envíos en esas fechas.");
inline const QString kNoSendsTitle = QStringLiteral("Sin registros");
inline const QString kExportedMessage = QStringLiteral("Exportación completa");
inline const QString kExportTitle = QStringLiteral("Exportar historial a Excel");
inline const QString kNoSender = QStringLiteral("Ninguno");
inline const QString kSheetName = QStringLiteral("Listado Historial");

// The first data row and the sheet's columns (A is 1).
inline constexpr int kTitleRow = 2;
inline constexpr int kHeaderRow = 3;
inline constexpr int kFirstDataRow = 4;
// The most data rows one sheet holds: Excel's 1,048,576 rows less the title, the headers and the
// total row.
inline constexpr qint64 kMaxDataRows = 1048576 - kHeaderRow - 1;
inline constexpr int kLastColumn = 12;   // L

// The period the window opens with: the last month up to and including today.
struct Period {
    QDate fromDate;
    QDate toDate;
};
Period defaultPeriod(const QDate &today);

// The sender identifiers the history holds, in the order the database gives them; "Ninguno"
// alone (and the filter disabled) when there are none.
struct SenderChoice {
    QStringList items;
    bool filterEnabled = false;
};
SenderChoice senderChoice(db::Connection &connection);

struct Options {
    QString fromDate;                      // the "from" box, "yyyy-mm-dd"
    QString toDate;                      // the "to" box
    bool showNames = false;        // "Mostrar nombres de los destinatarios..."
    bool filterBySender = false;      // "Filtrar por remitente:"
    QString sender;                  // the selected item of the sender combo
    bool splitRows = false;          // "Separar por filas..."
};

// The title of the sheet: "Historial <brand> Desktop (<desde> al <hasta>)", and the sender when
// filtered by one.
QString titleText(const QString &brandName, const Options &options);

// One row of `Historial` as the export reads it. Null columns are invalid QVariants.
struct SendRow {
    QVariant recipients;
    QVariant sentAt;
    QVariant scheduledFor;
    QVariant message;
    QVariant state;
    QVariant credits;
    QVariant sender;
};

// The sends of the period (and sender), oldest first, handed over one at a time, none of them kept.
// False on a database error.
bool forEachSend(db::Connection &connection, const Options &options, const std::function<void(const SendRow &)> &visit,
                 db::Result *result = nullptr);
// The data rows the sheet of the period (and sender) has: one per send, or one per recipient of a
// send to several when they are split; 0 when the period holds no send.
qint64 dataRowCount(db::Connection &connection, const Options &options, db::Result *result = nullptr);
// Why a period with more rows than a sheet holds is not exported.
QString tooManyRowsMessage(qint64 rows);

// What the sheet shows of one send, lists still comma-separated without blanks.
struct SendValues {
    QString sentAt;
    QString arrival;                    // arrival: the scheduled time, or f_envio for "Inmediato"
    QString sender;                  // "Desconocido" when null
    QString message;                    // on one line
    std::optional<double> credits;     // nothing for null, non-numeric or 0: shown as "???"
    QString recipients;              // as stored
    int recipientCount = 1;             // commas + 1
    QString confirmed;
    QString failed;
    QString pending;
};
SendValues sendValues(const SendRow &row);

// The confirmed and failed lists of `estado`: from its 3rd character up to the first "|" after
// it, and what follows; a list of 3 characters or fewer counts as none.
std::pair<QString, QString> stateLists(const QString &state);

// The recipients answered by neither list. Members are compared whole (a number never matches a
// part of a longer one), "+" and blanks ignored; once a confirmed number was taken out, the rest
// lose their "+" and blanks too, as the history has always shown them.
QString pendingList(const QString &recipientList, const QString &confirmedList, const QString &failedList);

// Whether `number` is a member of the comma-separated `list` ("+" and blanks ignored).
bool listHolds(const QString &list, const QString &number);

// A comma-separated list as the sheet shows it: ", " between members.
QString displayList(const QString &list);

// The message on one line: line feeds dropped, carriage returns turned into blanks.
QString oneLine(const QString &message);

// The whole worksheet. `names` (looked up beforehand with NameBook::lookup over numbersToName) is
// used only when the options ask for names.
struct Built {
    xlsx::Sheet sheet;
    int lastDataRow = 0;
    int totalRow = 0;
    double totalCredits = 0;
};
Built buildSheet(const std::vector<SendRow> &sends, const Options &options, const QString &brandName,
                 const NameBook *names = nullptr);

// The same worksheet written row by row as the sends come: the title and headers at once, each
// send's rows as it is added, the total row and the widths at finish(). The returned figures
// leave `sheet` empty: the rows went to `target`.
class SheetWriter final {
public:
    SheetWriter(xlsx::RowTarget &target, const Options &options, const QString &brandName, const NameBook *names = nullptr);
    ~SheetWriter();
    SheetWriter(const SheetWriter &) = delete;
    SheetWriter &operator=(const SheetWriter &) = delete;

    void add(const SendRow &send);
    Built finish();

private:
    enum class Place { Only, First, Middle, Last };
    struct Looks;
    void push(xlsx::RowCells cells);
    void write(xlsx::RowCells &cells, int row, Place place);

    xlsx::RowTarget &m_target;
    Options m_options;
    const NameBook *m_names = nullptr;
    std::unique_ptr<Looks> m_looks;
    xlsx::ColumnFit m_fit;
    std::optional<xlsx::RowCells> m_held;     // the last row, written once it is known to be last or not
    int m_row = kHeaderRow;
    double m_totalCredits = 0;
};

// Every number of the sends' lists that may be shown by name (recipients, confirmed, failed),
// for one lookup of them all.
QStringList numbersToName(const std::vector<SendRow> &sends);
class NumberCollector final {
public:
    void add(const SendRow &row);
    QStringList numbers() const;

private:
    QSet<QString> m_numbers;
};

// The file name offered when saving: "Historial <desde> al <hasta>.xlsx".
QString suggestedFileName(const Options &options);

} // namespace history::exporting
