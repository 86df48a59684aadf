#pragma once

#include <QString>
#include <QStringView>

namespace text {

// Form encoding of one value as the gateway expects it: letters and digits unchanged, a blank
// becomes "+", every other character with a Windows-1252 byte becomes "%" and two upper-case hex
// digits of that byte; a character without a byte is left as it is.
QString urlEncode(QStringView value);

// Values that travel "raw" still must not break the form: only "%", "&", "+", "=" and "#" are
// escaped, so ordinary values keep their bytes and a password with "&" still arrives whole.
QString escapeRawValue(QStringView value);

// Standard form decoding of received bytes ("+" is a blank, "%XX" a byte; a malformed escape is
// kept as typed). Returns the decoded bytes; the caller picks the charset.
QByteArray formDecode(QByteArrayView encoded);

} // namespace text
