#include "aggregate/aggregategrid.h"

#include "closing/storedamount.h"
#include "db/database.h"
#include "db/textformat.h"

namespace tolva {

namespace {

const QString kTotalsName = QStringLiteral("計");
const QString kOtherName = QStringLiteral("その他");

// The columns of the account view and of the sub-account view.
namespace accountview {
constexpr int kNumber = 0, kCode = 1, kName = 2, kDebit = 3, kCredit = 4, kDebitBalance = 5, kCreditBalance = 6;
}
namespace subview {
constexpr int kNumber = 0, kCode = 1, kName = 2, kSubCode = 3, kSubName = 4;
// Each amount as the account's column and the sub-account's beside it.
constexpr int kDebit = 5, kCredit = 7, kDebitBalance = 9, kCreditBalance = 11;
constexpr int kSubOffset = 1;
}

struct StoredAccount {
    QString code;
    QString name;
    Money debit;
    Money credit;
};

std::vector<StoredAccount> readStored(Statement& rows)
{
    std::vector<StoredAccount> result;
    while (rows.step()) {
        StoredAccount a;
        a.code = rows.column(0).toString();
        a.name = rows.column(1).toString();
        const QString what = QStringLiteral("コード「%1」の集計").arg(a.code);
        a.debit = storedAmount(rows, 2, what);
        a.credit = storedAmount(rows, 3, what);
        result.push_back(std::move(a));
    }
    return result;
}

class LineBuilder {
public:
    LineBuilder(AggregateLine::Kind kind, int columns) { line_.kind = kind, line_.amounts.resize(size_t(columns)), line_.cells.resize(columns); }
    LineBuilder& text(int column, const QString& text)
    {
        line_.cells[column] = text;
        return *this;
    }
    LineBuilder& amount(int column, Money value)
    {
        line_.amounts[size_t(column)] = value;
        line_.cells[column] = textformat::gridAmount(value);
        return *this;
    }
    LineBuilder& amountIf(bool shown, int column, Money value) { return shown ? amount(column, value) : *this; }
    LineBuilder& code(const QString& code)
    {
        line_.code = code;
        return *this;
    }
    AggregateLine take() { return std::move(line_); }

private:
    AggregateLine line_;
};

const Money kZero;

// The balance of a pair on the side of its sign: the debit balance D − C when above 0, the
// credit balance C − D when above 0, none when they agree.
void balances(LineBuilder& line, Money debit, Money credit, int debitColumn, int creditColumn)
{
    line.amountIf(debit - credit > kZero, debitColumn, debit - credit);
    line.amountIf(credit - debit > kZero, creditColumn, credit - debit);
}

} // namespace

int aggregateColumnCount(AggregateView view)
{
    return view == AggregateView::Accounts ? 7 : 13;
}

int AggregateGrid::columnCount() const
{
    return view ? aggregateColumnCount(*view) : kUnfilledColumns;
}

QStringList aggregateGroupTitles(AggregateView view)
{
    const QString totals = QStringLiteral("合計試算表");
    const QString balances = QStringLiteral("残高試算表");
    if (view == AggregateView::Accounts)
        return {{}, {}, {}, totals, {}, balances, {}};
    return {{}, {}, {}, {}, {}, totals, {}, {}, totals, balances, {}, {}, balances};
}

QStringList aggregateColumnTitles(AggregateView view)
{
    const QString debit = QStringLiteral("借方");
    const QString credit = QStringLiteral("貸方");
    if (view == AggregateView::Accounts)
        return {QStringLiteral("NO"), QStringLiteral("code"), QStringLiteral("勘定"), debit, credit, debit, credit};
    return {QStringLiteral("NO"), QStringLiteral("code"), QStringLiteral("科目"), QStringLiteral("code"), QStringLiteral("細目"),
            debit, debit, credit, credit, debit, debit, credit, credit};
}

AggregateGrid readAggregateGrid(Database& db, AggregateView view)
{
    const int columns = aggregateColumnCount(view);
    AggregateGrid grid;
    grid.view = view;

    Statement accountRows = db.prepare(QStringLiteral(
        "SELECT Sum01.kcode, Kamoku.kamoku, Sum01.Lgaku, Sum01.Rgaku"
        " FROM (Sum01 INNER JOIN Kamoku ON Sum01.kcode = Kamoku.code) INNER JOIN Bunrui ON Kamoku.bunrui = Bunrui.code"
        " ORDER BY Sum01.kcode"));
    const std::vector<StoredAccount> accounts = readStored(accountRows);

    // The sub-accounts of an account are those whose code begins with the account's code; the
    // code is bound, never written into the statement.
    std::optional<Statement> subAccountRows;
    if (view == AggregateView::SubAccounts)
        subAccountRows.emplace(db.prepare(QStringLiteral(
            "SELECT Sum02.kcode, Kamoku02.kamoku, Sum02.Lgaku, Sum02.Rgaku"
            " FROM Sum02 INNER JOIN Kamoku02 ON Sum02.kcode = Kamoku02.code"
            " WHERE substr(Sum02.kcode, 1, length(?1)) = ?1 ORDER BY Sum02.kcode")));

    Money totalDebit, totalCredit, totalDebitBalance, totalCreditBalance;
    int number = 0;
    for (const StoredAccount& a : accounts) {
        if (a.code == QLatin1String(kLeftOutAccount))
            continue;
        if (view == AggregateView::Accounts) {
            if (a.debit.isZero() && a.credit.isZero())
                continue;
            using namespace accountview;
            LineBuilder line(AggregateLine::Kind::Account, columns);
            line.code(a.code).text(kNumber, QString::number(++number)).text(kCode, a.code).text(kName, a.name);
            line.amountIf(!a.debit.isZero(), kDebit, a.debit).amountIf(!a.credit.isZero(), kCredit, a.credit);
            balances(line, a.debit, a.credit, kDebitBalance, kCreditBalance);
            grid.lines.push_back(line.take());
        } else {
            if (!(a.debit > kZero || a.credit > kZero))
                continue;
            using namespace subview;
            LineBuilder line(AggregateLine::Kind::Account, columns);
            line.code(a.code).text(kNumber, QString::number(++number)).text(kCode, a.code).text(kName, a.name);
            // Every total the totals line counts is shown, a negative one too (a credit the
            // closing transfers wrote back, say), so that the account columns add up to the
            // line "計" on the screen and in the printed report alike.
            line.amountIf(!a.debit.isZero(), kDebit, a.debit).amountIf(!a.credit.isZero(), kCredit, a.credit);
            balances(line, a.debit, a.credit, kDebitBalance, kCreditBalance);
            grid.lines.push_back(line.take());

            subAccountRows->bind(1, a.code);
            const std::vector<StoredAccount> subs = readStored(*subAccountRows);
            subAccountRows->reset();
            if (!subs.empty()) {
                Money booked[2];
                auto subLine = [&](LineBuilder& l, Money debit, Money credit) {
                    l.amountIf(debit > kZero, kDebit + kSubOffset, debit);
                    l.amountIf(credit > kZero, kCredit + kSubOffset, credit);
                    balances(l, debit, credit, kDebitBalance + kSubOffset, kCreditBalance + kSubOffset);
                };
                for (const StoredAccount& s : subs) {
                    booked[0] += s.debit;
                    booked[1] += s.credit;
                    if (s.debit.isZero() && s.credit.isZero())
                        continue;
                    LineBuilder sub(AggregateLine::Kind::SubAccount, columns);
                    sub.code(s.code).text(kSubCode, s.code).text(kSubName, s.name);
                    subLine(sub, s.debit, s.credit);
                    grid.lines.push_back(sub.take());
                }
                const Money otherDebit = a.debit - booked[0];
                const Money otherCredit = a.credit - booked[1];
                if (!otherDebit.isZero() || !otherCredit.isZero()) {
                    LineBuilder other(AggregateLine::Kind::Other, columns);
                    other.text(kSubName, kOtherName);
                    subLine(other, otherDebit, otherCredit);
                    grid.lines.push_back(other.take());
                }
            }
        }
        totalDebit += a.debit;
        totalCredit += a.credit;
        if (a.debit - a.credit > kZero)
            totalDebitBalance += a.debit - a.credit;
        if (a.credit - a.debit > kZero)
            totalCreditBalance += a.credit - a.debit;
    }

    LineBuilder totals(AggregateLine::Kind::Totals, columns);
    if (view == AggregateView::Accounts) {
        using namespace accountview;
        totals.text(kName, kTotalsName).amount(kDebit, totalDebit).amount(kCredit, totalCredit);
        totals.amount(kDebitBalance, totalDebitBalance).amount(kCreditBalance, totalCreditBalance);
    } else {
        using namespace subview;
        totals.text(kName, kTotalsName).amount(kDebit, totalDebit).amount(kCredit, totalCredit);
        totals.amount(kDebitBalance, totalDebitBalance).amount(kCreditBalance, totalCreditBalance);
    }
    grid.lines.push_back(totals.take());
    return grid;
}

QList<QStringList> aggregateGridRows(const AggregateGrid& grid)
{
    QList<QStringList> rows;
    if (!grid.view) {
        for (int row = 0; row < kUnfilledRows; ++row)
            rows << QStringList(QList<QString>(kUnfilledColumns));
        return rows;
    }
    rows << aggregateGroupTitles(*grid.view) << aggregateColumnTitles(*grid.view);
    for (const AggregateLine& line : grid.lines)
        rows << line.cells;
    return rows;
}

} // namespace tolva
