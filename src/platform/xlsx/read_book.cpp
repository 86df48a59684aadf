#include "platform/xlsx/read_book.h"

#include "platform/xlsx/xls_reader.h"
#include "platform/xlsx/xlsx_reader.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace xlsx {

namespace {

// An encrypted Office document is a compound file whose directory names the stream
// "EncryptedPackage" (in UTF-16); an .xls never has one.
bool holdsEncryptedPackage(QFile &file)
{
    static const QByteArray name = [] {
        const QString text = QStringLiteral("EncryptedPackage");
        return QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
    }();
    if (!file.seek(0))
        return false;
    // Read in overlapping pieces so the name is found where it straddles two of them.
    constexpr qint64 kPiece = 1 << 20;
    QByteArray carried;
    while (!file.atEnd()) {
        const QByteArray piece = carried + file.read(kPiece);
        if (piece.size() == carried.size())
            break;
        if (piece.contains(name))
            return true;
        carried = piece.right(name.size() - 1);
    }
    return false;
}

} // namespace

const ReadCell *ReadSheet::cell(int row, int column) const
{
    const auto it = cells.constFind({row, column});
    return it == cells.cend() ? nullptr : &*it;
}

QString ReadSheet::text(int row, int column) const
{
    const ReadCell *c = cell(row, column);
    return c ? c->text : QString();
}

void ReadSheet::noteUsed(int row, int column)
{
    firstRow = firstRow == 0 ? row : std::min(firstRow, row);
    firstColumn = firstColumn == 0 ? column : std::min(firstColumn, column);
    lastRow = std::max(lastRow, row);
    lastColumn = std::max(lastColumn, column);
}

ReadBook readFailure(ReadBook::Status status, const QString &path, const ReadBudget &budget)
{
    const QString shown = QDir::toNativeSeparators(path);
    ReadBook book;
    book.status = status;
    switch (status) {
    case ReadBook::Status::Ok: break;
    case ReadBook::Status::NotFound:
        book.message = QStringLiteral("No se encuentra el archivo \"%1\".").arg(shown);
        break;
    case ReadBook::Status::Unreadable:
        book.message = QStringLiteral("No se ha podido leer el archivo \"%1\": no es un libro de Excel válido "
                                      "o está dañado.").arg(shown);
        break;
    case ReadBook::Status::TooLarge:
        book.limit = budget.passed() == Limit::None ? Limit::ExcelBounds : budget.passed();
        book.message = QStringLiteral("El archivo \"%1\" es demasiado grande para importarlo: %2 "
                                      "Guarde en otro libro solo las filas y columnas que quiera importar.")
                           .arg(shown, limitText(book.limit, budget.total()));
        break;
    case ReadBook::Status::Protected:
        book.message = QStringLiteral("El archivo \"%1\" está protegido con contraseña y no se puede leer.").arg(shown);
        break;
    }
    return book;
}

QString excelDateText(double serial, bool system1904)
{
    // Excel shows no date for a negative count nor past 31/12/9999.
    if (!std::isfinite(serial) || serial < 0 || serial >= 2958466)
        return generalNumberText(serial);
    double days = std::floor(serial);
    auto seconds = qint64(std::llround((serial - days) * 86400.0));
    if (seconds >= 86400) {     // a time that rounds up to midnight is the next day
        days += 1;
        seconds = 0;
    }
    // Excel's 1900 system counts a 29 February 1900 that never was: from March 1900 on, day 0 is
    // 30 December 1899; before it, 31 December 1899. Day 60 is that phantom day, shown as the
    // last day of February.
    QDate origin = system1904 ? QDate(1904, 1, 1) : QDate(1899, 12, 30);
    if (!system1904 && days < 61)
        origin = days == 60 ? QDate(1899, 12, 30) : QDate(1899, 12, 31);
    const QDate date = origin.addDays(qint64(days));
    if (seconds == 0)
        return date.toString(QStringLiteral("dd/MM/yyyy"));
    return date.toString(QStringLiteral("dd/MM/yyyy ")) + QTime(0, 0).addSecs(int(seconds)).toString(QStringLiteral("hh:mm:ss"));
}

QString generalNumberText(double number)
{
    if (std::isfinite(number) && number == std::floor(number) && std::fabs(number) < 1e15)
        return QString::number(qint64(number));
    return QString::number(number, 'g', 15);
}

ReadBook readWorkbook(const QString &path, ReadScope scope, qint64 budget)
{
    QFile file(path);
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return readFailure(ReadBook::Status::NotFound, path);
    if (!file.open(QIODevice::ReadOnly))
        return readFailure(ReadBook::Status::Unreadable, path);
    const QByteArray head = file.read(8);
    if (head.startsWith("PK\x03\x04"))
        return readXlsx(path, scope, budget);
    if (head == QByteArray::fromHex("D0CF11E0A1B11AE1")) {
        // Excel keeps a password-protected .xlsx inside a compound file, as it keeps an .xls.
        if (holdsEncryptedPackage(file))
            return readFailure(ReadBook::Status::Protected, path);
        return readXls(path, scope, kXlsReaderTimeoutMs, budget);
    }
    return readFailure(ReadBook::Status::Unreadable, path);
}

} // namespace xlsx
