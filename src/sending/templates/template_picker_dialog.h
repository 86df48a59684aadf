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
class TemplatePickerDialog final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TemplatePickerDialog)

public:
    // `target` is the send panel's message box; the picker only ever replaces its whole text.
    TemplatePickerDialog(TemplateStore &store, ui::Prompter &prompter, QPlainTextEdit *target, QWidget *parent = nullptr);
    ~TemplatePickerDialog() override;

    QTreeWidget *templateList() const { return m_templateList; }
    QMenu *popupMenu() const { return m_menu; }
    QAction *selectAction() const { return m_selectAction; }
    QPushButton *closeButton() const { return m_closeButton; }     // "Cerrar"

    // Fills the tree from the table.
    void reloadTemplates();

    // The right button on a template opens the popup menu on it.
    void onTemplateListPressed(Qt::MouseButton button, QPoint pos, QPoint globalPos);
    const QString &menuKey() const { return m_contactMenu.key(); }
    // "Seleccionar plantilla para envio": takes the template the menu was opened on, whatever the
    // tree shows by the time it runs.
    bool pickFromMenu();
    // Double click and the menu: takes the text of the template the node `key` names; true when
    // a text was taken (the window then closes).
    bool takeTemplate(const QString &key);

Q_SIGNALS:
    // The table was found changed (a template deleted meanwhile): other lists must be rebuilt.
    void templatesChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    TemplateStore &m_store;
    ui::Prompter &m_prompter;
    QPointer<QPlainTextEdit> m_target;

    QTreeWidget *m_templateList = nullptr;
    QMenu *m_menu = nullptr;
    QAction *m_selectAction = nullptr;
    QPushButton *m_closeButton = nullptr;
    ui::RowPopup m_contactMenu;
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
    void onPickerIconClicked();
    // Fills and shows the picker (reloaded from the table on every opening).
    TemplatePickerDialog *open();
    TemplatePickerDialog *picker() const { return m_picker.existing(); }

private:
    TemplateStore m_store;
    ui::Prompter &m_prompter;
    QPointer<TemplatesPanel> m_templatesTab;
    QPointer<QPlainTextEdit> m_target;
    ui::SingleInstance<TemplatePickerDialog> m_picker;
};

} // namespace sending
