#include <QTest>

#include "platform/text/cp1252.h"
#include "platform/text/decimal.h"
#include "platform/text/url_encode.h"

class TestText final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cp1252RoundTrip_data();
    void cp1252RoundTrip();
    void cp1252Unmappable();
    void utf8OrAnsi();
    void urlEncode_data();
    void urlEncode();
    void rawValues();
    void formDecoding();
    void decimals_data();
    void decimals();
    void integers();
};

void TestText::cp1252RoundTrip_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty") << QString() << QByteArray();
    QTest::newRow("euro") << QStringLiteral("€") << QByteArray("\x80");
    QTest::newRow("enye") << QStringLiteral("ñÑ") << QByteArray("\xF1\xD1");
    QTest::newRow("curly quotes") << QStringLiteral("‘’“”") << QByteArray("\x91\x92\x93\x94");
    QTest::newRow("dashes") << QStringLiteral("–—") << QByteArray("\x96\x97");
    QTest::newRow("ascii") << QStringLiteral("Hola|1") << QByteArray("Hola|1");
}

void TestText::cp1252RoundTrip()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(text::toCp1252(text), bytes);
    QCOMPARE(text::fromCp1252(bytes), text);
}

void TestText::cp1252Unmappable()
{
    // A character outside the code page becomes the replacement byte, never a multi-byte sequence.
    QCOMPARE(text::toCp1252(QStringLiteral("a\u4E2Db")), QByteArray("a?b"));
    QVERIFY(!text::fitsCp1252(QStringLiteral("\u4E2D")));
    // Bytes without a character survive a round trip.
    const QByteArray holes("\x81\x8D\x8F\x90\x9D", 5);
    QCOMPARE(text::toCp1252(text::fromCp1252(holes)), holes);
}

void TestText::utf8OrAnsi()
{
    QCOMPARE(text::decodeAnsiOrUtf8(QByteArray("Jos\xC3\xA9")), QStringLiteral("José"));
    QCOMPARE(text::decodeAnsiOrUtf8(QByteArray("Jos\xE9")), QStringLiteral("José"));
    QCOMPARE(text::decodeAnsiOrUtf8(QByteArray("\xEF\xBB\xBFok")), QStringLiteral("ok"));
}

void TestText::urlEncode_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("plus percent blank") << QStringLiteral("a b+c%") << QStringLiteral("a+b%2Bc%25");
    QTest::newRow("accent") << QStringLiteral("Hola, José") << QStringLiteral("Hola%2C+Jos%E9");
    QTest::newRow("marks") << QStringLiteral("-._*~") << QStringLiteral("%2D%2E%5F%2A%7E");
    QTest::newRow("euro and enye") << QStringLiteral("€ñ") << QStringLiteral("%80%F1");
    QTest::newRow("line break") << QStringLiteral("a\r\nb") << QStringLiteral("a%0D%0Ab");
    QTest::newRow("outside code page") << QStringLiteral("\u4E2D") << QStringLiteral("\u4E2D");
}

void TestText::urlEncode()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    QCOMPARE(text::urlEncode(input), expected);
}

void TestText::rawValues()
{
    QCOMPARE(text::escapeRawValue(QStringLiteral("p&ss=1+2%#x ñ|[")),
             QStringLiteral("p%26ss%3D1%2B2%25%23x ñ|["));
}

void TestText::formDecoding()
{
    QCOMPARE(text::formDecode("a+b%2Bc%25"), QByteArray("a b+c%"));
    QCOMPARE(text::formDecode("%E9%zz%4"), QByteArray("\xE9%zz%4"));
    QCOMPARE(text::formDecode("|[raw \xF1]"), QByteArray("|[raw \xF1]"));
}

void TestText::decimals_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<double>("value");
    QTest::newRow("comma") << QStringLiteral("1234,56") << true << 1234.56;
    QTest::newRow("point") << QStringLiteral(" 0.5 ") << true << 0.5;
    QTest::newRow("negative") << QStringLiteral("-3") << true << -3.0;
    QTest::newRow("word") << QStringLiteral("Desconocido") << false << 0.0;
    QTest::newRow("two separators") << QStringLiteral("1.234,5") << false << 0.0;
    QTest::newRow("empty") << QString() << false << 0.0;
    QTest::newRow("only sign") << QStringLiteral("-") << false << 0.0;
    // Gateway figures: anything that is not one plain number is refused, never read in part.
    QTest::newRow("comma then point") << QStringLiteral("12,3.4") << false << 0.0;
    QTest::newRow("letters") << QStringLiteral("abc") << false << 0.0;
    QTest::newRow("number then letters") << QStringLiteral("12abc") << false << 0.0;
    QTest::newRow("blank inside") << QStringLiteral("1 234") << false << 0.0;
    QTest::newRow("exponent") << QStringLiteral("1e3") << false << 0.0;
    QTest::newRow("separator last") << QStringLiteral("12,") << false << 0.0;
    QTest::newRow("separator first") << QStringLiteral(",5") << false << 0.0;
    QTest::newRow("separator alone") << QStringLiteral(".") << false << 0.0;
    QTest::newRow("two signs") << QStringLiteral("--5") << false << 0.0;
    QTest::newRow("sign after blank") << QStringLiteral("- 5") << false << 0.0;
    QTest::newRow("fullwidth digits") << QStringLiteral("１２") << false << 0.0;
    QTest::newRow("too large") << QStringLiteral("1") + QString(400, QLatin1Char('0')) << false << 0.0;
    QTest::newRow("plus sign") << QStringLiteral("+2,5") << true << 2.5;
}

void TestText::decimals()
{
    QFETCH(QString, input);
    QFETCH(bool, valid);
    QFETCH(double, value);
    const auto parsed = text::parseDecimal(input);
    QCOMPARE(parsed.has_value(), valid);
    if (valid)
        QCOMPARE(*parsed, value);
}

void TestText::integers()
{
    QCOMPARE(text::parseInteger(QStringLiteral(" 42 ")).value_or(-1), 42);
    QVERIFY(!text::parseInteger(QStringLiteral("4x2")));
    QVERIFY(!text::parseInteger(QStringLiteral("+")));
    QCOMPARE(text::formatDecimal(1234.56), QStringLiteral("1234.56"));
    QCOMPARE(text::formatDecimal(12.0), QStringLiteral("12"));
}

QTEST_GUILESS_MAIN(TestText)
#include "test_text.moc"
