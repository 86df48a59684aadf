#include "contacts/view/contacts_panel.h"

#include "contacts/contact_filter.h"

#include <QAction>
#include <QCheckBox>
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
#include <QLayout>
#include <QScrollBar>
#include <QStyle>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <limits>

namespace contacts {

namespace {

template <typename T>
T *named(T *widget, const char *name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

} // namespace

ContactsPanel::ContactsPanel(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("ContactsPanel"));

    m_tree = named(new QTreeWidget(this), "TreeView4");
    m_tree->setHeaderHidden(true);
    m_tree->setColumnCount(1);
    m_tree->header()->setStretchLastSection(true);
    m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tree->setContextMenuPolicy(Qt::NoContextMenu);
    m_tree->viewport()->installEventFilter(this);

    m_scroll = named(new QScrollBar(Qt::Horizontal, this), "HScroll1");
    m_scroll->setRange(0, 0);
    m_scroll->setPageStep(1);
    m_label = named(new QLabel(QStringLiteral("Página 10000 de 10000"), this), "PagAgenda");
    m_check4 = named(new QCheckBox(QStringLiteral("Filtrar"), this), "Check4");
    m_image7 = named(new QToolButton(this), "Image7");
    m_image7->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
    m_image7->setToolTip(QStringLiteral("Filtrado de contactos"));
    m_image6 = named(new QToolButton(this), "Image6");
    m_image6->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    m_image6->setToolTip(QStringLiteral("Exportar listado de contactos a Excel"));

    m_frame2 = named(new QGroupBox(QStringLiteral("Filtrado de contactos"), this), "Frame2");
    m_combo2 = named(new QComboBox(m_frame2), "Combo2");
    m_combo2->addItems(operadoresFiltro());
    m_combo2->setCurrentIndex(0);
    m_text7 = named(new QLineEdit(m_frame2), "Text7");
    // A history's recipients can be thousands of numbers; the box's default cut is 32767.
    m_text7->setMaxLength(std::numeric_limits<int>::max());
    m_combo4 = named(new QComboBox(m_frame2), "Combo4");
    m_combo4->addItems(camposFiltro());
    m_combo4->setCurrentIndex(0);
    m_check3 = named(new QCheckBox(QStringLiteral("Miembros de"), m_frame2), "Check3");
    m_combo3 = named(new QComboBox(m_frame2), "Combo3");
    m_command2 = named(new QPushButton(QStringLiteral("Filtrar"), m_frame2), "Command2");
    m_command3 = named(new QPushButton(QStringLiteral("Cerrar"), m_frame2), "Command3");

    auto *frame = new QGridLayout(m_frame2);
    frame->addWidget(new QLabel(QStringLiteral("Mostrar sólo los que"), m_frame2), 0, 0);
    frame->addWidget(m_combo2, 0, 1);
    frame->addWidget(new QLabel(QStringLiteral("la(s) palabra(s)"), m_frame2), 0, 2);
    frame->addWidget(m_text7, 0, 3);
    frame->addWidget(new QLabel(QStringLiteral("en el campo"), m_frame2), 1, 0);
    frame->addWidget(m_combo4, 1, 1);
    frame->addWidget(m_check3, 1, 2);
    frame->addWidget(m_combo3, 1, 3);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_command2);
    buttons->addWidget(m_command3);
    frame->addLayout(buttons, 2, 0, 1, 4);
    m_frame2->hide();

    auto *bar = new QHBoxLayout;
    bar->addWidget(m_check4);
    bar->addWidget(m_image7);
    bar->addWidget(m_image6);
    bar->addWidget(m_scroll, 1);
    bar->addWidget(m_label);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_frame2);
    layout->addWidget(m_tree, 1);
    layout->addLayout(bar);

    m_menu = named(new QMenu(this), "mnurclick_agenda");
    m_modificar = named(m_menu->addAction(QStringLiteral("Modificar contacto")), "mnurclick_agenda_modificar");
    m_buscar = named(m_menu->addAction(QStringLiteral("Buscar envíos")), "mnurclick_agenda_buscarhistorial");
    m_eliminar = named(m_menu->addAction(QStringLiteral("Eliminar contacto")), "mnurclick_agenda_eliminar");
    m_menu->addSeparator();
    m_crear = named(m_menu->addAction(QStringLiteral("Crear nuevo contacto")), "mnurclick_agenda_crear");
}

ContactsPanel::~ContactsPanel() = default;

namespace {

// The layout that holds `widget` directly, searched from `layout` down.
QLayout *rowOf(QLayout *layout, QWidget *widget)
{
    if (!layout)
        return nullptr;
    if (layout->indexOf(widget) >= 0)
        return layout;
    for (int i = 0; i < layout->count(); ++i) {
        if (QLayout *child = rowOf(layout->itemAt(i)->layout(), widget))
            return child;
    }
    return nullptr;
}

} // namespace

void ContactsPanel::usarListas(QComboBox *operatorCombo, QComboBox *fieldCombo)
{
    // The row the lists leave behind keeps only its caption: it goes out of sight with them.
    QLayout *previousRow = operatorCombo && operatorCombo->parentWidget() ? rowOf(operatorCombo->parentWidget()->layout(), operatorCombo)
                                                             : nullptr;
    auto replacement = [this](QComboBox *&own, QComboBox *other) {
        if (!other || other == own)
            return;
        other->setParent(m_frame2);   // leaves the main window's layout
        delete m_frame2->layout()->replaceWidget(own, other);
        other->show();
        delete own;
        own = other;
    };
    replacement(m_combo2, operatorCombo);
    replacement(m_combo4, fieldCombo);
    if (previousRow) {
        for (int i = 0; i < previousRow->count(); ++i) {
            if (QWidget *rest = previousRow->itemAt(i)->widget())
                rest->hide();
        }
    }
}

bool ContactsPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_tree->viewport() && event->type() == QEvent::MouseButtonPress) {
        auto *mouse = static_cast<QMouseEvent *>(event);
        Q_EMIT TreeView4_MouseDown(mouse->button(), mouse->position().toPoint(), mouse->globalPosition().toPoint());
        // The right button is the popup's alone; the left one still expands and collapses.
        return mouse->button() == Qt::RightButton;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace contacts
