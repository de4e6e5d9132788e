#include "closing/closinggrid.h"

#include "closing/storedamount.h"
#include "db/database.h"
#include "db/textformat.h"

namespace tolva {

namespace {

// The year's rows with the account's name and its category's codes; accounts or categories
// missing from the masters drop out with the inner joins.
const QString kYearAccountsSql = QStringLiteral(
    "SELECT shisanH.kcode, Kamoku.kamoku, shisanH.Lgaku, shisanH.Rgaku, shisanH.LSgaku, shisanH.RSgaku, Bunrui.BP, "
    "Bunrui.LR FROM (shisanH INNER JOIN Kamoku ON shisanH.kcode = Kamoku.code) INNER JOIN Bunrui ON Kamoku.bunrui = "
    "Bunrui.code where nendo=?1 ORDER BY shisanH.kcode");

constexpr int kTrialBalanceColumns = 7;
constexpr int kWorksheetColumns = 11;

std::optional<Money> unlessZero(Money amount)
{
    return amount.isZero() ? std::nullopt : std::optional<Money>(amount);
}

bool isBroughtForwardAccount(const YearAccount& account)
{
    return account.code == QLatin1String(kBroughtForwardAccount);
}

} // namespace

std::vector<YearAccount> readYearAccounts(Database& db, const QString& yearCode)
{
    Statement s = db.prepare(kYearAccountsSql);
    s.bind(1, yearCode);
    std::vector<YearAccount> accounts;
    while (s.step()) {
        YearAccount a;
        a.code = s.column(0).toString();
        a.name = s.column(1).toString();
        const QString what = QStringLiteral("年度「%1」の科目「%2」").arg(yearCode, a.code);
        a.debit = storedAmount(s, 2, what);
        a.credit = storedAmount(s, 3, what);
        a.adjustmentDebit = storedAmount(s, 4, what);
        a.adjustmentCredit = storedAmount(s, 5, what);
        a.statementText = s.column(6).toString();
        a.sideText = s.column(7).toString();
        accounts.push_back(std::move(a));
    }
    return accounts;
}

QString viewCaption(ClosingView view)
{
    return view == ClosingView::TrialBalance ? QStringLiteral("試算表") : QStringLiteral("精算表");
}

std::optional<ClosingView> viewFromCaption(const QString& caption)
{
    if (caption == viewCaption(ClosingView::TrialBalance))
        return ClosingView::TrialBalance;
    if (caption == viewCaption(ClosingView::Worksheet))
        return ClosingView::Worksheet;
    return std::nullopt;
}

int ClosingGrid::columnCount() const
{
    return view == ClosingView::TrialBalance ? kTrialBalanceColumns : kWorksheetColumns;
}

ClosingGrid trialBalanceGrid(const std::vector<YearAccount>& accounts)
{
    ClosingGrid grid;
    grid.view = ClosingView::TrialBalance;
    Money debitTotal, creditTotal, debitBalanceTotal, creditBalanceTotal;
    int number = 0;
    for (const YearAccount& a : accounts) {
        if (isBroughtForwardAccount(a) || !(a.debit > Money() || a.credit > Money()))
            continue;
        GridLine line;
        line.number = QString::number(++number);
        line.code = a.code;
        line.name = a.name;
        line.amounts.resize(kTrialBalanceColumns - kFirstAmountColumn);
        line.amounts[0] = unlessZero(a.debit);
        line.amounts[1] = unlessZero(a.credit);
        debitTotal += a.debit;
        creditTotal += a.credit;
        if (a.side() == SideCode::Debit) {
            const Money balance = a.debit - a.credit;
            debitBalanceTotal += balance;
            line.amounts[2] = unlessZero(balance);
        } else {
            const Money balance = a.credit - a.debit;
            creditBalanceTotal += balance;
            line.amounts[3] = unlessZero(balance);
        }
        grid.lines.push_back(std::move(line));
    }
    GridLine totals;
    totals.kind = GridLine::Kind::Totals;
    totals.name = QStringLiteral("計");
    totals.amounts = {debitTotal, creditTotal, debitBalanceTotal, creditBalanceTotal};
    grid.lines.push_back(std::move(totals));
    return grid;
}

ClosingGrid worksheetGrid(const std::vector<YearAccount>& accounts)
{
    ClosingGrid grid;
    grid.view = ClosingView::Worksheet;
    // Totals of the columns 3 to 10.
    Money total[kWorksheetColumns];
    auto put = [&](GridLine& line, int column, Money amount) {
        line.amounts[size_t(column - kFirstAmountColumn)] = amount;
        total[column] += amount;
    };
    int number = 0;
    for (const YearAccount& a : accounts) {
        if (isBroughtForwardAccount(a))
            continue;
        const Money balance = a.debit - a.credit;
        const bool moved = (a.debit > Money() || a.credit > Money()) && !balance.isZero();
        if (!moved && !(a.adjustmentDebit > Money()) && !(a.adjustmentCredit > Money()))
            continue;
        GridLine line;
        line.number = QString::number(++number);
        line.code = a.code;
        line.name = a.name;
        line.amounts.resize(kWorksheetColumns - kFirstAmountColumn);
        // The side follows the sign of the balance, not the category's side.
        if (balance > Money())
            put(line, 3, balance);
        else if (-balance > Money())
            put(line, 4, -balance);
        if (a.adjustmentDebit > Money())
            put(line, 5, a.adjustmentDebit);
        if (a.adjustmentCredit > Money())
            put(line, 6, a.adjustmentCredit);
        const Money adjusted = a.adjustedBalance();
        const std::optional<StatementCode> statement = a.statement();
        if (statement == StatementCode::ProfitAndLoss || statement == StatementCode::BalanceSheet) {
            const int debitColumn = statement == StatementCode::ProfitAndLoss ? 7 : 9;
            if (adjusted > Money())
                put(line, debitColumn, adjusted);
            else if (-adjusted > Money())
                put(line, debitColumn + 1, -adjusted);
        }
        grid.lines.push_back(std::move(line));
    }

    // The income statement's credits less its debits: the year's profit, or a loss below 0.
    const Money result = total[8] - total[7];
    const bool profit = !result.isNegative();
    GridLine resultLine;
    resultLine.kind = GridLine::Kind::Result;
    resultLine.number = QString::number(++number);
    resultLine.name = profit ? QStringLiteral("利益") : QStringLiteral("損失");
    resultLine.amounts.resize(kWorksheetColumns - kFirstAmountColumn);
    const Money shown = profit ? result : -result;
    resultLine.amounts[size_t((profit ? 7 : 8) - kFirstAmountColumn)] = shown;
    resultLine.amounts[size_t((profit ? 10 : 9) - kFirstAmountColumn)] = shown;
    grid.lines.push_back(std::move(resultLine));

    GridLine totals;
    totals.kind = GridLine::Kind::Totals;
    totals.name = QStringLiteral("計");
    totals.amounts = {total[3], total[4], total[5], total[6]};
    if (profit)
        totals.amounts.insert(totals.amounts.end(), {total[7] + result, total[8], total[9], total[10] + result});
    else
        totals.amounts.insert(totals.amounts.end(), {total[7], total[8] - result, total[9] - result, total[10]});
    grid.lines.push_back(std::move(totals));
    return grid;
}

ClosingGrid closingGrid(ClosingView view, const std::vector<YearAccount>& accounts)
{
    return view == ClosingView::TrialBalance ? trialBalanceGrid(accounts) : worksheetGrid(accounts);
}

ClosingGrid readClosingGrid(Database& db, const QString& yearCode, ClosingView view)
{
    return closingGrid(view, readYearAccounts(db, yearCode));
}

QStringList groupTitles(ClosingView view)
{
    QStringList titles = {QString(), QString(), QString()};
    QStringList groups = {QStringLiteral("合計試算表"), QStringLiteral("残高試算表")};
    if (view == ClosingView::Worksheet)
        groups = {QStringLiteral("残高試算表"), QStringLiteral("整理記入"), QStringLiteral("損益計算書"),
                  QStringLiteral("貸借対照表")};
    for (const QString& group : groups)
        titles << group << group;
    return titles;
}

QStringList columnTitles(ClosingView view)
{
    QStringList titles = {QStringLiteral("NO"), QStringLiteral("code"), QStringLiteral("勘定")};
    const int pairs = view == ClosingView::TrialBalance ? 2 : 4;
    for (int i = 0; i < pairs; ++i)
        titles << QStringLiteral("借方") << QStringLiteral("貸方");
    return titles;
}

QStringList lineCells(const GridLine& line)
{
    QStringList cells = {line.number, line.code, line.name};
    for (const std::optional<Money>& amount : line.amounts)
        cells << (amount ? textformat::gridAmount(*amount) : QString());
    return cells;
}

QList<QStringList> gridRows(const ClosingGrid& grid)
{
    QList<QStringList> rows;
    rows.reserve(qsizetype(grid.lines.size()) + kHeadingRows);
    rows << groupTitles(grid.view) << columnTitles(grid.view);
    for (const GridLine& line : grid.lines)
        rows << lineCells(line);
    return rows;
}

} // namespace tolva
