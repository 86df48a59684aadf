#include "web_rig.h"

#include "importexport/web/web_upload_window.h"
#include "importexport/web/web_upload.h"
#include "platform/net/gateway_channel.h"
#include "platform/net/too_large_reply.h"

#include <QCheckBox>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>

using namespace importexport::web;

class TestWebUpload final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void progress_data()
    {
        QTest::addColumn<int>("answered");
        QTest::addColumn<int>("queued");
        QTest::addColumn<QString>("expected");
        QTest::newRow("start") << 0 << 4 << "Progreso 0%... Por favor, espere.";
        QTest::newRow("quarter") << 1 << 3 << "Progreso 25%... Por favor, espere.";
        QTest::newRow("three quarters") << 3 << 1 << "Progreso 75%... Por favor, espere.";
        QTest::newRow("half to even down") << 1 << 7 << "Progreso 12%... Por favor, espere.";
        QTest::newRow("half to even up") << 3 << 5 << "Progreso 38%... Por favor, espere.";
        QTest::newRow("thirds") << 1 << 2 << "Progreso 33%... Por favor, espere.";
    }
    void progress()
    {
        QFETCH(int, answered);
        QFETCH(int, queued);
        QFETCH(QString, expected);
        QCOMPARE(progressText(answered, queued), expected);
    }

    void classifiesByPrecedence()
    {
        QCOMPARE(classifyUpload(QStringLiteral("Error de autentificacion")), UploadReply::AuthError);
        QCOMPARE(classifyUpload(QStringLiteral("Error de falta de datos")), UploadReply::MissingData);
        QCOMPARE(classifyUpload(QStringLiteral("Ya existe el contacto. Contacto creado con exito")), UploadReply::NotCreated);
        QCOMPARE(classifyUpload(QStringLiteral("Ha habido un error al añadir el contacto")), UploadReply::NotCreated);
        QCOMPARE(classifyUpload(QStringLiteral("Contacto creado con exito")), UploadReply::Created);
        QCOMPARE(classifyUpload(QString()), UploadReply::Unknown);
    }

    void queueLeavesOutContactsWithoutNameOrPhone()
    {
        WebRig rig;
        rig.addContact("Zoe", "34600000003");
        rig.addContact("", "34600000004");
        rig.addContact(QVariant(), "34600000005");
        rig.addContact("Sin", "");
        rig.addContact("Nulo", QVariant());
        rig.addContact("ana", "34600000001", QVariant(), "Calle", QVariant(), QVariant());
        const auto queue = uploadQueue(rig.connection);
        QCOMPARE(queue.size(), size_t(2));
        QCOMPARE(queue[0].name, QStringLiteral("ana"));
        QCOMPARE(queue[0].fullName, QString());
        QCOMPARE(queue[0].address, QStringLiteral("Calle"));
        QCOMPARE(queue[1].name, QStringLiteral("Zoe"));
    }

    // The contacts go up in the order the lists show them, accents and "ñ" in their Spanish place.
    void queueFollowsTheSpanishNameOrder()
    {
        WebRig rig;
        for (const char *name : {"Zoë", "Ñandú", "Nuria", "álvaro", "Beto"})
            rig.addContact(QString::fromUtf8(name), "34600000001");
        QStringList order;
        for (const UploadContact &c : uploadQueue(rig.connection))
            order << c.name;
        QCOMPARE(order, (QStringList{QStringLiteral("álvaro"), QStringLiteral("Beto"), QStringLiteral("Nuria"),
                                     QStringLiteral("Ñandú"), QStringLiteral("Zoë")}));
    }

    void requestEncodesEveryValue()
    {
        const QString url = uploadRequestUrl(QStringLiteral("http://h/x.php"), Account{"ana lópez", "a&b+c%"},
                                             UploadContact{"O'Neill & Hijos", "+34 600", "", "", "", "ñ"}, true);
        QCOMPARE(url, QStringLiteral("http://h/x.php?usuario=ana+l%F3pez&clave=a%26b%2Bc%25&nombre=O%27Neill+%26+Hijos"
                                     "&telefono=%2B34+600&nombre_completo=&direccion=&telefono_2=&comentario=%F1"
                                     "&opc_telefono=1"));
    }

    void windowUploadsEveryContact()
    {
        WebRig rig;
        rig.sim.addAccount(QStringLiteral("ana"), QStringLiteral("clave 1"));
        rig.addAccountRow(QStringLiteral("ana"), QStringLiteral("clave 1"));
        rig.addContact("Bea", "34600000002", QVariant(), QVariant(), QVariant(), QVariant());
        rig.addContact("Álex O'Neill", "34600000001", "Álex", "C/ Mayor & 3", "91", "nota");
        rig.addContact("Carla", "34600000003");
        rig.addContact("Dani", "34600000004");
        rig.sim.addWebContact(QStringLiteral("ana"), {QStringLiteral("Carla"), QStringLiteral("34600000003")});
        WebUploadWindow form(*rig.context);
        QStringList progress;
        connect(&form.browser(), &net::GatewayChannel::finished, this,
                [&] { progress << form.progressLabel->text(); });
        QSignalSpy ended(&form, &WebUploadWindow::uploadEnded);
        form.startUpload();
        QVERIFY(rig.busy.isBusy());
        QVERIFY(form.progressLabel->isVisibleTo(&form));
        QCOMPARE(form.progressLabel->text(), QStringLiteral("Progreso 0%... Por favor, espere."));
        QVERIFY(ended.wait(10000));
        QCOMPARE(ended.first().first().toInt(), 3);
        // Read after each reply was handled: the next contact's text (100 never shows); the last reply
        // ends the upload and clears it.
        QCOMPARE(progress, (QStringList{"Progreso 25%... Por favor, espere.", "Progreso 50%... Por favor, espere.",
                                         "Progreso 75%... Por favor, espere.", QString()}));
        // The upload is over: no progress text is left saying to wait.
        QVERIFY(!form.progressLabel->isVisibleTo(&form));
        QVERIFY(!rig.busy.isBusy());
        QCOMPARE(rig.prompter.count(), 1);
        QCOMPARE(rig.prompter.lastCall().text, QStringLiteral("Se han introducido con exito 3 contactos en ") + rig.sim.baseUrl());
        QCOMPARE(rig.prompter.lastCall().title, QStringLiteral("Contactos introducidos con exito"));
        const auto sent = rig.sim.requests(sim::Endpoint::ImportBook);
        QCOMPARE(sent.size(), 4);
        // In the lists' order: "Álex" sits with the A's.
        QCOMPARE(sent[0].value("nombre"), QStringLiteral("Álex O'Neill"));
        QCOMPARE(sent[1].value("nombre"), QStringLiteral("Bea"));
        QCOMPARE(sent[1].value("nombre_completo"), QString());
        QVERIFY(sent[1].has("comentario"));
        const auto alex = std::find_if(sent.begin(), sent.end(),
                                       [](const sim::LoggedRequest &r) { return r.value("telefono") == "34600000001"; });
        QVERIFY(alex != sent.end());
        QCOMPARE(alex->value("nombre"), QStringLiteral("Álex O'Neill"));
        QCOMPARE(alex->value("direccion"), QStringLiteral("C/ Mayor & 3"));
        QCOMPARE(alex->value("clave"), QStringLiteral("clave 1"));
        QCOMPARE(alex->value("opc_telefono"), QStringLiteral("0"));
        QCOMPARE(rig.sim.webContacts(QStringLiteral("ana")).size(), 4);
    }

    void refusalOnTheFirstContactShowsNoFinalBox()
    {
        WebRig rig;
        rig.sim.addAccount(QStringLiteral("ana"), QStringLiteral("bien"));
        rig.addAccountRow(QStringLiteral("ana"), QStringLiteral("mal"));
        rig.addContact("Bea", "34600000002");
        rig.addContact("Carla", "34600000003");
        WebUploadWindow form(*rig.context);
        QSignalSpy ended(&form, &WebUploadWindow::uploadEnded);
        form.startUpload();
        QVERIFY(ended.wait(10000));
        QCOMPARE(rig.prompter.count(), 1);
        QCOMPARE(rig.prompter.lastCall().title, QStringLiteral("Error de autentificacion"));
        QCOMPARE(rig.sim.requestCount(sim::Endpoint::ImportBook), 1);
        QVERIFY(!rig.busy.isBusy());
    }

    void connectionFailureAfterSomeCreatedReportsThem()
    {
        WebRig rig;
        rig.sim.addAccount(QStringLiteral("ana"), QStringLiteral("bien"));
        rig.addAccountRow(QStringLiteral("ana"), QStringLiteral("bien"));
        for (int i = 1; i <= 5; ++i)
            rig.addContact(QStringLiteral("C%1").arg(i), QStringLiteral("3460000000%1").arg(i));
        // The fourth request gets an empty page: a lost connection.
        rig.sim.armFault(sim::Endpoint::ImportBook, sim::Fault{sim::FaultKind::Delay, 3, std::chrono::milliseconds(1)});
        rig.sim.armFault(sim::Endpoint::ImportBook, sim::FaultKind::EmptyBody);
        WebUploadWindow form(*rig.context);
        QSignalSpy ended(&form, &WebUploadWindow::uploadEnded);
        form.startUpload();
        QVERIFY(ended.wait(10000));
        const QStringList texts = rig.prompter.messageTexts();
        QCOMPARE(texts.size(), 2);
        QCOMPARE(rig.prompter.calls().at(0).title, QStringLiteral("Error de conexión"));
        QCOMPARE(texts.at(1), QStringLiteral("Se han introducido con exito 3 contactos en ") + rig.sim.baseUrl());
        QCOMPARE(form.queued(), 1);
    }

    // The contact may have been created at the gateway: the upload stops there, and the user is
    // told to look before uploading again, not that the connection failed.
    void replyPastTheCapIsTooLargeNotAConnectionFailure()
    {
        WebRig rig;
        rig.sim.addAccount(QStringLiteral("ana"), QStringLiteral("bien"));
        rig.addAccountRow(QStringLiteral("ana"), QStringLiteral("bien"));
        rig.addContact("Bea", "34600000002");
        rig.addContact("Carla", "34600000003");
        WebUploadWindow form(*rig.context);
        // The cap lowered below the reply stands in for a reply past the real one.
        form.browser().setReplyLimit(4);
        QSignalSpy ended(&form, &WebUploadWindow::uploadEnded);
        form.startUpload();
        QVERIFY(ended.wait(10000));
        QCOMPARE(ended.first().first().toInt(), 0);
        QCOMPARE(rig.prompter.messageTexts(), QStringList{net::kTooLargeRequestMessage});
        QCOMPARE(rig.prompter.lastCall().title, net::kTooLargeReplyTitle);
        QCOMPARE(rig.sim.requestCount(sim::Endpoint::ImportBook), 1);
        QCOMPARE(form.queued(), 1);
        QVERIFY(!rig.busy.isBusy());
    }

    // The gateway took the contact, but what came back is not one of its answers (or nothing came
    // before the time-out): the user is told that contact may be on the account, not that the
    // connection failed, and the progress text goes.
    void unreadableAnswerMayHaveCreatedTheContact_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<bool>("timesOut");
        QTest::newRow("empty body") << int(sim::FaultKind::EmptyBody) << false;
        QTest::newRow("error page") << int(sim::FaultKind::NoSeparator) << false;
        QTest::newRow("HTTP 500") << int(sim::FaultKind::HttpError) << false;
        QTest::newRow("time-out") << int(sim::FaultKind::Hang) << true;
    }
    void unreadableAnswerMayHaveCreatedTheContact()
    {
        QFETCH(int, fault);
        QFETCH(bool, timesOut);
        WebRig rig;
        rig.sim.addAccount(QStringLiteral("ana"), QStringLiteral("bien"));
        rig.addAccountRow(QStringLiteral("ana"), QStringLiteral("bien"));
        rig.addContact("Bea", "34600000002");
        rig.addContact("Carla", "34600000003");
        rig.addContact("Dani", "34600000004");
        // The second contact is created at the gateway, and its answer is lost.
        rig.sim.armFault(sim::Endpoint::ImportBook, sim::Fault{sim::FaultKind::Delay, 1, std::chrono::milliseconds(1)});
        rig.sim.armFault(sim::Endpoint::ImportBook, sim::Fault{sim::FaultKind(fault), 1, std::chrono::milliseconds(30000)});
        WebUploadWindow form(*rig.context);
        if (timesOut)
            form.browser().setTimeout(std::chrono::milliseconds(500));
        QSignalSpy ended(&form, &WebUploadWindow::uploadEnded);
        form.startUpload();
        QVERIFY(ended.wait(10000));
        QCOMPARE(rig.sim.webContacts(QStringLiteral("ana")).size(), 2);
        QCOMPARE(ended.first().first().toInt(), 1);
        const QStringList texts = rig.prompter.messageTexts();
        QCOMPARE(texts.size(), 2);
        QCOMPARE(texts.at(0), QStringLiteral("La respuesta del servidor no ha llegado o no se ha podido leer, y la "
                                             "exportación se ha detenido. Es posible que el último contacto enviado, "
                                             "\"Carla\", se haya creado en ")
                                  + rig.sim.baseUrl() + QStringLiteral(": compruébelo antes de volver a exportar."));
        QCOMPARE(rig.prompter.calls().at(0).title, QStringLiteral("Error de conexión"));
        QCOMPARE(texts.at(1), QStringLiteral("Se han introducido con exito 1 contactos en ") + rig.sim.baseUrl());
        QVERIFY(!rig.busy.isBusy());
        QVERIFY(form.progressLabel->text().isEmpty());
        QVERIFY(!form.progressLabel->isVisibleTo(&form));
    }

    // A request that never left (nothing listens at the address): nothing can have been created.
    void requestThatNeverLeftIsAConnectionFailure()
    {
        WebRig rig;
        rig.addAccountRow(QStringLiteral("ana"), QStringLiteral("bien"));
        rig.addContact("Bea", "34600000002");
        rig.sim.stop();
        WebUploadWindow form(*rig.context);
        QSignalSpy ended(&form, &WebUploadWindow::uploadEnded);
        form.startUpload();
        QVERIFY(ended.wait(10000));
        QCOMPARE(rig.prompter.messageTexts(),
                 QStringList{QStringLiteral("Ha habido un error con la conexión a Internet. Por favor, intentelo de "
                                            "nuevo mas tarde.")});
        QVERIFY(form.progressLabel->text().isEmpty());
        QVERIFY(!form.progressLabel->isVisibleTo(&form));
    }

    void emptyBookAndMissingAccount()
    {
        WebRig rig;
        WebUploadWindow form(*rig.context);
        form.startUpload();
        QCOMPARE(rig.prompter.lastCall().title, QStringLiteral("Faltan datos de usuario"));
        rig.addAccountRow(QStringLiteral("ana"), QStringLiteral("x"));
        rig.addContact("", "34600000001");
        form.startUpload();
        QCOMPARE(rig.prompter.lastCall().title, QStringLiteral("Agenda vacia"));
        QCOMPARE(rig.prompter.lastCall().text, QStringLiteral("No existe ningún contacto en la agenda"));
        QCOMPARE(rig.sim.requestCount(sim::Endpoint::ImportBook), 0);
        QVERIFY(!rig.busy.isBusy());
    }
};

QTEST_MAIN(TestWebUpload)
#include "test_web_upload.moc"
