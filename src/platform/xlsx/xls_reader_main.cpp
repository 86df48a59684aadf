// brisanta-xls-reader: reads one legacy .xls and writes its sheets and cells to standard output
// (xls_rows.h), for the client to take. The client runs it for every .xls it opens, so that a
// damaged workbook that derails the reading library ends this short-lived process only.
//
//   brisanta-xls-reader <file> [--first-sheet] [--budget=<bytes>]
//
// The budget (the client's reading budget; 512 MB by default) bounds the grids the library may
// allocate, and with room for the program itself the address space the process may take.
#include "platform/xlsx/xls_extract.h"
#include "platform/xlsx/xls_rows.h"

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <cstring>

#include <sys/resource.h>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define BRISANTA_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
#define BRISANTA_SANITIZED 1
#endif
#endif

namespace {

// Room for the program, its libraries and what a reading holds besides the library's grids.
constexpr qint64 kProgramRoom = 1024LL * 1024 * 1024;

// Whatever the checks did not foresee ends this process, not the machine: past its address space
// an allocation fails (the library reports it, or the process ends), and the client gets its
// usual message. Sanitizer builds reserve terabytes of address space up front: no cap there.
void capAddressSpace(qint64 budget)
{
#ifndef BRISANTA_SANITIZED
    const rlimit cap{rlim_t(budget + kProgramRoom), rlim_t(budget + kProgramRoom)};
    setrlimit(RLIMIT_AS, &cap);
#else
    (void)budget;
#endif
}

} // namespace

int main(int argc, char **argv)
{
    auto scope = xlsx::ReadScope::AllSheets;
    qint64 budget = xlsx::kMemoryBudget;
    bool usable = argc >= 2;
    for (int i = 2; i < argc && usable; ++i) {
        const QByteArray argument(argv[i]);
        if (argument == "--first-sheet") {
            scope = xlsx::ReadScope::FirstSheet;
        } else if (argument.startsWith("--budget=")) {
            budget = argument.mid(9).toLongLong(&usable);
            usable = usable && budget > 0 && budget <= 64 * xlsx::kMemoryBudget;
        } else {
            usable = false;
        }
    }
    if (!usable) {
        std::fputs("usage: brisanta-xls-reader <file> [--first-sheet] [--budget=<bytes>]\n", stderr);
        return 2;
    }
    capAddressSpace(budget);
    bool written = true;
    const auto write = [&written](const QByteArray &bytes) {
        written = written && std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) == size_t(bytes.size());
    };
    write(xlsx::xlsrows::header());
    const xlsx::ExtractResult result = xlsx::extractXls(QString::fromLocal8Bit(argv[1]), scope, budget, write);
    write(xlsx::xlsrows::end(result.status, result.limit));
    return written && std::fflush(stdout) == 0 ? 0 : 1;
}
