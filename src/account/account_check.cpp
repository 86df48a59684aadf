#include "account/account_check.h"

#include "platform/text/decimal.h"
#include "platform/text/url_encode.h"

#include <QStringList>

namespace account {

QString accountCheckUrl(const QString &urlBase, const QString &login, const QString &pass,
                        const QString &buf)
{
    return urlBase + QStringLiteral("extranet/SMS/pedir_coste.php?username=") + text::urlEncode(login)
           + QStringLiteral("&password=") + text::urlEncode(pass)
           + QStringLiteral("&ruta=3&mensaje=hola&destino=34638654321&saldo=1&buf=") + buf;
}

AccountCheckReply parseAccountCheck(const QString &reply)
{
    if (reply.mid(2, 22) == QLatin1String("Authentication failure"))
        return {AccountCheckReply::Kind::Refused, {}};

    static const QString accepted = QStringLiteral("0|Ticket price|");
    const qsizetype at = reply.indexOf(accepted);
    if (at < 0)
        return {};
    // The balance is read as a field, not at a fixed offset: a cost of more than one character or
    // a line break after the figure must not end up in the stored balance.
    const QStringList fields = reply.mid(at).split(QLatin1Char('|'));
    if (fields.size() < 4)
        return {};
    QString balance = fields.at(3).trimmed();
    balance.replace(QLatin1Char(','), QLatin1Char('.'));
    if (!text::parseDecimal(balance))
        return {};
    return {AccountCheckReply::Kind::Accepted, balance};
}

} // namespace account
