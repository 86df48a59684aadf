#include "sending/message_counter.h"
#include "sending/message_parts.h"
#include "sending/send_time.h"

#include <QTest>

using namespace sending;

namespace {

// A message of `length` characters where every line break is typed as CR LF.
QString messageWithBreaks(qsizetype length)
{
    QString text;
    while (text.size() + 2 <= length) {
        text += (text.size() % 40 == 38) ? QStringLiteral("\r\n") : QStringLiteral("ab");
    }
    if (text.size() < length)
        text += QLatin1Char('x');
    return text;
}

const QDateTime kNow(QDate(2026, 3, 5), QTime(9, 7), Qt::UTC);

} // namespace

class TestMessageCounter final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void partsAndLimit_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("parts");
        QTest::addColumn<int>("limit");
        QTest::addColumn<int>("charged");
        QTest::newRow("empty") << 0 << 1 << 160 << 0;
        QTest::newRow("160") << 160 << 1 << 160 << 1;
        QTest::newRow("161") << 161 << 2 << 306 << 2;
        QTest::newRow("306") << 306 << 2 << 306 << 2;
        QTest::newRow("307") << 307 << 3 << 459 << 3;
        QTest::newRow("1530") << 1530 << 10 << 1530 << 10;
    }
    void partsAndLimit()
    {
        QFETCH(int, length);
        QFETCH(int, parts);
        QFETCH(int, limit);
        QFETCH(int, charged);
        const QString message = messageWithBreaks(length);
        QCOMPARE(message.size(), length);
        QVERIFY(length < 40 || message.contains(QStringLiteral("\r\n")));
        const CounterResult result = countCharacters(message, kImmediate, kNow);
        QCOMPARE(result.length, length);
        QCOMPARE(result.parts.parts, parts);
        QCOMPARE(result.parts.limit, limit);
        QCOMPARE(result.chargedParts, charged);
    }

    void keywordsCounted_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("withRecipients");
        QTest::addColumn<int>("longestName");
        QTest::addColumn<int>("expected");
        QTest::newRow("no recipients") << QStringLiteral("Hola [NOMBRE]") << false << 0 << 5;
        QTest::newRow("longest name 12") << QStringLiteral("Hola [NOMBRE]") << true << 12 << 17;
        QTest::newRow("nobody in the contact list") << QStringLiteral("Hola [NOMBRE]") << true << 0 << 5;
        QTest::newRow("confirmation form") << QStringLiteral("Hola [NOMBRE_CONFIRMAR]") << true << 12 << 17;
        QTest::newRow("date") << QStringLiteral("[FECHA]") << false << 0 << 8;
        QTest::newRow("hour") << QStringLiteral("[HORA]") << false << 0 << 5;
        QTest::newRow("birth date is text") << QStringLiteral("[F_NACIMIENTO]") << true << 12 << 14;
        QTest::newRow("age is text") << QStringLiteral("[EDAD]") << true << 12 << 6;
        QTest::newRow("unclosed bracket") << QStringLiteral("[NOMBRE") << true << 12 << 7;
    }
    void keywordsCounted()
    {
        QFETCH(QString, message);
        QFETCH(bool, withRecipients);
        QFETCH(int, longestName);
        QFETCH(int, expected);
        std::optional<LongestValues> longest;
        if (withRecipients)
            longest = LongestValues{longestName, 0, 0, 0, 0, 0};
        QCOMPARE(countCharacters(message, kImmediate, kNow, longest).length, expected);
    }

    void needsContactBookOnlyForContactKeywords()
    {
        QVERIFY(needsLongestValues(QStringLiteral("Hola [NOMBRE_CONFIRMAR]")));
        QVERIFY(!needsLongestValues(QStringLiteral("Hola [FECHA] [EDAD] [F_NACIMIENTO]")));
    }

    void costScalesWithParts()
    {
        CostModel cost;
        QCOMPARE(cost.label(), QStringLiteral("1 crédito(s)"));
        cost.setParts(2);
        QCOMPARE(cost.label(), QStringLiteral("2 crédito(s)"));

        cost.setQuote(QStringLiteral("0,825"), 1);
        QCOMPARE(cost.label(), QStringLiteral("0,825 cr."));
        cost.setParts(2);
        QCOMPARE(cost.label(), QStringLiteral("1,65 crédito(s)"));
        cost.setParts(1);
        QCOMPARE(cost.label(), QStringLiteral("0,825 cr."));

        cost.setQuote(QStringLiteral("2"), 2);
        cost.setParts(3);
        QCOMPARE(cost.label(), QStringLiteral("3 crédito(s)"));
        cost.setQuote(QStringLiteral("0.5"), 1);
        cost.setParts(3);
        QCOMPARE(cost.label(), QStringLiteral("1.5 crédito(s)"));
    }

    // Deleting the whole text never leaves "0 crédito(s)" for good, and an unknown cost never reads as 0.
    void costNeverStuckAtZeroOrInvented()
    {
        CostModel cost;
        cost.setQuote(QStringLiteral("2"), 2);
        cost.setParts(0);
        QCOMPARE(cost.label(), QStringLiteral("0 crédito(s)"));
        cost.setParts(1);
        QCOMPARE(cost.label(), QStringLiteral("1 crédito(s)"));

        cost.setUnknown();
        cost.setParts(2);
        QCOMPARE(cost.label(), QStringLiteral("Desconocido"));
        QVERIFY(!cost.cost());
        cost.setChecking();
        QCOMPARE(cost.label(), QStringLiteral("Comprobando..."));
        cost.setQuote(QStringLiteral("abc"), 1);
        QCOMPARE(cost.label(), QStringLiteral("Desconocido"));
    }

    void costWithoutRecipientsFollowsParts_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("label");
        QTest::newRow("20") << 20 << QStringLiteral("1 crédito(s)");
        QTest::newRow("160") << 160 << QStringLiteral("1 crédito(s)");
        QTest::newRow("161") << 161 << QStringLiteral("2 crédito(s)");
    }
    void costWithoutRecipientsFollowsParts()
    {
        QFETCH(int, length);
        QFETCH(QString, label);
        QCOMPARE(costWithoutRecipients(length), label);
    }

    void creditWording_data()
    {
        QTest::addColumn<QString>("figure");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("label");
        const int balance = static_cast<int>(CreditFigure::Balance);
        const int cost = static_cast<int>(CreditFigure::Cost);
        QTest::newRow("cost 1") << QStringLiteral("1") << cost << QStringLiteral("1 crédito");
        QTest::newRow("cost 2") << QStringLiteral("2") << cost << QStringLiteral("2 créditos");
        QTest::newRow("cost 1,5") << QStringLiteral("1,5") << cost << QStringLiteral("1,5 créditos");
        QTest::newRow("cost 0.825") << QStringLiteral("0.825") << cost << QStringLiteral("0.825 cr.");
        QTest::newRow("balance 250") << QStringLiteral("250") << balance << QStringLiteral("250 créditos");
        QTest::newRow("balance 1") << QStringLiteral("1") << balance << QStringLiteral("1 crédito");
        QTest::newRow("balance 1234,56") << QStringLiteral("1234,56") << balance << QStringLiteral("1234,56 cr.");
        QTest::newRow("no figure") << QString() << balance << QStringLiteral("Desconocido");
        QTest::newRow("balance 1 and a blank") << QStringLiteral("1 ") << balance << QStringLiteral("1 crédito");
        QTest::newRow("blank balance") << QStringLiteral(" ") << balance << QStringLiteral("Desconocido");
    }
    void creditWording()
    {
        QFETCH(QString, figure);
        QFETCH(int, kind);
        QFETCH(QString, label);
        QCOMPARE(creditLabel(figure, static_cast<CreditFigure>(kind)), label);
    }
};

QTEST_GUILESS_MAIN(TestMessageCounter)
#include "test_message_counter.moc"
