#pragma once

#include "db/money.h"

#include <QDate>
#include <QList>
#include <QString>

namespace tolva {

class Query;

// What the books promise of every journal row and the program does not enforce when a row is
// typed: equal debit and credit amounts, and codes that the masters know.
struct JournalFault {
    enum class Kind {
        UnequalSides,     // Lgaku and Rgaku differ (an empty amount counts as 0)
        UnknownCategory,  // Lbunrui / Rbunrui not in Bunrui
        UnknownAccount,   // Lcode / Rcode not in Kamoku
        UnknownSubAccount,  // LScode / RScode not in Kamoku02
        UnknownUseCategory, // kubun not in kubun
        UnknownMode,      // syori not in syorik, or empty
    };
    qint64 id = 0;
    QDate date;
    Kind kind = Kind::UnequalSides;
    QString field;  // the journal field at fault ("Lgaku" for unequal sides)
    QString value;  // its stored text; for unequal sides empty
    Money debit;    // the row's amounts
    Money credit;
};

// Every fault of the journal, in entry-number order, several per row when several fields are
// wrong. An empty code (null or "") is no fault: a row may leave a sub-account, a use or
// its category out. Runs one statement over the journal on `query` (a scratch query of the
// data module), uni-directionally, and leaves it closed.
[[nodiscard]] QList<JournalFault> checkJournal(Query& query);

// One line for a user: the row, what failed and its figures.
// "NO 12 (2024/01/05): 借方金額 1,000 と貸方金額 900 が一致しません（差額 100）"
[[nodiscard]] QString journalFaultText(const JournalFault& fault);

} // namespace tolva
