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
struct Plantilla;

inline constexpr auto kCaptionGuardar = "Guardar";
inline constexpr auto kCaptionGuardarPlantilla = "Guardar plantilla";
inline constexpr auto kCaptionModificar = "Modificar plantilla";

// The template editor "Nueva plantilla" (objectName `Form10`): creates a template, or changes the
// one loaded with editTemplate(). A save hides the window (it stays loaded, empty, for the next
// "Crear nueva plantilla"); "Cancelar" and the close box unload it.
class Form10 final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Form10)

public:
    Form10(TemplateStore &store, ui::Prompter &prompter, QWidget *parent = nullptr);
    ~Form10() override;

    QLineEdit *Text2() const { return m_text2; }            // name
    QPlainTextEdit *Text1() const { return m_text1; }       // message
    QLabel *SkinLabel3() const { return m_skinLabel3; }     // fixed characters
    QPushButton *Command1() const { return m_command1; }    // save; its caption shows the mode
    QPushButton *Command2() const { return m_command2; }    // "Cancelar"

    // Modify mode for this row: its name and text in the boxes, the save button reading
    // "Modificar plantilla".
    void modificar(const Plantilla &row);
    // The row a save would update; nothing in create mode.
    std::optional<qint64> sidModificado() const { return m_sid; }

    // The message as it is saved and counted (line breaks as CR LF).
    QString mensaje() const;

    void Command1_Click();
    void Command2_Click();

Q_SIGNALS:
    // The table changed (or was found changed): the template list must be rebuilt.
    void plantillasCambiadas();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QGroupBox *buildDatos();
    QGroupBox *buildAyuda();
    void Text1_Change();

    TemplateStore &m_store;
    ui::Prompter &m_prompter;
    std::optional<qint64> m_sid;

    QLineEdit *m_text2 = nullptr;
    QPlainTextEdit *m_text1 = nullptr;
    QLabel *m_skinLabel3 = nullptr;
    QPushButton *m_command1 = nullptr;
    QPushButton *m_command2 = nullptr;
};

} // namespace sending
