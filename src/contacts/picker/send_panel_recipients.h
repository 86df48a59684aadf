#pragma once

#include "contacts/picker/recipients_box.h"

#include <QPointer>

namespace sending { class SendPanelController; class SendPanelView; }

namespace contacts::picker {

// The recipients box of the "Enviar SMS" tab, as the picker sees it.
class SendPanelRecipients final : public RecipientsBox {
public:
    SendPanelRecipients(sending::SendPanelView &view, sending::SendPanelController &controller);
    SendPanelRecipients(const SendPanelRecipients &) = delete;
    SendPanelRecipients &operator=(const SendPanelRecipients &) = delete;

    QString text() const override;
    QString tag() const override;
    void write(const QString &text, const QString &tag) override;
    void setLastPick(const QString &caption) override;
    void disableSend() override;
    void leaveRecipients() override;

private:
    QPointer<sending::SendPanelView> m_view;
    QPointer<sending::SendPanelController> m_controller;
};

} // namespace contacts::picker
