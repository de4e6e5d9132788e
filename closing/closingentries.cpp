#include "closing/closingentries.h"

#include "closing/yearend.h"
#include "db/backup.h"
#include "db/database.h"
#include "db/history.h"
#include "db/textformat.h"

#include <algorithm>

namespace tolva {

namespace {

using namespace closingcodes;

const QString kExpenseTransfer = QStringLiteral("損益振替（費用）");
const QString kRevenueTransfer = QStringLiteral("損益振替（収益）");
const QString kProfitTransfer = QStringLiteral("当期利益振替");
const QString kLossTransfer = QStringLiteral("当期損失振替");
const QString kCarryForward = QStringLiteral("資本振替処理（次期繰越）");
const QString kOpening = QStringLiteral("翌期振替処理 (前期振替）");

QString text(const char* code)
{
    return QString::fromLatin1(code);
}

bool isBalanceSheet(const YearAccount& a)
{
    return a.statement() == StatementCode::BalanceSheet;
}

} // namespace

ClosingEntries computeClosingEntries(const std::vector<YearAccount>& year, const FiscalPeriod& period)
{
    ClosingEntries entries;
    const QDate last = period.end;
    const QDate next = period.end.addDays(1);
    auto add = [](std::vector<ClosingEntry>& rows, const QDate& day, const QString& debit, const QString& debitCategory,
                  const QString& credit, const QString& creditCategory, Money amount, ProcessingMode mode,
                  const QString& memo) {
        rows.push_back({day, debit, debitCategory, credit, creditCategory, amount, mode, memo});
    };

    // The income statement into 4111.
    Money expenses;
    Money revenues;
    for (const YearAccount& a : year) {
        if (a.statement() != StatementCode::ProfitAndLoss)
            continue;
        const Money b = a.adjustedBalance();
        if (b > Money()) {
            expenses += b;
            add(entries.closing, last, text(kProfitAndLoss), text(kProfitAndLossCategory), a.code, text(kExpenseCategory),
                b, ProcessingMode::ClosingTransfer, kExpenseTransfer);
        } else if (b < Money()) {
            revenues -= b;
            add(entries.closing, last, a.code, text(kRevenueCategory), text(kProfitAndLoss), text(kProfitAndLossCategory),
                -b, ProcessingMode::ClosingTransfer, kRevenueTransfer);
        }
    }
    const Money result = revenues - expenses;
    entries.profitOrLoss = result;
    if (result < Money())
        add(entries.closing, last, text(kCapital), text(kCapitalCategory), text(kProfitAndLoss),
            text(kProfitAndLossCategory), -result, ProcessingMode::ClosingTransfer, kLossTransfer);
    else if (result > Money())
        add(entries.closing, last, text(kProfitAndLoss), text(kProfitAndLossCategory), text(kCapital),
            text(kCapitalCategory), result, ProcessingMode::ClosingTransfer, kProfitTransfer);

    // The balance sheet. The capital takes part when it has a balance or there is a result to
    // carry; a year without a row of its own gets one in its place among the accounts.
    std::vector<YearAccount> balanceSheet;
    for (const YearAccount& a : year) {
        if (isBalanceSheet(a))
            balanceSheet.push_back(a);
    }
    const QString capital = text(kCapital);
    const bool capitalListed = std::any_of(year.begin(), year.end(), [&](const YearAccount& a) { return a.code == capital; });
    if (!capitalListed && !result.isZero()) {
        YearAccount none;
        none.code = capital;
        none.statementText = codeText(StatementCode::BalanceSheet);
        const auto at = std::find_if(balanceSheet.begin(), balanceSheet.end(),
                                     [&](const YearAccount& a) { return a.code > capital; });
        balanceSheet.insert(at, none);
    }
    auto takesPart = [&](const YearAccount& a) {
        return !a.adjustedBalance().isZero() || (a.code == capital && !result.isZero());
    };

    for (const YearAccount& a : balanceSheet) {
        if (!takesPart(a))
            continue;
        const Money b = a.adjustedBalance();
        const QString category = a.code.left(2);
        if (a.code == capital)
            add(entries.closing, last, capital, text(kCapitalCategory), text(kCarriedForward),
                text(kCarriedForwardCategory), -b + result, ProcessingMode::CarriedForward, kCarryForward);
        else if (b > Money())
            add(entries.closing, last, text(kCarriedForward), text(kCarriedForwardCategory), a.code, category, b,
                ProcessingMode::CarriedForward, kCarryForward);
        else
            add(entries.closing, last, a.code, category, text(kCarriedForward), text(kCarriedForwardCategory), -b,
                ProcessingMode::CarriedForward, kCarryForward);
    }

    for (const YearAccount& a : balanceSheet) {
        if (!takesPart(a))
            continue;
        const Money b = a.adjustedBalance();
        const QString category = a.code.left(2);
        if (a.code == capital) {
            add(entries.opening, next, text(kBroughtForward), text(kBroughtForwardCategory), capital,
                text(kCapitalCategory), -b + result, ProcessingMode::BroughtForward, kOpening);
            continue;
        }
        if (b < Money())
            add(entries.opening, next, text(kBroughtForward), text(kBroughtForwardCategory), a.code, category, -b,
                ProcessingMode::BroughtForward, kOpening);
        else
            add(entries.opening, next, a.code, category, text(kBroughtForward), text(kBroughtForwardCategory), b,
                ProcessingMode::BroughtForward, kOpening);
        if (a.code == text(kOwnerContributions))
            add(entries.opening, next, a.code, text(kCapitalCategory), capital, text(kCapitalCategory), -b,
                ProcessingMode::BroughtForward, kOpening);
        if (a.code == text(kOwnerDrawings))
            add(entries.opening, next, capital, text(kCapitalCategory), a.code, text(kCapitalCategory), b,
                ProcessingMode::BroughtForward, kOpening);
    }
    return entries;
}

QStringList missingClosingCodes(Database& db)
{
    QStringList missing;
    auto check = [&](const char* table, const char* code, const QString& shown) {
        Statement s = db.prepare(QStringLiteral("SELECT 1 FROM %1 WHERE code=?1").arg(QLatin1String(table)));
        s.bind(1, text(code));
        if (!s.step())
            missing << shown + u' ' + text(code);
    };
    for (const char* account : {kProfitAndLoss, kOwnerDrawings, kOwnerContributions, kCapital, kCarriedForward, kBroughtForward})
        check("Kamoku", account, QStringLiteral("科目"));
    for (const char* category : {kRevenueCategory, kExpenseCategory, kCapitalCategory, kBroughtForwardCategory,
                                 kProfitAndLossCategory, kCarriedForwardCategory})
        check("Bunrui", category, QStringLiteral("科目区分"));
    return missing;
}

int DeleteClosingEntries(Database& db, const FiscalPeriod& period)
{
    Statement s = db.prepare(QStringLiteral("DELETE FROM shiwake WHERE sDay>=?1 AND sDay<=?2 AND (syori=?3 OR syori=?4)"));
    s.bind(1, textformat::isoDate(period.start));
    s.bind(2, textformat::isoDate(period.end));
    s.bind(3, code(ProcessingMode::ClosingTransfer));
    s.bind(4, code(ProcessingMode::CarriedForward));
    s.step();
    return db.changes();
}

int DeleteOpeningEntries(Database& db, const FiscalPeriod& period)
{
    Statement s = db.prepare(QStringLiteral("DELETE FROM shiwake WHERE sDay=?1 AND syori=?2"));
    s.bind(1, textformat::isoDate(period.end.addDays(1)));
    s.bind(2, code(ProcessingMode::BroughtForward));
    s.step();
    return db.changes();
}

void writeJournalEntries(Database& db, const std::vector<ClosingEntry>& rows)
{
    // The mode is each row's own, never the one the journal window gives new rows.
    Statement insert = db.prepare(QStringLiteral(
        "INSERT INTO shiwake (sDay, Lcode, Lgaku, Lbunrui, Rcode, Rgaku, Rbunrui, syori, Memo, LScode, RScode)"
        " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11)"));
    for (const ClosingEntry& row : rows) {
        insert.bind(1, textformat::isoDate(row.day));
        insert.bind(2, row.debitCode);
        insert.bind(3, row.amount.units());
        insert.bind(4, row.debitCategory);
        insert.bind(5, row.creditCode);
        insert.bind(6, row.amount.units());
        insert.bind(7, row.creditCategory);
        insert.bind(8, code(row.mode));
        insert.bind(9, row.memo);
        insert.bind(10, row.debitSubAccount.isEmpty() ? QVariant() : QVariant(row.debitSubAccount));
        insert.bind(11, row.creditSubAccount.isEmpty() ? QVariant() : QVariant(row.creditSubAccount));
        insert.step();
        insert.reset();
    }
}

void WriteClosingEntries(Database& db, const ClosingEntries& entries)
{
    writeJournalEntries(db, entries.closing);
}

void WriteOpeningEntries(Database& db, const ClosingEntries& entries)
{
    writeJournalEntries(db, entries.opening);
}

ClosingTransfers runClosingTransfers(Database& db, const FiscalPeriod& period, const std::optional<BackupRequest>& backup)
{
    ClosingTransfers done;
    done.yearCode = yearCode(period.start);
    const QStringList missing = missingClosingCodes(db);
    if (!missing.isEmpty()) {
        done.refusal = QStringLiteral("決算振替に必要な次のコードが登録されていないため、決算振替処理を行いません。\n"
                                      "%1\n"
                                      "科目設定・科目区分で登録してから、もう一度実行してください。")
                           .arg(missing.join(QStringLiteral("、")));
        return done;
    }
    done.written = computeClosingEntries(readYearAccounts(db, done.yearCode), period);
    if (backup)
        done.backupPath = backupDatabase(db, *backup);

    history::CommandScope command(db, QStringLiteral("決算振替仕訳"));
    Transaction transaction(db);
    done.closingRowsRemoved = DeleteClosingEntries(db, period);
    done.openingRowsRemoved = DeleteOpeningEntries(db, period);
    WriteClosingEntries(db, done.written);
    WriteOpeningEntries(db, done.written);
    transaction.commit();
    return done;
}

} // namespace tolva
