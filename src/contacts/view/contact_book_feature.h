#pragma once

#include "contacts/contact_book.h"
#include "contacts/editor/contact_editor_dialog.h"
#include "contacts/view/delete_book_dialog.h"
#include "platform/ui/single_instance.h"
#include "seams/subsystems.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

namespace seams { struct AppContext; }

namespace contacts {

class ContactsPanel;
class ContactsTab;
class GroupsPanel;
class GroupsTab;

// The contact book at work: the "Contactos" and "Grupos" tabs, the contact editor (objectName `Form5`) and the
// deletion of every contact (objectName `Form17`). It answers the main window's seams (contact and group
// lists, the two panels, the two windows) and is told by the application where "Buscar envíos"
// and "Administrar grupo" lead.
class ContactBookFeature final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ContactBookFeature)

public:
    explicit ContactBookFeature(seams::AppContext &context, QObject *parent = nullptr);
    ~ContactBookFeature() override;

    // The tabs' panels. Whoever lays them out becomes their owner; until then the feature owns them.
    ContactsPanel *contactsPanel() const { return m_contactsPanel; }
    GroupsPanel *groupsPanel() const { return m_groupsPanel; }
    ContactsTab &contactsTab() { return *m_contactsTab; }
    GroupsTab &groupsTab() { return *m_groupsTab; }

    // The main window's seams.
    void refreshContactList(bool reload);
    void refreshGroupList();
    bool isBookEmpty() const;
    bool canOpen(seams::WindowId id) const;
    void open(seams::WindowId id);

    // The rows the contact list shows, for the export of that list.
    const ContactRecords &contactRecords() const;
    // The history's "Filtrar contactos".
    void filterByPhones(const QString &numbers);
    void filterByGroup(const QString &groupName);

    // The editor: empty in create mode; loaded for a change; or for a number of the send panel's
    // recipient list that is not a contact (`position` from 0), whose save resumes the offer.
    ContactEditorDialog *openNewContactEditor();
    ContactEditorDialog *openContactEditor(qint64 sid);
    ContactEditorDialog *openEditorForUnknownNumber(const QString &number, qint64 position);
    ContactEditorDialog *editor() const { return m_editor.existing(); }
    DeleteBookDialog *openDeleteBookDialog();
    DeleteBookDialog *deleteBookDialog() const { return m_deleteBookDialog.existing(); }

    // Where "Buscar envíos" shows a phone's sends (the history's search, then its tab).
    void setFindSends(std::function<void(const QString &phone)> search);
    // Where "Administrar grupo" and a double click on a group lead (the group administration).
    void setAdministerGroup(std::function<void(qint64 sid)> administer);

Q_SIGNALS:
    // `introducir_agenda(posicion, saltar)`: the editor saved an offered number; the send panel
    // goes on with the next one.
    void resumeNumberOffer(double position, bool skip);

private:
    ContactEditorDialog *freshEditor();
    static void showWindow(QWidget *window);

    seams::AppContext &m_context;
    QPointer<ContactsPanel> m_contactsPanel;
    QPointer<GroupsPanel> m_groupsPanel;
    std::unique_ptr<ContactsTab> m_contactsTab;
    std::unique_ptr<GroupsTab> m_groupsTab;
    ui::SingleInstance<ContactEditorDialog> m_editor;
    ui::SingleInstance<DeleteBookDialog> m_deleteBookDialog;
    std::function<void(const QString &)> m_findSends;
    std::function<void(qint64)> m_administerGroup;
};

} // namespace contacts
