#include "database.h"
#include "journallistmodel.h"
#include "tdm01keiri.h"
#include "testdata.h"

#include <QRandomGenerator>

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
