#include "importexport/excel/form25.h"

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

Form25::Form25(ImportRun &run, bool swapped, QWidget *parent) : QWidget(parent, Qt::Window), m_run(run), m_swapped(swapped)
{
    setObjectName(QStringLiteral("Form25"));
    setWindowTitle(QStringLiteral("Progreso Importación"));
    m_elapsed.start();

    auto *frame = new QGroupBox(QStringLiteral("Importando contactos de Excel"), this);
    SkinLabel2 = new QLabel(QStringLiteral("Importando contactos: Progreso 0%"), frame);
    SkinLabel2->setObjectName(QStringLiteral("SkinLabel2"));
    ProgressBar1 = new QProgressBar(frame);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, kMaximoBarra);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    SkinLabel4[0] = new QLabel(QStringLiteral("0"), frame);
    SkinLabel4[1] = new QLabel(QStringLiteral("0"), frame);
    SkinLabel1[0] = new QLabel(QStringLiteral("Tiempo restante: Cargando..."), frame);
    SkinLabel1[1] = new QLabel(QStringLiteral("Tiempo acumulado: Cargando..."), frame);
    for (QLabel *label : SkinLabel4)
        label->setObjectName(QStringLiteral("SkinLabel4"));
    for (QLabel *label : SkinLabel1)
        label->setObjectName(QStringLiteral("SkinLabel1"));
    auto *grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Número registro actual:"), frame), 0, 0);
    grid->addWidget(SkinLabel4[1], 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Número total registros:"), frame), 1, 0);
    grid->addWidget(SkinLabel4[0], 1, 1);
    auto *frameLayout = new QVBoxLayout(frame);
    frameLayout->addWidget(SkinLabel2);
    frameLayout->addWidget(ProgressBar1);
    frameLayout->addLayout(grid);
    frameLayout->addWidget(SkinLabel1[0]);
    frameLayout->addWidget(SkinLabel1[1]);

    auto *resultsFrame = new QGroupBox(QStringLiteral("Resultados"), this);
    auto *resGrid = new QGridLayout(resultsFrame);
    const QStringList captions{QStringLiteral("Nuevos contactos:"), QStringLiteral("Contactos repetidos:"),
                               QStringLiteral("Contactos en grupo:")};
    for (int i = 0; i < 3; ++i) {
        SkinLabel6[i] = new QLabel(QStringLiteral("0"), resultsFrame);
        SkinLabel6[i]->setObjectName(QStringLiteral("SkinLabel6"));
        resGrid->addWidget(new QLabel(captions.at(i), resultsFrame), i, 0);
        resGrid->addWidget(SkinLabel6[i], i, 1);
    }

    Command1 = new QPushButton(kPauseCaption, this);
    Command2 = new QPushButton(QStringLiteral("Finalizar"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command2->setObjectName(QStringLiteral("Command2"));
    Command1->setEnabled(false);
    Command2->setEnabled(false);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Command1);
    buttons->addWidget(Command2);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    layout->addWidget(resultsFrame);
    layout->addLayout(buttons);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    // Each tick imports for a slice of time and then lets the window handle its events; the next
    // tick follows as soon as it has.
    Timer1->setInterval(0);
    connect(Timer1, &QTimer::timeout, this, &Form25::Timer1_Timer);
    connect(Command1, &QPushButton::clicked, this, &Form25::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form25::Command2_Click);
}

void Form25::setStatus(const QString &text)
{
    SkinLabel2->setText(text);
}

void Form25::mostrarAvance()
{
    const int current = std::max(m_run.actual(), 0);
    SkinLabel4[0]->setText(QString::number(m_run.total()));
    SkinLabel4[1]->setText(QString::number(current));
    setStatus(textoProgreso(current, m_run.total(), m_swapped));
    ProgressBar1->setValue(std::max(ProgressBar1->value(), valorBarra(current, m_run.total())));
    const Contadores &c = m_run.contadores();
    SkinLabel6[0]->setText(QString::number(c.nuevos));
    SkinLabel6[1]->setText(QString::number(c.repetidos()));
    SkinLabel6[2]->setText(QString::number(c.enGrupo));
}

void Form25::enMarcha()
{
    mostrarAvance();
    Command1->setEnabled(true);
    Timer1->start();
}

void Form25::esperandoRespuesta()
{
    mostrarAvance();
    Timer1->stop();
    m_clock.cerrar(ahora());
    setStatus(QStringLiteral("Esperando respuesta..."));
    Command1->setEnabled(false);
}

void Form25::pausadoEnConflicto()
{
    Command1->setEnabled(true);
    Command2->setEnabled(true);
    Command1->setText(kResumeCaption);
    mostrarAvance();
    show();
}

void Form25::Command1_Click()
{
    if (Command1->text() == kPauseCaption) {
        Command1->setText(kResumeCaption);
        Command2->setEnabled(true);
        Timer1->stop();
    } else {
        Command2->setEnabled(false);
        Command1->setText(kPauseCaption);
        Timer1->start();
    }
    // A pause never counts as run time.
    m_clock.cerrar(ahora());
}

void Form25::Command2_Click()
{
    m_run.finalizar();
    SkinLabel4[1]->setText(QString::number(m_run.total()));
    Timer1->start();
}

void Form25::Timer1_Timer()
{
    if (!m_clock.abierto())
        m_clock.abrir(ahora());
    const ImportRun::State state = m_run.tramo();
    if (state != ImportRun::State::EnCurso) {
        Timer1->stop();
        m_clock.reabrir(ahora());
        Q_EMIT detenida(state);
        return;
    }
    mostrarAvance();
    if (ahora() - m_clock.inicio() > 1) {
        m_clock.reabrir(ahora());
        mostrarTiempos();
    }
}

void Form25::mostrarTiempos()
{
    if (m_clock.acumulado() <= 0)
        return;
    SkinLabel1[0]->setText(f_formatear_tiempo(segundosRestantes(m_run.total(), m_run.actual(), m_clock.acumulado()),
                                              QStringLiteral("Tiempo restante: ")));
    SkinLabel1[1]->setText(f_formatear_tiempo(m_clock.acumulado(), QStringLiteral("Tiempo acumulado: ")));
}

void Form25::closeEvent(QCloseEvent *event)
{
    Timer1->stop();
    event->accept();
    Q_EMIT cerrada();
}

} // namespace importexport::excel
