#include "platform/mdb/jet_text.h"

namespace mdb {

QString decodeJetText(QByteArrayView bytes)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    qsizetype left = bytes.size();
    QString text;
    if (left >= 2 && p[0] == 0xFF && p[1] == 0xFE) {
        p += 2;
        left -= 2;
        text.reserve(left);
        bool compressed = true;
        while (left > 0) {
            if (*p == 0) {
                compressed = !compressed;
                ++p;
                --left;
            } else if (compressed) {
                text += QChar(char16_t(*p));
                ++p;
                --left;
            } else if (left >= 2) {
                text += QChar(char16_t(p[0] | (p[1] << 8)));
                p += 2;
                left -= 2;
            } else {
                break;      // an odd byte at the end has no character
            }
        }
        return text;
    }
    text.reserve(left / 2);
    for (; left >= 2; p += 2, left -= 2)
        text += QChar(char16_t(p[0] | (p[1] << 8)));
    return text;
}

} // namespace mdb
