#include "updater/replacement.h"

#include <QFile>
#include <QFileInfo>

#include <filesystem>
#include <system_error>

namespace updater {

ReplaceResult replaceExecutable(const QString &temporaryFile, const QString &target)
{
    const auto refused = [&target](const QString &reason) {
        return ReplaceResult{false, QStringLiteral("No se ha podido sustituir %1 por la versión descargada (%2). "
                                                   "El programa instalado no se ha modificado.")
                                        .arg(target, reason)};
    };

    if (!QFileInfo(temporaryFile).isFile())
        return refused(QStringLiteral("no se encuentra el archivo descargado"));

    constexpr QFile::Permissions runnable = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                            | QFile::ReadUser | QFile::WriteUser | QFile::ExeUser
                                            | QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther
                                            | QFile::ExeOther;
    const QFileInfo old(target);
    QFile::Permissions permissions = old.isFile() ? old.permissions() : runnable;
    permissions |= QFile::ReadOwner | QFile::ExeOwner | QFile::ReadUser | QFile::ExeUser;
    if (!QFile::setPermissions(temporaryFile, permissions))
        return refused(QStringLiteral("no se puede marcar el archivo descargado como programa"));

    // rename() replaces an existing file atomically; QFile::rename would refuse it instead.
    std::error_code error;
    std::filesystem::rename(std::filesystem::path(QFile::encodeName(temporaryFile).toStdString()),
                            std::filesystem::path(QFile::encodeName(target).toStdString()), error);
    if (error)
        return refused(QString::fromLocal8Bit(error.message()));
    return {true, {}};
}

} // namespace updater
