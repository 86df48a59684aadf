#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

// What tells a file apart and whether it changed: its identity is the device and inode it lives
// on (the same through a second name, a bind mount or after a rename), its look the size and the
// modification time.
namespace files {

struct FileState {
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 modifiedNs = 0;   // since the epoch, as fine as the file system keeps it

    bool sameFile(const FileState &other) const { return device == other.device && inode == other.inode; }
    bool operator==(const FileState &) const = default;
};

// The state of the regular file at `path`; nothing when there is none (or it is not a file).
std::optional<FileState> fileState(const QString &path);

} // namespace files
