#include "contacts/keyed_pages.h"

namespace contacts {

QString nameOrder(bool backwards)
{
    return backwards ? QStringLiteral(" ORDER BY ") + kNameOrderKey + QStringLiteral(" DESC, sid DESC")
                     : QStringLiteral(" ORDER BY ") + kNameOrderKey + QStringLiteral(" ASC, sid ASC");
}

namespace {

using KeyCondition = Condition (*)(const NameKey &key, const char *comparison);

Condition sidBeyond(const NameKey &key, const char *comparison)
{
    return {QStringLiteral("sid") + QString::fromLatin1(comparison) + QStringLiteral("?"), {key.sid}};
}

PagePlan plan(const std::optional<PageAnchor> &anchor, const Condition &scope, qint64 page, qint64 pageSize,
              KeyCondition beyondKey, const char *atOrAfter)
{
    PagePlan plan;
    if (page <= 0)
        return plan;
    if (!anchor || anchor->scopeSql != scope.sql || anchor->scopeValues != scope.values) {
        plan.offset = page * pageSize;
        return plan;
    }
    if (page == anchor->page) {
        // The same page again: from its first row on, whatever came or went before it.
        plan.key = beyondKey(anchor->first, atOrAfter);
    } else if (page > anchor->page) {
        plan.key = beyondKey(anchor->last, ">");
        plan.offset = (page - anchor->page - 1) * pageSize;
    } else {
        plan.key = beyondKey(anchor->first, "<");
        plan.backwards = true;
        plan.offset = (anchor->page - page - 1) * pageSize;
    }
    return plan;
}

Condition nameBeyond(const NameKey &key, const char *comparison)
{
    // ">=" keeps the key's own row: names compare strictly, the sid takes the "=".
    const QString op = QString::fromLatin1(comparison);
    const QString nameOp = op.left(1);
    return {QStringLiteral("(") + kNameOrderKey + nameOp + QStringLiteral("? OR (") + kNameOrderKey
                + QStringLiteral("=? AND sid") + op + QStringLiteral("?))"),
            {key.name, key.name, key.sid}};
}

} // namespace

PagePlan planNamePage(const std::optional<PageAnchor> &anchor, const Condition &scope, qint64 page, qint64 pageSize)
{
    return plan(anchor, scope, page, pageSize, nameBeyond, ">=");
}

PagePlan planSidPage(const std::optional<PageAnchor> &anchor, const Condition &scope, qint64 page, qint64 pageSize)
{
    return plan(anchor, scope, page, pageSize, sidBeyond, ">=");
}

} // namespace contacts
