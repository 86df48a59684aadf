#include "contacts/picker/form7.h"

#include "contacts/picker/contact_tree.h"
#include "contacts/picker/picker_list.h"
#include "contacts/picker/recipient_adder.h"
#include "contacts/picker/recipients_box.h"
#include "platform/ui/busy_cursor.h"
#include "platform/ui/prompter.h"

#include "platform/ui/list_tree.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
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

namespace contacts::picker {

namespace {

const QString kBookTitle = QStringLiteral("Agenda");
const QString kReadFailedMessage =
    QStringLiteral("No se pudo leer la agenda de la base de datos. Inténtelo de nuevo en unos momentos.");

} // namespace

Form7::Form7(db::Connection &connection, ui::Prompter &prompter, ui::BusyCursor &busy, RecipientsBox &box,
             QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_conexion(connection)
    , m_prompter(prompter)
    , m_busy(busy)
    , m_caja(box)
{
    setObjectName(QStringLiteral("Form7"));
    setWindowTitle(QStringLiteral("Enviar SMS - Agenda"));

    m_treeView1 = ui::newListTree(this, "TreeView1", this);

    m_pag = new QLabel(QStringLiteral("Página 10000 de 10000"), this);
    m_pag->setObjectName(QStringLiteral("Pag"));
    m_hscroll1 = new QScrollBar(Qt::Horizontal, this);
    m_hscroll1->setObjectName(QStringLiteral("HScroll1"));
    m_hscroll1->setRange(0, 0);
    m_hscroll1->setPageStep(1);

    m_command2 = new QPushButton(QStringLiteral("Cerrar"), this);
    m_command2->setObjectName(QStringLiteral("Command2"));
    m_check2 = new QCheckBox(QStringLiteral("Cerrar tras seleccionar."), this);
    m_check2->setObjectName(QStringLiteral("Check2"));

    m_menu = new QMenu(this);
    m_menu->setObjectName(QStringLiteral("mnurclick_enviaragenda"));
    m_seleccionar = m_menu->addAction(QStringLiteral("Añadir contacto al envío"));
    m_seleccionar->setObjectName(QStringLiteral("mnurclick_enviaragenda_seleccionar"));
    m_seleccionarYCerrar = m_menu->addAction(QStringLiteral("Añadir y cerrar ventana"));
    m_seleccionarYCerrar->setObjectName(QStringLiteral("mnurclick_enviaragenda_seleccionarycerrar"));
    m_popup.setMenu(m_menu);

    auto *pages = new QHBoxLayout;
    pages->addWidget(m_pag);
    pages->addWidget(m_hscroll1, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_check2);
    buttons->addStretch();
    buttons->addWidget(m_command2);

    auto *layout = new QVBoxLayout(this);
    auto *title = new QLabel(QStringLiteral("Seleccionar destinatarios:"), this);
    title->setObjectName(QStringLiteral("SkinLabel1"));
    layout->addWidget(title);
    layout->addWidget(m_treeView1, 1);
    layout->addLayout(pages);
    layout->addWidget(construirFiltro());
    layout->addLayout(buttons);
    resize(460, 560);

    connect(m_hscroll1, &QScrollBar::valueChanged, this, &Form7::HScroll1_Change);
    connect(m_command1, &QPushButton::clicked, this, &Form7::Command1_Click);
    connect(m_command2, &QPushButton::clicked, this, &Form7::Command2_Click);
    connect(m_command3, &QPushButton::clicked, this, &Form7::Command3_Click);
    connect(m_seleccionar, &QAction::triggered, this, &Form7::mnurclick_enviaragenda_seleccionar_Click);
    connect(m_seleccionarYCerrar, &QAction::triggered, this, &Form7::mnurclick_enviaragenda_seleccionarycerrar_Click);

    Form_Load();
}

Form7::~Form7() = default;

QWidget *Form7::construirFiltro()
{
    m_frame1 = new QGroupBox(QStringLiteral("Filtrado de contactos"), this);
    m_frame1->setObjectName(QStringLiteral("Frame1"));
    m_combo1 = new QComboBox(m_frame1);
    m_combo1->setObjectName(QStringLiteral("Combo1"));
    m_combo2 = new QComboBox(m_frame1);
    m_combo2->setObjectName(QStringLiteral("Combo2"));
    m_text1 = new QLineEdit(m_frame1);
    m_text1->setObjectName(QStringLiteral("Text1"));
    m_check1 = new QCheckBox(QStringLiteral("Que pertenezca al grupo:"), m_frame1);
    m_check1->setObjectName(QStringLiteral("Check1"));
    m_combo3 = new QComboBox(m_frame1);
    m_combo3->setObjectName(QStringLiteral("Combo3"));
    m_command1 = new QPushButton(QStringLiteral("Filtrar"), m_frame1);
    m_command1->setObjectName(QStringLiteral("Command1"));
    m_command3 = new QPushButton(QStringLiteral("Mostrar todos"), m_frame1);
    m_command3->setObjectName(QStringLiteral("Command3"));

    auto *grid = new QGridLayout(m_frame1);
    auto label = [this](const char *name, const QString &text) {
        auto *label = new QLabel(text, m_frame1);
        label->setObjectName(QLatin1String(name));
        return label;
    };
    grid->addWidget(label("SkinLabel2", QStringLiteral("Mostrar sólo los que")), 0, 0);
    grid->addWidget(m_combo1, 0, 1);
    grid->addWidget(label("SkinLabel4", QStringLiteral("la(s) palabra(s)")), 1, 0);
    grid->addWidget(m_text1, 1, 1);
    grid->addWidget(label("SkinLabel3", QStringLiteral("en el campo")), 2, 0);
    grid->addWidget(m_combo2, 2, 1);
    grid->addWidget(m_check1, 3, 0);
    grid->addWidget(m_combo3, 3, 1);
    auto *actions = new QHBoxLayout;
    actions->addStretch();
    actions->addWidget(m_command3);
    actions->addWidget(m_command1);
    grid->addLayout(actions, 4, 0, 1, 2);
    return m_frame1;
}

void Form7::Form_Load()
{
    m_combo1->addItems(operadores());
    m_combo1->setCurrentIndex(0);
    m_combo2->addItems(campos());
    m_combo2->setCurrentIndex(0);

    db::Result r;
    const QStringList groups = nombresDeGrupos(m_conexion, &r);
    m_combo3->clear();
    if (groups.isEmpty()) {
        // A failed read is passed over like any step of the load: the group filter is just off.
        m_combo3->addItem(QStringLiteral("Ninguno"));
        m_check1->setEnabled(false);
    } else {
        m_combo3->addItems(groups);
    }
    m_combo3->setCurrentIndex(0);
    m_condicion.reset();
}

void Form7::f_mostrar_agenda()
{
    const ui::BusyGuard busy(m_busy, QStringLiteral("Form7"));
    const PaginaSelector page = paginaSelector(m_conexion, m_condicion, m_hscroll1->value());
    if (!page.ok) {
        m_prompter.message(kReadFailedMessage, kBookTitle, ui::Icon::Warning);
        return;
    }
    {
        // The code's own moves of the bar never redraw the list a second time.
        const QSignalBlocker guard(m_hscroll1);
        m_hscroll1->setMaximum(int(page.pagina.maximo));
        m_hscroll1->setValue(int(page.pagina.posicion));
    }
    m_pag->setText(page.pagina.etiqueta);
    llenarArbol(*m_treeView1, page.nodos);
}

void Form7::HScroll1_Change()
{
    f_mostrar_agenda();
}

void Form7::Command1_Click()
{
    FiltroSelector filter;
    filter.operador = m_combo1->currentIndex();
    filter.campo = m_combo2->currentIndex();
    filter.palabras = m_text1->text();
    filter.porGrupo = m_check1->isEnabled() && m_check1->isChecked();
    filter.grupo = m_combo3->currentText();
    const CondicionSelector c = condicionSelector(m_conexion, filter);
    if (!c.condicion) {
        m_prompter.message(c.error.isEmpty() ? kReadFailedMessage : c.error, QLatin1String(kTituloFiltro),
                           ui::Icon::Warning);
        return;
    }
    m_condicion = c.condicion;
    f_mostrar_agenda();
}

void Form7::Command3_Click()
{
    m_combo1->setCurrentIndex(0);
    m_combo2->setCurrentIndex(0);
    m_text1->clear();
    m_condicion.reset();
    f_mostrar_agenda();
}

void Form7::Command2_Click()
{
    m_treeView1->clear();
    m_condicion.reset();
    close();
}

bool Form7::eventFilter(QObject *watched, QEvent *event)
{
    if (const auto press = ui::pressOn(*m_treeView1, watched, event)) {
        TreeView1_MouseDown(press->button, press->pos, press->globalPos);
        return press->button == Qt::RightButton;
    }
    return QWidget::eventFilter(watched, event);
}

bool Form7::TreeView1_MouseDown(Qt::MouseButton button, QPoint pos, QPoint globalPos)
{
    QTreeWidgetItem *found = nodoEn(*m_treeView1, pos);
    if (found)
        m_treeView1->setCurrentItem(found);
    const QTreeWidgetItem *selected = nodoSeleccionado(*m_treeView1);
    if (button != Qt::RightButton || !found || !selected
        || claveNodo(selected) == QLatin1String(kClaveVacia))
        return false;
    m_textoMenu = selected->text(0);
    m_popup.popup(claveNodo(selected), globalPos);
    return true;
}

void Form7::mnurclick_enviaragenda_seleccionar_Click()
{
    const QString key = m_popup.key();
    if (!key.isEmpty() && key != QLatin1String(kClaveVacia))
        f_agregar_destinatario(key, m_textoMenu);
    if (m_check2->isChecked())
        close();
}

void Form7::mnurclick_enviaragenda_seleccionarycerrar_Click()
{
    const QString key = m_popup.key();
    if (key.isEmpty() || key == QLatin1String(kClaveVacia))
        return;
    f_agregar_destinatario(key, m_textoMenu);
    close();
}

void Form7::f_agregar_destinatario(const QString &key, const QString &text)
{
    std::optional<ui::BusyGuard> busy(std::in_place, m_busy, QStringLiteral("Form7"));
    const Seleccion pick = seleccionDeNodo(m_conexion, key, text);
    if (pick.ultimo)
        m_caja.setUltimo(*pick.ultimo);
    const Adicion addition = agregarNumeros({m_caja.texto(), m_caja.tag()}, pick.numeros);
    if (addition.cambiada())
        m_caja.escribir(addition.caja.texto, addition.caja.tag);
    busy.reset();
    m_caja.deshabilitarEnvio();
    if (!pick.ok)
        m_prompter.message(kReadFailedMessage, kBookTitle, ui::Icon::Warning);
}

void Form7::closeEvent(QCloseEvent *event)
{
    m_combo1->setCurrentIndex(0);
    m_combo2->setCurrentIndex(0);
    m_condicion.reset();
    m_text1->clear();
    // Every way out ("Cerrar", the close box, an add-and-close) leaves the recipients box as
    // losing the focus does: the picked numbers are cleaned and quoted, and "Enviar SMS" comes
    // back with the quote.
    m_caja.dejarDestinatarios();
    QWidget::closeEvent(event);
}

} // namespace contacts::picker
