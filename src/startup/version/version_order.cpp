#include "startup/version/version_order.h"

namespace startup::version {

bool isNewer(const QString &version, const QString &own)
{
    return QString::compare(version, own, Qt::CaseSensitive) > 0;
}

} // namespace startup::version
