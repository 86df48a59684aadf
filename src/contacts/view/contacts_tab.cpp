#include "contacts/view/contacts_tab.h"

#include "contacts/contact_filter.h"
#include "contacts/node_keys.h"
#include "contacts/pager.h"
#include "contacts/view/contact_tree.h"
#include "contacts/view/contacts_panel.h"
#include "platform/ui/busy_cursor.h"
#include "platform/ui/prompter.h"
#include "seams/app_context.h"
#include "sending/templates/template_tree.h"

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

ContactsTab::ContactsTab(seams::AppContext &context, ContactsPanel &panel, QObject *parent)
    : QObject(parent), m_context(context), m_panel(&panel), m_contactMenu(panel.contactMenu())
{
    connect(panel.pageBar(), &QScrollBar::valueChanged, this, &ContactsTab::showPage);
    connect(panel.filterCheck(), &QCheckBox::clicked, this, &ContactsTab::onFilterToggled);
    connect(panel.filterToggleImage(), &QToolButton::clicked, this, &ContactsTab::toggleFilterPanel);
    connect(panel.exportImage(), &QToolButton::clicked, this, [this] { exportList(); });
    connect(panel.filterButton(), &QPushButton::clicked, this, &ContactsTab::applyFilter);
    connect(panel.closeButton(), &QPushButton::clicked, this, &ContactsTab::closeFilterPanel);
    connect(&panel, &ContactsPanel::treeMousePressed, this, &ContactsTab::openPopupMenu);
    connect(panel.createAction(), &QAction::triggered, this, &ContactsTab::createFromMenu);
    connect(panel.editAction(), &QAction::triggered, this,
            &ContactsTab::editFromMenu);
    connect(panel.deleteAction(), &QAction::triggered, this,
            &ContactsTab::deleteFromMenu);
    connect(panel.findSendsAction(), &QAction::triggered, this,
            &ContactsTab::findSendsFromMenu);
}

ContactsTab::~ContactsTab() = default;

void ContactsTab::refreshContactList(bool reload)
{
    if (!m_panel)
        return;
    const ui::BusyGuard busy(m_context.busy, QStringLiteral("agenda"));
    if (reload) {
        const bool filtered = m_panel->filterCheck()->isChecked() && m_condition && !m_condition->isBlank();
        if (m_records.reload(m_context.connection, filtered ? m_condition : std::nullopt)
            != ContactRecords::Status::Ok) {
            // A condition the database cannot evaluate shows a clean empty list.
            qWarning() << "contact list query failed:" << m_records.error();
        }
    }
    QScrollBar *scroll = m_panel->pageBar();
    const PagerState p = updatePager(m_records.total(), kContactsPerPage, scroll->value());
    {
        // The pager's own moves never redraw the list a second time.
        const QSignalBlocker quiet(scroll);
        scroll->setRange(0, int(p.lastPage));
        scroll->setValue(int(p.page));
    }
    m_panel->pageLabel()->setText(p.label);
    fillTree(*m_panel->contactList(), pageNodes(m_records.page(p.page)));
    Q_EMIT redrawn();
}

bool ContactsTab::isBookEmpty() const
{
    return !m_panel || firstKey(*m_panel->contactList()) == QLatin1String(kEmptyKey);
}

void ContactsTab::showPage(int)
{
    refreshContactList(false);
}

void ContactsTab::applyFilter()
{
    if (!m_panel)
        return;
    ContactFilter filter;
    filter.fieldIndex = m_panel->fieldCombo()->currentIndex();
    filter.operatorIndex = m_panel->operatorCombo()->currentIndex();
    filter.words = m_panel->wordsBox()->text();
    filter.membersOnly = m_panel->membersCheck()->isChecked();
    filter.group = m_panel->groupCombo()->currentIndex() >= 0 ? m_panel->groupCombo()->currentText() : QString();
    const FilterResult r = contacts::buildContactFilter(m_context.connection, filter);
    if (!r.ok()) {
        // The filter in force stays as it was.
        m_context.prompter.message(r.message, QString::fromUtf8(kFilterTitle), ui::Icon::Warning);
        return;
    }
    m_condition = r.condition;
    {
        const QSignalBlocker quiet(m_panel->filterCheck());
        m_panel->filterCheck()->setChecked(true);
    }
    refreshContactList(true);
}

void ContactsTab::filterByPhones(const QString &numbers)
{
    if (!m_panel)
        return;
    QString list = numbers;
    m_panel->wordsBox()->setText(list.remove(QLatin1Char(' ')));
    m_panel->operatorCombo()->setCurrentIndex(int(FilterOperator::Equals));
    m_panel->fieldCombo()->setCurrentIndex(int(FilterField::Phone));
    m_panel->membersCheck()->setChecked(false);
    applyFilter();
}

void ContactsTab::filterByGroup(const QString &groupName)
{
    if (!m_panel)
        return;
    const int index = m_panel->groupCombo()->findText(groupName, Qt::MatchExactly | Qt::MatchCaseSensitive);
    m_panel->groupCombo()->setCurrentIndex(index);
    m_panel->membersCheck()->setChecked(index >= 0);
    m_panel->wordsBox()->clear();
    m_panel->operatorCombo()->setCurrentIndex(0);
    m_panel->fieldCombo()->setCurrentIndex(0);
    applyFilter();
}

void ContactsTab::onFilterToggled(bool checked)
{
    if (!m_panel)
        return;
    if (m_condition) {
        refreshContactList(true);
        return;
    }
    // No filter built yet: the box may not stay ticked; it opens or closes the panel instead.
    (void)checked;
    m_panel->filterFrame()->setVisible(!m_panel->filterFrame()->isVisible());
    const QSignalBlocker quiet(m_panel->filterCheck());
    m_panel->filterCheck()->setChecked(false);
}

exporting::ExportResult ContactsTab::exportList()
{
    // The "Sin contactos" node on top, or no rows, and the icon does nothing.
    if (isBookEmpty() || m_records.total() == 0)
        return {exporting::ExportResult::Status::NoContacts};
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty())
        folder = m_context.programFolder;
    return exporting::exportContactList({m_context.prompter, m_context.shell, m_context.busy}, m_records,
                                      folder);
}

void ContactsTab::toggleFilterPanel()
{
    if (m_panel)
        m_panel->filterFrame()->setVisible(!m_panel->filterFrame()->isVisible());
}

void ContactsTab::closeFilterPanel()
{
    if (m_panel)
        m_panel->filterFrame()->hide();
}

void ContactsTab::openPopupMenu(Qt::MouseButton button, QPoint pos, QPoint globalPos)
{
    if (!m_panel)
        return;
    m_panel->filterFrame()->hide();
    const bool row = sending::pressOnTree(*m_panel->contactList(), pos);
    if (button != Qt::RightButton)
        return;
    m_panel->editAction()->setEnabled(row);
    m_panel->deleteAction()->setEnabled(row);
    m_panel->findSendsAction()->setEnabled(row);
    m_panel->createAction()->setEnabled(true);
    m_contactMenu.popup(row ? selectedKey(*m_panel->contactList()) : QString(), globalPos);
}

std::optional<qint64> ContactsTab::menuSid() const
{
    return sidFromKey(m_contactMenu.key());
}

void ContactsTab::reportContactGone()
{
    refreshContactList(true);
    m_context.prompter.message(QString::fromUtf8(kContactGoneMessage), QString::fromUtf8(kContactGoneTitle),
                               ui::Icon::Information);
}

void ContactsTab::createFromMenu()
{
    Q_EMIT createContactRequested();
}

void ContactsTab::editFromMenu()
{
    const std::optional<qint64> sid = menuSid();
    if (!sid)
        return;
    const std::optional<Contact> c = readContact(m_context.connection, *sid);
    if (!c) {
        reportContactGone();
        return;
    }
    Q_EMIT editContactRequested(*sid, editorFields(c->name, c->phone, c->fullName, c->address,
                                                   c->phone2, c->comment, c->birthDate));
}

void ContactsTab::deleteFromMenu()
{
    if (const std::optional<qint64> sid = menuSid())
        removeContact(*sid);
}

void ContactsTab::findSendsFromMenu()
{
    const std::optional<qint64> sid = menuSid();
    if (!sid)
        return;
    std::optional<Contact> c;
    {
        const ui::BusyGuard busy(m_context.busy, QStringLiteral("agenda"));
        c = readContact(m_context.connection, *sid);
        if (c)
            Q_EMIT findSendsRequested(c->phone);
    }
    if (!c)
        reportContactGone();
}

void ContactsTab::removeContact(qint64 sid)
{
    const DeleteResult r = deleteContact(m_context.connection, sid);
    if (r.status == DeleteResult::Status::NotFound) {
        reportContactGone();
        return;
    }
    if (!r.ok()) {
        m_context.prompter.message(QStringLiteral("No se pudo eliminar el contacto de la base de datos. Inténtelo "
                                                  "de nuevo en unos momentos."),
                                   QString::fromUtf8(kDeleteContactTitle), ui::Icon::Critical);
        return;
    }
    refreshContactList(true);
    Q_EMIT groupsChanged();
    m_context.prompter.message(QString::fromUtf8(kContactDeletedMessage), QString::fromUtf8(kDeleteContactTitle),
                               ui::Icon::Information);
}

} // namespace contacts
