#include "contacts/view/contact_book_feature.h"

#include "contacts/editor/form5.h"
#include "contacts/view/contacts_panel.h"
#include "contacts/view/contacts_tab.h"
#include "contacts/view/form17.h"
#include "contacts/view/groups_panel.h"
#include "contacts/view/groups_tab.h"
#include "startup/app_context.h"

namespace contacts {

ContactBookFeature::ContactBookFeature(startup::AppContext &context, QObject *parent)
    : QObject(parent),
      m_context(context),
      m_contactsPanel(new ContactsPanel),
      m_groupsPanel(new GroupsPanel),
      m_contactsTab(std::make_unique<ContactsTab>(context, *m_contactsPanel)),
      m_groupsTab(std::make_unique<GroupsTab>(context, *m_groupsPanel, *m_contactsPanel->Combo3(),
                                              *m_contactsPanel->Check3()))
{
    connect(m_contactsTab.get(), &ContactsTab::crearContacto, this, [this] { abrirEditorNuevo(); });
    connect(m_contactsTab.get(), &ContactsTab::modificarContacto, this,
            [this](qint64 sid, const DatosContacto &fields) {
                Form5 *form = editorAbierto();
                form->modoModificar(sid, fields);
                mostrar(form);
            });
    connect(m_contactsTab.get(), &ContactsTab::gruposCambiados, this, &ContactBookFeature::f_grupos);
    connect(m_contactsTab.get(), &ContactsTab::buscarEnvios, this, [this](const QString &phone) {
        if (m_buscarEnvios)
            m_buscarEnvios(phone);
    });
    connect(m_groupsTab.get(), &GroupsTab::administrarGrupo, this, [this](qint64 sid) {
        if (m_administrarGrupo)
            m_administrarGrupo(sid);
    });
}

ContactBookFeature::~ContactBookFeature()
{
    m_form5.release();
    m_form17.release();
    m_contactsTab.reset();
    m_groupsTab.reset();
    // Panels nobody laid out are still ours.
    for (QWidget *panel : {static_cast<QWidget *>(m_contactsPanel.data()), static_cast<QWidget *>(m_groupsPanel.data())}) {
        if (panel && !panel->parent())
            delete panel;
    }
}

void ContactBookFeature::f_agenda(bool reload)
{
    m_contactsTab->f_agenda(reload);
}

void ContactBookFeature::f_grupos()
{
    m_groupsTab->f_grupos();
}

bool ContactBookFeature::agendaVacia() const
{
    return m_contactsTab->agendaVacia();
}

const RegistrosAgenda &ContactBookFeature::registros_agenda() const
{
    return m_contactsTab->registros_agenda();
}

void ContactBookFeature::filtrarPorTelefonos(const QString &numbers)
{
    m_contactsTab->filtrarPorTelefonos(numbers);
}

void ContactBookFeature::filtrarPorGrupo(const QString &groupName)
{
    m_contactsTab->filtrarPorGrupo(groupName);
}

bool ContactBookFeature::canOpen(startup::WindowId id) const
{
    return id == startup::WindowId::Form5 || id == startup::WindowId::Form17;
}

void ContactBookFeature::open(startup::WindowId id)
{
    if (id == startup::WindowId::Form5)
        abrirEditorNuevo();
    else if (id == startup::WindowId::Form17)
        abrirBorrarAgenda();
}

void ContactBookFeature::mostrar(QWidget *window)
{
    window->show();
    window->raise();
    window->activateWindow();
}

Form5 *ContactBookFeature::editorAbierto()
{
    return m_form5.get([this] {
        auto *form = new Form5(m_context.conexion, m_context.prompter);
        connect(form, &Form5::agendaCambiada, this, [this] { f_agenda(true); });
        connect(form, &Form5::introducirAgenda, this, &ContactBookFeature::introducirAgenda);
        return form;
    });
}

Form5 *ContactBookFeature::abrirEditorNuevo()
{
    Form5 *form = editorAbierto();
    form->modoCrear();
    mostrar(form);
    return form;
}

Form5 *ContactBookFeature::abrirEditorModificar(qint64 sid)
{
    const std::optional<Contacto> c = leerContacto(m_context.conexion, sid);
    if (!c)
        return nullptr;
    Form5 *form = editorAbierto();
    form->modoModificar(sid, datosParaEditor(c->nombre, c->telefono, c->nombre_completo, c->direccion,
                                             c->telefono_2, c->comentario, c->f_nacimiento));
    mostrar(form);
    return form;
}

Form5 *ContactBookFeature::guardarNumeroDesconocido(const QString &number, qint64 position)
{
    Form5 *form = editorAbierto();
    mostrar(form);
    form->guardarNumero(number, position);
    return form;
}

Form17 *ContactBookFeature::abrirBorrarAgenda()
{
    return m_form17.show([this] {
        auto *form = new Form17(m_context.conexion, m_context.prompter);
        connect(form, &Form17::agendaBorrada, this, [this] {
            f_agenda(true);
            f_grupos();
        });
        return form;
    });
}

void ContactBookFeature::setBuscarEnvios(std::function<void(const QString &)> search)
{
    m_buscarEnvios = std::move(search);
}

void ContactBookFeature::setAdministrarGrupo(std::function<void(qint64)> administer)
{
    m_administrarGrupo = std::move(administer);
}

} // namespace contacts
