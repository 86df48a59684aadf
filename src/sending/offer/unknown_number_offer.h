#pragma once

#include "platform/ui/single_instance.h"
#include "sending/offer/form23.h"

#include <QObject>
#include <QString>

#include <functional>

namespace db { class Connection; }

namespace sending {

// The offer to save the recipients that are not in the contact book, one number at a time in a
// window that does not block. It is no loop: offerNextUnknown() shows the next unknown number
// from a position and returns; each answer of the window, and the contact editor after saving
// the offered number, calls it again with the position after the number just handled.
class UnknownNumberOffer final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(UnknownNumberOffer)

public:
    using ReadRecipients = std::function<QString()>;
    // Opens the contact editor on a new contact for `number`; its save resumes the offer.
    using SaveContact = std::function<void(const QString &number, qint64 position)>;

    UnknownNumberOffer(db::Connection &connection, ReadRecipients recipients, QObject *parent = nullptr);
    ~UnknownNumberOffer() override;

    void setSaveContact(SaveContact save) { m_save = std::move(save); }

    // The list is read anew from the recipients box on every call.
    void introducir_agenda(qint64 start, bool ignoreAll);

    // The open window, or nullptr.
    Form23 *ventana() const { return m_form23.existing(); }

    void Command1_Click();  // "Ignorar todos"
    void Command2_Click();  // "Ignorar"
    void Command3_Click();  // "Guardar contacto"

private:
    void ignorar(bool all);

    db::Connection &m_conexion;
    ReadRecipients m_recipients;
    SaveContact m_save;
    ui::SingleInstance<Form23> m_form23;
};

} // namespace sending
