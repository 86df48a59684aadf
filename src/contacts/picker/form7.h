#pragma once

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

// "Enviar SMS - Agenda": the groups and contacts of the book, 100 a page, with its own filter; a
// right-click adds a contact's or a whole group's numbers to the send panel's recipients box.
class Form7 final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Form7)

public:
    Form7(db::Connection &connection, ui::Prompter &prompter, ui::BusyCursor &busy, RecipientsBox &box,
          QWidget *parent = nullptr);
    ~Form7() override;

    QTreeWidget *TreeView1() const { return m_treeView1; }
    QLabel *Pag() const { return m_pag; }
    QScrollBar *HScroll1() const { return m_hscroll1; }
    QComboBox *Combo1() const { return m_combo1; }         // operator
    QComboBox *Combo2() const { return m_combo2; }         // field
    QLineEdit *Text1() const { return m_text1; }           // words
    QCheckBox *Check1() const { return m_check1; }         // "Que pertenezca al grupo:"
    QComboBox *Combo3() const { return m_combo3; }         // group
    QPushButton *Command1() const { return m_command1; }   // "Filtrar"
    QPushButton *Command2() const { return m_command2; }   // "Cerrar"
    QPushButton *Command3() const { return m_command3; }   // "Mostrar todos"
    QCheckBox *Check2() const { return m_check2; }         // "Cerrar tras seleccionar."
    QMenu *mnurclick_enviaragenda() const { return m_menu; }
    QAction *mnurclick_enviaragenda_seleccionar() const { return m_seleccionar; }
    QAction *mnurclick_enviaragenda_seleccionarycerrar() const { return m_seleccionarYCerrar; }

    // The filter condition (the filter button's Tag); nothing while every group and contact is listed.
    const std::optional<Condicion> &condicion() const { return m_condicion; }

    // Rebuilds the tree for the current page and condition.
    void f_mostrar_agenda();

    void Command1_Click();
    void Command3_Click();
    // True when the popup menu opened. Its items add the contact or group it was opened on
    // (menuKey()), whatever the tree shows by the time they run.
    bool TreeView1_MouseDown(Qt::MouseButton button, QPoint pos, QPoint globalPos);
    const QString &menuKey() const { return m_popup.key(); }
    void mnurclick_enviaragenda_seleccionar_Click();
    void mnurclick_enviaragenda_seleccionarycerrar_Click();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void Form_Load();
    void HScroll1_Change();
    void Command2_Click();
    // Adds the number or numbers of the node with that key and text to the recipients box
    // (the picker's own add).
    void f_agregar_destinatario(const QString &key, const QString &text);
    QWidget *construirFiltro();

    db::Connection &m_conexion;
    ui::Prompter &m_prompter;
    ui::BusyCursor &m_busy;
    RecipientsBox &m_caja;
    std::optional<Condicion> m_condicion;

    QTreeWidget *m_treeView1 = nullptr;
    QLabel *m_pag = nullptr;
    QScrollBar *m_hscroll1 = nullptr;
    QGroupBox *m_frame1 = nullptr;
    QComboBox *m_combo1 = nullptr;
    QComboBox *m_combo2 = nullptr;
    QLineEdit *m_text1 = nullptr;
    QCheckBox *m_check1 = nullptr;
    QComboBox *m_combo3 = nullptr;
    QPushButton *m_command1 = nullptr;
    QPushButton *m_command2 = nullptr;
    QPushButton *m_command3 = nullptr;
    QCheckBox *m_check2 = nullptr;
    QMenu *m_menu = nullptr;
    QAction *m_seleccionar = nullptr;
    QAction *m_seleccionarYCerrar = nullptr;
    ui::RowPopup m_popup;
    QString m_textoMenu;   // the text of the node the menu was opened on (a group's name and count)
};

} // namespace contacts::picker
