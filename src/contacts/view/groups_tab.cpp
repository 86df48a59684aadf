#include "contacts/view/groups_tab.h"

#include "contacts/group_book.h"
#include "contacts/node_keys.h"
#include "contacts/view/contact_tree.h"
#include "contacts/view/groups_panel.h"
#include "platform/db/connection.h"
#include "platform/ui/busy_cursor.h"
#include "platform/ui/prompter.h"
#include "sending/templates/template_tree.h"
#include "startup/app_context.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QMenu>
#include <QSignalBlocker>
#include <QTreeWidget>
#include <QtDebug>

namespace contacts {

GroupsTab::GroupsTab(startup::AppContext &context, GroupsPanel &panel, QComboBox &groupCombo, QCheckBox &membersCheck,
                     QObject *parent)
    : QObject(parent)
    , m_context(context)
    , m_panel(&panel)
    , m_combo3(&groupCombo)
    , m_check3(&membersCheck)
    , m_popup(panel.mnurclick_listado_grupos())
{
    connect(&panel, &GroupsPanel::TreeView2_MouseDown, this, &GroupsTab::TreeView2_MouseDown);
    connect(&panel, &GroupsPanel::TreeView2_DblClick, this, &GroupsTab::TreeView2_DblClick);
    connect(panel.mnurclick_listado_grupos_administrar(), &QAction::triggered, this,
            &GroupsTab::mnurclick_listado_grupos_administrar_Click);
    connect(panel.mnurclick_listado_grupos_eliminar(), &QAction::triggered, this,
            &GroupsTab::mnurclick_listado_grupos_eliminar_Click);
    connect(panel.mnurclick_listado_grupos_crear(), &QAction::triggered, this,
            &GroupsTab::mnurclick_listado_grupos_crear_Click);
}

GroupsTab::~GroupsTab() = default;

void GroupsTab::f_grupos()
{
    if (!m_panel)
        return;
    const ListaGrupos list = listarGrupos(m_context.conexion);
    if (!list.ok) {
        // Keep what the views showed rather than claim there are no groups.
        qWarning() << "group list query failed:" << list.error;
        return;
    }
    std::vector<NodoContacto> nodes;
    for (const Grupo &g : list.grupos)
        nodes.push_back({claveNodo(QStringLiteral("pGrupo"), g.sid), {}, textoGrupo(g), 6});
    if (nodes.empty())
        nodes.push_back({QString::fromLatin1(kClaveVacia), {}, QStringLiteral("Sin grupos"), 0});
    llenarArbol(*m_panel->TreeView2(), nodes);

    if (m_combo3 && m_check3) {
        // "Ninguno" is no group: with it showing, nothing was chosen.
        const QString remembered =
            m_check3->isEnabled() && m_combo3->currentIndex() >= 0 ? m_combo3->currentText() : QString();
        const ListaFiltroGrupos filter = listaFiltroGrupos(list.grupos, remembered);
        const QSignalBlocker quiet(m_combo3);
        m_combo3->clear();
        m_combo3->addItems(filter.nombres);
        // The list selects its first item by itself; "no selection" must be set.
        m_combo3->setCurrentIndex(filter.seleccion);
        m_check3->setEnabled(filter.activo);
    }
    Q_EMIT redibujado();
}

std::optional<qint64> GroupsTab::sidSeleccionado() const
{
    if (!m_panel)
        return std::nullopt;
    return sidDeClave(claveSeleccionada(*m_panel->TreeView2()));
}

void GroupsTab::TreeView2_MouseDown(Qt::MouseButton button, QPoint pos, QPoint globalPos)
{
    if (!m_panel)
        return;
    const bool row = sending::pulsacionEnArbol(*m_panel->TreeView2(), pos);
    if (button != Qt::RightButton)
        return;
    m_panel->mnurclick_listado_grupos_administrar()->setEnabled(row);
    m_panel->mnurclick_listado_grupos_eliminar()->setEnabled(row);
    m_panel->mnurclick_listado_grupos_crear()->setEnabled(true);
    m_popup.popup(row ? claveSeleccionada(*m_panel->TreeView2()) : QString(), globalPos);
}

void GroupsTab::TreeView2_DblClick()
{
    administrar(sidSeleccionado());
}

void GroupsTab::mnurclick_listado_grupos_administrar_Click()
{
    administrar(sidDeClave(m_popup.key()));
}

void GroupsTab::administrar(std::optional<qint64> sid)
{
    if (!sid)
        return;
    // A group deleted meanwhile has nothing left to administer.
    if (!m_context.conexion.scalar(QStringLiteral("SELECT 1 FROM Grupos WHERE sid = ?"), {*sid}).isValid()) {
        f_grupos();
        m_context.prompter.message(QString::fromUtf8(kGrupoDesaparecido), QStringLiteral("Grupos"),
                                   ui::Icon::Information);
        return;
    }
    Q_EMIT administrarGrupo(*sid);
}

bool GroupsTab::f_borrar_grupo(qint64 sid)
{
    ui::Prompter &prompter = m_context.prompter;
    const ResultadoBorrarGrupo r = contacts::f_borrar_grupo(
        m_context.conexion, sid, [&prompter](const QString &prompt, const QString &title, const QString &def) {
            return prompter.input(prompt, title, def);
        });
    switch (r.estado) {
    case ResultadoBorrarGrupo::Status::NoExiste:
        f_grupos();   // a group deleted meanwhile leaves the list
        prompter.message(QString::fromUtf8(kSeleccioneGrupo), QStringLiteral("Error"), ui::Icon::Critical);
        return false;
    case ResultadoBorrarGrupo::Status::Abortado:
        prompter.message(QString::fromUtf8(kBorradoAbortado), QString::fromUtf8(kTituloGrupoEliminado),
                         ui::Icon::Information);
        return false;
    case ResultadoBorrarGrupo::Status::ErrorBaseDatos:
        prompter.message(QStringLiteral("No se pudo eliminar el grupo de la base de datos; no se ha cambiado "
                                        "nada. Inténtelo de nuevo en unos momentos."),
                         QStringLiteral("Error"), ui::Icon::Critical);
        return false;
    case ResultadoBorrarGrupo::Status::Borrado:
        break;
    }
    f_grupos();
    prompter.message(QString::fromUtf8(kGrupoEliminado), QString::fromUtf8(kTituloGrupoEliminado),
                     ui::Icon::Information);
    return true;
}

void GroupsTab::mnurclick_listado_grupos_eliminar_Click()
{
    const std::optional<qint64> sid = sidDeClave(m_popup.key());
    if (!sid)
        return;
    const ui::BusyGuard busy(m_context.busy, QStringLiteral("grupos"));
    f_borrar_grupo(*sid);
}

void GroupsTab::mnurclick_listado_grupos_crear_Click()
{
    ui::Prompter &prompter = m_context.prompter;
    const ResultadoCrearGrupo r = crearGrupo(
        m_context.conexion,
        [&prompter](const QString &prompt, const QString &title, const QString &def) {
            return prompter.input(prompt, title, def);
        },
        [&prompter](const QString &name) {
            prompter.message(avisoGrupoRepetido(name), QString::fromUtf8(kTituloNombreGrupo), ui::Icon::Warning);
        });
    switch (r.estado) {
    case ResultadoCrearGrupo::Status::Cancelado:
        prompter.message(QString::fromUtf8(kCreacionCancelada), QString::fromUtf8(kTituloCreacionCancelada),
                         ui::Icon::Information);
        return;
    case ResultadoCrearGrupo::Status::ErrorBaseDatos:
        prompter.message(QStringLiteral("No se pudo crear el grupo en la base de datos. Inténtelo de nuevo en unos "
                                        "momentos."),
                         QStringLiteral("Error"), ui::Icon::Critical);
        return;
    case ResultadoCrearGrupo::Status::Creado:
        break;
    }
    f_grupos();
    prompter.message(QString::fromUtf8(kGrupoCreado), QString::fromUtf8(kTituloNuevoGrupo), ui::Icon::Information);
}

} // namespace contacts
