#pragma once

#include "contacts/keyed_pages.h"
#include "contacts/picker/contact_condition.h"
#include "platform/ui/list_tree.h"

#include <QPoint>
#include <QWidget>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QScrollBar;
class QTreeWidget;
class QTreeWidgetItem;

namespace db { class Connection; }
namespace seams { class ListViews; }
namespace ui { class BusyCursor; class Prompter; }

namespace contacts::groups {

// "Administrar grupo": the contact book (filtered, 100 a page, members marked) beside the group's
// members (50 a page); contacts join or leave the group through the popups, or the whole filtered
// list joins at once.
class GroupAdminDialog final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(GroupAdminDialog)

public:
    GroupAdminDialog(db::Connection &connection, ui::Prompter &prompter, ui::BusyCursor &busy, seams::ListViews &listViews,
          QWidget *parent = nullptr);
    ~GroupAdminDialog() override;

    // The administered group (the window's Tag).
    qint64 group() const { return m_group; }
    void setGroup(qint64 sid) { m_group = sid; }

    QTreeWidget *contactList() const { return m_contactList; }  // contact book
    QTreeWidget *memberList() const { return m_memberList; }  // members
    QLabel *contactPageLabel() const { return m_contactPageLabel; }
    QScrollBar *contactPageBar() const { return m_contactPageBar; }
    QLabel *memberPageLabel() const { return m_memberPageLabel; }
    QScrollBar *memberPageBar() const { return m_memberPageBar; }
    QComboBox *operatorCombo() const { return m_operatorCombo; }         // operator
    QComboBox *fieldCombo() const { return m_fieldCombo; }         // field
    QLineEdit *wordsBox() const { return m_wordsBox; }           // words
    QCheckBox *groupFilterCheck() const { return m_groupFilterCheck; }         // "Que pertenezca al grupo:"
    QComboBox *groupFilterCombo() const { return m_groupFilterCombo; }         // another group
    QCheckBox *notIncludedCheck() const { return m_notIncludedCheck; }         // "Mostrar no incluidos"
    QPushButton *filterButton() const { return m_filterButton; }   // "Filtrar"
    QPushButton *closeButton() const { return m_closeButton; }   // "Cerrar"
    QPushButton *addAllButton() const { return m_addAllButton; }   // "Añadir toda la lista"
    QMenu *contactMenu() const { return m_contactMenu; }
    QAction *addToGroupAction() const { return m_addToGroupAction; }
    QAction *removeFromGroupAction() const { return m_removeFromGroupAction; }
    QMenu *memberMenu() const { return m_memberMenu; }
    QAction *removeMemberAction() const { return m_removeMemberAction; }

    // The condition of the contact book last built (the add-all button's Tag); "Añadir toda la lista"
    // works from it, not from the filter controls.
    const Condition &listCondition() const { return m_where; }

    // Rebuilds the group combo, the members' page bar and the contact book.
    void reloadContactList();
    // Rebuilds the group combo, the members' page bar and the members list.
    void reloadMemberList();

    void onAddAllClicked();
    // True when a popup menu opened. Its items act on the contact it was opened on
    // (menuKey()), whatever the lists show by the time they run.
    bool openPopupMenu(QTreeWidget *tree, Qt::MouseButton button, QPoint pos, QPoint globalPos);
    const QString &menuKey(const QTreeWidget *tree) const
    {
        return tree == m_memberList ? m_memberPopup.key() : m_contactPopup.key();
    }
    void addMenuContact();
    void removeMenuContact();
    void removeMenuMember();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void load();
    void fillGroupCombo();
    void changeMembership(const QString &key, bool adding);
    void refresh();
    QWidget *buildFilterRow();

    db::Connection &m_connection;
    ui::Prompter &m_prompter;
    ui::BusyCursor &m_busy;
    seams::ListViews &m_listViews;
    qint64 m_group = 0;
    Condition m_where;
    // The pages shown last, for the next page turns to read on from.
    std::optional<PageAnchor> m_contactAnchor;
    std::optional<PageAnchor> m_memberAnchor;

    QTreeWidget *m_contactList = nullptr;
    QTreeWidget *m_memberList = nullptr;
    QLabel *m_contactPageLabel = nullptr;
    QScrollBar *m_contactPageBar = nullptr;
    QLabel *m_memberPageLabel = nullptr;
    QScrollBar *m_memberPageBar = nullptr;
    QComboBox *m_operatorCombo = nullptr;
    QComboBox *m_fieldCombo = nullptr;
    QLineEdit *m_wordsBox = nullptr;
    QCheckBox *m_groupFilterCheck = nullptr;
    QComboBox *m_groupFilterCombo = nullptr;
    QCheckBox *m_notIncludedCheck = nullptr;
    QPushButton *m_filterButton = nullptr;
    QPushButton *m_closeButton = nullptr;
    QPushButton *m_addAllButton = nullptr;
    QMenu *m_contactMenu = nullptr;
    QAction *m_addToGroupAction = nullptr;
    QAction *m_removeFromGroupAction = nullptr;
    QMenu *m_memberMenu = nullptr;
    QAction *m_removeMemberAction = nullptr;
    ui::RowPopup m_contactPopup;
    ui::RowPopup m_memberPopup;
};

} // namespace contacts::groups
