#include "importexport/access/phone_rules.h"

#include "platform/text/digits.h"
#include "sending/phone_rules.h"

namespace importexport::access {

QString cleanAccessPhone(const QString &raw)
{
    // Outer blanks would otherwise be stored with the number and never match it again.
    QString phone = raw.trimmed();
    sending::phone::removeLeading(phone, u"0+");
    sending::phone::addMobilePrefix(phone, u"6");
    return text::isDigitsOnly(phone) ? phone : QString(QLatin1String(""));
}

QString cleanCustomerPhone(const QString &raw)
{
    QString phone = raw.left(48);
    sending::phone::removeChars(phone, u".,-+ \u00B7");
    sending::phone::removeLeading(phone, u"0");
    sending::phone::addMobilePrefix(phone, u"6");
    return phone.isNull() ? QString(QLatin1String("")) : phone;
}

} // namespace importexport::access
