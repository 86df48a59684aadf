// Birthday greetings: who is greeted when, the list's pages and nodes, the gateway's web form as
// a browser fills it, and the window against the in-process simulator.
#include "automation/birthdays/birthday_greetings_window.h"
#include "automation/birthdays/birthday_rules.h"
#include "automation/birthdays/birthday_store.h"
#include "automation/birthdays/web_form.h"
#include "brand/brand.h"
#include "database/schema.h"
#include "gateway-sim/gateway_simulator.h"
#include "platform/db/connection.h"
#include "platform/text/cp1252.h"
#include "platform/ui/busy_cursor.h"
#include "recording/pending_file.h"
#include "recording/pending_write.h"
#include "recording/record_charged.h"
#include "seams/app_context.h"
#include "support/cut_labels.h"
#include "sending/quote.h"
#include "sending/send_reply.h"
#include "support/other_workstation.h"
#include "support/popup_menus.h"
#include "support/recording_shell.h"
#include "support/scripted_prompter.h"
#include "support/temp_home.h"

#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTreeWidget>
#include <QtTest>

#include <memory>

using namespace automation::birthdays;

namespace {

const QString kNow = QStringLiteral("2026-12-08 09:05");
const QString kOk = QStringLiteral("Recordatorios enviados correctamente. Para comprobar la recepción de los envíos a "
                                   "medida que sucendan, acceda al menú 'Historial'.");
const QString kNoConnection = QStringLiteral("No se ha detectado conexión a Internet. Por favor, compruébelo y vuelva a "
                                            "abrir esta ventana para realizar envíos.");
const QString kMaybeSent = QStringLiteral(
    "No se ha recibido una respuesta reconocible de la pasarela. La felicitación puede haberse enviado: compruebe el "
    "historial antes de repetir el envío.");
const QString kListChanged = QStringLiteral(
    "La lista de contactos ha cambiado desde que se mostró (ha cambiado el día o se han modificado los contactos o "
    "sus felicitaciones). Se ha actualizado: revísela y pulse de nuevo 'Enviar toda la lista'.");

// A program folder, its database, a simulator with an account and the birthday window's needs.
struct Rig {
    Rig()
    {
        sim.start();
        sim.addAccount(QStringLiteral("usu"), QStringLiteral("secreto"), 100.0);
        sim.approveSender(QStringLiteral("usu"), QStringLiteral("Tienda"));
        qputenv("BRISANTA_URL_BASE", sim.baseUrl().toUtf8());
        connection.open(home.file(QStringLiteral("bbdd.mdb")), db::OpenMode::CreateIfMissing);
        database::createSchema(connection);
        setAccount(QStringLiteral("100"));
        connection.execute(QStringLiteral("INSERT INTO Remitentes (remitente, defecto) VALUES ('Tienda', 1)"));
        addTemplate(QStringLiteral("Felicidades"), QStringLiteral("Feliz cumpleaños [NOMBRE]"));
        context = std::make_unique<seams::AppContext>(
            seams::AppContext{connection, prompter, shell, busy, home.path()});
    }
    ~Rig()
    {
        form.reset();
        sim.stop();
        qunsetenv("BRISANTA_URL_BASE");
    }
    Rig(const Rig &) = delete;
    Rig &operator=(const Rig &) = delete;

    void setAccount(const QString &balance, const QString &zone = QStringLiteral("GMT +01:00"))
    {
        connection.execute(QStringLiteral("DELETE FROM Usuario"));
        connection.execute(QStringLiteral("INSERT INTO Usuario (login,pass,ruta,saldo,huso_horario) VALUES (?1,?2,?3,?4,?5)"),
                         {QStringLiteral("usu"), QStringLiteral("secreto"), QStringLiteral("0"), balance, zone});
    }
    void addTemplate(const QString &name, const QString &message)
    {
        connection.execute(QStringLiteral("INSERT INTO Plantillas (nombre, mensaje) VALUES (?1, ?2)"), {name, message});
    }
    qint64 addContact(const QString &name, const QString &phone, const QVariant &birthDate,
                    const QString &groups = {}, const QString &fullName = {})
    {
        connection.execute(QStringLiteral("INSERT INTO Agenda (nombre, telefono, nombre_completo, f_nacimiento, grupos_sid) "
                                        "VALUES (?1, ?2, ?3, ?4, ?5)"),
                         {name, phone, fullName, birthDate, groups});
        return connection.lastInsertRowId();
    }
    qint64 addGroup(const QString &name)
    {
        connection.execute(QStringLiteral("INSERT INTO Grupos (nombre) VALUES (?1)"), {name});
        return connection.lastInsertRowId();
    }
    // The window, with its first form page handled; its clock reads `clock`, `now` at first.
    BirthdayGreetingsWindow &open(const QString &now = kNow)
    {
        clock = now;
        form = std::make_unique<BirthdayGreetingsWindow>(*context, BirthdayGreetingsWindow::Links{[this] { ++historyRefreshes; }, [] {}}, [this] {
            return QDateTime::fromString(clock, QStringLiteral("yyyy-MM-dd HH:mm"));
        });
        form->browser().setTimeout(std::chrono::milliseconds(5000));
        waitForPage();
        return *form;
    }
    bool waitForPage()
    {
        QSignalSpy spy(form.get(), &BirthdayGreetingsWindow::pageHandled);
        return spy.wait(8000);
    }
    // A send, its result page and the form page asked for afterwards.
    bool sendAndWait(bool list = true)
    {
        QSignalSpy spy(form.get(), &BirthdayGreetingsWindow::pageHandled);
        if (list)
            form->sendWholeList();
        else
            form->greetMenuContact();
        while (spy.count() < 2) {
            if (!spy.wait(8000))
                return false;
        }
        return true;
    }
    int rowCount(const QString &table) { return connection.scalar(QStringLiteral("SELECT count(*) FROM ") + table).toInt(); }

    testing::TempHome home;
    sim::GatewaySimulator sim;
    db::Connection connection;
    testing::ScriptedPrompter prompter;
    testing::RecordingShell shell;
    ui::BusyCursor busy;
    std::unique_ptr<seams::AppContext> context;
    std::unique_ptr<BirthdayGreetingsWindow> form;
    int historyRefreshes = 0;
    QString clock = kNow;
};

} // namespace

class TestBirthdays final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The window opens whole where the screen has room, and stays whole when resized: every note
    // gets the height its text needs at its width, and the contact list shows more than a row or two.
    void windowOpensWhole_data()
    {
        QTest::addColumn<int>("widthChange");
        QTest::addColumn<int>("heightChange");
        QTest::newRow("as it opens") << 0 << 0;
        QTest::newRow("narrower") << -200 << 0;
        QTest::newRow("lower") << 0 << -300;
        QTest::newRow("wider and lower") << 300 << -200;
    }
    void windowOpensWhole()
    {
        QFETCH(int, widthChange);
        QFETCH(int, heightChange);
        Rig rig;
        BirthdayGreetingsWindow &form = rig.open();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const QSize opening = form.size();
        if (widthChange != 0 || heightChange != 0) {
            // As the user drags: the width first (the least height follows it), then the height.
            const QSize target = opening + QSize(widthChange, heightChange);
            form.resize(target.width(), opening.height());
            QTRY_COMPARE_WITH_TIMEOUT(form.width(), target.width(), 5000);
            form.resize(target);
            QTRY_COMPARE_WITH_TIMEOUT(form.size(), target.expandedTo(form.minimumSize()), 5000);
        }
        QCoreApplication::processEvents();
        const QStringList cut = testing::cutLabels(form);
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QLatin1Char('\n'))));
        const QTreeWidget *list = form.contactList();
        QVERIFY2(list->height() >= 10 * list->fontMetrics().lineSpacing(), qPrintable(QString::number(list->height())));
        const QRect close(form.findChild<QPushButton *>(QStringLiteral("Command3"))->mapTo(&form, QPoint(0, 0)),
                          form.findChild<QPushButton *>(QStringLiteral("Command3"))->size());
        QVERIFY(form.rect().contains(close));
        const QString shot = qEnvironmentVariable("BRISANTA_BIRTHDAY_SHOT");
        if (!shot.isEmpty() && widthChange == 0 && heightChange == 0)
            QVERIFY(form.grab().save(shot));
    }

    // --- when a contact is greeted --------------------------------------------------------------

    void sendTime_data()
    {
        QTest::addColumn<QDate>("birthDate");
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QString>("zone");
        QTest::addColumn<QString>("date");
        const QDate today(2026, 12, 8);
        QTest::newRow("later this year") << QDate(1990, 12, 20) << today << "GMT +01:00" << "2026-12-20 12:00";
        QTest::newRow("today stays today") << QDate(1990, 12, 8) << today << "GMT +01:00" << "2026-12-08 12:00";
        QTest::newRow("yesterday: next year") << QDate(1990, 12, 7) << today << "GMT +01:00" << "2027-12-07 12:00";
        QTest::newRow("GMT +00:00") << QDate(1990, 12, 20) << today << "GMT +00:00" << "2026-12-20 13:00";
        QTest::newRow("GMT -05:00") << QDate(1990, 12, 20) << today << "GMT -05:00" << "2026-12-20 18:00";
        QTest::newRow("rolls into next year") << QDate(1990, 12, 31) << today << "GMT -12:00" << "2027-01-01 01:00";
        QTest::newRow("29 Feb, common year") << QDate(2000, 2, 29) << QDate(2027, 1, 10) << "GMT +01:00" << "2027-02-28 12:00";
        QTest::newRow("29 Feb, leap year") << QDate(2000, 2, 29) << QDate(2027, 12, 1) << "GMT +01:00" << "2028-02-29 12:00";
        QTest::newRow("29 Feb passed today") << QDate(2000, 2, 29) << QDate(2027, 2, 28) << "GMT +01:00" << "2027-02-28 12:00";
    }
    void sendTime()
    {
        QFETCH(QDate, birthDate);
        QFETCH(QDate, today);
        QFETCH(QString, zone);
        QFETCH(QString, date);
        QCOMPARE(greetingTime(birthDate, today, zone), date);
    }

    void birthDatesAreReadOrRefused()
    {
        QCOMPARE(parseBirthDate(QStringLiteral("1990-03-05")), std::optional<QDate>(QDate(1990, 3, 5)));
        QCOMPARE(parseBirthDate(QStringLiteral("05/03/1990")), std::optional<QDate>(QDate(1990, 3, 5)));
        QCOMPARE(parseBirthDate(QStringLiteral("1990-03-05 00:00:00")), std::optional<QDate>(QDate(1990, 3, 5)));
        QVERIFY(!parseBirthDate(QString()));
        QVERIFY(!parseBirthDate(QStringLiteral("mañana")));
        QVERIFY(!parseBirthDate(QStringLiteral("1990-02-30")));
    }

    // --- the list's pager and nodes -------------------------------------------------------------

    void pager_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("expected");
        QTest::addColumn<int>("lastPage");
        QTest::addColumn<QString>("caption");
        QTest::newRow("empty") << 0 << 3 << 0 << 0 << "Página 0 de 0";
        QTest::newRow("120 first") << 120 << 0 << 0 << 2 << "Página 1 de 3";
        QTest::newRow("120 beyond") << 120 << 7 << 2 << 2 << "Página 3 de 3";
        QTest::newRow("30 from page 3") << 30 << 2 << 0 << 0 << "Página 1 de 1";
        QTest::newRow("exactly 50") << 50 << 0 << 0 << 0 << "Página 1 de 1";
    }
    void pager()
    {
        QFETCH(int, rows);
        QFETCH(int, position);
        QFETCH(int, expected);
        QFETCH(int, lastPage);
        QFETCH(QString, caption);
        const PageState p = paginate(rows, position);
        QCOMPARE(p.page, expected);
        QCOMPARE(p.lastPage, lastPage);
        QCOMPARE(p.caption, caption);
    }

    void contactNodesShowOnlyWhatIsThere()
    {
        Contact c;
        c.sid = 12;
        c.name = QStringLiteral("Ana");
        c.phone = QStringLiteral("34600000001");
        c.otherPhone = QStringLiteral("915550000");
        c.birthDate = QDate(1990, 3, 5);
        const QList<TreeNode> nodes = contactNodes(c);
        QStringList keys;
        for (const TreeNode &n : nodes)
            keys << n.key;
        QCOMPARE(keys, (QStringList{"pContacto 12", "pTelefono 12", "Telefono 12", "pTelefono2 12", "Telefono2 12",
                                      "pFechaNacimiento 12", "FechaNacimiento 12"}));
        QCOMPARE(nodes.first().text, QStringLiteral("Ana (05/03/1990)"));
        QCOMPARE(nodes.at(2).parent, QStringLiteral("pTelefono 12"));
        QCOMPARE(sidFromKey(QStringLiteral("FechaNacimiento 12")), std::optional<qint64>(12));
        QVERIFY(!sidFromKey(QStringLiteral("l0")));
        QVERIFY(!sidFromKey(QStringLiteral("pContacto x")));
    }

    // --- what the form gets, and the checks before it ---------------------------------------------

    void dataCheck()
    {
        QList<Contact> contacts(2);
        contacts[0].name = QStringLiteral("Ana");
        contacts[0].phone = QStringLiteral("34600000001");
        contacts[0].birthDate = QDate(1990, 1, 1);
        contacts[1].name = QStringLiteral("Luis");
        contacts[1].phone = QStringLiteral("34600000002");
        contacts[1].birthDate = QDate(1990, 2, 1);
        GreetingLists l = buildGreetingLists(contacts, QDate(2026, 12, 8), QStringLiteral("GMT +01:00"));
        // An empty full name keeps its place.
        QVERIFY(hasEnoughData(l, QStringLiteral("Hola [NOMBRE_COMPLETO]"), true));
        // A value holding the separator would shift every later recipient's value.
        l.comments[1] = QStringLiteral("a||b");
        QVERIFY(!hasEnoughData(l, QStringLiteral("Hola [COMENTARIOS]"), true));
        QVERIFY(hasEnoughData(l, QStringLiteral("Hola [NOMBRE]"), true));
        // No contact at all: a keyword has nothing to stand for.
        QVERIFY(!hasEnoughData(GreetingLists{}, QStringLiteral("Hola [NOMBRE]"), true));
        QVERIFY(!hasEnoughData(GreetingLists{}, QStringLiteral("Hola [DIRECCION]"), false));

        QCOMPARE(formText(QStringLiteral("Hola [NOMBRE_CONFIRMAR] y [DIRECCION_CONFIRMAR]")),
                 QStringLiteral("Hola [NOMBRE] y [DIRECCION]"));
        QVERIFY(!hasEnoughCredit(4, 4));
        QVERIFY(hasEnoughCredit(4.5, 4));

        Account account{QStringLiteral("usu"), QStringLiteral("pw"), QStringLiteral("0"), 10, QStringLiteral("GMT +01:00")};
        const QList<FormField> fields = formFields(l, QStringLiteral("Hola"), account, QStringLiteral("Tienda"));
        QCOMPARE(fields.size(), 13);
        QCOMPARE(fields.at(4).value, QStringLiteral("3"));
        QCOMPARE(fields.at(5).value, QStringLiteral("Ana||Luis"));
        QCOMPARE(fields.at(6).value, QStringLiteral("34600000001,34600000002"));
        QCOMPARE(fields.at(7).value, QStringLiteral("34600000001||34600000002"));
        QCOMPARE(fields.at(12).value, QStringLiteral("2027-01-01 12:00||2027-02-01 12:00"));
        contacts.removeLast();
        l = buildGreetingLists(contacts, QDate(2026, 12, 8), QStringLiteral("GMT +01:00"));
        QCOMPARE(formFields(l, QStringLiteral("Hola"), account, QStringLiteral("T")).at(5).value, QStringLiteral("Ana"));
    }

    void resultPage_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("n");
        QTest::addColumn<bool>("noPhones");
        QTest::addColumn<bool>("emptyTemplate");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("message");
        const int refused = int(SendResult::Kind::Refused);
        const int unreadable = int(SendResult::Kind::Unreadable);
        const int noAnswer = int(SendResult::Kind::NoAnswer);
        QTest::newRow("no separator") << "Servicio en mantenimiento" << 1 << false << false << noAnswer << kNoAnswerMessage;
        QTest::newRow("empty") << "" << 1 << false << false << noAnswer << kNoAnswerMessage;
        QTest::newRow("phrase") << "5|Insufficient credits|" << 2 << false << false << refused << "Insufficient credits";
        QTest::newRow("phrase without end") << "5|Insufficient credits" << 2 << false << false << refused << "Insufficient credits";
        QTest::newRow("missing, no phones") << "3|Required parameters missing|" << 0 << true << false << refused
                                            << "Por favor, seleccione destinatarios válidos";
        QTest::newRow("missing, no text") << "3|Required parameters missing|" << 2 << false << true << refused
                                          << "Por favor, escriba una plantilla con texto válido antes de enviar el mensaje.";
        QTest::newRow("missing, other") << "3|Required parameters missing|" << 2 << false << false << refused
                                        << "El envío no ha sido realizado por falta de parámetros requeridos.";
        QTest::newRow("id not a number") << "0|IN_PROGRESS|abc" << 1 << false << false << unreadable << "";
        QTest::newRow("no id") << "0|IN_PROGRESS" << 1 << false << false << unreadable << "";
        QTest::newRow("id too small") << "0|IN_PROGRESS|1" << 3 << false << false << unreadable << "";
    }
    void resultPage()
    {
        QFETCH(QString, text);
        QFETCH(int, n);
        QFETCH(bool, noPhones);
        QFETCH(bool, emptyTemplate);
        QFETCH(int, kind);
        QFETCH(QString, message);
        const SendResult r = parseResult(text, n, noPhones, emptyTemplate);
        QCOMPARE(int(r.kind), kind);
        if (!message.isEmpty())
            QCOMPARE(r.message, message);
        QVERIFY(r.ids.isEmpty());
    }

    // One reply read by the send, the quote and the greetings: its code is read by one rule, and
    // each script gives it only its own meaning. Whatever the gateway says it did is never "no
    // answer" to one script and done to another.
    void oneReplyReadAlikeByEveryScript_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<int>("send");
        QTest::addColumn<int>("quote");
        QTest::addColumn<int>("greetings");
        using sending::QuoteKind;
        using sending::ReplyKind;
        QTest::newRow("blanks around a refusal") << " 3 |Authentication failure|" << int(ReplyKind::Refused)
                                                 << int(QuoteKind::Refused) << int(SendResult::Kind::Refused);
        QTest::newRow("two-digit code") << "10|x|" << int(ReplyKind::Unknown) << int(QuoteKind::Refused)
                                        << int(SendResult::Kind::NoAnswer);
        QTest::newRow("blank after a success") << "0 |OK|123|1" << int(ReplyKind::Sent) << int(QuoteKind::Quoted)
                                               << int(SendResult::Kind::Unreadable);
        QTest::newRow("success code 1") << "1|OK|123|1" << int(ReplyKind::Sent) << int(QuoteKind::Refused)
                                        << int(SendResult::Kind::Unreadable);
        QTest::newRow("word for a code") << "OK|x|" << int(ReplyKind::Unknown) << int(QuoteKind::Refused)
                                         << int(SendResult::Kind::NoAnswer);
    }
    void oneReplyReadAlikeByEveryScript()
    {
        QFETCH(QString, reply);
        sending::SendRequest request;
        request.recipients = QStringLiteral("34600000001");
        request.recordedMessage = QStringLiteral("Hola");
        const sending::ReplyOutcome send =
            sending::interpretSendReply(request, true, reply, 100.0, QDateTime(QDate(2026, 12, 8), QTime(9, 5)));
        QTEST(int(send.kind), "send");
        QTEST(int(sending::interpretQuoteReply(true, reply).kind), "quote");
        const SendResult greetings = parseResult(reply, 1, false, false);
        QTEST(int(greetings.kind), "greetings");
        if (greetings.kind == SendResult::Kind::Refused)
            QCOMPARE(greetings.message, QStringLiteral("Authentication failure"));
        // The greetings window tells "no answer" as "may have been sent", as the send does.
        if (send.kind == sending::ReplyKind::Unknown)
            QCOMPARE(int(greetings.kind), int(SendResult::Kind::NoAnswer));
    }

    void consecutiveIdentifiers()
    {
        const SendResult r = parseResult(QStringLiteral("0|IN_PROGRESS|57"), 3, false, false);
        QCOMPARE(int(r.kind), int(SendResult::Kind::Scheduled));
        QCOMPARE(r.ids, (QList<qint64>{55, 56, 57}));
    }

    // --- the page as a browser reads it -----------------------------------------------------------

    void formIsFoundAndItsActionResolved()
    {
        const QString html = QStringLiteral(
            "<html><head><base href=\"/extranet/SMS/\"></head><body>\n"
            "<FORM method=post action=\"../../extranet_nueva/SMS/sendsms.php?x=1\">"
            "<input type=hidden name=token value=\"a&amp;b\">"
            "<input name=mensaje><textarea name=nota>uno\ndos</textarea>"
            "<select name=tipo><option value=1>A<option value=2 selected>B</select>"
            "<input type=checkbox name=aviso value=si checked><input type=checkbox name=no>"
            "<input type=text name=apagado value=x disabled>"
            "<input type=submit name=otro value=Otro><input type=submit name=sub value=Enviar>"
            "</FORM><form action=/segundo><input name=ajeno></form></body></html>");
        const HtmlPage p = parsePage(html, QUrl(QStringLiteral("http://h:1/extranet/SMS/sms_personalizados.php?try=3")));
        QVERIFY(p.form.found);
        QVERIFY(p.form.post);
        QCOMPARE(p.form.action.toString(), QStringLiteral("http://h:1/extranet_nueva/SMS/sendsms.php?x=1"));
        QVERIFY(!p.form.control(QStringLiteral("ajeno")));
        QCOMPARE(p.form.control(QStringLiteral("token"))->value, QStringLiteral("a&b"));
        QVERIFY(p.bodyText.contains(QStringLiteral("uno")));
        HtmlForm f = p.form;
        f.control(QStringLiteral("mensaje"))->value = QStringLiteral("Feliz año € ☺ 100% [NOMBRE]");
        QCOMPARE(encodeSubmission(f, QStringLiteral("sub"), Charset::Windows1252),
                 QByteArray("token=a%26b&mensaje=Feliz+a%F1o+%80+%26%239786%3B+100%25+%5BNOMBRE%5D"
                            "&nota=uno%0D%0Ados&tipo=2&aviso=si&sub=Enviar"));
        QCOMPARE(encodeSubmission(f, QStringLiteral("sub"), Charset::Utf8).left(41),
                 QByteArray("token=a%26b&mensaje=Feliz+a%C3%B1o+%E2%82"));
    }

    void readinessNeedsAnEmptyBodyAndTheForm_data()
    {
        QTest::addColumn<QString>("html");
        QTest::addColumn<bool>("text");
        QTest::addColumn<bool>("form");
        QTest::newRow("text in the body") << "<HTML><BODY>Mantenimiento<FORM action=x></FORM></BODY></HTML>" << true << true;
        QTest::newRow("lower-case tag") << "<HTML><BODY><form action=x></form></BODY></HTML>" << false << false;
        QTest::newRow("no action") << "<HTML><BODY><FORM method=post></FORM></BODY></HTML>" << false << false;
        QTest::newRow("ready") << "<HTML><HEAD><TITLE>t</TITLE></HEAD><BODY>\r\n<FORM action=x></FORM> </BODY></HTML>" << false << true;
    }
    void readinessNeedsAnEmptyBodyAndTheForm()
    {
        QFETCH(QString, html);
        QFETCH(bool, text);
        QFETCH(bool, form);
        const HtmlPage p = parsePage(html, QUrl(QStringLiteral("http://h/")));
        QCOMPARE(!p.bodyText.isEmpty(), text);
        QCOMPARE(p.bodyHtml.contains(QStringLiteral("<FORM")) && p.bodyHtml.contains(QStringLiteral("action=")), form);
        QVERIFY(!p.bodyHtml.contains(QStringLiteral("TITLE")));
    }

    void malformedPagesNeverCrash()
    {
        const QStringList pages{
            QString(), QStringLiteral("<<<<>>>><FORM"), QStringLiteral("<FORM action=\"x\"><input name=a value=\"sin cerrar"),
            QStringLiteral("</body></html><body><FORM action=y>"), QStringLiteral("<select name=s></select><FORM action"),
            QString(QChar(0)) + QStringLiteral("\xff\xfe<FORM action=\x01>"), QStringLiteral("<FORM action=\"http://[::1\">"),
            QStringLiteral("<textarea name=t></textarea><FORM><textarea name=t>"),
        };
        for (const QString &html : pages) {
            const HtmlPage p = parsePage(html, QUrl(QStringLiteral("http://h/a/b.php")));
            encodeSubmission(p.form, QStringLiteral("sub"), Charset::Windows1252);
        }
    }

    // A hostile or broken server decides what the page holds: the page is bounded before it is
    // parsed, and nothing below walks the tree recursively.
    void oversizedOrDeepPagesAreNotParsed_data()
    {
        QTest::addColumn<QString>("html");
        QTest::addColumn<bool>("valid");
        const auto repeat = [](const char *chunk, int times) {
            QString text;
            const QString t = QString::fromLatin1(chunk);
            text.reserve(t.size() * times);
            for (int i = 0; i < times; ++i)
                text += t;
            return text;
        };
        const QString form = QStringLiteral("<FORM action=z><input name=q></FORM>");
        QTest::newRow("200,000 nested divs") << repeat("<div>", 200000) + form << false;
        QTest::newRow("100,000 nested spans") << repeat("<span>", 100000) + form << false;
        QTest::newRow("ignored end tags") << repeat("<div><object></div></div>", 20000) + form << false;
        QTest::newRow("formatting reopened") << repeat("<b id=1><i id=2><u id=3></div>", 5000) + form << false;
        QTest::newRow("empty comment") << QStringLiteral("<!-->") + repeat("<div>", 20000) + form << false;
        QTest::newRow("comment ended with a bang") << QStringLiteral("<!-- x --!>") + repeat("<div>", 20000) + form << false;
        QTest::newRow("markup in an svg title") << QStringLiteral("<svg><title>") + repeat("<div>", 20000) + form << false;
        QTest::newRow("cells inside svg") << QStringLiteral("<table><tr><td><svg>") + repeat("<td>", 20000) + form << false;
        QTest::newRow("text past the size bound") << QStringLiteral("<HTML><BODY>") + QString(kMaxParsedPageSize, QLatin1Char('x'))
                                                   + form << false;
        QTest::newRow("just under the size bound") << QString(kMaxParsedPageSize - form.size(), QLatin1Char(' ')) + form << true;
        QTest::newRow("400 levels") << repeat("<div>", 400) + form << true;
        QTest::newRow("flat and closed") << repeat("<div><span>a</span><b>b</b></div>", 20000) + form << true;
        QTest::newRow("unclosed siblings") << QStringLiteral("<select name=s>") + repeat("<option value=1>uno", 3000)
                                                  + QStringLiteral("</select><ul>") + repeat("<li>x", 3000)
                                                  + QStringLiteral("</ul><table>") + repeat("<tr><td>a<td>b", 3000)
                                                  + QStringLiteral("</table>") + repeat("<p>texto", 3000)
                                                  + repeat("<dl><dt>a<dd>b</dl>", 1000) + form
                                           << true;
        QTest::newRow("tags inside scripts and comments") << QStringLiteral("<script>") + repeat("<div>", 20000)
                                                                 + QStringLiteral("</script><!--") + repeat("<div>", 20000)
                                                                 + QStringLiteral("--><textarea>") + repeat("<b>", 20000)
                                                                 + QStringLiteral("</textarea>") + form
                                                          << true;
    }
    void oversizedOrDeepPagesAreNotParsed()
    {
        QFETCH(QString, html);
        QFETCH(bool, valid);
        const HtmlPage p = parsePage(html, QUrl(QStringLiteral("http://h/")));
        QCOMPARE(p.valid, valid);
        QCOMPARE(p.form.found, valid);
        if (valid)
            QVERIFY(p.form.control(QStringLiteral("q")));
        else
            QVERIFY(p.bodyText.isEmpty() && p.bodyHtml.isEmpty());
    }

    // Under the bound, a deep page is still walked whole, without recursion: the control at the
    // bottom, the texts in order, the select's choice.
    void deepButValidPagesAreWalkedWhole()
    {
        QString html = QStringLiteral("<FORM action=z>");
        for (int i = 0; i < 450; ++i)
            html += QStringLiteral("<div>") + QString::number(i % 10);
        html += QStringLiteral("<select name=s><option>a<option selected>b</select><textarea name=t>fin</textarea>");
        const HtmlPage p = parsePage(html, QUrl(QStringLiteral("http://h/")));
        QVERIFY(p.valid);
        QCOMPARE(p.form.controls.size(), 2);
        QCOMPARE(p.form.control(QStringLiteral("s"))->value, QStringLiteral("b"));
        QCOMPARE(p.form.control(QStringLiteral("t"))->value, QStringLiteral("fin"));
        // Each element's blank comes after its children: the digits run together, in order.
        QVERIFY(p.bodyText.startsWith(QStringLiteral("01234567890123456789")));
    }

    // --- the database side ------------------------------------------------------------------------

    void listOrderGroupsAndPendingGreetings()
    {
        Rig rig;
        const qint64 vip = rig.addGroup(QStringLiteral("Clientes (O'Neil)"));
        const qint64 other = rig.addGroup(QStringLiteral("Otros"));
        const QString g = QString::number(vip);
        rig.addContact(QStringLiteral("Marzo"), QStringLiteral("34600000001"), QStringLiteral("1980-03-05"), g);
        rig.addContact(QStringLiteral("Enero"), QStringLiteral("34600000002"), QStringLiteral("1990-01-20"),
                     QString::number(other) + QLatin1Char(',') + g);
        rig.addContact(QStringLiteral("Sin fecha"), QStringLiteral("34600000003"), QVariant(), g);
        rig.addContact(QStringLiteral("Fecha rota"), QStringLiteral("34600000004"), QStringLiteral("nunca"), g);
        rig.addContact(QStringLiteral("Ya felicitado"), QStringLiteral("34600000005"), QStringLiteral("1970-12-20"), g);
        rig.addContact(QStringLiteral("Felicitado antes"), QStringLiteral("34600000006"), QStringLiteral("1970-12-01"));
        rig.addContact(QStringLiteral("O'Donnell"), QStringLiteral("34600000007"), QStringLiteral("1970-01-20"), QString::number(other));
        // A greeting of this year still to come; one already past.
        rig.connection.execute(QStringLiteral("INSERT INTO Historial (destinatario, f_programada, bool_cumple) VALUES "
                                            "('34600000005', '2026-12-20 12:00', '1'), ('34600000006', '2025-12-01 12:00', '1')"));
        QStringList names;
        for (const Contact &c : greetableContacts(rig.connection, std::nullopt, QDate(2026, 12, 8)))
            names << c.name;
        QCOMPARE(names, (QStringList{"Enero", "O'Donnell", "Marzo", "Felicitado antes"}));
        names.clear();
        for (const Contact &c : greetableContacts(rig.connection, vip, QDate(2026, 12, 8)))
            names << c.name;
        QCOMPARE(names, (QStringList{"Enero", "Marzo"}));

        const QList<GroupEntry> groups = readGroups(rig.connection);
        QCOMPARE(groups.size(), 3);
        QCOMPARE(groups.at(0).text, QStringLiteral("TODOS (7)"));
        QCOMPARE(groups.at(1).text, QStringLiteral("Grupo: Clientes (O'Neil) (5)"));
        QCOMPARE(groups.at(1).sid, std::optional<qint64>(vip));
        QCOMPARE(groups.at(2).text, QStringLiteral("Grupo: Otros (2)"));
    }

    // A greeting already recorded for the coming birthday keeps its contact off the list, whatever
    // the hour of the check and the account's zone; one for an earlier birthday does not.
    void scheduledGreetingsAreNotListedAgain_data()
    {
        QTest::addColumn<QString>("now");
        QTest::addColumn<QString>("zone");
        QTest::addColumn<QString>("birthDate");
        QTest::addColumn<QString>("scheduledAt");
        QTest::addColumn<bool>("listed");
        // Born on 8 December: today at 12:00 local is the greeting's time.
        QTest::newRow("exactly 12:00 today") << kNow << "GMT +01:00" << "1990-12-08" << "2026-12-08 12:00" << false;
        QTest::newRow("checked after 12:00") << "2026-12-08 15:30" << "GMT +01:00" << "1990-12-08" << "2026-12-08 12:00"
                                             << false;
        QTest::newRow("checked at 23:59") << "2026-12-08 23:59" << "GMT +01:00" << "1990-12-08" << "2026-12-08 12:00"
                                          << false;
        QTest::newRow("GMT +03:00, today") << kNow << "GMT +03:00" << "1990-12-08" << "2026-12-08 10:00" << false;
        QTest::newRow("GMT +03:00, after 12:00") << "2026-12-08 13:00" << "GMT +03:00" << "1990-12-08"
                                                 << "2026-12-08 10:00" << false;
        QTest::newRow("GMT +14:00, the day before on the gateway") << kNow << "GMT +14:00" << "1990-12-08"
                                                                   << "2026-12-07 23:00" << false;
        QTest::newRow("GMT +03:00, tomorrow") << kNow << "GMT +03:00" << "1990-12-09" << "2026-12-09 10:00" << false;
        QTest::newRow("GMT -05:00, today") << "2026-12-08 14:00" << "GMT -05:00" << "1990-12-08" << "2026-12-08 18:00"
                                           << false;
        // The account's zone changed after the greeting was scheduled: it is still the greeting
        // of that birthday.
        QTest::newRow("greeted in GMT +02:00, now GMT +01:00") << kNow << "GMT +01:00" << "1990-12-08"
                                                               << "2026-12-08 11:00" << false;
        QTest::newRow("greeted in GMT +14:00, now GMT -12:00, the day before")
            << "2026-12-07 10:00" << "GMT -12:00" << "1990-12-08" << "2026-12-07 23:00" << false;
        QTest::newRow("greeted in GMT +14:00, now GMT -12:00, on the day")
            << "2026-12-08 10:00" << "GMT -12:00" << "1990-12-08" << "2026-12-07 23:00" << false;
        QTest::newRow("greeted in GMT -12:00, now GMT +14:00") << kNow << "GMT +14:00" << "1990-12-08"
                                                               << "2026-12-09 01:00" << false;
        // Nothing scheduled for a birthday can come earlier than 12:00 in the easternmost zone.
        QTest::newRow("a minute before the earliest") << kNow << "GMT +14:00" << "1990-12-08" << "2026-12-07 22:59"
                                                      << true;
        // Greetings of birthdays already past are no reason to leave the next one out.
        QTest::newRow("last year's") << kNow << "GMT +01:00" << "1990-12-08" << "2025-12-08 12:00" << true;
        QTest::newRow("yesterday's, GMT -12:00") << kNow << "GMT -12:00" << "1990-12-07" << "2026-12-08 01:00" << true;
        QTest::newRow("yesterday's, GMT +01:00") << kNow << "GMT +01:00" << "1990-12-07" << "2026-12-07 12:00" << true;
    }
    void scheduledGreetingsAreNotListedAgain()
    {
        QFETCH(QString, now);
        QFETCH(QString, zone);
        QFETCH(QString, birthDate);
        QFETCH(QString, scheduledAt);
        QFETCH(bool, listed);
        Rig rig;
        rig.setAccount(QStringLiteral("100"), zone);
        const qint64 ana = rig.addContact(QStringLiteral("Ana"), QStringLiteral("34600000001"), birthDate);
        rig.connection.execute(QStringLiteral("INSERT INTO Historial (destinatario, f_programada, bool_cumple) "
                                            "VALUES ('34600000001', ?1, '1')"),
                             {scheduledAt});
        // The popup's check says the same as the list.
        const std::optional<Contact> contact = contactBySid(rig.connection, ana);
        QVERIFY(contact);
        const QDate today = QDateTime::fromString(now, QStringLiteral("yyyy-MM-dd HH:mm")).date();
        QCOMPARE(hasPendingGreeting(rig.connection, *contact, today), !listed);
        BirthdayGreetingsWindow &f = rig.open(now);
        QCOMPARE(BirthdayGreetingsWindow::itemKey(f.contactList()->topLevelItem(0)),
                 listed ? QStringLiteral("pContacto %1").arg(ana) : QStringLiteral("l0"));
        QCOMPARE(f.sendListButton()->isEnabled(), listed);
        if (listed)
            return;
        // Nor can the whole list greet the contact again.
        f.sendWholeList();
        QCOMPARE(rig.sim.requestCount(sim::Endpoint::FormResult), 0);
        QCOMPARE(rig.rowCount(QStringLiteral("Historial")), 1);
    }

    void sendersAndTemplates()
    {
        Rig rig;
        rig.connection.execute(QStringLiteral("DELETE FROM Remitentes"));
        QCOMPARE(readSenders(rig.connection), QStringList{brand::defaultSender()});
        rig.connection.execute(QStringLiteral("INSERT INTO Remitentes (remitente, defecto) VALUES ('A', 0), ('B', 1), ('C', 0)"));
        QCOMPARE(readSenders(rig.connection), (QStringList{"B", "A", "C"}));
        rig.connection.execute(QStringLiteral("DELETE FROM Plantillas"));
        QCOMPARE(readTemplates(rig.connection), QStringList{kNoTemplate});
        QVERIFY(!templateText(rig.connection, kNoTemplate));
        rig.addTemplate(QStringLiteral("D'Artagnan"), QStringLiteral("Hola"));
        QCOMPARE(templateText(rig.connection, QStringLiteral("D'Artagnan")), std::optional<QString>(QStringLiteral("Hola")));
    }

    // Groups and templates in the Spanish order of the other lists; a template found by its name
    // without case; group lists read by the one rule ("07", "3, 1").
    void spanishOrderAndOneReadingOfGroupLists()
    {
        Rig rig;
        rig.connection.execute(QStringLiteral("DELETE FROM Plantillas"));
        for (const char *name : {"Zoë", "Ñandú", "Nuria", "álvaro"}) {
            rig.addGroup(QString::fromUtf8(name));
            rig.addTemplate(QString::fromUtf8(name), QStringLiteral("Hola"));
        }
        const QStringList order{QStringLiteral("álvaro"), QStringLiteral("Nuria"), QStringLiteral("Ñandú"),
                                QStringLiteral("Zoë")};
        QStringList groups;
        for (const GroupEntry &g : readGroups(rig.connection).mid(1))
            groups << g.text.mid(7).section(QLatin1String(" ("), 0, 0);
        QCOMPARE(groups, order);
        QCOMPARE(readTemplates(rig.connection), order);
        QCOMPARE(templateText(rig.connection, QStringLiteral("ÑANDÚ")), std::optional<QString>(QStringLiteral("Hola")));

        rig.addContact(QStringLiteral("Cero"), QStringLiteral("34600000001"), QStringLiteral("1980-03-05"), QStringLiteral("04"));
        rig.addContact(QStringLiteral("Blanco"), QStringLiteral("34600000002"), QStringLiteral("1980-03-06"), QStringLiteral("3, 4"));
        QStringList names;
        for (const Contact &c : greetableContacts(rig.connection, qint64(4), QDate(2026, 12, 8)))
            names << c.name;
        QCOMPARE(names, (QStringList{"Cero", "Blanco"}));
    }

    // --- the window against the simulator ---------------------------------------------------------

    void loadAsksForTheFormAndListsTheContacts()
    {
        Rig rig;
        rig.addContact(QStringLiteral("Ana"), QStringLiteral("34600000001"), QStringLiteral("1990-12-20"));
        BirthdayGreetingsWindow &f = rig.open();
        QCOMPARE(rig.sim.lastRequest(sim::Endpoint::FormPage)->value("try"), QStringLiteral("0"));
        QVERIFY(f.isFormReady());
        QVERIFY(f.sendListButton()->isEnabled());
        QCOMPARE(f.formRequestCount(), 1);
        QCOMPARE(f.groupCombo()->itemText(0), QStringLiteral("TODOS (1)"));
        QCOMPARE(f.senderCombo()->currentText(), QStringLiteral("Tienda"));
        QCOMPARE(f.templateCombo()->currentText(), QStringLiteral("Felicidades"));
        QCOMPARE(BirthdayGreetingsWindow::itemKey(f.contactList()->topLevelItem(0)), QStringLiteral("pContacto 1"));
        QCOMPARE(f.pageLabel()->text(), QStringLiteral("Página 1 de 1"));
        QVERIFY(rig.prompter.messageTexts().isEmpty());
    }

    void emptyListAndNoTemplateKeepTheButtonOff()
    {
        Rig rig;
        rig.connection.execute(QStringLiteral("DELETE FROM Plantillas"));
        BirthdayGreetingsWindow &f = rig.open();
        QVERIFY(f.isFormReady());
        QVERIFY(!f.sendListButton()->isEnabled());
        QCOMPARE(BirthdayGreetingsWindow::itemKey(f.contactList()->topLevelItem(0)), QStringLiteral("l0"));
        QCOMPARE(f.contactList()->topLevelItem(0)->text(0), QStringLiteral("Sin felicitaciones posibles"));
        QCOMPARE(f.pageLabel()->text(), QStringLiteral("Página 0 de 0"));
        QCOMPARE(f.templateCombo()->currentText(), QStringLiteral("Ninguna"));
        QVERIFY(!f.openContactMenu(f.contactList()->topLevelItem(0)));
    }

    void pagesOf120AndBackToOneGroup()
    {
        Rig rig;
        const qint64 g = rig.addGroup(QStringLiteral("Pocos"));
        rig.connection.execute(QStringLiteral("BEGIN"));
        for (int i = 0; i < 120; ++i)
            rig.addContact(QStringLiteral("C%1").arg(i, 3, 10, QLatin1Char('0')), QStringLiteral("346000%1").arg(i, 5, 10, QLatin1Char('0')),
                         QDate(1990, 1 + i % 12, 1 + i % 28).toString(Qt::ISODate), i < 30 ? QString::number(g) : QString());
        rig.connection.execute(QStringLiteral("COMMIT"));
        BirthdayGreetingsWindow &f = rig.open();
        QCOMPARE(f.pageBar()->maximum(), 2);
        QCOMPARE(f.pageLabel()->text(), QStringLiteral("Página 1 de 3"));
        f.pageBar()->setValue(2);
        QCOMPARE(f.pageLabel()->text(), QStringLiteral("Página 3 de 3"));
        QCOMPARE(f.contactList()->topLevelItemCount(), 20);
        f.groupCombo()->setCurrentIndex(1);
        f.showGroup();
        QCOMPARE(f.pageLabel()->text(), QStringLiteral("Página 1 de 1"));
        QCOMPARE(f.pageBar()->value(), 0);
        QCOMPARE(f.contactList()->topLevelItemCount(), 30);
    }

    void wholeListIsScheduledAndRecorded()
    {
        Rig rig;
        rig.sim.setNextSendId(55);
        rig.addContact(QStringLiteral("Ana"), QStringLiteral("34600000001"), QStringLiteral("1990-12-20"));
        rig.addContact(QStringLiteral("Luis"), QStringLiteral("34600000002"), QStringLiteral("1985-01-05"));
        rig.addContact(QStringLiteral("Eva"), QStringLiteral("34600000003"), QStringLiteral("1970-12-07"));
        BirthdayGreetingsWindow &f = rig.open();
        QVERIFY(rig.sendAndWait());
        QCOMPARE(rig.prompter.messageTexts(), QStringList{kOk});
        QCOMPARE(rig.prompter.lastCall().title, QStringLiteral("Envío de felicitaciones por SMS"));

        const auto posted = rig.sim.lastRequest(sim::Endpoint::FormResult);
        QVERIFY(posted);
        QCOMPARE(posted->value("nombre"), QStringLiteral("Luis||Eva||Ana"));
        QCOMPARE(posted->value("destino"), QStringLiteral("34600000002,34600000003,34600000001"));
        QCOMPARE(posted->value("fecha"), QStringLiteral("2027-01-05 12:00||2027-12-07 12:00||2026-12-20 12:00"));
        QCOMPARE(posted->value("ruta"), QStringLiteral("3"));
        QCOMPARE(posted->value("sub"), QStringLiteral("Enviar"));
        QCOMPARE(posted->value("mensaje"), QStringLiteral("Feliz cumpleaños [NOMBRE]"));

        const std::vector<db::Row> rows = rig.connection.select(QStringLiteral(
            "SELECT destinatario, id_web, f_programada, estado, bool_cumple, creditos, remitente, username, f_envio "
            "FROM Historial ORDER BY sid"));
        QCOMPARE(rows.size(), std::size_t(3));
        QCOMPARE(rows[0].value(0).toString(), QStringLiteral("34600000002"));
        QCOMPARE(rows[0].value(1).toString(), QStringLiteral("55"));
        QCOMPARE(rows[2].value(1).toString(), QStringLiteral("57"));
        QCOMPARE(rows[1].value(2).toString(), QStringLiteral("2027-12-07 12:00"));
        QCOMPARE(rows[1].value(3).toString(), QStringLiteral("0|0|0"));
        QCOMPARE(rows[1].value(4).toString(), QStringLiteral("1"));
        QCOMPARE(rows[1].value(5).toDouble(), 1.0);
        QCOMPARE(rows[1].value(6).toString(), QStringLiteral("Tienda"));
        QCOMPARE(rows[1].value(7).toString(), QStringLiteral("usu"));
        QCOMPARE(rows[1].value(8).toString(), kNow);
        QCOMPARE(rig.sim.send(56)->recipients.value(0).text, QStringLiteral("Feliz cumpleaños Eva"));

        // The list now sees the greetings still to come, the history was redrawn, and the form
        // page was asked for again with the raised counter.
        QCOMPARE(BirthdayGreetingsWindow::itemKey(f.contactList()->topLevelItem(0)), QStringLiteral("l0"));
        QCOMPARE(rig.historyRefreshes, 1);
        QCOMPARE(rig.sim.lastRequest(sim::Endpoint::FormPage)->value("try"), QStringLiteral("1"));
        QVERIFY(f.isFormReady());
        QVERIFY(!f.sendListButton()->isEnabled());
    }

    void sessionCookieHiddenFieldsAndRelativeActionAreKept()
    {
        Rig rig;
        rig.sim.setWebFormNeedsSession(true);
        rig.sim.setWebFormAction(QStringLiteral("../../extranet_nueva/SMS/sendsms.php"));
        rig.addContact(QStringLiteral("Ana"), QStringLiteral("34600000001"), QStringLiteral("1990-12-20"));
        rig.open();
        QVERIFY(rig.sendAndWait());
        QCOMPARE(rig.prompter.messageTexts(), QStringList{kOk});
        const auto posted = rig.sim.lastRequest(sim::Endpoint::FormResult);
        QCOMPARE(posted->method, QByteArray("POST"));
        QVERIFY(!posted->value("sesion").isEmpty());
        QVERIFY(posted->header("Cookie").contains(QByteArray("BRISESSID=").append(posted->value("sesion").toLatin1())));
        QCOMPARE(rig.rowCount(QStringLiteral("Historial")), 1);
    }

    void confirmedKeywordsAndOneContactFromThePopup()
    {
        Rig rig;
        rig.connection.execute(QStringLiteral("DELETE FROM Plantillas"));
        rig.addTemplate(QStringLiteral("Conf"), QStringLiteral("Hola [NOMBRE_CONFIRMAR], [NOMBRE_COMPLETO]"));
        rig.setAccount(QStringLiteral("0"), QStringLiteral("GMT +00:00"));   // no credit test for one contact
        rig.addContact(QStringLiteral("Ana"), QStringLiteral("34600000001"), QStringLiteral("1990-12-20"));
        const qint64 luis = rig.addContact(QStringLiteral("Luis"), QStringLiteral("34600000002"), QStringLiteral("1985-01-05"));
        BirthdayGreetingsWindow &f = rig.open();
        QVERIFY(f.openContactMenu(f.node(QStringLiteral("Telefono %1").arg(luis))));
        QVERIFY(rig.sendAndWait(false));
        QCOMPARE(rig.prompter.messageTexts(), QStringList{kOk});
        const auto posted = rig.sim.lastRequest(sim::Endpoint::FormResult);
        QCOMPARE(posted->value("mensaje"), QStringLiteral("Hola [NOMBRE], [NOMBRE_COMPLETO]"));
        QCOMPARE(posted->value("destino"), QStringLiteral("34600000002"));
        QCOMPARE(posted->value("nombre_completo"), QString());
        QCOMPARE(posted->value("fecha"), QStringLiteral("2027-01-05 13:00"));
        QCOMPARE(rig.connection.scalar(QStringLiteral("SELECT mensaje FROM Historial")).toString(),
                 QStringLiteral("Hola [NOMBRE], [NOMBRE_COMPLETO]"));
    }

    void theListOnShowIsWhatIsSent()
    {
        Rig rig;
        const qint64 g = rig.addGroup(QStringLiteral("Familia"));
        rig.addContact(QStringLiteral("Ana"), QStringLiteral("34600000001"), QStringLiteral("1990-12-20"), QString::number(g));
        const qint64 luis = rig.addContact(QStringLiteral("Luis"), QStringLiteral("34600000002"), QStringLiteral("1985-01-05"));
        BirthdayGreetingsWindow &f = rig.open();
        f.groupCombo()->setCurrentIndex(1);
        f.showGroup();
        f.groupCombo()->setCurrentIndex(0);   // chosen but not shown: the group still rules the send
        QVERIFY(rig.sendAndWait());
        QCOMPARE(rig.sim.lastRequest(sim::Endpoint::FormResult)->value("destino"), QStringLiteral("34600000001"));

        // A contact deleted after it was listed cannot be scheduled from the popup.
        f.showGroup();
        QVERIFY(f.openContactMenu(f.node(QStringLiteral("pContacto %1").arg(luis))));
        rig.connection.execute(QStringLiteral("DELETE FROM Agenda WHERE sid = ?1"), {luis});
        f.greetMenuContact();
        QCOMPARE(rig.prompter.lastCall().title, QStringLiteral("Datos de contacto insuficientes"));
        QCOMPARE(rig.sim.requestCount(sim::Endpoint::FormResult), 1);
    }

    // "Programar SMS felicitación" greets the contact the popup was opened on, even when the list
    // is redrawn under the open menu and the tree's current item has moved to the first contact;
    // a contact greeted meanwhile from elsewhere is not greeted again.
    void popupGreetsTheContactItWasOpenedOn()
    {
        Rig rig;
        rig.sim.setNextSendId(70);
        const qint64 ana = rig.addContact(QStringLiteral("Ana"), QStringLiteral("34600000001"), QStringLiteral("1990-01-10"));
        const qint64 luis = rig.addContact(QStringLiteral("Luis"), QStringLiteral("34600000002"), QStringLiteral("1985-03-05"));
        BirthdayGreetingsWindow &f = rig.open();
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QTreeWidget *tree = f.contactList();
        auto *menu = f.findChild<QMenu *>(QStringLiteral("mnurclick_recordatorio"));
        QVERIFY(menu);
        QAction *schedule = menu->actions().value(0);
        const auto openOn = [&](qint64 sid) {
            QTreeWidgetItem *item = f.node(QStringLiteral("pContacto %1").arg(sid));
            QVERIFY(item);
            Q_EMIT tree->customContextMenuRequested(tree->visualItemRect(item).center());
            QVERIFY(menu->isVisible());
            f.refreshContactList();
            tree->setCurrentItem(tree->topLevelItem(0));
        };

        openOn(luis);
        QCOMPARE(BirthdayGreetingsWindow::itemKey(tree->currentItem()), QStringLiteral("pContacto %1").arg(ana));
        QSignalSpy pages(&f, &BirthdayGreetingsWindow::pageHandled);
        QVERIFY(testing::choose(menu, schedule));
        while (pages.count() < 2)
            QVERIFY(pages.wait(8000));
        QCOMPARE(rig.prompter.messageTexts(), QStringList{kOk});
        QCOMPARE(rig.sim.lastRequest(sim::Endpoint::FormResult)->value("destino"), QStringLiteral("34600000002"));
        QCOMPARE(rig.connection.scalar(QStringLiteral("SELECT destinatario FROM Historial")).toString(),
                 QStringLiteral("34600000002"));

        // Ana greeted from another workstation while her menu is up.
        QVERIFY(f.isFormReady());
        openOn(ana);
        rig.connection.execute(QStringLiteral("INSERT INTO Historial (destinatario, f_programada, bool_cumple) "
                                            "VALUES ('34600000001', '2027-01-10 12:00', '1')"));
        QVERIFY(testing::choose(menu, schedule));
        QCOMPARE(rig.prompter.lastCall().text,
                 QStringLiteral("Este contacto ya tiene programada la felicitación de su próximo cumpleaños."));
        QCOMPARE(rig.sim.requestCount(sim::Endpoint::FormResult), 1);
        QCOMPARE(rig.rowCount(QStringLiteral("Historial")), 2);
        QCOMPARE(BirthdayGreetingsWindow::itemKey(tree->topLevelItem(0)), QStringLiteral("l0"));
    }

    void checksStopTheSendBeforeTheGateway()
    {
        Rig rig;
        rig.setAccount(QStringLiteral("2"));
        rig.addContact(QStringLiteral("Ana"), QStringLiteral("34600000001"), QStringLiteral("1990-12-20"));
        rig.addContact(QStringLiteral("Luis"), QStringLiteral("34600000002"), QStringLiteral("1985-01-05"));
        BirthdayGreetingsWindow &f = rig.open();
        f.sendWholeList();
        QCOMPARE(rig.prompter.lastCall().title, QStringLiteral("Crédito insuficiente"));
        QCOMPARE(rig.prompter.lastCall().text, QStringLiteral("No dispone de suficiente crédito para realizar el envio."));

        rig.connection.execute(QStringLiteral("UPDATE Plantillas SET mensaje = 'Hola [DIRECCION]'"));
        rig.connection.execute(QStringLiteral("UPDATE Agenda SET direccion = 'Calle A||B' WHERE nombre = 'Ana'"));
        f.sendWholeList();   // both checks fail: only the data message
        QCOMPARE(rig.prompter.lastCall().title, QStringLiteral("Datos de contacto insuficientes"));
        QCOMPARE(rig.prompter.count(), 2);

        rig.connection.execute(QStringLiteral("DELETE FROM Usuario"));
        f.sendWholeList();
        QCOMPARE(rig.prompter.lastCall().text, QStringLiteral("Por favor, primero introduzca la configuración en el menú Archivo."));
        QCOMPARE(rig.prompter.lastCall().title, QStringLiteral("Necesaria autentificación"));

        rig.setAccount(QStringLiteral("100"));
        rig.connection.execute(QStringLiteral("UPDATE Plantillas SET mensaje = ''"));
        f.sendWholeList();
        QCOMPARE(rig.prompter.lastCall().text,
                 QStringLiteral("Por favor, escriba una plantilla con texto válido antes de enviar el mensaje."));

        QCOMPARE(rig.sim.requestCount(sim::Endpoint::FormResult), 0);
        QVERIFY(f.isFormReady());
        QVERIFY(f.sendListButton()->isEnabled());
    }

    void refusalsAndBrokenResultsRecordNothing_data()
    {
        QTest::addColumn<int>("faultCode");
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("message");
        QTest::newRow("refused") << int(sim::FaultKind::CustomBody) << "5|Insufficient credits|" << "Insufficient credits";
        // The gateway had the whole submission and what came back is neither its success nor its
        // refusal: the greetings may be scheduled, so no invitation to simply send them again.
        QTest::newRow("no separator") << int(sim::FaultKind::NoSeparator) << QString() << kMaybeSent;
        QTest::newRow("empty") << int(sim::FaultKind::EmptyBody) << QString() << kMaybeSent;
        QTest::newRow("server error page") << int(sim::FaultKind::HttpError) << QString() << kMaybeSent;
        QTest::newRow("error page holding a bar") << int(sim::FaultKind::CustomBody)
                                                  << "<html><body>Error 502 | Proxy</body></html>" << kMaybeSent;
        QTest::newRow("cut short") << int(sim::FaultKind::Truncated) << QString() << kMaybeSent;
        QTest::newRow("sent elsewhere") << int(sim::FaultKind::Redirect) << QString() << kMaybeSent;
        QTest::newRow("no reply at all") << int(sim::FaultKind::Hang) << QString() << kMaybeSent;
        QTest::newRow("connection dropped after the submission") << -int(sim::FaultKind::Hang) << QString()
                                                                 << kMaybeSent;
    }
    void refusalsAndBrokenResultsRecordNothing()
    {
        QFETCH(int, faultCode);
        QFETCH(QString, body);
        QFETCH(QString, message);
        Rig rig;
        rig.addContact(QStringLiteral("Ana"), QStringLiteral("34600000001"), QStringLiteral("1990-12-20"));
        BirthdayGreetingsWindow &f = rig.open();
        sim::Fault fault;
        fault.kind = sim::FaultKind(qAbs(faultCode));
        fault.body = body;
        // A negative fault: the hang ends soon by dropping the connection, before the time-out.
        fault.delay = std::chrono::milliseconds(faultCode < 0 ? 100 : 20000);
        rig.sim.armFault(sim::Endpoint::FormResult, fault);
        if (faultCode == int(sim::FaultKind::Hang))
            f.browser().setTimeout(std::chrono::milliseconds(300));
        QVERIFY(rig.sendAndWait());
        rig.sim.releaseHangs();
        QCOMPARE(rig.prompter.count(), 1);
        QCOMPARE(rig.prompter.lastCall().title, QStringLiteral("Error"));
        if (!message.isEmpty())
            QCOMPARE(rig.prompter.lastCall().text, message);
        QCOMPARE(rig.rowCount(QStringLiteral("Historial")), 0);
        QCOMPARE(rig.historyRefreshes, 0);
        // The form page came back: the window can send again.
        QCOMPARE(rig.sim.requestCount(sim::Endpoint::FormPage), 2);
        QCOMPARE(rig.sim.requestCount(sim::Endpoint::FormResult), 1);
        QVERIFY(f.isFormReady());
        QVERIFY(f.sendListButton()->isEnabled());
    }

    // The gateway accepted the greetings and charged them, but the identifiers in its answer
    // cannot be read: they are recorded all the same (with no identifier), the user hears both,
    // and the contacts are not listed or greeted again.
    void acceptedGreetingsWithoutReadableIdentifiersAreRecorded_data()
    {
        QTest::addColumn<QString>("body");
        QTest::newRow("not a number") << "0|IN_PROGRESS|abc";
        QTest::newRow("no identifier") << "0|IN_PROGRESS";
        QTest::newRow("too small for the recipients") << "0|IN_PROGRESS|1";
    }
    void acceptedGreetingsWithoutReadableIdentifiersAreRecorded()
    {
        QFETCH(QString, body);
        Rig rig;
        rig.addContact(QStringLiteral("Ana"), QStringLiteral("34600000001"), QStringLiteral("1990-12-20"));
        rig.addContact(QStringLiteral("Luis"), QStringLiteral("34600000002"), QStringLiteral("1985-01-05"));
        BirthdayGreetingsWindow &f = rig.open();
        rig.sim.armCustomReply(sim::Endpoint::FormResult, body);
        QVERIFY(rig.sendAndWait());
        QCOMPARE(rig.prompter.count(), 1);
        QCOMPARE(rig.prompter.lastCall().title, QStringLiteral("Envío de felicitaciones por SMS"));
        QCOMPARE(rig.prompter.lastCall().text, kOk + QLatin1Char('\n') + kUnreadableIdsMessage);
        QCOMPARE(rig.connection.scalar(QStringLiteral("SELECT group_concat(destinatario || ':' || quote(id_web) || ':' || "
                                                      "bool_cumple || ':' || creditos) FROM (SELECT * FROM Historial "
                                                      "ORDER BY sid)"))
                     .toString(),
                 QStringLiteral("34600000002:'':1:1.0,34600000001:'':1:1.0"));
        QCOMPARE(rig.historyRefreshes, 1);

        // Greeted: no longer listed, and a second press sends nothing.
        QCOMPARE(BirthdayGreetingsWindow::itemKey(f.contactList()->topLevelItem(0)), QStringLiteral("l0"));
        QVERIFY(f.isFormReady());
        f.sendWholeList();
        QCOMPARE(rig.sim.requestCount(sim::Endpoint::FormResult), 1);
        QCOMPARE(rig.rowCount(QStringLiteral("Historial")), 2);
    }

    void aFailedHistoryWriteIsNotReportedAsSuccess()
    {
        Rig rig;
        rig.addContact(QStringLiteral("Ana"), QStringLiteral("34600000001"), QStringLiteral("1990-12-20"));
        rig.addContact(QStringLiteral("Luis"), QStringLiteral("34600000002"), QStringLiteral("1985-01-05"));
        rig.connection.execute(QStringLiteral("CREATE TRIGGER romper BEFORE INSERT ON Historial WHEN NEW.destinatario = "
                                            "'34600000001' BEGIN SELECT RAISE(ABORT, 'disco lleno'); END"));
        rig.open();
        QVERIFY(rig.sendAndWait());
        QCOMPARE(rig.prompter.count(), 1);
        QVERIFY(rig.prompter.lastCall().text != kOk);
        QVERIFY(rig.prompter.lastCall().text.contains(QStringLiteral("se han cobrado")));
        QCOMPARE(rig.rowCount(QStringLiteral("Historial")), 0);   // all or nothing
        QCOMPARE(rig.historyRefreshes, 0);
        // Both charged greetings wait for the next start.
        QCOMPARE(recording::readPendingRecords(recording::pendingSendsPath(rig.connection.path())).size(), 2);
    }

    // Another workstation holds the shared file past the busy time-out while the greetings are
    // recorded: they were charged, so they wait in the pending file, count as scheduled (the
    // contacts are not listed or sent again) and reach the history at the next start, once.
    void aChargedGreetingIsKeptWhileTheDatabaseIsBusy()
    {
        Rig rig;
        rig.sim.setNextSendId(70);
        rig.addContact(QStringLiteral("Ana"), QStringLiteral("34600000001"), QStringLiteral("1990-12-20"));
        rig.addContact(QStringLiteral("Luis"), QStringLiteral("34600000002"), QStringLiteral("1985-01-05"));
        BirthdayGreetingsWindow &f = rig.open();
        {
            testing::OtherWorkstation other(rig.connection, false);
            QVERIFY(rig.sendAndWait());
            QCOMPARE(other.timesGivenUp(), recording::kSaveAttempts);
        }
        QCOMPARE(rig.prompter.count(), 1);
        QCOMPARE(rig.prompter.lastCall().title, QStringLiteral("Envío de felicitaciones por SMS"));
        QVERIFY(rig.prompter.lastCall().text.contains(QStringLiteral("se han cobrado")));
        QVERIFY(rig.prompter.lastCall().text.contains(QStringLiteral("próxima vez que inicie")));
        QCOMPARE(rig.rowCount(QStringLiteral("Historial")), 0);
        const QList<recording::SendRecord> waiting =
            recording::readPendingRecords(recording::pendingSendsPath(rig.connection.path()));
        QCOMPARE(waiting.size(), 2);
        QVERIFY(waiting.first().birthday);

        // Scheduled, as far as the list and both sends are concerned.
        QCOMPARE(BirthdayGreetingsWindow::itemKey(f.contactList()->topLevelItem(0)), QStringLiteral("l0"));
        const std::optional<Contact> ana = contactBySid(rig.connection, 1);
        QVERIFY(ana);
        QVERIFY(hasPendingGreeting(rig.connection, *ana, QDate(2026, 12, 8)));
        f.sendWholeList();
        QCOMPARE(rig.sim.requestCount(sim::Endpoint::FormResult), 1);

        const recording::PendingWrite written = recording::writePendingSends(rig.connection);
        QCOMPARE(written.written, 2);
        QCOMPARE(rig.connection.scalar(QStringLiteral("SELECT group_concat(id_web || ':' || bool_cumple || ':' || creditos) "
                                                      "FROM (SELECT * FROM Historial ORDER BY sid)"))
                     .toString(),
                 QStringLiteral("70:1:1.0,71:1:1.0"));
        QCOMPARE(recording::writePendingSends(rig.connection).written, 0);
        QCOMPARE(rig.rowCount(QStringLiteral("Historial")), 2);
    }

    // Pressed after midnight, or once the contacts changed, "Enviar toda la lista" shows the list
    // again and says so instead of greeting contacts the user never saw.
    void theWholeListSendIsTheListOnShow()
    {
        Rig rig;
        rig.addContact(QStringLiteral("Hoy"), QStringLiteral("34600000001"), QStringLiteral("1990-12-08"));
        BirthdayGreetingsWindow &f = rig.open(QStringLiteral("2026-12-08 23:59"));
        QVERIFY(f.sendListButton()->isEnabled());
        // Tomorrow's contact, added by another workstation while the list is on show.
        rig.addContact(QStringLiteral("Mañana"), QStringLiteral("34600000002"), QStringLiteral("1990-12-09"));
        f.sendWholeList();
        QCOMPARE(rig.prompter.messageTexts(), QStringList{kListChanged});
        QCOMPARE(rig.prompter.lastCall().title, QStringLiteral("Felicitar cumpleaños"));
        QCOMPARE(rig.sim.requestCount(sim::Endpoint::FormResult), 0);
        QCOMPARE(f.contactList()->topLevelItemCount(), 2);

        // Past midnight the birthday of the list on show is gone: nothing goes before it is shown.
        rig.clock = QStringLiteral("2026-12-09 00:01");
        f.sendWholeList();
        QCOMPARE(rig.prompter.messageTexts(), (QStringList{kListChanged, kListChanged}));
        QCOMPARE(rig.sim.requestCount(sim::Endpoint::FormResult), 0);

        // What is shown now is what goes.
        QVERIFY(rig.sendAndWait());
        QCOMPARE(rig.prompter.lastCall().text, kOk);
        QCOMPARE(rig.sim.lastRequest(sim::Endpoint::FormResult)->value("fecha"),
                 QStringLiteral("2027-12-08 12:00||2026-12-09 12:00"));
    }

    void formPageThatIsNotTheFormShowsTheConnectionMessage()
    {
        Rig rig;
        rig.addContact(QStringLiteral("Ana"), QStringLiteral("34600000001"), QStringLiteral("1990-12-20"));
        rig.sim.armCustomReply(sim::Endpoint::FormPage, QStringLiteral("<HTML><BODY>Mantenimiento</BODY></HTML>"));
        BirthdayGreetingsWindow &f = rig.open();
        QCOMPARE(rig.prompter.messageTexts(), QStringList{kNoConnection});
        QCOMPARE(rig.prompter.lastCall().title, QStringLiteral("Error de conexión"));
        QVERIFY(!f.isFormReady());
        QVERIFY(!f.sendListButton()->isEnabled());
        QCOMPARE(f.formRequestCount(), 1);
        // A send attempt while not ready only asks for the page again, with the current counter.
        f.sendWholeList();
        QVERIFY(rig.waitForPage());
        QCOMPARE(rig.sim.lastRequest(sim::Endpoint::FormPage)->value("try"), QStringLiteral("1"));
        QCOMPARE(rig.sim.requestCount(sim::Endpoint::FormResult), 0);
        QVERIFY(f.isFormReady());
    }

    void formPageWithoutItsFieldsOrUnreachable()
    {
        Rig rig;
        rig.addContact(QStringLiteral("Ana"), QStringLiteral("34600000001"), QStringLiteral("1990-12-20"));
        rig.sim.armCustomReply(sim::Endpoint::FormPage,
                               QStringLiteral("<HTML><BODY><FORM action=\"/x\"><INPUT type=hidden name=mensaje></FORM></BODY></HTML>"));
        BirthdayGreetingsWindow &f = rig.open();
        QCOMPARE(rig.prompter.messageTexts(), QStringList{kNoConnection});
        QVERIFY(!f.isFormReady());
        rig.sim.stop();
        f.sendWholeList();
        QVERIFY(rig.waitForPage());
        QCOMPARE(rig.prompter.messageTexts(), (QStringList{kNoConnection, kNoConnection}));
        QVERIFY(!f.sendListButton()->isEnabled());
    }

    void invalidFormAndResultPagesSayWhy()
    {
        Rig rig;
        rig.addContact(QStringLiteral("Ana"), QStringLiteral("34600000001"), QStringLiteral("1990-12-20"));
        QString deep;
        for (int i = 0; i < 100000; ++i)
            deep += QStringLiteral("<div>");
        rig.sim.armCustomReply(sim::Endpoint::FormPage, QStringLiteral("<HTML><BODY>") + deep
                                                            + QStringLiteral("<FORM action=x></FORM></BODY></HTML>"));
        BirthdayGreetingsWindow &f = rig.open();
        QCOMPARE(rig.prompter.count(), 1);
        QCOMPARE(rig.prompter.lastCall().title, QStringLiteral("Página no válida"));
        QVERIFY(rig.prompter.lastCall().text.contains(QStringLiteral("no es válida")));
        QVERIFY(!f.isFormReady());
        QVERIFY(!f.sendListButton()->isEnabled());

        // The next form page is the gateway's own; its result page is not readable.
        f.sendWholeList();
        QVERIFY(rig.waitForPage());
        QVERIFY(f.isFormReady());
        sim::Fault fault;
        fault.kind = sim::FaultKind::CustomBody;
        fault.body = deep + QStringLiteral("0|IN_PROGRESS|57");
        rig.sim.armFault(sim::Endpoint::FormResult, fault);
        QVERIFY(rig.sendAndWait());
        QCOMPARE(rig.prompter.count(), 2);
        QCOMPARE(rig.prompter.lastCall().title, QStringLiteral("Página no válida"));
        QVERIFY(rig.prompter.lastCall().text.endsWith(kMaybeSent));
        QCOMPARE(rig.rowCount(QStringLiteral("Historial")), 0);
        QVERIFY(f.isFormReady());
    }

    void formPagePastTheCapOrFullOfAttributesIsNotValid()
    {
        Rig rig;
        rig.addContact(QStringLiteral("Ana"), QStringLiteral("34600000001"), QStringLiteral("1990-12-20"));
        // Past the browser's size cap: said to be no valid page, not a missing connection.
        rig.sim.armCustomReply(sim::Endpoint::FormPage,
                               QStringLiteral("<HTML><BODY>") + QString(int(HiddenBrowser::kMaxPageSize), QLatin1Char('x')));
        BirthdayGreetingsWindow &f = rig.open();
        QCOMPARE(rig.prompter.count(), 1);
        QCOMPARE(rig.prompter.lastCall().title, QStringLiteral("Página no válida"));
        QVERIFY(!f.isFormReady());

        // Under the cap, one tag with attributes by the thousand: refused the same way.
        QString tag = QStringLiteral("<HTML><BODY><FORM action=x></FORM><div");
        for (int i = 0; tag.size() + 16 < kMaxParsedPageSize; ++i)
            tag += QStringLiteral(" a") + QString::number(i);
        rig.sim.armCustomReply(sim::Endpoint::FormPage, tag + QStringLiteral(">"));
        f.sendWholeList();
        QVERIFY(rig.waitForPage());
        QCOMPARE(rig.prompter.count(), 2);
        QCOMPARE(rig.prompter.lastCall().title, QStringLiteral("Página no válida"));
        QVERIFY(!f.isFormReady());

        // A result page past the cap: the send went out, its outcome cannot be read.
        f.sendWholeList();
        QVERIFY(rig.waitForPage());
        QVERIFY(f.isFormReady());
        rig.sim.armCustomReply(sim::Endpoint::FormResult, QString(int(HiddenBrowser::kMaxPageSize) + 1, QLatin1Char('|')));
        QVERIFY(rig.sendAndWait());
        QCOMPARE(rig.prompter.count(), 3);
        QCOMPARE(rig.prompter.lastCall().title, QStringLiteral("Página no válida"));
        QCOMPARE(rig.rowCount(QStringLiteral("Historial")), 0);
    }

    void counterWrapsPast32000()
    {
        Rig rig;
        BirthdayGreetingsWindow &f = rig.open();
        f.setFormRequestCount(32000);
        // Any page completion clears readiness; a send attempt then only asks for the page.
        f.onPageLoaded(LoadedPage{});
        QVERIFY(!f.isFormReady());
        f.sendWholeList();
        QVERIFY(rig.waitForPage());
        QCOMPARE(rig.sim.lastRequest(sim::Endpoint::FormPage)->value("try"), QStringLiteral("32000"));
        QCOMPARE(f.formRequestCount(), 0);
        f.setFormRequestCount(7);
        f.onPageLoaded(LoadedPage{});
        f.sendWholeList();
        QVERIFY(rig.waitForPage());
        QCOMPARE(f.formRequestCount(), 8);
    }
};

QTEST_MAIN(TestBirthdays)
#include "test_birthdays.moc"
