#include "support/engine_files.h"

#define SQLITE_HAS_CODEC 1
#include <sqlcipher/sqlite3.h>

#include <csignal>

#include <unistd.h>

namespace testing {

namespace {

// A file opened through the shim: the engine's own file follows it in the same allocation.
struct ShimFile {
    sqlite3_file base;
    EngineFiles *owner;
    sqlite3_file *real;
};

ShimFile *shim(sqlite3_file *file) { return reinterpret_cast<ShimFile *>(file); }

int shimClose(sqlite3_file *file)
{
    sqlite3_file *real = shim(file)->real;
    return real->pMethods ? real->pMethods->xClose(real) : SQLITE_OK;
}
int shimRead(sqlite3_file *file, void *buffer, int amount, sqlite3_int64 offset)
{
    sqlite3_file *real = shim(file)->real;
    return real->pMethods->xRead(real, buffer, amount, offset);
}
int shimWrite(sqlite3_file *file, const void *buffer, int amount, sqlite3_int64 offset)
{
    shim(file)->owner->step();
    sqlite3_file *real = shim(file)->real;
    return real->pMethods->xWrite(real, buffer, amount, offset);
}
int shimTruncate(sqlite3_file *file, sqlite3_int64 size)
{
    shim(file)->owner->step();
    sqlite3_file *real = shim(file)->real;
    return real->pMethods->xTruncate(real, size);
}
int shimSync(sqlite3_file *file, int flags)
{
    shim(file)->owner->step();
    sqlite3_file *real = shim(file)->real;
    return real->pMethods->xSync(real, flags);
}
int shimFileSize(sqlite3_file *file, sqlite3_int64 *size)
{
    sqlite3_file *real = shim(file)->real;
    return real->pMethods->xFileSize(real, size);
}
int shimLock(sqlite3_file *file, int level)
{
    sqlite3_file *real = shim(file)->real;
    return real->pMethods->xLock(real, level);
}
int shimUnlock(sqlite3_file *file, int level)
{
    sqlite3_file *real = shim(file)->real;
    return real->pMethods->xUnlock(real, level);
}
int shimCheckReservedLock(sqlite3_file *file, int *out)
{
    sqlite3_file *real = shim(file)->real;
    return real->pMethods->xCheckReservedLock(real, out);
}
int shimFileControl(sqlite3_file *file, int op, void *arg)
{
    sqlite3_file *real = shim(file)->real;
    return real->pMethods->xFileControl(real, op, arg);
}
int shimSectorSize(sqlite3_file *file)
{
    sqlite3_file *real = shim(file)->real;
    return real->pMethods->xSectorSize(real);
}
int shimDeviceCharacteristics(sqlite3_file *file)
{
    sqlite3_file *real = shim(file)->real;
    return real->pMethods->xDeviceCharacteristics(real);
}

// Version 1: no shared memory (the client keeps a rollback journal) and no memory mapping.
const sqlite3_io_methods kShimMethods = {
    1, shimClose, shimRead, shimWrite, shimTruncate, shimSync, shimFileSize, shimLock, shimUnlock,
    shimCheckReservedLock, shimFileControl, shimSectorSize, shimDeviceCharacteristics,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
};

} // namespace

struct EngineFiles::Vfs {
    sqlite3_vfs vfs{};
    sqlite3_vfs *real = nullptr;
    EngineFiles *owner = nullptr;
};

namespace {

EngineFiles::Vfs *outer(sqlite3_vfs *vfs) { return reinterpret_cast<EngineFiles::Vfs *>(vfs->pAppData); }

int vfsOpen(sqlite3_vfs *vfs, const char *name, sqlite3_file *file, int flags, int *outFlags)
{
    EngineFiles::Vfs *self = outer(vfs);
    ShimFile *opened = shim(file);
    opened->owner = self->owner;
    opened->real = reinterpret_cast<sqlite3_file *>(opened + 1);
    opened->real->pMethods = nullptr;
    const int rc = self->real->xOpen(self->real, name, opened->real, flags, outFlags);
    opened->base.pMethods = opened->real->pMethods ? &kShimMethods : nullptr;
    return rc;
}
int vfsDelete(sqlite3_vfs *vfs, const char *name, int syncDir)
{
    EngineFiles::Vfs *self = outer(vfs);
    self->owner->step();
    return self->real->xDelete(self->real, name, syncDir);
}
int vfsAccess(sqlite3_vfs *vfs, const char *name, int flags, int *out)
{
    return outer(vfs)->real->xAccess(outer(vfs)->real, name, flags, out);
}
int vfsFullPathname(sqlite3_vfs *vfs, const char *name, int size, char *out)
{
    return outer(vfs)->real->xFullPathname(outer(vfs)->real, name, size, out);
}
void *vfsDlOpen(sqlite3_vfs *vfs, const char *name) { return outer(vfs)->real->xDlOpen(outer(vfs)->real, name); }
void vfsDlError(sqlite3_vfs *vfs, int size, char *out) { outer(vfs)->real->xDlError(outer(vfs)->real, size, out); }
void (*vfsDlSym(sqlite3_vfs *vfs, void *handle, const char *symbol))(void)
{
    return outer(vfs)->real->xDlSym(outer(vfs)->real, handle, symbol);
}
void vfsDlClose(sqlite3_vfs *vfs, void *handle) { outer(vfs)->real->xDlClose(outer(vfs)->real, handle); }
int vfsRandomness(sqlite3_vfs *vfs, int size, char *out)
{
    return outer(vfs)->real->xRandomness(outer(vfs)->real, size, out);
}
int vfsSleep(sqlite3_vfs *vfs, int microseconds)
{
    outer(vfs)->owner->asked(microseconds);
    return microseconds;
}
int vfsCurrentTime(sqlite3_vfs *vfs, double *now) { return outer(vfs)->real->xCurrentTime(outer(vfs)->real, now); }
int vfsGetLastError(sqlite3_vfs *vfs, int size, char *out)
{
    return outer(vfs)->real->xGetLastError(outer(vfs)->real, size, out);
}
int vfsCurrentTimeInt64(sqlite3_vfs *vfs, sqlite3_int64 *now)
{
    return outer(vfs)->real->xCurrentTimeInt64(outer(vfs)->real, now);
}

} // namespace

EngineFiles::EngineFiles(int killBefore) : m_killBefore(killBefore), m_vfs(std::make_unique<Vfs>())
{
    sqlite3_initialize();
    m_vfs->real = sqlite3_vfs_find(nullptr);
    m_vfs->owner = this;
    sqlite3_vfs &vfs = m_vfs->vfs;
    vfs.iVersion = 2;
    vfs.szOsFile = int(sizeof(ShimFile)) + m_vfs->real->szOsFile;
    vfs.mxPathname = m_vfs->real->mxPathname;
    vfs.zName = "brisanta-test-files";
    vfs.pAppData = m_vfs.get();
    vfs.xOpen = vfsOpen;
    vfs.xDelete = vfsDelete;
    vfs.xAccess = vfsAccess;
    vfs.xFullPathname = vfsFullPathname;
    vfs.xDlOpen = vfsDlOpen;
    vfs.xDlError = vfsDlError;
    vfs.xDlSym = vfsDlSym;
    vfs.xDlClose = vfsDlClose;
    vfs.xRandomness = vfsRandomness;
    vfs.xSleep = vfsSleep;
    vfs.xCurrentTime = vfsCurrentTime;
    vfs.xGetLastError = vfsGetLastError;
    vfs.xCurrentTimeInt64 = vfsCurrentTimeInt64;
    sqlite3_vfs_register(&vfs, 1);
}

EngineFiles::~EngineFiles()
{
    sqlite3_vfs_unregister(&m_vfs->vfs);
    if (m_vfs->real)
        sqlite3_vfs_register(m_vfs->real, 1);
}

void EngineFiles::step()
{
    ++m_steps;
    if (m_killBefore > 0 && m_steps == m_killBefore)
        ::kill(::getpid(), SIGKILL);
}

} // namespace testing
