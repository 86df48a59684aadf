#include "loopback_http_server.h"
#include "platform/net/gateway_channel.h"
#include "support/temp_home.h"

#include <QNetworkAccessManager>
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
    channel.setContador(before);
    QSignalSpy spy(&channel, &net::GatewayChannel::finished);

    QCOMPARE(channel.post(server.url("APIv2/quotesms.php"), {{"buf", channel.contadorBuf()}}), net::StartStatus::Started);
    QVERIFY(spy.wait(kWait));
    QCOMPARE(channel.contador(), after);
    QCOMPARE(channel.contadorBuf(), QString::number(after));
    QVERIFY(LoopbackHttpServer::bodyOf(server.lastRequest()).endsWith(QByteArray("buf=" + QByteArray::number(before))));
}

void TestGatewayChannel::callerCountedChannelNeverWraps()
{
    LoopbackHttpServer server;
    server.setDefault(Script::answer("0|Ticket price|"));
    net::GatewayChannel channel(net::Overlap::ReplaceOlder);
    channel.setCounterRule(net::CounterRule::ByCaller);
    channel.setContador(32000);
    QSignalSpy spy(&channel, &net::GatewayChannel::finished);

    channel.get(server.url("extranet/SMS/pedir_coste.php?buf=") + channel.contadorBuf());
    channel.bumpContador();
    QVERIFY(spy.wait(kWait));
    QCOMPARE(channel.contador(), 32001);
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
    QCOMPARE(reply.fields.size(), fieldCount);
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
    channel.setContador(5);
    QSignalSpy spy(&channel, &net::GatewayChannel::finished);

    channel.post(url, {{"user", "ana"}});
    QVERIFY(spy.wait(kWait));
    QCOMPARE(spy.count(), 1);
    const net::GatewayReply reply = replyAt(spy, 0);
    QCOMPARE(int(reply.status), expectedStatus);
    QCOMPARE(reply.text, expectedText);
    QCOMPARE(reply.ok, !expectedText.isEmpty());
    QCOMPARE(channel.contador(), counted ? 6 : 5);
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
    QCOMPARE(channel.contador(), 1);
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
    QCOMPARE(replyAt(spy, 0).fields.value(2), QStringLiteral("77"));
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
    QNetworkAccessManager manager;

    net::GatewayChannel channel(net::Overlap::ReplaceOlder, &manager);
    QSignalSpy spy(&channel, &net::GatewayChannel::finished);
    channel.get(server.url("APIv2/getreport.php?id=1"));
    QTRY_COMPARE_WITH_TIMEOUT(server.requestCount(), 1, kWait);
    channel.cancel();
    QVERIFY(!channel.inFlight());

    auto doomed = std::make_unique<net::GatewayChannel>(net::Overlap::ReplaceOlder, &manager);
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
    QCOMPARE(channel.contador(), 3);
}

QTEST_GUILESS_MAIN(TestGatewayChannel)
#include "test_gateway_channel.moc"
