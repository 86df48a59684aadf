#include "importexport/web/web_download_window.h"

#include "brand/brand.h"
#include "database/account_row.h"
#include "platform/net/gateway_channel.h"
#include "platform/ui/prompter.h"
#include "seams/app_context.h"
#include "seams/subsystems.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace importexport::web {

WebDownloadWindow::WebDownloadWindow(seams::AppContext &context, seams::ListViews *lists, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_context(context)
    , m_lists(lists)
    , m_channel(new net::GatewayChannel(net::Overlap::ReplaceOlder, this))
{
    setObjectName(QStringLiteral("Form14"));
    m_channel->setCounterRule(net::CounterRule::ByCaller);
    // The whole web contact book comes in one reply: far more than an API line, still bounded.
    m_channel->setReplyLimit(kDownloadReplyLimit);
    const QString base = brand::baseUrl();
    const QString brandName = brand::brandName();

    setWindowTitle(QStringLiteral("Importar desde ") + domainFromDot(base));
    mainFrame = new QGroupBox(QStringLiteral("Importar desde ") + base, this);
    introLabel = new QLabel(QStringLiteral("Mediante este formulario, puede descargarse los contactos guardados en ") + base
                                + QStringLiteral(" y utilizarlos en ") + brandName
                                + QStringLiteral(" Desktop, de manera sencilla y cómoda."),
                            mainFrame);
    instructionLabel = new QLabel(QStringLiteral("Para importar la agenda en ") + brandName
                                + QStringLiteral(" Desktop, seleccione las opciones deseadas y pulse sobre el botón "
                                                 "'Importar'."),
                            mainFrame);
    waitLabel = new QLabel(QStringLiteral("Este proceso puede tardar unos minutos, por favor espere a que se complete en "
                                           "su totalidad."),
                            mainFrame);
    noteLabel = new QLabel(QStringLiteral("Nota: Los grupos no pueden ser importados."), mainFrame);
    skipExistingPhoneCheck = new QCheckBox(QStringLiteral("Ignorar contactos cuyo teléfono ya exista en ") + brandName + QStringLiteral(" Desktop"),
                           mainFrame);
    skipDuplicatesCheck = new QCheckBox(QStringLiteral("Ignorar contactos duplicados (aquellos que coincidan en todos los campos)"), mainFrame);
    skipDuplicatesCheck->setChecked(true);
    importButton = new QPushButton(QStringLiteral("Importar"), mainFrame);
    for (QLabel *label : {introLabel, instructionLabel, waitLabel, noteLabel})
        label->setWordWrap(true);
    mainFrame->setObjectName(QStringLiteral("Frame1"));
    introLabel->setObjectName(QStringLiteral("SkinLabel1"));
    instructionLabel->setObjectName(QStringLiteral("SkinLabel2"));
    waitLabel->setObjectName(QStringLiteral("SkinLabel3"));
    noteLabel->setObjectName(QStringLiteral("SkinLabel4"));
    skipExistingPhoneCheck->setObjectName(QStringLiteral("Check1"));
    skipDuplicatesCheck->setObjectName(QStringLiteral("Check2"));
    importButton->setObjectName(QStringLiteral("Command1"));

    auto *inner = new QVBoxLayout(mainFrame);
    for (QWidget *w : std::initializer_list<QWidget *>{introLabel, instructionLabel, waitLabel, noteLabel, skipExistingPhoneCheck, skipDuplicatesCheck})
        inner->addWidget(w);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(importButton);
    inner->addLayout(buttons);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(mainFrame);
    setMinimumWidth(460);

    connect(skipExistingPhoneCheck, &QCheckBox::clicked, this, &WebDownloadWindow::onSkipExistingPhoneClicked);
    connect(importButton, &QPushButton::clicked, this, &WebDownloadWindow::requestDownload);
    connect(m_channel, &net::GatewayChannel::finished, this, &WebDownloadWindow::handleReply);
}

WebDownloadWindow::~WebDownloadWindow() = default;

void WebDownloadWindow::onSkipExistingPhoneClicked()
{
    if (skipExistingPhoneCheck->isChecked())
        skipDuplicatesCheck->setChecked(true);
}

void WebDownloadWindow::requestDownload()
{
    const auto rows = m_context.connection.select(database::accountRowQuery(QStringLiteral("login, pass")));
    if (rows.empty())
        return;     // no account: nothing is asked
    const QString url = exportRequestUrl(brand::contactsExportUrl(), rows[0].value(0).toString(),
                                         rows[0].value(1).toString(), m_channel->counter());
    m_channel->get(url);
    m_channel->bumpCounter();
}

void WebDownloadWindow::handleReply(const net::GatewayReply &reply)
{
    DownloadOptions options;
    options.skipExistingPhone = skipExistingPhoneCheck->isChecked();
    options.skipDuplicates = skipDuplicatesCheck->isChecked();
    const DownloadOutcome outcome =
        applyDownloadReply(m_context.connection, reply, options, brand::baseUrl(), brand::brandName());
    ui::Icon icon = ui::Icon::Critical;
    switch (outcome.status) {
    case DownloadOutcome::Status::Imported:
        icon = ui::Icon::Information;
        if (outcome.added > 0 && m_lists)
            m_lists->refreshContactList(true);
        break;
    case DownloadOutcome::Status::AuthError:
        icon = ui::Icon::Warning;
        break;
    default:
        break;
    }
    m_context.prompter.message(outcome.text, outcome.title, icon);
    Q_EMIT replyHandled(outcome);
}

} // namespace importexport::web
