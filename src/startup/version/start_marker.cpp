#include "startup/version/start_marker.h"

#include <QFile>

namespace startup::version {

QString startMarkerPath(const QString &clientExecutable)
{
    return clientExecutable + QStringLiteral(".starting");
}

void confirmStarted(const QString &clientExecutable)
{
    const QString marker = startMarkerPath(clientExecutable);
    if (QFile::exists(marker))
        QFile::remove(marker);
}

} // namespace startup::version
