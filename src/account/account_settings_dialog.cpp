#include "account/account_settings_dialog.h"

#include "account/account_check.h"
#include "account/account_windows.h"
#include "account/main_window_access.h"
#include "brand/brand.h"
#include "platform/db/connection.h"
#include "platform/net/too_large_reply.h"
#include "platform/ui/prompter.h"
#include "seams/app_context.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace account {
namespace {

QLabel *label(const QString &text, const char *name, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(QString::fromLatin1(name));
    return l;
}

template <typename W>
W *named(W *widget, const char *name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

} // namespace

AccountSettingsDialog::AccountSettingsDialog(AccountWindows &windows, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_windows(windows)
    , m_channel(net::Overlap::ReplaceOlder)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Datos de usuario"));
    // The counter counts the checks this window made, from 0, and never wraps.
    m_channel.setCounterRule(net::CounterRule::ByCaller);
    connect(&m_channel, &net::GatewayChannel::finished, this, &AccountSettingsDialog::onCheckFinished);
    buildControls();
    loadSettings();
}

AccountSettingsDialog::~AccountSettingsDialog() = default;

void AccountSettingsDialog::buildControls()
{
    auto *accountFrame = named(new QGroupBox(QStringLiteral("Usuario"), this), "Frame1");
    loginBox = named(new QLineEdit(accountFrame), "txtUsuario");
    passwordBox = named(new QLineEdit(accountFrame), "txtPass");
    passwordBox->setEchoMode(QLineEdit::Password);
    auto *accountGrid = new QGridLayout(accountFrame);
    accountGrid->addWidget(label(QStringLiteral("Nombre de usuario:"), "SkinLabel1", accountFrame), 0, 0);
    accountGrid->addWidget(loginBox, 0, 1);
    accountGrid->addWidget(label(QStringLiteral("Contraseña:"), "SkinLabel2", accountFrame), 1, 0);
    accountGrid->addWidget(passwordBox, 1, 1);

    auto *routeFrame = named(new QGroupBox(QStringLiteral("Ruta"), this), "Frame3");
    economyOption = named(new QRadioButton(QStringLiteral("Económica"), routeFrame), "Option1");
    premiumOption = named(new QRadioButton(QStringLiteral("Premium (recomendada)"), routeFrame), "Option2");
    premiumOption->setChecked(true);
    auto *routeRow = new QHBoxLayout(routeFrame);
    routeRow->addWidget(economyOption);
    routeRow->addWidget(premiumOption);
    routeRow->addStretch();

    auto *zoneFrame = named(new QGroupBox(QStringLiteral("Huso horario"), this), "Frame4");
    timeZoneCombo = named(new QComboBox(zoneFrame), "Combo2");
    auto *zoneRow = new QHBoxLayout(zoneFrame);
    zoneRow->addWidget(label(QStringLiteral("Seleccione huso:"), "SkinLabel4", zoneFrame));
    zoneRow->addWidget(timeZoneCombo, 1);

    auto *unknownNumberFrame = named(new QGroupBox(QStringLiteral("Por defecto, ante un número desconocido:"), this), "Frame6");
    unknownNumberCheck = named(new QCheckBox(QStringLiteral("  Realizar siempre:"), unknownNumberFrame), "Check1");
    unknownNumberCombo = named(new QComboBox(unknownNumberFrame), "Combo3");
    auto *unknownNumberRow = new QHBoxLayout(unknownNumberFrame);
    unknownNumberRow->addWidget(unknownNumberCheck);
    unknownNumberRow->addWidget(unknownNumberCombo, 1);

    auto *senderFrame = named(new QGroupBox(QStringLiteral("Remitente"), this), "Frame2");
    senderCombo = named(new QComboBox(senderFrame), "Combo1");
    defaultSenderButton = named(new QPushButton(QStringLiteral("Predeterminado"), senderFrame), "Command3");
    manageSendersButton = named(new QPushButton(QStringLiteral("Administrar remitentes"), senderFrame), "Command5");
    auto *senderGrid = new QGridLayout(senderFrame);
    senderGrid->addWidget(label(QStringLiteral("Identificador:"), "SkinLabel3", senderFrame), 0, 0);
    senderGrid->addWidget(senderCombo, 0, 1);
    senderGrid->addWidget(defaultSenderButton, 0, 2);
    senderGrid->addWidget(manageSendersButton, 1, 1, 1, 2);

    auto *sharedPathFrame = named(new QGroupBox(QStringLiteral("Compartir BBDD (Usuarios avanzados):"), this), "Frame5");
    sharedPathBox = named(new QLineEdit(sharedPathFrame), "Text1");
    auto *sharedPathGrid = new QGridLayout(sharedPathFrame);
    sharedPathGrid->addWidget(label(QStringLiteral("Ruta:"), "SkinLabel5", sharedPathFrame), 0, 0);
    sharedPathGrid->addWidget(sharedPathBox, 0, 1);
    sharedPathGrid->addWidget(label(QStringLiteral("(Requiere cerrar y abrir el programa)"), "SkinLabel6", sharedPathFrame), 1, 1);

    saveButton = named(new QPushButton(QStringLiteral("Guardar"), this), "Command2");
    closeButton = named(new QPushButton(QStringLiteral("Cerrar"), this), "Command6");
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(saveButton);
    buttons->addWidget(closeButton);

    auto *layout = new QVBoxLayout(this);
    for (QWidget *frame : {static_cast<QWidget *>(accountFrame), static_cast<QWidget *>(routeFrame),
                           static_cast<QWidget *>(zoneFrame), static_cast<QWidget *>(unknownNumberFrame),
                           static_cast<QWidget *>(senderFrame), static_cast<QWidget *>(sharedPathFrame)})
        layout->addWidget(frame);
    layout->addLayout(buttons);
    setMinimumWidth(460);

    connect(saveButton, &QPushButton::clicked, this, &AccountSettingsDialog::saveAccount);
    connect(defaultSenderButton, &QPushButton::clicked, this, &AccountSettingsDialog::makeSenderDefault);
    connect(manageSendersButton, &QPushButton::clicked, this, &AccountSettingsDialog::manageSenders);
    connect(closeButton, &QPushButton::clicked, this, &AccountSettingsDialog::onCloseClicked);
}

void AccountSettingsDialog::loadSettings()
{
    seams::AppContext &ctx = m_windows.context();
    unknownNumberCombo->addItems({QString::fromLatin1(account::kAsk), QString::fromLatin1(account::kDontAsk)});
    unknownNumberCombo->setCurrentIndex(0);
    timeZoneCombo->addItems(account::timeZones());
    timeZoneCombo->setCurrentIndex(-1);
    manageSendersButton->setEnabled(false);

    const std::optional<account::AccountRow> row = account::loadAccount(ctx.connection);
    // A row holding only the shared path (saved before any account) is not an account yet.
    if (!row || row->login.isEmpty()) {
        timeZoneCombo->setCurrentIndex(account::kDefaultZoneIndex);
    } else {
        m_storedZone = row->timeZone;
        timeZoneCombo->setCurrentIndex(timeZoneCombo->findText(row->timeZone, Qt::MatchExactly | Qt::MatchCaseSensitive));
        if (!row->unknownNumberDefault.isEmpty()) {
            unknownNumberCheck->setChecked(true);
            const int at = unknownNumberCombo->findText(row->unknownNumberDefault, Qt::MatchExactly | Qt::MatchCaseSensitive);
            if (at >= 0)
                unknownNumberCombo->setCurrentIndex(at);
        }
        manageSendersButton->setEnabled(true);
        loginBox->setText(row->login);
        passwordBox->setText(row->pass);
        (row->route == QLatin1String("1") ? economyOption : premiumOption)->setChecked(true);
    }
    if (const auto path = account::readSharedPath(ctx.connection, ctx.programFolder))
        m_loadedPath = *path;
    sharedPathBox->setText(m_loadedPath);
    reloadSenders();
}

void AccountSettingsDialog::reloadSenders()
{
    const QString keep = senderCombo->currentText();
    const bool hadSelection = senderCombo->currentIndex() >= 0;
    senderCombo->clear();
    int selected = -1;
    for (const account::SenderRow &sender : account::loadSenderRows(m_windows.context().connection)) {
        senderCombo->addItem(sender.sender);
        if (sender.isDefault)
            selected = senderCombo->count() - 1;   // the last default row wins
    }
    if (hadSelection) {
        const int kept = senderCombo->findText(keep, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (kept >= 0)
            selected = kept;
    }
    if (selected < 0)
        selected = senderCombo->count() - 1;
    senderCombo->setCurrentIndex(selected);
}

QString AccountSettingsDialog::selectedRoute() const
{
    return economyOption->isChecked() ? QStringLiteral("1") : QStringLiteral("3");
}

void AccountSettingsDialog::saveAccount()
{
    const QString login = loginBox->text();
    const QString pass = passwordBox->text();
    bool pathTried = false;

    if (!login.isEmpty() && !pass.isEmpty()) {
        if (sharedPathBox->text() != m_loadedPath) {
            savePath();
            pathTried = true;
        }
        // What is checked is what gets stored, whatever is typed while the check is out.
        account::VerifiedAccount verified;
        verified.login = login;
        verified.pass = pass;
        verified.route = selectedRoute();
        verified.timeZone = account::zoneToStore(timeZoneCombo->currentIndex() >= 0 ? timeZoneCombo->currentText() : QString(),
                                                     m_storedZone);
        verified.defaultTicked = unknownNumberCheck->isChecked();
        verified.unknownNumberDefault = unknownNumberCombo->currentText();
        m_pending = verified;

        m_windows.showProgress(this, QStringLiteral("Comprobando datos de usuario..."));
        const QString url = account::accountCheckUrl(brand::baseUrl(), login, pass, m_channel.counterText());
        m_channel.bumpCounter();
        m_channel.get(url);   // a newer press replaces the check still out
    }
    if (!pathTried && sharedPathBox->text() != m_loadedPath)
        savePath();
}

bool AccountSettingsDialog::savePath()
{
    seams::AppContext &ctx = m_windows.context();
    const QString path = sharedPathBox->text();
    const db::Result result = account::saveSharedPath(ctx.connection, ctx.programFolder, path);
    if (!result.ok()) {
        ctx.prompter.message(QStringLiteral("No se ha podido guardar la ruta de la base de datos compartida. "
                                            "La configuración no ha cambiado."),
                             QStringLiteral("Error"), ui::Icon::Critical);
        return false;
    }
    m_loadedPath = path;
    ctx.prompter.message(QStringLiteral("Por favor, cierre y vuelva a iniciar ") + brand::brandName()
                             + QStringLiteral(" Desktop para que los cambios se hagan efectivos."),
                         brand::brandName());
    return true;
}

void AccountSettingsDialog::onCheckFinished(const net::GatewayReply &reply)
{
    if (!m_pending)
        return;
    m_windows.closeProgress(this);
    if (reply.status == net::GatewayReply::Status::TooLarge) {
        // The gateway answered, with more than a check can hold: nothing verified, nothing stored.
        m_pending.reset();
        m_windows.context().prompter.message(net::kTooLargeReplyMessage, net::kTooLargeReplyTitle, ui::Icon::Warning);
    } else {
        handleCheck(reply.text);
    }
    Q_EMIT checkHandled();
}

void AccountSettingsDialog::handleCheck(const QString &reply)
{
    account::VerifiedAccount verified = *m_pending;
    m_pending.reset();

    seams::AppContext &ctx = m_windows.context();
    MainWindowAccess &main = m_windows.main();
    const account::AccountCheckReply parsed = account::parseAccountCheck(reply);
    switch (parsed.kind) {
    case account::AccountCheckReply::Kind::Refused:
        ctx.prompter.message(QStringLiteral("Autentificación fallida. El usuario y/o la contraseña no son correctos"),
                             QStringLiteral("Error de autentificacion"));
        return;
    case account::AccountCheckReply::Kind::Other:
        ctx.prompter.message(QStringLiteral("Error de conexión. Compruebe que dispone de conexión a Internet. Si el "
                                            "problema persiste pongase en contacto con el administrador."),
                             QStringLiteral("Conexión fallida"));
        return;
    case account::AccountCheckReply::Kind::Accepted:
        break;
    }

    verified.balance = parsed.balance;
    const db::Result stored = account::storeVerifiedAccount(ctx.connection, verified);
    if (!stored.ok()) {
        ctx.prompter.message(QStringLiteral("No se han podido guardar los datos de usuario en la base de datos. "
                                            "Por favor, inténtelo de nuevo."),
                             QStringLiteral("Error"), ui::Icon::Critical);
        return;
    }
    m_storedZone = verified.timeZone;
    main.setCredentials(verified.login, verified.pass);
    main.showBalance(verified.balance);
    if (main.recipientsEmpty())
        main.setCostText(account::costLabel(verified.route));
    manageSendersButton->setEnabled(true);
    const bool noSender = senderCombo->count() == 0;
    if (noSender) {
        main.showMain();
        main.focusRecipients();
        main.setSendEnabled(false);
    }
    ctx.prompter.message(QStringLiteral("Datos de usuario guardados correctamente"), QStringLiteral("Configuracion"));
    // Opened once the box is closed: the sender window asks the gateway at once, and its answer
    // may bring a box of its own, which must not come up on top of this one. Last, so it is in
    // front: without a sender there is nothing to send with.
    if (noSender)
        m_windows.showSenderAdmin();
}

void AccountSettingsDialog::makeSenderDefault()
{
    seams::AppContext &ctx = m_windows.context();
    const QString sender = senderCombo->currentText();
    if (senderCombo->currentIndex() < 0 || sender.isEmpty()) {
        ctx.prompter.message(QStringLiteral("Debes seleccionar primero un remitente válido."),
                             QStringLiteral("Remitente no valido"));
        return;
    }
    if (!account::setDefaultSender(ctx.connection, sender).ok()) {
        ctx.prompter.message(QStringLiteral("No se ha podido fijar el remitente predeterminado. Por favor, "
                                            "inténtelo de nuevo."),
                             QStringLiteral("Error"), ui::Icon::Critical);
        return;
    }
    m_windows.main().selectSender(sender);
    ctx.prompter.message(QStringLiteral("El remitente ") + sender + QStringLiteral(" se ha fijado como predeterminado."),
                         QStringLiteral("Remitente predeterminado"));
}

void AccountSettingsDialog::manageSenders()
{
    m_windows.showPasswordPrompt(QStringLiteral("9"));
}

void AccountSettingsDialog::onCloseClicked()
{
    close();
}

void AccountSettingsDialog::closeEvent(QCloseEvent *event)
{
    // The check dies with the window: its reply could not be handled any more.
    m_channel.cancel();
    m_pending.reset();
    m_windows.closeProgress(this);
    m_windows.main().showMain();
    QWidget::closeEvent(event);
}

} // namespace account
