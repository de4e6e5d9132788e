#pragma once

#include <QDate>
#include <QMap>
#include <QString>

#include <functional>

namespace tolva::bookgen {

// The day generated books end on unless told otherwise. Fixed rather than taken from the
// clock, so that the seed alone decides every row.
[[nodiscard]] QDate defaultLastDay();

struct BookOptions {
    QDate lastDay;        // invalid: defaultLastDay()
    int years = 10;       // calendar fiscal years covered; the last one is still open
    QString templateDir;  // empty: the template beside the program
    // Told every 100,000 rows written, and once at the end.
    std::function<void(qint64 rowsWritten, qint64 rowsWanted)> progress;
};

// What was written, for the caller to print or check.
struct BookSummary {
    qint64 rows = 0;
    QDate firstDay;
    QDate lastDay;
    int accounts = 0;
    int subAccounts = 0;
    int closedYears = 0;         // years with closing transfers (modes 41 and 51)
    qint64 unequalRows = 0;      // rows whose debit and credit amounts differ on purpose
    QMap<int, qint64> rowsByMode;  // syori -> rows
};

// Lays out a new data folder from the template in `folder` (which must not yet hold books)
// and fills it with about a decade of a busy household-and-small-business journal of
// exactly `rows` rows: the template's chart widened to about 150 accounts with further
// sub-accounts, everyday spending and business trade in whole yen, monthly salaries, bills
// and card payments, year-end adjustments (mode 31), and the closing transfers (modes 41,
// 51) with the next year's opening rows (mode 21) as the closing command writes them. Rows
// are entered a little after their date, as people enter receipts, so entry numbers and
// dates do not run in step. The same seed gives the same books.
//
// Very small books (where the closings would take more than a tenth of the rows) get no
// closing transfers; everything else is scaled to fit. Throws a StoreError on failure,
// leaving whatever was written in `folder`.
BookSummary generateBooks(const QString& folder, qint64 rows, quint32 seed, const BookOptions& options = {});

} // namespace tolva::bookgen
