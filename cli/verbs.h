#pragma once

#include "cli/command.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace tolva::cli {

// One command of tolva-cli. A verb is named by one word, or by two ("export journal"); its
// function gets the command line already read against its options and returns the exit status
// (0 done, 1 the books or a check failed); a UsageError or a StoreError it throws is told by
// main. Adding a verb is one function and one line in verbs().
struct Verb {
    QStringList words;
    QString arguments;    // positional arguments for the synopsis ("CODE")
    QString summary;      // one line for the list of verbs
    QString description;  // what --help of the verb says before its options
    QList<OptionSpec> options;  // its own; the common ones are added
    int (*run)(const Invocation& invocation) = nullptr;
};

[[nodiscard]] const QList<Verb>& verbs();

// The verbs, one function each (verb_*.cpp).
[[nodiscard]] Verb ledgerVerb();
[[nodiscard]] Verb journalVerb();
[[nodiscard]] Verb exportJournalVerb();
[[nodiscard]] Verb exportLedgerVerb();
[[nodiscard]] Verb checkVerb();
[[nodiscard]] Verb backupVerb();
[[nodiscard]] Verb restoreVerb();
[[nodiscard]] Verb yearTotalsVerb();
[[nodiscard]] Verb closingTransfersVerb();
[[nodiscard]] Verb trialBalanceVerb();
[[nodiscard]] Verb worksheetVerb();
[[nodiscard]] Verb aggregateVerb();
[[nodiscard]] Verb depreciationVerb();
[[nodiscard]] Verb blueReturnVerb();
[[nodiscard]] Verb historyVerb();

} // namespace tolva::cli
