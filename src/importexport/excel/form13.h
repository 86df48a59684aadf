#pragma once

#include "importexport/excel/contact_export.h"

#include <QWidget>

class QComboBox;
class QPushButton;

namespace startup { struct AppContext; }

namespace importexport::excel {

// The Excel export window (objectName `Form13`), "Exportar a Excel": every contact or one group's
// members into a workbook that then opens on the user's screen. The window stays open for further
// exports.
class Form13 final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Form13)

public:
    explicit Form13(startup::AppContext &context, QWidget *parent = nullptr);

    QComboBox *Combo1 = nullptr;
    QPushButton *Command1 = nullptr;

    void Command1_Click();
    const ExportOutcome &lastOutcome() const { return m_last; }

private:
    void Form_Load();

    startup::AppContext &m_context;
    ExportOutcome m_last;
};

} // namespace importexport::excel
