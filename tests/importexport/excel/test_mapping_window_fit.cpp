// The column mapping window on the most common laptop screen, 1366 x 768: it opens within the
// screen with every control reachable, and every sample text can be read whole.
#include "excel_fixture.h"
#include "importexport/excel/column_mapping_window.h"
#include "importexport/excel/excel_import_window.h"
#include "platform/ui/busy_cursor.h"
#include "seams/app_context.h"
#include "seams/subsystems.h"
#include "support/recording_shell.h"
#include "support/scripted_prompter.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTemporaryDir>
#include <QTest>

using namespace importexport::excel;

namespace {

struct Views final : seams::ListViews {
    void refreshContactList(bool) override {}
    void refreshGroupList() override {}
};

struct Env {
    exceltest::Database d;
    testing::ScriptedPrompter prompter;
    testing::RecordingShell shell;
    ui::BusyCursor busy;
    Views views;
    seams::AppContext context{d.connection, prompter, shell, busy, d.home.path()};
};

// Twelve columns of long texts, as a customer list exported from another program has them.
QList<QStringList> longRows()
{
    QList<QStringList> rows;
    for (int r = 0; r < 6; ++r) {
        QStringList row;
        row << QStringLiteral("Nombre completo del cliente número %1 con sus dos apellidos").arg(r)
            << QStringLiteral("6000000%1").arg(r + 10);
        for (int c = 2; c < 12; ++c)
            row << QStringLiteral("Dato de la columna %1 de la fila %2, bastante largo para leerlo").arg(c).arg(r);
        rows << row;
    }
    return rows;
}

} // namespace

class TestMappingWindowFit final : public QObject {
    Q_OBJECT

    QPointer<ColumnMappingWindow> openMapping(Env &env, QPointer<ExcelImportWindow> &form)
    {
        const QString book = QFileInfo(exceltest::saveBook(env.d.home, exceltest::sheetOf(longRows()))).fileName();
        form = new ExcelImportWindow(env.context, &env.views, QDateTime(QDate(2024, 5, 10), QTime(12, 0)));
        form->setAttribute(Qt::WA_DeleteOnClose);
        form->setFolder(env.d.home.path());
        form->selectFile(book);
        return form->importWorkbook();
    }

    static QString outside(const QWidget &window, const QWidget *control)
    {
        const QRect place(control->mapTo(&window, QPoint(0, 0)), control->size());
        if (!control->isVisibleTo(&window) || !window.rect().contains(place))
            return QStringLiteral("%1 \"%2\" at %3,%4 %5x%6 is outside the %7x%8 window\n")
                .arg(control->objectName(), control->property("text").toString())
                .arg(place.x()).arg(place.y()).arg(place.width()).arg(place.height())
                .arg(window.width()).arg(window.height());
        return {};
    }

private Q_SLOTS:
    void fitsTheScreenWithEveryControlReachable()
    {
        const QScreen *screen = QGuiApplication::primaryScreen();
        QCOMPARE(screen->geometry().size(), QSize(1366, 768));
        Env env;
        QPointer<ExcelImportWindow> form;
        QPointer<ColumnMappingWindow> mapping = openMapping(env, form);
        QVERIFY(mapping);
        QVERIFY(QTest::qWaitForWindowExposed(mapping.data()));
        QCoreApplication::processEvents();

        const QRect available = screen->availableGeometry();
        QVERIFY2(available.contains(mapping->frameGeometry()),
                 qPrintable(QStringLiteral("window %1,%2 %3x%4 on a %5x%6 screen")
                                .arg(mapping->frameGeometry().x()).arg(mapping->frameGeometry().y())
                                .arg(mapping->frameGeometry().width()).arg(mapping->frameGeometry().height())
                                .arg(available.width()).arg(available.height())));
        QVERIFY(mapping->minimumSizeHint().width() <= available.width());
        QVERIFY(mapping->minimumSizeHint().height() <= available.height());

        QString report;
        report += outside(*mapping, mapping->startButton);
        report += outside(*mapping, mapping->cancelButton);
        report += outside(*mapping, mapping->swapCheck);
        for (QComboBox *combo : mapping->mappingCombos)
            report += outside(*mapping, combo);
        for (QLabel *label : mapping->sampleLabels)
            report += outside(*mapping, label);
        QVERIFY2(report.isEmpty(), qPrintable(report));
        mapping->close();
        delete form;
    }

    // A chooser narrower than its texts: its list is wide enough for them (as far as the screen
    // goes), every item tells its whole text on pointing at it, and the chooser tells its chosen
    // item whole, also after another is chosen and after the orientation is swapped.
    void everySampleTextCanBeReadWhole()
    {
        Env env;
        QPointer<ExcelImportWindow> form;
        QPointer<ColumnMappingWindow> mapping = openMapping(env, form);
        QVERIFY(mapping);
        QVERIFY(QTest::qWaitForWindowExposed(mapping.data()));
        const int screenWidth = QGuiApplication::primaryScreen()->availableGeometry().width();
        const auto check = [&] {
            QString report;
            for (QComboBox *combo : mapping->mappingCombos) {
                for (int item = 0; item < combo->count(); ++item) {
                    const QString text = combo->itemText(item);
                    if (combo->itemData(item, Qt::ToolTipRole).toString() != text)
                        report += QStringLiteral("item \"%1\" has no tooltip of its whole text\n").arg(text);
                    const int needed = combo->view()->fontMetrics().horizontalAdvance(text);
                    if (combo->view()->minimumWidth() < std::min(needed, screenWidth / 2))
                        report += QStringLiteral("list of \"%1\" is %2 px, the text needs %3\n")
                                      .arg(text).arg(combo->view()->minimumWidth()).arg(needed);
                }
                if (combo->toolTip() != combo->currentText())
                    report += QStringLiteral("chooser tells \"%1\", shows \"%2\"\n").arg(combo->toolTip(), combo->currentText());
            }
            return report;
        };
        QCOMPARE(check(), QString());
        mapping->mappingCombos[kFieldCount + 2]->setCurrentIndex(5);
        QCOMPARE(check(), QString());
        mapping->swapCheck->click();
        QCOMPARE(check(), QString());
        mapping->close();
        delete form;
    }

    // Short samples need no list nor tooltip: on this screen each chooser shows its items whole.
    void shortSamplesShowWholeInTheChoosers()
    {
        Env env;
        QList<QStringList> rows;
        for (int i = 0; i < 6; ++i)
            rows << QStringList{QStringLiteral("Ana %1").arg(i), QStringLiteral("6000000%1").arg(i + 10),
                                QStringLiteral("Álamo %1").arg(i), QStringLiteral("Cliente"), QStringLiteral("25/12/1980")};
        const QString book = QFileInfo(exceltest::saveBook(env.d.home, exceltest::sheetOf(rows))).fileName();
        QPointer<ExcelImportWindow> form =
            new ExcelImportWindow(env.context, &env.views, QDateTime(QDate(2024, 5, 10), QTime(12, 0)));
        form->setAttribute(Qt::WA_DeleteOnClose);
        form->setFolder(env.d.home.path());
        form->selectFile(book);
        QPointer<ColumnMappingWindow> mapping = form->importWorkbook();
        QVERIFY(mapping);
        QVERIFY(QTest::qWaitForWindowExposed(mapping.data()));
        QCoreApplication::processEvents();
        const auto checkAll = [&] {
            for (QComboBox *combo : mapping->mappingCombos) {
                QStyleOptionComboBox option;
                option.initFrom(combo);
                option.currentText = combo->currentText();
                const QRect field = combo->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                                   QStyle::SC_ComboBoxEditField, combo);
                for (int item = 0; item < combo->count(); ++item) {
                    const int needed = combo->fontMetrics().horizontalAdvance(combo->itemText(item));
                    if (field.width() < needed)
                        return QStringLiteral("\"%1\" needs %2 px, the chooser shows %3")
                            .arg(combo->itemText(item)).arg(needed).arg(field.width());
                }
            }
            return QString();
        };
        QCOMPARE(checkAll(), QString());
        mapping->swapCheck->click();
        QCOMPARE(checkAll(), QString());
        mapping->close();
        delete form;
    }
};

// The test runs on a screen of its own size: the offscreen platform is given one of 1366 x 768.
int main(int argc, char *argv[])
{
    QTemporaryDir configDir;
    const QString config = configDir.filePath(QStringLiteral("screen.json"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly))
        return 1;
    file.write(R"({"screens": [{"name": "laptop", "x": 0, "y": 0, "width": 1366, "height": 768,
                   "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
    file.close();
    qputenv("QT_QPA_PLATFORM", QByteArray("offscreen:configfile=") + config.toLocal8Bit());
    QApplication app(argc, argv);
    TestMappingWindowFit test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_mapping_window_fit.moc"
