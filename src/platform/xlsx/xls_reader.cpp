#include "platform/xlsx/xls_reader.h"

#include "platform/xlsx/xls_rows.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include <algorithm>

namespace xlsx {

namespace {

// The helper's name beside the client; on Windows with ".exe".
QString helperName()
{
#ifdef Q_OS_WIN
    return QStringLiteral("brisanta-xls-reader.exe");
#else
    return QStringLiteral("brisanta-xls-reader");
#endif
}

ReadBook helperMissing(const QString &path)
{
    ReadBook book = readFailure(ReadBook::Status::Unreadable, path);
    book.message = QStringLiteral("No se puede leer el archivo \"%1\": falta el programa \"%2\", que se instala junto a "
                                  "Brisanta Desktop. Vuelva a instalar el programa.")
                       .arg(QDir::toNativeSeparators(path), helperName());
    return book;
}

} // namespace

QString xlsReaderProgram()
{
    const QString configured = qEnvironmentVariable("BRISANTA_XLS_READER");
    if (!configured.isEmpty())
        return configured;
    return QDir(QCoreApplication::applicationDirPath()).filePath(helperName());
}

ReadBook readXls(const QString &path, ReadScope scope, int timeoutMs, qint64 budget)
{
    if (!QFileInfo::exists(path))
        return readFailure(ReadBook::Status::NotFound, path);
    const QString program = xlsReaderProgram();
    if (!QFileInfo(program).isExecutable())
        return helperMissing(path);

    QProcess helper;
    helper.setProcessChannelMode(QProcess::SeparateChannels);
    helper.setStandardErrorFile(QProcess::nullDevice());
    helper.setStandardInputFile(QProcess::nullDevice());
    QStringList arguments{path};
    if (scope == ReadScope::FirstSheet)
        arguments << QStringLiteral("--first-sheet");
    arguments << QStringLiteral("--budget=%1").arg(budget);
    helper.start(program, arguments, QIODevice::ReadOnly);
    if (!helper.waitForStarted(timeoutMs))
        return helperMissing(path);

    // Decoded as it comes, within a time and the memory budget: a helper that hangs is stopped
    // and the file counts as damaged; one that pours out more than the budget holds is stopped
    // as soon as it passes it.
    const QDeadlineTimer deadline(timeoutMs);
    xlsrows::Decoder decoder(path, budget);
    bool refused = false;
    while (!deadline.hasExpired()) {
        if (!helper.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())))) {
            // Nothing more to read: it ended, closed its output or ran out of time.
            if (helper.state() != QProcess::NotRunning)
                helper.waitForFinished(int(std::max<qint64>(1, deadline.remainingTime())));
            break;
        }
        if (!decoder.feed(helper.readAllStandardOutput())) {
            refused = true;
            break;
        }
    }
    if (helper.state() != QProcess::NotRunning) {
        helper.kill();
        helper.waitForFinished(timeoutMs);
        return refused ? decoder.finish() : readFailure(ReadBook::Status::Unreadable, path);
    }
    if (!refused)
        decoder.feed(helper.readAllStandardOutput());
    // A helper that crashed or failed left no clean end: whatever it wrote is not trusted.
    if (!refused && (helper.exitStatus() != QProcess::NormalExit || helper.exitCode() != 0))
        return readFailure(ReadBook::Status::Unreadable, path);
    return decoder.finish();
}

} // namespace xlsx
