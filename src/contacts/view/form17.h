#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

namespace db { class Connection; }
namespace ui { class Prompter; }

namespace contacts {

// "Borrar agenda": the window is the confirmation; its button deletes every group and every
// contact, nothing else.
class Form17 final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Form17)

public:
    Form17(db::Connection &connection, ui::Prompter &prompter, QWidget *parent = nullptr);
    ~Form17() override;

    QLabel *SkinLabel1() const { return m_label; }
    QPushButton *Command1() const { return m_command1; }   // "Borrar agenda"
    QPushButton *Command2() const { return m_command2; }   // "Cancelar"

    void Command1_Click();

Q_SIGNALS:
    // The book is empty now: both views must be read again.
    void agendaBorrada();

private:
    db::Connection &m_conexion;
    ui::Prompter &m_prompter;
    QLabel *m_label = nullptr;
    QPushButton *m_command1 = nullptr;
    QPushButton *m_command2 = nullptr;
};

inline constexpr auto kAvisoBorrarAgenda =
    "¿Estás seguro de que quieres borrar toda la agenda y grupos existentes? Los datos no podrán ser recuperados.";
inline constexpr auto kAgendaNoBorrada =
    "No se pudo borrar la agenda: la base de datos no lo ha permitido y no se ha borrado nada. Inténtelo de nuevo "
    "en unos momentos.";

} // namespace contacts
