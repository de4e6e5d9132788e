#pragma once

#include <QString>

#include <initializer_list>

namespace tolva::testing {

// One journal row, written as data. A null pointer stores NULL; the categories default to
// the first two characters of the account codes, as the journal window stores them.
struct Entry {
    const char* day = "2010-04-01";
    const char* lcode = nullptr;
    qint64 lgaku = 0;  // yen
    const char* rcode = nullptr;
    qint64 rgaku = 0;  // yen
    const char* memo = nullptr;
    const char* lscode = nullptr;
    const char* rscode = nullptr;
    int syori = 10;
    const char* kubun = nullptr;
    const char* lbunrui = nullptr;
    const char* rbunrui = nullptr;
};

// Appends the rows to the journal of the data folder in the order given; the store numbers
// them 1, 2, ... in a fresh folder.
void addEntries(const QString& folder, std::initializer_list<Entry> entries);
void addEntry(const QString& folder, const Entry& entry);

} // namespace tolva::testing
