#include "contacts/groups/form6.h"

#include "contacts/groups/group_admin.h"
#include "contacts/picker/contact_tree.h"
#include "platform/ui/busy_cursor.h"
#include "platform/ui/prompter.h"
#include "startup/subsystems.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace contacts::groups {

namespace {

const QString kTitle = QStringLiteral("Administrar grupo");
const QString kReadFailedMessage =
    QStringLiteral("No se pudo leer la agenda de la base de datos. Inténtelo de nuevo en unos momentos.");
const QString kWriteFailedMessage =
    QStringLiteral("No se pudo guardar el cambio del grupo en la base de datos. Inténtelo de nuevo en unos momentos.");
const QString kAdministeredGroupGoneMessage =
    QStringLiteral("El grupo ya no existe en la agenda. Cierre esta ventana y elija otro grupo.");

void setPageBar(QScrollBar *bar, QLabel *label, const picker::Paginacion &page)
{
    // The code's own moves of a bar never rebuild its list a second time.
    const QSignalBlocker guard(bar);
    bar->setMaximum(int(page.maximo));
    bar->setValue(int(page.posicion));
    label->setText(page.etiqueta);
}

QScrollBar *bar(QWidget *parent, const char *name)
{
    auto *b = new QScrollBar(Qt::Horizontal, parent);
    b->setObjectName(QLatin1String(name));
    b->setRange(0, 0);
    b->setPageStep(1);
    return b;
}

QLabel *label(QWidget *parent, const char *name, const QString &text)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    return label;
}

} // namespace

Form6::Form6(db::Connection &connection, ui::Prompter &prompter, ui::BusyCursor &busy, startup::ListViews &listViews,
             QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_conexion(connection)
    , m_prompter(prompter)
    , m_busy(busy)
    , m_listas(listViews)
{
    setObjectName(QStringLiteral("Form6"));
    setWindowTitle(QStringLiteral("Administrar grupo"));

    m_treeView1 = nuevoArbol("TreeView1");
    m_treeView2 = nuevoArbol("TreeView2");
    m_pag = label(this, "Pag", QStringLiteral("Página 0 de 0"));
    m_hscroll1 = bar(this, "HScroll1");
    m_pag2 = label(this, "Pag2", QStringLiteral("Página 0 de 0"));
    m_hscroll2 = bar(this, "HScroll2");
    m_check2 = new QCheckBox(QStringLiteral("Mostrar no incluidos"), this);
    m_check2->setObjectName(QStringLiteral("Check2"));
    m_command2 = new QPushButton(QStringLiteral("Cerrar"), this);
    m_command2->setObjectName(QStringLiteral("Command2"));
    m_command3 = new QPushButton(QStringLiteral("Añadir toda la lista"), this);
    m_command3->setObjectName(QStringLiteral("Command3"));

    m_menuAgenda = new QMenu(this);
    m_menuAgenda->setObjectName(QStringLiteral("mnurclick_admingrupos_agenda"));
    m_agendaAgregar = m_menuAgenda->addAction(QStringLiteral("Agregar contacto al grupo"));
    m_agendaAgregar->setObjectName(QStringLiteral("mnurclick_admingrupos_agenda_agregar"));
    m_agendaQuitar = m_menuAgenda->addAction(QStringLiteral("Quitar contacto del grupo"));
    m_agendaQuitar->setObjectName(QStringLiteral("mnurclick_admingrupos_agenda_quitar"));
    m_menuGrupo = new QMenu(this);
    m_menuGrupo->setObjectName(QStringLiteral("mnurclick_admingrupos_grupo"));
    m_grupoQuitar = m_menuGrupo->addAction(QStringLiteral("Quitar contacto del grupo"));
    m_grupoQuitar->setObjectName(QStringLiteral("mnurclick_admingrupos_grupo_quitar"));
    m_popupAgenda.setMenu(m_menuAgenda);
    m_popupGrupo.setMenu(m_menuGrupo);

    auto *header1 = new QHBoxLayout;
    header1->addWidget(label(this, "SkinLabel1", QStringLiteral("Agenda de contactos:")));
    header1->addStretch();
    header1->addWidget(m_check2);
    auto *left = new QVBoxLayout;
    left->addLayout(header1);
    left->addWidget(m_treeView1, 1);
    auto *pages1 = new QHBoxLayout;
    pages1->addWidget(m_pag);
    pages1->addWidget(m_hscroll1, 1);
    left->addLayout(pages1);

    auto *right = new QVBoxLayout;
    right->addWidget(label(this, "SkinLabel6", QStringLiteral("Contactos que pertenecen al grupo:")));
    right->addWidget(m_treeView2, 1);
    auto *pages2 = new QHBoxLayout;
    pages2->addWidget(m_pag2);
    pages2->addWidget(m_hscroll2, 1);
    right->addLayout(pages2);

    auto *listViews2 = new QHBoxLayout;
    listViews2->addLayout(left, 1);
    listViews2->addLayout(right, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_command3);
    buttons->addStretch();
    buttons->addWidget(m_command2);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(listViews2, 1);
    layout->addWidget(construirFiltro());
    layout->addLayout(buttons);
    resize(760, 620);

    connect(m_command1, &QPushButton::clicked, this, &Form6::f_añadir_grupo);
    connect(m_check2, &QCheckBox::clicked, this, &Form6::f_añadir_grupo);
    connect(m_hscroll1, &QScrollBar::valueChanged, this, &Form6::f_añadir_grupo);
    connect(m_hscroll2, &QScrollBar::valueChanged, this, &Form6::f_añadir_grupo2);
    connect(m_command3, &QPushButton::clicked, this, &Form6::Command3_Click);
    connect(m_command2, &QPushButton::clicked, this, &QWidget::close);
    connect(m_agendaAgregar, &QAction::triggered, this, &Form6::mnurclick_admingrupos_agenda_agregar_Click);
    connect(m_agendaQuitar, &QAction::triggered, this, &Form6::mnurclick_admingrupos_agenda_quitar_Click);
    connect(m_grupoQuitar, &QAction::triggered, this, &Form6::mnurclick_admingrupos_grupo_quitar_Click);

    Form_Load();
}

Form6::~Form6() = default;

QTreeWidget *Form6::nuevoArbol(const char *name)
{
    auto *tree = new QTreeWidget(this);
    tree->setObjectName(QLatin1String(name));
    tree->setHeaderHidden(true);
    tree->setColumnCount(1);
    tree->header()->setStretchLastSection(true);
    tree->setSelectionMode(QAbstractItemView::SingleSelection);
    tree->setContextMenuPolicy(Qt::NoContextMenu);
    tree->viewport()->installEventFilter(this);
    return tree;
}

QWidget *Form6::construirFiltro()
{
    auto *frame = new QGroupBox(QStringLiteral("Filtrado de contactos"), this);
    frame->setObjectName(QStringLiteral("Frame1"));
    m_combo1 = new QComboBox(frame);
    m_combo1->setObjectName(QStringLiteral("Combo1"));
    m_combo2 = new QComboBox(frame);
    m_combo2->setObjectName(QStringLiteral("Combo2"));
    m_text1 = new QLineEdit(frame);
    m_text1->setObjectName(QStringLiteral("Text1"));
    m_check1 = new QCheckBox(QStringLiteral("Que pertenezca al grupo:"), frame);
    m_check1->setObjectName(QStringLiteral("Check1"));
    m_combo3 = new QComboBox(frame);
    m_combo3->setObjectName(QStringLiteral("Combo3"));
    m_command1 = new QPushButton(QStringLiteral("Filtrar"), frame);
    m_command1->setObjectName(QStringLiteral("Command1"));

    auto *grid = new QGridLayout(frame);
    grid->addWidget(label(frame, "SkinLabel2", QStringLiteral("Mostrar sólo los que")), 0, 0);
    grid->addWidget(m_combo1, 0, 1);
    grid->addWidget(label(frame, "SkinLabel4", QStringLiteral("la(s) palabra(s)")), 1, 0);
    grid->addWidget(m_text1, 1, 1);
    grid->addWidget(label(frame, "SkinLabel3", QStringLiteral("en el campo")), 2, 0);
    grid->addWidget(m_combo2, 2, 1);
    grid->addWidget(m_check1, 3, 0);
    grid->addWidget(m_combo3, 3, 1);
    grid->addWidget(m_command1, 4, 1, Qt::AlignRight);
    return frame;
}

void Form6::Form_Load()
{
    m_combo1->addItems(picker::operadores());
    m_combo1->setCurrentIndex(0);
    m_combo2->addItems(picker::campos());
    m_combo2->setCurrentIndex(0);
}

void Form6::llenarComboGrupos()
{
    // Filled once for the loaded window: later openings for another group keep the list.
    if (m_check1->isChecked() || m_combo3->count() > 0)
        return;
    db::Result r;
    const QStringList nombres = otrosGrupos(m_conexion, m_grupo, &r);
    if (!r.ok())
        return;     // tried again at the next build
    if (nombres.isEmpty()) {
        m_combo3->addItem(QStringLiteral("Ninguno"));
        m_check1->setEnabled(false);
    } else {
        m_combo3->addItems(nombres);
    }
    m_combo3->setCurrentIndex(0);
}

void Form6::f_añadir_grupo()
{
    const ui::BusyGuard busy(m_busy, QStringLiteral("Form6"));
    llenarComboGrupos();

    const PaginaLista members = paginaMiembros(m_conexion, m_grupo, m_hscroll2->value());
    if (members.ok)
        setPageBar(m_hscroll2, m_pag2, members.pagina);

    FiltroAdmin filter;
    filter.operador = m_combo1->currentIndex();
    filter.campo = m_combo2->currentIndex();
    filter.palabras = m_text1->text();
    filter.porGrupo = m_check1->isEnabled() && m_check1->isChecked();
    filter.grupo = m_combo3->currentText();
    filter.noIncluidos = m_check2->isChecked();
    const CondicionAdmin condition = condicionAgenda(m_conexion, m_grupo, filter);
    if (!condition.where) {
        m_prompter.message(condition.error.isEmpty() ? kReadFailedMessage : condition.error,
                           QLatin1String(picker::kTituloFiltro), ui::Icon::Warning);
        return;
    }
    const PaginaLista book = paginaAgenda(m_conexion, m_grupo, *condition.where, m_hscroll1->value());
    if (!book.ok || !members.ok) {
        m_prompter.message(kReadFailedMessage, kTitle, ui::Icon::Warning);
        return;
    }
    m_where = *condition.where;
    setPageBar(m_hscroll1, m_pag, book.pagina);
    picker::llenarArbol(*m_treeView1, book.nodos);
}

void Form6::f_añadir_grupo2()
{
    const ui::BusyGuard busy(m_busy, QStringLiteral("Form6"));
    llenarComboGrupos();
    const PaginaLista members = paginaMiembros(m_conexion, m_grupo, m_hscroll2->value());
    if (!members.ok) {
        m_prompter.message(kReadFailedMessage, kTitle, ui::Icon::Warning);
        return;
    }
    setPageBar(m_hscroll2, m_pag2, members.pagina);
    picker::llenarArbol(*m_treeView2, members.nodos);
}

void Form6::refrescar()
{
    m_listas.f_grupos();
    f_añadir_grupo();
    f_añadir_grupo2();
}

void Form6::Command3_Click()
{
    std::optional<ui::BusyGuard> busy(std::in_place, m_busy, QStringLiteral("Form6"));
    if (m_where.isEmpty())
        return;     // no contact book built yet
    const ResultadoCambio r = agregarLista(m_conexion, m_grupo, m_where);
    switch (r.estado) {
    case ChangeOutcome::Hecho:
        refrescar();
        return;
    case ChangeOutcome::SinCambios:
        busy.reset();
        m_prompter.message(QStringLiteral("No se ha agregado ningún contacto nuevo"));
        return;
    case ChangeOutcome::GrupoInexistente:
        busy.reset();
        m_prompter.message(kAdministeredGroupGoneMessage, kTitle, ui::Icon::Warning);
        return;
    case ChangeOutcome::ContactoInexistente:
    case ChangeOutcome::Error:
        busy.reset();
        m_prompter.message(kWriteFailedMessage, kTitle, ui::Icon::Warning);
        return;
    }
}

bool Form6::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress) {
        QTreeWidget *tree = watched == m_treeView1->viewport()   ? m_treeView1
                             : watched == m_treeView2->viewport() ? m_treeView2
                                                                  : nullptr;
        if (tree) {
            auto *mouse = static_cast<QMouseEvent *>(event);
            TreeView_MouseDown(tree, mouse->button(), mouse->position().toPoint(),
                               mouse->globalPosition().toPoint());
            return mouse->button() == Qt::RightButton;
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool Form6::TreeView_MouseDown(QTreeWidget *tree, Qt::MouseButton button, QPoint pos, QPoint globalPos)
{
    QTreeWidgetItem *found = picker::nodoEn(*tree, pos);
    if (found)
        tree->setCurrentItem(found);
    const QTreeWidgetItem *selected = picker::nodoSeleccionado(*tree);
    if (button != Qt::RightButton || !found || !selected)
        return false;
    const std::optional<qint64> contact = sidDeClave(picker::claveNodo(selected));
    if (!contact)
        return false;
    const QString key = picker::claveNodo(selected);
    if (tree == m_treeView2) {
        m_popupGrupo.popup(key, globalPos);
        return true;
    }
    const std::optional<bool> member = contactoEnGrupo(m_conexion, m_grupo, *contact);
    if (!member)
        return false;
    m_agendaQuitar->setEnabled(*member);
    m_agendaAgregar->setEnabled(!*member);
    m_popupAgenda.popup(key, globalPos);
    return true;
}

void Form6::cambiar(const QString &key, bool adding)
{
    const std::optional<qint64> contact = sidDeClave(key);
    if (!contact)
        return;
    const ResultadoCambio r = adding ? agregarContacto(m_conexion, m_grupo, *contact)
                                      : quitarContacto(m_conexion, m_grupo, *contact);
    switch (r.estado) {
    case ChangeOutcome::Hecho:
    case ChangeOutcome::SinCambios:
        refrescar();
        return;
    case ChangeOutcome::ContactoInexistente:
        // Deleted since the menu opened: the lists catch up, no other contact is touched.
        refrescar();
        return;
    case ChangeOutcome::GrupoInexistente:
        m_prompter.message(kAdministeredGroupGoneMessage, kTitle, ui::Icon::Warning);
        return;
    case ChangeOutcome::Error:
        m_prompter.message(kWriteFailedMessage, kTitle, ui::Icon::Warning);
        return;
    }
}

void Form6::mnurclick_admingrupos_agenda_agregar_Click()
{
    cambiar(m_popupAgenda.key(), true);
}

void Form6::mnurclick_admingrupos_agenda_quitar_Click()
{
    cambiar(m_popupAgenda.key(), false);
}

void Form6::mnurclick_admingrupos_grupo_quitar_Click()
{
    cambiar(m_popupGrupo.key(), false);
}

} // namespace contacts::groups
