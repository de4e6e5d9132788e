#include "journal/journalprint.h"

#include "db/database.h"
#include "db/textformat.h"

namespace tolva::journalprint {

namespace {

QString sideText(const JournalFilter::Side& side, const QString& which, const QString& name)
{
    const QString label = side.subAccountTicked ? QStringLiteral("細目：")
                          : side.accountTicked  ? QStringLiteral("科目：")
                                                : QStringLiteral("区分：");
    return which + label + name;
}

bool update(Database& db, const QString& sql, const QStringList& values)
{
    Transaction transaction(db);
    Statement statement = db.prepare(sql);
    for (int i = 0; i < values.size(); ++i)
        statement.bind(i + 1, values[i]);
    statement.step();
    const bool written = db.changes() > 0;
    transaction.commit();
    return written;
}

} // namespace

QString conditionText(const JournalFilter& filter, const JournalExportNames& names)
{
    QStringList parts;
    if (filter.debit.ticked)
        parts << sideText(filter.debit, QStringLiteral("借方"), names.debit);
    if (filter.credit.ticked)
        parts << sideText(filter.credit, QStringLiteral("貸方"), names.credit);
    if (filter.useCategory)
        parts << QStringLiteral("区分：") + names.useCategory;
    if (filter.mode)
        parts << QStringLiteral("処理ﾓｰﾄﾞ：") + names.mode;
    return parts.join(u' ');
}

QString printedText(const QDate& today)
{
    return QStringLiteral("作成日：") + textformat::reportDate(today);
}

bool writeJournalBookHeader(Database& db, const QString& periodText, const QDate& today)
{
    return update(db, QStringLiteral("UPDATE RepoJyoken SET Name01=?1, Name03=?2 WHERE no=1"), {periodText, printedText(today)});
}

bool writeSelectionHeader(Database& db, const QString& periodText, const QString& conditionText, const QDate& today)
{
    return update(db,
                  QStringLiteral("UPDATE RepoJyoken SET Name01=?1, Name02=?2, Name03=?3 "
                                 "WHERE rowid = (SELECT min(rowid) FROM RepoJyoken)"),
                  {periodText, conditionText, printedText(today)});
}

} // namespace tolva::journalprint
