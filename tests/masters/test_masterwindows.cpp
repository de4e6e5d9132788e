#include "db/querymodel.h"
#include "journal/tmaininput.h"
#include "masters/tftableb.h"
#include "masters/tftablek.h"
#include "masters/tftablek_t2.h"
#include "masters/tftablem.h"
#include "tests/masters/masterfixture.h"

#include <QAction>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>

using namespace tolva;
using tolva::testing::MasterWindowTest;

namespace {

void reopen(Table& table, const QString& name)
{
    table.close();
    table.setTableName(name);
    table.open();
}

void reopen(Query& query, const QString& sql)
{
    query.close();
    query.setSql(sql);
    query.open();
}

// Journal rows that use the food account with two of its sub-accounts, the cash account, a
// use and one of its categories.
const QString kFoodRows = QStringLiteral(
    "INSERT INTO shiwake (sDay, Lbunrui, Lcode, LScode, Lgaku, Rbunrui, Rcode, RScode, Rgaku, yoto, kubun, syori) VALUES "
    "('2010-04-01', '04', '0411', '041101', 10000000, '11', '1111', '', 10000000, '01', '0101', 10),"
    "('2010-04-02', '04', '0411', '041102', 20000000, '11', '1111', '', 20000000, '01', '0101', 10)");

// What the main window's buttons prepare before each window is shown.
class MasterWindows : public MasterWindowTest {
protected:
    TfTableK& openAccounts()
    {
        auto w = std::make_unique<TfTableK>(dm);
        dm.t05Kamoku.open();
        dm.q03bunruiL.open();
        return show(std::move(w));
    }
    TfTableM& openCategories()
    {
        reopen(dm.t06temp1, QStringLiteral("bunrui"));
        reopen(dm.q24bunrui, QStringLiteral("select * from bunrui order by code"));
        return show(std::make_unique<TfTableM>(dm));
    }
    TfTableB& openSubAccounts()
    {
        reopen(dm.t06temp1, QStringLiteral("kamoku02"));
        reopen(dm.q16temp1, QStringLiteral("select * from kamoku order by code"));
        reopen(dm.q24bunrui, QStringLiteral("select * from bunrui order by code"));
        return show(std::make_unique<TfTableB>(dm));
    }
    TfTableK_T2& openUses()
    {
        reopen(dm.t06temp1, QStringLiteral("kubun"));
        reopen(dm.q25kamoku2, QStringLiteral("select code,Name from yoto order by code"));
        return show(std::make_unique<TfTableK_T2>(dm));
    }
};

QStringList codesOf(const QStringList& items, int length)
{
    QStringList codes;
    for (const QString& item : items)
        codes << item.left(length);
    return codes;
}

} // namespace

// --- 勘定科目 ------------------------------------------------------------------------------

TEST_F(MasterWindows, AccountsAreFoundThroughTheirCategory)
{
    exec(QStringLiteral("INSERT INTO Bunrui (code, Name, BP, LR) VALUES ('05', '予備', '2', '1')"));
    TfTableK& w = openAccounts();
    const auto& ui = w.controls();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("勘定科目"));
    EXPECT_EQ(items(ui.categories).value(0), QStringLiteral("01 収益"));
    EXPECT_EQ(items(ui.categories).size(), 13);
    EXPECT_TRUE(ui.categories->selectedItems().isEmpty());
    EXPECT_EQ(ui.accounts->count(), 0);
    EXPECT_TRUE(w.selectedCategory().isEmpty());

    clickItem(ui.categories, QStringLiteral("03 "));
    EXPECT_EQ(w.selectedCategory(), QStringLiteral("03"));
    const QStringList accounts = items(ui.accounts);
    ASSERT_EQ(accounts.size(), 23);
    EXPECT_EQ(accounts.first(), QStringLiteral("0311 仕入高"));
    EXPECT_EQ(accounts.last(), QStringLiteral("0399 雑費"));
    QStringList sorted = codesOf(accounts, 4);
    sorted.sort();
    EXPECT_EQ(codesOf(accounts, 4), sorted);
    EXPECT_TRUE(ui.accounts->selectedItems().isEmpty());

    clickItem(ui.accounts, QStringLiteral("0316 "));
    EXPECT_EQ(dm.t05Kamoku.fieldByName("code").asString(), QStringLiteral("0316"));
    EXPECT_EQ(ui.name->text(), QStringLiteral("通信費"));
    EXPECT_EQ(ui.category->currentText(), QStringLiteral("費用"));

    clickItem(ui.categories, QStringLiteral("05 "));
    EXPECT_EQ(ui.accounts->count(), 0) << "a category without accounts";
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(MasterWindows, AnAccountIsPostedOnlyWhenItsBoxesAndCodeAreRight)
{
    TfTableK& w = openAccounts();
    const auto& ui = w.controls();
    struct Case {
        const char* code;
        const char* name;
        const char* category;  // chosen in the drop-down; empty: none
        const char* message;
    };
    const Case cases[] = {
        {"", "", "", "ｺｰﾄﾞが指定されていません"},  // the first failing check only
        {"", "新科目", "03", "ｺｰﾄﾞが指定されていません"},
        {"0340", "", "", "科目名が指定されていません"},
        {"0340", "新科目", "", "区分が指定されていません"},
        {"0440", "新科目", "03", "科目コード「0440」は区分コード「03」で始まる4文字で指定してください。"},
        {"340", "新科目", "03", "科目コード「340」は区分コード「03」で始まる4文字で指定してください。"},
        {"0311", "新科目", "03", "科目コード「0311」は既に「仕入高」に使われています。別のコードを指定してください。"},
    };
    const qint64 before = dm.t05Kamoku.recordCount();
    for (const Case& c : cases) {
        prompts.messages.clear();
        press(ui.navigator, DbNavigator::Insert);
        type(ui.code, QString::fromUtf8(c.code));
        type(ui.name, QString::fromUtf8(c.name));
        if (*c.category)
            ui.category->choose(QString::fromUtf8(c.category));
        press(ui.navigator, DbNavigator::Post);
        EXPECT_EQ(messages(), QStringList{QString::fromUtf8(c.message)}) << c.code << " " << c.name;
        EXPECT_TRUE(errors().isEmpty()) << "no raw store error";
        EXPECT_EQ(dm.t05Kamoku.state(), Dataset::State::Insert) << "the new record stays open for editing";
        press(ui.navigator, DbNavigator::Cancel);
    }
    dm.t05Kamoku.refresh();
    EXPECT_EQ(dm.t05Kamoku.recordCount(), before);
}

TEST_F(MasterWindows, ANewAccountIsListedInItsPlaceAndMovesWithItsCategory)
{
    TfTableK& w = openAccounts();
    const auto& ui = w.controls();
    clickItem(ui.categories, QStringLiteral("03 "));

    press(ui.navigator, DbNavigator::Insert);
    type(ui.code, QStringLiteral("0340"));
    type(ui.name, QStringLiteral("O'Brien \"商店\" 払い"));
    ui.category->choose(QStringLiteral("03"));
    EXPECT_EQ(items(ui.accounts).filter(QStringLiteral("0340")).size(), 0) << "listed only once posted";
    press(ui.navigator, DbNavigator::Post);
    EXPECT_TRUE(prompts.messages.empty()) << messages().join(u'\n').toStdString();
    const QStringList listed = items(ui.accounts);
    const int at = listed.indexOf(QStringLiteral("0340 O'Brien \"商店\" 払い"));
    ASSERT_GT(at, 0) << listed.join(u'|').toStdString();
    EXPECT_EQ(listed.at(at - 1).left(4), QStringLiteral("0332"));
    EXPECT_EQ(listed.at(at + 1).left(4), QStringLiteral("0399"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT kamoku FROM Kamoku WHERE code = '0340'")), QStringLiteral("O'Brien \"商店\" 払い"));

    // The code is cut back from the item by its length, whatever the name holds.
    clickItem(ui.accounts, QStringLiteral("0311 "));
    clickItem(ui.accounts, QStringLiteral("0340 "));
    EXPECT_EQ(ui.code->text(), QStringLiteral("0340"));

    // To another category: code and category change together, and it leaves the old list.
    type(ui.code, QStringLiteral("0440"));
    ui.category->choose(QStringLiteral("04"));
    press(ui.navigator, DbNavigator::Post);
    EXPECT_TRUE(prompts.messages.empty()) << messages().join(u'\n').toStdString();
    EXPECT_TRUE(items(ui.accounts).filter(QStringLiteral("O'Brien")).isEmpty());
    clickItem(ui.categories, QStringLiteral("04 "));
    EXPECT_EQ(items(ui.accounts).filter(QStringLiteral("O'Brien")), QStringList{QStringLiteral("0440 O'Brien \"商店\" 払い")});
}

TEST_F(MasterWindows, AnAccountTheJournalUsesKeepsItsCodeAndIsNotDeleted)
{
    exec(kFoodRows);
    TfTableK& w = openAccounts();
    const auto& ui = w.controls();
    clickItem(ui.categories, QStringLiteral("04 "));
    clickItem(ui.accounts, QStringLiteral("0411 "));

    press(ui.navigator, DbNavigator::Delete);
    EXPECT_TRUE(questions().isEmpty()) << "refused before asking";
    EXPECT_EQ(messages(), QStringList{QStringLiteral("科目「0411 食費」は仕訳 2 件で使われているため削除できません。\n"
                                                     "名前を変えるだけなら、削除せずに名前を書き換えて保存してください。")});
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM Kamoku WHERE code = '0411'")), QStringLiteral("1"));

    prompts.messages.clear();
    type(ui.code, QStringLiteral("0410"));
    press(ui.navigator, DbNavigator::Post);
    EXPECT_EQ(messages(), QStringList{QStringLiteral("科目「0411 食費」は仕訳 2 件で使われているため、コードを「0410」に変えることはできません。\n"
                                                     "名前を変えるだけなら、コードは「0411」のままにしてください。")});
    EXPECT_EQ(dm.t05Kamoku.state(), Dataset::State::Edit);
    press(ui.navigator, DbNavigator::Cancel);

    // Renaming is what the message offers, and it is kept.
    prompts.messages.clear();
    type(ui.name, QStringLiteral("食料費"));
    press(ui.navigator, DbNavigator::Post);
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(items(ui.accounts).value(0), QStringLiteral("0411 食料費"));

    // An unused account goes after the question, and the list follows.
    clickItem(ui.accounts, QStringLiteral("0412 "));
    prompts.answers = {true};
    press(ui.navigator, DbNavigator::Delete);
    EXPECT_EQ(questions(), QStringList{QStringLiteral("レコードを削除してもよいですか？")});
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM Kamoku WHERE code = '0412'")), QStringLiteral("0"));
    EXPECT_TRUE(items(ui.accounts).filter(QStringLiteral("0412")).isEmpty());
    EXPECT_EQ(items(ui.accounts).value(1).left(4), QStringLiteral("0413"));
}

TEST_F(MasterWindows, LeavingAnEditedAccountNeverStoresACodeTheListsCannotCut)
{
    TfTableK& w = openAccounts();
    const auto& ui = w.controls();
    clickItem(ui.categories, QStringLiteral("04 "));
    clickItem(ui.accounts, QStringLiteral("0412 "));
    type(ui.code, QStringLiteral("412"));
    type(ui.name, QStringLiteral("日用品"));
    // Moving off a record posts it without the window's own checks, but not past the books'.
    clickItem(ui.accounts, QStringLiteral("0413 "));
    EXPECT_EQ(messages(), QStringList{QStringLiteral("科目コード「412」は区分コード「04」で始まる4文字で指定してください。")});
    EXPECT_EQ(dm.t05Kamoku.state(), Dataset::State::Edit);
    EXPECT_EQ(scalar(QStringLiteral("SELECT kamoku FROM Kamoku WHERE code = '0412'")), QStringLiteral("日用品費"));

    prompts.messages.clear();
    type(ui.code, QStringLiteral("0412"));
    clickItem(ui.accounts, QStringLiteral("0413 "));
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(dm.t05Kamoku.fieldByName("code").asString(), QStringLiteral("0413"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT kamoku FROM Kamoku WHERE code = '0412'")), QStringLiteral("日用品"));
}

// --- 勘定区分 ------------------------------------------------------------------------------

TEST_F(MasterWindows, CategoriesShowTheirStatementAndSide)
{
    exec(QStringLiteral("INSERT INTO Bunrui (code, Name, BP, LR) VALUES ('99', '古い区分', '9', '')"));
    TfTableM& w = openCategories();
    const auto& ui = w.controls();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("勘定区分"));
    for (DbNavigator::Button hidden : {DbNavigator::First, DbNavigator::Prior, DbNavigator::Next, DbNavigator::Last, DbNavigator::Refresh})
        EXPECT_FALSE(ui.navigator->button(hidden)->isVisible());
    EXPECT_EQ(ui.statement->title(), QStringLiteral("属性BP"));
    EXPECT_EQ(ui.side->button(1)->text(), QStringLiteral("貸方"));
    const QHeaderView* header = ui.list->horizontalHeader();
    EXPECT_EQ(w.listModel()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("項目"));
    EXPECT_GE(header->sectionSize(1), 120);

    // A click on any cell of a row, the name column too, brings its category into the editor.
    struct Case {
        const char* code;
        int statement;
        int side;
    };
    for (const Case c : {Case{"01", 1, 1}, Case{"11", 0, 0}, Case{"41", 2, 2}, Case{"99", -1, -1}}) {
        int row = -1;
        for (int r = 0; r < w.listModel()->rowCount(); ++r)
            if (w.listModel()->data(w.listModel()->index(r, 0)).toString() == QString::fromLatin1(c.code))
                row = r;
        ASSERT_GE(row, 0) << c.code;
        const QModelIndex name = w.listModel()->index(row, 1);
        ui.list->scrollTo(name);
        QTest::mouseClick(ui.list->viewport(), Qt::LeftButton, {}, ui.list->visualRect(name).center());
        EXPECT_EQ(ui.code->text(), QString::fromLatin1(c.code));
        EXPECT_EQ(ui.statement->chosenIndex(), c.statement) << c.code;
        EXPECT_EQ(ui.side->chosenIndex(), c.side) << c.code;
    }
}

TEST_F(MasterWindows, ANewCategoryIsListedInCodeOrderRightAfterPosting)
{
    TfTableM& w = openCategories();
    const auto& ui = w.controls();
    auto listedCodes = [&] {
        QStringList codes;
        for (int r = 0; r < w.listModel()->rowCount(); ++r)
            codes << w.listModel()->data(w.listModel()->index(r, 0)).toString();
        return codes;
    };
    press(ui.navigator, DbNavigator::Insert);
    type(ui.code, QStringLiteral("16"));
    type(ui.name, QStringLiteral("投資"));
    QTest::mouseClick(ui.statement->button(0), Qt::LeftButton);
    QTest::mouseClick(ui.side->button(0), Qt::LeftButton);
    press(ui.navigator, DbNavigator::Post);
    EXPECT_TRUE(prompts.messages.empty()) << messages().join(u'\n').toStdString();
    const QStringList codes = listedCodes();
    ASSERT_TRUE(codes.contains(QStringLiteral("16")));
    EXPECT_EQ(codes.at(codes.indexOf(QStringLiteral("16")) - 1), QStringLiteral("15"));
    EXPECT_EQ(codes.at(codes.indexOf(QStringLiteral("16")) + 1), QStringLiteral("21"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT BP || LR FROM Bunrui WHERE code = '16'")), QStringLiteral("11"));

    // A code that reads as no positive number does not refresh the list while it is typed,
    // but once posted it is listed like any other.
    press(ui.navigator, DbNavigator::Insert);
    type(ui.code, QStringLiteral("00"));
    type(ui.name, QStringLiteral("予備"));
    EXPECT_EQ(listedCodes().value(0), QStringLiteral("01"));
    press(ui.navigator, DbNavigator::Post);
    EXPECT_EQ(listedCodes().value(0), QStringLiteral("00"));

    struct Case {
        const char* code;
        const char* message;
    };
    for (const Case c : {Case{"1", "区分コード「1」は2文字で指定してください。"}, Case{"", "区分コードは2文字で指定してください。"},
                         Case{"15", "区分コード「15」は既に「資本」に使われています。別のコードを指定してください。"}}) {
        prompts.messages.clear();
        press(ui.navigator, DbNavigator::Insert);
        type(ui.code, QString::fromUtf8(c.code));
        press(ui.navigator, DbNavigator::Post);
        EXPECT_EQ(messages(), QStringList{QString::fromUtf8(c.message)});
        EXPECT_EQ(dm.t06temp1.state(), Dataset::State::Insert);
        press(ui.navigator, DbNavigator::Cancel);
    }
}

TEST_F(MasterWindows, ACategoryWhoseAccountsTheJournalUsesIsNotDeleted)
{
    exec(kFoodRows);
    exec(QStringLiteral("INSERT INTO Bunrui (code, Name, BP, LR) VALUES ('16', '投資', '1', '1')"));
    TfTableM& w = openCategories();
    const auto& ui = w.controls();
    ASSERT_TRUE(dm.t06temp1.locate("code", QStringLiteral("04")));
    press(ui.navigator, DbNavigator::Delete);
    EXPECT_EQ(messages(), QStringList{QStringLiteral("科目区分「04 家計費」は仕訳 2 件で使われているため削除できません。\n"
                                                     "名前を変えるだけなら、削除せずに名前を書き換えて保存してください。")});
    EXPECT_TRUE(questions().isEmpty());

    ASSERT_TRUE(dm.t06temp1.locate("code", QStringLiteral("16")));
    prompts.answers = {true};
    press(ui.navigator, DbNavigator::Delete);
    EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM Bunrui")), QStringLiteral("12"));
    EXPECT_EQ(w.listModel()->rowCount(), 12);
}

// --- 詳細項目 ------------------------------------------------------------------------------

TEST_F(MasterWindows, SubAccountsAreFoundThroughCategoryAndAccount)
{
    TfTableB& w = openSubAccounts();
    const auto& ui = w.controls();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("詳細項目"));
    EXPECT_EQ(ui.categories->count(), 12);
    EXPECT_EQ(ui.accounts->count(), 0);
    EXPECT_EQ(ui.subAccounts->count(), 0);
    // The first row, 031401 of account 0314, offers the accounts of its category.
    EXPECT_EQ(ui.account->currentText(), QStringLiteral("水道光熱費"));

    clickItem(ui.categories, QStringLiteral("11 "));
    EXPECT_EQ(items(ui.accounts).value(1), QStringLiteral("1112 普通預金"));
    clickItem(ui.accounts, QStringLiteral("1112 "));
    EXPECT_EQ(w.SelectedAccountCode(), QStringLiteral("1112"));
    EXPECT_EQ(items(ui.subAccounts), (QStringList{QStringLiteral("111201 メインバンク"), QStringLiteral("111202 給与振込口座"),
                                                  QStringLiteral("111203 ゆうちょ銀行")}));
    clickItem(ui.subAccounts, QStringLiteral("111202 "));
    EXPECT_EQ(ui.code->text(), QStringLiteral("111202"));
    EXPECT_EQ(ui.account->currentText(), QStringLiteral("普通預金"));
    EXPECT_EQ(ui.category->currentText(), QStringLiteral("流動資産"));

    // A category click empties the sub-accounts and keeps the account chosen.
    clickItem(ui.categories, QStringLiteral("13 "));
    EXPECT_EQ(ui.subAccounts->count(), 0);
    EXPECT_EQ(w.SelectedAccountCode(), QStringLiteral("1112"));

    // Choosing a category in the "区分" box offers its accounts in order of code.
    ui.category->choose(QStringLiteral("04"));
    ASSERT_EQ(ui.account->count(), 16);
    for (int i = 0; i < ui.account->count(); ++i)
        EXPECT_TRUE(ui.account->itemData(i).toString().startsWith(QStringLiteral("04")));
    EXPECT_EQ(ui.account->itemData(15).toString(), QStringLiteral("0499"));
    press(ui.navigator, DbNavigator::Cancel);
}

TEST_F(MasterWindows, ASubAccountIsPostedOnlyWhenItsBoxesAndCodeAreRight)
{
    TfTableB& w = openSubAccounts();
    const auto& ui = w.controls();
    struct Case {
        const char* code;
        const char* name;
        const char* category;  // chosen in "区分"; empty: none
        const char* account;   // chosen in "科目"; empty: none
        const char* message;   // nullptr: posted
    };
    const Case cases[] = {
        {"", "楽天", "11", "1112", "ｺｰﾄﾞが指定されていません"},
        {"111204", "", "11", "1112", "細目名が指定されていません"},
        {"111204", "楽天", "11", "", "区分が指定されていません"},
        {"111304", "楽天", "11", "1112", "細目コード「111304」は科目コード「1112」で始まる6文字で指定してください。"},
        {"111201", "楽天", "11", "1112", "細目コード「111201」は既に「メインバンク」に使われています。別のコードを指定してください。"},
        // The category box itself is not checked: the row's accounts are those last offered.
        {"031404", "灯油代", "", "0314", nullptr},
        {"111204", "楽天", "11", "1112", nullptr},
    };
    for (const Case& c : cases) {
        prompts.messages.clear();
        press(ui.navigator, DbNavigator::Insert);
        type(ui.code, QString::fromUtf8(c.code));
        type(ui.name, QString::fromUtf8(c.name));
        if (*c.category)
            ui.category->choose(QString::fromUtf8(c.category));
        if (*c.account)
            ui.account->choose(QString::fromUtf8(c.account));
        press(ui.navigator, DbNavigator::Post);
        if (c.message) {
            EXPECT_EQ(messages(), QStringList{QString::fromUtf8(c.message)}) << c.code;
            EXPECT_EQ(dm.t06temp1.state(), Dataset::State::Insert);
            press(ui.navigator, DbNavigator::Cancel);
        } else {
            EXPECT_TRUE(prompts.messages.empty()) << c.code << messages().join(u'\n').toStdString();
            EXPECT_EQ(dm.t06temp1.state(), Dataset::State::Browse);
        }
    }
    EXPECT_EQ(scalar(QStringLiteral("SELECT bunrui || '/' || ifnull(kubun, '') FROM Kamoku02 WHERE code = '031404'")),
              QStringLiteral("0314/"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT bunrui || '/' || kubun FROM Kamoku02 WHERE code = '111204'")), QStringLiteral("1112/11"));
}

TEST_F(MasterWindows, AfterACategoryClickAndADeleteTheSubAccountsOfTheAccountChosenBeforeAreListed)
{
    exec(kFoodRows);
    TfTableB& w = openSubAccounts();
    const auto& ui = w.controls();
    clickItem(ui.categories, QStringLiteral("11 "));
    clickItem(ui.accounts, QStringLiteral("1112 "));
    clickItem(ui.subAccounts, QStringLiteral("111203 "));
    clickItem(ui.categories, QStringLiteral("04 "));
    ASSERT_EQ(ui.subAccounts->count(), 0);
    prompts.answers = {true};
    press(ui.navigator, DbNavigator::Delete);
    EXPECT_EQ(items(ui.subAccounts), (QStringList{QStringLiteral("111201 メインバンク"), QStringLiteral("111202 給与振込口座")}));

    // A sub-account the journal uses stays.
    clickItem(ui.accounts, QStringLiteral("0411 "));
    clickItem(ui.subAccounts, QStringLiteral("041102 "));
    press(ui.navigator, DbNavigator::Delete);
    EXPECT_EQ(messages(), QStringList{QStringLiteral("細目「041102 外食」は仕訳 1 件で使われているため削除できません。\n"
                                                     "名前を変えるだけなら、削除せずに名前を書き換えて保存してください。")});
    EXPECT_EQ(items(ui.subAccounts).size(), 2);
}

// --- 区分項目編集 / 用途項目編集 -------------------------------------------------------------

TEST_F(MasterWindows, UsesAndTheirCategoriesShareOneEditor)
{
    TfTableK_T2& w = openUses();
    const auto& ui = w.controls();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("区分項目編集"));
    EXPECT_EQ(w.editTarget(), TfTableK_T2::EditTarget::Categories);
    EXPECT_EQ(items(ui.uses), (QStringList{QStringLiteral("01 生活"), QStringLiteral("02 事業"), QStringLiteral("03 特別")}));

    clickItem(ui.uses, QStringLiteral("02 "));
    EXPECT_EQ(w.SelectedUseCode(), QStringLiteral("02"));
    EXPECT_EQ(items(ui.categories), (QStringList{QStringLiteral("0201 仕入・売上"), QStringLiteral("0202 経費"), QStringLiteral("0203 家事按分")}));
    clickItem(ui.categories, QStringLiteral("0202 "));
    EXPECT_EQ(ui.name->text(), QStringLiteral("経費"));
    EXPECT_EQ(ui.use->currentText(), QStringLiteral("事業"));

    ui.toUses->trigger();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("用途項目編集"));
    EXPECT_EQ(ui.nameCaption->text(), QStringLiteral("用途"));
    for (QWidget* hidden : std::initializer_list<QWidget*>{ui.use, ui.useCaption, ui.categories, ui.categoriesCaption})
        EXPECT_FALSE(hidden->isVisible());
    EXPECT_EQ(dm.t06temp1.tableName().toLower(), QStringLiteral("yoto"));
    clickItem(ui.uses, QStringLiteral("03 "));
    EXPECT_EQ(ui.code->text(), QStringLiteral("03"));
    EXPECT_EQ(ui.name->text(), QStringLiteral("特別"));

    ui.toCategories->trigger();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("区分項目編集"));
    EXPECT_TRUE(ui.use->isVisible());
    clickItem(ui.uses, QStringLiteral("01 "));
    EXPECT_EQ(codesOf(items(ui.categories), 4), (QStringList{"0101", "0102", "0103", "0104"}));
    EXPECT_TRUE(prompts.messages.empty());
}

// Switching to the uses hides the category controls; nothing else may move, so a click aimed
// at "＋" before the switch still lands on it, and what is then typed goes into the new use,
// never into the first use the boxes showed after the switch.
TEST_F(MasterWindows, SwitchingToTheUsesMovesNoControlAndEditsNoRecordUnasked)
{
    TfTableK_T2& w = openUses();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    const auto& ui = w.controls();
    QWidget* insert = ui.navigator->button(DbNavigator::Insert);
    const auto placeOf = [&](QWidget* control) { return QRect(control->mapTo(&w, QPoint(0, 0)), control->size()); };
    const QList<QWidget*> staying{insert, ui.navigator, ui.code, ui.name, ui.nameCaption, ui.uses, ui.close};
    QList<QRect> before;
    for (QWidget* control : staying)
        before << placeOf(control);
    ui.code->setFocus();  // where the focus is when the window opens

    // Through the menu, as the user does it.
    QMenuBar* bar = w.findChild<QMenuBar*>();
    ASSERT_NE(bar, nullptr);
    QAction* menu = bar->actions().first();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(menu).center());
    ASSERT_TRUE(QTest::qWaitFor([&] { return menu->menu()->isVisible(); }));
    QTest::mouseClick(menu->menu(), Qt::LeftButton, {}, menu->menu()->actionGeometry(ui.toUses).center());
    ASSERT_EQ(w.editTarget(), TfTableK_T2::EditTarget::Uses);
    QApplication::processEvents();
    for (int i = 0; i < staying.size(); ++i)
        EXPECT_EQ(placeOf(staying[i]), before[i]) << staying[i]->metaObject()->className();

    // Typing before choosing anything edits nothing.
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("99"));
    EXPECT_EQ(dm.t06temp1.state(), Dataset::State::Browse);

    // The click at the place "＋" had before the switch.
    QWidget* underMouse = w.childAt(before[0].center());
    ASSERT_EQ(underMouse, insert);
    QTest::mouseClick(underMouse, Qt::LeftButton, {}, underMouse->mapFrom(&w, before[0].center()));
    EXPECT_EQ(dm.t06temp1.state(), Dataset::State::Insert);
    QTest::mouseClick(ui.code, Qt::LeftButton);
    QTest::keyClicks(ui.code, QStringLiteral("04"));
    QTest::mouseClick(ui.name, Qt::LeftButton);
    ui.name->setTypedText(QStringLiteral("趣味"));
    ui.navigator->click(DbNavigator::Post);
    EXPECT_EQ(scalar(QStringLiteral("SELECT Name FROM yoto WHERE code='01'")), QStringLiteral("生活"));
    EXPECT_EQ(scalar(QStringLiteral("SELECT Name FROM yoto WHERE code='04'")), QStringLiteral("趣味"));
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(MasterWindows, UsesAndCategoriesArePostedOnlyWhenRight)
{
    TfTableK_T2& w = openUses();
    const auto& ui = w.controls();
    clickItem(ui.uses, QStringLiteral("01 "));
    struct Case {
        bool uses;
        const char* code;
        const char* name;
        const char* use;
        const char* message;  // nullptr: posted
    };
    const Case cases[] = {
        {false, "", "ペット", "01", "ｺｰﾄﾞが指定されていません"},
        {false, "0105", "", "01", "科目名が指定されていません"},
        {false, "0105", "ペット", "", "区分が指定されていません"},
        {false, "0205", "ペット", "01", "区分コード「0205」は用途コード「01」で始まる4文字で指定してください。"},
        {false, "0104", "ペット", "01", "区分コード「0104」は既に「レジャー」に使われています。別のコードを指定してください。"},
        {false, "0105", "ペット", "01", nullptr},
        {true, "04", "", "", "科目名が指定されていません"},
        {true, "4", "趣味", "", "用途コード「4」は2文字で指定してください。"},
        {true, "04", "趣味", "", nullptr},
    };
    for (const Case& c : cases) {
        if (c.uses && w.editTarget() != TfTableK_T2::EditTarget::Uses) {
            // The use list keeps its selection until it is filled again.
            EXPECT_EQ(codesOf(items(ui.categories), 4), (QStringList{"0101", "0102", "0103", "0104", "0105"}))
                << "a category posted while its use is selected is listed in order";
            ui.toUses->trigger();
        }
        prompts.messages.clear();
        press(ui.navigator, DbNavigator::Insert);
        type(ui.code, QString::fromUtf8(c.code));
        type(ui.name, QString::fromUtf8(c.name));
        if (*c.use)
            ui.use->choose(QString::fromUtf8(c.use));
        press(ui.navigator, DbNavigator::Post);
        if (c.message) {
            EXPECT_EQ(messages(), QStringList{QString::fromUtf8(c.message)}) << c.code;
            press(ui.navigator, DbNavigator::Cancel);
        } else {
            EXPECT_TRUE(prompts.messages.empty()) << c.code << messages().join(u'\n').toStdString();
        }
    }
    EXPECT_EQ(items(ui.uses).value(3), QStringLiteral("04 趣味"));
    EXPECT_TRUE(ui.uses->selectedItems().isEmpty());
    EXPECT_TRUE(w.SelectedUseCode().isEmpty());
}

TEST_F(MasterWindows, AUseOrCategoryTheJournalUsesIsNotDeleted)
{
    exec(kFoodRows);
    TfTableK_T2& w = openUses();
    const auto& ui = w.controls();
    clickItem(ui.uses, QStringLiteral("01 "));
    clickItem(ui.categories, QStringLiteral("0101 "));
    press(ui.navigator, DbNavigator::Delete);
    EXPECT_EQ(messages(), QStringList{QStringLiteral("区分「0101 日常」は仕訳 2 件で使われているため削除できません。\n"
                                                     "名前を変えるだけなら、削除せずに名前を書き換えて保存してください。")});
    clickItem(ui.categories, QStringLiteral("0104 "));
    prompts.answers = {true};
    press(ui.navigator, DbNavigator::Delete);
    EXPECT_EQ(codesOf(items(ui.categories), 4), (QStringList{"0101", "0102", "0103"}));

    ui.toUses->trigger();
    clickItem(ui.uses, QStringLiteral("01 "));
    prompts.messages.clear();
    press(ui.navigator, DbNavigator::Delete);
    EXPECT_TRUE(messages().value(0).startsWith(QStringLiteral("用途「01 生活」は仕訳 2 件で使われているため削除できません。")))
        << messages().join(u'\n').toStdString();
    clickItem(ui.uses, QStringLiteral("03 "));
    prompts.answers = {true};
    press(ui.navigator, DbNavigator::Delete);
    EXPECT_EQ(items(ui.uses), (QStringList{QStringLiteral("01 生活"), QStringLiteral("02 事業")}));
}

// --- together --------------------------------------------------------------------------

TEST_F(MasterWindows, WhatTheMasterWindowsCreateTheJournalOffers)
{
    {
        TfTableM& categories = openCategories();
        press(categories.controls().navigator, DbNavigator::Insert);
        type(categories.controls().code, QStringLiteral("16"));
        type(categories.controls().name, QStringLiteral("投資"));
        QTest::mouseClick(categories.controls().statement->button(0), Qt::LeftButton);
        QTest::mouseClick(categories.controls().side->button(0), Qt::LeftButton);
        press(categories.controls().navigator, DbNavigator::Post);
        closeWindow();
        dm.closeAll();
    }
    {
        TfTableK& accounts = openAccounts();
        press(accounts.controls().navigator, DbNavigator::Insert);
        type(accounts.controls().code, QStringLiteral("1611"));
        type(accounts.controls().name, QStringLiteral("投資信託"));
        accounts.controls().category->choose(QStringLiteral("16"));
        press(accounts.controls().navigator, DbNavigator::Post);
        closeWindow();
        dm.closeAll();
    }
    {
        TfTableB& subAccounts = openSubAccounts();
        press(subAccounts.controls().navigator, DbNavigator::Insert);
        type(subAccounts.controls().code, QStringLiteral("161101"));
        type(subAccounts.controls().name, QStringLiteral("積立口座"));
        subAccounts.controls().category->choose(QStringLiteral("16"));
        subAccounts.controls().account->choose(QStringLiteral("1611"));
        press(subAccounts.controls().navigator, DbNavigator::Post);
        closeWindow();
        dm.closeAll();
    }
    ASSERT_TRUE(prompts.messages.empty()) << messages().join(u'\n').toStdString();

    // The journal window as its button prepares it.
    reopen(dm.q25kamoku2, QStringLiteral("select * from kamoku02"));
    reopen(dm.q16temp1, QStringLiteral("select * from kamoku02"));
    reopen(dm.q26temp, QStringLiteral("select * from yoto"));
    TMainInput& journal = show(std::make_unique<TMainInput>(dm));
    const auto& ui = journal.controls();
    press(ui.navigator, DbNavigator::Insert);
    ui.debitCategory->choose(QStringLiteral("16"));
    ui.debitAccount->choose(QStringLiteral("1611"));
    EXPECT_EQ(ui.debitAccount->currentText(), QStringLiteral("投資信託"));
    ui.debitSubAccount->choose(QStringLiteral("161101"));
    EXPECT_EQ(ui.debitSubAccount->currentText(), QStringLiteral("積立口座"));
    QStringList filterCategories;
    for (int i = 0; i < ui.debit.category->count(); ++i)
        filterCategories << ui.debit.category->itemText(i);
    EXPECT_TRUE(filterCategories.contains(QStringLiteral("16 投資")));
    press(ui.navigator, DbNavigator::Cancel);
}

TEST_F(MasterWindows, EveryWindowHasItsHelpPage)
{
    struct Case {
        std::function<QDialog&()> open;
        const char* page;
    };
    const Case cases[] = {
        {[&]() -> QDialog& { return openAccounts(); }, "TfTableK"},
        {[&]() -> QDialog& { return openCategories(); }, "TfTableM"},
        {[&]() -> QDialog& { return openSubAccounts(); }, "TfTableB"},
        {[&]() -> QDialog& { return openUses(); }, "TfTableK_T2"},
    };
    for (const Case& c : cases) {
        QDialog& w = c.open();
        QAction* help = nullptr;
        for (QAction* action : w.findChildren<QAction*>())
            if (action->text() == QStringLiteral("ｻﾎﾟｰﾄｻｲﾄ"))
                help = action;
        ASSERT_NE(help, nullptr) << c.page;
        help->trigger();
        const QString page = tolva::testing::shownHelpPage(&w);
        EXPECT_TRUE(prompts.openedUrls.empty()) << c.page;
        EXPECT_TRUE(page.endsWith(QStringLiteral("help/%1.html").arg(QString::fromLatin1(c.page)))) << c.page;
        EXPECT_TRUE(QFile::exists(page));
        closeWindow();
        dm.closeAll();
    }
    EXPECT_TRUE(errors().isEmpty());
}
