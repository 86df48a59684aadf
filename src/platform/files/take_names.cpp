#include "platform/files/take_names.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>

namespace files {

TakeNames::TakeNames(const QString &file, const QString &marker)
{
    const QFileInfo info(file);
    m_folder = info.absolutePath();
    m_base = info.fileName() + QLatin1Char('.') + marker;
}

QString TakeNames::fresh() const
{
    const QString stamp = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMddHHmmsszzz"));
    const QString random = QString::number(QRandomGenerator::global()->generate64(), 16).rightJustified(16, QLatin1Char('0'));
    return QDir(m_folder).filePath(m_base + QLatin1Char('-') + stamp + QLatin1Char('-') + random);
}

QStringList TakeNames::leftovers() const
{
    const QDir folder(m_folder);
    QStringList names;
    const QString prefix = m_base + QLatin1Char('-');
    for (const QString &name : folder.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (name == m_base || name.startsWith(prefix))
            names.append(name);
    }
    std::sort(names.begin(), names.end());
    QStringList paths;
    for (const QString &name : std::as_const(names))
        paths.append(folder.filePath(name));
    return paths;
}

} // namespace files
