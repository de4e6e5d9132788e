// A read-only medium for the tests, made below the program: preloaded (LD_PRELOAD) into a
// program, or linked into a test, it makes one folder behave as on a file system mounted
// read-only, as a CD or a write-protected USB stick is. Tests run as root, whom permission
// bits do not stop, and mounting needs privileges a CI machine may not give; this needs none.
//
// Under the folder (TOLVA_READONLY_ROOT in a program, tolva_readonly_set_root in a test):
//  - statvfs and fstatvfs report ST_RDONLY, and access(W_OK) fails with EROFS, as the kernel
//    answers for a read-only mount;
//  - every call that would make, change or remove a file or a folder fails with EROFS and is
//    recorded as a refused change: in tolva_readonly_refusals(), and a line "call path" in the
//    file TOLVA_READONLY_LOG (kept outside the folder) when that is set.
// Reading is left alone, and so is a file opened before the folder was set.
#undef _FORTIFY_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/time.h>
#include <unistd.h>
#include <utime.h>

#include <atomic>
#include <mutex>
#include <string>

namespace {

// Made on first use and never destroyed: a call may come before this library's statics are
// made or after they are gone.
struct State {
    std::mutex guard;
    std::string root;      // normalised, without a trailing slash; empty: no folder is read-only
    std::string refusals;  // one line per refused change
    bool fromEnvironment = false;
};
State& state()
{
    static State* made = new State;
    return *made;
}
std::atomic<long> refusalCount{0};

template <typename Function>
Function next(const char* name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

// A path with "." and ".." taken out and single slashes, without looking at the disk (the
// name may not exist yet).
std::string normalised(const std::string& path)
{
    std::string out;
    size_t at = 0;
    while (at <= path.size()) {
        size_t end = path.find('/', at);
        if (end == std::string::npos)
            end = path.size();
        const std::string part = path.substr(at, end - at);
        if (part == "..") {
            const size_t slash = out.rfind('/');
            out.erase(slash == std::string::npos ? 0 : slash);
        } else if (!part.empty() && part != ".") {
            out += '/';
            out += part;
        }
        at = end + 1;
    }
    return out.empty() ? "/" : out;
}

std::string folderOf(int folder)
{
    if (folder == AT_FDCWD) {
        char cwd[PATH_MAX];
        return getcwd(cwd, sizeof cwd) ? std::string(cwd) : std::string();
    }
    char link[64];
    snprintf(link, sizeof link, "/proc/self/fd/%d", folder);
    char target[PATH_MAX];
    const ssize_t length = readlink(link, target, sizeof target - 1);
    return length > 0 ? std::string(target, size_t(length)) : std::string();
}

void readEnvironment(State& s)
{
    if (s.fromEnvironment)
        return;
    s.fromEnvironment = true;
    if (const char* value = getenv("TOLVA_READONLY_ROOT"); value && *value) {
        char resolved[PATH_MAX];
        s.root = normalised(realpath(value, resolved) ? resolved : value);
    }
}

bool under(int folder, const char* path)
{
    if (!path)
        return false;
    State& s = state();
    std::lock_guard<std::mutex> lock(s.guard);
    readEnvironment(s);
    if (s.root.empty())
        return false;
    const std::string full = normalised(path[0] == '/' ? std::string(path) : folderOf(folder) + '/' + path);
    return full == s.root
           || (full.size() > s.root.size() && full.compare(0, s.root.size(), s.root) == 0 && full[s.root.size()] == '/');
}

bool fdUnder(int fd)
{
    char link[64];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char target[PATH_MAX];
    const ssize_t length = readlink(link, target, sizeof target - 1);
    if (length <= 0)
        return false;
    target[length] = '\0';
    return under(AT_FDCWD, target);
}

int refuse(const char* call, int folder, const char* path)
{
    ++refusalCount;
    std::string line = std::string(call) + ' ' + (path && path[0] != '/' ? folderOf(folder) + '/' : std::string()) + (path ? path : "") + '\n';
    {
        std::lock_guard<std::mutex> lock(state().guard);
        state().refusals += line;
    }
    if (const char* log = getenv("TOLVA_READONLY_LOG"); log && *log) {
        static const auto realOpen = next<int (*)(const char*, int, ...)>("open");
        const int fd = realOpen(log, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (fd >= 0) {
            [[maybe_unused]] const ssize_t written = ::write(fd, line.data(), line.size());
            ::close(fd);
        }
    }
    errno = EROFS;
    return -1;
}

bool writes(int flags)
{
    return (flags & O_ACCMODE) != O_RDONLY || (flags & (O_TRUNC | O_APPEND)) != 0 || (flags & O_TMPFILE) == O_TMPFILE;
}

// O_CREAT alone changes nothing when the file is there already.
bool creates(int folder, const char* path, int flags)
{
    if ((flags & O_CREAT) == 0)
        return false;
    struct stat existing;
    return fstatat(folder, path, &existing, 0) != 0;
}

mode_t modeArgument(int flags, va_list arguments)
{
    return (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE ? mode_t(va_arg(arguments, int)) : 0;
}

} // namespace

extern "C" {

__attribute__((visibility("default"))) void tolva_readonly_set_root(const char* folder)
{
    State& s = state();
    std::lock_guard<std::mutex> lock(s.guard);
    s.fromEnvironment = true;
    char resolved[PATH_MAX];
    s.root = folder && *folder ? normalised(realpath(folder, resolved) ? resolved : folder) : std::string();
    s.refusals.clear();
    refusalCount = 0;
}

__attribute__((visibility("default"))) long tolva_readonly_refusals()
{
    return refusalCount;
}

__attribute__((visibility("default"))) const char* tolva_readonly_refusal_lines()
{
    static thread_local std::string copy;
    std::lock_guard<std::mutex> lock(state().guard);
    copy = state().refusals;
    return copy.c_str();
}

#define TOLVA_OPEN(name)                                                                    \
    int name(const char* path, int flags, ...)                                              \
    {                                                                                       \
        va_list arguments;                                                                  \
        va_start(arguments, flags);                                                         \
        const mode_t mode = modeArgument(flags, arguments);                                 \
        va_end(arguments);                                                                  \
        static const auto real = next<int (*)(const char*, int, ...)>(#name);               \
        if ((writes(flags) || creates(AT_FDCWD, path, flags)) && under(AT_FDCWD, path))     \
            return refuse(#name, AT_FDCWD, path);                                           \
        return real(path, flags, mode);                                                     \
    }

#define TOLVA_OPENAT(name)                                                                  \
    int name(int folder, const char* path, int flags, ...)                                  \
    {                                                                                       \
        va_list arguments;                                                                  \
        va_start(arguments, flags);                                                         \
        const mode_t mode = modeArgument(flags, arguments);                                 \
        va_end(arguments);                                                                  \
        static const auto real = next<int (*)(int, const char*, int, ...)>(#name);          \
        if ((writes(flags) || creates(folder, path, flags)) && under(folder, path))         \
            return refuse(#name, folder, path);                                             \
        return real(folder, path, flags, mode);                                             \
    }

TOLVA_OPEN(open)
TOLVA_OPEN(open64)
TOLVA_OPENAT(openat)
TOLVA_OPENAT(openat64)

// The checked variants a program built with _FORTIFY_SOURCE calls.
int __open_2(const char* path, int flags)
{
    static const auto real = next<int (*)(const char*, int)>("__open_2");
    if ((writes(flags) || creates(AT_FDCWD, path, flags)) && under(AT_FDCWD, path))
        return refuse("open", AT_FDCWD, path);
    return real(path, flags);
}
int __open64_2(const char* path, int flags)
{
    static const auto real = next<int (*)(const char*, int)>("__open64_2");
    if ((writes(flags) || creates(AT_FDCWD, path, flags)) && under(AT_FDCWD, path))
        return refuse("open64", AT_FDCWD, path);
    return real(path, flags);
}
int __openat_2(int folder, const char* path, int flags)
{
    static const auto real = next<int (*)(int, const char*, int)>("__openat_2");
    if ((writes(flags) || creates(folder, path, flags)) && under(folder, path))
        return refuse("openat", folder, path);
    return real(folder, path, flags);
}
int __openat64_2(int folder, const char* path, int flags)
{
    static const auto real = next<int (*)(int, const char*, int)>("__openat64_2");
    if ((writes(flags) || creates(folder, path, flags)) && under(folder, path))
        return refuse("openat64", folder, path);
    return real(folder, path, flags);
}

int creat(const char* path, mode_t mode)
{
    static const auto real = next<int (*)(const char*, mode_t)>("creat");
    return under(AT_FDCWD, path) ? refuse("creat", AT_FDCWD, path) : real(path, mode);
}
int creat64(const char* path, mode_t mode)
{
    static const auto real = next<int (*)(const char*, mode_t)>("creat64");
    return under(AT_FDCWD, path) ? refuse("creat64", AT_FDCWD, path) : real(path, mode);
}

// glibc's fopen opens without calling open through the dynamic linker.
#define TOLVA_FOPEN(name)                                                                   \
    FILE* name(const char* path, const char* mode)                                          \
    {                                                                                       \
        static const auto real = next<FILE* (*)(const char*, const char*)>(#name);          \
        if (mode && strpbrk(mode, "wa+") && under(AT_FDCWD, path)) {                        \
            refuse(#name, AT_FDCWD, path);                                                  \
            return nullptr;                                                                 \
        }                                                                                   \
        return real(path, mode);                                                            \
    }
TOLVA_FOPEN(fopen)
TOLVA_FOPEN(fopen64)

// One path: the call is refused when it lies in the folder.
#define TOLVA_PATH(result, name, parameters, arguments, path)                              \
    result name parameters __THROW                                                          \
    {                                                                                       \
        static const auto real = next<result(*) parameters>(#name);                         \
        if (under(AT_FDCWD, path))                                                          \
            return refuse(#name, AT_FDCWD, path);                                           \
        return real arguments;                                                              \
    }
#define TOLVA_PATH_AT(result, name, parameters, arguments, folder, path)                   \
    result name parameters __THROW                                                          \
    {                                                                                       \
        static const auto real = next<result(*) parameters>(#name);                         \
        if (under(folder, path))                                                            \
            return refuse(#name, folder, path);                                             \
        return real arguments;                                                              \
    }
#define TOLVA_FD(result, name, parameters, arguments, fd)                                  \
    result name parameters __THROW                                                          \
    {                                                                                       \
        static const auto real = next<result(*) parameters>(#name);                         \
        if (fdUnder(fd))                                                                    \
            return refuse(#name, AT_FDCWD, "(fd)");                                         \
        return real arguments;                                                              \
    }

TOLVA_PATH(int, mkdir, (const char* path, mode_t mode), (path, mode), path)
TOLVA_PATH_AT(int, mkdirat, (int folder, const char* path, mode_t mode), (folder, path, mode), folder, path)
TOLVA_PATH(int, rmdir, (const char* path), (path), path)
TOLVA_PATH(int, unlink, (const char* path), (path), path)
TOLVA_PATH_AT(int, unlinkat, (int folder, const char* path, int flags), (folder, path, flags), folder, path)
TOLVA_PATH(int, remove, (const char* path), (path), path)
TOLVA_PATH(int, truncate, (const char* path, off_t size), (path, size), path)
TOLVA_PATH(int, truncate64, (const char* path, off64_t size), (path, size), path)
TOLVA_PATH(int, chmod, (const char* path, mode_t mode), (path, mode), path)
TOLVA_PATH_AT(int, fchmodat, (int folder, const char* path, mode_t mode, int flags), (folder, path, mode, flags), folder, path)
TOLVA_PATH(int, chown, (const char* path, uid_t owner, gid_t group), (path, owner, group), path)
TOLVA_PATH(int, lchown, (const char* path, uid_t owner, gid_t group), (path, owner, group), path)
TOLVA_PATH_AT(int, fchownat, (int folder, const char* path, uid_t owner, gid_t group, int flags),
              (folder, path, owner, group, flags), folder, path)
TOLVA_PATH(int, utime, (const char* path, const struct utimbuf* times), (path, times), path)
TOLVA_PATH(int, utimes, (const char* path, const struct timeval times[2]), (path, times), path)
TOLVA_PATH_AT(int, utimensat, (int folder, const char* path, const struct timespec times[2], int flags),
              (folder, path, times, flags), folder, path)
TOLVA_PATH(int, mknod, (const char* path, mode_t mode, dev_t device), (path, mode, device), path)
TOLVA_FD(int, fchmod, (int fd, mode_t mode), (fd, mode), fd)
TOLVA_FD(int, fchown, (int fd, uid_t owner, gid_t group), (fd, owner, group), fd)

// Two paths: a new name in the folder, or an old one taken out of it.
int rename(const char* from, const char* to) __THROW
{
    static const auto real = next<int (*)(const char*, const char*)>("rename");
    if (under(AT_FDCWD, from) || under(AT_FDCWD, to))
        return refuse("rename", AT_FDCWD, under(AT_FDCWD, to) ? to : from);
    return real(from, to);
}
int renameat(int fromFolder, const char* from, int toFolder, const char* to) __THROW
{
    static const auto real = next<int (*)(int, const char*, int, const char*)>("renameat");
    if (under(fromFolder, from) || under(toFolder, to))
        return refuse("renameat", toFolder, to);
    return real(fromFolder, from, toFolder, to);
}
int renameat2(int fromFolder, const char* from, int toFolder, const char* to, unsigned flags) __THROW
{
    static const auto real = next<int (*)(int, const char*, int, const char*, unsigned)>("renameat2");
    if (under(fromFolder, from) || under(toFolder, to))
        return refuse("renameat2", toFolder, to);
    return real(fromFolder, from, toFolder, to, flags);
}
int link(const char* from, const char* to) __THROW
{
    static const auto real = next<int (*)(const char*, const char*)>("link");
    return under(AT_FDCWD, to) ? refuse("link", AT_FDCWD, to) : real(from, to);
}
int linkat(int fromFolder, const char* from, int toFolder, const char* to, int flags) __THROW
{
    static const auto real = next<int (*)(int, const char*, int, const char*, int)>("linkat");
    return under(toFolder, to) ? refuse("linkat", toFolder, to) : real(fromFolder, from, toFolder, to, flags);
}
int symlink(const char* target, const char* path) __THROW
{
    static const auto real = next<int (*)(const char*, const char*)>("symlink");
    return under(AT_FDCWD, path) ? refuse("symlink", AT_FDCWD, path) : real(target, path);
}
int symlinkat(const char* target, int folder, const char* path) __THROW
{
    static const auto real = next<int (*)(const char*, int, const char*)>("symlinkat");
    return under(folder, path) ? refuse("symlinkat", folder, path) : real(target, folder, path);
}

// What the kernel answers about a read-only mount: questions, not changes, so not recorded.
int access(const char* path, int mode) __THROW
{
    static const auto real = next<int (*)(const char*, int)>("access");
    if ((mode & W_OK) != 0 && under(AT_FDCWD, path) && real(path, F_OK) == 0) {
        errno = EROFS;
        return -1;
    }
    return real(path, mode);
}
int faccessat(int folder, const char* path, int mode, int flags) __THROW
{
    static const auto real = next<int (*)(int, const char*, int, int)>("faccessat");
    if ((mode & W_OK) != 0 && under(folder, path) && real(folder, path, F_OK, flags & ~AT_EACCESS) == 0) {
        errno = EROFS;
        return -1;
    }
    return real(folder, path, mode, flags);
}
int euidaccess(const char* path, int mode) __THROW
{
    static const auto real = next<int (*)(const char*, int)>("euidaccess");
    if ((mode & W_OK) != 0 && under(AT_FDCWD, path) && ::access(path, F_OK) == 0) {
        errno = EROFS;
        return -1;
    }
    return real(path, mode);
}
int eaccess(const char* path, int mode) __THROW
{
    return euidaccess(path, mode);
}

#define TOLVA_STATVFS(name, type)                                                           \
    int name(const char* path, struct type* result) __THROW                                 \
    {                                                                                       \
        static const auto real = next<int (*)(const char*, struct type*)>(#name);           \
        const int rc = real(path, result);                                                  \
        if (rc == 0 && under(AT_FDCWD, path))                                               \
            result->f_flag |= ST_RDONLY;                                                    \
        return rc;                                                                          \
    }
#define TOLVA_FSTATVFS(name, type)                                                          \
    int name(int fd, struct type* result) __THROW                                           \
    {                                                                                       \
        static const auto real = next<int (*)(int, struct type*)>(#name);                   \
        const int rc = real(fd, result);                                                    \
        if (rc == 0 && fdUnder(fd))                                                         \
            result->f_flag |= ST_RDONLY;                                                    \
        return rc;                                                                          \
    }
TOLVA_STATVFS(statvfs, statvfs)
TOLVA_STATVFS(statvfs64, statvfs64)
TOLVA_FSTATVFS(fstatvfs, statvfs)
TOLVA_FSTATVFS(fstatvfs64, statvfs64)

} // extern "C"
