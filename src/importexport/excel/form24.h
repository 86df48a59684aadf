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

namespace startup { struct AppContext; class ListViews; }

namespace importexport::excel {

class Form21;
class Form25;

// The column mapping window (objectName `Form24`), "Previsualización Excel - Configuración
// columnas": the workbook's size and a sample of five records, one combo per contact field to say
// where it is read from, and the start of the import, which this window runs with the progress
// window and the duplicate dialog.
class Form24 final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Form24)

public:
    // `path`: the workbook; `group`: the target group's sid, empty for none; `workbookWindow`:
    // the Excel import window, shown again when this one is cancelled and closed when the import
    // starts.
    Form24(startup::AppContext &context, startup::ListViews *lists, QString path, QString group,
           QWidget *workbookWindow = nullptr);
    ~Form24() override;

    // Opens the workbook the first time, then fills the combos for the current orientation.
    // False when the workbook cannot be used: the user has been told and the window closes.
    bool f_recargar_muestra();

    QCheckBox *Check1 = nullptr;                    // "Intercambiar filas/columnas"
    QLabel *SkinLabel6[4] = {};                     // captions, path, size
    QLabel *SkinLabel3 = nullptr;
    std::array<QLabel *, kCampos> SkinLabel2 = {};  // field captions
    std::array<QLabel *, kRegistrosMuestra> SkinLabel1 = {};
    std::array<QComboBox *, kCampos * (kRegistrosMuestra + 1)> Combo2 = {};
    QPushButton *Command1 = nullptr;                // "Comenzar importación"
    QPushButton *Command2 = nullptr;                // "Cancelar"

    void Command1_Click();
    void Command2_Click();

    Form25 *progreso() const { return m_form25; }
    Form21 *dialogo() const { return m_form21; }
    ImportRun *run() const { return m_run.get(); }

Q_SIGNALS:
    // The run has ended (summary or failure shown); the counters are final.
    void importacionTerminada(const importexport::excel::Contadores &counters, bool failed);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildControls();
    void Check1_Click();
    void Combo2_Click(int index);
    void seguir(ImportRun::State state);
    void terminar(ImportRun::State state);

    startup::AppContext &m_context;
    startup::ListViews *m_lists = nullptr;
    QString m_ruta;
    QString m_grupo;
    QPointer<QWidget> m_form12;
    bool m_abierto = false;
    bool m_rellenando = false;
    bool m_comenzada = false;
    RecordSheet m_sheet;
    std::unique_ptr<ImportEngine> m_engine;
    std::unique_ptr<ImportRun> m_run;
    Form25 *m_form25 = nullptr;
    Form21 *m_form21 = nullptr;
};

} // namespace importexport::excel
