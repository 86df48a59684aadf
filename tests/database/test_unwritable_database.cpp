#include "brand/brand.h"
#include "database/opening.h"
#include "database/schema.h"
#include "platform/db/connection.h"
#include "support/file_bytes.h"
#include "support/permissions_apply.h"
#include "support/scripted_prompter.h"
#include "support/syscall_faults.h"
#include "support/temp_home.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

#include <cstring>
#include <memory>
#include <optional>

using testing::ScriptedPrompter;

namespace {

using testing::digest;

void makeDatabase(const QString &path, const QVariant &sharedPath = {})
{
    db::Connection db;
    QVERIFY(db.open(path, db::OpenMode::CreateIfMissing).ok());
    QVERIFY(database::createSchema(db).ok());
    QVERIFY(db.execute(QStringLiteral("INSERT INTO Usuario (login,pass,ruta,saldo,ruta_bbdd) VALUES (?1,?2,?3,?4,?5)"),
                       {QStringLiteral("usuario"), QStringLiteral("clave"), QStringLiteral("3"), QStringLiteral("1499"),
                        sharedPath})
                .ok());
}

QString desktop() { return brand::brandName() + QStringLiteral(" Desktop"); }

// The role of this program started again as a start on a program folder: its exit code says
// which message the start ended with, for a child that may not be able to write a word.
constexpr const char *kStartRole = "--start";
enum StartEnd { Opened = 0, DiskFull = 10, FolderUnwritable = 11, OtherMessage = 12 };

int startIn(const QString &programFolder)
{
    ScriptedPrompter prompter;
    db::Connection db;
    const database::OpeningResult r = database::openDatabase(db, programFolder, prompter);
    if (r.ok())
        return Opened;
    if (r.message == database::fullDiskMessage(r.activeDatabasePath))
        return DiskFull;
    if (r.message == database::unwritableFolderMessage(r.activeDatabasePath))
        return FolderUnwritable;
    return OtherMessage;
}

} // namespace

// A database the user may only read would let a send be charged and recorded nowhere: the start
// refuses it, and a database whose folder cannot take its journal and the pending-sends file,
// before anything can be sent.
class TestUnwritableDatabase final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { m_home = std::make_unique<testing::TempHome>(); }
    void cleanup() { m_home.reset(); }

    void refusedAtStart_data()
    {
        QTest::addColumn<bool>("shared");        // the database in use is a shared file
        QTest::addColumn<bool>("folderOnly");    // the file may be written, its folder not
        QTest::newRow("local file read-only") << false << false;
        QTest::newRow("local folder read-only") << false << true;
        QTest::newRow("shared file read-only") << true << false;
        QTest::newRow("shared folder read-only") << true << true;
    }

    void refusedAtStart()
    {
        QFETCH(bool, shared);
        QFETCH(bool, folderOnly);
        const QString local = database::localDatabasePath(m_home->path());
        const QString folder = shared ? m_home->file(QStringLiteral("red")) : m_home->path();
        const QString database = shared ? QDir(folder).filePath(QStringLiteral("bbdd.mdb")) : local;
        QVERIFY(QDir().mkpath(folder));
        makeDatabase(local, shared ? QVariant(database) : QVariant());
        if (shared)
            makeDatabase(database);
        const QByteArray before = digest(database);

        const testing::WithoutWritePermission locked(folderOnly ? folder : database);
        QVERIFY(locked.ok());
        const testing::PermissionsApply permissions;
        QVERIFY(permissions.active());

        ScriptedPrompter prompter;
        db::Connection db;
        const database::OpeningResult r = database::openDatabase(db, m_home->path(), prompter);
        QCOMPARE(r.status, database::OpeningStatus::Failed);
        QVERIFY(!db.isOpen());
        QCOMPARE(r.activeDatabasePath, database);
        if (folderOnly) {
            QCOMPARE(r.message,
                     QStringLiteral("No se puede escribir en la carpeta ") + QDir::toNativeSeparators(folder)
                         + QStringLiteral(" de la base de datos ") + database
                         + QStringLiteral(". La base de datos necesita poder crear en esa carpeta su diario de "
                                          "cambios y el archivo de envíos pendientes: compruebe que tiene permiso de "
                                          "escritura en ella; ")
                         + desktop() + QStringLiteral(" se cerrará."));
        } else {
            QCOMPARE(r.message, QStringLiteral("No se puede abrir ni crear la base de datos ") + database
                                    + QStringLiteral(". Compruebe que la carpeta del programa existe y que tiene "
                                                     "permiso de escritura; ")
                                    + desktop() + QStringLiteral(" se cerrará."));
        }
        // Refused before a single byte was written, and with no box of its own: the window
        // shows the message and ends.
        QCOMPARE(digest(database), before);
        QCOMPARE(prompter.count(), 0);
        QVERIFY(!QFile::exists(database + QStringLiteral("-journal")));
    }

    // A full disk refuses the journal's bytes: the start says the disk is full, not that the folder
    // may not be written, and leaves the file as it was. (Only the engine's writes are refused:
    // the sanitizers' own checks write through write(2).)
    void fullDiskIsToldAsSuch()
    {
        QVERIFY2(!testing::straceProgram().isEmpty(), "strace is needed (scripts/install-deps.sh installs it)");
        const QString local = database::localDatabasePath(m_home->path());
        makeDatabase(local);
        const QByteArray before = digest(local);

        QProcess start;
        QVERIFY(testing::startUnderStrace(start,
                                          {QStringLiteral("-o"), QStringLiteral("/dev/null"), QStringLiteral("-e"),
                                           QStringLiteral("inject=pwrite64,pwritev:error=ENOSPC")},
                                          {QString::fromLatin1(kStartRole), m_home->path()}));
        QVERIFY(start.waitForFinished(60000));
        QCOMPARE(start.exitStatus(), QProcess::NormalExit);
        QCOMPARE(start.exitCode(), int(DiskFull));
        QCOMPARE(digest(local), before);
        QVERIFY(!QFile::exists(local + QStringLiteral("-journal")));
        QCOMPARE(QDir(m_home->path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("bbdd.mdb")});

        QCOMPARE(database::fullDiskMessage(local),
                 QStringLiteral("El disco de la base de datos ") + local
                     + QStringLiteral(" está lleno: no queda sitio para su diario de cambios ni para el archivo de "
                                      "envíos pendientes. Libere espacio en ese disco y abra ")
                     + desktop() + QStringLiteral(" de nuevo; ") + desktop() + QStringLiteral(" se cerrará."));
    }

    // A file and folder that may be written open as always.
    void writableDatabaseOpens()
    {
        const QString local = database::localDatabasePath(m_home->path());
        makeDatabase(local);
        const testing::PermissionsApply permissions;
        QVERIFY(permissions.active());
        ScriptedPrompter prompter;
        db::Connection db;
        const database::OpeningResult r = database::openDatabase(db, m_home->path(), prompter);
        QVERIFY2(r.ok(), qPrintable(r.message));
        QCOMPARE(db.scalar(QStringLiteral("SELECT saldo FROM Usuario")).toString(), QStringLiteral("1499"));
        QVERIFY(db.execute(QStringLiteral("UPDATE Usuario SET saldo='1495'")).ok());
        QVERIFY(!QFile::exists(local + QStringLiteral("-journal")));
    }

private:
    std::unique_ptr<testing::TempHome> m_home;
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], kStartRole) == 0)
        return startIn(QString::fromLocal8Bit(argv[2]));
    TestUnwritableDatabase test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_unwritable_database.moc"
