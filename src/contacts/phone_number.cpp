#include "contacts/phone_number.h"

#include "platform/text/digits.h"

namespace contacts {

MobileCheck checkMobile(const QString &text)
{
    if (text.isEmpty())
        return {MobileCheck::Status::Empty, text};
    const QString cleaned = text.trimmed();
    if (!text::isDigitsOnly(cleaned) || cleaned.size() < 7)
        return {MobileCheck::Status::Invalid, cleaned};
    QString mobile = cleaned;
    sending::phone::addMobilePrefix(mobile, u"6");
    return {mobile == cleaned ? MobileCheck::Status::Valid : MobileCheck::Status::PrefixAdded, mobile};
}

} // namespace contacts
