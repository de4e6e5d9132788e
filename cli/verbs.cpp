#include "verbs.h"

namespace tolva::cli {

const QList<Verb>& verbs()
{
    static const QList<Verb> all = {
        ledgerVerb(), journalVerb(), exportJournalVerb(), exportLedgerVerb(), checkVerb(), backupVerb(), restoreVerb(),
    };
    return all;
}

} // namespace tolva::cli
