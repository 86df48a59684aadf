#pragma once

#include <QWidget>

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QScrollBar;
class QToolButton;
class QTreeWidget;

namespace contacts {

// The "Contactos" tab laid out: the contact tree, its pager, the filter switch and
// the filter panel (operator, words, field, group), and the popup menu. It only holds
// the controls; ContactsTab answers them.
class ContactsPanel final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ContactsPanel)

public:
    explicit ContactsPanel(QWidget *parent = nullptr);
    ~ContactsPanel() override;

    QTreeWidget *contactList() const { return m_contactList; }
    QScrollBar *pageBar() const { return m_pageBar; }
    QLabel *pageLabel() const { return m_pageLabel; }
    QCheckBox *filterCheck() const { return m_filterCheck; }          // "Filtrar"
    QToolButton *filterToggleImage() const { return m_filterToggleImage; }        // shows and hides the filter panel
    QToolButton *exportImage() const { return m_exportImage; }        // the list to an Excel workbook

    QGroupBox *filterFrame() const { return m_filterFrame; }          // "Filtrado de contactos"
    QComboBox *operatorCombo() const { return m_operatorCombo; }          // operator
    QLineEdit *wordsBox() const { return m_wordsBox; }            // words
    QComboBox *fieldCombo() const { return m_fieldCombo; }          // field
    QCheckBox *membersCheck() const { return m_membersCheck; }          // "Miembros de"
    QComboBox *groupCombo() const { return m_groupCombo; }          // group
    QPushButton *filterButton() const { return m_filterButton; }    // "Filtrar"
    QPushButton *closeButton() const { return m_closeButton; }    // "Cerrar"

    // The main window's own operator and field lists (filled by its start-up) take the place of
    // this panel's, so that the filter reads the lists the start-up filled; the panel's go.
    void useLists(QComboBox *operatorCombo, QComboBox *fieldCombo);

    QMenu *contactMenu() const { return m_contactMenu; }
    QAction *editAction() const { return m_editAction; }
    QAction *findSendsAction() const { return m_findSendsAction; }
    QAction *deleteAction() const { return m_deleteAction; }
    QAction *createAction() const { return m_createAction; }

Q_SIGNALS:
    // A mouse button pressed on the tree (viewport coordinates).
    void treeMousePressed(Qt::MouseButton button, QPoint pos, QPoint globalPos);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QTreeWidget *m_contactList = nullptr;
    QScrollBar *m_pageBar = nullptr;
    QLabel *m_pageLabel = nullptr;
    QCheckBox *m_filterCheck = nullptr;
    QToolButton *m_filterToggleImage = nullptr;
    QToolButton *m_exportImage = nullptr;
    QGroupBox *m_filterFrame = nullptr;
    QComboBox *m_operatorCombo = nullptr;
    QLineEdit *m_wordsBox = nullptr;
    QComboBox *m_fieldCombo = nullptr;
    QCheckBox *m_membersCheck = nullptr;
    QComboBox *m_groupCombo = nullptr;
    QPushButton *m_filterButton = nullptr;
    QPushButton *m_closeButton = nullptr;
    QMenu *m_contactMenu = nullptr;
    QAction *m_editAction = nullptr;
    QAction *m_findSendsAction = nullptr;
    QAction *m_deleteAction = nullptr;
    QAction *m_createAction = nullptr;
};

} // namespace contacts
