#pragma once

#include "importexport/excel/import_engine.h"
#include "importexport/excel/progress_text.h"

#include <QElapsedTimer>
#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace importexport::excel {

// The import progress window (objectName `Form25`), "Progreso Importación": shows the run and
// drives it with its timer, a slice of time a tick; "Pausar"/"Reanudar" and "Finalizar" act on the
// run.
class Form25 final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Form25)

public:
    Form25(ImportRun &run, bool swapped, QWidget *parent = nullptr);

    QLabel *SkinLabel2 = nullptr;               // status line
    QProgressBar *ProgressBar1 = nullptr;
    QLabel *SkinLabel4[2] = {};                 // total, current record
    QLabel *SkinLabel1[2] = {};                 // remaining, accumulated time
    QLabel *SkinLabel6[3] = {};                 // new, repeated, in group
    QPushButton *Command1 = nullptr;            // "Pausar" / "Reanudar"
    QPushButton *Command2 = nullptr;            // "Finalizar"
    QTimer *Timer1 = nullptr;

    void setStatus(const QString &text);
    // The labels from the run's state.
    void mostrarAvance();
    // Runs the timer from here on.
    void enMarcha();
    // The run waits for the duplicate dialog.
    void esperandoRespuesta();
    // The dialog was closed without an answer: paused on that record.
    void pausadoEnConflicto();

    void Command1_Click();
    void Command2_Click();
    void Timer1_Timer();

    const RunClock &reloj() const { return m_clock; }

Q_SIGNALS:
    // The timer has taken the run to a state it cannot go on from by itself.
    void detenida(importexport::excel::ImportRun::State state);
    void cerrada();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    double ahora() const { return double(m_elapsed.nsecsElapsed()) / 1e9; }
    void mostrarTiempos();

    ImportRun &m_run;
    bool m_swapped = false;
    RunClock m_clock;
    QElapsedTimer m_elapsed;
};

} // namespace importexport::excel
