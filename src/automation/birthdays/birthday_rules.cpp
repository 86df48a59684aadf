#include "automation/birthdays/birthday_rules.h"

#include "platform/net/reply_text.h"
#include "platform/text/digits.h"
#include "platform/text/node_key.h"
#include "sending/send_request.h"
#include "sending/send_time.h"

#include <QTime>

#include <algorithm>

namespace automation::birthdays {
namespace {

const QString kSeparator = QStringLiteral("||");

QDate inYear(const QDate &birthDate, int year)
{
    const QDate date(year, birthDate.month(), birthDate.day());
    // 29 February in a year without it: the last day of February.
    return date.isValid() ? date : QDate(year, 2, 28);
}

// A list as it stands while being built: every entry preceded by the separator.
QString prefixed(const QStringList &list)
{
    QString text;
    for (const QString &value : list)
        text += kSeparator + value;
    return text;
}

qsizetype partCount(const QString &text)
{
    return text.split(kSeparator).size();
}

} // namespace

std::optional<QDate> parseBirthDate(const QString &stored)
{
    // A date with a time part ("1990-03-05 00:00:00") is read by its date.
    const QString date = stored.trimmed().section(QLatin1Char(' '), 0, 0);
    for (const QString &format : {QStringLiteral("yyyy-MM-dd"), QStringLiteral("dd/MM/yyyy"), QStringLiteral("d/M/yyyy")}) {
        const QDate parsed = QDate::fromString(date, format);
        if (parsed.isValid())
            return parsed;
    }
    return std::nullopt;
}

QString formatBirthDate(const QDate &birthDate)
{
    return birthDate.toString(QStringLiteral("dd/MM/yyyy"));
}

QDate nextBirthday(const QDate &birthDate, const QDate &today)
{
    const QDate thisYear = inYear(birthDate, today.year());
    return thisYear < today ? inYear(birthDate, today.year() + 1) : thisYear;
}

QString greetingTime(const QDate &birthDate, const QDate &today, const QString &timeZone)
{
    // Wall-clock arithmetic: a daylight-saving change never moves the greeting.
    const QDateTime local(nextBirthday(birthDate, today), QTime(12, 0), Qt::UTC);
    return local.addSecs(qint64(sending::gatewayOffsetMinutes(timeZone)) * 60).toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

QString greetedFrom(const QDate &birthday)
{
    // GMT +14:00, the easternmost zone, puts 12:00 thirteen hours earlier on the gateway's clock.
    constexpr qint64 kWidestShiftMinutes = 13 * 60;
    const QDateTime noon(birthday, QTime(12, 0), Qt::UTC);
    return noon.addSecs(-kWidestShiftMinutes * 60).toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

bool greetedForNextBirthday(const QDate &birthDate, const QDate &today, const QString &latestGreeting)
{
    return !latestGreeting.isEmpty() && latestGreeting >= greetedFrom(nextBirthday(birthDate, today));
}

void sortByBirthday(QList<Contact> &contacts)
{
    std::stable_sort(contacts.begin(), contacts.end(), [](const Contact &a, const Contact &b) {
        if (a.birthDate.month() != b.birthDate.month())
            return a.birthDate.month() < b.birthDate.month();
        return a.birthDate.day() < b.birthDate.day();
    });
}

PageState paginate(int rows, int position)
{
    PageState p;
    if (rows <= 0) {
        p.caption = QStringLiteral("Página 0 de 0");
        return p;
    }
    p.page = std::max(0, position);
    if (qint64(p.page) * kPageSize > rows && rows > kPageSize)
        p.page = (rows - 1) / kPageSize;
    p.lastPage = (rows - 1) / kPageSize;
    p.page = std::min(p.page, p.lastPage);
    p.caption = QStringLiteral("Página %1 de %2").arg(p.page + 1).arg(p.lastPage + 1);
    return p;
}

QList<TreeNode> contactNodes(const Contact &c)
{
    const QString sid = QString::number(c.sid);
    const QString root = QStringLiteral("pContacto ") + sid;
    QList<TreeNode> nodes;
    nodes.append({root, QString(), c.name + QStringLiteral(" (") + formatBirthDate(c.birthDate) + QStringLiteral(")")});
    // A label node under the contact and the value under the label.
    auto addDetail = [&](const QString &key, const QString &title, const QString &value, bool always) {
        if (!always && value.isEmpty())
            return;
        const QString labelKey = QStringLiteral("p") + key + QLatin1Char(' ') + sid;
        nodes.append({labelKey, root, title});
        nodes.append({key + QLatin1Char(' ') + sid, labelKey, value});
    };
    addDetail(QStringLiteral("Telefono"), QStringLiteral("Teléfono móvil"), c.phone, true);
    addDetail(QStringLiteral("Nombre"), QStringLiteral("Nombre completo"), c.fullName, false);
    addDetail(QStringLiteral("Direccion"), QStringLiteral("Dirección"), c.address, false);
    addDetail(QStringLiteral("Telefono2"), QStringLiteral("Otro teléfono"), c.otherPhone, false);
    addDetail(QStringLiteral("Comentarios"), QStringLiteral("Comentarios"), c.comment, false);
    addDetail(QStringLiteral("FechaNacimiento"), QStringLiteral("Fecha de nacimiento"), formatBirthDate(c.birthDate), true);
    return nodes;
}

std::optional<qint64> sidFromKey(const QString &key)
{
    return text::nodeKeyId(key, text::BareKey::Id, text::IdText::Digits);
}

GreetingLists buildGreetingLists(const QList<Contact> &contacts, const QDate &today, const QString &timeZone)
{
    GreetingLists l;
    for (const Contact &c : contacts) {
        l.names.append(c.name);
        l.phones.append(c.phone);
        l.fullNames.append(c.fullName);
        l.addresses.append(c.address);
        l.otherPhones.append(c.otherPhone);
        l.comments.append(c.comment);
        l.sendTimes.append(greetingTime(c.birthDate, today, timeZone));
    }
    return l;
}

QString formText(const QString &templateBody)
{
    QString text = templateBody;
    text.replace(QStringLiteral("_CONFIRMAR]"), QStringLiteral("]"));
    return text;
}

bool hasEnoughData(const GreetingLists &lists, const QString &templateBody, bool checkName)
{
    const QString names = prefixed(lists.names);
    const struct {
        const char *key;
        const QStringList &list;
    } keywords[] = {
        {"[NOMBRE]", lists.names},
        {"[NOMBRE_COMPLETO]", lists.fullNames},
        {"[DIRECCION]", lists.addresses},
        {"[OTRO_TELEFONO]", lists.otherPhones},
        {"[COMENTARIOS]", lists.comments},
    };
    for (const auto &keyword : keywords) {
        if (!checkName && &keyword.list == &lists.names)
            continue;
        if (!templateBody.contains(QLatin1String(keyword.key)))
            continue;
        const QString list = prefixed(keyword.list);
        if (!list.contains(kSeparator) || partCount(list) != partCount(names))
            return false;
    }
    return partCount(prefixed(lists.sendTimes)) == partCount(names);
}

bool hasEnoughCredit(double balance, int greetings)
{
    return balance > double(greetings);
}

QList<FormField> formFields(const GreetingLists &l, const QString &message, const Account &account,
                                        const QString &sender)
{
    const QString route = sending::postedRoute(account.route);
    return {
        {QStringLiteral("mensaje"), message},
        {QStringLiteral("username"), account.login},
        {QStringLiteral("password"), account.pass},
        {QStringLiteral("remitente"), sender},
        {QStringLiteral("ruta"), route},
        {QStringLiteral("nombre"), l.names.join(kSeparator)},
        {QStringLiteral("destino"), l.phones.join(QLatin1Char(','))},
        {QStringLiteral("telefono"), l.phones.join(kSeparator)},
        {QStringLiteral("nombre_completo"), l.fullNames.join(kSeparator)},
        {QStringLiteral("direccion"), l.addresses.join(kSeparator)},
        {QStringLiteral("otro_telefono"), l.otherPhones.join(kSeparator)},
        {QStringLiteral("comentarios"), l.comments.join(kSeparator)},
        {QStringLiteral("fecha"), l.sendTimes.join(kSeparator)},
    };
}

QStringList requiredFields()
{
    return {QStringLiteral("mensaje"),         QStringLiteral("username"),  QStringLiteral("password"),
            QStringLiteral("remitente"),       QStringLiteral("ruta"),      QStringLiteral("nombre"),
            QStringLiteral("destino"),         QStringLiteral("telefono"),  QStringLiteral("nombre_completo"),
            QStringLiteral("direccion"),       QStringLiteral("otro_telefono"), QStringLiteral("comentarios"),
            QStringLiteral("fecha")};
}

SendResult parseResult(const QString &text, int recipients, bool noPhones, bool emptyTemplate)
{
    SendResult r;
    const qsizetype firstBar = text.indexOf(QLatin1Char('|'));
    if (firstBar < 0) {
        r.message = kNoAnswerMessage;
        return r;
    }
    if (!text.contains(QStringLiteral("IN_PROGRESS"))) {
        // The gateway's answers start with their one-digit code; an error page that happens to
        // hold a "|" is not one of them.
        const std::optional<int> code = net::apiCode(text);
        if (!code) {
            r.message = kNoAnswerMessage;
            return r;
        }
        if (*code == 0 || *code == 1) {
            // The gateway's word for a send it carried out, without the identifiers of a schedule.
            r.kind = SendResult::Kind::Unreadable;
            r.message = kUnreadableIdsMessage;
            return r;
        }
        r.kind = SendResult::Kind::Refused;
        // The phrase follows the code; a refusal without a closing "|" runs to the end.
        const QString phrase = net::apiField(text, 1).trimmed().toString();
        if (phrase != QStringLiteral("Required parameters missing"))
            r.message = phrase;
        else if (noPhones)
            r.message = QStringLiteral("Por favor, seleccione destinatarios válidos");
        else if (emptyTemplate)
            r.message = QStringLiteral("Por favor, escriba una plantilla con texto válido antes de enviar el mensaje.");
        else
            r.message = QStringLiteral("El envío no ha sido realizado por falta de parámetros requeridos.");
        return r;
    }
    // The last recipient's identifier follows the "|" after the word; the others count back.
    const qsizetype bar = text.indexOf(QLatin1Char('|'), 5);
    const QString number = bar < 0 ? QString() : text.mid(bar + 1).trimmed();
    bool ok = text::isDigitsOnly(number);
    const qint64 last = ok ? number.toLongLong(&ok) : 0;
    if (!ok || recipients <= 0 || last - (recipients - 1) < 1) {
        r.kind = SendResult::Kind::Unreadable;
        r.message = kUnreadableIdsMessage;
        return r;
    }
    r.kind = SendResult::Kind::Scheduled;
    for (int i = 0; i < recipients; ++i)
        r.ids.append(last - (recipients - 1) + i);
    return r;
}

} // namespace automation::birthdays
