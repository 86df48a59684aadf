#pragma once

#include "contacts/contact_editor_rules.h"

#include <QWidget>

#include <optional>

class QLineEdit;
class QPushButton;

namespace db { class Connection; }
namespace ui { class Prompter; }

namespace contacts {

// The contact editor "Agregar contacto": creates a contact ("Guardar contacto") or changes one
// ("Modificar contacto"), as the save button's caption says. One window at a time; each opening
// starts from a fresh window.
class Form5 final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Form5)

public:
    Form5(db::Connection &connection, ui::Prompter &prompter, QWidget *parent = nullptr);
    ~Form5() override;

    QLineEdit *Text1() const { return m_text[0]; }   // nombre
    QLineEdit *Text2() const { return m_text[1]; }   // teléfono móvil
    QLineEdit *Text3() const { return m_text[2]; }   // nombre completo
    QLineEdit *Text4() const { return m_text[3]; }   // dirección
    QLineEdit *Text5() const { return m_text[4]; }   // otro teléfono
    QLineEdit *Text6() const { return m_text[5]; }   // comentario
    QLineEdit *Text7() const { return m_text[6]; }   // fecha de nacimiento
    QPushButton *Command1() const { return m_command1; }
    QPushButton *Command2() const { return m_command2; }

    // The save button's Tag: the sid of the contact being changed.
    std::optional<qint64> command1Tag() const { return m_sid; }
    // The Tag of the hidden offer-position field (`Form1introducir_agenda`): the place in the send panel's recipient list
    // of the number being saved, when the missing-number offer opened the editor.
    std::optional<qint64> Form1introducir_agenda() const { return m_posicion; }

    // What the openers set.
    void modoCrear();
    void modoModificar(qint64 sid, const DatosContacto &fields);
    void guardarNumero(const QString &number, qint64 position);

    // The mobile box lost the focus.
    void Text2_LostFocus();
    // "Guardar contacto" / "Modificar contacto".
    void Command1_Click();

Q_SIGNALS:
    // A row was written: the contact list must be read again.
    void agendaCambiada();
    // The missing-number offer goes on from this place of the recipient list.
    void introducirAgenda(double position, bool skip);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    DatosContacto datos() const;

    db::Connection &m_conexion;
    ui::Prompter &m_prompter;
    QLineEdit *m_text[7] = {};
    QPushButton *m_command1 = nullptr;
    QPushButton *m_command2 = nullptr;
    std::optional<qint64> m_sid;
    std::optional<qint64> m_posicion;
};

inline constexpr auto kGuardarContacto = "Guardar contacto";
inline constexpr auto kModificarContacto = "Modificar contacto";

} // namespace contacts
