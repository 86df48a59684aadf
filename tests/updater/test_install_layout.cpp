#include "startup/version_check.h"
#include "support/temp_home.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

// The client starts its updater from its own folder: both programs (and the skin) must sit together
// in the build tree and in an installation.
class TestInstallLayout final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void builtIntoOneFolder()
    {
        const QString clientFolder = QFileInfo(QStringLiteral(BRISANTA_CLIENT_EXE)).absolutePath();
        QCOMPARE(QFileInfo(QStringLiteral(BRISANTA_UPDATER_EXE)).absolutePath(), clientFolder);
        const QFileInfo updater(startup::version::updaterPath(clientFolder));
        QVERIFY2(updater.isFile() && updater.isExecutable(), qPrintable(updater.filePath()));
        QVERIFY(QFileInfo::exists(QDir(clientFolder).filePath(QStringLiteral("Virizu.skn"))));
        // The .xls reading helper too: the client looks for it in its own folder.
        QVERIFY(QFileInfo(QDir(clientFolder).filePath(QStringLiteral("brisanta-xls-reader"))).isExecutable());
    }

    // The updater runs a newly installed client this way before it lets the previous one go: it must
    // end by itself, successfully, without a database or a window of its own.
    void clientPassesItsSelfCheck()
    {
        testing::TempHome home;
        QProcess client;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("BRISANTA_HOME"), home.path());
        client.setProcessEnvironment(environment);
        client.start(QStringLiteral(BRISANTA_CLIENT_EXE), {QStringLiteral("--self-check")});
        const bool ended = client.waitForFinished(30000);
        if (!ended) {
            client.kill();
            client.waitForFinished();
        }
        QVERIFY(ended);
        QCOMPARE(client.exitStatus(), QProcess::NormalExit);
        QCOMPARE(client.exitCode(), 0);
        QVERIFY(QDir(home.path()).isEmpty());
    }

    void installedIntoOneFolder()
    {
        testing::TempHome prefix;
        QProcess install;
        install.setProcessChannelMode(QProcess::MergedChannels);
        install.start(QStringLiteral(BRISANTA_CMAKE_COMMAND),
                      {QStringLiteral("--install"), QStringLiteral(BRISANTA_BUILD_DIR), QStringLiteral("--prefix"),
                       prefix.path()});
        QVERIFY(install.waitForFinished(120000));
        QVERIFY2(install.exitStatus() == QProcess::NormalExit && install.exitCode() == 0,
                 install.readAll().constData());

        const QDir folder(prefix.path());
        const QFileInfo client(folder.filePath(QFileInfo(QStringLiteral(BRISANTA_CLIENT_EXE)).fileName()));
        QVERIFY2(client.isFile() && client.isExecutable(), qPrintable(client.filePath()));
        const QFileInfo updater(startup::version::updaterPath(client.absolutePath()));
        QVERIFY2(updater.isFile() && updater.isExecutable(), qPrintable(updater.filePath()));
        QVERIFY(QFileInfo::exists(folder.filePath(QStringLiteral("Virizu.skn"))));
        QVERIFY(QFileInfo(folder.filePath(QStringLiteral("brisanta-xls-reader"))).isExecutable());
    }
};

QTEST_MAIN(TestInstallLayout)
#include "test_install_layout.moc"
