// The rules behind "Seleccionar destinatarios": the numbers of each class, a number's state, the
// time estimate and the filter's limit, the workbook of a class and the group made from one.
#include "history/export/recipients_sheet.h"
#include "history/recipient_classes.h"
#include "history/recipient_group.h"
#include "history/history_fixture.h"
#include "platform/xlsx/read_book.h"
#include "platform/xlsx/workbook_writer.h"
#include "support/other_workstation.h"

#include <QTest>

using namespace history;

namespace {

// Three numbers: one confirmed, one failed, one pending; 600123 is part of the confirmed one.
RecipientSend mixedSend()
{
    RecipientSend e;
    e.recipients = QStringLiteral("34600123456,34611111111,34622222222");
    e.deliveryState = QStringLiteral("0|34600123456|34611111111");
    e.sentAt = QStringLiteral("2024-05-01 09:00");
    e.scheduledFor = QStringLiteral("Inmediato");
    e.message = QStringLiteral("=HYPERLINK(\"x\") O'Donnell");
    e.sender = QStringLiteral("Brisanta");
    return e;
}

QString groupsOf(historytest::Database &db, const QString &phone)
{
    return db.connection.scalar(QStringLiteral("SELECT grupos_sid FROM Agenda WHERE telefono = ?1"), {phone})
        .toString();
}

} // namespace

class TestRecipientClasses final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void classWordsAreExact()
    {
        QCOMPARE(recipientClassFromText(QStringLiteral("Recibidos")), std::optional(RecipientClass::Received));
        QCOMPARE(recipientClassFromText(QStringLiteral("Pendientes")), std::optional(RecipientClass::Pending));
        QVERIFY(!recipientClassFromText(QStringLiteral("recibidos")));
        QVERIFY(!recipientClassFromText(QStringLiteral("pMensaje")));
        QVERIFY(!recipientClassFromText(QString()));
    }

    void classListsCompareWholeNumbers()
    {
        RecipientSend e = mixedSend();
        QCOMPARE(classList(RecipientClass::All, e), e.recipients);
        QCOMPARE(classList(RecipientClass::Received, e), QStringLiteral("34600123456"));
        QCOMPARE(classList(RecipientClass::Failed, e), QStringLiteral("34611111111"));
        QCOMPARE(classList(RecipientClass::Pending, e), QStringLiteral("34622222222"));

        // A recipient that is only part of a confirmed number is still pending.
        e.recipients = QStringLiteral("34600123456,600123");
        e.deliveryState = QStringLiteral("0|34600123456|0");
        QCOMPARE(classList(RecipientClass::Pending, e), QStringLiteral("600123"));
        QCOMPARE(classList(RecipientClass::Failed, e), QString());

        // Blanks and empty entries never reach the list.
        e.recipients = QStringLiteral(" 34600123456, ,34611111111,");
        QCOMPARE(classList(RecipientClass::All, e), QStringLiteral("34600123456,34611111111"));
        // A fresh send: nothing confirmed or failed, everybody pending.
        e.deliveryState = QStringLiteral("0|0|0");
        QCOMPARE(classList(RecipientClass::Received, e), QString());
        QCOMPARE(classList(RecipientClass::Pending, e), QStringLiteral("34600123456,34611111111"));
    }

    void statesOfNumbers()
    {
        const RecipientSend e = mixedSend();
        const Breakdown d = parseDeliveryState(e.deliveryState, e.recipients);
        QCOMPARE(phoneState(QStringLiteral("34600123456"), d), PhoneState::Confirmed);
        QCOMPARE(phoneState(QStringLiteral("34611111111"), d), PhoneState::Failed);
        QCOMPARE(phoneState(QStringLiteral("34622222222"), d), PhoneState::Unconfirmed);
        // Part of a number is not that number.
        QCOMPARE(phoneState(QStringLiteral("600123"), d), PhoneState::None);
        QCOMPARE(phoneStateText(PhoneState::Unconfirmed), QStringLiteral("Sin confirmar"));
        QCOMPARE(phoneStateColour(PhoneState::Confirmed), std::optional<quint32>(xlsx::fromVbColour(65280)));
        QCOMPARE(phoneStateColour(PhoneState::Failed), std::optional<quint32>(xlsx::fromVbColour(255)));
        QCOMPARE(phoneStateColour(PhoneState::Unconfirmed), std::optional<quint32>(0xFFCC77));
        QVERIFY(!phoneStateColour(PhoneState::None));
    }

    void filterLimitAndEstimate()
    {
        QVERIFY(!filterNeedsGroup(QString(5000, QLatin1Char('1'))));
        QVERIFY(filterNeedsGroup(QString(5001, QLatin1Char('1'))));
        QCOMPARE(estimatedGroupTime(5000), QStringLiteral("2 seg"));
        QCOMPARE(estimatedGroupTime(200000), QStringLiteral("1 min 40 seg"));
        QCOMPARE(estimatedGroupTime(0), QStringLiteral("0 seg"));
        // Exactly 60 seconds still reads in seconds; 61 in minutes.
        QCOMPARE(estimatedGroupTime(119908), QStringLiteral("60 seg"));
        QCOMPARE(estimatedGroupTime(121905), QStringLiteral("60 seg"));
        QCOMPARE(estimatedGroupTime(121906), QStringLiteral("1 min 1 seg"));
        QVERIFY(groupNamePrompt(5000).endsWith(QStringLiteral("Tiempo estimado: 2 seg")));
    }

    void recipientsBoxBeforeAdding()
    {
        QCOMPARE(keptRecipientsText(QString()), QString());
        QCOMPARE(keptRecipientsText(QStringLiteral(" 3 ")), QString());
        QCOMPARE(keptRecipientsText(QStringLiteral("34600123456")), QStringLiteral("34600123456"));
    }

    void workbookOfAClass()
    {
        historytest::Database db;
        const RecipientSend e = mixedSend();
        const QString path = db.home.file(QStringLiteral("destinatarios.xlsx"));
        QVERIFY(xlsx::save(path, {exporting::recipientsSheet(e, e.recipients + QStringLiteral(",600123"))}).ok());
        const xlsx::ReadBook book = xlsx::readWorkbook(path);
        QVERIFY(book.ok());
        const xlsx::ReadSheet &s = book.sheets.first();
        QCOMPARE(s.text(2, 2), QStringLiteral("Envío con fecha:"));
        QCOMPARE(s.text(2, 3), QStringLiteral("2024-05-01 09:00"));
        QCOMPARE(s.text(3, 3), QStringLiteral("Inmediato"));
        // A message that looks like a formula stays the message.
        QCOMPARE(s.cell(4, 3)->kind, xlsx::ReadCell::Kind::Text);
        QCOMPARE(s.text(4, 3), e.message);
        QCOMPARE(s.text(5, 2), QStringLiteral("Remitente:"));
        QCOMPARE(s.text(7, 2), QStringLiteral("Teléfono"));
        QCOMPARE(s.text(7, 3), QStringLiteral("Estado"));
        for (int row : {2, 3, 4, 5, 7})
            QVERIFY(s.cell(row, 2)->style.bold);
        QVERIFY(s.cell(7, 3)->style.bold);

        // One row per number, numbers as numbers, each state in its colour.
        QCOMPARE(s.cell(8, 2)->kind, xlsx::ReadCell::Kind::Number);
        QCOMPARE(s.text(8, 2), QStringLiteral("34600123456"));
        QCOMPARE(s.text(8, 3), QStringLiteral("Confirmado"));
        QCOMPARE(s.cell(8, 3)->style.fontColour, std::optional<xlsx::Rgb>(0x00FF00));
        QCOMPARE(s.text(9, 3), QStringLiteral("Fallido"));
        QCOMPARE(s.cell(9, 3)->style.fontColour, std::optional<xlsx::Rgb>(0xFF0000));
        QCOMPARE(s.text(10, 2), QStringLiteral("34622222222"));
        QCOMPARE(s.text(10, 3), QStringLiteral("Sin confirmar"));
        QCOMPARE(s.cell(10, 3)->style.fontColour, std::optional<xlsx::Rgb>(0xFFCC77));
        // A number in no list of the send keeps its row with an empty state.
        QCOMPARE(s.text(11, 2), QStringLiteral("600123"));
        QCOMPARE(s.text(11, 3), QString());
        QCOMPARE(s.lastRow, 11);
        QVERIFY(s.widths.contains(2) && s.widths.contains(3));
    }

    void groupFromNumbers()
    {
        historytest::Database db;
        QVERIFY(db.connection.execute(QStringLiteral("INSERT INTO Grupos (nombre) VALUES ('Clientes')")).ok());
        QVERIFY(db.connection
                    .execute(QStringLiteral("INSERT INTO Agenda (nombre, telefono, grupos_sid) VALUES "
                                            "('Ana','34600123456','1'),('Bea','34611111111',''),"
                                            "('Carla','600123',NULL),('Dora','34622222222',NULL),('Eva','34633333333','  ')"))
                    .ok());
        QVERIFY(groupNameTaken(db.connection, QStringLiteral("CLIENTES")));
        QVERIFY(!groupNameTaken(db.connection, QStringLiteral("Clientes de O'Donnell")));
        // Every letter folds, not only A-Z; an accent still makes another name.
        QVERIFY(db.connection.execute(QStringLiteral("INSERT INTO Grupos (nombre) VALUES ('Peña Ártica')")).ok());
        QVERIFY(groupNameTaken(db.connection, QStringLiteral("PEÑA ÁRTICA")));
        QVERIFY(!groupNameTaken(db.connection, QStringLiteral("Pena Artica")));

        const CreatedGroup g = createGroupFromPhones(db.connection, QStringLiteral("Clientes de O'Donnell"),
                                                    {QStringLiteral("34600123456"), QStringLiteral("34611111111"),
                                                     QStringLiteral("34699999999"), QStringLiteral("34633333333")});
        QVERIFY(g.ok());
        QCOMPARE(g.members, qint64(3));
        QCOMPARE(db.connection.scalar(QStringLiteral("SELECT nombre FROM Grupos WHERE sid = ?1"), {g.sid}).toString(),
                 QStringLiteral("Clientes de O'Donnell"));
        const QString sid = QString::number(g.sid);
        QCOMPARE(groupsOf(db, QStringLiteral("34600123456")), QStringLiteral("1,") + sid);
        QCOMPARE(groupsOf(db, QStringLiteral("34611111111")), sid);
        QCOMPARE(groupsOf(db, QStringLiteral("34633333333")), sid);   // a blank-only list holds no group
        // Part of a listed number, or not listed at all: untouched.
        QVERIFY(groupsOf(db, QStringLiteral("600123")).isEmpty());
        QVERIFY(groupsOf(db, QStringLiteral("34622222222")).isEmpty());

        // A failure leaves neither the group nor a changed contact.
        QVERIFY(db.connection.execute(QStringLiteral("CREATE TRIGGER no_updates BEFORE UPDATE ON Agenda "
                                                   "BEGIN SELECT RAISE(ABORT, 'locked'); END"))
                    .ok());
        const CreatedGroup failed =
            createGroupFromPhones(db.connection, QStringLiteral("Otro"), {QStringLiteral("34622222222")});
        QVERIFY(!failed.ok());
        QVERIFY(!groupNameTaken(db.connection, QStringLiteral("Otro")));
        QVERIFY(groupsOf(db, QStringLiteral("34622222222")).isEmpty());
    }

    // The shared file was held past the time-out and freed just after: a group that could not
    // begin its transaction is not created half, whatever fails next.
    void groupThatCouldNotBeginIsNotCreatedHalf()
    {
        historytest::Database db;
        QVERIFY(db.connection.execute(QStringLiteral("INSERT INTO Agenda (nombre, telefono) VALUES ('Ana','34600123456')"))
                    .ok());
        QVERIFY(db.connection.execute(QStringLiteral("CREATE TRIGGER no_updates BEFORE UPDATE ON Agenda "
                                                   "BEGIN SELECT RAISE(ABORT, 'locked'); END"))
                    .ok());
        {
            testing::OtherWorkstation other(db.connection);
            const CreatedGroup g = createGroupFromPhones(db.connection, QStringLiteral("Nuevos"), {QStringLiteral("34600123456")});
            QVERIFY(!g.ok());
            QCOMPARE(other.timesGivenUp(), 1);
        }
        QVERIFY(!groupNameTaken(db.connection, QStringLiteral("Nuevos")));
        QCOMPARE(db.connection.scalar(QStringLiteral("SELECT count(*) FROM Grupos")).toInt(), 0);
    }

    void readingASend()
    {
        historytest::Database db;
        historytest::Send s;
        s.recipients = QStringLiteral("34600123456");
        const qint64 sid = db.insert(s);
        const SendLookup found = readSend(db.connection, sid);
        QCOMPARE(found.status, SendLookup::Status::Ok);
        QCOMPARE(found.send.recipients, s.recipients);
        QCOMPARE(found.send.sender, QStringLiteral("Brisanta"));
        QCOMPARE(readSend(db.connection, sid + 1).status, SendLookup::Status::NoRow);
    }
};

QTEST_GUILESS_MAIN(TestRecipientClasses)
#include "test_recipient_classes.moc"
