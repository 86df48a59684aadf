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

// What a list last showed: its page and the keys of its first and last row.
struct PageAnchor {
    qint64 page = 0;
    NameKey first;
    NameKey last;
};

// How to read page `page` from what was shown last: the rows after (or, backwards, before) a key,
// skipping `offset` rows of pages jumped over. The first page is always read from the top; with
// no anchor the page is counted from the top.
struct PagePlan {
    Condition key;
    bool backwards = false;
    qint64 offset = 0;
};
PagePlan planNamePage(const std::optional<PageAnchor> &anchor, qint64 page, qint64 pageSize);

} // namespace contacts
