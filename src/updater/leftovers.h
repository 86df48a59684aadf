#pragma once

#include <QString>
#include <QStringList>

// What updaters that were ended half-way leave beside the client: downloads (checked or cut short)
// with their statements, and records that were being written. Only the holder of the install lock
// (install_lock.h) looks at them, so none of them belongs to a run that is still going.
namespace updater {

// The downloads left beside `target` (their statements not counted), in the order of their names.
QStringList leftoverDownloads(const QString &target);

// The statements of downloads left beside `target`, with or without their download (a swap moves
// the download to the target's place and leaves its statement).
QStringList leftoverStatements(const QString &target);

// Removes every leftover but the download `keep` and its statement; the folder is synced after.
void removeLeftovers(const QString &target, const QString &keep = {});

} // namespace updater
