#pragma once

// The household the generator keeps books for: the chart beyond the template, the everyday
// rows drawn at random, the rows of the calendar, the balances settled the month after, the
// opening balances and the year-end adjustments. What it spends is changed here; how rows are
// drawn and written, in bookgenerator.cpp.

#include <QtGlobal>

#include <utility>
#include <vector>

namespace tolva::bookgen::household {

// An amount in whole yen: log-normal around a median, so that most rows are small and a
// few are many times larger, rounded to the unit people pay in (1 yen at the till, 10 or
// 100 for fares and services, 10,000 at the cash machine).
struct AmountRule {
    double median = 1000;
    double sigma = 0.0;
    qint64 unit = 1;
};

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
inline const std::vector<Side> kPayHousehold = {{"1111", 35}, {"1313", 35}, {"1119", 15}, {"1112", 15}};
inline const std::vector<Side> kPayBusiness = {{"1111", 40}, {"1313", 40}, {"1112", 20}};

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
inline const std::vector<KindDef> kKinds = {
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
inline constexpr double kWeekendDayWeight = 0.85;

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

inline constexpr int kEveryMonth = 0xfff;
inline constexpr int monthBit(int m) { return 1 << (m - 1); }

inline const std::vector<ScheduleDef> kSchedule = {
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

inline const std::vector<SettlementDef> kSettlements = {
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

inline const std::vector<OpeningDef> kFirstOpening = {
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
inline const std::vector<std::pair<const char*, double>> kDepreciation = {
    {"1211", 0.045}, {"1212", 0.067}, {"1213", 0.167}, {"1214", 0.25}, {"1219", 0.2}, {"1220", 1.0 / 3.0},
};

// Private shares of business costs moved to the owner at year end.
inline const std::vector<std::pair<const char*, double>> kPrivateShare = {
    {"0314", 0.3}, {"0316", 0.4}, {"0330", 0.5},
};

} // namespace tolva::bookgen::household
