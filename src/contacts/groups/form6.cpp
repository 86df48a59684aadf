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

const QString kTitulo = QStringLiteral("Administrar grupo");
const QString kLecturaFallida =
    QStringLiteral("No se pudo leer la agenda de la base de datos. Inténtelo de nuevo en unos momentos.");
const QString kEscrituraFallida =
    QStringLiteral("No se pudo guardar el cambio del grupo en la base de datos. Inténtelo de nuevo en unos momentos.");
const QString kGrupoInexistente =
    QStringLiteral("El grupo ya no existe en la agenda. Cierre esta ventana y elija otro grupo.");

void ponerBarra(QScrollBar *barra, QLabel *etiqueta, const Paginacion &pagina)
{
    // The code's own moves of a bar never rebuild its list a second time.
    const QSignalBlocker guard(barra);
    barra->setMaximum(int(pagina.maximo));
    barra->setValue(int(pagina.posicion));
    etiqueta->setText(pagina.etiqueta);
}

QScrollBar *barra(QWidget *parent, const char *nombre)
{
    auto *b = new QScrollBar(Qt::Horizontal, parent);
    b->setObjectName(QLatin1String(nombre));
    b->setRange(0, 0);
    b->setPageStep(1);
    return b;
}

QLabel *etiqueta(QWidget *parent, const char *nombre, const QString &texto)
{
    auto *label = new QLabel(texto, parent);
    label->setObjectName(QLatin1String(nombre));
    return label;
}

} // namespace

Form6::Form6(db::Connection &conexion, ui::Prompter &prompter, ui::BusyCursor &busy, startup::ListViews &listas,
             QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_conexion(conexion)
    , m_prompter(prompter)
    , m_busy(busy)
    , m_listas(listas)
{
    setObjectName(QStringLiteral("Form6"));
    setWindowTitle(QStringLiteral("Administrar grupo"));

    m_treeView1 = nuevoArbol("TreeView1");
    m_treeView2 = nuevoArbol("TreeView2");
    m_pag = etiqueta(this, "Pag", QStringLiteral("Página 0 de 0"));
    m_hscroll1 = barra(this, "HScroll1");
    m_pag2 = etiqueta(this, "Pag2", QStringLiteral("Página 0 de 0"));
    m_hscroll2 = barra(this, "HScroll2");
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

    auto *cabecera1 = new QHBoxLayout;
    cabecera1->addWidget(etiqueta(this, "SkinLabel1", QStringLiteral("Agenda de contactos:")));
    cabecera1->addStretch();
    cabecera1->addWidget(m_check2);
    auto *izquierda = new QVBoxLayout;
    izquierda->addLayout(cabecera1);
    izquierda->addWidget(m_treeView1, 1);
    auto *paginas1 = new QHBoxLayout;
    paginas1->addWidget(m_pag);
    paginas1->addWidget(m_hscroll1, 1);
    izquierda->addLayout(paginas1);

    auto *derecha = new QVBoxLayout;
    derecha->addWidget(etiqueta(this, "SkinLabel6", QStringLiteral("Contactos que pertenecen al grupo:")));
    derecha->addWidget(m_treeView2, 1);
    auto *paginas2 = new QHBoxLayout;
    paginas2->addWidget(m_pag2);
    paginas2->addWidget(m_hscroll2, 1);
    derecha->addLayout(paginas2);

    auto *listas2 = new QHBoxLayout;
    listas2->addLayout(izquierda, 1);
    listas2->addLayout(derecha, 1);

    auto *botones = new QHBoxLayout;
    botones->addWidget(m_command3);
    botones->addStretch();
    botones->addWidget(m_command2);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(listas2, 1);
    layout->addWidget(construirFiltro());
    layout->addLayout(botones);
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

QTreeWidget *Form6::nuevoArbol(const char *nombre)
{
    auto *arbol = new QTreeWidget(this);
    arbol->setObjectName(QLatin1String(nombre));
    arbol->setHeaderHidden(true);
    arbol->setColumnCount(1);
    arbol->header()->setStretchLastSection(true);
    arbol->setSelectionMode(QAbstractItemView::SingleSelection);
    arbol->setContextMenuPolicy(Qt::NoContextMenu);
    arbol->viewport()->installEventFilter(this);
    return arbol;
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
    grid->addWidget(etiqueta(frame, "SkinLabel2", QStringLiteral("Mostrar sólo los que")), 0, 0);
    grid->addWidget(m_combo1, 0, 1);
    grid->addWidget(etiqueta(frame, "SkinLabel4", QStringLiteral("la(s) palabra(s)")), 1, 0);
    grid->addWidget(m_text1, 1, 1);
    grid->addWidget(etiqueta(frame, "SkinLabel3", QStringLiteral("en el campo")), 2, 0);
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

    const PaginaLista miembros = paginaMiembros(m_conexion, m_grupo, m_hscroll2->value());
    if (miembros.ok)
        ponerBarra(m_hscroll2, m_pag2, miembros.pagina);

    FiltroAdmin filtro;
    filtro.operador = m_combo1->currentIndex();
    filtro.campo = m_combo2->currentIndex();
    filtro.palabras = m_text1->text();
    filtro.porGrupo = m_check1->isEnabled() && m_check1->isChecked();
    filtro.grupo = m_combo3->currentText();
    filtro.noIncluidos = m_check2->isChecked();
    const CondicionAdmin condicion = condicionAgenda(m_conexion, m_grupo, filtro);
    if (!condicion.where) {
        m_prompter.message(condicion.error.isEmpty() ? kLecturaFallida : condicion.error,
                           QLatin1String(picker::kTituloFiltro), ui::Icon::Warning);
        return;
    }
    const PaginaLista agenda = paginaAgenda(m_conexion, m_grupo, *condicion.where, m_hscroll1->value());
    if (!agenda.ok || !miembros.ok) {
        m_prompter.message(kLecturaFallida, kTitulo, ui::Icon::Warning);
        return;
    }
    m_where = *condicion.where;
    ponerBarra(m_hscroll1, m_pag, agenda.pagina);
    picker::llenarArbol(*m_treeView1, agenda.nodos);
}

void Form6::f_añadir_grupo2()
{
    const ui::BusyGuard busy(m_busy, QStringLiteral("Form6"));
    llenarComboGrupos();
    const PaginaLista miembros = paginaMiembros(m_conexion, m_grupo, m_hscroll2->value());
    if (!miembros.ok) {
        m_prompter.message(kLecturaFallida, kTitulo, ui::Icon::Warning);
        return;
    }
    ponerBarra(m_hscroll2, m_pag2, miembros.pagina);
    picker::llenarArbol(*m_treeView2, miembros.nodos);
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
    case Cambio::Hecho:
        refrescar();
        return;
    case Cambio::SinCambios:
        busy.reset();
        m_prompter.message(QStringLiteral("No se ha agregado ningún contacto nuevo"));
        return;
    case Cambio::GrupoInexistente:
        busy.reset();
        m_prompter.message(kGrupoInexistente, kTitulo, ui::Icon::Warning);
        return;
    case Cambio::ContactoInexistente:
    case Cambio::Error:
        busy.reset();
        m_prompter.message(kEscrituraFallida, kTitulo, ui::Icon::Warning);
        return;
    }
}

bool Form6::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress) {
        QTreeWidget *arbol = watched == m_treeView1->viewport()   ? m_treeView1
                             : watched == m_treeView2->viewport() ? m_treeView2
                                                                  : nullptr;
        if (arbol) {
            auto *mouse = static_cast<QMouseEvent *>(event);
            TreeView_MouseDown(arbol, mouse->button(), mouse->position().toPoint(),
                               mouse->globalPosition().toPoint());
            return mouse->button() == Qt::RightButton;
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool Form6::TreeView_MouseDown(QTreeWidget *arbol, Qt::MouseButton button, QPoint pos, QPoint globalPos)
{
    QTreeWidgetItem *encontrado = picker::nodoEn(*arbol, pos);
    if (encontrado)
        arbol->setCurrentItem(encontrado);
    const QTreeWidgetItem *seleccionado = picker::nodoSeleccionado(*arbol);
    if (button != Qt::RightButton || !encontrado || !seleccionado)
        return false;
    const std::optional<qint64> contacto = picker::sidDeClave(picker::claveNodo(seleccionado));
    if (!contacto)
        return false;
    const QString clave = picker::claveNodo(seleccionado);
    if (arbol == m_treeView2) {
        m_popupGrupo.popup(clave, globalPos);
        return true;
    }
    const std::optional<bool> miembro = contactoEnGrupo(m_conexion, m_grupo, *contacto);
    if (!miembro)
        return false;
    m_agendaQuitar->setEnabled(*miembro);
    m_agendaAgregar->setEnabled(!*miembro);
    m_popupAgenda.popup(clave, globalPos);
    return true;
}

void Form6::cambiar(const QString &clave, bool agregar)
{
    const std::optional<qint64> contacto = picker::sidDeClave(clave);
    if (!contacto)
        return;
    const ResultadoCambio r = agregar ? agregarContacto(m_conexion, m_grupo, *contacto)
                                      : quitarContacto(m_conexion, m_grupo, *contacto);
    switch (r.estado) {
    case Cambio::Hecho:
    case Cambio::SinCambios:
        refrescar();
        return;
    case Cambio::ContactoInexistente:
        // Deleted since the menu opened: the lists catch up, no other contact is touched.
        refrescar();
        return;
    case Cambio::GrupoInexistente:
        m_prompter.message(kGrupoInexistente, kTitulo, ui::Icon::Warning);
        return;
    case Cambio::Error:
        m_prompter.message(kEscrituraFallida, kTitulo, ui::Icon::Warning);
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
