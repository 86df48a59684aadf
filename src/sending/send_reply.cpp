#include "sending/send_reply.h"

#include "platform/net/reply_text.h"
#include "platform/text/cp1252.h"
#include "platform/text/decimal.h"
#include "sending/message_counter.h"
#include "sending/message_parts.h"
#include "startup/brand.h"

#include <QDir>
#include <QFile>

#include <algorithm>

namespace sending {
namespace {

QString field(const QStringList &fields, qsizetype index)
{
    return index < fields.size() ? fields.at(index).trimmed() : QString();
}

QString refusalText(const SendRequest &request, const QString &phrase)
{
    if (phrase != QLatin1String("Required parameters missing"))
        return phrase;
    if (request.destino.isEmpty())
        return QStringLiteral("Por favor, rellene el campo Destinatario y pruebe de nuevo");
    if (!request.mensajeRegistro.isEmpty())
        return QStringLiteral("El envío no ha sido realizado por falta de parámetros requeridos.");
    return QStringLiteral("Por favor, escriba un mensaje antes de enviar el mensaje.");
}

} // namespace

std::optional<double> leerSaldoEtiqueta(const QString &label)
{
    const qsizetype cut = label.indexOf(QStringLiteral(" cr"));
    return text::parseDecimal(cut < 0 ? label : label.left(cut));
}

ReplyOutcome f_respuesta_envio(const SendRequest &request, bool ok, const QString &reply,
                               std::optional<double> currentBalance, const QDateTime &now)
{
    ReplyOutcome outcome;
    if (!ok || !net::replyOk(reply)) {
        outcome.kind = ReplyKind::NoConnection;
        outcome.messageTitle = QStringLiteral("Error");
        outcome.messageText = QStringLiteral(
            "Ha habido un problema en el envío del SMS. Por favor, compruebe que posee conexión a internet e "
            "intentelo de nuevo mas tarde.");
        if (request.automatizado) {
            // Unattended: every lost entry leaves its line, and the user is not buried in boxes.
            outcome.errorLogLine = lineaErrorAuto(now, request.destino, request.mensajeTecleado);
            outcome.noticeOnce = true;
        }
        return outcome;
    }
    const QStringList fields = net::respuesta_api(reply.trimmed());
    const QString code = field(fields, 0);
    outcome.queueStep = request.automatizado;

    if (code == QLatin1String("0") || code == QLatin1String("1")) {
        outcome.kind = ReplyKind::Sent;
        HistoryRow row;
        row.username = request.username;
        row.destinatario = request.destino;
        row.f_envio = now.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
        row.f_programada = request.fechaRegistro;
        row.mensaje = request.mensajeRegistro;
        const QString id = field(fields, 2);
        const auto idNumber = text::parseInteger(id);
        row.id_web = idNumber ? QString::number(*idNumber) : id;
        row.remitente = remitentePublicado(request);
        row.creditos = text::parseDecimal(field(fields, 3)).value_or(0.0);
        outcome.row = row;
        if (currentBalance) {
            outcome.nuevoSaldo = *currentBalance - row.creditos;
            outcome.saldoEtiqueta = etiqueta_creditos(escribirCreditos(*outcome.nuevoSaldo, true),
                                                      CreditFigure::BalanceAfterSend);
        }
        if (!request.automatizado) {
            outcome.messageTitle = QStringLiteral("Envío de SMS");
            outcome.messageText = QStringLiteral(
                "Mensaje enviado correctamente. Para comprobar la recepción del envío acceda al menú 'Historial'.");
        }
        return outcome;
    }

    outcome.kind = ReplyKind::Refused;
    if (request.automatizado) {
        outcome.errorLogLine = lineaErrorAuto(now, request.destino, request.mensajeTecleado);
    } else {
        outcome.messageTitle = QStringLiteral("Error");
        outcome.messageText = refusalText(request, field(fields, 1));
    }
    return outcome;
}

RecordOutcome aplicarRespuestaEnvio(db::Connection &connection, const ReplyOutcome &outcome, int attempts)
{
    RecordOutcome out;
    if (!outcome.row)
        return out;
    const HistoryRow &row = *outcome.row;
    for (int attempt = 0; attempt < std::max(attempts, 1); ++attempt) {
        db::Transaction transaction(connection);
        if (!transaction.isActive()) {
            out.result = connection.refusal().ok() ? db::Result{db::Status::Error, QStringLiteral("no transaction")}
                                                   : connection.refusal();
            continue;
        }
        // A commit that reported failure may still have landed: the row is looked for first.
        out.result = startup::insertSendOnce(connection, row);
        if (!out.result.ok())
            continue;
        if (outcome.nuevoSaldo) {
            // The gateway has charged this send: a balance that cannot be written must not cost
            // the row, so it is undone on its own.
            db::Transaction balanceWrite(connection);
            if (balanceWrite.isActive()
                && connection.execute(QStringLiteral("UPDATE Usuario SET saldo=?1"),
                                      {text::formatDecimal(*outcome.nuevoSaldo)})
                       .ok())
                balanceWrite.commit();
        }
        out.result = transaction.commit();
        if (out.result.ok())
            return out;
    }
    const QString database = connection.path();
    out.status = !database.isEmpty() && startup::appendPendingSend(startup::pendingSendsPath(database), row)
        ? RecordStatus::Pending
        : RecordStatus::Lost;
    return out;
}

QString textoEnvioPendiente()
{
    return QStringLiteral("El SMS se ha enviado y se ha cobrado, pero la base de datos está ocupada y no se ha podido "
                          "guardar todavía en el historial. Se guardará automáticamente la próxima vez que inicie ")
        + brand::nombre_marca() + QStringLiteral(" Desktop.");
}

QString lineaErrorAuto(const QDateTime &now, const QString &recipients, const QString &message)
{
    return now.toString(QStringLiteral("dd/MM/yyyy H:mm:ss")) + QStringLiteral("--- Error al enviar a destinatario: ")
           + recipients + QStringLiteral(". Texto del mensaje: ") + message + QStringLiteral("\r\n");
}

bool anotarErrorAuto(const QString &folder, const QString &line)
{
    QFile file(QDir(folder).filePath(QStringLiteral("error_auto.txt")));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    const QByteArray bytes = text::toCp1252(line);
    const bool written = file.write(bytes) == bytes.size();
    file.close();
    return written && file.error() == QFileDevice::NoError;
}

} // namespace sending
