#include "importexport/excel/import_progress_window.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace importexport::excel {

namespace {
const QString kPauseCaption = QStringLiteral("Pausar");
const QString kResumeCaption = QStringLiteral("Reanudar");
} // namespace

ImportProgressWindow::ImportProgressWindow(ImportRun &run, bool swapped, QWidget *parent) : QWidget(parent, Qt::Window), m_run(run), m_swapped(swapped)
{
    setObjectName(QStringLiteral("Form25"));
    setWindowTitle(QStringLiteral("Progreso Importación"));
    m_elapsed.start();

    auto *frame = new QGroupBox(QStringLiteral("Importando contactos de Excel"), this);
    statusLabel = new QLabel(QStringLiteral("Importando contactos: Progreso 0%"), frame);
    statusLabel->setObjectName(QStringLiteral("SkinLabel2"));
    progressBar = new QProgressBar(frame);
    progressBar->setObjectName(QStringLiteral("ProgressBar1"));
    progressBar->setRange(0, kBarMaximum);
    progressBar->setValue(0);
    progressBar->setTextVisible(false);
    recordLabels[0] = new QLabel(QStringLiteral("0"), frame);
    recordLabels[1] = new QLabel(QStringLiteral("0"), frame);
    timeLabels[0] = new QLabel(QStringLiteral("Tiempo restante: Cargando..."), frame);
    timeLabels[1] = new QLabel(QStringLiteral("Tiempo acumulado: Cargando..."), frame);
    for (QLabel *label : recordLabels)
        label->setObjectName(QStringLiteral("SkinLabel4"));
    for (QLabel *label : timeLabels)
        label->setObjectName(QStringLiteral("SkinLabel1"));
    auto *grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Número registro actual:"), frame), 0, 0);
    grid->addWidget(recordLabels[1], 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Número total registros:"), frame), 1, 0);
    grid->addWidget(recordLabels[0], 1, 1);
    auto *frameLayout = new QVBoxLayout(frame);
    frameLayout->addWidget(statusLabel);
    frameLayout->addWidget(progressBar);
    frameLayout->addLayout(grid);
    frameLayout->addWidget(timeLabels[0]);
    frameLayout->addWidget(timeLabels[1]);

    auto *resultsFrame = new QGroupBox(QStringLiteral("Resultados"), this);
    auto *resGrid = new QGridLayout(resultsFrame);
    const QStringList captions{QStringLiteral("Nuevos contactos:"), QStringLiteral("Contactos repetidos:"),
                               QStringLiteral("Contactos en grupo:")};
    for (int i = 0; i < 3; ++i) {
        resultLabels[i] = new QLabel(QStringLiteral("0"), resultsFrame);
        resultLabels[i]->setObjectName(QStringLiteral("SkinLabel6"));
        resGrid->addWidget(new QLabel(captions.at(i), resultsFrame), i, 0);
        resGrid->addWidget(resultLabels[i], i, 1);
    }

    pauseButton = new QPushButton(kPauseCaption, this);
    finishButton = new QPushButton(QStringLiteral("Finalizar"), this);
    pauseButton->setObjectName(QStringLiteral("Command1"));
    finishButton->setObjectName(QStringLiteral("Command2"));
    pauseButton->setEnabled(false);
    finishButton->setEnabled(false);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(pauseButton);
    buttons->addWidget(finishButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    layout->addWidget(resultsFrame);
    layout->addLayout(buttons);

    tickTimer = new QTimer(this);
    tickTimer->setObjectName(QStringLiteral("Timer1"));
    // Each tick imports for a slice of time and then lets the window handle its events; the next
    // tick follows as soon as it has.
    tickTimer->setInterval(0);
    connect(tickTimer, &QTimer::timeout, this, &ImportProgressWindow::tick);
    connect(pauseButton, &QPushButton::clicked, this, &ImportProgressWindow::togglePause);
    connect(finishButton, &QPushButton::clicked, this, &ImportProgressWindow::finish);
}

void ImportProgressWindow::setStatus(const QString &text)
{
    statusLabel->setText(text);
}

void ImportProgressWindow::showProgress()
{
    const int current = std::max(m_run.current(), 0);
    recordLabels[0]->setText(QString::number(m_run.total()));
    recordLabels[1]->setText(QString::number(current));
    setStatus(progressText(current, m_run.total(), m_swapped));
    progressBar->setValue(std::max(progressBar->value(), barValue(current, m_run.total())));
    const Counters &c = m_run.counters();
    resultLabels[0]->setText(QString::number(c.added));
    resultLabels[1]->setText(QString::number(c.repeated()));
    resultLabels[2]->setText(QString::number(c.inGroup));
}

void ImportProgressWindow::startRunning()
{
    showProgress();
    pauseButton->setEnabled(true);
    tickTimer->start();
}

void ImportProgressWindow::awaitAnswer()
{
    showProgress();
    tickTimer->stop();
    m_clock.close(now());
    setStatus(QStringLiteral("Esperando respuesta..."));
    pauseButton->setEnabled(false);
}

void ImportProgressWindow::pauseAtConflict()
{
    pauseButton->setEnabled(true);
    finishButton->setEnabled(true);
    pauseButton->setText(kResumeCaption);
    showProgress();
    show();
}

void ImportProgressWindow::togglePause()
{
    if (pauseButton->text() == kPauseCaption) {
        pauseButton->setText(kResumeCaption);
        finishButton->setEnabled(true);
        tickTimer->stop();
    } else {
        finishButton->setEnabled(false);
        pauseButton->setText(kPauseCaption);
        tickTimer->start();
    }
    // A pause never counts as run time.
    m_clock.close(now());
}

void ImportProgressWindow::finish()
{
    m_run.finish();
    recordLabels[1]->setText(QString::number(m_run.total()));
    tickTimer->start();
}

void ImportProgressWindow::tick()
{
    if (!m_clock.isOpen())
        m_clock.open(now());
    const ImportRun::State state = m_run.tick();
    if (state != ImportRun::State::Running) {
        tickTimer->stop();
        m_clock.reopen(now());
        Q_EMIT stopped(state);
        return;
    }
    showProgress();
    if (now() - m_clock.start() > 1) {
        m_clock.reopen(now());
        showTimes();
    }
}

void ImportProgressWindow::showTimes()
{
    if (m_clock.accumulated() <= 0)
        return;
    timeLabels[0]->setText(formatDuration(remainingSeconds(m_run.total(), m_run.current(), m_clock.accumulated()),
                                              QStringLiteral("Tiempo restante: ")));
    timeLabels[1]->setText(formatDuration(m_clock.accumulated(), QStringLiteral("Tiempo acumulado: ")));
}

void ImportProgressWindow::closeEvent(QCloseEvent *event)
{
    tickTimer->stop();
    event->accept();
    Q_EMIT closed();
}

} // namespace importexport::excel
