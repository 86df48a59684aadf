#include "history/view/recipient_actions.h"

#include "history/export/recipients_sheet.h"
#include "history/recipient_group.h"
#include "history/view/history_panel.h"
#include "platform/ui/busy_cursor.h"
#include "platform/ui/prompter.h"
#include "platform/ui/saved_workbook.h"
#include "platform/ui/shell.h"
#include "platform/xlsx/workbook_writer.h"

#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QStandardPaths>

namespace history {

namespace {

const QString kHistoryErrorMessage = QStringLiteral("No ha sido posible acceder al historial. No se ha cambiado nada.");

} // namespace

RecipientActions::RecipientActions(seams::AppContext &context, HistoryPanel *panel, QObject *parent)
    : QObject(parent)
    , m_context(context)
    , m_panel(panel)
{
    if (!m_panel)
        return;
    // The copy and the workbook need nothing outside the history.
    m_panel->setRecipientActionAvailable(int(RecipientAction::Clipboard), true);
    m_panel->setRecipientActionAvailable(int(RecipientAction::Export), true);
    connect(m_panel, &HistoryPanel::recipientsRequested, this, [this](qint64 sid, const QString &recipientClass, int action) {
        if (action >= 0 && action < kRecipientActionCount)
            actOnRecipients(sid, recipientClass, static_cast<RecipientAction>(action));
    });
    connect(m_panel, &HistoryPanel::recipientsDoubleClicked, this, [this](qint64 sid, const QString &recipientClass) {
        actOnRecipients(sid, recipientClass, RecipientAction::Filter);
    });
}

RecipientActions::~RecipientActions() = default;

void RecipientActions::setContactBook(ContactBookLink link)
{
    m_contactBook = std::move(link);
    const bool available = m_contactBook.complete();
    if (m_panel) {
        m_panel->setRecipientActionAvailable(int(RecipientAction::Filter), available);
        m_panel->setRecipientActionAvailable(int(RecipientAction::Group), available);
    }
}

void RecipientActions::setSendPanel(SendPanelLink link)
{
    m_sendPanel = std::move(link);
    if (m_panel)
        m_panel->setRecipientActionAvailable(int(RecipientAction::AddToSendPanel), bool(m_sendPanel));
}

RecipientOutcome RecipientActions::actOnRecipients(qint64 sid, const QString &recipientClass,
                                                                RecipientAction action)
{
    RecipientOutcome outcome = run(sid, recipientClass, action);
    Q_EMIT acted(outcome);
    return outcome;
}

RecipientOutcome RecipientActions::run(qint64 sid, const QString &classWord, RecipientAction action)
{
    RecipientOutcome outcome;
    const std::optional<RecipientClass> recipientClass = recipientClassFromText(classWord);
    if (!recipientClass)
        return outcome;
    const bool needsContacts = action == RecipientAction::Filter || action == RecipientAction::Group;
    if ((needsContacts && !m_contactBook.complete()) || (action == RecipientAction::AddToSendPanel && !m_sendPanel)) {
        outcome.status = RecipientOutcome::Status::Unavailable;
        return outcome;
    }

    const SendLookup lookup = readSend(m_context.connection, sid);
    if (lookup.status == SendLookup::Status::DatabaseError) {
        outcome.status = RecipientOutcome::Status::DatabaseError;
        m_context.prompter.message(kHistoryErrorMessage, {}, ui::Icon::Warning);
        return outcome;
    }
    if (lookup.status == SendLookup::Status::NoRow)
        return outcome;
    const QString list = classList(*recipientClass, lookup.send);

    switch (action) {
    case RecipientAction::Clipboard:
        QGuiApplication::clipboard()->setText(list);
        outcome.status = RecipientOutcome::Status::Copied;
        outcome.list = list;
        return outcome;
    case RecipientAction::AddToSendPanel:
        m_sendPanel(list);
        outcome.status = RecipientOutcome::Status::AddedToSendPanel;
        outcome.list = list;
        return outcome;
    case RecipientAction::Export:
        return exportClass(sid, *recipientClass, lookup.send, list);
    case RecipientAction::Group:
        return createGroup(list);
    case RecipientAction::Filter:
        if (filterNeedsGroup(list)) {
            m_context.prompter.message(kTooManyContactsMessage);
            return createGroup(list);
        }
        return filterContacts(list);
    }
    return outcome;
}

QString RecipientActions::exportFolder() const
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return documents.isEmpty() ? m_context.programFolder : documents;
}

RecipientOutcome RecipientActions::exportClass(qint64 sid, RecipientClass recipientClass, const RecipientSend &send,
                                            const QString &list)
{
    RecipientOutcome outcome;
    outcome.list = list;
    // There is no spreadsheet program to hand an unsaved workbook to: the user picks its file
    // first, then it is written and opened.
    const std::optional<QString> chosen = m_context.prompter.saveFile(
        kExportRecipientsTitle, QDir(exportFolder()).filePath(exporting::recipientsWorkbookName(sid, recipientClass)),
        QStringLiteral("Libro de Excel (*.xlsx)"));
    if (!chosen || chosen->trimmed().isEmpty()) {
        outcome.status = RecipientOutcome::Status::Cancelled;
        return outcome;
    }
    outcome.path = xlsx::withXlsxSuffix(*chosen);
    xlsx::SaveResult saved;
    {
        ui::BusyGuard busy(m_context.busy, QStringLiteral("exportar-destinatarios"));
        saved = xlsx::save(outcome.path, {exporting::recipientsSheet(send, list)});
    }
    if (!saved.ok()) {
        outcome.status = RecipientOutcome::Status::SaveFailed;
        m_context.prompter.message(saved.message, kExportRecipientsTitle, ui::Icon::Warning);
        return outcome;
    }
    outcome.status = RecipientOutcome::Status::Exported;
    m_context.prompter.message(kRecipientsExportedMessage, kExportRecipientsTitle,
                               ui::Icon::Information);
    ui::openSavedWorkbook(m_context.shell, m_context.prompter, outcome.path, kExportRecipientsTitle);
    return outcome;
}

RecipientOutcome RecipientActions::createGroup(const QString &list)
{
    RecipientOutcome outcome;
    outcome.list = list;
    // A second group of the same name could not be told apart in the contact filter, which finds
    // groups by name: a name already taken is asked again, as the group tab does.
    QString name;
    for (;;) {
        const std::optional<QString> answer =
            m_context.prompter.input(groupNamePrompt(list.size()), kCreateGroupTitle, QString());
        name = answer ? answer->trimmed() : QString();
        if (name.isEmpty()) {
            outcome.status = RecipientOutcome::Status::Cancelled;
            return outcome;
        }
        if (!groupNameTaken(m_context.connection, name))
            break;
        m_context.prompter.message(groupExistsMessage(name), kGroupNameErrorTitle, ui::Icon::Warning);
    }

    CreatedGroup created;
    {
        ui::BusyGuard busy(m_context.busy, QStringLiteral("crear-grupo-destinatarios"));
        created = createGroupFromPhones(m_context.connection, name, phonesOf(list));
    }
    if (!created.ok()) {
        outcome.status = RecipientOutcome::Status::DatabaseError;
        m_context.prompter.message(kCreateGroupErrorMessage, kCreateGroupTitle, ui::Icon::Warning);
        return outcome;
    }
    outcome.status = RecipientOutcome::Status::GroupCreated;
    outcome.group = created.sid;
    outcome.members = created.members;
    m_contactBook.reloadGroups();
    // Without numbers there is nothing to show: the contacts stay as they were.
    if (list.isEmpty())
        return outcome;
    ui::BusyGuard busy(m_context.busy, QStringLiteral("filtrar-contactos"));
    m_contactBook.filterByGroup(name);
    m_contactBook.showContacts();
    return outcome;
}

RecipientOutcome RecipientActions::filterContacts(const QString &list)
{
    RecipientOutcome outcome;
    outcome.list = list;
    if (list.isEmpty())
        return outcome;
    ui::BusyGuard busy(m_context.busy, QStringLiteral("filtrar-contactos"));
    m_contactBook.filterByPhones(list);
    m_contactBook.showContacts();
    outcome.status = RecipientOutcome::Status::Filtered;
    return outcome;
}

} // namespace history
