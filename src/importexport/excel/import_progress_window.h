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
class ImportProgressWindow final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ImportProgressWindow)

public:
    ImportProgressWindow(ImportRun &run, bool swapped, QWidget *parent = nullptr);

    QLabel *statusLabel = nullptr;               // status line
    QProgressBar *progressBar = nullptr;
    QLabel *recordLabels[2] = {};                 // total, current record
    QLabel *timeLabels[2] = {};                 // remaining, accumulated time
    QLabel *resultLabels[3] = {};                 // new, repeated, in group
    QPushButton *pauseButton = nullptr;            // "Pausar" / "Reanudar"
    QPushButton *finishButton = nullptr;            // "Finalizar"
    QTimer *tickTimer = nullptr;

    void setStatus(const QString &text);
    // The labels from the run's state.
    void showProgress();
    // Runs the timer from here on.
    void startRunning();
    // The run waits for the duplicate dialog.
    void awaitAnswer();
    // The dialog was closed without an answer: paused on that record.
    void pauseAtConflict();

    void togglePause();
    void finish();
    void tick();

Q_SIGNALS:
    // The timer has taken the run to a state it cannot go on from by itself.
    void stopped(importexport::excel::ImportRun::State state);
    void closed();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    double now() const { return double(m_elapsed.nsecsElapsed()) / 1e9; }
    void showTimes();

    ImportRun &m_run;
    bool m_swapped = false;
    RunClock m_clock;
    QElapsedTimer m_elapsed;
};

} // namespace importexport::excel
