#include "cli/verbs.h"

namespace tolva::cli {

const QList<Verb>& verbs()
{
    static const QList<Verb> all = {
        ledgerVerb(),     journalVerb(),          exportJournalVerb(), exportLedgerVerb(), checkVerb(),
        backupVerb(),     restoreVerb(),          yearTotalsVerb(),    closingTransfersVerb(), trialBalanceVerb(),
        worksheetVerb(),  aggregateVerb(),          depreciationVerb(), blueReturnVerb(), historyVerb(),
    };
    return all;
}

} // namespace tolva::cli
