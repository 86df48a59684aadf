#pragma once

#include "platform/ui/list_tree.h"
#include "platform/ui/single_instance.h"
#include "sending/templates/template_store.h"

#include <QPointer>
#include <QWidget>

class QAction;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;

namespace db {
class Connection;
}
namespace ui {
class Prompter;
}

namespace sending {

class TemplatesPanel;

// "Enviar SMS - Plantillas" (objectName `Form11`): takes a template's text into the send panel's
// message box, whose own change signal then recounts the message.
class Form11 final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Form11)

public:
    // `target` is the send panel's message box; the picker only ever replaces its whole text.
    Form11(TemplateStore &store, ui::Prompter &prompter, QPlainTextEdit *target, QWidget *parent = nullptr);
    ~Form11() override;

    QTreeWidget *TreeView1() const { return m_treeView1; }
    QMenu *mnurclick_enviarplantilla() const { return m_menu; }
    QAction *mnurclick_enviarplantilla_seleccionar() const { return m_seleccionar; }
    QPushButton *Command1() const { return m_command1; }     // "Cerrar"

    // Fills the tree from the table.
    void f_mostrar_plantillas();

    // The right button on a template opens the popup menu on it.
    void TreeView1_MouseDown(Qt::MouseButton button, QPoint pos, QPoint globalPos);
    const QString &menuKey() const { return m_popup.key(); }
    // "Seleccionar plantilla para envio": takes the template the menu was opened on, whatever the
    // tree shows by the time it runs.
    bool mnurclick_enviarplantilla_seleccionar_Click();
    // Double click and the menu: takes the text of the template the node `key` names; true when
    // a text was taken (the window then closes).
    bool tomarPlantilla(const QString &key);

Q_SIGNALS:
    // The table was found changed (a template deleted meanwhile): other lists must be rebuilt.
    void plantillasCambiadas();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    TemplateStore &m_store;
    ui::Prompter &m_prompter;
    QPointer<QPlainTextEdit> m_destino;

    QTreeWidget *m_treeView1 = nullptr;
    QMenu *m_menu = nullptr;
    QAction *m_seleccionar = nullptr;
    QPushButton *m_command1 = nullptr;
    ui::RowPopup m_popup;
};

// The send panel's "pick a template" icon (objectName `Image3`) and the one picker window it opens.
class TemplatePickerLauncher final {
public:
    TemplatePickerLauncher(db::Connection &connection, ui::Prompter &prompter, TemplatesPanel &templatesTab,
                           QPlainTextEdit *target);
    TemplatePickerLauncher(const TemplatePickerLauncher &) = delete;
    TemplatePickerLauncher &operator=(const TemplatePickerLauncher &) = delete;
    ~TemplatePickerLauncher();

    // With no template in the "Plantillas" tab, says so; otherwise opens the picker.
    void Image3_Click();
    // Fills and shows the picker (reloaded from the table on every opening).
    Form11 *open();
    Form11 *picker() const { return m_form11.existing(); }

private:
    TemplateStore m_store;
    ui::Prompter &m_prompter;
    QPointer<TemplatesPanel> m_lista;
    QPointer<QPlainTextEdit> m_destino;
    ui::SingleInstance<Form11> m_form11;
};

} // namespace sending
