#include "platform/ui/busy_cursor.h"
#include "platform/ui/desktop_shell.h"
#include "platform/ui/qt_prompter.h"
#include "platform/ui/single_instance.h"
#include "platform/ui/skin.h"
#include "support/scripted_prompter.h"
#include "support/temp_home.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QGroupBox>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <functional>

namespace {

void writeFile(const QString &path, const QByteArray &contents)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(contents);
}

// A window that may refuse to close, to stand for a form with unsaved changes.
class ProbeWindow final : public QWidget {
public:
    bool refuseClose = false;

protected:
    void closeEvent(QCloseEvent *event) override
    {
        if (refuseClose)
            event->ignore();
        else
            QWidget::closeEvent(event);
    }
};

// Acts on the first modal dialog as soon as it is up: the dialogs spin their own event loop, in
// which this timer keeps firing until it finds one.
void whenModalAppears(std::function<void(QWidget *)> act)
{
    auto *timer = new QTimer(qApp);
    timer->setInterval(0);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, act = std::move(act)] {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            act(modal);
        }
    });
    timer->start();
}

QAbstractButton *buttonWithText(QWidget *dialog, const QString &text)
{
    const auto buttons = dialog->findChildren<QAbstractButton *>();
    for (QAbstractButton *button : buttons) {
        if (button->text().remove(QLatin1Char('&')) == text)
            return button;
    }
    return nullptr;
}

} // namespace

class TestUiPlatform final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { qApp->setStyleSheet({}); }

    void skinChoice_data();
    void skinChoice();
    void shippedSkinAppliesWithoutWarnings();

    void singleInstanceCreatesReusesAndForgets();
    void singleInstanceKeepsWindowThatRefusedToClose();

    void busyPointerReturnsOnceAcrossOverlappingSources();
    void busyPointerIsNotAStack();
    void busyPointerRestoredWhenOwnerGoes();

    void inputTellsCancelFromEmpty();
    void messageBoxSpeaksSpanish();
    void windowsFilterBecomesQtFilter_data();
    void windowsFilterBecomesQtFilter();

    void shellRefusesMissingPrograms();

    void scriptedPrompterFlagsWhatTheScriptDidNotExpect();
};

void TestUiPlatform::skinChoice_data()
{
    QTest::addColumn<QString>("product");
    QTest::addColumn<bool>("brandFile");
    QTest::addColumn<bool>("defaultFile");
    QTest::addColumn<QString>("expectedFile");

    QTest::newRow("brand skin wins") << "Brisanta" << true << true << "Brisanta.skn";
    QTest::newRow("brand skin alone") << "Brisanta" << true << false << "Brisanta.skn";
    QTest::newRow("falls back to Virizu") << "Brisanta" << false << true << "Virizu.skn";
    QTest::newRow("no skin at all") << "Brisanta" << false << false << "";
    QTest::newRow("empty product name") << "" << false << true << "Virizu.skn";
    QTest::newRow("name cannot leave the folder") << "../Brisanta" << false << true << "Virizu.skn";
}

void TestUiPlatform::skinChoice()
{
    QFETCH(QString, product);
    QFETCH(bool, brandFile);
    QFETCH(bool, defaultFile);
    QFETCH(QString, expectedFile);

    testing::TempHome home;
    QVERIFY(home.isValid());
    if (brandFile)
        writeFile(home.file(product + ".skn"), "QPushButton { color: #123456; }");
    if (defaultFile)
        writeFile(home.file("Virizu.skn"), "QPushButton { color: #654321; }");
    // A decoy one level up must never be picked through the product name.
    writeFile(home.file("../Brisanta.skn"), "QPushButton { color: #badbad; }");

    const QString before = QStringLiteral("QLabel { color: #010203; }");
    qApp->setStyleSheet(before);
    const QString used = ui::loadSkin(home.path(), product);

    if (expectedFile.isEmpty()) {
        QVERIFY(used.isEmpty());
        QCOMPARE(qApp->styleSheet(), before);
    } else {
        QCOMPARE(used, home.file(expectedFile));
        QFile chosen(used);
        QVERIFY(chosen.open(QIODevice::ReadOnly));
        QCOMPARE(qApp->styleSheet(), QString::fromUtf8(chosen.readAll()));
    }
    QFile::remove(home.file("../Brisanta.skn"));
}

void TestUiPlatform::shippedSkinAppliesWithoutWarnings()
{
    testing::TempHome home;
    QVERIFY(QFile::copy(QStringLiteral(BRISANTA_SKIN_FILE), home.file("Virizu.skn")));
    // Qt reports a broken style sheet only as a warning when a widget is polished.
    QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
    QCOMPARE(ui::loadSkin(home.path(), QStringLiteral("Brisanta")), home.file("Virizu.skn"));

    QTabWidget window;
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    auto *group = new QGroupBox(QStringLiteral("Configuración"));
    auto *groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(new QLineEdit(QStringLiteral("Señor Núñez")));
    groupLayout->addWidget(new QComboBox);
    groupLayout->addWidget(new QCheckBox(QStringLiteral("Añadir a la agenda")));
    layout->addWidget(group);
    auto *tree = new QTreeWidget;
    tree->setHeaderLabels({QStringLiteral("Fecha"), QStringLiteral("Mensaje")});
    layout->addWidget(tree);
    layout->addWidget(new QPushButton(QStringLiteral("Enviar")));
    window.addTab(page, QStringLiteral("Enviar SMS"));
    window.addTab(new QWidget, QStringLiteral("Historial"));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(!window.grab().isNull());
}

void TestUiPlatform::singleInstanceCreatesReusesAndForgets()
{
    ui::SingleInstance<ProbeWindow> form;
    int built = 0;
    const auto factory = [&built] {
        ++built;
        return new ProbeWindow;
    };

    QVERIFY(!form.isOpen());
    ProbeWindow *first = form.show(factory);
    QVERIFY(first);
    QVERIFY(first->isVisible());
    QCOMPARE(form.get(factory), first);
    QCOMPARE(built, 1);

    QSignalSpy destroyed(first, &QObject::destroyed);
    QVERIFY(first->close());
    // The closed window is forgotten at once, even before Qt gets round to deleting it, so a
    // reopening right after the close builds (and reloads) a fresh window.
    QVERIFY(!form.isOpen());
    ProbeWindow *second = form.get(factory);
    QCOMPARE(built, 2);
    QVERIFY(second != nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(destroyed.count(), 1);
    QCOMPARE(form.get(factory), second);
    QCOMPARE(built, 2);
}

void TestUiPlatform::singleInstanceKeepsWindowThatRefusedToClose()
{
    ui::SingleInstance<ProbeWindow> form;
    ProbeWindow *window = form.show([] { return new ProbeWindow; });
    window->refuseClose = true;
    QVERIFY(!window->close());
    QCOMPARE(form.existing(), window);

    QPointer<ProbeWindow> watch(window);
    form.release();
    QVERIFY(watch.isNull());
    QVERIFY(!form.isOpen());
}

void TestUiPlatform::busyPointerReturnsOnceAcrossOverlappingSources()
{
    ui::BusyCursor busy;
    QSignalSpy changes(&busy, &ui::BusyCursor::busyChanged);

    busy.setBusy(QStringLiteral("send"), true);
    QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    busy.setBusy(QStringLiteral("quote"), true);
    {
        ui::BusyGuard step(busy, QStringLiteral("version check"));
        ui::BusyGuard inner(busy, QStringLiteral("version check"));
        busy.setBusy(QStringLiteral("send"), false); // the send reply arrives mid-step
        QVERIFY(busy.isBusy());
    }
    QVERIFY(busy.isBusy()); // the quote is still out
    busy.setBusy(QStringLiteral("quote"), false);
    QVERIFY(!busy.isBusy());
    busy.setBusy(QStringLiteral("quote"), false); // a late duplicate reply changes nothing

    QCOMPARE(changes.count(), 2);
    QCOMPARE(changes.at(0).at(0).toBool(), true);
    QCOMPARE(changes.at(1).at(0).toBool(), false);
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
}

void TestUiPlatform::busyPointerIsNotAStack()
{
    ui::BusyCursor busy;
    busy.setBusy(true);
    busy.setBusy(true); // the same source saying "busy" twice is still one busy state
    busy.setBusy(false);
    QVERIFY(!busy.isBusy());
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);

    busy.setBusy(false); // ending what never started must not eat someone else's hourglass
    busy.setBusy(QStringLiteral("request"), true);
    QVERIFY(busy.isBusy());
    QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    busy.setBusy(QStringLiteral("request"), false);
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
}

void TestUiPlatform::busyPointerRestoredWhenOwnerGoes()
{
    {
        ui::BusyCursor busy;
        busy.setBusy(QStringLiteral("request"), true);
    }
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
}

void TestUiPlatform::inputTellsCancelFromEmpty()
{
    QWidget owner;
    ui::QtPrompter prompter(&owner);

    whenModalAppears([](QWidget *dialog) {
        auto *input = qobject_cast<QInputDialog *>(dialog);
        QVERIFY(input);
        input->findChild<QLineEdit *>()->clear();
        QAbstractButton *ok = buttonWithText(dialog, QStringLiteral("Aceptar"));
        QVERIFY(ok);
        ok->click();
    });
    const auto emptied = prompter.input(QStringLiteral("Valor de [nombre]:"), {}, QStringLiteral("Ana"));
    QVERIFY(emptied.has_value());
    QCOMPARE(*emptied, QString());

    whenModalAppears([](QWidget *dialog) {
        QAbstractButton *cancel = buttonWithText(dialog, QStringLiteral("Cancelar"));
        QVERIFY(cancel);
        cancel->click();
    });
    QVERIFY(!prompter.input(QStringLiteral("Valor de [nombre]:"), {}, QStringLiteral("Ana")).has_value());

    whenModalAppears([&owner](QWidget *dialog) {
        QCOMPARE(dialog->parentWidget(), &owner);
        buttonWithText(dialog, QStringLiteral("Aceptar"))->click();
    });
    QCOMPARE(prompter.input(QStringLiteral("Valor:"), {}, QStringLiteral("O'Donnell")).value_or(QString()),
             QStringLiteral("O'Donnell"));
}

void TestUiPlatform::messageBoxSpeaksSpanish()
{
    ui::QtPrompter prompter;

    QStringList seen;
    whenModalAppears([&seen](QWidget *dialog) {
        for (QAbstractButton *button : dialog->findChildren<QAbstractButton *>())
            seen << button->text().remove(QLatin1Char('&'));
        buttonWithText(dialog, QStringLiteral("No"))->click();
    });
    QCOMPARE(prompter.message(QStringLiteral("¿Desea continuar?"), QStringLiteral("Confirmar"),
                              ui::Icon::Question, ui::Buttons::YesNoCancel),
             ui::Answer::No);
    seen.sort();
    QCOMPARE(seen, (QStringList{QStringLiteral("Cancelar"), QStringLiteral("No"), QStringLiteral("Sí")}));

    whenModalAppears([](QWidget *dialog) { buttonWithText(dialog, QStringLiteral("Aceptar"))->click(); });
    QCOMPARE(prompter.message(QStringLiteral("Hecho"), {}, ui::Icon::Information, ui::Buttons::OkCancel),
             ui::Answer::Ok);

    // Escape on a box without Cancel must not read as "Sí".
    whenModalAppears([](QWidget *dialog) { QTest::keyClick(dialog, Qt::Key_Escape); });
    QCOMPARE(prompter.message(QStringLiteral("¿Borrar?"), {}, ui::Icon::Question, ui::Buttons::YesNo),
             ui::Answer::No);
}

void TestUiPlatform::windowsFilterBecomesQtFilter_data()
{
    QTest::addColumn<QString>("windowsFilter");
    QTest::addColumn<QString>("qtFilter");
    QTest::newRow("pairs") << "Excel (*.xls)|*.xls|Todos los archivos (*.*)|*.*"
                           << "Excel (*.xls);;Todos los archivos (*.*)";
    QTest::newRow("description without patterns") << "Libros de Excel|*.xls;*.xlsx"
                                                   << "Libros de Excel (*.xls *.xlsx)";
    QTest::newRow("already Qt") << "Texto (*.txt);;CSV (*.csv)" << "Texto (*.txt);;CSV (*.csv)";
}

void TestUiPlatform::windowsFilterBecomesQtFilter()
{
    QFETCH(QString, windowsFilter);
    QFETCH(QString, qtFilter);
    QCOMPARE(ui::qtFileFilter(windowsFilter), qtFilter);
}

void TestUiPlatform::shellRefusesMissingPrograms()
{
    testing::TempHome home;
    ui::DesktopShell shell;
    QVERIFY(!shell.startProgram(home.file("Brisanta_Desktop_AutoUpdate")));
    QVERIFY(!shell.startProgram(QStringLiteral("no-such-program-anywhere-7f3a")));
    QVERIFY(!shell.startProgram(QString()));
    writeFile(home.file("notes.txt"), "not a program");
    QVERIFY(!shell.startProgram(home.file("notes.txt")));
    QVERIFY(!shell.openUrl(QString()));
    QVERIFY(!shell.openUrl(QStringLiteral("no scheme here")));
}

void TestUiPlatform::scriptedPrompterFlagsWhatTheScriptDidNotExpect()
{
    testing::ScriptedPrompter prompter;
    prompter.answerMessage(ui::Answer::Yes);
    // A scripted "Sí" on an OK/Cancel box is a script error, answered as Cancel.
    QCOMPARE(prompter.message(QStringLiteral("¿Trabajar en local?"), QStringLiteral("Red"),
                              ui::Icon::Question, ui::Buttons::OkCancel),
             ui::Answer::Cancel);
    // Nothing scripted: the cautious answer, never a silent "yes".
    QCOMPARE(prompter.message(QStringLiteral("¿Borrar?"), {}, ui::Icon::Question, ui::Buttons::YesNo),
             ui::Answer::No);
    QVERIFY(!prompter.input(QStringLiteral("Valor:")).has_value());
    QCOMPARE(prompter.count(), 3);
    QVERIFY(prompter.hasUnexpected());
    QCOMPARE(prompter.lastCall().kind, testing::ScriptedPrompter::Kind::Input);
    QVERIFY(prompter.unexpectedReport().contains("¿Borrar?"));

    testing::ScriptedPrompter scripted;
    scripted.answerInput(QString());
    scripted.answerMessage(ui::Answer::Ok);
    QCOMPARE(scripted.input(QStringLiteral("Valor:")), std::optional<QString>(QString()));
    QCOMPARE(scripted.message(QStringLiteral("Hecho")), ui::Answer::Ok);
    QVERIFY2(!scripted.hasUnexpected(), scripted.unexpectedReport().constData());
    QCOMPARE(scripted.unusedAnswers(), 0);
}

QTEST_MAIN(TestUiPlatform)
#include "test_ui_platform.moc"
