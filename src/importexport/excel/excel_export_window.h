#pragma once

#include "importexport/excel/contact_export.h"

#include <QWidget>

class QComboBox;
class QPushButton;

namespace seams { struct AppContext; }

namespace importexport::excel {

// The Excel export window (objectName `Form13`), "Exportar a Excel": every contact or one group's
// members into a workbook that then opens on the user's screen. The window stays open for further
// exports.
class ExcelExportWindow final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ExcelExportWindow)

public:
    explicit ExcelExportWindow(seams::AppContext &context, QWidget *parent = nullptr);

    QComboBox *groupCombo = nullptr;
    QPushButton *exportButton = nullptr;

    void exportSelection();
    const ExportOutcome &lastOutcome() const { return m_last; }

private:
    void load();

    seams::AppContext &m_context;
    ExportOutcome m_last;
};

} // namespace importexport::excel
