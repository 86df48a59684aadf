#include "contacts/keyed_pages.h"

namespace contacts {

namespace {

Condition beyond(const NameKey &key, const char *comparison)
{
    const QString op = QString::fromLatin1(comparison);
    return {QStringLiteral("(") + kNameOrderKey + op + QStringLiteral("? OR (") + kNameOrderKey
                + QStringLiteral("=? AND sid") + op + QStringLiteral("?))"),
            {key.name, key.name, key.sid}};
}

} // namespace

QString nameOrder(bool backwards)
{
    return backwards ? QStringLiteral(" ORDER BY ") + kNameOrderKey + QStringLiteral(" DESC, sid DESC")
                     : QStringLiteral(" ORDER BY ") + kNameOrderKey + QStringLiteral(" ASC, sid ASC");
}

PagePlan planNamePage(const std::optional<PageAnchor> &anchor, qint64 page, qint64 pageSize)
{
    PagePlan plan;
    if (page <= 0)
        return plan;
    if (!anchor) {
        plan.offset = page * pageSize;
        return plan;
    }
    if (page == anchor->page) {
        // The same page again: from its first row on, whatever came or went before it.
        plan.key = beyond(anchor->first, ">");
        plan.key.sql.replace(QStringLiteral("sid>?"), QStringLiteral("sid>=?"));
    } else if (page > anchor->page) {
        plan.key = beyond(anchor->last, ">");
        plan.offset = (page - anchor->page - 1) * pageSize;
    } else {
        plan.key = beyond(anchor->first, "<");
        plan.backwards = true;
        plan.offset = (anchor->page - page - 1) * pageSize;
    }
    return plan;
}

} // namespace contacts
