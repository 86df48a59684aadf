#include "brand/start_marker.h"
#include "gateway-sim/gateway_simulator.h"
#include "gateway-sim/release_signing.h"
#include "support/permissions_apply.h"
#include "platform/ui/desktop_shell.h"
#include "support/recording_shell.h"
#include "support/scripted_prompter.h"
#include "support/temp_home.h"
#include "support/file_size_limit.h"
#include "file_bytes.h"
#include "updater/client_processes.h"
#include "updater/install_lock.h"
#include "updater/install_record.h"
#include "updater/progress_text.h"
#include "updater/replacement.h"
#include "updater/signature.h"
#include "updater/update_flow.h"
#include "updater/update_target.h"
#include "updater/updater_window.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <map>
#include <unistd.h>

#include <memory>
#include <optional>

namespace {

constexpr int kWait = 15000;

using testing::readFile;
using testing::write;

// A real program image, so that what is served is what a client executable looks like.
QByteArray newClientBytes()
{
    return readFile(QStringLiteral("/bin/true"));
}

const QByteArray kOldClient = QByteArray("\x7f" "ELF the installed client");

// Started through the recording shell, a client "shows its window" at once, as a real one that
// starts well does soon after, and is closed normally.
void startsLikeAClient(const QString &program)
{
    brand::confirmStarted(program);
    brand::confirmEndedNormally(program);
}

// Ends the clients of `target` as the updater does; how many ended, or -1 when it never said.
int endClients(const QString &target, std::chrono::milliseconds grace)
{
    updater::ClientEnder ender;
    QSignalSpy done(&ender, &updater::ClientEnder::finished);
    ender.start(target, grace);
    if (!done.wait(kWait))
        return -1;
    return done.first().first().toInt();
}

// The files of a folder whose names start with `prefix`'s.
QStringList filesStartingWith(const QString &prefix)
{
    const QFileInfo info(prefix);
    QStringList found;
    for (const QString &name : info.absoluteDir().entryList(QDir::Files | QDir::Hidden)) {
        if (name.startsWith(info.fileName()))
            found << name;
    }
    return found;
}

// Every file of a folder (not its subfolders), by name.
using FolderState = std::map<QString, QByteArray>;

FolderState folderState(const QString &folder)
{
    FolderState state;
    for (const QFileInfo &file : QDir(folder).entryInfoList(QDir::Files | QDir::Hidden))
        state[file.fileName()] = readFile(file.absoluteFilePath());
    return state;
}

// Puts the folder back exactly as it was: what an updater ended at that moment leaves behind.
void restoreFolder(const QString &folder, const FolderState &state)
{
    for (const QFileInfo &file : QDir(folder).entryInfoList(QDir::Files | QDir::Hidden))
        QFile::remove(file.absoluteFilePath());
    for (const auto &[name, bytes] : state) {
        const QString path = QDir(folder).filePath(name);
        QFile out(path);
        if (out.open(QIODevice::WriteOnly))
            out.write(bytes);
        out.close();
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadUser
                                        | QFile::WriteUser | QFile::ExeUser);
    }
}

// A folder that takes no changes, even from root, while this lives.
struct LockedFolder {
    explicit LockedFolder(const QString &folder) : locked(folder) {}
    bool ok() const { return locked.ok() && permissions.active(); }

    testing::WithoutWritePermission locked;
    testing::PermissionsApply permissions;
};

// A program this test starts itself under a name of its choosing; ended by the test when still
// running. Nothing else on the machine is ever touched.
class StartedProgram final {
public:
    StartedProgram(const QString &source, const QString &copyPath, const QStringList &arguments)
    {
        QDir().mkpath(QFileInfo(copyPath).absolutePath());
        QFile::remove(copyPath);
        QFile::copy(source, copyPath);
        m_process.start(copyPath, arguments);
        m_started = m_process.waitForStarted(kWait);
    }
    ~StartedProgram()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(kWait);
        }
    }
    StartedProgram(const StartedProgram &) = delete;
    StartedProgram &operator=(const StartedProgram &) = delete;

    bool started() const { return m_started; }
    qint64 pid() const { return m_process.processId(); }
    bool running() const { return m_process.state() == QProcess::Running; }
    // The event loop may already have seen it end.
    bool waitForEnd() { return m_process.state() == QProcess::NotRunning || m_process.waitForFinished(kWait); }

private:
    QProcess m_process;
    bool m_started = false;
};

} // namespace

class TestUpdater final : public QObject {
    Q_OBJECT

    struct Fixture {
        testing::TempHome home;
        sim::GatewaySimulator sim;
        QNetworkAccessManager network;
        testing::ScriptedPrompter prompter;
        testing::RecordingShell shell;
        updater::UpdateFlow flow{prompter, shell, network};
        QString target = updater::targetPath(home.path());
        QString temporary = updater::temporaryPath(target);

        Fixture()
        {
            sim.start();
            qputenv("BRISANTA_UPDATE_ROOT", sim.baseUrl().toUtf8());
            // The release on offer is newer than the version this updater was built with.
            sim.setVersionText(QStringLiteral("2.35"));
            sim.setDownload(updater::clientFileName(), newClientBytes());
            write(target, kOldClient);
            QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                              | QFile::ReadUser | QFile::WriteUser | QFile::ExeUser);
            flow.setClientGrace(std::chrono::milliseconds(2000));
            // The simulator signs what it serves with the test key; this build may carry no key.
            flow.setPublicKey(sim::testReleasePublicKey());
            shell.setOnStart(startsLikeAClient);
        }
        ~Fixture()
        {
            sim.stop();
            qunsetenv("BRISANTA_UPDATE_ROOT");
        }

        // A file of the download folder as the simulator serves it (an attacker may pass on any).
        QByteArray fetch(const QString &fileName)
        {
            std::unique_ptr<QNetworkReply> reply(network.get(QNetworkRequest(
                QUrl(updater::webRoot() + QStringLiteral("/extranet/Descargas/") + fileName))));
            QSignalSpy finished(reply.get(), &QNetworkReply::finished);
            if (!reply->isFinished() && !finished.wait(kWait))
                return {};
            return reply->error() == QNetworkReply::NoError ? reply->readAll() : QByteArray();
        }

        // Nothing refused or half-done stays in the program folder: no download of any run, no
        // statement of one, no record half written.
        bool noDownloadLeft() const
        {
            return filesStartingWith(temporary).isEmpty()
                   && filesStartingWith(updater::installRecordPath(target) + QStringLiteral(".nuevo")).isEmpty();
        }

        // Presses "Descargar" and waits until the attempt was dealt with.
        bool download()
        {
            QSignalSpy done(&flow, &updater::UpdateFlow::attemptFinished);
            flow.startDownload(updater::downloadUrl(), target);
            return done.wait(kWait);
        }
    };
    std::unique_ptr<Fixture> f;

private Q_SLOTS:
    void init() { f = std::make_unique<Fixture>(); }
    void cleanup() { f.reset(); }

    void names()
    {
        QCOMPARE(updater::windowCaption(), QStringLiteral("Brisanta Desktop Auto-Update"));
        QCOMPARE(updater::clientFileName(), QStringLiteral("Brisanta"));
        QCOMPARE(updater::downloadUrl(QStringLiteral("http://web.example")),
                 QStringLiteral("http://web.example/extranet/Descargas/Brisanta"));
        QCOMPARE(updater::targetPath(QStringLiteral("/opt/brisanta")), QStringLiteral("/opt/brisanta/Brisanta"));
        QCOMPARE(updater::temporaryPath(QStringLiteral("/opt/brisanta/Brisanta")),
                 QStringLiteral("/opt/brisanta/Brisanta.tmp"));

        // The root's trailing "/" does not double the separator.
        qputenv("BRISANTA_UPDATE_ROOT", "http://127.0.0.1:8080/");
        QCOMPARE(updater::downloadUrl(), QStringLiteral("http://127.0.0.1:8080/extranet/Descargas/Brisanta"));
        qunsetenv("BRISANTA_UPDATE_ROOT");
        QCOMPARE(updater::webRoot(), QStringLiteral("http://") + QStringLiteral(BRISANTA_GATEWAY_HOST));
    }

    void windowAtLoad()
    {
        updater::UpdaterWindow window(f->flow, f->home.path());
        QCOMPARE(window.windowTitle(), QStringLiteral("Brisanta Desktop Auto-Update"));
        QCOMPARE(window.findChild<QLineEdit *>(QStringLiteral("Text1"))->text(),
                 f->sim.baseUrl() + QStringLiteral("extranet/Descargas/Brisanta"));
        QCOMPARE(window.findChild<QLineEdit *>(QStringLiteral("Text2"))->text(), f->target);
        // Nothing starts by itself.
        QCOMPARE(f->sim.requestCount(sim::Endpoint::Download), 0);
    }

    void progressTexts_data()
    {
        QTest::addColumn<double>("percent");
        QTest::addColumn<QString>("label");
        QTest::addColumn<int>("bar");
        QTest::newRow("zero") << 0.0 << QStringLiteral("Porcentaje descargado: %") << 0;
        QTest::newRow("below half") << 0.4 << QStringLiteral("Porcentaje descargado: %") << 0;
        QTest::newRow("half, even below") << 12.5 << QStringLiteral("Porcentaje descargado: 13%") << 12;
        QTest::newRow("half, even above") << 13.5 << QStringLiteral("Porcentaje descargado: 14%") << 14;
        QTest::newRow("whole") << 100.0 << QStringLiteral("Porcentaje descargado: 100%") << 100;
    }
    void progressTexts()
    {
        QFETCH(double, percent);
        QFETCH(QString, label);
        QFETCH(int, bar);
        const auto texts = updater::progressTexts({1000, 125, percent, 3, 2.5});
        QVERIFY(texts);
        QCOMPARE(texts->percent, label);
        QCOMPARE(texts->bar, bar);
        QCOMPARE(texts->total, QStringLiteral("Total de Bytes a descargar: 1000"));
        QCOMPARE(texts->received, QStringLiteral("Bytes recibidos: 125"));
        QCOMPARE(texts->elapsed, QStringLiteral("Segundos transcurridos: 3"));
        QCOMPARE(texts->remaining, QStringLiteral("Segundos Restantes: 2.5"));
    }

    void unknownTotalLeavesTheDisplay()
    {
        QVERIFY(!updater::progressTexts({1, 500, 50, 1, 0}));
    }

    void downloadReplacesAndStartsTheNewClient()
    {
        write(f->temporary, "left by an earlier attempt");
        // The thanks come only once the new client is in place.
        QByteArray installedAtThanks;
        f->prompter.setOnCall([this, &installedAtThanks](const testing::ScriptedPrompter::Call &) {
            installedAtThanks = readFile(f->target);
        });
        f->prompter.answerMessage(ui::Answer::Ok);
        QSignalSpy ended(&f->flow, &updater::UpdateFlow::endRequested);

        QVERIFY(f->download());

        QCOMPARE(readFile(f->target), newClientBytes());
        QVERIFY(QFileInfo(f->target).isExecutable());
        QVERIFY(!QFileInfo::exists(f->temporary));
        QCOMPARE(installedAtThanks, newClientBytes());
        QCOMPARE(f->prompter.count(), 1);
        const auto &thanks = f->prompter.lastCall();
        QCOMPARE(thanks.text, QStringLiteral("Actualización completada. Muchas gracias por actualizar Brisanta Desktop"));
        QCOMPARE(thanks.title, QStringLiteral("Actualización completada"));
        QCOMPARE(thanks.icon, ui::Icon::Information);
        QCOMPARE(f->shell.starts().size(), 1);
        QCOMPARE(f->shell.starts().first().program, f->target);
        QVERIFY(f->shell.starts().first().arguments.isEmpty());
        QCOMPARE(ended.count(), 1);
        QVERIFY2(!f->prompter.hasUnexpected(), f->prompter.unexpectedReport());
    }

    // Requests for the client itself, not for its signature.
    int clientRequests() const
    {
        int count = 0;
        for (const sim::LoggedRequest &request : f->sim.requests(sim::Endpoint::Download))
            count += request.path.endsWith(updater::clientFileName().toUtf8()) ? 1 : 0;
        return count;
    }

    void servedScriptIsRefused()
    {
        // Signed with the right key all the same: a script is never installed as the client.
        f->sim.setDownload(updater::clientFileName(), QByteArray("#!/bin/sh\necho hola\n"));
        for (int i = 0; i < 3; ++i)
            f->prompter.answerMessage(ui::Answer::Ok);
        QSignalSpy ended(&f->flow, &updater::UpdateFlow::endRequested);
        QVERIFY(f->download());
        QCOMPARE(readFile(f->target), kOldClient);
        QVERIFY(f->shell.starts().isEmpty());
        QVERIFY2(f->prompter.lastCall().text.contains(QStringLiteral("no es un programa")),
                 qPrintable(f->prompter.lastCall().text));
        QCOMPARE(ended.count(), 0);
        QVERIFY(f->noDownloadLeft());
    }

    void releaseCheck_data()
    {
        QTest::addColumn<QByteArray>("program");
        QTest::addColumn<QByteArray>("signedText");
        QTest::addColumn<QString>("refusal");
        const QByteArray program = newClientBytes();
        const QString client = updater::clientFileName();
        const QByteArray script("#!/bin/sh\necho hola\n");
        QByteArray altered = program;
        altered[altered.size() / 2] = char(altered.at(altered.size() / 2) ^ 1);
        const QByteArray genuine = sim::signedReleaseStatement(client, QStringLiteral("2.35"), program);
        QByteArray changedAfterSigning = genuine;
        changedAfterSigning.replace("version=2.35", "version=2.99");
        const QByteArray otherProduct = updater::composeStatement(
            updater::describeRelease(QStringLiteral("Otra"), client, QStringLiteral("2.35"), program));
        const QByteArray page("<HTML>Mantenimiento</HTML>");

        QTest::newRow("genuine") << program << genuine << QString();
        QTest::newRow("one byte changed") << altered << genuine << QStringLiteral("no es el que describe su firma");
        QTest::newRow("one byte more") << program + '\0' << genuine << QStringLiteral("no es el que describe su firma");
        QTest::newRow("nothing") << program << QByteArray() << QStringLiteral("firma no es válida");
        QTest::newRow("statement without signature")
            << program << genuine.sliced(64) << QStringLiteral("firma no es válida");
        QTest::newRow("statement changed after signing")
            << program << changedAfterSigning << QStringLiteral("firma no es válida");
        QTest::newRow("bare signature of the bytes")
            << program << sim::signWithTestKey(program) << QStringLiteral("firma no es válida");
        QTest::newRow("signature as text") << program << genuine.toBase64() << QStringLiteral("firma no es válida");
        QTest::newRow("same version") << program << sim::signedReleaseStatement(client, QStringLiteral("2.34"), program)
                                      << QStringLiteral("es la versión 2.34, que no es posterior a la instalada (2.34)");
        QTest::newRow("another program")
            << program << sim::signedReleaseStatement(QStringLiteral("Brisanta_Desktop_AutoUpdate"), QStringLiteral("2.35"), program)
            << QStringLiteral("otro programa (Brisanta_Desktop_AutoUpdate)");
        QTest::newRow("another product") << program << sim::signWithTestKey(otherProduct) + otherProduct
                                         << QStringLiteral("otro producto (Otra)");
        QTest::newRow("signed script") << script << sim::signedReleaseStatement(client, QStringLiteral("2.35"), script)
                                       << QStringLiteral("no es un programa");
        QTest::newRow("signed page") << page << sim::signedReleaseStatement(client, QStringLiteral("2.35"), page)
                                     << QStringLiteral("no es un programa");
    }
    void releaseCheck()
    {
        QFETCH(QByteArray, program);
        QFETCH(QByteArray, signedText);
        QFETCH(QString, refusal);
        const QString installed = QStringLiteral("2.34");
        const updater::ReleaseCheck check =
            updater::checkRelease(program, signedText, sim::testReleasePublicKey(), installed);
        QCOMPARE(check.ok, refusal.isEmpty());
        QVERIFY2(check.message.contains(refusal), qPrintable(check.message));
        if (!check.ok)
            QVERIFY(check.message.startsWith(QStringLiteral("La versión descargada no se ha instalado: ")));
        // Another key never accepts what the test key signed.
        QByteArray otherKey = sim::testReleasePublicKey();
        otherKey[0] = char(otherKey.at(0) ^ 0x40);
        QVERIFY(!updater::checkRelease(program, signedText, otherKey, installed).ok);
        QVERIFY(!updater::checkRelease(program, signedText, QByteArray(), installed).ok);
    }

    // The statement has one way only to be written; anything else is no statement.
    void statementForm_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("valid");
        const QByteArray digest(64, 'a');
        const QByteArray good = "producto=Brisanta\narchivo=Brisanta\nversion=2.35\nbytes=1024\nsha256=" + digest + "\n";
        const auto with = [&good](const QByteArray &from, const QByteArray &to) {
            QByteArray text = good;
            return text.replace(from, to);
        };
        QTest::newRow("as published") << good << true;
        QTest::newRow("a line repeated") << with("version=2.35\n", "version=2.35\nversion=2.99\n") << false;
        QTest::newRow("a line repeated in place of another") << with("archivo=Brisanta", "producto=Brisanta") << false;
        QTest::newRow("an unknown line") << good + "firmante=otro\n" << false;
        QTest::newRow("lines in another order") << with("producto=Brisanta\narchivo=Brisanta", "archivo=Brisanta\nproducto=Brisanta")
                                                << false;
        QTest::newRow("no last line feed") << good.chopped(1) << false;
        QTest::newRow("Windows line ends") << with("\n", "\r\n") << false;
        QTest::newRow("blanks around a value") << with("version=2.35", "version= 2.35") << false;
        QTest::newRow("empty value") << with("version=2.35", "version=") << false;
        QTest::newRow("letters in the version") << with("version=2.35", "version=2.35b") << false;
        QTest::newRow("version too long") << with("version=2.35", "version=2.35000000000") << false;
        QTest::newRow("size with leading zero") << with("bytes=1024", "bytes=01024") << false;
        QTest::newRow("size zero") << with("bytes=1024", "bytes=0") << false;
        QTest::newRow("negative size") << with("bytes=1024", "bytes=-1024") << false;
        QTest::newRow("upper-case digest") << with(digest, QByteArray(64, 'A')) << false;
        QTest::newRow("short digest") << with(digest, QByteArray(62, 'a')) << false;
        QTest::newRow("name with a folder") << with("archivo=Brisanta", "archivo=../Brisanta") << false;
        QTest::newRow("oversize") << with("producto=Brisanta", "producto=" + QByteArray(600, 'B')) << false;
    }
    void statementForm()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, valid);
        const std::optional<updater::ReleaseStatement> statement = updater::parseStatement(text);
        QCOMPARE(statement.has_value(), valid);
        if (valid)
            QCOMPARE(updater::composeStatement(*statement), text);
    }

    void publicKeyFromHex()
    {
        const QByteArray key = sim::testReleasePublicKey();
        QCOMPARE(updater::publicKeyFromHex(QString::fromLatin1(key.toHex())), key);
        QCOMPARE(updater::publicKeyFromHex(QString::fromLatin1(key.toHex().toUpper())), key);
        QVERIFY(updater::publicKeyFromHex(QString::fromLatin1(key.toHex().chopped(2))).isEmpty());
        QVERIFY(updater::publicKeyFromHex(QString::fromLatin1(key.toHex()).replace(0, 1, QLatin1Char('g'))).isEmpty());
        QVERIFY(updater::publicKeyFromHex(QString()).isEmpty());
    }

    void unsignedDownloadIsRefused_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("no signature published") << 0;
        QTest::newRow("signature of another file") << 1;
        QTest::newRow("signature by another key") << 2;
        QTest::newRow("signature too long") << 3;
    }
    void unsignedDownloadIsRefused()
    {
        QFETCH(int, kind);
        const QString signatureName = updater::signatureLocation(updater::clientFileName());
        switch (kind) {
        case 0: f->sim.setSignDownloads(false); break;
        case 1: f->sim.setDownload(signatureName, sim::signWithTestKey(kOldClient)); break;
        case 2: f->flow.setPublicKey(QByteArray(32, '\x11')); break;
        case 3: f->sim.setDownload(signatureName, QByteArray(100000, 'x')); break;
        }
        write(f->temporary, "left by an earlier attempt");
        f->prompter.answerMessage(ui::Answer::Ok);
        QSignalSpy ended(&f->flow, &updater::UpdateFlow::endRequested);
        QVERIFY(f->download());

        QCOMPARE(readFile(f->target), kOldClient);
        QVERIFY(f->shell.starts().isEmpty());
        QCOMPARE(f->prompter.count(), 1);
        QCOMPARE(f->prompter.lastCall().icon, ui::Icon::Critical);
        QVERIFY2(f->prompter.lastCall().text.startsWith(QStringLiteral("La versión descargada no se ha instalado")),
                 qPrintable(f->prompter.lastCall().text));
        QVERIFY(f->prompter.lastCall().text.contains(QStringLiteral("firma")));
        if (kind == 0) {
            // The program arrived whole: only its signature is missing, and the box says just that.
            const QString text = f->prompter.lastCall().text;
            QVERIFY2(text.contains(QStringLiteral("no se ha podido obtener su firma (el servidor ha respondido con el "
                                                  "error HTTP 404)"))
                         && !text.contains(QStringLiteral("No se ha descargado el archivo")),
                     qPrintable(text));
        }
        // Nothing unchecked is left in the program folder, and the window stays for another try.
        QVERIFY(!QFileInfo::exists(f->temporary));
        QVERIFY(!QFileInfo::exists(updater::signatureLocation(f->temporary)));
        QCOMPARE(ended.count(), 0);
        QVERIFY(!f->flow.isDownloading());
    }

    void keylessBuildNeverInstalls()
    {
        testing::ScriptedPrompter prompter;
        testing::RecordingShell shell;
        updater::UpdateFlow flow{prompter, shell, f->network};
        // A build given a key installs; the test build takes its key from the simulator instead.
        if (!updater::releasePublicKey().isEmpty())
            flow.setPublicKey(QByteArray());
        prompter.answerMessage(ui::Answer::Ok);
        QSignalSpy done(&flow, &updater::UpdateFlow::attemptFinished);
        flow.startDownload(updater::downloadUrl(), f->target);
        QVERIFY(done.count() == 1 || done.wait(kWait));
        QCOMPARE(done.first().first().toBool(), false);
        QCOMPARE(readFile(f->target), kOldClient);
        QCOMPARE(f->sim.requestCount(sim::Endpoint::Download), 0);
        QVERIFY(shell.starts().isEmpty());
        QCOMPARE(prompter.count(), 1);
        QCOMPARE(prompter.lastCall().text, updater::missingKeyMessage());
        QVERIFY(prompter.lastCall().text.contains(QStringLiteral("sin la clave pública")));
        QVERIFY(!flow.isDownloading());
    }

    void newClientThatDoesNotStartIsTakenBack()
    {
        // The new client's start fails; the previous one, put back, starts.
        f->shell.queueStartProgramResults({false, true});
        f->prompter.answerMessage(ui::Answer::Ok);
        QSignalSpy ended(&f->flow, &updater::UpdateFlow::endRequested);
        QSignalSpy done(&f->flow, &updater::UpdateFlow::attemptFinished);
        f->flow.startDownload(updater::downloadUrl(), f->target);
        QVERIFY(done.wait(kWait));

        QCOMPARE(done.first().first().toBool(), false);
        QCOMPARE(readFile(f->target), kOldClient);
        QVERIFY(QFileInfo(f->target).isExecutable());
        QVERIFY(!QFileInfo::exists(updater::previousPath(f->target)));
        QCOMPARE(f->shell.starts().size(), 2);
        QCOMPARE(f->shell.starts().at(1).program, f->target);
        QCOMPARE(f->prompter.count(), 1);
        QCOMPARE(f->prompter.lastCall().icon, ui::Icon::Critical);
        QVERIFY2(f->prompter.lastCall().text.contains(QStringLiteral("versión anterior")),
                 qPrintable(f->prompter.lastCall().text));
        QCOMPARE(ended.count(), 1);
    }

    void previousClientIsKeptUntilTheNewOneStarted()
    {
        // The moment the new client is started, the previous one is still there to go back to.
        QByteArray previousAtStart;
        QByteArray installedAtStart;
        f->shell.setOnStart([this, &previousAtStart, &installedAtStart](const QString &program) {
            previousAtStart = readFile(updater::previousPath(f->target));
            installedAtStart = readFile(f->target);
            startsLikeAClient(program);
        });
        f->prompter.answerMessage(ui::Answer::Ok);
        QVERIFY(f->download());
        QCOMPARE(previousAtStart, kOldClient);
        QCOMPARE(installedAtStart, newClientBytes());
        QVERIFY(!QFileInfo::exists(updater::previousPath(f->target)));

        // Taking it back when nothing was kept fails cleanly.
        const updater::ReplaceResult none = updater::restorePrevious(f->target);
        QVERIFY(!none.ok);
        QVERIFY(none.message.contains(QStringLiteral("versión anterior")));
        QCOMPARE(readFile(f->target), newClientBytes());
    }

    void oversizedDownloadIsRefused()
    {
        f->flow.download().setSizeLimit(1000);
        f->prompter.answerMessage(ui::Answer::Ok);
        f->prompter.answerMessage(ui::Answer::Ok);
        QVERIFY(f->download());
        QCOMPARE(readFile(f->target), kOldClient);
        QVERIFY(f->noDownloadLeft());
        QVERIFY2(f->prompter.lastCall().text.contains(QStringLiteral("tamaño máximo")),
                 qPrintable(f->prompter.lastCall().text));
        QCOMPARE(f->sim.requestCount(sim::Endpoint::Download), 1);
        QVERIFY(f->shell.starts().isEmpty());
    }

    void failedDownloadKeepsTheOldClient_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<QString>("status");
        QTest::newRow("HTTP 500") << int(sim::FaultKind::HttpError) << QStringLiteral("error HTTP 500");
        QTest::newRow("not found") << int(sim::FaultKind::NotFound) << QStringLiteral("error HTTP 404");
        QTest::newRow("truncated") << int(sim::FaultKind::Truncated) << QStringLiteral("La descarga está incompleta");
        QTest::newRow("time-out") << int(sim::FaultKind::Hang) << QStringLiteral("tiempo de espera");
        QTest::newRow("empty body") << int(sim::FaultKind::EmptyBody) << QStringLiteral("está vacío");
        QTest::newRow("error page with 200") << int(sim::FaultKind::CustomBody) << QStringLiteral("no es un programa");
    }
    void failedDownloadKeepsTheOldClient()
    {
        QFETCH(int, fault);
        QFETCH(QString, status);
        sim::Fault armed;
        armed.kind = sim::FaultKind(fault);
        armed.body = QStringLiteral("<HTML><BODY>Mantenimiento</BODY></HTML>");
        f->sim.armFault(sim::Endpoint::Download, armed);
        f->flow.download().setTimeout(std::chrono::milliseconds(500));
        f->prompter.answerMessage(ui::Answer::Ok);
        f->prompter.answerMessage(ui::Answer::Ok);
        QSignalSpy ended(&f->flow, &updater::UpdateFlow::endRequested);
        updater::UpdaterWindow window(f->flow, f->home.path());
        auto *downloadButton = window.findChild<QPushButton *>(QStringLiteral("Command1"));

        QSignalSpy done(&f->flow, &updater::UpdateFlow::attemptFinished);
        window.startDownload();
        QVERIFY(!downloadButton->isEnabled());
        QVERIFY(done.wait(kWait));

        QCOMPARE(readFile(f->target), kOldClient);
        QCOMPARE(f->prompter.count(), 2);
        QCOMPARE(f->prompter.calls().at(0).text, QStringLiteral("Hubo un error"));
        QCOMPARE(f->prompter.calls().at(0).icon, ui::Icon::Critical);
        QVERIFY2(f->prompter.calls().at(1).text.contains(status), qPrintable(f->prompter.calls().at(1).text));
        QCOMPARE(f->prompter.calls().at(1).icon, ui::Icon::Information);
        QVERIFY(f->shell.starts().isEmpty());
        QCOMPARE(ended.count(), 0);
        QVERIFY(f->noDownloadLeft());
        // The window stays and "Descargar" may be pressed again.
        QVERIFY(downloadButton->isEnabled());
    }

    void retryAfterAFailureSucceeds()
    {
        f->sim.armFault(sim::Endpoint::Download, sim::FaultKind::Truncated);
        for (int i = 0; i < 3; ++i)
            f->prompter.answerMessage(ui::Answer::Ok);
        QVERIFY(f->download());
        QCOMPARE(readFile(f->target), kOldClient);
        QVERIFY(f->download());
        QCOMPARE(readFile(f->target), newClientBytes());
        QCOMPARE(clientRequests(), 2);
    }

    // A disk that fills up during the download: the system's reason is given, not "Unknown error".
    void fullDiskKeepsTheOldClientAndSaysWhy()
    {
        f->prompter.answerMessage(ui::Answer::Ok);
        f->prompter.answerMessage(ui::Answer::Ok);
        bool finished = false;
        {
            const testing::FileSizeLimit full{1000};
            QVERIFY(full.isActive());
            finished = f->download();
        }
        QVERIFY(finished);
        QCOMPARE(readFile(f->target), kOldClient);
        QCOMPARE(f->prompter.calls().at(0).text, QStringLiteral("Hubo un error"));
        const QString text = f->prompter.calls().at(1).text;
        QVERIFY2(text.contains(QStringLiteral("espacio libre")) && text.contains(QString::fromLocal8Bit(std::strerror(EFBIG))),
                 qPrintable(text));
        QVERIFY(!text.contains(QStringLiteral("Unknown error")));
        QVERIFY(f->shell.starts().isEmpty());
        QVERIFY(f->noDownloadLeft());
    }

    // The record is written on a disk that takes only its first bytes: the installation stops with a
    // clear message and the record and the client stay as they were.
    void recordThatCannotBeWrittenStopsTheInstall()
    {
        const QByteArray key = sim::testReleasePublicKey();
        f->prompter.answerMessage(ui::Answer::Ok);
        QVERIFY(f->download());
        const QByteArray installed = readFile(f->target);
        const QByteArray record = readFile(updater::installRecordPath(f->target));
        QVERIFY(!record.isEmpty());
        f->sim.setVersionText(QStringLiteral("2.36"));
        f->sim.setDownload(updater::clientFileName(), readFile(QStringLiteral(BRISANTA_GOOD_CLIENT)));
        std::optional<testing::FileSizeLimit> full;
        connect(&f->flow.installer(), &updater::Installer::stepReached, this, [&full](updater::InstallStep step) {
            if (step == updater::InstallStep::PreviousKept)
                full.emplace(16);
        });
        f->prompter.answerMessage(ui::Answer::Ok);
        QSignalSpy done(&f->flow, &updater::UpdateFlow::attemptFinished);
        f->flow.startDownload(updater::downloadUrl(), f->target);
        const bool finished = done.wait(kWait);
        full.reset();
        QVERIFY(finished);
        QCOMPARE(done.first().first().toBool(), false);
        QVERIFY2(f->prompter.lastCall().text.contains(QStringLiteral("No se ha podido anotar")),
                 qPrintable(f->prompter.lastCall().text));
        QCOMPARE(readFile(f->target), installed);
        QCOMPARE(readFile(updater::installRecordPath(f->target)), record);
        QCOMPARE(updater::installedVersion(f->target, key), QStringLiteral("2.35"));
        QVERIFY(!QFileInfo::exists(updater::previousPath(f->target)));
        QVERIFY(f->noDownloadLeft());
    }

    void unwritableFolderByPermissions()
    {
        if (::geteuid() == 0)
            QSKIP("root may write into any folder");
        QFile::setPermissions(f->home.path(), QFile::ReadOwner | QFile::ExeOwner);
        f->prompter.answerMessage(ui::Answer::Ok);
        f->prompter.answerMessage(ui::Answer::Ok);
        const bool finished = f->download();
        QFile::setPermissions(f->home.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(finished);
        QCOMPARE(readFile(f->target), kOldClient);
        QVERIFY(f->prompter.calls().at(1).text.contains(QStringLiteral("permiso de escritura")));
    }

    void cancel()
    {
        // Nothing transferring: the updater ends at once.
        {
            QSignalSpy ended(&f->flow, &updater::UpdateFlow::endRequested);
            f->flow.cancel();
            QCOMPARE(ended.count(), 1);
        }
        // During a transfer the request reaches it with the next progress report; the window stays.
        sim::Fault slow;
        slow.kind = sim::FaultKind::Slow;
        slow.delay = std::chrono::milliseconds(200);
        f->sim.armFault(sim::Endpoint::Download, slow);
        f->prompter.answerMessage(ui::Answer::Ok);
        QSignalSpy ended(&f->flow, &updater::UpdateFlow::endRequested);
        QSignalSpy progressed(&f->flow, &updater::UpdateFlow::progressed);
        QSignalSpy done(&f->flow, &updater::UpdateFlow::attemptFinished);
        f->flow.startDownload(updater::downloadUrl(), f->target);
        QVERIFY(progressed.wait(kWait));
        // A second press while one runs starts nothing.
        f->flow.startDownload(updater::downloadUrl(), f->target);
        f->flow.cancel();
        QVERIFY(f->flow.cancelPending());
        QVERIFY(done.wait(kWait));

        QVERIFY(!f->flow.cancelPending());
        QCOMPARE(f->prompter.messageTexts(), QStringList{QStringLiteral("La descarga se ha cancelado.")});
        QCOMPARE(readFile(f->target), kOldClient);
        QVERIFY(f->noDownloadLeft());
        QCOMPARE(ended.count(), 0);
        QCOMPARE(f->sim.requestCount(sim::Endpoint::Download), 1);
        // Now nothing transfers: a second "Cancelar" ends the updater.
        f->flow.cancel();
        QCOMPARE(ended.count(), 1);
    }

    void clientsAreFoundByTheirExecutable()
    {
        StartedProgram client(QStringLiteral("/bin/sleep"), f->target, {QStringLiteral("60")});
        StartedProgram elsewhere(QStringLiteral("/bin/sleep"), f->home.file(QStringLiteral("otra/Brisanta")),
                                 {QStringLiteral("60")});
        StartedProgram longer(QStringLiteral("/bin/sleep"), f->home.file(QStringLiteral("Brisanta_Desktop_AutoUpdate")),
                              {QStringLiteral("60")});
        StartedProgram prefixed(QStringLiteral("/bin/sleep"), f->home.file(QStringLiteral("BrisantaViejo")),
                                {QStringLiteral("60")});
        QVERIFY(client.started() && elsewhere.started() && longer.started() && prefixed.started());

        QCOMPARE(updater::clientProcesses(f->target), QList<qint64>{client.pid()});
        QCOMPARE(endClients(f->target, std::chrono::milliseconds(3000)), 1);
        QVERIFY(client.waitForEnd());
        QVERIFY(elsewhere.running());
        QVERIFY(longer.running());
        QVERIFY(prefixed.running());
    }

    void clientStartedFromAReplacedFileIsStillFound()
    {
        StartedProgram client(QStringLiteral("/bin/sleep"), f->target, {QStringLiteral("60")});
        QVERIFY(client.started());
        write(f->temporary, kOldClient);
        QVERIFY(updater::replaceExecutable(f->temporary, f->target).ok);
        QCOMPARE(updater::clientProcesses(f->target), QList<qint64>{client.pid()});
    }

    void clientThatIgnoresTheRequestIsForced()
    {
        StartedProgram client(QStringLiteral("/bin/sh"), f->target,
                              {QStringLiteral("-c"), QStringLiteral("trap '' TERM; read line")});
        QVERIFY(client.started());
        QCOMPARE(endClients(f->target, std::chrono::milliseconds(200)), 1);
        QVERIFY(client.waitForEnd());
    }

    void runningClientIsEndedBeforeTheSwap()
    {
        StartedProgram client(QStringLiteral("/bin/sleep"), f->target, {QStringLiteral("60")});
        QVERIFY(client.started());
        f->prompter.answerMessage(ui::Answer::Ok);
        QVERIFY(f->download());
        QVERIFY(client.waitForEnd());
        QCOMPARE(readFile(f->target), newClientBytes());
        QCOMPARE(f->shell.starts().size(), 1);
    }

    void permissionsAfterTheSwap()
    {
        write(f->temporary, newClientBytes());
        QVERIFY(updater::replaceExecutable(f->temporary, f->target).ok);
        QCOMPARE(QFileInfo(f->target).permissions() & (QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther),
                 QFile::ExeOwner);
        // No old file to copy from: runnable by everyone who may read it.
        QFile::remove(f->target);
        write(f->temporary, newClientBytes());
        QVERIFY(updater::replaceExecutable(f->temporary, f->target).ok);
        QVERIFY(QFileInfo(f->target).permissions().testFlags(QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther));
    }

    void failedSwapKeepsTheOldClientAndSaysSo()
    {
        // A non-empty directory in the target's place cannot be replaced by a file.
        const QString target = f->home.file(QStringLiteral("bloqueado/Brisanta"));
        QVERIFY(QDir().mkpath(target + QStringLiteral("/dentro")));
        const QString temporary = updater::temporaryPath(target);
        write(temporary, newClientBytes());

        const updater::ReplaceResult result = updater::replaceExecutable(temporary, target);
        QVERIFY(!result.ok);
        QVERIFY(result.message.startsWith(QStringLiteral("No se ha podido sustituir")));
        QVERIFY(result.message.contains(QStringLiteral("no se ha modificado")));
        QVERIFY(QFileInfo(target).isDir());
        QCOMPARE(readFile(temporary), newClientBytes());

        // Through the whole flow: no thanks, an error box, and the installed program is started again.
        QFile::remove(temporary);
        f->prompter.answerMessage(ui::Answer::Ok);
        QSignalSpy done(&f->flow, &updater::UpdateFlow::attemptFinished);
        f->flow.startDownload(updater::downloadUrl(), target);
        QVERIFY(done.wait(kWait));
        QCOMPARE(done.first().first().toBool(), false);
        QCOMPARE(f->prompter.count(), 1);
        QCOMPARE(f->prompter.lastCall().title, QStringLiteral("Error"));
        QCOMPARE(f->prompter.lastCall().icon, ui::Icon::Critical);
        QCOMPARE(f->shell.starts().size(), 1);
        QCOMPARE(f->shell.starts().first().program, target);
        QVERIFY(!QFileInfo::exists(temporary));
        QVERIFY(!QFileInfo::exists(updater::signatureLocation(temporary)));
        QVERIFY(!QFileInfo::exists(updater::installRecordPath(target)));
    }

    // The maker's signature says which release it is: an older one, or another of the maker's
    // programs, passed on by whoever stands between the updater and the download folder, is refused.
    void olderSignedReleaseIsRefused_data()
    {
        QTest::addColumn<QString>("version");
        QTest::newRow("the installed version") << QStringLiteral("2.34");
        QTest::newRow("an older one") << QStringLiteral("2.33");
        // Versions are compared as texts, as the client's version check compares them.
        QTest::newRow("longer, yet lower as text") << QStringLiteral("2.100");
        QTest::newRow("two digits first") << QStringLiteral("10.0");
    }
    void olderSignedReleaseIsRefused()
    {
        QFETCH(QString, version);
        f->sim.setVersionText(version);
        for (int i = 0; i < 2; ++i)
            f->prompter.answerMessage(ui::Answer::Ok);
        QSignalSpy ended(&f->flow, &updater::UpdateFlow::endRequested);
        QVERIFY(f->download());

        QCOMPARE(readFile(f->target), kOldClient);
        QVERIFY(f->shell.starts().isEmpty());
        QCOMPARE(f->prompter.count(), 1);
        QCOMPARE(f->prompter.lastCall().icon, ui::Icon::Critical);
        const QString text = f->prompter.lastCall().text;
        QVERIFY2(text.contains(QStringLiteral("versión ") + version)
                     && text.contains(QStringLiteral("no es posterior a la instalada (2.34)")),
                 qPrintable(text));
        QVERIFY(f->noDownloadLeft());
        QCOMPARE(ended.count(), 0);
    }

    void installedReleaseIsNotInstalledAgain()
    {
        f->prompter.answerMessage(ui::Answer::Ok);
        QVERIFY(f->download());
        QCOMPARE(readFile(f->target), newClientBytes());
        // Its statement stays beside it and tells which release is installed.
        const QByteArray key = sim::testReleasePublicKey();
        QVERIFY(QFileInfo::exists(updater::signatureLocation(f->target)));
        QCOMPARE(updater::installedVersion(f->target, key), QStringLiteral("2.35"));

        // The same release again, once installed, is no update.
        for (int i = 0; i < 2; ++i)
            f->prompter.answerMessage(ui::Answer::Ok);
        f->shell.clear();
        QVERIFY(f->download());
        QVERIFY(f->shell.starts().isEmpty());
        QVERIFY2(f->prompter.lastCall().text.contains(QStringLiteral("no es posterior a la instalada (2.35)")),
                 qPrintable(f->prompter.lastCall().text));
        QVERIFY(f->noDownloadLeft());

        // A newer one is.
        f->sim.setVersionText(QStringLiteral("2.36"));
        QSignalSpy done(&f->flow, &updater::UpdateFlow::attemptFinished);
        f->flow.startDownload(updater::downloadUrl(), f->target);
        QVERIFY(done.wait(kWait));
        QCOMPARE(done.first().first().toBool(), true);
        QCOMPARE(f->shell.starts().size(), 1);
        QCOMPARE(updater::installedVersion(f->target, key), QStringLiteral("2.36"));

        // A statement beside another file (a client put there by the full installer), or one not
        // signed by the maker, says nothing: the version this updater was built with counts. (Without
        // the record of the newest release installed here, which is looked at on its own below.)
        QVERIFY(QFile::remove(updater::installRecordPath(f->target)));
        const QByteArray kept = readFile(updater::signatureLocation(f->target));
        write(f->target, kOldClient);
        QCOMPARE(updater::installedVersion(f->target, key), QStringLiteral("2.34"));
        write(f->target, newClientBytes());
        QCOMPARE(updater::installedVersion(f->target, key), QStringLiteral("2.36"));
        QCOMPARE(updater::installedVersion(f->target, QByteArray(32, '\x11')), QStringLiteral("2.34"));
        QByteArray forged = kept;
        forged.replace("version=2.36", "version=9.99");
        write(updater::signatureLocation(f->target), forged);
        QCOMPARE(updater::installedVersion(f->target, key), QStringLiteral("2.34"));
    }

    void anotherSignedProgramIsRefused()
    {
        // The maker signed this program too, under its own name.
        const QString otherName = QStringLiteral("Brisanta_Desktop_AutoUpdate");
        const QByteArray otherProgram = readFile(QStringLiteral("/bin/false"));
        f->sim.setDownload(otherName, otherProgram);
        const QByteArray otherSignature = f->fetch(updater::signatureLocation(otherName));
        QVERIFY(!otherSignature.isEmpty());
        f->sim.setDownload(updater::clientFileName(), otherProgram);
        f->sim.setDownload(updater::signatureLocation(updater::clientFileName()), otherSignature);
        for (int i = 0; i < 2; ++i)
            f->prompter.answerMessage(ui::Answer::Ok);
        QVERIFY(f->download());

        QCOMPARE(readFile(f->target), kOldClient);
        QVERIFY(f->shell.starts().isEmpty());
        QCOMPARE(f->prompter.count(), 1);
        QVERIFY2(f->prompter.lastCall().text.contains(QStringLiteral("otro programa (") + otherName + QStringLiteral(")")),
                 qPrintable(f->prompter.lastCall().text));
        QVERIFY(f->noDownloadLeft());
    }

    void signatureOfOneReleaseWithTheBytesOfAnotherIsRefused()
    {
        const QByteArray genuineSignature = f->fetch(updater::signatureLocation(updater::clientFileName()));
        QVERIFY(!genuineSignature.isEmpty());
        f->sim.setDownload(updater::clientFileName(), readFile(QStringLiteral("/bin/false")));
        f->sim.setDownload(updater::signatureLocation(updater::clientFileName()), genuineSignature);
        for (int i = 0; i < 2; ++i)
            f->prompter.answerMessage(ui::Answer::Ok);
        QVERIFY(f->download());

        QCOMPARE(readFile(f->target), kOldClient);
        QVERIFY(f->shell.starts().isEmpty());
        QCOMPARE(f->prompter.count(), 1);
        QVERIFY2(f->prompter.lastCall().text.contains(QStringLiteral("firma")), qPrintable(f->prompter.lastCall().text));
        QVERIFY(f->noDownloadLeft());
    }

    // A signed client that ends as soon as it starts, or never comes up, is no client: the previous
    // one goes back and runs.
    void newClientThatCannotRunIsTakenBack_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("problem");
        QTest::addColumn<int>("limit");
        QTest::newRow("ends at once") << QStringLiteral(BRISANTA_FAKE_CLIENT) << QStringLiteral("código de error 127")
                                      << kWait;
        // Never ends, so the outcome does not depend on how short the wait is.
        QTest::newRow("never comes up") << QStringLiteral(BRISANTA_HANGING_CLIENT)
                                        << QStringLiteral("no ha terminado de arrancar") << 300;
    }
    void newClientThatCannotRunIsTakenBack()
    {
        QFETCH(QString, program);
        QFETCH(QString, problem);
        QFETCH(int, limit);
        f->flow.setSelfCheckLimit(std::chrono::milliseconds(limit));
        f->sim.setDownload(updater::clientFileName(), readFile(program));
        for (int i = 0; i < 2; ++i)
            f->prompter.answerMessage(ui::Answer::Ok);
        QSignalSpy ended(&f->flow, &updater::UpdateFlow::endRequested);
        QSignalSpy done(&f->flow, &updater::UpdateFlow::attemptFinished);
        f->flow.startDownload(updater::downloadUrl(), f->target);
        QVERIFY(done.wait(kWait));

        QCOMPARE(done.first().first().toBool(), false);
        QCOMPARE(readFile(f->target), kOldClient);
        QVERIFY(QFileInfo(f->target).isExecutable());
        QVERIFY(!QFileInfo::exists(updater::previousPath(f->target)));
        QVERIFY(f->noDownloadLeft());
        // Only the previous client was started, through the shell, after it was put back.
        QCOMPARE(f->shell.starts().size(), 1);
        QCOMPARE(f->shell.starts().first().program, f->target);
        QCOMPARE(f->prompter.count(), 1);
        QCOMPARE(f->prompter.lastCall().icon, ui::Icon::Critical);
        const QString text = f->prompter.lastCall().text;
        QVERIFY2(text.contains(QStringLiteral("no se ha podido iniciar")) && text.contains(problem)
                     && text.contains(QStringLiteral("versión anterior")),
                 qPrintable(text));
        QCOMPARE(ended.count(), 1);
        // Whatever the check started is gone.
        QVERIFY(updater::clientProcesses(f->target).isEmpty());
        // Nothing newer was installed after all: the same release may be tried again.
        QVERIFY(!QFileInfo::exists(updater::installRecordPath(f->target)));
        QCOMPARE(updater::installedVersion(f->target, sim::testReleasePublicKey()), QStringLiteral("2.34"));
    }

    // An updater ended while the new client is being proven (a user who force-quits it during the
    // self-check or the first start) leaves the newer client in place: an older release, signed by
    // the maker and passed on again, is still refused.
    void interruptedSwapNeverStepsBack()
    {
        f->prompter.answerMessage(ui::Answer::Ok);
        QVERIFY(f->download());
        const QByteArray newer = readFile(QStringLiteral(BRISANTA_GOOD_CLIENT));
        f->sim.setVersionText(QStringLiteral("2.36"));
        f->sim.setDownload(updater::clientFileName(), newer);
        FolderState atStart;
        f->shell.setOnStart([this, &atStart](const QString &program) {
            if (atStart.empty())
                atStart = folderState(f->home.path());
            startsLikeAClient(program);
        });
        f->prompter.answerMessage(ui::Answer::Ok);
        QVERIFY(f->download());
        QCOMPARE(readFile(f->target), newer);
        QVERIFY(!atStart.empty());

        // Ended as the new client was being started.
        restoreFolder(f->home.path(), atStart);
        QCOMPARE(readFile(f->target), newer);
        QCOMPARE(updater::installedVersion(f->target, sim::testReleasePublicKey()), QStringLiteral("2.36"));
        // "Descargar" first finishes the installation the ended updater left.
        f->prompter.answerMessage(ui::Answer::Ok);
        QVERIFY(f->download());
        QCOMPARE(f->prompter.lastCall().title, QStringLiteral("Actualización completada"));
        f->sim.setVersionText(QStringLiteral("2.35"));
        f->sim.setDownload(updater::clientFileName(), newClientBytes());
        for (int i = 0; i < 2; ++i)
            f->prompter.answerMessage(ui::Answer::Ok);
        f->shell.clear();
        QVERIFY(f->download());
        QCOMPARE(readFile(f->target), newer);
        QVERIFY(f->shell.starts().isEmpty());
        QVERIFY2(f->prompter.lastCall().text.contains(QStringLiteral("no es posterior a la instalada (2.36)")),
                 qPrintable(f->prompter.lastCall().text));
    }

    // Wherever an updater is ended during an installation, the next one finishes it or puts the
    // previous client back, and leaves one whole client with nothing half-done around it, and the
    // install record naming the release in place: a release taken back may be installed later. An
    // installation that was over by then is only tidied: the user's running client is left alone.
    // The next updater is started by hand here, without the client, as a user whose new client
    // cannot start does.
    void interruptedInstallIsFinishedOrUndone_data()
    {
        QTest::addColumn<int>("step");
        QTest::addColumn<bool>("newClientBroken");
        QTest::addColumn<bool>("downloadGone");
        QTest::addColumn<bool>("wasOver");
        using updater::InstallStep;
        QTest::newRow("previous client kept") << int(InstallStep::PreviousKept) << false << false << false;
        QTest::newRow("version recorded") << int(InstallStep::VersionRecorded) << false << false << false;
        QTest::newRow("version recorded, download gone") << int(InstallStep::VersionRecorded) << false << true << false;
        QTest::newRow("swapped") << int(InstallStep::Swapped) << false << false << false;
        QTest::newRow("self-check running") << int(InstallStep::SelfCheckStarted) << false << false << false;
        QTest::newRow("new client started") << int(InstallStep::ClientStarted) << false << false << false;
        QTest::newRow("window shown") << int(InstallStep::WindowShown) << false << false << false;
        QTest::newRow("statement kept") << int(InstallStep::StatementKept) << false << false << true;
        QTest::newRow("swapped, new client never shows its window") << int(InstallStep::Swapped) << true << false << false;
        QTest::newRow("new client started, never shows its window") << int(InstallStep::ClientStarted) << true << false
                                                                     << false;
    }
    void interruptedInstallIsFinishedOrUndone()
    {
        QFETCH(int, step);
        QFETCH(bool, newClientBroken);
        QFETCH(bool, downloadGone);
        QFETCH(bool, wasOver);
        const QByteArray key = sim::testReleasePublicKey();
        f->prompter.answerMessage(ui::Answer::Ok);
        QVERIFY(f->download());
        const QByteArray older = readFile(f->target);
        const QByteArray newer = readFile(QStringLiteral(BRISANTA_GOOD_CLIENT));
        f->sim.setVersionText(QStringLiteral("2.36"));
        f->sim.setDownload(updater::clientFileName(), newer);
        FolderState atStep;
        connect(&f->flow.installer(), &updater::Installer::stepReached, this,
                [this, step, &atStep](updater::InstallStep reached) {
                    if (int(reached) == step)
                        atStep = folderState(f->home.path());
                });
        f->prompter.answerMessage(ui::Answer::Ok);
        QVERIFY(f->download());
        QVERIFY(!atStep.empty());
        restoreFolder(f->home.path(), atStep);
        if (downloadGone) {
            for (const QString &name : filesStartingWith(f->temporary))
                QVERIFY(QFile::remove(f->home.file(name)));
        }

        // The next updater, as it starts.
        testing::ScriptedPrompter prompter;
        testing::RecordingShell shell;
        if (!newClientBroken)
            shell.setOnStart(startsLikeAClient);
        updater::UpdateFlow again{prompter, shell, f->network};
        again.setPublicKey(key);
        again.setClientGrace(std::chrono::milliseconds(2000));
        prompter.answerMessage(ui::Answer::Ok);
        QSignalSpy done(&again, &updater::UpdateFlow::attemptFinished);
        again.resumeInterrupted(f->target);
        if (again.isBusy())
            QVERIFY(done.wait(kWait));
        QVERIFY(!again.isBusy());

        QVERIFY(!QFileInfo::exists(updater::previousPath(f->target)));
        QVERIFY(!QFileInfo::exists(brand::startMarkerPath(f->target)));
        QVERIFY(!QFileInfo::exists(brand::runMarkerPath(f->target)));
        QVERIFY(QFileInfo(f->target).isExecutable());
        QVERIFY(f->noDownloadLeft());
        if (newClientBroken || downloadGone) {
            QCOMPARE(readFile(f->target), older);
            QCOMPARE(updater::installedVersion(f->target, key), QStringLiteral("2.35"));
            if (newClientBroken) {
                QCOMPARE(done.count(), 1);
                QCOMPARE(done.first().first().toBool(), false);
                QVERIFY2(prompter.lastCall().text.contains(QStringLiteral("versión anterior")),
                         qPrintable(prompter.lastCall().text));
            } else {
                QCOMPARE(prompter.count(), 0);
            }
            // The release that did not get installed is taken when offered again.
            f->shell.setOnStart(startsLikeAClient);
            f->prompter.answerMessage(ui::Answer::Ok);
            QVERIFY(f->download());
            QCOMPARE(readFile(f->target), newer);
            QCOMPARE(updater::installedVersion(f->target, key), QStringLiteral("2.36"));
            return;
        }
        QCOMPARE(readFile(f->target), newer);
        QCOMPARE(updater::installedVersion(f->target, key), QStringLiteral("2.36"));
        const auto kept = updater::clientStatementIn(updater::signatureLocation(f->target), key);
        QVERIFY(kept && updater::describesFile(*kept, f->target));
        QCOMPARE(readFile(updater::installRecordPath(f->target)), readFile(updater::signatureLocation(f->target)));
        if (wasOver) {
            QCOMPARE(done.count(), 0);
            QCOMPARE(prompter.count(), 0);
            QVERIFY(shell.starts().isEmpty());
            return;
        }
        QCOMPARE(done.count(), 1);
        QCOMPARE(done.first().first().toBool(), true);
        QCOMPARE(prompter.lastCall().title, QStringLiteral("Actualización completada"));
        QCOMPARE(shell.starts().size(), 1);
    }

    // An installation that does not take place puts the install record back; when that cannot be
    // done the record still names a release that is not installed, and the user is told so.
    void recordThatCannotBePutBackIsReported_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<int>("step");
        QTest::addColumn<bool>("folderLocked"); // else the record's place is taken by a folder
        QTest::addColumn<QString>("outcome");
        using updater::InstallStep;
        // The program folder stops taking changes once the version is recorded: the swap fails too.
        QTest::newRow("swap refused") << QStringLiteral(BRISANTA_GOOD_CLIENT) << int(InstallStep::VersionRecorded)
                                      << true << QStringLiteral("no se ha modificado");
        QTest::newRow("new client taken back") << QStringLiteral(BRISANTA_FAKE_CLIENT)
                                               << int(InstallStep::SelfCheckStarted) << false
                                               << QStringLiteral("Se ha vuelto a poner la versión anterior");
    }
    void recordThatCannotBePutBackIsReported()
    {
        QFETCH(QString, program);
        QFETCH(int, step);
        QFETCH(bool, folderLocked);
        QFETCH(QString, outcome);
        const QString record = updater::installRecordPath(f->target);
        f->sim.setDownload(updater::clientFileName(), readFile(program));
        f->prompter.answerMessage(ui::Answer::Ok);
        std::optional<LockedFolder> locked;
        bool blocked = false;
        connect(&f->flow.installer(), &updater::Installer::stepReached, this,
                [&, step](updater::InstallStep reached) {
                    if (int(reached) != step || !QFileInfo::exists(record))
                        return;
                    if (folderLocked) {
                        locked.emplace(f->home.path());
                        blocked = locked->ok();
                    } else {
                        blocked = QFile::remove(record) && QDir().mkpath(record + QStringLiteral("/dentro"));
                    }
                });
        QSignalSpy done(&f->flow, &updater::UpdateFlow::attemptFinished);
        f->flow.startDownload(updater::downloadUrl(), f->target);
        const bool finished = done.wait(kWait);
        locked.reset();
        QVERIFY(finished);
        QVERIFY(blocked);

        QCOMPARE(done.first().first().toBool(), false);
        QCOMPARE(readFile(f->target), kOldClient);
        QCOMPARE(f->prompter.count(), 1);
        QCOMPARE(f->prompter.lastCall().icon, ui::Icon::Critical);
        const QString text = f->prompter.lastCall().text;
        QVERIFY2(text.contains(outcome), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("No se ha podido devolver el registro de la versión instalada"))
                     && text.contains(record),
                 qPrintable(text));
    }

    // An updater ended after the client was taken away and before anything took its place: the next
    // one puts the previous client back, or says where it is and leaves it there.
    void missingClientIsPutBackOrReported_data()
    {
        QTest::addColumn<bool>("folderLocked");
        QTest::newRow("put back") << false;
        QTest::newRow("cannot be put back") << true;
    }
    void missingClientIsPutBackOrReported()
    {
        QFETCH(bool, folderLocked);
        const QString previous = updater::previousPath(f->target);
        QVERIFY(QFile::rename(f->target, previous));

        testing::ScriptedPrompter prompter;
        testing::RecordingShell shell;
        updater::UpdateFlow again{prompter, shell, f->network};
        again.setPublicKey(sim::testReleasePublicKey());
        prompter.answerMessage(ui::Answer::Ok);
        {
            std::optional<LockedFolder> locked;
            if (folderLocked) {
                locked.emplace(f->home.path());
                QVERIFY(locked->ok());
            }
            again.resumeInterrupted(f->target);
        }
        QVERIFY(!again.isBusy());
        if (!folderLocked) {
            QCOMPARE(readFile(f->target), kOldClient);
            QVERIFY(!QFileInfo::exists(previous));
            QCOMPARE(prompter.count(), 0);
            return;
        }
        // The only client there is stays where it is.
        QVERIFY(!QFileInfo::exists(f->target));
        QCOMPARE(readFile(previous), kOldClient);
        QCOMPARE(prompter.count(), 1);
        QCOMPARE(prompter.lastCall().icon, ui::Icon::Critical);
        const QString text = prompter.lastCall().text;
        QVERIFY2(text.contains(QStringLiteral("No se ha podido volver a poner la versión anterior"))
                     && text.contains(QStringLiteral("está en ") + previous) && text.contains(f->target),
                 qPrintable(text));
    }

    // Nothing to finish: the next updater starts quietly.
    void nothingToResume()
    {
        testing::ScriptedPrompter prompter;
        testing::RecordingShell shell;
        updater::UpdateFlow again{prompter, shell, f->network};
        again.resumeInterrupted(f->target);
        QVERIFY(!again.isBusy());
        QCOMPARE(prompter.count(), 0);
        QVERIFY(shell.starts().isEmpty());
        QCOMPARE(readFile(f->target), kOldClient);
    }

    // The previous client goes only once the new one has really started and shown its window; one that
    // gets only as far as its self-check is taken back.
    void newClientMustShowItsWindow_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<bool>("kept");
        QTest::newRow("starts only for its self-check") << QStringLiteral(BRISANTA_SELF_CHECK_ONLY_CLIENT) << false;
        QTest::newRow("runs like a client") << QStringLiteral(BRISANTA_GOOD_CLIENT) << true;
    }
    void newClientMustShowItsWindow()
    {
        QFETCH(QString, program);
        QFETCH(bool, kept);
        ui::DesktopShell shell;
        updater::UpdateFlow flow{f->prompter, shell, f->network};
        flow.setPublicKey(sim::testReleasePublicKey());
        flow.setClientGrace(std::chrono::milliseconds(2000));
        f->sim.setDownload(updater::clientFileName(), readFile(program));
        f->prompter.answerMessage(ui::Answer::Ok);
        QSignalSpy done(&flow, &updater::UpdateFlow::attemptFinished);
        flow.startDownload(updater::downloadUrl(), f->target);
        QVERIFY(done.wait(kWait));

        QCOMPARE(done.first().first().toBool(), kept);
        QCOMPARE(readFile(f->target), kept ? readFile(program) : kOldClient);
        QVERIFY(!QFileInfo::exists(updater::previousPath(f->target)));
        QVERIFY(!QFileInfo::exists(brand::startMarkerPath(f->target)));
        QVERIFY(f->noDownloadLeft());
        QCOMPARE(f->prompter.count(), 1);
        const QString text = f->prompter.lastCall().text;
        if (kept) {
            QCOMPARE(f->prompter.lastCall().title, QStringLiteral("Actualización completada"));
        } else {
            QVERIFY2(text.contains(QStringLiteral("no se ha podido iniciar"))
                         && text.contains(QStringLiteral("sin llegar a mostrar su ventana"))
                         && text.contains(QStringLiteral("versión anterior")),
                     qPrintable(text));
        }
    }

    // A client may say its window is up and be closed again while the updater looks for it among the
    // running processes: that client started, and it stays.
    void clientThatStartedAndEndedBetweenTwoLooksIsKept()
    {
        f->shell.setOnStart([](const QString &) {});
        const QString marker = brand::startMarkerPath(f->target);
        f->flow.installer().setProcessLister([this, marker](const QString &) {
            QFile::remove(marker);
            brand::confirmEndedNormally(f->target);
            return QList<qint64>();
        });
        f->prompter.answerMessage(ui::Answer::Ok);
        QSignalSpy done(&f->flow, &updater::UpdateFlow::attemptFinished);
        f->flow.startDownload(updater::downloadUrl(), f->target);
        QVERIFY(done.wait(kWait));

        QVERIFY2(done.first().first().toBool(), qPrintable(f->prompter.lastCall().text));
        QCOMPARE(readFile(f->target), newClientBytes());
        QVERIFY(!QFileInfo::exists(updater::previousPath(f->target)));
        QCOMPARE(f->prompter.lastCall().title, QStringLiteral("Actualización completada"));
    }

    // A release taken back was never installed: the record falls back to the release in place, and
    // the same release may be tried again.
    void releaseTakenBackMayBeTriedAgain()
    {
        const QByteArray key = sim::testReleasePublicKey();
        f->prompter.answerMessage(ui::Answer::Ok);
        QVERIFY(f->download());
        const QByteArray older = readFile(f->target);
        f->sim.setVersionText(QStringLiteral("2.36"));
        f->sim.setDownload(updater::clientFileName(), readFile(QStringLiteral(BRISANTA_GOOD_CLIENT)));
        // This time the new client never says its window is up.
        f->shell.setOnStart({});
        f->prompter.answerMessage(ui::Answer::Ok);
        QVERIFY(f->download());
        QCOMPARE(readFile(f->target), older);
        QCOMPARE(updater::installedVersion(f->target, key), QStringLiteral("2.35"));

        f->shell.setOnStart(startsLikeAClient);
        f->prompter.answerMessage(ui::Answer::Ok);
        QVERIFY(f->download());
        QCOMPARE(readFile(f->target), readFile(QStringLiteral(BRISANTA_GOOD_CLIENT)));
        QCOMPARE(updater::installedVersion(f->target, key), QStringLiteral("2.36"));
    }

    // The window keeps answering while the new client runs its self-check.
    void windowAnswersDuringTheSelfCheck()
    {
        f->flow.setSelfCheckLimit(std::chrono::milliseconds(kWait));
        f->sim.setDownload(updater::clientFileName(), readFile(QStringLiteral(BRISANTA_HANGING_CLIENT)));
        for (int i = 0; i < 2; ++i)
            f->prompter.answerMessage(ui::Answer::Ok);
        QSignalSpy done(&f->flow, &updater::UpdateFlow::attemptFinished);
        QSignalSpy ended(&f->flow, &updater::UpdateFlow::endRequested);
        bool seenRunning = false;
        bool cancelIgnored = false;
        QTimer poll;
        poll.setInterval(20);
        connect(&poll, &QTimer::timeout, this, [this, &done, &ended, &seenRunning, &cancelIgnored] {
            if (!done.isEmpty() || seenRunning)
                return;
            const QList<qint64> running = updater::clientProcesses(f->target);
            if (running.isEmpty())
                return;
            seenRunning = true;
            // "Cancelar" cannot leave a swap half done.
            f->flow.cancel();
            cancelIgnored = ended.isEmpty() && f->flow.isBusy();
            // Ending the check's client lets the check fail at once.
            ::kill(pid_t(running.first()), SIGKILL);
        });
        poll.start();
        f->flow.startDownload(updater::downloadUrl(), f->target);
        QVERIFY(done.wait(2 * kWait));
        poll.stop();
        QVERIFY(seenRunning);
        QVERIFY(cancelIgnored);
        QCOMPARE(readFile(f->target), kOldClient);
        QVERIFY2(f->prompter.lastCall().text.contains(QStringLiteral("de forma anormal")),
                 qPrintable(f->prompter.lastCall().text));
    }

    // The statement kept beside the client names its release only for exactly the bytes it describes.
    void keptStatementIsTiedToTheFileBytes()
    {
        const QByteArray key = sim::testReleasePublicKey();
        f->prompter.answerMessage(ui::Answer::Ok);
        QVERIFY(f->download());
        QVERIFY(QFile::remove(updater::installRecordPath(f->target)));
        QCOMPARE(updater::installedVersion(f->target, key), QStringLiteral("2.35"));
        // Same size, one bit changed.
        QByteArray other = newClientBytes();
        other[other.size() / 2] = char(other.at(other.size() / 2) ^ 1);
        QVERIFY(write(f->target, other));
        QCOMPARE(updater::installedVersion(f->target, key), QStringLiteral("2.34"));
    }

    // One update per program folder at a time: a second updater says so and changes nothing, neither
    // at its start nor on "Descargar"; the first one's lock goes when its attempt is over.
    void secondUpdaterChangesNothing()
    {
        sim::Fault slow;
        slow.kind = sim::FaultKind::Slow;
        slow.delay = std::chrono::milliseconds(200);
        f->sim.armFault(sim::Endpoint::Download, slow);
        f->prompter.answerMessage(ui::Answer::Ok);
        QSignalSpy progressed(&f->flow, &updater::UpdateFlow::progressed);
        QSignalSpy done(&f->flow, &updater::UpdateFlow::attemptFinished);
        f->flow.startDownload(updater::downloadUrl(), f->target);
        QVERIFY(progressed.wait(kWait));
        const QStringList namesBefore = QDir(f->home.path()).entryList(QDir::Files | QDir::Hidden);

        testing::ScriptedPrompter prompter;
        testing::RecordingShell shell;
        updater::UpdateFlow second{prompter, shell, f->network};
        second.setPublicKey(sim::testReleasePublicKey());
        for (int i = 0; i < 2; ++i)
            prompter.answerMessage(ui::Answer::Ok);
        second.resumeInterrupted(f->target);
        QVERIFY(!second.isBusy());
        QSignalSpy secondDone(&second, &updater::UpdateFlow::attemptFinished);
        second.startDownload(updater::downloadUrl(), f->target);
        QCOMPARE(secondDone.count(), 1);
        QCOMPARE(secondDone.first().first().toBool(), false);
        QVERIFY(!second.isBusy());
        QCOMPARE(prompter.count(), 2);
        for (const auto &call : prompter.calls())
            QCOMPARE(call.text, updater::updateRunningMessage());
        QCOMPARE(QDir(f->home.path()).entryList(QDir::Files | QDir::Hidden), namesBefore);
        QVERIFY(shell.starts().isEmpty());
        QVERIFY(f->flow.isDownloading());

        f->flow.cancel();
        QVERIFY(done.wait(kWait));
        updater::InstallLock after;
        QVERIFY(after.take(f->target).isEmpty());
    }

    // A new client that crashes soon after its window is up is not kept: the previous one goes back.
    void newClientThatCrashesSoonAfterItsWindowIsTakenBack()
    {
        // Its window comes up, and it ends without passing through its normal end.
        f->shell.setOnStart([](const QString &program) { brand::confirmStarted(program); });
        f->prompter.answerMessage(ui::Answer::Ok);
        QSignalSpy done(&f->flow, &updater::UpdateFlow::attemptFinished);
        f->flow.startDownload(updater::downloadUrl(), f->target);
        QVERIFY(done.wait(kWait));
        QCOMPARE(done.first().first().toBool(), false);
        QCOMPARE(readFile(f->target), kOldClient);
        QCOMPARE(updater::installedVersion(f->target, sim::testReleasePublicKey()), QStringLiteral("2.34"));
        const QString text = f->prompter.lastCall().text;
        QVERIFY2(text.contains(QStringLiteral("poco después de mostrar su ventana"))
                     && text.contains(QStringLiteral("versión anterior")),
                 qPrintable(text));
        QVERIFY(!QFileInfo::exists(brand::runMarkerPath(f->target)));
        QVERIFY(f->noDownloadLeft());
    }

    // The previous client goes once the new one has run for ten seconds after its window came up, and
    // a client that takes long to come up is given two minutes. The clock is moved by hand.
    void newClientIsWatchedForItsTime_data()
    {
        QTest::addColumn<bool>("showsItsWindow");
        QTest::addColumn<int>("lastMomentKept");
        QTest::addColumn<bool>("kept");
        QTest::newRow("runs ten seconds") << true << 9999 << true;
        QTest::newRow("window after two minutes") << false << 119999 << false;
    }
    void newClientIsWatchedForItsTime()
    {
        QFETCH(bool, showsItsWindow);
        QFETCH(int, lastMomentKept);
        QFETCH(bool, kept);
        std::chrono::milliseconds now{0};
        f->flow.installer().setClock([&now] { return now; });
        f->shell.setOnStart([showsItsWindow](const QString &program) {
            if (showsItsWindow)
                brand::confirmStarted(program);
        });
        int looks = 0;
        // Still running, as far as the installer can tell.
        f->flow.installer().setProcessLister([&looks](const QString &) {
            ++looks;
            return QList<qint64>{qint64(1)};
        });
        f->prompter.answerMessage(ui::Answer::Ok);
        QSignalSpy done(&f->flow, &updater::UpdateFlow::attemptFinished);
        f->flow.startDownload(updater::downloadUrl(), f->target);
        QTRY_VERIFY_WITH_TIMEOUT(looks >= 1, kWait);
        now = std::chrono::milliseconds(lastMomentKept);
        const int seen = looks;
        QTRY_VERIFY_WITH_TIMEOUT(looks >= seen + 2, kWait);
        QVERIFY(done.isEmpty());
        QVERIFY(QFileInfo::exists(updater::previousPath(f->target)));

        now += std::chrono::milliseconds(1);
        QVERIFY(done.wait(kWait));
        QCOMPARE(done.first().first().toBool(), kept);
        QVERIFY(!QFileInfo::exists(updater::previousPath(f->target)));
        if (kept) {
            QCOMPARE(readFile(f->target), newClientBytes());
            QCOMPARE(f->prompter.lastCall().title, QStringLiteral("Actualización completada"));
        } else {
            QCOMPARE(readFile(f->target), kOldClient);
            QVERIFY2(f->prompter.lastCall().text.contains(QStringLiteral("no ha mostrado su ventana en 120 segundos")),
                     qPrintable(f->prompter.lastCall().text));
        }
    }

    // A new client that disappears between its check and its start is taken back with the reason.
    void newClientGoneBeforeItsStartIsTakenBackWithTheReason()
    {
        bool removed = false;
        f->shell.setOnStart([&removed](const QString &program) {
            if (!removed)
                removed = QFile::remove(program);
        });
        f->shell.queueStartProgramResults({false});
        f->prompter.answerMessage(ui::Answer::Ok);
        QVERIFY(f->download());
        QVERIFY(removed);
        QCOMPARE(readFile(f->target), kOldClient);
        const QString text = f->prompter.lastCall().text;
        QVERIFY2(text.contains(QStringLiteral("no se encuentra el archivo ") + f->target)
                     && text.contains(QStringLiteral("versión anterior")),
                 qPrintable(text));
    }

    // What ended runs left (downloads cut short, statements without their program, a record half
    // written) goes at the next start, even with no installation to finish.
    void leftoversOfEndedRunsAreRemoved()
    {
        write(f->temporary, "cut short");
        write(updater::temporaryPath(f->target, QStringLiteral("4242-ab")), "cut short too");
        write(updater::signatureLocation(f->temporary), "statement without its program");
        write(updater::installRecordPath(f->target) + QStringLiteral(".nuevo.Ab12Cd"), "half a record");
        testing::ScriptedPrompter prompter;
        testing::RecordingShell shell;
        updater::UpdateFlow again{prompter, shell, f->network};
        again.setPublicKey(sim::testReleasePublicKey());
        again.resumeInterrupted(f->target);
        QVERIFY(!again.isBusy());
        QVERIFY(f->noDownloadLeft());
        QCOMPARE(prompter.count(), 0);
        QVERIFY(shell.starts().isEmpty());
        QCOMPARE(readFile(f->target), kOldClient);
    }

    // A checked download of a release older than the installed one, left by an ended run, is never
    // installed when the installation it was meant for is finished.
    void olderCheckedDownloadLeftBehindIsNotInstalled()
    {
        const QByteArray key = sim::testReleasePublicKey();
        f->prompter.answerMessage(ui::Answer::Ok);
        QVERIFY(f->download());
        const QByteArray newer = readFile(QStringLiteral(BRISANTA_GOOD_CLIENT));
        f->sim.setVersionText(QStringLiteral("2.36"));
        f->sim.setDownload(updater::clientFileName(), newer);
        f->prompter.answerMessage(ui::Answer::Ok);
        QVERIFY(f->download());
        QCOMPARE(updater::installedVersion(f->target, key), QStringLiteral("2.36"));

        const QString left = updater::temporaryPath(f->target, QStringLiteral("77-dead"));
        write(left, newClientBytes());
        write(updater::signatureLocation(left),
              sim::signedReleaseStatement(updater::clientFileName(), QStringLiteral("2.35"), newClientBytes()));
        QVERIFY(QFile::copy(f->target, updater::previousPath(f->target)));
        testing::ScriptedPrompter prompter;
        testing::RecordingShell shell;
        shell.setOnStart(startsLikeAClient);
        updater::UpdateFlow again{prompter, shell, f->network};
        again.setPublicKey(key);
        prompter.answerMessage(ui::Answer::Ok);
        QSignalSpy done(&again, &updater::UpdateFlow::attemptFinished);
        again.resumeInterrupted(f->target);
        if (again.isBusy())
            QVERIFY(done.wait(kWait));
        QCOMPARE(readFile(f->target), newer);
        QCOMPARE(updater::installedVersion(f->target, key), QStringLiteral("2.36"));
        QVERIFY(!QFileInfo::exists(updater::previousPath(f->target)));
        QVERIFY(f->noDownloadLeft());
        QVERIFY(shell.starts().isEmpty());
    }

    // The window keeps answering while a client that ignores the request to end is given its time.
    void windowAnswersWhileClientsEnd()
    {
        StartedProgram client(QStringLiteral("/bin/sh"), f->target,
                              {QStringLiteral("-c"), QStringLiteral("trap '' TERM; read line")});
        QVERIFY(client.started());
        f->flow.setClientGrace(std::chrono::milliseconds(3000));
        QElapsedTimer clock;
        qint64 last = 0;
        qint64 longestGap = 0;
        QTimer beat;
        beat.setInterval(20);
        connect(&beat, &QTimer::timeout, this, [&] {
            longestGap = std::max(longestGap, clock.elapsed() - last);
            last = clock.elapsed();
        });
        f->prompter.answerMessage(ui::Answer::Ok);
        clock.start();
        beat.start();
        QVERIFY(f->download());
        beat.stop();
        QVERIFY(client.waitForEnd());
        QCOMPARE(readFile(f->target), newClientBytes());
        // The client's grace is three seconds; the window must not stand still for it.
        QVERIFY2(longestGap < 1500, qPrintable(QString::number(longestGap)));
    }

    void installRecordOnlyRises()
    {
        const QByteArray key = sim::testReleasePublicKey();
        const QString client = updater::clientFileName();
        const QByteArray bytes = newClientBytes();
        QVERIFY(updater::recordInstalled(f->target, sim::signedReleaseStatement(client, QStringLiteral("2.36"), bytes), key)
                    .isEmpty());
        QVERIFY(updater::recordInstalled(f->target, sim::signedReleaseStatement(client, QStringLiteral("2.35"), bytes), key)
                    .isEmpty());
        // Tied to no file: the installed client here is another one.
        QCOMPARE(updater::installedVersion(f->target, key), QStringLiteral("2.36"));
        // What the maker did not sign is not recorded.
        QByteArray forged = sim::signedReleaseStatement(client, QStringLiteral("2.36"), bytes);
        forged.replace("version=2.36", "version=9.99");
        QVERIFY(!updater::recordInstalled(f->target, forged, key).isEmpty());
        QCOMPARE(updater::installedVersion(f->target, key), QStringLiteral("2.36"));
        write(updater::installRecordPath(f->target), forged);
        QCOMPARE(updater::installedVersion(f->target, key), QStringLiteral("2.34"));
    }
};

QTEST_MAIN(TestUpdater)
#include "test_updater.moc"
