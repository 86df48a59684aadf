#include "damaged_rows.h"
#include "platform/mdb/access_file.h"
#include "platform/mdb/access_value.h"
#include "platform/mdb/jet_text.h"
#include "support/temp_home.h"

#include <QFile>
#include <QSet>
#include <QTest>
#include <QTimeZone>
#include <QtEndian>

#include <cmath>
#include <limits>

namespace {

QString fixture(const char *name)
{
    return testing::sharedFixture(QStringLiteral("fixtures/access/") + QLatin1String(name));
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString writeCopy(const testing::TempHome &home, const QString &name, const QByteArray &bytes)
{
    QFile file(home.file(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return {};
    return file.fileName();
}

// Jet 4 layout: 4096-byte pages; a table definition page (type 2) keeps the page-and-row pointer to
// its usage map at byte 55.
constexpr qsizetype kPage = 4096;
constexpr qsizetype kUsageMapPointer = 55;

// The table definition pages of the file's user tables: every type-2 page past the catalog's own
// (page 2) that starts a definition rather than continuing one.
QList<qsizetype> userTableDefinitionPages(const QByteArray &bytes)
{
    QList<qsizetype> pages;
    QSet<qsizetype> continuations;
    for (qsizetype page = 0; page * kPage < bytes.size(); ++page) {
        const char *p = bytes.constData() + page * kPage;
        if (p[0] == 0x02 && p[1] == 0x01)
            continuations.insert(qsizetype(qFromLittleEndian<quint32>(p + 4)));
    }
    for (qsizetype page = 3; page * kPage < bytes.size(); ++page) {
        const char *p = bytes.constData() + page * kPage;
        if (p[0] == 0x02 && p[1] == 0x01 && !continuations.contains(page))
            pages << page;
    }
    return pages;
}

} // namespace

class TestMdb final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (fixture("contactos.mdb").isEmpty())
            QSKIP("the Access fixtures are not reachable (BRISANTA_SHARED)");
    }

    void listsUserTables()
    {
        mdb::AccessFile file;
        QVERIFY(file.open(fixture("contactos.mdb")).ok());
        const QStringList tables = file.tables();
        QVERIFY(tables.contains(QStringLiteral("Clientes")));
        QVERIFY(tables.contains(QStringLiteral("Proveedores")));
        QVERIFY(tables.contains(QStringLiteral("Lista antigua")));
        for (const QString &t : tables)
            QVERIFY2(!t.startsWith(QLatin1String("MSys")), qPrintable(t));
    }

    void readsColumnsInFieldOrder()
    {
        mdb::AccessFile file;
        QVERIFY(file.open(fixture("contactos.mdb")).ok());
        mdb::Table t;
        QVERIFY(file.readTable(QStringLiteral("Clientes"), t).ok());
        QCOMPARE(t.columnNames(), (QStringList{"Id", "Nombre", "Apellidos", "Movil", "Telefono", "Direccion",
                                               "Notas", "FechaNacimiento", "Activo"}));
        QCOMPARE(int(t.rows.size()), 40);
        QCOMPARE(t.columns[0].kind, mdb::ColumnKind::Integer);
        QCOMPARE(t.columns[6].kind, mdb::ColumnKind::Memo);
        QCOMPARE(t.columns[7].kind, mdb::ColumnKind::DateTime);
        QCOMPARE(t.columns[8].kind, mdb::ColumnKind::Boolean);
        QCOMPARE(t.rows[0].at(0).toLongLong(), 1);
        QCOMPARE(t.rows[0].at(1).toString(), QStringLiteral("Lucía"));
        QCOMPARE(t.rows[0].at(2).toString(), QStringLiteral("García Fernández"));
        QCOMPARE(t.rows[0].at(3).toString(), QStringLiteral("612345678"));
    }

    // Null and the empty text are different values in the file and must stay so.
    void tellsNullFromEmpty()
    {
        mdb::AccessFile file;
        QVERIFY(file.open(fixture("contactos.mdb")).ok());
        mdb::Table t;
        QVERIFY(file.readTable(QStringLiteral("Clientes"), t).ok());
        const int nameColumn = 1, mobileColumn = 3, phoneColumn = 4, notesColumn = 6, dateColumn = 7;
        QVERIFY(!t.rows[1].at(notesColumn).isValid());                // row 2: Notas null
        QVERIFY(t.rows[2].at(notesColumn).isValid());                 // row 3: Notas empty
        QCOMPARE(t.rows[2].at(notesColumn).toString(), QString());
        QVERIFY(t.rows[2].at(phoneColumn).isValid());                 // row 3: Telefono empty
        QVERIFY(!t.rows[3].at(phoneColumn).isValid());                // row 4: Telefono null
        QVERIFY(t.rows[6].at(nameColumn).isValid());                  // row 7: Nombre empty
        QVERIFY(!t.rows[7].at(nameColumn).isValid());                 // row 8: Nombre null
        QVERIFY(t.rows[8].at(mobileColumn).isValid());                // row 9: Movil empty
        QVERIFY(!t.rows[9].at(mobileColumn).isValid());               // row 10: Movil null
        QVERIFY(!t.rows[2].at(dateColumn).isValid());                 // row 3: no date
    }

    void readsTextsWithAccentsQuotesAndOddBlanks()
    {
        mdb::AccessFile file;
        QVERIFY(file.open(fixture("contactos.mdb")).ok());
        mdb::Table t;
        QVERIFY(file.readTable(QStringLiteral("Clientes"), t).ok());
        QCOMPARE(t.rows[3].at(2).toString(), QStringLiteral("O'Donnell"));
        QCOMPARE(t.rows[5].at(2).toString(), QStringLiteral("Col·lell i Puig"));
        QCOMPARE(t.rows[15].at(1).toString(), QStringLiteral("Elena \"Nena\""));
        QCOMPARE(t.rows[17].at(1).toString(), QStringLiteral("  Pilar  "));
        QCOMPARE(t.rows[18].at(3).toString(), QStringLiteral("612\u00A0345\u00A0688"));
        QCOMPARE(t.rows[24].at(1).toString().size(), 100);
        QCOMPARE(t.rows[39].at(1).toString(), QStringLiteral("Zoë"));
        QCOMPARE(t.rows[29].at(5).toString().size(), 255);
    }

    void readsLongMemosWhole()
    {
        mdb::AccessFile file;
        QVERIFY(file.open(fixture("contactos.mdb")).ok());
        mdb::Table t;
        QVERIFY(file.readTable(QStringLiteral("Clientes"), t).ok());
        QCOMPARE(t.rows[27].at(6).toString().size(), 5000);
        const QString memo = t.rows[28].at(6).toString();
        QVERIFY2(memo.contains(QStringLiteral("Línea 1\r\nLínea 2\r\n\tTabulada; precio 12,50 € (IVA incl.)")),
                 qPrintable(memo));
    }

    void readsDatesIncludingDayZeroAndTimes()
    {
        mdb::AccessFile file;
        QVERIFY(file.open(fixture("contactos.mdb")).ok());
        mdb::Table t;
        QVERIFY(file.readTable(QStringLiteral("Clientes"), t).ok());
        const int dateColumn = 7;
        QCOMPARE(t.rows[0].at(dateColumn).toDateTime().date(), QDate(1975, 3, 14));
        QCOMPARE(t.rows[4].at(dateColumn).toDateTime().date(), QDate(1968, 2, 29));
        QCOMPARE(t.rows[25].at(dateColumn).toDateTime().date(), QDate(1899, 12, 30));
        QCOMPARE(t.rows[26].at(dateColumn).toDateTime(), QDateTime(QDate(1985, 11, 5), QTime(14, 30), Qt::UTC));
        QCOMPARE(t.rows[36].at(dateColumn).toDateTime().date(), QDate(2000, 2, 29));
    }

    void readsBooleans()
    {
        mdb::AccessFile file;
        QVERIFY(file.open(fixture("contactos.mdb")).ok());
        mdb::Table t;
        QVERIFY(file.readTable(QStringLiteral("Clientes"), t).ok());
        for (int i = 0; i < 40; ++i) {
            const bool expected = !(i == 4 || i == 35 || i == 37);
            QCOMPARE(t.rows[size_t(i)].at(8).toBool(), expected);
        }
    }

    void readsUncompressedTablesAndNumbers()
    {
        mdb::AccessFile file;
        QVERIFY(file.open(fixture("contactos.mdb")).ok());
        mdb::Table p;
        QVERIFY(file.readTable(QStringLiteral("Proveedores"), p).ok());
        QCOMPARE(int(p.rows.size()), 10);
        QCOMPARE(p.rows[1].at(0).toString(), QStringLiteral("Distribuciones O'Neill & Hijos"));
        mdb::Table l;
        QVERIFY(file.readTable(QStringLiteral("Lista antigua"), l).ok());
        QCOMPARE(int(l.rows.size()), 5);
        QCOMPARE(l.rows[0].at(0).toString().size(), 300);
        QCOMPARE(mdb::cellText(l.rows[1].at(1)), QStringLiteral("34699123456"));
        QVERIFY(!l.rows[3].at(1).isValid());
        QCOMPARE(mdb::cellText(l.rows[4].at(1)), QStringLiteral("0"));
    }

    void readsLargeTable()
    {
        mdb::AccessFile file;
        QVERIFY(file.open(fixture("grande.mdb")).ok());
        mdb::Table t;
        QVERIFY(file.readTable(QStringLiteral("Contactos"), t).ok());
        QCOMPARE(int(t.rows.size()), 20000);
        QCOMPARE(t.rows[996].at(2).toString(), QStringLiteral("34607887324"));
        QVERIFY(!t.rows[1998].at(3).isValid());                  // Id 1999: Email null
    }

    void unknownTableIsReported()
    {
        mdb::AccessFile file;
        QVERIFY(file.open(fixture("contactos.mdb")).ok());
        mdb::Table t;
        QCOMPARE(file.readTable(QStringLiteral("No existe"), t).status, mdb::Status::NoSuchTable);
        // Access matches table names without case.
        QVERIFY(file.readTable(QStringLiteral("clientes"), t).ok());
        QCOMPARE(t.name, QStringLiteral("Clientes"));
        QCOMPARE(t.rows.size(), size_t(40));
        QVERIFY(file.readTable(QStringLiteral("LISTA ANTIGUA"), t).ok());
        QCOMPARE(t.name, QStringLiteral("Lista antigua"));
    }

    // Jet 4 text decoded whole: both storage forms, and characters outside the Basic
    // Multilingual Plane (a surrogate pair) kept.
    void decodesJetTextWhole()
    {
        const QString name = QStringLiteral("Ana \U0001F389 Ruiz");
        QByteArray utf16;
        for (const QChar ch : name)
            utf16 += char(ch.unicode() & 0xFF), utf16 += char(ch.unicode() >> 8);
        QCOMPARE(mdb::decodeJetText(utf16), name);
        // Compressed: "Ana " one byte a character, 0x00, the pair two bytes each, 0x00, " Ruiz".
        const QByteArray compressed = QByteArray("\xFF\xFE" "Ana ", 6) + '\0' + QByteArray("\x3C\xD8\x89\xDF", 4)
                                    + '\0' + QByteArray(" Ruiz");
        QCOMPARE(mdb::decodeJetText(compressed), name);
        QCOMPARE(mdb::decodeJetText(QByteArray("\xFF\xFE" "Pe\xF1" "a", 6)), QStringLiteral("Peña"));
        QCOMPARE(mdb::decodeJetText(QByteArray("\xFF\xFE", 2)), QString());
        QCOMPARE(mdb::decodeJetText(QByteArray("A\0B", 3)), QStringLiteral("A"));   // odd byte dropped
    }

    // A copy of a fixture whose uncompressed name holds a character outside the Basic Multilingual
    // Plane reads back with that character, not "??".
    void readsCharactersBeyondTheBasicPlane()
    {
        QFile source(fixture("contactos.mdb"));
        QVERIFY(source.open(QIODevice::ReadOnly));
        QByteArray bytes = source.readAll();
        auto utf16 = [](const QString &s) {
            QByteArray b;
            for (const QChar ch : s)
                b += char(ch.unicode() & 0xFF), b += char(ch.unicode() >> 8);
            return b;
        };
        const QByteArray from = utf16(QStringLiteral("Imprenta Müller"));
        const QByteArray to = utf16(QStringLiteral("Imprenta \U0001F389ller"));
        QCOMPARE(from.size(), to.size());
        const qsizetype at = bytes.indexOf(from);
        QVERIFY(at > 0);
        bytes.replace(at, from.size(), to);
        testing::TempHome home;
        QFile copy(home.file(QStringLiteral("copia.mdb")));
        QVERIFY(copy.open(QIODevice::WriteOnly));
        copy.write(bytes);
        copy.close();

        mdb::AccessFile file;
        QVERIFY(file.open(copy.fileName()).ok());
        mdb::Table t;
        QVERIFY(file.readTable(QStringLiteral("proveedores"), t).ok());
        QCOMPARE(t.rows[7].at(0).toString(), QStringLiteral("Imprenta \U0001F389ller"));
        QCOMPARE(t.rows[2].at(0).toString(), QStringLiteral("Papelería Ñandú"));
    }

    void refusesMissingForeignAndTruncatedFiles()
    {
        testing::TempHome home;
        mdb::AccessFile file;
        QCOMPARE(file.open(home.file(QStringLiteral("nada.mdb"))).status, mdb::Status::NotFound);

        QFile text(home.file(QStringLiteral("texto.mdb")));
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write(QByteArray(8192, 'x'));
        text.close();
        QCOMPARE(file.open(text.fileName()).status, mdb::Status::NotAccess);
        QVERIFY(!file.isOpen());

        QFile source(fixture("contactos.mdb"));
        QVERIFY(source.open(QIODevice::ReadOnly));
        const QByteArray bytes = source.readAll();
        QFile cut(home.file(QStringLiteral("cortado.mdb")));
        QVERIFY(cut.open(QIODevice::WriteOnly));
        cut.write(bytes.left(4096 * 2 + 100));
        cut.close();
        QCOMPARE(file.open(cut.fileName()).status, mdb::Status::Damaged);

        QFile empty(home.file(QStringLiteral("vacio.mdb")));
        QVERIFY(empty.open(QIODevice::WriteOnly));
        empty.close();
        QCOMPARE(file.open(empty.fileName()).status, mdb::Status::NotAccess);
    }

    // Garbled data pages behind an intact catalog: reading fails or comes back short, never crashes.
    void garbledPagesDoNotCrash()
    {
        testing::TempHome home;
        QFile source(fixture("contactos.mdb"));
        QVERIFY(source.open(QIODevice::ReadOnly));
        QByteArray bytes = source.readAll();
        quint32 seed = 12345;
        for (qsizetype i = 8 * 4096; i < bytes.size(); ++i) {
            seed = seed * 1103515245u + 12345u;
            bytes[i] = char(seed >> 16);
        }
        QFile broken(home.file(QStringLiteral("roto.mdb")));
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write(bytes);
        broken.close();
        mdb::AccessFile file;
        if (!file.open(broken.fileName()).ok())
            return;
        for (const QString &name : {QStringLiteral("Clientes"), QStringLiteral("Proveedores"), QStringLiteral("Lista antigua")}) {
            mdb::Table t;
            const mdb::Result r = file.readTable(name, t);
            QVERIFY(r.ok() || r.status == mdb::Status::Damaged || r.status == mdb::Status::NoSuchTable);
        }
    }

    // A usage-map pointer that leads nowhere leaves libmdb without a map, and reading the table
    // through it would run off a null pointer. The table (or, for the catalog's own table, the
    // whole file) is reported as damaged instead.
    void unreadableUsageMapIsDamage()
    {
        testing::TempHome home;
        const QByteArray good = readAll(fixture("contactos.mdb"));
        QVERIFY(!good.isEmpty());
        const QList<qsizetype> pages = userTableDefinitionPages(good);
        QVERIFY(!pages.isEmpty());

        const quint32 lost = 0x7fffff00u;  // a page far past the end of the file
        const quint32 emptyRow = 0x000000ffu; // row 255 of page 0: an empty row, so no map at all
        for (const quint32 pointer : {lost, emptyRow}) {
            QByteArray bytes = good;
            for (const qsizetype page : pages)
                qToLittleEndian<quint32>(pointer, bytes.data() + page * kPage + kUsageMapPointer);
            mdb::AccessFile file;
            QVERIFY(file.open(writeCopy(home, QStringLiteral("sin_mapa.mdb"), bytes)).ok());
            int damaged = 0;
            for (const QString &name : file.tables()) {
                mdb::Table t;
                const mdb::Result r = file.readTable(name, t);
                QVERIFY2(r.ok() || r.status == mdb::Status::Damaged, qPrintable(name));
                damaged += r.status == mdb::Status::Damaged ? 1 : 0;
            }
            QCOMPARE(damaged, 3);
        }

        QByteArray catalog = good;
        qToLittleEndian<quint32>(emptyRow, catalog.data() + 2 * kPage + kUsageMapPointer);
        mdb::AccessFile file;
        QCOMPARE(file.open(writeCopy(home, QStringLiteral("sin_catalogo.mdb"), catalog)).status, mdb::Status::Damaged);
    }

    // A date is a double in the file; one far outside Access's years 100-9999 (or not a number at
    // all) is damage, not a date to convert.
    void datesOutsideAccessRangeAreDamage()
    {
        for (const double bad : {1e300, -1e300, 3e6, -7e5, std::numeric_limits<double>::quiet_NaN(),
                                 std::numeric_limits<double>::infinity(), 9.3e18, -9.3e18})
            QVERIFY2(!mdb::accessDateToDateTime(bad).isValid(), qPrintable(QString::number(bad)));
        QCOMPARE(mdb::accessDateToDateTime(-657434.0), QDateTime(QDate(100, 1, 1), QTime(0, 0), Qt::UTC));
        QCOMPARE(mdb::accessDateToDateTime(2958465.5), QDateTime(QDate(9999, 12, 31), QTime(12, 0), Qt::UTC));

        // Row 1's birth date (1975-03-14, also in its copy, row 23) turned into 1e300 in a copy.
        testing::TempHome home;
        QByteArray bytes = readAll(fixture("contactos.mdb"));
        double day = 27467.0;
        const QByteArray date(reinterpret_cast<const char *>(&day), sizeof day);
        double far = 1e300;
        const QByteArray broken(reinterpret_cast<const char *>(&far), sizeof far);
        QVERIFY(bytes.indexOf(date) > 0);
        bytes.replace(date, broken);
        mdb::AccessFile file;
        QVERIFY(file.open(writeCopy(home, QStringLiteral("fecha_rota.mdb"), bytes)).ok());
        mdb::Table t;
        QCOMPARE(file.readTable(QStringLiteral("Clientes"), t).status, mdb::Status::Damaged);
    }

    void datesBeforeDayZeroCountTimeForward()
    {
        QCOMPARE(mdb::accessDateToDateTime(0.0), QDateTime(QDate(1899, 12, 30), QTime(0, 0), Qt::UTC));
        QCOMPARE(mdb::accessDateToDateTime(-1.25), QDateTime(QDate(1899, 12, 29), QTime(6, 0), Qt::UTC));
        QCOMPARE(mdb::accessDateToDateTime(2.5), QDateTime(QDate(1900, 1, 1), QTime(12, 0), Qt::UTC));
    }

    // The number Access stores for a date, recovered from the date read: whole days, day zero,
    // times of day, and days before day zero whose fraction still counts forward.
    void dateValuesGoBackToTheStoredNumber()
    {
        for (double stored : {0.0, 0.5, 1.0, 1.25, -1.75, -2.0, 36000.75, -657434.0, 2958465.5}) {
            const QDateTime read = mdb::accessDateToDateTime(stored);
            QVERIFY(read.isValid());
            QCOMPARE(mdb::accessDateValue(read), stored);
        }
        QCOMPARE(mdb::accessDateValue(QDateTime(QDate(1899, 12, 31), QTime(0, 0), Qt::UTC)), 1.0);
        QVERIFY(mdb::accessDateValue(QDateTime(QDate(1899, 12, 30), QTime(23, 59), Qt::UTC)) < 1.0);
    }

    // Two bytes of a row offset changed: each row's place is checked against its page before
    // libmdb cracks it. A row that lies outside its page makes the table damaged (instead of
    // losing that row and its neighbour unseen); the spare bit above the offset's mask is ignored
    // as Access ignores it (instead of reading 8 KB past the page). Every damaged copy reads or
    // is refused without a crash; the plain reader runs the same copies under valgrind.
    void damagedRowOffsetsAreCheckedBeforeTheRowIsRead()
    {
        testing::TempHome home;
        const QString good = fixture("contactos.mdb");
        mdb::Table whole;
        {
            mdb::AccessFile file;
            QVERIFY(file.open(good).ok());
            QVERIFY(file.readTable(QStringLiteral("Clientes"), whole).ok());
        }
        const auto copies = testing::mdb_damage::damagedCopies(good);
        QVERIFY(copies.size() >= 6);
        for (const auto &[name, bytes] : copies) {
            const QString path = writeCopy(home, name + QStringLiteral(".mdb"), bytes);
            QVERIFY(!path.isEmpty());
            mdb::AccessFile file;
            QVERIFY2(file.open(path).ok(), qPrintable(name));
            mdb::Table t;
            const mdb::Result r = file.readTable(QStringLiteral("Clientes"), t);
            QVERIFY2(r.ok() || r.status == mdb::Status::Damaged, qPrintable(name));
            mdb::Table others;
            QVERIFY2(file.readTable(QStringLiteral("Proveedores"), others).ok(), qPrintable(name));
            QCOMPARE(others.rows.size(), size_t(10));
            if (name == QLatin1String("fuera_de_pagina") || name == QLatin1String("sobre_la_tabla")) {
                QCOMPARE(r.status, mdb::Status::Damaged);
                QVERIFY2(r.error.contains(QStringLiteral("outside its page")), qPrintable(r.error));
            }
            if (name == QLatin1String("bit_de_mas")) {
                QVERIFY2(r.ok(), qPrintable(r.error));
                QCOMPARE(t.rows, whole.rows);
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestMdb)
#include "test_mdb.moc"
