// Reads every table of the Access files it is given, and of damaged copies of each one, the way
// the importers read them. Built without sanitizers so that valgrind can watch libmdb and the
// reader together: any read of memory that libmdb never filled is an error there.
//
//   mdb_read_check FILE_OR_FOLDER...     every file (folders: every file in them, not recursive)
//   mdb_read_check --skip TEXT           prints TEXT and exits 77 (the test is skipped)
#include "damaged_rows.h"
#include "platform/mdb/access_file.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr qint64 kLargestCopied = 512 * 1024;

// The outcome of reading one file, for the log.
QString readWhole(const QString &path)
{
    mdb::AccessFile file;
    const mdb::Result opened = file.open(path);
    if (!opened.ok())
        return QStringLiteral("refused (%1)").arg(opened.error);
    QStringList parts;
    for (const QString &name : file.tables()) {
        mdb::TableScan scan;
        const mdb::Result r = scan.open(file, name);
        if (!r.ok()) {
            parts << QStringLiteral("%1: %2").arg(name, r.error);
            continue;
        }
        QVariantList row;
        while (scan.next(row)) {
        }
        parts << QStringLiteral("%1: %2 rows%3")
                     .arg(name)
                     .arg(scan.position())
                     .arg(scan.result().ok() ? QString() : QStringLiteral(", ") + scan.result().error);
    }
    return parts.join(QStringLiteral("; "));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList arguments = app.arguments().mid(1);
    if (arguments.value(0) == QLatin1String("--skip")) {
        std::printf("%s\n", qPrintable(arguments.value(1)));
        return 77;
    }
    QStringList files;
    for (const QString &argument : arguments) {
        const QFileInfo info(argument);
        if (info.isDir()) {
            for (const QFileInfo &entry : QDir(argument).entryInfoList(QDir::Files, QDir::Name))
                files << entry.filePath();
        } else if (info.isFile()) {
            files << info.filePath();
        }
    }
    QTemporaryDir scratch;
    if (!scratch.isValid())
        return 2;
    for (const QString &path : files) {
        std::printf("%s: %s\n", qPrintable(path), qPrintable(readWhole(path)));
        // Damaged copies of the small files only: each copy is read whole again, and a large one
        // adds nothing but time under valgrind.
        if (QFileInfo(path).size() > kLargestCopied)
            continue;
        for (const auto &[name, bytes] : testing::mdb_damage::damagedCopies(path)) {
            const QString copy = scratch.filePath(name + QStringLiteral(".mdb"));
            QFile out(copy);
            if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size())
                return 2;
            out.close();
            std::printf("  %s: %s\n", qPrintable(name), qPrintable(readWhole(copy)));
        }
    }
    return 0;
}
