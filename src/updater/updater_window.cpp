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

    m_label1Url = named(new QLabel(QStringLiteral("Url del archivo a descargar"), this), "Label1_0");
    m_text1 = named(new QLineEdit(downloadUrl(), this), "Text1");
    m_label1Target = named(new QLabel(QStringLiteral("Guardar el archivo en..."), this), "Label1_1");
    m_text2 = named(new QLineEdit(targetPath(programFolder), this), "Text2");
    m_command1 = named(new QPushButton(QStringLiteral("Descargar"), this), "Command1");
    m_command2 = named(new QPushButton(QStringLiteral("Cancelar"), this), "Command2");

    m_frame2 = named(new QGroupBox(QStringLiteral("Estado"), this), "Frame2");
    m_label2 = named(new QLabel(QStringLiteral("Total de Bytes a descargar: "), m_frame2), "Label2");
    m_label3 = named(new QLabel(QStringLiteral("Bytes recibidos: "), m_frame2), "Label3");
    m_label4 = named(new QLabel(QStringLiteral("Porcentaje descargado: "), m_frame2), "Label4");
    m_label5 = named(new QLabel(QStringLiteral("Segundos transcurridos: "), m_frame2), "Label5");
    m_label6 = named(new QLabel(QStringLiteral("Segundos Restantes: "), m_frame2), "Label6");
    m_progressBar1 = named(new QProgressBar(m_frame2), "ProgressBar1");
    m_progressBar1->setRange(0, 100);
    m_progressBar1->setValue(0);

    auto *status = new QVBoxLayout(m_frame2);
    for (QWidget *line : {static_cast<QWidget *>(m_label2), static_cast<QWidget *>(m_label3),
                          static_cast<QWidget *>(m_label4), static_cast<QWidget *>(m_label5),
                          static_cast<QWidget *>(m_label6), static_cast<QWidget *>(m_progressBar1)})
        status->addWidget(line);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_command1);
    buttons->addWidget(m_command2);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_label1Url);
    layout->addWidget(m_text1);
    layout->addWidget(m_label1Target);
    layout->addWidget(m_text2);
    layout->addLayout(buttons);
    layout->addWidget(m_frame2);
    setMinimumWidth(520);

    connect(m_command1, &QPushButton::clicked, this, &UpdaterWindow::Command1_Click);
    connect(m_command2, &QPushButton::clicked, this, &UpdaterWindow::Command2_Click);
    connect(&m_flow, &UpdateFlow::progressed, this, &UpdaterWindow::showProgress);
    connect(&m_flow, &UpdateFlow::downloadingChanged, this, &UpdaterWindow::showDownloading);
}

void UpdaterWindow::Command1_Click()
{
    m_flow.descargar(m_text1->text(), m_text2->text());
}

void UpdaterWindow::Command2_Click()
{
    m_flow.cancelar();
}

void UpdaterWindow::showProgress(const Progress &progress)
{
    const std::optional<ProgressTexts> texts = progressTexts(progress);
    if (!texts)
        return;
    m_label2->setText(texts->total);
    m_label3->setText(texts->received);
    m_label4->setText(texts->percent);
    m_label5->setText(texts->elapsed);
    m_label6->setText(texts->remaining);
    m_progressBar1->setValue(texts->bar);
}

void UpdaterWindow::showDownloading(bool downloading)
{
    // One download at a time: a second press would start another inside the running one.
    m_command1->setEnabled(!downloading);
    m_text1->setReadOnly(downloading);
    m_text2->setReadOnly(downloading);
}

} // namespace updater
