#include "platform/ui/qt_translation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <memory>

namespace ui {

QTranslator *installQtSpanish(QCoreApplication &app, const QString &programFolder)
{
    const QStringList folders{programFolder, QLibraryInfo::path(QLibraryInfo::TranslationsPath)};
    for (const QString &folder : folders) {
        if (folder.isEmpty())
            continue;
        auto translator = std::make_unique<QTranslator>();
        // A file that is missing or does not load leaves the next folder to try.
        if (translator->load(kQtSpanishFile, folder) && QCoreApplication::installTranslator(translator.get())) {
            translator->setParent(&app);
            return translator.release();
        }
    }
    return nullptr;
}

} // namespace ui
