#include "db/database.h"
#include "db/tdm01keiri.h"
#include "journal/journallistmodel.h"
#include "tests/support/testdata.h"

#include <QRandomGenerator>
#include <QSignalSpy>

#include <numeric>
#include <random>

#include <gtest/gtest.h>

using namespace tolva;
using tolva::testing::TestDataFolder;

namespace {

// A journal whose dates repeat a lot, with some undated rows and numbers that do not follow
// the dates: every tie and every window boundary of the list is exercised.
class ListModel : public ::testing::Test {
protected:
    void SetUp() override
    {
        dm.DataModuleCreate(folder.path());
        auto db = Database::forFolder(folder.path());
        Transaction transaction(*db);
        Statement insert = db->prepare(QStringLiteral(
            "INSERT INTO shiwake (sDay, Lbunrui, Lcode, Lgaku, Rbunrui, Rcode, Rgaku, syori) VALUES (?, ?, ?, ?, '11', '1111', ?, 10)"));
        QRandomGenerator random(42);
        const char* accounts[] = {"0411", "0412", "1501", "0311"};
        for (int i = 0; i < 1100; ++i) {
            const bool undated = random.bounded(40) == 0;
            insert.bind(1, undated ? QVariant() : QVariant(QDate(2010, 1, 1).addDays(random.bounded(60)).toString(Qt::ISODate)));
            const QString account = QString::fromLatin1(accounts[random.bounded(4)]);
            insert.bind(2, account.left(2));
            insert.bind(3, account);
            const qint64 amount = qint64(random.bounded(1, 100)) * 1000 * 10000;
            insert.bind(4, amount);
            insert.bind(5, random.bounded(10) == 0 ? amount + 10000 : amount);
            insert.step();
            insert.reset();
        }
        transaction.commit();
    }
    void TearDown() override { dm.closeAll(); }

    // The ids in the order the statement itself gives, read in full.
    QList<qint64> reference(const JournalListSql& s)
    {
        journallist::open(dm.q05shiwakeView, s);
        QList<qint64> ids;
        for (dm.q05shiwakeView.first(); !dm.q05shiwakeView.eof(); dm.q05shiwakeView.next())
            ids << dm.q05shiwakeView.fieldByName("id").asInteger();
        return ids;
    }

    TestDataFolder folder;
    ProgramState state;
    Tdm01Keiri dm{state};
};

JournalListSql oldestFirst(JournalListSql s)
{
    s.order = JournalListSql::Order::OldestDateFirst;
    s.sql = journallist::baseSql() + s.where + QStringLiteral(" ORDER BY shiwake.sday ,shiwake.id");
    return s;
}

} // namespace

TEST_F(ListModel, ShowsExactlyTheStatementsRowsInItsOrder)
{
    JournalFilter period;
    period.period = true;
    period.from = QDate(2010, 1, 10);
    period.to = QDate(2010, 2, 10);
    JournalFilter debit;
    debit.debit.ticked = true;
    debit.debit.category = QStringLiteral("04");

    const std::pair<const char*, JournalListSql> statements[] = {
        {"everything", journallist::everything()},
        {"refresh by number", journallist::refreshed(debit)},
        {"narrowed by period", journallist::narrowed(period)},
        {"oldest first", oldestFirst(journallist::everything())},
        {"oldest first in a period", oldestFirst(journallist::narrowed(period))},
    };
    for (const auto& [what, statement] : statements) {
        const QList<qint64> expected = reference(statement);
        ASSERT_GT(expected.size(), JournalListModel::kWindow) << what;
        JournalListModel model;
        model.setColumns({{"id", "NO"}, {"kamoku", "借方科目"}});
        model.show(folder.path(), statement);
        ASSERT_EQ(model.rowCount(), expected.size()) << what;
        // Read from the end backwards, so windows load out of order.
        QList<qint64> shown(expected.size());
        for (int row = model.rowCount() - 1; row >= 0; --row)
            shown[row] = model.idAt(row);
        EXPECT_EQ(shown, expected) << what;
        for (int row : {0, 1, 199, 200, 201, int(expected.size()) - 1})
            EXPECT_EQ(model.rowOfId(expected[row]), row) << what << " row " << row;
    }
}

TEST_F(ListModel, TheBalanceCheckAndAbsentRows)
{
    const JournalListSql check = journallist::unbalanced();
    JournalListModel model;
    model.setColumns({{"id", "NO"}, {"Lgaku", "金額"}});
    model.show(folder.path(), check);
    const QList<qint64> expected = reference(check);
    ASSERT_EQ(model.rowCount(), expected.size());
    QSet<qint64> shown;
    for (int row = 0; row < model.rowCount(); ++row)
        shown.insert(model.idAt(row));
    EXPECT_EQ(shown, QSet<qint64>(expected.begin(), expected.end()));

    JournalFilter none;
    none.debit.ticked = true;
    none.debit.category = QStringLiteral("99");
    model.show(folder.path(), journallist::narrowed(none));
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_FALSE(model.rowOfId(1).has_value());
    EXPECT_EQ(model.data(model.index(0, 0)), QVariant());
}

namespace {

// The rows a model lists, read in the given order of rows.
QList<qint64> idsReadInOrder(JournalListModel& model, const QList<int>& rows)
{
    QList<qint64> shown(model.rowCount());
    for (int row : rows)
        shown[row] = model.idAt(row);
    return shown;
}

QString planOf(Database& db, const QString& sql, const QVariantList& params)
{
    Statement explain = db.prepare(QStringLiteral("EXPLAIN QUERY PLAN ") + sql);
    for (int i = 0; i < params.size(); ++i)
        explain.bind(i + 1, params[i].typeId() == QMetaType::QDate ? QVariant(params[i].toDate().toString(Qt::ISODate)) : params[i]);
    QStringList details;
    while (explain.step())
        details << explain.column(3).toString();
    return details.join(u'\n');
}

} // namespace

TEST_F(ListModel, ScrollingEitherWayAndJumpingGiveTheStatementsRows)
{
    // Codes a prefix range could get wrong against `like`: the bare prefix, one just past
    // it, a longer code and none at all.
    {
        auto db = Database::forFolder(folder.path());
        Transaction transaction(*db);
        for (const char* code : {"04", "05", "0499x", "039", "0"})
            db->exec(QStringLiteral("INSERT INTO shiwake (sDay, Lcode, Lgaku, Rgaku) VALUES ('2010-01-05', '%1', 10000, 10000)")
                         .arg(QString::fromLatin1(code)));
        db->exec(QStringLiteral("INSERT INTO shiwake (sDay, Lcode, Lgaku, Rgaku) VALUES ('2010-01-05', NULL, 10000, 10000)"));
        transaction.commit();
    }
    JournalFilter category;
    category.debit.ticked = true;
    category.debit.category = QStringLiteral("04");
    JournalFilter categoryInPeriod = category;
    categoryInPeriod.period = true;
    categoryInPeriod.from = QDate(2010, 1, 5);
    categoryInPeriod.to = QDate(2010, 2, 20);
    JournalFilter period;
    period.period = true;
    period.from = QDate(2010, 1, 10);
    period.to = QDate(2010, 2, 10);

    const std::pair<const char*, JournalListSql> statements[] = {
        {"everything", journallist::everything()},
        {"refresh by a category prefix", journallist::refreshed(category)},
        {"refresh by a category prefix in a period", journallist::refreshed(categoryInPeriod)},
        {"narrowed by period", journallist::narrowed(period)},
        {"oldest first", oldestFirst(journallist::everything())},
        {"exported by a category prefix", journallist::exported(category)},
    };
    QRandomGenerator random(7);
    for (const auto& [what, statement] : statements) {
        const QList<qint64> expected = reference(statement);
        ASSERT_GT(expected.size(), JournalListModel::kWindow) << what;
        QList<int> forwards(expected.size());
        std::iota(forwards.begin(), forwards.end(), 0);
        QList<int> jumps = forwards;
        std::shuffle(jumps.begin(), jumps.end(), std::mt19937(random.generate()));
        // The end first, then back to the start and forward again, as after opening on the
        // oldest row.
        QList<int> endThenForwards{int(expected.size()) - 1};
        endThenForwards << forwards;
        for (const auto& [how, rows] : {std::pair{"forwards", forwards}, std::pair{"jumping", jumps},
                                        std::pair{"from the end", endThenForwards}}) {
            JournalListModel model;
            model.setColumns({{"id", "NO"}});
            model.show(folder.path(), statement);
            ASSERT_EQ(model.rowCount(), expected.size()) << what;
            EXPECT_EQ(idsReadInOrder(model, rows), expected) << what << ", " << how;
        }
        // Found by number from a fresh list, where no window tells the place.
        for (int row : {0, 199, 200, int(expected.size()) / 2, int(expected.size()) - 201, int(expected.size()) - 1}) {
            JournalListModel model;
            model.show(folder.path(), statement);
            EXPECT_EQ(model.rowOfId(expected[row]), row) << what << " row " << row;
        }
    }
}

TEST_F(ListModel, TheRefreshKeepsWhatItReadUntilTheBooksChange)
{
    const JournalListSql statement = journallist::everything();
    JournalListModel model;
    model.setColumns({{"id", "NO"}});
    model.show(folder.path(), statement);
    const int before = model.rowCount();
    (void)model.idAt(before - 1);
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    model.show(folder.path(), statement);
    EXPECT_EQ(resets.count(), 0);

    auto db = Database::forFolder(folder.path());
    db->exec(QStringLiteral("INSERT INTO shiwake (sDay, Lgaku, Rgaku) VALUES ('2099-01-01', 0, 0)"));
    const qint64 added = db->lastInsertRowId();
    model.show(folder.path(), statement);
    EXPECT_EQ(resets.count(), 1);
    ASSERT_EQ(model.rowCount(), before + 1);
    EXPECT_EQ(model.idAt(0), added);

    db->exec(QStringLiteral("DELETE FROM shiwake WHERE id = %1").arg(added));
    model.show(folder.path(), statement);
    EXPECT_EQ(model.rowCount(), before);
    EXPECT_NE(model.idAt(0), added);
}

TEST_F(ListModel, AWindowWalksAnIndexInTheListsOrderAndTheCategoryPrefixUsesTheAccountIndex)
{
    JournalFilter filter;
    filter.period = true;
    filter.from = QDate(2010, 1, 1);
    filter.to = QDate(2010, 3, 1);
    filter.debit.ticked = true;
    filter.debit.category = QStringLiteral("04");
    JournalFilter byCategory;
    byCategory.debit = filter.debit;
    auto db = Database::forFolder(folder.path());

    const std::pair<const char*, JournalListSql> statements[] = {
        {"everything", journallist::everything()},
        {"narrowed", journallist::narrowed(filter)},
        {"refreshed", journallist::refreshed(filter)},
        {"oldest first", oldestFirst(journallist::refreshed(filter))},
    };
    for (const auto& [what, statement] : statements) {
        JournalListModel model;
        model.setColumns({{"id", "NO"}});
        model.show(folder.path(), statement);
        ASSERT_GT(model.rowCount(), 2 * JournalListModel::kWindow) << what;
        const int last = model.rowCount() - JournalListModel::kWindow;
        // A window from either end, then one keyed on a window already read.
        QStringList sql{model.keysSql(0, JournalListModel::kWindow), model.keysSql(last, JournalListModel::kWindow)};
        (void)model.idAt(0);
        sql << model.keysSql(JournalListModel::kWindow, JournalListModel::kWindow);
        for (const QString& s : sql)
            for (const QString& one : s.split(u'\n')) {
                const QString plan = planOf(*db, one, statement.readerParams());
                EXPECT_FALSE(plan.contains(QStringLiteral("TEMP B-TREE"))) << what << ": " << one.toStdString() << "\n"
                                                                           << plan.toStdString();
            }
    }

    const JournalListSql r = journallist::refreshed(byCategory);
    EXPECT_EQ(r.where, QStringLiteral(" where shiwake.Lcode like :pL1"));
    const QString plan = planOf(*db, QStringLiteral("SELECT count(*), SUM(Lgaku) FROM shiwake") + r.readerWhere(), r.readerParams());
    EXPECT_TRUE(plan.contains(QStringLiteral("shiwake_Lcode"))) << plan.toStdString();
}
