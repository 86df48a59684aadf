#include "loopback_http_server.h"
#include "platform/net/gateway_channel.h"
#include "platform/net/http_exchange.h"
#include "platform/net/reply_text.h"
#include "support/peak_memory.h"
#include "support/temp_home.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>

#include <memory>

using namespace std::chrono_literals;
using testing::LoopbackHttpServer;
using Script = LoopbackHttpServer::Script;

namespace {

constexpr int kWait = 5000;

net::GatewayReply replyAt(const QSignalSpy &spy, int index)
{
    return spy.at(index).at(0).value<net::GatewayReply>();
}

// A loopback port on which nobody listens.
quint16 closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

} // namespace

class TestGatewayChannel final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void counterMovesPerAnsweredReply_data();
    void counterMovesPerAnsweredReply();
    void callerCountedChannelNeverWraps();
    void postsFormBytesWithTheFormHeader();
    void getsWithTheQueryAsWritten();
    void repliesAreDecodedAndSplit_data();
    void repliesAreDecodedAndSplit();
    void failuresArriveAsEmptyReplies_data();
    void failuresArriveAsEmptyReplies();
    void newerRequestReplacesOlder();
    void sendIsRefusedWhileOneIsInFlight();
    void cancelAndDestructionDeliverNothing();
    void handlerMayStartTheNextRequest();
    void aRequestIsNeverPostedTwice_data();
    void aRequestIsNeverPostedTwice();
    void getCarriesEightBitCharactersAsWindows1252();
    void oversizedRepliesFailAtTheCap_data();
    void oversizedRepliesFailAtTheCap();
    void replyLimitIsTheChannels();
    void largeReplyCostsAboutItsSize();
    void wireTargetEscapes_data();
    void wireTargetEscapes();
    void lateReplyComesAfterTheTimeOut();
    void lateReplyWindowRunsOut();
    void unwrittenRequestIsNotListenedToLate();
    void timeOutIsASilenceNotATotal();

private:
    std::unique_ptr<testing::TempHome> m_home;
};

void TestGatewayChannel::init()
{
    m_home = std::make_unique<testing::TempHome>();
    QVERIFY(m_home->isValid());
}

void TestGatewayChannel::counterMovesPerAnsweredReply_data()
{
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("after");

    QTest::newRow("first reply") << 0 << 200 << 1;
    QTest::newRow("31999 to 32000") << 31999 << 200 << 32000;
    QTest::newRow("32000 wraps to 0") << 32000 << 200 << 0;
    QTest::newRow("an error page is a completed reply too") << 7 << 500 << 8;
}

void TestGatewayChannel::counterMovesPerAnsweredReply()
{
    QFETCH(int, before);
    QFETCH(int, status);
    QFETCH(int, after);

    LoopbackHttpServer server;
    QVERIFY(server.isListening());
    server.setDefault(Script::answer("0|Ticket price|0.07|10", status));
    net::GatewayChannel channel(net::Overlap::ReplaceOlder);
    channel.setCounter(before);
    QSignalSpy spy(&channel, &net::GatewayChannel::finished);

    QCOMPARE(channel.post(server.url("APIv2/quotesms.php"), {{"buf", channel.counterText()}}), net::StartStatus::Started);
    QVERIFY(spy.wait(kWait));
    QCOMPARE(channel.counter(), after);
    QCOMPARE(channel.counterText(), QString::number(after));
    QVERIFY(LoopbackHttpServer::bodyOf(server.lastRequest()).endsWith(QByteArray("buf=" + QByteArray::number(before))));
}

void TestGatewayChannel::callerCountedChannelNeverWraps()
{
    LoopbackHttpServer server;
    server.setDefault(Script::answer("0|Ticket price|"));
    net::GatewayChannel channel(net::Overlap::ReplaceOlder);
    channel.setCounterRule(net::CounterRule::ByCaller);
    channel.setCounter(32000);
    QSignalSpy spy(&channel, &net::GatewayChannel::finished);

    channel.get(server.url("extranet/SMS/pedir_coste.php?buf=") + channel.counterText());
    channel.bumpCounter();
    QVERIFY(spy.wait(kWait));
    QCOMPARE(channel.counter(), 32001);
}

void TestGatewayChannel::postsFormBytesWithTheFormHeader()
{
    LoopbackHttpServer server;
    server.setDefault(Script::answer("0|Message sent|1|1"));
    net::GatewayChannel channel(net::Overlap::RefuseWhileBusy);
    QSignalSpy spy(&channel, &net::GatewayChannel::finished);

    channel.post(server.url("APIv2/sendsms.php"),
                 {{"user", "ana"}, {"", "skipped"}, {"mensaje", QStringLiteral("Hola+Jos%E9 \u00F1")}});
    QVERIFY(spy.wait(kWait));
    const QByteArray raw = server.lastRequest();
    QVERIFY2(raw.startsWith("POST /APIv2/sendsms.php HTTP/1.1\r\n"), raw.constData());
    QVERIFY(LoopbackHttpServer::headOf(raw).contains("\r\nContent-Type: application/x-www-form-urlencoded\r\n"));
    QCOMPARE(LoopbackHttpServer::bodyOf(raw), QByteArray("user=ana&mensaje=Hola+Jos%E9 \xF1"));
}

void TestGatewayChannel::getsWithTheQueryAsWritten()
{
    LoopbackHttpServer server;
    server.setDefault(Script::answer("OK"));
    net::GatewayChannel channel(net::Overlap::ReplaceOlder);
    QSignalSpy spy(&channel, &net::GatewayChannel::finished);

    channel.get(server.url("APIv2/scheduled_sendings.php?user=ana&pass=a%26b&id=7&buf=0"));
    QVERIFY(spy.wait(kWait));
    const QByteArray raw = server.lastRequest();
    QVERIFY2(raw.startsWith("GET /APIv2/scheduled_sendings.php?user=ana&pass=a%26b&id=7&buf=0 HTTP/1.1\r\n"), raw.constData());
    QVERIFY(LoopbackHttpServer::bodyOf(raw).isEmpty());
}

void TestGatewayChannel::repliesAreDecodedAndSplit_data()
{
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("fieldCount");

    QTest::newRow("cp1252 plain") << QByteArray("text/plain; charset=windows-1252") << QByteArray("1|Se\xF1or \x80|x\r\n")
                                  << QStringLiteral("1|Se\u00F1or \u20AC|x") << true << 3;
    QTest::newRow("no charset") << QByteArray("text/plain") << QByteArray("0|a\xF1o|") << QStringLiteral("0|a\u00F1o|")
                                << true << 3;
    QTest::newRow("utf-8 by header") << QByteArray("text/plain; charset=utf-8") << QByteArray("0|a\xC3\xB1o \xE2\x82\xAC")
                                     << QStringLiteral("0|a\u00F1o \u20AC") << true << 2;
    QTest::newRow("html wrapper") << QByteArray("text/html") << QByteArray("<HTML><BODY>0|Message sent|99|2</BODY></HTML>")
                                  << QStringLiteral("0|Message sent|99|2") << true << 4;
    QTest::newRow("no bar") << QByteArray("text/plain") << QByteArray("Mantenimiento") << QStringLiteral("Mantenimiento")
                            << false << 1;
    QTest::newRow("empty page") << QByteArray("text/plain") << QByteArray() << QString() << false << 0;
}

void TestGatewayChannel::repliesAreDecodedAndSplit()
{
    QFETCH(QByteArray, contentType);
    QFETCH(QByteArray, body);
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(int, fieldCount);

    LoopbackHttpServer server;
    Script script = Script::answer(body);
    script.contentType = contentType;
    server.setDefault(script);
    net::GatewayChannel channel(net::Overlap::ReplaceOlder);
    QSignalSpy spy(&channel, &net::GatewayChannel::finished);

    channel.post(server.url("APIv2/quotesms.php"), {{"a", "1"}});
    QVERIFY(spy.wait(kWait));
    const net::GatewayReply reply = replyAt(spy, 0);
    QCOMPARE(reply.status, net::GatewayReply::Status::Answered);
    QCOMPARE(reply.httpStatus, 200);
    QCOMPARE(reply.text, text);
    QCOMPARE(reply.ok, ok);
    QCOMPARE(net::apiFieldCount(reply.text), fieldCount);
}

void TestGatewayChannel::failuresArriveAsEmptyReplies_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("expectedStatus");
    QTest::addColumn<QString>("expectedText");
    QTest::addColumn<bool>("counted");

    enum Kind { Refused, TimeOut, ClosedSilently, ErrorWithoutPage, ErrorWithPage };
    using S = net::GatewayReply::Status;
    QTest::newRow("connection refused") << int(Refused) << int(S::NetworkError) << QString() << false;
    QTest::newRow("time-out") << int(TimeOut) << int(S::TimedOut) << QString() << false;
    QTest::newRow("closed without a byte") << int(ClosedSilently) << int(S::NetworkError) << QString() << false;
    QTest::newRow("HTTP 503 without a page") << int(ErrorWithoutPage) << int(S::HttpError) << QString() << true;
    QTest::newRow("HTTP 500 with a page") << int(ErrorWithPage) << int(S::HttpError)
                                          << QStringLiteral("9|Internal error|") << true;
}

void TestGatewayChannel::failuresArriveAsEmptyReplies()
{
    QFETCH(int, kind);
    QFETCH(int, expectedStatus);
    QFETCH(QString, expectedText);
    QFETCH(bool, counted);

    LoopbackHttpServer server;
    QString url = server.url("APIv2/getreport.php");
    switch (kind) {
    case 0: url = QStringLiteral("http://127.0.0.1:%1/APIv2/getreport.php").arg(closedPort()); break;
    case 1: server.setDefault(Script::hang()); break;
    case 2: server.setDefault(Script::close()); break;
    case 3: server.setDefault(Script::answer({}, 503)); break;
    case 4: server.setDefault(Script::answer("9|Internal error|", 500)); break;
    }
    net::GatewayChannel channel(net::Overlap::ReplaceOlder);
    channel.setTimeout(300ms);
    channel.setCounter(5);
    QSignalSpy spy(&channel, &net::GatewayChannel::finished);

    channel.post(url, {{"user", "ana"}});
    QVERIFY(spy.wait(kWait));
    QCOMPARE(spy.count(), 1);
    const net::GatewayReply reply = replyAt(spy, 0);
    QCOMPARE(int(reply.status), expectedStatus);
    QCOMPARE(reply.text, expectedText);
    QCOMPARE(reply.ok, !expectedText.isEmpty());
    QCOMPARE(channel.counter(), counted ? 6 : 5);
    QVERIFY(!channel.inFlight());
}

void TestGatewayChannel::newerRequestReplacesOlder()
{
    LoopbackHttpServer server;
    Script slow = Script::answer("0|stale|1|1");
    slow.delay = 200ms;
    server.enqueue(slow);
    server.enqueue(Script::answer("0|fresh|2|2"));
    net::GatewayChannel channel(net::Overlap::ReplaceOlder);
    QSignalSpy spy(&channel, &net::GatewayChannel::finished);

    QCOMPARE(channel.post(server.url("APIv2/quotesms.php"), {{"n", "1"}}), net::StartStatus::Started);
    QTRY_COMPARE_WITH_TIMEOUT(server.requestCount(), 1, kWait);
    QCOMPARE(channel.post(server.url("APIv2/quotesms.php"), {{"n", "2"}}), net::StartStatus::Started);
    QVERIFY(spy.wait(kWait));
    QCOMPARE(replyAt(spy, 0).text, QStringLiteral("0|fresh|2|2"));
    // Well past the older answer's moment: it must never show up.
    QVERIFY(!spy.wait(600));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(channel.counter(), 1);
}

void TestGatewayChannel::sendIsRefusedWhileOneIsInFlight()
{
    LoopbackHttpServer server;
    Script slow = Script::answer("0|Message sent|77|1");
    slow.delay = 200ms;
    server.setDefault(slow);
    net::GatewayChannel channel(net::Overlap::RefuseWhileBusy);
    QSignalSpy spy(&channel, &net::GatewayChannel::finished);

    QCOMPARE(channel.post(server.url("APIv2/sendsms.php"), {{"mensaje", "uno"}}), net::StartStatus::Started);
    QVERIFY(channel.inFlight());
    QCOMPARE(channel.post(server.url("APIv2/sendsms.php"), {{"mensaje", "dos"}}), net::StartStatus::Refused);
    QVERIFY(spy.wait(kWait));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(net::apiField(replyAt(spy, 0).text, 2), QStringLiteral("77"));
    QCOMPARE(server.requestCount(), 1);
    QVERIFY(LoopbackHttpServer::bodyOf(server.lastRequest()) == "mensaje=uno");

    // Once answered, the next send goes.
    QCOMPARE(channel.post(server.url("APIv2/sendsms.php"), {{"mensaje", "dos"}}), net::StartStatus::Started);
    QVERIFY(spy.wait(kWait));
    QCOMPARE(server.requestCount(), 2);
}

void TestGatewayChannel::cancelAndDestructionDeliverNothing()
{
    LoopbackHttpServer server;
    Script slow = Script::answer("0|late|");
    slow.delay = 100ms;
    server.setDefault(slow);

    net::GatewayChannel channel(net::Overlap::ReplaceOlder);
    QSignalSpy spy(&channel, &net::GatewayChannel::finished);
    channel.get(server.url("APIv2/getreport.php?id=1"));
    QTRY_COMPARE_WITH_TIMEOUT(server.requestCount(), 1, kWait);
    channel.cancel();
    QVERIFY(!channel.inFlight());

    auto doomed = std::make_unique<net::GatewayChannel>(net::Overlap::ReplaceOlder);
    QSignalSpy doomedSpy(doomed.get(), &net::GatewayChannel::finished);
    doomed->get(server.url("APIv2/getreport.php?id=2"));
    QTRY_COMPARE_WITH_TIMEOUT(server.requestCount(), 2, kWait);
    doomed.reset();

    QVERIFY(!spy.wait(400));
    QCOMPARE(spy.count(), 0);
}

void TestGatewayChannel::handlerMayStartTheNextRequest()
{
    LoopbackHttpServer server;
    server.setDefault(Script::answer("0|ok|"));
    net::GatewayChannel channel(net::Overlap::RefuseWhileBusy);
    int answered = 0;
    connect(&channel, &net::GatewayChannel::finished, this, [&](const net::GatewayReply &) {
        if (++answered < 3)
            QCOMPARE(channel.post(server.url("APIv2/sendsms.php"), {{"n", QString::number(answered)}}),
                     net::StartStatus::Started);
    });
    channel.post(server.url("APIv2/sendsms.php"), {{"n", "0"}});
    QTRY_COMPARE_WITH_TIMEOUT(answered, 3, kWait);
    QCOMPARE(server.requestCount(), 3);
    QCOMPARE(channel.counter(), 3);
}

void TestGatewayChannel::aRequestIsNeverPostedTwice_data()
{
    QTest::addColumn<bool>("reused");
    QTest::newRow("fresh connection closed without a byte") << false;
    QTest::newRow("kept-alive connection closed without a byte") << true;
}

// A gateway that reads the send, charges it and drops the connection without answering must see
// it once: a second copy is a second charge.
void TestGatewayChannel::aRequestIsNeverPostedTwice()
{
    QFETCH(bool, reused);

    LoopbackHttpServer server;
    if (reused) {
        Script first = Script::answer("0|Message sent|1|1");
        first.keepAlive = true;
        server.enqueue(first);
    }
    server.setDefault(Script::close());
    net::GatewayChannel channel(net::Overlap::RefuseWhileBusy);
    QSignalSpy spy(&channel, &net::GatewayChannel::finished);

    if (reused) {
        channel.post(server.url("APIv2/sendsms.php"), {{"mensaje", "uno"}});
        QVERIFY(spy.wait(kWait));
        QCOMPARE(replyAt(spy, 0).text, QStringLiteral("0|Message sent|1|1"));
    }
    const int before = server.requestCount();
    QCOMPARE(channel.post(server.url("APIv2/sendsms.php"), {{"mensaje", "dos"}}), net::StartStatus::Started);
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), reused ? 2 : 1, kWait);
    const net::GatewayReply reply = replyAt(spy, spy.count() - 1);
    QCOMPARE(reply.status, net::GatewayReply::Status::NetworkError);
    QVERIFY(reply.text.isEmpty());
    QVERIFY(reply.outcomeUnknown()); // the gateway had it all: it may have acted on it
    // Past any moment a second copy could have gone out.
    QVERIFY(!spy.wait(300));
    QCOMPARE(server.requestCount() - before, 1);
}

// Logins, passwords and identifiers with "ñ", "é" or "€" reach the gateway as the Windows-1252
// bytes its scripts decode, never as UTF-8 replacement characters.
void TestGatewayChannel::getCarriesEightBitCharactersAsWindows1252()
{
    LoopbackHttpServer server;
    server.setDefault(Script::answer("0|ok|"));
    net::GatewayChannel channel(net::Overlap::ReplaceOlder);
    QSignalSpy spy(&channel, &net::GatewayChannel::finished);

    channel.get(server.url(QStringLiteral("extranet/SMS/pedir_remitentes.php?username=Jos\u00E9&password=\u20ACa%26\u00F1&id=x y")));
    QVERIFY(spy.wait(kWait));
    const QByteArray raw = server.lastRequest();
    QVERIFY2(raw.startsWith("GET /extranet/SMS/pedir_remitentes.php?username=Jos%E9&password=%80a%26%F1&id=x%20y HTTP/1.1\r\n"),
             raw.left(120).constData());
}

void TestGatewayChannel::oversizedRepliesFailAtTheCap_data()
{
    QTest::addColumn<int>("framing");
    QTest::addColumn<bool>("hold");
    enum { Length, Chunked, UntilClose };
    QTest::newRow("10 MB with its length") << int(Length) << false;
    QTest::newRow("10 MB chunked") << int(Chunked) << false;
    QTest::newRow("10 MB until the close") << int(UntilClose) << false;
    // The server keeps the line open after 1 MB: the exchange must end at the cap, not wait for
    // a whole body that would never fit.
    QTest::newRow("endless, with a length of 10 MB") << int(Length) << true;
    QTest::newRow("endless, until the close") << int(UntilClose) << true;
    QTest::newRow("endless, chunked") << int(Chunked) << true;
}

void TestGatewayChannel::oversizedRepliesFailAtTheCap()
{
    QFETCH(int, framing);
    QFETCH(bool, hold);

    LoopbackHttpServer server;
    Script huge = Script::answer(QByteArray(hold ? 1 << 20 : 10 << 20, 'x'));
    huge.chunked = framing == 1;
    huge.contentLength = framing == 0;
    if (hold) {
        huge.announcedLength = 10 << 20;
        huge.holdAfterBody = true;
    }
    server.setDefault(huge);
    net::GatewayChannel channel(net::Overlap::ReplaceOlder);
    channel.setTimeout(60s);
    channel.setCounter(3);
    QSignalSpy spy(&channel, &net::GatewayChannel::finished);

    channel.post(server.url("APIv2/getreport.php"), {{"sms_id", "1"}});
    QVERIFY(spy.wait(30000)); // well before the channel's own time-out, even on a loaded machine
    const net::GatewayReply reply = replyAt(spy, 0);
    QVERIFY(reply.status != net::GatewayReply::Status::Answered);
    QVERIFY(reply.status != net::GatewayReply::Status::TimedOut);
    QCOMPARE(reply.status, net::GatewayReply::Status::TooLarge);
    QVERIFY(reply.text.isEmpty());
    QVERIFY(!reply.ok);
    QVERIFY(!channel.inFlight());
    QCOMPARE(channel.counter(), 3); // no reply of the script: not counted
}

void TestGatewayChannel::replyLimitIsTheChannels()
{
    LoopbackHttpServer server;
    const QByteArray body = "INSERT|" + QByteArray(200 * 1024, 'a');
    server.setDefault(Script::answer(body));
    net::GatewayChannel channel(net::Overlap::ReplaceOlder);
    QSignalSpy spy(&channel, &net::GatewayChannel::finished);

    channel.get(server.url("extranet/SMS/desktop_export_agenda.php"));
    QVERIFY(spy.wait(kWait));
    QCOMPARE(replyAt(spy, 0).status, net::GatewayReply::Status::TooLarge);

    channel.setReplyLimit(body.size());
    channel.get(server.url("extranet/SMS/desktop_export_agenda.php"));
    QVERIFY(spy.wait(kWait));
    QCOMPARE(replyAt(spy, 1).status, net::GatewayReply::Status::Answered);
    QCOMPARE(replyAt(spy, 1).text.size(), body.size());
}

void TestGatewayChannel::largeReplyCostsAboutItsSize()
{
    // Nothing but separators, as much as the channel takes: every field is read where it lies,
    // never copied into a string of its own (that came to some forty times the body).
    constexpr qint64 kSize = 32 * 1024 * 1024;
    LoopbackHttpServer server;
    server.setDefault(Script::answer(QByteArray(kSize, '|')));
    net::GatewayChannel channel(net::Overlap::ReplaceOlder);
    channel.setReplyLimit(kSize);
    QSignalSpy spy(&channel, &net::GatewayChannel::finished);

    const testing::PeakGrowth growth;
    channel.get(server.url("extranet/SMS/desktop_export_agenda.php"));
    QVERIFY(spy.wait(120000));
    const net::GatewayReply reply = replyAt(spy, 0);
    QCOMPARE(reply.status, net::GatewayReply::Status::Answered);
    QVERIFY(reply.ok);
    QCOMPARE(reply.text.size(), kSize);
    QCOMPARE(net::apiFieldCount(reply.text), kSize + 1);
    QVERIFY(net::apiField(reply.text, 0).isEmpty());
    QVERIFY(net::apiField(reply.text, kSize).isEmpty());
    if (growth.supported()) {
        // The raw body, its text and the server's own copy, with room for the sanitizers.
        QVERIFY2(growth.bytes() < 12 * kSize, qPrintable(QString::number(growth.bytes() / (1024 * 1024)) + " MiB"));
    }
}

void TestGatewayChannel::wireTargetEscapes_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QByteArray>("wire");
    QTest::newRow("escapes kept") << QStringLiteral("/a.php?p=a%26b%2b") << QByteArray("/a.php?p=a%26b%2b");
    QTest::newRow("stray percent") << QStringLiteral("/a.php?p=100%&q=%4") << QByteArray("/a.php?p=100%25&q=%254");
    QTest::newRow("8-bit as Windows-1252") << QStringLiteral("/a.php?u=\u00D1and\u00FA&e=\u20AC") << QByteArray("/a.php?u=%D1and%FA&e=%80");
    QTest::newRow("blanks, controls, quotes") << QStringLiteral("/a b.php?x=\"1\"\t<2>") << QByteArray("/a%20b.php?x=%221%22%09%3C2%3E");
    QTest::newRow("bars and braces") << QStringLiteral("/a.php?x={1|2}^`\\") << QByteArray("/a.php?x=%7B1%7C2%7D%5E%60%5C");
    QTest::newRow("fragment left out") << QStringLiteral("/a.php?x=1#arriba") << QByteArray("/a.php?x=1");
    QTest::newRow("reserved signs as they are") << QStringLiteral("/a.php?x=[1]&y=a,b;c:d@e!$'()*~") << QByteArray("/a.php?x=[1]&y=a,b;c:d@e!$'()*~");
}

void TestGatewayChannel::wireTargetEscapes()
{
    QFETCH(QString, target);
    QFETCH(QByteArray, wire);
    QCOMPARE(net::wireTarget(target), wire);
}

// A send whose answer comes after the time-out: the caller hears of the time-out at once (and may
// start another request), and of the answer when it comes, with the same exchange number.
void TestGatewayChannel::lateReplyComesAfterTheTimeOut()
{
    LoopbackHttpServer server;
    Script slow = Script::answer("0|Message sent|4321|2");
    slow.delay = 700ms;
    server.enqueue(slow);
    server.setDefault(Script::answer("0|Message sent|4322|1"));
    net::GatewayChannel channel(net::Overlap::RefuseWhileBusy);
    channel.setTimeout(150ms);
    channel.setLateReplyWindow(5s);
    QSignalSpy spy(&channel, &net::GatewayChannel::finished);
    QSignalSpy late(&channel, &net::GatewayChannel::lateReply);

    channel.post(server.url("APIv2/sendsms.php"), {{"mensaje", "uno"}});
    const quint64 first = channel.lastExchange();
    QVERIFY(spy.wait(kWait));
    QCOMPARE(replyAt(spy, 0).status, net::GatewayReply::Status::TimedOut);
    QVERIFY(replyAt(spy, 0).requestDelivered);
    QVERIFY(replyAt(spy, 0).outcomeUnknown());
    QCOMPARE(replyAt(spy, 0).exchange, first);
    QVERIFY(!channel.inFlight());
    QVERIFY(channel.awaitingLateReply());

    QCOMPARE(channel.post(server.url("APIv2/sendsms.php"), {{"mensaje", "dos"}}), net::StartStatus::Started);
    QVERIFY(channel.lastExchange() != first);
    QVERIFY(spy.wait(kWait));
    QCOMPARE(net::apiField(replyAt(spy, 1).text, 2), QStringLiteral("4322"));

    QTRY_COMPARE_WITH_TIMEOUT(late.count(), 1, kWait);
    const net::GatewayReply answer = late.at(0).at(0).value<net::GatewayReply>();
    QCOMPARE(answer.status, net::GatewayReply::Status::Answered);
    QCOMPARE(answer.exchange, first);
    QCOMPARE(net::apiField(answer.text, 2), QStringLiteral("4321"));
    QVERIFY(answer.ok);
    QVERIFY(!channel.awaitingLateReply());
    QCOMPARE(spy.count(), 2);
    QCOMPARE(server.requestCount(), 2);
    QCOMPARE(channel.counter(), 2);
}

void TestGatewayChannel::lateReplyWindowRunsOut()
{
    LoopbackHttpServer server;
    server.setDefault(Script::hang());
    net::GatewayChannel channel(net::Overlap::RefuseWhileBusy);
    channel.setTimeout(100ms);
    channel.setLateReplyWindow(200ms);
    QSignalSpy spy(&channel, &net::GatewayChannel::finished);
    QSignalSpy late(&channel, &net::GatewayChannel::lateReply);

    channel.post(server.url("APIv2/sendsms.php"), {{"mensaje", "uno"}});
    QVERIFY(spy.wait(kWait));
    QVERIFY(channel.awaitingLateReply());
    QVERIFY(late.wait(kWait));
    QCOMPARE(late.count(), 1);
    const net::GatewayReply expired = late.at(0).at(0).value<net::GatewayReply>();
    QCOMPARE(expired.status, net::GatewayReply::Status::TimedOut);
    QVERIFY(expired.outcomeUnknown());
    QVERIFY(!channel.awaitingLateReply());
    QVERIFY(!late.wait(300));
    QCOMPARE(server.requestCount(), 1);
}

// A connection that never opened carried nothing: no doubt about the outcome, nothing to wait for.
void TestGatewayChannel::unwrittenRequestIsNotListenedToLate()
{
    net::GatewayChannel channel(net::Overlap::RefuseWhileBusy);
    channel.setLateReplyWindow(5s);
    QSignalSpy spy(&channel, &net::GatewayChannel::finished);
    channel.post(QStringLiteral("http://127.0.0.1:%1/APIv2/sendsms.php").arg(closedPort()), {{"mensaje", "uno"}});
    QVERIFY(spy.wait(kWait));
    QCOMPARE(replyAt(spy, 0).status, net::GatewayReply::Status::NetworkError);
    QVERIFY(!replyAt(spy, 0).requestDelivered);
    QVERIFY(!replyAt(spy, 0).outcomeUnknown());
    QVERIFY(!channel.awaitingLateReply());
}

// A reply that keeps coming on a slow link arrives whole however long it takes in all; a gateway
// that falls silent half-way is given up after the time-out.
void TestGatewayChannel::timeOutIsASilenceNotATotal()
{
    LoopbackHttpServer server;
    const QByteArray body = "0|SenderID list|" + QByteArray(4000, 'a');
    Script trickle = Script::answer(body);
    trickle.pieces = 10;
    trickle.pieceGap = 100ms; // about a second in all, never more than a tenth of one silent
    server.enqueue(trickle);
    Script stalls = Script::answer(body);
    stalls.announcedLength = body.size() * 2; // half the reply, then nothing
    stalls.holdAfterBody = true;
    server.enqueue(stalls);

    net::GatewayChannel channel(net::Overlap::ReplaceOlder);
    channel.setTimeout(400ms);
    QSignalSpy spy(&channel, &net::GatewayChannel::finished);
    channel.get(server.url("extranet/SMS/pedir_remitentes.php"));
    QVERIFY(spy.wait(kWait));
    QCOMPARE(replyAt(spy, 0).status, net::GatewayReply::Status::Answered);
    QCOMPARE(replyAt(spy, 0).text.size(), body.size());

    channel.get(server.url("extranet/SMS/pedir_remitentes.php"));
    QVERIFY(spy.wait(kWait));
    QCOMPARE(replyAt(spy, 1).status, net::GatewayReply::Status::TimedOut);
}

QTEST_GUILESS_MAIN(TestGatewayChannel)
#include "test_gateway_channel.moc"
