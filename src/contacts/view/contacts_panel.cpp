#include "contacts/view/contacts_panel.h"

#include "contacts/contact_filter.h"
#include "platform/ui/list_tree.h"

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

    m_contactList = ui::newListTree(this, "TreeView4", this);

    m_pageBar = named(new QScrollBar(Qt::Horizontal, this), "HScroll1");
    m_pageBar->setRange(0, 0);
    m_pageBar->setPageStep(1);
    m_pageLabel = named(new QLabel(QStringLiteral("Página 10000 de 10000"), this), "PagAgenda");
    m_filterCheck = named(new QCheckBox(QStringLiteral("Filtrar"), this), "Check4");
    m_filterToggleImage = named(new QToolButton(this), "Image7");
    m_filterToggleImage->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
    m_filterToggleImage->setToolTip(QStringLiteral("Filtrado de contactos"));
    m_exportImage = named(new QToolButton(this), "Image6");
    m_exportImage->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    m_exportImage->setToolTip(QStringLiteral("Exportar listado de contactos a Excel"));

    m_filterFrame = named(new QGroupBox(QStringLiteral("Filtrado de contactos"), this), "Frame2");
    m_operatorCombo = named(new QComboBox(m_filterFrame), "Combo2");
    m_operatorCombo->addItems(filterOperators());
    m_operatorCombo->setCurrentIndex(0);
    m_wordsBox = named(new QLineEdit(m_filterFrame), "Text7");
    // A history's recipients can be thousands of numbers; the box's default cut is 32767. Two
    // million characters hold the numbers of the largest send with room to spare.
    m_wordsBox->setMaxLength(kMaxFilterWords);
    m_fieldCombo = named(new QComboBox(m_filterFrame), "Combo4");
    m_fieldCombo->addItems(filterFields());
    m_fieldCombo->setCurrentIndex(0);
    m_membersCheck = named(new QCheckBox(QStringLiteral("Miembros de"), m_filterFrame), "Check3");
    m_groupCombo = named(new QComboBox(m_filterFrame), "Combo3");
    m_filterButton = named(new QPushButton(QStringLiteral("Filtrar"), m_filterFrame), "Command2");
    m_closeButton = named(new QPushButton(QStringLiteral("Cerrar"), m_filterFrame), "Command3");

    auto *frame = new QGridLayout(m_filterFrame);
    frame->addWidget(new QLabel(QStringLiteral("Mostrar sólo los que"), m_filterFrame), 0, 0);
    frame->addWidget(m_operatorCombo, 0, 1);
    frame->addWidget(new QLabel(QStringLiteral("la(s) palabra(s)"), m_filterFrame), 0, 2);
    frame->addWidget(m_wordsBox, 0, 3);
    frame->addWidget(new QLabel(QStringLiteral("en el campo"), m_filterFrame), 1, 0);
    frame->addWidget(m_fieldCombo, 1, 1);
    frame->addWidget(m_membersCheck, 1, 2);
    frame->addWidget(m_groupCombo, 1, 3);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_filterButton);
    buttons->addWidget(m_closeButton);
    frame->addLayout(buttons, 2, 0, 1, 4);
    m_filterFrame->hide();

    auto *bar = new QHBoxLayout;
    bar->addWidget(m_filterCheck);
    bar->addWidget(m_filterToggleImage);
    bar->addWidget(m_exportImage);
    bar->addWidget(m_pageBar, 1);
    bar->addWidget(m_pageLabel);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_filterFrame);
    layout->addWidget(m_contactList, 1);
    layout->addLayout(bar);

    m_contactMenu = named(new QMenu(this), "mnurclick_agenda");
    m_editAction = named(m_contactMenu->addAction(QStringLiteral("Modificar contacto")), "mnurclick_agenda_modificar");
    m_findSendsAction = named(m_contactMenu->addAction(QStringLiteral("Buscar envíos")), "mnurclick_agenda_buscarhistorial");
    m_deleteAction = named(m_contactMenu->addAction(QStringLiteral("Eliminar contacto")), "mnurclick_agenda_eliminar");
    m_contactMenu->addSeparator();
    m_createAction = named(m_contactMenu->addAction(QStringLiteral("Crear nuevo contacto")), "mnurclick_agenda_crear");
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

void ContactsPanel::useLists(QComboBox *operatorCombo, QComboBox *fieldCombo)
{
    // The row the lists leave behind keeps only its caption: it goes out of sight with them.
    QLayout *previousRow = operatorCombo && operatorCombo->parentWidget() ? rowOf(operatorCombo->parentWidget()->layout(), operatorCombo)
                                                             : nullptr;
    auto replacement = [this](QComboBox *&own, QComboBox *other) {
        if (!other || other == own)
            return;
        other->setParent(m_filterFrame);   // leaves the main window's layout
        delete m_filterFrame->layout()->replaceWidget(own, other);
        other->show();
        delete own;
        own = other;
    };
    replacement(m_operatorCombo, operatorCombo);
    replacement(m_fieldCombo, fieldCombo);
    if (previousRow) {
        for (int i = 0; i < previousRow->count(); ++i) {
            if (QWidget *rest = previousRow->itemAt(i)->widget())
                rest->hide();
        }
    }
}

bool ContactsPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_contactList->viewport() && event->type() == QEvent::MouseButtonPress) {
        auto *mouse = static_cast<QMouseEvent *>(event);
        Q_EMIT treeMousePressed(mouse->button(), mouse->position().toPoint(), mouse->globalPosition().toPoint());
        // The right button is the popup's alone; the left one still expands and collapses.
        return mouse->button() == Qt::RightButton;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace contacts
