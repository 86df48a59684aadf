#include "startup/dialogs/form2.h"

#include "platform/db/connection.h"
#include "platform/ui/prompter.h"
#include "startup/app_context.h"
#include "startup/brand.h"
#include "startup/dialogs/account_check.h"
#include "startup/dialogs/account_windows.h"
#include "startup/dialogs/main_window_access.h"

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

namespace startup {
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

Form2::Form2(AccountWindows &windows, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_windows(windows)
    , m_channel(net::Overlap::ReplaceOlder)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Datos de usuario"));
    // The counter counts the checks this window made, from 0, and never wraps.
    m_channel.setCounterRule(net::CounterRule::ByCaller);
    connect(&m_channel, &net::GatewayChannel::finished, this, &Form2::onCheckFinished);
    buildControls();
    Form_Load();
}

Form2::~Form2() = default;

void Form2::buildControls()
{
    auto *accountFrame = named(new QGroupBox(QStringLiteral("Usuario"), this), "Frame1");
    txtUsuario = named(new QLineEdit(accountFrame), "txtUsuario");
    txtPass = named(new QLineEdit(accountFrame), "txtPass");
    txtPass->setEchoMode(QLineEdit::Password);
    auto *accountGrid = new QGridLayout(accountFrame);
    accountGrid->addWidget(label(QStringLiteral("Nombre de usuario:"), "SkinLabel1", accountFrame), 0, 0);
    accountGrid->addWidget(txtUsuario, 0, 1);
    accountGrid->addWidget(label(QStringLiteral("Contraseña:"), "SkinLabel2", accountFrame), 1, 0);
    accountGrid->addWidget(txtPass, 1, 1);

    auto *routeFrame = named(new QGroupBox(QStringLiteral("Ruta"), this), "Frame3");
    Option1 = named(new QRadioButton(QStringLiteral("Económica"), routeFrame), "Option1");
    Option2 = named(new QRadioButton(QStringLiteral("Premium (recomendada)"), routeFrame), "Option2");
    Option2->setChecked(true);
    auto *routeRow = new QHBoxLayout(routeFrame);
    routeRow->addWidget(Option1);
    routeRow->addWidget(Option2);
    routeRow->addStretch();

    auto *zoneFrame = named(new QGroupBox(QStringLiteral("Huso horario"), this), "Frame4");
    Combo2 = named(new QComboBox(zoneFrame), "Combo2");
    auto *zoneRow = new QHBoxLayout(zoneFrame);
    zoneRow->addWidget(label(QStringLiteral("Seleccione huso:"), "SkinLabel4", zoneFrame));
    zoneRow->addWidget(Combo2, 1);

    auto *unknownNumberFrame = named(new QGroupBox(QStringLiteral("Por defecto, ante un número desconocido:"), this), "Frame6");
    Check1 = named(new QCheckBox(QStringLiteral("  Realizar siempre:"), unknownNumberFrame), "Check1");
    Combo3 = named(new QComboBox(unknownNumberFrame), "Combo3");
    auto *unknownNumberRow = new QHBoxLayout(unknownNumberFrame);
    unknownNumberRow->addWidget(Check1);
    unknownNumberRow->addWidget(Combo3, 1);

    auto *senderFrame = named(new QGroupBox(QStringLiteral("Remitente"), this), "Frame2");
    Combo1 = named(new QComboBox(senderFrame), "Combo1");
    Command3 = named(new QPushButton(QStringLiteral("Predeterminado"), senderFrame), "Command3");
    Command5 = named(new QPushButton(QStringLiteral("Administrar remitentes"), senderFrame), "Command5");
    auto *senderGrid = new QGridLayout(senderFrame);
    senderGrid->addWidget(label(QStringLiteral("Identificador:"), "SkinLabel3", senderFrame), 0, 0);
    senderGrid->addWidget(Combo1, 0, 1);
    senderGrid->addWidget(Command3, 0, 2);
    senderGrid->addWidget(Command5, 1, 1, 1, 2);

    auto *sharedPathFrame = named(new QGroupBox(QStringLiteral("Compartir BBDD (Usuarios avanzados):"), this), "Frame5");
    Text1 = named(new QLineEdit(sharedPathFrame), "Text1");
    auto *sharedPathGrid = new QGridLayout(sharedPathFrame);
    sharedPathGrid->addWidget(label(QStringLiteral("Ruta:"), "SkinLabel5", sharedPathFrame), 0, 0);
    sharedPathGrid->addWidget(Text1, 0, 1);
    sharedPathGrid->addWidget(label(QStringLiteral("(Requiere cerrar y abrir el programa)"), "SkinLabel6", sharedPathFrame), 1, 1);

    Command2 = named(new QPushButton(QStringLiteral("Guardar"), this), "Command2");
    Command6 = named(new QPushButton(QStringLiteral("Cerrar"), this), "Command6");
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Command2);
    buttons->addWidget(Command6);

    auto *layout = new QVBoxLayout(this);
    for (QWidget *frame : {static_cast<QWidget *>(accountFrame), static_cast<QWidget *>(routeFrame),
                           static_cast<QWidget *>(zoneFrame), static_cast<QWidget *>(unknownNumberFrame),
                           static_cast<QWidget *>(senderFrame), static_cast<QWidget *>(sharedPathFrame)})
        layout->addWidget(frame);
    layout->addLayout(buttons);
    setMinimumWidth(460);

    connect(Command2, &QPushButton::clicked, this, &Form2::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Form2::Command3_Click);
    connect(Command5, &QPushButton::clicked, this, &Form2::Command5_Click);
    connect(Command6, &QPushButton::clicked, this, &Form2::Command6_Click);
}

void Form2::Form_Load()
{
    AppContext &ctx = m_windows.context();
    Combo3->addItems({QString::fromLatin1(account::kPreguntar), QString::fromLatin1(account::kNoPreguntar)});
    Combo3->setCurrentIndex(0);
    Combo2->addItems(account::lista_husos());
    Combo2->setCurrentIndex(-1);
    Command5->setEnabled(false);

    const std::optional<account::AccountRow> row = account::loadAccount(ctx.conexion);
    // A row holding only the shared path (saved before any account) is not an account yet.
    if (!row || row->login.isEmpty()) {
        Combo2->setCurrentIndex(account::kHusoPorDefecto);
    } else {
        m_husoGuardado = row->huso_horario;
        Combo2->setCurrentIndex(Combo2->findText(row->huso_horario, Qt::MatchExactly | Qt::MatchCaseSensitive));
        if (!row->defecto_agenda.isEmpty()) {
            Check1->setChecked(true);
            const int at = Combo3->findText(row->defecto_agenda, Qt::MatchExactly | Qt::MatchCaseSensitive);
            if (at >= 0)
                Combo3->setCurrentIndex(at);
        }
        Command5->setEnabled(true);
        txtUsuario->setText(row->login);
        txtPass->setText(row->pass);
        (row->ruta == QLatin1String("1") ? Option1 : Option2)->setChecked(true);
    }
    if (const auto path = account::readSharedPath(ctx.conexion, ctx.ruta_programa))
        m_rutaCargada = *path;
    Text1->setText(m_rutaCargada);
    reloadSenders();
}

void Form2::reloadSenders()
{
    const QString keep = Combo1->currentText();
    const bool hadSelection = Combo1->currentIndex() >= 0;
    Combo1->clear();
    int selected = -1;
    for (const account::SenderRow &sender : account::loadSenderRows(m_windows.context().conexion)) {
        Combo1->addItem(sender.remitente);
        if (sender.defecto)
            selected = Combo1->count() - 1;   // the last default row wins
    }
    if (hadSelection) {
        const int kept = Combo1->findText(keep, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (kept >= 0)
            selected = kept;
    }
    if (selected < 0)
        selected = Combo1->count() - 1;
    Combo1->setCurrentIndex(selected);
}

QString Form2::rutaSeleccionada() const
{
    return Option1->isChecked() ? QStringLiteral("1") : QStringLiteral("3");
}

void Form2::Command2_Click()
{
    const QString login = txtUsuario->text();
    const QString pass = txtPass->text();
    bool pathTried = false;

    if (!login.isEmpty() && !pass.isEmpty()) {
        if (Text1->text() != m_rutaCargada) {
            savePath();
            pathTried = true;
        }
        // What is checked is what gets stored, whatever is typed while the check is out.
        account::VerifiedAccount verified;
        verified.login = login;
        verified.pass = pass;
        verified.ruta = rutaSeleccionada();
        verified.huso_horario = account::zoneToStore(Combo2->currentIndex() >= 0 ? Combo2->currentText() : QString(),
                                                     m_husoGuardado);
        verified.defectoMarcado = Check1->isChecked();
        verified.defecto_agenda = Combo3->currentText();
        m_pending = verified;

        m_windows.showProgress(this, QStringLiteral("Comprobando datos de usuario..."));
        const QString url = account::accountCheckUrl(brand::url_base(), login, pass, m_channel.contadorBuf());
        m_channel.bumpContador();
        m_channel.get(url);   // a newer press replaces the check still out
    }
    if (!pathTried && Text1->text() != m_rutaCargada)
        savePath();
}

bool Form2::savePath()
{
    AppContext &ctx = m_windows.context();
    const QString path = Text1->text();
    const db::Result result = account::saveSharedPath(ctx.conexion, ctx.ruta_programa, path);
    if (!result.ok()) {
        ctx.prompter.message(QStringLiteral("No se ha podido guardar la ruta de la base de datos compartida. "
                                            "La configuración no ha cambiado."),
                             QStringLiteral("Error"), ui::Icon::Critical);
        return false;
    }
    m_rutaCargada = path;
    ctx.prompter.message(QStringLiteral("Por favor, cierre y vuelva a iniciar ") + brand::nombre_marca()
                             + QStringLiteral(" Desktop para que los cambios se hagan efectivos."),
                         brand::nombre_marca());
    return true;
}

void Form2::onCheckFinished(const net::GatewayReply &reply)
{
    if (!m_pending)
        return;
    m_windows.closeProgress(this);
    handleCheck(reply.text);
    Q_EMIT checkHandled();
}

void Form2::handleCheck(const QString &reply)
{
    account::VerifiedAccount verified = *m_pending;
    m_pending.reset();

    AppContext &ctx = m_windows.context();
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

    verified.saldo = parsed.saldo;
    const db::Result stored = account::storeVerifiedAccount(ctx.conexion, verified);
    if (!stored.ok()) {
        ctx.prompter.message(QStringLiteral("No se han podido guardar los datos de usuario en la base de datos. "
                                            "Por favor, inténtelo de nuevo."),
                             QStringLiteral("Error"), ui::Icon::Critical);
        return;
    }
    m_husoGuardado = verified.huso_horario;
    main.setCredentials(verified.login, verified.pass);
    main.setBalanceText(account::etiquetaSaldo(verified.saldo));
    if (main.recipientsEmpty())
        main.setCostText(account::etiquetaCoste(verified.ruta));
    Command5->setEnabled(true);
    const bool noSender = Combo1->count() == 0;
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
        m_windows.showForm9();
}

void Form2::Command3_Click()
{
    AppContext &ctx = m_windows.context();
    const QString sender = Combo1->currentText();
    if (Combo1->currentIndex() < 0 || sender.isEmpty()) {
        ctx.prompter.message(QStringLiteral("Debes seleccionar primero un remitente válido."),
                             QStringLiteral("Remitente no valido"));
        return;
    }
    if (!account::setDefaultSender(ctx.conexion, sender).ok()) {
        ctx.prompter.message(QStringLiteral("No se ha podido fijar el remitente predeterminado. Por favor, "
                                            "inténtelo de nuevo."),
                             QStringLiteral("Error"), ui::Icon::Critical);
        return;
    }
    m_windows.main().selectSender(sender);
    ctx.prompter.message(QStringLiteral("El remitente ") + sender + QStringLiteral(" se ha fijado como predeterminado."),
                         QStringLiteral("Remitente predeterminado"));
}

void Form2::Command5_Click()
{
    m_windows.showPasswordPrompt(QStringLiteral("9"));
}

void Form2::Command6_Click()
{
    close();
}

void Form2::closeEvent(QCloseEvent *event)
{
    // The check dies with the window: its reply could not be handled any more.
    m_channel.cancel();
    m_pending.reset();
    m_windows.closeProgress(this);
    m_windows.main().showMain();
    QWidget::closeEvent(event);
}

} // namespace startup
