#include "dialog_fixture.h"

#include "account/password_prompt_dialog.h"
#include "account/sender_admin_dialog.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

class TestPasswordPrompt final : public QObject {
    Q_OBJECT

    std::unique_ptr<DialogFixture> f;

    account::PasswordPromptDialog *prompt(const QString &code, const QString &typed)
    {
        account::PasswordPromptDialog *form = f->windows->showPasswordPrompt(code);
        form->passwordBox->setText(typed);
        return form;
    }

private Q_SLOTS:
    void init()
    {
        f = std::make_unique<DialogFixture>();
        f->sim.addAccount(QStringLiteral("ana"), QStringLiteral("Secreta"));
        f->addAccountRow(QStringLiteral("ana"), QStringLiteral("Secreta"));
    }
    void cleanup() { f.reset(); }

    void correctPasswordOpensTheCodedWindow()
    {
        prompt(QStringLiteral("9"), QStringLiteral("Secreta"))->acceptPassword();
        QVERIFY(f->windows->senderAdmin());
        QTRY_VERIFY(!f->windows->passwordPrompt());
        QCOMPARE(f->prompter.count(), 0);

        prompt(QStringLiteral("14"), QStringLiteral("Secreta"))->acceptPassword();
        prompt(QStringLiteral("15"), QStringLiteral("Secreta"))->acceptPassword();
        QCOMPARE(f->opener.opened, (QList<seams::WindowId>{seams::WindowId::WebDownload, seams::WindowId::WebUpload}));

        // Any other code closes the prompt and opens nothing.
        prompt(QStringLiteral("7"), QStringLiteral("Secreta"))->acceptPassword();
        QTRY_VERIFY(!f->windows->passwordPrompt());
        QCOMPARE(f->opener.opened.size(), 2);
    }

    void wrongPasswordsAreRefused_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::newRow("wrong") << "otra";
        QTest::newRow("empty") << "";
        QTest::newRow("quote trick") << "' OR '1'='1";
        QTest::newRow("comment trick") << "x' OR 1=1 --";
        QTest::newRow("trailing blank") << "Secreta ";
    }
    void wrongPasswordsAreRefused()
    {
        QFETCH(QString, typed);
        account::PasswordPromptDialog *form = prompt(QStringLiteral("9"), typed);
        form->acceptPassword();
        QCOMPARE(f->prompter.lastCall().text, QStringLiteral("La contraseña introducida no es correcta. Por favor, revisela."));
        QCOMPARE(f->prompter.lastCall().title, QStringLiteral("Contraseña erronea"));
        QCOMPARE(f->prompter.lastCall().icon, ui::Icon::Critical);
        QVERIFY(!f->windows->senderAdmin());
        QCOMPARE(f->windows->passwordPrompt(), form);
        QCOMPARE(form->passwordBox->text(), typed);
    }

    void failingStatementOpensNothing()
    {
        f->connection.execute(QStringLiteral("DROP TABLE Usuario"));
        prompt(QStringLiteral("9"), QStringLiteral("Secreta"))->acceptPassword();
        QCOMPARE(f->prompter.lastCall().title, QStringLiteral("Error"));
        QVERIFY(f->prompter.lastCall().text.startsWith(QStringLiteral("No se ha podido comprobar la contraseña")));
        QVERIFY(!f->windows->senderAdmin());
        QVERIFY(f->windows->passwordPrompt());
    }

    void showPasswordAndForgottenLink()
    {
        account::PasswordPromptDialog *form = prompt(QStringLiteral("9"), QStringLiteral("abc"));
        QCOMPARE(form->passwordBox->echoMode(), QLineEdit::Password);
        form->showPasswordCheck->setChecked(true);
        QCOMPARE(form->passwordBox->echoMode(), QLineEdit::Normal);
        form->showPasswordCheck->setChecked(false);
        QCOMPARE(form->passwordBox->echoMode(), QLineEdit::Password);
        QCOMPARE(form->passwordBox->text(), QStringLiteral("abc"));
        form->forgottenPasswordButton->click();
        QCOMPARE(f->shell.urls(),
                 QStringList{f->sim.baseUrl() + QStringLiteral("extranet_nueva/OUT/out_index.php?cu=recordar")});
        form->cancelButton->click();
        QTRY_VERIFY(!f->windows->passwordPrompt());
        QVERIFY(!f->windows->senderAdmin());
    }
};

QTEST_MAIN(TestPasswordPrompt)
#include "test_password_prompt.moc"
