#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace net {

// One name/value pair of a form body, in the order the gateway receives them.
struct FormField {
    QString name;
    QString value;
};
using FormFields = QList<FormField>;

// "name=value" pairs joined by "&" in list order, a pair whose name is empty left out, as
// Windows-1252 bytes. Values go in as given: each request builder encodes what it must first.
QByteArray encodeFormBody(const FormFields &fields);

} // namespace net
