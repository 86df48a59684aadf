// The phone number rules of every way numbers come in.
#include "fuzz_support.h"

#include "automation/watched_file.h"
#include "contacts/phone_number.h"
#include "history/recipient_classes.h"
#include "importexport/access/phone_rules.h"
#include "platform/text/digits.h"
#include "sending/phone_rules.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::quietQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = fuzz::textOf(data, size);
    QString phone = text;
    (void)sending::phone::normalizePhone(phone);
    (void)sending::phone::normalizedPhone(text);
    (void)text::isDigitsOnly(text);
    QString stripped = text;
    sending::phone::removeChars(stripped, u"+()-. ,");
    sending::phone::removeLeading(stripped, u"0");
    sending::phone::addMobilePrefix(stripped, u"67");
    (void)automation::cleanNumber(text);
    (void)contacts::checkMobile(text);
    (void)importexport::access::cleanAccessPhone(text);
    (void)importexport::access::cleanCustomerPhone(text);
    (void)history::phonesOf(text);
    return 0;
}
