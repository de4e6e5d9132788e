#pragma once

namespace tolva::testing {

// How the file system under SQLite fails, as a disk or folder of a user's would. Tests run as
// root, and root may write to any file whatever its permission bits, so an unwritable file is
// made here, below SQLite, rather than with chmod.
enum class Fault {
    ReadOnlyFile,    // the database file may only be read: SQLite opens it read-only
    ReadOnlyFolder,  // no new file may be made in the folder (the log, its index, a journal)
    DiskFull,        // every write fails for want of space
    CountedWrites,   // writes, syncs and truncates are counted; the one chosen fails
};

// Makes SQLite's default file system fail with `fault` for the lifetime of the object. Every
// connection opened meanwhile must be closed before it ends.
class FaultyFileSystem {
public:
    explicit FaultyFileSystem(Fault fault);
    ~FaultyFileSystem();
    FaultyFileSystem(const FaultyFileSystem&) = delete;
    FaultyFileSystem& operator=(const FaultyFileSystem&) = delete;

    // With CountedWrites: starts counting again from 0, and fails the write, sync or truncate
    // numbered `failAt` from there (1 is the next one) with `code`; 0 fails none.
    static void countFromHere(int failAt = 0, int code = 0);
    // The writes, syncs and truncates since countFromHere, the failed one included.
    [[nodiscard]] static int counted();
    // Whether the chosen one has been reached and failed.
    [[nodiscard]] static bool failed();
};

} // namespace tolva::testing
