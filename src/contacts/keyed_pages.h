#pragma once

#include "contacts/sql_condition.h"

#include <QString>

#include <optional>

// Pages of a contact list that other workstations write to while it is shown. A page is found
// from the rows already shown, by their keys (name order, then `sid`), never by counting rows from
// the top against a count read earlier: a contact added or deleted elsewhere never makes a page
// turn hide or repeat one.
namespace contacts {

// The contact lists' order: names in Spanish order (a missing name as an empty one), equal names
// by `sid`. Keys and ORDER BY use the same expression, so a page starts where the last one ended.
inline const QString kNameOrderKey = QStringLiteral("ifnull(nombre, '') COLLATE ESPANOL");
// " ORDER BY ..." ascending, or descending to read backwards from a key.
QString nameOrder(bool backwards = false);

struct NameKey {
    QString name;
    qint64 sid = 0;
};

// What a list last showed: its page, the keys of its first and last row, and the condition the
// list was read under (an anchor of another condition is not followed).
struct PageAnchor {
    qint64 page = 0;
    NameKey first;
    NameKey last;
    QString scopeSql;
    QVariantList scopeValues;
};

// The anchor of a page just read; nothing for an empty page.
template <typename Row>
std::optional<PageAnchor> anchorOf(qint64 page, const Condition &scope, const Row &first, const Row &last,
                                   bool empty)
{
    if (empty)
        return std::nullopt;
    return PageAnchor{page, {first.name, first.sid}, {last.name, last.sid}, scope.sql, scope.values};
}

// How to read page `page` from what was shown last: the rows after (or, backwards, before) a key,
// skipping `offset` rows of pages jumped over. The first page is always read from the top; with
// no anchor the page is counted from the top.
struct PagePlan {
    Condition key;
    bool backwards = false;
    qint64 offset = 0;
};
PagePlan planNamePage(const std::optional<PageAnchor> &anchor, const Condition &scope, qint64 page, qint64 pageSize);
// The same for a list in `sid` order alone.
PagePlan planSidPage(const std::optional<PageAnchor> &anchor, const Condition &scope, qint64 page, qint64 pageSize);

} // namespace contacts
