// The birthday window's hidden browser against a raw loopback server: what goes on the wire, the
// session it keeps, the redirects it follows, and the submission that must reach the gateway once.
#include "automation/birthdays/hidden_browser.h"
#include "automation/birthdays/web_form.h"
#include "platform/net/loopback_http_server.h"

#include <QSignalSpy>
#include <QTest>

using namespace std::chrono_literals;
using namespace automation::birthdays;
using testing::LoopbackHttpServer;
using Script = LoopbackHttpServer::Script;

namespace {

constexpr int kWait = 5000;

LoadedPage pageAt(const QSignalSpy &spy, int index)
{
    return spy.at(index).at(0).value<LoadedPage>();
}

QByteArray headerOf(const QByteArray &raw, const QByteArray &name)
{
    for (const QByteArray &line : LoopbackHttpServer::headOf(raw).split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().toLower() == name.toLower())
            return line.mid(colon + 1).trimmed();
    }
    return {};
}

Script page(const QByteArray &html)
{
    Script script = Script::answer(html);
    script.contentType = "text/html; charset=windows-1252";
    return script;
}

} // namespace

class TestHiddenBrowser final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void sessionCookieAndRefererGoWithTheSubmission()
    {
        LoopbackHttpServer server;
        Script form = page("<FORM action=\"/r.php\"></FORM>");
        form.headers = {"Set-Cookie: BRISESSID=abc123; Path=/"};
        server.enqueue(form);
        server.enqueue(page("<BODY>0|IN_PROGRESS|7</BODY>"));
        HiddenBrowser browser;
        QSignalSpy spy(&browser, &HiddenBrowser::pageLoaded);

        browser.navigate(QUrl(server.url("extranet/SMS/sms_personalizados.php?try=0")));
        QVERIFY(spy.wait(kWait));
        QVERIFY(pageAt(spy, 0).answered);
        QCOMPARE(pageAt(spy, 0).html, QStringLiteral("<FORM action=\"/r.php\"></FORM>"));
        QCOMPARE(pageAt(spy, 0).contentType, QByteArray("text/html; charset=windows-1252"));
        QCOMPARE(pageAt(spy, 0).url, QUrl(server.url("extranet/SMS/sms_personalizados.php?try=0")));

        browser.submit(QUrl(server.url("r.php")), true, "mensaje=Hola+%F1&sub=Enviar",
                       pageAt(spy, 0).url);
        QVERIFY(spy.wait(kWait));
        const QByteArray raw = server.lastRequest();
        QVERIFY2(raw.startsWith("POST /r.php HTTP/1.1\r\n"), raw.constData());
        QCOMPARE(headerOf(raw, "Cookie"), QByteArray("BRISESSID=abc123"));
        QCOMPARE(headerOf(raw, "Referer"), server.url("extranet/SMS/sms_personalizados.php?try=0").toLatin1());
        QCOMPARE(headerOf(raw, "Content-Type"), QByteArray("application/x-www-form-urlencoded"));
        QCOMPARE(LoopbackHttpServer::bodyOf(raw), QByteArray("mensaje=Hola+%F1&sub=Enviar"));
        QCOMPARE(pageAt(spy, 1).html, QStringLiteral("<BODY>0|IN_PROGRESS|7</BODY>"));
    }

    void getSubmissionCarriesTheBytesAsItsQuery()
    {
        LoopbackHttpServer server;
        server.setDefault(page("<BODY>ok</BODY>"));
        HiddenBrowser browser;
        QSignalSpy spy(&browser, &HiddenBrowser::pageLoaded);
        browser.submit(QUrl(server.url("r.php#arriba")), false, "nombre=Jos%E9&sub=Enviar", QUrl(server.url()));
        QVERIFY(spy.wait(kWait));
        QVERIFY2(server.lastRequest().startsWith("GET /r.php?nombre=Jos%E9&sub=Enviar HTTP/1.1\r\n"),
                 server.lastRequest().constData());
    }

    // A submission answered by a redirect ends at the page it leads to, fetched with GET and the
    // cookies the redirect set; the address reported is where it ended.
    void redirectsAreFollowedToTheirPage()
    {
        LoopbackHttpServer server;
        Script moved = page("Moved");
        moved.status = 302;
        moved.headers = {"Location: /extranet_nueva/SMS/sendsms.php?fin=1", "Set-Cookie: paso=2"};
        server.enqueue(moved);
        server.enqueue(page("<BODY>0|IN_PROGRESS|9</BODY>"));
        HiddenBrowser browser;
        QSignalSpy spy(&browser, &HiddenBrowser::pageLoaded);

        browser.submit(QUrl(server.url("r.php")), true, "a=1", QUrl(server.url()));
        QVERIFY(spy.wait(kWait));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(server.requestCount(), 2);
        const QByteArray second = server.lastRequest();
        QVERIFY2(second.startsWith("GET /extranet_nueva/SMS/sendsms.php?fin=1 HTTP/1.1\r\n"), second.constData());
        QCOMPARE(headerOf(second, "Cookie"), QByteArray("paso=2"));
        QVERIFY(LoopbackHttpServer::bodyOf(second).isEmpty());
        const LoadedPage result = pageAt(spy, 0);
        QVERIFY(result.answered);
        QCOMPARE(result.url, QUrl(server.url("extranet_nueva/SMS/sendsms.php?fin=1")));
        QCOMPARE(result.html, QStringLiteral("<BODY>0|IN_PROGRESS|9</BODY>"));
    }

    // The gateway schedules the greetings when it reads the submission: a dropped connection must
    // not make it schedule them twice.
    void submissionIsNeverPostedTwice()
    {
        LoopbackHttpServer server;
        Script first = page("<FORM></FORM>");
        first.keepAlive = true;
        server.enqueue(first);
        server.setDefault(Script::close());
        HiddenBrowser browser;
        QSignalSpy spy(&browser, &HiddenBrowser::pageLoaded);

        browser.navigate(QUrl(server.url("form.php")));
        QVERIFY(spy.wait(kWait));
        browser.submit(QUrl(server.url("r.php")), true, "a=1", QUrl(server.url("form.php")));
        QVERIFY(spy.wait(kWait));
        QVERIFY(!pageAt(spy, 1).answered);
        QVERIFY(pageAt(spy, 1).delivered); // the gateway had it: it may have scheduled the greetings
        QCOMPARE(pageAt(spy, 1).url, QUrl(server.url("r.php")));
        QVERIFY(!spy.wait(300));
        QCOMPARE(server.requestCount(), 2);
    }

    // The form page is a few kilobytes: a page of many megabytes is no page, and the load ends at
    // the cap instead of waiting for the rest.
    void oversizedPageIsNotLoaded()
    {
        LoopbackHttpServer server;
        Script huge = page(QByteArray(1 << 20, 'x'));
        huge.announcedLength = 200 << 20;
        huge.holdAfterBody = true;
        server.enqueue(huge);
        server.enqueue(page(QByteArray(20 << 20, 'y')));
        HiddenBrowser browser;
        browser.setTimeout(4s);
        QSignalSpy spy(&browser, &HiddenBrowser::pageLoaded);

        browser.navigate(QUrl(server.url("form.php")));
        QVERIFY(spy.wait(3000));
        QVERIFY(!pageAt(spy, 0).answered);
        QVERIFY(pageAt(spy, 0).tooLarge); // said as such, not as a page that never came
        QVERIFY(pageAt(spy, 0).html.isEmpty());
        QCOMPARE(pageAt(spy, 0).url, QUrl(server.url("form.php")));
        browser.navigate(QUrl(server.url("form.php")));
        QVERIFY(spy.wait(3000));
        QVERIFY(!pageAt(spy, 1).answered);
        QVERIFY(pageAt(spy, 1).tooLarge);
    }

    // The parser compares each new attribute of a tag with all before it and copies misnested
    // formatting elements with all of theirs: pages built on that are refused before parsing,
    // whatever their size under the page bound; ordinary pages near the bounds still parse.
    void pagesPastTheAttributeBoundsAreRefused_data()
    {
        QTest::addColumn<QString>("html");
        QTest::addColumn<bool>("valid");
        const auto attributes = [](int count, int from = 0) {
            QString out;
            for (int i = 0; i < count; ++i)
                out += QStringLiteral(" a") + QString::number(from + i);
            return out;
        };
        const QString form = QStringLiteral("<FORM action=x><input name=q></FORM>");
        // Attributes added to `html` until it nearly reaches `size`, then the tag's end. The
        // result is a QString of its own: a concatenation returned as it is would refer to the
        // parameter, gone once the call ends.
        const auto upTo = [](QString html, qsizetype size) -> QString {
            for (int i = 0; html.size() + 16 < size; ++i)
                html += QStringLiteral(" a") + QString::number(i);
            return html + QStringLiteral(">");
        };

        QTest::newRow("one tag, two megabytes of attributes")
            << upTo(QStringLiteral("<HTML><BODY>") + form + QStringLiteral("<div"), kMaxParsedPageSize) << false;
        QTest::newRow("one end tag full of attributes")
            << upTo(QStringLiteral("<HTML><BODY>") + form + QStringLiteral("</div"), kMaxParsedPageSize) << false;
        // The end tag of an element whose content is text to the parser counts like any other
        // (one past the bound is enough to tell; a page of them would take the parser minutes).
        for (const char *rawText : {"script", "style", "textarea", "title"}) {
            const QString name = QString::fromLatin1(rawText);
            QTest::newRow(qPrintable(QStringLiteral("the end tag of a %1 just past the bound").arg(name)))
                << QStringLiteral("<HTML><BODY>") + form + QStringLiteral("<%1>x</%1").arg(name)
                       + attributes(kMaxTagAttributes + 1) + QStringLiteral("></BODY></HTML>")
                << false;
        }
        QTest::newRow("the end tag of a script at the bound")
            << QStringLiteral("<HTML><BODY>") + form + QStringLiteral("<script>x</script") + attributes(kMaxTagAttributes)
                   + QStringLiteral("></BODY></HTML>")
            << true;
        QTest::newRow("one tag just past the bound")
            << QStringLiteral("<HTML><BODY>") + form + QStringLiteral("<div") + attributes(kMaxTagAttributes + 1)
                   + QStringLiteral("></div></BODY></HTML>")
            << false;
        QTest::newRow("one tag at the bound")
            << QStringLiteral("<HTML><BODY>") + form + QStringLiteral("<div") + attributes(kMaxTagAttributes)
                   + QStringLiteral("></div></BODY></HTML>")
            << true;
        QString bodies = QStringLiteral("<HTML><BODY>") + form;
        for (int i = 0; i < 40; ++i)
            bodies += QStringLiteral("<body") + attributes(8, i * 8) + QStringLiteral(">");
        QTest::newRow("body tags whose attributes add up") << bodies << false;
        QString many = QStringLiteral("<HTML><BODY>") + form;
        for (int i = 0; i * 200 <= kMaxPageAttributes; ++i)
            many += QStringLiteral("<div") + attributes(200) + QStringLiteral("></div>");
        QTest::newRow("more attributes than a page may carry") << many << false;
        QString reopened = QStringLiteral("<HTML><BODY>") + form + QStringLiteral("<p><b") + attributes(200)
                         + QStringLiteral("></p>");
        while (reopened.size() + 16 < kMaxParsedPageSize)
            reopened += QStringLiteral("<p>x</p>");
        QTest::newRow("misnested element with attributes across paragraphs") << reopened << false;
        QString sloppy = QStringLiteral("<HTML><BODY>") + form + QStringLiteral("<p><b class=x><i id=y></p>");
        for (int i = 0; i < 2000; ++i)
            sloppy += QStringLiteral("<p>texto</p>");
        QTest::newRow("a few misnested elements") << sloppy << true;
        QString table = QStringLiteral("<HTML><BODY>") + form + QStringLiteral("<table>");
        for (int i = 0; i < 2000; ++i)
            table += QStringLiteral("<tr class=fila id=f%1><td align=left width=20>x</td></tr>").arg(i);
        QTest::newRow("an ordinary table") << table + QStringLiteral("</table>") << true;
    }

    void pagesPastTheAttributeBoundsAreRefused()
    {
        QFETCH(QString, html);
        QFETCH(bool, valid);
        const HtmlPage page = parsePage(html, QUrl(QStringLiteral("http://h/")));
        QCOMPARE(page.valid, valid);
        QCOMPARE(page.form.found, valid);
    }

    void unansweredLoadEndsAtItsTimeLimit()
    {
        LoopbackHttpServer server;
        server.setDefault(Script::hang());
        HiddenBrowser browser;
        browser.setTimeout(200ms);
        QSignalSpy spy(&browser, &HiddenBrowser::pageLoaded);
        browser.navigate(QUrl(server.url("form.php")));
        QVERIFY(spy.wait(kWait));
        QVERIFY(!pageAt(spy, 0).answered);
        QTRY_COMPARE_WITH_TIMEOUT(server.requestCount(), 1, kWait);
        QVERIFY(pageAt(spy, 0).delivered);
        QVERIFY(!browser.isLoading());
    }

    void refusedLoadDeliveredNothing()
    {
        quint16 port = 0;
        {
            LoopbackHttpServer gone;
            port = gone.port();
        }
        HiddenBrowser browser;
        QSignalSpy spy(&browser, &HiddenBrowser::pageLoaded);
        browser.submit(QUrl(QStringLiteral("http://127.0.0.1:%1/r.php").arg(port)), true, "a=1", QUrl());
        QVERIFY(spy.wait(kWait));
        QVERIFY(!pageAt(spy, 0).answered);
        QVERIFY(!pageAt(spy, 0).delivered);
    }
};

QTEST_GUILESS_MAIN(TestHiddenBrowser)
#include "test_hidden_browser.moc"
