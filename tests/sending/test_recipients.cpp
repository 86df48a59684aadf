#include "sending/recipients.h"

#include <QTest>

using namespace sending;

class TestRecipients final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cleaning_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("sendEnabled");
        QTest::addColumn<QString>("messageText");
        const int valid = static_cast<int>(RecipientsStatus::Valid);
        const int some = static_cast<int>(RecipientsStatus::SomeInvalid);
        const int single = static_cast<int>(RecipientsStatus::SingleInvalid);
        const int empty = static_cast<int>(RecipientsStatus::Empty);
        const QString listBox = QStringLiteral("Alguno de los teléfonos no es válido. Por favor, revise los telefonos: ");
        const QString singleBox = QStringLiteral("El telefono no es válido. Por favor, compruébelo.");

        QTest::newRow("mobile gets 34") << "600000001" << "34600000001" << valid << true << QString();
        QTest::newRow("leading zeros") << "0034600000001" << "34600000001" << valid << true << QString();
        QTest::newRow("plus, blanks, dashes") << "+34 600-000-001" << "34600000001" << valid << true << QString();
        QTest::newRow("semicolon") << "600000001;600000002" << "34600000001,34600000002" << valid << true << QString();
        QTest::newRow("pasted column") << "600000001\r\n600000002\r\n" << "34600000001,34600000002" << valid << true
                                       << QString();
        QTest::newRow("tab CR LF") << "600000001\t\r\n600000002" << "34600000001,34600000002" << valid << true
                                   << QString();
        QTest::newRow("written together") << "600000001600000002" << "34600000001,34600000002" << valid << true
                                          << QString();
        QTest::newRow("written together with 34") << "3460000000134600000002" << "34600000001,34600000002" << valid
                                                  << true << QString();
        QTest::newRow("landline keeps its form") << "700000001" << "700000001" << valid << true << QString();
        QTest::newRow("ten digits keep their form") << "6000000019" << "6000000019" << valid << true << QString();
        QTest::newRow("duplicate once prefixed") << "34600000001,600000001" << "34600000001" << valid << true
                                                 << QString();
        QTest::newRow("contained number is another number")
            << "34600000001,4600000001" << "34600000001,4600000001" << valid << true << QString();
        QTest::newRow("too short alone") << "1234567" << "1234567" << single << false << singleBox;
        QTest::newRow("one kept, one rejected") << "600000001,123" << "34600000001" << some << true
                                                << listBox + QStringLiteral("123.");
        QTest::newRow("two kept, one rejected") << "600000001,600000002,123" << "34600000001,34600000002" << some
                                                << true << listBox + QStringLiteral("123.");
        QTest::newRow("nothing kept") << "12,34" << "12,34" << some << false << listBox + QStringLiteral("12,34.");
        QTest::newRow("empty") << "" << "" << empty << false << QString();
        QTest::newRow("only separators") << ",;,\r\n" << "" << empty << false << QString();
        QTest::newRow("letters and quotes") << "'; DROP TABLE Agenda; --" << "" << empty << false << QString();
        QTest::newRow("zeros only") << "000" << "000" << single << false << singleBox;
    }
    void cleaning()
    {
        QFETCH(QString, box);
        QFETCH(QString, text);
        QFETCH(int, status);
        QFETCH(bool, sendEnabled);
        QFETCH(QString, messageText);
        const RecipientsResult result = cleanRecipients(box);
        QCOMPARE(result.text, text);
        QCOMPARE(static_cast<int>(result.status), status);
        QCOMPARE(result.sendEnabled, sendEnabled);
        QCOMPARE(result.messageText, messageText);
        QCOMPARE(result.askQuote, result.status == RecipientsStatus::Valid);
        QVERIFY(!result.text.endsWith(QLatin1Char(',')));
    }

    void singleRecipientHasNoComma()
    {
        const RecipientsResult result = cleanRecipients(QStringLiteral(" 600000001 , "));
        QCOMPARE(result.kept, QStringList{QStringLiteral("34600000001")});
        QVERIFY(!result.text.contains(QLatin1Char(',')));
    }

    void longBoxSkipsTheOffer()
    {
        QStringList numbers;
        for (int i = 0; i < 3000; ++i)
            numbers.append(QString::number(600000000 + i));
        const RecipientsResult result = cleanRecipients(numbers.join(QLatin1Char(',')));
        QCOMPARE(result.kept.size(), 3000);
        QVERIFY(result.text.size() > kUnknownOfferMaxLength);
        QVERIFY(result.askQuote);
        QVERIFY(!result.offerUnknown);
        QVERIFY(cleanRecipients(QStringLiteral("600000001")).offerUnknown);
    }

    void leavingTheBox_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("tag");
        QTest::addColumn<int>("action");
        QTest::newRow("unchanged") << "34600000001" << "34600000001" << static_cast<int>(LeaveAction::Nothing);
        QTest::newRow("picker left a clean list") << "34600000001" << "34600000001,coste"
                                                  << static_cast<int>(LeaveAction::QuoteOnly);
        QTest::newRow("picker, short text") << "123456" << "123456,coste" << static_cast<int>(LeaveAction::Nothing);
        QTest::newRow("edited after the picker") << "34600000001,6" << "34600000001,coste"
                                                 << static_cast<int>(LeaveAction::Process);
        QTest::newRow("typed") << "600000001" << "" << static_cast<int>(LeaveAction::Process);
    }
    void leavingTheBox()
    {
        QFETCH(QString, text);
        QFETCH(QString, tag);
        QFETCH(int, action);
        QCOMPARE(static_cast<int>(recipientsLeaveAction(text, tag)), action);
    }
};

QTEST_GUILESS_MAIN(TestRecipients)
#include "test_recipients.moc"
