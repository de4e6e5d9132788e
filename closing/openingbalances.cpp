#include "closing/openingbalances.h"

#include "closing/closingentries.h"
#include "closing/storedamount.h"
#include "db/codes.h"
#include "db/database.h"
#include "db/textformat.h"

#include <map>
#include <utility>

namespace tolva {

namespace {

const QString kMemo = QStringLiteral("期首残高");

// The opening rows of a day (?1), as readOpeningBalances describes them.
const QString kOpeningRowsCondition = QStringLiteral(
    " sDay = ?1 AND syori <= 21 AND (syori = 21 OR Lcode = '2111' OR Rcode = '2111')"
    " AND (Lcode = '2111' OR Lcode IN (SELECT k.code FROM Kamoku k JOIN Bunrui b ON k.bunrui = b.code WHERE b.BP = '1'))"
    " AND (Rcode = '2111' OR Rcode IN (SELECT k.code FROM Kamoku k JOIN Bunrui b ON k.bunrui = b.code WHERE b.BP = '1'))");

using Key = std::pair<QString, QString>;  // account, sub-account

} // namespace

OpeningBalances readOpeningBalances(Database& db, const QDate& firstDay)
{
    OpeningBalances result;
    result.firstDay = firstDay;

    Statement accounts = db.prepare(QStringLiteral(
        "SELECT k.code, k.kamoku, k.bunrui, b.LR, s.code, s.kamoku FROM Kamoku k JOIN Bunrui b ON k.bunrui = b.code"
        " LEFT JOIN Kamoku02 s ON s.bunrui = k.code"
        " WHERE b.BP = '1' AND k.code <> ?1 AND k.code <> ?2 ORDER BY k.code, s.code"));
    accounts.bind(1, QString::fromLatin1(closingcodes::kCapital));
    accounts.bind(2, QString::fromLatin1(closingcodes::kBroughtForward));
    std::map<Key, std::size_t> index;
    while (accounts.step()) {
        const QString code = accounts.column(0).toString();
        if (index.count({code, QString()}) == 0) {
            OpeningBalanceLine line;
            line.accountCode = code;
            line.name = accounts.column(1).toString();
            line.category = accounts.column(2).toString();
            line.debitSide = codeFromText<SideCode>(accounts.column(3).toString()) == SideCode::Debit;
            index[{code, QString()}] = result.lines.size();
            result.lines.push_back(line);
        }
        const QString sub = accounts.column(4).toString();
        if (!sub.isEmpty()) {
            OpeningBalanceLine line = result.lines[index[{code, QString()}]];
            line.subAccountCode = sub;
            line.name = accounts.column(5).toString();
            line.balance = Money();
            index[{code, sub}] = result.lines.size();
            result.lines.push_back(line);
        }
    }

    Statement rows = db.prepare(QStringLiteral("SELECT Lcode, LScode, Lgaku, Rcode, RScode, Rgaku FROM shiwake WHERE")
                                + kOpeningRowsCondition);
    rows.bind(1, textformat::isoDate(firstDay));
    const QString what = QStringLiteral("%1 の期首残高の仕訳").arg(firstDay.toString(QStringLiteral("yyyy/MM/dd")));
    auto add = [&](const QString& account, const QString& sub, Money debit) {
        auto found = index.find({account, sub});
        if (found == index.end())
            found = index.find({account, QString()});  // a sub-account the masters no longer list
        if (found == index.end())
            return;  // 2111 and the capital: the capital is computed
        OpeningBalanceLine& line = result.lines[found->second];
        line.balance = line.balance + (line.debitSide ? debit : -debit);
    };
    while (rows.step()) {
        ++result.journalRows;
        add(rows.column(0).toString(), rows.column(1).toString(), storedAmount(rows, 2, what));
        add(rows.column(3).toString(), rows.column(4).toString(), -storedAmount(rows, 5, what));
    }
    return result;
}

Money openingCapital(const std::vector<OpeningBalanceLine>& lines)
{
    Money capital;
    for (const OpeningBalanceLine& line : lines)
        capital = capital + line.debitBalance();
    return capital;
}

std::vector<ClosingEntry> openingBalanceEntries(const std::vector<OpeningBalanceLine>& lines, const QDate& firstDay)
{
    using namespace closingcodes;
    std::vector<ClosingEntry> entries;
    auto entry = [&](const QString& debit, const QString& debitCategory, const QString& credit, const QString& creditCategory,
                     Money amount) {
        ClosingEntry e;
        e.day = firstDay;
        e.debitCode = debit;
        e.debitCategory = debitCategory;
        e.creditCode = credit;
        e.creditCategory = creditCategory;
        e.amount = amount;
        e.mode = ProcessingMode::BroughtForward;
        e.memo = kMemo;
        return e;
    };
    const QString broughtForward = QString::fromLatin1(kBroughtForward);
    const QString broughtForwardCategory = QString::fromLatin1(kBroughtForwardCategory);
    for (const OpeningBalanceLine& line : lines) {
        const Money debit = line.debitBalance();
        if (debit == Money())
            continue;
        ClosingEntry e = debit > Money() ? entry(line.accountCode, line.category, broughtForward, broughtForwardCategory, debit)
                                         : entry(broughtForward, broughtForwardCategory, line.accountCode, line.category, -debit);
        (debit > Money() ? e.debitSubAccount : e.creditSubAccount) = line.subAccountCode;
        entries.push_back(std::move(e));
    }
    const Money capital = openingCapital(lines);
    const QString capitalCode = QString::fromLatin1(kCapital);
    const QString capitalCategory = QString::fromLatin1(kCapitalCategory);
    if (capital > Money())
        entries.push_back(entry(broughtForward, broughtForwardCategory, capitalCode, capitalCategory, capital));
    else if (capital < Money())
        entries.push_back(entry(capitalCode, capitalCategory, broughtForward, broughtForwardCategory, -capital));
    return entries;
}

int writeOpeningBalances(Database& db, const QDate& firstDay, const std::vector<OpeningBalanceLine>& lines)
{
    const std::vector<ClosingEntry> entries = openingBalanceEntries(lines, firstDay);
    Transaction transaction(db);
    Statement remove = db.prepare(QStringLiteral("DELETE FROM shiwake WHERE") + kOpeningRowsCondition);
    remove.bind(1, textformat::isoDate(firstDay));
    remove.step();
    writeJournalEntries(db, entries);
    transaction.commit();
    return int(entries.size());
}

Money broughtForwardImbalance(const std::vector<YearAccount>& year)
{
    Money imbalance;
    for (const YearAccount& account : year)
        if (account.code == QLatin1String(closingcodes::kBroughtForward))
            imbalance += account.adjustedBalance();
    return imbalance;
}

QString broughtForwardNotice(Money imbalance)
{
    if (imbalance == Money())
        return {};
    return QStringLiteral("前期繰越（2111）の借方と貸方が %1 円合っていないため、試算表が貸借一致しません。"
                          "期首の残高を前期繰越に対して入力したときは、「期首残高の入力」で元入金とともに入力し直してください。")
        .arg(textformat::gridAmount(imbalance < Money() ? -imbalance : imbalance));
}

} // namespace tolva
