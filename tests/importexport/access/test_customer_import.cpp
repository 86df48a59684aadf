#include "agenda_fixture.h"
#include "platform/mdb/damaged_rows.h"

#include "importexport/access/customer_import.h"
#include "importexport/access/phone_rules.h"

#include <QFile>
#include <QTest>

using namespace importexport::access;

class TestCustomerImport final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (accessFixture("clientes_numerico.mdb").isEmpty())
            QSKIP("the Access fixtures are not reachable (BRISANTA_SHARED)");
    }

    void phoneRule_data()
    {
        QTest::addColumn<QString>("raw");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << "612345678" << "34612345678";
        QTest::newRow("plus 34 blanks") << "+34 623 456 789" << "34623456789";
        QTest::newRow("0034") << "0034634567890" << "34634567890";
        QTest::newRow("dots") << "612.345.680" << "34612345680";
        QTest::newRow("middle dot") << "656·78·90·12" << "34656789012";
        QTest::newRow("parentheses stay") << "(+34) 699-12-34-56" << "(34)699123456";
        QTest::newRow("trunk zero") << "0612345681" << "34612345681";
        QTest::newRow("landline") << "912345678" << "912345678";
        QTest::newRow("seven") << "712 345 678" << "712345678";
        QTest::newRow("zeros") << "000" << "";
        QTest::newRow("cut at 48") << QString(60, QLatin1Char('1')) << QString(48, QLatin1Char('1'));
    }
    void phoneRule()
    {
        QFETCH(QString, raw);
        QFETCH(QString, expected);
        QCOMPARE(cleanCustomerPhone(raw), expected);
    }

    // A damaged row in the customer database: a message that names the table, nothing written.
    void damagedTableIsNamed()
    {
        AgendaFixture f;
        QByteArray damaged;
        for (const auto &[name, bytes] : testing::mdb_damage::damagedCopies(accessFixture("clientes_numerico.mdb")))
            if (name == QLatin1String("fuera_de_pagina"))
                damaged = bytes;
        QVERIFY(!damaged.isEmpty());
        QFile copy(f.home.file(QStringLiteral("clientes.mdb")));
        QVERIFY(copy.open(QIODevice::WriteOnly));
        QCOMPARE(copy.write(damaged), damaged.size());
        copy.close();
        const CustomerOutcome out =
            importCustomerDatabase(copy.fileName(), f.home.file(QStringLiteral("bbdd.mdb")), CustomerOptions{});
        QCOMPARE(out.status, CustomerStatus::CustomerDatabaseError);
        QCOMPARE(out.message, QStringLiteral("La tabla 'tbl_cliente_tipo' de la base de datos de clientes está dañada: alguna "
                                             "de sus filas no se puede leer. No se ha importado ningún contacto."));
        QCOMPARE(f.contactCount(), 0);
    }

    void numericKeys()
    {
        AgendaFixture f;
        const CustomerOutcome out = importCustomerDatabase(accessFixture("clientes_numerico.mdb"),
                                                     f.home.file(QStringLiteral("bbdd.mdb")), CustomerOptions{});
        QCOMPARE(out.status, CustomerStatus::Ok);
        // 22 mobile rows with a number; one belongs to a customer that does not exist.
        QCOMPARE(out.imported, 21);
        QCOMPARE(out.withoutCustomer, 1);
        QVERIFY(out.message.startsWith(QStringLiteral("Base de datos de clientes importada en Brisanta Desktop. Gracias por su confianza.")));
        QCOMPARE(f.contactCount(), 21);
        QCOMPARE(f.field("34623456789", "nombre"), QStringLiteral("Seán O'Donnell"));
        QCOMPARE(f.field("34623456789", "comentario"), QStringLiteral("Empresa"));
        QCOMPARE(f.field("34634567890", "comentario"), QStringLiteral("Indefinido"));   // no type
        QCOMPARE(f.field("34612345681", "comentario"), QStringLiteral("Indefinido"));   // type 99 missing
        QCOMPARE(f.field("34656789012", "comentario"), QStringLiteral("Distribuidor d'Ordesa"));
        QCOMPARE(f.field("34612345680", "nombre").size(), 50);
        QCOMPARE(f.field("34612345680", "nombre_completo").size(), 50);
        QCOMPARE(f.field("34612345680", "comentario").size(), 50);
        QCOMPARE(f.field("34612345682", "nombre"), QString());                          // empty name
        QCOMPARE(f.field("34612345682", "direccion"), QStringLiteral("<null>"));
        // The same number for two customers gives two contacts; kind 1 and 2 rows stay out.
        QCOMPARE(f.connection.scalar(QStringLiteral("SELECT count(*) FROM Agenda WHERE telefono='34699123457'")).toInt(), 2);
        QCOMPARE(f.field("34600111222", "nombre"), QStringLiteral("<none>"));
        QCOMPARE(f.field("912345678", "nombre"), QStringLiteral("Ana Belén Sáez Muñoz"));
        QCOMPARE(f.field("", "nombre"), QStringLiteral("Chloé Dubois"));                  // "000"
    }

    void textKeys()
    {
        AgendaFixture f;
        const CustomerOutcome out = importCustomerDatabase(accessFixture("clientes_texto.mdb"),
                                                     f.home.file(QStringLiteral("bbdd.mdb")),
                                                     CustomerOptions{false, false, false});
        QCOMPARE(out.status, CustomerStatus::Ok);
        // 27 mobile rows with a number; customers 999 and "7 " do not exist; kind "03" is not "3".
        QCOMPARE(out.imported, 25);
        QCOMPARE(out.withoutCustomer, 2);
        QCOMPARE(f.field("34612345693", "nombre"), QStringLiteral("<none>"));
        QCOMPARE(f.field("34612345698", "nombre"), QStringLiteral("<none>"));
        QCOMPARE(f.field("34612345694", "nombre"), QStringLiteral("Jaime Bonet Moreno"));
        QCOMPARE(f.field("34612345695", "comentario"), QStringLiteral("Distribuidor d'Ordesa"));
        QCOMPARE(f.field("34612345696", "comentario"), QStringLiteral("Indefinido"));
        QCOMPARE(f.field("34612345697", "comentario"), QStringLiteral("Tipo con ceros a la izquierda"));
    }

    void importingAgainAddsAgain()
    {
        AgendaFixture f;
        const QString target = f.home.file(QStringLiteral("bbdd.mdb"));
        QCOMPARE(importCustomerDatabase(accessFixture("clientes_numerico.mdb"), target, CustomerOptions{}).imported, 21);
        QCOMPARE(importCustomerDatabase(accessFixture("clientes_numerico.mdb"), target, CustomerOptions{}).imported, 21);
        QCOMPARE(f.contactCount(), 42);
    }

    void wrongFilesAreReportedAndWriteNothing()
    {
        AgendaFixture f;
        const QString target = f.home.file(QStringLiteral("bbdd.mdb"));
        QFile text(f.home.file(QStringLiteral("texto.txt")));
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("no soy una base de datos\n");
        text.close();

        CustomerOutcome out = importCustomerDatabase(text.fileName(), target, CustomerOptions{});
        QCOMPARE(out.status, CustomerStatus::CustomerDatabaseError);
        QVERIFY(!out.message.isEmpty());

        // contactos.mdb is an Access file without the customer tables.
        out = importCustomerDatabase(accessFixture("contactos.mdb"), target, CustomerOptions{});
        QCOMPARE(out.status, CustomerStatus::CustomerDatabaseError);
        QVERIFY(out.message.contains(QStringLiteral("tbl_cliente")));

        // The program database picked is not one.
        out = importCustomerDatabase(accessFixture("clientes_numerico.mdb"), text.fileName(), CustomerOptions{});
        QCOMPARE(out.status, CustomerStatus::ProgramDatabaseError);
        out = importCustomerDatabase(accessFixture("clientes_numerico.mdb"), accessFixture("contactos.mdb"), CustomerOptions{});
        QCOMPARE(out.status, CustomerStatus::ProgramDatabaseError);
        QCOMPARE(f.contactCount(), 0);
    }

    void failedWriteLeavesTheBookAsItWas()
    {
        AgendaFixture f;
        QVERIFY(f.connection.execute(QStringLiteral("CREATE TRIGGER no_mas BEFORE INSERT ON Agenda WHEN NEW.telefono='34699123457' "
                                                  "BEGIN SELECT RAISE(ABORT,'refused'); END")).ok());
        const CustomerOutcome out = importCustomerDatabase(accessFixture("clientes_numerico.mdb"),
                                                     f.home.file(QStringLiteral("bbdd.mdb")), CustomerOptions{});
        QCOMPARE(out.status, CustomerStatus::WriteError);
        QVERIFY(!out.message.contains(QStringLiteral("Gracias")));
        QCOMPARE(f.contactCount(), 0);
    }
};

QTEST_GUILESS_MAIN(TestCustomerImport)
#include "test_customer_import.moc"
