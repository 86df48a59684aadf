#include "updater/updater_window.h"

#include "updater/progress_text.h"
#include "updater/update_flow.h"
#include "updater/update_target.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace updater {
namespace {

template <typename Widget>
Widget *named(Widget *widget, const char *name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

} // namespace

UpdaterWindow::UpdaterWindow(UpdateFlow &flow, const QString &programFolder, QWidget *parent)
    : QWidget(parent), m_flow(flow)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(windowCaption());

    m_urlLabel = named(new QLabel(QStringLiteral("Url del archivo a descargar"), this), "Label1_0");
    m_urlBox = named(new QLineEdit(downloadUrl(), this), "Text1");
    m_targetLabel = named(new QLabel(QStringLiteral("Guardar el archivo en..."), this), "Label1_1");
    m_targetBox = named(new QLineEdit(targetPath(programFolder), this), "Text2");
    m_downloadButton = named(new QPushButton(QStringLiteral("Descargar"), this), "Command1");
    m_cancelButton = named(new QPushButton(QStringLiteral("Cancelar"), this), "Command2");

    m_statusFrame = named(new QGroupBox(QStringLiteral("Estado"), this), "Frame2");
    m_totalLabel = named(new QLabel(QStringLiteral("Total de Bytes a descargar: "), m_statusFrame), "Label2");
    m_receivedLabel = named(new QLabel(QStringLiteral("Bytes recibidos: "), m_statusFrame), "Label3");
    m_percentLabel = named(new QLabel(QStringLiteral("Porcentaje descargado: "), m_statusFrame), "Label4");
    m_elapsedLabel = named(new QLabel(QStringLiteral("Segundos transcurridos: "), m_statusFrame), "Label5");
    m_remainingLabel = named(new QLabel(QStringLiteral("Segundos Restantes: "), m_statusFrame), "Label6");
    m_progressBar = named(new QProgressBar(m_statusFrame), "ProgressBar1");
    m_progressBar->setRange(0, 100);
    m_progressBar->setValue(0);

    auto *status = new QVBoxLayout(m_statusFrame);
    for (QWidget *line : {static_cast<QWidget *>(m_totalLabel), static_cast<QWidget *>(m_receivedLabel),
                          static_cast<QWidget *>(m_percentLabel), static_cast<QWidget *>(m_elapsedLabel),
                          static_cast<QWidget *>(m_remainingLabel), static_cast<QWidget *>(m_progressBar)})
        status->addWidget(line);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_downloadButton);
    buttons->addWidget(m_cancelButton);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_urlLabel);
    layout->addWidget(m_urlBox);
    layout->addWidget(m_targetLabel);
    layout->addWidget(m_targetBox);
    layout->addLayout(buttons);
    layout->addWidget(m_statusFrame);
    setMinimumWidth(520);

    connect(m_downloadButton, &QPushButton::clicked, this, &UpdaterWindow::startDownload);
    connect(m_cancelButton, &QPushButton::clicked, this, &UpdaterWindow::cancel);
    connect(&m_flow, &UpdateFlow::progressed, this, &UpdaterWindow::showProgress);
    connect(&m_flow, &UpdateFlow::downloadingChanged, this, &UpdaterWindow::showDownloading);
}

void UpdaterWindow::startDownload()
{
    m_flow.startDownload(m_urlBox->text(), m_targetBox->text());
}

void UpdaterWindow::cancel()
{
    m_flow.cancel();
}

void UpdaterWindow::showProgress(const Progress &progress)
{
    const std::optional<ProgressTexts> texts = progressTexts(progress);
    if (!texts)
        return;
    m_totalLabel->setText(texts->total);
    m_receivedLabel->setText(texts->received);
    m_percentLabel->setText(texts->percent);
    m_elapsedLabel->setText(texts->elapsed);
    m_remainingLabel->setText(texts->remaining);
    m_progressBar->setValue(texts->bar);
}

void UpdaterWindow::showDownloading(bool downloading)
{
    // One download at a time: a second press would start another inside the running one.
    m_downloadButton->setEnabled(!downloading);
    m_urlBox->setReadOnly(downloading);
    m_targetBox->setReadOnly(downloading);
}

} // namespace updater
