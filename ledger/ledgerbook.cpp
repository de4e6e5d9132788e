#include "ledger/ledgerbook.h"

#include "db/database.h"
#include "db/dataset.h"
#include "db/storeerror.h"
#include "db/textformat.h"

#include <QHash>
#include <QScopeGuard>

#include <sqlite3.h>

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
QString accountCondition(const QString& select, const QString& debitField, const QString& creditField)
{
    return QStringLiteral(" WHERE (shiwake.%1=:pC03 AND shiwake.sDay>=:pD1 And shiwake.sDay<=:pD2)").arg(debitField)
        + QStringLiteral(" UNION ALL ") + select
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

namespace {

// The statement of `kind` with `select` in place of the select list and its joins.
QString ledgerStatement(LedgerKind kind, const QString& select)
{
    switch (kind) {
    case LedgerKind::SubAccount:
        return select + accountCondition(select, QStringLiteral("LScode"), QStringLiteral("RScode")) + kOrder;
    case LedgerKind::Account:
        return select + accountCondition(select, QStringLiteral("Lcode"), QStringLiteral("Rcode")) + kOrder;
    case LedgerKind::Category:
        break;
    }
    return select + kCategoryCondition + kOrder;
}

// The journal's own columns of the ledger's rows: the names come from the masters, read once.
const QString kJournalColumns = QStringLiteral(
    "SELECT shiwake.id, shiwake.sDay, shiwake.Lgaku, shiwake.Rgaku, shiwake.Memo, shiwake.kubun,"
    " shiwake.Lbunrui, shiwake.Rbunrui, shiwake.Lcode, shiwake.Rcode, shiwake.LScode, shiwake.RScode FROM shiwake");

// One journal row of a ledger, its names joined in.
struct LedgerRow {
    qint64 id = 0;
    QDate date;
    Money lgaku;
    Money rgaku;
    QString memo;
    QString kubunName;
    bool debitSideMatches = false;   // the debit side's field of the ledger's kind holds the code
    bool creditSideMatches = false;  // the same on the credit side (a category ledger only)
    QString lbun, lkamoku, lskamoku, rbun, rkamoku, rskamoku;
};

void addLine(Ledger& ledger, const LedgerRequest& request, const LedgerRow& row)
{
    LedgerLine line;
    line.id = row.id;
    line.date = row.date;
    line.kubunName = row.kubunName;
    Money d;
    Money c;
    auto debitSide = [&] { return description(row.lbun, row.lkamoku, row.lskamoku, row.memo); };
    auto creditSide = [&] { return description(row.rbun, row.rkamoku, row.rskamoku, row.memo); };
    if (request.kind == LedgerKind::Category) {
        // A row with both sides in the category is one line with both amounts, described
        // by its debit side.
        if (row.debitSideMatches) {
            line.description = creditSide();
            d = row.lgaku;
            line.debit = d;
        }
        if (row.creditSideMatches) {
            line.description = debitSide();
            c = row.rgaku;
            line.credit = c;
        }
    } else if (row.debitSideMatches) {
        line.description = creditSide();
        d = row.lgaku;
        line.debit = d;
    } else {
        line.description = debitSide();
        c = row.rgaku;
        line.credit = c;
    }
    LedgerTotals& totals = ledger.totals;
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

// code -> name of a master, as the statement's LEFT JOIN on the master's key finds it.
using Names = QHash<QByteArray, QString>;

// False when a code or a name is stored as something other than text.
bool readNames(Database& db, const char* sql, Names& names)
{
    Statement rows = db.prepare(QString::fromLatin1(sql));
    sqlite3_stmt* row = rows.handle();
    while (rows.step()) {
        if (sqlite3_column_type(row, 0) != SQLITE_TEXT)
            return false;
        const int nameType = sqlite3_column_type(row, 1);
        if (nameType != SQLITE_TEXT && nameType != SQLITE_NULL)
            return false;
        names.insert(QByteArray(reinterpret_cast<const char*>(sqlite3_column_text(row, 0)), sqlite3_column_bytes(row, 0)),
                     QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(row, 1)), sqlite3_column_bytes(row, 1)));
    }
    return true;
}

// The lines read straight from SQLite, without the dataset layer and without the joins, as
// long as every value has its usual storage: a whole number for the entry number and the
// amounts (or nothing), ISO text for the date, text or nothing for the codes and the memo.
// Those read the same either way, and the masters' keys are unique, so each join finds at
// most the one name looked up here. Anything else answers false: the ledger is then read
// again through a query, whose conversions are the program's one definition of them.
bool buildStraight(Database& db, const LedgerRequest& request, Ledger& ledger)
{
    Names categories, accounts, subAccounts, uses;
    if (!readNames(db, "SELECT code, Name FROM Bunrui", categories) || !readNames(db, "SELECT code, kamoku FROM Kamoku", accounts)
        || !readNames(db, "SELECT code, kamoku FROM Kamoku02", subAccounts) || !readNames(db, "SELECT code, Name FROM kubun", uses))
        return false;

    const sqldialect::Translation& t = db.translation(ledgerStatement(request.kind, kJournalColumns));
    Statement rows = db.prepare(t.sql);
    for (int i = 0; i < t.distinctNames.size(); ++i) {
        const QString name = t.distinctNames[i].toLower();
        if (name == u"pd1")
            rows.bind(i + 1, textformat::isoDate(request.from));
        else if (name == u"pd2")
            rows.bind(i + 1, textformat::isoDate(request.to));
        else
            rows.bind(i + 1, request.code.isEmpty() ? QVariant() : QVariant(request.code));
    }
    sqlite3_stmt* row = rows.handle();
    const QByteArray code = request.code.toUtf8();
    enum Column { Id, Day, Lgaku, Rgaku, Memo, Kubun, Lbunrui, Rbunrui, Lcode, Rcode, LScode, RScode };
    auto isText = [row](int column) {
        const int type = sqlite3_column_type(row, column);
        return type == SQLITE_TEXT || type == SQLITE_NULL;
    };
    auto bytes = [row](int column) {
        // Raw bytes of a text or null column, compared and looked up without a copy.
        return QByteArray::fromRawData(reinterpret_cast<const char*>(sqlite3_column_text(row, column)),
                                       sqlite3_column_bytes(row, column));
    };
    auto name = [&](const Names& names, int column) {
        if (sqlite3_column_type(row, column) == SQLITE_NULL)
            return QString();
        return names.value(bytes(column));
    };
    auto amount = [row](int column, Money& money) {
        const int type = sqlite3_column_type(row, column);
        money = type == SQLITE_INTEGER ? Money::fromUnits(sqlite3_column_int64(row, column)) : Money();
        return type == SQLITE_INTEGER || type == SQLITE_NULL;
    };
    const int debitField = request.kind == LedgerKind::Category ? Lbunrui : request.kind == LedgerKind::Account ? Lcode : LScode;
    const int creditField = request.kind == LedgerKind::Category ? Rbunrui : request.kind == LedgerKind::Account ? Rcode : RScode;
    LedgerRow values;
    while (rows.step()) {
        if (sqlite3_column_type(row, Id) != SQLITE_INTEGER || sqlite3_column_type(row, Day) != SQLITE_TEXT)
            return false;
        for (int column = Memo; column <= RScode; ++column)
            if (!isText(column))
                return false;
        const QByteArray day = bytes(Day);
        if (day.size() != 10 || day[4] != '-' || day[7] != '-')
            return false;
        values.date = QDate(day.left(4).toInt(), day.mid(5, 2).toInt(), day.mid(8, 2).toInt());
        if (!values.date.isValid() || !amount(Lgaku, values.lgaku) || !amount(Rgaku, values.rgaku))
            return false;
        values.id = sqlite3_column_int64(row, Id);
        values.memo = QString::fromUtf8(bytes(Memo));
        values.kubunName = name(uses, Kubun);
        const bool debitNull = sqlite3_column_type(row, debitField) == SQLITE_NULL;
        const bool creditNull = sqlite3_column_type(row, creditField) == SQLITE_NULL;
        values.debitSideMatches = !debitNull && bytes(debitField) == code;
        values.creditSideMatches = !creditNull && bytes(creditField) == code;
        values.lbun = name(categories, Lbunrui);
        values.rbun = name(categories, Rbunrui);
        values.lkamoku = name(accounts, Lcode);
        values.rkamoku = name(accounts, Rcode);
        values.lskamoku = name(subAccounts, LScode);
        values.rskamoku = name(subAccounts, RScode);
        addLine(ledger, request, values);
    }
    return true;
}

// The same lines through a one-way query of the statement: every conversion as the dataset
// layer makes it, no row kept once it has been read.
void buildThroughQuery(const QString& folder, const LedgerRequest& request, Ledger& ledger)
{
    Query query(QStringLiteral("q13motochou"));
    query.setDatabaseName(folder);
    query.setUniDirectional(true);
    query.setSql(motochouSql(request.kind));
    query.setParam(QStringLiteral("pD1"), request.from);
    query.setParam(QStringLiteral("pD2"), request.to);
    query.setParam(QStringLiteral("pC03"), request.code.isEmpty() ? QVariant() : QVariant(request.code));
    query.open();
    auto closeQuery = qScopeGuard([&] { query.close(); });

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
    const Field debitCode = request.kind == LedgerKind::Category ? column("Lbunrui")
                            : request.kind == LedgerKind::SubAccount ? column("LScode")
                                                                     : column("Lcode");
    const Field creditCode = request.kind == LedgerKind::Category ? column("Rbunrui")
                             : request.kind == LedgerKind::SubAccount ? column("RScode")
                                                                      : column("Rcode");
    for (; !query.eof(); query.next()) {
        LedgerRow values;
        values.id = id.asInteger();
        values.date = sDay.asDate();
        values.kubunName = kubunN.asString();
        values.memo = memo.asString();
        values.debitSideMatches = debitCode.asString() == request.code;
        // Only a category ledger asks the credit side: in the others a row not taken by its
        // debit side is there for its credit side.
        values.creditSideMatches = request.kind == LedgerKind::Category && creditCode.asString() == request.code;
        values.lbun = lbun.asString();
        values.rbun = rbun.asString();
        values.lkamoku = lkamoku.asString();
        values.rkamoku = rkamoku.asString();
        values.lskamoku = lskamoku.asString();
        values.rskamoku = rskamoku.asString();
        // Only the amounts a line shows are read: an unreadable one elsewhere is no error here.
        values.lgaku = values.debitSideMatches ? lgaku.asMoney() : Money();
        const bool creditLine = request.kind == LedgerKind::Category ? values.creditSideMatches : !values.debitSideMatches;
        values.rgaku = creditLine ? rgaku.asMoney() : Money();
        addLine(ledger, request, values);
    }
}

} // namespace

QString motochouSql(LedgerKind kind)
{
    return ledgerStatement(kind, kSelect);
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

    // The lines are read once, by a statement of their own, and held once: the query is left
    // open on its first row for whoever reads it next, and reads no further unless asked.
    if (!buildStraight(*Database::forFolder(query.databaseName()), request, ledger)) {
        ledger = Ledger{};
        buildThroughQuery(query.databaseName(), request, ledger);
    }
    query.open();
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

csv::WriteOutcome writeLedgerExport(const QString& path, const QString& title, const QString& periodLine, const Ledger& ledger)
{
    csv::LineWriter file(path);
    file.add(csv::joinRow({title}));
    file.add(csv::joinRow({periodLine}));
    file.add(csv::joinRow({}));
    file.add(csv::joinRow(ledgerTitles()));
    for (const LedgerLine& line : ledger.lines)
        file.add(csv::joinRow(ledgerCells(line)));
    return file.commit();
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
