#include "platform/ui/skin.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace ui {

namespace {

bool isPlainFileName(const QString &name)
{
    // The product name becomes part of a path: never let it climb out of the program folder.
    return !name.isEmpty() && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\'))
        && name != QLatin1String("..");
}

} // namespace

QString skinFileFor(const QString &programFolder, const QString &productName)
{
    const QDir folder(programFolder);
    const QString brandName = productName + QStringLiteral(".skn");
    if (isPlainFileName(productName)) {
        const QFileInfo brand(folder.filePath(brandName));
        if (brand.isFile())
            return brand.filePath();
    }
    const QFileInfo fallback(folder.filePath(QString::fromLatin1(defaultSkinFileName)));
    return fallback.isFile() ? fallback.filePath() : QString();
}

QString loadSkin(const QString &programFolder, const QString &productName)
{
    const QString path = skinFileFor(programFolder, productName);
    if (path.isEmpty())
        return {};
    QFile file(path);
    // A skin that cannot be read is skipped like any other failed start-up step.
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    const QString styleSheet = QString::fromUtf8(file.readAll());
    if (auto *app = qobject_cast<QApplication *>(QCoreApplication::instance()))
        app->setStyleSheet(styleSheet);
    else
        return {};
    return path;
}

} // namespace ui
