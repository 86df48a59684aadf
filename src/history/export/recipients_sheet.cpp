#include "history/export/recipients_sheet.h"

namespace history::exporting {

namespace {
constexpr int B = 2;
constexpr int C = 3;
} // namespace

xlsx::Sheet hojaDestinatarios(const EnvioDestinatarios &envio, const QString &lista)
{
    xlsx::Sheet s;
    const auto etiqueta = [&s](int row, int column, const QString &text) {
        s.setText(row, column, text);
        s.style(row, column).bold = true;
    };
    etiqueta(2, B, QStringLiteral("Envío con fecha:"));
    s.setTyped(2, C, envio.fEnvio);
    etiqueta(3, B, QStringLiteral("Programado:"));
    s.setTyped(3, C, envio.fProgramada);
    etiqueta(4, B, QStringLiteral("Texto del mensaje:"));
    s.setTyped(4, C, envio.mensaje);
    etiqueta(5, B, QStringLiteral("Remitente:"));
    s.setTyped(5, C, envio.remitente);
    etiqueta(7, B, QStringLiteral("Teléfono"));
    etiqueta(7, C, QStringLiteral("Estado"));

    const Desglose desglose = f_subhistorial_parse_estado(envio.estado, envio.destinatario);
    int row = kPrimeraFilaTelefonos;
    for (const QString &telefono : telefonosDe(lista)) {
        s.setTyped(row, B, telefono);
        const EstadoTelefono estado = estadoDeTelefono(telefono, desglose);
        if (estado != EstadoTelefono::Ninguno) {
            s.setText(row, C, textoEstado(estado));
            s.style(row, C).fontColour = colorEstado(estado);
        }
        ++row;
    }
    s.fitColumns(B, C);
    return s;
}

QString nombreLibroDestinatarios(qint64 sid, ClaseDestinatarios clase)
{
    QString parte;
    switch (clase) {
    case ClaseDestinatarios::Destinatarios: parte = QStringLiteral("todos"); break;
    case ClaseDestinatarios::Recibidos: parte = QStringLiteral("confirmados"); break;
    case ClaseDestinatarios::Pendientes: parte = QStringLiteral("sin_confirmar"); break;
    case ClaseDestinatarios::Fallidos: parte = QStringLiteral("fallidos"); break;
    }
    return QStringLiteral("destinatarios_%1_envio_%2.xlsx").arg(parte).arg(sid);
}

} // namespace history::exporting
