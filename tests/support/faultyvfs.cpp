#include "tests/support/faultyvfs.h"

#include "db/checksumvfs.h"

#include <sqlite3.h>

#include <stdexcept>

#include <unistd.h>

namespace tolva::testing {

namespace {

sqlite3_vfs* real = nullptr;
Fault active = Fault::DiskFull;
int countedCalls = 0;
int failAtCall = 0;
int failCode = SQLITE_IOERR_WRITE;
bool failedCall = false;

// With CountedWrites: counts one write, sync or truncate, and tells the code to fail it with.
int countedFault()
{
    if (active != Fault::CountedWrites)
        return SQLITE_OK;
    ++countedCalls;
    if (failAtCall > 0 && countedCalls == failAtCall) {
        failedCall = true;
        return failCode;
    }
    return SQLITE_OK;
}

// A file of the faulty file system: the real file follows it in the same allocation.
struct FaultyFile {
    sqlite3_file base;
    sqlite3_file* file;
};

sqlite3_file* realFile(sqlite3_file* file)
{
    return reinterpret_cast<FaultyFile*>(file)->file;
}

int fileClose(sqlite3_file* f)
{
    return realFile(f)->pMethods->xClose(realFile(f));
}

int fileRead(sqlite3_file* f, void* buffer, int amount, sqlite3_int64 offset)
{
    return realFile(f)->pMethods->xRead(realFile(f), buffer, amount, offset);
}

int fileWrite(sqlite3_file* f, const void* buffer, int amount, sqlite3_int64 offset)
{
    // What the unix file system of SQLite returns when write() fails with ENOSPC.
    if (active == Fault::DiskFull)
        return SQLITE_FULL;
    if (const int rc = countedFault())
        return rc;
    return realFile(f)->pMethods->xWrite(realFile(f), buffer, amount, offset);
}

int fileTruncate(sqlite3_file* f, sqlite3_int64 size)
{
    if (const int rc = countedFault())
        return rc == SQLITE_IOERR_WRITE ? SQLITE_IOERR_TRUNCATE : rc;
    return realFile(f)->pMethods->xTruncate(realFile(f), size);
}

int fileSync(sqlite3_file* f, int flags)
{
    if (const int rc = countedFault())
        return rc == SQLITE_IOERR_WRITE ? SQLITE_IOERR_FSYNC : rc;
    return realFile(f)->pMethods->xSync(realFile(f), flags);
}

int fileSize(sqlite3_file* f, sqlite3_int64* size)
{
    return realFile(f)->pMethods->xFileSize(realFile(f), size);
}

int fileLock(sqlite3_file* f, int level)
{
    return realFile(f)->pMethods->xLock(realFile(f), level);
}

int fileUnlock(sqlite3_file* f, int level)
{
    return realFile(f)->pMethods->xUnlock(realFile(f), level);
}

int fileCheckReservedLock(sqlite3_file* f, int* result)
{
    return realFile(f)->pMethods->xCheckReservedLock(realFile(f), result);
}

int fileControl(sqlite3_file* f, int op, void* arg)
{
    return realFile(f)->pMethods->xFileControl(realFile(f), op, arg);
}

int fileSectorSize(sqlite3_file* f)
{
    return realFile(f)->pMethods->xSectorSize(realFile(f));
}

int fileDeviceCharacteristics(sqlite3_file* f)
{
    return realFile(f)->pMethods->xDeviceCharacteristics(realFile(f));
}

int fileShmMap(sqlite3_file* f, int region, int size, int extend, void volatile** memory)
{
    return realFile(f)->pMethods->xShmMap(realFile(f), region, size, extend, memory);
}

int fileShmLock(sqlite3_file* f, int offset, int n, int flags)
{
    return realFile(f)->pMethods->xShmLock(realFile(f), offset, n, flags);
}

void fileShmBarrier(sqlite3_file* f)
{
    realFile(f)->pMethods->xShmBarrier(realFile(f));
}

int fileShmUnmap(sqlite3_file* f, int deleteFlag)
{
    return realFile(f)->pMethods->xShmUnmap(realFile(f), deleteFlag);
}

int fileFetch(sqlite3_file* f, sqlite3_int64 offset, int amount, void** page)
{
    return realFile(f)->pMethods->xFetch(realFile(f), offset, amount, page);
}

int fileUnfetch(sqlite3_file* f, sqlite3_int64 offset, void* page)
{
    return realFile(f)->pMethods->xUnfetch(realFile(f), offset, page);
}

const sqlite3_io_methods fileMethods = {
    3,           fileClose,     fileRead,          fileWrite,     fileTruncate,          fileSync,
    fileSize,    fileLock,      fileUnlock,        fileCheckReservedLock, fileControl,   fileSectorSize,
    fileDeviceCharacteristics,  fileShmMap,        fileShmLock,   fileShmBarrier,        fileShmUnmap,
    fileFetch,   fileUnfetch,
};

int vfsOpen(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags)
{
    auto* faulty = reinterpret_cast<FaultyFile*>(file);
    faulty->base.pMethods = nullptr;
    faulty->file = reinterpret_cast<sqlite3_file*>(faulty + 1);

    if (active == Fault::ReadOnlyFile && (flags & SQLITE_OPEN_MAIN_DB) && (flags & SQLITE_OPEN_READWRITE)) {
        // What the unix file system does after open(O_RDWR) failed with EACCES.
        flags = (flags & ~(SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE)) | SQLITE_OPEN_READONLY;
    }
    if (active == Fault::ReadOnlyFolder && (flags & SQLITE_OPEN_CREATE) && name && ::access(name, F_OK) != 0) {
        // What it returns when a new file cannot be made for want of the folder's permission.
        return SQLITE_READONLY_DIRECTORY;
    }
    const int rc = real->xOpen(real, name, faulty->file, flags, outFlags);
    if (rc == SQLITE_OK && faulty->file->pMethods)
        faulty->base.pMethods = &fileMethods;
    return rc;
}

int vfsDelete(sqlite3_vfs*, const char* name, int syncDir)
{
    return real->xDelete(real, name, syncDir);
}

int vfsAccess(sqlite3_vfs*, const char* name, int flags, int* result)
{
    return real->xAccess(real, name, flags, result);
}

int vfsFullPathname(sqlite3_vfs*, const char* name, int size, char* out)
{
    return real->xFullPathname(real, name, size, out);
}

void* vfsDlOpen(sqlite3_vfs*, const char* name)
{
    return real->xDlOpen(real, name);
}

void vfsDlError(sqlite3_vfs*, int size, char* message)
{
    real->xDlError(real, size, message);
}

void (*vfsDlSym(sqlite3_vfs*, void* handle, const char* symbol))(void)
{
    return real->xDlSym(real, handle, symbol);
}

void vfsDlClose(sqlite3_vfs*, void* handle)
{
    real->xDlClose(real, handle);
}

int vfsRandomness(sqlite3_vfs*, int size, char* out)
{
    return real->xRandomness(real, size, out);
}

int vfsSleep(sqlite3_vfs*, int microseconds)
{
    return real->xSleep(real, microseconds);
}

int vfsCurrentTime(sqlite3_vfs*, double* now)
{
    return real->xCurrentTime(real, now);
}

int vfsGetLastError(sqlite3_vfs*, int size, char* out)
{
    return real->xGetLastError(real, size, out);
}

int vfsCurrentTimeInt64(sqlite3_vfs*, sqlite3_int64* now)
{
    return real->xCurrentTimeInt64(real, now);
}

sqlite3_vfs faultyVfs = {};

} // namespace

FaultyFileSystem::FaultyFileSystem(Fault fault)
{
    if (real)
        throw std::logic_error("a faulty file system is already installed");
    // Over the checksum layer, as a disk under the program's own files: the layer must be in
    // place first, or it would be put over this one and left pointing at it.
    checksumvfs::install();
    real = sqlite3_vfs_find(nullptr);
    active = fault;
    countFromHere();
    faultyVfs.iVersion = 2;
    faultyVfs.szOsFile = int(sizeof(FaultyFile)) + real->szOsFile;
    faultyVfs.mxPathname = real->mxPathname;
    faultyVfs.zName = "tolva-faulty";
    faultyVfs.xOpen = vfsOpen;
    faultyVfs.xDelete = vfsDelete;
    faultyVfs.xAccess = vfsAccess;
    faultyVfs.xFullPathname = vfsFullPathname;
    faultyVfs.xDlOpen = vfsDlOpen;
    faultyVfs.xDlError = vfsDlError;
    faultyVfs.xDlSym = vfsDlSym;
    faultyVfs.xDlClose = vfsDlClose;
    faultyVfs.xRandomness = vfsRandomness;
    faultyVfs.xSleep = vfsSleep;
    faultyVfs.xCurrentTime = vfsCurrentTime;
    faultyVfs.xGetLastError = vfsGetLastError;
    faultyVfs.xCurrentTimeInt64 = vfsCurrentTimeInt64;
    sqlite3_vfs_register(&faultyVfs, 1);
}

void FaultyFileSystem::countFromHere(int failAt, int code)
{
    countedCalls = 0;
    failAtCall = failAt;
    failCode = code == 0 ? SQLITE_IOERR_WRITE : code;
    failedCall = false;
}

int FaultyFileSystem::counted()
{
    return countedCalls;
}

bool FaultyFileSystem::failed()
{
    return failedCall;
}

FaultyFileSystem::~FaultyFileSystem()
{
    sqlite3_vfs_unregister(&faultyVfs);
    sqlite3_vfs_register(real, 1);
    real = nullptr;
}

} // namespace tolva::testing
