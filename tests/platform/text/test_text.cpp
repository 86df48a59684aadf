#include <QTest>

#include "platform/text/cp1252.h"
#include "platform/text/decimal.h"
#include "platform/text/digits.h"
#include "platform/text/node_key.h"
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
    void digitsOnly_data();
    void digitsOnly();
    void nodeKeyIds_data();
    void nodeKeyIds();
    void nodeKeyPrefixes_data();
    void nodeKeyPrefixes();
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

void TestText::digitsOnly_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<bool>("digits");
    QTest::newRow("digits") << QStringLiteral("0123456789") << true;
    QTest::newRow("one digit") << QStringLiteral("7") << true;
    QTest::newRow("leading zeros") << QStringLiteral("0034600000001") << true;
    // An empty text is no number: the phone, id and count checks all refuse it.
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("sign") << QStringLiteral("+34600000001") << false;
    QTest::newRow("minus") << QStringLiteral("-1") << false;
    QTest::newRow("blank before") << QStringLiteral(" 1") << false;
    QTest::newRow("blank after") << QStringLiteral("1 ") << false;
    QTest::newRow("letter") << QStringLiteral("12a") << false;
    QTest::newRow("exponent") << QStringLiteral("1e9") << false;
    QTest::newRow("fullwidth digits") << QStringLiteral("１２") << false;
    QTest::newRow("arabic-indic digits") << QStringLiteral("٣٤") << false;
    QTest::newRow("superscript") << QStringLiteral("²") << false;
}

void TestText::digitsOnly()
{
    QFETCH(QString, input);
    QFETCH(bool, digits);
    QCOMPARE(text::isDigitsOnly(input), digits);
}

namespace {

// The rule each tree reads its keys by.
struct KeyRule {
    const char *tree;
    text::BareKey bare;
    text::IdText idText;
};

// The contact trees also take a bare sid; the history and template trees want a prefix; the
// template trees have no row 0 or below; the birthday list takes the digits 0-9 alone.
constexpr KeyRule kKeyRules[] = {
    {"contacts", text::BareKey::Id, text::IdText::Integer},
    {"history", text::BareKey::NoId, text::IdText::Integer},
    {"templates", text::BareKey::NoId, text::IdText::PositiveInteger},
    {"birthdays", text::BareKey::Id, text::IdText::Digits},
};

QVariant id(qint64 value)
{
    return QVariant::fromValue(value);
}

} // namespace

void TestText::nodeKeyIds_data()
{
    // One column per tree, in the order of kKeyRules; an invalid QVariant is "nothing".
    QTest::addColumn<QString>("key");
    QTest::addColumn<QVariant>("contacts");
    QTest::addColumn<QVariant>("history");
    QTest::addColumn<QVariant>("templates");
    QTest::addColumn<QVariant>("birthdays");
    const QVariant none;
    // Where every tree agrees.
    QTest::newRow("prefixed") << QStringLiteral("pContacto 12") << id(12) << id(12) << id(12) << id(12);
    QTest::newRow("empty list") << QStringLiteral("l0") << none << none << none << none;
    QTest::newRow("empty key") << QString() << none << none << none << none;
    QTest::newRow("letter prefix, no blank") << QStringLiteral("c12") << none << none << none << none;
    QTest::newRow("no id") << QStringLiteral("pContacto x") << none << none << none << none;
    QTest::newRow("blank last") << QStringLiteral("pContacto ") << none << none << none << none;
    QTest::newRow("last blank counts") << QStringLiteral("pGrupo 1 2") << id(2) << id(2) << id(2) << id(2);
    QTest::newRow("leading zeros") << QStringLiteral("x 007") << id(7) << id(7) << id(7) << id(7);
    QTest::newRow("hexadecimal") << QStringLiteral("x 0x1F") << none << none << none << none;
    QTest::newRow("trailing letters") << QStringLiteral("x 12abc") << none << none << none << none;
    QTest::newRow("beyond 64 bits") << QStringLiteral("x 99999999999999999999") << none << none << none << none;
    QTest::newRow("other script") << QStringLiteral("x ٣") << none << none << none << none;
    // Where they differ: a bare number.
    QTest::newRow("bare sid") << QStringLiteral("12") << id(12) << none << none << id(12);
    QTest::newRow("bare zero") << QStringLiteral("0") << id(0) << none << none << id(0);
    QTest::newRow("bare negative") << QStringLiteral("-3") << id(-3) << none << none << none;
    // Zero and below.
    QTest::newRow("zero") << QStringLiteral("x 0") << id(0) << id(0) << none << id(0);
    QTest::newRow("negative") << QStringLiteral("x -3") << id(-3) << id(-3) << none << none;
    // What surrounds the digits.
    QTest::newRow("plus sign") << QStringLiteral("x +5") << id(5) << id(5) << id(5) << none;
    QTest::newRow("tab before") << QStringLiteral("x \t12") << id(12) << id(12) << id(12) << none;
    QTest::newRow("tab after") << QStringLiteral("x 12\t") << id(12) << id(12) << id(12) << none;
}

void TestText::nodeKeyIds()
{
    QFETCH(QString, key);
    QFETCH(QVariant, contacts);
    QFETCH(QVariant, history);
    QFETCH(QVariant, templates);
    QFETCH(QVariant, birthdays);
    const QVariant expected[] = {contacts, history, templates, birthdays};
    static_assert(std::size(expected) == std::size(kKeyRules));
    const auto shown = [](const QVariant &v) { return v.isValid() ? v.toString() : QStringLiteral("nothing"); };
    for (std::size_t i = 0; i < std::size(kKeyRules); ++i) {
        const KeyRule &rule = kKeyRules[i];
        const std::optional<qint64> read = text::nodeKeyId(key, rule.bare, rule.idText);
        const QVariant got = read ? id(*read) : QVariant();
        QVERIFY2(got == expected[i], qPrintable(QStringLiteral("the %1 rule reads \"%2\" as %3, not %4")
                                                     .arg(QLatin1String(rule.tree), key, shown(got), shown(expected[i]))));
    }
}

void TestText::nodeKeyPrefixes_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("prefix");
    QTest::newRow("prefix word") << QStringLiteral("pContacto 12") << QStringLiteral("pContacto");
    QTest::newRow("last blank") << QStringLiteral("Confirmados x 12") << QStringLiteral("Confirmados x");
    QTest::newRow("no blank") << QStringLiteral("l0") << QStringLiteral("l0");
    QTest::newRow("empty") << QString() << QString();
}

void TestText::nodeKeyPrefixes()
{
    QFETCH(QString, key);
    QFETCH(QString, prefix);
    QCOMPARE(text::nodeKeyPrefix(key).toString(), prefix);
}

QTEST_GUILESS_MAIN(TestText)
#include "test_text.moc"
