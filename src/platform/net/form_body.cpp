#include "platform/net/form_body.h"

#include "platform/text/cp1252.h"

namespace net {

QByteArray encodeFormBody(const FormFields &fields)
{
    QString body;
    for (const FormField &field : fields) {
        if (field.name.isEmpty())
            continue;
        if (!body.isEmpty())
            body.append(QLatin1Char('&'));
        body.append(field.name);
        body.append(QLatin1Char('='));
        body.append(field.value);
    }
    return text::toCp1252(body);
}

} // namespace net
