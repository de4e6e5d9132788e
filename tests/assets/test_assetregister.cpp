#include "aids/tcalcul.h"
#include "app/tmenu.h"
#include "app/windows.h"
#include "assets/tfkobetu.h"
#include "assets/tkoteisisan.h"
#include "tests/assets/assetfixture.h"
#include "tests/support/helpshown.h"
#include "tests/support/scriptedprompter.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QTest>
#include <QTimer>

using namespace tolva;
using tolva::testing::ScriptedPrompter;

namespace {

class AssetRegister : public tolva::testing::AssetBooks {
protected:
    void SetUp() override
    {
        AssetBooks::SetUp();
        state.periodStart = QDate(2024, 4, 1);
        state.periodEnd = QDate(2025, 3, 31);
    }

    // Runs what the window put off until its event loop came round (a cell stored once its
    // editor has closed, then the grid read again), as the loop would, without a clock.
    static void settle()
    {
        for (int round = 0; round < 8; ++round) {
            QCoreApplication::sendPostedEvents();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QCoreApplication::processEvents();
        }
    }

    static void clickRow(QTableView* grid, int row)
    {
        const QRect cell = grid->visualRect(grid->model()->index(row, 0));
        ASSERT_TRUE(cell.isValid()) << row;
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    }

    // Types into the grid's current cell as a user does: the first key opens the cell's editor,
    // the rest go to the editor, and Enter stores it.
    static void typeIntoGrid(QTableView* grid, const QString& text)
    {
        QTest::keyClicks(grid, text.left(1));
        QWidget* editor = QApplication::focusWidget();
        ASSERT_NE(editor, grid);
        QTest::keyClicks(editor, text.mid(1));
        QTest::keyClick(editor, Qt::Key_Return);
    }

    static QString cell(QTableView* grid, int row, int column)
    {
        return grid->model()->index(row, column).data().toString();
    }

    // Clicks "個別処理" and works the dialog it opens with `work`, then presses "閉じる".
    int individual(const Tkoteisisan& w, const std::function<void(TfKobetu&)>& work = {})
    {
        int dialogs = 0;
        QTimer::singleShot(0, [&] {
            for (QWidget* top : QApplication::topLevelWidgets())
                if (auto* d = qobject_cast<TfKobetu*>(top); d && d->isVisible()) {
                    ++dialogs;
                    if (work)
                        work(*d);
                    QTest::mouseClick(d->controls().close, Qt::LeftButton);
                }
        });
        QTest::mouseClick(w.controls().individual, Qt::LeftButton);
        QApplication::processEvents();  // without a dialog the look-out runs now, not later
        return dialogs;
    }

    qint64 count(const QString& sql)
    {
        auto s = db().prepare(sql);
        s.step();
        return s.columnInt(0);
    }

    ScriptedPrompter prompts;
};

} // namespace

TEST_F(AssetRegister, OpensFromTheMainWindowsButton)
{
    addProperty(QStringLiteral("貸家A"));
    registerWindows();
    TMenu menu(folder.path());
    menu.setDataModule(dm);
    menu.show();
    QPushButton* button = menu.button(TMenu::Window::FixedAssets);
    ASSERT_TRUE(button->isEnabled());
    QString caption;
    QString helpPage;
    int properties = -1;
    QTimer::singleShot(0, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* found = qobject_cast<Tkoteisisan*>(w); found && found->isVisible()) {
                caption = found->windowTitle();
                properties = found->controls().propertyGrid->model()->rowCount();
                found->controls().help->trigger();
                helpPage = tolva::testing::shownHelpPage(found);
                QTest::mouseClick(found->controls().close, Qt::LeftButton);
            }
    });
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(caption, QStringLiteral("固定資産"));
    EXPECT_EQ(properties, 1);
    EXPECT_FALSE(dm.t02koteiA.isActive());
    // The page is shown in the program's own help window, without a question.
    EXPECT_TRUE(prompts.openedUrls.empty());
    EXPECT_TRUE(helpPage.endsWith(QStringLiteral("help/Tkoteisisan.html")));
    EXPECT_TRUE(QFile::exists(helpPage));
    menu.close();
}

TEST_F(AssetRegister, TheListsFollowTheRowClickedAndANewItemJoinsTheCurrentProperty)
{
    const int house = addProperty(QStringLiteral("貸家A"));
    const int land = addProperty(QStringLiteral("土地B"));
    const int roof = addItem(house, {QDate(2020, 5, 1), QStringLiteral("01"), QStringLiteral("01"), 1'000'000, 6});
    addItem(house, {QDate(2021, 6, 1), QStringLiteral("01"), QStringLiteral("01"), 500'000, 8});
    addItem(land, {QDate(2019, 1, 10), QStringLiteral("01"), QStringLiteral("01"), 300'000, 3});
    addYearRow(roof, {QDate(2023, 3, 31), 1'000'000, 0.167});
    addYearRow(roof, {QDate(2024, 3, 31), 833'000, 0.167});
    dm.closeAll();

    Tkoteisisan w(dm);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    const auto& c = w.controls();
    EXPECT_EQ(c.properties->button(DbNavigator::Insert)->toolTip(), QStringLiteral("データの追加"));
    ASSERT_EQ(c.propertyGrid->model()->rowCount(), 2);
    EXPECT_EQ(state.currentPropertyId, house);
    EXPECT_EQ(c.itemGrid->model()->rowCount(), 2);
    EXPECT_EQ(state.currentItemId, roof);
    EXPECT_EQ(c.yearGrid->model()->rowCount(), 2);
    // (ﾎ) of the second year: 833,000 × 0.167 = 139,111 → 139,100.
    EXPECT_EQ(cell(c.yearGrid, 1, 4), QStringLiteral("139,100"));

    clickRow(c.propertyGrid, 1);
    EXPECT_EQ(state.currentPropertyId, land);
    EXPECT_EQ(c.itemGrid->model()->rowCount(), 1);
    EXPECT_EQ(cell(c.itemGrid, 0, 0), QStringLiteral("2019/01/10"));
    EXPECT_EQ(c.yearGrid->model()->rowCount(), 0);
    const QString itemCaption = QStringLiteral("2019/01/10 ") + dm.t03koteiB.fieldByName(QStringLiteral("KubunName")).asString()
                                + dm.t03koteiB.fieldByName(QStringLiteral("SyubetuName")).asString();
    EXPECT_EQ(c.yearCaption->text(), QStringLiteral("c:土地B ") + itemCaption + QStringLiteral("償却状況"));
    EXPECT_EQ(c.target->text(), QStringLiteral("土地B ") + itemCaption);

    clickRow(c.propertyGrid, 0);
    clickRow(c.itemGrid, 1);
    EXPECT_EQ(state.currentPropertyId, house);
    EXPECT_NE(state.currentItemId, roof);
    EXPECT_EQ(c.yearGrid->model()->rowCount(), 0);
    clickRow(c.itemGrid, 0);
    EXPECT_EQ(state.currentItemId, roof);
    EXPECT_EQ(c.yearGrid->model()->rowCount(), 2);

    // A new item is appended to the current property: its row waits at the end of the grid,
    // with the keyboard on it, and is stored by its first cell typed.
    QTest::mouseClick(c.items->button(DbNavigator::Insert), Qt::LeftButton);
    ASSERT_EQ(c.itemGrid->model()->rowCount(), 3);
    EXPECT_EQ(c.itemGrid->currentIndex().row(), 2);
    EXPECT_EQ(QApplication::focusWidget(), c.itemGrid);
    c.itemGrid->setCurrentIndex(c.itemGrid->model()->index(2, 0));
    typeIntoGrid(c.itemGrid, QStringLiteral("2024/07/01"));
    settle();
    EXPECT_EQ(dm.t03koteiB.state(), Dataset::State::Browse);
    EXPECT_EQ(dm.t03koteiB.fieldByName(QStringLiteral("AID")).asInteger(), house);
    // The next cell to the right is typed into the same row, now stored.
    QTest::keyClick(c.itemGrid, Qt::Key_Right);
    QTest::keyClick(c.itemGrid, Qt::Key_Right);
    QTest::keyClick(c.itemGrid, Qt::Key_Right);
    EXPECT_EQ(c.itemGrid->currentIndex(), c.itemGrid->model()->index(2, 3));
    typeIntoGrid(c.itemGrid, QStringLiteral("250000"));
    settle();
    EXPECT_EQ(dm.t03koteiB.fieldByName(QStringLiteral("gaku")).asMoney(), Money::fromYen(250'000));
    ASSERT_EQ(c.itemGrid->model()->rowCount(), 3);
    EXPECT_EQ(cell(c.itemGrid, 2, 0), QStringLiteral("2024/07/01"));
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM KoteiB WHERE AID=%1").arg(house)), 3);
    EXPECT_TRUE(prompts.messages.empty());

    // "電卓表示" opens the calculator modally, afresh each time.
    int calculators = 0;
    QTimer::singleShot(0, [&] {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* calc = qobject_cast<TCalcul*>(top); calc && calc->isVisible()) {
                ++calculators;
                EXPECT_EQ(calc->controls().display->text(), QStringLiteral("0"));
                calc->reject();
            }
    });
    QTest::mouseClick(c.calculator, Qt::LeftButton);
    EXPECT_EQ(calculators, 1);
}

TEST_F(AssetRegister, TheYearControlMovesTheTargetByWholeYears)
{
    struct Case {
        QDate start, end;
        int year;
        DepreciationPeriods expected;
    };
    const Case cases[] = {
        {QDate(2024, 4, 1), QDate(2025, 3, 31), 2026,
         {{QDate(2026, 4, 1), QDate(2027, 3, 31)}, {QDate(2025, 4, 1), QDate(2026, 3, 31)}}},
        {QDate(2024, 1, 1), QDate(2024, 12, 31), 1980,
         {{QDate(1980, 1, 1), QDate(1980, 12, 31)}, {QDate(1979, 1, 1), QDate(1979, 12, 31)}}},
        // Ending in February of a leap year: the previous year ends on the 28th.
        {QDate(2023, 3, 1), QDate(2024, 2, 29), 2027,
         {{QDate(2027, 3, 1), QDate(2028, 2, 29)}, {QDate(2026, 3, 1), QDate(2027, 2, 28)}}},
    };
    for (const Case& k : cases) {
        state.periodStart = k.start;
        state.periodEnd = k.end;
        Tkoteisisan w(dm);
        w.show();
        const auto& c = w.controls();
        EXPECT_EQ(c.year->text(), QString::number(k.start.year()));
        EXPECT_EQ(c.yearControl->value(), k.start.year());
        c.yearControl->setValue(k.year);
        EXPECT_EQ(w.periods(), k.expected) << k.year;
        EXPECT_EQ(c.year->text(), QString::number(k.year));
        EXPECT_EQ(c.targetStart->text(), k.expected.target.start.toString(QStringLiteral("yyyy/MM/dd")));
        EXPECT_EQ(c.targetEnd->text(), k.expected.target.end.toString(QStringLiteral("yyyy/MM/dd")));
        EXPECT_EQ(state.periodStart, k.start);  // the shared period stays
        w.close();
    }
    Tkoteisisan w(dm);
    w.show();
    w.controls().yearControl->setValue(2200);
    EXPECT_EQ(w.controls().yearControl->value(), 2100);
}

// The yearly caption is a title until there is an item to describe; the target year steps by
// a horizontal pair of arrows, earlier on the left.
TEST_F(AssetRegister, AnEmptyRegisterKeepsTheYearlyTitleAndTheYearStepsSideways)
{
    Tkoteisisan w(dm);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    const auto& c = w.controls();
    EXPECT_EQ(c.yearCaption->text(), QStringLiteral("C:内訳毎の償却状況"));

    QWidget* down = c.yearControl->downButton();
    QWidget* up = c.yearControl->upButton();
    EXPECT_LT(down->mapTo(&w, QPoint(0, 0)).x(), up->mapTo(&w, QPoint(0, 0)).x());
    EXPECT_EQ(down->mapTo(&w, QPoint(0, 0)).y(), up->mapTo(&w, QPoint(0, 0)).y());
    QTest::mouseClick(up, Qt::LeftButton);
    EXPECT_EQ(c.year->text(), QStringLiteral("2025"));
    EXPECT_EQ(c.targetStart->text(), QStringLiteral("2025/04/01"));
    QTest::mouseClick(down, Qt::LeftButton);
    QTest::mouseClick(down, Qt::LeftButton);
    EXPECT_EQ(c.year->text(), QStringLiteral("2023"));
    EXPECT_EQ(c.targetEnd->text(), QStringLiteral("2024/03/31"));
}

// The depreciation dialog opens at one size whatever the figures of the item, and short enough
// to stand beside the register rather than run down the screen.
TEST_F(AssetRegister, TheDepreciationDialogOpensAtOneSize)
{
    const int house = addProperty(QStringLiteral("貸家A"));
    const int roof = addItem(house, {QDate(2020, 5, 1), QStringLiteral("01"), QStringLiteral("01"), 987'654'321, 6});
    addYearRow(roof, {QDate(2024, 3, 31), 987'654'321, 0.167});
    addItem(house, {QDate(2024, 6, 1), QStringLiteral("01"), QStringLiteral("01"), 1'000, 8, QStringLiteral("02")});
    dm.closeAll();

    Tkoteisisan w(dm);
    w.show();
    const auto& c = w.controls();
    QList<QSize> sizes;
    for (int row = 0; row < 2; ++row) {
        clickRow(c.itemGrid, row);
        EXPECT_EQ(individual(w, [&](TfKobetu& d) { sizes << d.size(); }), 1);
    }
    ASSERT_EQ(sizes.size(), 2);
    EXPECT_EQ(sizes[0], sizes[1]);
    EXPECT_LT(sizes[0].height(), 560);
}

TEST_F(AssetRegister, IndividualProcessingMakesTheYearsRowOnceAndShowsIt)
{
    const int house = addProperty(QStringLiteral("貸家A"));
    const int roof = addItem(house, {QDate(2020, 5, 1), QStringLiteral("01"), QStringLiteral("01"), 1'000'000, 6});
    addYearRow(roof, {QDate(2024, 3, 31), 1'000'000, 0.167});
    dm.closeAll();

    Tkoteisisan w(dm);
    w.show();
    const auto& c = w.controls();
    ASSERT_EQ(state.currentItemId, roof);

    // An item appended but not saved has no id: nothing is made and the dialog stays shut.
    QTest::mouseClick(c.items->button(DbNavigator::Insert), Qt::LeftButton);
    EXPECT_EQ(state.currentItemId, 0);
    EXPECT_EQ(individual(w), 0);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, Tdm01Keiri::kYearRowWithoutItem);
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM KoteiC")), 1);
    prompts.messages.clear();
    QTest::mouseClick(c.items->button(DbNavigator::Cancel), Qt::LeftButton);
    ASSERT_EQ(state.currentItemId, roof);

    EXPECT_EQ(individual(w), 1);
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM KoteiC WHERE Bid=%1").arg(roof)), 2);
    EXPECT_EQ(dm.t04koteiC.fieldByName(QStringLiteral("dateB")).asDate(), QDate(2025, 3, 31));
    ASSERT_EQ(c.yearGrid->model()->rowCount(), 2);
    EXPECT_EQ(c.yearGrid->selectionModel()->selectedRows().value(0).row(), 1);

    // Pressed again for the same year it reuses the row; a year later makes another.
    EXPECT_EQ(individual(w), 1);
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM KoteiC WHERE Bid=%1").arg(roof)), 2);
    c.yearControl->setValue(2025);
    EXPECT_EQ(individual(w), 1);
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM KoteiC WHERE Bid=%1").arg(roof)), 3);
    EXPECT_EQ(dm.t04koteiC.fieldByName(QStringLiteral("dateB")).asDate(), QDate(2026, 3, 31));
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(AssetRegister, RecalculationChainsTheYearBeforeAndClosingWithoutItDiscards)
{
    const int house = addProperty(QStringLiteral("貸家A"));
    // Straight line, 6 years, acquired after March 2007: 0.167.
    const int roof = addItem(house, {QDate(2020, 5, 1), QStringLiteral("01"), QStringLiteral("01"), 1'000'000, 6});
    addYearRow(roof, {QDate(2024, 3, 31), 1'000'000, 0.167});  // leaves 833,000
    const int fence = addItem(house, {QDate(2024, 6, 1), QStringLiteral("01"), QStringLiteral("01"), 123'456, 8,
                                      QStringLiteral("02")});
    dm.closeAll();

    Tkoteisisan w(dm);
    w.show();
    const auto& c = w.controls();
    Table& y = dm.t04koteiC;
    auto figure = [&](const char* field) { return y.fieldByName(QString::fromLatin1(field)).asMoney(); };

    // Typed text without "再計算": closing asks whether to save it, and いいえ throws it away.
    prompts.choices = {Prompter::Answer::No};
    EXPECT_EQ(individual(w, [](TfKobetu& d) { d.controls().memo->setTypedText(QStringLiteral("屋根")); }), 1);
    EXPECT_TRUE(prompts.choices.empty());
    EXPECT_EQ(y.state(), Dataset::State::Browse);
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM KoteiC WHERE tekiyou IS NOT NULL")), 0);

    QString previousRate, previousBalance, property, helpPage;
    individual(w, [&](TfKobetu& d) {
        previousRate = d.controls().previousRate->text();
        previousBalance = d.controls().previousEndBalance->text();
        property = d.controls().property->text();
        d.controls().help->trigger();
        helpPage = tolva::testing::shownHelpPage(&d);
        EXPECT_FALSE(d.controls().price->isEnabled());
        d.controls().base->setTypedText(QStringLiteral("5"));  // replaced by the chain
        d.controls().memo->setTypedText(QStringLiteral("屋根"));
        QTest::mouseClick(d.controls().recalc, Qt::LeftButton);
        EXPECT_TRUE(d.recalcDone());
    });
    EXPECT_EQ(previousRate, QStringLiteral("0.167"));
    EXPECT_EQ(previousBalance, QStringLiteral("833000"));
    EXPECT_EQ(property, QStringLiteral("貸家A"));
    EXPECT_TRUE(QFile::exists(helpPage));
    EXPECT_TRUE(helpPage.endsWith(QStringLiteral("help/TfKobetu.html")));
    EXPECT_EQ(y.state(), Dataset::State::Browse);
    EXPECT_EQ(y.fieldByName(QStringLiteral("SMonth")).asInteger(), 12);
    EXPECT_EQ(y.fieldByName(QStringLiteral("kashitukeR")).asInteger(), 100);
    EXPECT_EQ(y.fieldByName(QStringLiteral("tekiyou")).asString(), QStringLiteral("屋根"));
    EXPECT_EQ(figure("zandakaK"), Money::fromYen(833'000));
    EXPECT_DOUBLE_EQ(y.fieldByName(QStringLiteral("SRate")).asFloat(), 0.167);
    EXPECT_EQ(figure("FutuuSyoukyaku"), Money::fromYen(139'100));  // 833,000 × 0.167 = 139,111
    EXPECT_EQ(figure("kimatuZan"), Money::fromYen(693'900));

    // No year before: the base is the price; another method keeps the rate typed.
    clickRow(c.itemGrid, 1);
    ASSERT_EQ(state.currentItemId, fence);
    individual(w, [&](TfKobetu& d) {
        previousRate = d.controls().previousRate->text();
        previousBalance = d.controls().previousEndBalance->text();
        d.controls().rate->setTypedText(QStringLiteral("0.167"));
        d.controls().months->setTypedText(QStringLiteral("10"));
        d.controls().share->setTypedText(QStringLiteral("60"));
        QTest::mouseClick(d.controls().recalc, Qt::LeftButton);
    });
    EXPECT_EQ(previousRate, QStringLiteral("0"));
    EXPECT_EQ(previousBalance, QStringLiteral("0"));
    EXPECT_EQ(figure("zandakaK"), Money::fromYen(123'456));
    EXPECT_DOUBLE_EQ(y.fieldByName(QStringLiteral("SRate")).asFloat(), 0.167);
    EXPECT_EQ(y.fieldByName(QStringLiteral("SMonth")).asInteger(), 10);
    EXPECT_EQ(y.fieldByName(QStringLiteral("kashitukeR")).asInteger(), 60);
    // 123,456 × 0.167 × 10 / 12 = 17,180.96 → 17,100; at 60 %: 10,260 → 10,200.
    EXPECT_EQ(figure("FutuuSyoukyaku"), Money::fromYen(17'100));
    EXPECT_EQ(figure("HonnenK"), Money::fromYen(10'200));
    // Only the question on closing with typed text was asked: help asks nothing.
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].kind, ScriptedPrompter::Message::Question);
    EXPECT_EQ(prompts.messages[0].text, QStringLiteral("保存しますか？"));
}

TEST_F(AssetRegister, AGridCellEditsItsRowAndAnUnknownCategoryIsRefused)
{
    const int house = addProperty(QStringLiteral("貸家A"));
    addItem(house, {QDate(2020, 5, 1), QStringLiteral("01"), QStringLiteral("01"), 1'000'000, 6});
    dm.closeAll();

    Tkoteisisan w(dm);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    const auto& c = w.controls();

    // Typed into the cell as a user would: a click, F2, the text, Enter.
    const QModelIndex name = c.propertyGrid->model()->index(0, 0);
    clickRow(c.propertyGrid, 0);
    QTest::keyClick(c.propertyGrid, Qt::Key_F2);
    QWidget* editor = QApplication::focusWidget();
    ASSERT_NE(editor, nullptr);
    ASSERT_TRUE(qobject_cast<QLineEdit*>(editor)) << editor->metaObject()->className();
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(editor, QStringLiteral("Villa"));
    EXPECT_EQ(qobject_cast<QLineEdit*>(editor)->text(), QStringLiteral("Villa"));
    QTest::keyClick(editor, Qt::Key_Return);
    QApplication::processEvents();  // the delegate commits the cell after the key
    EXPECT_EQ(name.data().toString(), QStringLiteral("Villa"));
    EXPECT_EQ(dm.t02koteiA.fieldByName(QStringLiteral("name")).asString(), QStringLiteral("Villa"));
    EXPECT_EQ(CurrentPropertyName, QStringLiteral("Villa"));

    QAbstractItemModel* items = c.itemGrid->model();
    EXPECT_FALSE(items->setData(items->index(0, 1), QStringLiteral("zz")));
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, QStringLiteral("区分が無効です"));
    EXPECT_EQ(dm.t03koteiB.fieldByName(QStringLiteral("kubun")).asString(), QStringLiteral("01"));
    dm.t03koteiB.cancel();
}

TEST_F(AssetRegister, TheLookupColumnsDropDownTheirListsAndTakeTheChoiceAsACode)
{
    const int house = addProperty(QStringLiteral("貸家A"));
    addItem(house, {QDate(2020, 5, 1), QStringLiteral("01"), QStringLiteral("01"), 1'000'000, 6});
    dm.closeAll();

    Tkoteisisan w(dm);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    QTableView* grid = w.controls().itemGrid;
    Table& b = dm.t03koteiB;

    // Opens the cell's editor with F2 and hands over its drop-down list.
    const auto dropDown = [&](int column) -> QComboBox* {
        grid->setCurrentIndex(grid->model()->index(0, column));
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_F2);
        QWidget* focus = QApplication::focusWidget();
        for (QWidget* w = focus; w; w = w->parentWidget())
            if (auto* box = qobject_cast<QComboBox*>(w))
                return box;
        ADD_FAILURE() << "no drop-down for column " << column << ": " << (focus ? focus->metaObject()->className() : "none");
        return nullptr;
    };
    const auto choose = [&](QComboBox* box, const QString& name) {
        const int at = box->findText(name);
        ASSERT_GE(at, 0) << name.toStdString();
        box->setCurrentIndex(at);
        QTest::keyClick(box->isEditable() ? static_cast<QWidget*>(box->lineEdit()) : box, Qt::Key_Return);
        settle();  // the cell is stored, then the grid read again
    };

    struct Case {
        int column;
        const char* name;  // chosen from the list
        const char* field;
        const char* code;  // stored
    };
    for (const Case& c : {Case{1, "貸付用", "kubun", "03"}, Case{2, "車両運搬具", "syubetu", "05"},
                          Case{7, "定率法", "syukyakuH", "02"}}) {
        SCOPED_TRACE(c.field);
        QComboBox* box = dropDown(c.column);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->isEditable(), c.column == 1);  // only the category takes a typed code
        choose(box, QString::fromUtf8(c.name));
        EXPECT_EQ(b.fieldByName(QString::fromUtf8(c.field)).asString(), QString::fromUtf8(c.code));
        EXPECT_EQ(cell(grid, 0, c.column), QString::fromUtf8(c.name));
    }
    auto stored = db().prepare(QStringLiteral("SELECT kubun || syubetu || syukyakuH FROM KoteiB"));
    ASSERT_TRUE(stored.step());
    EXPECT_EQ(stored.column(0).toString(), QStringLiteral("030502"));
    stored = {};
    EXPECT_TRUE(prompts.messages.empty());

    // A code typed into the category is checked; an unknown one is refused and nothing changes.
    QComboBox* box = dropDown(1);
    ASSERT_NE(box, nullptr);
    QTest::keyClick(box->lineEdit(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(box->lineEdit(), QStringLiteral("99"));
    QTest::keyClick(box->lineEdit(), Qt::Key_Return);
    settle();
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, QStringLiteral("区分が無効です"));
    b.cancel();
    EXPECT_EQ(b.fieldByName(QStringLiteral("kubun")).asString(), QStringLiteral("03"));
}
