#include "sending/templates/template_picker.h"

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

Form11::Form11(TemplateStore &store, ui::Prompter &prompter, QPlainTextEdit *target, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_store(store)
    , m_prompter(prompter)
    , m_destino(target)
{
    setObjectName(QStringLiteral("Form11"));
    setWindowTitle(QStringLiteral("Enviar SMS - Plantillas"));

    m_treeView1 = ui::newListTree(this, "TreeView1", this);
    m_treeView1->setExpandsOnDoubleClick(false);

    m_menu = new QMenu(this);
    m_menu->setObjectName(QStringLiteral("mnurclick_enviarplantilla"));
    m_seleccionar = m_menu->addAction(QStringLiteral("Seleccionar plantilla para envio"));
    m_seleccionar->setObjectName(QStringLiteral("mnurclick_enviarplantilla_seleccionar"));
    m_popup.setMenu(m_menu);

    m_command1 = new QPushButton(QStringLiteral("Cerrar"), this);
    m_command1->setObjectName(QStringLiteral("Command1"));

    connect(m_seleccionar, &QAction::triggered, this, &Form11::mnurclick_enviarplantilla_seleccionar_Click);
    connect(m_treeView1, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem *item) { tomarPlantilla(claveNodo(item)); });
    connect(m_command1, &QPushButton::clicked, this, &QWidget::close);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_command1);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Seleccionar plantilla:"), this));
    layout->addWidget(m_treeView1, 1);
    layout->addLayout(buttons);
    resize(480, 380);
}

Form11::~Form11() = default;

void Form11::f_mostrar_plantillas()
{
    const PlantillaList list = m_store.list();
    if (!list.ok()) {
        m_prompter.message(QStringLiteral("No se pudo leer la lista de plantillas de la base de datos."),
                           QStringLiteral("Plantillas"), ui::Icon::Warning);
        return;
    }
    llenarArbolPlantillas(*m_treeView1, list.plantillas, QStringLiteral("Sin plantillas"));
}

bool Form11::eventFilter(QObject *watched, QEvent *event)
{
    if (const auto press = ui::pressOn(*m_treeView1, watched, event)) {
        TreeView1_MouseDown(press->button, press->pos, press->globalPos);
        return press->button == Qt::RightButton;
    }
    return QWidget::eventFilter(watched, event);
}

void Form11::TreeView1_MouseDown(Qt::MouseButton button, QPoint pos, QPoint globalPos)
{
    const bool rowActions = pulsacionEnArbol(*m_treeView1, pos);
    if (button == Qt::RightButton && rowActions)
        m_popup.popup(claveNodo(m_treeView1->currentItem()), globalPos);
}

bool Form11::mnurclick_enviarplantilla_seleccionar_Click()
{
    return tomarPlantilla(m_popup.key());
}

bool Form11::tomarPlantilla(const QString &key)
{
    if (key == QLatin1String(kClaveVacia) || key.size() < 4)
        return false;
    const auto sid = sidDeClave(key);
    if (!sid)
        return false;

    const PlantillaResult result = m_store.get(*sid);
    if (result.status == TemplateStatus::NotFound) {
        f_mostrar_plantillas();
        Q_EMIT plantillasCambiadas();
        m_prompter.message(avisoPlantillaInexistente(), QLatin1String(kTituloPlantillaInexistente));
        return false;
    }
    if (!result.ok()) {
        m_prompter.message(QStringLiteral("No se pudo leer la plantilla de la base de datos. Inténtelo de "
                                          "nuevo en unos momentos."),
                           QStringLiteral("Plantillas"), ui::Icon::Warning);
        return false;
    }
    if (m_destino)
        m_destino->setPlainText(textoCaja(result.plantilla.mensaje));
    close();
    return true;
}

TemplatePickerLauncher::TemplatePickerLauncher(db::Connection &connection, ui::Prompter &prompter,
                                               TemplatesPanel &templatesTab, QPlainTextEdit *target)
    : m_store(connection)
    , m_prompter(prompter)
    , m_lista(&templatesTab)
    , m_destino(target)
{
}

TemplatePickerLauncher::~TemplatePickerLauncher() = default;

void TemplatePickerLauncher::Image3_Click()
{
    if (!m_lista || m_lista->plantillasVacias()) {
        m_prompter.message(QStringLiteral("No existe ninguna plantilla creada."), QStringLiteral("Sin plantillas"));
        return;
    }
    open();
}

Form11 *TemplatePickerLauncher::open()
{
    Form11 *picker = m_form11.get([this] {
        auto *window = new Form11(m_store, m_prompter, m_destino);
        if (m_lista)
            QObject::connect(window, &Form11::plantillasCambiadas, m_lista.data(), &TemplatesPanel::f_plantillas);
        return window;
    });
    picker->f_mostrar_plantillas();
    // The tab still listed templates that another workstation has deleted since: bring it up to
    // date, so the next attempt says plainly that there is none.
    if (m_lista && !m_lista->plantillasVacias()
        && claveDelPrimerNodo(*picker->TreeView1()) == QLatin1String(kClaveVacia))
        m_lista->f_plantillas();
    picker->show();
    picker->raise();
    picker->activateWindow();
    return picker;
}

} // namespace sending
