#include "platform/net/form_body.h"
#include "platform/net/reply_text.h"
#include "support/temp_home.h"

#include <QTest>

class TestReplyText final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void splitsAndJudgesApiReplies_data();
    void splitsAndJudgesApiReplies();
    void decodesBodies_data();
    void decodesBodies();
    void reducesHtmlToItsText_data();
    void reducesHtmlToItsText();
    void encodesFormBodies_data();
    void encodesFormBodies();

private:
    testing::TempHome m_home;
};

void TestReplyText::splitsAndJudgesApiReplies_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<int>("code"); // -1: no code

    QTest::newRow("send accepted") << "0|Message sent|A1B2|1,5" << true
                                   << QStringList{"0", "Message sent", "A1B2", "1,5"} << 0;
    QTest::newRow("quote") << "0|Ticket price|0.075|120.5" << true
                           << QStringList{"0", "Ticket price", "0.075", "120.5"} << 0;
    QTest::newRow("empty fields kept") << "||" << true << QStringList{"", "", ""} << -1;
    QTest::newRow("trailing bar") << "3|Required parameters missing|" << true
                                  << QStringList{"3", "Required parameters missing", ""} << 3;
    QTest::newRow("blanks around the code") << " 3 |Authentication failure|" << true
                                            << QStringList{" 3 ", "Authentication failure", ""} << 3;
    QTest::newRow("blank after a success") << "0 |OK|123|1" << true << QStringList{"0 ", "OK", "123", "1"} << 0;
    QTest::newRow("two digits are no code") << "10|x|" << true << QStringList{"10", "x", ""} << -1;
    QTest::newRow("word for a code") << "OK|x" << true << QStringList{"OK", "x"} << -1;
    QTest::newRow("digit inside a word") << "1a|x" << true << QStringList{"1a", "x"} << -1;
    QTest::newRow("code without a bar") << "1" << false << QStringList{"1"} << -1;
    QTest::newRow("no bar") << "Error" << false << QStringList{"Error"} << -1;
    QTest::newRow("empty page") << "" << false << QStringList{} << -1;
}

void TestReplyText::splitsAndJudgesApiReplies()
{
    QFETCH(QString, reply);
    QFETCH(bool, ok);
    QFETCH(QStringList, fields);
    QFETCH(int, code);
    QCOMPARE(net::replyOk(reply), ok);
    QCOMPARE(net::apiFieldCount(reply), fields.size());
    for (qsizetype i = 0; i <= fields.size(); ++i)
        QCOMPARE(net::apiField(reply, i).toString(), fields.value(i));
    QCOMPARE(net::apiCode(reply).value_or(-1), code);
}

void TestReplyText::decodesBodies_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QString>("expected");

    const QString euroYear = QStringLiteral("\u20AC a\u00F1o");
    QTest::newRow("cp1252 named") << QByteArray("\x80 a\xF1o") << QByteArray("text/plain; charset=windows-1252") << euroYear;
    QTest::newRow("no charset") << QByteArray("\x80 a\xF1o") << QByteArray("text/plain") << euroYear;
    QTest::newRow("no header") << QByteArray("\x80 a\xF1o") << QByteArray() << euroYear;
    QTest::newRow("latin1 read as cp1252") << QByteArray("\x80 a\xF1o") << QByteArray("text/plain; charset=ISO-8859-1") << euroYear;
    QTest::newRow("utf-8") << QByteArray("\xE2\x82\xAC a\xC3\xB1o") << QByteArray("text/plain; charset=UTF-8") << euroYear;
    QTest::newRow("utf-8 quoted") << QByteArray("\xE2\x82\xAC a\xC3\xB1o") << QByteArray("text/html; charset=\"utf-8\"") << euroYear;
    QTest::newRow("utf-8 bom, no charset") << QByteArray("\xEF\xBB\xBF\xE2\x82\xAC a\xC3\xB1o") << QByteArray("text/plain") << euroYear;
    QTest::newRow("unknown charset") << QByteArray("\x80 a\xF1o") << QByteArray("text/plain; charset=x-nonsense") << euroYear;
}

void TestReplyText::decodesBodies()
{
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, contentType);
    QFETCH(QString, expected);
    QCOMPARE(net::replyText(body, contentType), expected);
}

void TestReplyText::reducesHtmlToItsText_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QString>("expected");

    QTest::newRow("body wrapper") << QByteArray("<HTML><BODY>0|OK|12|3,5</BODY></HTML>") << QByteArray("text/html")
                                  << QStringLiteral("0|OK|12|3,5");
    QTest::newRow("head and script dropped")
        << QByteArray("<html><head><title>x</title><script>var a='|';</script></head><body>\r\n  1|Bad  login|\r\n</body></html>")
        << QByteArray("text/html") << QStringLiteral("1|Bad login|");
    QTest::newRow("entities") << QByteArray("<body>Contrase&ntilde;a &amp; &#8364;&#x20AC;&#128; &lt;b&gt; &bogus;</body>")
                              << QByteArray("text/html; charset=windows-1252")
                              << QStringLiteral("Contrase\u00F1a & \u20AC\u20AC\u20AC <b> &bogus;");
    QTest::newRow("line breaks") << QByteArray("<body>uno<br>dos<p>tres</p><!-- x|y -->cuatro</body>")
                                 << QByteArray("text/html") << QStringLiteral("uno\r\ndos\r\ntres\r\ncuatro");
    QTest::newRow("sniffed without header") << QByteArray("  <BODY>0|OK|</BODY>") << QByteArray()
                                            << QStringLiteral("0|OK|");
    QTest::newRow("plain text keeps its tags and lines") << QByteArray("<a>\r\nb|c\r\n") << QByteArray("text/plain")
                                                         << QStringLiteral("<a>\r\nb|c");
    QTest::newRow("unfinished tag") << QByteArray("<body>0|OK|<b") << QByteArray("text/html") << QStringLiteral("0|OK|");
    QTest::newRow("stray less-than") << QByteArray("<body>1 < 2|x</body>") << QByteArray("text/html")
                                     << QStringLiteral("1 < 2|x");
    // Every bare "&" is a short look, not a search to the end of the page.
    constexpr qsizetype kAmpersands = 2 * 1024 * 1024;
    QTest::newRow("page of bare ampersands") << ("<body>" + QByteArray(kAmpersands, '&') + "</body>")
                                             << QByteArray("text/html") << QString(kAmpersands, QLatin1Char('&'));
}

void TestReplyText::reducesHtmlToItsText()
{
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, contentType);
    QFETCH(QString, expected);
    QCOMPARE(net::replyText(body, contentType), expected);
}

void TestReplyText::encodesFormBodies_data()
{
    QTest::addColumn<net::FormFields>("fields");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("pairs in order") << net::FormFields{{"user", "ana"}, {"pass", "x"}, {"buf", "3"}}
                                    << QByteArray("user=ana&pass=x&buf=3");
    QTest::newRow("empty names left out") << net::FormFields{{"", "lost"}, {"a", "1"}, {"", "2"}, {"c", "3"}, {"", ""}}
                                          << QByteArray("a=1&c=3");
    QTest::newRow("values as given, cp1252 bytes")
        << net::FormFields{{"mensaje", QStringLiteral("a&b=\u00F1 \u20AC")}, {"r", QStringLiteral("\u4E00")}}
        << QByteArray("mensaje=a&b=\xF1 \x80&r=?");
    QTest::newRow("empty value") << net::FormFields{{"a", ""}} << QByteArray("a=");
    QTest::newRow("nothing") << net::FormFields{} << QByteArray();
}

void TestReplyText::encodesFormBodies()
{
    QFETCH(net::FormFields, fields);
    QFETCH(QByteArray, expected);
    QCOMPARE(net::encodeFormBody(fields), expected);
}

QTEST_GUILESS_MAIN(TestReplyText)
#include "test_reply_text.moc"
