#include "database/schema.h"
#include "gateway-sim/gateway_simulator.h"
#include "platform/db/connection.h"
#include "platform/ui/busy_cursor.h"
#include "seams/app_context.h"
#include "startup/version_check.h"
#include "support/recording_shell.h"
#include "support/scripted_prompter.h"
#include "support/temp_home.h"

#include <QTest>

#include <memory>

using startup::version::Action;

Q_DECLARE_METATYPE(startup::version::Action)

class TestVersionCheck final : public QObject {
    Q_OBJECT

    struct Fixture {
        testing::TempHome home;
        sim::GatewaySimulator sim;
        db::Connection connection;
        testing::ScriptedPrompter prompter;
        testing::RecordingShell shell;
        ui::BusyCursor busy;
        seams::AppContext context{connection, prompter, shell, busy, home.path()};

        Fixture()
        {
            sim.start();
            qputenv("BRISANTA_URL_BASE", sim.baseUrl().toUtf8());
            connection.open(home.file(QStringLiteral("bbdd.mdb")), db::OpenMode::CreateIfMissing);
            database::createSchema(connection);
        }
        ~Fixture()
        {
            sim.stop();
            qunsetenv("BRISANTA_URL_BASE");
        }
        QVariant stored()
        {
            return connection.scalar(QStringLiteral("SELECT version_desktop FROM Usuario"));
        }
    };
    std::unique_ptr<Fixture> f;

private Q_SLOTS:
    void init() { f = std::make_unique<Fixture>(); }
    void cleanup() { f.reset(); }

    void replyForms_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<Action>("action");
        QTest::newRow("updater, wrapped") << "<BODY>2.35|2.34</BODY>" << Action::StartUpdater;
        QTest::newRow("installer") << "<BODY>2.34|3.0</BODY>" << Action::OpenInstaller;
        QTest::newRow("same, a|b") << "<BODY>2.34|2.34</BODY>" << Action::StoreVersion;
        QTest::newRow("newer bare") << "2.35" << Action::StartUpdater;
        QTest::newRow("same bare") << "2.34" << Action::Nothing;
        QTest::newRow("older bare") << "2.3" << Action::Nothing;
        QTest::newRow("text order") << "2.4" << Action::StartUpdater;
        QTest::newRow("2.100 is older") << "2.100" << Action::Nothing;
        QTest::newRow("10.0 is older") << "10.0" << Action::Nothing;
        QTest::newRow("lower-case tags") << "<body>2.35</body>" << Action::NoConnection;
        QTest::newRow("blanks, breaks") << "\r\n  2.35 \r\n" << Action::StartUpdater;
        QTest::newRow("wrapped with breaks") << "<HTML><BODY>\r\n2.34|2.34\r\n</body></HTML>" << Action::StoreVersion;
        QTest::newRow("third part ignored") << "2.34|2.3|9" << Action::StoreVersion;
        QTest::newRow("empty") << "" << Action::NoConnection;
        QTest::newRow("11 characters") << "2.34|2.34|x" << Action::NoConnection;
    }
    void replyForms()
    {
        QFETCH(QString, body);
        QFETCH(Action, action);
        QCOMPARE(startup::version::decide(startup::version::cleanReply(body)), action);
    }

    void newerVersionStartsTheUpdater()
    {
        f->sim.setVersionText(QStringLiteral("<BODY>2.35|2.34</BODY>"));
        QCOMPARE(startup::version::checkVersion(f->context, QString()), Action::StartUpdater);
        const auto sent = f->sim.lastRequest(sim::Endpoint::DesktopVersion);
        QVERIFY(sent);
        QCOMPARE(sent->method, QByteArray("POST"));
        QCOMPARE(sent->body, QByteArray("Fuente=Desktop"));
        QCOMPARE(f->prompter.lastCall().title, QStringLiteral("Nueva versión del programa"));
        QVERIFY(f->prompter.lastCall().text.endsWith(QStringLiteral("Los datos NO se pierden actualizando el programa.")));
        QCOMPARE(f->shell.starts().size(), 1);
        // Beside the client's executable, not in the program folder that BRISANTA_HOME points at.
        QCOMPARE(f->shell.starts().first().program,
                 startup::version::updaterPath(QCoreApplication::applicationDirPath()));
        QVERIFY(!f->shell.starts().first().program.startsWith(f->home.path()));
        QVERIFY(f->shell.starts().first().program.contains(QStringLiteral("Brisanta_Desktop_AutoUpdate")));
        QVERIFY(f->shell.starts().first().arguments.isEmpty());
        QVERIFY(f->shell.urls().isEmpty());
        QVERIFY(!f->busy.isBusy());
    }

    void updaterThatCannotStartIsExplained()
    {
        f->shell.setStartProgramResult(false);
        f->sim.setVersionText(QStringLiteral("2.35"));
        QCOMPARE(startup::version::checkVersion(f->context, QString()), Action::StartUpdater);
        QCOMPARE(f->prompter.count(), 2);
        const QString text = f->prompter.lastCall().text;
        QVERIFY2(text.startsWith(QStringLiteral("No se ha podido iniciar el programa de actualización "))
                     && text.contains(startup::version::updaterPath(QCoreApplication::applicationDirPath()))
                     && text.contains(QStringLiteral("no se encuentra el archivo")),
                 qPrintable(text));
        QCOMPARE(f->prompter.lastCall().icon, ui::Icon::Warning);
        // The client goes on.
        QVERIFY(!f->busy.isBusy());
    }

    void newerInstallerOpensTheDownload()
    {
        f->sim.setVersionText(QStringLiteral("<BODY>2.34|3.0</BODY>"));
        QCOMPARE(startup::version::checkVersion(f->context, QString()), Action::OpenInstaller);
        QVERIFY(f->prompter.lastCall().text.endsWith(
            QStringLiteral("Recuerde cerrar este programa antes de pulsar 'Siguiente' en la instalación.")));
        QCOMPARE(f->shell.urls(),
                 QStringList{f->sim.baseUrl() + QStringLiteral("extranet/Descargas/Brisanta_Desktop_Install.exe")});
        QVERIFY(f->shell.starts().isEmpty());
    }

    void sameVersionIsStored()
    {
        f->connection.execute(QStringLiteral("INSERT INTO Usuario (login,version_desktop) VALUES ('ana','2.30')"));
        f->sim.setVersionText(QStringLiteral("2.34|2.34"));
        QCOMPARE(startup::version::checkVersion(f->context, QStringLiteral("2.30")), Action::StoreVersion);
        QCOMPARE(f->stored().toString(), QStringLiteral("2.34"));
        QCOMPARE(f->prompter.count(), 0);
        QVERIFY(f->shell.starts().isEmpty());

        // The short form names nothing newer and stores nothing.
        f->connection.execute(QStringLiteral("UPDATE Usuario SET version_desktop='2.30'"));
        f->sim.setVersionText(QStringLiteral("2.34"));
        QCOMPARE(startup::version::checkVersion(f->context, QStringLiteral("2.30")), Action::Nothing);
        QCOMPARE(f->stored().toString(), QStringLiteral("2.30"));
    }

    void errorPageSaysNoConnection()
    {
        f->sim.setVersionText(QStringLiteral("<body>2.35</body>"));
        QCOMPARE(startup::version::checkVersion(f->context, QString()), Action::NoConnection);
        QCOMPARE(f->prompter.lastCall().title, QStringLiteral("Sin conexión"));
        QCOMPARE(f->prompter.lastCall().icon, ui::Icon::Warning);
        QCOMPARE(f->prompter.lastCall().text,
                 QStringLiteral("Error de conexión con el servidor. Por favor, compruebe que dispone de conexión de "
                                "Internet."));
    }

    void noConnectionIsQuiet()
    {
        f->connection.execute(QStringLiteral("INSERT INTO Usuario (login,version_desktop) VALUES ('ana','2.30')"));
        f->sim.stop();
        QCOMPARE(startup::version::checkVersion(f->context, QStringLiteral("2.30")), Action::Nothing);
        QCOMPARE(f->prompter.count(), 0);
        QVERIFY(f->shell.starts().isEmpty());
        QCOMPARE(f->stored().toString(), QStringLiteral("2.30"));
        QVERIFY(!f->busy.isBusy());
    }
};

QTEST_MAIN(TestVersionCheck)
#include "test_version_check.moc"
