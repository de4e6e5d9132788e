#include "app/windows.h"
#include "bluereturn/tfaoiro.h"
#include "closing/tfkessan.h"
#include "db/database.h"
#include "db/programstate.h"
#include "db/tdm01keiri.h"
#include "tests/bluereturn/smallyear.h"
#include "tests/reports/pdftext.h"
#include "tests/support/helpshown.h"
#include "tests/support/scriptedprompter.h"
#include "tests/support/testdata.h"

#include <QApplication>
#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QStringDecoder>
#include <QLabel>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace tolva;
using namespace tolva::testing;

namespace {

class BlueReturnWindows : public ::testing::Test {
protected:
    void SetUp() override
    {
        smallRealisticYear(folder.path());
        state.dataFolder = folder.path();
        state.periodStart = QDate(2024, 1, 1);
        state.periodEnd = QDate(2024, 12, 31);
        dm.DataModuleCreate(folder.path());
    }
    void TearDown() override
    {
        dm.closeAll();
        expectNoWindowLeftOpen();
    }
    Database& db() { return *Database::forFolder(folder.path()); }
    // The amount column of the line numbered `number` on page 1 as shown.
    static QString shownAmount(const TfAoiro& window, const QString& number)
    {
        QTableWidget* table = window.page(1);
        for (int r = 0; r < table->rowCount(); ++r)
            if (table->item(r, 1)->text() == number)
                return table->item(r, 3)->text();
        return QStringLiteral("(no line)");
    }
    // Chooses the entry with `data` of a combo box from the keyboard, as a user steps
    // through a closed list with the arrow keys: each step is taken at once.
    static void choose(QComboBox* combo, const QVariant& data)
    {
        const int target = combo->findData(data);
        ASSERT_GE(target, 0);
        combo->setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(QTest::qWaitFor([&] { return combo->hasFocus(); }));
        while (combo->currentIndex() < target)
            QTest::keyClick(combo, Qt::Key_Down);
        while (combo->currentIndex() > target)
            QTest::keyClick(combo, Qt::Key_Up);
    }

    TestDataFolder folder;
    ProgramState state;
    Tdm01Keiri dm{state};
    ScriptedPrompter prompts;
};

} // namespace

TEST_F(BlueReturnWindows, TheClosingMenuOpensTheStatementBesideStepFive)
{
    registerWindows();
    TfKessan menu(dm);
    menu.show();
    ASSERT_TRUE(menu.blueReturnButton()->isEnabled());
    QString title;
    int tabs = 0;
    QTimer::singleShot(0, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* window = qobject_cast<TfAoiro*>(w); window && window->isVisible()) {
                title = window->windowTitle();
                tabs = window->tabs()->count();
                window->close();
            }
    });
    QTest::mouseClick(menu.blueReturnButton(), Qt::LeftButton);
    EXPECT_EQ(title, QStringLiteral("青色申告決算書"));
    EXPECT_EQ(tabs, 4);
    menu.close();
}

TEST_F(BlueReturnWindows, TheFourPagesTheFindingsAndTheDeductionOfTheYear)
{
    TfAoiro window(dm);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(shownAmount(window, QStringLiteral("①")), QStringLiteral("1,342,000"));
    EXPECT_EQ(shownAmount(window, QStringLiteral("㊶")), QStringLiteral("416,900"));
    EXPECT_EQ(shownAmount(window, QStringLiteral("㊷")), QStringLiteral("416,900"));
    EXPECT_TRUE(window.findings()->isVisible());
    EXPECT_TRUE(window.findings()->text().contains(QStringLiteral("260,000円"))) << window.findings()->text().toStdString();

    // Each tab shows its page.
    QTabBar* bar = window.tabs()->tabBar();
    for (int tab = 0; tab < 4; ++tab) {
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(tab).center());
        EXPECT_EQ(window.tabs()->currentIndex(), tab);
    }
    QTableWidget* sheet = window.page(4);
    EXPECT_TRUE(sheet->isVisible());
    int capital = -1;
    for (int r = 0; r < sheet->rowCount(); ++r)
        if (sheet->item(r, 2)->text() == QStringLiteral("元入金"))
            capital = r;
    ASSERT_GE(capital, 0);
    EXPECT_EQ(sheet->item(capital, 3)->text(), QStringLiteral("6,500,000"));

    // 10万円 for the year: stored, and ㊷ follows.
    choose(window.deduction(), qint64(100000));
    EXPECT_EQ(shownAmount(window, QStringLiteral("㊷")), QStringLiteral("100,000"));
    EXPECT_EQ(shownAmount(window, QStringLiteral("㊸")), QStringLiteral("316,900"));
    EXPECT_EQ(readSpecialDeduction(db(), 2024), 100000);
    window.close();
}

TEST_F(BlueReturnWindows, TheAssignmentWindowStoresWhatTheUserChoseAndTheStatementFollows)
{
    TfAoiro statement(dm);
    statement.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&statement));
    bool checked = false;
    QTimer::singleShot(0, [&] {
        auto* window = qobject_cast<TfKessanLine*>(QApplication::activeModalWidget());
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        QComboBox* food = window->lineChoice(QStringLiteral("0411"));
        ASSERT_NE(food, nullptr);
        EXPECT_EQ(food->currentData().toString(), kOffStatementKey);
        window->grid()->scrollToItem(window->grid()->findItems(QStringLiteral("0411"), Qt::MatchExactly).first());
        choose(food, QStringLiteral("e31"));
        EXPECT_EQ(food->currentData().toString(), QStringLiteral("e31"));
        QTest::mouseClick(window->saveButton(), Qt::LeftButton);
        Statement row = db().prepare(QStringLiteral("SELECT kcode, line FROM KessanLine"));
        EXPECT_TRUE(row.step());
        EXPECT_EQ(row.column(0).toString(), QStringLiteral("0411"));
        EXPECT_EQ(row.column(1).toString(), QStringLiteral("e31"));
        EXPECT_FALSE(row.step()) << "only the account moved from its default";

        // "既定に戻す" puts the selected account back (stored with the next 保存).
        QTableWidget* grid = window->grid();
        const QTableWidgetItem* code = grid->findItems(QStringLiteral("0411"), Qt::MatchExactly).first();
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualItemRect(code).center());
        QTest::mouseClick(window->resetButton(), Qt::LeftButton);
        EXPECT_EQ(food->currentData().toString(), kOffStatementKey);
        checked = true;
        window->close();
    });
    QTest::mouseClick(statement.assignmentButton(), Qt::LeftButton);
    ASSERT_TRUE(checked);
    EXPECT_EQ(prompts.texts(ScriptedPrompter::Message::Information), QStringList{QStringLiteral("決算書の科目設定を保存しました。")});
    // Saved with 食費 on 雑費: the statement was computed again, and page 4 names it.
    EXPECT_EQ(shownAmount(statement, QStringLiteral("㉛")), QStringLiteral("121,800"));
    EXPECT_TRUE(statement.findings()->text().contains(QStringLiteral("0411 食費（雑費）"))) << statement.findings()->text().toStdString();
    statement.close();
}

TEST_F(BlueReturnWindows, ThePrintedPagesFollowTheForm)
{
    QTemporaryDir out;
    prompts.reportPdfPath = out.filePath(QStringLiteral("aoiro.pdf"));
    TfAoiro window(dm);
    window.show();
    QTest::mouseClick(window.printButton(), Qt::LeftButton);
    EXPECT_EQ(prompts.pagesRendered, 4);
    EXPECT_EQ(pdfPageSize(prompts.reportPdfPath).contains(QStringLiteral("A4")), true);
    const QStringList pages = pdfPages(prompts.reportPdfPath);
    ASSERT_EQ(pages.size(), 4);
    EXPECT_TRUE(pages[0].contains(QStringLiteral("令和6年分"))) << pages[0].toStdString();
    EXPECT_TRUE(lineStartingWith(pages[0], QStringLiteral("①")).contains(QStringLiteral("1,342,000"))) << pages[0].toStdString();
    EXPECT_TRUE(pages[1].contains(QStringLiteral("850,000")));
    EXPECT_TRUE(pages[2].contains(QStringLiteral("必要経費算入額")));
    EXPECT_TRUE(pages[2].contains(QStringLiteral("260,000円"))) << "the finding is printed on its page";
    EXPECT_TRUE(pages[3].contains(QStringLiteral("6,500,000")));
    window.close();
}

TEST_F(BlueReturnWindows, TheFileHoldsEveryLineAndTheHelpHasItsPage)
{
    QTemporaryDir out;
    const QString path = out.filePath(QStringLiteral("statement.csv"));
    prompts.fileNames = {path};
    TfAoiro window(dm);
    window.show();
    QTest::mouseClick(window.csvButton(), Qt::LeftButton);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_TRUE(bytes.contains("\r\n"));
    const QString text = QStringDecoder("windows-31j").decode(bytes);
    EXPECT_TRUE(text.contains(QStringLiteral("1,売上,①,売上（収入）金額（雑収入を含む）,1342000,\r\n"))) << text.left(400).toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("4,負債・資本の部,,元入金,6500000,6500000"))) << text.toStdString();

    window.helpAction()->trigger();
    const QString page = tolva::testing::shownHelpPage(&window);
    EXPECT_TRUE(page.endsWith(QStringLiteral("help/TfAoiro.html"))) << page.toStdString();
    EXPECT_TRUE(QFile::exists(page));
    window.close();
}
