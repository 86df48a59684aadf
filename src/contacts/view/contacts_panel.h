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

    QTreeWidget *TreeView4() const { return m_tree; }
    QScrollBar *HScroll1() const { return m_scroll; }
    QLabel *PagAgenda() const { return m_label; }
    QCheckBox *Check4() const { return m_check4; }          // "Filtrar"
    QToolButton *Image7() const { return m_image7; }        // shows and hides the filter panel
    QToolButton *Image6() const { return m_image6; }        // the list to an Excel workbook

    QGroupBox *Frame2() const { return m_frame2; }          // "Filtrado de contactos"
    QComboBox *Combo2() const { return m_combo2; }          // operator
    QLineEdit *Text7() const { return m_text7; }            // words
    QComboBox *Combo4() const { return m_combo4; }          // field
    QCheckBox *Check3() const { return m_check3; }          // "Miembros de"
    QComboBox *Combo3() const { return m_combo3; }          // group
    QPushButton *Command2() const { return m_command2; }    // "Filtrar"
    QPushButton *Command3() const { return m_command3; }    // "Cerrar"

    // The main window's own operator and field lists (filled by its start-up) take the place of
    // this panel's, so that the filter reads the lists the start-up filled; the panel's go.
    void usarListas(QComboBox *operatorCombo, QComboBox *fieldCombo);

    QMenu *mnurclick_agenda() const { return m_menu; }
    QAction *mnurclick_agenda_modificar() const { return m_modificar; }
    QAction *mnurclick_agenda_buscarhistorial() const { return m_buscar; }
    QAction *mnurclick_agenda_eliminar() const { return m_eliminar; }
    QAction *mnurclick_agenda_crear() const { return m_crear; }

Q_SIGNALS:
    // A mouse button pressed on the tree (viewport coordinates).
    void TreeView4_MouseDown(Qt::MouseButton button, QPoint pos, QPoint globalPos);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QTreeWidget *m_tree = nullptr;
    QScrollBar *m_scroll = nullptr;
    QLabel *m_label = nullptr;
    QCheckBox *m_check4 = nullptr;
    QToolButton *m_image7 = nullptr;
    QToolButton *m_image6 = nullptr;
    QGroupBox *m_frame2 = nullptr;
    QComboBox *m_combo2 = nullptr;
    QLineEdit *m_text7 = nullptr;
    QComboBox *m_combo4 = nullptr;
    QCheckBox *m_check3 = nullptr;
    QComboBox *m_combo3 = nullptr;
    QPushButton *m_command2 = nullptr;
    QPushButton *m_command3 = nullptr;
    QMenu *m_menu = nullptr;
    QAction *m_modificar = nullptr;
    QAction *m_buscar = nullptr;
    QAction *m_eliminar = nullptr;
    QAction *m_crear = nullptr;
};

} // namespace contacts
