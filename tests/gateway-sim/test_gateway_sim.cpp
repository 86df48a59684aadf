// The simulator's grammar, pinned to the gateway's: every script with its exact replies, the
// journal's raw bytes, each fault kind, cancellation and report progression.
#include "gateway-sim/gateway_simulator.h"
#include "gateway-sim/release_signing.h"
#include "http_probe.h"

#include "platform/text/cp1252.h"

#include <QCryptographicHash>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>

using sim::Endpoint;
using sim::FaultKind;

Q_DECLARE_METATYPE(sim::FaultKind)
Q_DECLARE_METATYPE(sim::Endpoint)

class TestGatewaySim final : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<sim::GatewaySimulator> m_sim;
    probe::Http m_http;

    QString url(const QString &relative) const { return m_sim->baseUrl() + relative; }
    QByteArray post(const QString &relative, const QByteArray &body) { return m_http.post(url(relative), body).body; }
    QByteArray get(const QString &relative) { return m_http.get(url(relative)).body; }
    // A raw request line and body straight onto the socket.
    QByteArray rawPost(const QByteArray &path, const QByteArray &body)
    {
        return probe::rawBody(probe::raw(static_cast<quint16>(m_sim->port()),
                                         "POST " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                                         "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: "
                                             + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body));
    }
    QByteArray rawGet(const QByteArray &target)
    {
        return probe::rawBody(probe::raw(static_cast<quint16>(m_sim->port()),
                                         "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n"));
    }
    qint64 sendNow(const QByteArray &recipients = "34600000001")
    {
        const QByteArray reply = post(QStringLiteral("APIv2/sendsms.php"),
                                      "username=ana&password=x1&mensaje=Hola&destino=" + recipients + "&coste=1");
        return reply.split('|').value(2).toLongLong();
    }

private Q_SLOTS:
    void init()
    {
        m_sim = std::make_unique<sim::GatewaySimulator>();
        QVERIFY(m_sim->start());
        m_sim->addAccount(QStringLiteral("ana"), QStringLiteral("x1"), 100);
        m_sim->approveSender(QStringLiteral("ana"), QStringLiteral("Tienda"));
        m_sim->requestSender(QStringLiteral("ana"), QStringLiteral("Pendiente"));
        m_sim->addAccount(QStringLiteral("luis"), QStringLiteral("l2"), 50);
    }
    void cleanup() { m_sim.reset(); }

    void listensOnLoopback()
    {
        QVERIFY(m_sim->isRunning());
        QVERIFY(m_sim->port() > 0);
        QCOMPARE(m_sim->baseUrl(), QStringLiteral("http://127.0.0.1:%1/").arg(m_sim->port()));
        sim::GatewaySimulator second;
        QVERIFY(second.start());
        QVERIFY(second.port() != m_sim->port());
        sim::GatewaySimulator taken;
        QVERIFY(!taken.start(m_sim->port()));        // the port is in use
        QVERIFY(!taken.isRunning());
        second.stop();
        QVERIFY(!second.isRunning());
        QVERIFY(!second.start());                     // one start per object
    }

    void sendSms_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<double>("balanceAfter");
        const QByteArray base = "username=ana&password=x1&mensaje=Hola&destino=34600000001";
        QTest::newRow("immediate, credits") << base + "&remitente=Tienda&ruta=3&fecha=Inmediato&coste=1"
                                            << QByteArray("0|Message sent|1000|1") << 99.0;
        QTest::newRow("no coste: three fields") << base << QByteArray("0|Message sent|1000") << 99.0;
        QTest::newRow("two numbers, economy route") << QByteArray("username=ana&password=x1&mensaje=Hola&destino=34600000001,34600000002&ruta=1&coste=1")
                                                    << QByteArray("0|Message sent|1000|1.65") << 98.35;
        QTest::newRow("161 characters: two parts") << "username=ana&password=x1&mensaje=" + QByteArray(161, 'a') + "&destino=34600000001&coste=1"
                                                   << QByteArray("0|Message sent|1000|2") << 98.0;
        QTest::newRow("brand sender always accepted") << base + "&remitente=Brisanta%2Ees&coste=1"
                                                      << QByteArray("0|Message sent|1000|1") << 99.0;
        QTest::newRow("scheduled") << base + "&fecha=2099-03-10 14:00&coste=1" << QByteArray("0|Message sent|1000|1") << 99.0;
        QTest::newRow("destino missing") << QByteArray("username=ana&password=x1&mensaje=Hola&destino=")
                                         << QByteArray("3|Required parameters missing|") << 100.0;
        QTest::newRow("mensaje missing") << QByteArray("username=ana&password=x1&destino=34600000001")
                                         << QByteArray("3|Required parameters missing|") << 100.0;
        QTest::newRow("wrong password") << QByteArray("username=ana&password=zz&mensaje=Hola&destino=34600000001")
                                        << QByteArray("3|Authentication failure|") << 100.0;
        QTest::newRow("invalid number") << QByteArray("username=ana&password=x1&mensaje=Hola&destino=34600000001,12a")
                                        << QByteArray("2|Invalid destination number|") << 100.0;
        QTest::newRow("sender only requested") << base + "&remitente=Pendiente"
                                               << QByteArray("4|SenderID not allowed|") << 100.0;
        QTest::newRow("unknown route") << base + "&ruta=7" << QByteArray("6|Invalid route|") << 100.0;
        QTest::newRow("malformed fecha") << base + "&fecha=10/03/2026" << QByteArray("7|Invalid date format|") << 100.0;
        QTest::newRow("insufficient credits") << "username=ana&password=x1&mensaje=Hola&destino=" + QByteArray("34600000001,").repeated(100) + "34600000001"
                                              << QByteArray("5|Insufficient credits|") << 100.0;
    }
    void sendSms()
    {
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, reply);
        QFETCH(double, balanceAfter);
        const probe::Result r = m_http.post(url(QStringLiteral("APIv2/sendsms.php")), body);
        QCOMPARE(r.status, 200);
        QCOMPARE(r.contentType, QByteArray("text/plain; charset=windows-1252"));
        QCOMPARE(r.body, reply);
        QCOMPARE(m_sim->balance(QStringLiteral("ana")), balanceAfter);
        QCOMPARE(m_sim->sends().size(), reply.startsWith("0|") ? 1 : 0);
    }

    void sendSmsPersonalisesEachRecipient()
    {
        const QByteArray reply = post(QStringLiteral("APIv2/sendsms.php"),
                                      "username=ana&password=x1&mensaje=Hola+%5BNOMBRE%5D%2C+%5BDIRECCION%5D&destino=34600000001,34600000002"
                                      "&replace_vars=[NOMBRE]|[DIRECCION]&var1=Ana|Luis&var2=Sol|Luna&fecha=2099-01-02 03:04&coste=1");
        QCOMPARE(reply, QByteArray("0|Message sent|1000|2"));
        const std::optional<sim::SendRecord> send = m_sim->send(1000);
        QVERIFY(send);
        QCOMPARE(send->recipients.size(), 2);
        QCOMPARE(send->recipients[0].number, QStringLiteral("34600000001"));
        QCOMPARE(send->recipients[0].text, QStringLiteral("Hola Ana, Sol"));
        QCOMPARE(send->recipients[1].text, QStringLiteral("Hola Luis, Luna"));
        QCOMPARE(send->message, QStringLiteral("Hola [NOMBRE], [DIRECCION]"));
        QCOMPARE(send->due, std::optional<QDateTime>(QDateTime(QDate(2099, 1, 2), QTime(3, 4), Qt::UTC)));
        QCOMPARE(send->sender, QStringLiteral("Brisanta.es"));
    }

    void quoteSms_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("reply");
        QTest::newRow("start-up balance, sender Saldo")
            << QByteArray("username=ana&password=x1&mensaje=Saldo al arrancar Desktop&destino=34600123456&remitente=Saldo&ruta=3&saldo=1")
            << QByteArray("0|Ticket price|1|100");
        QTest::newRow("refresh, no route: default route")
            << QByteArray("username=ana&password=x1&mensaje=Coste Desktop Lostfocus y saldo&destino=34600123456&remitente=Tienda&buf=1")
            << QByteArray("0|Ticket price|1|100");
        QTest::newRow("economy route, two numbers")
            << QByteArray("username=ana&password=x1&mensaje=Hola&destino=34600000001,34600000002&ruta=1&saldo=1")
            << QByteArray("0|Ticket price|1.65|100");
        QTest::newRow("empty sender") << QByteArray("username=ana&password=x1&mensaje=Hola&destino=34600123456&remitente=&buf=2")
                                      << QByteArray("0|Ticket price|1|100");
        QTest::newRow("sender not approved") << QByteArray("username=ana&password=x1&mensaje=Hola&destino=34600123456&remitente=Pendiente&buf=3")
                                             << QByteArray("4|SenderID not allowed|");
        QTest::newRow("invalid numbers") << QByteArray("username=ana&password=x1&mensaje=Hola&destino=34600,abc&remitente=&buf=4")
                                         << QByteArray("2|Invalid destination number|");
        QTest::newRow("wrong password") << QByteArray("username=ana&password=no&mensaje=Hola&destino=34600123456&saldo=1")
                                        << QByteArray("3|Authentication failure|");
    }
    void quoteSms()
    {
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, reply);
        QCOMPARE(post(QStringLiteral("APIv2/quotesms.php"), body), reply);
        QCOMPARE(m_sim->sends().size(), 0);
    }

    void reportsProgressOnCommand()
    {
        m_sim->setFailingSuffixes({QStringLiteral("99")});
        const qint64 id = sendNow("34600000001,34600000099");
        QCOMPARE(id, 1000);
        const QByteArray ask = "username=ana&password=x1&sms_id=1000";
        QCOMPARE(post(QStringLiteral("APIv2/getreport.php"), ask), QByteArray("0|1000|0|0"));
        m_sim->setDelivery(1000, QStringLiteral("34600000001"), sim::Delivery::Confirmed);
        QCOMPARE(post(QStringLiteral("APIv2/getreport.php"), ask), QByteArray("0|1000|34600000001|0"));
        QCOMPARE(m_sim->deliverDue(), 1);
        QCOMPARE(post(QStringLiteral("APIv2/getreport.php"), ask), QByteArray("1|1000|34600000001|34600000099"));
    }

    void reportsOneLinePerIdWithCrLf()
    {
        m_sim->setGatewayClock(QDateTime(QDate(2030, 1, 1), QTime(10, 0), Qt::UTC));
        sendNow("34600000001");                                  // 1000, due
        post(QStringLiteral("APIv2/sendsms.php"),
             "username=ana&password=x1&mensaje=Luego&destino=34600000002&fecha=2030-01-01 10:30"); // 1001, not due
        post(QStringLiteral("APIv2/sendsms.php"), "username=luis&password=l2&mensaje=Suyo&destino=34600000003"); // 1002
        m_sim->deliverDue();
        QCOMPARE(post(QStringLiteral("APIv2/getreport.php"), "username=ana&password=x1&sms_id=1000,1001,1002,777,abc"),
                 QByteArray("1|1000|34600000001|0\r\n0|1001|0|0\r\n5|777|0|0\r\n5|abc|0|0"));
        m_sim->setForeignReportCode(QStringLiteral("9"));
        QCOMPARE(post(QStringLiteral("APIv2/getreport.php"), "username=ana&password=x1&sms_id=1002"),
                 QByteArray("9|1002|0|0"));
        m_sim->setGatewayClock(QDateTime(QDate(2030, 1, 1), QTime(10, 30), Qt::UTC));
        QCOMPARE(m_sim->deliverDue(), 1);
        QCOMPARE(post(QStringLiteral("APIv2/getreport.php"), "username=ana&password=x1&sms_id=1001"),
                 QByteArray("1|1001|34600000002|0"));
        QCOMPARE(post(QStringLiteral("APIv2/getreport.php"), "username=ana&password=bad&sms_id=1001"),
                 QByteArray("3|Authentication failure|"));
    }

    void reportsProgressByThemselves()
    {
        m_sim->setReportsUntilDelivered(2);
        sendNow();
        const QByteArray ask = "username=ana&password=x1&sms_id=1000";
        QCOMPARE(post(QStringLiteral("APIv2/getreport.php"), ask), QByteArray("0|1000|0|0"));
        QCOMPARE(post(QStringLiteral("APIv2/getreport.php"), ask), QByteArray("1|1000|34600000001|0"));
    }

    void cancelScheduledSend()
    {
        m_sim->setGatewayClock(QDateTime(QDate(2030, 1, 1), QTime(10, 0), Qt::UTC));
        QCOMPARE(post(QStringLiteral("APIv2/sendsms.php"),
                      "username=ana&password=x1&mensaje=Hola&destino=34600000001,34600000002&fecha=2030-01-01 11:00&coste=1"),
                 QByteArray("0|Message sent|1000|2"));
        QCOMPARE(m_sim->balance(QStringLiteral("ana")), 98.0);
        // single cancel: GET with buf; wrong password, bad action, another account first
        QCOMPARE(get(QStringLiteral("APIv2/scheduled_sendings.php?username=ana&password=no&sms_id=1000&action=2&buf=0")),
                 QByteArray("1|1000"));
        QCOMPARE(get(QStringLiteral("APIv2/scheduled_sendings.php?username=ana&password=x1&sms_id=1000&action=1&buf=0")),
                 QByteArray("2|1000"));
        QCOMPARE(get(QStringLiteral("APIv2/scheduled_sendings.php?username=luis&password=l2&sms_id=1000&action=2&buf=0")),
                 QByteArray("3|1000"));
        QCOMPARE(get(QStringLiteral("APIv2/scheduled_sendings.php?username=ana&password=x1&sms_id=1000&action=2&buf=1")),
                 QByteArray("0|1000"));
        QCOMPARE(m_sim->balance(QStringLiteral("ana")), 100.0);
        QVERIFY(m_sim->send(1000)->cancelled);
        QCOMPARE(get(QStringLiteral("APIv2/scheduled_sendings.php?username=ana&password=x1&sms_id=1000&action=2&buf=2")),
                 QByteArray("3|1000"));
        QCOMPARE(post(QStringLiteral("APIv2/getreport.php"), "username=ana&password=x1&sms_id=1000"),
                 QByteArray("5|1000|0|0"));

        // cancel all: synchronous POST with Fuente=Desktop first; a due send is already out
        post(QStringLiteral("APIv2/sendsms.php"), "username=ana&password=x1&mensaje=B&destino=34600000001&fecha=2030-01-01 10:30");
        QCOMPARE(post(QStringLiteral("APIv2/scheduled_sendings.php"), "Fuente=Desktop&username=ana&password=x1&sms_id=1001&action=2"),
                 QByteArray("0|1001"));
        post(QStringLiteral("APIv2/sendsms.php"), "username=ana&password=x1&mensaje=C&destino=34600000001&fecha=2030-01-01 10:30");
        m_sim->setGatewayClock(QDateTime(QDate(2030, 1, 1), QTime(10, 30), Qt::UTC));
        QCOMPARE(post(QStringLiteral("APIv2/scheduled_sendings.php"), "Fuente=Desktop&username=ana&password=x1&sms_id=1002&action=2"),
                 QByteArray("4|1002"));
        sendNow();
        QCOMPARE(post(QStringLiteral("APIv2/scheduled_sendings.php"), "Fuente=Desktop&username=ana&password=x1&sms_id=1003&action=2"),
                 QByteArray("4|1003"));
        QCOMPARE(post(QStringLiteral("APIv2/scheduled_sendings.php"), "Fuente=Desktop&username=ana&password=x1&sms_id=&action=2"),
                 QByteArray("2|"));
    }

    void costQuote_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QByteArray>("reply");
        QTest::newRow("accepted") << QStringLiteral("username=ana&password=x1&ruta=3&mensaje=hola&destino=34638654321&saldo=1&buf=0")
                                  << QByteArray("0|Ticket price|1|100");
        QTest::newRow("refused") << QStringLiteral("username=ana&password=x2&ruta=3&mensaje=hola&destino=34638654321&saldo=1&buf=1")
                                 << QByteArray("3|Authentication failure|");
        QTest::newRow("missing") << QStringLiteral("username=&password=&buf=2") << QByteArray("3|Required parameters missing|");
    }
    void costQuote()
    {
        QFETCH(QString, query);
        QFETCH(QByteArray, reply);
        QCOMPARE(get(QStringLiteral("extranet/SMS/pedir_coste.php?") + query), reply);
    }

    void costQuoteDecodesUrlEncodedCredentials()
    {
        m_sim->addAccount(QStringLiteral("jose maría"), QStringLiteral("a&b+c%"), 12.5);
        QCOMPARE(get(QStringLiteral("extranet/SMS/pedir_coste.php?username=jose+mar%EDa&password=a%26b%2Bc%25&ruta=3&mensaje=hola&destino=34638654321&saldo=1&buf=0")),
                 QByteArray("0|Ticket price|1|12.5"));
    }

    void senderList()
    {
        const QString list = QStringLiteral("extranet/SMS/pedir_remitentes.php?username=ana&password=x1");
        QCOMPARE(get(list), QByteArray("0|SenderID list|Tienda;Pendiente"));
        QCOMPARE(get(list + QStringLiteral("&remitente=Nuevo")), QByteArray("0|SenderID requested|Nuevo"));
        QVERIFY(!m_sim->isSenderApproved(QStringLiteral("ana"), QStringLiteral("Nuevo")));
        QCOMPARE(get(list + QStringLiteral("&remitente=Nuevo")), QByteArray("2|SenderID already requested|"));
        QCOMPARE(get(list + QStringLiteral("&remitente=DoceCaracter")), QByteArray("2|Error|"));
        QCOMPARE(get(list + QStringLiteral("&remitente=a%3Bb")), QByteArray("2|Error|"));
        QCOMPARE(get(list + QStringLiteral("&remitente=Tienda&delete=1")), QByteArray("0|SenderID removed|Tienda"));
        QCOMPARE(get(list + QStringLiteral("&remitente=Tienda&delete=1")), QByteArray("2|SenderID not listed|"));
        m_sim->setListPendingSenders(false);
        m_sim->approveSender(QStringLiteral("ana"), QStringLiteral("Nuevo"));
        QCOMPARE(get(list), QByteArray("0|SenderID list|Nuevo"));
        QCOMPARE(get(QStringLiteral("extranet/SMS/pedir_remitentes.php?username=luis&password=l2")), QByteArray("0|SenderID list|"));
        QCOMPARE(get(QStringLiteral("extranet/SMS/pedir_remitentes.php?username=ana&password=mal")),
                 QByteArray("3|Authentication failure|"));
        QCOMPARE(get(QStringLiteral("extranet/SMS/pedir_remitentes.php?username=ana")),
                 QByteArray("3|Required parameters missing|"));
        m_sim->setAutoApproveSenders(true);
        QCOMPARE(get(list + QStringLiteral("&remitente=Rapido")), QByteArray("0|SenderID requested|Rapido"));
        QVERIFY(m_sim->isSenderApproved(QStringLiteral("ana"), QStringLiteral("Rapido")));
    }

    void desktopVersion()
    {
        QCOMPARE(post(QStringLiteral("extranet/SMS/desktop_version.php"), "Fuente=Desktop"), QByteArray("2.34|2.34"));
        m_sim->setVersionText(QStringLiteral("<BODY>2.35|2.34</BODY>"));
        QCOMPARE(post(QStringLiteral("extranet/SMS/desktop_version.php"), "Fuente=Desktop"), QByteArray("<BODY>2.35|2.34</BODY>"));
        const QByteArray headerWithoutCrLf = probe::rawBody(probe::raw(
            static_cast<quint16>(m_sim->port()),
            "POST /extranet/SMS/desktop_version.php HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/x-www-form-urlencoded\r\n"
            "Content-Length: 14\r\nConnection: close\r\n\r\nFuente=Desktop"));
        QCOMPARE(headerWithoutCrLf, QByteArray("<BODY>2.35|2.34</BODY>"));
    }

    void exportBook()
    {
        const QString address = QStringLiteral("extranet/SMS/desktop_export_agenda.php?login=ana&password=x1&buf=0");
        QCOMPARE(get(QStringLiteral("extranet/SMS/desktop_export_agenda.php?login=ana&password=no&buf=0")),
                 QByteArray("Error de autentificacion"));
        QCOMPARE(get(address), QByteArray("Sin datos"));
        sim::WebContact luis;
        luis.name = QStringLiteral("Luis");
        luis.phone = QStringLiteral("34600000002");
        luis.fullName = QStringLiteral("Luis O'Donnell Núñez");
        m_sim->addWebContact(QStringLiteral("ana"), luis);
        sim::WebContact eva;
        eva.name = QStringLiteral("Eva");
        eva.phone = QStringLiteral("34600000003");
        eva.address = QStringLiteral("C/ Sol 2");
        eva.phone2 = QStringLiteral("910000000");
        eva.comment = QStringLiteral("a||b");
        m_sim->addWebContact(QStringLiteral("ana"), eva);
        QCOMPARE(get(address),
                 text::toCp1252(u"INSERT INTO Agenda (nombre,telefono,direccion,nombre_completo,telefono_2,comentario) VALUES "
                                u"('Luis','34600000002','','Luis O''Donnell Núñez','','')||"
                                u"INSERT INTO Agenda (nombre,telefono,direccion,nombre_completo,telefono_2,comentario) VALUES "
                                u"('Eva','34600000003','C/ Sol 2','','910000000','a||b')"));
    }

    void importBook_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("contacts");
        const QString who = QStringLiteral("usuario=ana&clave=x1");
        const QString rest = QStringLiteral("&nombre_completo=&direccion=&telefono_2=&comentario=");
        QTest::newRow("created") << who + QStringLiteral("&nombre=Pepe&telefono=34611111111") + rest + QStringLiteral("&opc_telefono=0")
                                 << QByteArray("Contacto creado con exito") << 2;
        QTest::newRow("same name and phone") << who + QStringLiteral("&nombre=Ana&telefono=34600000001") + rest + QStringLiteral("&opc_telefono=0")
                                             << QByteArray("Ya existe el contacto") << 1;
        QTest::newRow("same phone, other name") << who + QStringLiteral("&nombre=Otra&telefono=34600000001") + rest + QStringLiteral("&opc_telefono=0")
                                                << QByteArray("Contacto creado con exito") << 2;
        QTest::newRow("same phone, phones checked") << who + QStringLiteral("&nombre=Otra&telefono=34600000001") + rest + QStringLiteral("&opc_telefono=1")
                                                    << QByteArray("Ya existe el contacto") << 1;
        QTest::newRow("no phone") << who + QStringLiteral("&nombre=Pepe&telefono=") + rest + QStringLiteral("&opc_telefono=0")
                                  << QByteArray("Error de falta de datos") << 1;
        QTest::newRow("no account") << QStringLiteral("usuario=&clave=&nombre=Pepe&telefono=34611111111") + rest + QStringLiteral("&opc_telefono=0")
                                    << QByteArray("Error de falta de datos") << 1;
        QTest::newRow("wrong password") << QStringLiteral("usuario=ana&clave=zz&nombre=Pepe&telefono=34611111111") + rest + QStringLiteral("&opc_telefono=0")
                                        << QByteArray("Error de autentificacion") << 1;
    }
    void importBook()
    {
        QFETCH(QString, query);
        QFETCH(QByteArray, reply);
        QFETCH(int, contacts);
        sim::WebContact ana;
        ana.name = QStringLiteral("Ana");
        ana.phone = QStringLiteral("34600000001");
        m_sim->addWebContact(QStringLiteral("ana"), ana);
        QCOMPARE(get(QStringLiteral("extranet/SMS/desktop_import_agenda.php?") + query), reply);
        QCOMPARE(m_sim->webContacts(QStringLiteral("ana")).size(), contacts);
    }

    void importBookKeepsEncodedFields()
    {
        QCOMPARE(get(QStringLiteral("extranet/SMS/desktop_import_agenda.php?usuario=ana&clave=x1&nombre=Jos%E9&telefono=34611111111"
                                    "&nombre_completo=&direccion=C%2F+Mayor+1&telefono_2=&comentario=50%25+%2B+IVA&opc_telefono=0")),
                 QByteArray("Contacto creado con exito"));
        const sim::WebContact c = m_sim->webContacts(QStringLiteral("ana")).value(0);
        QCOMPARE(c.name, QStringLiteral("José"));
        QCOMPARE(c.fullName, QStringLiteral("José")); // no full name: the name stands in
        QCOMPARE(c.address, QStringLiteral("C/ Mayor 1"));
        QCOMPARE(c.comment, QStringLiteral("50% + IVA"));
        QCOMPARE(c.type, QStringLiteral("particular"));
    }

    void webFormPageIsReadyForTheClient()
    {
        const probe::Result page = m_http.get(url(QStringLiteral("extranet/SMS/sms_personalizados.php?try=0")));
        QCOMPARE(page.status, 200);
        QCOMPARE(page.contentType, QByteArray("text/html; charset=windows-1252"));
        const QByteArray body = page.body.sliced(page.body.indexOf("<BODY>") + 6);
        QVERIFY(body.contains("<FORM"));
        QVERIFY(body.contains("action="));
        QVERIFY(body.contains("action=\"/extranet_nueva/SMS/sendsms.php\""));
        QString innerText = QString::fromLatin1(body);
        innerText.remove(QRegularExpression(QStringLiteral("<[^>]*>")));
        QCOMPARE(innerText.trimmed(), QString());
        for (const char *name : {"mensaje", "username", "password", "remitente", "ruta", "nombre", "destino", "telefono",
                                 "nombre_completo", "direccion", "otro_telefono", "comentarios", "fecha"})
            QVERIFY2(body.contains(QByteArray("name=\"" + QByteArray(name) + "\"")), name);
        QVERIFY(body.contains("<INPUT type=\"submit\" name=\"sub\""));
    }

    void webFormSessionAndActionCanBeRequired()
    {
        m_sim->setWebFormAction(QStringLiteral("../../extranet_nueva/SMS/sendsms.php"));
        m_sim->setWebFormNeedsSession(true);
        const probe::Result page = m_http.get(url(QStringLiteral("extranet/SMS/sms_personalizados.php?try=0")));
        QVERIFY(page.body.contains("action=\"../../extranet_nueva/SMS/sendsms.php\""));
        QVERIFY(page.body.contains("name=\"sesion\" value=\"s1\""));
        const QByteArray form = "mensaje=Hola&username=ana&password=x1&remitente=Tienda&ruta=3&nombre=Ana"
                                "&destino=34600000001&telefono=34600000001&fecha=2099-05-01+12%3A00&sub=Enviar";
        // The hidden field must match the session cookie the page set.
        QCOMPARE(post(QStringLiteral("extranet_nueva/SMS/sendsms.php"), form + "&sesion=s2"),
                 QByteArray("8|Session expired|"));
        QCOMPARE(m_sim->sends().size(), 0);
        QCOMPARE(post(QStringLiteral("extranet_nueva/SMS/sendsms.php"), form + "&sesion=s1"),
                 QByteArray("0|IN_PROGRESS|1000"));
        QVERIFY(m_sim->lastRequest(sim::Endpoint::FormResult)->header("Cookie").contains("BRISESSID=s1"));
    }

    void webFormSubmissionAllocatesConsecutiveIds()
    {
        m_sim->setNextSendId(55);
        const QByteArray form =
            "mensaje=Feliz+cumplea%F1os+%5BNOMBRE%5D&username=ana&password=x1&remitente=Tienda&ruta=3"
            "&nombre=Ana%7C%7CLuis%7C%7CEva&destino=34600000001%2C34600000002%2C34600000003"
            "&telefono=34600000001%7C%7C34600000002%7C%7C34600000003&nombre_completo=%7C%7C%7C%7C&direccion=%7C%7C%7C%7C"
            "&otro_telefono=%7C%7C%7C%7C&comentarios=%7C%7C%7C%7C"
            "&fecha=2099-05-01+12%3A00%7C%7C2099-06-01+12%3A00%7C%7C2099-07-01+12%3A00&sub=Enviar";
        const probe::Result r = m_http.post(url(QStringLiteral("extranet_nueva/SMS/sendsms.php")), form);
        QCOMPARE(r.body, QByteArray("0|IN_PROGRESS|57"));
        QCOMPARE(m_sim->balance(QStringLiteral("ana")), 97.0);
        QCOMPARE(m_sim->send(55)->recipients.value(0).text, QStringLiteral("Feliz cumpleaños Ana"));
        QCOMPARE(m_sim->send(56)->recipients.value(0).number, QStringLiteral("34600000002"));
        QCOMPARE(m_sim->send(57)->recipients.value(0).text, QStringLiteral("Feliz cumpleaños Eva"));
        QCOMPARE(m_sim->send(57)->due, std::optional<QDateTime>(QDateTime(QDate(2099, 7, 1), QTime(12, 0), Qt::UTC)));
        QVERIFY(m_sim->send(56)->fromWebForm);
        // the web sends are known to the API scripts like any other
        QCOMPARE(post(QStringLiteral("APIv2/getreport.php"), "username=ana&password=x1&sms_id=56"), QByteArray("0|56|0|0"));
        QCOMPARE(get(QStringLiteral("APIv2/scheduled_sendings.php?username=ana&password=x1&sms_id=56&action=2&buf=0")),
                 QByteArray("0|56"));

        QCOMPARE(post(QStringLiteral("extranet_nueva/SMS/sendsms.php"), "mensaje=&username=ana&password=x1&destino=34600000001&sub=Enviar"),
                 QByteArray("3|Required parameters missing|"));
        QCOMPARE(post(QStringLiteral("extranet_nueva/SMS/sendsms.php"), "mensaje=Hola&username=ana&password=x1&destino=&sub=Enviar"),
                 QByteArray("3|Required parameters missing|"));
        QCOMPARE(post(QStringLiteral("extranet_nueva/SMS/sendsms.php"), "mensaje=Hola&username=ana&password=zz&destino=34600000001"),
                 QByteArray("3|Authentication failure|"));
    }

    void downloadsAndPages()
    {
        m_sim->setDownload(QStringLiteral("Brisanta_Desktop_Install.exe"), QByteArray("MZ\x00\x01installer", 13));
        probe::Result r = m_http.get(url(QStringLiteral("extranet/Descargas/Brisanta_Desktop_Install.exe")));
        QCOMPARE(r.status, 200);
        QCOMPARE(r.body, QByteArray("MZ\x00\x01installer", 13));
        QCOMPARE(r.contentType, QByteArray("application/octet-stream"));
        QCOMPARE(r.contentLength, 13);

        QTemporaryDir folder;
        QFile file(folder.filePath(QStringLiteral("Brisanta.exe")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("new client");
        file.close();
        m_sim->setDownloadFolder(folder.path());
        // the updater joins its web root and "/extranet/..." and may double the slash
        r = m_http.get(QStringLiteral("http://127.0.0.1:%1//extranet/Descargas/Brisanta.exe").arg(m_sim->port()));
        QCOMPARE(r.body, QByteArray("new client"));
        QCOMPARE(m_sim->requestCount(Endpoint::Download), 2);
        QCOMPARE(m_http.get(url(QStringLiteral("extranet/Descargas/Otro.exe"))).status, 404);
        QCOMPARE(m_http.get(url(QStringLiteral("extranet/Descargas/..%2Fsecret"))).status, 404);

        // Beside each file, the test key's signature of its release statement and the statement,
        // naming the release the version reply offers to the updater.
        m_sim->setVersionText(QStringLiteral("<BODY>2.40|2.34</BODY>"));
        r = m_http.get(url(QStringLiteral("extranet/Descargas/Brisanta.exe.sig")));
        QCOMPARE(r.status, 200);
        const QByteArray statement = "producto=Brisanta\narchivo=Brisanta.exe\nversion=2.40\nbytes=10\nsha256="
                                     + QCryptographicHash::hash("new client", QCryptographicHash::Sha256).toHex() + "\n";
        QCOMPARE(r.body.sliced(64), statement);
        QCOMPARE(r.body.first(64), sim::signWithTestKey(statement));
        QCOMPARE(m_http.get(url(QStringLiteral("extranet/Descargas/Otro.exe.sig"))).status, 404);
        m_sim->setSignDownloads(false);
        QCOMPARE(m_http.get(url(QStringLiteral("extranet/Descargas/Brisanta.exe.sig"))).status, 404);
        m_sim->setSignDownloads(true);

        for (const QString &page : {QString(), QStringLiteral("extranet/"), QStringLiteral("extranet_nueva/OUT/out_index.php?cu=recordar")}) {
            r = m_http.get(url(page));
            QCOMPARE(r.status, 200);
            QVERIFY(r.body.startsWith("<HTML>"));
        }
        QCOMPARE(m_http.get(url(QStringLiteral("nada.php"))).status, 404);
        QCOMPARE(m_sim->requestCount(Endpoint::WebPage), 3);
        QCOMPARE(m_sim->requestCount(Endpoint::Unknown), 1);
    }

    // --- journal ---------------------------------------------------------------------------

    void journalKeepsRawBodyBytes()
    {
        const QByteArray body = "username=ana&password=x1&mensaje=Hola+%5BNOMBRE%5D&destino=34600000001,34600000002"
                                "&fecha=2099-03-10 14:00&coste=1&replace_vars=[NOMBRE]&var1=Jos\xe9|L+uis";
        QCOMPARE(rawPost("/APIv2/sendsms.php", body), QByteArray("0|Message sent|1000|2"));
        const std::optional<sim::LoggedRequest> logged = m_sim->lastRequest(Endpoint::SendSms);
        QVERIFY(logged);
        QCOMPARE(logged->method, QByteArray("POST"));
        QCOMPARE(logged->path, QByteArray("/APIv2/sendsms.php"));
        QCOMPARE(logged->query, QByteArray());
        QCOMPARE(logged->body, body);
        QCOMPARE(logged->header("content-type"), QByteArray("application/x-www-form-urlencoded"));
        QCOMPARE(logged->names(), (QList<QByteArray>{"username", "password", "mensaje", "destino", "fecha", "coste",
                                                     "replace_vars", "var1"}));
        QCOMPARE(logged->value("mensaje"), QStringLiteral("Hola [NOMBRE]"));
        QCOMPARE(logged->value("fecha"), QStringLiteral("2099-03-10 14:00"));
        QCOMPARE(logged->rawValue("var1"), QByteArray("Jos\xe9|L uis"));          // "+" is a blank
        QCOMPARE(logged->value("var1"), QStringLiteral("José|L uis"));
        QCOMPARE(m_sim->send(1000)->recipients.value(0).text, QStringLiteral("Hola José"));
    }

    void journalKeepsRawQueryBytes()
    {
        QCOMPARE(rawGet("/extranet/SMS/pedir_remitentes.php?username=ana&password=x1&remitente=\xd1o%F1o+[1]"),
                 text::toCp1252(u"0|SenderID requested|Ñoño [1]"));
        const sim::LoggedRequest logged = m_sim->requests().constLast();
        QCOMPARE(logged.endpoint, Endpoint::SenderList);
        QCOMPARE(logged.method, QByteArray("GET"));
        QCOMPARE(logged.query, QByteArray("username=ana&password=x1&remitente=\xd1o%F1o+[1]"));
        QCOMPARE(logged.body, QByteArray());
        QCOMPARE(logged.value("remitente"), QStringLiteral("Ñoño [1]"));
        QCOMPARE(m_sim->requestCount(), 1);
        m_sim->clearLog();
        QCOMPARE(m_sim->requestCount(), 0);
    }

    void journalKeepsAStrayPercent()
    {
        QCOMPARE(rawPost("/APIv2/quotesms.php", "username=ana&password=x1&mensaje=100% seguro&destino=34600123456&saldo=1"),
                 QByteArray("0|Ticket price|1|100"));
        QCOMPARE(m_sim->lastRequest(Endpoint::QuoteSms)->value("mensaje"), QStringLiteral("100% seguro"));
    }

    void acceptsLongRecipientLists()
    {
        m_sim->setBalance(QStringLiteral("ana"), 10000);
        QByteArray numbers;
        for (int i = 0; i < 2700; ++i)
            numbers += (i ? "," : "") + QByteArray::number(34600000000LL + i);
        QVERIFY(numbers.size() > 30000);
        const QByteArray reply = post(QStringLiteral("APIv2/sendsms.php"),
                                      "username=ana&password=x1&mensaje=Hola&destino=" + numbers + "&coste=1");
        QCOMPARE(reply, QByteArray("0|Message sent|1000|2700"));
        QCOMPARE(m_sim->lastRequest(Endpoint::SendSms)->rawValue("destino"), numbers);
    }

    // --- faults ----------------------------------------------------------------------------

    void faults_data()
    {
        QTest::addColumn<FaultKind>("kind");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("empty body") << FaultKind::EmptyBody << 200 << QByteArray();
        QTest::newRow("error status, valid body") << FaultKind::ErrorStatusValid << 500 << QByteArray("0|Ticket price|1|100");
        QTest::newRow("malformed numbers") << FaultKind::MalformedNumbers << 200 << QByteArray("0|Ticket price|abc|abc");
        QTest::newRow("trailing CR LF") << FaultKind::TrailingCrLf << 200 << QByteArray("0|Ticket price|1|100\r\n");
        QTest::newRow("delay, released") << FaultKind::Delay << 200 << QByteArray("0|Ticket price|1|100");
        QTest::newRow("slow") << FaultKind::Slow << 200 << QByteArray("0|Ticket price|1|100");
    }
    void faults()
    {
        QFETCH(FaultKind, kind);
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        sim::Fault fault;
        fault.kind = kind;
        fault.count = 2;
        fault.delay = std::chrono::milliseconds(1);
        m_sim->armFault(Endpoint::CostQuote, fault);
        QCOMPARE(m_sim->armedFaults(Endpoint::CostQuote), 2);
        const QString address = url(QStringLiteral("extranet/SMS/pedir_coste.php?username=ana&password=x1&buf=0"));
        for (int i = 0; i < 2; ++i) {
            const probe::Result r = m_http.get(address);
            QVERIFY(r.finished);
            QCOMPARE(r.status, status);
            QCOMPARE(r.body, body);
        }
        QCOMPARE(m_sim->armedFaults(Endpoint::CostQuote), 0);
        QCOMPARE(m_http.get(address).body, QByteArray("0|Ticket price|1|100")); // the third is healthy again
    }

    void faultsReplaceTheReply()
    {
        const QString address = url(QStringLiteral("APIv2/quotesms.php"));
        const QByteArray body = "username=ana&password=x1&mensaje=Hola&destino=34600123456&saldo=1";
        m_sim->armFault(Endpoint::QuoteSms, FaultKind::NoSeparator);
        probe::Result r = m_http.post(address, body);
        QCOMPARE(r.status, 200);
        QVERIFY(!r.body.isEmpty() && !r.body.contains('|'));

        m_sim->armFault(Endpoint::QuoteSms, FaultKind::HttpError);
        r = m_http.post(address, body);
        QCOMPARE(r.status, 500);
        QVERIFY(r.body.contains("Internal Server Error") && !r.body.contains('|'));

        m_sim->armFault(Endpoint::QuoteSms, FaultKind::NotFound);
        QCOMPARE(m_http.post(address, body).status, 404);

        m_sim->armFault(Endpoint::QuoteSms, FaultKind::Redirect);
        r = m_http.post(address, body);
        QCOMPARE(r.status, 302);
        QCOMPARE(r.location, QByteArray("/error.html"));

        m_sim->armCustomReply(Endpoint::QuoteSms, QStringLiteral("0|Ticket price|1,5|1234,56"));
        QCOMPARE(m_http.post(address, body).body, QByteArray("0|Ticket price|1,5|1234,56"));

        sim::Fault custom;
        custom.kind = FaultKind::CustomBody;
        custom.status = 503;
        custom.body = QStringLiteral("9|Servicio no disponible|");
        m_sim->armFault(Endpoint::QuoteSms, custom);
        r = m_http.post(address, body);
        QCOMPARE(r.status, 503);
        QCOMPARE(r.body, QByteArray("9|Servicio no disponible|"));

        QCOMPARE(m_http.post(address, body).body, QByteArray("0|Ticket price|1|100"));
        QCOMPARE(m_sim->requestCount(Endpoint::QuoteSms), 7);
        // a fault on one script leaves the others alone
        m_sim->armFault(Endpoint::GetReport, FaultKind::EmptyBody);
        QCOMPARE(m_http.post(address, body).body, QByteArray("0|Ticket price|1|100"));
        m_sim->clearFaults();
        QCOMPARE(m_sim->armedFaults(Endpoint::GetReport), 0);
    }

    void faultsChangeLineEndsAndCharset()
    {
        sim::WebContact c;
        c.name = QStringLiteral("Íñigo");
        c.phone = QStringLiteral("34600000001");
        m_sim->addWebContact(QStringLiteral("ana"), c);
        const QString address = url(QStringLiteral("extranet/SMS/desktop_export_agenda.php?login=ana&password=x1&buf=0"));
        const probe::Result plain = m_http.get(address);
        QVERIFY(plain.body.contains("'\xcd\xf1igo'"));
        m_sim->armFault(Endpoint::ExportBook, FaultKind::Utf8Body);
        const probe::Result utf8 = m_http.get(address);
        QVERIFY(utf8.body.contains("'\xc3\x8d\xc3\xb1igo'"));
        QCOMPARE(utf8.contentType, QByteArray("text/plain; charset=utf-8"));

        sendNow();
        sendNow();
        m_sim->armFault(Endpoint::GetReport, FaultKind::LfOnly);
        QCOMPARE(post(QStringLiteral("APIv2/getreport.php"), "username=ana&password=x1&sms_id=1000,1001"),
                 QByteArray("0|1000|0|0\n0|1001|0|0"));
    }

    void truncatedReplyEndsInAnError()
    {
        m_sim->setDownload(QStringLiteral("Brisanta.exe"), QByteArray(4000, 'x'));
        m_sim->armFault(Endpoint::Download, FaultKind::Truncated);
        const probe::Result r = m_http.get(url(QStringLiteral("extranet/Descargas/Brisanta.exe")));
        QVERIFY(r.finished);
        QVERIFY(r.error != QNetworkReply::NoError);
        QVERIFY(r.body.size() < 4000);
    }

    void hangOutlastsTheClientTimeOut()
    {
        m_sim->armFault(Endpoint::SendSms, FaultKind::Hang);
        const probe::Result r = m_http.post(url(QStringLiteral("APIv2/sendsms.php")),
                                            "username=ana&password=x1&mensaje=Hola&destino=34600000001", 300);
        QVERIFY(r.finished);
        QCOMPARE(r.error, QNetworkReply::OperationCanceledError);
        QCOMPARE(m_sim->hangingRequests(), 1);
        m_sim->releaseHangs();
        QTRY_COMPARE_WITH_TIMEOUT(m_sim->hangingRequests(), 0, 5000);
        // the send itself went through: only its reply was lost
        QCOMPARE(m_sim->sends().size(), 1);
    }

    void hangEndsWhenTheSimulatorStops()
    {
        sim::Fault fault;
        fault.kind = FaultKind::Hang;
        fault.delay = std::chrono::hours(1);
        m_sim->armFault(Endpoint::GetReport, fault);
        QNetworkAccessManager manager;
        manager.setProxy(QNetworkProxy::NoProxy);
        QNetworkRequest request(QUrl(url(QStringLiteral("APIv2/getreport.php"))));
        request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/x-www-form-urlencoded"));
        std::unique_ptr<QNetworkReply> reply(manager.post(request, QByteArray("username=ana&password=x1&sms_id=1")));
        QTRY_COMPARE_WITH_TIMEOUT(m_sim->hangingRequests(), 1, 10000);
        m_sim->stop();
        QVERIFY(!m_sim->isRunning());
        QSignalSpy done(reply.get(), &QNetworkReply::finished);
        QVERIFY(reply->isFinished() || done.wait(10000));
        QVERIFY(reply->error() != QNetworkReply::NoError);
    }

    void hangEndsAfterItsDelay()
    {
        sim::Fault fault;
        fault.kind = FaultKind::Hang;
        fault.delay = std::chrono::milliseconds(50);
        m_sim->armFault(Endpoint::CostQuote, fault);
        const probe::Result r = m_http.get(url(QStringLiteral("extranet/SMS/pedir_coste.php?username=ana&password=x1")));
        QVERIFY(r.finished);
        QVERIFY(r.error != QNetworkReply::NoError);
        QVERIFY(r.body.isEmpty());
    }

    // --- lasting state ----------------------------------------------------------------------

    // A simulator started again on the state file of the last one knows its accounts, balances
    // and sends, and numbers the next send after them: the demo's history asks about sends that
    // are still there.
    void stateSurvivesARestart()
    {
        const QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("pasarela.json"));
        QList<sim::SendRecord> before;
        double balance = 0;
        {
            sim::GatewaySimulator first;
            QVERIFY(first.useStateFile(path));
            first.installDemo();
            QVERIFY(first.start());
            const QString base = first.baseUrl();
            QCOMPARE(m_http.post(base + QStringLiteral("APIv2/sendsms.php"),
                                 "username=demo&password=demo&mensaje=Hola&destino=34600000001,34600000002&coste=1")
                         .body,
                     QByteArray("0|Message sent|1000|2"));
            QCOMPARE(m_http.post(base + QStringLiteral("APIv2/sendsms.php"),
                                 "username=demo&password=demo&mensaje=Luego&destino=34600000003&fecha=2099-01-01 10:00")
                         .body,
                     QByteArray("0|Message sent|1001"));
            // Delivered on the second report asked for.
            const QByteArray ask = "username=demo&password=demo&sms_id=1000";
            QCOMPARE(m_http.post(base + QStringLiteral("APIv2/getreport.php"), ask).body, QByteArray("0|1000|0|0"));
            QCOMPARE(m_http.post(base + QStringLiteral("APIv2/getreport.php"), ask).body,
                     QByteArray("1|1000|34600000001,34600000002|0"));
            before = first.sends();
            balance = first.balance(QStringLiteral("demo"));
            QCOMPARE(balance, 1497.0);
        }
        QVERIFY(!QFile::exists(path + QStringLiteral(".nuevo")));

        sim::GatewaySimulator second;
        QString error;
        QVERIFY2(second.useStateFile(path, &error), qPrintable(error));
        second.installDemo();   // the demo account there is kept, not made afresh
        QVERIFY(second.start());
        QCOMPARE(second.balance(QStringLiteral("demo")), balance);
        QCOMPARE(second.senders(QStringLiteral("demo")), (QStringList{"Tienda", "Avisos"}));
        QCOMPARE(second.webContacts(QStringLiteral("demo")).size(), 2);
        const QList<sim::SendRecord> after = second.sends();
        QCOMPARE(after.size(), before.size());
        for (qsizetype i = 0; i < after.size(); ++i) {
            QCOMPARE(after[i].id, before[i].id);
            QCOMPARE(after[i].message, before[i].message);
            QCOMPARE(after[i].credits, before[i].credits);
            QCOMPARE(after[i].due, before[i].due);
            QCOMPARE(after[i].recipients.size(), before[i].recipients.size());
            for (qsizetype k = 0; k < after[i].recipients.size(); ++k)
                QCOMPARE(after[i].recipients[k].state, before[i].recipients[k].state);
        }
        const QString base = second.baseUrl();
        QCOMPARE(m_http.post(base + QStringLiteral("APIv2/getreport.php"), "username=demo&password=demo&sms_id=1000,1001").body,
                 QByteArray("1|1000|34600000001,34600000002|0\r\n0|1001|0|0"));
        QCOMPARE(m_http.get(base + QStringLiteral("APIv2/scheduled_sendings.php?username=demo&password=demo&sms_id=1001&action=2&buf=0")).body,
                 QByteArray("0|1001"));
        QCOMPARE(m_http.post(base + QStringLiteral("APIv2/sendsms.php"),
                             "username=demo&password=demo&mensaje=Otra&destino=34600000001")
                     .body,
                 QByteArray("0|Message sent|1002"));
        second.stop();

        // A third start sees the cancellation and the new send.
        sim::GatewaySimulator third;
        QVERIFY(third.useStateFile(path));
        QVERIFY(third.send(1001)->cancelled);
        QVERIFY(third.send(1002).has_value());
        QCOMPARE(third.balance(QStringLiteral("demo")), 1497.0);
    }

    // A file that is not a whole state is refused with a message and left as it is; an unwritable
    // place is refused before anything is kept.
    void stateFileThatCannotBeUsed()
    {
        const QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("pasarela.json"));
        for (const QByteArray &bytes : {QByteArray("{\"format\": \"brisanta-gateway-sim-state-1\", \"next"),
                                        QByteArray("[]"), QByteArray("{\"format\": \"otro\"}")}) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(bytes);
            file.close();
            sim::GatewaySimulator simulator;
            QString error;
            QVERIFY(!simulator.useStateFile(path, &error));
            QVERIFY2(error.startsWith(QStringLiteral("El archivo ") + path), qPrintable(error));
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), bytes);
        }
        sim::GatewaySimulator nowhere;
        QString error;
        QVERIFY(!nowhere.useStateFile(dir.filePath(QStringLiteral("no/existe/pasarela.json")), &error));
        QVERIFY2(error.startsWith(QStringLiteral("No se puede crear")), qPrintable(error));
    }

    // The program killed at each step of writing its state file (create, write, sync, rename,
    // sync the folder, and just after): the next start reads the file, and every send it
    // acknowledged is there, once; no number is given twice.
    void stateFileSurvivesAKillAtEveryStep()
    {
        // Two writes at start (the file, then the demo account), then one for each request.
        const QList<QByteArray> requests = {
            "APIv2/sendsms.php|username=demo&password=demo&mensaje=Uno&destino=34600000001",
            "APIv2/sendsms.php|username=demo&password=demo&mensaje=Dos&destino=34600000002&fecha=2099-01-01 10:00",
            "APIv2/getreport.php|username=demo&password=demo&sms_id=1000",
            "APIv2/scheduled_sendings.php|username=demo&password=demo&sms_id=1001&action=2",
        };
        constexpr int kStepsPerWrite = 6;
        const int steps = (2 + int(requests.size())) * kStepsPerWrite;
        for (int kill = 1; kill <= steps + 1; ++kill) {
            const QTemporaryDir dir;
            const QString path = dir.filePath(QStringLiteral("pasarela.json"));
            QProcess program;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("BRISANTA_SIM_KILL_AT_STEP"), QString::number(kill));
            program.setProcessEnvironment(env);
            program.start(QStringLiteral(GATEWAY_SIM_EXE),
                          {QStringLiteral("--demo"), QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--state"), path});
            QVERIFY(program.waitForStarted(10000));
            QTRY_VERIFY_WITH_TIMEOUT(program.canReadLine() || program.state() == QProcess::NotRunning, 20000);
            const QString base = QString::fromLatin1(program.readLine()).trimmed();
            QList<qint64> acknowledged;
            bool cancelled = false;
            for (const QByteArray &request : requests) {
                if (base.isEmpty())
                    break;
                const QList<QByteArray> parts = request.split('|');
                const QByteArray reply = m_http.post(base + QString::fromLatin1(parts[0]), parts[1], 10000).body;
                if (reply.isEmpty())
                    break;   // killed
                if (parts[0].startsWith("APIv2/sendsms.php")) {
                    QVERIFY2(reply.startsWith("0|Message sent|"), reply.constData());
                    acknowledged << reply.split('|').value(2).toLongLong();
                } else if (parts[0].startsWith("APIv2/scheduled_sendings.php")) {
                    QCOMPARE(reply, QByteArray("0|1001"));
                    cancelled = true;
                }
            }
            if (program.state() != QProcess::NotRunning) {
                ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
                QVERIFY(program.waitForFinished(20000));
            }
            const bool killed = program.exitStatus() == QProcess::CrashExit;
            QCOMPARE(killed, kill <= steps);

            sim::GatewaySimulator next;
            QString error;
            QVERIFY2(next.useStateFile(path, &error), qPrintable(QStringLiteral("step %1: ").arg(kill) + error));
            for (const qint64 id : std::as_const(acknowledged))
                QVERIFY2(next.send(id).has_value(), qPrintable(QStringLiteral("step %1: send %2 lost").arg(kill).arg(id)));
            // At most the one request under way when it was killed is there without its answer.
            QVERIFY(next.sends().size() - acknowledged.size() <= 1);
            if (cancelled)
                QVERIFY(next.send(1001)->cancelled);
            if (!acknowledged.isEmpty() || kill > 2 * kStepsPerWrite)
                QVERIFY(next.hasAccount(QStringLiteral("demo")));
            const double expected = 1500.0 - double(next.sends().size())
                + ((next.send(1001) && next.send(1001)->cancelled) ? 1.0 : 0.0);
            if (next.hasAccount(QStringLiteral("demo")))
                QCOMPARE(next.balance(QStringLiteral("demo")), expected);
            // The next send is numbered after every send it kept.
            next.installDemo();
            QVERIFY(next.start());
            const QByteArray reply = m_http.post(next.baseUrl() + QStringLiteral("APIv2/sendsms.php"),
                                                 "username=demo&password=demo&mensaje=Tres&destino=34600000003").body;
            QCOMPARE(reply, QByteArray("0|Message sent|") + QByteArray::number(1000 + next.sends().size() - 1));
        }
    }

    // --- the program ------------------------------------------------------------------------

    void programPrintsItsUrlAndStopsOnSigterm()
    {
        QProcess program;
        program.start(QStringLiteral(GATEWAY_SIM_EXE), {QStringLiteral("--demo"), QStringLiteral("--port"), QStringLiteral("0")});
        QVERIFY(program.waitForStarted(10000));
        QTRY_VERIFY_WITH_TIMEOUT(program.canReadLine(), 20000);
        const QString base = QString::fromLatin1(program.readLine()).trimmed();
        QVERIFY2(base.startsWith(QStringLiteral("http://127.0.0.1:")) && base.endsWith(QLatin1Char('/')), qPrintable(base));
        QCOMPARE(m_http.get(base + QStringLiteral("extranet/SMS/pedir_coste.php?username=demo&password=demo&buf=0")).body,
                 QByteArray("0|Ticket price|1|1500"));
        QCOMPARE(m_http.get(base + QStringLiteral("extranet/SMS/pedir_remitentes.php?username=demo&password=demo")).body,
                 QByteArray("0|SenderID list|Tienda;Avisos"));
        ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
        QVERIFY(program.waitForFinished(20000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(TestGatewaySim)
#include "test_gateway_sim.moc"
