#include "bench/bookgenerator.h"

#include "bench/household.h"

#include "closing/closingentries.h"
#include "db/codes.h"
#include "db/database.h"
#include "db/datafolder.h"
#include "db/money.h"
#include "db/storeerror.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <limits>
#include <queue>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace tolva::bookgen {

QDate defaultLastDay()
{
    return QDate(2026, 11, 30);
}

namespace {

using namespace household;

// xoshiro256** seeded through splitmix64: fast, and the same sequence on every platform,
// which the standard library's distributions do not promise.
class Random {
public:
    explicit Random(quint64 seed)
    {
        for (quint64& s : state_) {
            seed += 0x9e3779b97f4a7c15ULL;
            quint64 z = seed;
            z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
            z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
            s = z ^ (z >> 31);
        }
    }

    quint64 next()
    {
        const quint64 result = rotl(state_[1] * 5, 7) * 9;
        const quint64 t = state_[1] << 17;
        state_[2] ^= state_[0];
        state_[3] ^= state_[1];
        state_[1] ^= state_[2];
        state_[0] ^= state_[3];
        state_[2] ^= t;
        state_[3] = rotl(state_[3], 45);
        return result;
    }
    double uniform() { return double(next() >> 11) * 0x1.0p-53; }
    int below(int n) { return int((next() >> 32) % quint64(n)); }
    // A certainty draws nothing, so that settings which only matter for small books leave
    // the sequence of big ones alone.
    bool chance(double p) { return p >= 1.0 || uniform() < p; }
    double normal()
    {
        if (haveSpare_) {
            haveSpare_ = false;
            return spare_;
        }
        double u1 = 0.0;
        do {
            u1 = uniform();
        } while (u1 <= 0.0);
        const double u2 = uniform();
        const double r = std::sqrt(-2.0 * std::log(u1));
        spare_ = r * std::sin(2.0 * std::numbers::pi * u2);
        haveSpare_ = true;
        return r * std::cos(2.0 * std::numbers::pi * u2);
    }

private:
    static quint64 rotl(quint64 x, int k) { return (x << k) | (x >> (64 - k)); }
    std::array<quint64, 4> state_{};
    double spare_ = 0.0;
    bool haveSpare_ = false;
};

qint64 drawAmount(Random& random, const AmountRule& rule, double factor = 1.0)
{
    double x = rule.median * factor;
    if (rule.sigma > 0.0)
        x *= std::exp(std::clamp(rule.sigma * random.normal(), -4.0, 5.0));
    const qint64 yen = qint64(std::llround(x / double(rule.unit))) * rule.unit;
    return std::max(yen, rule.unit);
}

double meanOf(const AmountRule& rule)
{
    return rule.median * std::exp(rule.sigma * rule.sigma / 2.0);
}

// --- The generator ---------------------------------------------------------------------

struct Account {
    std::string code;
    std::string bunrui;
    int bp = 0;                // 1 balance sheet, 2 income statement, 3 neither
    std::vector<int> subs;     // indexes into subs_
};

struct SubAccount {
    std::string code;
    int account = -1;
};

struct UseCategory {
    std::string code;
    std::string yoto;
};

// One journal row before it is written. Text fields point into the chart, which does not
// change while rows are made.
struct Entry {
    int day = 0;       // index of sDay from the first day
    int entryDay = 0;  // when it was typed in: decides the order of the ids
    quint64 sequence = 0;
    int lAccount = -1;
    int lSub = -1;
    qint64 lYen = 0;
    int rAccount = -1;
    int rSub = -1;
    qint64 rYen = 0;
    const std::string* lBunrui = nullptr;  // nullptr: the account's own category
    const std::string* rBunrui = nullptr;
    int kubun = -1;
    int syori = code(ProcessingMode::Ordinary);
    std::string memo;
};

struct LaterEntry {
    bool operator()(const Entry& a, const Entry& b) const
    {
        return a.entryDay != b.entryDay ? a.entryDay > b.entryDay : a.sequence > b.sequence;
    }
};

// A weighted choice among indexes.
struct Pick {
    std::vector<int> items;
    std::vector<double> cumulative;

    void add(int item, double weight)
    {
        items.push_back(item);
        cumulative.push_back((cumulative.empty() ? 0.0 : cumulative.back()) + weight);
    }
    [[nodiscard]] int choose(Random& random) const
    {
        if (items.size() == 1)
            return items.front();
        const double x = random.uniform() * cumulative.back();
        const auto it = std::upper_bound(cumulative.begin(), cumulative.end(), x);
        return items[std::min<size_t>(size_t(it - cumulative.begin()), items.size() - 1)];
    }
};

struct Kind {
    const KindDef* def = nullptr;
    Pick debit;
    Pick credit;
    AmountRule amount;
    int kubun = -1;
};

class Generator {
public:
    Generator(Database& db, qint64 rows, quint32 seed, const BookOptions& options);
    BookSummary run();

private:
    void widenChart();
    void loadChart();
    void prepareKinds();
    void ownerRow();

    [[nodiscard]] int account(const char* code) const;
    [[nodiscard]] int sub(const char* code) const;
    [[nodiscard]] int subOf(int accountIndex, double chance);

    // Every row passes here: counted, booked into the balances and queued for writing.
    void addRow(Entry entry, int lag, bool fromClosing = false);
    void book(const Entry& entry, bool fromClosing);
    void flushUntil(int entryDay);
    void write(const Entry& entry);

    void firstOpening();
    void scheduledRows(const QDate& date, int day);
    void settlements(const QDate& date, int day);
    void topUps(int day);
    void randomRow(int day, bool weekend);
    void yearEnd(int day, bool writeClosing);
    void closingRows(int day);
    // The category a closing row names for an account: nullptr when it is the account's own.
    [[nodiscard]] const std::string* categoryOf(int accountIndex, const QString& category);

    [[nodiscard]] std::string monthMemo(const char* memo, const QDate& date) const;

    Database& db_;
    qint64 wanted_;
    BookOptions options_;
    Random random_;

    std::vector<Account> accounts_;
    std::vector<SubAccount> subs_;
    std::vector<UseCategory> uses_;
    std::unordered_map<std::string, int> accountIndex_;
    std::unordered_map<std::string, int> subIndex_;
    std::vector<Kind> kinds_;
    Pick weekdayKinds_;
    Pick weekendKinds_;

    QDate first_;
    QDate last_;
    std::vector<std::string> isoDays_;

    // Balances in yen, debit positive. `yearBalance_` is what the closing sees (modes up to
    // 31 of the fiscal year, opening rows included); `running_` is what is really in the
    // accounts, kept per sub-account for the monthly settlements.
    std::vector<qint64> yearBalance_;
    std::vector<qint64> running_;
    std::vector<qint64> runningSub_;
    std::vector<qint64> monthStartSub_;
    std::vector<qint64> monthStartAccount_;
    // Below 1 in small books, so that the monthly rows do not use up the rows of the
    // decade in its first years.
    double monthlyChance_ = 1.0;
    qint64 cashSpentToday_ = 0;
    qint64 cashSpentYesterday_ = 0;
    qint64 emoneySpentToday_ = 0;
    qint64 emoneySpentYesterday_ = 0;

    std::priority_queue<Entry, std::vector<Entry>, LaterEntry> pending_;
    quint64 sequence_ = 0;
    qint64 made_ = 0;     // rows generated (queued or written)
    qint64 written_ = 0;  // rows inserted
    std::vector<qint64> unequalAt_;  // made_ counts at which the next ordinary row is mistyped
    size_t nextUnequal_ = 0;

    Statement insert_;
    BookSummary summary_;

    std::set<std::string> categories_;  // the categories closing rows name, kept for the rows' pointers
};

Generator::Generator(Database& db, qint64 rows, quint32 seed, const BookOptions& options)
    : db_(db), wanted_(std::max<qint64>(rows, 0)), options_(options), random_(quint64(seed) * 0x2545f4914f6cdd1dULL + 1)
{
    if (!options_.lastDay.isValid())
        options_.lastDay = defaultLastDay();
    options_.years = std::max(options_.years, 1);
    last_ = options_.lastDay;
    first_ = QDate(last_.year() - options_.years + 1, 1, 1);
}

int Generator::account(const char* code) const
{
    const auto it = accountIndex_.find(code);
    if (it == accountIndex_.end())
        throw StoreError(QStringLiteral("見本の帳簿に必要な科目「%1」が科目表にありません。").arg(QLatin1String(code)));
    return it->second;
}

int Generator::sub(const char* code) const
{
    if (!code)
        return -1;
    const auto it = subIndex_.find(code);
    if (it == subIndex_.end())
        throw StoreError(QStringLiteral("見本の帳簿に必要な細目「%1」が細目表にありません。").arg(QLatin1String(code)));
    return it->second;
}

int Generator::subOf(int accountIndex, double chance)
{
    const auto& subs = accounts_[size_t(accountIndex)].subs;
    if (subs.empty() || !random_.chance(chance))
        return -1;
    return subs[size_t(random_.below(int(subs.size())))];
}

void Generator::widenChart()
{
    Statement categories = db_.prepare(QStringLiteral("SELECT code FROM Bunrui"));
    std::vector<std::string> known;
    while (categories.step())
        known.push_back(categories.column(0).toString().toStdString());

    Statement addAccount = db_.prepare(QStringLiteral("INSERT OR IGNORE INTO Kamoku (code, kamoku, bunrui) VALUES (?1, ?2, ?3)"));
    for (const ChartEntry& entry : kExtraAccounts) {
        const QString code = QString::fromLatin1(entry.code);
        const QString category = code.left(2);
        if (std::find(known.begin(), known.end(), category.toStdString()) == known.end())
            throw StoreError(QStringLiteral("科目「%1」の分類「%2」がありません。").arg(code, category));
        addAccount.bind(1, code);
        addAccount.bind(2, QString::fromUtf8(entry.name));
        addAccount.bind(3, category);
        addAccount.step();
        addAccount.reset();
    }
    Statement addSub = db_.prepare(
        QStringLiteral("INSERT OR IGNORE INTO Kamoku02 (code, kamoku, bunrui, kubun) "
                       "SELECT ?1, ?2, code, bunrui FROM Kamoku WHERE code = ?3"));
    for (const ChartEntry& entry : kExtraSubAccounts) {
        const QString code = QString::fromLatin1(entry.code);
        addSub.bind(1, code);
        addSub.bind(2, QString::fromUtf8(entry.name));
        addSub.bind(3, code.left(4));
        addSub.step();
        addSub.reset();
        if (db_.changes() == 0) {
            Statement exists = db_.prepare(QStringLiteral("SELECT 1 FROM Kamoku02 WHERE code = ?1"));
            exists.bind(1, code);
            if (!exists.step())
                throw StoreError(QStringLiteral("細目「%1」の科目「%2」がありません。").arg(code, code.left(4)));
        }
    }
}

void Generator::loadChart()
{
    std::unordered_map<std::string, int> bpOf;
    Statement categories = db_.prepare(QStringLiteral("SELECT code, BP FROM Bunrui"));
    while (categories.step())
        bpOf[categories.column(0).toString().toStdString()] = categories.column(1).toString().toInt();

    Statement accounts = db_.prepare(QStringLiteral("SELECT code, bunrui FROM Kamoku ORDER BY code"));
    while (accounts.step()) {
        Account a;
        a.code = accounts.column(0).toString().toStdString();
        a.bunrui = accounts.column(1).toString().toStdString();
        a.bp = bpOf.count(a.bunrui) ? bpOf[a.bunrui] : 0;
        accountIndex_[a.code] = int(accounts_.size());
        accounts_.push_back(std::move(a));
    }
    Statement subs = db_.prepare(QStringLiteral("SELECT code, bunrui FROM Kamoku02 ORDER BY code"));
    while (subs.step()) {
        SubAccount s;
        s.code = subs.column(0).toString().toStdString();
        const auto parent = accountIndex_.find(subs.column(1).toString().toStdString());
        if (parent == accountIndex_.end())
            continue;  // a sub-account of a removed account is never posted to
        s.account = parent->second;
        accounts_[size_t(s.account)].subs.push_back(int(subs_.size()));
        subIndex_[s.code] = int(subs_.size());
        subs_.push_back(std::move(s));
    }
    Statement uses = db_.prepare(QStringLiteral("SELECT code, yoto FROM kubun ORDER BY code"));
    while (uses.step())
        uses_.push_back({uses.column(0).toString().toStdString(), uses.column(1).toString().toStdString()});

    summary_.accounts = int(accounts_.size());
    summary_.subAccounts = int(subs_.size());
    yearBalance_.assign(accounts_.size(), 0);
    running_.assign(accounts_.size(), 0);
    monthStartAccount_.assign(accounts_.size(), 0);
    runningSub_.assign(subs_.size(), 0);
    monthStartSub_.assign(subs_.size(), 0);
}

void Generator::prepareKinds()
{
    auto kubunIndex = [this](const char* code) {
        if (!code)
            return -1;
        for (size_t i = 0; i < uses_.size(); ++i) {
            if (uses_[i].code == code)
                return int(i);
        }
        return -1;  // the template no longer has it: rows go untagged
    };
    for (const KindDef& def : kKinds) {
        Kind kind;
        kind.def = &def;
        kind.amount = def.amount;
        for (const Side& s : def.debit)
            kind.debit.add(account(s.code), s.weight);
        for (const Side& s : def.credit)
            kind.credit.add(account(s.code), s.weight);
        kind.kubun = kubunIndex(def.kubun);
        kinds_.push_back(std::move(kind));
    }

    // The average sale is sized so that, over a week of weekdays and quieter weekends, the
    // business and the wages bring in a little more than everything costs: the bank
    // balance then drifts up slowly instead of sinking for a decade.
    constexpr double kWeekendBusiness = 0.25;
    constexpr double kWeekendHousehold = 1.4;
    double weekdayTotal = 0.0;
    double weekendTotal = 0.0;
    for (const KindDef& def : kKinds) {
        weekdayTotal += def.weight;
        weekendTotal += def.weight * (def.business ? kWeekendBusiness : kWeekendHousehold);
    }
    const double weekendShare = kWeekendDayWeight * 2.0 / (5.0 + kWeekendDayWeight * 2.0);
    auto perRow = [&](const KindDef& def) {
        const double weekend = def.business ? kWeekendBusiness : kWeekendHousehold;
        return (1.0 - weekendShare) * def.weight / weekdayTotal + weekendShare * def.weight * weekend / weekendTotal;
    };
    const int sales = account("0111");
    const auto salesKind = std::find_if(kinds_.begin(), kinds_.end(), [&](const Kind& k) { return k.credit.items.front() == sales; });
    if (salesKind == kinds_.end())
        throw StoreError(QStringLiteral("見本の帳簿に売上の仕訳の種類がありません。"));
    double spending = 0.0;
    double otherIncome = 0.0;
    for (size_t i = 0; i < kinds_.size(); ++i) {
        if (kinds_.begin() + std::ptrdiff_t(i) == salesKind)
            continue;
        const KindDef& def = *kinds_[i].def;
        const std::string& debit = accounts_[size_t(kinds_[i].debit.items.front())].code;
        const std::string& credit = accounts_[size_t(kinds_[i].credit.items.front())].code;
        const double expected = perRow(def) * meanOf(def.amount);
        if (debit.starts_with("03") || debit.starts_with("04") || debit == "1214" || debit == "1501")
            spending += expected;
        else if (credit.starts_with("01") || credit.starts_with("02") || credit == "1502")
            otherIncome += expected;
    }
    const double wantedSales = std::max(1.1 * spending - otherIncome, 0.2 * spending);
    salesKind->amount.median
        = wantedSales / perRow(*salesKind->def) / std::exp(salesKind->amount.sigma * salesKind->amount.sigma / 2.0);

    for (size_t i = 0; i < kinds_.size(); ++i) {
        const KindDef& def = *kinds_[i].def;
        weekdayKinds_.add(int(i), def.weight);
        weekendKinds_.add(int(i), def.weight * (def.business ? kWeekendBusiness : kWeekendHousehold));
    }
}

void Generator::ownerRow()
{
    Statement count = db_.prepare(QStringLiteral("SELECT COUNT(*) FROM Jigyounushi"));
    count.step();
    if (count.columnInt(0) > 0)
        return;
    Statement add = db_.prepare(QStringLiteral(
        "INSERT INTO Jigyounushi (name, post, Address1, Address2, Tel, Fax, shime, Nendo) VALUES (?1, ?2, ?3, ?4, ?5, ?6, 12, ?7)"));
    add.bind(1, QStringLiteral("見本　家計"));
    add.bind(2, QStringLiteral("000-0000"));
    add.bind(3, QStringLiteral("見本県見本市本町1-2-3"));
    add.bind(4, QString());
    add.bind(5, QStringLiteral("000-000-0000"));
    add.bind(6, QString());
    add.bind(7, qint64(last_.year()));
    add.step();
}

std::string Generator::monthMemo(const char* memo, const QDate& date) const
{
    return std::string(memo) + ' ' + std::to_string(date.month()) + "月分";
}

void Generator::book(const Entry& e, bool fromClosing)
{
    if (aggregationShare(e.syori) != AggregationShare::Excluded) {
        yearBalance_[size_t(e.lAccount)] += e.lYen;
        yearBalance_[size_t(e.rAccount)] -= e.rYen;
    }
    if (fromClosing)
        return;
    running_[size_t(e.lAccount)] += e.lYen;
    running_[size_t(e.rAccount)] -= e.rYen;
    if (e.lSub >= 0)
        runningSub_[size_t(e.lSub)] += e.lYen;
    if (e.rSub >= 0)
        runningSub_[size_t(e.rSub)] -= e.rYen;
}

void Generator::addRow(Entry entry, int lag, bool fromClosing)
{
    if (made_ >= wanted_)
        return;
    entry.entryDay = entry.day + lag;
    entry.sequence = sequence_++;
    book(entry, fromClosing);
    ++made_;
    ++summary_.rowsByMode[entry.syori];
    if (entry.lYen != entry.rYen)
        ++summary_.unequalRows;
    pending_.push(std::move(entry));
}

void Generator::flushUntil(int entryDay)
{
    while (!pending_.empty() && pending_.top().entryDay <= entryDay) {
        write(pending_.top());
        pending_.pop();
    }
}

void Generator::write(const Entry& e)
{
    sqlite3_stmt* s = insert_.handle();
    const Account& l = accounts_[size_t(e.lAccount)];
    const Account& r = accounts_[size_t(e.rAccount)];
    const std::string& lBunrui = e.lBunrui ? *e.lBunrui : l.bunrui;
    const std::string& rBunrui = e.rBunrui ? *e.rBunrui : r.bunrui;
    auto text = [s](int n, const std::string& value) {
        sqlite3_bind_text(s, n, value.data(), int(value.size()), SQLITE_STATIC);
    };
    auto optionalText = [&](int n, const std::string* value) {
        if (value && !value->empty())
            text(n, *value);
        else
            sqlite3_bind_null(s, n);
    };
    text(1, isoDays_[size_t(e.day)]);
    text(2, lBunrui);
    text(3, l.code);
    optionalText(4, e.lSub >= 0 ? &subs_[size_t(e.lSub)].code : nullptr);
    sqlite3_bind_int64(s, 5, Money::fromYen(e.lYen).units());
    text(6, rBunrui);
    text(7, r.code);
    optionalText(8, e.rSub >= 0 ? &subs_[size_t(e.rSub)].code : nullptr);
    sqlite3_bind_int64(s, 9, Money::fromYen(e.rYen).units());
    optionalText(10, e.kubun >= 0 ? &uses_[size_t(e.kubun)].yoto : nullptr);
    optionalText(11, e.kubun >= 0 ? &uses_[size_t(e.kubun)].code : nullptr);
    sqlite3_bind_int(s, 12, e.syori);
    optionalText(13, &e.memo);
    const int rc = sqlite3_step(s);
    if (rc != SQLITE_DONE)
        db_.raise(rc, QStringLiteral("見本の仕訳を書き込めません。"));
    sqlite3_reset(s);
    ++written_;
    if (options_.progress && written_ % 100000 == 0)
        options_.progress(written_, wanted_);
}

void Generator::firstOpening()
{
    const int counter = account("2111");
    qint64 capital = 0;
    for (const OpeningDef& o : kFirstOpening) {
        Entry e;
        e.syori = code(ProcessingMode::BroughtForward);
        e.memo = "開始残高";
        if (o.yen > 0) {
            e.lAccount = account(o.code);
            e.lSub = sub(o.sub);
            e.rAccount = counter;
        } else {
            e.lAccount = counter;
            e.rAccount = account(o.code);
            e.rSub = sub(o.sub);
        }
        e.lYen = e.rYen = std::abs(o.yen);
        capital += o.yen;
        addRow(std::move(e), 0);
    }
    Entry e;
    e.syori = code(ProcessingMode::BroughtForward);
    e.memo = "開始残高";
    e.lYen = e.rYen = std::abs(capital);
    e.lAccount = capital > 0 ? counter : account("1503");
    e.rAccount = capital > 0 ? account("1503") : counter;
    addRow(std::move(e), 0);
}

void Generator::scheduledRows(const QDate& date, int day)
{
    const int lastDay = date.daysInMonth();
    for (const ScheduleDef& s : kSchedule) {
        if (!(s.monthMask & monthBit(date.month())))
            continue;
        if (std::min(s.day, lastDay) != date.day() || !random_.chance(monthlyChance_))
            continue;
        Entry e;
        e.day = day;
        e.lAccount = account(s.debit);
        e.lSub = sub(s.debitSub);
        e.rAccount = account(s.credit);
        e.rSub = sub(s.creditSub);
        const int m = date.month();
        const double season = s.seasonal && (m <= 2 || m == 12 || m == 7 || m == 8) ? 1.4 : 1.0;
        e.lYen = e.rYen = drawAmount(random_, s.amount, season);
        e.memo = s.monthInMemo ? monthMemo(s.memo, date) : std::string(s.memo);
        addRow(std::move(e), random_.below(3));
    }
}

void Generator::settlements(const QDate& date, int day)
{
    const int bank = account("1112");
    const int bankSub = sub("111201");
    for (const SettlementDef& s : kSettlements) {
        if (std::min(s.day, date.daysInMonth()) != date.day())
            continue;
        const int a = account(s.account);
        std::vector<int> parts = accounts_[size_t(a)].subs;
        parts.push_back(-1);
        for (int part : parts) {
            qint64 owed = part >= 0 ? monthStartSub_[size_t(part)] : monthStartAccount_[size_t(a)];
            if (part < 0) {
                for (int sIndex : accounts_[size_t(a)].subs)
                    owed -= monthStartSub_[size_t(sIndex)];
            }
            if (owed == 0 || !random_.chance(monthlyChance_))
                continue;
            Entry e;
            e.day = day;
            e.lYen = e.rYen = std::abs(owed);
            if (owed > 0) {  // money comes in
                e.lAccount = bank;
                e.lSub = bankSub;
                e.rAccount = a;
                e.rSub = part;
            } else {
                e.lAccount = a;
                e.lSub = part;
                e.rAccount = bank;
                e.rSub = bankSub;
            }
            e.memo = part >= 0 ? s.memo + std::string(" ") + subs_[size_t(part)].code.substr(4) : s.memo;
            addRow(std::move(e), 0);
        }
    }
}

// Cash and the e-money card are filled up when they run low, as people do, with amounts
// that follow how fast they were spent the day before; surplus cash is paid in.
void Generator::topUps(int day)
{
    const int cash = account("1111");
    const int emoney = account("1119");
    if (running_[size_t(cash)] < 10000) {
        Entry e;
        e.day = day;
        e.lAccount = cash;
        e.rAccount = account("1112");
        e.rSub = sub("111201");
        const qint64 want = std::max<qint64>(30000, 2 * cashSpentYesterday_);
        e.lYen = e.rYen = (want + 9999) / 10000 * 10000;
        if (random_.chance(0.5))
            e.memo = "ATM引出し";
        addRow(std::move(e), 0);
    }
    if (running_[size_t(cash)] > 500000) {
        // The till's takings go to the bank.
        Entry e;
        e.day = day;
        e.lAccount = account("1112");
        e.lSub = sub("111201");
        e.rAccount = cash;
        e.lYen = e.rYen = (running_[size_t(cash)] - 100000) / 10000 * 10000;
        e.memo = "売上金預入";
        addRow(std::move(e), 0);
    }
    if (running_[size_t(emoney)] < 2000) {
        Entry e;
        e.day = day;
        e.lAccount = emoney;
        e.lSub = sub("111901");
        e.rAccount = random_.chance(0.5) ? cash : account("1313");
        if (e.rAccount != cash)
            e.rSub = sub("131302");
        const qint64 want = std::max<qint64>(5000, 2 * emoneySpentYesterday_);
        e.lYen = e.rYen = (want + 999) / 1000 * 1000;
        e.memo = "チャージ";
        addRow(std::move(e), 0);
    }
}

void Generator::randomRow(int day, bool weekend)
{
    const Kind& kind = kinds_[size_t((weekend ? weekendKinds_ : weekdayKinds_).choose(random_))];
    const KindDef& def = *kind.def;
    Entry e;
    e.day = day;
    e.lAccount = kind.debit.choose(random_);
    e.rAccount = kind.credit.choose(random_);
    // The side that names the account of the kind gets its sub-account by the kind's
    // chance; a bank, card or customer side nearly always has one.
    const bool debitIsKind = kind.debit.items.size() == 1;
    e.lSub = subOf(e.lAccount, debitIsKind ? def.subChance : 0.9);
    e.rSub = subOf(e.rAccount, debitIsKind ? 0.9 : def.subChance);
    e.lYen = e.rYen = drawAmount(random_, kind.amount);
    if (kind.kubun >= 0 && random_.chance(0.3))
        e.kubun = kind.kubun;
    if (!def.memos.empty() && random_.chance(0.45)) {
        std::string memo = def.memos[size_t(random_.below(int(def.memos.size())))];
        if (!memo.empty() && memo.back() == '#') {
            memo.pop_back();
            memo += std::to_string(1000 + random_.below(9000));
        }
        e.memo = std::move(memo);
    }
    if (nextUnequal_ < unequalAt_.size() && made_ >= unequalAt_[nextUnequal_]) {
        // A typing slip that the balance check is meant to find: two digits swapped, or a
        // zero too many.
        ++nextUnequal_;
        std::string digits = std::to_string(e.lYen);
        if (digits.size() >= 2 && random_.chance(0.6)) {
            const size_t at = size_t(random_.below(int(digits.size()) - 1));
            std::swap(digits[at], digits[at + 1]);
            e.rYen = std::stoll(digits);
        } else {
            e.rYen = e.lYen * 10;
        }
        if (e.rYen == e.lYen)
            e.rYen = e.lYen + 100;
    }
    const std::string& creditCode = accounts_[size_t(e.rAccount)].code;
    if (creditCode == "1111")
        cashSpentToday_ += e.rYen;
    if (creditCode == "1119")
        emoneySpentToday_ += e.rYen;
    const double r = random_.uniform();
    const int lag = r < 0.6 ? 0 : r < 0.85 ? 1 + random_.below(3) : 4 + random_.below(11);
    addRow(std::move(e), lag);
}

// The year-end adjustments (mode 31), typed in when the year's papers are done, and then
// the closing transfers with the next year's opening rows.
void Generator::yearEnd(int day, bool writeClosing)
{
    const int lag = 40 + random_.below(20);
    auto adjust = [&](int debit, int credit, qint64 yen, const char* memo) {
        if (yen <= 0)
            return;
        Entry e;
        e.day = day;
        e.syori = code(ProcessingMode::ClosingAdjustment);
        e.lAccount = debit;
        e.rAccount = credit;
        e.lYen = e.rYen = yen;
        e.memo = memo;
        addRow(std::move(e), lag);
    };
    const int depreciation = account("0322");
    for (const auto& [code, rate] : kDepreciation) {
        const int asset = account(code);
        adjust(depreciation, asset, qint64(std::floor(double(running_[size_t(asset)]) * rate)), "減価償却費");
    }
    const int stock = account("1118");
    const int purchases = account("0311");
    adjust(purchases, stock, running_[size_t(stock)], "期首商品棚卸高");
    adjust(stock, purchases, drawAmount(random_, {400000, 0.3, 1}), "期末商品棚卸高");
    const int owner = account("1501");
    for (const auto& [code, share] : kPrivateShare) {
        const int cost = account(code);
        adjust(owner, cost, qint64(std::floor(double(yearBalance_[size_t(cost)]) * share)), "家事按分");
    }
    adjust(account("0327"), account("1316"), 66000, "未払家賃");
    if (writeClosing) {
        closingRows(day);
        ++summary_.closedYears;
    } else {
        std::fill(yearBalance_.begin(), yearBalance_.end(), 0);
    }
}

// The rows the closing command writes, computed by the closing itself from the year's
// balances, and queued as the user would run the command some weeks after the year end.
void Generator::closingRows(int day)
{
    const int lag = 60 + random_.below(20);
    std::vector<YearAccount> year;
    year.reserve(accounts_.size());
    for (size_t i = 0; i < accounts_.size(); ++i) {
        const qint64 b = yearBalance_[i];
        if (b == 0)
            continue;
        YearAccount a;
        a.code = QString::fromStdString(accounts_[i].code);
        (b > 0 ? a.debit : a.credit) = Money::fromYen(b > 0 ? b : -b);
        a.statementText = QString::number(accounts_[i].bp);
        year.push_back(std::move(a));
    }
    const QDate last = first_.addDays(day);
    const ClosingEntries entries = computeClosingEntries(year, {QDate(last.year(), 1, 1), last});

    auto queue = [&](const ClosingEntry& c) {
        Entry e;
        e.day = int(first_.daysTo(c.day));
        e.syori = code(c.mode);
        e.lAccount = account(c.debitCode.toLatin1().constData());
        e.rAccount = account(c.creditCode.toLatin1().constData());
        e.lYen = e.rYen = c.amount.units() / Money::kUnitsPerYen;
        e.lBunrui = categoryOf(e.lAccount, c.debitCategory);
        e.rBunrui = categoryOf(e.rAccount, c.creditCategory);
        e.memo = c.memo.toStdString();
        addRow(std::move(e), lag - (int(first_.daysTo(c.day)) - day), true);
    };
    for (const ClosingEntry& c : entries.closing)
        queue(c);
    // The opening rows belong to the next year's balances.
    std::fill(yearBalance_.begin(), yearBalance_.end(), 0);
    for (const ClosingEntry& c : entries.opening)
        queue(c);
}

const std::string* Generator::categoryOf(int accountIndex, const QString& category)
{
    const std::string text = category.toStdString();
    if (accounts_[size_t(accountIndex)].bunrui == text)
        return nullptr;
    return &*categories_.insert(text).first;
}

BookSummary Generator::run()
{
    Transaction transaction(db_);
    widenChart();
    loadChart();
    prepareKinds();
    ownerRow();

    insert_ = db_.prepare(QStringLiteral(
        "INSERT INTO shiwake (sDay, Lbunrui, Lcode, LScode, Lgaku, Rbunrui, Rcode, RScode, Rgaku, yoto, kubun, syori, Memo) "
        "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13)"));

    const int days = int(first_.daysTo(last_)) + 1;
    isoDays_.reserve(size_t(days));
    std::vector<double> weight(static_cast<size_t>(days));
    for (int d = 0; d < days; ++d) {
        const QDate date = first_.addDays(d);
        isoDays_.push_back(date.toString(Qt::ISODate).toStdString());
        const int yearIndex = date.year() - first_.year();
        // The business grows over the decade; the days around New Year and the summer
        // holidays are quiet, December is busy.
        double w = 0.8 + 0.45 * double(yearIndex) / double(std::max(1, options_.years - 1));
        if (date.dayOfWeek() >= 6)
            w *= kWeekendDayWeight;
        if (date.month() == 12)
            w *= 1.15;
        if (date.month() == 1 && date.day() <= 3)
            w *= 0.3;
        if (date.month() == 8 && date.day() >= 13 && date.day() <= 16)
            w *= 0.6;
        weight[size_t(d)] = w;
    }
    std::vector<double> weightFrom(size_t(days) + 1, 0.0);
    for (int d = days - 1; d >= 0; --d)
        weightFrom[size_t(d)] = weightFrom[size_t(d) + 1] + weight[size_t(d)];

    // Rows that the year ends add, reserved so that the everyday rows leave room for them.
    int balanceSheetAccounts = 0;
    int incomeAccounts = 0;
    for (const Account& a : accounts_) {
        balanceSheetAccounts += a.bp == 1;
        incomeAccounts += a.bp == 2;
    }
    const int closedYears = options_.years - 1;
    double perYearEnd = double(kDepreciation.size() + kPrivateShare.size() + 3);
    const double closingEstimate = double(incomeAccounts + 1 + 2 * balanceSheetAccounts + 2);
    const bool writeClosings = closedYears * (perYearEnd + closingEstimate) <= double(wanted_) / 10.0;
    if (writeClosings)
        perYearEnd += closingEstimate;

    const qint64 slips = std::min<qint64>(3 + wanted_ / 200000, wanted_ / 1000);
    for (qint64 i = 0; i < slips; ++i)
        unequalAt_.push_back(wanted_ / 20 + qint64(random_.uniform() * double(wanted_) * 0.9));
    std::sort(unequalAt_.begin(), unequalAt_.end());

    double monthlyRows = 0.0;
    for (QDate month(first_.year(), first_.month(), 1); month <= last_; month = month.addMonths(1)) {
        for (const ScheduleDef& def : kSchedule)
            monthlyRows += (def.monthMask & monthBit(month.month())) ? 1.0 : 0.0;
        for (const SettlementDef& def : kSettlements)
            monthlyRows += double(accounts_[size_t(account(def.account))].subs.size() + 1);
    }
    monthlyChance_ = std::min(1.0, 0.2 * double(wanted_) / std::max(1.0, monthlyRows));

    firstOpening();
    for (int d = 0; d < days && made_ < wanted_; ++d) {
        const QDate date = first_.addDays(d);
        if (date.day() == 1) {
            monthStartAccount_ = running_;
            monthStartSub_ = runningSub_;
        }
        cashSpentYesterday_ = std::exchange(cashSpentToday_, 0);
        emoneySpentYesterday_ = std::exchange(emoneySpentToday_, 0);
        const qint64 madeBefore = made_;
        scheduledRows(date, d);
        settlements(date, d);
        topUps(d);

        const int yearEndsAhead = std::max(0, closedYears - (date.year() - first_.year()));
        const double budget = double(wanted_ - madeBefore) - double(yearEndsAhead) * perYearEnd;
        qint64 quota = 0;
        if (d == days - 1)
            quota = wanted_ - madeBefore;
        else if (budget > 0)
            quota = qint64(std::floor(budget * weight[size_t(d)] / weightFrom[size_t(d)] + random_.uniform()));
        const bool weekend = date.dayOfWeek() >= 6;
        for (int n = 1; made_ - madeBefore < quota && made_ < wanted_; ++n) {
            randomRow(d, weekend);
            if (n % 16 == 0)
                topUps(d);
        }
        if (date.month() == 12 && date.day() == 31 && date.year() < last_.year()) {
            const qint64 before = made_;
            yearEnd(d, writeClosings);
            // Later years close about as many accounts as this one did.
            perYearEnd = double(made_ - before);
        }
        flushUntil(d);
    }
    flushUntil(std::numeric_limits<int>::max());
    insert_ = Statement();
    transaction.commit();

    summary_.rows = written_;
    summary_.firstDay = first_;
    summary_.lastDay = last_;
    if (options_.progress)
        options_.progress(written_, wanted_);
    return summary_;
}

} // namespace

BookSummary generateBooks(const QString& folder, qint64 rows, quint32 seed, const BookOptions& options)
{
    if (options.templateDir.isEmpty())
        datafolder::initialise(folder);
    else
        datafolder::initialise(folder, options.templateDir);

    BookSummary summary;
    {
        // A connection of its own, tuned for one big write: the folder is new, so a crash
        // loses nothing that a rerun would not make again.
        Database db(folder);
        db.exec(QStringLiteral("PRAGMA journal_mode=MEMORY"));
        db.exec(QStringLiteral("PRAGMA synchronous=OFF"));
        db.exec(QStringLiteral("PRAGMA cache_size=-262144"));
        summary = Generator(db, rows, seed, options).run();
        // Back to the template's setting; the rows are already in the database file itself.
        db.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
    }
    return summary;
}

} // namespace tolva::bookgen
