#pragma once

#include <QString>

class QCoreApplication;
class QTranslator;

namespace ui {

// The file of Qt's own Spanish texts: the context menus of text boxes, the file dialogs and the
// buttons Qt labels itself.
inline const QString kQtSpanishFile = QStringLiteral("qtbase_es.qm");

// Installs Qt's own Spanish texts in `app`. An installed copy carries the file beside its programs,
// so `programFolder` is looked at first, then the folder where this machine's Qt keeps its
// translations. Without the file anywhere, Qt's English texts stay and nothing is said: the
// program works all the same. The translator belongs to `app`; nullptr when none was found.
QTranslator *installQtSpanish(QCoreApplication &app, const QString &programFolder);

} // namespace ui
