#pragma once

#include "contacts/keyed_pages.h"
#include "contacts/picker/contact_condition.h"
#include "contacts/picker/contact_nodes.h"
#include "platform/db/connection.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// What the recipient picker lists: every group while no filter is set, then
// the contacts that match, by name, 100 items a page.
namespace contacts::picker {

inline constexpr qint64 kPickerPageSize = 100;

// The picker's filter row, as its controls hold it.
struct PickerFilter {
    int operatorIndex = 0;           // the operator combo
    int fieldIndex = 0;              // the field combo
    QString words;           // the words box
    bool byGroup = false;      // the group check
    QString group;              // the group combo's text
};

struct PickerCondition {
    std::optional<Condition> condition;     // empty when it could not be built (see error)
    QString error;
};

// "Filtrar": the field clause and, when a group is ticked and still exists by that name, its
// membership. A group that is gone is left out; the rest of the filter applies.
PickerCondition pickerCondition(db::Connection &connection, const PickerFilter &filter);

struct PickerPage {
    bool ok = true;
    QString error;
    PageBar pageBar;
    std::vector<Node> nodes;     // in the order the tree adds them
    qint64 groupCount = 0;           // groups listed (0 under a filter)
    qint64 contactCount = 0;        // contacts that match
    std::optional<PageAnchor> anchor;   // a page of contacts only, for the next one to be read from
};

// The page at `position` (brought back to the last page when the list got shorter); `condition`
// empty means no filter. An empty list still reads "Página 1 de 1" and shows "Sin contactos".
// `shown` is the page shown before: a page of contacts alone is read on from its contacts
// (keyed_pages.h), so contacts added or deleted elsewhere never make a page turn hide or repeat one.
PickerPage pickerPage(db::Connection &connection, const std::optional<Condition> &condition,
                              qint64 position, const std::optional<PageAnchor> &shown = std::nullopt);

// The group names for the filter's group list, by name; empty when there is no group.
QStringList groupNames(db::Connection &connection, db::Result *result = nullptr);

} // namespace contacts::picker
