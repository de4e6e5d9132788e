#pragma once

namespace tolva::testing {

// How the file system under SQLite fails, as a disk or folder of a user's would. Tests run as
// root, and root may write to any file whatever its permission bits, so an unwritable file is
// made here, below SQLite, rather than with chmod.
enum class Fault {
    ReadOnlyFile,    // the database file may only be read: SQLite opens it read-only
    ReadOnlyFolder,  // no new file may be made in the folder (the log, its index, a journal)
    DiskFull,        // every write fails for want of space
};

// Makes SQLite's default file system fail with `fault` for the lifetime of the object. Every
// connection opened meanwhile must be closed before it ends.
class FaultyFileSystem {
public:
    explicit FaultyFileSystem(Fault fault);
    ~FaultyFileSystem();
    FaultyFileSystem(const FaultyFileSystem&) = delete;
    FaultyFileSystem& operator=(const FaultyFileSystem&) = delete;
};

} // namespace tolva::testing
