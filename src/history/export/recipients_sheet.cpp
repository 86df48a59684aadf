#include "history/export/recipients_sheet.h"

namespace history::exporting {

namespace {
constexpr int B = 2;
constexpr int C = 3;
} // namespace

xlsx::Sheet recipientsSheet(const RecipientSend &send, const QString &list)
{
    xlsx::Sheet s;
    const auto heading = [&s](int row, int column, const QString &text) {
        s.setText(row, column, text);
        s.style(row, column).bold = true;
    };
    heading(2, B, QStringLiteral("Envío con fecha:"));
    s.setTyped(2, C, send.sentAt);
    heading(3, B, QStringLiteral("Programado:"));
    s.setTyped(3, C, send.scheduledFor);
    heading(4, B, QStringLiteral("Texto del mensaje:"));
    s.setTyped(4, C, send.message);
    heading(5, B, QStringLiteral("Remitente:"));
    s.setTyped(5, C, send.sender);
    heading(7, B, QStringLiteral("Teléfono"));
    heading(7, C, QStringLiteral("Estado"));

    const Breakdown breakdown = parseDeliveryState(send.deliveryState, send.recipients);
    int row = kFirstPhoneRow;
    for (const QString &phone : phonesOf(list)) {
        s.setTyped(row, B, phone);
        const PhoneState state = phoneState(phone, breakdown);
        if (state != PhoneState::None) {
            s.setText(row, C, phoneStateText(state));
            s.style(row, C).fontColour = phoneStateColour(state);
        }
        ++row;
    }
    s.fitColumns(B, C);
    return s;
}

QString recipientsWorkbookName(qint64 sid, RecipientClass recipientClass)
{
    QString part;
    switch (recipientClass) {
    case RecipientClass::All: part = QStringLiteral("todos"); break;
    case RecipientClass::Received: part = QStringLiteral("confirmados"); break;
    case RecipientClass::Pending: part = QStringLiteral("sin_confirmar"); break;
    case RecipientClass::Failed: part = QStringLiteral("fallidos"); break;
    }
    return QStringLiteral("destinatarios_%1_envio_%2.xlsx").arg(part).arg(sid);
}

} // namespace history::exporting
