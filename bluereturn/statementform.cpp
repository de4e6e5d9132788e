#include "bluereturn/statementform.h"

#include "db/database.h"
#include "db/storeerror.h"

#include <QSet>

namespace tolva {

namespace {

// The form numbers its lines with circled numbers.
QString circled(int n)
{
    if (n >= 1 && n <= 20)
        return QString(QChar(0x2460 + n - 1));
    if (n >= 21 && n <= 35)
        return QString(QChar(0x3251 + n - 21));
    if (n >= 36 && n <= 50)
        return QString(QChar(0x32B1 + n - 36));
    return QString::number(n);
}

constexpr int kExpenseFreeLines = 6;  // ㉕–㉚
constexpr int kAssetFreeLines = 4;
constexpr int kLiabilityFreeLines = 4;

std::vector<StatementLineDef> makeLines()
{
    std::vector<StatementLineDef> lines;
    const auto add = [&](const QString& key, LineKind kind, const QString& number, const QString& caption, bool free = false) {
        lines.push_back(StatementLineDef{key, kind, number, caption, free});
    };
    add(kSalesKey, LineKind::Revenue, circled(1), QStringLiteral("売上（収入）金額"));
    add(kHomeConsumptionKey, LineKind::Revenue, circled(1), QStringLiteral("家事消費等（売上に含む）"));
    add(kMiscIncomeKey, LineKind::Revenue, circled(1), QStringLiteral("雑収入（売上に含む）"));
    add(QStringLiteral("inventory"), LineKind::Inventory, circled(2) + circled(5), QStringLiteral("棚卸高（期首・期末、4頁の棚卸資産）"));
    add(QStringLiteral("purchases"), LineKind::Purchases, circled(3), QStringLiteral("仕入金額（製品製造原価）"));
    const QStringList expenses = {
        QStringLiteral("租税公課"),   QStringLiteral("荷造運賃"),   QStringLiteral("水道光熱費"), QStringLiteral("旅費交通費"),
        QStringLiteral("通信費"),     QStringLiteral("広告宣伝費"), QStringLiteral("接待交際費"), QStringLiteral("損害保険料"),
        QStringLiteral("修繕費"),     QStringLiteral("消耗品費"),   QStringLiteral("減価償却費"), QStringLiteral("福利厚生費"),
        QStringLiteral("給料賃金"),   QStringLiteral("外注工賃"),   QStringLiteral("利子割引料"), QStringLiteral("地代家賃"),
        QStringLiteral("貸倒金")};
    for (int i = 0; i < expenses.size(); ++i)
        add(QStringLiteral("e%1").arg(8 + i, 2, 10, QLatin1Char('0')), LineKind::Expense, circled(8 + i), expenses[i]);
    for (int i = 0; i < kExpenseFreeLines; ++i)
        add(QStringLiteral("e%1").arg(25 + i), LineKind::Expense, circled(25 + i), QString(), true);
    add(QStringLiteral("e31"), LineKind::Expense, circled(31), QStringLiteral("雑費"));
    add(QStringLiteral("reversal"), LineKind::Reversal, circled(34), QStringLiteral("貸倒引当金（繰戻額）"));
    add(QStringLiteral("family"), LineKind::FamilySalary, circled(37), QStringLiteral("専従者給与"));
    add(QStringLiteral("provision"), LineKind::Provision, circled(38), QStringLiteral("貸倒引当金（繰入額）"));

    const QStringList assets = {QStringLiteral("現金"),     QStringLiteral("当座預金"),   QStringLiteral("定期預金"),
                                QStringLiteral("その他の預金"), QStringLiteral("受取手形"), QStringLiteral("売掛金"),
                                QStringLiteral("有価証券"), QStringLiteral("前払金"),     QStringLiteral("貸付金"),
                                QStringLiteral("建物"),     QStringLiteral("建物附属設備"), QStringLiteral("機械装置"),
                                QStringLiteral("車両運搬具"), QStringLiteral("工具器具備品"), QStringLiteral("土地")};
    for (int i = 0; i < assets.size(); ++i)
        add(QStringLiteral("a%1").arg(i + 1, 2, 10, QLatin1Char('0')), LineKind::Asset, QString(), assets[i]);
    for (int i = 0; i < kAssetFreeLines; ++i)
        add(QStringLiteral("af%1").arg(i + 1), LineKind::Asset, QString(), QString(), true);
    add(QStringLiteral("owner-draw"), LineKind::OwnerDrawings, QString(), QStringLiteral("事業主貸"));
    const QStringList liabilities = {QStringLiteral("支払手形"), QStringLiteral("買掛金"), QStringLiteral("借入金"),
                                     QStringLiteral("未払金"),   QStringLiteral("前受金"), QStringLiteral("預り金"),
                                     QStringLiteral("貸倒引当金")};
    for (int i = 0; i < liabilities.size(); ++i)
        add(QStringLiteral("l%1").arg(i + 1, 2, 10, QLatin1Char('0')), LineKind::Liability, QString(), liabilities[i]);
    for (int i = 0; i < kLiabilityFreeLines; ++i)
        add(QStringLiteral("lf%1").arg(i + 1), LineKind::Liability, QString(), QString(), true);
    add(QStringLiteral("owner-contrib"), LineKind::OwnerContributions, QString(), QStringLiteral("事業主借"));
    add(QStringLiteral("capital"), LineKind::Capital, QString(), QStringLiteral("元入金"));
    add(kOffStatementKey, LineKind::Off, QString(), QStringLiteral("決算書に載せない"));
    return lines;
}

QString keyOfCaption(const QString& caption)
{
    for (const StatementLineDef& line : statementLines())
        if (!line.freeLine && line.caption == caption)
            return line.key;
    return {};
}

// Balance-sheet names, first match wins: the more particular names come before the ones they
// contain (建物附属設備 before 建物, 定期預金 before 預金).
const std::vector<std::pair<QString, QString>>& balanceSheetNames()
{
    static const std::vector<std::pair<QString, QString>> names = {
        {QStringLiteral("住宅ローン"), kOffStatementKey},
        {QStringLiteral("事業主貸"), QStringLiteral("owner-draw")},
        {QStringLiteral("事業主借"), QStringLiteral("owner-contrib")},
        {QStringLiteral("元入金"), QStringLiteral("capital")},
        {QStringLiteral("棚卸"), QStringLiteral("inventory")},
        {QStringLiteral("貸倒引当金"), QStringLiteral("l07")},
        {QStringLiteral("当座"), QStringLiteral("a02")},
        {QStringLiteral("定期"), QStringLiteral("a03")},
        {QStringLiteral("預金"), QStringLiteral("a04")},
        {QStringLiteral("貯金"), QStringLiteral("a04")},
        {QStringLiteral("受取手形"), QStringLiteral("a05")},
        {QStringLiteral("売掛"), QStringLiteral("a06")},
        {QStringLiteral("有価証券"), QStringLiteral("a07")},
        {QStringLiteral("前払"), QStringLiteral("a08")},
        {QStringLiteral("貸付"), QStringLiteral("a09")},
        {QStringLiteral("建物附属"), QStringLiteral("a11")},
        {QStringLiteral("建物"), QStringLiteral("a10")},
        {QStringLiteral("機械"), QStringLiteral("a12")},
        {QStringLiteral("車両"), QStringLiteral("a13")},
        {QStringLiteral("工具"), QStringLiteral("a14")},
        {QStringLiteral("器具"), QStringLiteral("a14")},
        {QStringLiteral("備品"), QStringLiteral("a14")},
        {QStringLiteral("土地"), QStringLiteral("a15")},
        {QStringLiteral("支払手形"), QStringLiteral("l01")},
        {QStringLiteral("買掛"), QStringLiteral("l02")},
        {QStringLiteral("借入"), QStringLiteral("l03")},
        {QStringLiteral("未払"), QStringLiteral("l04")},
        {QStringLiteral("クレジット"), QStringLiteral("l04")},
        {QStringLiteral("前受"), QStringLiteral("l05")},
        {QStringLiteral("預り"), QStringLiteral("l06")},
    };
    return names;
}

} // namespace

const std::vector<StatementLineDef>& statementLines()
{
    static const std::vector<StatementLineDef> lines = makeLines();
    return lines;
}

const StatementLineDef* statementLine(const QString& key)
{
    for (const StatementLineDef& line : statementLines())
        if (line.key == key)
            return &line;
    return nullptr;
}

QString statementLineChoiceText(const StatementLineDef& line)
{
    if (line.kind == LineKind::Off)
        return line.caption;
    QString caption = line.caption;
    if (line.freeLine)
        caption = line.kind == LineKind::Expense ? QStringLiteral("（経費の空欄）")
                  : line.kind == LineKind::Asset ? QStringLiteral("（資産の空欄%1）").arg(line.key.right(1))
                                                 : QStringLiteral("（負債の空欄%1）").arg(line.key.right(1));
    const QString page = line.number.isEmpty() ? QStringLiteral("4頁 ") : QStringLiteral("1頁 ") + line.number + u' ';
    return page + caption;
}

std::vector<ChartAccount> readChart(Database& db)
{
    Statement rows = db.prepare(QStringLiteral("SELECT Kamoku.code, Kamoku.kamoku, Kamoku.bunrui, Bunrui.BP, Bunrui.LR FROM Kamoku"
                                               " LEFT JOIN Bunrui ON Kamoku.bunrui = Bunrui.code ORDER BY Kamoku.code"));
    std::vector<ChartAccount> chart;
    while (rows.step()) {
        ChartAccount account;
        account.code = rows.column(0).toString();
        account.name = rows.column(1).toString();
        account.category = rows.column(2).toString();
        if (account.category.isEmpty())
            account.category = account.code.left(2);
        account.statementText = rows.column(3).toString();
        account.sideText = rows.column(4).toString();
        chart.push_back(std::move(account));
    }
    return chart;
}

std::map<QString, QString> defaultStatementLines(const std::vector<ChartAccount>& chart)
{
    std::map<QString, QString> lines;
    int expenseFree = 0;
    int assetFree = 0;
    int liabilityFree = 0;
    for (const ChartAccount& account : chart) {
        const QString& name = account.name;
        QString key = kOffStatementKey;
        if (account.category == QLatin1String("01")) {
            key = name.contains(QStringLiteral("家事消費")) ? kHomeConsumptionKey
                  : name.contains(QStringLiteral("雑収入")) ? kMiscIncomeKey
                  : name.contains(QStringLiteral("貸倒引当金")) ? QStringLiteral("reversal")
                                                                : kSalesKey;
        } else if (account.category == QLatin1String("03")) {
            if (name.contains(QStringLiteral("仕入")))
                key = QStringLiteral("purchases");
            else if (name.contains(QStringLiteral("専従者給与")))
                key = QStringLiteral("family");
            else if (name.contains(QStringLiteral("貸倒引当金")))
                key = name.contains(QStringLiteral("戻")) ? QStringLiteral("reversal") : QStringLiteral("provision");
            else if (!(key = keyOfCaption(name)).isEmpty() && statementLine(key)->kind == LineKind::Expense)
                ;
            else if (expenseFree < kExpenseFreeLines)
                key = QStringLiteral("e%1").arg(25 + expenseFree++);
            else
                key = QStringLiteral("e31");
        } else if (account.statementText == QLatin1String("1") && account.category != QLatin1String("02")
                   && account.category != QLatin1String("04")) {
            key.clear();
            if (name == QStringLiteral("現金"))
                key = QStringLiteral("a01");
            for (const auto& [part, line] : balanceSheetNames()) {
                if (!key.isEmpty())
                    break;
                if (name.contains(part))
                    key = line;
            }
            if (key.isEmpty()) {
                const bool debitSide = account.sideText == QLatin1String("1");
                if (debitSide)
                    key = QStringLiteral("af%1").arg(std::min(++assetFree, kAssetFreeLines));
                else
                    key = QStringLiteral("lf%1").arg(std::min(++liabilityFree, kLiabilityFreeLines));
            }
        }
        lines[account.code] = key;
    }
    return lines;
}

AccountLines readAccountLines(Database& db, const std::vector<ChartAccount>& chart)
{
    AccountLines result;
    result.defaults = defaultStatementLines(chart);
    result.line = result.defaults;
    if (!db.hasTable(QStringLiteral("KessanLine")))
        return result;
    Statement rows = db.prepare(QStringLiteral("SELECT kcode, line FROM KessanLine"));
    while (rows.step()) {
        const QString code = rows.column(0).toString();
        const QString key = rows.column(1).toString();
        // A choice for an account no longer in the chart, or a line this program does not
        // know, is left as it is and not used.
        if (result.line.count(code) && statementLine(key))
            result.line[code] = key;
    }
    return result;
}

void saveAccountLines(Database& db, const std::vector<ChartAccount>& chart, const std::map<QString, QString>& lines)
{
    const std::map<QString, QString> defaults = defaultStatementLines(chart);
    Transaction transaction(db);
    Statement remove = db.prepare(QStringLiteral("DELETE FROM KessanLine WHERE kcode = ?1"));
    Statement insert = db.prepare(QStringLiteral("INSERT INTO KessanLine (kcode, line) VALUES (?1, ?2)"));
    for (const auto& [code, key] : lines) {
        if (!statementLine(key))
            throw StoreError(QStringLiteral("科目「%1」の決算書の行「%2」がありません。").arg(code, key));
        remove.bind(1, code);
        remove.step();
        remove.reset();
        const auto def = defaults.find(code);
        if (def != defaults.end() && def->second == key)
            continue;
        insert.bind(1, code);
        insert.bind(2, key);
        insert.step();
        insert.reset();
    }
    transaction.commit();
}

const std::vector<qint64>& specialDeductionChoices()
{
    static const std::vector<qint64> choices = {650000, 550000, 100000};
    return choices;
}

qint64 readSpecialDeduction(Database& db, int year)
{
    if (!db.hasTable(QStringLiteral("KessanKoujo")))
        return kDefaultSpecialDeduction;
    Statement row = db.prepare(QStringLiteral("SELECT gaku FROM KessanKoujo WHERE nen = ?1"));
    row.bind(1, qint64(year));
    if (!row.step())
        return kDefaultSpecialDeduction;
    const qint64 yen = row.columnInt(0);
    const auto& choices = specialDeductionChoices();
    return std::find(choices.begin(), choices.end(), yen) != choices.end() ? yen : kDefaultSpecialDeduction;
}

void saveSpecialDeduction(Database& db, int year, qint64 yen)
{
    const auto& choices = specialDeductionChoices();
    if (std::find(choices.begin(), choices.end(), yen) == choices.end())
        throw StoreError(QStringLiteral("青色申告特別控除額は 650,000円、550,000円、100,000円のいずれかです（%1円）。").arg(yen));
    Transaction transaction(db);
    Statement upsert = db.prepare(QStringLiteral(
        "INSERT INTO KessanKoujo (nen, gaku) VALUES (?1, ?2) ON CONFLICT (nen) DO UPDATE SET gaku = excluded.gaku"));
    upsert.bind(1, qint64(year));
    upsert.bind(2, yen);
    upsert.step();
    transaction.commit();
}

} // namespace tolva
