#include "dialog_fixture.h"

#include "startup/dialogs/form19.h"
#include "startup/dialogs/form9.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

class TestPasswordPrompt final : public QObject {
    Q_OBJECT

    std::unique_ptr<DialogFixture> f;

    startup::Form19 *prompt(const QString &code, const QString &typed)
    {
        startup::Form19 *form = f->windows->showPasswordPrompt(code);
        form->Text1->setText(typed);
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
        prompt(QStringLiteral("9"), QStringLiteral("Secreta"))->Command1_Click();
        QVERIFY(f->windows->form9());
        QTRY_VERIFY(!f->windows->form19());
        QCOMPARE(f->prompter.count(), 0);

        prompt(QStringLiteral("14"), QStringLiteral("Secreta"))->Command1_Click();
        prompt(QStringLiteral("15"), QStringLiteral("Secreta"))->Command1_Click();
        QCOMPARE(f->opener.opened, (QList<startup::WindowId>{startup::WindowId::Form14, startup::WindowId::Form15}));

        // Any other code closes the prompt and opens nothing.
        prompt(QStringLiteral("7"), QStringLiteral("Secreta"))->Command1_Click();
        QTRY_VERIFY(!f->windows->form19());
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
        startup::Form19 *form = prompt(QStringLiteral("9"), typed);
        form->Command1_Click();
        QCOMPARE(f->prompter.lastCall().text, QStringLiteral("La contraseña introducida no es correcta. Por favor, revisela."));
        QCOMPARE(f->prompter.lastCall().title, QStringLiteral("Contraseña erronea"));
        QCOMPARE(f->prompter.lastCall().icon, ui::Icon::Critical);
        QVERIFY(!f->windows->form9());
        QCOMPARE(f->windows->form19(), form);
        QCOMPARE(form->Text1->text(), typed);
    }

    void failingStatementOpensNothing()
    {
        f->conexion.execute(QStringLiteral("DROP TABLE Usuario"));
        prompt(QStringLiteral("9"), QStringLiteral("Secreta"))->Command1_Click();
        QCOMPARE(f->prompter.lastCall().title, QStringLiteral("Error"));
        QVERIFY(f->prompter.lastCall().text.startsWith(QStringLiteral("No se ha podido comprobar la contraseña")));
        QVERIFY(!f->windows->form9());
        QVERIFY(f->windows->form19());
    }

    void showPasswordAndForgottenLink()
    {
        startup::Form19 *form = prompt(QStringLiteral("9"), QStringLiteral("abc"));
        QCOMPARE(form->Text1->echoMode(), QLineEdit::Password);
        form->Check1->setChecked(true);
        QCOMPARE(form->Text1->echoMode(), QLineEdit::Normal);
        form->Check1->setChecked(false);
        QCOMPARE(form->Text1->echoMode(), QLineEdit::Password);
        QCOMPARE(form->Text1->text(), QStringLiteral("abc"));
        form->Command3->click();
        QCOMPARE(f->shell.urls(),
                 QStringList{f->sim.baseUrl() + QStringLiteral("extranet_nueva/OUT/out_index.php?cu=recordar")});
        form->Command2->click();
        QTRY_VERIFY(!f->windows->form19());
        QVERIFY(!f->windows->form9());
    }
};

QTEST_MAIN(TestPasswordPrompt)
#include "test_password_prompt.moc"
