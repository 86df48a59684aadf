// The contact book inside the whole client: its tabs filled at start-up, its menu entries
// enabled, the send panel's contacts icon opening the picker, whose pick fills the recipients box
// and asks the gateway for a new quote.
#include "contacts/picker/contact_picker_dialog.h"
#include "platform/db/connection.h"
#include "app/main_window/main_window.h"
#include "sending/panel/send_panel_view.h"
#include "support/client_rig.h"
#include "support/popup_menus.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <memory>

namespace {

using testing::openWindow;

QTreeWidgetItem *node(QTreeWidget *tree, const QString &key)
{
    for (QTreeWidgetItemIterator it(tree); *it; ++it) {
        if ((*it)->data(0, Qt::UserRole).toString() == key)
            return *it;
    }
    return nullptr;
}

struct Run : testing::ClientRig {
    Run() { sim.addAccount(QStringLiteral("ana"), QStringLiteral("secreto"), 500); }

    void seed(bool withContacts)
    {
        db::Connection setup;
        QVERIFY(openDatabase(setup));
        QVERIFY(setup
                    .execute(QStringLiteral("INSERT INTO Usuario (login,pass,ruta,saldo,huso_horario,version_desktop) "
                                            "VALUES ('ana','secreto','3','500','GMT +01:00','2.0')"))
                    .ok());
        if (!withContacts)
            return;
        QVERIFY(setup.execute(QStringLiteral("INSERT INTO Grupos (nombre) VALUES ('Clientes')")).ok());
        QVERIFY(setup.execute(QStringLiteral("INSERT INTO Agenda (nombre,telefono,grupos_sid) VALUES "
                                             "('Alba Núñez O''Donnell','34611111111','1'),('Berta','34622222222','1')"))
                    .ok());
    }

    void start()
    {
        client = std::make_unique<app::Client>(prompter, shell);
        QCOMPARE(client->start(), startup::StartupStatus::Ready);
    }
    startup::MainWindow &form() { return client->mainWindow(); }
};

} // namespace

class TestContactsInClient final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void tabsMenusAndPicker()
    {
        Run run;
        run.seed(true);
        run.start();
        startup::MainWindow &f = run.form();
        auto *contactList = f.tabs()->widget(2)->findChild<QTreeWidget *>(QStringLiteral("TreeView4"));
        auto *groups = f.tabs()->widget(3)->findChild<QTreeWidget *>(QStringLiteral("TreeView2"));
        QVERIFY(contactList && groups);
        QCOMPARE(contactList->topLevelItemCount(), 2);
        QCOMPARE(contactList->topLevelItem(0)->text(0), QStringLiteral("Alba Núñez O'Donnell"));
        QCOMPARE(groups->topLevelItem(0)->text(0), QStringLiteral("Clientes (2 contactos)"));
        QVERIFY(f.menuAction(QStringLiteral("mnuborraragenda"))->isEnabled());
        // The filter reads the lists the start-up filled: one set of them, inside the panel.
        QCOMPARE(f.filterOperatorCombo()->currentText(), QStringLiteral("contengan"));
        QVERIFY(f.tabs()->widget(2)->findChild<QWidget *>(QStringLiteral("Frame2"))->isAncestorOf(f.filterOperatorCombo()));
        QCOMPARE(f.tabs()->widget(2)->findChildren<QComboBox *>(QStringLiteral("Combo2")).size(), 1);
        for (QLabel *label : f.tabs()->widget(2)->findChildren<QLabel *>()) {
            if (label->text() == QLatin1String("Mostrar contactos cuyo"))
                QVERIFY(label->isHidden());
        }

        sending::SendPanelView &panel = f.sendPanel();
        panel.pickRecipientsImage()->click();
        auto *picker = openWindow<contacts::picker::ContactPickerDialog>("Form7");
        QVERIFY(picker);
        QTreeWidgetItem *berta = node(picker->bookList(), QStringLiteral("pContacto 2"));
        QVERIFY(berta);
        QVERIFY(testing::rightPress(picker->bookList(), berta));
        const int quotes = run.sim.requestCount(sim::Endpoint::QuoteSms);
        picker->pickMenuNodeAndClose();
        QCOMPARE(panel.recipientsBox()->toPlainText(), QStringLiteral("34622222222"));
        QCOMPARE(panel.pickedRecipientLabel()->text(), QStringLiteral("Ultimo: Berta"));
        QVERIFY(!openWindow<contacts::picker::ContactPickerDialog>("Form7"));
        QTRY_COMPARE_WITH_TIMEOUT(run.sim.requestCount(sim::Endpoint::QuoteSms), quotes + 1, 10000);
        QVERIFY2(!run.prompter.hasUnexpected(), run.prompter.unexpectedReport().constData());

        // "Buscar envíos" shows the contact's sends on the "Historial" tab.
        f.tabs()->setCurrentIndex(2);
        QVERIFY(testing::rightPress(contactList, node(contactList, QStringLiteral("Telefono 1"))));
        f.tabs()->widget(2)->findChild<QAction *>(QStringLiteral("mnurclick_agenda_buscarhistorial"))->trigger();
        QCOMPARE(f.tabs()->currentIndex(), 1);
        auto *phone = f.tabs()->widget(1)->findChild<QWidget *>(QStringLiteral("RichTextBox1"));
        QVERIFY(phone);
        QCOMPARE(phone->property("plainText").isValid() ? phone->property("plainText").toString()
                                                            : phone->property("text").toString(),
                 QStringLiteral("34611111111"));

        // "Eliminar agenda" opens its window through the main menu.
        f.menuAction(QStringLiteral("mnuborraragenda"))->trigger();
        QVERIFY(openWindow<QWidget>("Form17"));
    }

    // "Añadir contacto al envío" and then "Cerrar" or the close box: the box is left as when it
    // loses the focus, so the new recipients are cleaned and quoted and "Enviar SMS" comes back.
    void pickerHandsOverOnEveryWayOut()
    {
        Run run;
        run.seed(true);
        run.start();
        startup::MainWindow &f = run.form();
        sending::SendPanelView &panel = f.sendPanel();
        panel.messageBox()->setPlainText(QStringLiteral("Hola"));
        for (const bool byButton : {true, false}) {
            panel.pickRecipientsImage()->click();
            auto *picker = openWindow<contacts::picker::ContactPickerDialog>("Form7");
            QVERIFY(picker);
            QTreeWidgetItem *item = node(picker->bookList(), byButton ? QStringLiteral("pContacto 2")
                                                                        : QStringLiteral("pContacto 1"));
            QVERIFY(item);
            const int quotes = run.sim.requestCount(sim::Endpoint::QuoteSms);
            QVERIFY(testing::rightPress(picker->bookList(), item));
            QVERIFY(testing::choose(picker->pickMenu(), picker->pickAction()));
            QVERIFY(!panel.sendButton()->isEnabled());
            if (byButton)
                picker->findChild<QPushButton *>(QStringLiteral("Command2"))->click();
            else
                picker->close();
            QTRY_COMPARE_WITH_TIMEOUT(run.sim.requestCount(sim::Endpoint::QuoteSms), quotes + 1, 10000);
            QTRY_VERIFY_WITH_TIMEOUT(panel.sendButton()->isEnabled(), 10000);
        }
        QCOMPARE(panel.recipientsBox()->toPlainText(), QStringLiteral("34622222222,34611111111"));
        QVERIFY2(!run.prompter.hasUnexpected(), run.prompter.unexpectedReport().constData());
    }

    void emptyBookKeepsThePickerClosed()
    {
        Run run;
        run.seed(false);
        run.start();
        run.prompter.answerMessage(ui::Answer::Ok);
        run.form().sendPanel().pickRecipientsImage()->click();
        QCOMPARE(run.prompter.lastCall().text, QStringLiteral("No existe ningún contacto en la agenda."));
        QCOMPARE(run.prompter.lastCall().title, QStringLiteral("Agenda vacía"));
        QVERIFY(!openWindow<QWidget>("Form7"));
    }
};

QTEST_MAIN(TestContactsInClient)
#include "test_contacts_in_client.moc"
