#include "contacts/view/contacts_tab.h"

#include "contacts/contact_filter.h"
#include "contacts/node_keys.h"
#include "contacts/pager.h"
#include "contacts/view/contact_tree.h"
#include "contacts/view/contacts_panel.h"
#include "platform/ui/busy_cursor.h"
#include "platform/ui/prompter.h"
#include "sending/templates/template_tree.h"
#include "startup/app_context.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStandardPaths>
#include <QToolButton>
#include <QTreeWidget>
#include <QtDebug>

namespace contacts {

ContactsTab::ContactsTab(startup::AppContext &context, ContactsPanel &panel, QObject *parent)
    : QObject(parent), m_context(context), m_panel(&panel), m_popup(panel.mnurclick_agenda())
{
    connect(panel.HScroll1(), &QScrollBar::valueChanged, this, &ContactsTab::HScroll1_Change);
    connect(panel.Check4(), &QCheckBox::clicked, this, &ContactsTab::Check4_Click);
    connect(panel.Image7(), &QToolButton::clicked, this, &ContactsTab::Image7_Click);
    connect(panel.Image6(), &QToolButton::clicked, this, [this] { Image6_Click(); });
    connect(panel.Command2(), &QPushButton::clicked, this, &ContactsTab::f_filtrar_agenda);
    connect(panel.Command3(), &QPushButton::clicked, this, &ContactsTab::Command3_Click);
    connect(&panel, &ContactsPanel::TreeView4_MouseDown, this, &ContactsTab::TreeView4_MouseDown);
    connect(panel.mnurclick_agenda_crear(), &QAction::triggered, this, &ContactsTab::mnurclick_agenda_crear_Click);
    connect(panel.mnurclick_agenda_modificar(), &QAction::triggered, this,
            &ContactsTab::mnurclick_agenda_modificar_Click);
    connect(panel.mnurclick_agenda_eliminar(), &QAction::triggered, this,
            &ContactsTab::mnurclick_agenda_eliminar_Click);
    connect(panel.mnurclick_agenda_buscarhistorial(), &QAction::triggered, this,
            &ContactsTab::mnurclick_agenda_buscarhistorial_Click);
}

ContactsTab::~ContactsTab() = default;

void ContactsTab::f_agenda(bool reload)
{
    if (!m_panel)
        return;
    const ui::BusyGuard busy(m_context.busy, QStringLiteral("agenda"));
    if (reload) {
        const bool filtered = m_panel->Check4()->isChecked() && m_condicion && !m_condicion->vacia();
        if (m_registros.recargar(m_context.conexion, filtered ? m_condicion : std::nullopt)
            != RegistrosAgenda::Status::Ok) {
            // A condition the database cannot evaluate shows a clean empty list.
            qWarning() << "contact list query failed:" << m_registros.error();
        }
    }
    QScrollBar *scroll = m_panel->HScroll1();
    const Paginador p = actualizarPaginador(m_registros.total(), kContactosPorPagina, scroll->value());
    {
        // The pager's own moves never redraw the list a second time.
        const QSignalBlocker quiet(scroll);
        scroll->setRange(0, int(p.maximo));
        scroll->setValue(int(p.posicion));
    }
    m_panel->PagAgenda()->setText(p.etiqueta);
    llenarArbol(*m_panel->TreeView4(), nodosPagina(m_registros.tramo(p.desde, kContactosPorPagina)));
    Q_EMIT redibujado();
}

bool ContactsTab::agendaVacia() const
{
    return !m_panel || claveDelPrimerNodo(*m_panel->TreeView4()) == QLatin1String(kClaveVacia);
}

void ContactsTab::HScroll1_Change(int)
{
    f_agenda(false);
}

void ContactsTab::f_filtrar_agenda()
{
    if (!m_panel)
        return;
    FiltroContactos filter;
    filter.campo = m_panel->Combo4()->currentIndex();
    filter.operador = m_panel->Combo2()->currentIndex();
    filter.palabras = m_panel->Text7()->text();
    filter.miembros = m_panel->Check3()->isChecked();
    filter.grupo = m_panel->Combo3()->currentIndex() >= 0 ? m_panel->Combo3()->currentText() : QString();
    const ResultadoFiltro r = contacts::f_filtrar_agenda(m_context.conexion, filter);
    if (!r.ok()) {
        // The filter in force stays as it was.
        m_context.prompter.message(r.mensaje, QString::fromUtf8(kTituloFiltro), ui::Icon::Warning);
        return;
    }
    m_condicion = r.condicion;
    {
        const QSignalBlocker quiet(m_panel->Check4());
        m_panel->Check4()->setChecked(true);
    }
    f_agenda(true);
}

void ContactsTab::filtrarPorTelefonos(const QString &numbers)
{
    if (!m_panel)
        return;
    QString list = numbers;
    m_panel->Text7()->setText(list.remove(QLatin1Char(' ')));
    m_panel->Combo2()->setCurrentIndex(int(FilterOperator::Coincidan));
    m_panel->Combo4()->setCurrentIndex(int(FilterField::Telefono));
    m_panel->Check3()->setChecked(false);
    f_filtrar_agenda();
}

void ContactsTab::filtrarPorGrupo(const QString &groupName)
{
    if (!m_panel)
        return;
    const int index = m_panel->Combo3()->findText(groupName, Qt::MatchExactly | Qt::MatchCaseSensitive);
    m_panel->Combo3()->setCurrentIndex(index);
    m_panel->Check3()->setChecked(index >= 0);
    m_panel->Text7()->clear();
    m_panel->Combo2()->setCurrentIndex(0);
    m_panel->Combo4()->setCurrentIndex(0);
    f_filtrar_agenda();
}

void ContactsTab::Check4_Click(bool checked)
{
    if (!m_panel)
        return;
    if (m_condicion) {
        f_agenda(true);
        return;
    }
    // No filter built yet: the box may not stay ticked; it opens or closes the panel instead.
    (void)checked;
    m_panel->Frame2()->setVisible(!m_panel->Frame2()->isVisible());
    const QSignalBlocker quiet(m_panel->Check4());
    m_panel->Check4()->setChecked(false);
}

exporting::Resultado ContactsTab::Image6_Click()
{
    // The "Sin contactos" node on top, or no rows, and the icon does nothing.
    if (agendaVacia() || m_registros.total() == 0)
        return {exporting::Resultado::Status::SinContactos};
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty())
        folder = m_context.ruta_programa;
    return exporting::exportarListado({m_context.prompter, m_context.shell, m_context.busy}, m_registros,
                                      folder);
}

void ContactsTab::Image7_Click()
{
    if (m_panel)
        m_panel->Frame2()->setVisible(!m_panel->Frame2()->isVisible());
}

void ContactsTab::Command3_Click()
{
    if (m_panel)
        m_panel->Frame2()->hide();
}

void ContactsTab::TreeView4_MouseDown(Qt::MouseButton button, QPoint pos, QPoint globalPos)
{
    if (!m_panel)
        return;
    m_panel->Frame2()->hide();
    const bool row = sending::pulsacionEnArbol(*m_panel->TreeView4(), pos);
    if (button != Qt::RightButton)
        return;
    m_panel->mnurclick_agenda_modificar()->setEnabled(row);
    m_panel->mnurclick_agenda_eliminar()->setEnabled(row);
    m_panel->mnurclick_agenda_buscarhistorial()->setEnabled(row);
    m_panel->mnurclick_agenda_crear()->setEnabled(true);
    m_popup.popup(row ? claveSeleccionada(*m_panel->TreeView4()) : QString(), globalPos);
}

std::optional<qint64> ContactsTab::sidDelMenu() const
{
    return sidDeClave(m_popup.key());
}

void ContactsTab::contactoDesaparecido()
{
    f_agenda(true);
    m_context.prompter.message(QString::fromUtf8(kContactoDesaparecido), QString::fromUtf8(kTituloContactoDesaparecido),
                               ui::Icon::Information);
}

void ContactsTab::mnurclick_agenda_crear_Click()
{
    Q_EMIT crearContacto();
}

void ContactsTab::mnurclick_agenda_modificar_Click()
{
    const std::optional<qint64> sid = sidDelMenu();
    if (!sid)
        return;
    const std::optional<Contacto> c = leerContacto(m_context.conexion, *sid);
    if (!c) {
        contactoDesaparecido();
        return;
    }
    Q_EMIT modificarContacto(*sid, datosParaEditor(c->nombre, c->telefono, c->nombre_completo, c->direccion,
                                                   c->telefono_2, c->comentario, c->f_nacimiento));
}

void ContactsTab::mnurclick_agenda_eliminar_Click()
{
    if (const std::optional<qint64> sid = sidDelMenu())
        f_borrar_agenda(*sid);
}

void ContactsTab::mnurclick_agenda_buscarhistorial_Click()
{
    const std::optional<qint64> sid = sidDelMenu();
    if (!sid)
        return;
    std::optional<Contacto> c;
    {
        const ui::BusyGuard busy(m_context.busy, QStringLiteral("agenda"));
        c = leerContacto(m_context.conexion, *sid);
        if (c)
            Q_EMIT buscarEnvios(c->telefono);
    }
    if (!c)
        contactoDesaparecido();
}

void ContactsTab::f_borrar_agenda(qint64 sid)
{
    const ResultadoBorrado r = borrarContacto(m_context.conexion, sid);
    if (r.estado == ResultadoBorrado::Status::NoExiste) {
        contactoDesaparecido();
        return;
    }
    if (!r.ok()) {
        m_context.prompter.message(QStringLiteral("No se pudo eliminar el contacto de la base de datos. Inténtelo "
                                                  "de nuevo en unos momentos."),
                                   QString::fromUtf8(kTituloEliminarContacto), ui::Icon::Critical);
        return;
    }
    f_agenda(true);
    Q_EMIT gruposCambiados();
    m_context.prompter.message(QString::fromUtf8(kContactoEliminado), QString::fromUtf8(kTituloEliminarContacto),
                               ui::Icon::Information);
}

} // namespace contacts
