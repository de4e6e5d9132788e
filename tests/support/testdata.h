#pragma once

#include <QString>
#include <QTemporaryDir>

#include <memory>

namespace tolva {
class Database;
class Tdm01Keiri;
}

namespace tolva::testing {

// A fresh copy of the data folder template in a temporary folder, removed with the object.
// Closes every database of the process first and again at the end, so fixtures never share
// a connection.
class TestDataFolder {
public:
    TestDataFolder();
    ~TestDataFolder();
    [[nodiscard]] QString path() const { return dir_.path(); }
    [[nodiscard]] QString file(const QString& name) const;

private:
    QTemporaryDir dir_;
};

[[nodiscard]] QString templateDir();

// What the main menu's "仕訳" button prepares before the journal window opens (the lists of
// sub-accounts and uses), and closing them again afterwards.
void prepareJournalQueries(Tdm01Keiri& dm);
void releaseJournalQueries(Tdm01Keiri& dm);

// Fails the test when a window is still shown: a modal dialog left open would block a user.
void expectNoWindowLeftOpen();

// Every row of every table of the books, in a fixed order, as one text: what a test compares
// to say that a command left the books exactly as they were.
[[nodiscard]] QString booksState(Database& db);
// The journal's change history as text, without the time of each change (two runs of the same
// commands give the same text).
[[nodiscard]] QString historyState(Database& db);
// The first line of PRAGMA integrity_check: "ok" for sound books.
[[nodiscard]] QString integrityCheck(Database& db);

// Fills the folder's journal with `rows` rows through SQLite alone (the books closed), then
// overwrites one of the journal's leaf pages in the middle with garbage, as a failing disk
// would: damage that only reading the journal's own pages finds. Returns false when the
// journal has too few pages.
[[nodiscard]] bool damageAJournalPage(const QString& folder, int rows = 3000);

// Books as the program made them before their pages carried checksums (layout 2): the
// folder's database replaced by one built from data/schema.sql and data/seed.sql with no
// reserved bytes, the books closed.
void makeBooksOfLayoutTwo(const QString& folder);

// Changes the last byte of every copy of the integer `stored` in a file (the amount as
// SQLite keeps it in a row and in an index entry: big-endian, in as few bytes as it needs),
// as a bad disk or copy would: the pages keep their structure; only the first `most` copies
// when that is given. Returns how many it changed.
[[nodiscard]] int changeStoredInteger(const QString& file, qint64 stored, int most = -1);

} // namespace tolva::testing
