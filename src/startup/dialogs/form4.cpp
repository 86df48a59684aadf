#include "startup/dialogs/form4.h"

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace startup {

Form4::Form4(QWidget *parent)
    : QWidget(parent, Qt::Dialog)
{
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("Progreso"));
    SkinLabel1 = new QLabel(QStringLiteral("Enviando SMS..."), this);
    SkinLabel1->setObjectName(QStringLiteral("SkinLabel1"));
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, kMaximo);
    ProgressBar1->setTextVisible(false);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(SkinLabel1);
    layout->addWidget(ProgressBar1);
    setMinimumWidth(320);

    Timer1.setInterval(100);
    connect(&Timer1, &QTimer::timeout, this, &Form4::Timer1_Timer);
    Timer1.start();
}

void Form4::start(const QString &message)
{
    ProgressBar1->setValue(0);
    Timer1.start();
    SkinLabel1->setText(message);
    show();
    raise();
}

void Form4::finish()
{
    Timer1.stop();
    ProgressBar1->setValue(kMaximo);
}

QString Form4::text() const
{
    return SkinLabel1->text();
}

int Form4::value() const
{
    return ProgressBar1->value();
}

void Form4::Timer1_Timer()
{
    if (ProgressBar1->value() < kTope)
        ProgressBar1->setValue(ProgressBar1->value() + kPaso);
}

} // namespace startup
