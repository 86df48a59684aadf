#include "history/view/history_panel.h"

#include "platform/text/node_key.h"

#include <QAction>
#include <QActionGroup>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <array>

namespace history {

namespace {

constexpr int kKeyRole = Qt::UserRole;

// The old client probed the pointer's line at these distances from the left edge (in twips, 15
// to a pixel) so that a click beside a short node still finds it.
constexpr std::array<int, 6> kProbeTwips{400, 800, 1200, 1600, 2000, 2400};
constexpr int kTwipsPerPixel = 15;

// Where the sends' colours read: the bright greens and oranges of the delivery states vanish on
// white, so the tree is drawn dark.
const QColor kTreeBase(0x23, 0x2b, 0x33);
const QColor kTreeText(0xe8, 0xe8, 0xe8);

// The pictures of the old image list, by their position: 1 a class folder, 5 a value, 6 several
// recipients, 7 one recipient, 10 a send.
QIcon imageFor(const QStyle *style, int image)
{
    switch (image) {
    case 1: return style->standardIcon(QStyle::SP_DirIcon);
    case 5: return style->standardIcon(QStyle::SP_FileIcon);
    case 6: return style->standardIcon(QStyle::SP_FileDialogListView);
    case 7: return style->standardIcon(QStyle::SP_FileDialogInfoView);
    case 10: return style->standardIcon(QStyle::SP_FileDialogDetailedView);
    default: return {};
    }
}

// The recipient classes of the submenus, with the key prefix each acts on.
// The leaves are named after the class's item prefix and the action ("..._pendientes_grupo").
struct ClassSubmenu {
    const char *object;
    const char *caption;
    const char *recipientClass;
    const char *leafPrefix;
};
constexpr std::array<ClassSubmenu, 4> kClasses{{
    {"mnurclick_listado_historial_destinatarios_todos", "Todos", "Destinatarios",
     "mnurclick_listado_historial_destinatarios_todos"},
    {"mnurclick_listado_historial_destinatarios_confirmados", "Confirmados", "Recibidos",
     "mnurclick_listado_historial_destinatarios_confirmados"},
    {"mnurclick_listado_historial_destinatarios_sinconfirmar", "Sin confirmar", "Pendientes",
     "mnurclick_listado_historial_destinatarios_pendientes"},
    {"mnurclick_listado_historial_destinatarios_fallidos", "Fallidos", "Fallidos",
     "mnurclick_listado_historial_destinatarios_fallidos"},
}};
struct ActionLeaf {
    const char *caption;
    const char *suffix;
};
constexpr std::array<ActionLeaf, 5> kRecipientActions{{
    {"Filtrar contactos", "filtrar"},
    {"Crear grupo", "grupo"},
    {"Copiar al portapapeles", "portapapeles"},
    {"Añadir a 'Enviar a'", "enviar"},
    {"Exportar teléfonos a Excel", "excel"},
}};

} // namespace

HistoryPanel::HistoryPanel(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("picOptions1"));
    buildView();
    buildFilterPanel();
    buildMenu();

    auto *top = new QHBoxLayout;
    top->addWidget(m_showNamesCheck);
    top->addSpacing(12);
    top->addWidget(m_filterCheck);
    top->addWidget(m_filterPanelButton);
    top->addStretch(1);

    auto *middle = new QHBoxLayout;
    middle->addWidget(m_tree, 1);
    middle->addWidget(m_filterFrame);

    auto *pages = new QHBoxLayout;
    pages->addWidget(m_pageBar, 1);
    pages->addWidget(m_label);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(top);
    layout->addLayout(middle, 1);
    layout->addLayout(pages);
}

HistoryPanel::~HistoryPanel() = default;

void HistoryPanel::buildView()
{
    m_tree = new QTreeWidget(this);
    m_tree->setObjectName(QStringLiteral("TreeView3"));
    m_tree->setHeaderHidden(true);
    m_tree->setColumnCount(1);
    m_tree->setUniformRowHeights(true);
    m_tree->setContextMenuPolicy(Qt::CustomContextMenu);
    m_tree->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_tree->header()->setStretchLastSection(false);
    QPalette palette = m_tree->palette();
    palette.setColor(QPalette::Base, kTreeBase);
    palette.setColor(QPalette::AlternateBase, kTreeBase);
    palette.setColor(QPalette::Text, kTreeText);
    m_tree->setPalette(palette);
    connect(m_tree, &QWidget::customContextMenuRequested, this, &HistoryPanel::onRightClick);
    connect(m_tree, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem *item) { onDoubleClick(item); });

    m_pageBar = new QScrollBar(Qt::Horizontal, this);
    m_pageBar->setObjectName(QStringLiteral("HScroll1_Historial"));
    m_pageBar->setRange(0, 0);
    m_pageBar->setPageStep(1);

    m_label = new QLabel(QStringLiteral("Página 1 de 1"), this);
    m_label->setObjectName(QStringLiteral("Pag_Historial"));
    m_label->setMinimumWidth(m_label->fontMetrics().horizontalAdvance(QStringLiteral("Página 0000 de 0000")) + 8);
    m_label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    m_showNamesCheck = new QCheckBox(QStringLiteral("Mostrar nombres"), this);
    m_showNamesCheck->setObjectName(QStringLiteral("Check1"));
    m_filterCheck = new QCheckBox(QStringLiteral("Filtrar"), this);
    m_filterCheck->setObjectName(QStringLiteral("Check5"));
    m_filterPanelButton = new QToolButton(this);
    m_filterPanelButton->setObjectName(QStringLiteral("Image8"));
    m_filterPanelButton->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
    m_filterPanelButton->setToolTip(QStringLiteral("Filtrar historial"));
    m_filterPanelButton->setAutoRaise(true);
}

void HistoryPanel::buildFilterPanel()
{
    m_filterFrame = new QGroupBox(QStringLiteral("Filtrar historial"), this);
    m_filterFrame->setObjectName(QStringLiteral("Frame3"));
    m_filterFrame->setVisible(false);

    const auto box = [this](const char *name, const QString &text) {
        auto *edit = new QLineEdit(text, m_filterFrame);
        edit->setObjectName(QString::fromLatin1(name));
        return edit;
    };
    const auto check = [this](const char *name, const QString &caption) {
        auto *c = new QCheckBox(caption, m_filterFrame);
        c->setObjectName(QString::fromLatin1(name));
        return c;
    };
    m_byDateCheck = check("Check6", QStringLiteral("Enviado entre"));
    m_fromDateBox = box("Text8", QStringLiteral("2000-01-01"));
    m_toDateBox = box("Text9", QStringLiteral("2050-01-01"));
    m_byPhoneCheck = check("Check7", QStringLiteral("Enviado al teléfono"));
    m_phoneBox = box("RichTextBox1", {});
    m_byTextCheck = check("Check8", QStringLiteral("El texto debe incluir"));
    m_messageTextBox = box("Text10", {});
    m_applyFilterButton = new QPushButton(QStringLiteral("Filtrar"), m_filterFrame);
    m_applyFilterButton->setObjectName(QStringLiteral("Command4"));
    m_closeFilterButton = new QPushButton(QStringLiteral("Cerrar"), m_filterFrame);
    m_closeFilterButton->setObjectName(QStringLiteral("Command5"));

    m_fromCalendar = new QCalendarWidget(m_filterFrame);
    m_fromCalendar->setObjectName(QStringLiteral("MonthView1"));
    m_fromCalendar->setSelectedDate(QDate(2000, 1, 1));
    m_fromCalendar->setVisible(false);
    m_toCalendar = new QCalendarWidget(m_filterFrame);
    m_toCalendar->setObjectName(QStringLiteral("MonthView2"));
    m_toCalendar->setVisible(false);
    for (QCalendarWidget *calendar : {m_fromCalendar, m_toCalendar})
        calendar->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);

    // The calendars only help to fill the boxes; the dates apply at the next "Filtrar".
    connect(m_fromCalendar, &QCalendarWidget::selectionChanged, this, [this] {
        m_fromDateBox->setText(m_fromCalendar->selectedDate().toString(QStringLiteral("yyyy-MM-dd")));
    });
    connect(m_toCalendar, &QCalendarWidget::selectionChanged, this, [this] {
        m_toDateBox->setText(m_toCalendar->selectedDate().toString(QStringLiteral("yyyy-MM-dd")));
    });
    connect(m_fromCalendar, &QCalendarWidget::activated, m_fromCalendar, &QWidget::hide);
    connect(m_toCalendar, &QCalendarWidget::activated, m_toCalendar, &QWidget::hide);
    // A click in a date box opens its calendar; leaving the phone box empty drops its criterion.
    for (QLineEdit *edit : {m_fromDateBox, m_toDateBox, m_phoneBox})
        edit->installEventFilter(this);

    auto *grid = new QGridLayout;
    grid->addWidget(m_byDateCheck, 0, 0, 1, 2);
    grid->addWidget(m_fromDateBox, 1, 0);
    grid->addWidget(m_toDateBox, 1, 1);
    grid->addWidget(m_byPhoneCheck, 2, 0, 1, 2);
    grid->addWidget(m_phoneBox, 3, 0, 1, 2);
    grid->addWidget(m_byTextCheck, 4, 0, 1, 2);
    grid->addWidget(m_messageTextBox, 5, 0, 1, 2);
    grid->addWidget(m_applyFilterButton, 6, 0);
    grid->addWidget(m_closeFilterButton, 6, 1);

    auto *layout = new QVBoxLayout(m_filterFrame);
    layout->addLayout(grid);
    layout->addWidget(m_fromCalendar);
    layout->addWidget(m_toCalendar);
    layout->addStretch(1);
}

void HistoryPanel::buildMenu()
{
    m_menu = new QMenu(QStringLiteral("rclick_listado_historial"), this);
    m_menu->setObjectName(QStringLiteral("mnurclick_listado_historial"));
    m_contactMenu.setMenu(m_menu);
    const auto item = [](QMenu *menu, const char *name, const QString &caption) {
        QAction *a = menu->addAction(caption);
        a->setObjectName(QString::fromLatin1(name));
        return a;
    };

    QMenu *recipientsMenu = m_menu->addMenu(QStringLiteral("Seleccionar destinatarios"));
    recipientsMenu->menuAction()->setObjectName(QStringLiteral("mnurclick_listado_historial_destinatarios"));
    for (const ClassSubmenu &c : kClasses) {
        QMenu *sub = recipientsMenu->addMenu(QString::fromUtf8(c.caption));
        sub->menuAction()->setObjectName(QString::fromLatin1(c.object));
        for (int action = 0; action < int(kRecipientActions.size()); ++action) {
            const ActionLeaf &leaf = kRecipientActions[std::size_t(action)];
            QAction *a = sub->addAction(QString::fromUtf8(leaf.caption));
            a->setObjectName(QString::fromLatin1(c.leafPrefix) + QLatin1Char('_') + QString::fromLatin1(leaf.suffix));
            a->setData(action);
            a->setEnabled(false);
            m_recipientItems.append(a);
            const QString recipientClass = QString::fromLatin1(c.recipientClass);
            connect(a, &QAction::triggered, this, [this, recipientClass, action] {
                if (!recipientActionAvailable(action))
                    return;
                if (const std::optional<qint64> sid = sidFromKey(m_contactMenu.key()))
                    Q_EMIT recipientsRequested(*sid, recipientClass, action);
            });
        }
    }
    item(m_menu, "mnurclick_listado_historial_Actualizar", QStringLiteral("Actualizar confirmación"));
    item(m_menu, "mnurclick_listado_historial_eliminar", QStringLiteral("Eliminar registro"));
    item(m_menu, "mnurclick_listado_historial_cancelar", QStringLiteral("Cancelar envío"));
    m_menu->addSeparator()->setObjectName(QStringLiteral("mnusep1"));
    item(m_menu, "mnurclick_listado_historial_cancelar_todos", QStringLiteral("Cancelar todos"))->setEnabled(false);
    item(m_menu, "mnurclick_listado_historial_eliminar_todos", QStringLiteral("Eliminar todos (enviados)"))
        ->setEnabled(false);
    m_menu->addSeparator()->setObjectName(QStringLiteral("mnusep2"));
    QMenu *viewMenu = m_menu->addMenu(QStringLiteral("Ver"));
    viewMenu->menuAction()->setObjectName(QStringLiteral("mnurclick_listado_historial_ver"));
    m_viewGroup = new QActionGroup(this);
    m_viewGroup->setExclusive(true);
    const QString captions[] = {QStringLiteral("Todos"), QStringLiteral("Enviados"), QStringLiteral("Programados")};
    for (int i = 0; i < 3; ++i) {
        QAction *a = viewMenu->addAction(captions[i]);
        a->setObjectName(QStringLiteral("mnurclick_listado_historial_ver_options_%1").arg(i));
        a->setCheckable(true);
        a->setChecked(i == 0);
        a->setData(i);
        m_viewGroup->addAction(a);
    }
}

QAction *HistoryPanel::menuItem(const QString &name) const
{
    // Items, separators and the submenus' own entries are all children of the popup menu.
    return m_menu->findChild<QAction *>(name);
}

int HistoryPanel::viewIndex() const
{
    QAction *checked = m_viewGroup->checkedAction();
    return checked ? checked->data().toInt() : 0;
}

QAction *HistoryPanel::viewOption(int index) const
{
    const QList<QAction *> options = m_viewGroup->actions();
    return index >= 0 && index < options.size() ? options.at(index) : nullptr;
}

void HistoryPanel::showPage(const HistoryPage &page)
{
    menuItem(QStringLiteral("mnurclick_listado_historial_cancelar_todos"))->setEnabled(page.canCancelAll);
    menuItem(QStringLiteral("mnurclick_listado_historial_eliminar_todos"))->setEnabled(page.canDeleteAllSent);

    m_tree->setUpdatesEnabled(false);
    m_tree->clear();
    QHash<QString, QTreeWidgetItem *> byKey;
    // One icon per picture for the whole page: nodes that share it draw (and decode) it once.
    QHash<int, QIcon> icons;
    for (const HistoryNode &node : page.nodes) {
        QTreeWidgetItem *parent = node.parentKey.isEmpty() ? nullptr : byKey.value(node.parentKey);
        auto *item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(m_tree);
        item->setText(0, node.text);
        item->setData(0, kKeyRole, node.key);
        if (node.image > 0) {
            auto icon = icons.find(node.image);
            if (icon == icons.end())
                icon = icons.insert(node.image, imageFor(style(), node.image));
            item->setIcon(0, *icon);
        }
        if (node.colour != Colour::None)
            item->setForeground(0, QColor::fromRgb(rgb(node.colour)));
        byKey.insert(node.key, item);
    }
    m_tree->setUpdatesEnabled(true);

    {
        const QSignalBlocker guard(m_pageBar);
        m_pageBar->setMaximum(int(page.lastPage));
        m_pageBar->setValue(int(page.page));
    }
    m_label->setText(page.label);
}

QString HistoryPanel::selectedKey() const
{
    const QTreeWidgetItem *item = m_tree->currentItem();
    return item ? item->data(0, kKeyRole).toString() : QString();
}

QTreeWidgetItem *HistoryPanel::itemForKey(const QString &key) const
{
    for (QTreeWidgetItemIterator it(m_tree); *it; ++it) {
        if ((*it)->data(0, kKeyRole).toString() == key)
            return *it;
    }
    return nullptr;
}

bool HistoryPanel::selectKey(const QString &key)
{
    QTreeWidgetItem *item = itemForKey(key);
    if (item)
        m_tree->setCurrentItem(item);
    return item != nullptr;
}

void HistoryPanel::prepareRowMenu(const RowMenu &menu)
{
    for (const char *name : {"mnurclick_listado_historial_destinatarios", "mnurclick_listado_historial_Actualizar",
                             "mnurclick_listado_historial_eliminar", "mnurclick_listado_historial_cancelar", "mnusep1"})
        menuItem(QString::fromLatin1(name))->setVisible(true);
    menuItem(QStringLiteral("mnurclick_listado_historial_cancelar"))->setEnabled(menu.canCancel);
    menuItem(QStringLiteral("mnurclick_listado_historial_eliminar"))->setEnabled(menu.canDelete);
    menuItem(QStringLiteral("mnurclick_listado_historial_Actualizar"))->setEnabled(true);
    menuItem(QStringLiteral("mnurclick_listado_historial_destinatarios"))->setEnabled(menu.canSelectRecipients);
    menuItem(QStringLiteral("mnurclick_listado_historial_destinatarios_confirmados"))->setEnabled(menu.hasConfirmed);
    menuItem(QStringLiteral("mnurclick_listado_historial_destinatarios_fallidos"))->setEnabled(menu.hasFailed);
    menuItem(QStringLiteral("mnurclick_listado_historial_destinatarios_sinconfirmar"))->setEnabled(menu.hasUnconfirmed);
}

void HistoryPanel::prepareEmptyAreaMenu()
{
    for (const char *name : {"mnurclick_listado_historial_destinatarios", "mnurclick_listado_historial_Actualizar",
                             "mnurclick_listado_historial_eliminar", "mnurclick_listado_historial_cancelar", "mnusep1"})
        menuItem(QString::fromLatin1(name))->setVisible(false);
}

void HistoryPanel::popupMenu(const QString &key, const QPoint &globalPos)
{
    m_contactMenu.popup(key, globalPos);
}

void HistoryPanel::setRecipientActionAvailable(int action, bool available)
{
    if (action < 0 || action >= int(m_recipientActions.size()))
        return;
    m_recipientActions[std::size_t(action)] = available;
    for (QAction *a : std::as_const(m_recipientItems)) {
        if (a->data().toInt() == action)
            a->setEnabled(available);
    }
}

bool HistoryPanel::recipientActionAvailable(int action) const
{
    return action >= 0 && action < int(m_recipientActions.size()) && m_recipientActions[std::size_t(action)];
}

void HistoryPanel::hideFilterPanel()
{
    m_filterFrame->hide();
    m_fromCalendar->hide();
    m_toCalendar->hide();
}

void HistoryPanel::onRightClick(const QPoint &pos)
{
    QTreeWidgetItem *item = m_tree->itemAt(pos);
    for (std::size_t i = 0; !item && i < kProbeTwips.size(); ++i)
        item = m_tree->itemAt(QPoint(kProbeTwips[i] / kTwipsPerPixel, pos.y()));
    if (item)
        m_tree->setCurrentItem(item);
    const QString key = item ? item->data(0, kKeyRole).toString() : QString();
    Q_EMIT contextRequested(key, m_tree->viewport()->mapToGlobal(pos));
}

void HistoryPanel::onDoubleClick(QTreeWidgetItem *item)
{
    const QString key = item ? item->data(0, kKeyRole).toString() : QString();
    const std::optional<qint64> sid = sidFromKey(key);
    // A double click filters the contacts by the recipients, like the first recipient action.
    if (!sid || !recipientActionAvailable(0))
        return;
    const QString recipientClass = text::nodeKeyPrefix(key).trimmed().toString();
    Q_EMIT recipientsDoubleClicked(*sid, recipientClass);
}

void HistoryPanel::openToCalendar()
{
    // The second calendar starts at today the first time it opens, then keeps the user's month.
    if (!m_toCalendarOpened) {
        m_toCalendarOpened = true;
        const QSignalBlocker quiet(m_toCalendar);
        m_toCalendar->setSelectedDate(QDate::currentDate());
    }
    m_fromCalendar->hide();
    m_toCalendar->show();
}

bool HistoryPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress) {
        if (watched == m_fromDateBox) {
            m_toCalendar->hide();
            m_fromCalendar->show();
        } else if (watched == m_toDateBox) {
            openToCalendar();
        }
    } else if (event->type() == QEvent::FocusOut && watched == m_phoneBox) {
        if (m_phoneBox->text().trimmed().isEmpty())
            m_byPhoneCheck->setChecked(false);
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace history
