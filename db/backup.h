#pragma once

#include <QDateTime>
#include <QString>

namespace tolva {

class Database;

// A copy of the books to make before a command that removes rows the user may have typed.
struct BackupRequest {
    QString folder;      // where the copies are kept; made when missing
    QDateTime now;       // names the copy
    int keep = 10;       // the newest copies kept there; older ones are removed
};

// The folder "backup" of a data folder.
[[nodiscard]] QString backupFolder(const QString& dataFolder);

// Copies the books of `db` through SQLite's online backup into the request's folder as
// "tolva-yyyyMMdd-HHmmss.sqlite" (with "-2", "-3", … when that name is taken), then removes
// the oldest copies of that form beyond `keep`. The copy is written under a temporary name
// and renamed once complete, so a copy that failed half way is never taken for one. Returns
// the path of the copy. Throws a StoreError naming the file and the reason when the copy
// cannot be made; the books themselves are only read.
QString backupDatabase(Database& db, const BackupRequest& request);

} // namespace tolva
