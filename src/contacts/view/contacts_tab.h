#pragma once

#include "contacts/contact_book.h"
#include "contacts/contact_editor_rules.h"
#include "contacts/export/contact_list_export.h"
#include "contacts/sql_condition.h"
#include "platform/ui/list_tree.h"

#include <QObject>
#include <QPoint>
#include <QPointer>

#include <optional>

namespace startup { struct AppContext; }

namespace contacts {

class ContactsPanel;

// The "Contactos" tab at work: the contact list and its pager, the filter, the popup menu and the
// deletion of one contact. The rules are the functions of the contacts library; here they run in
// order, the view is redrawn and the user is told last.
class ContactsTab final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ContactsTab)

public:
    ContactsTab(startup::AppContext &context, ContactsPanel &panel, QObject *parent = nullptr);
    ~ContactsTab() override;

    // True: the query runs again (filtered while "Filtrar" is ticked); false: the page showing is
    // redrawn from the rows already read.
    void f_agenda(bool reload);
    bool agendaVacia() const;
    // The rows the list shows (the whole book or the filter's result), in name order.
    const RegistrosAgenda &registros_agenda() const { return m_registros; }

    // Builds the condition from the filter panel, ticks "Filtrar" and reloads.
    void f_filtrar_agenda();
    // The condition kept by the last "Filtrar"; nothing before the first one.
    const std::optional<Condicion> &condicion() const { return m_condicion; }

    // The history's "Filtrar contactos": the contacts whose phone is one of `numbers` (joined by
    // ","), or, with a group name, the members of that group.
    void filtrarPorTelefonos(const QString &numbers);
    void filtrarPorGrupo(const QString &groupName);

    void f_borrar_agenda(qint64 sid);

    // Controls' handlers (public so other parts and tests reach them without a mouse).
    void HScroll1_Change(int position);
    void Check4_Click(bool checked);
    void Image7_Click();
    // Exports the rows the list holds, every page of them.
    exporting::Resultado Image6_Click();
    void Command3_Click();
    // The right button opens the popup menu on the contact under the pointer; its items act on
    // that contact whatever the list shows by the time they run (menuKey()).
    void TreeView4_MouseDown(Qt::MouseButton button, QPoint pos, QPoint globalPos);
    const QString &menuKey() const { return m_popup.key(); }
    void mnurclick_agenda_crear_Click();
    void mnurclick_agenda_modificar_Click();
    void mnurclick_agenda_eliminar_Click();
    void mnurclick_agenda_buscarhistorial_Click();

Q_SIGNALS:
    void redibujado();
    // The editor is to open empty, or loaded with a contact for a change.
    void crearContacto();
    void modificarContacto(qint64 sid, const contacts::DatosContacto &fields);
    // "Buscar envíos" for the contact's phone.
    void buscarEnvios(const QString &phone);
    // Member counts changed (a contact was deleted).
    void gruposCambiados();

private:
    // The contact the popup menu was opened on.
    std::optional<qint64> sidDelMenu() const;
    void contactoDesaparecido();

    startup::AppContext &m_context;
    QPointer<ContactsPanel> m_panel;
    RegistrosAgenda m_registros;
    std::optional<Condicion> m_condicion;   // the filter button's Tag
    ui::RowPopup m_popup;
};

} // namespace contacts
