#include "bluereturn/bluereturn.h"

#include "closing/aggregation.h"
#include "closing/storedamount.h"
#include "db/codes.h"
#include "db/database.h"
#include "db/textformat.h"

#include <QSet>

#include <algorithm>
#include <map>

namespace tolva {

namespace {

QString yen(Money amount)
{
    return textformat::gridAmount(amount) + QStringLiteral("円");
}

// The journal's rows of the year summed per month and pair of accounts, the brought-forward
// rows of the first day apart: what the opening balances, page 2, the purchases taken apart
// from the inventory and the check of page 4 read.
struct PairSum {
    int month = 0;  // 0..11 in the period's order
    bool opening = false;
    QString debitCode, creditCode;
    QString debitSub, creditSub;
    Money debit, credit;
};

std::vector<PairSum> pairSums(Database& db, const FiscalPeriod& period)
{
    Statement rows = db.prepare(QStringLiteral(
        "SELECT substr(sDay, 1, 7), (syori = %1 AND sDay = ?1), Lcode, Rcode, LScode, RScode, SUM(Lgaku), SUM(Rgaku)"
        " FROM shiwake WHERE sDay >= ?1 AND sDay <= ?2 AND (syori <= %1 OR syori = %2) GROUP BY 1, 2, 3, 4, 5, 6")
                                    .arg(kLastMovementMode)
                                    .arg(code(ProcessingMode::ClosingAdjustment)));
    rows.bind(1, textformat::isoDate(period.start));
    rows.bind(2, textformat::isoDate(period.end));
    std::vector<PairSum> sums;
    const int firstMonth = period.start.year() * 12 + period.start.month() - 1;
    while (rows.step()) {
        PairSum sum;
        const QString month = rows.column(0).toString();
        sum.month = std::clamp(month.left(4).toInt() * 12 + month.mid(5, 2).toInt() - 1 - firstMonth, 0, 11);
        sum.opening = rows.columnInt(1) != 0;
        sum.debitCode = rows.column(2).toString();
        sum.creditCode = rows.column(3).toString();
        sum.debitSub = rows.column(4).toString();
        sum.creditSub = rows.column(5).toString();
        const QString what = QStringLiteral("科目「%1」「%2」の合計").arg(sum.debitCode, sum.creditCode);
        sum.debit = storedAmount(rows, 6, what);
        sum.credit = storedAmount(rows, 7, what);
        sums.push_back(std::move(sum));
    }
    return sums;
}

bool creditNatured(LineKind kind)
{
    return kind == LineKind::Revenue || kind == LineKind::Reversal || kind == LineKind::Liability
           || kind == LineKind::OwnerContributions || kind == LineKind::Capital;
}

// Where an account counts for the check of page 4: on the statement through the year's
// movements (every line but 元入金, which shows the balance brought forward) or not.
bool movesOnStatement(LineKind kind)
{
    return kind != LineKind::Off && kind != LineKind::Capital;
}

class Computation {
public:
    Computation(Database& db, const FiscalPeriod& period) : db_(db), period_(period)
    {
        chart_ = readChart(db);
        for (const ChartAccount& account : chart_)
            names_[account.code] = account.name;
        lines_ = readAccountLines(db, chart_).line;
        QStringList codes;
        for (const ChartAccount& account : chart_)
            codes << account.code;
        for (const CodeTotals& totals : totalsPerCode(db, AggregationLevel::Account, codes, period.start, period.end))
            closing_[totals.code] = totals.debit + totals.adjustmentDebit - totals.credit - totals.adjustmentCredit;
        sums_ = pairSums(db, period);
        for (const PairSum& sum : sums_) {
            if (!sum.opening)
                continue;
            opening_[sum.debitCode] += sum.debit;
            opening_[sum.creditCode] -= sum.credit;
        }
    }

    [[nodiscard]] LineKind kindOf(const QString& code) const { return statementLine(keyOf(code))->kind; }
    [[nodiscard]] QString keyOf(const QString& code) const
    {
        const auto it = lines_.find(code);
        return it == lines_.end() ? kOffStatementKey : it->second;
    }
    [[nodiscard]] QStringList accountsOn(const QString& key) const
    {
        QStringList codes;
        for (const auto& [code, line] : lines_)
            if (line == key)
                codes << code;
        return codes;
    }
    [[nodiscard]] QString name(const QString& code) const { return names_.count(code) ? names_.at(code) : QString(); }
    [[nodiscard]] QString described(const QString& code) const
    {
        const StatementLineDef* line = statementLine(keyOf(code));
        return QStringLiteral("%1 %2（%3）").arg(code, name(code), line->kind == LineKind::Off ? line->caption : line->caption.isEmpty() ? statementLineChoiceText(*line) : line->caption);
    }
    [[nodiscard]] Money opening(const QString& code) const { return opening_.count(code) ? opening_.at(code) : Money(); }
    [[nodiscard]] Money closing(const QString& code) const { return closing_.count(code) ? closing_.at(code) : Money(); }
    // The year's movements and adjustments without the balance brought forward, debit positive.
    [[nodiscard]] Money year(const QString& code) const { return closing(code) - opening(code); }

    // Debit-positive sums of a line's accounts.
    [[nodiscard]] Money lineYear(const QString& key) const
    {
        Money total;
        for (const QString& code : accountsOn(key))
            total += year(code);
        return total;
    }
    [[nodiscard]] Money lineOpening(const QString& key) const
    {
        Money total;
        for (const QString& code : accountsOn(key))
            total += opening(code);
        return total;
    }
    [[nodiscard]] Money lineClosing(const QString& key) const
    {
        Money total;
        for (const QString& code : accountsOn(key))
            total += closing(code);
        return total;
    }
    [[nodiscard]] Money linesOfKind(LineKind kind, Money (Computation::*of)(const QString&) const) const
    {
        Money total;
        for (const StatementLineDef& line : statementLines())
            if (line.kind == kind)
                total += (this->*of)(line.key);
        return total;
    }
    // A free line's caption: the names of its accounts.
    [[nodiscard]] QString freeCaption(const QString& key) const
    {
        QStringList names;
        for (const QString& code : accountsOn(key))
            names << name(code);
        return names.join(QStringLiteral("・"));
    }

    Database& db_;
    FiscalPeriod period_;
    std::vector<ChartAccount> chart_;
    std::map<QString, QString> names_;
    std::map<QString, QString> lines_;
    std::map<QString, Money> closing_;
    std::map<QString, Money> opening_;
    std::vector<PairSum> sums_;
};

StatementRow row(int page, const QString& section, const QString& number, const QString& caption, std::optional<Money> first,
                 std::optional<Money> second = std::nullopt, QStringList accounts = {})
{
    return StatementRow{page, section, number, caption, first, second, std::move(accounts)};
}


} // namespace

Money cappedDeduction(Money incomeBeforeDeduction, qint64 chosenYen)
{
    if (!(incomeBeforeDeduction > Money()))
        return Money();
    return std::min(incomeBeforeDeduction, Money::fromYen(chosenYen));
}

QStringList monthCaptions(const FiscalPeriod& period)
{
    QStringList captions;
    for (int i = 0; i < 12; ++i)
        captions << QStringLiteral("%1月").arg(period.start.addMonths(i).month());
    return captions;
}

BlueReturn computeBlueReturn(Database& db, const FiscalPeriod& period, std::optional<qint64> deduction)
{
    const Computation c(db, period);
    BlueReturn r;
    r.period = period;
    r.chosenDeduction = deduction ? *deduction : readSpecialDeduction(db, period.start.year());

    // ③ leaves out the inventory carried in and out through the purchases accounts.
    Money purchasesAgainstInventory;
    std::vector<Money> purchasesAgainstInventoryPerMonth(12);
    Money inventoryAgainstOthers;  // inventory moved against anything but the purchases lines
    for (const PairSum& sum : c.sums_) {
        if (sum.opening)
            continue;
        const LineKind debitKind = c.kindOf(sum.debitCode);
        const LineKind creditKind = c.kindOf(sum.creditCode);
        if (debitKind == LineKind::Purchases && creditKind == LineKind::Inventory) {
            purchasesAgainstInventory += sum.debit;
            purchasesAgainstInventoryPerMonth[size_t(sum.month)] += sum.debit;
        } else if (debitKind == LineKind::Inventory && creditKind == LineKind::Purchases) {
            purchasesAgainstInventory -= sum.credit;
            purchasesAgainstInventoryPerMonth[size_t(sum.month)] -= sum.credit;
        } else {
            if (debitKind == LineKind::Inventory)
                inventoryAgainstOthers += sum.debit;
            if (creditKind == LineKind::Inventory)
                inventoryAgainstOthers -= sum.credit;
        }
    }

    // Page 1.
    const QString salesSection = QStringLiteral("売上");
    const QString costSection = QStringLiteral("売上原価");
    const QString expenseSection = QStringLiteral("経費");
    const QString reserveSection = QStringLiteral("各種引当金・準備金等");
    const QString inventoryKey = QStringLiteral("inventory");
    r.sales = -(c.lineYear(kSalesKey) + c.lineYear(kHomeConsumptionKey) + c.lineYear(kMiscIncomeKey));
    r.openingInventory = c.lineOpening(inventoryKey);
    r.purchases = c.lineYear(QStringLiteral("purchases")) - purchasesAgainstInventory;
    r.subtotal = r.openingInventory + r.purchases;
    r.closingInventory = c.lineClosing(inventoryKey);
    r.costOfSales = r.subtotal - r.closingInventory;
    r.grossProfit = r.sales - r.costOfSales;
    std::vector<StatementRow>& p1 = r.incomeStatement;
    QStringList revenueAccounts = c.accountsOn(kSalesKey) + c.accountsOn(kHomeConsumptionKey) + c.accountsOn(kMiscIncomeKey);
    p1.push_back(row(1, salesSection, QStringLiteral("①"), QStringLiteral("売上（収入）金額（雑収入を含む）"), r.sales, {}, revenueAccounts));
    const QStringList inventoryAccounts = c.accountsOn(inventoryKey);
    p1.push_back(row(1, costSection, QStringLiteral("②"), QStringLiteral("期首商品（製品）棚卸高"), r.openingInventory, {}, inventoryAccounts));
    p1.push_back(row(1, costSection, QStringLiteral("③"), QStringLiteral("仕入金額（製品製造原価）"), r.purchases, {},
                     c.accountsOn(QStringLiteral("purchases"))));
    p1.push_back(row(1, costSection, QStringLiteral("④"), QStringLiteral("小計（②＋③）"), r.subtotal));
    p1.push_back(row(1, costSection, QStringLiteral("⑤"), QStringLiteral("期末商品（製品）棚卸高"), r.closingInventory, {}, inventoryAccounts));
    p1.push_back(row(1, costSection, QStringLiteral("⑥"), QStringLiteral("差引原価（④－⑤）"), r.costOfSales));
    p1.push_back(row(1, QString(), QStringLiteral("⑦"), QStringLiteral("差引金額（①－⑥）"), r.grossProfit));
    for (const StatementLineDef& line : statementLines()) {
        if (line.kind != LineKind::Expense)
            continue;
        const QStringList accounts = c.accountsOn(line.key);
        const Money amount = c.lineYear(line.key);
        r.expensesTotal += amount;
        if (line.key == kDepreciationKey)
            r.journalDepreciation = amount;
        if (line.freeLine)
            p1.push_back(row(1, expenseSection, line.number, c.freeCaption(line.key),
                             accounts.isEmpty() ? std::nullopt : std::optional<Money>(amount), {}, accounts));
        else
            p1.push_back(row(1, expenseSection, line.number, line.caption, amount, {}, accounts));
    }
    p1.push_back(row(1, expenseSection, QStringLiteral("㉜"), QStringLiteral("計"), r.expensesTotal));
    r.afterExpenses = r.grossProfit - r.expensesTotal;
    p1.push_back(row(1, QString(), QStringLiteral("㉝"), QStringLiteral("差引金額（⑦－㉜）"), r.afterExpenses));
    const QStringList reversalAccounts = c.accountsOn(QStringLiteral("reversal"));
    const QStringList familyAccounts = c.accountsOn(QStringLiteral("family"));
    const QStringList provisionAccounts = c.accountsOn(QStringLiteral("provision"));
    r.reversals = -c.lineYear(QStringLiteral("reversal"));
    r.familySalary = c.lineYear(QStringLiteral("family"));
    const Money provision = c.lineYear(QStringLiteral("provision"));
    r.provisions = r.familySalary + provision;
    const auto used = [](const QStringList& accounts, Money amount) {
        return accounts.isEmpty() ? std::nullopt : std::optional<Money>(amount);
    };
    const QString reversalsBlock = reserveSection + QStringLiteral("（繰戻額等）");
    const QString provisionsBlock = reserveSection + QStringLiteral("（繰入額等）");
    p1.push_back(row(1, reversalsBlock, QStringLiteral("㉞"), QStringLiteral("貸倒引当金"), used(reversalAccounts, r.reversals), {}, reversalAccounts));
    p1.push_back(row(1, reversalsBlock, QStringLiteral("㉟"), QString(), std::nullopt));
    p1.push_back(row(1, reversalsBlock, QStringLiteral("㊱"), QStringLiteral("計"), r.reversals));
    p1.push_back(row(1, provisionsBlock, QStringLiteral("㊲"), QStringLiteral("専従者給与"), used(familyAccounts, r.familySalary), {}, familyAccounts));
    p1.push_back(row(1, provisionsBlock, QStringLiteral("㊳"), QStringLiteral("貸倒引当金"), used(provisionAccounts, provision), {}, provisionAccounts));
    p1.push_back(row(1, provisionsBlock, QStringLiteral("㊴"), QString(), std::nullopt));
    p1.push_back(row(1, provisionsBlock, QStringLiteral("㊵"), QStringLiteral("計"), r.provisions));
    r.incomeBeforeDeduction = r.afterExpenses + r.reversals - r.provisions;
    r.deduction = cappedDeduction(r.incomeBeforeDeduction, r.chosenDeduction);
    r.income = r.incomeBeforeDeduction - r.deduction;
    p1.push_back(row(1, QString(), QStringLiteral("㊶"), QStringLiteral("青色申告特別控除前の所得金額（㉝＋㊱－㊵）"), r.incomeBeforeDeduction));
    p1.push_back(row(1, QString(), QStringLiteral("㊷"), QStringLiteral("青色申告特別控除額"), r.deduction));
    p1.push_back(row(1, QString(), QStringLiteral("㊸"), QStringLiteral("所得金額（㊶－㊷）"), r.income));

    // Page 2: the months from the journal's rows of each month, then the two revenue lines of
    // their own; the totals come back to ① and ③.
    std::vector<Money> salesPerMonth(12), purchasesPerMonth(12);
    Money homeConsumption, miscIncome;
    for (const PairSum& sum : c.sums_) {
        if (sum.opening)
            continue;
        const size_t m = size_t(sum.month);
        const QString debitKey = c.keyOf(sum.debitCode);
        const QString creditKey = c.keyOf(sum.creditCode);
        const auto credit = [&](const QString& key, Money amount, Money& into) {
            if (debitKey == key)
                into -= sum.debit;
            if (creditKey == key)
                into += amount;
        };
        credit(kSalesKey, sum.credit, salesPerMonth[m]);
        credit(kHomeConsumptionKey, sum.credit, homeConsumption);
        credit(kMiscIncomeKey, sum.credit, miscIncome);
        if (c.kindOf(sum.debitCode) == LineKind::Purchases)
            purchasesPerMonth[m] += sum.debit;
        if (c.kindOf(sum.creditCode) == LineKind::Purchases)
            purchasesPerMonth[m] -= sum.credit;
    }
    const QString monthlySection = QStringLiteral("月別売上（収入）金額及び仕入金額");
    const QStringList months = monthCaptions(period);
    Money salesTotal, purchasesTotal;
    for (size_t m = 0; m < 12; ++m) {
        const Money purchases = purchasesPerMonth[m] - purchasesAgainstInventoryPerMonth[m];
        salesTotal += salesPerMonth[m];
        purchasesTotal += purchases;
        r.monthly.push_back(row(2, monthlySection, QString(), months[int(m)], salesPerMonth[m], purchases));
    }
    r.monthly.push_back(row(2, monthlySection, QString(), QStringLiteral("家事消費等"), homeConsumption, std::nullopt,
                            c.accountsOn(kHomeConsumptionKey)));
    r.monthly.push_back(row(2, monthlySection, QString(), QStringLiteral("雑収入"), miscIncome, std::nullopt, c.accountsOn(kMiscIncomeKey)));
    r.monthly.push_back(row(2, monthlySection, QString(), QStringLiteral("計"), salesTotal + homeConsumption + miscIncome, purchasesTotal));

    // 専従者給与の内訳, per sub-account of the salary accounts.
    if (!familyAccounts.isEmpty()) {
        std::map<QString, Money> amounts;
        std::map<QString, QSet<int>> paidMonths;
        for (const PairSum& sum : c.sums_) {
            if (sum.opening)
                continue;
            if (c.kindOf(sum.debitCode) == LineKind::FamilySalary) {
                amounts[sum.debitSub] += sum.debit;
                paidMonths[sum.debitSub].insert(sum.month);
            }
            if (c.kindOf(sum.creditCode) == LineKind::FamilySalary)
                amounts[sum.creditSub] -= sum.credit;
        }
        std::map<QString, QString> subNames;
        Statement subs = db.prepare(QStringLiteral("SELECT code, kamoku FROM Kamoku02"));
        while (subs.step())
            subNames[subs.column(0).toString()] = subs.column(1).toString();
        for (const auto& [sub, amount] : amounts) {
            if (amount.isZero())
                continue;
            const QString label = sub.isEmpty() ? QStringLiteral("（細目なし）") : subNames.count(sub) ? subNames[sub] : sub;
            r.familySalaryRows.push_back(FamilySalaryRow{label, int(paidMonths[sub].size()), amount});
        }
    }

    // Page 3 and its check against ⑱.
    r.depreciation = depreciationListRows(db, period);
    for (const DepreciationListRow& asset : r.depreciation)
        r.depreciationExpenseTotal += asset.figures.expense;
    if (r.depreciationExpenseTotal != r.journalDepreciation) {
        StatementFinding finding;
        finding.kind = StatementFinding::Kind::DepreciationDiffers;
        finding.message =
            QStringLiteral("減価償却費の計算（3頁）の本年分の必要経費算入額の計 %1 と、仕訳の減価償却費（⑱）%2 が一致しません（差額 %3）。"
                           "減価償却費の仕訳（決算整理）を忘れていないか確かめてください。")
                .arg(yen(r.depreciationExpenseTotal), yen(r.journalDepreciation), yen(r.depreciationExpenseTotal - r.journalDepreciation));
        finding.accounts = c.accountsOn(kDepreciationKey);
        finding.difference = r.depreciationExpenseTotal - r.journalDepreciation;
        r.findings.push_back(std::move(finding));
    }

    // Page 4.
    const QString assetSection = QStringLiteral("資産の部");
    const QString liabilitySection = QStringLiteral("負債・資本の部");
    std::vector<StatementRow>& p4 = r.balanceSheet;
    const auto balanceLine = [&](const StatementLineDef& line, const QString& section) {
        const QStringList accounts = c.accountsOn(line.key);
        const bool credit = creditNatured(line.kind);
        const Money opening = credit ? -c.lineOpening(line.key) : c.lineOpening(line.key);
        const Money closing = credit ? -c.lineClosing(line.key) : c.lineClosing(line.key);
        const bool ownerLine = line.kind == LineKind::OwnerDrawings || line.kind == LineKind::OwnerContributions;
        const bool capital = line.kind == LineKind::Capital;
        StatementRow out = row(4, section, QString(), line.freeLine ? c.freeCaption(line.key) : line.caption,
                               ownerLine ? std::nullopt : std::optional<Money>(opening),
                               capital ? std::optional<Money>(opening) : std::optional<Money>(closing), accounts);
        if (line.freeLine && accounts.isEmpty())
            out.first = out.second = std::nullopt;
        if (line.key == inventoryKey)
            out.caption = QStringLiteral("棚卸資産");
        return out;
    };
    const auto addUp = [](const StatementRow& line, Money& opening, Money& closing) {
        opening += line.first.value_or(Money());
        closing += line.second.value_or(Money());
    };
    QStringList assetOrder;
    for (const StatementLineDef& line : statementLines()) {
        if (line.kind == LineKind::Asset || line.kind == LineKind::OwnerDrawings)
            assetOrder << line.key;
        if (line.key == QLatin1String("a07"))
            assetOrder << inventoryKey;  // the form lists 棚卸資産 after 有価証券
    }
    for (const QString& key : assetOrder) {
        const StatementRow line = balanceLine(*statementLine(key), assetSection);
        addUp(line, r.assetsOpening, r.assetsClosing);
        p4.push_back(line);
    }
    p4.push_back(row(4, assetSection, QString(), QStringLiteral("合計"), r.assetsOpening, r.assetsClosing));
    QStringList liabilityOrder;
    for (const StatementLineDef& line : statementLines())
        if (line.kind == LineKind::Liability && line.key != QLatin1String("l07"))
            liabilityOrder << line.key;
    liabilityOrder << QStringLiteral("l07") << QStringLiteral("owner-contrib") << QStringLiteral("capital");
    for (const QString& key : liabilityOrder) {
        const StatementRow line = balanceLine(*statementLine(key), liabilitySection);
        addUp(line, r.liabilitiesOpening, r.liabilitiesClosing);
        p4.push_back(line);
    }
    p4.push_back(row(4, liabilitySection, QString(), QStringLiteral("青色申告特別控除前の所得金額"), std::nullopt, r.incomeBeforeDeduction));
    r.liabilitiesClosing += r.incomeBeforeDeduction;
    p4.push_back(row(4, liabilitySection, QString(), QStringLiteral("合計"), r.liabilitiesOpening, r.liabilitiesClosing));

    // The check of page 4: which accounts make a difference of either end.
    const Money openingDifference = r.assetsOpening - r.liabilitiesOpening;
    // Balances brought forward that page 4's 期首 does not show: accounts off the statement,
    // 事業主貸・事業主借, income-statement lines.
    std::vector<std::pair<QString, Money>> openingCauses;
    Money broughtForwardOffShown;
    for (const ChartAccount& account : c.chart_) {
        const Money opening = c.opening(account.code);
        // The closing's own counter-accounts open at nothing when the opening rows balance;
        // one that does not is a cause like any other.
        if (opening.isZero())
            continue;
        const LineKind kind = c.kindOf(account.code);
        const bool shownAtStart = kind == LineKind::Asset || kind == LineKind::Liability || kind == LineKind::Capital
                                  || kind == LineKind::Inventory;
        if (shownAtStart)
            continue;
        openingCauses.emplace_back(account.code, opening);
        if (kind == LineKind::OwnerDrawings || kind == LineKind::OwnerContributions)
            broughtForwardOffShown += opening;
    }
    // The largest few first, so that a book with many such accounts still reads; the rest
    // are summed. Every account stays among the finding's accounts.
    constexpr size_t kNamedAtMost = 8;
    const auto namedList = [&](std::vector<std::pair<QString, Money>> causes) {
        std::stable_sort(causes.begin(), causes.end(), [](const auto& a, const auto& b) {
            const Money x = a.second.isNegative() ? -a.second : a.second;
            const Money y = b.second.isNegative() ? -b.second : b.second;
            return x > y;
        });
        QStringList parts;
        Money rest;
        for (size_t i = 0; i < causes.size(); ++i) {
            if (i < kNamedAtMost)
                parts << causes[i].first;
            else
                rest += causes[i].second;
        }
        if (causes.size() > kNamedAtMost)
            parts << QStringLiteral("ほか %1 件（計 %2）").arg(causes.size() - kNamedAtMost).arg(yen(rest));
        return parts.join(QStringLiteral("、"));
    };
    const auto causeList = [&](const std::vector<std::pair<QString, Money>>& causes, QStringList& named) {
        std::vector<std::pair<QString, Money>> described;
        for (const auto& [code, amount] : causes) {
            described.emplace_back(QStringLiteral("%1 %2").arg(c.described(code), yen(amount)), amount);
            named << code;
        }
        return namedList(std::move(described));
    };
    if (!openingDifference.isZero()) {
        StatementFinding finding;
        finding.kind = StatementFinding::Kind::OpeningUnbalanced;
        finding.message = QStringLiteral("貸借対照表の期首の合計が一致しません：資産の部 %1、負債・資本の部 %2（差額 %3）。")
                              .arg(yen(r.assetsOpening), yen(r.liabilitiesOpening), yen(openingDifference));
        finding.difference = openingDifference;
        for (const auto& cause : openingCauses)
            finding.explained -= cause.second;
        if (!openingCauses.empty())
            finding.message += QStringLiteral("期首の残高が貸借対照表の期首に載らない科目（借方を正）：") + causeList(openingCauses, finding.accounts)
                               + QStringLiteral("。");
        r.findings.push_back(std::move(finding));
    }
    const Money closingDifference = r.assetsClosing - r.liabilitiesClosing;
    if (!closingDifference.isZero()) {
        // The year's rows between an account on the statement and one off it (or 元入金,
        // which shows only its balance brought forward), per pair.
        std::map<std::pair<QString, QString>, Money> crossing;
        for (const PairSum& sum : c.sums_) {
            if (sum.opening)
                continue;
            const bool debitOn = movesOnStatement(c.kindOf(sum.debitCode));
            const bool creditOn = movesOnStatement(c.kindOf(sum.creditCode));
            if (debitOn && !creditOn)
                crossing[{sum.debitCode, sum.creditCode}] += sum.debit;
            else if (!debitOn && creditOn)
                crossing[{sum.creditCode, sum.debitCode}] -= sum.credit;
        }
        StatementFinding finding;
        finding.kind = StatementFinding::Kind::ClosingUnbalanced;
        finding.message = QStringLiteral("貸借対照表の期末の合計が一致しません：資産の部 %1、負債・資本の部 %2（差額 %3）。")
                              .arg(yen(r.assetsClosing), yen(r.liabilitiesClosing), yen(closingDifference));
        std::vector<std::pair<QString, Money>> pairs;
        for (const auto& [pair, amount] : crossing) {
            if (amount.isZero())
                continue;
            pairs.emplace_back(QStringLiteral("%1 と %2 の間の仕訳 %3").arg(c.described(pair.first), c.described(pair.second), yen(amount)), amount);
            finding.accounts << pair.first << pair.second;
        }
        finding.accounts.removeDuplicates();
        finding.difference = closingDifference;
        for (const auto& [pair, amount] : crossing)
            finding.explained += amount;
        finding.explained += openingDifference + broughtForwardOffShown - inventoryAgainstOthers;
        const QString parts = namedList(std::move(pairs));
        if (!parts.isEmpty())
            finding.message += QStringLiteral("決算書に載る科目と載らない科目の間の仕訳（載る側の借方を正）：") + parts
                               + QStringLiteral("。家事用の科目が決算書の行に割り当てられていないか、事業用の科目が「決算書に載せない」になっていないか、"
                                                "科目の割り当てを確かめてください。");
        if (!(openingDifference + broughtForwardOffShown).isZero())
            finding.message += QStringLiteral("期首からの差額 %1 を含みます。").arg(yen(openingDifference + broughtForwardOffShown));
        if (!inventoryAgainstOthers.isZero())
            finding.message += QStringLiteral("棚卸資産が仕入金額の科目以外と振り替えられています（%1）。").arg(yen(inventoryAgainstOthers));
        r.findings.push_back(std::move(finding));
    }
    return r;
}

} // namespace tolva
