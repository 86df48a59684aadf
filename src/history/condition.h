#pragma once

#include <QString>
#include <QVariantList>

namespace history {

// A piece of a WHERE clause with "?" placeholders and the values they take, in text order.
// Nothing typed by the user or sent by the gateway ever becomes part of `sql`.
struct Condition {
    QString sql;
    QVariantList values;

    bool isEmpty() const { return sql.trimmed().isEmpty(); }
};

// "a AND b"; either side may be empty. Each side is bracketed so an OR inside stays inside.
Condition operator&&(const Condition &a, const Condition &b);

// " WHERE (...)" or "" for an empty condition.
QString whereClause(const Condition &c);

} // namespace history
