#include "automation_rig.h"

#include "automation/automation_settings_dialog.h"
#include "support/cut_labels.h"

#include <QLabel>
#include <QPushButton>
#include <QtTest>

// The settings window's help paragraphs are read whole: each label is given the height its text
// needs at its width, at the size the window opens with and after the user resizes it.
class TestAutomationSettingsLayout final : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void labelsGetTheHeightTheirTextNeeds_data()
    {
        QTest::addColumn<int>("widthChange");
        QTest::addColumn<int>("heightChange");
        QTest::newRow("as it opens") << 0 << 0;
        QTest::newRow("narrower") << -150 << 0;
        QTest::newRow("lower") << 0 << -250;
        QTest::newRow("wider and lower") << 300 << -200;
    }
    void labelsGetTheHeightTheirTextNeeds()
    {
        QFETCH(int, widthChange);
        QFETCH(int, heightChange);
        testing::AutomationRig rig;
        automation::AutomationSettingsDialog form(*rig.context);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        if (widthChange != 0 || heightChange != 0) {
            const QSize target = form.size() + QSize(widthChange, heightChange);
            form.resize(target.expandedTo(form.minimumSize()));
            QTRY_COMPARE_WITH_TIMEOUT(form.size(), target.expandedTo(form.minimumSize()), 5000);
        }
        QCoreApplication::processEvents();
        const QStringList cut = testing::cutLabels(form);
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QLatin1Char('\n'))));
        // "Guardar" stays within the window whatever its size.
        const QRect save(form.saveButton()->mapTo(&form, QPoint(0, 0)), form.saveButton()->size());
        QVERIFY(form.rect().contains(save));
    }
};

QTEST_MAIN(TestAutomationSettingsLayout)
#include "test_automation_settings_layout.moc"
