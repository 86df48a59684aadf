#include "platform/mdb/access_file.h"
#include "platform/mdb/access_value.h"
#include "platform/mdb/jet_text.h"
#include "support/temp_home.h"

#include <QFile>
#include <QTest>
#include <QTimeZone>

namespace {

QString fixture(const char *name)
{
    return testing::sharedFixture(QStringLiteral("fixtures/access/") + QLatin1String(name));
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
        const int nombre = 1, movil = 3, telefono = 4, notas = 6, fecha = 7;
        QVERIFY(!t.rows[1].at(notas).isValid());                 // row 2: Notas null
        QVERIFY(t.rows[2].at(notas).isValid());                  // row 3: Notas empty
        QCOMPARE(t.rows[2].at(notas).toString(), QString());
        QVERIFY(t.rows[2].at(telefono).isValid());               // row 3: Telefono empty
        QVERIFY(!t.rows[3].at(telefono).isValid());              // row 4: Telefono null
        QVERIFY(t.rows[6].at(nombre).isValid());                 // row 7: Nombre empty
        QVERIFY(!t.rows[7].at(nombre).isValid());                // row 8: Nombre null
        QVERIFY(t.rows[8].at(movil).isValid());                  // row 9: Movil empty
        QVERIFY(!t.rows[9].at(movil).isValid());                 // row 10: Movil null
        QVERIFY(!t.rows[2].at(fecha).isValid());                 // row 3: no date
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
        const int fecha = 7;
        QCOMPARE(t.rows[0].at(fecha).toDateTime().date(), QDate(1975, 3, 14));
        QCOMPARE(t.rows[4].at(fecha).toDateTime().date(), QDate(1968, 2, 29));
        QCOMPARE(t.rows[25].at(fecha).toDateTime().date(), QDate(1899, 12, 30));
        QCOMPARE(t.rows[26].at(fecha).toDateTime(), QDateTime(QDate(1985, 11, 5), QTime(14, 30), Qt::UTC));
        QCOMPARE(t.rows[36].at(fecha).toDateTime().date(), QDate(2000, 2, 29));
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
        const QString ana = QStringLiteral("Ana \U0001F389 Ruiz");
        QByteArray utf16;
        for (const QChar ch : ana)
            utf16 += char(ch.unicode() & 0xFF), utf16 += char(ch.unicode() >> 8);
        QCOMPARE(mdb::decodeJetText(utf16), ana);
        // Compressed: "Ana " one byte a character, 0x00, the pair two bytes each, 0x00, " Ruiz".
        const QByteArray compressed = QByteArray("\xFF\xFE" "Ana ", 6) + '\0' + QByteArray("\x3C\xD8\x89\xDF", 4)
                                    + '\0' + QByteArray(" Ruiz");
        QCOMPARE(mdb::decodeJetText(compressed), ana);
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

    void datesBeforeDayZeroCountTimeForward()
    {
        QCOMPARE(mdb::accessDateToDateTime(0.0), QDateTime(QDate(1899, 12, 30), QTime(0, 0), Qt::UTC));
        QCOMPARE(mdb::accessDateToDateTime(-1.25), QDateTime(QDate(1899, 12, 29), QTime(6, 0), Qt::UTC));
        QCOMPARE(mdb::accessDateToDateTime(2.5), QDateTime(QDate(1900, 1, 1), QTime(12, 0), Qt::UTC));
    }
};

QTEST_GUILESS_MAIN(TestMdb)
#include "test_mdb.moc"
