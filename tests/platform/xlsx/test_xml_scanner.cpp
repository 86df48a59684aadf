#include "xml_tokens.h"

#include <QStringDecoder>
#include <QTest>

using xmltest::qtTokens;
using xmltest::scannerTokens;

class TestXmlScanner final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void readsAsAFullXmlReaderDoes_data();
    void readsAsAFullXmlReaderDoes();
    void refusesWhatIsNotWellFormed_data();
    void refusesWhatIsNotWellFormed();
    void refusesWhatNoWorkbookPartHas();
    void otherEncodingsAreReadAsUtf8();
    void longTokensAcrossPiecesAndTheirLimit();
};

void TestXmlScanner::readsAsAFullXmlReaderDoes_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::newRow("sheet") << QByteArray(
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
        "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
        "<sheetData><row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" s=\"3\"/>"
        "<c r=\"C1\"><f>SUM(A1:B1)</f><v>12.5</v></c></row></sheetData></worksheet>");
    QTest::newRow("prefixed names, both quotes, blanks in tags") << QByteArray(
        "<x:worksheet xmlns:x=\"urn:x\" xmlns:y='urn:y'><x:sheetData >\n"
        "<x:row r = '2' y:a=\"1\" ><x:c r=\"A2\"\tt=\"inlineStr\"><x:is><x:t>Ana</x:t></x:is></x:c></x:row>"
        "</x:sheetData ></x:worksheet >");
    QTest::newRow("references") << QByteArray(
        "<sst><si><t>O&apos;Connor &amp; &quot;hijos&quot; &lt;3 &gt; &#233;&#xF1;&#x1F600; _x000D_</t></si>"
        "<si a=\"x&amp;y&#10;z\"><t>a</t></si></sst>");
    QTest::newRow("line ends and blanks in values") << QByteArray(
        "<sst><si a=\"uno\r\ndos\tsiete\nocho\rnueve\"><t xml:space=\"preserve\">  uno\r\ndos\rtres\n </t></si></sst>");
    QTest::newRow("comments, instructions and CDATA") << QByteArray(
        "<?xml version=\"1.0\"?><!-- antes --><sst><!-- dentro < > & --><?pi algo?>"
        "<si><t><![CDATA[<b>&amp;</b>\r\n]]>fin</t></si></sst><!-- después -->\n");
    QTest::newRow("accents and a byte order mark") << QByteArray(
        "\xEF\xBB\xBF<sst><si><t>Mar\xC3\xAD" "a Pe\xC3\xB1" "a \xE2\x82\xAC \xF0\x9F\x98\x80</t></si></sst>");
    QTest::newRow("empty root") << QByteArray("<worksheet/>");
    QTest::newRow("a greater-than in a value") << QByteArray("<a b=\"x>y\" a='\"'>t</a>");
}

void TestXmlScanner::readsAsAFullXmlReaderDoes()
{
    QFETCH(QByteArray, document);
    const QStringList expected = qtTokens(document);
    QCOMPARE(expected.last(), QStringLiteral("."));
    // Whole, and a byte at a time so every token straddles the pieces it arrives in.
    QCOMPARE(scannerTokens(document), expected);
    QCOMPARE(scannerTokens(document, 1), expected);
    QCOMPARE(scannerTokens(document, 7), expected);
}

void TestXmlScanner::refusesWhatIsNotWellFormed_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::newRow("cut short") << QByteArray("<sst><si><t>hola</t>");
    QTest::newRow("cut inside a tag") << QByteArray("<sst><si><t a=\"1");
    QTest::newRow("nothing") << QByteArray("");
    QTest::newRow("only blanks") << QByteArray(" \n ");
    QTest::newRow("wrong end tag") << QByteArray("<a><b></a></b>");
    QTest::newRow("end tag with no start") << QByteArray("<a></a></b>");
    QTest::newRow("two roots") << QByteArray("<a/><b/>");
    QTest::newRow("text outside the root") << QByteArray("<a/>texto");
    QTest::newRow("unquoted value") << QByteArray("<a b=1/>");
    QTest::newRow("attributes run together") << QByteArray("<a b=\"1\"c=\"2\"/>");
    QTest::newRow("less-than in a value") << QByteArray("<a b=\"<\"/>");
    QTest::newRow("unknown entity") << QByteArray("<a>&nbsp;</a>");
    QTest::newRow("reference without end") << QByteArray("<a>&amp</a>");
    QTest::newRow("reference to no character") << QByteArray("<a>&#0;</a>");
    QTest::newRow("reference past Unicode") << QByteArray("<a>&#x110000;</a>");
    QTest::newRow("reference to a half of a pair") << QByteArray("<a>&#xD800;</a>");
    QTest::newRow("declaration not first") << QByteArray(" <?xml version=\"1.0\"?><a/>");
    QTest::newRow("unknown encoding") << QByteArray("<?xml version=\"1.0\" encoding=\"x-nada\"?><a/>");
    QTest::newRow("no name") << QByteArray("<a>< b/></a>");
    QTest::newRow("CDATA outside the root") << QByteArray("<![CDATA[x]]><a/>");
}

void TestXmlScanner::refusesWhatIsNotWellFormed()
{
    QFETCH(QByteArray, document);
    QCOMPARE(qtTokens(document).last(), QStringLiteral("!"));
    QCOMPARE(scannerTokens(document).last(), QStringLiteral("!"));
    QCOMPARE(scannerTokens(document, 1).last(), QStringLiteral("!"));
}

void TestXmlScanner::refusesWhatNoWorkbookPartHas()
{
    // A document type, even where a full reader would expand its entities.
    const QByteArray expanding("<!DOCTYPE a [<!ENTITY e \"eeeeeeeeee\"><!ENTITY f \"&e;&e;&e;\">]><a>&f;&f;</a>");
    QCOMPARE(qtTokens(expanding).last(), QStringLiteral("."));
    QCOMPARE(scannerTokens(expanding).last(), QStringLiteral("!"));

    // Nesting past the deepest a part goes: each open element would be held, a few bytes of the
    // part apiece.
    const auto nested = [](std::size_t depth) -> QByteArray {
        return QByteArray("<a>").repeated(qsizetype(depth)) + QByteArray("</a>").repeated(qsizetype(depth));
    };
    QCOMPARE(scannerTokens(nested(xlsx::XmlScanner::kMaxDepth)).last(), QStringLiteral("."));
    QCOMPARE(scannerTokens(nested(xlsx::XmlScanner::kMaxDepth + 1)).last(), QStringLiteral("!"));
    QCOMPARE(scannerTokens(QByteArray("<a>").repeated(1000000)).last(), QStringLiteral("!"));
}

void TestXmlScanner::otherEncodingsAreReadAsUtf8()
{
    const QString text = QStringLiteral("<sst><si><t>María Núñez 😀</t></si></sst>");
    const QStringList expected = scannerTokens(text.toUtf8());
    QVERIFY(expected.contains(QStringLiteral("'María Núñez 😀")));

    QStringEncoder little(QStringEncoder::Utf16LE);
    QStringEncoder big(QStringEncoder::Utf16BE);
    const QByteArray utf16le = QByteArray("\xFF\xFE") + QByteArray(little(text));
    const QByteArray utf16be = QByteArray("\xFE\xFF") + QByteArray(big(text));
    QCOMPARE(scannerTokens(utf16le), expected);
    QCOMPARE(scannerTokens(utf16be, 3), expected);
    QStringEncoder noMark(QStringEncoder::Utf16LE);
    QCOMPARE(scannerTokens(QByteArray(noMark(QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-16\"?>") + text)), 5),
             expected);

    // A one-byte encoding the declaration names: what follows is read in it.
    const QByteArray latin1 = QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><sst><si><t>Mar\xED" "a N\xFA\xF1" "ez</t></si></sst>");
    QVERIFY(scannerTokens(latin1).contains(QStringLiteral("'María Núñez")));
    QCOMPARE(scannerTokens(latin1, 1), scannerTokens(latin1));
}

void TestXmlScanner::longTokensAcrossPiecesAndTheirLimit()
{
    // A text and a tag longer than one piece of reading arrive whole.
    const QByteArray text(3 * 1024 * 1024, 'x');
    const QByteArray values = QByteArray("<a b=\"") + QByteArray(700 * 1024, 'y') + "\">" + text + "</a>";
    const QStringList tokens = scannerTokens(values, 100000);
    QCOMPARE(tokens.size(), 4);
    QCOMPARE(tokens.at(1).size(), text.size() + 1);
    QVERIFY(tokens.at(0).endsWith(QString(700 * 1024, u'y')));

    // One past the longest token is refused, not gathered on.
    const QByteArray tooLong = QByteArray("<a>") + QByteArray(xlsx::XmlScanner::kMaxToken + 2 * 1024 * 1024, 'z') + "</a>";
    QCOMPARE(scannerTokens(tooLong).last(), QStringLiteral("!"));
}

QTEST_GUILESS_MAIN(TestXmlScanner)
#include "test_xml_scanner.moc"
