#pragma once

#include <QString>
#include <QVariantList>

namespace contacts {

// A piece of a WHERE clause with "?" placeholders and the values they take, in text order.
// Nothing the user typed is ever part of `sql`.
struct Condition {
    QString sql;
    QVariantList values;

    bool isBlank() const { return sql.trimmed().isEmpty(); }
    bool isEmpty() const { return sql.isEmpty(); }
};

// "a AND b", each side bracketed; an empty side drops out.
Condition operator&&(const Condition &a, const Condition &b);

} // namespace contacts
