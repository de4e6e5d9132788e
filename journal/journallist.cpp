#include "journal/journallist.h"

#include "db/database.h"
#include "db/dataset.h"
#include "db/textformat.h"

#include <sqlite3.h>

#include <algorithm>

namespace tolva::journallist {

namespace {

const QString kSelect = QStringLiteral(
    "SELECT shiwake.id, shiwake.sDay, Kamoku.kamoku, shiwake.Lgaku, Kamoku_1.kamoku, shiwake.Rgaku, shiwake.Memo, "
    "Bunrui.Name, Bunrui_1.Name, kubun.Name, Kamoku02.kamoku, Kamoku02_1.kamoku");
const QString kFrom = QStringLiteral(
    " FROM ((((((shiwake LEFT JOIN Kamoku ON shiwake.Lcode = Kamoku.code) LEFT JOIN Kamoku AS Kamoku_1 ON "
    "shiwake.Rcode = Kamoku_1.code) LEFT JOIN Bunrui ON shiwake.Lbunrui = Bunrui.code)");
const QString kJoins = QStringLiteral(
    " LEFT JOIN Bunrui AS Bunrui_1 ON shiwake.Rbunrui = Bunrui_1.code) LEFT JOIN kubun ON shiwake.kubun = kubun.code) "
    "LEFT JOIN Kamoku02 ON shiwake.LScode = Kamoku02.code) LEFT JOIN Kamoku02 AS Kamoku02_1 ON shiwake.RScode = "
    "Kamoku02_1.code");

const QString kByDate = QStringLiteral(" ORDER BY shiwake.sday DESC,shiwake.id DESC");
const QString kByNumber = QStringLiteral(" ORDER BY shiwake.id DESC");

// Collects the condition pieces in their fixed order: the first begins " where ", every
// later one " and ".
class Conditions {
public:
    void add(const QString& condition, const QVariant& value) { add(condition, {value}, condition, {value}); }
    void add(const QString& condition, const QVariantList& values, const QString& indexed, const QVariantList& indexedValues)
    {
        text_ += (text_.isEmpty() ? QStringLiteral(" where ") : QStringLiteral(" and ")) + condition;
        indexed_ += (indexed_.isEmpty() ? QStringLiteral(" where ") : QStringLiteral(" and ")) + indexed;
        params_ << values;
        indexedParams_ << indexedValues;
    }
    // A code that begins with the prefix: `like`, and for a prefix of digits the range of
    // codes from the prefix up to the next one.
    void addPrefix(const QString& column, const QString& parameter, const QString& prefix)
    {
        const QString like = column + QStringLiteral(" like :") + parameter;
        const bool digits = !prefix.isEmpty() && std::all_of(prefix.begin(), prefix.end(), [](QChar c) {
            return c >= u'0' && c <= u'9';
        });
        if (!digits)
            return add(like, {prefix + u'%'}, like, {prefix + u'%'});
        QString next = prefix;
        next.back() = QChar(next.back().unicode() + 1);  // '9' + 1 is ':', still above every digit
        add(like, {prefix + u'%'},
            column + QStringLiteral(" >= :") + parameter + QStringLiteral(" and ") + column + QStringLiteral(" < :")
                + parameter + QStringLiteral("e"),
            {prefix, next});
    }
    void addPeriod(const QDate& from, const QDate& to)
    {
        text_ += QStringLiteral(" where ( shiwake.sDay >=:pD1 and shiwake.sDay <=:pD2) ");
        indexed_ += QStringLiteral(" where ( shiwake.sDay >=:pD1 and shiwake.sDay <=:pD2) ");
        params_ << from << to;
        indexedParams_ << from << to;
    }
    void fail(const QString& problem)
    {
        if (problem_.isEmpty())
            problem_ = problem;
    }
    [[nodiscard]] const QString& text() const { return text_; }
    [[nodiscard]] const QVariantList& params() const { return params_; }
    [[nodiscard]] const QString& problem() const { return problem_; }
    void fill(JournalListSql& s) const
    {
        s.where = text_;
        s.params = params_;
        s.indexedWhere = indexed_;
        s.indexedParams = indexedParams_;
    }

private:
    QString text_;
    QString indexed_;
    QVariantList params_;
    QVariantList indexedParams_;
    QString problem_;
};

QString missing(const QString& condition, const QString& what)
{
    return QStringLiteral("絞込条件「%1」の%2が選択されていません。").arg(condition, what);
}

enum class Kind { Narrowing, Refresh };

void addSide(Conditions& c, const JournalFilter::Side& side, const QString& caption, const QString& prefix,
             const QString& parameter, Kind kind)
{
    if (!side.ticked)
        return;
    const QString column = QStringLiteral("shiwake.") + prefix;
    if (kind == Kind::Narrowing && side.accountTicked && side.subAccountTicked) {
        if (!side.subAccount)
            return c.fail(missing(caption + QStringLiteral(" 細目"), QStringLiteral("細目")));
        return c.add(column + QStringLiteral("Scode=:") + parameter, *side.subAccount);
    }
    if (side.accountTicked) {
        if (!side.account)
            return c.fail(missing(caption + QStringLiteral(" 科目"), QStringLiteral("科目")));
        return c.add(column + QStringLiteral("code=:") + parameter, *side.account);
    }
    if (!side.category)
        return c.fail(missing(caption, QStringLiteral("分類")));
    if (kind == Kind::Narrowing)
        return c.add(column + QStringLiteral("bunrui = :") + parameter, *side.category);
    c.addPrefix(column + QStringLiteral("code"), parameter, *side.category);
}

Conditions conditionsOf(const JournalFilter& filter, Kind kind)
{
    Conditions c;
    if (filter.period)
        c.addPeriod(filter.from, filter.to);
    addSide(c, filter.debit, QStringLiteral("借方"), QStringLiteral("L"), QStringLiteral("pL1"), kind);
    addSide(c, filter.credit, QStringLiteral("貸方"), QStringLiteral("R"), QStringLiteral("pR1"), kind);
    if (filter.useCategory) {
        if (filter.useCategoryCode)
            c.add(QStringLiteral("shiwake.kubun=:pB1"), *filter.useCategoryCode);
        else
            c.fail(missing(QStringLiteral("区分"), QStringLiteral("区分")));
    }
    if (filter.mode) {
        if (filter.modeCode)
            c.add(QStringLiteral("shiwake.syori=:pS1"), *filter.modeCode);
        else
            c.fail(missing(QStringLiteral("処理ﾓｰﾄﾞ"), QStringLiteral("処理")));
    }
    return c;
}

} // namespace

QString baseSql()
{
    return kSelect + kFrom + kJoins;
}

JournalListSql narrowed(const JournalFilter& filter)
{
    const Conditions c = conditionsOf(filter, Kind::Narrowing);
    JournalListSql result;
    result.problem = c.problem();
    if (result.ok() && c.text().isEmpty())
        result.problem = QStringLiteral("条件が指定されていません");
    result.hasConditions = true;
    c.fill(result);
    result.sql = baseSql() + c.text() + kByDate;
    return result;
}

JournalListSql refreshed(const JournalFilter& filter)
{
    const Conditions c = conditionsOf(filter, Kind::Refresh);
    JournalListSql result;
    result.problem = c.problem();
    result.hasConditions = !c.text().isEmpty();
    c.fill(result);
    result.order = result.hasConditions ? JournalListSql::Order::NewestNumberFirst : JournalListSql::Order::NewestDateFirst;
    result.sql = baseSql() + c.text() + (result.hasConditions ? kByNumber : kByDate);
    return result;
}

JournalListSql everything()
{
    JournalListSql result;
    result.sql = baseSql() + kByDate;
    return result;
}

JournalListSql unbalanced()
{
    JournalListSql result;
    result.where = QStringLiteral(" where shiwake.Lgaku<>shiwake.Rgaku ");
    result.indexedWhere = result.where;
    result.sql = baseSql() + result.where + QStringLiteral(" ORDER BY shiwake.sday DESC");
    result.hasConditions = true;
    return result;
}

JournalListSql exported(const JournalFilter& filter)
{
    const Conditions c = conditionsOf(filter, Kind::Refresh);
    JournalListSql result;
    result.problem = c.problem();
    if (result.ok() && c.text().isEmpty())
        result.problem = QStringLiteral("出力条件を指定してください。");
    result.hasConditions = true;
    c.fill(result);
    result.order = JournalListSql::Order::OldestDateFirst;
    result.sql = baseSql() + c.text() + QStringLiteral(" ORDER BY shiwake.sday ,shiwake.id");
    return result;
}

QString exportLinesSql(const JournalListSql& exported)
{
    return QStringLiteral(
               "SELECT shiwake.id, shiwake.sDay, Kamoku.kamoku, shiwake.Lgaku, Kamoku_1.kamoku, shiwake.Rgaku, "
               "shiwake.Memo, kubun.Name FROM ((shiwake LEFT JOIN Kamoku ON shiwake.Lcode = Kamoku.code) "
               "LEFT JOIN Kamoku AS Kamoku_1 ON shiwake.Rcode = Kamoku_1.code) LEFT JOIN kubun ON shiwake.kubun = kubun.code")
           + exported.where + QStringLiteral(" ORDER BY shiwake.sday ,shiwake.id");
}

JournalListSql printedSelection(const JournalFilter& filter)
{
    const Conditions c = conditionsOf(filter, Kind::Narrowing);
    JournalListSql result;
    result.problem = c.problem();
    if (result.ok() && c.text().isEmpty())
        result.problem = QStringLiteral("出力条件を指定してください。");
    result.hasConditions = true;
    result.where = c.text();
    result.order = JournalListSql::Order::OldestDateFirst;
    result.sql = baseSql() + c.text() + QStringLiteral(" ORDER BY shiwake.sday ,shiwake.id");
    result.params = c.params();
    return result;
}

JournalListSql journalBook(const QDate& from, const QDate& to)
{
    Conditions c;
    c.addPeriod(from, to);
    JournalListSql result;
    result.hasConditions = true;
    result.where = c.text();
    result.order = JournalListSql::Order::OldestDateFirst;
    result.sql = QStringLiteral(
                     "SELECT shiwake.id, shiwake.sDay, Kamoku.kamoku, shiwake.Lgaku, Kamoku_1.kamoku, shiwake.Rgaku, "
                     "shiwake.Memo, Bunrui.Name, Bunrui_1.Name,kubun.Name ")
                 + QStringLiteral(
                     " FROM ((((shiwake LEFT JOIN Kamoku ON shiwake.Lcode = Kamoku.code) LEFT JOIN Kamoku AS Kamoku_1 ON "
                     "shiwake.Rcode = Kamoku_1.code) LEFT JOIN Bunrui ON shiwake.Lbunrui = Bunrui.code) LEFT JOIN Bunrui "
                     "AS Bunrui_1 ON shiwake.Rbunrui = Bunrui_1.code ) ")
                 + QStringLiteral("  LEFT JOIN kubun ON shiwake.kubun = kubun.code ") + c.text()
                 + QStringLiteral(" ORDER BY shiwake.sday ,shiwake.id");
    result.params = c.params();
    return result;
}

const QList<ListColumn>& listColumns()
{
    static const QList<ListColumn> columns = {
        {QStringLiteral("id"), QStringLiteral("NO")},          {QStringLiteral("sDay"), QStringLiteral("月日")},
        {QStringLiteral("kamoku"), QStringLiteral("借方科目")}, {QStringLiteral("kamoku_2"), QStringLiteral("細目")},
        {QStringLiteral("Lgaku"), QStringLiteral("金額")},      {QStringLiteral("kamoku_1"), QStringLiteral("貸方科目")},
        {QStringLiteral("kamoku_3"), QStringLiteral("細目")},   {QStringLiteral("Rgaku"), QStringLiteral("金額")},
        {QStringLiteral("Name_2"), QStringLiteral("区分")},     {QStringLiteral("Memo"), QStringLiteral("備考")},
    };
    return columns;
}

BooksState booksState(const QString& folder)
{
    auto db = Database::forFolder(folder);
    Statement version = db->prepare(QStringLiteral("PRAGMA data_version"));
    version.step();
    return {sqlite3_total_changes64(db->handle()), version.columnInt(0)};
}

namespace {

Summary countAndSum(const QString& folder, const JournalListSql& statement)
{
    Query q(QStringLiteral("journalListCount"));
    q.setDatabaseName(folder);
    // Without conditions the count alone is wanted, and the smallest index gives it.
    q.setSql(statement.hasConditions
                 ? QStringLiteral("SELECT count(*) AS n, SUM(shiwake.Lgaku) AS sumL, SUM(shiwake.Rgaku) AS sumR FROM shiwake")
                       + statement.readerWhere()
                 : QStringLiteral("SELECT count(*) AS n, NULL AS sumL, NULL AS sumR FROM shiwake"),
             {QStringLiteral("sumL"), QStringLiteral("sumR")});
    if (statement.hasConditions)
        for (int i = 0; i < statement.readerParams().size(); ++i)
            q.setParam(i, statement.readerParams()[i]);
    q.open();
    return {q.field(0).asInteger(), {q.field(1).asMoney(), q.field(2).asMoney()}};
}

struct KeptSummary {
    QString folder;
    QString where;
    QVariantList params;
    bool sums = false;
    BooksState state;
    Summary summary;
};

} // namespace

Summary summary(const QString& folder, const JournalListSql& statement)
{
    // The whole journal's length is kept by the journal's triggers (books of an older layout
    // that only a reading command opened have none: they are counted).
    if (!statement.hasConditions) {
        auto db = Database::forFolder(folder);
        if (db->hasTable(QStringLiteral("RowCount"))) {
            Statement kept = db->prepareCached(QStringLiteral("SELECT n FROM RowCount WHERE tableName = 'shiwake'"));
            const bool found = kept.step();
            const qint64 rows = found ? kept.columnInt(0) : -1;
            db->recycle(std::move(kept));
            if (rows >= 0)
                return {rows, {}};
        }
    }
    // A few lists are kept: the window's refreshed list and whatever "絞込実行", "全件表示"
    // or the balance check showed last.
    static QList<KeptSummary> kept;
    constexpr int kKept = 8;
    const BooksState state = booksState(folder);
    for (int i = 0; i < kept.size(); ++i) {
        const KeptSummary& k = kept[i];
        if (k.folder == folder && k.where == statement.readerWhere() && k.params == statement.readerParams()
            && k.sums == statement.hasConditions && k.state == state) {
            const Summary found = k.summary;
            kept.move(i, kept.size() - 1);
            return found;
        }
    }
    const Summary counted = countAndSum(folder, statement);
    kept.append({folder, statement.readerWhere(), statement.readerParams(), statement.hasConditions, state, counted});
    while (kept.size() > kKept)
        kept.removeFirst();
    return counted;
}

void prepare(Query& list, const JournalListSql& statement)
{
    list.close();
    list.setSql(statement.sql);
    for (int i = 0; i < statement.params.size(); ++i)
        list.setParam(i, statement.params[i]);
}

void open(Query& list, const JournalListSql& statement)
{
    prepare(list, statement);
    list.open();
}

QString totalsText(const Totals& totals)
{
    return QStringLiteral("  借方 : ") + textformat::currency(totals.debit) + QStringLiteral(",  貸方 : ")
           + textformat::currency(totals.credit);
}

QString entryText(const EntryFacts& entry)
{
    const auto yen = [](const std::optional<Money>& amount) {
        return amount ? textformat::gridAmount(*amount) + QStringLiteral("円") : QString();
    };
    const auto side = [](const QString& caption, const QString& code, const QString& name) {
        QStringList parts{caption};
        for (const QString& part : {code, name}) {
            if (!part.isEmpty())
                parts << part;
        }
        return parts.join(u' ');
    };
    QStringList parts;
    parts << QStringLiteral("NO.") + (entry.id ? QString::number(*entry.id) : QStringLiteral("（未登録）"));
    if (entry.day.isValid())
        parts << textformat::shortDate(entry.day);
    QString debit = side(QStringLiteral("借方"), entry.debitCode, entry.debitName);
    QString credit = side(QStringLiteral("貸方"), entry.creditCode, entry.creditName);
    const bool oneAmount = entry.debit == entry.credit;
    if (!oneAmount) {
        if (entry.debit)
            debit += u' ' + yen(entry.debit);
        if (entry.credit)
            credit += u' ' + yen(entry.credit);
    }
    parts << debit + QStringLiteral(" / ") + credit;
    if (oneAmount && entry.debit)
        parts << yen(entry.debit);
    return parts.join(u' ');
}

QString accountName(const QString& folder, const QString& code)
{
    if (code.isEmpty())
        return {};
    Statement name = Database::forFolder(folder)->prepare(QStringLiteral("SELECT kamoku FROM Kamoku WHERE code = ?"));
    name.bind(1, code);
    return name.step() ? name.column(0).toString() : QString();
}

std::optional<QDate> lastEnteredDate(const QString& folder)
{
    Statement last = Database::forFolder(folder)->prepare(QStringLiteral("SELECT sDay FROM shiwake ORDER BY id DESC LIMIT 1"));
    if (!last.step())
        return std::nullopt;
    const QDate day = QDate::fromString(last.column(0).toString().left(10), Qt::ISODate);
    return day.isValid() ? std::optional<QDate>(day) : std::nullopt;
}

} // namespace tolva::journallist
