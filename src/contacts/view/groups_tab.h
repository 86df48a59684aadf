#pragma once

#include "platform/ui/list_tree.h"

#include <QObject>
#include <QPoint>
#include <QPointer>

#include <optional>

class QCheckBox;
class QComboBox;

namespace seams { struct AppContext; }

namespace contacts {

class GroupsPanel;

// The "Grupos" tab at work: the group list with member counts, the contact filter's group list
// (its group combo and "Miembros de" check), and the creation and deletion of groups.
class GroupsTab final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(GroupsTab)

public:
    // `groupCombo` and `membersCheck` are the contact filter's group controls, refilled with the tree.
    GroupsTab(seams::AppContext &context, GroupsPanel &panel, QComboBox &groupCombo, QCheckBox &membersCheck,
              QObject *parent = nullptr);
    ~GroupsTab() override;

    void refreshGroupList();
    // Deletes the group after taking it out of every contact (asking first when it has members).
    // True when it was deleted.
    bool removeGroup(qint64 sid);

    // The right button opens the popup menu on the group under the pointer; its items act on that
    // group whatever the list shows by the time they run (menuKey()).
    void openPopupMenu(Qt::MouseButton button, QPoint pos, QPoint globalPos);
    const QString &menuKey() const { return m_contactMenu.key(); }
    // A double click administers the group it lands on.
    void administerClickedGroup();
    void administerFromMenu();
    void deleteFromMenu();
    void createFromMenu();

Q_SIGNALS:
    // The group administration is to open for this group.
    void administerGroupRequested(qint64 sid);
    void redrawn();

private:
    std::optional<qint64> selectedSid() const;
    void administer(std::optional<qint64> sid);

    seams::AppContext &m_context;
    QPointer<GroupsPanel> m_panel;
    QPointer<QComboBox> m_filterGroupCombo;
    QPointer<QCheckBox> m_filterMembersCheck;
    ui::RowPopup m_contactMenu;
};

} // namespace contacts
