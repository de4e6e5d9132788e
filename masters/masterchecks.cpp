#include "masters/masterchecks.h"

#include "db/database.h"

namespace tolva::masters {

namespace {

// The word of a code of the kind in messages ("科目コード").
QString codeWordFor(Master master)
{
    switch (master) {
    case Master::Category: return QStringLiteral("区分コード");
    case Master::Account: return QStringLiteral("科目コード");
    case Master::SubAccount: return QStringLiteral("細目コード");
    case Master::Use: return QStringLiteral("用途コード");
    case Master::UseCategory: return QStringLiteral("区分コード");
    }
    return {};
}

// The caption of the drop-down a parent is chosen in.
QString parentBoxFor(Master master)
{
    switch (master) {
    case Master::Account: return QStringLiteral("区分");
    case Master::SubAccount: return QStringLiteral("科目");
    case Master::UseCategory: return QStringLiteral("用途");
    default: return {};
    }
}

QString quotedIdentifier(const QString& name)
{
    return u'"' + QString(name).replace(u'"', QStringLiteral("\"\"")) + u'"';
}

qint64 countOf(Database& db, const QString& sql, const QString& code)
{
    Statement statement = db.prepare(sql);
    statement.bind(1, QVariant(code));
    statement.step();
    return statement.columnInt(0);
}

struct StoredRow {
    QString code;
    QString parent;
    QString name;
};

std::optional<StoredRow> storedRow(Database& db, Master master, qint64 rowId)
{
    if (rowId <= 0)
        return std::nullopt;
    const QString parentField = parentFieldOf(master);
    Statement statement = db.prepare(QStringLiteral("SELECT code, %1, %2 FROM %3 WHERE rowid = ?")
                                         .arg(parentField.isEmpty() ? QStringLiteral("NULL") : quotedIdentifier(parentField),
                                              quotedIdentifier(nameFieldOf(master)), quotedIdentifier(tableOf(master))));
    statement.bind(1, QVariant(rowId));
    if (!statement.step())
        return std::nullopt;
    return StoredRow{statement.column(0).toString(), statement.column(1).toString(), statement.column(2).toString()};
}

// "仕訳 12 件と年度集計 2 件"
QString usageText(const Usage& usage)
{
    QStringList parts;
    if (usage.journalRows > 0)
        parts << QStringLiteral("仕訳 %1 件").arg(usage.journalRows);
    if (usage.yearTotals > 0)
        parts << QStringLiteral("年度集計 %1 件").arg(usage.yearTotals);
    return parts.join(QStringLiteral("と"));
}

// "科目「0311 仕入高」"
QString rowText(Master master, const QString& code, const QString& name)
{
    return QStringLiteral("%1「%2」").arg(wordFor(master), name.isEmpty() ? code : code + u' ' + name);
}

} // namespace

int codeLength(Master master)
{
    switch (master) {
    case Master::Category: return 2;
    case Master::Account: return 4;
    case Master::SubAccount: return 6;
    case Master::Use: return 2;
    case Master::UseCategory: return 4;
    }
    return 0;
}

std::optional<Master> parentOf(Master master)
{
    switch (master) {
    case Master::Account: return Master::Category;
    case Master::SubAccount: return Master::Account;
    case Master::UseCategory: return Master::Use;
    default: return std::nullopt;
    }
}

QString tableOf(Master master)
{
    switch (master) {
    case Master::Category: return QStringLiteral("Bunrui");
    case Master::Account: return QStringLiteral("Kamoku");
    case Master::SubAccount: return QStringLiteral("Kamoku02");
    case Master::Use: return QStringLiteral("yoto");
    case Master::UseCategory: return QStringLiteral("kubun");
    }
    return {};
}

QString nameFieldOf(Master master)
{
    return master == Master::Account || master == Master::SubAccount ? QStringLiteral("kamoku") : QStringLiteral("Name");
}

QString parentFieldOf(Master master)
{
    switch (master) {
    case Master::Account: return QStringLiteral("bunrui");
    case Master::SubAccount: return QStringLiteral("bunrui");  // the account, despite its name
    case Master::UseCategory: return QStringLiteral("yoto");
    default: return {};
    }
}

QString wordFor(Master master)
{
    switch (master) {
    case Master::Category: return QStringLiteral("科目区分");
    case Master::Account: return QStringLiteral("科目");
    case Master::SubAccount: return QStringLiteral("細目");
    case Master::Use: return QStringLiteral("用途");
    case Master::UseCategory: return QStringLiteral("区分");
    }
    return {};
}

std::optional<QString> entryProblem(Master master, const Entry& entry)
{
    if (master == Master::Category)
        return std::nullopt;
    if (entry.code.trimmed().isEmpty())
        return QStringLiteral("ｺｰﾄﾞが指定されていません");
    if (entry.name.trimmed().isEmpty())
        return master == Master::SubAccount ? QStringLiteral("細目名が指定されていません") : QStringLiteral("科目名が指定されていません");
    if (parentOf(master) && entry.parent.isEmpty())
        return QStringLiteral("区分が指定されていません");
    return std::nullopt;
}

std::optional<QString> codeFormProblem(Master master, const QString& code, const QString& parent)
{
    const int length = codeLength(master);
    const QString codeWord = codeWordFor(master);
    const QString shownCode = code.isEmpty() ? codeWord : QStringLiteral("%1「%2」").arg(codeWord, code);
    const std::optional<Master> parentKind = parentOf(master);
    if (!parentKind) {
        if (code.size() == length)
            return std::nullopt;
        return QStringLiteral("%1は%2文字で指定してください。").arg(shownCode).arg(length);
    }
    const QString parentWord = codeWordFor(*parentKind);
    if (parent.isEmpty())
        return QStringLiteral("%1は%2で始まる%3文字で指定してください。%4が選ばれていません。")
            .arg(shownCode, parentWord)
            .arg(length)
            .arg(parentBoxFor(master));
    if (code.size() == length && code.startsWith(parent) && parent.size() < length)
        return std::nullopt;
    return QStringLiteral("%1は%2「%3」で始まる%4文字で指定してください。").arg(shownCode, parentWord, parent).arg(length);
}

std::optional<QString> postProblem(Database& db, Master master, const QString& code, const QString& parent, qint64 rowId)
{
    const std::optional<StoredRow> stored = storedRow(db, master, rowId);
    const bool codeChanges = !stored || stored->code != code;
    const bool parentChanges = !stored || (parentOf(master) && stored->parent != parent);
    if (codeChanges || parentChanges) {
        if (auto problem = codeFormProblem(master, code, parent))
            return problem;
    }
    if (!codeChanges)
        return std::nullopt;
    if (stored) {
        const Usage usage = usageOf(db, master, stored->code);
        if (usage.any())
            return QStringLiteral("%1は%2で使われているため、コードを「%3」に変えることはできません。\n"
                                  "名前を変えるだけなら、コードは「%4」のままにしてください。")
                .arg(rowText(master, stored->code, stored->name), usageText(usage), code, stored->code);
    }
    Statement statement = db.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE code = ? AND rowid <> ? LIMIT 1")
                                         .arg(quotedIdentifier(nameFieldOf(master)), quotedIdentifier(tableOf(master))));
    statement.bind(1, QVariant(code));
    statement.bind(2, QVariant(qMax<qint64>(rowId, 0)));
    if (statement.step()) {
        const QString name = statement.column(0).toString();
        return QStringLiteral("%1「%2」は既に%3。別のコードを指定してください。")
            .arg(codeWordFor(master), code,
                 name.isEmpty() ? QStringLiteral("登録されています") : QStringLiteral("「%1」に使われています").arg(name));
    }
    return std::nullopt;
}

Usage usageOf(Database& db, Master master, const QString& code)
{
    Usage usage;
    // An empty code is what a row without a sub-account, use or category holds: no row uses it.
    if (code.isEmpty())
        return usage;
    const QString accountsOfCategory = QStringLiteral("(SELECT code FROM Kamoku WHERE bunrui = ?1)");
    switch (master) {
    case Master::Category:
        usage.journalRows = countOf(db,
                                    QStringLiteral("SELECT count(*) FROM shiwake WHERE Lbunrui = ?1 OR Rbunrui = ?1 "
                                                   "OR Lcode IN %1 OR Rcode IN %1")
                                        .arg(accountsOfCategory),
                                    code);
        usage.yearTotals = countOf(db, QStringLiteral("SELECT count(*) FROM shisanH WHERE kcode IN %1").arg(accountsOfCategory), code);
        break;
    case Master::Account:
        usage.journalRows = countOf(db, QStringLiteral("SELECT count(*) FROM shiwake WHERE Lcode = ?1 OR Rcode = ?1"), code);
        usage.yearTotals = countOf(db, QStringLiteral("SELECT count(*) FROM shisanH WHERE kcode = ?1"), code);
        break;
    case Master::SubAccount:
        usage.journalRows = countOf(db, QStringLiteral("SELECT count(*) FROM shiwake WHERE LScode = ?1 OR RScode = ?1"), code);
        break;
    case Master::Use:
        usage.journalRows = countOf(db, QStringLiteral("SELECT count(*) FROM shiwake WHERE yoto = ?1"), code);
        break;
    case Master::UseCategory:
        usage.journalRows = countOf(db, QStringLiteral("SELECT count(*) FROM shiwake WHERE kubun = ?1"), code);
        break;
    }
    return usage;
}

std::optional<QString> deletionProblem(Database& db, Master master, qint64 rowId)
{
    const std::optional<StoredRow> stored = storedRow(db, master, rowId);
    if (!stored)
        return std::nullopt;
    const Usage usage = usageOf(db, master, stored->code);
    if (!usage.any())
        return std::nullopt;
    return QStringLiteral("%1は%2で使われているため削除できません。\n"
                          "名前を変えるだけなら、削除せずに名前を書き換えて保存してください。")
        .arg(rowText(master, stored->code, stored->name), usageText(usage));
}

std::optional<QString> closingMonthProblem(const QVariant& month)
{
    const QString choose = QStringLiteral("1～12の中から選んでください。");
    if (!month.isValid() || month.isNull() || month.toString().trimmed().isEmpty())
        return QStringLiteral("決算月が指定されていません。") + choose;
    bool ok = false;
    const int value = month.toString().trimmed().toInt(&ok);
    if (!ok || value < 1 || value > 12)
        return QStringLiteral("決算月「%1」は正しくありません。").arg(month.toString()) + choose;
    return std::nullopt;
}

} // namespace tolva::masters
