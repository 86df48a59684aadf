#pragma once

#include "contacts/picker/recipients_box.h"

#include <QPointer>

namespace startup { class SendPanelView; }
namespace sending { class SendPanelController; }

namespace contacts::picker {

// The recipients box of the "Enviar SMS" tab, as the picker sees it.
class SendPanelRecipients final : public RecipientsBox {
public:
    SendPanelRecipients(startup::SendPanelView &view, sending::SendPanelController &controller);
    SendPanelRecipients(const SendPanelRecipients &) = delete;
    SendPanelRecipients &operator=(const SendPanelRecipients &) = delete;

    QString texto() const override;
    QString tag() const override;
    void escribir(const QString &text, const QString &tag) override;
    void setUltimo(const QString &caption) override;
    void deshabilitarEnvio() override;
    void dejarDestinatarios() override;

private:
    QPointer<startup::SendPanelView> m_view;
    QPointer<sending::SendPanelController> m_controller;
};

} // namespace contacts::picker
