#pragma once

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
namespace startup { class ListViews; }
namespace ui { class BusyCursor; class Prompter; }

namespace contacts::groups {

// "Administrar grupo": the contact book (filtered, 100 a page, members marked) beside the group's
// members (50 a page); contacts join or leave the group through the popups, or the whole filtered
// list joins at once.
class Form6 final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Form6)

public:
    Form6(db::Connection &connection, ui::Prompter &prompter, ui::BusyCursor &busy, startup::ListViews &listViews,
          QWidget *parent = nullptr);
    ~Form6() override;

    // The administered group (the window's Tag).
    qint64 grupo() const { return m_grupo; }
    void setGrupo(qint64 sid) { m_grupo = sid; }

    QTreeWidget *TreeView1() const { return m_treeView1; }  // contact book
    QTreeWidget *TreeView2() const { return m_treeView2; }  // members
    QLabel *Pag() const { return m_pag; }
    QScrollBar *HScroll1() const { return m_hscroll1; }
    QLabel *Pag2() const { return m_pag2; }
    QScrollBar *HScroll2() const { return m_hscroll2; }
    QComboBox *Combo1() const { return m_combo1; }         // operator
    QComboBox *Combo2() const { return m_combo2; }         // field
    QLineEdit *Text1() const { return m_text1; }           // words
    QCheckBox *Check1() const { return m_check1; }         // "Que pertenezca al grupo:"
    QComboBox *Combo3() const { return m_combo3; }         // another group
    QCheckBox *Check2() const { return m_check2; }         // "Mostrar no incluidos"
    QPushButton *Command1() const { return m_command1; }   // "Filtrar"
    QPushButton *Command2() const { return m_command2; }   // "Cerrar"
    QPushButton *Command3() const { return m_command3; }   // "Añadir toda la lista"
    QMenu *mnurclick_admingrupos_agenda() const { return m_menuAgenda; }
    QAction *mnurclick_admingrupos_agenda_agregar() const { return m_agendaAgregar; }
    QAction *mnurclick_admingrupos_agenda_quitar() const { return m_agendaQuitar; }
    QMenu *mnurclick_admingrupos_grupo() const { return m_menuGrupo; }
    QAction *mnurclick_admingrupos_grupo_quitar() const { return m_grupoQuitar; }

    // The condition of the contact book last built (the add-all button's Tag); "Añadir toda la lista"
    // works from it, not from the filter controls.
    const Condicion &condicionLista() const { return m_where; }

    // Group combo, members' page bar and contact book.
    void f_añadir_grupo();
    // Group combo, members' page bar and members list.
    void f_añadir_grupo2();

    void Command3_Click();
    // True when a popup menu opened. Its items act on the contact it was opened on
    // (menuKey()), whatever the lists show by the time they run.
    bool TreeView_MouseDown(QTreeWidget *tree, Qt::MouseButton button, QPoint pos, QPoint globalPos);
    const QString &menuKey(const QTreeWidget *tree) const
    {
        return tree == m_treeView2 ? m_popupGrupo.key() : m_popupAgenda.key();
    }
    void mnurclick_admingrupos_agenda_agregar_Click();
    void mnurclick_admingrupos_agenda_quitar_Click();
    void mnurclick_admingrupos_grupo_quitar_Click();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Form_Load();
    void llenarComboGrupos();
    void barraMiembros();
    void cambiar(const QString &key, bool adding);
    void refrescar();
    QTreeWidget *nuevoArbol(const char *name);
    QWidget *construirFiltro();

    db::Connection &m_conexion;
    ui::Prompter &m_prompter;
    ui::BusyCursor &m_busy;
    startup::ListViews &m_listas;
    qint64 m_grupo = 0;
    Condicion m_where;

    QTreeWidget *m_treeView1 = nullptr;
    QTreeWidget *m_treeView2 = nullptr;
    QLabel *m_pag = nullptr;
    QScrollBar *m_hscroll1 = nullptr;
    QLabel *m_pag2 = nullptr;
    QScrollBar *m_hscroll2 = nullptr;
    QComboBox *m_combo1 = nullptr;
    QComboBox *m_combo2 = nullptr;
    QLineEdit *m_text1 = nullptr;
    QCheckBox *m_check1 = nullptr;
    QComboBox *m_combo3 = nullptr;
    QCheckBox *m_check2 = nullptr;
    QPushButton *m_command1 = nullptr;
    QPushButton *m_command2 = nullptr;
    QPushButton *m_command3 = nullptr;
    QMenu *m_menuAgenda = nullptr;
    QAction *m_agendaAgregar = nullptr;
    QAction *m_agendaQuitar = nullptr;
    QMenu *m_menuGrupo = nullptr;
    QAction *m_grupoQuitar = nullptr;
    ui::RowPopup m_popupAgenda;
    ui::RowPopup m_popupGrupo;
};

} // namespace contacts::groups
