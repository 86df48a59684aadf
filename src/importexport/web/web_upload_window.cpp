#include "importexport/web/web_upload_window.h"

#include "brand/brand.h"
#include "importexport/web/web_download.h"
#include "platform/net/gateway_channel.h"
#include "platform/net/too_large_reply.h"
#include "platform/ui/busy_cursor.h"
#include "platform/ui/prompter.h"
#include "seams/app_context.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace importexport::web {

namespace {
const QString kBusyReason = QStringLiteral("Form15.upload");
}

WebUploadWindow::WebUploadWindow(seams::AppContext &context, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_context(context)
    , m_channel(new net::GatewayChannel(net::Overlap::ReplaceOlder, this))
{
    setObjectName(QStringLiteral("Form15"));
    const QString base = brand::baseUrl();
    setWindowTitle(QStringLiteral("Exportar a ") + domainFromDot(base));
    mainFrame = new QGroupBox(QStringLiteral("Exportar a ") + base, this);
    introLabel = new QLabel(QStringLiteral("Mediante este formulario, puede subirse la agenta de ") + brand::brandName()
                                + QStringLiteral(" Desktop al panel de gestión en ") + base,
                            mainFrame);
    auto *advantageLabel = new QLabel(QStringLiteral("Una de las ventajas de disponer la agenda en la página web, es que "
                                                 "puede acceder a ella esté dónde esté, y disfrutar de todas las "
                                                 "comodidades."),
                                  mainFrame);
    auto *considerationsLabel = new QLabel(QStringLiteral("Consideraciones:"), mainFrame);
    auto *privateLabel = new QLabel(QStringLiteral("Los contactos se consideran por defecto como particulares"), mainFrame);
    auto *fullNameLabel = new QLabel(QStringLiteral("El nombre completo será exportado al campo de 'contacto'. "), mainFrame);
    auto *notExportedLabel = new QLabel(QStringLiteral("Los grupos y las fechas de nacimiento no serán exportados."), mainFrame);
    auto *existingLabel = new QLabel(QStringLiteral("Los contactos cuyo teléfono y nombre existan en el panel web no serán "
                                                 "exportados"),
                                  mainFrame);
    auto *nameFallbackLabel = new QLabel(QStringLiteral("En caso de no existir nombre completo, se utiliza el nombre."), mainFrame);
    progressLabel = new QLabel(mainFrame);
    progressLabel->setVisible(false);
    skipExistingPhoneCheck = new QCheckBox(QStringLiteral("Ignorar contactos cuyo teléfono ya exista en ") + base, mainFrame);
    exportButton = new QPushButton(QStringLiteral("Exportar"), mainFrame);
    mainFrame->setObjectName(QStringLiteral("Frame1"));
    advantageLabel->setObjectName(QStringLiteral("SkinLabel2"));
    considerationsLabel->setObjectName(QStringLiteral("SkinLabel5"));
    privateLabel->setObjectName(QStringLiteral("SkinLabel3"));
    fullNameLabel->setObjectName(QStringLiteral("SkinLabel4"));
    notExportedLabel->setObjectName(QStringLiteral("SkinLabel6"));
    existingLabel->setObjectName(QStringLiteral("SkinLabel7"));
    nameFallbackLabel->setObjectName(QStringLiteral("SkinLabel8"));
    introLabel->setObjectName(QStringLiteral("SkinLabel1"));
    progressLabel->setObjectName(QStringLiteral("SkinLabel9"));
    skipExistingPhoneCheck->setObjectName(QStringLiteral("Check1"));
    exportButton->setObjectName(QStringLiteral("Command1"));

    auto *inner = new QVBoxLayout(mainFrame);
    for (QLabel *label : {introLabel, advantageLabel, considerationsLabel, privateLabel, fullNameLabel, notExportedLabel, existingLabel, nameFallbackLabel}) {
        label->setWordWrap(true);
        inner->addWidget(label);
    }
    inner->addWidget(skipExistingPhoneCheck);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(progressLabel);
    bottom->addStretch();
    bottom->addWidget(exportButton);
    inner->addLayout(bottom);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(mainFrame);
    setMinimumWidth(460);

    connect(exportButton, &QPushButton::clicked, this, &WebUploadWindow::startUpload);
    connect(m_channel, &net::GatewayChannel::finished, this, &WebUploadWindow::handleReply);
}

WebUploadWindow::~WebUploadWindow()
{
    m_context.busy.setBusy(kBusyReason, false);
}

void WebUploadWindow::startUpload()
{
    const std::optional<Account> account = readAccount(m_context.connection);
    if (!account) {
        m_context.prompter.message(QStringLiteral("Por favor, introduzca un nombre de usuario y contraseña válidos en el "
                                                  "menú Archivo => Configuracióm"),
                                   QStringLiteral("Faltan datos de usuario"), ui::Icon::Information);
        return;
    }
    // A new start drops whatever an earlier upload still had queued or in flight.
    m_channel->cancel();
    m_account = *account;
    const std::vector<UploadContact> queue = uploadQueue(m_context.connection);
    m_queue.assign(queue.begin(), queue.end());
    if (m_queue.empty()) {
        m_uploading = false;
        m_context.busy.setBusy(kBusyReason, false);
        m_context.prompter.message(QStringLiteral("No existe ningún contacto en la agenda"), QStringLiteral("Agenda vacia"),
                                   ui::Icon::Information);
        return;
    }
    m_context.busy.setBusy(kBusyReason, true);
    progressLabel->setVisible(true);
    m_answered = 0;
    m_created = 0;
    m_uploading = true;
    sendNext();
}

void WebUploadWindow::sendNext()
{
    progressLabel->setText(progressText(m_answered, int(m_queue.size())));
    const UploadContact contact = m_queue.front();
    m_queue.pop_front();
    m_lastSentName = contact.name;
    m_channel->get(uploadRequestUrl(brand::contactsImportUrl(), m_account, contact, skipExistingPhoneCheck->isChecked()));
}

void WebUploadWindow::handleReply(const net::GatewayReply &reply)
{
    if (!m_uploading)
        return;
    if (reply.status == net::GatewayReply::Status::TooLarge) {
        // The gateway did answer, and this contact may have been created there: the upload stops,
        // not counting it either way.
        endUpload(net::kTooLargeRequestMessage, net::kTooLargeReplyTitle);
        return;
    }
    QString stopText;
    QString stopTitle;
    switch (classifyUpload(reply.text)) {
    case UploadReply::AuthError:
        stopText = QStringLiteral("Los datos de usuario y contraseña no son correctos. Por favor, introduzca datos validos "
                                  "en el menu Archivo=>Configuracion y vuelva a intentarlo. Si el problema persiste, "
                                  "pongase en contacto con el administrador");
        stopTitle = QStringLiteral("Error de autentificacion");
        break;
    case UploadReply::MissingData:
        stopText = QStringLiteral("No existen datos de usuario, o la agenda está vacía. Por favor, introduzca datos "
                                  "validos en el menu Archivo=>Configuracion y vuelva a intentarlo. Si el problema "
                                  "persiste, pongase en contacto con el administrador");
        stopTitle = QStringLiteral("Error de falta de datos");
        break;
    case UploadReply::Unknown:
        // The gateway may have taken this contact although its answer cannot be read: the user
        // is told to look, not that nothing happened. Only a request that never left is a plain
        // connection failure.
        stopText = reply.mayHaveActed()
                       ? mayHaveCreatedMessage(m_lastSentName, brand::baseUrl())
                       : QStringLiteral("Ha habido un error con la conexión a Internet. Por favor, intentelo de nuevo "
                                        "mas tarde.");
        stopTitle = QStringLiteral("Error de conexión");
        break;
    case UploadReply::Created:
        ++m_created;
        [[fallthrough]];
    case UploadReply::NotCreated:
        ++m_answered;
        if (!m_queue.empty()) {
            sendNext();
            return;
        }
        break;
    }
    endUpload(stopText, stopTitle);
}

void WebUploadWindow::endUpload(const QString &stopText, const QString &stopTitle)
{
    // Ended or stopped: state first, boxes last. A stop reports what was created so far when
    // anything was; a finished upload always reports.
    const bool stopped = !stopText.isEmpty();
    m_uploading = false;
    m_context.busy.setBusy(kBusyReason, false);
    // Nothing is in progress any more: no text is left asking the user to wait.
    progressLabel->clear();
    progressLabel->setVisible(false);
    Q_EMIT uploadEnded(m_created);
    if (stopped)
        m_context.prompter.message(stopText, stopTitle, ui::Icon::Critical);
    if (!stopped || m_created > 0)
        m_context.prompter.message(QStringLiteral("Se han introducido con exito ") + QString::number(m_created)
                                       + QStringLiteral(" contactos en ") + brand::baseUrl(),
                                   QStringLiteral("Contactos introducidos con exito"), ui::Icon::Information);
}

} // namespace importexport::web
