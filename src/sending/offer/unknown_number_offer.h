#pragma once

#include "platform/ui/single_instance.h"
#include "sending/offer/unknown_number_dialog.h"

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
    void offerNextUnknown(qint64 start, bool ignoreAll);

    // The open window, or nullptr.
    UnknownNumberDialog *dialog() const { return m_dialog.existing(); }

    void onIgnoreAllClicked();  // "Ignorar todos"
    void onIgnoreClicked();  // "Ignorar"
    void onSaveContactClicked();  // "Guardar contacto"

private:
    void skipNumber(bool all);

    db::Connection &m_connection;
    ReadRecipients m_recipients;
    SaveContact m_save;
    ui::SingleInstance<UnknownNumberDialog> m_dialog;
};

} // namespace sending
