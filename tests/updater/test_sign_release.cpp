#include "brand/release_marker.h"
#include "brand/start_marker.h"
#include "brand/version_order.h"
#include "gateway-sim/gateway_simulator.h"
#include "gateway-sim/release_signing.h"
#include "support/recording_shell.h"
#include "support/scripted_prompter.h"
#include "support/temp_home.h"
#include "file_bytes.h"
#include "updater/signature.h"
#include "updater/update_flow.h"
#include "updater/update_target.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

// The maker's side of a release: sign-release makes the key and signs the built client, and what it
// signs installs with the key the updater was built with.
namespace {

constexpr int kWait = 15000;
// The built client runs to hundreds of megabytes with its debugging information.
constexpr int kToolWait = 120000;

using testing::readFile;
using testing::write;

struct Run {
    int exitCode = -1;
    QByteArray out;
    QString err;
};

Run signRelease(const QStringList &arguments)
{
    QProcess tool;
    tool.start(QStringLiteral(BRISANTA_SIGN_RELEASE), arguments);
    Run run;
    if (!tool.waitForFinished(kToolWait))
        return run;
    run.exitCode = tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
    run.out = tool.readAllStandardOutput();
    run.err = QString::fromUtf8(tool.readAllStandardError());
    return run;
}

} // namespace

class TestSignRelease final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A key made inside a checkout would be taken by the next "git add -A".
    void keyIsNeverWrittenIntoAWorkTree_data()
    {
        QTest::addColumn<QString>("gitEntry");
        QTest::newRow("checkout") << QStringLiteral("dir");
        QTest::newRow("linked work tree") << QStringLiteral("file");
    }
    void keyIsNeverWrittenIntoAWorkTree()
    {
        QFETCH(QString, gitEntry);
        testing::TempHome home;
        const QString checkout = home.file(QStringLiteral("brisanta"));
        QVERIFY(QDir().mkpath(checkout + QStringLiteral("/src")));
        if (gitEntry == QStringLiteral("dir"))
            QVERIFY(QDir().mkpath(checkout + QStringLiteral("/.git")));
        else
            QVERIFY(write(checkout + QStringLiteral("/.git"), "gitdir: /elsewhere/.git/worktrees/brisanta\n"));

        for (const QString &key : QStringList{checkout + QStringLiteral("/release.key"), checkout + QStringLiteral("/src/release.key")}) {
            const Run run = signRelease({QStringLiteral("keygen"), key});
            QVERIFY(run.exitCode > 0);
            QVERIFY2(run.err.contains(QStringLiteral("árbol de trabajo de git")), qPrintable(run.err));
            QVERIFY(run.out.isEmpty());
            QVERIFY(!QFileInfo::exists(key));
        }
        // Beside the checkout, not in it, is fine.
        const Run outside = signRelease({QStringLiteral("keygen"), home.file(QStringLiteral("release.key"))});
        QCOMPARE(outside.exitCode, 0);
    }

    // Should one be made there all the same, git does not take it.
    void keyFilesAreIgnoredByGit()
    {
        const QString git = QStandardPaths::findExecutable(QStringLiteral("git"));
        if (git.isEmpty() || !QFileInfo::exists(QStringLiteral(BRISANTA_SOURCE_DIR "/.git")))
            QSKIP("the sources are not a git checkout here");
        for (const QString &key : {QStringLiteral("release.key"), QStringLiteral("tools/sign-release/maker.key")}) {
            QProcess check;
            check.setWorkingDirectory(QStringLiteral(BRISANTA_SOURCE_DIR));
            check.start(git, {QStringLiteral("check-ignore"), QStringLiteral("-q"), QStringLiteral("--no-index"), key});
            QVERIFY(check.waitForFinished(kWait));
            QVERIFY2(check.exitStatus() == QProcess::NormalExit && check.exitCode() == 0, qPrintable(key));
        }
    }

    // A file is signed only as the version it was built as: a client built as one version and
    // published as another would install and then still offer itself as new at every start.
    void signsOnlyTheVersionTheFileCarries_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("refusal");
        // Bytes added at the end of the program.
        QTest::addColumn<QByteArray>("appended");
        QTest::newRow("its own version") << QStringLiteral(BRISANTA_GOOD_CLIENT) << QStringLiteral("2.36") << QString()
                                         << QByteArray();
        QTest::newRow("another version") << QStringLiteral(BRISANTA_GOOD_CLIENT) << QStringLiteral("2.35")
                                         << QStringLiteral("se ha compilado como la versión 2.36, no como la 2.35")
                                         << QByteArray();
        QTest::newRow("a file of no version") << QStringLiteral("/bin/true") << QStringLiteral("2.35")
                                              << QStringLiteral("no indica su versión") << QByteArray();
        QTest::newRow("the built client, as built") << QStringLiteral(BRISANTA_CLIENT_EXE)
                                                    << QString::fromLatin1(brand::kClientVersion) << QString() << QByteArray();
        QTest::newRow("the built client, as another") << QStringLiteral(BRISANTA_CLIENT_EXE) << QStringLiteral("9.99")
                                                      << QStringLiteral("no como la 9.99") << QByteArray();
        // A file holding the marks of two builds says no single version, whichever is asked for.
        QTest::newRow("two versions") << QStringLiteral(BRISANTA_GOOD_CLIENT) << QStringLiteral("2.35")
                                      << QStringLiteral("varias versiones (2.35, 2.36)")
                                      << (QByteArray(BRISANTA_RELEASE_MARKER_PREFIX "2.35") + '\0');
    }
    void signsOnlyTheVersionTheFileCarries()
    {
        QFETCH(QString, program);
        QFETCH(QString, version);
        QFETCH(QString, refusal);
        QFETCH(QByteArray, appended);
        testing::TempHome home;
        const QString key = home.file(QStringLiteral("release.key"));
        QCOMPARE(signRelease({QStringLiteral("keygen"), key}).exitCode, 0);
        const QString release = home.file(QStringLiteral("publicar/Brisanta"));
        QVERIFY(write(release, readFile(program) + appended));

        const Run run = signRelease({QStringLiteral("sign"), key, version, release});
        if (refusal.isEmpty()) {
            QCOMPARE(run.exitCode, 0);
            QVERIFY(QFileInfo::exists(updater::signatureLocation(release)));
            return;
        }
        QVERIFY(run.exitCode > 0);
        QVERIFY2(run.err.contains(refusal), qPrintable(run.err));
        QVERIFY(!QFileInfo::exists(updater::signatureLocation(release)));
    }

    void releaseSignedWithTheToolIsInstalled()
    {
        testing::TempHome home;
        const QString key = home.file(QStringLiteral("release.key"));
        const Run keygen = signRelease({QStringLiteral("keygen"), key});
        QCOMPARE(keygen.exitCode, 0);
        const QByteArray publicKey = updater::publicKeyFromHex(QString::fromLatin1(keygen.out));
        QCOMPARE(publicKey.size(), 32);
        QCOMPARE(QFileInfo(key).permissions() & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());
        // An existing key is never overwritten.
        const Run again = signRelease({QStringLiteral("keygen"), key});
        QVERIFY(again.exitCode != 0);
        // Said in the user's language, not as the system's English "(File exists)".
        QVERIFY2(again.err.contains(QStringLiteral("Ya existe")), qPrintable(again.err));
        QVERIFY2(!again.err.contains(QStringLiteral("File exists")), qPrintable(again.err));
        QCOMPARE(updater::publicKeyFromHex(QString::fromLatin1(signRelease({QStringLiteral("public-key"), key}).out)),
                 publicKey);

        const QByteArray program = readFile(QStringLiteral(BRISANTA_GOOD_CLIENT));
        const QString release = home.file(QStringLiteral("publicar/Brisanta"));
        QVERIFY(write(release, program));
        // A version the updater could not read is refused by the tool and nothing is written.
        QVERIFY(signRelease({QStringLiteral("sign"), key, QStringLiteral("2.36 beta"), release}).exitCode != 0);
        QVERIFY(!QFileInfo::exists(updater::signatureLocation(release)));

        QCOMPARE(signRelease({QStringLiteral("sign"), key, QStringLiteral("2.36"), release}).exitCode, 0);
        const QByteArray signature = readFile(updater::signatureLocation(release));
        const std::optional<updater::ReleaseStatement> statement = updater::verifiedStatement(signature, publicKey);
        QVERIFY(statement);
        QCOMPARE(statement->product, QStringLiteral("Brisanta"));
        QCOMPARE(statement->file, updater::clientFileName());
        QCOMPARE(statement->version, QStringLiteral("2.36"));
        QCOMPARE(statement->size, program.size());
        QVERIFY(!updater::checkRelease(program, signature, sim::testReleasePublicKey(), QStringLiteral("2.34")).ok);

        // Served as the maker publishes it, the signed release installs with that key.
        sim::GatewaySimulator sim;
        sim.start();
        sim.setVersionText(QStringLiteral("2.36"));
        sim.setDownload(updater::clientFileName(), program);
        sim.setDownload(updater::signatureLocation(updater::clientFileName()), signature);
        const QString target = updater::targetPath(home.path());
        QVERIFY(write(target, QByteArray("\x7f" "ELF the installed client")));
        QNetworkAccessManager network;
        testing::ScriptedPrompter prompter;
        testing::RecordingShell shell;
        // Its window comes up, and it is closed normally.
        shell.setOnStart([](const QString &started) {
            brand::confirmStarted(started);
            brand::confirmEndedNormally(started);
        });
        updater::UpdateFlow flow{prompter, shell, network};
        flow.setPublicKey(publicKey);
        flow.setClientGrace(std::chrono::milliseconds(2000));
        prompter.answerMessage(ui::Answer::Ok);
        QSignalSpy done(&flow, &updater::UpdateFlow::attemptFinished);
        flow.startDownload(sim.baseUrl() + QStringLiteral("extranet/Descargas/") + updater::clientFileName(), target);
        QVERIFY(done.wait(kWait));
        sim.stop();
        QCOMPARE(done.first().first().toBool(), true);
        QCOMPARE(readFile(target), program);
        QCOMPARE(updater::installedVersion(target, publicKey), QStringLiteral("2.36"));
    }
};

QTEST_MAIN(TestSignRelease)
#include "test_sign_release.moc"
