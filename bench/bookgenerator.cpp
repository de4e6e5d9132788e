#include "bookgenerator.h"

#include "closingentries.h"
#include "codes.h"
#include "database.h"
#include "datafolder.h"
#include "money.h"
#include "storeerror.h"

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

// An amount in whole yen: log-normal around a median, so that most rows are small and a
// few are many times larger, rounded to the unit people pay in (1 yen at the till, 10 or
// 100 for fares and services, 10,000 at the cash machine).
struct AmountRule {
    double median = 1000;
    double sigma = 0.0;
    qint64 unit = 1;
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

// --- The chart beyond the template -----------------------------------------------------

struct ChartEntry {
    const char* code;
    const char* name;
};

// Four-character codes that begin with their category's code; the template's own codes are
// left as they are (INSERT OR IGNORE), so a later template that adds one of these wins.
const ChartEntry kExtraAccounts[] = {
    {"0114", "役務収入"}, {"0115", "受取手数料"}, {"0116", "受取家賃"}, {"0117", "作業くず売却"},
    {"0216", "副業収入"}, {"0217", "児童手当"}, {"0218", "配当金"}, {"0219", "税金還付"},
    {"0220", "ポイント収入"}, {"0221", "臨時収入"}, {"0222", "不動産収入"}, {"0223", "保険金受取"},
    {"0333", "会議費"}, {"0334", "研修費"}, {"0335", "諸会費"}, {"0336", "リース料"},
    {"0337", "ソフトウェア利用料"}, {"0338", "事務用品費"}, {"0339", "燃料費"}, {"0340", "保守料"},
    {"0341", "販売促進費"}, {"0342", "支払報酬"}, {"0343", "衛生費"}, {"0344", "運送保険料"},
    {"0345", "通行料"}, {"0346", "印紙代"},
    {"0426", "美容費"}, {"0427", "嗜好品費"}, {"0428", "ペット費"}, {"0429", "趣味費"},
    {"0430", "旅行費"}, {"0431", "冠婚葬祭費"}, {"0432", "仕送り"}, {"0433", "住宅ローン利息"},
    {"0434", "家具・家電"}, {"0435", "習い事"}, {"0436", "寄付金"}, {"0437", "特別支出"},
    {"0438", "定額サービス"}, {"0439", "書籍"}, {"0440", "スポーツ"}, {"0441", "子ども費"},
    {"0442", "贈答品"}, {"0443", "駐車場代"}, {"0444", "町内会費"}, {"0445", "医薬品"},
    {"0446", "受験料"},
    {"1120", "小口現金"}, {"1121", "当座預金"}, {"1122", "証券口座"}, {"1123", "仮払金"},
    {"1124", "貯蔵品"}, {"1125", "積立預金"}, {"1126", "受取手形"}, {"1127", "商品券"},
    {"1217", "構築物"}, {"1218", "機械装置"}, {"1219", "ソフトウェア"}, {"1220", "一括償却資産"},
    {"1221", "出資金"}, {"1222", "保険積立金"}, {"1223", "投資有価証券"}, {"1224", "電話加入権"},
    {"1225", "長期前払費用"},
    {"1316", "未払費用"}, {"1317", "前受金"}, {"1318", "仮受金"}, {"1319", "未払消費税"},
    {"1320", "預り保証金"}, {"1321", "支払手形"}, {"1322", "未払税金"},
    {"1413", "車両ローン"}, {"1414", "教育ローン"}, {"1415", "長期未払金"}, {"1416", "親族借入金"},
};

// Six-character codes that begin with their account's code.
const ChartEntry kExtraSubAccounts[] = {
    {"111204", "ネット銀行"}, {"111205", "信用金庫"},
    {"111301", "定期Ａ"}, {"111302", "定期Ｂ"},
    {"111401", "取引先Ａ"}, {"111402", "取引先Ｂ"}, {"111403", "取引先Ｃ"}, {"111404", "取引先Ｄ"},
    {"111405", "取引先Ｅ"},
    {"111902", "スマホ決済"},
    {"131101", "仕入先Ａ"}, {"131102", "仕入先Ｂ"}, {"131103", "仕入先Ｃ"},
    {"131303", "カードＣ"},
    {"011101", "店頭売上"}, {"011102", "ネット売上"}, {"011103", "卸売上"},
    {"031101", "商品仕入"}, {"031102", "材料仕入"},
    {"031501", "電車・バス"}, {"031502", "出張"},
    {"032101", "文房具"}, {"032102", "パソコン周辺"},
    {"021101", "本人"}, {"021102", "配偶者"},
    {"041103", "弁当・惣菜"}, {"041104", "酒類"},
    {"041201", "ドラッグストア"}, {"041202", "ホームセンター"}, {"041203", "百円ショップ"},
    {"041601", "電車"}, {"041602", "バス"}, {"041603", "タクシー"},
    {"041801", "病院"}, {"041802", "薬局"},
    {"041901", "学用品"}, {"041902", "塾"},
    {"042001", "レジャー"}, {"042002", "書籍・雑誌"},
    {"042201", "生命保険"}, {"042202", "医療保険"}, {"042203", "火災保険"}, {"042204", "自動車保険"},
    {"042301", "住民税"}, {"042302", "国民健康保険"}, {"042303", "国民年金"}, {"042304", "固定資産税"},
    {"042305", "自動車税"},
    {"042401", "ガソリン"}, {"042402", "車検・整備"}, {"042403", "高速道路"},
};

// --- What happens in the books ---------------------------------------------------------

struct Side {
    const char* code;
    double weight;
};

// How people pay: for the household, for the business.
const std::vector<Side> kPayHousehold = {{"1111", 35}, {"1313", 35}, {"1119", 15}, {"1112", 15}};
const std::vector<Side> kPayBusiness = {{"1111", 40}, {"1313", 40}, {"1112", 20}};

// One kind of everyday row, drawn at random many times a day.
struct KindDef {
    double weight;  // rows per hundred on a weekday
    bool business;  // fewer at weekends
    std::vector<Side> debit;
    std::vector<Side> credit;
    AmountRule amount;
    double subChance;    // a sub-account when the account has any
    const char* kubun;   // category of a use to tag with, or nullptr
    std::vector<const char*> memos;  // a trailing '#' becomes a slip number
};

// The median of the sales (credit 0111) is set by prepareKinds so that the business earns a
// little more than the household and the business spend; the 1 here is a placeholder.
const std::vector<KindDef> kKinds = {
    {28, false, {{"0411", 1}}, kPayHousehold, {1100, 0.75, 1}, 0.8, "0101",
     {"スーパー", "コンビニ", "八百屋", "精肉店", "鮮魚店", "パン屋", "生協", "ネットスーパー", "ランチ", "夕食外食"}},
    {9, false, {{"0412", 1}}, kPayHousehold, {700, 0.8, 1}, 0.6, "0101",
     {"ドラッグストア", "ホームセンター", "百円ショップ", "洗剤・ティッシュ"}},
    {8, false, {{"0416", 1}}, {{"1119", 70}, {"1111", 30}}, {320, 0.5, 10}, 0.8, "0101",
     {"電車", "バス", "駐輪場"}},
    {2, false, {{"0417", 1}}, kPayHousehold, {3800, 0.9, 10}, 0, "0101", {"子ども服", "靴", "下着", "クリーニング"}},
    {1.8, false, {{"0418", 1}}, {{"1111", 60}, {"1313", 40}}, {1800, 0.9, 10}, 0.9, "0101",
     {"内科", "歯科", "眼科", "処方薬"}},
    {3, false, {{"0420", 1}}, kPayHousehold, {2500, 1.0, 10}, 0.7, "0104", {"映画", "書籍", "ゲーム", "遊園地", "カラオケ"}},
    {1.2, false, {{"0421", 1}}, {{"1111", 70}, {"1313", 30}}, {5000, 0.7, 1000}, 0, "0101",
     {"飲み会", "お祝い", "手土産"}},
    {2, false, {{"0424", 1}}, {{"1313", 70}, {"1111", 30}}, {4500, 0.5, 1}, 0.9, "0101", {"給油", "高速道路", "洗車"}},
    {1, false, {{"0425", 1}}, {{"1111", 1}}, {3000, 0.6, 1000}, 0, nullptr, {"こづかい"}},
    {1, false, {{"0426", 1}}, kPayHousehold, {4500, 0.5, 100}, 0, "0101", {"美容院", "化粧品"}},
    {2, false, {{"0427", 1}}, {{"1111", 50}, {"1119", 50}}, {450, 0.6, 10}, 0, "0101", {"コーヒー", "お菓子", "酒"}},
    {0.8, false, {{"0428", 1}}, kPayHousehold, {2500, 0.7, 1}, 0, "0101", {"ペットフード", "動物病院"}},
    {0.8, false, {{"0429", 1}}, kPayHousehold, {4000, 1.0, 10}, 0, "0104", {"手芸用品", "釣り具", "模型"}},
    {0.25, false, {{"0430", 1}}, {{"1313", 80}, {"1112", 20}}, {25000, 1.0, 100}, 0, "0302",
     {"宿泊", "航空券", "新幹線", "旅行代金"}},
    {0.1, false, {{"0431", 1}}, {{"1111", 1}}, {30000, 0.5, 10000}, 0, "0301", {"御祝儀", "御香典"}},
    {0.15, false, {{"0434", 1}}, {{"1313", 1}}, {25000, 1.2, 100}, 0, "0303", {"家電量販店", "家具店", "通販"}},
    {1, false, {{"0441", 1}}, kPayHousehold, {1500, 0.8, 10}, 0, "0103", {"おもちゃ", "習い事の月謝", "遠足"}},
    {0.8, false, {{"0439", 1}}, kPayHousehold, {1400, 0.5, 10}, 0, "0104", {"書店", "電子書籍"}},
    {0.3, false, {{"0442", 1}}, kPayHousehold, {4000, 0.6, 100}, 0, "0301", {"お中元", "お歳暮", "お返し"}},
    {0.5, false, {{"0445", 1}}, kPayHousehold, {1200, 0.6, 10}, 0, "0101", {"風邪薬", "目薬"}},
    {0.3, false, {{"0440", 1}}, kPayHousehold, {2000, 0.7, 100}, 0, "0104", {"ジム", "プール"}},
    // business
    {12, true, {{"1114", 60}, {"1111", 25}, {"1112", 15}}, {{"0111", 1}}, {1, 1.1, 10}, 0.9, "0201",
     {"売上", "納品", "請求書 No.#", "納品書 No.#"}},
    {5, true, {{"0311", 1}}, {{"1311", 70}, {"1112", 30}}, {18000, 1.0, 1}, 0.9, "0201", {"仕入", "材料", "伝票 No.#"}},
    {4, true, {{"0321", 1}}, kPayBusiness, {1800, 0.9, 1}, 0.7, "0202", {"文房具", "インク", "用紙", "電池"}},
    {3, true, {{"0315", 1}}, {{"1119", 50}, {"1111", 30}, {"1313", 20}}, {900, 0.9, 10}, 0.8, "0202",
     {"打合せ", "納品", "出張"}},
    {1.2, true, {{"0318", 1}}, {{"1111", 50}, {"1313", 50}}, {7000, 0.8, 1}, 0, "0202", {"会食", "手土産"}},
    {2, true, {{"0329", 1}}, {{"1112", 1}}, {440, 0.4, 10}, 0, "0202", {"振込手数料"}},
    {2.5, true, {{"0313", 1}}, {{"1111", 50}, {"1112", 50}}, {1200, 0.6, 10}, 0, "0202", {"宅配便", "送料"}},
    {0.8, true, {{"0331", 1}}, kPayBusiness, {1500, 0.6, 10}, 0, "0202", {"業界紙", "専門書"}},
    {0.6, true, {{"0333", 1}}, {{"1111", 1}}, {1200, 0.6, 10}, 0, "0202", {"喫茶店"}},
    {1, true, {{"0330", 1}}, {{"1313", 1}}, {4000, 0.6, 1}, 0, "0202", {"給油", "オイル交換"}},
    {0.2, true, {{"0320", 1}}, {{"1112", 1}}, {30000, 1.0, 100}, 0, "0202", {"修理代"}},
    {0.5, true, {{"0317", 1}}, {{"1313", 1}}, {8000, 1.0, 100}, 0, "0202", {"チラシ", "ネット広告"}},
    {0.5, true, {{"0399", 1}}, {{"1111", 1}}, {800, 0.8, 1}, 0, "0202", {}},
    {0.6, true, {{"0338", 1}}, kPayBusiness, {1500, 0.7, 1}, 0, "0202", {"事務用品"}},
    {0.6, true, {{"0345", 1}}, {{"1313", 1}}, {1300, 0.5, 10}, 0, "0202", {"高速道路"}},
    {0.3, true, {{"0337", 1}}, {{"1313", 1}}, {3300, 0.4, 10}, 0, "0202", {"クラウドサービス"}},
    {0.03, true, {{"1214", 1}}, {{"1112", 1}}, {180000, 0.5, 1}, 0, "0303", {"パソコン", "複合機"}},
    {0.3, true, {{"1501", 1}}, {{"1112", 1}}, {30000, 0.6, 10000}, 0, nullptr, {"生活費"}},
    {0.05, true, {{"1112", 1}}, {{"1502", 1}}, {100000, 0.5, 10000}, 0, nullptr, {"個人口座から入金"}},
    {0.02, false, {{"1112", 1}}, {{"0214", 1}}, {30, 1.0, 1}, 0, nullptr, {"普通預金利息"}},
    {0.1, true, {{"1111", 1}}, {{"0112", 1}}, {2000, 1.0, 1}, 0, nullptr, {"雑収入"}},
    {0.1, false, {{"1112", 1}}, {{"0216", 1}}, {20000, 0.8, 1}, 0, nullptr, {"原稿料", "講演謝礼"}},
    {0.3, false, {{"1119", 1}}, {{"0220", 1}}, {150, 0.8, 1}, 0, nullptr, {"ポイント付与"}},
};
// Weekends have a few fewer rows than weekdays: the household buys more, the business rests.
constexpr double kWeekendDayWeight = 0.85;

// A row that comes every month (or in the months of `monthMask`) on a fixed day; day 31
// means the last day of the month.
struct ScheduleDef {
    int day;
    int monthMask;
    const char* debit;
    const char* debitSub;
    const char* credit;
    const char* creditSub;
    AmountRule amount;
    bool seasonal;  // heating and cooling months cost more
    const char* memo;
    bool monthInMemo;
};

constexpr int kEveryMonth = 0xfff;
constexpr int monthBit(int m) { return 1 << (m - 1); }

const std::vector<ScheduleDef> kSchedule = {
    {25, kEveryMonth, "1112", "111202", "0211", "021101", {285000, 0.02, 1}, false, "給与振込", true},
    {25, kEveryMonth, "1112", "111202", "0211", "021102", {110000, 0.05, 1}, false, "給与振込（配偶者）", true},
    {30, monthBit(6), "1112", "111202", "0212", nullptr, {620000, 0.1, 1}, false, "夏季賞与", false},
    {10, monthBit(12), "1112", "111202", "0212", nullptr, {680000, 0.1, 1}, false, "冬季賞与", false},
    {27, kEveryMonth, "1412", nullptr, "1112", "111201", {82000, 0, 1}, false, "住宅ローン返済", true},
    {27, kEveryMonth, "0433", nullptr, "1112", "111201", {28000, 0.03, 1}, false, "住宅ローン利息", true},
    {27, kEveryMonth, "0327", nullptr, "1112", "111201", {66000, 0, 1}, false, "事務所家賃", true},
    {27, kEveryMonth, "0413", nullptr, "1112", "111201", {15000, 0, 1}, false, "管理費・修繕積立金", true},
    {20, kEveryMonth, "0414", "041401", "1313", "131301", {9000, 0.15, 1}, true, "電気代", true},
    {20, kEveryMonth, "0414", "041402", "1112", "111201", {5500, 0.2, 1}, true, "ガス代", true},
    {20, 0xaaa, "0414", "041403", "1112", "111201", {6800, 0.1, 1}, false, "水道代", true},
    {20, kEveryMonth, "0314", "031401", "1112", "111201", {12000, 0.2, 1}, true, "事務所電気代", true},
    {15, kEveryMonth, "0415", "041501", "1313", "131301", {7800, 0.1, 1}, false, "携帯電話", true},
    {15, kEveryMonth, "0415", "041502", "1313", "131301", {5500, 0, 1}, false, "インターネット", true},
    {15, kEveryMonth, "0316", "031601", "1112", "111201", {4300, 0.2, 1}, false, "事務所電話", true},
    {15, kEveryMonth, "0316", "031602", "1112", "111201", {5000, 0, 1}, false, "事務所回線", true},
    {27, kEveryMonth, "0422", "042201", "1112", "111201", {12500, 0, 1}, false, "生命保険料", true},
    {27, kEveryMonth, "0422", "042202", "1112", "111201", {3200, 0, 1}, false, "医療保険料", true},
    {31, kEveryMonth, "0423", "042303", "1112", "111201", {16980, 0, 1}, false, "国民年金", true},
    {31, kEveryMonth, "0423", "042302", "1112", "111201", {28000, 0, 1}, false, "国民健康保険", true},
    {31, 0xfe0 | monthBit(1), "0423", "042301", "1112", "111201", {18000, 0, 100}, false, "住民税", true},
    {5, kEveryMonth, "0438", nullptr, "1313", "131302", {1490, 0, 1}, false, "動画配信", true},
    {27, kEveryMonth, "0419", "041902", "1112", "111201", {28000, 0, 1}, false, "塾", true},
    {25, kEveryMonth, "0332", nullptr, "1112", "111201", {100000, 0, 1}, false, "専従者給与", true},
    {25, kEveryMonth, "0324", nullptr, "1112", "111201", {72000, 0.05, 1}, false, "給料", true},
    {25, kEveryMonth, "0324", nullptr, "1314", nullptr, {8000, 0, 1}, false, "源泉所得税", true},
    {31, monthBit(4), "0423", "042305", "1112", "111201", {39500, 0, 1}, false, "自動車税", false},
    {28, monthBit(4) | monthBit(7) | monthBit(12) | monthBit(2), "0423", "042304", "1112", "111201", {38000, 0, 100},
     false, "固定資産税", false},
    {10, monthBit(10), "0422", "042204", "1313", "131302", {65000, 0.05, 10}, false, "自動車保険", false},
    {10, monthBit(2), "0422", "042203", "1112", "111201", {22000, 0, 1}, false, "火災保険", false},
    {20, monthBit(12), "1113", "111301", "1112", "111201", {300000, 0, 10000}, false, "定期預金積立", false},
};

// Month-end balances that are paid off in the next month: card statements, customers'
// invoices, suppliers' bills and the tax withheld from wages.
struct SettlementDef {
    const char* account;
    int day;
    const char* memo;
};

const std::vector<SettlementDef> kSettlements = {
    {"1313", 10, "カード引落し"},
    {"1314", 10, "源泉所得税納付"},
    {"1114", 31, "売掛金入金"},
    {"1311", 31, "買掛金支払"},
};

// The books as they stand on the first day: bank balances, the house, the car and the
// loans; the capital balances it.
struct OpeningDef {
    const char* code;
    const char* sub;
    qint64 yen;  // positive: a debit balance
};

const std::vector<OpeningDef> kFirstOpening = {
    {"1111", nullptr, 50000},
    {"1112", "111201", 1500000},
    {"1112", "111202", 800000},
    {"1112", "111203", 300000},
    {"1113", "111301", 2000000},
    {"1118", nullptr, 400000},
    {"1119", "111901", 5000},
    {"1211", nullptr, 12000000},
    {"1213", nullptr, 1800000},
    {"1214", nullptr, 600000},
    {"1215", nullptr, 15000000},
    {"1411", nullptr, -3000000},
    {"1412", nullptr, -22000000},
};

// Year-end depreciation rates of the fixed assets that the adjustments write down.
const std::vector<std::pair<const char*, double>> kDepreciation = {
    {"1211", 0.045}, {"1212", 0.067}, {"1213", 0.167}, {"1214", 0.25}, {"1219", 0.2}, {"1220", 1.0 / 3.0},
};

// Private shares of business costs moved to the owner at year end.
const std::vector<std::pair<const char*, double>> kPrivateShare = {
    {"0314", 0.3}, {"0316", 0.4}, {"0330", 0.5},
};

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
