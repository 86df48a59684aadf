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

    QTreeWidget *groupList() const { return m_groupList; }
    QMenu *groupMenu() const { return m_groupMenu; }
    QAction *administerAction() const { return m_administerAction; }
    QAction *deleteAction() const { return m_deleteAction; }
    QAction *createAction() const { return m_createAction; }

Q_SIGNALS:
    void treeMousePressed(Qt::MouseButton button, QPoint pos, QPoint globalPos);
    void treeDoubleClicked();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QTreeWidget *m_groupList = nullptr;
    QMenu *m_groupMenu = nullptr;
    QAction *m_administerAction = nullptr;
    QAction *m_deleteAction = nullptr;
    QAction *m_createAction = nullptr;
};

} // namespace contacts
