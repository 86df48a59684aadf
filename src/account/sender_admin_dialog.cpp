#include "account/sender_admin_dialog.h"

#include "account/account_settings.h"
#include "account/account_windows.h"
#include "account/sender_admin.h"
#include "brand/brand.h"
#include "platform/net/too_large_reply.h"
#include "platform/ui/prompter.h"
#include "seams/app_context.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace account {
namespace {

QList<QListWidgetItem *> itemsEqualTo(QListWidget *list, const QString &text)
{
    return list->findItems(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
}

void tell(ui::Prompter &prompter, const senders::Message &m)
{
    prompter.message(m.text, m.title, m.icon);
}

} // namespace

SenderAdminDialog::SenderAdminDialog(AccountWindows &windows, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_windows(windows)
    , m_channel(net::Overlap::ReplaceOlder)
{
    setObjectName(QStringLiteral("Form9"));
    setWindowTitle(QStringLiteral("Administrar remitentes"));
    connect(&m_channel, &net::GatewayChannel::finished, this, &SenderAdminDialog::onReply);
    buildControls();
    load();
}

SenderAdminDialog::~SenderAdminDialog() = default;

void SenderAdminDialog::buildControls()
{
    auto *adminFrame = new QGroupBox(QStringLiteral("Administración de remitentes"), this);
    adminFrame->setObjectName(QStringLiteral("Frame3"));
    auto *intro1 = new QLabel(QStringLiteral("El remitente es el nombre o número de teléfono que indica quién ha "
                                             "enviado el mensaje. Desde esta ventana puedes decidir cuales quieres "
                                             "utilizar en este equipo."),
                              adminFrame);
    intro1->setWordWrap(true);
    auto *intro2 = new QLabel(QStringLiteral("Generalmente se utiliza el nombre de la empresa o un teléfono de "
                                             "atención al cliente, aportando un valor añadido al mensaje."),
                              adminFrame);
    intro2->setWordWrap(true);

    auto *includedFrame = new QGroupBox(QStringLiteral("Remitentes incluidos"), adminFrame);
    includedFrame->setObjectName(QStringLiteral("Frame1"));
    includedList = new QListWidget(includedFrame);
    includedList->setObjectName(QStringLiteral("List1"));
    removeButton = new QPushButton(QStringLiteral("Eliminar remitente"), includedFrame);
    removeButton->setObjectName(QStringLiteral("Command2"));
    auto *includedLayout = new QVBoxLayout(includedFrame);
    includedLayout->addWidget(includedList);
    includedLayout->addWidget(removeButton);

    auto *accountFrame = new QGroupBox(QStringLiteral("Listado de remitentes "), adminFrame);
    accountFrame->setObjectName(QStringLiteral("Frame2"));
    accountList = new QListWidget(accountFrame);
    accountList->setObjectName(QStringLiteral("List2"));
    includeButton = new QPushButton(QStringLiteral("Incluir remitente"), accountFrame);
    includeButton->setObjectName(QStringLiteral("Command3"));
    addNewButton = new QPushButton(QStringLiteral("Añadir nuevo"), accountFrame);
    addNewButton->setObjectName(QStringLiteral("Command1"));
    auto *accountLayout = new QVBoxLayout(accountFrame);
    accountLayout->addWidget(accountList);
    auto *accountButtons = new QHBoxLayout;
    accountButtons->addWidget(includeButton);
    accountButtons->addWidget(addNewButton);
    accountLayout->addLayout(accountButtons);

    deleteFromAccountCheck = new QCheckBox(QStringLiteral("Al eliminar un remitente, también quiero borrarlo del listado de "
                                          "remitentes de mi cuenta."),
                           adminFrame);
    deleteFromAccountCheck->setObjectName(QStringLiteral("Check1"));

    auto *grid = new QGridLayout(adminFrame);
    grid->addWidget(intro1, 0, 0, 1, 2);
    grid->addWidget(intro2, 1, 0, 1, 2);
    grid->addWidget(includedFrame, 2, 0);
    grid->addWidget(accountFrame, 2, 1);
    grid->addWidget(deleteFromAccountCheck, 3, 0, 1, 2);

    closeButton = new QPushButton(QStringLiteral("Cerrar"), this);
    closeButton->setObjectName(QStringLiteral("Command4"));
    auto *bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(closeButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(adminFrame);
    layout->addLayout(bottom);
    // The window never gets narrower than its buttons and check box need: a fixed minimum below
    // that cut "Incluir remitente" and "Añadir nuevo" on small screens.
    layout->setSizeConstraint(QLayout::SetMinimumSize);

    connect(includedList, &QListWidget::itemSelectionChanged, this, &SenderAdminDialog::onIncludedSelectionChanged);
    connect(accountList, &QListWidget::itemSelectionChanged, this, &SenderAdminDialog::onAccountSelectionChanged);
    connect(addNewButton, &QPushButton::clicked, this, &SenderAdminDialog::requestNewSender);
    connect(removeButton, &QPushButton::clicked, this, &SenderAdminDialog::removeSelectedSender);
    connect(includeButton, &QPushButton::clicked, this, &SenderAdminDialog::includeSelectedSender);
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
}

void SenderAdminDialog::load()
{
    removeButton->setEnabled(false);
    includeButton->setEnabled(false);
    includedList->clear();
    includedList->addItems(senders::loadSenders(m_windows.context().connection));
    if (send(Operation::List, {}))
        m_windows.showProgress(this, QStringLiteral("Cargando remitentes disponibles..."));
}

void SenderAdminDialog::onIncludedSelectionChanged()
{
    removeButton->setEnabled(includedList->currentRow() >= 0 && !includedList->selectedItems().isEmpty());
}

void SenderAdminDialog::onAccountSelectionChanged()
{
    const QList<QListWidgetItem *> selected = accountList->selectedItems();
    if (selected.isEmpty())
        return;
    includeButton->setEnabled(itemsEqualTo(includedList, selected.first()->text()).isEmpty());
}

bool SenderAdminDialog::send(Operation operation, const QString &sender)
{
    const std::optional<account::AccountRow> stored = account::loadAccount(m_windows.context().connection);
    if (!stored)
        return false;
    const QString base = brand::baseUrl();
    QString url;
    switch (operation) {
    case Operation::List:
        url = senders::listUrl(base, stored->login, stored->pass);
        break;
    case Operation::Request:
        url = senders::requestUrl(base, stored->login, stored->pass, sender);
        break;
    case Operation::Delete:
        url = senders::deleteUrl(base, stored->login, stored->pass, sender);
        break;
    }
    m_pending = Pending{operation, sender};
    m_channel.get(url);   // replaces a request still out: only the last one is answered
    return true;
}

void SenderAdminDialog::requestNewSender()
{
    ui::Prompter &prompter = m_windows.context().prompter;
    const QString typed = prompter
                              .input(QStringLiteral("Escriba el remitente que quiere solicitar en ")
                                         + brand::brandName()
                                         + QStringLiteral(". Debe tener como maximo 11 caracteres."),
                                     QStringLiteral("Solicitar remitente"), QString())
                              .value_or(QString());
    if (const auto refusal = senders::checkNewSender(typed)) {
        tell(prompter, *refusal);
        return;
    }
    if (send(Operation::Request, typed))
        m_windows.showProgress(this, QStringLiteral("Solicitando remitente..."));
}

void SenderAdminDialog::includeSelectedSender()
{
    const QList<QListWidgetItem *> selected = accountList->selectedItems();
    const QString sender = selected.isEmpty() ? QString() : selected.first()->text();
    if (selected.isEmpty() || !senders::isUsable(sender)) {
        tell(m_windows.context().prompter, senders::unusableMessage());
        return;
    }
    if (!senders::addSender(m_windows.context().connection, sender).ok()) {
        reportDatabaseFailure();
        return;
    }
    rebuildLocal();
    includeButton->setEnabled(false);
}

void SenderAdminDialog::removeSelectedSender()
{
    const QList<QListWidgetItem *> selected = includedList->selectedItems();
    if (selected.isEmpty())
        return;
    const QString sender = selected.first()->text();
    if (deleteFromAccountCheck->isChecked()) {
        // The table and the lists change when the gateway confirms.
        send(Operation::Delete, sender);
        return;
    }
    if (!senders::removeSender(m_windows.context().connection, sender).ok()) {
        reportDatabaseFailure();
        return;
    }
    rebuildLocal();
}

void SenderAdminDialog::onReply(const net::GatewayReply &reply)
{
    if (!m_pending)
        return;
    const Pending sent = *m_pending;
    m_pending.reset();
    m_windows.closeProgress(this);

    seams::AppContext &ctx = m_windows.context();
    if (reply.status == net::GatewayReply::Status::TooLarge) {
        // The gateway answered, with more than can be read: a request or removal may have been
        // carried out there, so no list or row here moves as if it had or had not.
        ctx.prompter.message(sent.operation == Operation::List ? net::kTooLargeReplyMessage
                                                               : net::kTooLargeRequestMessage,
                             net::kTooLargeReplyTitle, ui::Icon::Warning);
        Q_EMIT replyHandled();
        return;
    }
    const senders::SenderReply parsed = senders::parseReply(reply.text);
    switch (parsed.kind) {
    case senders::ReplyKind::List:
        accountList->clear();
        accountList->addItems(senders::splitList(parsed.payload));
        includeButton->setEnabled(false);
        break;
    case senders::ReplyKind::Requested: {
        const QString sender = parsed.payload;
        if (!senders::isUsable(sender)) {
            tell(ctx.prompter, senders::unusableMessage());
            break;
        }
        // A requested identifier is the account's, not yet approved: the sends keep the sender
        // they have until the user includes the new one, once the gateway has accepted it.
        if (itemsEqualTo(accountList, sender).isEmpty())
            accountList->addItem(sender);
        tell(ctx.prompter, senders::requestedMessage(sender));
        break;
    }
    case senders::ReplyKind::Removed:
    case senders::ReplyKind::NotListed: {
        // The gateway names what it removed; "not listed" is about the identifier that was sent.
        const QString sender =
            parsed.kind == senders::ReplyKind::Removed ? parsed.payload : sent.sender;
        if (parsed.kind == senders::ReplyKind::Removed && deleteFromAccountCheck->isChecked()) {
            const auto equal = itemsEqualTo(accountList, sender);
            if (!equal.isEmpty())
                delete equal.first();
        }
        if (!senders::removeSender(ctx.connection, sender).ok()) {
            reportDatabaseFailure();
            break;
        }
        rebuildLocal();
        ctx.prompter.message(QStringLiteral("El remitente ha sido eliminado."), QStringLiteral("Eliminar remitente"));
        break;
    }
    default:
        // A request or removal the gateway had may have been carried out although its answer
        // cannot be read: only one that never reached it is a plain connection failure.
        if (parsed.kind == senders::ReplyKind::Other && sent.operation != Operation::List
            && reply.mayHaveActed())
            tell(ctx.prompter, senders::unconfirmedChangeMessage());
        else if (const auto failure = senders::failureMessage(parsed.kind))
            tell(ctx.prompter, *failure);
        break;
    }
    Q_EMIT replyHandled();
}

void SenderAdminDialog::rebuildLocal()
{
    const QListWidgetItem *current = includedList->currentItem();
    const QString keep = current && current->isSelected() ? current->text() : QString();
    includedList->clear();
    includedList->addItems(senders::loadSenders(m_windows.context().connection));
    int row = -1;
    if (!keep.isEmpty()) {
        const auto equal = itemsEqualTo(includedList, keep);
        if (!equal.isEmpty())
            row = includedList->row(equal.first());
    }
    // After a removal the first entry takes the selection; an addition selects nothing new.
    if (row < 0 && !keep.isEmpty() && includedList->count() > 0)
        row = 0;
    if (row >= 0)
        includedList->setCurrentRow(row);
    onIncludedSelectionChanged();
    const QList<QListWidgetItem *> chosen = accountList->selectedItems();
    includeButton->setEnabled(!chosen.isEmpty() && itemsEqualTo(includedList, chosen.first()->text()).isEmpty());
    m_windows.sendersChanged();
}

void SenderAdminDialog::reportDatabaseFailure()
{
    m_windows.context().prompter.message(
        QStringLiteral("No se ha podido actualizar la lista de remitentes en la base de datos. Por favor, "
                       "inténtelo de nuevo."),
        QStringLiteral("Error"), ui::Icon::Critical);
}

void SenderAdminDialog::closeEvent(QCloseEvent *event)
{
    // A reply to a closed window has nobody to show it to: stop waiting for it.
    m_channel.cancel();
    m_pending.reset();
    m_windows.closeProgress(this);
    QWidget::closeEvent(event);
}

} // namespace account
