#include "dialog_fixture.h"

#include "platform/net/too_large_reply.h"

#include "account/account_settings_dialog.h"
#include "account/sender_admin.h"
#include "account/sender_admin_dialog.h"
#include "platform/ui/progress_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using account::senders::ReplyKind;

namespace {

QStringList entries(const QListWidget *list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

QStringList entries(const QComboBox *combo)
{
    QStringList out;
    for (int i = 0; i < combo->count(); ++i)
        out << combo->itemText(i);
    return out;
}

void selectText(QListWidget *list, const QString &text)
{
    const auto found = list->findItems(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    QVERIFY(!found.isEmpty());
    list->setCurrentItem(found.first());
}

} // namespace

class TestSenderAdmin final : public QObject {
    Q_OBJECT

    std::unique_ptr<DialogFixture> f;

    // Opens the window and waits for the account's list.
    account::SenderAdminDialog *openLoaded()
    {
        account::SenderAdminDialog *form = f->windows->showSenderAdmin();
        QSignalSpy handled(form, &account::SenderAdminDialog::replyHandled);
        if (!handled.wait(10000))
            return nullptr;
        return form;
    }

    bool waitReply(account::SenderAdminDialog *form)
    {
        QSignalSpy handled(form, &account::SenderAdminDialog::replyHandled);
        return handled.wait(10000);
    }

private Q_SLOTS:
    void init()
    {
        f = std::make_unique<DialogFixture>();
        f->sim.addAccount(QStringLiteral("ana&co"), QStringLiteral("p+ss#1"));
        f->addAccountRow(QStringLiteral("ana&co"), QStringLiteral("p+ss#1"));
    }
    void cleanup() { f.reset(); }

    void replyPrefixes_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("payload");
        QTest::newRow("list") << "0|SenderID list|A;B" << int(ReplyKind::List) << "A;B";
        QTest::newRow("requested") << "0|SenderID requested|Nuevo" << int(ReplyKind::Requested) << "Nuevo";
        QTest::newRow("removed") << "0|SenderID removed|Viejo" << int(ReplyKind::Removed) << "Viejo";
        QTest::newRow("error") << "2|Error|" << int(ReplyKind::ServerError) << "";
        QTest::newRow("not listed") << "2|SenderID not listed|" << int(ReplyKind::NotListed) << "";
        QTest::newRow("already") << "2|SenderID already requested|" << int(ReplyKind::AlreadyRequested) << "";
        QTest::newRow("auth") << "3|Authentication failure|" << int(ReplyKind::AuthFailure) << "";
        QTest::newRow("params") << "3|Required parameters missing|" << int(ReplyKind::MissingParams) << "";
        QTest::newRow("empty") << "" << int(ReplyKind::Other) << "";
        QTest::newRow("lower case") << "0|senderid list|A" << int(ReplyKind::Other) << "";
    }
    void replyPrefixes()
    {
        QFETCH(QString, reply);
        QFETCH(int, kind);
        QFETCH(QString, payload);
        const auto parsed = account::senders::parseReply(reply);
        QCOMPARE(int(parsed.kind), kind);
        QCOMPARE(parsed.payload, payload);
    }

    // Each refusal reaches the user with its own message, changes nothing and closes the wait.
    void refusalsThroughTheWindow_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("title");
        QTest::newRow("error") << "2|Error|" << "Error";
        QTest::newRow("already") << "2|SenderID already requested|" << "Remitente existente";
        QTest::newRow("auth") << "3|Authentication failure|" << "Error de autentificacion";
        QTest::newRow("params") << "3|Required parameters missing|" << "Error de parametros";
        QTest::newRow("other") << "<html>Error</html>" << "Error de conexion";
    }
    void refusalsThroughTheWindow()
    {
        QFETCH(QString, reply);
        QFETCH(QString, title);
        f->addSenderRow(QStringLiteral("Tienda"));
        f->sim.armCustomReply(sim::Endpoint::SenderList, reply);
        QVERIFY(f->windows->showSenderAdmin());
        QCOMPARE(f->windows->progress()->text(), QStringLiteral("Cargando remitentes disponibles..."));
        QVERIFY(waitReply(f->windows->senderAdmin()));
        QCOMPARE(f->prompter.lastCall().title, title);
        QCOMPARE(f->prompter.lastCall().icon, ui::Icon::Critical);
        QCOMPARE(f->senderRows(), QStringList{QStringLiteral("Tienda")});
        QVERIFY(!f->windows->progress());
    }

    void listFillsTheAccountList()
    {
        f->addSenderRow(QStringLiteral("Local"));
        f->sim.approveSender(QStringLiteral("ana&co"), QStringLiteral("Tienda"));
        f->sim.approveSender(QStringLiteral("ana&co"), QStringLiteral("Avisos"));
        account::SenderAdminDialog *form = openLoaded();
        QVERIFY(form);
        QCOMPARE(entries(form->includedList), QStringList{QStringLiteral("Local")});
        QCOMPARE(entries(form->accountList), (QStringList{QStringLiteral("Tienda"), QStringLiteral("Avisos")}));
        // The account travels whole: "&", "+" and "#" do not cut the query.
        const auto sent = f->sim.lastRequest(sim::Endpoint::SenderList);
        QCOMPARE(sent->value("username"), QStringLiteral("ana&co"));
        QCOMPARE(sent->value("password"), QStringLiteral("p+ss#1"));
        QVERIFY(!form->removeButton->isEnabled());
        QVERIFY(!form->includeButton->isEnabled());
        QVERIFY(!f->windows->progress());
    }

    // Shrunk as far as it goes, the window still shows its buttons and check box whole.
    void shrunkWindowKeepsItsTextsWhole()
    {
        account::SenderAdminDialog *form = openLoaded();
        QVERIFY(form);
        form->resize(1, 1);
        QVERIFY(form->width() >= form->minimumSizeHint().width());
        QVERIFY(form->height() >= form->minimumSizeHint().height());
        for (QAbstractButton *button : {static_cast<QAbstractButton *>(form->addNewButton),
                                        static_cast<QAbstractButton *>(form->includeButton),
                                        static_cast<QAbstractButton *>(form->deleteFromAccountCheck)})
            QVERIFY2(button->width() >= button->sizeHint().width(), qPrintable(button->text()));
    }

    void listEdgeForms()
    {
        QCOMPARE(account::senders::splitList(QStringLiteral("A;B;C")),
                 (QStringList{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")}));
        QCOMPARE(account::senders::splitList(QStringLiteral("A;")), (QStringList{QStringLiteral("A"), QString()}));
        QVERIFY(account::senders::splitList(QString()).isEmpty());
    }

    // A requested identifier is not yet approved: it shows in the account's list, and the sends
    // keep the approved sender they had (the brand's, with no row here) until it is included.
    void requestedSenderWaitsForApproval()
    {
        account::SenderAdminDialog *form = openLoaded();
        QVERIFY(form);
        account::AccountSettingsDialog *settings = f->windows->showAccountSettings();
        const QStringList sendersBefore = entries(settings->senderCombo);
        f->prompter.answerInput(QStringLiteral("Nuevo"));
        form->requestNewSender();
        QCOMPARE(f->windows->progress()->text(), QStringLiteral("Solicitando remitente..."));
        QVERIFY(waitReply(form));
        QCOMPARE(f->sim.lastRequest(sim::Endpoint::SenderList)->value("remitente"), QStringLiteral("Nuevo"));
        QCOMPARE(f->prompter.lastCall().title, QStringLiteral("Remitente solicitado"));
        QVERIFY(f->prompter.lastCall().text.startsWith(QStringLiteral("El remitente 'Nuevo' ha sido solicitado.")));
        QVERIFY(f->senderRows().isEmpty());
        QVERIFY(entries(form->includedList).isEmpty());
        QCOMPARE(entries(form->accountList), QStringList{QStringLiteral("Nuevo")});
        QCOMPARE(entries(settings->senderCombo), sendersBefore);
        QVERIFY(!f->windows->progress());

        // Asked again: the gateway says it has it already, and nothing is doubled.
        f->prompter.answerInput(QStringLiteral("Nuevo"));
        form->requestNewSender();
        QVERIFY(waitReply(form));
        QCOMPARE(f->prompter.lastCall().title, QStringLiteral("Remitente existente"));
        // A "requested" reply for an identifier already listed adds no second entry.
        f->sim.armCustomReply(sim::Endpoint::SenderList, QStringLiteral("0|SenderID requested|Nuevo"));
        f->prompter.answerInput(QStringLiteral("Nuevo"));
        form->requestNewSender();
        QVERIFY(waitReply(form));
        QCOMPARE(entries(form->accountList), QStringList{QStringLiteral("Nuevo")});

        // Once approved, the user includes it and it becomes one of the senders.
        form->accountList->setCurrentRow(0);
        form->includeSelectedSender();
        QCOMPARE(f->senderRows(), QStringList{QStringLiteral("Nuevo")});
        QCOMPARE(entries(form->includedList), QStringList{QStringLiteral("Nuevo")});
    }

    void typedIdentifierIsChecked_data()
    {
        QTest::addColumn<std::optional<QString>>("answer");
        QTest::addColumn<QString>("message");
        QTest::newRow("12 characters") << std::optional<QString>(QStringLiteral("ABCDEFGHIJKL"))
                                       << "El remitente no puede tener mas de 11 caracteres.";
        QTest::newRow("12 with ;") << std::optional<QString>(QStringLiteral("ABCDEF;HIJKL"))
                                   << "El remitente no puede tener mas de 11 caracteres.";
        QTest::newRow("empty") << std::optional<QString>(QString()) << "No ha introducido remitente";
        QTest::newRow("cancelled") << std::optional<QString>() << "No ha introducido remitente";
        QTest::newRow("semicolon") << std::optional<QString>(QStringLiteral("AB;C"))
                                   << "El remitente no puede contener el simbolo ;";
        // The gateway's requests carry Windows-1252 only: an emoji would arrive as "??".
        QTest::newRow("emoji") << std::optional<QString>(QStringLiteral("Tëst'&😀"))
                               << "El remitente contiene caracteres que no se pueden enviar, como los emoticonos. "
                                  "Escríbalo solo con letras, números y signos habituales.";
    }
    void typedIdentifierIsChecked()
    {
        QFETCH(std::optional<QString>, answer);
        QFETCH(QString, message);
        account::SenderAdminDialog *form = openLoaded();
        QVERIFY(form);
        const int before = f->sim.requestCount(sim::Endpoint::SenderList);
        f->prompter.answerInput(answer);
        form->requestNewSender();
        QCOMPARE(f->prompter.lastCall().text, message);
        QCOMPARE(f->prompter.lastCall().title, QStringLiteral("Remitente incorrecto"));
        QCOMPARE(f->sim.requestCount(sim::Endpoint::SenderList), before);
        QVERIFY(!form->requestPending());
    }

    void includeTakesAnAccountIdentifier()
    {
        f->sim.approveSender(QStringLiteral("ana&co"), QStringLiteral("O'Neil"));
        f->sim.approveSender(QStringLiteral("ana&co"), QStringLiteral("Tienda"));
        account::SenderAdminDialog *form = openLoaded();
        QVERIFY(form);
        selectText(form->accountList, QStringLiteral("O'Neil"));
        form->includeSelectedSender();
        QCOMPARE(f->senderRows(), QStringList{QStringLiteral("O'Neil")});
        QVERIFY(!form->includeButton->isEnabled());
        form->includeSelectedSender();   // again, by hand: still one row
        QCOMPARE(f->senderRows(), QStringList{QStringLiteral("O'Neil")});
        // Letter case counts: "tienda" beside "Tienda" may be included.
        f->addSenderRow(QStringLiteral("tienda"));
        selectText(form->accountList, QStringLiteral("Tienda"));
    }

    void includeRefusesUnusableEntries()
    {
        f->sim.armCustomReply(sim::Endpoint::SenderList, QStringLiteral("0|SenderID list|ABCDEFGHIJKLM;"));
        account::SenderAdminDialog *form = openLoaded();
        QVERIFY(form);
        QCOMPARE(form->accountList->count(), 2);
        for (const QString &text : {QStringLiteral("ABCDEFGHIJKLM"), QString()}) {
            selectText(form->accountList, text);
            form->includeSelectedSender();
            QCOMPARE(f->prompter.lastCall().title, QStringLiteral("Remitente no válido"));
            QCOMPARE(f->prompter.lastCall().text,
                     QStringLiteral("El remitente introducido no es correcto. El remitente debe tener entre 1 y 11 "
                                    "caracteres"));
        }
        form->accountList->clearSelection();
        form->includeSelectedSender();
        QCOMPARE(f->prompter.lastCall().title, QStringLiteral("Remitente no válido"));
        QVERIFY(f->senderRows().isEmpty());
    }

    void deleteLocallyKeepsTheSelection()
    {
        f->addSenderRow(QStringLiteral("A"));
        f->addSenderRow(QStringLiteral("B"));
        f->addSenderRow(QStringLiteral("C"));
        account::SenderAdminDialog *form = openLoaded();
        QVERIFY(form);
        account::AccountSettingsDialog *settings = f->windows->showAccountSettings();
        settings->senderCombo->setCurrentIndex(2);
        selectText(form->includedList, QStringLiteral("B"));
        QVERIFY(form->removeButton->isEnabled());
        const int before = f->sim.requestCount(sim::Endpoint::SenderList);
        form->removeSelectedSender();
        QCOMPARE(f->sim.requestCount(sim::Endpoint::SenderList), before);
        QCOMPARE(f->senderRows(), (QStringList{QStringLiteral("A"), QStringLiteral("C")}));
        QCOMPARE(entries(form->includedList), (QStringList{QStringLiteral("A"), QStringLiteral("C")}));
        QCOMPARE(settings->senderCombo->currentText(), QStringLiteral("C"));
        QCOMPARE(f->main.refreshes, 1);
        for (const QString &text : {QStringLiteral("A"), QStringLiteral("C")}) {
            selectText(form->includedList, text);
            form->removeSelectedSender();
        }
        QVERIFY(f->senderRows().isEmpty());
        QVERIFY(!form->removeButton->isEnabled());
    }

    void deleteFromTheAccount()
    {
        f->addSenderRow(QStringLiteral("Tienda"));
        f->addSenderRow(QStringLiteral("Suelto"));
        f->addSenderRow(QStringLiteral("Otro"));
        f->sim.approveSender(QStringLiteral("ana&co"), QStringLiteral("Tienda"));
        account::SenderAdminDialog *form = openLoaded();
        QVERIFY(form);
        form->deleteFromAccountCheck->setChecked(true);

        selectText(form->includedList, QStringLiteral("Tienda"));
        form->removeSelectedSender();
        QVERIFY(!f->windows->progress());   // no wait shown for a removal
        QVERIFY(waitReply(form));
        QCOMPARE(f->sim.lastRequest(sim::Endpoint::SenderList)->value("delete"), QStringLiteral("1"));
        QCOMPARE(f->prompter.lastCall().text, QStringLiteral("El remitente ha sido eliminado."));
        QCOMPARE(f->senderRows(), (QStringList{QStringLiteral("Suelto"), QStringLiteral("Otro")}));
        QVERIFY(form->accountList->findItems(QStringLiteral("Tienda"), Qt::MatchExactly).isEmpty());
        QVERIFY(f->sim.senders(QStringLiteral("ana&co")).isEmpty());

        // Unknown to the account: the identifier that was sent goes, whatever is selected by then.
        selectText(form->includedList, QStringLiteral("Suelto"));
        form->removeSelectedSender();
        selectText(form->includedList, QStringLiteral("Otro"));
        QVERIFY(waitReply(form));
        QCOMPARE(f->senderRows(), QStringList{QStringLiteral("Otro")});
        QCOMPARE(f->prompter.lastCall().title, QStringLiteral("Eliminar remitente"));
    }

    // A reply past the cap is not a lost connection; a request or removal may have been carried
    // out at the gateway, so nothing here moves as if it had succeeded or failed.
    void replyPastTheCapIsTooLargeNotAConnectionFailure()
    {
        f->addSenderRow(QStringLiteral("Tienda"));
        f->sim.approveSender(QStringLiteral("ana&co"), QStringLiteral("Tienda"));
        // The list of senders past the real cap.
        f->sim.armCustomReply(sim::Endpoint::SenderList,
                              QStringLiteral("0|SenderID list|") + QString(70 * 1024, QLatin1Char('A')));
        account::SenderAdminDialog *form = openLoaded();
        QVERIFY(form);
        QCOMPARE(f->prompter.messageTexts(), QStringList{net::kTooLargeReplyMessage});
        QCOMPARE(f->prompter.lastCall().title, net::kTooLargeReplyTitle);
        QVERIFY(form->accountList->count() == 0);
        QVERIFY(!f->windows->progress());

        // The cap lowered below the reply stands in for a reply past the real one.
        form->channel().setReplyLimit(4);
        f->prompter.answerInput(QStringLiteral("Nuevo"));
        form->requestNewSender();
        QVERIFY(waitReply(form));
        QCOMPARE(f->prompter.lastCall().text, net::kTooLargeRequestMessage);
        QCOMPARE(f->prompter.lastCall().title, net::kTooLargeReplyTitle);
        QVERIFY(!f->prompter.lastCall().text.contains(QStringLiteral("conexión")));
        QCOMPARE(f->senderRows(), QStringList{QStringLiteral("Tienda")});
        QVERIFY(form->accountList->findItems(QStringLiteral("Nuevo"), Qt::MatchExactly).isEmpty());
        QVERIFY(!f->windows->progress());

        form->deleteFromAccountCheck->setChecked(true);
        selectText(form->includedList, QStringLiteral("Tienda"));
        form->removeSelectedSender();
        QVERIFY(waitReply(form));
        QCOMPARE(f->prompter.lastCall().text, net::kTooLargeRequestMessage);
        QCOMPARE(f->senderRows(), QStringList{QStringLiteral("Tienda")});
        QVERIFY(!form->requestPending());
    }

    // A request or removal the gateway took, whose answer cannot be read (or never came): it may
    // have been carried out, so the user is told to look, not that there was no connection; the
    // lists and the table do not move as if it had or had not.
    void unreadableAnswerToAChangeMayHaveBeenCarriedOut_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<bool>("removal");
        QTest::newRow("request, empty body") << int(sim::FaultKind::EmptyBody) << false;
        QTest::newRow("request, HTTP 500") << int(sim::FaultKind::HttpError) << false;
        QTest::newRow("request, error page") << int(sim::FaultKind::NoSeparator) << false;
        QTest::newRow("removal, empty body") << int(sim::FaultKind::EmptyBody) << true;
    }
    void unreadableAnswerToAChangeMayHaveBeenCarriedOut()
    {
        QFETCH(int, fault);
        QFETCH(bool, removal);
        f->addSenderRow(QStringLiteral("Tienda"));
        f->sim.approveSender(QStringLiteral("ana&co"), QStringLiteral("Tienda"));
        account::SenderAdminDialog *form = openLoaded();
        QVERIFY(form);
        f->sim.armFault(sim::Endpoint::SenderList, sim::FaultKind(fault));
        if (removal) {
            form->deleteFromAccountCheck->setChecked(true);
            selectText(form->includedList, QStringLiteral("Tienda"));
            form->removeSelectedSender();
        } else {
            f->prompter.answerInput(QStringLiteral("Nuevo"));
            form->requestNewSender();
        }
        QVERIFY(waitReply(form));
        QCOMPARE(f->prompter.lastCall().text,
                 QStringLiteral("No se ha podido leer la respuesta del servidor. Puede que la operación se haya "
                                "realizado: cierre y vuelva a abrir esta ventana para comprobarlo antes de repetirla."));
        QCOMPARE(f->prompter.lastCall().title, QStringLiteral("Respuesta no reconocida"));
        QCOMPARE(f->senderRows(), QStringList{QStringLiteral("Tienda")});
        QVERIFY(!form->requestPending());
    }

    // Closing the window drops its request and its wait.
    void closingAbortsTheRequest()
    {
        f->sim.armFault(sim::Endpoint::SenderList, sim::FaultKind::Hang);
        account::SenderAdminDialog *form = f->windows->showSenderAdmin();
        QVERIFY(f->windows->progress());
        QVERIFY(form->requestPending());
        QTRY_COMPARE_WITH_TIMEOUT(f->sim.hangingRequests(), 1, 10000);
        form->closeButton->click();
        QVERIFY(!f->windows->progress());
        QVERIFY(!form->channel().inFlight());
        QTRY_VERIFY(!f->windows->senderAdmin());
        f->sim.releaseHangs();
        QCOMPARE(f->prompter.count(), 0);
    }
};

QTEST_MAIN(TestSenderAdmin)
#include "test_sender_admin.moc"
