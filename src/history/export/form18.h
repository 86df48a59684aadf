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

namespace startup { struct AppContext; }

namespace history::exporting {

// "Exportar Historial a Excel" (objectName `Form18`): the period, the sender filter and the three
// options; the button writes the workbook through runExport().
class Form18 final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Form18)

public:
    // `today` decides the default period (the machine's date unless a test gives one).
    explicit Form18(startup::AppContext &context, const QDate &today = QDate::currentDate(), QWidget *parent = nullptr);
    ~Form18() override;

    QLineEdit *Text1 = nullptr;
    QLineEdit *Text2 = nullptr;
    QToolButton *Picture1 = nullptr;
    QToolButton *Picture2 = nullptr;
    QCalendarWidget *Calendar1 = nullptr;
    QCalendarWidget *Calendar2 = nullptr;
    QCheckBox *Check1 = nullptr;
    QCheckBox *Check2 = nullptr;
    QComboBox *Combo1 = nullptr;
    QCheckBox *Check3 = nullptr;
    QPushButton *Command1 = nullptr;

    // The options as the controls hold them.
    Options options() const;
    void Command1_Click();
    const Outcome &lastOutcome() const { return m_last; }

Q_SIGNALS:
    void exported(const history::exporting::Outcome &outcome);

private:
    void buildControls();
    void Form_Load(const QDate &today);

    startup::AppContext &m_context;
    Outcome m_last;
};

} // namespace history::exporting
