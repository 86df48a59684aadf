#include "history/export/recipients_sheet.h"

namespace history::exporting {

namespace {
constexpr int B = 2;
constexpr int C = 3;
} // namespace

xlsx::Sheet hojaDestinatarios(const EnvioDestinatarios &send, const QString &list)
{
    xlsx::Sheet s;
    const auto heading = [&s](int row, int column, const QString &text) {
        s.setText(row, column, text);
        s.style(row, column).bold = true;
    };
    heading(2, B, QStringLiteral("Envío con fecha:"));
    s.setTyped(2, C, send.fEnvio);
    heading(3, B, QStringLiteral("Programado:"));
    s.setTyped(3, C, send.fProgramada);
    heading(4, B, QStringLiteral("Texto del mensaje:"));
    s.setTyped(4, C, send.mensaje);
    heading(5, B, QStringLiteral("Remitente:"));
    s.setTyped(5, C, send.remitente);
    heading(7, B, QStringLiteral("Teléfono"));
    heading(7, C, QStringLiteral("Estado"));

    const Desglose breakdown = f_subhistorial_parse_estado(send.estado, send.destinatario);
    int row = kPrimeraFilaTelefonos;
    for (const QString &phone : telefonosDe(list)) {
        s.setTyped(row, B, phone);
        const EstadoTelefono state = estadoDeTelefono(phone, breakdown);
        if (state != EstadoTelefono::Ninguno) {
            s.setText(row, C, textoEstado(state));
            s.style(row, C).fontColour = colorEstado(state);
        }
        ++row;
    }
    s.fitColumns(B, C);
    return s;
}

QString nombreLibroDestinatarios(qint64 sid, ClaseDestinatarios recipientClass)
{
    QString part;
    switch (recipientClass) {
    case ClaseDestinatarios::Destinatarios: part = QStringLiteral("todos"); break;
    case ClaseDestinatarios::Recibidos: part = QStringLiteral("confirmados"); break;
    case ClaseDestinatarios::Pendientes: part = QStringLiteral("sin_confirmar"); break;
    case ClaseDestinatarios::Fallidos: part = QStringLiteral("fallidos"); break;
    }
    return QStringLiteral("destinatarios_%1_envio_%2.xlsx").arg(part).arg(sid);
}

} // namespace history::exporting
