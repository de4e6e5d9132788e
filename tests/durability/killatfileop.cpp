// Preloaded (LD_PRELOAD) into a program by the kill tests: counts the calls that change files
// — making, writing, syncing, renaming, linking, removing — and kills the process with SIGKILL
// just before the one numbered TOLVA_KILL_AT_FILE_OP (from 1), as a crash or a kill would stop
// it there. A test runs the program once for every number until it is no longer killed, so
// that every step of what it writes is a place where it stopped once.
#undef _FORTIFY_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <atomic>

namespace {

std::atomic<long> calls{0};

void counted()
{
    static const long killAt = [] {
        const char* value = getenv("TOLVA_KILL_AT_FILE_OP");
        return value ? atol(value) : 0L;
    }();
    if (killAt > 0 && ++calls == killAt)
        raise(SIGKILL);
}

template <typename Function>
Function next(const char* name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

// Opening changes a file only when it makes or empties one.
bool changes(int flags)
{
    return (flags & (O_CREAT | O_TRUNC)) != 0 || (flags & O_TMPFILE) == O_TMPFILE;
}

mode_t modeArgument(int flags, va_list arguments)
{
    return (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE ? mode_t(va_arg(arguments, int)) : 0;
}

} // namespace

#define TOLVA_COUNTED(result, name, parameters, arguments, ...)                     \
    result name parameters __VA_ARGS__                                              \
    {                                                                               \
        static const auto real = next<result(*) parameters>(#name);                 \
        counted();                                                                  \
        return real arguments;                                                      \
    }

#define TOLVA_COUNTED_OPEN(name)                                                    \
    int name(const char* path, int flags, ...)                                      \
    {                                                                               \
        va_list arguments;                                                          \
        va_start(arguments, flags);                                                 \
        const mode_t mode = modeArgument(flags, arguments);                         \
        va_end(arguments);                                                          \
        static const auto real = next<int (*)(const char*, int, ...)>(#name);      \
        if (changes(flags))                                                         \
            counted();                                                              \
        return real(path, flags, mode);                                             \
    }

#define TOLVA_COUNTED_OPENAT(name)                                                  \
    int name(int folder, const char* path, int flags, ...)                          \
    {                                                                               \
        va_list arguments;                                                          \
        va_start(arguments, flags);                                                 \
        const mode_t mode = modeArgument(flags, arguments);                         \
        va_end(arguments);                                                          \
        static const auto real = next<int (*)(int, const char*, int, ...)>(#name); \
        if (changes(flags))                                                         \
            counted();                                                              \
        return real(folder, path, flags, mode);                                     \
    }

extern "C" {

TOLVA_COUNTED_OPEN(open)
TOLVA_COUNTED_OPEN(open64)
TOLVA_COUNTED_OPENAT(openat)
TOLVA_COUNTED_OPENAT(openat64)

// The checked variants a program built with _FORTIFY_SOURCE calls.
int __open_2(const char* path, int flags)
{
    static const auto real = next<int (*)(const char*, int)>("__open_2");
    if (changes(flags))
        counted();
    return real(path, flags);
}
int __open64_2(const char* path, int flags)
{
    static const auto real = next<int (*)(const char*, int)>("__open64_2");
    if (changes(flags))
        counted();
    return real(path, flags);
}
int __openat_2(int folder, const char* path, int flags)
{
    static const auto real = next<int (*)(int, const char*, int)>("__openat_2");
    if (changes(flags))
        counted();
    return real(folder, path, flags);
}
int __openat64_2(int folder, const char* path, int flags)
{
    static const auto real = next<int (*)(int, const char*, int)>("__openat64_2");
    if (changes(flags))
        counted();
    return real(folder, path, flags);
}

TOLVA_COUNTED(int, creat, (const char* path, mode_t mode), (path, mode))
TOLVA_COUNTED(int, creat64, (const char* path, mode_t mode), (path, mode))
TOLVA_COUNTED(ssize_t, write, (int fd, const void* data, size_t size), (fd, data, size))
TOLVA_COUNTED(ssize_t, pwrite, (int fd, const void* data, size_t size, off_t at), (fd, data, size, at))
TOLVA_COUNTED(ssize_t, pwrite64, (int fd, const void* data, size_t size, off64_t at), (fd, data, size, at))
TOLVA_COUNTED(ssize_t, writev, (int fd, const struct iovec* parts, int count), (fd, parts, count))
TOLVA_COUNTED(ssize_t, pwritev, (int fd, const struct iovec* parts, int count, off_t at), (fd, parts, count, at))
TOLVA_COUNTED(int, fsync, (int fd), (fd))
TOLVA_COUNTED(int, fdatasync, (int fd), (fd))
TOLVA_COUNTED(int, rename, (const char* from, const char* to), (from, to), __THROW)
TOLVA_COUNTED(int, renameat, (int fromFolder, const char* from, int toFolder, const char* to), (fromFolder, from, toFolder, to), __THROW)
TOLVA_COUNTED(int, renameat2, (int fromFolder, const char* from, int toFolder, const char* to, unsigned flags),
              (fromFolder, from, toFolder, to, flags), __THROW)
TOLVA_COUNTED(int, link, (const char* from, const char* to), (from, to), __THROW)
TOLVA_COUNTED(int, linkat, (int fromFolder, const char* from, int toFolder, const char* to, int flags),
              (fromFolder, from, toFolder, to, flags), __THROW)
TOLVA_COUNTED(int, symlink, (const char* target, const char* path), (target, path), __THROW)
TOLVA_COUNTED(int, unlink, (const char* path), (path), __THROW)
TOLVA_COUNTED(int, unlinkat, (int folder, const char* path, int flags), (folder, path, flags), __THROW)
TOLVA_COUNTED(int, mkdir, (const char* path, mode_t mode), (path, mode), __THROW)
TOLVA_COUNTED(int, mkdirat, (int folder, const char* path, mode_t mode), (folder, path, mode), __THROW)
TOLVA_COUNTED(int, rmdir, (const char* path), (path), __THROW)
TOLVA_COUNTED(int, chmod, (const char* path, mode_t mode), (path, mode), __THROW)
TOLVA_COUNTED(int, fchmod, (int fd, mode_t mode), (fd, mode), __THROW)
TOLVA_COUNTED(int, fchmodat, (int folder, const char* path, mode_t mode, int flags), (folder, path, mode, flags), __THROW)
TOLVA_COUNTED(int, ftruncate, (int fd, off_t size), (fd, size), __THROW)
TOLVA_COUNTED(int, ftruncate64, (int fd, off64_t size), (fd, size), __THROW)
TOLVA_COUNTED(int, truncate, (const char* path, off_t size), (path, size), __THROW)
TOLVA_COUNTED(int, fallocate, (int fd, int mode, off_t at, off_t size), (fd, mode, at, size))
TOLVA_COUNTED(int, posix_fallocate, (int fd, off_t at, off_t size), (fd, at, size))
TOLVA_COUNTED(ssize_t, copy_file_range, (int from, off64_t* fromAt, int to, off64_t* toAt, size_t size, unsigned flags),
              (from, fromAt, to, toAt, size, flags))
TOLVA_COUNTED(ssize_t, sendfile, (int to, int from, off_t* at, size_t size), (to, from, at, size), __THROW)

} // extern "C"
