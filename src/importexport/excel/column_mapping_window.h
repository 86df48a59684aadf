#pragma once

#include "importexport/excel/column_mapping.h"
#include "importexport/excel/import_engine.h"

#include <QPointer>
#include <QWidget>

#include <array>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

namespace seams { struct AppContext; class ListViews; }

namespace importexport::excel {

class DuplicatePhoneDialog;
class ImportProgressWindow;

// The column mapping window (objectName `Form24`), "Previsualización Excel - Configuración
// columnas": the workbook's size and a sample of five records, one combo per contact field to say
// where it is read from, and the start of the import, which this window runs with the progress
// window and the duplicate dialog.
class ColumnMappingWindow final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ColumnMappingWindow)

public:
    // `path`: the workbook; `group`: the target group's sid, empty for none; `workbookWindow`:
    // the Excel import window, shown again when this one is cancelled and closed when the import
    // starts.
    ColumnMappingWindow(seams::AppContext &context, seams::ListViews *lists, QString path, QString group,
           QWidget *workbookWindow = nullptr);
    ~ColumnMappingWindow() override;

    // Opens the workbook the first time, then fills the combos for the current orientation.
    // False when the workbook cannot be used: the user has been told and the window closes.
    bool reloadSample();

    QCheckBox *swapCheck = nullptr;                    // "Intercambiar filas/columnas"
    QLabel *infoLabels[4] = {};                     // captions, path, size
    QLabel *instructionLabel = nullptr;
    std::array<QLabel *, kFieldCount> fieldLabels = {};  // field captions
    std::array<QLabel *, kSampleRecords> sampleLabels = {};
    std::array<QComboBox *, kFieldCount * (kSampleRecords + 1)> mappingCombos = {};
    QPushButton *startButton = nullptr;                // "Comenzar importación"
    QPushButton *cancelButton = nullptr;                // "Cancelar"

    void startImport();
    void cancel();

    ImportProgressWindow *progressWindow() const { return m_progressWindow; }
    DuplicatePhoneDialog *duplicateDialog() const { return m_duplicateDialog; }
    ImportRun *run() const { return m_run.get(); }

Q_SIGNALS:
    // The run has ended (summary or failure shown); the counters are final.
    void importFinished(const importexport::excel::Counters &counters, bool failed);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildControls();
    void swapOrientation();
    void syncMappingCombos(int index);
    void fitChoosersToItems();
    void fitToScreen();
    void continueRun(ImportRun::State state);
    void finishRun(ImportRun::State state);

    seams::AppContext &m_context;
    seams::ListViews *m_lists = nullptr;
    QString m_path;
    QString m_group;
    QPointer<QWidget> m_workbookWindow;
    bool m_opened = false;
    bool m_filling = false;
    bool m_started = false;
    RecordSheet m_sheet;
    std::unique_ptr<ImportEngine> m_engine;
    std::unique_ptr<ImportRun> m_run;
    ImportProgressWindow *m_progressWindow = nullptr;
    DuplicatePhoneDialog *m_duplicateDialog = nullptr;
};

} // namespace importexport::excel
