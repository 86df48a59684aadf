#pragma once

#include "contacts/contact_book.h"
#include "contacts/editor/form5.h"
#include "contacts/view/form17.h"
#include "platform/ui/single_instance.h"
#include "startup/subsystems.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

namespace startup { struct AppContext; }

namespace contacts {

class ContactsPanel;
class ContactsTab;
class GroupsPanel;
class GroupsTab;

// The contact book at work: the "Contactos" and "Grupos" tabs, the contact editor (objectName `Form5`) and the
// deletion of the whole book (objectName `Form17`). It answers the main window's seams (contact and group
// lists, the two panels, the two windows) and is told by the application where "Buscar envíos"
// and "Administrar grupo" lead.
class ContactBookFeature final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ContactBookFeature)

public:
    explicit ContactBookFeature(startup::AppContext &context, QObject *parent = nullptr);
    ~ContactBookFeature() override;

    // The tabs' panels. Whoever lays them out becomes their owner; until then the feature owns them.
    ContactsPanel *contactsPanel() const { return m_contactsPanel; }
    GroupsPanel *groupsPanel() const { return m_groupsPanel; }
    ContactsTab &contactsTab() { return *m_contactsTab; }
    GroupsTab &groupsTab() { return *m_groupsTab; }

    // The main window's seams.
    void f_agenda(bool reload);
    void f_grupos();
    bool agendaVacia() const;
    bool canOpen(startup::WindowId id) const;
    void open(startup::WindowId id);

    // The rows the contact list shows, for the export of that list.
    const RegistrosAgenda &registros_agenda() const;
    // The history's "Filtrar contactos".
    void filtrarPorTelefonos(const QString &numbers);
    void filtrarPorGrupo(const QString &groupName);

    // The editor: empty in create mode; loaded for a change; or for a number of the send panel's
    // recipient list that is not in the book (`position` from 0), whose save resumes the offer.
    Form5 *abrirEditorNuevo();
    Form5 *abrirEditorModificar(qint64 sid);
    Form5 *guardarNumeroDesconocido(const QString &number, qint64 position);
    Form5 *editor() const { return m_form5.existing(); }
    Form17 *abrirBorrarAgenda();
    Form17 *borrarAgenda() const { return m_form17.existing(); }

    // Where "Buscar envíos" shows a phone's sends (the history's search, then its tab).
    void setBuscarEnvios(std::function<void(const QString &phone)> search);
    // Where "Administrar grupo" and a double click on a group lead (the group administration).
    void setAdministrarGrupo(std::function<void(qint64 sid)> administer);

Q_SIGNALS:
    // `introducir_agenda(posicion, saltar)`: the editor saved an offered number; the send panel
    // goes on with the next one.
    void introducirAgenda(double position, bool skip);

private:
    Form5 *editorAbierto();
    static void mostrar(QWidget *window);

    startup::AppContext &m_context;
    QPointer<ContactsPanel> m_contactsPanel;
    QPointer<GroupsPanel> m_groupsPanel;
    std::unique_ptr<ContactsTab> m_contactsTab;
    std::unique_ptr<GroupsTab> m_groupsTab;
    ui::SingleInstance<Form5> m_form5;
    ui::SingleInstance<Form17> m_form17;
    std::function<void(const QString &)> m_buscarEnvios;
    std::function<void(qint64)> m_administrarGrupo;
};

} // namespace contacts
