#pragma once

#include <QString>

#include <optional>

namespace tolva {

// Why the books of a folder can only be read.
enum class ReadOnlyCause {
    FileSystem,  // the folder is on a read-only medium: a CD, a write-protected USB stick, a share mounted read-only
    Folder,      // this user may not make files in the folder
    File,        // this user may not write the database file
};

// What stops this process from writing the books of `folder`, asked of the system itself
// (statvfs's ST_RDONLY, access(W_OK) of the folder and of its database file); nothing when
// they can be written, or when the folder or the file is not there at all.
[[nodiscard]] std::optional<ReadOnlyCause> readOnlyCause(const QString& folder);

// "データフォルダ「…」は…ため、帳簿は読み取り専用で開いています。"
[[nodiscard]] QString readOnlyNotice(const QString& folder, ReadOnlyCause cause);

// Why a command that changes the books is not run on books that can only be read.
[[nodiscard]] QString readOnlyRefusal(const QString& folder, ReadOnlyCause cause);

// The folder a file dialog of an export starts in, whether or not the books can be written:
// the user's documents folder (outputfile::userFilesFolder), never beside the books.
[[nodiscard]] QString exportStartFolder(const QString& dataFolder, bool booksReadOnly);

} // namespace tolva
