#include "panel_rig.h"

#include "brand/brand.h"
#include "platform/net/gateway_channel.h"
#include "platform/net/too_large_reply.h"
#include "sending/panel/quote_line.h"
#include "sending/panel/send_line.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTest>
#include <QToolButton>

using testing::PanelRig;
using Kind = testing::ScriptedPrompter::Kind;

namespace {

const QString kSentText =
    QStringLiteral("Mensaje enviado correctamente. Para comprobar la recepción del envío acceda al menú 'Historial'.");
const QString kNoConnectionText = QStringLiteral(
    "Ha habido un problema en el envío del SMS. Por favor, compruebe que posee conexión a internet e intentelo de "
    "nuevo mas tarde.");

void leave(QWidget *box)
{
    QFocusEvent event(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(box, &event);
}

void press(QWidget *box, Qt::Key key)
{
    QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(box, &event);
}

void fill(PanelRig &rig, const QString &message, const QString &recipients)
{
    rig.view->messageBox()->setPlainText(message);
    rig.view->recipientsBox()->setPlainText(recipients);
}

const QString kMaybeSentText = QStringLiteral(
    "No se ha recibido la respuesta del servidor. El SMS puede haberse enviado: compruebe el historial antes de "
    "repetir el envío.");

const QString kUnrecognisedText = QStringLiteral(
    "La respuesta del servidor no se ha podido interpretar. El SMS puede haberse enviado: compruebe el historial "
    "antes de repetir el envío.");

QString lastMessage(const testing::ScriptedPrompter &prompter)
{
    const QStringList texts = prompter.messageTexts();
    return texts.isEmpty() ? QString() : texts.constLast();
}

QString wall(const QDateTime &time)
{
    return time.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

} // namespace

class TestSendPanel final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The recipients box reads "Enviar a:", the name the history's "Añadir a 'Enviar a'" uses.
    void recipientsBoxCaption()
    {
        PanelRig rig;
        const auto *label = rig.view->findChild<QLabel *>(QStringLiteral("Label6"));
        QVERIFY(label);
        QCOMPARE(label->text(), QStringLiteral("Enviar a:"));
    }

    void startupQuoteAndRefreshCounter()
    {
        PanelRig rig;
        QSignalSpy spy(rig.panel.get(), &sending::SendPanelController::quoteReplyHandled);
        seams::BalanceQuote::Request request;
        request.username = QStringLiteral("usu");
        request.password = QStringLiteral("secreto");
        request.message = QStringLiteral("Saldo al arrancar Desktop");
        request.recipients = QStringLiteral("34600123456");
        request.sender = QStringLiteral("Saldo");
        request.route = QStringLiteral("3");
        rig.panel->balanceQuote().requestQuote(request);
        QCOMPARE(rig.view->balanceLabel()->text(), QStringLiteral("Comprobando..."));
        QCOMPARE(rig.view->costLabel()->text(), QStringLiteral("Comprobando..."));
        QVERIFY(rig.busy.isBusy());
        QVERIFY(spy.wait(5000));

        QCOMPARE(rig.view->balanceLabel()->text(), QStringLiteral("100 créditos"));
        QCOMPARE(rig.view->costLabel()->text(), QStringLiteral("1 crédito"));
        QVERIFY(rig.view->sendButton()->isEnabled());
        QVERIFY(!rig.busy.isBusy());
        QCOMPARE(rig.scalar(QStringLiteral("SELECT saldo FROM Usuario")), QStringLiteral("100"));
        const auto startup = rig.sim.lastRequest(sim::Endpoint::QuoteSms);
        QVERIFY(startup);
        QVERIFY(!startup->has("buf"));
        QCOMPARE(startup->body, QByteArray("username=usu&password=secreto&mensaje=Saldo al arrancar Desktop"
                                           "&destino=34600123456&remitente=Saldo&ruta=3&saldo=1"));

        // The refresh icons post the panel's texts (fixed ones for empty boxes) and the counter.
        rig.view->senderCombo()->setCurrentIndex(-1);
        rig.view->refreshCostImage()->click();
        QVERIFY(spy.wait(5000));
        auto refresh = rig.sim.lastRequest(sim::Endpoint::QuoteSms);
        QCOMPARE(refresh->body, QByteArray("username=usu&password=secreto&mensaje=Coste Desktop Lostfocus y saldo"
                                           "&destino=34600123456&remitente=&buf=1"));
        rig.view->senderCombo()->setCurrentIndex(0);
        fill(rig, QStringLiteral("Hola"), QStringLiteral("34600000001"));
        rig.view->refreshBalanceImage()->click();
        QVERIFY(spy.wait(5000));
        refresh = rig.sim.lastRequest(sim::Endpoint::QuoteSms);
        QCOMPARE(refresh->body, QByteArray("username=usu&password=secreto&mensaje=Hola&destino=34600000001"
                                           "&remitente=Tienda&buf=2"));
    }

    void quoteReplies_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("coste");
        QTest::addColumn<QString>("saldo");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QString>("title");
        QTest::newRow("cost 1, balance 250") << "0|Ticket price|1|250" << "1 crédito" << "250 créditos" << "250" << true << "";
        QTest::newRow("cost 2, balance 1") << "0|Ticket price|2|1" << "2 créditos" << "1 crédito" << "1" << true << "";
        QTest::newRow("decimal comma") << "0|Ticket price|1,5|1234,56" << "1,5 créditos" << "1234,56 cr." << "1234.56" << true << "";
        QTest::newRow("decimal point") << "0|Ticket price|0.825|12" << "0.825 cr." << "12 créditos" << "12" << true << "";
        QTest::newRow("no balance field") << "0|Ticket price|1" << "1 crédito" << "100 créditos" << "100" << true << "";
        QTest::newRow("authentication") << "3|Authentication failed" << "Desconocido" << "Desconocido" << "100" << false
                                        << "Error de autentificacion";
        QTest::newRow("bad numbers") << "2|Invalid destination" << "Desconocido" << "Desconocido" << "100" << false
                                     << "Error calculando coste";
        QTest::newRow("sender") << "4|Bad sender" << "Desconocido" << "Desconocido" << "100" << false << "Remitente inadecuado";
        QTest::newRow("other code") << "9|Whatever" << "Desconocido" << "Desconocido" << "100" << false << "Conexión fallida";
        QTest::newRow("no separator") << "<html>Error</html>" << "Desconocido" << "Desconocido" << "100" << false << "";
    }
    void quoteReplies()
    {
        QFETCH(QString, reply);
        PanelRig rig;
        rig.sim.armCustomReply(sim::Endpoint::QuoteSms, reply);
        QVERIFY(rig.startUp());
        QTEST(rig.view->costLabel()->text(), "coste");
        QTEST(rig.view->balanceLabel()->text(), "saldo");
        QTEST(rig.scalar(QStringLiteral("SELECT saldo FROM Usuario")), "stored");
        QTEST(rig.view->sendButton()->isEnabled(), "enabled");
        QFETCH(QString, title);
        if (title.isEmpty()) {
            QCOMPARE(rig.prompter.count(), 0);
        } else {
            QCOMPARE(rig.prompter.count(), 1);
            QCOMPARE(rig.prompter.lastCall().title, title);
            // The refused sender is to be requested on the gateway's own web site, named in full.
            if (title == QLatin1String("Remitente inadecuado"))
                QVERIFY2(rig.prompter.lastCall().text.endsWith(QStringLiteral("su panel de usuario en ") + brand::webHost()),
                         qPrintable(rig.prompter.lastCall().text));
        }
    }

    void emptyQuoteReply()
    {
        PanelRig rig;
        rig.sim.armFault(sim::Endpoint::QuoteSms, sim::FaultKind::EmptyBody);
        QVERIFY(rig.startUp());
        QCOMPARE(rig.view->costLabel()->text(), QStringLiteral("Desconocido"));
        QCOMPARE(rig.view->balanceLabel()->text(), QStringLiteral("Desconocido"));
        QCOMPARE(rig.prompter.count(), 0);
        QVERIFY(!rig.busy.isBusy());
    }

    void quotePastTheCapIsTooLargeNotAConnectionFailure()
    {
        PanelRig rig;
        // The cap lowered below the reply stands in for a reply past the real one.
        rig.panel->quoteChannel().setReplyLimit(4);
        rig.sim.armCustomReply(sim::Endpoint::QuoteSms, QStringLiteral("0|Ticket price|1|250"));
        QVERIFY(rig.startUp());
        QCOMPARE(rig.view->costLabel()->text(), QStringLiteral("Desconocido"));
        QCOMPARE(rig.view->balanceLabel()->text(), QStringLiteral("Desconocido"));
        QCOMPARE(rig.scalar(QStringLiteral("SELECT saldo FROM Usuario")), QStringLiteral("100"));
        QVERIFY(!rig.view->sendButton()->isEnabled());
        QCOMPARE(rig.prompter.messageTexts(), QStringList{net::kTooLargeReplyMessage});
        QCOMPARE(rig.prompter.lastCall().title, net::kTooLargeReplyTitle);
        QVERIFY(!rig.prompter.lastCall().text.contains(QStringLiteral("conexión")));
        QVERIFY(!rig.busy.isBusy());
    }

    // A change of sender asks for its cost at once: after a refusal, choosing another sender is
    // all it takes for "Enviar SMS" to come back.
    void senderChoiceIsQuoted()
    {
        PanelRig rig; // "Enviar SMS" disabled, as the start leaves it until a quote is good
        fill(rig, QStringLiteral("Hola"), QStringLiteral("34600000001"));
        QSignalSpy spy(rig.panel.get(), &sending::SendPanelController::quoteReplyHandled);
        QComboBox *senders = rig.view->senderCombo();
        senders->setCurrentIndex(1); // "Avisos", which the gateway has not approved
        Q_EMIT senders->activated(1);
        QCOMPARE(rig.view->costLabel()->text(), QStringLiteral("Calculando..."));
        QVERIFY(spy.wait(5000));
        QCOMPARE(rig.prompter.lastCall().title, QStringLiteral("Remitente inadecuado"));
        QCOMPARE(rig.view->costLabel()->text(), QStringLiteral("Desconocido"));
        QVERIFY(!rig.view->sendButton()->isEnabled());

        senders->setCurrentIndex(0);
        Q_EMIT senders->activated(0);
        QVERIFY(spy.wait(5000));
        QCOMPARE(rig.view->costLabel()->text(), QStringLiteral("1 crédito"));
        QVERIFY(rig.view->sendButton()->isEnabled());
        const auto quote = rig.sim.lastRequest(sim::Endpoint::QuoteSms);
        QVERIFY(quote->body.contains("&destino=34600000001&remitente=Tienda&"));
    }

    // Numbers typed into "Enviar a" are quoted once the typing pauses, without leaving the box;
    // "Calculando..." says a figure is on its way, and a gateway that never answers is told.
    void typedRecipientsAreQuotedWhenTypingPauses()
    {
        PanelRig rig;
        QVERIFY(rig.startUp());
        rig.view->messageBox()->setPlainText(QStringLiteral("Hola"));
        rig.view->show();
        QVERIFY(QTest::qWaitForWindowActive(rig.view.get()));
        rig.panel->clearRecipients(); // empties the box, gives it the focus, disables the button
        QTRY_VERIFY(rig.view->recipientsBox()->hasFocus());
        QPlainTextEdit *box = rig.view->recipientsBox();
        QSignalSpy spy(rig.panel.get(), &sending::SendPanelController::quoteReplyHandled);
        QTest::keyClicks(box, QStringLiteral("34600000001"));
        QVERIFY(spy.wait(5000));
        QCOMPARE(spy.count(), 1); // one quote for the whole number, not one per key
        QVERIFY(rig.sim.lastRequest(sim::Endpoint::QuoteSms)->body.contains("&destino=34600000001&"));
        QCOMPARE(rig.view->costLabel()->text(), QStringLiteral("1 crédito"));
        QVERIFY(rig.view->sendButton()->isEnabled());
        QVERIFY(box->hasFocus());

        rig.panel->quoteChannel().setTimeout(std::chrono::milliseconds(300));
        rig.sim.armFault(sim::Endpoint::QuoteSms, sim::FaultKind::Hang);
        QTest::keyClicks(box, QStringLiteral(",34600000002"));
        QTRY_COMPARE_WITH_TIMEOUT(rig.view->costLabel()->text(), QStringLiteral("Calculando..."), 5000);
        QVERIFY(spy.wait(5000));
        QCOMPARE(rig.view->costLabel()->text(), QStringLiteral("Desconocido"));
        QCOMPARE(rig.prompter.lastCall().title, QStringLiteral("Sin respuesta del servidor"));
        rig.sim.releaseHangs();
    }

    // The refresh icons against a gateway that takes the request and never answers: the wait
    // ends in a message, not in a silent "Desconocido". The start-up quote stays quiet.
    void stalledRefreshSaysTheGatewayDidNotAnswer()
    {
        PanelRig rig;
        QVERIFY(rig.startUp());
        rig.panel->quoteChannel().setTimeout(std::chrono::milliseconds(300));
        rig.sim.armFault(sim::Endpoint::QuoteSms, sim::FaultKind::Hang);
        QSignalSpy spy(rig.panel.get(), &sending::SendPanelController::quoteReplyHandled);
        rig.view->refreshBalanceImage()->click();
        QCOMPARE(rig.view->balanceLabel()->text(), QStringLiteral("Comprobando..."));
        QVERIFY(spy.wait(5000));
        QCOMPARE(rig.view->balanceLabel()->text(), QStringLiteral("Desconocido"));
        QCOMPARE(rig.prompter.count(), 1);
        QCOMPARE(rig.prompter.lastCall().title, QStringLiteral("Sin respuesta del servidor"));
        QVERIFY(rig.prompter.lastCall().text.contains(QStringLiteral("no ha respondido")));
        rig.sim.releaseHangs();

        rig.sim.armFault(sim::Endpoint::QuoteSms, sim::FaultKind::Hang);
        QVERIFY(rig.startUp()); // answered by the time-out
        QCOMPARE(rig.prompter.count(), 1);
        rig.sim.releaseHangs();
    }

    void immediateSendWireBytesAndRecord()
    {
        PanelRig rig;
        QVERIFY(rig.startUp());
        fill(rig, QStringLiteral("Oferta 5€ ñ & +\nFin O'Neill"), QStringLiteral("34600000001,34600000002"));
        QVERIFY(rig.send());

        const auto sent = rig.sim.lastRequest(sim::Endpoint::SendSms);
        QVERIFY(sent);
        QCOMPARE(sent->header("Content-Type"), QByteArray("application/x-www-form-urlencoded"));
        QCOMPARE(sent->body, QByteArray("username=usu&password=secreto&mensaje=Oferta+5%80+%F1+%26+%2B%0D%0AFin+O%27Neill"
                                        "&destino=34600000001,34600000002&remitente=Tienda&ruta=3&fecha=Inmediato&coste=1"));
        QCOMPARE(rig.sim.sends().constFirst().message, QStringLiteral("Oferta 5€ ñ & +\r\nFin O'Neill"));

        QCOMPARE(rig.rows(QStringLiteral("Historial")), 1);
        const auto row = rig.connection.select(QStringLiteral(
            "SELECT username,destinatario,f_programada,mensaje,id_web,estado,remitente,creditos FROM Historial"));
        QCOMPARE(row[0][0].toString(), QStringLiteral("usu"));
        QCOMPARE(row[0][1].toString(), QStringLiteral("34600000001,34600000002"));
        QCOMPARE(row[0][2].toString(), QStringLiteral("Inmediato"));
        QCOMPARE(row[0][3].toString(), QStringLiteral("Oferta 5€ ñ & +\r\nFin O'Neill"));
        QCOMPARE(row[0][4].toString(), QStringLiteral("1000"));
        QCOMPARE(row[0][5].toString(), QStringLiteral("0|0|0"));
        QCOMPARE(row[0][6].toString(), QStringLiteral("Tienda"));
        QCOMPARE(row[0][7].toDouble(), 2.0);
        QCOMPARE(rig.view->balanceLabel()->text(), QStringLiteral("98 cr."));
        QCOMPARE(rig.scalar(QStringLiteral("SELECT saldo FROM Usuario")), QStringLiteral("98"));
        QVERIFY(rig.view->sendButton()->isEnabled());
        QVERIFY(!rig.busy.isBusy());
        QCOMPARE(lastMessage(rig.prompter), kSentText);
        QCOMPARE(rig.prompter.lastCall().title, QStringLiteral("Envío de SMS"));
    }

    void scheduledAndAppointmentSends()
    {
        PanelRig rig;
        const QDate tomorrow = QDate::currentDate().addDays(1);
        fill(rig, QStringLiteral("Cita el [FECHA] a las [HORA]"), QStringLiteral("34600000001"));
        rig.view->sendTimeBox()->setText(tomorrow.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" 10:00"));
        QVERIFY(rig.send());
        auto sent = rig.sim.lastRequest(sim::Endpoint::SendSms);
        QCOMPARE(sent->value("fecha"), tomorrow.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" 10:00"));
        QCOMPARE(sent->value("mensaje"),
                 QStringLiteral("Cita el ") + tomorrow.toString(QStringLiteral("dd-MM-yy")) + QStringLiteral(" a las 10:00"));

        // The appointment goes out the lead hours before; the text still names the appointment.
        const QDate later = QDate::currentDate().addDays(3);
        rig.view->appointmentCheck()->setChecked(true);
        QVERIFY(!rig.view->appointmentDateLabel()->isHidden());
        rig.view->appointmentLeadBox()->setText(QStringLiteral("48"));
        QCOMPARE(rig.view->appointmentDateLabel()->text(), QStringLiteral("F. Cita (48h antes)"));
        rig.view->sendTimeBox()->setText(later.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" 10:00"));
        QVERIFY(rig.send());
        sent = rig.sim.lastRequest(sim::Endpoint::SendSms);
        QCOMPARE(sent->value("fecha"), wall(QDateTime(later.addDays(-2), QTime(10, 0))));
        QVERIFY(sent->value("mensaje").contains(later.toString(QStringLiteral("dd-MM-yy"))));
        QCOMPARE(rig.scalar(QStringLiteral("SELECT f_programada FROM Historial ORDER BY sid DESC LIMIT 1")),
                 wall(QDateTime(later.addDays(-2), QTime(10, 0))));
        QCOMPARE(rig.rows(QStringLiteral("Historial")), 2);
    }

    void timePicker()
    {
        PanelRig rig;
        rig.view->show();
        rig.view->calendarImage()->click();
        QVERIFY(rig.view->sendDateCalendar()->isVisible());
        QCOMPARE(rig.view->sendTimeBox()->text(), QStringLiteral("Inmediato"));
        QCOMPARE(rig.view->hourBox()->text(), QTime::currentTime().toString(QStringLiteral("HH")));

        const struct { QString typed, expected; QLineEdit *box; } cases[] = {
            {QStringLiteral("24"), QStringLiteral("00"), rig.view->hourBox()},
            {QStringLiteral("-1"), QStringLiteral("23"), rig.view->hourBox()},
            {QStringLiteral("7"), QStringLiteral("07"), rig.view->hourBox()},
            {QStringLiteral("60"), QStringLiteral("00"), rig.view->minuteBox()},
            {QStringLiteral("-1"), QStringLiteral("59"), rig.view->minuteBox()},
        };
        for (const auto &c : cases) {
            c.box->setText(c.typed);
            leave(c.box);
            QCOMPARE(c.box->text(), c.expected);
        }
        // Only digits (and a leading minus) get into the boxes.
        rig.view->hourBox()->clear();
        QTest::keyClicks(rig.view->hourBox(), QStringLiteral("a1b"));
        QCOMPARE(rig.view->hourBox()->text(), QStringLiteral("1"));

        rig.view->hourBox()->setText(QStringLiteral("09"));
        rig.view->minuteBox()->setText(QStringLiteral("05"));
        const QDate tomorrow = QDate::currentDate().addDays(1);
        rig.view->sendDateCalendar()->setSelectedDate(tomorrow);
        QCOMPARE(rig.view->sendTimeBox()->text(), tomorrow.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" 09:05"));
        // The minute spinner one step down from 00 wraps without carrying to the hour.
        rig.view->minuteBox()->setText(QStringLiteral("00"));
        rig.view->minuteBar()->setValue(5001);
        QCOMPARE(rig.view->minuteBox()->text(), QStringLiteral("59"));
        QCOMPARE(rig.view->hourBox()->text(), QStringLiteral("09"));

        rig.view->sendDateCalendar()->setSelectedDate(QDate::currentDate().addDays(-1));
        QCOMPARE(rig.view->sendTimeBox()->text(), QStringLiteral("Inmediato"));
        rig.view->calendarImage()->click();
        QVERIFY(!rig.view->sendDateCalendar()->isVisible());
    }

    void personalisedSend()
    {
        PanelRig rig;
        rig.connection.execute(QStringLiteral("INSERT INTO Agenda (nombre,telefono) VALUES (?1,?2)"),
                             {QStringLiteral("Ana"), QStringLiteral("34600000001")});
        fill(rig, QStringLiteral("Hola [NOMBRE_CONFIRMAR], [DIRECCION] [DIA]"), QStringLiteral("34600000001,34600000002"));
        rig.prompter.answerInput(QStringLiteral("Anita"));       // confirm the stored name
        rig.prompter.answerInput(QStringLiteral("Ñu + 5€ & 1"));  // missing address
        rig.prompter.answerInput(QStringLiteral("Luis"));        // second number: no contact
        rig.prompter.answerInput(QString());                     // accepted empty
        QVERIFY(rig.send());

        const auto inputs = rig.prompter.callsOf(Kind::Input);
        QCOMPARE(inputs.size(), 4);
        QCOMPARE(inputs[0].title, QStringLiteral("Confirmar datos personalizados"));
        QCOMPARE(inputs[0].defaultText, QStringLiteral("Ana"));
        QCOMPARE(inputs[1].title, QStringLiteral("Faltan datos personalizados"));
        const auto sent = rig.sim.lastRequest(sim::Endpoint::SendSms);
        QCOMPARE(sent->value("mensaje"),
                 QStringLiteral("Hola [NOMBRE], [DIRECCION] ") + QString::number(QDate::currentDate().day()));
        QCOMPARE(sent->value("replace_vars"), QStringLiteral("[NOMBRE]|[DIRECCION]"));
        QCOMPARE(sent->value("var1"), QStringLiteral("Anita|Luis"));
        QCOMPARE(sent->value("var2"), QStringLiteral("Ñu + 5€ & 1|"));
        // The values travel raw in the code page, only the form's own signs escaped.
        QVERIFY(sent->body.contains("&replace_vars=[NOMBRE]|[DIRECCION]&var1=Anita|Luis&var2=\xD1u %2B 5\x80 %26 1|"));
        QCOMPARE(rig.sim.sends().constFirst().recipients.constFirst().text,
                 QStringLiteral("Hola Anita, Ñu + 5€ & 1 ") + QString::number(QDate::currentDate().day()));

        // Cancel on a prompt: nothing goes out, the button stays as it was.
        rig.prompter.clear();
        rig.prompter.answerInput(std::nullopt);
        const bool before = rig.view->sendButton()->isEnabled();
        rig.panel->sendMessage();
        QCOMPARE(rig.sim.requestCount(sim::Endpoint::SendSms), 1);
        QCOMPARE(lastMessage(rig.prompter), QStringLiteral("El envio ha sido cancelado a peticion suya."));
        QCOMPARE(rig.prompter.lastCall().title, QStringLiteral("Envío cancelado"));
        QCOMPARE(rig.view->sendButton()->isEnabled(), before);
    }

    void emptyFieldsAndNoAccount()
    {
        PanelRig rig;
        fill(rig, QString(), QStringLiteral("34600000001"));
        rig.panel->sendMessage();
        QCOMPARE(lastMessage(rig.prompter),
                 QStringLiteral("El mensaje y el destinatario son campos que no pueden estar vacíos. Reviselos"));
        rig.connection.execute(QStringLiteral("DELETE FROM Usuario"));
        fill(rig, QStringLiteral("Hola"), QStringLiteral("34600000001"));
        rig.panel->sendMessage();
        QCOMPARE(rig.prompter.lastCall().title, QStringLiteral("Necesaria autentificación"));
        QCOMPARE(rig.sim.requestCount(sim::Endpoint::SendSms), 0);
    }

    void replyCodes_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<int>("rows");
        QTest::addColumn<QString>("idWeb");
        QTest::addColumn<double>("creditos");
        QTest::addColumn<QString>("saldo");
        QTest::addColumn<QString>("text");
        QTest::newRow("sent") << "0|Message sent|123456|2" << 1 << "123456" << 2.0 << "98 cr." << kSentText;
        QTest::newRow("queued, decimal comma") << "1|Queued|77|1,5" << 1 << "77" << 1.5 << "98,5 cr." << kSentText;
        // No figure from the gateway: the cost quoted before the send (1 credit) is recorded.
        QTest::newRow("three fields") << "0|Message sent|55" << 1 << "55" << 1.0 << "Desconocido" << kSentText;
        QTest::newRow("refused") << "3|Authentication failure" << 0 << "" << 0.0 << "100 créditos"
                                 << "Authentication failure";
        QTest::newRow("parameters missing") << "2|Required parameters missing" << 0 << "" << 0.0 << "100 créditos"
                                            << "El envío no ha sido realizado por falta de parámetros requeridos.";
    }
    void replyCodes()
    {
        QFETCH(QString, reply);
        PanelRig rig;
        QVERIFY(rig.startUp());
        rig.sim.armCustomReply(sim::Endpoint::SendSms, reply);
        fill(rig, QStringLiteral("Hola"), QStringLiteral("34600000001"));
        QVERIFY(rig.send());
        QTEST(rig.rows(QStringLiteral("Historial")), "rows");
        QFETCH(int, rows);
        if (rows) {
            QTEST(rig.scalar(QStringLiteral("SELECT id_web FROM Historial")), "idWeb");
            QTEST(rig.connection.scalar(QStringLiteral("SELECT creditos FROM Historial")).toDouble(), "creditos");
        }
        QTEST(rig.view->balanceLabel()->text(), "saldo");
        QTEST(lastMessage(rig.prompter), "text");
        QVERIFY(rig.view->sendButton()->isEnabled());
        // Without its credits the balance is asked from the gateway: the hourglass lasts until then.
        QTRY_VERIFY_WITH_TIMEOUT(!rig.busy.isBusy(), 5000);
    }

    // With no balance figure anywhere (none stored, the quote lost), a send records its row and
    // leaves the balance unknown instead of storing minus its credits.
    void unknownBalanceStaysUnknown()
    {
        PanelRig rig;
        rig.connection.execute(QStringLiteral("UPDATE Usuario SET saldo=NULL"));
        rig.sim.armFault(sim::Endpoint::QuoteSms, sim::FaultKind::EmptyBody);
        QVERIFY(rig.startUp());
        QCOMPARE(rig.view->balanceLabel()->text(), QStringLiteral("Desconocido"));
        fill(rig, QStringLiteral("Hola"), QStringLiteral("34600000001,34600000002"));
        QVERIFY(rig.send());
        QCOMPARE(rig.rows(QStringLiteral("Historial")), 1);
        QCOMPARE(rig.connection.scalar(QStringLiteral("SELECT creditos FROM Historial")).toDouble(), 2.0);
        QVERIFY(rig.connection.scalar(QStringLiteral("SELECT saldo FROM Usuario")).isNull());
        QCOMPARE(rig.view->balanceLabel()->text(), QStringLiteral("Desconocido"));
        QCOMPARE(lastMessage(rig.prompter), kSentText);
    }

    void noConnection()
    {
        PanelRig rig;
        fill(rig, QStringLiteral("Hola"), QStringLiteral("34600000001"));
        // Nobody listening: the send surely never left, so trying again is right.
        rig.panel->sendChannel().setTimeout(std::chrono::milliseconds(200));
        rig.sim.stop();
        QVERIFY(rig.send());
        QCOMPARE(lastMessage(rig.prompter), kNoConnectionText);
        QCOMPARE(rig.rows(QStringLiteral("Historial")), 0);
        QVERIFY(rig.view->sendButton()->isEnabled());
        QVERIFY(!rig.busy.isBusy());
    }

    // The gateway got the send and answered, but neither with a success nor with a refusal: it
    // may have charged it, so the user is told to look at the history, not to try again, and
    // unattended the log says the same. Only a gateway that was never reached is "no connection".
    void unrecognisedReplyMayHaveSent_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("body");
        QTest::newRow("empty body") << int(sim::FaultKind::EmptyBody) << 0 << QString();
        QTest::newRow("maintenance page") << int(sim::FaultKind::NoSeparator) << 0 << QString();
        QTest::newRow("500 page") << int(sim::FaultKind::HttpError) << 0 << QString();
        QTest::newRow("502 page") << int(sim::FaultKind::HttpError) << 502 << QString();
        QTest::newRow("404 page") << int(sim::FaultKind::NotFound) << 0 << QString();
        QTest::newRow("500 without a page") << int(sim::FaultKind::CustomBody) << 500 << QString();
        QTest::newRow("error text with a bar") << int(sim::FaultKind::CustomBody) << 200
                                               << QStringLiteral("<b>Fatal error</b>: sendsms.php | line 12");
        QTest::newRow("cut-off code") << int(sim::FaultKind::CustomBody) << 200 << QStringLiteral("|Message sent|12");
    }
    void unrecognisedReplyMayHaveSent()
    {
        QFETCH(int, fault);
        QFETCH(int, status);
        QFETCH(QString, body);
        PanelRig rig;
        QVERIFY(rig.startUp());
        sim::Fault armed{static_cast<sim::FaultKind>(fault), 1};
        armed.status = status;
        armed.body = body;
        rig.sim.armFault(sim::Endpoint::SendSms, armed);
        fill(rig, QStringLiteral("Hola"), QStringLiteral("34600000001"));
        QVERIFY(rig.send());
        QCOMPARE(lastMessage(rig.prompter), kUnrecognisedText);
        QCOMPARE(rig.prompter.lastCall().title, QStringLiteral("Envío de SMS"));
        QCOMPARE(rig.rows(QStringLiteral("Historial")), 0);
        QVERIFY(rig.view->sendButton()->isEnabled());
        QVERIFY(!rig.busy.isBusy());

        rig.sim.armFault(sim::Endpoint::SendSms, armed);
        rig.panel->enqueue(QStringLiteral("34600000002"), QStringLiteral("Cola\r\nsegunda"));
        QSignalSpy spy(rig.panel.get(), &sending::SendPanelController::sendReplyHandled);
        rig.panel->sendNextQueued();
        QVERIFY(spy.wait(5000));
        QCOMPARE(rig.prompter.count(), 1);
        QFile log(rig.home.file(QStringLiteral("error_auto.txt")));
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QByteArray lines = log.readAll();
        QCOMPARE(lines.count("\r\n"), 1);
        QVERIFY2(lines.contains("--- Respuesta no reconocida del servidor al enviar a destinatario: 34600000002. El SMS "
                                "puede haberse enviado: compruebe el historial antes de repetir el env\xEDo. Texto del "
                                "mensaje: Cola\xB6segunda\r\n"),
                 lines.constData());
        QVERIFY(!rig.panel->isAutomated());
    }

    // The gateway charged the send but its reply came after the time-out: the panel is free at the
    // time-out, the user is warned that the SMS may have gone, and the reply is recorded when it
    // comes, once, as a timely one would be.
    void lateReplyIsRecordedOnce()
    {
        PanelRig rig;
        QVERIFY(rig.startUp());
        fill(rig, QStringLiteral("Tarde"), QStringLiteral("34600000001,34600000002"));
        rig.panel->sendChannel().setTimeout(std::chrono::milliseconds(200));
        rig.sim.armFault(sim::Endpoint::SendSms, sim::Fault{sim::FaultKind::Delay, 1, std::chrono::milliseconds(1200)});
        QVERIFY(rig.send());
        QCOMPARE(lastMessage(rig.prompter), kMaybeSentText);
        QCOMPARE(rig.prompter.lastCall().title, QStringLiteral("Envío de SMS"));
        QVERIFY(rig.view->sendButton()->isEnabled());
        QVERIFY(!rig.busy.isBusy());
        QVERIFY(!rig.panel->sendInFlight());
        QCOMPARE(rig.rows(QStringLiteral("Historial")), 0);

        QTRY_COMPARE_WITH_TIMEOUT(rig.rows(QStringLiteral("Historial")), 1, 5000);
        QCOMPARE(rig.scalar(QStringLiteral("SELECT mensaje || ' ' || destinatario || ' ' || id_web FROM Historial")),
                 QStringLiteral("Tarde 34600000001,34600000002 1000"));
        QCOMPARE(rig.connection.scalar(QStringLiteral("SELECT creditos FROM Historial")).toDouble(), 2.0);
        // The balance may have been quoted since the time-out: it comes from the gateway.
        QTRY_COMPARE_WITH_TIMEOUT(rig.view->balanceLabel()->text(), QStringLiteral("98 créditos"), 5000);
        QCOMPARE(rig.scalar(QStringLiteral("SELECT saldo FROM Usuario")), QStringLiteral("98"));
        QCOMPARE(lastMessage(rig.prompter), kSentText);
        QCOMPARE(rig.sim.requestCount(sim::Endpoint::SendSms), 1);
        QVERIFY(rig.view->sendButton()->isEnabled());
        QVERIFY(!rig.busy.isBusy());
    }

    // A late answer that is neither a success nor a refusal tells nothing new: the "may have been
    // sent" warning given at the time-out stands, with no row, no second box and no balance asked.
    void lateUnrecognisedAnswerLeavesTheWarning_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("error page") << static_cast<int>(sim::FaultKind::HttpError);
        QTest::newRow("page without a bar") << static_cast<int>(sim::FaultKind::NoSeparator);
        QTest::newRow("empty page") << static_cast<int>(sim::FaultKind::EmptyBody);
    }
    void lateUnrecognisedAnswerLeavesTheWarning()
    {
        QFETCH(int, kind);
        PanelRig rig;
        QVERIFY(rig.startUp());
        fill(rig, QStringLiteral("Tarde"), QStringLiteral("34600000001"));
        rig.panel->sendChannel().setTimeout(std::chrono::milliseconds(200));
        sim::Fault fault;
        fault.kind = static_cast<sim::FaultKind>(kind);
        fault.answerAfter = std::chrono::milliseconds(1200);
        rig.sim.armFault(sim::Endpoint::SendSms, fault);
        QVERIFY(rig.send());
        QCOMPARE(lastMessage(rig.prompter), kMaybeSentText);
        const int boxes = rig.prompter.count();
        const QString balance = rig.view->balanceLabel()->text();
        QSignalSpy late(&rig.panel->sendLine(), &sending::SendLine::lateReplyHandled);
        QSignalSpy wanted(&rig.panel->sendLine(), &sending::SendLine::balanceWanted);
        QVERIFY(rig.panel->owedReplies().owed());

        QTRY_VERIFY_WITH_TIMEOUT(!rig.panel->owedReplies().owed(), 5000);
        QCOMPARE(late.count(), 0);
        QCOMPARE(wanted.count(), 0);
        QCOMPARE(rig.prompter.count(), boxes);
        QCOMPARE(rig.rows(QStringLiteral("Historial")), 0);
        QCOMPARE(rig.view->balanceLabel()->text(), balance);
    }

    // A quote taken between a send's time-out and its late answer already holds the charge: the
    // late answer must not take the credits off a second time. The balance is asked from the
    // gateway instead, "Desconocido" until it comes.
    void lateReplyAfterAQuoteChargesOnce()
    {
        PanelRig rig;
        rig.sim.setBalance(QStringLiteral("usu"), 1500);
        QVERIFY(rig.startUp());
        QCOMPARE(rig.view->balanceLabel()->text(), QStringLiteral("1500 cr."));
        fill(rig, QStringLiteral("Tarde"), QStringLiteral("34600000001"));
        rig.panel->sendChannel().setTimeout(std::chrono::milliseconds(200));
        rig.sim.armFault(sim::Endpoint::SendSms, sim::Fault{sim::FaultKind::Delay, 1, std::chrono::milliseconds(60000)});
        QVERIFY(rig.send());
        QCOMPARE(lastMessage(rig.prompter), kMaybeSentText);

        QSignalSpy quotes(rig.panel.get(), &sending::SendPanelController::quoteReplyHandled);
        rig.panel->refreshQuote();
        QVERIFY(quotes.wait(5000));
        QCOMPARE(rig.view->balanceLabel()->text(), QStringLiteral("1499 cr."));

        QSignalSpy late(&rig.panel->sendLine(), &sending::SendLine::lateReplyHandled);
        rig.sim.releaseHangs();
        QVERIFY(late.wait(5000));
        QCOMPARE(rig.rows(QStringLiteral("Historial")), 1);
        QCOMPARE(rig.view->balanceLabel()->text(), QStringLiteral("Desconocido"));
        QTRY_COMPARE_WITH_TIMEOUT(rig.view->balanceLabel()->text(), QStringLiteral("1499 cr."), 5000);
        QCOMPARE(rig.scalar(QStringLiteral("SELECT saldo FROM Usuario")), QStringLiteral("1499"));
        QCOMPARE(rig.sim.balance(QStringLiteral("usu")), 1499.0);
    }

    // A quote answered while a send was on its way may already hold that send's charge.
    void quoteDuringASendChargesOnce()
    {
        PanelRig rig;
        QVERIFY(rig.startUp());
        fill(rig, QStringLiteral("Hola"), QStringLiteral("34600000001"));
        rig.sim.armFault(sim::Endpoint::SendSms, sim::Fault{sim::FaultKind::Delay, 1, std::chrono::milliseconds(60000)});
        QSignalSpy sends(rig.panel.get(), &sending::SendPanelController::sendReplyHandled);
        rig.panel->sendMessage();
        QTRY_COMPARE_WITH_TIMEOUT(rig.sim.sends().size(), 1, 5000); // charged at the gateway
        QSignalSpy quotes(rig.panel.get(), &sending::SendPanelController::quoteReplyHandled);
        rig.panel->refreshQuote();
        QVERIFY(quotes.wait(5000));
        QCOMPARE(rig.view->balanceLabel()->text(), QStringLiteral("99 créditos"));

        rig.sim.releaseHangs();
        QVERIFY(sends.wait(5000));
        QCOMPARE(lastMessage(rig.prompter), kSentText);
        QCOMPARE(rig.view->balanceLabel()->text(), QStringLiteral("Desconocido"));
        QTRY_COMPARE_WITH_TIMEOUT(rig.view->balanceLabel()->text(), QStringLiteral("99 créditos"), 5000);
        QCOMPARE(rig.scalar(QStringLiteral("SELECT saldo FROM Usuario")), QStringLiteral("99"));
    }

    // A success whose credits cannot be read says nothing of the charge: the gateway is asked.
    void unreadableCreditsAskTheGateway_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::newRow("not a number") << "0|Message sent|55|abc";
        QTest::newRow("empty") << "0|Message sent|55|";
        QTest::newRow("missing") << "0|Message sent|55";
    }
    void unreadableCreditsAskTheGateway()
    {
        QFETCH(QString, reply);
        PanelRig rig;
        QVERIFY(rig.startUp());
        rig.sim.armCustomReply(sim::Endpoint::SendSms, reply); // the gateway charges 1 all the same
        fill(rig, QStringLiteral("Hola"), QStringLiteral("34600000001"));
        QVERIFY(rig.send());
        QCOMPARE(rig.rows(QStringLiteral("Historial")), 1);
        QCOMPARE(rig.view->balanceLabel()->text(), QStringLiteral("Desconocido"));
        QTRY_COMPARE_WITH_TIMEOUT(rig.view->balanceLabel()->text(), QStringLiteral("99 créditos"), 5000);
        QCOMPARE(rig.scalar(QStringLiteral("SELECT saldo FROM Usuario")), QStringLiteral("99"));
    }

    // The history keeps what the send cost as the client quoted it before it went out, never a
    // free send, when the gateway's figure cannot be read.
    void unreadableCreditsRecordTheQuotedCost()
    {
        PanelRig rig;
        QVERIFY(rig.startUp());
        rig.sim.setRoutePrice(QStringLiteral("usu"), QStringLiteral("3"), 1.5);
        QSignalSpy quotes(rig.panel.get(), &sending::SendPanelController::quoteReplyHandled);
        fill(rig, QStringLiteral("Hola"), QStringLiteral("34600000001,34600000002"));
        leave(rig.view->recipientsBox());
        QVERIFY(quotes.wait(5000));
        QCOMPARE(rig.view->costLabel()->text(), QStringLiteral("3 créditos"));
        rig.sim.armCustomReply(sim::Endpoint::SendSms, QStringLiteral("0|Message sent|55|abc"));
        QVERIFY(rig.send());
        QCOMPARE(rig.rows(QStringLiteral("Historial")), 1);
        QCOMPARE(rig.connection.scalar(QStringLiteral("SELECT creditos FROM Historial")).toDouble(), 3.0);
    }

    // The shutdown's wait returns as soon as the late answer is recorded, and starts no queued send.
    void waitForOwedEndsWithTheLateReply()
    {
        PanelRig rig;
        fill(rig, QStringLiteral("Tarde"), QStringLiteral("34600000001"));
        rig.panel->sendChannel().setTimeout(std::chrono::milliseconds(200));
        rig.sim.armFault(sim::Endpoint::SendSms, sim::Fault{sim::FaultKind::Delay, 1, std::chrono::milliseconds(800)});
        QVERIFY(rig.send());
        seams::OwedReplies &owed = rig.panel->owedReplies();
        QVERIFY(owed.owed());
        rig.panel->enqueue(QStringLiteral("34600000002"), QStringLiteral("Cola"));
        const int boxes = rig.prompter.count();
        QElapsedTimer clock;
        clock.start();
        owed.waitForOwed(std::chrono::milliseconds(10000));
        QVERIFY(clock.elapsed() < 5000);
        QVERIFY(!owed.owed());
        QCOMPARE(rig.rows(QStringLiteral("Historial")), 1);
        QCOMPARE(rig.prompter.count(), boxes); // nobody is there to read a box while closing
        rig.panel->sendNextQueued();
        QCOMPARE(rig.sim.requestCount(sim::Endpoint::SendSms), 1);
    }

    // A connection dropped after the request went out may hide a charged send.
    void connectionLostAfterTheRequestMayHaveSent()
    {
        PanelRig rig;
        fill(rig, QStringLiteral("Hola"), QStringLiteral("34600000001"));
        rig.sim.armFault(sim::Endpoint::SendSms, sim::Fault{sim::FaultKind::Hang, 1, std::chrono::milliseconds(100)});
        QVERIFY(rig.send());
        QCOMPARE(lastMessage(rig.prompter), kMaybeSentText);
        QCOMPARE(rig.sim.requestCount(sim::Endpoint::SendSms), 1);
        QCOMPARE(rig.rows(QStringLiteral("Historial")), 0);
        QVERIFY(rig.view->sendButton()->isEnabled());
        QVERIFY(!rig.busy.isBusy());
    }

    // Unattended, an unknown result is a line in the log, never a box, and the queue moves on;
    // the late reply is still recorded.
    void automatedUnknownResultIsLoggedAndRecordedLater()
    {
        PanelRig rig;
        QVERIFY(rig.startUp());
        rig.panel->sendChannel().setTimeout(std::chrono::milliseconds(200));
        rig.sim.armFault(sim::Endpoint::SendSms, sim::Fault{sim::FaultKind::Delay, 1, std::chrono::milliseconds(1000)});
        rig.panel->enqueue(QStringLiteral("34600000001"), QStringLiteral("Primero"));
        rig.panel->enqueue(QStringLiteral("34600000002"), QStringLiteral("Segundo"));
        QSignalSpy spy(rig.panel.get(), &sending::SendPanelController::sendReplyHandled);
        rig.panel->sendNextQueued();
        QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 2, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(rig.rows(QStringLiteral("Historial")), 2, 5000);
        QCOMPARE(rig.prompter.count(), 0);
        QCOMPARE(rig.sim.requestCount(sim::Endpoint::SendSms), 2);
        QCOMPARE(rig.scalar(QStringLiteral("SELECT group_concat(mensaje, ',') FROM (SELECT mensaje FROM Historial "
                                           "ORDER BY mensaje)")),
                 QStringLiteral("Primero,Segundo"));
        QFile log(rig.home.file(QStringLiteral("error_auto.txt")));
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QByteArray lines = log.readAll();
        QCOMPARE(lines.count("\r\n"), 1);
        QVERIFY2(lines.contains("--- Sin respuesta del servidor al enviar a destinatario: 34600000001. El SMS puede "
                                "haberse enviado: compruebe el historial. Texto del mensaje: Primero\r\n"),
                 lines.constData());
    }

    void secondPressAndQuoteWhileSending()
    {
        PanelRig rig;
        QVERIFY(rig.startUp());
        fill(rig, QStringLiteral("Hola"), QStringLiteral("34600000001"));
        rig.sim.armFault(sim::Endpoint::SendSms, sim::Fault{sim::FaultKind::Delay, 1, std::chrono::milliseconds(1500)});
        QSignalSpy sendSpy(rig.panel.get(), &sending::SendPanelController::sendReplyHandled);
        rig.panel->sendMessage();
        QVERIFY(rig.panel->sendInFlight());
        QVERIFY(!rig.view->sendButton()->isEnabled());

        rig.panel->sendMessage();
        QCOMPARE(rig.prompter.lastCall().title, QStringLiteral("Envío de SMS"));
        // What is recorded is what went out, whatever the boxes hold when the reply comes.
        fill(rig, QStringLiteral("Otro texto"), QStringLiteral("34600000005"));

        // A good quote (here without its balance field) arriving meanwhile leaves the button off.
        rig.sim.armCustomReply(sim::Endpoint::QuoteSms, QStringLiteral("0|Ticket price|1"));
        QSignalSpy quoteSpy(rig.panel.get(), &sending::SendPanelController::quoteReplyHandled);
        rig.view->refreshCostImage()->click();
        QVERIFY(quoteSpy.wait(5000));
        QVERIFY(!rig.view->sendButton()->isEnabled());

        QVERIFY(sendSpy.wait(5000));
        QCOMPARE(rig.sim.requestCount(sim::Endpoint::SendSms), 1);
        QCOMPARE(rig.rows(QStringLiteral("Historial")), 1);
        QCOMPARE(rig.scalar(QStringLiteral("SELECT mensaje || ' ' || destinatario FROM Historial")),
                 QStringLiteral("Hola 34600000001"));
        QVERIFY(rig.view->sendButton()->isEnabled());
    }

    void sentButNotRecorded()
    {
        PanelRig rig;
        fill(rig, QStringLiteral("Hola"), QStringLiteral("34600000001"));
        rig.sim.armFault(sim::Endpoint::SendSms, sim::Fault{sim::FaultKind::Delay, 1, std::chrono::milliseconds(300)});
        QSignalSpy spy(rig.panel.get(), &sending::SendPanelController::sendReplyHandled);
        rig.panel->sendMessage();
        rig.connection.close(); // the shared file went away while the send was out
        QVERIFY(spy.wait(5000));
        QCOMPARE(rig.sim.sends().size(), 1);
        QVERIFY(lastMessage(rig.prompter).startsWith(QStringLiteral("El SMS se ha enviado, pero no se ha podido guardar")));
        QVERIFY(!rig.prompter.messageTexts().contains(kSentText));
        QVERIFY(rig.view->sendButton()->isEnabled());
    }

    void automatedQueue()
    {
        PanelRig rig;
        QVERIFY(rig.startUp());
        rig.sim.armCustomReply(sim::Endpoint::SendSms, QStringLiteral("3|Authentication failure"));
        rig.panel->enqueue(QStringLiteral("34600000001"), QStringLiteral("Primero"));
        rig.panel->enqueue(QStringLiteral("34600000002"), QStringLiteral("Segundo\r\nlínea"));
        QSignalSpy spy(rig.panel.get(), &sending::SendPanelController::sendReplyHandled);
        rig.panel->sendNextQueued();
        QVERIFY(rig.panel->isAutomated());
        QCOMPARE(rig.view->recipientsBox()->toPlainText(), QStringLiteral("34600000001"));
        QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 2, 5000);

        QCOMPARE(rig.prompter.count(), 0);
        QCOMPARE(rig.rows(QStringLiteral("Historial")), 1);
        QCOMPARE(rig.scalar(QStringLiteral("SELECT mensaje FROM Historial")), QStringLiteral("Segundo\r\nlínea"));
        QFile log(rig.home.file(QStringLiteral("error_auto.txt")));
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QByteArray line = log.readAll();
        QVERIFY(line.contains("--- Error al enviar a destinatario: 34600000001. Texto del mensaje: Primero\r\n"));
        QVERIFY(!rig.panel->isAutomated());
        QVERIFY(rig.view->messageBox()->toPlainText().isEmpty());
        QVERIFY(rig.view->recipientsBox()->toPlainText().isEmpty());
        QVERIFY(rig.view->sendButton()->isEnabled());
    }

    void automatedLogFailureKeepsQueueMoving()
    {
        PanelRig rig;
        QVERIFY(QDir(rig.home.path()).mkdir(QStringLiteral("error_auto.txt"))); // cannot be written
        rig.sim.armCustomReply(sim::Endpoint::SendSms, QStringLiteral("3|Authentication failure"), 2);
        rig.panel->enqueue(QStringLiteral("34600000001"), QStringLiteral("Uno"));
        rig.panel->enqueue(QStringLiteral("34600000002"), QStringLiteral("Dos"));
        QSignalSpy spy(rig.panel.get(), &sending::SendPanelController::sendReplyHandled);
        rig.panel->sendNextQueued();
        QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 2, 5000);
        QCOMPARE(rig.panel->queuedCount(), 0);
        QCOMPARE(rig.sim.requestCount(sim::Endpoint::SendSms), 2);
    }

    // The last queued send lost on the way leaves the panel in manual mode: a later manual send is
    // confirmed to the user.
    void manualSendAfterLostAutomatedSendIsConfirmed()
    {
        PanelRig rig;
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const quint16 port = closed.serverPort();
        closed.close();
        qputenv("BRISANTA_URL_BASE", QStringLiteral("http://127.0.0.1:%1/").arg(port).toUtf8());
        rig.panel->enqueue(QStringLiteral("34600000001"), QStringLiteral("Cola"));
        QSignalSpy spy(rig.panel.get(), &sending::SendPanelController::sendReplyHandled);
        rig.panel->sendNextQueued();
        QVERIFY(spy.wait(5000));
        qputenv("BRISANTA_URL_BASE", rig.sim.baseUrl().toUtf8());
        QCOMPARE(lastMessage(rig.prompter), kNoConnectionText);
        QVERIFY(!rig.panel->isAutomated()); // the batch is over, lost send or not
        QCOMPARE(rig.view->messageBox()->toPlainText(), QStringLiteral("Cola")); // kept to be sent again

        fill(rig, QStringLiteral("Manual"), QStringLiteral("34600000009"));
        QVERIFY(rig.send());
        QCOMPARE(lastMessage(rig.prompter), kSentText);
        QCOMPARE(rig.prompter.lastCall().title, QStringLiteral("Envío de SMS"));
        rig.sim.armCustomReply(sim::Endpoint::SendSms, QStringLiteral("3|Authentication failure"));
        QVERIFY(rig.send());
        QCOMPARE(lastMessage(rig.prompter), QStringLiteral("Authentication failure"));
        // Only the lost queued send is in the log; the manual refusal was told, not logged.
        QFile log(rig.home.file(QStringLiteral("error_auto.txt")));
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QByteArray lines = log.readAll();
        QCOMPARE(lines.count("\r\n"), 1);
        QVERIFY(lines.contains("--- Error al enviar a destinatario: 34600000001. Texto del mensaje: Cola\r\n"));
    }

    void queuedItemWaitsForManualSend()
    {
        PanelRig rig;
        fill(rig, QStringLiteral("Manual"), QStringLiteral("34600000009"));
        QSignalSpy spy(rig.panel.get(), &sending::SendPanelController::sendReplyHandled);
        rig.panel->sendMessage();
        rig.panel->enqueue(QStringLiteral("34600000001"), QStringLiteral("Cola"));
        rig.panel->sendNextQueued();
        QCOMPARE(rig.panel->queuedCount(), 1); // not lost, not sent alongside
        QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 2, 5000);
        QCOMPARE(rig.panel->queuedCount(), 0);
        QCOMPARE(rig.rows(QStringLiteral("Historial")), 2);
    }

    void recipientsBox()
    {
        PanelRig rig;
        QSignalSpy quotes(rig.panel.get(), &sending::SendPanelController::quoteReplyHandled);
        rig.view->messageBox()->setPlainText(QStringLiteral("Hola"));
        rig.view->recipientsBox()->setPlainText(QStringLiteral("600000001;600000002"));
        leave(rig.view->recipientsBox());
        QCOMPARE(rig.view->recipientsBox()->toPlainText(), QStringLiteral("34600000001,34600000002"));
        QCOMPARE(rig.panel->recipientsTag(), QStringLiteral("34600000001,34600000002"));
        QVERIFY(quotes.wait(5000));
        QCOMPARE(rig.sim.lastRequest(sim::Endpoint::QuoteSms)->value("destino"), QStringLiteral("34600000001,34600000002"));
        QCOMPARE(rig.view->costLabel()->text(), QStringLiteral("2 créditos"));
        QVERIFY(rig.view->sendButton()->isEnabled());
        leave(rig.view->recipientsBox());
        QCOMPARE(rig.sim.requestCount(sim::Endpoint::QuoteSms), 1);

        // A picker's list is quoted as it is, once.
        rig.panel->setRecipients(QStringLiteral("34600000003"));
        leave(rig.view->recipientsBox());
        QVERIFY(quotes.wait(5000));
        QCOMPARE(rig.sim.requestCount(sim::Endpoint::QuoteSms), 2);
        QCOMPARE(rig.panel->recipientsTag(), QStringLiteral("34600000003"));

        rig.view->recipientsBox()->setPlainText(QStringLiteral("1234567"));
        leave(rig.view->recipientsBox());
        QCOMPARE(rig.prompter.lastCall().title, QStringLiteral("Destinatario no valido"));
        QVERIFY(!rig.view->sendButton()->isEnabled());
        QCOMPARE(rig.view->recipientsBox()->toPlainText(), QStringLiteral("1234567"));

        press(rig.view->recipientsBox(), Qt::Key_Backspace);
        QVERIFY(!rig.view->clearRecipientsImage()->isHidden());
        press(rig.view->recipientsBox(), Qt::Key_5);
        QVERIFY(rig.view->clearRecipientsImage()->isHidden());
        press(rig.view->recipientsBox(), Qt::Key_Delete);
        rig.view->clearRecipientsImage()->click();
        QVERIFY(rig.view->recipientsBox()->toPlainText().isEmpty());
        QVERIFY(rig.view->clearRecipientsImage()->isHidden());
        leave(rig.view->recipientsBox());
        QCOMPARE(rig.view->costLabel()->text(), QStringLiteral("1 crédito(s)"));
        QVERIFY(!rig.view->sendButton()->isEnabled());
    }

    void counter()
    {
        PanelRig rig;
        rig.view->messageBox()->setPlainText(QStringLiteral("Hola"));
        QCOMPARE(rig.view->lengthLabel()->text(), QStringLiteral("4"));
        QCOMPARE(rig.view->lengthLimitLabel()->text(), QStringLiteral("160"));
        rig.view->messageBox()->setPlainText(QStringLiteral("a\nb"));
        QCOMPARE(rig.view->lengthLabel()->text(), QStringLiteral("4"));
        rig.view->messageBox()->setPlainText(QString(161, QLatin1Char('x')));
        QCOMPARE(rig.view->lengthLimitLabel()->text(), QStringLiteral("306"));
        QCOMPARE(rig.view->costLabel()->text(), QStringLiteral("2 crédito(s)"));

        // Typing stops at 1530 characters as the gateway counts them.
        rig.view->show();
        QVERIFY(QTest::qWaitForWindowActive(rig.view.get()));
        rig.view->messageBox()->setFocus();
        QVERIFY(rig.view->messageBox()->hasFocus());
        rig.view->messageBox()->setPlainText(QString(1528, QLatin1Char('x')));
        rig.view->messageBox()->moveCursor(QTextCursor::End);
        QTest::keyClick(rig.view->messageBox(), Qt::Key_Return);
        QTest::keyClicks(rig.view->messageBox(), QStringLiteral("yz"));
        QCOMPARE(rig.view->lengthLabel()->text(), QStringLiteral("1530"));
        QCOMPARE(rig.view->lengthLimitLabel()->text(), QStringLiteral("1530"));
        QVERIFY(rig.view->messageBox()->toPlainText().endsWith(QLatin1Char('\n')));
    }

    void icons()
    {
        PanelRig rig;
        rig.view->pickRecipientsImage()->click();
        QCOMPARE(lastMessage(rig.prompter), QStringLiteral("No existe ningún contacto en la agenda."));
        QCOMPARE(rig.prompter.lastCall().title, QStringLiteral("Agenda vacía"));
        rig.view->pickTemplateImage()->click();
        QCOMPARE(lastMessage(rig.prompter), QStringLiteral("No existe ninguna plantilla creada."));
        QCOMPARE(rig.prompter.lastCall().title, QStringLiteral("Sin plantillas"));
        QVERIFY(rig.windows.opened.isEmpty());
        rig.lists.bookEmpty = false;
        rig.lists.templatesEmpty = false;
        rig.view->pickRecipientsImage()->click();
        rig.view->pickTemplateImage()->click();
        QCOMPARE(rig.windows.opened, (QList<seams::WindowId>{seams::WindowId::ContactPicker, seams::WindowId::TemplatePicker}));

        // Clearing the whole panel after an appointment send.
        rig.view->appointmentCheck()->setChecked(true);
        rig.view->appointmentLeadBox()->setText(QStringLiteral("12"));
        fill(rig, QStringLiteral("Hola"), QStringLiteral("34600000001"));
        rig.view->sendTimeBox()->setText(QStringLiteral("2099-01-01 10:00"));
        rig.view->pickedRecipientLabel()->setText(QStringLiteral("Ultimo: Ana"));
        rig.view->sendButton()->setEnabled(true);
        rig.view->clearAllImage()->click();
        QVERIFY(!rig.view->appointmentCheck()->isChecked());
        QCOMPARE(rig.view->appointmentLeadBox()->text(), QStringLiteral("72"));
        QCOMPARE(rig.view->sendTimeBox()->text(), QStringLiteral("Inmediato"));
        QVERIFY(rig.view->messageBox()->toPlainText().isEmpty());
        QVERIFY(rig.view->recipientsBox()->toPlainText().isEmpty());
        QVERIFY(rig.view->pickedRecipientLabel()->text().isEmpty());
        QVERIFY(!rig.view->sendButton()->isEnabled());
    }

    // Not a check: a picture of the filled panel for a look at the layout.
    void screenshot()
    {
        const QString path = qEnvironmentVariable("BRISANTA_PANEL_SHOT");
        if (path.isEmpty())
            QSKIP("set BRISANTA_PANEL_SHOT to a file name to take the picture");
        PanelRig rig;
        QVERIFY(rig.startUp());
        rig.view->resize(780, 460);
        fill(rig, QStringLiteral("Hola [NOMBRE], su cita es el [FECHA] a las [HORA]. Responda SI para confirmar."),
             QStringLiteral("34600000001,34600000002"));
        rig.view->pickedRecipientLabel()->setText(QStringLiteral("Ultimo: Ana García"));
        rig.view->show();
        rig.view->calendarImage()->click();
        rig.view->appointmentCheck()->setChecked(true);
        QVERIFY(QTest::qWaitForWindowExposed(rig.view.get()));
        QVERIFY(rig.view->grab().save(path));
    }
};

QTEST_MAIN(TestSendPanel)
#include "test_send_panel.moc"
