#include "contacts/view/contact_book_feature.h"

#include "contacts/editor/contact_editor_dialog.h"
#include "contacts/view/contacts_panel.h"
#include "contacts/view/contacts_tab.h"
#include "contacts/view/delete_book_dialog.h"
#include "contacts/view/groups_panel.h"
#include "contacts/view/groups_tab.h"
#include "seams/app_context.h"

namespace contacts {

ContactBookFeature::ContactBookFeature(seams::AppContext &context, QObject *parent)
    : QObject(parent),
      m_context(context),
      m_contactsPanel(new ContactsPanel),
      m_groupsPanel(new GroupsPanel),
      m_contactsTab(std::make_unique<ContactsTab>(context, *m_contactsPanel)),
      m_groupsTab(std::make_unique<GroupsTab>(context, *m_groupsPanel, *m_contactsPanel->groupCombo(),
                                              *m_contactsPanel->membersCheck()))
{
    connect(m_contactsTab.get(), &ContactsTab::createContactRequested, this, [this] { openNewContactEditor(); });
    connect(m_contactsTab.get(), &ContactsTab::editContactRequested, this,
            [this](qint64 sid, const ContactFields &fields) {
                ContactEditorDialog *form = freshEditor();
                form->setUpdateMode(sid, fields);
                showWindow(form);
            });
    connect(m_contactsTab.get(), &ContactsTab::groupsChanged, this, &ContactBookFeature::refreshGroupList);
    connect(m_contactsTab.get(), &ContactsTab::findSendsRequested, this, [this](const QString &phone) {
        if (m_findSends)
            m_findSends(phone);
    });
    connect(m_groupsTab.get(), &GroupsTab::administerGroupRequested, this, [this](qint64 sid) {
        if (m_administerGroup)
            m_administerGroup(sid);
    });
}

ContactBookFeature::~ContactBookFeature()
{
    m_editor.release();
    m_deleteBookDialog.release();
    m_contactsTab.reset();
    m_groupsTab.reset();
    // Panels nobody laid out are still ours.
    for (QWidget *panel : {static_cast<QWidget *>(m_contactsPanel.data()), static_cast<QWidget *>(m_groupsPanel.data())}) {
        if (panel && !panel->parent())
            delete panel;
    }
}

void ContactBookFeature::refreshContactList(bool reload)
{
    m_contactsTab->refreshContactList(reload);
}

void ContactBookFeature::refreshGroupList()
{
    m_groupsTab->refreshGroupList();
}

bool ContactBookFeature::isBookEmpty() const
{
    return m_contactsTab->isBookEmpty();
}

const ContactRecords &ContactBookFeature::contactRecords() const
{
    return m_contactsTab->contactRecords();
}

void ContactBookFeature::filterByPhones(const QString &numbers)
{
    m_contactsTab->filterByPhones(numbers);
}

void ContactBookFeature::filterByGroup(const QString &groupName)
{
    m_contactsTab->filterByGroup(groupName);
}

bool ContactBookFeature::canOpen(seams::WindowId id) const
{
    return id == seams::WindowId::ContactEditor || id == seams::WindowId::DeleteBook;
}

void ContactBookFeature::open(seams::WindowId id)
{
    if (id == seams::WindowId::ContactEditor)
        openNewContactEditor();
    else if (id == seams::WindowId::DeleteBook)
        openDeleteBookDialog();
}

void ContactBookFeature::showWindow(QWidget *window)
{
    window->show();
    window->raise();
    window->activateWindow();
}

ContactEditorDialog *ContactBookFeature::freshEditor()
{
    return m_editor.get([this] {
        auto *form = new ContactEditorDialog(m_context.connection, m_context.prompter);
        connect(form, &ContactEditorDialog::contactsChanged, this, [this] { refreshContactList(true); });
        connect(form, &ContactEditorDialog::resumeNumberOffer, this, &ContactBookFeature::resumeNumberOffer);
        return form;
    });
}

ContactEditorDialog *ContactBookFeature::openNewContactEditor()
{
    ContactEditorDialog *form = freshEditor();
    form->setCreateMode();
    showWindow(form);
    return form;
}

ContactEditorDialog *ContactBookFeature::openContactEditor(qint64 sid)
{
    const std::optional<Contact> c = readContact(m_context.connection, sid);
    if (!c)
        return nullptr;
    ContactEditorDialog *form = freshEditor();
    form->setUpdateMode(sid, editorFields(c->name, c->phone, c->fullName, c->address,
                                             c->phone2, c->comment, c->birthDate));
    showWindow(form);
    return form;
}

ContactEditorDialog *ContactBookFeature::openEditorForUnknownNumber(const QString &number, qint64 position)
{
    ContactEditorDialog *form = freshEditor();
    showWindow(form);
    form->setNumberToSave(number, position);
    return form;
}

DeleteBookDialog *ContactBookFeature::openDeleteBookDialog()
{
    return m_deleteBookDialog.show([this] {
        auto *form = new DeleteBookDialog(m_context.connection, m_context.prompter);
        connect(form, &DeleteBookDialog::bookDeleted, this, [this] {
            refreshContactList(true);
            refreshGroupList();
        });
        return form;
    });
}

void ContactBookFeature::setFindSends(std::function<void(const QString &)> search)
{
    m_findSends = std::move(search);
}

void ContactBookFeature::setAdministerGroup(std::function<void(qint64)> administer)
{
    m_administerGroup = std::move(administer);
}

} // namespace contacts
