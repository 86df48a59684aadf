#include "history/view/history_panel.h"

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
    top->addWidget(m_check1);
    top->addSpacing(12);
    top->addWidget(m_check5);
    top->addWidget(m_image8);
    top->addStretch(1);

    auto *middle = new QHBoxLayout;
    middle->addWidget(m_tree, 1);
    middle->addWidget(m_frame3);

    auto *pages = new QHBoxLayout;
    pages->addWidget(m_scroll, 1);
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

    m_scroll = new QScrollBar(Qt::Horizontal, this);
    m_scroll->setObjectName(QStringLiteral("HScroll1_Historial"));
    m_scroll->setRange(0, 0);
    m_scroll->setPageStep(1);

    m_label = new QLabel(QStringLiteral("Página 1 de 1"), this);
    m_label->setObjectName(QStringLiteral("Pag_Historial"));
    m_label->setMinimumWidth(m_label->fontMetrics().horizontalAdvance(QStringLiteral("Página 0000 de 0000")) + 8);
    m_label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    m_check1 = new QCheckBox(QStringLiteral("Mostrar nombres"), this);
    m_check1->setObjectName(QStringLiteral("Check1"));
    m_check5 = new QCheckBox(QStringLiteral("Filtrar"), this);
    m_check5->setObjectName(QStringLiteral("Check5"));
    m_image8 = new QToolButton(this);
    m_image8->setObjectName(QStringLiteral("Image8"));
    m_image8->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
    m_image8->setToolTip(QStringLiteral("Filtrar historial"));
    m_image8->setAutoRaise(true);
}

void HistoryPanel::buildFilterPanel()
{
    m_frame3 = new QGroupBox(QStringLiteral("Filtrar historial"), this);
    m_frame3->setObjectName(QStringLiteral("Frame3"));
    m_frame3->setVisible(false);

    const auto box = [this](const char *name, const QString &text) {
        auto *edit = new QLineEdit(text, m_frame3);
        edit->setObjectName(QString::fromLatin1(name));
        return edit;
    };
    const auto check = [this](const char *name, const QString &caption) {
        auto *c = new QCheckBox(caption, m_frame3);
        c->setObjectName(QString::fromLatin1(name));
        return c;
    };
    m_check6 = check("Check6", QStringLiteral("Enviado entre"));
    m_text8 = box("Text8", QStringLiteral("2000-01-01"));
    m_text9 = box("Text9", QStringLiteral("2050-01-01"));
    m_check7 = check("Check7", QStringLiteral("Enviado al teléfono"));
    m_richTextBox1 = box("RichTextBox1", {});
    m_check8 = check("Check8", QStringLiteral("El texto debe incluir"));
    m_text10 = box("Text10", {});
    m_command4 = new QPushButton(QStringLiteral("Filtrar"), m_frame3);
    m_command4->setObjectName(QStringLiteral("Command4"));
    m_command5 = new QPushButton(QStringLiteral("Cerrar"), m_frame3);
    m_command5->setObjectName(QStringLiteral("Command5"));

    m_monthView1 = new QCalendarWidget(m_frame3);
    m_monthView1->setObjectName(QStringLiteral("MonthView1"));
    m_monthView1->setSelectedDate(QDate(2000, 1, 1));
    m_monthView1->setVisible(false);
    m_monthView2 = new QCalendarWidget(m_frame3);
    m_monthView2->setObjectName(QStringLiteral("MonthView2"));
    m_monthView2->setVisible(false);
    for (QCalendarWidget *calendar : {m_monthView1, m_monthView2})
        calendar->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);

    // The calendars only help to fill the boxes; the dates apply at the next "Filtrar".
    connect(m_monthView1, &QCalendarWidget::selectionChanged, this, [this] {
        m_text8->setText(m_monthView1->selectedDate().toString(QStringLiteral("yyyy-MM-dd")));
    });
    connect(m_monthView2, &QCalendarWidget::selectionChanged, this, [this] {
        m_text9->setText(m_monthView2->selectedDate().toString(QStringLiteral("yyyy-MM-dd")));
    });
    connect(m_monthView1, &QCalendarWidget::activated, m_monthView1, &QWidget::hide);
    connect(m_monthView2, &QCalendarWidget::activated, m_monthView2, &QWidget::hide);
    // A click in a date box opens its calendar; leaving the phone box empty drops its criterion.
    for (QLineEdit *edit : {m_text8, m_text9, m_richTextBox1})
        edit->installEventFilter(this);

    auto *grid = new QGridLayout;
    grid->addWidget(m_check6, 0, 0, 1, 2);
    grid->addWidget(m_text8, 1, 0);
    grid->addWidget(m_text9, 1, 1);
    grid->addWidget(m_check7, 2, 0, 1, 2);
    grid->addWidget(m_richTextBox1, 3, 0, 1, 2);
    grid->addWidget(m_check8, 4, 0, 1, 2);
    grid->addWidget(m_text10, 5, 0, 1, 2);
    grid->addWidget(m_command4, 6, 0);
    grid->addWidget(m_command5, 6, 1);

    auto *layout = new QVBoxLayout(m_frame3);
    layout->addLayout(grid);
    layout->addWidget(m_monthView1);
    layout->addWidget(m_monthView2);
    layout->addStretch(1);
}

void HistoryPanel::buildMenu()
{
    m_menu = new QMenu(QStringLiteral("rclick_listado_historial"), this);
    m_menu->setObjectName(QStringLiteral("mnurclick_listado_historial"));
    m_popup.setMenu(m_menu);
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
                if (const std::optional<qint64> sid = sidFromKey(m_popup.key()))
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
    m_ver = new QActionGroup(this);
    m_ver->setExclusive(true);
    const QString captions[] = {QStringLiteral("Todos"), QStringLiteral("Enviados"), QStringLiteral("Programados")};
    for (int i = 0; i < 3; ++i) {
        QAction *a = viewMenu->addAction(captions[i]);
        a->setObjectName(QStringLiteral("mnurclick_listado_historial_ver_options_%1").arg(i));
        a->setCheckable(true);
        a->setChecked(i == 0);
        a->setData(i);
        m_ver->addAction(a);
    }
}

QAction *HistoryPanel::menuItem(const QString &name) const
{
    // Items, separators and the submenus' own entries are all children of the popup menu.
    return m_menu->findChild<QAction *>(name);
}

int HistoryPanel::verIndex() const
{
    QAction *checked = m_ver->checkedAction();
    return checked ? checked->data().toInt() : 0;
}

QAction *HistoryPanel::verOption(int index) const
{
    const QList<QAction *> options = m_ver->actions();
    return index >= 0 && index < options.size() ? options.at(index) : nullptr;
}

void HistoryPanel::showPage(const HistoryPage &page)
{
    menuItem(QStringLiteral("mnurclick_listado_historial_cancelar_todos"))->setEnabled(page.cancelarTodos);
    menuItem(QStringLiteral("mnurclick_listado_historial_eliminar_todos"))->setEnabled(page.eliminarTodos);

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
        const QSignalBlocker guard(m_scroll);
        m_scroll->setMaximum(int(page.lastPage));
        m_scroll->setValue(int(page.page));
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
    menuItem(QStringLiteral("mnurclick_listado_historial_cancelar"))->setEnabled(menu.cancelarEnvio);
    menuItem(QStringLiteral("mnurclick_listado_historial_eliminar"))->setEnabled(menu.eliminarRegistro);
    menuItem(QStringLiteral("mnurclick_listado_historial_Actualizar"))->setEnabled(true);
    menuItem(QStringLiteral("mnurclick_listado_historial_destinatarios"))->setEnabled(menu.seleccionarDestinatarios);
    menuItem(QStringLiteral("mnurclick_listado_historial_destinatarios_confirmados"))->setEnabled(menu.confirmados);
    menuItem(QStringLiteral("mnurclick_listado_historial_destinatarios_fallidos"))->setEnabled(menu.fallidos);
    menuItem(QStringLiteral("mnurclick_listado_historial_destinatarios_sinconfirmar"))->setEnabled(menu.sinConfirmar);
}

void HistoryPanel::prepareEmptyAreaMenu()
{
    for (const char *name : {"mnurclick_listado_historial_destinatarios", "mnurclick_listado_historial_Actualizar",
                             "mnurclick_listado_historial_eliminar", "mnurclick_listado_historial_cancelar", "mnusep1"})
        menuItem(QString::fromLatin1(name))->setVisible(false);
}

void HistoryPanel::popupMenu(const QString &key, const QPoint &globalPos)
{
    m_popup.popup(key, globalPos);
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
    m_frame3->hide();
    m_monthView1->hide();
    m_monthView2->hide();
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
    const QString recipientClass = key.left(key.lastIndexOf(QLatin1Char(' '))).trimmed();
    Q_EMIT recipientsDoubleClicked(*sid, recipientClass);
}

void HistoryPanel::openSecondCalendar()
{
    // The second calendar starts at today the first time it opens, then keeps the user's month.
    if (!m_monthView2Opened) {
        m_monthView2Opened = true;
        const QSignalBlocker quiet(m_monthView2);
        m_monthView2->setSelectedDate(QDate::currentDate());
    }
    m_monthView1->hide();
    m_monthView2->show();
}

bool HistoryPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress) {
        if (watched == m_text8) {
            m_monthView2->hide();
            m_monthView1->show();
        } else if (watched == m_text9) {
            openSecondCalendar();
        }
    } else if (event->type() == QEvent::FocusOut && watched == m_richTextBox1) {
        if (m_richTextBox1->text().trimmed().isEmpty())
            m_check7->setChecked(false);
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace history
