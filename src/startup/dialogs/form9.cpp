#include "startup/dialogs/form9.h"

#include "platform/ui/prompter.h"
#include "startup/app_context.h"
#include "startup/brand.h"
#include "startup/dialogs/account_settings.h"
#include "startup/dialogs/account_windows.h"
#include "startup/dialogs/sender_admin.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace startup {
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

Form9::Form9(AccountWindows &windows, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_windows(windows)
    , m_channel(net::Overlap::ReplaceOlder)
{
    setObjectName(QStringLiteral("Form9"));
    setWindowTitle(QStringLiteral("Administrar remitentes"));
    connect(&m_channel, &net::GatewayChannel::finished, this, &Form9::onReply);
    buildControls();
    Form_Load();
}

Form9::~Form9() = default;

void Form9::buildControls()
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
    List1 = new QListWidget(includedFrame);
    List1->setObjectName(QStringLiteral("List1"));
    Command2 = new QPushButton(QStringLiteral("Eliminar remitente"), includedFrame);
    Command2->setObjectName(QStringLiteral("Command2"));
    auto *includedLayout = new QVBoxLayout(includedFrame);
    includedLayout->addWidget(List1);
    includedLayout->addWidget(Command2);

    auto *accountFrame = new QGroupBox(QStringLiteral("Listado de remitentes "), adminFrame);
    accountFrame->setObjectName(QStringLiteral("Frame2"));
    List2 = new QListWidget(accountFrame);
    List2->setObjectName(QStringLiteral("List2"));
    Command3 = new QPushButton(QStringLiteral("Incluir remitente"), accountFrame);
    Command3->setObjectName(QStringLiteral("Command3"));
    Command1 = new QPushButton(QStringLiteral("Añadir nuevo"), accountFrame);
    Command1->setObjectName(QStringLiteral("Command1"));
    auto *accountLayout = new QVBoxLayout(accountFrame);
    accountLayout->addWidget(List2);
    auto *accountButtons = new QHBoxLayout;
    accountButtons->addWidget(Command3);
    accountButtons->addWidget(Command1);
    accountLayout->addLayout(accountButtons);

    Check1 = new QCheckBox(QStringLiteral("Al eliminar un remitente, también quiero borrarlo del listado de "
                                          "remitentes de mi cuenta."),
                           adminFrame);
    Check1->setObjectName(QStringLiteral("Check1"));

    auto *grid = new QGridLayout(adminFrame);
    grid->addWidget(intro1, 0, 0, 1, 2);
    grid->addWidget(intro2, 1, 0, 1, 2);
    grid->addWidget(includedFrame, 2, 0);
    grid->addWidget(accountFrame, 2, 1);
    grid->addWidget(Check1, 3, 0, 1, 2);

    Command4 = new QPushButton(QStringLiteral("Cerrar"), this);
    Command4->setObjectName(QStringLiteral("Command4"));
    auto *bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(Command4);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(adminFrame);
    layout->addLayout(bottom);
    // The window never gets narrower than its buttons and check box need: a fixed minimum below
    // that cut "Incluir remitente" and "Añadir nuevo" on small screens.
    layout->setSizeConstraint(QLayout::SetMinimumSize);

    connect(List1, &QListWidget::itemSelectionChanged, this, &Form9::List1_Click);
    connect(List2, &QListWidget::itemSelectionChanged, this, &Form9::List2_Click);
    connect(Command1, &QPushButton::clicked, this, &Form9::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form9::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Form9::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &QWidget::close);
}

void Form9::Form_Load()
{
    Command2->setEnabled(false);
    Command3->setEnabled(false);
    List1->clear();
    List1->addItems(senders::loadSenders(m_windows.context().conexion));
    if (send(Operation::List, {}))
        m_windows.showProgress(this, QStringLiteral("Cargando remitentes disponibles..."));
}

void Form9::List1_Click()
{
    Command2->setEnabled(List1->currentRow() >= 0 && !List1->selectedItems().isEmpty());
}

void Form9::List2_Click()
{
    const QList<QListWidgetItem *> selected = List2->selectedItems();
    if (selected.isEmpty())
        return;
    Command3->setEnabled(itemsEqualTo(List1, selected.first()->text()).isEmpty());
}

bool Form9::send(Operation operation, const QString &sender)
{
    const std::optional<account::AccountRow> stored = account::loadAccount(m_windows.context().conexion);
    if (!stored)
        return false;
    const QString base = brand::url_base();
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

void Form9::Command1_Click()
{
    ui::Prompter &prompter = m_windows.context().prompter;
    const QString typed = prompter
                              .input(QStringLiteral("Escriba el remitente que quiere solicitar en ")
                                         + brand::nombre_marca()
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

void Form9::Command3_Click()
{
    const QList<QListWidgetItem *> selected = List2->selectedItems();
    const QString sender = selected.isEmpty() ? QString() : selected.first()->text();
    if (selected.isEmpty() || !senders::isUsable(sender)) {
        tell(m_windows.context().prompter, senders::unusableMessage());
        return;
    }
    if (!senders::addSender(m_windows.context().conexion, sender).ok()) {
        reportDatabaseFailure();
        return;
    }
    rebuildLocal();
    Command3->setEnabled(false);
}

void Form9::Command2_Click()
{
    const QList<QListWidgetItem *> selected = List1->selectedItems();
    if (selected.isEmpty())
        return;
    const QString sender = selected.first()->text();
    if (Check1->isChecked()) {
        // The table and the lists change when the gateway confirms.
        send(Operation::Delete, sender);
        return;
    }
    if (!senders::removeSender(m_windows.context().conexion, sender).ok()) {
        reportDatabaseFailure();
        return;
    }
    rebuildLocal();
}

void Form9::onReply(const net::GatewayReply &reply)
{
    if (!m_pending)
        return;
    const Pending sent = *m_pending;
    m_pending.reset();
    m_windows.closeProgress(this);

    AppContext &ctx = m_windows.context();
    const senders::SenderReply parsed = senders::parseReply(reply.text);
    switch (parsed.kind) {
    case senders::ReplyKind::List:
        List2->clear();
        List2->addItems(senders::splitList(parsed.payload));
        Command3->setEnabled(false);
        break;
    case senders::ReplyKind::Requested: {
        const QString sender = parsed.payload;
        if (!senders::isUsable(sender)) {
            tell(ctx.prompter, senders::unusableMessage());
            break;
        }
        if (itemsEqualTo(List2, sender).isEmpty())
            List2->addItem(sender);
        if (!senders::addSender(ctx.conexion, sender).ok()) {
            reportDatabaseFailure();
            break;
        }
        rebuildLocal();
        ctx.prompter.message(QStringLiteral("El remitente ha sido añadido satisfactoriamente"),
                             QStringLiteral("Remitente añadido"));
        break;
    }
    case senders::ReplyKind::Removed:
    case senders::ReplyKind::NotListed: {
        // The gateway names what it removed; "not listed" is about the identifier that was sent.
        const QString sender =
            parsed.kind == senders::ReplyKind::Removed ? parsed.payload : sent.remitente;
        if (parsed.kind == senders::ReplyKind::Removed && Check1->isChecked()) {
            const auto equal = itemsEqualTo(List2, sender);
            if (!equal.isEmpty())
                delete equal.first();
        }
        if (!senders::removeSender(ctx.conexion, sender).ok()) {
            reportDatabaseFailure();
            break;
        }
        rebuildLocal();
        ctx.prompter.message(QStringLiteral("El remitente ha sido eliminado."), QStringLiteral("Eliminar remitente"));
        break;
    }
    default:
        if (const auto failure = senders::failureMessage(parsed.kind))
            tell(ctx.prompter, *failure);
        break;
    }
    Q_EMIT replyHandled();
}

void Form9::rebuildLocal()
{
    const QListWidgetItem *current = List1->currentItem();
    const QString keep = current && current->isSelected() ? current->text() : QString();
    List1->clear();
    List1->addItems(senders::loadSenders(m_windows.context().conexion));
    int row = -1;
    if (!keep.isEmpty()) {
        const auto equal = itemsEqualTo(List1, keep);
        if (!equal.isEmpty())
            row = List1->row(equal.first());
    }
    // After a removal the first entry takes the selection; an addition selects nothing new.
    if (row < 0 && !keep.isEmpty() && List1->count() > 0)
        row = 0;
    if (row >= 0)
        List1->setCurrentRow(row);
    List1_Click();
    const QList<QListWidgetItem *> chosen = List2->selectedItems();
    Command3->setEnabled(!chosen.isEmpty() && itemsEqualTo(List1, chosen.first()->text()).isEmpty());
    m_windows.sendersChanged();
}

void Form9::reportDatabaseFailure()
{
    m_windows.context().prompter.message(
        QStringLiteral("No se ha podido actualizar la lista de remitentes en la base de datos. Por favor, "
                       "inténtelo de nuevo."),
        QStringLiteral("Error"), ui::Icon::Critical);
}

void Form9::closeEvent(QCloseEvent *event)
{
    // A reply to a closed window has nobody to show it to: stop waiting for it.
    m_channel.cancel();
    m_pending.reset();
    m_windows.closeProgress(this);
    QWidget::closeEvent(event);
}

} // namespace startup
