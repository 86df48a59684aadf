#include "platform/ui/progress_dialog.h"

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace ui {

ProgressDialog::ProgressDialog(QWidget *parent)
    : QWidget(parent, Qt::Dialog)
{
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("Progreso"));
    m_textLabel = new QLabel(QStringLiteral("Enviando SMS..."), this);
    m_textLabel->setObjectName(QStringLiteral("SkinLabel1"));
    m_progressBar = new QProgressBar(this);
    m_progressBar->setObjectName(QStringLiteral("ProgressBar1"));
    m_progressBar->setRange(0, kMaximum);
    m_progressBar->setTextVisible(false);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_textLabel);
    layout->addWidget(m_progressBar);
    setMinimumWidth(320);

    m_checkTimer.setInterval(100);
    connect(&m_checkTimer, &QTimer::timeout, this, &ProgressDialog::advanceBar);
    m_checkTimer.start();
}

void ProgressDialog::start(const QString &message)
{
    m_progressBar->setValue(0);
    m_checkTimer.start();
    m_textLabel->setText(message);
    show();
    raise();
}

void ProgressDialog::finish()
{
    m_checkTimer.stop();
    m_progressBar->setValue(kMaximum);
}

QString ProgressDialog::text() const
{
    return m_textLabel->text();
}

int ProgressDialog::value() const
{
    return m_progressBar->value();
}

void ProgressDialog::advanceBar()
{
    if (m_progressBar->value() < kCeiling)
        m_progressBar->setValue(m_progressBar->value() + kStep);
}

} // namespace ui
