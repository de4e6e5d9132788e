#include "ledgerbook.h"

#include "dataset.h"
#include "storeerror.h"
#include "textformat.h"

namespace tolva {

namespace {

const QString kSelect = QStringLiteral(
    "SELECT shiwake.id, shiwake.sDay, shiwake.Lcode, Kamoku.kamoku AS Lkamoku, shiwake.Lgaku, shiwake.Rcode, "
    "Kamoku_1.kamoku AS Rkamoku, shiwake.Rgaku, shiwake.Memo, shiwake.Lbunrui, Bunrui.Name AS Lbun,"
    " shiwake.Rbunrui, Bunrui_1.Name AS Rbun, kubun.Name as kubunN,kamoku02.kamoku as LSkamoku,"
    "kamoku02_1.kamoku as RSkamoku, shiwake.LScode, shiwake.RScode"
    " FROM ((((((shiwake LEFT JOIN Kamoku ON shiwake.Lcode = Kamoku.code)"
    " LEFT JOIN Kamoku AS Kamoku_1 ON shiwake.Rcode = Kamoku_1.code)"
    " LEFT JOIN Bunrui ON shiwake.Lbunrui = Bunrui.code)"
    " LEFT JOIN Bunrui AS Bunrui_1 ON shiwake.Rbunrui = Bunrui_1.code)"
    " LEFT JOIN  kubun ON shiwake.kubun = kubun.code)"
    " LEFT JOIN  Kamoku02 ON shiwake.LScode = kamoku02.code) "
    " LEFT JOIN  Kamoku02 as kamoku02_1 ON shiwake.RScode = kamoku02_1.code ");

const QString kOrder = QStringLiteral(" ORDER BY shiwake.sday,shiwake.id");

// The rows of a ledger are those dated within the range whose debit-side field or whose
// credit-side field holds the code. Written as that OR, the statement leaves it to SQLite's
// planner whether to split it over the two indexes, and when it does, the row numbers of both
// searches are gathered in a set and the whole result sorted. Here each side is a select of
// its own: the index that begins with its field serves both the code and the date range, and
// the two halves are merged in order. A row with the code on both sides is taken once, from
// the debit side (IS NOT, because a null debit code is not equal to the code either). Rows
// and order are the same as those of the OR form; a test compares the two.
QString accountCondition(const QString& debitField, const QString& creditField)
{
    return QStringLiteral(" WHERE (shiwake.%1=:pC03 AND shiwake.sDay>=:pD1 And shiwake.sDay<=:pD2)").arg(debitField)
        + QStringLiteral(" UNION ALL ") + kSelect
        + QStringLiteral(" WHERE (shiwake.%1=:pC03 AND shiwake.sDay>=:pD1 And shiwake.sDay<=:pD2"
                         " AND shiwake.%2 IS NOT :pC03)")
              .arg(creditField, debitField);
}

// The journal has no index on the category fields: the date index serves the range, and
// its order (date, then entry number) is the ledger's, so nothing needs sorting.
const QString kCategoryCondition = QStringLiteral(
    " WHERE (shiwake.sDay>=:pD1 And shiwake.sDay<=:pD2) AND (shiwake.Lbunrui=:pC03 Or shiwake.Rbunrui=:pC03)");

QString description(const QString& category, const QString& account, const QString& subAccount, const QString& memo)
{
    QString text = category + u' ' + account + u' ' + subAccount;
    if (!memo.isEmpty())
        text += QStringLiteral(" (") + memo + u')';
    return text;
}

} // namespace

QString motochouSql(LedgerKind kind)
{
    switch (kind) {
    case LedgerKind::SubAccount:
        return kSelect + accountCondition(QStringLiteral("LScode"), QStringLiteral("RScode")) + kOrder;
    case LedgerKind::Account:
        return kSelect + accountCondition(QStringLiteral("Lcode"), QStringLiteral("Rcode")) + kOrder;
    case LedgerKind::Category:
        break;
    }
    return kSelect + kCategoryCondition + kOrder;
}

void buildLedger(Query& query, const LedgerRequest& request, Ledger& ledger)
{
    ledger = Ledger{};
    query.close();
    query.setSql(motochouSql(request.kind));
    query.setParam(QStringLiteral("pD1"), request.from);
    query.setParam(QStringLiteral("pD2"), request.to);
    // Null equals nothing: without a chosen entry the ledger is empty rather than the list of
    // every row that lacks a sub-account.
    query.setParam(QStringLiteral("pC03"), request.code.isEmpty() ? QVariant() : QVariant(request.code));
    query.open();

    auto column = [&query](const char* name) {
        const int index = query.fieldIndex(QString::fromLatin1(name));
        if (index < 0)
            throw StoreError(QStringLiteral("問合せ「%1」に項目「%2」がありません。").arg(query.datasetName(), QLatin1String(name)));
        return query.field(index);
    };
    const Field id = column("id");
    const Field sDay = column("sDay");
    const Field lgaku = column("Lgaku");
    const Field rgaku = column("Rgaku");
    const Field memo = column("Memo");
    const Field kubunN = column("kubunN");
    const Field lbun = column("Lbun");
    const Field rbun = column("Rbun");
    const Field lkamoku = column("Lkamoku");
    const Field rkamoku = column("Rkamoku");
    const Field lskamoku = column("LSkamoku");
    const Field rskamoku = column("RSkamoku");
    const Field lbunrui = column("Lbunrui");
    const Field rbunrui = column("Rbunrui");
    const Field debitCode = request.kind == LedgerKind::SubAccount ? column("LScode") : column("Lcode");

    LedgerTotals& totals = ledger.totals;
    for (query.first(); !query.eof(); query.next()) {
        LedgerLine line;
        line.id = id.asInteger();
        line.date = sDay.asDate();
        line.kubunName = kubunN.asString();
        Money d;
        Money c;
        auto debitSide = [&] { return description(lbun.asString(), lkamoku.asString(), lskamoku.asString(), memo.asString()); };
        auto creditSide = [&] { return description(rbun.asString(), rkamoku.asString(), rskamoku.asString(), memo.asString()); };
        if (request.kind == LedgerKind::Category) {
            // A row with both sides in the category is one line with both amounts, described
            // by its debit side.
            if (lbunrui.asString() == request.code) {
                line.description = creditSide();
                d = lgaku.asMoney();
                line.debit = d;
            }
            if (rbunrui.asString() == request.code) {
                line.description = debitSide();
                c = rgaku.asMoney();
                line.credit = c;
            }
        } else if (debitCode.asString() == request.code) {
            line.description = creditSide();
            d = lgaku.asMoney();
            line.debit = d;
        } else {
            line.description = debitSide();
            c = rgaku.asMoney();
            line.credit = c;
        }
        totals.debit += d;
        totals.credit += c;
        if (request.debitType) {
            totals.balance += d - c;
            line.side = totals.balance > Money() ? BalanceSide::Debit : BalanceSide::Credit;
        } else {
            totals.balance += c - d;
            line.side = totals.balance > Money() ? BalanceSide::Credit : BalanceSide::Debit;
        }
        line.balance = totals.balance;
        ledger.lines.append(std::move(line));
    }
    query.first();
}

Ledger buildLedger(Query& query, const LedgerRequest& request)
{
    Ledger ledger;
    buildLedger(query, request, ledger);
    return ledger;
}

QStringList ledgerTitles()
{
    return {QStringLiteral("日付"), QStringLiteral("摘要"), QStringLiteral("区分"), QStringLiteral("NO"),
            QStringLiteral("借方"), QStringLiteral("貸方"), QStringLiteral("BS"),   QStringLiteral("残高")};
}

QString ledgerCell(const LedgerLine& line, int column)
{
    switch (column) {
    case 0: return textformat::shortDate(line.date);
    case 1: return line.description;
    case 2: return line.kubunName;
    case 3: return QString::number(line.id);
    case 4: return line.debit ? textformat::gridAmount(*line.debit) : QString();
    case 5: return line.credit ? textformat::gridAmount(*line.credit) : QString();
    case 6: return line.side == BalanceSide::Debit ? QStringLiteral("借") : QStringLiteral("貸");
    case 7: return textformat::gridAmount(line.balance.isNegative() ? -line.balance : line.balance);
    default: return {};
    }
}

QStringList ledgerCells(const LedgerLine& line)
{
    QStringList cells;
    cells.reserve(kLedgerColumns);
    for (int column = 0; column < kLedgerColumns; ++column)
        cells << ledgerCell(line, column);
    return cells;
}

QString ledgerStatusText(const LedgerTotals& totals)
{
    return QStringLiteral("  借方 : ") + textformat::currency(totals.debit) + QStringLiteral(",  貸方 : ")
        + textformat::currency(totals.credit) + QStringLiteral(",  残高 : ") + textformat::currency(totals.balance);
}

LedgerRequest ledgerRequestFor(const ChartEntry& entry, const QDate& from, const QDate& to)
{
    LedgerRequest request;
    switch (entry.level) {
    case ChartEntry::Level::Category: request.kind = LedgerKind::Category; break;
    case ChartEntry::Level::Account: request.kind = LedgerKind::Account; break;
    case ChartEntry::Level::SubAccount: request.kind = LedgerKind::SubAccount; break;
    }
    request.code = entry.code;
    request.debitType = entry.side == SideCode::Debit;
    request.from = from;
    request.to = to;
    return request;
}

QString ledgerExportTitle(const QString& category, const std::optional<QString>& account,
                          const std::optional<QString>& subAccount)
{
    QString title = QStringLiteral("元帳 (") + category;
    if (account) {
        title += u' ' + *account;
        if (subAccount)
            title += u' ' + *subAccount;
    }
    return title + u')';
}

QString ledgerExportTitle(const ChartEntry& entry)
{
    switch (entry.level) {
    case ChartEntry::Level::Category: return ledgerExportTitle(entry.categoryName);
    case ChartEntry::Level::Account: return ledgerExportTitle(entry.categoryName, entry.accountName);
    case ChartEntry::Level::SubAccount: break;
    }
    return ledgerExportTitle(entry.categoryName, entry.accountName, entry.subAccountName);
}

QString ledgerExportPeriodLine(const QDate& from, const QDate& to)
{
    return QStringLiteral("期間：") + textformat::reportPeriod(from, to);
}

QList<QStringList> ledgerExportRows(const QString& title, const QString& periodLine, const Ledger& ledger)
{
    QList<QStringList> rows;
    rows.reserve(kLedgerExportHeadRows + ledger.lines.size());
    rows << QStringList{title} << QStringList{periodLine} << QStringList{} << ledgerTitles();
    for (const LedgerLine& line : ledger.lines)
        rows << ledgerCells(line);
    return rows;
}

QStringList ledgerExportNotes(const QList<int>& rows, const Ledger& ledger)
{
    QStringList notes;
    for (int row : rows) {
        const int line = row - kLedgerExportHeadRows;
        notes << (line >= 0 && line < ledger.lines.size() ? QStringLiteral("NO %1").arg(ledger.lines[line].id) : QString());
    }
    return notes;
}

} // namespace tolva
