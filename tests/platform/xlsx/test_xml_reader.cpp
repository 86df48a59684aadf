#include "platform/xlsx/xml_reader.h"

#include <QStringEncoder>
#include <QTest>

#include <cstring>

using xlsx::XmlReader;

namespace {

// A device that hands out at most `piece` bytes a read, as an inflating part may.
class PieceDevice final : public QIODevice {
public:
    PieceDevice(QByteArray data, qint64 piece) : m_data(std::move(data)), m_piece(piece) { open(QIODevice::ReadOnly); }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char *out, qint64 max) override
    {
        const qint64 n = std::min({max, m_piece, qint64(m_data.size()) - m_at});
        std::memcpy(out, m_data.constData() + m_at, size_t(n));
        m_at += n;
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray m_data;
    qint64 m_piece;
    qint64 m_at = 0;
};

// A document's tokens one per line: "<name a=v ..." (the attributes a, b, r, t, s and the
// namespaced id, when there), ">name", "'text" (the characters between two tags joined), and at
// the end "." or "!" for a document refused.
QStringList tokens(const QByteArray &document, qint64 piece = 1 << 20)
{
    PieceDevice device(document, piece);
    XmlReader xml(device);
    QStringList out;
    QString text;
    const auto flush = [&]() {
        if (!text.isEmpty())
            out << QStringLiteral("'") + text;
        text.clear();
    };
    for (;;) {
        switch (xml.next()) {
        case XmlReader::Token::StartElement: {
            flush();
            QString line = QStringLiteral("<") + QString::fromUtf8(xml.name());
            for (const QByteArray &name : {QByteArrayLiteral("a"), QByteArrayLiteral("b"), QByteArrayLiteral("r"),
                                          QByteArrayLiteral("t"), QByteArrayLiteral("s")})
                if (xml.hasAttribute(name))
                    line += u' ' + QString::fromUtf8(name) + u'=' + QString::fromUtf8(xml.attribute(name));
            if (!xml.namespacedAttribute("id").isEmpty())
                line += QStringLiteral(" :id=") + QString::fromUtf8(xml.namespacedAttribute("id"));
            out << line;
            break;
        }
        case XmlReader::Token::EndElement:
            flush();
            out << QStringLiteral(">") + QString::fromUtf8(xml.name());
            break;
        case XmlReader::Token::Characters:
            text += QString::fromUtf8(xml.text());
            break;
        case XmlReader::Token::EndOfDocument:
            flush();
            out << QStringLiteral(".");
            return out;
        case XmlReader::Token::Invalid:
            out << QStringLiteral("!");
            return out;
        }
    }
}

XmlReader::Failure failureOf(const QByteArray &document, qint64 allowance = 0)
{
    PieceDevice device(document, 1 << 16);
    XmlReader xml(device);
    xml.allow(allowance);
    while (xml.next() != XmlReader::Token::EndOfDocument)
        if (xml.token() == XmlReader::Token::Invalid)
            return xml.failure();
    return XmlReader::Failure::None;
}

} // namespace

class TestXmlReader final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void readsWorkbookParts_data();
    void readsWorkbookParts();
    void refusesWhatIsNotWellFormed_data();
    void refusesWhatIsNotWellFormed();
    void refusesWhatNoWorkbookPartHas_data();
    void refusesWhatNoWorkbookPartHas();
    void otherEncodingsAreReadAsUtf8();
    void longRunsAcrossPiecesAndTheirLimit();
    void bytesThatCarryNothingReadAreBounded();
};

void TestXmlReader::readsWorkbookParts_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("sheet") << QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
                                         "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
                                         "<sheetData><row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" s=\"3\"/>"
                                         "</row></sheetData></worksheet>")
                           << QStringList{"<worksheet", "<sheetData", "<row r=1", "<c r=A1 t=s", "<v", "'0", ">v", ">c",
                                          "<c r=B1 s=3", ">c", ">row", ">sheetData", ">worksheet", "."};
    QTest::newRow("prefixed names, both quotes, blanks in tags")
        << QByteArray("<x:worksheet xmlns:x=\"urn:x\" xmlns:y='urn:y'><x:sheetData >\n"
                      "<x:row r = '2' y:a=\"1\" ><x:c r=\"A2\"\tt=\"inlineStr\"><x:is><x:t>Ana</x:t></x:is></x:c></x:row>"
                      "</x:sheetData ></x:worksheet >")
        << QStringList{"<worksheet", "<sheetData", "'\n", "<row a=1 r=2", "<c r=A2 t=inlineStr", "<is", "<t", "'Ana",
                       ">t", ">is", ">c", ">row", ">sheetData", ">worksheet", "."};
    QTest::newRow("a relationship id in its namespace")
        << QByteArray("<workbook xmlns:rel=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
                      "<sheet name=\"Hoja\" rel:id=\"rId3\"/></workbook>")
        << QStringList{"<workbook", "<sheet :id=rId3", ">sheet", ">workbook", "."};
    QTest::newRow("references") << QByteArray("<sst><si><t>O&apos;Connor &amp; &quot;hijos&quot; &lt;3 &gt; "
                                              "&#233;&#xF1;&#x1F600; _x000D_</t></si><si a=\"x&amp;y&#10;z\"/></sst>")
                                << QStringList{"<sst", "<si", "<t", "'O'Connor & \"hijos\" <3 > éñ😀 _x000D_", ">t", ">si",
                                               "<si a=x&y\nz", ">si", ">sst", "."};
    QTest::newRow("line ends and blanks in values")
        << QByteArray("<sst><si a=\"uno\r\ndos\tsiete\"><t>  uno\r\ndos\rtres\n </t></si></sst>")
        << QStringList{"<sst", "<si a=uno dos siete", "<t", "'  uno\ndos\ntres\n ", ">t", ">si", ">sst", "."};
    QTest::newRow("comments, instructions and CDATA")
        << QByteArray("<?xml version=\"1.0\"?><!-- antes --><sst><!-- dentro < > & --><?pi algo?>"
                      "<si><t><![CDATA[<b>&amp;</b>\r\n]]>fin</t></si></sst><!-- después -->\n")
        << QStringList{"<sst", "<si", "<t", "'<b>&amp;</b>\nfin", ">t", ">si", ">sst", "."};
    QTest::newRow("accents and a byte order mark")
        << QByteArray("\xEF\xBB\xBF<sst><si><t>Mar\xC3\xAD" "a \xE2\x82\xAC \xF0\x9F\x98\x80</t></si></sst>")
        << QStringList{"<sst", "<si", "<t", "'María € 😀", ">t", ">si", ">sst", "."};
    QTest::newRow("empty root") << QByteArray("<worksheet/>") << QStringList{"<worksheet", ">worksheet", "."};
}

void TestXmlReader::readsWorkbookParts()
{
    QFETCH(QByteArray, document);
    QFETCH(QStringList, expected);
    // Whole, and a byte at a time so every token straddles the pieces it arrives in.
    QCOMPARE(tokens(document), expected);
    QCOMPARE(tokens(document, 1), expected);
    QCOMPARE(tokens(document, 7), expected);
}

void TestXmlReader::refusesWhatIsNotWellFormed_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::newRow("NUL in a text") << QByteArrayLiteral("<si><t>n\0m</t></si>");
    QTest::newRow("NUL and ESC in a text") << QByteArrayLiteral("<si><t>a\0b\x1b" "c</t></si>");
    QTest::newRow("ESC in a value") << QByteArray("<c r=\"A\x1b" "1\"/>");
    QTest::newRow("reference to ESC") << QByteArray("<t>&#27;</t>");
    QTest::newRow("duplicate attribute") << QByteArray("<c r=\"D1\" r=\"Z9\"><v>1</v></c>");
    QTest::newRow("one attribute under two prefixes")
        << QByteArray("<c xmlns:a=\"urn:x\" xmlns:b=\"urn:x\" a:r=\"D1\" b:r=\"Z9\"/>");
    QTest::newRow("undeclared prefix") << QByteArray("<x:c/>");
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
    QTest::newRow("bytes that are no UTF-8") << QByteArray("<a>Nom\xff" "bre</a>");
    QTest::newRow("declaration not first") << QByteArray(" <?xml version=\"1.0\"?><a/>");
    QTest::newRow("unknown encoding") << QByteArray("<?xml version=\"1.0\" encoding=\"x-nada\"?><a/>");
    QTest::newRow("no name") << QByteArray("<a>< b/></a>");
    QTest::newRow("CDATA outside the root") << QByteArray("<![CDATA[x]]><a/>");
}

void TestXmlReader::refusesWhatIsNotWellFormed()
{
    QFETCH(QByteArray, document);
    QCOMPARE(tokens(document).last(), QStringLiteral("!"));
    QCOMPARE(tokens(document, 1).last(), QStringLiteral("!"));
    QCOMPARE(failureOf(document), XmlReader::Failure::Damaged);
}

void TestXmlReader::refusesWhatNoWorkbookPartHas_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QByteArray>("withinBounds");     // the same just inside the bound; empty: none
    const auto nested = [](int depth) -> QByteArray {
        return QByteArray("<a>").repeated(depth) + QByteArray("</a>").repeated(depth);
    };
    const auto named = [](qsizetype length) -> QByteArray {
        const QByteArray name(length, 'n');
        return QByteArray("<a><") + name + "/></a>";
    };
    const auto attributeNamed = [](qsizetype length) -> QByteArray { return QByteArray("<a ") + QByteArray(length, 'n') + "=\"1\"/>"; };
    const auto attributes = [](int count) -> QByteArray {
        QByteArray tag("<a");
        for (int i = 0; i < count; ++i)
            tag += " a" + QByteArray::number(i) + "=\"\"";
        return tag + "/>";
    };
    // Every open element is held until it closes: names and depth are bounded, and so is expat's
    // own memory (here, the distinct attribute names it keeps for the whole document).
    QByteArray manyNames("<a>");
    for (int element = 0; element < 400; ++element) {
        manyNames += "<b";
        for (int i = 0; i < 50; ++i)
            manyNames += " n" + QByteArray::number(element * 50 + i) + QByteArray(400, 'x') + "=\"\"";
        manyNames += "/>";
    }
    manyNames += "</a>";

    QTest::newRow("document type") << QByteArray("<!DOCTYPE a [<!ENTITY e \"eeeeeeeeee\"><!ENTITY f \"&e;&e;&e;\">]><a>&f;</a>")
                                   << QByteArray();
    QTest::newRow("nesting") << nested(XmlReader::kMaxDepth + 1) << nested(XmlReader::kMaxDepth);
    // Workbook parts go a handful of elements deep: the bound stays close to that.
    QTest::newRow("nesting past 256") << nested(257) << nested(256);
    QTest::newRow("unclosed nesting") << QByteArray("<a>").repeated(1000000) << QByteArray();
    QTest::newRow("element name") << named(XmlReader::kMaxName + 1) << named(XmlReader::kMaxName);
    QTest::newRow("element name of a megabyte, many times")
        << QByteArray(QByteArray("<") + QByteArray(1000000, 'n') + ">").repeated(250) << QByteArray();
    QTest::newRow("attribute name") << attributeNamed(XmlReader::kMaxName + 1) << attributeNamed(XmlReader::kMaxName);
    QTest::newRow("attributes") << attributes(XmlReader::kMaxAttributes + 1) << attributes(XmlReader::kMaxAttributes);
    QTest::newRow("names expat keeps") << manyNames << QByteArray();
}

void TestXmlReader::refusesWhatNoWorkbookPartHas()
{
    QFETCH(QByteArray, document);
    QFETCH(QByteArray, withinBounds);
    QCOMPARE(tokens(document).last(), QStringLiteral("!"));
    QCOMPARE(failureOf(document), XmlReader::Failure::Damaged);
    if (!withinBounds.isEmpty())
        QCOMPARE(tokens(withinBounds).last(), QStringLiteral("."));
}

void TestXmlReader::otherEncodingsAreReadAsUtf8()
{
    const QString text = QStringLiteral("<sst><si><t>María Núñez 😀</t></si></sst>");
    const QStringList expected = tokens(text.toUtf8());
    QVERIFY(expected.contains(QStringLiteral("'María Núñez 😀")));

    QStringEncoder little(QStringEncoder::Utf16LE);
    QStringEncoder big(QStringEncoder::Utf16BE);
    const QByteArray utf16le = QByteArray("\xFF\xFE") + QByteArray(little(text));
    const QByteArray utf16be = QByteArray("\xFE\xFF") + QByteArray(big(text));
    QCOMPARE(tokens(utf16le), expected);
    QCOMPARE(tokens(utf16be, 3), expected);

    const QByteArray latin1 = QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><sst><si><t>Mar\xED" "a N\xFA\xF1" "ez</t></si></sst>");
    QVERIFY(tokens(latin1).contains(QStringLiteral("'María Núñez")));
    QCOMPARE(tokens(latin1, 1), tokens(latin1));
}

void TestXmlReader::longRunsAcrossPiecesAndTheirLimit()
{
    // A text and a tag longer than one piece of reading arrive whole.
    const QByteArray text(XmlReader::kMaxRun - 16, 'x');
    const QStringList read = tokens("<a>" + text + "</a>", 100000);
    QCOMPARE(read.size(), 4);
    QCOMPARE(read.at(1).size(), text.size() + 1);
    const QStringList tag = tokens(QByteArray("<a b=\"") + QByteArray(700 * 1024, 'y') + "\"/>", 100000);
    QCOMPARE(tag.size(), 3);
    QVERIFY(tag.at(0).endsWith(QString(700 * 1024, u'y')));

    // A longer run is refused before expat gathers it.
    const QByteArray tooLong = QByteArray("<a>") + QByteArray(XmlReader::kMaxRun + 1, 'z') + "</a>";
    QCOMPARE(tokens(tooLong).last(), QStringLiteral("!"));
    QCOMPARE(failureOf(tooLong), XmlReader::Failure::LongRun);
}

void TestXmlReader::bytesThatCarryNothingReadAreBounded()
{
    // Elements nobody reads, a little past the free allowance: refused once the allowance is
    // spent, and read when the caller earned enough for them.
    const QByteArray chaff = QByteArray("<x a=\"") + QByteArray(1000, 'c') + "\"/>";
    const QByteArray document =
        "<worksheet>" + chaff.repeated(qsizetype(XmlReader::kFreeBytes / chaff.size()) + 1024) + "</worksheet>";
    QCOMPARE(failureOf(document), XmlReader::Failure::Filler);
    QCOMPARE(failureOf(document, 2 * 1024 * 1024), XmlReader::Failure::None);
}

QTEST_GUILESS_MAIN(TestXmlReader)
#include "test_xml_reader.moc"
