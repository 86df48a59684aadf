#include "loopback_http_server.h"
#include "platform/net/gateway_channel.h"
#include "platform/net/raw_http.h"
#include "platform/net/sync_http.h"
#include "platform/text/cp1252.h"
#include "support/temp_home.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace std::chrono_literals;
using testing::LoopbackHttpServer;
using Script = LoopbackHttpServer::Script;
using Parser = net::rawhttp::ResponseParser;

namespace {

constexpr int kWait = 5000;
const QString kVersionPath = QStringLiteral("extranet/SMS/desktop_version.php");

quint16 closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

QByteArray longBody()
{
    QByteArray body;
    for (int i = 0; body.size() < 5000; ++i)
        body += "linea " + QByteArray::number(i) + " a\xF1o \x80|";
    return body;
}

} // namespace

class TestSyncHttp final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void sendsTheBodyOfTheTwoArrays_data();
    void sendsTheBodyOfTheTwoArrays();
    void readsWholeReplies_data();
    void readsWholeReplies();
    void readsTheBodyOfAnErrorStatus();
    void failuresAreReportedAndCloseTheLine_data();
    void failuresAreReportedAndCloseTheLine();
    void refusesUnusableServers_data();
    void refusesUnusableServers();
    void secureGatewayFailsCleanlyAgainstPlainServer();
    void parserRejectsBrokenReplies_data();
    void parserRejectsBrokenReplies();
    void nothingElseRunsWhileItBlocks();
    void oversizedRepliesFailAtTheCap_data();
    void oversizedRepliesFailAtTheCap();

private:
    std::unique_ptr<testing::TempHome> m_home;
};

void TestSyncHttp::init()
{
    m_home = std::make_unique<testing::TempHome>();
    QVERIFY(m_home->isValid());
}

void TestSyncHttp::sendsTheBodyOfTheTwoArrays_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QByteArray>("body");

    QTest::newRow("single field, empty last element")
        << QStringList{"Fuente", ""} << QStringList{"Desktop", ""} << QByteArray("POST") << QByteArray("Fuente=Desktop");
    QTest::newRow("empty middle name keeps both neighbours whole")
        << QStringList{"a", "", "c", ""} << QStringList{"1", "2", "3", ""} << QByteArray("POST") << QByteArray("a=1&c=3");
    QTest::newRow("empty first name adds no leading separator")
        << QStringList{"", "b", ""} << QStringList{"1", "2", ""} << QByteArray("POST") << QByteArray("b=2");
    QTest::newRow("several fields") << QStringList{"user", "pass", "accion", ""} << QStringList{"ana", "x", "todos", ""}
                                    << QByteArray("POST") << QByteArray("user=ana&pass=x&accion=todos");
    QTest::newRow("form signs in values escaped, names raw")
        << QStringList{"pa&ss", ""} << QStringList{"a&b=c+d%e#f", ""} << QByteArray("POST")
        << QByteArray("pa&ss=a%26b%3Dc%2Bd%25e%23f");
    QTest::newRow("8-bit characters as cp1252 bytes")
        << QStringList{"m", ""} << QStringList{QStringLiteral("a\u00F1o \u20AC-\u00E9"), ""} << QByteArray("POST")
        << QByteArray("m=a\xF1o \x80-\xE9");
    QTest::newRow("value array below upper bound 1 is a GET")
        << QStringList{"Fuente"} << QStringList{"Desktop"} << QByteArray("GET") << QByteArray();
    QTest::newRow("no arrays at all") << QStringList{} << QStringList{} << QByteArray("GET") << QByteArray();
    QTest::newRow("short value array") << QStringList{"a", "b", ""} << QStringList{"1", ""} << QByteArray("POST")
                                       << QByteArray("a=1&b=");
}

void TestSyncHttp::sendsTheBodyOfTheTwoArrays()
{
    QFETCH(QStringList, names);
    QFETCH(QStringList, values);
    QFETCH(QByteArray, method);
    QFETCH(QByteArray, body);

    LoopbackHttpServer server;
    server.setDefault(Script::answer("1.0.7"));
    net::SyncHttp http(server.url());
    QVERIFY(http.connectTo(server.hostPort(), {}));
    const net::SyncReply reply = http.request(kVersionPath, names, values);
    http.disconnect();
    http.disconnect();

    QCOMPARE(reply.status, net::SyncReply::Status::Ok);
    QVERIFY(reply.ok);
    QCOMPARE(reply.text, QStringLiteral("1.0.7"));
    const QByteArray raw = server.lastRequest();
    QVERIFY2(raw.startsWith(QByteArray(method + " /" + kVersionPath.toLatin1() + " HTTP/1.1\r\n")), raw.constData());
    const QByteArray head = LoopbackHttpServer::headOf(raw);
    QVERIFY(head.contains(QByteArray("\r\nHost: " + server.hostPort().toLatin1() + "\r\n")));
    QCOMPARE(head.contains("\r\nContent-Type: application/x-www-form-urlencoded\r\n"), method == "POST");
    QCOMPARE(LoopbackHttpServer::bodyOf(raw), body);
}

void TestSyncHttp::readsWholeReplies_data()
{
    QTest::addColumn<bool>("chunked");
    QTest::addColumn<bool>("contentLength");

    QTest::newRow("content-length") << false << true;
    QTest::newRow("chunked") << true << false;
    QTest::newRow("until close") << false << false;
}

void TestSyncHttp::readsWholeReplies()
{
    QFETCH(bool, chunked);
    QFETCH(bool, contentLength);

    LoopbackHttpServer server;
    Script script = Script::answer(longBody());
    script.chunked = chunked;
    script.contentLength = contentLength;
    server.setDefault(script);
    net::SyncHttp http(server.url());
    QVERIFY(http.connectTo(server.hostPort()));
    const net::SyncReply first = http.request(kVersionPath, {"Fuente", ""}, {"Desktop", ""});
    QVERIFY(first.ok);
    QVERIFY(first.text.size() > 1024);
    QVERIFY(first.text.startsWith(QStringLiteral("linea 0 a\u00F1o \u20AC|linea 1 ")));
    QCOMPARE(first.text, text::fromCp1252(longBody()));

    // The line stays usable for another request until it is closed.
    const net::SyncReply second = http.request(kVersionPath, {"Fuente", ""}, {"Desktop", ""});
    QVERIFY(second.ok);
    QCOMPARE(second.text, first.text);
    QCOMPARE(server.requestCount(), 2);
}

void TestSyncHttp::readsTheBodyOfAnErrorStatus()
{
    LoopbackHttpServer server;
    server.setDefault(Script::answer("<h1>Error interno \xF1</h1>", 500));
    net::SyncHttp http(server.url());
    QVERIFY(http.connectTo(server.hostPort()));
    const net::SyncReply reply = http.request(kVersionPath, {"Fuente", ""}, {"Desktop", ""});
    QVERIFY(reply.ok);
    QCOMPARE(reply.httpStatus, 500);
    QCOMPARE(reply.text, QStringLiteral("<h1>Error interno \u00F1</h1>"));
}

void TestSyncHttp::failuresAreReportedAndCloseTheLine_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<net::SyncReply::Status>("expected");
    QTest::addColumn<bool>("delivered");   // the gateway had the whole request: it may have acted on it

    QTest::newRow("refused") << 0 << net::SyncReply::Status::ConnectFailed << false;
    QTest::newRow("server hangs") << 1 << net::SyncReply::Status::TimedOut << true;
    QTest::newRow("closed without a byte") << 2 << net::SyncReply::Status::BadReply << true;
    QTest::newRow("not connected") << 3 << net::SyncReply::Status::NotConnected << false;
}

void TestSyncHttp::failuresAreReportedAndCloseTheLine()
{
    QFETCH(int, kind);
    QFETCH(net::SyncReply::Status, expected);

    LoopbackHttpServer server;
    QString address = server.hostPort();
    if (kind == 0)
        address = QStringLiteral("127.0.0.1:%1").arg(closedPort());
    if (kind == 1)
        server.setDefault(Script::hang());
    if (kind == 2)
        server.setDefault(Script::close());

    net::SyncHttp http(server.url());
    http.setTimeout(300ms);
    if (kind != 3)
        QVERIFY(http.connectTo(address));
    const net::SyncReply reply = http.request(kVersionPath, {"Fuente", ""}, {"Desktop", ""});
    QCOMPARE(reply.status, expected);
    QTEST(reply.requestDelivered, "delivered");
    QVERIFY(!reply.ok);
    QVERIFY(reply.text.isEmpty());
    QVERIFY(!http.isConnected());
    QCOMPARE(http.request(kVersionPath, {"Fuente", ""}, {"Desktop", ""}).status, net::SyncReply::Status::NotConnected);
}

void TestSyncHttp::refusesUnusableServers_data()
{
    QTest::addColumn<QString>("address");
    QTest::newRow("empty") << QString();
    QTest::newRow("blank") << QStringLiteral("   ");
    QTest::newRow("with a path") << QStringLiteral("127.0.0.1/x");
    QTest::newRow("bad port") << QStringLiteral("127.0.0.1:99999");
    QTest::newRow("user info") << QStringLiteral("a@127.0.0.1");
}

void TestSyncHttp::refusesUnusableServers()
{
    QFETCH(QString, address);
    net::SyncHttp http(QStringLiteral("http://127.0.0.1/"));
    QVERIFY(!http.connectTo(address));
    QVERIFY(!http.isConnected());
}

void TestSyncHttp::secureGatewayFailsCleanlyAgainstPlainServer()
{
    LoopbackHttpServer server;
    server.setDefault(Script::answer("0|plain|"));
    net::SyncHttp http(QStringLiteral("HTTPS://127.0.0.1/"));
    http.setTimeout(500ms);
    if (!http.connectTo(server.hostPort())) {
        QVERIFY(!http.isConnected()); // no TLS on this machine: refused up front
        return;
    }
    QVERIFY(http.isSecure());
    const net::SyncReply reply = http.request(kVersionPath, {"Fuente", ""}, {"Desktop", ""});
    QVERIFY(!reply.ok);
    QVERIFY(reply.text.isEmpty());
}

void TestSyncHttp::parserRejectsBrokenReplies_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<Parser::State>("afterClose");
    QTest::addColumn<QByteArray>("body");

    QTest::newRow("not HTTP") << QByteArray("SSH-2.0-x\r\n\r\n") << Parser::State::Malformed << QByteArray();
    QTest::newRow("head cut short") << QByteArray("HTTP/1.1 200 OK\r\nContent-") << Parser::State::Malformed << QByteArray();
    QTest::newRow("body short of its length") << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n12345")
                                              << Parser::State::Malformed << QByteArray("12345");
    QTest::newRow("chunks cut short") << QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nab")
                                      << Parser::State::Malformed << QByteArray();
    QTest::newRow("bad chunk size") << QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\nab\r\n")
                                    << Parser::State::Malformed << QByteArray();
    QTest::newRow("negative length") << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: -4\r\n\r\n")
                                     << Parser::State::Malformed << QByteArray();
    QTest::newRow("interim answer then the real one")
        << QByteArray("HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok")
        << Parser::State::Complete << QByteArray("ok");
    QTest::newRow("body until close") << QByteArray("HTTP/1.0 200 OK\r\n\r\nabc") << Parser::State::Complete
                                      << QByteArray("abc");
}

void TestSyncHttp::parserRejectsBrokenReplies()
{
    QFETCH(QByteArray, bytes);
    QFETCH(Parser::State, afterClose);
    QFETCH(QByteArray, body);

    // Byte by byte, as the worst network would deliver it.
    Parser parser;
    for (const char byte : bytes)
        parser.feed(QByteArrayView(&byte, 1));
    parser.finishOnClose();
    QCOMPARE(parser.state(), afterClose);
    if (afterClose == Parser::State::Complete)
        QCOMPARE(parser.body(), body);
}

void TestSyncHttp::nothingElseRunsWhileItBlocks()
{
    LoopbackHttpServer quoteServer;
    Script quick = Script::answer("0|Ticket price|0.07|10");
    quick.delay = 150ms;
    quoteServer.setDefault(quick);
    LoopbackHttpServer versionServer;
    Script slow = Script::answer("1.0.7");
    slow.delay = 700ms;
    versionServer.setDefault(slow);

    net::GatewayChannel channel(net::Overlap::ReplaceOlder);
    QSignalSpy replies(&channel, &net::GatewayChannel::finished);
    channel.post(quoteServer.url("APIv2/quotesms.php"), {{"buf", "0"}});
    QTRY_COMPARE_WITH_TIMEOUT(quoteServer.requestCount(), 1, kWait);
    QCOMPARE(replies.count(), 0);

    bool timerRan = false;
    QTimer::singleShot(0, this, [&timerRan] { timerRan = true; });

    net::SyncHttp http(versionServer.url());
    QVERIFY(http.connectTo(versionServer.hostPort()));
    const net::SyncReply reply = http.request(kVersionPath, {"Fuente", ""}, {"Desktop", ""});
    QVERIFY(reply.ok);
    QCOMPARE(reply.text, QStringLiteral("1.0.7"));
    // The quote's answer came in long ago, yet neither it nor the timer ran in the middle.
    QCOMPARE(replies.count(), 0);
    QVERIFY(!timerRan);

    QVERIFY(replies.wait(kWait));
    QVERIFY(replies.at(0).at(0).value<net::GatewayReply>().ok);
    QTRY_VERIFY_WITH_TIMEOUT(timerRan, kWait);
}

void TestSyncHttp::oversizedRepliesFailAtTheCap_data()
{
    QTest::addColumn<int>("framing");
    QTest::addColumn<bool>("hold");
    enum { Length, Chunked, UntilClose };
    QTest::newRow("1 MB with its length") << int(Length) << false;
    QTest::newRow("1 MB chunked") << int(Chunked) << false;
    QTest::newRow("1 MB until the close") << int(UntilClose) << false;
    QTest::newRow("endless, with a length of 100 MB") << int(Length) << true;
    QTest::newRow("endless, until the close") << int(UntilClose) << true;
}

// The version and cancel replies are a line: a body far past that is no reply, and reading stops
// at the cap instead of waiting for the rest.
void TestSyncHttp::oversizedRepliesFailAtTheCap()
{
    QFETCH(int, framing);
    QFETCH(bool, hold);

    LoopbackHttpServer server;
    Script huge = Script::answer(QByteArray(1 << 20, 'x'));
    huge.chunked = framing == 1;
    huge.contentLength = framing == 0;
    if (hold) {
        huge.announcedLength = 100 << 20;
        huge.holdAfterBody = true;
    }
    server.setDefault(huge);
    net::SyncHttp http(server.url());
    http.setTimeout(4s);
    QVERIFY(http.connectTo(server.hostPort()));
    QElapsedTimer clock;
    clock.start();
    const net::SyncReply reply = http.request(kVersionPath, {"Fuente", ""}, {"Desktop", ""});
    QCOMPARE(reply.status, net::SyncReply::Status::BadReply);
    QVERIFY(reply.text.isEmpty());
    QVERIFY2(clock.elapsed() < 3000, QByteArray::number(clock.elapsed()).constData());
}

QTEST_GUILESS_MAIN(TestSyncHttp)
#include "test_sync_http.moc"
