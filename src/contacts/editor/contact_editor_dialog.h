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
class ContactEditorDialog final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ContactEditorDialog)

public:
    ContactEditorDialog(db::Connection &connection, ui::Prompter &prompter, QWidget *parent = nullptr);
    ~ContactEditorDialog() override;

    QLineEdit *nameBox() const { return m_boxes[0]; }   // nombre
    QLineEdit *mobileBox() const { return m_boxes[1]; }   // teléfono móvil
    QLineEdit *fullNameBox() const { return m_boxes[2]; }   // nombre completo
    QLineEdit *addressBox() const { return m_boxes[3]; }   // dirección
    QLineEdit *otherPhoneBox() const { return m_boxes[4]; }   // otro teléfono
    QLineEdit *commentBox() const { return m_boxes[5]; }   // comentario
    QLineEdit *birthDateBox() const { return m_boxes[6]; }   // fecha de nacimiento
    QPushButton *saveButton() const { return m_saveButton; }
    QPushButton *cancelButton() const { return m_cancelButton; }

    // The save button's Tag: the sid of the contact being changed.
    std::optional<qint64> editedSid() const { return m_editedSid; }
    // The Tag of the hidden offer-position field (`Form1introducir_agenda`): the place in the send panel's recipient list
    // of the number being saved, when the missing-number offer opened the editor.
    std::optional<qint64> offerPosition() const { return m_offerPosition; }

    // What the openers set.
    void setCreateMode();
    void setUpdateMode(qint64 sid, const ContactFields &fields);
    void setNumberToSave(const QString &number, qint64 position);

    // The mobile box lost the focus.
    void onMobileFocusLost();
    // "Guardar contacto" / "Modificar contacto".
    void save();

Q_SIGNALS:
    // A row was written: the contact list must be read again.
    void contactsChanged();
    // The missing-number offer goes on from this place of the recipient list.
    void resumeNumberOffer(double position, bool skip);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    ContactFields fields() const;

    db::Connection &m_connection;
    ui::Prompter &m_prompter;
    QLineEdit *m_boxes[7] = {};
    QPushButton *m_saveButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
    std::optional<qint64> m_editedSid;
    std::optional<qint64> m_offerPosition;
};

inline constexpr auto kSaveContactCaption = "Guardar contacto";
inline constexpr auto kUpdateContactCaption = "Modificar contacto";

} // namespace contacts
