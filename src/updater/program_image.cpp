#include "updater/program_image.h"

#include <QtGlobal>

namespace updater {

bool isProgramImage(const QByteArray &head)
{
#ifdef Q_OS_WIN
    return head.startsWith("MZ");
#else
    return head.startsWith("\x7f" "ELF");
#endif
}

} // namespace updater
