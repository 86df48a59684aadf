#pragma once

#include <QWidget>

class QAction;
class QMenu;
class QTreeWidget;

namespace contacts {

// The "Grupos" tab laid out: the group tree and its popup menu; GroupsTab answers them.
class GroupsPanel final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(GroupsPanel)

public:
    explicit GroupsPanel(QWidget *parent = nullptr);
    ~GroupsPanel() override;

    QTreeWidget *TreeView2() const { return m_tree; }
    QMenu *mnurclick_listado_grupos() const { return m_menu; }
    QAction *mnurclick_listado_grupos_administrar() const { return m_administrar; }
    QAction *mnurclick_listado_grupos_eliminar() const { return m_eliminar; }
    QAction *mnurclick_listado_grupos_crear() const { return m_crear; }

Q_SIGNALS:
    void TreeView2_MouseDown(Qt::MouseButton button, QPoint pos, QPoint globalPos);
    void TreeView2_DblClick();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QTreeWidget *m_tree = nullptr;
    QMenu *m_menu = nullptr;
    QAction *m_administrar = nullptr;
    QAction *m_eliminar = nullptr;
    QAction *m_crear = nullptr;
};

} // namespace contacts
