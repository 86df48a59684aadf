#include "brand/start_marker.h"

#include <QFile>

namespace brand {

QString startMarkerPath(const QString &clientExecutable)
{
    return clientExecutable + QStringLiteral(".starting");
}

void confirmStarted(const QString &clientExecutable)
{
    // Removing a marker that is not there does nothing.
    QFile::remove(startMarkerPath(clientExecutable));
}

} // namespace brand
