#pragma once

#include "platform/ui/list_tree.h"

#include <QObject>
#include <QPoint>
#include <QPointer>

#include <optional>

class QCheckBox;
class QComboBox;

namespace startup { struct AppContext; }

namespace contacts {

class GroupsPanel;

// The "Grupos" tab at work: the group list with member counts, the contact filter's group list
// (its group combo and "Miembros de" check), and the creation and deletion of groups.
class GroupsTab final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(GroupsTab)

public:
    // `groupCombo` and `membersCheck` are the contact filter's group controls, refilled with the tree.
    GroupsTab(startup::AppContext &context, GroupsPanel &panel, QComboBox &groupCombo, QCheckBox &membersCheck,
              QObject *parent = nullptr);
    ~GroupsTab() override;

    void f_grupos();
    // Deletes the group after taking it out of every contact (asking first when it has members).
    // True when it was deleted.
    bool f_borrar_grupo(qint64 sid);

    // The right button opens the popup menu on the group under the pointer; its items act on that
    // group whatever the list shows by the time they run (menuKey()).
    void TreeView2_MouseDown(Qt::MouseButton button, QPoint pos, QPoint globalPos);
    const QString &menuKey() const { return m_popup.key(); }
    // A double click administers the group it lands on.
    void TreeView2_DblClick();
    void mnurclick_listado_grupos_administrar_Click();
    void mnurclick_listado_grupos_eliminar_Click();
    void mnurclick_listado_grupos_crear_Click();

Q_SIGNALS:
    // The group administration is to open for this group.
    void administrarGrupo(qint64 sid);
    void redibujado();

private:
    std::optional<qint64> sidSeleccionado() const;
    void administrar(std::optional<qint64> sid);

    startup::AppContext &m_context;
    QPointer<GroupsPanel> m_panel;
    QPointer<QComboBox> m_combo3;
    QPointer<QCheckBox> m_check3;
    ui::RowPopup m_popup;
};

} // namespace contacts
