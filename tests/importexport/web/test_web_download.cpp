#include "web_rig.h"

#include "importexport/web/web_download_window.h"
#include "importexport/web/web_download.h"
#include "platform/net/gateway_channel.h"

#include <QCheckBox>
#include <QSignalSpy>
#include <QTest>

using namespace importexport::web;

namespace {

// The records of a reply as the reader hands them over, each copied out to compare.
QStringList splitRecords(const QString &text)
{
    QStringList records;
    RecordReader reader(text);
    while (const std::optional<QStringView> record = reader.next())
        records << record->toString();
    return records;
}

QString record(const QStringList &values)
{
    QStringList quoted;
    for (QString v : values)
        quoted << QLatin1Char('\'') + v.replace(QLatin1Char('\''), QStringLiteral("''")) + QLatin1Char('\'');
    return QStringLiteral("INSERT INTO Agenda (nombre,telefono,direccion,nombre_completo,telefono_2,comentario) VALUES (")
         + quoted.join(QLatin1Char(',')) + QLatin1Char(')');
}

const QString kBase = QStringLiteral("http://gw.example/");

} // namespace

class TestWebDownload final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void classifiesInOrder()
    {
        QCOMPARE(classifyDownload(QStringLiteral("Error de autentificacion INSERT")), DownloadReply::AuthError);
        QCOMPARE(classifyDownload(QStringLiteral("Sin datos")), DownloadReply::NoData);
        QCOMPARE(classifyDownload(record({"a", "1", "", "", "", ""})), DownloadReply::Records);
        QCOMPARE(classifyDownload(QString()), DownloadReply::Unknown);
        QCOMPARE(classifyDownload(QStringLiteral("<html>error</html>")), DownloadReply::Unknown);
    }

    void splitsOnlyOutsideValues()
    {
        const QString a = record({"Ana", "346", "", "", "", "x||y"});
        const QString b = record({"Luis", "347", "", "", "", ""});
        QCOMPARE(splitRecords(a), QStringList{a});
        QCOMPARE(splitRecords(a + "||" + b), (QStringList{a, b}));
        QCOMPARE(splitRecords(a + "||"), (QStringList{a, QString()}));
    }

    void readsQuotesAndEmptyValues()
    {
        const auto r = parseRecord(record({"Seán O'Donnell", "34612345681", "", "Calle 'B'", "", "fin"}));
        QVERIFY(r);
        QCOMPARE(r->name, QStringLiteral("Seán O'Donnell"));
        QCOMPARE(r->phone, QStringLiteral("34612345681"));
        QCOMPARE(r->address, QString());
        QCOMPARE(r->fullName, QStringLiteral("Calle 'B'"));
        QCOMPARE(r->comment, QStringLiteral("fin"));
        QVERIFY(!parseRecord(QStringLiteral("INSERT INTO Agenda VALUES ('a','b','c')")));
        QVERIFY(!parseRecord(QStringLiteral("INSERT sin comillas")));
        QVERIFY(!parseRecord(QStringLiteral("('a','b','c','d','e','sin cerrar")));
    }

    void addsSkipsAndCounts()
    {
        WebRig rig;
        rig.addContact("Ana", "34600000001", "", "", "", "");
        rig.addContact("Luis", "34600000002", QVariant(), QVariant(), QVariant(), QVariant());
        const QString reply = QStringList{record({"Ana", "34600000001", "", "", "", ""}),      // identical
                                          record({"Ana B", "34600000001", "", "", "", ""}),    // same phone
                                          record({"Luis", "34600000002", "", "", "", ""}),     // local Nulls
                                          record({"Eva", "34600000003", "", "", "", ""}),
                                          record({"Eva", "34600000003", "", "", "", ""})}      // twice in one reply
                                  .join(QStringLiteral("||"));
        DownloadOutcome out = applyDownloadReply(rig.connection, reply, DownloadOptions{false, true}, kBase, "Brisanta");
        QCOMPARE(out.status, DownloadOutcome::Status::Imported);
        QCOMPARE(out.added, 3);
        QCOMPARE(out.text, QStringLiteral("3 contactos han sido añadidos a la agenda de Brisanta Desktop"));
        QCOMPARE(out.title, QStringLiteral("Importación finalizada"));
        QCOMPARE(rig.contactCount(), 5);

        // By phone: everything is there now.
        out = applyDownloadReply(rig.connection, reply, DownloadOptions{true, true}, kBase, "Brisanta");
        QCOMPARE(out.added, 0);
        QCOMPARE(out.text, QStringLiteral("0 contactos han sido añadidos a la agenda de Brisanta Desktop"));

        // Neither: every record goes in.
        out = applyDownloadReply(rig.connection, reply, DownloadOptions{false, false}, kBase, "Brisanta");
        QCOMPARE(out.added, 5);
        QCOMPARE(rig.contactCount(), 10);
    }

    // A reply made of records is records, even when a value holds one of the gateway's phrases.
    void recordsAreRecognisedBeforeThePhrases()
    {
        const QString streetRecord = record({"Ana", "34600000001", "Calle Sin datos 3", "", "", ""});
        const QString auth = record({"Luis", "34600000002", "", "", "", "Error de autentificacion"});
        QCOMPARE(classifyDownload(streetRecord), DownloadReply::Records);
        QCOMPARE(classifyDownload(auth), DownloadReply::Records);
        QCOMPARE(classifyDownload(streetRecord + "||" + auth + "||"), DownloadReply::Records);
        // The bare phrases, or a phrase with something that is not a record, stay what they were.
        QCOMPARE(classifyDownload(QStringLiteral("Sin datos")), DownloadReply::NoData);
        QCOMPARE(classifyDownload(QStringLiteral("Sin datos ") + streetRecord), DownloadReply::NoData);
        QCOMPARE(classifyDownload(QStringLiteral("Error de autentificacion") + "||" + streetRecord), DownloadReply::AuthError);

        WebRig rig;
        const DownloadOutcome out =
            applyDownloadReply(rig.connection, streetRecord + "||" + auth, DownloadOptions{false, true}, kBase, "Brisanta");
        QCOMPARE(out.status, DownloadOutcome::Status::Imported);
        QCOMPARE(out.added, 2);
        QCOMPARE(rig.contactCount(), 2);
    }

    // "Skip identical contacts" compares the texts without case for every letter, as the old
    // database did; an accent still makes another text.
    void identicalContactsCompareWithoutCase()
    {
        WebRig rig;
        rig.addContact("Ángel Peña", "34600000001", "Íñigo", "Ávila", "", "ÑU");
        const QString same = record({"ÁNGEL PEÑA", "34600000001", "ávila", "íÑIGO", "", "ñu"});
        DownloadOutcome out = applyDownloadReply(rig.connection, same, DownloadOptions{false, true}, kBase, "Brisanta");
        QCOMPARE(out.added, 0);
        const QString other = record({"Angel Peña", "34600000001", "Ávila", "Íñigo", "", "ÑU"});
        out = applyDownloadReply(rig.connection, other, DownloadOptions{false, true}, kBase, "Brisanta");
        QCOMPARE(out.added, 1);
    }

    void apostrophesAndSeparatorsInValuesArriveWhole()
    {
        WebRig rig;
        const QString reply = record({"D'Ors", "34600000004", "Calle || 3", "Jesús D'Ors", "", "it's"}) + "||";
        const DownloadOutcome out = applyDownloadReply(rig.connection, reply, DownloadOptions{false, true}, kBase, "Brisanta");
        QCOMPARE(out.added, 1);
        QCOMPARE(out.unreadable, 0);
        const auto rows = rig.connection.select(QStringLiteral("SELECT nombre,direccion,nombre_completo,comentario FROM Agenda"));
        QCOMPARE(rows.size(), size_t(1));
        QCOMPARE(rows[0].value(0).toString(), QStringLiteral("D'Ors"));
        QCOMPARE(rows[0].value(1).toString(), QStringLiteral("Calle || 3"));
        QCOMPARE(rows[0].value(2).toString(), QStringLiteral("Jesús D'Ors"));
        QCOMPARE(rows[0].value(3).toString(), QStringLiteral("it's"));
    }

    // The reply is data, never SQL: a statement smuggled into it does not run.
    void replyIsNeverRunAsSql()
    {
        WebRig rig;
        rig.addContact("Ana", "34600000001");
        const QString reply = QStringLiteral("DELETE FROM Agenda; INSERT INTO Agenda (nombre) VALUES ('x')");
        const DownloadOutcome out = applyDownloadReply(rig.connection, reply, DownloadOptions{}, kBase, "Brisanta");
        QCOMPARE(out.added, 0);
        QCOMPARE(out.unreadable, 1);
        QCOMPARE(rig.contactCount(), 1);
        QVERIFY(out.text.contains(QStringLiteral("no se han podido leer")));
    }

    void failedWriteKeepsNothing()
    {
        WebRig rig;
        QVERIFY(rig.connection.execute(QStringLiteral("CREATE TRIGGER no_mas BEFORE INSERT ON Agenda WHEN NEW.telefono='2' "
                                                    "BEGIN SELECT RAISE(ABORT,'refused'); END")).ok());
        const QString reply = record({"A", "1", "", "", "", ""}) + "||" + record({"B", "2", "", "", "", ""});
        const DownloadOutcome out = applyDownloadReply(rig.connection, reply, DownloadOptions{}, kBase, "Brisanta");
        QCOMPARE(out.status, DownloadOutcome::Status::WriteError);
        QCOMPARE(rig.contactCount(), 0);
    }

    void captionEndsWithTheDomain()
    {
        QCOMPARE(domainFromDot(QStringLiteral("http://www.brisanta.es/")), QStringLiteral(".brisanta.es/"));
        QCOMPARE(domainFromDot(QStringLiteral("http://localhost/")), QStringLiteral("http://localhost/"));
    }

    void windowDownloadsFromTheGateway()
    {
        WebRig rig;
        rig.sim.addAccount(QStringLiteral("ana"), QStringLiteral("p&ss"));
        rig.sim.addWebContact(QStringLiteral("ana"), {QStringLiteral("Seán O'Donnell"), QStringLiteral("34612345681"),
                                                      QStringLiteral("Seán"), QStringLiteral("Rúa 3"), QString(),
                                                      QStringLiteral("nota")});
        rig.sim.addWebContact(QStringLiteral("ana"), {QStringLiteral("Eva"), QStringLiteral("34612345682")});
        rig.addAccountRow(QStringLiteral("ana"), QStringLiteral("p&ss"));
        WebDownloadWindow form(*rig.context, &rig.lists);
        QVERIFY(!form.skipExistingPhoneCheck->isChecked());
        QVERIFY(form.skipDuplicatesCheck->isChecked());
        form.skipExistingPhoneCheck->click();
        QVERIFY(form.skipDuplicatesCheck->isChecked());
        form.skipExistingPhoneCheck->click();
        QVERIFY(form.skipDuplicatesCheck->isChecked());

        QSignalSpy handled(&form, &WebDownloadWindow::replyHandled);
        form.requestDownload();
        QVERIFY(handled.wait(10000));
        QCOMPARE(rig.contactCount(), 2);
        QCOMPARE(rig.connection.scalar(QStringLiteral("SELECT direccion FROM Agenda WHERE telefono='34612345681'")).toString(),
                 QStringLiteral("Rúa 3"));
        QCOMPARE(rig.prompter.lastCall().text, QStringLiteral("2 contactos han sido añadidos a la agenda de Brisanta Desktop"));
        QCOMPARE(rig.prompter.lastCall().title, QStringLiteral("Importación finalizada"));
        QCOMPARE(rig.lists.contactReloads, QList<bool>{true});
        const auto first = rig.sim.lastRequest(sim::Endpoint::ExportBook);
        QVERIFY(first);
        QCOMPARE(first->value("password"), QStringLiteral("p&ss"));
        QCOMPARE(first->value("buf"), QStringLiteral("0"));

        // Again: all already there, nothing added, the list is not redrawn; the counter moved on.
        form.requestDownload();
        QVERIFY(handled.wait(10000));
        QCOMPARE(rig.contactCount(), 2);
        QCOMPARE(rig.prompter.lastCall().text, QStringLiteral("0 contactos han sido añadidos a la agenda de Brisanta Desktop"));
        QCOMPARE(rig.lists.contactReloads.size(), 1);
        QCOMPARE(rig.sim.lastRequest(sim::Endpoint::ExportBook)->value("buf"), QStringLiteral("1"));
    }

    void windowReportsRefusalEmptyBookAndNoConnection()
    {
        WebRig rig;
        rig.sim.addAccount(QStringLiteral("ana"), QStringLiteral("bien"));
        rig.addAccountRow(QStringLiteral("ana"), QStringLiteral("mal"));
        WebDownloadWindow form(*rig.context, &rig.lists);
        QSignalSpy handled(&form, &WebDownloadWindow::replyHandled);
        form.requestDownload();
        QVERIFY(handled.wait(10000));
        QCOMPARE(rig.prompter.lastCall().title, QStringLiteral("Faltan datos de usuario"));

        rig.connection.execute(QStringLiteral("UPDATE Usuario SET pass='bien'"));
        form.requestDownload();
        QVERIFY(handled.wait(10000));
        QCOMPARE(rig.prompter.lastCall().title, QStringLiteral("Sin contactos"));
        QCOMPARE(rig.prompter.lastCall().text, QStringLiteral("No tiene ningun contacto en la agenda de ") + rig.sim.baseUrl());

        rig.sim.armFault(sim::Endpoint::ExportBook, sim::FaultKind::EmptyBody);
        form.requestDownload();
        QVERIFY(handled.wait(10000));
        QCOMPARE(rig.prompter.lastCall().title, QStringLiteral("Error de conexión"));
        QCOMPARE(rig.contactCount(), 0);
        QVERIFY(rig.lists.contactReloads.isEmpty());
    }

    void webBookOfTwoHundredThousandContactsArrivesWhole()
    {
        // A large web account with everyday values: some forty megabytes in one reply.
        constexpr int kContacts = 200000;
        WebRig rig;
        rig.sim.addAccount(QStringLiteral("ana"), QStringLiteral("clave"));
        for (int i = 0; i < kContacts; ++i) {
            const QString n = QString::number(i).rightJustified(6, QLatin1Char('0'));
            rig.sim.addWebContact(QStringLiteral("ana"),
                                  {QStringLiteral("Contacto ") + n, QStringLiteral("34600") + n,
                                   QStringLiteral("María Fernández López ") + n, QStringLiteral("Calle Mayor ") + n + QStringLiteral(", 3º B"),
                                   QStringLiteral("34910") + n, QStringLiteral("Cliente desde 2019, prefiere llamadas por la tarde")});
        }
        rig.addAccountRow(QStringLiteral("ana"), QStringLiteral("clave"));
        WebDownloadWindow form(*rig.context, &rig.lists);
        // The simulator writes its first byte only once the whole reply is built, which on a
        // loaded machine can take longer than the client's silence limit; what is proved here is
        // that a reply that keeps coming arrives whole, so the silence allowed is the test's wait.
        form.browser().setTimeout(std::chrono::minutes(10));
        QSignalSpy handled(&form, &WebDownloadWindow::replyHandled);
        form.requestDownload();
        QVERIFY(handled.wait(600000));
        const auto outcome = handled.at(0).at(0).value<DownloadOutcome>();
        QCOMPARE(outcome.status, DownloadOutcome::Status::Imported);
        QCOMPARE(outcome.added, kContacts);
        QCOMPARE(rig.contactCount(), kContacts);
        QCOMPARE(rig.connection.scalar(QStringLiteral("SELECT direccion FROM Agenda WHERE telefono='34600199999'")).toString(),
                 QStringLiteral("Calle Mayor 199999, 3º B"));
        QCOMPARE(rig.prompter.lastCall().title, QStringLiteral("Importación finalizada"));
    }

    void bookPastTheCapIsTooLargeNotAConnectionFailure()
    {
        WebRig rig;
        rig.sim.addAccount(QStringLiteral("ana"), QStringLiteral("clave"));
        rig.sim.addWebContact(QStringLiteral("ana"), {QStringLiteral("Eva"), QStringLiteral("34612345682")});
        rig.addAccountRow(QStringLiteral("ana"), QStringLiteral("clave"));
        WebDownloadWindow form(*rig.context, &rig.lists);
        QCOMPARE(form.browser().replyLimit(), kDownloadReplyLimit);
        // The cap lowered below one record stands in for a contact list past the real one.
        form.browser().setReplyLimit(16);
        QSignalSpy handled(&form, &WebDownloadWindow::replyHandled);
        form.requestDownload();
        QVERIFY(handled.wait(10000));
        QCOMPARE(handled.at(0).at(0).value<DownloadOutcome>().status, DownloadOutcome::Status::TooLarge);
        QCOMPARE(rig.prompter.lastCall().title, QStringLiteral("Agenda demasiado grande"));
        QCOMPARE(rig.prompter.lastCall().text,
                 QStringLiteral("La agenda recibida de la cuenta web es demasiado grande para importarla (más de 64 MB). "
                                "No se ha añadido ningún contacto."));
        QCOMPARE(rig.contactCount(), 0);
        QVERIFY(rig.lists.contactReloads.isEmpty());
    }

    void noAccountSendsNothing()
    {
        WebRig rig;
        WebDownloadWindow form(*rig.context, &rig.lists);
        form.requestDownload();
        QVERIFY(!form.browser().inFlight());
        QCOMPARE(rig.prompter.count(), 0);
        QCOMPARE(rig.sim.requestCount(sim::Endpoint::ExportBook), 0);
    }
};

QTEST_MAIN(TestWebDownload)
#include "test_web_download.moc"
