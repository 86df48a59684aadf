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

QString SendPanelRecipients::texto() const
{
    return m_view ? m_view->Text2()->toPlainText() : QString();
}

QString SendPanelRecipients::tag() const
{
    return m_controller ? m_controller->text2Tag() : QString();
}

void SendPanelRecipients::escribir(const QString &text, const QString &tag)
{
    if (!m_view || !m_controller)
        return;
    m_view->Text2()->setPlainText(text);
    m_controller->setText2Tag(tag);
}

void SendPanelRecipients::setUltimo(const QString &caption)
{
    if (m_view)
        m_view->SkinLabel4()->setText(caption);
}

void SendPanelRecipients::deshabilitarEnvio()
{
    if (m_view)
        m_view->Command1()->setEnabled(false);
}

void SendPanelRecipients::dejarDestinatarios()
{
    // The picker is the active window, so moving the focus inside the main window sends no
    // focus-out to the box: its leave rule runs here instead.
    if (m_controller)
        m_controller->Text2_LostFocus();
    if (m_view)
        m_view->Text1()->setFocus(Qt::OtherFocusReason);
}

} // namespace contacts::picker
