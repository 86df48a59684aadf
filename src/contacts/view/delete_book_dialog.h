#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

namespace db { class Connection; }
namespace ui { class Prompter; }

namespace contacts {

// "Borrar agenda": the window is the confirmation; its button deletes every group and every
// contact, nothing else.
class DeleteBookDialog final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DeleteBookDialog)

public:
    DeleteBookDialog(db::Connection &connection, ui::Prompter &prompter, QWidget *parent = nullptr);
    ~DeleteBookDialog() override;

    QLabel *warningLabel() const { return m_warningLabel; }
    QPushButton *deleteButton() const { return m_deleteButton; }   // "Borrar agenda"
    QPushButton *cancelButton() const { return m_cancelButton; }   // "Cancelar"

    void deleteBook();

Q_SIGNALS:
    // No contact is left now: both views must be read again.
    void bookDeleted();

private:
    db::Connection &m_connection;
    ui::Prompter &m_prompter;
    QLabel *m_warningLabel = nullptr;
    QPushButton *m_deleteButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
};

inline constexpr auto kDeleteBookWarning =
    "¿Estás seguro de que quieres borrar toda la agenda y grupos existentes? Los datos no podrán ser recuperados.";
inline constexpr auto kBookNotDeletedMessage =
    "No se pudo borrar la agenda: la base de datos no lo ha permitido y no se ha borrado nada. Inténtelo de nuevo "
    "en unos momentos.";

} // namespace contacts
