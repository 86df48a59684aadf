#include "contacts/view/groups_tab.h"

#include "contacts/group_book.h"
#include "contacts/node_keys.h"
#include "contacts/view/contact_tree.h"
#include "contacts/view/groups_panel.h"
#include "platform/db/connection.h"
#include "platform/ui/busy_cursor.h"
#include "platform/ui/prompter.h"
#include "seams/app_context.h"
#include "sending/templates/template_tree.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QMenu>
#include <QSignalBlocker>
#include <QTreeWidget>
#include <QtDebug>

namespace contacts {

GroupsTab::GroupsTab(seams::AppContext &context, GroupsPanel &panel, QComboBox &groupCombo, QCheckBox &membersCheck,
                     QObject *parent)
    : QObject(parent)
    , m_context(context)
    , m_panel(&panel)
    , m_filterGroupCombo(&groupCombo)
    , m_filterMembersCheck(&membersCheck)
    , m_contactMenu(panel.groupMenu())
{
    connect(&panel, &GroupsPanel::treeMousePressed, this, &GroupsTab::openPopupMenu);
    connect(&panel, &GroupsPanel::treeDoubleClicked, this, &GroupsTab::administerClickedGroup);
    connect(panel.administerAction(), &QAction::triggered, this,
            &GroupsTab::administerFromMenu);
    connect(panel.deleteAction(), &QAction::triggered, this,
            &GroupsTab::deleteFromMenu);
    connect(panel.createAction(), &QAction::triggered, this,
            &GroupsTab::createFromMenu);
}

GroupsTab::~GroupsTab() = default;

void GroupsTab::refreshGroupList()
{
    if (!m_panel)
        return;
    const GroupList list = listGroups(m_context.connection);
    if (!list.ok) {
        // Keep what the views showed rather than claim there are no groups.
        qWarning() << "group list query failed:" << list.error;
        return;
    }
    std::vector<ContactNode> nodes;
    for (const Group &g : list.groups)
        nodes.push_back({nodeKey(QStringLiteral("pGrupo"), g.sid), {}, groupText(g), 6});
    if (nodes.empty())
        nodes.push_back({QString::fromLatin1(kEmptyKey), {}, QStringLiteral("Sin grupos"), 0});
    fillTree(*m_panel->groupList(), nodes);

    if (m_filterGroupCombo && m_filterMembersCheck) {
        // "Ninguno" is no group: with it showing, nothing was chosen.
        const QString remembered =
            m_filterMembersCheck->isEnabled() && m_filterGroupCombo->currentIndex() >= 0 ? m_filterGroupCombo->currentText() : QString();
        const FilterGroupList filter = filterGroupList(list.groups, remembered);
        const QSignalBlocker quiet(m_filterGroupCombo);
        m_filterGroupCombo->clear();
        m_filterGroupCombo->addItems(filter.names);
        // The list selects its first item by itself; "no selection" must be set.
        m_filterGroupCombo->setCurrentIndex(filter.selected);
        m_filterMembersCheck->setEnabled(filter.enabled);
    }
    Q_EMIT redrawn();
}

std::optional<qint64> GroupsTab::selectedSid() const
{
    if (!m_panel)
        return std::nullopt;
    return sidFromKey(selectedKey(*m_panel->groupList()));
}

void GroupsTab::openPopupMenu(Qt::MouseButton button, QPoint pos, QPoint globalPos)
{
    if (!m_panel)
        return;
    const bool row = sending::pressOnTree(*m_panel->groupList(), pos);
    if (button != Qt::RightButton)
        return;
    m_panel->administerAction()->setEnabled(row);
    m_panel->deleteAction()->setEnabled(row);
    m_panel->createAction()->setEnabled(true);
    m_contactMenu.popup(row ? selectedKey(*m_panel->groupList()) : QString(), globalPos);
}

void GroupsTab::administerClickedGroup()
{
    administer(selectedSid());
}

void GroupsTab::administerFromMenu()
{
    administer(sidFromKey(m_contactMenu.key()));
}

void GroupsTab::administer(std::optional<qint64> sid)
{
    if (!sid)
        return;
    // A group deleted meanwhile has nothing left to administer.
    if (!m_context.connection.scalar(QStringLiteral("SELECT 1 FROM Grupos WHERE sid = ?"), {*sid}).isValid()) {
        refreshGroupList();
        m_context.prompter.message(QString::fromUtf8(kGroupGoneMessage), QStringLiteral("Grupos"),
                                   ui::Icon::Information);
        return;
    }
    Q_EMIT administerGroupRequested(*sid);
}

bool GroupsTab::removeGroup(qint64 sid)
{
    ui::Prompter &prompter = m_context.prompter;
    const DeleteGroupResult r = contacts::deleteGroup(
        m_context.connection, sid, [&prompter](const QString &prompt, const QString &title, const QString &def) {
            return prompter.input(prompt, title, def);
        });
    switch (r.status) {
    case DeleteGroupResult::Status::NotFound:
        refreshGroupList();   // a group deleted meanwhile leaves the list
        prompter.message(QString::fromUtf8(kSelectGroupFirstMessage), QStringLiteral("Error"), ui::Icon::Critical);
        return false;
    case DeleteGroupResult::Status::Aborted:
        prompter.message(QString::fromUtf8(kGroupDeletionAbortedMessage), QString::fromUtf8(kGroupDeletedTitle),
                         ui::Icon::Information);
        return false;
    case DeleteGroupResult::Status::DatabaseError:
        prompter.message(QStringLiteral("No se pudo eliminar el grupo de la base de datos; no se ha cambiado "
                                        "nada. Inténtelo de nuevo en unos momentos."),
                         QStringLiteral("Error"), ui::Icon::Critical);
        return false;
    case DeleteGroupResult::Status::Deleted:
        break;
    }
    refreshGroupList();
    prompter.message(QString::fromUtf8(kGroupDeletedMessage), QString::fromUtf8(kGroupDeletedTitle),
                     ui::Icon::Information);
    return true;
}

void GroupsTab::deleteFromMenu()
{
    const std::optional<qint64> sid = sidFromKey(m_contactMenu.key());
    if (!sid)
        return;
    const ui::BusyGuard busy(m_context.busy, QStringLiteral("grupos"));
    removeGroup(*sid);
}

void GroupsTab::createFromMenu()
{
    ui::Prompter &prompter = m_context.prompter;
    const CreateGroupResult r = createGroup(
        m_context.connection,
        [&prompter](const QString &prompt, const QString &title, const QString &def) {
            return prompter.input(prompt, title, def);
        },
        [&prompter](const QString &name) {
            prompter.message(groupNameTakenMessage(name), QString::fromUtf8(kGroupNameErrorTitle), ui::Icon::Warning);
        });
    switch (r.status) {
    case CreateGroupResult::Status::Cancelled:
        prompter.message(QString::fromUtf8(kGroupCreationCancelledMessage), QString::fromUtf8(kGroupCreationCancelledTitle),
                         ui::Icon::Information);
        return;
    case CreateGroupResult::Status::DatabaseError:
        prompter.message(QStringLiteral("No se pudo crear el grupo en la base de datos. Inténtelo de nuevo en unos "
                                        "momentos."),
                         QStringLiteral("Error"), ui::Icon::Critical);
        return;
    case CreateGroupResult::Status::Created:
        break;
    }
    refreshGroupList();
    prompter.message(QString::fromUtf8(kGroupCreatedMessage), QString::fromUtf8(kNewGroupTitle), ui::Icon::Information);
}

} // namespace contacts
