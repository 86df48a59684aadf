#pragma once

#include "history/export/export_flow.h"

#include <QDate>
#include <QWidget>

class QCalendarWidget;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace seams { struct AppContext; }

namespace history::exporting {

// "Exportar Historial a Excel" (objectName `Form18`): the period, the sender filter and the three
// options; the button writes the workbook through runExport().
class HistoryExportDialog final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HistoryExportDialog)

public:
    // `today` decides the default period (the machine's date unless a test gives one).
    explicit HistoryExportDialog(seams::AppContext &context, const QDate &today = QDate::currentDate(), QWidget *parent = nullptr);
    ~HistoryExportDialog() override;

    QLineEdit *fromBox = nullptr;
    QLineEdit *toBox = nullptr;
    QToolButton *fromCalendarButton = nullptr;
    QToolButton *toCalendarButton = nullptr;
    QCalendarWidget *fromCalendar = nullptr;
    QCalendarWidget *toCalendar = nullptr;
    QCheckBox *showNamesCheck = nullptr;
    QCheckBox *senderFilterCheck = nullptr;
    QComboBox *senderCombo = nullptr;
    QCheckBox *splitRowsCheck = nullptr;
    QPushButton *exportButton = nullptr;

    // The options as the controls hold them.
    Options options() const;
    void onExportClicked();
    const Outcome &lastOutcome() const { return m_last; }

Q_SIGNALS:
    void exported(const history::exporting::Outcome &outcome);

private:
    void buildControls();
    void load(const QDate &today);

    seams::AppContext &m_context;
    Outcome m_last;
};

} // namespace history::exporting
