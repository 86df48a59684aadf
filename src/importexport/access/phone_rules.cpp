#include "importexport/access/phone_rules.h"

namespace importexport::access {

namespace {

bool allDigits(const QString &text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}

} // namespace

QString telefono_access(const QString &raw)
{
    // Outer blanks would otherwise be stored with the number and never match it again.
    QString phone = raw.trimmed();
    qsizetype skip = 0;
    while (skip < phone.size() && (phone.at(skip) == QLatin1Char('0') || phone.at(skip) == QLatin1Char('+')))
        ++skip;
    phone = phone.mid(skip);
    if (phone.size() == 9 && phone.startsWith(QLatin1Char('6')))
        phone.prepend(QLatin1String("34"));
    return allDigits(phone) ? phone : QString(QLatin1String(""));
}

QString telefono_clientes(const QString &raw)
{
    QString phone = raw.left(48);
    for (const QChar c : {QChar(u'.'), QChar(u','), QChar(u' '), QChar(u'-'), QChar(u'+'), QChar(u'\u00B7')})
        phone.remove(c);
    qsizetype skip = 0;
    while (skip < phone.size() && phone.at(skip) == QLatin1Char('0'))
        ++skip;
    phone = phone.mid(skip);
    if (phone.size() == 9 && phone.startsWith(QLatin1Char('6')))
        phone.prepend(QLatin1String("34"));
    return phone.isNull() ? QString(QLatin1String("")) : phone;
}

} // namespace importexport::access
