#pragma once

#include "journal/journallist.h"
#include "reports/csvwriter.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace tolva {

class Query;

// The names of the items chosen in the filter panel, as the list items show them after their
// code: what the condition line of the file names.
struct JournalExportNames {
    QString debit;        // the account when "科目" is ticked, else the category
    QString credit;
    QString useCategory;  // "区分"
    QString mode;         // "処理ﾓｰﾄﾞ"
};

namespace journalexport {

// "期間：2010/ 04/ 01～2011/ 03/ 31", or "指定日：2010/ 04/ 01" for a single day; empty when
// the period is not ticked.
[[nodiscard]] QString periodText(const JournalFilter& filter);

// "借方区分：現金預金 処理ﾓｰﾄﾞ：通常処理": one part per condition used, in the order debit,
// credit, "区分", "処理ﾓｰﾄﾞ", each a label and the chosen item's name; empty without any.
[[nodiscard]] QString conditionText(const JournalFilter& filter, const JournalExportNames& names);

// The lines before the first row: the title, the period text (an empty line without one),
// the condition text after "抽出条件 " when there is one, an empty line and the header.
[[nodiscard]] QStringList headLines(const JournalFilter& filter, const JournalExportNames& names);


struct Outcome {
    qint64 rows = 0;
    csv::WriteOutcome written;
    // For each line of the file that holds "?" in place of a character: its number from 1
    // and a note naming the journal row ("NO 12"), for csv::replacementNotice.
    QList<int> lineNumbers;
    QStringList notes;
};

// "CSV出力" into `path`: the statement of the filter is set on `list` (the data module's
// q05shiwakeView), read once from its first row to its last without keeping the rows, and
// left set on the list and closed, so that whoever shows the list afterwards shows the
// exported rows. The file is code page 932 with CR LF, written whole or not at all
// (csv::writeLines). A filter without a condition, or with a ticked condition without a value,
// throws StoreError with the reason; so does a file that cannot be written.
//
// `progress`, when given, is told the rows written so far every few thousand rows; when it
// answers false the export stops with ExportCancelled and the target is left as it was.
using Progress = std::function<bool(qint64 rowsWritten)>;
struct ExportCancelled {};
Outcome write(Query& list, const JournalFilter& filter, const JournalExportNames& names, const QString& path,
              const Progress& progress = {});

} // namespace journalexport
} // namespace tolva
