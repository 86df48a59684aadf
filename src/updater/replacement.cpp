#include "updater/replacement.h"

#include "platform/files/durable_write.h"

#include <QFile>
#include <QFileInfo>

#include <QCryptographicHash>

#include <filesystem>
#include <system_error>

namespace updater {
namespace {

std::filesystem::path fsPath(const QString &path)
{
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

// rename() replaces an existing file atomically; QFile::rename would refuse it instead.
QString atomicRename(const QString &from, const QString &to)
{
    std::error_code error;
    std::filesystem::rename(fsPath(from), fsPath(to), error);
    return error ? QString::fromLocal8Bit(error.message()) : QString();
}

} // namespace

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

    const QString error = atomicRename(temporaryFile, target);
    if (!error.isEmpty())
        return refused(error);
    files::syncFolderOf(target);
    return {true, {}};
}

QString previousPath(const QString &target)
{
    return target + QStringLiteral(".old");
}

bool keepPrevious(const QString &target)
{
    const QFileInfo installed(target);
    if (!installed.isFile() || installed.isSymLink())
        return false;
    const QString previous = previousPath(target);
    // Under the install lock, a copy still here was left by an ended run and found to be the client
    // itself when that run was finished or undone (installer.h).
    if (QFileInfo::exists(previous) && !QFile::remove(previous))
        return false;
    std::error_code error;
    std::filesystem::create_hard_link(fsPath(target), fsPath(previous), error);
    if (error) {
        // File systems without hard links get a real copy, runnable like the original.
        if (!QFile::copy(target, previous))
            return false;
        QFile::setPermissions(previous, installed.permissions());
    }
    files::syncFolderOf(previous);
    return true;
}

ReplaceResult restorePrevious(const QString &target)
{
    const QString previous = previousPath(target);
    if (!QFileInfo(previous).isFile())
        return {false, QStringLiteral("No se encuentra la versión anterior del programa (%1).").arg(previous)};
    const QString error = atomicRename(previous, target);
    if (!error.isEmpty())
        return {false, QStringLiteral("No se ha podido volver a poner la versión anterior del programa en %1 (%2).")
                           .arg(target, error)};
    files::syncFolderOf(target);
    return {true, {}};
}

bool sameContent(const QString &first, const QString &second)
{
    std::error_code error;
    if (std::filesystem::equivalent(fsPath(first), fsPath(second), error))
        return true;
    QFile a(first);
    QFile b(second);
    if (!a.open(QIODevice::ReadOnly) || !b.open(QIODevice::ReadOnly) || a.size() != b.size())
        return false;
    QCryptographicHash hashA(QCryptographicHash::Sha256);
    QCryptographicHash hashB(QCryptographicHash::Sha256);
    return hashA.addData(&a) && hashB.addData(&b) && hashA.result() == hashB.result();
}

QString moveOver(const QString &from, const QString &to)
{
    const QString error = atomicRename(from, to);
    if (error.isEmpty())
        files::syncFolderOf(to);
    return error;
}

} // namespace updater
