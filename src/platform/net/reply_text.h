#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <optional>

// What a gateway page says, as the hidden browser of the old client would have read it off the
// loaded document: the body decoded by its charset and, for an HTML page, only its visible text.
namespace net {

// The body decoded by the charset named in the Content-Type header; Windows-1252 when none is
// named or the name is unknown (the gateway speaks Windows-1252; ISO-8859-1 is read as its
// superset, as browsers do).
QString decodeBody(QByteArrayView body, QByteArrayView contentType);

// The visible text of an HTML document: only the body's content when a body element is there,
// scripts, styles and comments dropped, tags removed, runs of blanks folded, <br> and block ends
// as CR LF, character references decoded.
QString htmlToText(QStringView html);

// The text handed to a reply handler: decoded, reduced to its text when it is HTML (by header, or,
// without a Content-Type, when it starts with a tag), trimmed.
QString replyText(QByteArrayView body, QByteArrayView contentType);

// An APIv2 reply is read field by field, split on every "|" with empty fields kept; an empty reply
// has no fields at all. How many fields it has, counted without making them.
qsizetype apiFieldCount(QStringView text);
// The field at `index` of an APIv2 reply (0 the code), a view into `text`; empty when the reply
// has no such field. Only the text up to that field is looked at, so a reader of the first few
// fields costs only those, however many "|" follow.
QStringView apiField(QStringView text, qsizetype index);

// An APIv2 reply is usable when it is not empty and holds at least one "|".
bool replyOk(QStringView text);

// The one-digit code that opens a usable APIv2 reply (or a delivery-report line): field 0 with the
// blanks around it dropped, when that is a single digit 0-9 (" 3 " is code 3, "0 " code 0). Every
// script judges the gateway's answer from this alone and keeps only what its own codes mean.
// Anything else has no code: an unusable reply (replyOk false), an empty first field, more than one
// digit ("10" is not code 1), a word or an error page's text. Such a text is not the gateway's
// answer in its form; a script that asked the gateway to act reads it as "may have been done".
std::optional<int> apiCode(QStringView text);

} // namespace net
