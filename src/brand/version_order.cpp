#include "brand/version_order.h"

namespace brand {

bool isNewer(const QString &version, const QString &own)
{
    return QString::compare(version, own, Qt::CaseSensitive) > 0;
}

} // namespace brand
