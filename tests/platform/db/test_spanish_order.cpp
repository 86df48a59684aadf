// Names in the order a Spanish reader expects, from the comparison itself and from SQL on every
// opened connection, without the file depending on it.
#include "platform/db/connection.h"
#include "platform/db/spanish_order.h"
#include "support/temp_home.h"

#define SQLITE_HAS_CODEC 1
#include <sqlcipher/sqlite3.h>

#include <QFile>
#include <QTest>

#include <algorithm>

class TestSpanishOrder final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void compares_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::newRow("accent ignored first") << QStringLiteral("Ángel") << QStringLiteral("Zoe");
        QTest::newRow("accent after plain") << QStringLiteral("Angel") << QStringLiteral("Ángel");
        QTest::newRow("accent weaker than letters") << QStringLiteral("Ángel") << QStringLiteral("Anguila");
        QTest::newRow("case ignored first") << QStringLiteral("alba") << QStringLiteral("Berta");
        QTest::newRow("ñ after n") << QStringLiteral("Nuria") << QStringLiteral("Ñoño");
        QTest::newRow("ñ before o") << QStringLiteral("Ñoño") << QStringLiteral("Óscar");
        QTest::newRow("n ñ inside") << QStringLiteral("Manzano") << QStringLiteral("Mañana");
        QTest::newRow("prefix first") << QStringLiteral("Ana") << QStringLiteral("Ana María");
        QTest::newRow("ü as u") << QStringLiteral("Agüero") << QStringLiteral("Aguilar");
        QTest::newRow("empty first") << QString() << QStringLiteral("A");
        QTest::newRow("quote kept") << QStringLiteral("O'Donnell") << QStringLiteral("Ortega");
        QTest::newRow("beyond the looked-up letters") << QStringLiteral("Ωmega") << QStringLiteral("Ꭰ");
        QTest::newRow("outside the basic plane") << QStringLiteral("Ana") << QStringLiteral("Ana 😀");
    }

    void compares()
    {
        QFETCH(QString, first);
        QFETCH(QString, second);
        QVERIFY(db::compareSpanish(first, second) < 0);
        QVERIFY(db::compareSpanish(second, first) > 0);
        QCOMPARE(db::compareSpanish(first, first), 0);
        // The database's UTF-8 comparison gives the same answers.
        const QByteArray a = first.toUtf8();
        const QByteArray b = second.toUtf8();
        QVERIFY(db::compareSpanishUtf8(a.constData(), a.size(), b.constData(), b.size()) < 0);
        QVERIFY(db::compareSpanishUtf8(b.constData(), b.size(), a.constData(), a.size()) > 0);
        QCOMPARE(db::compareSpanishUtf8(a.constData(), a.size(), a.constData(), a.size()), 0);
    }

    // Malformed bytes from a damaged file never read past the text.
    void malformedUtf8()
    {
        const char cut[] = {'A', char(0xC3)};
        const char good[] = {'A', 'b'};
        QVERIFY(db::compareSpanishUtf8(cut, 2, good, 2) != 0);
        const char lone[] = {char(0x80), char(0xFF)};
        QCOMPARE(db::compareSpanishUtf8(lone, 2, lone, 2), 0);
    }

    // Case alone is no difference (ties are broken by the queries' `sid`); accents are, and the
    // order does not depend on where the names started.
    void tiesAndAccents()
    {
        QCOMPARE(db::compareSpanish(QStringLiteral("ANGEL"), QStringLiteral("angel")), 0);
        QCOMPARE(db::compareSpanish(QStringLiteral("Ángel"), QStringLiteral("ángel")), 0);
        QVERIFY(db::compareSpanish(QStringLiteral("angel"), QStringLiteral("ángel")) < 0);
        QStringList names{QStringLiteral("ángel"), QStringLiteral("Angel"), QStringLiteral("Ñu"), QStringLiteral("nu"),
                          QStringLiteral("Zoe"), QStringLiteral("𝒜lfa"), QStringLiteral("Ánfora")};
        QStringList reversed(names.crbegin(), names.crend());
        const auto less = [](const QString &a, const QString &b) { return db::compareSpanish(a, b) < 0; };
        std::sort(names.begin(), names.end(), less);
        std::sort(reversed.begin(), reversed.end(), less);
        QCOMPARE(names, reversed);
        QCOMPARE(names, (QStringList{QStringLiteral("Ánfora"), QStringLiteral("Angel"), QStringLiteral("ángel"),
                                     QStringLiteral("nu"), QStringLiteral("Ñu"), QStringLiteral("Zoe"),
                                     QStringLiteral("𝒜lfa")}));
    }

    void everyConnectionSorts()
    {
        testing::TempHome home;
        const QString path = home.file(QStringLiteral("bbdd.mdb"));
        {
            db::Connection c;
            QVERIFY(c.open(path, db::OpenMode::CreateIfMissing).ok());
            QVERIFY(c.execute(QStringLiteral("CREATE TABLE Agenda (sid INTEGER PRIMARY KEY, nombre TEXT COLLATE NOCASE)")).ok());
            for (const char *name : {"Zoe", "Ángel", "ñandú", "Nuria", "alba", "Óscar", "Berta"})
                QVERIFY(c.execute(QStringLiteral("INSERT INTO Agenda (nombre) VALUES (?1)"), {QString::fromUtf8(name)}).ok());
        }
        // Reopened: the collation comes with the connection, not with the file.
        db::Connection c;
        QVERIFY(c.open(path).ok());
        QStringList order;
        for (const db::Row &row :
             c.select(QStringLiteral("SELECT nombre FROM Agenda ORDER BY nombre COLLATE ESPANOL ASC, sid ASC")))
            order << row.value(0).toString();
        QCOMPARE(order, (QStringList{QStringLiteral("alba"), QStringLiteral("Ángel"), QStringLiteral("Berta"),
                                     QStringLiteral("Nuria"), QStringLiteral("ñandú"), QStringLiteral("Óscar"),
                                     QStringLiteral("Zoe")}));
        c.close();

        // A program that knows nothing of the collation still reads the file.
        sqlite3 *raw = nullptr;
        QCOMPARE(sqlite3_open_v2(QFile::encodeName(path).constData(), &raw, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
        const QByteArray key = db::Connection::key().toUtf8();
        sqlite3_key(raw, key.constData(), int(key.size()));
        sqlite3_stmt *stmt = nullptr;
        QCOMPARE(sqlite3_prepare_v2(raw, "SELECT count(*) FROM Agenda ORDER BY nombre", -1, &stmt, nullptr), SQLITE_OK);
        QCOMPARE(sqlite3_step(stmt), SQLITE_ROW);
        QCOMPARE(sqlite3_column_int(stmt, 0), 7);
        sqlite3_finalize(stmt);
        sqlite3_close_v2(raw);
    }
};

QTEST_GUILESS_MAIN(TestSpanishOrder)
#include "test_spanish_order.moc"
