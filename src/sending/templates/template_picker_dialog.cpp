#include "sending/templates/template_picker_dialog.h"

#include "platform/ui/prompter.h"
#include "sending/templates/template_rules.h"
#include "sending/templates/template_tree.h"
#include "sending/templates/templates_panel.h"

#include "platform/ui/list_tree.h"

#include <QAction>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace sending {

TemplatePickerDialog::TemplatePickerDialog(TemplateStore &store, ui::Prompter &prompter, QPlainTextEdit *target, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_store(store)
    , m_prompter(prompter)
    , m_target(target)
{
    setObjectName(QStringLiteral("Form11"));
    setWindowTitle(QStringLiteral("Enviar SMS - Plantillas"));

    m_templateList = ui::newListTree(this, "TreeView1", this);
    m_templateList->setExpandsOnDoubleClick(false);

    m_menu = new QMenu(this);
    m_menu->setObjectName(QStringLiteral("mnurclick_enviarplantilla"));
    m_selectAction = m_menu->addAction(QStringLiteral("Seleccionar plantilla para envio"));
    m_selectAction->setObjectName(QStringLiteral("mnurclick_enviarplantilla_seleccionar"));
    m_contactMenu.setMenu(m_menu);

    m_closeButton = new QPushButton(QStringLiteral("Cerrar"), this);
    m_closeButton->setObjectName(QStringLiteral("Command1"));

    connect(m_selectAction, &QAction::triggered, this, &TemplatePickerDialog::pickFromMenu);
    connect(m_templateList, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem *item) { takeTemplate(nodeKey(item)); });
    connect(m_closeButton, &QPushButton::clicked, this, &QWidget::close);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_closeButton);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Seleccionar plantilla:"), this));
    layout->addWidget(m_templateList, 1);
    layout->addLayout(buttons);
    resize(480, 380);
}

TemplatePickerDialog::~TemplatePickerDialog() = default;

void TemplatePickerDialog::reloadTemplates()
{
    const TemplateList list = m_store.list();
    if (!list.ok()) {
        m_prompter.message(QStringLiteral("No se pudo leer la lista de plantillas de la base de datos."),
                           QStringLiteral("Plantillas"), ui::Icon::Warning);
        return;
    }
    fillTemplateTree(*m_templateList, list.rows, QStringLiteral("Sin plantillas"));
}

bool TemplatePickerDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (const auto press = ui::pressOn(*m_templateList, watched, event)) {
        onTemplateListPressed(press->button, press->pos, press->globalPos);
        return press->button == Qt::RightButton;
    }
    return QWidget::eventFilter(watched, event);
}

void TemplatePickerDialog::onTemplateListPressed(Qt::MouseButton button, QPoint pos, QPoint globalPos)
{
    const bool rowActions = pressOnTree(*m_templateList, pos);
    if (button == Qt::RightButton && rowActions)
        m_contactMenu.popup(nodeKey(m_templateList->currentItem()), globalPos);
}

bool TemplatePickerDialog::pickFromMenu()
{
    return takeTemplate(m_contactMenu.key());
}

bool TemplatePickerDialog::takeTemplate(const QString &key)
{
    if (key == QLatin1String(kEmptyListKey) || key.size() < 4)
        return false;
    const auto sid = sidFromKey(key);
    if (!sid)
        return false;

    const TemplateResult result = m_store.get(*sid);
    if (result.status == TemplateStatus::NotFound) {
        reloadTemplates();
        Q_EMIT templatesChanged();
        m_prompter.message(missingTemplateNotice(), QLatin1String(kMissingTemplateTitle));
        return false;
    }
    if (!result.ok()) {
        m_prompter.message(QStringLiteral("No se pudo leer la plantilla de la base de datos. Inténtelo de "
                                          "nuevo en unos momentos."),
                           QStringLiteral("Plantillas"), ui::Icon::Warning);
        return false;
    }
    if (m_target)
        m_target->setPlainText(boxText(result.row.message));
    close();
    return true;
}

TemplatePickerLauncher::TemplatePickerLauncher(db::Connection &connection, ui::Prompter &prompter,
                                               TemplatesPanel &templatesTab, QPlainTextEdit *target)
    : m_store(connection)
    , m_prompter(prompter)
    , m_templatesTab(&templatesTab)
    , m_target(target)
{
}

TemplatePickerLauncher::~TemplatePickerLauncher() = default;

void TemplatePickerLauncher::onPickerIconClicked()
{
    if (!m_templatesTab || m_templatesTab->hasNoTemplates()) {
        m_prompter.message(QStringLiteral("No existe ninguna plantilla creada."), QStringLiteral("Sin plantillas"));
        return;
    }
    open();
}

TemplatePickerDialog *TemplatePickerLauncher::open()
{
    TemplatePickerDialog *picker = m_picker.get([this] {
        auto *window = new TemplatePickerDialog(m_store, m_prompter, m_target);
        if (m_templatesTab)
            QObject::connect(window, &TemplatePickerDialog::templatesChanged, m_templatesTab.data(), &TemplatesPanel::reloadTemplates);
        return window;
    });
    picker->reloadTemplates();
    // The tab still listed templates that another workstation has deleted since: bring it up to
    // date, so the next attempt says plainly that there is none.
    if (m_templatesTab && !m_templatesTab->hasNoTemplates()
        && firstNodeKey(*picker->templateList()) == QLatin1String(kEmptyListKey))
        m_templatesTab->reloadTemplates();
    picker->show();
    picker->raise();
    picker->activateWindow();
    return picker;
}

} // namespace sending
