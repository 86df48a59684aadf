#include "contacts/picker/contact_picker_dialog.h"

#include "contacts/picker/contact_tree.h"
#include "contacts/picker/picker_list.h"
#include "contacts/picker/recipient_adder.h"
#include "contacts/picker/recipients_box.h"
#include "platform/ui/busy_cursor.h"
#include "platform/ui/prompter.h"

#include "platform/ui/list_tree.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace contacts::picker {

namespace {

const QString kBookTitle = QStringLiteral("Agenda");
const QString kReadFailedMessage =
    QStringLiteral("No se pudo leer la agenda de la base de datos. Inténtelo de nuevo en unos momentos.");

} // namespace

ContactPickerDialog::ContactPickerDialog(db::Connection &connection, ui::Prompter &prompter, ui::BusyCursor &busy, RecipientsBox &box,
             QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_connection(connection)
    , m_prompter(prompter)
    , m_busy(busy)
    , m_recipients(box)
{
    setObjectName(QStringLiteral("Form7"));
    setWindowTitle(QStringLiteral("Enviar SMS - Agenda"));

    m_bookList = ui::newListTree(this, "TreeView1", this);

    m_pageLabel = new QLabel(QStringLiteral("Página 10000 de 10000"), this);
    m_pageLabel->setObjectName(QStringLiteral("Pag"));
    m_pageBar = new QScrollBar(Qt::Horizontal, this);
    m_pageBar->setObjectName(QStringLiteral("HScroll1"));
    m_pageBar->setRange(0, 0);
    m_pageBar->setPageStep(1);

    m_closeButton = new QPushButton(QStringLiteral("Cerrar"), this);
    m_closeButton->setObjectName(QStringLiteral("Command2"));
    m_closeAfterPickCheck = new QCheckBox(QStringLiteral("Cerrar tras seleccionar."), this);
    m_closeAfterPickCheck->setObjectName(QStringLiteral("Check2"));

    m_pickMenu = new QMenu(this);
    m_pickMenu->setObjectName(QStringLiteral("mnurclick_enviaragenda"));
    m_pickAction = m_pickMenu->addAction(QStringLiteral("Añadir contacto al envío"));
    m_pickAction->setObjectName(QStringLiteral("mnurclick_enviaragenda_seleccionar"));
    m_pickAndCloseAction = m_pickMenu->addAction(QStringLiteral("Añadir y cerrar ventana"));
    m_pickAndCloseAction->setObjectName(QStringLiteral("mnurclick_enviaragenda_seleccionarycerrar"));
    m_contactMenu.setMenu(m_pickMenu);

    auto *pages = new QHBoxLayout;
    pages->addWidget(m_pageLabel);
    pages->addWidget(m_pageBar, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_closeAfterPickCheck);
    buttons->addStretch();
    buttons->addWidget(m_closeButton);

    auto *layout = new QVBoxLayout(this);
    auto *title = new QLabel(QStringLiteral("Seleccionar destinatarios:"), this);
    title->setObjectName(QStringLiteral("SkinLabel1"));
    layout->addWidget(title);
    layout->addWidget(m_bookList, 1);
    layout->addLayout(pages);
    layout->addWidget(buildFilterRow());
    layout->addLayout(buttons);
    resize(460, 560);

    connect(m_pageBar, &QScrollBar::valueChanged, this, &ContactPickerDialog::onPageChanged);
    connect(m_filterButton, &QPushButton::clicked, this, &ContactPickerDialog::applyFilter);
    connect(m_closeButton, &QPushButton::clicked, this, &ContactPickerDialog::onCloseClicked);
    connect(m_showAllButton, &QPushButton::clicked, this, &ContactPickerDialog::showAll);
    connect(m_pickAction, &QAction::triggered, this, &ContactPickerDialog::pickMenuNode);
    connect(m_pickAndCloseAction, &QAction::triggered, this, &ContactPickerDialog::pickMenuNodeAndClose);

    load();
}

ContactPickerDialog::~ContactPickerDialog() = default;

QWidget *ContactPickerDialog::buildFilterRow()
{
    m_filterFrame = new QGroupBox(QStringLiteral("Filtrado de contactos"), this);
    m_filterFrame->setObjectName(QStringLiteral("Frame1"));
    m_operatorCombo = new QComboBox(m_filterFrame);
    m_operatorCombo->setObjectName(QStringLiteral("Combo1"));
    m_fieldCombo = new QComboBox(m_filterFrame);
    m_fieldCombo->setObjectName(QStringLiteral("Combo2"));
    m_wordsBox = new QLineEdit(m_filterFrame);
    m_wordsBox->setObjectName(QStringLiteral("Text1"));
    m_groupFilterCheck = new QCheckBox(QStringLiteral("Que pertenezca al grupo:"), m_filterFrame);
    m_groupFilterCheck->setObjectName(QStringLiteral("Check1"));
    m_groupFilterCombo = new QComboBox(m_filterFrame);
    m_groupFilterCombo->setObjectName(QStringLiteral("Combo3"));
    m_filterButton = new QPushButton(QStringLiteral("Filtrar"), m_filterFrame);
    m_filterButton->setObjectName(QStringLiteral("Command1"));
    m_showAllButton = new QPushButton(QStringLiteral("Mostrar todos"), m_filterFrame);
    m_showAllButton->setObjectName(QStringLiteral("Command3"));

    auto *grid = new QGridLayout(m_filterFrame);
    auto label = [this](const char *name, const QString &text) {
        auto *label = new QLabel(text, m_filterFrame);
        label->setObjectName(QLatin1String(name));
        return label;
    };
    grid->addWidget(label("SkinLabel2", QStringLiteral("Mostrar sólo los que")), 0, 0);
    grid->addWidget(m_operatorCombo, 0, 1);
    grid->addWidget(label("SkinLabel4", QStringLiteral("la(s) palabra(s)")), 1, 0);
    grid->addWidget(m_wordsBox, 1, 1);
    grid->addWidget(label("SkinLabel3", QStringLiteral("en el campo")), 2, 0);
    grid->addWidget(m_fieldCombo, 2, 1);
    grid->addWidget(m_groupFilterCheck, 3, 0);
    grid->addWidget(m_groupFilterCombo, 3, 1);
    auto *actions = new QHBoxLayout;
    actions->addStretch();
    actions->addWidget(m_showAllButton);
    actions->addWidget(m_filterButton);
    grid->addLayout(actions, 4, 0, 1, 2);
    return m_filterFrame;
}

void ContactPickerDialog::load()
{
    m_operatorCombo->addItems(operators());
    m_operatorCombo->setCurrentIndex(0);
    m_fieldCombo->addItems(fields());
    m_fieldCombo->setCurrentIndex(0);

    db::Result r;
    const QStringList groups = groupNames(m_connection, &r);
    m_groupFilterCombo->clear();
    if (groups.isEmpty()) {
        // A failed read is passed over like any step of the load: the group filter is just off.
        m_groupFilterCombo->addItem(QStringLiteral("Ninguno"));
        m_groupFilterCheck->setEnabled(false);
    } else {
        m_groupFilterCombo->addItems(groups);
    }
    m_groupFilterCombo->setCurrentIndex(0);
    m_condition.reset();
}

void ContactPickerDialog::refreshList()
{
    const ui::BusyGuard busy(m_busy, QStringLiteral("Form7"));
    const PickerPage page = pickerPage(m_connection, m_condition, m_pageBar->value(), m_shownPage);
    if (!page.ok) {
        m_prompter.message(kReadFailedMessage, kBookTitle, ui::Icon::Warning);
        return;
    }
    m_shownPage = page.anchor;
    {
        // The code's own moves of the bar never redraw the list a second time.
        const QSignalBlocker guard(m_pageBar);
        m_pageBar->setMaximum(int(page.pageBar.lastPage));
        m_pageBar->setValue(int(page.pageBar.page));
    }
    m_pageLabel->setText(page.pageBar.label);
    fillTree(*m_bookList, page.nodes);
}

void ContactPickerDialog::onPageChanged()
{
    refreshList();
}

void ContactPickerDialog::applyFilter()
{
    PickerFilter filter;
    filter.operatorIndex = m_operatorCombo->currentIndex();
    filter.fieldIndex = m_fieldCombo->currentIndex();
    filter.words = m_wordsBox->text();
    filter.byGroup = m_groupFilterCheck->isEnabled() && m_groupFilterCheck->isChecked();
    filter.group = m_groupFilterCombo->currentText();
    const PickerCondition c = pickerCondition(m_connection, filter);
    if (!c.condition) {
        m_prompter.message(c.error.isEmpty() ? kReadFailedMessage : c.error, QLatin1String(kFilterTitle),
                           ui::Icon::Warning);
        return;
    }
    m_condition = c.condition;
    refreshList();
}

void ContactPickerDialog::showAll()
{
    m_operatorCombo->setCurrentIndex(0);
    m_fieldCombo->setCurrentIndex(0);
    m_wordsBox->clear();
    m_condition.reset();
    refreshList();
}

void ContactPickerDialog::onCloseClicked()
{
    m_bookList->clear();
    m_condition.reset();
    close();
}

bool ContactPickerDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (const auto press = ui::pressOn(*m_bookList, watched, event)) {
        openPopupMenu(press->button, press->pos, press->globalPos);
        return press->button == Qt::RightButton;
    }
    return QWidget::eventFilter(watched, event);
}

bool ContactPickerDialog::openPopupMenu(Qt::MouseButton button, QPoint pos, QPoint globalPos)
{
    QTreeWidgetItem *found = nodeAt(*m_bookList, pos);
    if (found)
        m_bookList->setCurrentItem(found);
    const QTreeWidgetItem *selected = selectedNode(*m_bookList);
    if (button != Qt::RightButton || !found || !selected
        || nodeKey(selected) == QLatin1String(kEmptyKey))
        return false;
    m_menuText = selected->text(0);
    m_contactMenu.popup(nodeKey(selected), globalPos);
    return true;
}

void ContactPickerDialog::pickMenuNode()
{
    const QString key = m_contactMenu.key();
    if (!key.isEmpty() && key != QLatin1String(kEmptyKey))
        addRecipient(key, m_menuText);
    if (m_closeAfterPickCheck->isChecked())
        close();
}

void ContactPickerDialog::pickMenuNodeAndClose()
{
    const QString key = m_contactMenu.key();
    if (key.isEmpty() || key == QLatin1String(kEmptyKey))
        return;
    addRecipient(key, m_menuText);
    close();
}

void ContactPickerDialog::addRecipient(const QString &key, const QString &text)
{
    std::optional<ui::BusyGuard> busy(std::in_place, m_busy, QStringLiteral("Form7"));
    const Pick pick = pickFromNode(m_connection, key, text);
    if (pick.lastCaption)
        m_recipients.setLastPick(*pick.lastCaption);
    const Addition addition = addNumbers({m_recipients.text(), m_recipients.tag()}, pick.numbers);
    if (addition.changed())
        m_recipients.write(addition.box.text, addition.box.tag);
    busy.reset();
    m_recipients.disableSend();
    if (!pick.ok)
        m_prompter.message(kReadFailedMessage, kBookTitle, ui::Icon::Warning);
}

void ContactPickerDialog::closeEvent(QCloseEvent *event)
{
    m_operatorCombo->setCurrentIndex(0);
    m_fieldCombo->setCurrentIndex(0);
    m_condition.reset();
    m_wordsBox->clear();
    // Every way out ("Cerrar", the close box, an add-and-close) leaves the recipients box as
    // losing the focus does: the picked numbers are cleaned and quoted, and "Enviar SMS" comes
    // back with the quote.
    m_recipients.leaveRecipients();
    QWidget::closeEvent(event);
}

} // namespace contacts::picker
