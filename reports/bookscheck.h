#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace tolva {

class Database;

// The files of a data folder beside the journal's own pages, checked as 帳簿の検査 and
// `tolva-cli check` check them: the stored queries, the report project, and the journal's kept
// row counts, the journal's change history against the journal. Each item says what it checked and what it found; counts that drifted are put
// right (in one transaction) when `repair` and the books may be written, and then told as put
// right.
namespace bookscheck {

struct Item {
    QString caption;
    QStringList findings;  // what is wrong; empty when it holds
    QStringList repaired;  // what was wrong and has been put right
};

[[nodiscard]] QList<Item> checkFolderFiles(Database& db, bool repair);

} // namespace bookscheck
} // namespace tolva
