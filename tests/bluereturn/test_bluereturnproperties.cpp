#include "bench/bookgenerator.h"
#include "bluereturn/bluereturn.h"
#include "db/database.h"
#include "db/textformat.h"
#include "tests/support/amounts.h"
#include "tests/support/testdata.h"

#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>

using namespace tolva;
using namespace tolva::testing;

namespace {

// Random books of a shop and a household kept apart in one journal: the business side
// moves between its own accounts and 事業主貸 / 事業主借, the household side between its own
// accounts; inventory is taken in and out through 仕入高 at the ends of the year; a few rows
// of the closing and of the next year lie around the year.
struct RandomBooks {
    struct Row {
        QString day;
        int mode;
        QString debit;
        QString credit;
        qint64 yen;
    };
    std::vector<Row> rows;

    explicit RandomBooks(quint32 seed)
    {
        QRandomGenerator random(seed);
        const auto pick = [&](const QStringList& codes) { return codes[int(random.bounded(codes.size()))]; };
        const auto amount = [&] { return qint64(random.bounded(1, 400000)); };
        const auto day = [&] { return QDate(2024, 1, 1).addDays(random.bounded(366)).toString(Qt::ISODate); };
        const QString first = QStringLiteral("2024-01-01");
        const QString last = QStringLiteral("2024-12-31");

        // Brought forward: the business's balances with 元入金 as the balancing figure.
        qint64 capital = 0;
        for (const QString& asset : {QStringLiteral("1111"), QStringLiteral("1112"), QStringLiteral("1114"), QStringLiteral("1118"),
                                     QStringLiteral("1211"), QStringLiteral("1213")}) {
            const qint64 balance = amount() * 3;
            rows.push_back({first, 21, asset, QStringLiteral("2111"), balance});
            capital += balance;
        }
        for (const QString& liability : {QStringLiteral("1311"), QStringLiteral("1411")}) {
            const qint64 balance = amount();
            rows.push_back({first, 21, QStringLiteral("2111"), liability, balance});
            capital -= balance;
        }
        rows.push_back({first, 21, QStringLiteral("2111"), QStringLiteral("1503"), capital});
        const qint64 openingInventory = rows[3].yen;

        const QStringList money = {QStringLiteral("1111"), QStringLiteral("1112")};
        const QStringList expenses = {QStringLiteral("0312"), QStringLiteral("0314"), QStringLiteral("0316"), QStringLiteral("0321"),
                                      QStringLiteral("0327"), QStringLiteral("0329"), QStringLiteral("0330"), QStringLiteral("0399")};
        for (int i = 0; i < 600; ++i) {
            const qint64 yen = amount();
            switch (random.bounded(12)) {
            case 0: rows.push_back({day(), 10, pick(money + QStringList{QStringLiteral("1114")}), QStringLiteral("0111"), yen}); break;
            case 1: rows.push_back({day(), 10, QStringLiteral("1112"), QStringLiteral("0112"), yen}); break;
            case 2: rows.push_back({day(), 10, QStringLiteral("1501"), QStringLiteral("0113"), yen}); break;
            case 3: rows.push_back({day(), 10, QStringLiteral("0311"), pick({QStringLiteral("1112"), QStringLiteral("1311")}), yen}); break;
            case 4: rows.push_back({day(), 10, pick(expenses), pick(money + QStringList{QStringLiteral("1313")}), yen}); break;
            case 5: rows.push_back({day(), 10, QStringLiteral("0332"), QStringLiteral("1112"), yen}); break;
            case 6: {
                // The household's spending paid from the business: drawn, then spent.
                const QString d = day();
                rows.push_back({d, 10, QStringLiteral("1501"), QStringLiteral("1112"), yen});
                rows.push_back({d, 10, pick({QStringLiteral("0411"), QStringLiteral("0412")}), QStringLiteral("0215"), yen});
                break;
            }
            case 7: rows.push_back({day(), 10, QStringLiteral("1112"), QStringLiteral("1502"), yen}); break;
            case 8: rows.push_back({day(), 10, pick({QStringLiteral("1311"), QStringLiteral("1411"), QStringLiteral("1313")}), QStringLiteral("1112"), yen}); break;
            case 9: rows.push_back({day(), 10, QStringLiteral("1112"), QStringLiteral("1114"), yen}); break;
            case 10: rows.push_back({day(), 10, QStringLiteral("1412"), QStringLiteral("0211"), yen}); break;
            default: rows.push_back({day(), 10, QStringLiteral("0411"), QStringLiteral("1412"), yen}); break;
            }
        }
        rows.push_back({last, 31, QStringLiteral("0322"), QStringLiteral("1211"), amount()});
        rows.push_back({last, 31, QStringLiteral("0322"), QStringLiteral("1213"), amount()});
        rows.push_back({last, 31, QStringLiteral("0311"), QStringLiteral("1118"), openingInventory});
        rows.push_back({last, 31, QStringLiteral("1118"), QStringLiteral("0311"), amount()});
        rows.push_back({last, 41, QStringLiteral("0111"), QStringLiteral("4111"), amount()});
        rows.push_back({last, 51, QStringLiteral("5111"), QStringLiteral("1112"), amount()});
        rows.push_back({QStringLiteral("2025-01-01"), 21, QStringLiteral("1112"), QStringLiteral("2111"), amount()});
        rows.push_back({QStringLiteral("2023-12-31"), 10, QStringLiteral("1112"), QStringLiteral("0111"), amount()});
    }

    void write(Database& db) const
    {
        Transaction transaction(db);
        Statement insert = db.prepare(QStringLiteral("INSERT INTO shiwake (sDay, Lbunrui, Lcode, Lgaku, Rbunrui, Rcode, Rgaku, syori)"
                                                     " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?4, ?7)"));
        for (const Row& row : rows) {
            insert.bind(1, row.day);
            insert.bind(2, row.debit.left(2));
            insert.bind(3, row.debit);
            insert.bind(4, Money::fromYen(row.yen).units());
            insert.bind(5, row.credit.left(2));
            insert.bind(6, row.credit);
            insert.bind(7, qint64(row.mode));
            insert.step();
            insert.reset();
        }
        transaction.commit();
    }
};

// The test's own reading of the journal: every row of the year read back as stored, summed
// per account with the test's own list of which account is what.
struct Expected {
    std::map<QString, Money> opening, movement;  // debit positive
    Money purchasesAgainstInventory;
    std::vector<Money> salesPerMonth = std::vector<Money>(12);

    explicit Expected(Database& db)
    {
        Statement rows = db.prepare(QStringLiteral("SELECT sDay, syori, Lcode, Lgaku, Rcode, Rgaku FROM shiwake"));
        while (rows.step()) {
            const QDate day = QDate::fromString(rows.column(0).toString(), Qt::ISODate);
            const qint64 mode = rows.columnInt(1);
            if (day < QDate(2024, 1, 1) || day > QDate(2024, 12, 31) || mode == 41 || mode == 51)
                continue;
            const QString debit = rows.column(2).toString();
            const QString credit = rows.column(4).toString();
            const Money l = Money::fromUnits(rows.columnInt(3));
            const Money r = Money::fromUnits(rows.columnInt(5));
            auto& into = (mode == 21 && day == QDate(2024, 1, 1)) ? opening : movement;
            into[debit] += l;
            into[credit] -= r;
            if (&into == &movement) {
                if (debit == QLatin1String("0311") && credit == QLatin1String("1118"))
                    purchasesAgainstInventory += l;
                if (debit == QLatin1String("1118") && credit == QLatin1String("0311"))
                    purchasesAgainstInventory -= r;
                if (credit == QLatin1String("0111"))
                    salesPerMonth[size_t(day.month() - 1)] += r;
            }
        }
    }
    Money sumOf(const std::map<QString, Money>& of, const QStringList& codes) const
    {
        Money total;
        for (const QString& code : codes)
            if (of.count(code))
                total += of.at(code);
        return total;
    }
    Money closing(const QStringList& codes) const { return sumOf(opening, codes) + sumOf(movement, codes); }
};

Money lineAmount(const std::vector<StatementRow>& rows, const QString& number)
{
    for (const StatementRow& row : rows)
        if (row.number == number)
            return row.first.value_or(Money());
    ADD_FAILURE() << "no line " << number.toStdString();
    return {};
}

} // namespace

// The identities of the statement on random books, against the test's own sums of the journal.
TEST(BlueReturnProperties, TheStatementsIdentitiesHoldOnRandomBooks)
{
    for (const quint32 seed : {1u, 7u, 2024u, 90210u}) {
        SCOPED_TRACE(seed);
        TestDataFolder folder;
        Database& db = *Database::forFolder(folder.path());
        RandomBooks(seed).write(db);
        const BlueReturn r = computeBlueReturn(db, FiscalPeriod{QDate(2024, 1, 1), QDate(2024, 12, 31)}, 650000);
        const Expected e(db);

        const QStringList revenue = {QStringLiteral("0111"), QStringLiteral("0112"), QStringLiteral("0113")};
        const QStringList expenses = {QStringLiteral("0312"), QStringLiteral("0314"), QStringLiteral("0316"), QStringLiteral("0321"),
                                      QStringLiteral("0322"), QStringLiteral("0327"), QStringLiteral("0329"), QStringLiteral("0330"),
                                      QStringLiteral("0399")};
        const QStringList inventory = {QStringLiteral("1118")};
        EXPECT_EQ(r.sales, -e.sumOf(e.movement, revenue));
        EXPECT_EQ(r.openingInventory, e.sumOf(e.opening, inventory));
        EXPECT_EQ(r.closingInventory, e.closing(inventory));
        EXPECT_EQ(r.purchases, e.sumOf(e.movement, {QStringLiteral("0311")}) - e.purchasesAgainstInventory);
        EXPECT_EQ(r.expensesTotal, e.sumOf(e.movement, expenses));
        EXPECT_EQ(r.familySalary, e.sumOf(e.movement, {QStringLiteral("0332")}));

        // Page 1's own arithmetic, line by line as printed.
        EXPECT_EQ(r.costOfSales, r.openingInventory + r.purchases - r.closingInventory);
        EXPECT_EQ(r.grossProfit, r.sales - r.costOfSales);
        Money expenseLines;
        for (const StatementRow& row : r.incomeStatement)
            if (row.section == QStringLiteral("経費") && row.number != QStringLiteral("㉜"))
                expenseLines += row.first.value_or(Money());
        EXPECT_EQ(lineAmount(r.incomeStatement, QStringLiteral("㉜")), expenseLines);
        EXPECT_EQ(lineAmount(r.incomeStatement, QStringLiteral("㊶")),
                  lineAmount(r.incomeStatement, QStringLiteral("㉝")) + lineAmount(r.incomeStatement, QStringLiteral("㊱"))
                      - lineAmount(r.incomeStatement, QStringLiteral("㊵")));
        EXPECT_EQ(r.incomeBeforeDeduction, r.grossProfit - r.expensesTotal + r.reversals - r.provisions);
        // … which is the business categories' result plus the inventory's change outside
        // the purchases (none here: the inventory goes through 仕入高).
        const Money businessResult = -e.sumOf(e.movement, revenue + expenses + QStringList{QStringLiteral("0311"), QStringLiteral("0332")});
        const Money inventoryChange = e.closing(inventory) - e.sumOf(e.opening, inventory);
        EXPECT_EQ(r.incomeBeforeDeduction, businessResult + e.purchasesAgainstInventory + inventoryChange);
        EXPECT_EQ(r.incomeBeforeDeduction, businessResult);
        EXPECT_EQ(r.deduction, cappedDeduction(r.incomeBeforeDeduction, 650000));
        EXPECT_EQ(r.income, r.incomeBeforeDeduction - r.deduction);

        // Page 2 comes back to page 1.
        for (size_t m = 0; m < 12; ++m)
            EXPECT_EQ(r.monthly[m].first, e.salesPerMonth[m]) << m;
        EXPECT_EQ(r.monthly.back().first, r.sales);
        EXPECT_EQ(r.monthly.back().second, r.purchases);

        // Page 4 balances at both ends; the business's own figures.
        const QStringList assets = {QStringLiteral("1111"), QStringLiteral("1112"), QStringLiteral("1114"), QStringLiteral("1118"),
                                    QStringLiteral("1211"), QStringLiteral("1213")};
        EXPECT_EQ(r.assetsOpening, e.sumOf(e.opening, assets));
        EXPECT_EQ(r.assetsClosing, e.closing(assets + QStringList{QStringLiteral("1501")}));
        EXPECT_EQ(r.assetsOpening, r.liabilitiesOpening);
        EXPECT_EQ(r.assetsClosing, r.liabilitiesClosing);
        for (const StatementFinding& finding : r.findings)
            EXPECT_EQ(finding.kind, StatementFinding::Kind::DepreciationDiffers) << finding.message.toStdString();
    }
}

// The generator's big books keep the household and the business in one journal without
// keeping them apart: page 1 and page 2 still agree, and a page 4 that does not balance is
// never shown without a finding that names its accounts.
TEST(BlueReturnProperties, GeneratedBooksNeverShowAnUnbalancedSheetSilently)
{
    for (const quint32 seed : {5u, 13u}) {
        SCOPED_TRACE(seed);
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("books"));
        Database::closeAll();
        bookgen::BookOptions options;
        options.templateDir = templateDir();
        (void)bookgen::generateBooks(folder, 4000, seed, options);
        Database& db = *Database::forFolder(folder);
        for (int year = 2017; year <= 2019; ++year) {
            SCOPED_TRACE(year);
            const BlueReturn r = computeBlueReturn(db, FiscalPeriod{QDate(year, 1, 1), QDate(year, 12, 31)}, 650000);
            EXPECT_EQ(r.monthly.back().first, r.sales);
            EXPECT_EQ(r.monthly.back().second, r.purchases);
            EXPECT_EQ(r.incomeBeforeDeduction, r.grossProfit - r.expensesTotal + r.reversals - r.provisions);
            const auto found = [&](StatementFinding::Kind kind) {
                return std::any_of(r.findings.begin(), r.findings.end(), [&](const StatementFinding& f) {
                    return f.kind == kind && !f.message.isEmpty();
                });
            };
            EXPECT_EQ(found(StatementFinding::Kind::OpeningUnbalanced), r.assetsOpening != r.liabilitiesOpening);
            EXPECT_EQ(found(StatementFinding::Kind::ClosingUnbalanced), r.assetsClosing != r.liabilitiesClosing);
            for (const StatementFinding& f : r.findings) {
                if (f.kind == StatementFinding::Kind::ClosingUnbalanced) {
                    EXPECT_FALSE(f.accounts.isEmpty()) << f.message.toStdString();
                }
                if (f.kind != StatementFinding::Kind::DepreciationDiffers) {
                    EXPECT_EQ(f.explained, f.difference) << "the causes named make up the difference: " << f.message.toStdString();
                }
            }
        }
        Database::closeAll();
    }
}
