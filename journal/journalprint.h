#pragma once

#include "journal/journalexport.h"

#include <QDate>
#include <QString>

namespace tolva {

class Database;

namespace journalprint {

// The reports of the journal window's "印刷" menu, by their names in the report project.
inline const QString kJournalBook = QStringLiteral("rShiwake");     // 仕訳帳
inline const QString kSelection = QStringLiteral("rShiwakesum");    // 仕訳（条件）
inline const QString kDetailed = QStringLiteral("rSaimoku");        // 仕訳（細目）

// The condition line of a printed selection: as the export's, but a side whose "細目" is
// ticked is named by its sub-account ("借方細目：…"). `names` holds, per side, the name of
// the deepest item ticked.
[[nodiscard]] QString conditionText(const JournalFilter& filter, const JournalExportNames& names);

// "作成日：2024/ 04/ 01".
[[nodiscard]] QString printedText(const QDate& today);

// "仕訳帳": the period text into Name01 and the date of printing into Name03 of the header
// row (no = 1); Name02 keeps what the last conditional print left. False, writing nothing,
// when there is no such row.
bool writeJournalBookHeader(Database& db, const QString& periodText, const QDate& today);

// "仕訳（条件）", "仕訳（細目）": Name01, Name02 and Name03 of the first header row. False when
// the table has no row.
bool writeSelectionHeader(Database& db, const QString& periodText, const QString& conditionText, const QDate& today);

} // namespace journalprint
} // namespace tolva
