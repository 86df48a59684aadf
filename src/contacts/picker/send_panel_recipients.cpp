#include "contacts/picker/send_panel_recipients.h"

#include "sending/panel/send_panel_controller.h"
#include "sending/panel/send_panel_view.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

namespace contacts::picker {

SendPanelRecipients::SendPanelRecipients(sending::SendPanelView &view, sending::SendPanelController &controller)
    : m_view(&view)
    , m_controller(&controller)
{
}

QString SendPanelRecipients::text() const
{
    return m_view ? m_view->recipientsBox()->toPlainText() : QString();
}

QString SendPanelRecipients::tag() const
{
    return m_controller ? m_controller->recipientsTag() : QString();
}

void SendPanelRecipients::write(const QString &text, const QString &tag)
{
    if (!m_view || !m_controller)
        return;
    m_view->recipientsBox()->setPlainText(text);
    m_controller->setRecipientsTag(tag);
}

void SendPanelRecipients::setLastPick(const QString &caption)
{
    if (m_view)
        m_view->pickedRecipientLabel()->setText(caption);
}

void SendPanelRecipients::disableSend()
{
    if (m_view)
        m_view->sendButton()->setEnabled(false);
}

void SendPanelRecipients::leaveRecipients()
{
    // The picker is the active window, so moving the focus inside the main window sends no
    // focus-out to the box: its leave rule runs here instead.
    if (m_controller)
        m_controller->leaveRecipients();
    if (m_view)
        m_view->messageBox()->setFocus(Qt::OtherFocusReason);
}

} // namespace contacts::picker
