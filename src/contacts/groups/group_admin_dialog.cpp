#include "contacts/groups/group_admin_dialog.h"

#include "contacts/groups/group_admin.h"
#include "contacts/picker/contact_tree.h"
#include "platform/ui/busy_cursor.h"
#include "platform/ui/list_tree.h"
#include "platform/ui/prompter.h"
#include "seams/subsystems.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace contacts::groups {

namespace {

const QString kTitle = QStringLiteral("Administrar grupo");
const QString kReadFailedMessage =
    QStringLiteral("No se pudo leer la agenda de la base de datos. Inténtelo de nuevo en unos momentos.");
const QString kWriteFailedMessage =
    QStringLiteral("No se pudo guardar el cambio del grupo en la base de datos. Inténtelo de nuevo en unos momentos.");
const QString kAdministeredGroupGoneMessage =
    QStringLiteral("El grupo ya no existe en la agenda. Cierre esta ventana y elija otro grupo.");

void setPageBar(QScrollBar *bar, QLabel *label, const picker::PageBar &page)
{
    // The code's own moves of a bar never rebuild its list a second time.
    const QSignalBlocker guard(bar);
    bar->setMaximum(int(page.lastPage));
    bar->setValue(int(page.page));
    label->setText(page.label);
}

QScrollBar *bar(QWidget *parent, const char *name)
{
    auto *b = new QScrollBar(Qt::Horizontal, parent);
    b->setObjectName(QLatin1String(name));
    b->setRange(0, 0);
    b->setPageStep(1);
    return b;
}

QLabel *label(QWidget *parent, const char *name, const QString &text)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    return label;
}

} // namespace

GroupAdminDialog::GroupAdminDialog(db::Connection &connection, ui::Prompter &prompter, ui::BusyCursor &busy, seams::ListViews &listViews,
             QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_connection(connection)
    , m_prompter(prompter)
    , m_busy(busy)
    , m_listViews(listViews)
{
    setObjectName(QStringLiteral("Form6"));
    setWindowTitle(QStringLiteral("Administrar grupo"));

    m_contactList = ui::newListTree(this, "TreeView1", this);
    m_memberList = ui::newListTree(this, "TreeView2", this);
    m_contactPageLabel = label(this, "Pag", QStringLiteral("Página 0 de 0"));
    m_contactPageBar = bar(this, "HScroll1");
    m_memberPageLabel = label(this, "Pag2", QStringLiteral("Página 0 de 0"));
    m_memberPageBar = bar(this, "HScroll2");
    m_notIncludedCheck = new QCheckBox(QStringLiteral("Mostrar no incluidos"), this);
    m_notIncludedCheck->setObjectName(QStringLiteral("Check2"));
    m_closeButton = new QPushButton(QStringLiteral("Cerrar"), this);
    m_closeButton->setObjectName(QStringLiteral("Command2"));
    m_addAllButton = new QPushButton(QStringLiteral("Añadir toda la lista"), this);
    m_addAllButton->setObjectName(QStringLiteral("Command3"));

    m_contactMenu = new QMenu(this);
    m_contactMenu->setObjectName(QStringLiteral("mnurclick_admingrupos_agenda"));
    m_addToGroupAction = m_contactMenu->addAction(QStringLiteral("Agregar contacto al grupo"));
    m_addToGroupAction->setObjectName(QStringLiteral("mnurclick_admingrupos_agenda_agregar"));
    m_removeFromGroupAction = m_contactMenu->addAction(QStringLiteral("Quitar contacto del grupo"));
    m_removeFromGroupAction->setObjectName(QStringLiteral("mnurclick_admingrupos_agenda_quitar"));
    m_memberMenu = new QMenu(this);
    m_memberMenu->setObjectName(QStringLiteral("mnurclick_admingrupos_grupo"));
    m_removeMemberAction = m_memberMenu->addAction(QStringLiteral("Quitar contacto del grupo"));
    m_removeMemberAction->setObjectName(QStringLiteral("mnurclick_admingrupos_grupo_quitar"));
    m_contactPopup.setMenu(m_contactMenu);
    m_memberPopup.setMenu(m_memberMenu);

    auto *header1 = new QHBoxLayout;
    header1->addWidget(label(this, "SkinLabel1", QStringLiteral("Agenda de contactos:")));
    header1->addStretch();
    header1->addWidget(m_notIncludedCheck);
    auto *left = new QVBoxLayout;
    left->addLayout(header1);
    left->addWidget(m_contactList, 1);
    auto *pages1 = new QHBoxLayout;
    pages1->addWidget(m_contactPageLabel);
    pages1->addWidget(m_contactPageBar, 1);
    left->addLayout(pages1);

    auto *right = new QVBoxLayout;
    right->addWidget(label(this, "SkinLabel6", QStringLiteral("Contactos que pertenecen al grupo:")));
    right->addWidget(m_memberList, 1);
    auto *pages2 = new QHBoxLayout;
    pages2->addWidget(m_memberPageLabel);
    pages2->addWidget(m_memberPageBar, 1);
    right->addLayout(pages2);

    auto *listViews2 = new QHBoxLayout;
    listViews2->addLayout(left, 1);
    listViews2->addLayout(right, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_addAllButton);
    buttons->addStretch();
    buttons->addWidget(m_closeButton);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(listViews2, 1);
    layout->addWidget(buildFilterRow());
    layout->addLayout(buttons);
    resize(760, 620);

    connect(m_filterButton, &QPushButton::clicked, this, &GroupAdminDialog::reloadContactList);
    connect(m_notIncludedCheck, &QCheckBox::clicked, this, &GroupAdminDialog::reloadContactList);
    connect(m_contactPageBar, &QScrollBar::valueChanged, this, &GroupAdminDialog::reloadContactList);
    connect(m_memberPageBar, &QScrollBar::valueChanged, this, &GroupAdminDialog::reloadMemberList);
    connect(m_addAllButton, &QPushButton::clicked, this, &GroupAdminDialog::onAddAllClicked);
    connect(m_closeButton, &QPushButton::clicked, this, &QWidget::close);
    connect(m_addToGroupAction, &QAction::triggered, this, &GroupAdminDialog::addMenuContact);
    connect(m_removeFromGroupAction, &QAction::triggered, this, &GroupAdminDialog::removeMenuContact);
    connect(m_removeMemberAction, &QAction::triggered, this, &GroupAdminDialog::removeMenuMember);

    load();
}

GroupAdminDialog::~GroupAdminDialog() = default;

QWidget *GroupAdminDialog::buildFilterRow()
{
    auto *frame = new QGroupBox(QStringLiteral("Filtrado de contactos"), this);
    frame->setObjectName(QStringLiteral("Frame1"));
    m_operatorCombo = new QComboBox(frame);
    m_operatorCombo->setObjectName(QStringLiteral("Combo1"));
    m_fieldCombo = new QComboBox(frame);
    m_fieldCombo->setObjectName(QStringLiteral("Combo2"));
    m_wordsBox = new QLineEdit(frame);
    m_wordsBox->setObjectName(QStringLiteral("Text1"));
    m_groupFilterCheck = new QCheckBox(QStringLiteral("Que pertenezca al grupo:"), frame);
    m_groupFilterCheck->setObjectName(QStringLiteral("Check1"));
    m_groupFilterCombo = new QComboBox(frame);
    m_groupFilterCombo->setObjectName(QStringLiteral("Combo3"));
    m_filterButton = new QPushButton(QStringLiteral("Filtrar"), frame);
    m_filterButton->setObjectName(QStringLiteral("Command1"));

    auto *grid = new QGridLayout(frame);
    grid->addWidget(label(frame, "SkinLabel2", QStringLiteral("Mostrar sólo los que")), 0, 0);
    grid->addWidget(m_operatorCombo, 0, 1);
    grid->addWidget(label(frame, "SkinLabel4", QStringLiteral("la(s) palabra(s)")), 1, 0);
    grid->addWidget(m_wordsBox, 1, 1);
    grid->addWidget(label(frame, "SkinLabel3", QStringLiteral("en el campo")), 2, 0);
    grid->addWidget(m_fieldCombo, 2, 1);
    grid->addWidget(m_groupFilterCheck, 3, 0);
    grid->addWidget(m_groupFilterCombo, 3, 1);
    grid->addWidget(m_filterButton, 4, 1, Qt::AlignRight);
    return frame;
}

void GroupAdminDialog::load()
{
    m_operatorCombo->addItems(picker::operators());
    m_operatorCombo->setCurrentIndex(0);
    m_fieldCombo->addItems(picker::fields());
    m_fieldCombo->setCurrentIndex(0);
}

void GroupAdminDialog::fillGroupCombo()
{
    // Filled once for the loaded window: later openings for another group keep the list.
    if (m_groupFilterCheck->isChecked() || m_groupFilterCombo->count() > 0)
        return;
    db::Result r;
    const QStringList names = otherGroups(m_connection, m_group, &r);
    if (!r.ok())
        return;     // tried again at the next build
    if (names.isEmpty()) {
        m_groupFilterCombo->addItem(QStringLiteral("Ninguno"));
        m_groupFilterCheck->setEnabled(false);
    } else {
        m_groupFilterCombo->addItems(names);
    }
    m_groupFilterCombo->setCurrentIndex(0);
}

void GroupAdminDialog::reloadContactList()
{
    const ui::BusyGuard busy(m_busy, QStringLiteral("Form6"));
    fillGroupCombo();

    const ListPage members = memberPage(m_connection, m_group, m_memberPageBar->value(), m_memberAnchor);
    // Only the bar follows here: the member tree keeps the page it shows, and its anchor.
    if (members.ok)
        setPageBar(m_memberPageBar, m_memberPageLabel, members.pageBar);

    AdminFilter filter;
    filter.operatorIndex = m_operatorCombo->currentIndex();
    filter.fieldIndex = m_fieldCombo->currentIndex();
    filter.words = m_wordsBox->text();
    filter.byGroup = m_groupFilterCheck->isEnabled() && m_groupFilterCheck->isChecked();
    filter.group = m_groupFilterCombo->currentText();
    filter.notIncludedOnly = m_notIncludedCheck->isChecked();
    const AdminCondition condition = contactListCondition(m_connection, m_group, filter);
    if (!condition.where) {
        m_prompter.message(condition.error.isEmpty() ? kReadFailedMessage : condition.error,
                           QLatin1String(picker::kFilterTitle), ui::Icon::Warning);
        return;
    }
    const ListPage book = contactPage(m_connection, m_group, *condition.where, m_contactPageBar->value(), m_contactAnchor);
    if (!book.ok || !members.ok) {
        m_prompter.message(kReadFailedMessage, kTitle, ui::Icon::Warning);
        return;
    }
    m_where = *condition.where;
    m_contactAnchor = book.anchor;
    setPageBar(m_contactPageBar, m_contactPageLabel, book.pageBar);
    picker::fillTree(*m_contactList, book.nodes);
}

void GroupAdminDialog::reloadMemberList()
{
    const ui::BusyGuard busy(m_busy, QStringLiteral("Form6"));
    fillGroupCombo();
    const ListPage members = memberPage(m_connection, m_group, m_memberPageBar->value(), m_memberAnchor);
    if (!members.ok) {
        m_prompter.message(kReadFailedMessage, kTitle, ui::Icon::Warning);
        return;
    }
    m_memberAnchor = members.anchor;
    setPageBar(m_memberPageBar, m_memberPageLabel, members.pageBar);
    picker::fillTree(*m_memberList, members.nodes);
}

void GroupAdminDialog::refresh()
{
    m_listViews.refreshGroupList();
    reloadContactList();
    reloadMemberList();
}

void GroupAdminDialog::onAddAllClicked()
{
    std::optional<ui::BusyGuard> busy(std::in_place, m_busy, QStringLiteral("Form6"));
    if (m_where.isEmpty())
        return;     // the contact list has not been loaded yet
    const ChangeResult r = addWholeList(m_connection, m_group, m_where);
    switch (r.status) {
    case ChangeOutcome::Done:
        refresh();
        return;
    case ChangeOutcome::Unchanged:
        busy.reset();
        m_prompter.message(QStringLiteral("No se ha agregado ningún contacto nuevo"));
        return;
    case ChangeOutcome::GroupGone:
        busy.reset();
        m_prompter.message(kAdministeredGroupGoneMessage, kTitle, ui::Icon::Warning);
        return;
    case ChangeOutcome::ContactGone:
    case ChangeOutcome::Error:
        busy.reset();
        m_prompter.message(kWriteFailedMessage, kTitle, ui::Icon::Warning);
        return;
    }
}

bool GroupAdminDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress) {
        QTreeWidget *tree = watched == m_contactList->viewport()   ? m_contactList
                             : watched == m_memberList->viewport() ? m_memberList
                                                                  : nullptr;
        if (tree) {
            auto *mouse = static_cast<QMouseEvent *>(event);
            openPopupMenu(tree, mouse->button(), mouse->position().toPoint(),
                               mouse->globalPosition().toPoint());
            return mouse->button() == Qt::RightButton;
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool GroupAdminDialog::openPopupMenu(QTreeWidget *tree, Qt::MouseButton button, QPoint pos, QPoint globalPos)
{
    QTreeWidgetItem *found = picker::nodeAt(*tree, pos);
    if (found)
        tree->setCurrentItem(found);
    const QTreeWidgetItem *selected = picker::selectedNode(*tree);
    if (button != Qt::RightButton || !found || !selected)
        return false;
    const std::optional<qint64> contact = sidFromKey(picker::nodeKey(selected));
    if (!contact)
        return false;
    const QString key = picker::nodeKey(selected);
    if (tree == m_memberList) {
        m_memberPopup.popup(key, globalPos);
        return true;
    }
    const std::optional<bool> member = contactInGroup(m_connection, m_group, *contact);
    if (!member)
        return false;
    m_removeFromGroupAction->setEnabled(*member);
    m_addToGroupAction->setEnabled(!*member);
    m_contactPopup.popup(key, globalPos);
    return true;
}

void GroupAdminDialog::changeMembership(const QString &key, bool adding)
{
    const std::optional<qint64> contact = sidFromKey(key);
    if (!contact)
        return;
    const ChangeResult r = adding ? addContact(m_connection, m_group, *contact)
                                      : removeContact(m_connection, m_group, *contact);
    switch (r.status) {
    case ChangeOutcome::Done:
    case ChangeOutcome::Unchanged:
        refresh();
        return;
    case ChangeOutcome::ContactGone:
        // Deleted since the menu opened: the lists catch up, no other contact is touched.
        refresh();
        return;
    case ChangeOutcome::GroupGone:
        m_prompter.message(kAdministeredGroupGoneMessage, kTitle, ui::Icon::Warning);
        return;
    case ChangeOutcome::Error:
        m_prompter.message(kWriteFailedMessage, kTitle, ui::Icon::Warning);
        return;
    }
}

void GroupAdminDialog::addMenuContact()
{
    changeMembership(m_contactPopup.key(), true);
}

void GroupAdminDialog::removeMenuContact()
{
    changeMembership(m_contactPopup.key(), false);
}

void GroupAdminDialog::removeMenuMember()
{
    changeMembership(m_memberPopup.key(), false);
}

} // namespace contacts::groups
