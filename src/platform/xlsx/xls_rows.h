#pragma once

#include "platform/xlsx/read_book.h"
#include "platform/xlsx/read_budget.h"

#include <QByteArray>
#include <QString>

#include <vector>

// How the .xls reading helper hands a workbook back: a short header, then one record per sheet,
// per distinct shared text and per cell holding a value, then an end record with the outcome.
// Every record starts with its kind; numbers are little-endian; texts are a 32-bit byte count and
// UTF-8.
//   header  "BXLS3\n"
//   'S'     sheet name
//   'T'     text: the next shared text (numbered from 0 in the order they come)
//   'C'     row, column (32-bit, from 1), kind (8-bit), number (64-bit double), text
//   'R'     row, column (32-bit, from 1), shared text number (32-bit): a text cell
//   'E'     status (8-bit: ReadBook::Status), the bound passed (8-bit: Limit, for TooLarge)
// Anything else, a record cut short, or no end record is a failed reading.
namespace xlsx::xlsrows {

inline constexpr char kHeader[] = "BXLS3\n";

QByteArray header();
QByteArray sheet(const QString &name);
QByteArray sharedText(const QString &text);
QByteArray cell(int row, int column, const ReadCell &cell);
QByteArray sharedCell(int row, int column, quint32 text);
QByteArray end(ReadBook::Status status, Limit limit = Limit::None);

// Takes the records as they arrive, in pieces of any size, and decodes each as soon as it is
// whole: only the workbook being built and one unfinished record are held. A shared text is kept
// once however many cells show it. Everything held is taken from the budget.
class Decoder final {
public:
    explicit Decoder(const QString &path, qint64 budget = kMemoryBudget);

    // False once the records are damaged or past the budget: the rest need not be read.
    bool feed(const QByteArray &bytes);
    // The workbook, or the failure; the records must have ended with their end record.
    ReadBook finish();

private:
    enum class State { Header, Records, Ended, Failed };
    bool decodeOne(qsizetype &at);
    bool fail(ReadBook::Status status);

    QString m_path;
    ReadBudget m_budget;
    QByteArray m_pending;
    State m_state = State::Header;
    ReadBook m_book;
    std::vector<QString> m_texts;
    ReadBook::Status m_failure = ReadBook::Status::Unreadable;
    ReadBook::Status m_ended = ReadBook::Status::Ok;
    Limit m_endedLimit = Limit::None;
};

// The workbook the records describe; a failure (with the usual message about `path`) when they
// are damaged, cut short or say so themselves.
ReadBook decode(const QByteArray &bytes, const QString &path, qint64 budget = kMemoryBudget);

} // namespace xlsx::xlsrows
