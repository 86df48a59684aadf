#include "sim_state.h"

#include "platform/text/decimal.h"
#include "platform/text/url_encode.h"

namespace sim {

QDateTime GatewayData::now() const
{
    if (frozenClock)
        return *frozenClock;
    // The gateway keeps GMT+01:00 all year: wall time = UTC + one hour.
    return QDateTime::currentDateTimeUtc().addSecs(3600);
}

AccountData *GatewayData::account(const QString &login)
{
    const auto it = accounts.find(login);
    return it == accounts.end() ? nullptr : &it.value();
}

AccountData *GatewayData::authenticate(const QString &login, const QString &password)
{
    AccountData *found = account(login);
    if (!found || found->password != password)
        return nullptr;
    return found;
}

bool GatewayData::senderAccepted(const AccountData &acc, const QString &sender) const
{
    if (sender == brandSender)
        return true;
    for (const SenderEntry &entry : acc.senders) {
        if (entry.identifier == sender)
            return entry.approved;
    }
    return false;
}

int GatewayData::finalise(SendRecord &send)
{
    int changed = 0;
    for (Recipient &r : send.recipients) {
        if (r.state != Delivery::Pending)
            continue;
        bool fails = false;
        for (const QString &suffix : failingSuffixes)
            fails = fails || (!suffix.isEmpty() && r.number.endsWith(suffix));
        r.state = fails ? Delivery::Failed : Delivery::Confirmed;
        ++changed;
    }
    return changed;
}

Endpoint endpointForPath(const QByteArray &rawPath)
{
    // The updater joins its web root and "/extranet/..." and may double the slash.
    QByteArray path = rawPath;
    while (path.startsWith("//"))
        path.remove(0, 1);
    static const struct {
        const char *path;
        Endpoint endpoint;
    } table[] = {
        {"/APIv2/sendsms.php", Endpoint::SendSms},
        {"/APIv2/quotesms.php", Endpoint::QuoteSms},
        {"/APIv2/getreport.php", Endpoint::GetReport},
        {"/APIv2/scheduled_sendings.php", Endpoint::ScheduledSendings},
        {"/extranet/SMS/pedir_coste.php", Endpoint::CostQuote},
        {"/extranet/SMS/pedir_remitentes.php", Endpoint::SenderList},
        {"/extranet/SMS/desktop_version.php", Endpoint::DesktopVersion},
        {"/extranet/SMS/desktop_export_agenda.php", Endpoint::ExportBook},
        {"/extranet/SMS/desktop_import_agenda.php", Endpoint::ImportBook},
        {"/extranet/SMS/sms_personalizados.php", Endpoint::FormPage},
        {"/extranet_nueva/SMS/sendsms.php", Endpoint::FormResult},
        {"/", Endpoint::WebPage},
        {"/extranet/", Endpoint::WebPage},
        {"/extranet", Endpoint::WebPage},
        {"/extranet_nueva/OUT/out_index.php", Endpoint::WebPage},
        {"/error.html", Endpoint::WebPage},
    };
    for (const auto &entry : table) {
        if (path == entry.path)
            return entry.endpoint;
    }
    if (path.startsWith("/extranet/Descargas/") && path.size() > 20)
        return Endpoint::Download;
    return Endpoint::Unknown;
}

QString endpointPath(Endpoint endpoint)
{
    switch (endpoint) {
    case Endpoint::SendSms: return QStringLiteral("APIv2/sendsms.php");
    case Endpoint::QuoteSms: return QStringLiteral("APIv2/quotesms.php");
    case Endpoint::GetReport: return QStringLiteral("APIv2/getreport.php");
    case Endpoint::ScheduledSendings: return QStringLiteral("APIv2/scheduled_sendings.php");
    case Endpoint::CostQuote: return QStringLiteral("extranet/SMS/pedir_coste.php");
    case Endpoint::SenderList: return QStringLiteral("extranet/SMS/pedir_remitentes.php");
    case Endpoint::DesktopVersion: return QStringLiteral("extranet/SMS/desktop_version.php");
    case Endpoint::ExportBook: return QStringLiteral("extranet/SMS/desktop_export_agenda.php");
    case Endpoint::ImportBook: return QStringLiteral("extranet/SMS/desktop_import_agenda.php");
    case Endpoint::FormPage: return QStringLiteral("extranet/SMS/sms_personalizados.php");
    case Endpoint::FormResult: return QStringLiteral("extranet_nueva/SMS/sendsms.php");
    case Endpoint::Download:
    case Endpoint::WebPage:
    case Endpoint::Unknown: break;
    }
    return {};
}

QList<QPair<QByteArray, QByteArray>> parseFormPairs(const QByteArray &raw)
{
    QList<QPair<QByteArray, QByteArray>> pairs;
    for (const QByteArray &piece : raw.split('&')) {
        if (piece.isEmpty())
            continue;
        const qsizetype eq = piece.indexOf('=');
        if (eq < 0) {
            pairs.append({text::formDecode(piece), QByteArray()});
        } else {
            pairs.append({text::formDecode(QByteArrayView(piece).first(eq)),
                          text::formDecode(QByteArrayView(piece).sliced(eq + 1))});
        }
    }
    return pairs;
}

int messageParts(const QString &text)
{
    const qsizetype length = text.size();
    if (length <= 160)
        return 1;
    return static_cast<int>((length + 152) / 153);
}

QString malformNumbers(const QString &text)
{
    QStringList lines = text.split(QStringLiteral("\r\n"));
    for (QString &line : lines) {
        QStringList fields = line.split(QLatin1Char('|'));
        for (qsizetype i = 1; i < fields.size(); ++i) {
            if (text::parseDecimal(fields[i]).has_value())
                fields[i] = QStringLiteral("abc");
        }
        line = fields.join(QLatin1Char('|'));
    }
    return lines.join(QStringLiteral("\r\n"));
}

} // namespace sim
