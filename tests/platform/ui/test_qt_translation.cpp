#include "platform/ui/qt_translation.h"
#include "support/temp_home.h"

#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTranslator>

#include <memory>

namespace {

// What the user reads on each entry: without the accelerator marks and the shortcut after the tab.
QStringList entryTexts(QMenu &menu)
{
    QStringList texts;
    const QList<QAction *> actions = menu.actions();
    for (const QAction *action : actions) {
        if (!action->isSeparator())
            texts << action->text().section(QLatin1Char('\t'), 0, 0).remove(QLatin1Char('&'));
    }
    return texts;
}

QString qtTranslationsFile()
{
    return QLibraryInfo::path(QLibraryInfo::TranslationsPath) + QLatin1Char('/') + ui::kQtSpanishFile;
}

} // namespace

class TestQtTranslation final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup()
    {
        // Each case starts from Qt's English.
        const QList<QTranslator *> translators = qApp->findChildren<QTranslator *>();
        for (QTranslator *translator : translators) {
            QCoreApplication::removeTranslator(translator);
            delete translator;
        }
    }

    void textBoxMenuIsSpanish()
    {
        testing::TempHome home;   // a program folder without the file: this machine's Qt has it
        QVERIFY2(QFile::exists(qtTranslationsFile()), "Qt's Spanish translations are not installed");
        QVERIFY(ui::installQtSpanish(*qApp, home.path()));
        QLineEdit box(QStringLiteral("texto"));
        const std::unique_ptr<QMenu> menu(box.createStandardContextMenu());
        const QStringList texts = entryTexts(*menu);
        QVERIFY2(texts.contains(QStringLiteral("Deshacer")), qPrintable(texts.join(QLatin1String(", "))));
        QVERIFY2(texts.contains(QStringLiteral("Pegar")), qPrintable(texts.join(QLatin1String(", "))));
        QVERIFY(!texts.contains(QStringLiteral("Undo")));
    }

    void standardButtonsAreSpanish()
    {
        testing::TempHome home;
        QVERIFY(ui::installQtSpanish(*qApp, home.path()));
        QDialogButtonBox buttons(QDialogButtonBox::Cancel);
        QCOMPARE(buttons.button(QDialogButtonBox::Cancel)->text().remove(QLatin1Char('&')), QStringLiteral("Cancelar"));
    }

    // An installed copy carries its own file: that one is used.
    void fileBesideTheProgramComesFirst()
    {
        testing::TempHome home;
        QVERIFY(QFile::copy(qtTranslationsFile(), home.file(ui::kQtSpanishFile)));
        const QTranslator *translator = ui::installQtSpanish(*qApp, home.path());
        QVERIFY(translator);
        QCOMPARE(translator->filePath(), home.file(ui::kQtSpanishFile));
    }

    // A damaged file beside the program is passed over, not a reason to lose the Spanish texts.
    void damagedFileBesideTheProgramIsPassedOver()
    {
        testing::TempHome home;
        QFile damaged(home.file(ui::kQtSpanishFile));
        QVERIFY(damaged.open(QIODevice::WriteOnly));
        damaged.write("no es un archivo de traducciones");
        damaged.close();
        const QTranslator *translator = ui::installQtSpanish(*qApp, home.path());
        QVERIFY(translator);
        QCOMPARE(translator->filePath(), qtTranslationsFile());
    }
};

QTEST_MAIN(TestQtTranslation)
#include "test_qt_translation.moc"
