#include "support/temp_home.h"

#include <QDir>
#include <QFileInfo>

namespace testing {

TempHome::TempHome()
    : m_previous(qgetenv("BRISANTA_HOME")), m_hadPrevious(qEnvironmentVariableIsSet("BRISANTA_HOME"))
{
    qputenv("BRISANTA_HOME", m_dir.path().toLocal8Bit());
}

TempHome::~TempHome()
{
    if (m_hadPrevious)
        qputenv("BRISANTA_HOME", m_previous);
    else
        qunsetenv("BRISANTA_HOME");
}

QString sharedFixture(const QString &relativePath)
{
    const QString root = qEnvironmentVariable("BRISANTA_SHARED");
    if (root.isEmpty())
        return {};
    const QString path = QDir(root).filePath(relativePath);
    return QFileInfo::exists(path) ? path : QString();
}

} // namespace testing
