#include "sending/send_reply.h"

#include "brand/brand.h"
#include "platform/net/reply_text.h"
#include "platform/text/cp1252.h"
#include "platform/text/decimal.h"
#include "sending/message_counter.h"
#include "sending/message_parts.h"
#include "sending/send_unknown.h"

#include <QDir>
#include <QFile>

#include <algorithm>

namespace sending {
namespace {

QString field(const QString &reply, qsizetype index)
{
    return net::apiField(reply, index).trimmed().toString();
}

QString refusalText(const SendRequest &request, const QString &phrase)
{
    if (phrase != QLatin1String("Required parameters missing"))
        return phrase;
    if (request.recipients.isEmpty())
        return QStringLiteral("Por favor, rellene el campo Destinatario y pruebe de nuevo");
    if (!request.recordedMessage.isEmpty())
        return QStringLiteral("El envío no ha sido realizado por falta de parámetros requeridos.");
    return QStringLiteral("Por favor, escriba un mensaje antes de enviar el mensaje.");
}

} // namespace

ReplyOutcome interpretSendReply(const SendRequest &request, bool answered, const QString &reply,
                               std::optional<double> currentBalance, const QDateTime &now)
{
    ReplyOutcome outcome;
    if (!answered) {
        outcome.kind = ReplyKind::NoConnection;
        outcome.messageTitle = QStringLiteral("Error");
        outcome.messageText = QStringLiteral(
            "Ha habido un problema en el envío del SMS. Por favor, compruebe que posee conexión a internet e "
            "intentelo de nuevo mas tarde.");
        if (request.automated) {
            // Unattended: every lost entry leaves its line, and the user is not buried in boxes.
            outcome.errorLogLine = automatedErrorLine(now, request.recipients, request.typedMessage);
            outcome.noticeOnce = true;
        }
        return outcome;
    }
    const QString answer = reply.trimmed();
    const std::optional<int> code = net::apiCode(answer);
    // The gateway had the request and said something that is neither its success nor its
    // refusal (an empty page, an error page, a broken line): it may have charged the send.
    if (!code)
        return unrecognisedReplyOutcome(request, now);
    const bool success = *code == 0 || *code == 1;
    outcome.queueStep = request.automated;

    if (success) {
        outcome.kind = ReplyKind::Sent;
        HistoryRow row;
        row.username = request.username;
        row.recipients = request.recipients;
        row.sentAt = now.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
        row.scheduledAt = request.recordedTime;
        row.message = request.recordedMessage;
        const QString id = field(answer, 2);
        const auto idNumber = text::parseInteger(id);
        row.webId = idNumber ? QString::number(*idNumber) : id;
        row.sender = postedSender(request);
        const std::optional<double> credits = text::parseDecimal(field(answer, 3));
        row.credits = credits ? *credits : request.quotedCost.value_or(0.0);
        outcome.row = row;
        if (!credits) {
            // Charged, but by how much is not known: taking 0 off would leave the balance too high.
            askBalanceFromGateway(outcome);
        } else if (currentBalance) {
            outcome.newBalance = *currentBalance - row.credits;
            outcome.balanceLabel = creditLabel(formatCredits(*outcome.newBalance, true),
                                                      CreditFigure::BalanceAfterSend);
        }
        if (!request.automated) {
            outcome.messageTitle = QStringLiteral("Envío de SMS");
            outcome.messageText = QStringLiteral(
                "Mensaje enviado correctamente. Para comprobar la recepción del envío acceda al menú 'Historial'.");
        }
        return outcome;
    }

    outcome.kind = ReplyKind::Refused;
    if (request.automated) {
        outcome.errorLogLine = automatedErrorLine(now, request.recipients, request.typedMessage);
    } else {
        outcome.messageTitle = QStringLiteral("Error");
        outcome.messageText = refusalText(request, field(answer, 1));
    }
    return outcome;
}

void askBalanceFromGateway(ReplyOutcome &outcome)
{
    if (outcome.kind != ReplyKind::Sent)
        return;
    outcome.newBalance.reset();
    outcome.balanceLabel = kUnknownLabel;
    outcome.askBalance = true;
}

RecordOutcome recordSendOutcome(db::Connection &connection, const ReplyOutcome &outcome, int attempts)
{
    if (!outcome.row)
        return {};
    // The gateway has charged this send: a balance that cannot be written must not cost the row,
    // so it is undone on its own.
    const auto writeBalance = [&] {
        if (!outcome.newBalance)
            return;
        db::Transaction balanceWrite(connection);
        if (balanceWrite.isActive()
            && connection.execute(QStringLiteral("UPDATE Usuario SET saldo=?1"), {text::formatDecimal(*outcome.newBalance)})
                   .ok())
            balanceWrite.commit();
    };
    return recording::recordCharged(connection, {*outcome.row}, attempts, writeBalance);
}

QString pendingSendText()
{
    return QStringLiteral("El SMS se ha enviado y se ha cobrado, pero la base de datos está ocupada y no se ha podido "
                          "guardar todavía en el historial. Se guardará automáticamente la próxima vez que inicie ")
        + brand::brandName() + QStringLiteral(" Desktop.");
}

QString errorLogLine(const QDateTime &now, const QString &what)
{
    return now.toString(QStringLiteral("dd/MM/yyyy H:mm:ss")) + QStringLiteral("--- ") + what + QStringLiteral("\r\n");
}

QString automatedErrorLine(const QDateTime &now, const QString &recipients, const QString &message)
{
    return errorLogLine(now, QStringLiteral("Error al enviar a destinatario: ") + recipients
                                 + QStringLiteral(". Texto del mensaje: ") + message);
}

QString oneLogLine(QString line)
{
    if (line.endsWith(QStringLiteral("\r\n")))
        line.chop(2);
    line.replace(QStringLiteral("\r\n"), QStringLiteral("\u00B6"));
    for (QChar &ch : line) {
        if (ch == QLatin1Char('\r') || ch == QLatin1Char('\n') || ch == QChar::LineSeparator
            || ch == QChar::ParagraphSeparator)
            ch = QChar(0x00B6);
        else if (ch.category() == QChar::Other_Control && ch != QLatin1Char('\t'))
            ch = QLatin1Char(' ');
    }
    return line + QStringLiteral("\r\n");
}

bool appendAutomatedError(const QString &folder, const QString &line)
{
    QFile file(QDir(folder).filePath(QStringLiteral("error_auto.txt")));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    const QByteArray bytes = text::toCp1252(oneLogLine(line));
    const bool written = file.write(bytes) == bytes.size();
    file.close();
    return written && file.error() == QFileDevice::NoError;
}

} // namespace sending
