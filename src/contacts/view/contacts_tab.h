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

namespace seams { struct AppContext; }

namespace contacts {

class ContactsPanel;

// The "Contactos" tab at work: the contact list and its pager, the filter, the popup menu and the
// deletion of one contact. The rules are the functions of the contacts library; here they run in
// order, the view is redrawn and the user is told last.
class ContactsTab final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ContactsTab)

public:
    ContactsTab(seams::AppContext &context, ContactsPanel &panel, QObject *parent = nullptr);
    ~ContactsTab() override;

    // True: the query runs again (filtered while "Filtrar" is ticked); false: the page showing is
    // redrawn from the rows already read.
    void refreshContactList(bool reload);
    bool isBookEmpty() const;
    // The rows the list shows (every contact or the filter's result), in name order.
    const ContactRecords &contactRecords() const { return m_records; }

    // Builds the condition from the filter panel, ticks "Filtrar" and reloads.
    void applyFilter();
    // The condition kept by the last "Filtrar"; nothing before the first one.
    const std::optional<Condition> &condition() const { return m_condition; }

    // The history's "Filtrar contactos": the contacts whose phone is one of `numbers` (joined by
    // ","), or, with a group name, the members of that group.
    void filterByPhones(const QString &numbers);
    void filterByGroup(const QString &groupName);

    void removeContact(qint64 sid);

    // Controls' handlers (public so other parts and tests reach them without a mouse).
    void showPage(int position);
    void onFilterToggled(bool checked);
    void toggleFilterPanel();
    // Exports the rows the list holds, every page of them.
    exporting::ExportResult exportList();
    void closeFilterPanel();
    // The right button opens the popup menu on the contact under the pointer; its items act on
    // that contact whatever the list shows by the time they run (menuKey()).
    void openPopupMenu(Qt::MouseButton button, QPoint pos, QPoint globalPos);
    const QString &menuKey() const { return m_contactMenu.key(); }
    void createFromMenu();
    void editFromMenu();
    void deleteFromMenu();
    void findSendsFromMenu();

Q_SIGNALS:
    void redrawn();
    // The editor is to open empty, or loaded with a contact for a change.
    void createContactRequested();
    void editContactRequested(qint64 sid, const contacts::ContactFields &fields);
    // "Buscar envíos" for the contact's phone.
    void findSendsRequested(const QString &phone);
    // Member counts changed (a contact was deleted).
    void groupsChanged();

private:
    // The contact the popup menu was opened on.
    std::optional<qint64> menuSid() const;
    void reportContactGone();

    seams::AppContext &m_context;
    QPointer<ContactsPanel> m_panel;
    ContactRecords m_records;
    std::optional<Condition> m_condition;   // the filter button's Tag
    ui::RowPopup m_contactMenu;
};

} // namespace contacts
