// Builds the template of a new data folder from the SQL texts beside this file: the database
// with every table and its starting content, the two stored query files and the report
// project. Run by the build; the program itself never creates a table. The database carries
// the checksums of its pages from its first page on.
#include "db/checksumvfs.h"

#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

static std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path.string());
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

static int reservedBytes(const std::filesystem::path& database)
{
    std::ifstream in(database, std::ios::binary);
    char header[21] = {};
    in.read(header, sizeof header);
    return in ? static_cast<unsigned char>(header[20]) : -1;
}

static void exec(sqlite3* db, const std::string& sql, const fs::path& from)
{
    char* error = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        std::string message = error ? error : "unknown error";
        sqlite3_free(error);
        throw std::runtime_error(from.string() + ": " + message);
    }
}

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: tolva-mkdata SOURCE_DIR OUTPUT_DIR\n";
        return 2;
    }
    const fs::path source = argv[1];
    const fs::path output = argv[2];
    try {
        fs::create_directories(output);
        // The database comes last: the build takes the template as made once it is there, so a
        // build stopped before the end leaves no database and makes the whole template again.
        for (const char* name : {"qUnionCode.sql", "uqSai.sql", "TlRepo01.rav"})
            fs::copy_file(source / name, output / name, fs::copy_options::overwrite_existing);
        const fs::path database = output / "tolva.sqlite";
        const fs::path staging = output / "tolva.sqlite.new";
        fs::remove(staging);
        sqlite3* db = nullptr;
        tolva::checksumvfs::install();
        if (sqlite3_open(staging.string().c_str(), &db) != SQLITE_OK)
            throw std::runtime_error("cannot create " + staging.string());
        // Set before the first page exists, every page is laid out with room for its checksum.
        int reserve = tolva::checksumvfs::kReserveBytes;
        if (sqlite3_file_control(db, "main", SQLITE_FCNTL_RESERVE_BYTES, &reserve) != SQLITE_OK)
            throw std::runtime_error("cannot reserve the checksum bytes in " + staging.string());
        exec(db, readFile(source / "schema.sql"), source / "schema.sql");
        exec(db, "BEGIN", source);
        exec(db, readFile(source / "seed.sql"), source / "seed.sql");
        exec(db, "COMMIT", source);
        exec(db, "ANALYZE; PRAGMA wal_checkpoint(TRUNCATE);", source);
        sqlite3_close(db);
        fs::remove(output / "tolva.sqlite.new-wal");
        fs::remove(output / "tolva.sqlite.new-shm");
        if (reservedBytes(staging) != tolva::checksumvfs::kReserveBytes)
            throw std::runtime_error(staging.string() + " has no room for the pages' checksums");
        fs::rename(staging, database);
    } catch (const std::exception& e) {
        std::cerr << "tolva-mkdata: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
