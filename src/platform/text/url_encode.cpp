#include "platform/text/url_encode.h"

#include "platform/text/cp1252.h"

namespace text {
namespace {

constexpr char kHex[] = "0123456789ABCDEF";

void appendPercent(QString &out, unsigned char byte)
{
    out.append(QLatin1Char('%'));
    out.append(QLatin1Char(kHex[byte >> 4]));
    out.append(QLatin1Char(kHex[byte & 0x0F]));
}

bool isAsciiAlnum(char16_t ch)
{
    return (ch >= u'A' && ch <= u'Z') || (ch >= u'a' && ch <= u'z') || (ch >= u'0' && ch <= u'9');
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

QString urlEncode(QStringView value)
{
    QString out;
    out.reserve(value.size() * 3);
    for (const QChar qc : value) {
        const char16_t ch = qc.unicode();
        if (isAsciiAlnum(ch)) {
            out.append(qc);
        } else if (ch == u' ') {
            out.append(QLatin1Char('+'));
        } else if (const auto byte = cp1252Byte(ch)) {
            appendPercent(out, static_cast<unsigned char>(*byte));
        } else {
            out.append(qc);
        }
    }
    return out;
}

QString escapeRawValue(QStringView value)
{
    QString out;
    out.reserve(value.size());
    for (const QChar qc : value) {
        switch (qc.unicode()) {
        case u'%': case u'&': case u'+': case u'=': case u'#':
            appendPercent(out, static_cast<unsigned char>(qc.unicode()));
            break;
        default:
            out.append(qc);
        }
    }
    return out;
}

QByteArray formDecode(QByteArrayView encoded)
{
    QByteArray out;
    out.reserve(encoded.size());
    for (qsizetype i = 0; i < encoded.size(); ++i) {
        const char c = encoded[i];
        if (c == '+') {
            out.append(' ');
        } else if (c == '%' && i + 2 < encoded.size() && hexValue(encoded[i + 1]) >= 0
                   && hexValue(encoded[i + 2]) >= 0) {
            out.append(static_cast<char>(hexValue(encoded[i + 1]) * 16 + hexValue(encoded[i + 2])));
            i += 2;
        } else {
            out.append(c);
        }
    }
    return out;
}

} // namespace text
