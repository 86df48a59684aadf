// brisanta-xls-reader: reads one legacy .xls and writes its sheets and cells to standard output
// (xls_rows.h), for the client to take. The client runs it for every .xls it opens, so that a
// damaged workbook that derails the reading library ends this short-lived process only.
//
//   brisanta-xls-reader <file> [--first-sheet]
#include "platform/xlsx/xls_extract.h"
#include "platform/xlsx/xls_rows.h"

#include <QString>

#include <cstdio>
#include <cstring>

int main(int argc, char **argv)
{
    if (argc < 2 || argc > 3 || (argc == 3 && std::strcmp(argv[2], "--first-sheet") != 0)) {
        std::fputs("usage: brisanta-xls-reader <file> [--first-sheet]\n", stderr);
        return 2;
    }
    const auto scope = argc == 3 ? xlsx::ReadScope::FirstSheet : xlsx::ReadScope::AllSheets;
    bool written = true;
    const auto write = [&written](const QByteArray &bytes) {
        written = written && std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) == size_t(bytes.size());
    };
    write(xlsx::xlsrows::header());
    const xlsx::ReadBook::Status status = xlsx::extractXls(QString::fromLocal8Bit(argv[1]), scope, write);
    write(xlsx::xlsrows::end(status));
    return written && std::fflush(stdout) == 0 ? 0 : 1;
}
