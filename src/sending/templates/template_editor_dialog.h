#pragma once

#include <QWidget>

#include <optional>

class QCloseEvent;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace ui {
class Prompter;
}

namespace sending {

class TemplateStore;
struct TemplateRow;

inline constexpr auto kSaveCaption = "Guardar";
inline constexpr auto kSaveTemplateCaption = "Guardar plantilla";
inline constexpr auto kModifyTemplateCaption = "Modificar plantilla";

// The template editor "Nueva plantilla" (objectName `Form10`): creates a template, or changes the
// one loaded with editTemplate(). A save hides the window (it stays loaded, empty, for the next
// "Crear nueva plantilla"); "Cancelar" and the close box unload it.
class TemplateEditorDialog final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TemplateEditorDialog)

public:
    TemplateEditorDialog(TemplateStore &store, ui::Prompter &prompter, QWidget *parent = nullptr);
    ~TemplateEditorDialog() override;

    QLineEdit *nameBox() const { return m_nameBox; }            // name
    QPlainTextEdit *messageBox() const { return m_messageBox; }       // message
    QLabel *fixedCountLabel() const { return m_fixedCountLabel; }     // fixed characters
    QPushButton *saveButton() const { return m_saveButton; }    // save; its caption shows the mode
    QPushButton *cancelButton() const { return m_cancelButton; }    // "Cancelar"

    // Modify mode for this row: its name and text in the boxes, the save button reading
    // "Modificar plantilla".
    void editTemplate(const TemplateRow &row);
    // The row a save would update; nothing in create mode.
    std::optional<qint64> editedSid() const { return m_editedSid; }

    // The message as it is saved and counted (line breaks as CR LF).
    QString message() const;

    void saveTemplate();
    void onCancelClicked();

Q_SIGNALS:
    // The table changed (or was found changed): the template list must be rebuilt.
    void templatesChanged();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QGroupBox *buildDataFrame();
    QGroupBox *buildHelpFrame();
    void updateFixedCount();

    TemplateStore &m_store;
    ui::Prompter &m_prompter;
    std::optional<qint64> m_editedSid;

    QLineEdit *m_nameBox = nullptr;
    QPlainTextEdit *m_messageBox = nullptr;
    QLabel *m_fixedCountLabel = nullptr;
    QPushButton *m_saveButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
};

} // namespace sending
