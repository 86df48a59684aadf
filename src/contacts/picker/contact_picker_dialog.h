#pragma once

#include "contacts/keyed_pages.h"
#include "contacts/picker/contact_condition.h"
#include "platform/ui/list_tree.h"

#include <QPoint>
#include <QWidget>

#include <optional>

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QScrollBar;
class QTreeWidget;
class QTreeWidgetItem;

namespace db { class Connection; }
namespace ui { class BusyCursor; class Prompter; }

namespace contacts::picker {

class RecipientsBox;

// "Enviar SMS - Agenda": every group and contact, 100 a page, with its own filter; a
// right-click adds a contact's or a whole group's numbers to the send panel's recipients box.
class ContactPickerDialog final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ContactPickerDialog)

public:
    ContactPickerDialog(db::Connection &connection, ui::Prompter &prompter, ui::BusyCursor &busy, RecipientsBox &box,
          QWidget *parent = nullptr);
    ~ContactPickerDialog() override;

    QTreeWidget *bookList() const { return m_bookList; }
    QLabel *pageLabel() const { return m_pageLabel; }
    QScrollBar *pageBar() const { return m_pageBar; }
    QComboBox *operatorCombo() const { return m_operatorCombo; }         // operator
    QComboBox *fieldCombo() const { return m_fieldCombo; }         // field
    QLineEdit *wordsBox() const { return m_wordsBox; }           // words
    QCheckBox *groupFilterCheck() const { return m_groupFilterCheck; }         // "Que pertenezca al grupo:"
    QComboBox *groupFilterCombo() const { return m_groupFilterCombo; }         // group
    QPushButton *filterButton() const { return m_filterButton; }   // "Filtrar"
    QPushButton *closeButton() const { return m_closeButton; }   // "Cerrar"
    QPushButton *showAllButton() const { return m_showAllButton; }   // "Mostrar todos"
    QCheckBox *closeAfterPickCheck() const { return m_closeAfterPickCheck; }         // "Cerrar tras seleccionar."
    QMenu *pickMenu() const { return m_pickMenu; }
    QAction *pickAction() const { return m_pickAction; }
    QAction *pickAndCloseAction() const { return m_pickAndCloseAction; }

    // The filter condition (the filter button's Tag); nothing while every group and contact is listed.
    const std::optional<Condition> &condition() const { return m_condition; }

    // Rebuilds the tree for the current page and condition.
    void refreshList();

    void applyFilter();
    void showAll();
    // True when the popup menu opened. Its items add the contact or group it was opened on
    // (menuKey()), whatever the tree shows by the time they run.
    bool openPopupMenu(Qt::MouseButton button, QPoint pos, QPoint globalPos);
    const QString &menuKey() const { return m_contactMenu.key(); }
    void pickMenuNode();
    void pickMenuNodeAndClose();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void load();
    void onPageChanged();
    void onCloseClicked();
    // Adds the number or numbers of the node with that key and text to the recipients box
    // (the picker's own add).
    void addRecipient(const QString &key, const QString &text);
    QWidget *buildFilterRow();

    db::Connection &m_connection;
    ui::Prompter &m_prompter;
    ui::BusyCursor &m_busy;
    RecipientsBox &m_recipients;
    std::optional<Condition> m_condition;
    std::optional<PageAnchor> m_shownPage;    // the page of contacts shown last, to read on from

    QTreeWidget *m_bookList = nullptr;
    QLabel *m_pageLabel = nullptr;
    QScrollBar *m_pageBar = nullptr;
    QGroupBox *m_filterFrame = nullptr;
    QComboBox *m_operatorCombo = nullptr;
    QComboBox *m_fieldCombo = nullptr;
    QLineEdit *m_wordsBox = nullptr;
    QCheckBox *m_groupFilterCheck = nullptr;
    QComboBox *m_groupFilterCombo = nullptr;
    QPushButton *m_filterButton = nullptr;
    QPushButton *m_closeButton = nullptr;
    QPushButton *m_showAllButton = nullptr;
    QCheckBox *m_closeAfterPickCheck = nullptr;
    QMenu *m_pickMenu = nullptr;
    QAction *m_pickAction = nullptr;
    QAction *m_pickAndCloseAction = nullptr;
    ui::RowPopup m_contactMenu;
    QString m_menuText;   // the text of the node the menu was opened on (a group's name and count)
};

} // namespace contacts::picker
