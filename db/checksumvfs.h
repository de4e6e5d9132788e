#pragma once

#include <string>

struct sqlite3;

namespace tolva::checksumvfs {

// A file system layer under SQLite that keeps a checksum of every page of the books in the
// page's last bytes (the "reserved space" of the database header), so that a page changed on
// the disk (bit rot, a bad copy) is an error instead of silent wrong figures, even when its
// b-tree structure stays valid. It works on the database file and on the frames of its log,
// and only on files whose header reserves exactly kReserveBytes per page: books of an older
// layout are read and written as they are.
//
// A page written gets its checksum; a whole page read is verified, and a mismatch is the
// error SQLITE_IOERR_DATA. Reads smaller than a page (SQLite reads the header alone when it
// opens a file) are not verified, and the file is never memory-mapped while it carries
// checksums: SQLite would read mapped pages without asking the layer.
//
// A program that writes the books without this layer (the sqlite3 shell) leaves the pages it
// changed with a stale checksum, and they fail when read here.

inline constexpr int kReserveBytes = 8;

// Makes the layer SQLite's default file system, over the one that was the default. Every
// program calls it before its first connection (Database's constructor does); later calls do
// nothing.
void install();

// Whether the pages of the database `schema` of `db` carry checksums: the layer is installed
// and the header SQLite reads says so.
[[nodiscard]] bool isChecksummed(sqlite3* db, const char* schema = "main");

// Bringing a database to checksums rewrites every page of it with the reserved bytes (VACUUM,
// or SQLite's online backup of a copy that has them). Pages leave SQLite in no particular
// order, so while that runs every page written gets a checksum, and none read is verified
// (the old pages have none). Ending it says which way the rewrite went: committed, the
// database carries checksums from then on; rolled back, it is as it was.
class Conversion {
public:
    explicit Conversion(sqlite3* db, const char* schema = "main");
    ~Conversion();  // rolled back, unless committed()
    Conversion(const Conversion&) = delete;
    Conversion& operator=(const Conversion&) = delete;

    void committed();

private:
    sqlite3* db_;
    std::string schema_;
    bool ended_ = false;
};

// The 8 bytes of a page's checksum over its first `size` - 8 bytes (`size` a multiple of 8).
void computeChecksum(const unsigned char* page, int size, unsigned char out[8]);

// Where the last page that failed its checksum in this thread was: the file and the page's
// number (1 for the first), for the message; empty while none has failed.
struct Mismatch {
    std::string file;
    long long page = 0;
};
[[nodiscard]] const Mismatch& lastMismatch();

} // namespace tolva::checksumvfs
