#include "db/database.h"
#include "masters/masterchecks.h"
#include "tests/support/testdata.h"

#include <gtest/gtest.h>

using namespace tolva;
using namespace tolva::masters;
using tolva::testing::TestDataFolder;

namespace {

std::optional<QString> none()
{
    return std::nullopt;
}

std::optional<QString> says(const char* text)
{
    return QString::fromUtf8(text);
}

} // namespace

TEST(MasterChecks, ThePostButtonChecksTheBoxesInTheWindowsOrder)
{
    struct Case {
        Master master;
        Entry entry;
        std::optional<QString> expected;
        const char* guards;
    };
    const Case cases[] = {
        {Master::Account, {"", "", ""}, says("ｺｰﾄﾞが指定されていません"), "an empty code is named first"},
        {Master::Account, {"0399", "", ""}, says("科目名が指定されていません"), "then the name"},
        {Master::Account, {"0399", "  ", "03"}, says("科目名が指定されていません"), "blanks are no name"},
        {Master::Account, {"0399", "雑費２", ""}, says("区分が指定されていません"), "then the category"},
        {Master::Account, {"0399", "雑費２", "03"}, none(), "all given"},
        {Master::SubAccount, {"", "", ""}, says("ｺｰﾄﾞが指定されていません"), "sub-account: code first"},
        {Master::SubAccount, {"031404", "", "0314"}, says("細目名が指定されていません"), "its own word for the name"},
        {Master::SubAccount, {"031404", "灯油代", ""}, says("区分が指定されていません"),
         "no account chosen: the message names the category, as it always has"},
        {Master::UseCategory, {"0105", "ペット", ""}, says("区分が指定されていません"), "use category without a use"},
        {Master::UseCategory, {"0105", "", "01"}, says("科目名が指定されていません"), "use category: the account word for the name"},
        {Master::Use, {"04", "", ""}, says("科目名が指定されていません"), "use: the same words"},
        {Master::Use, {"04", "趣味", ""}, none(), "a use has no parent to choose"},
        {Master::Category, {"", "", ""}, none(), "categories have no checks of their boxes"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(entryProblem(c.master, c.entry), c.expected) << c.guards;
}

TEST(MasterChecks, ACodeHasTheLengthOfItsKindAndBeginsWithItsParent)
{
    struct Case {
        Master master;
        const char* code;
        const char* parent;
        std::optional<QString> expected;
    };
    const Case cases[] = {
        {Master::Category, "16", "", none()},
        {Master::Category, "ab", "", none()},
        {Master::Category, "1", "", says("区分コード「1」は2文字で指定してください。")},
        {Master::Category, "161", "", says("区分コード「161」は2文字で指定してください。")},
        {Master::Category, "", "", says("区分コードは2文字で指定してください。")},
        {Master::Account, "0340", "03", none()},
        {Master::Account, "034", "03", says("科目コード「034」は区分コード「03」で始まる4文字で指定してください。")},
        {Master::Account, "0440", "03", says("科目コード「0440」は区分コード「03」で始まる4文字で指定してください。")},
        {Master::Account, "", "03", says("科目コードは区分コード「03」で始まる4文字で指定してください。")},
        {Master::Account, "0340", "", says("科目コード「0340」は区分コードで始まる4文字で指定してください。区分が選ばれていません。")},
        {Master::SubAccount, "031404", "0314", none()},
        {Master::SubAccount, "031504", "0314", says("細目コード「031504」は科目コード「0314」で始まる6文字で指定してください。")},
        {Master::SubAccount, "03144", "0314", says("細目コード「03144」は科目コード「0314」で始まる6文字で指定してください。")},
        {Master::Use, "04", "", none()},
        {Master::Use, "4", "", says("用途コード「4」は2文字で指定してください。")},
        {Master::UseCategory, "0105", "01", none()},
        {Master::UseCategory, "0205", "01", says("区分コード「0205」は用途コード「01」で始まる4文字で指定してください。")},
        // A parent as long as the code leaves nothing of the code's own.
        {Master::UseCategory, "0105", "0105", says("区分コード「0105」は用途コード「0105」で始まる4文字で指定してください。")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(codeFormProblem(c.master, QString::fromUtf8(c.code), QString::fromUtf8(c.parent)), c.expected) << c.code;
}

TEST(MasterChecks, TheClosingMonthIsOneToTwelve)
{
    const std::pair<QVariant, std::optional<QString>> cases[] = {
        {QVariant(qint64(1)), none()},
        {QVariant(qint64(12)), none()},
        {QVariant(QStringLiteral("3")), none()},
        {QVariant(), says("決算月が指定されていません。1～12の中から選んでください。")},
        {QVariant(QString()), says("決算月が指定されていません。1～12の中から選んでください。")},
        {QVariant(qint64(0)), says("決算月「0」は正しくありません。1～12の中から選んでください。")},
        {QVariant(qint64(13)), says("決算月「13」は正しくありません。1～12の中から選んでください。")},
        {QVariant(QStringLiteral("三")), says("決算月「三」は正しくありません。1～12の中から選んでください。")},
    };
    for (const auto& [month, expected] : cases)
        EXPECT_EQ(closingMonthProblem(month), expected) << month.toString().toStdString();
}

namespace {

// The template's chart of accounts with a handful of journal rows that use some of it.
class BooksInUse : public ::testing::Test {
protected:
    void SetUp() override
    {
        db = Database::forFolder(folder.path());
        db->exec(QStringLiteral(
            "INSERT INTO shiwake (sDay, Lbunrui, Lcode, LScode, Lgaku, Rbunrui, Rcode, RScode, Rgaku, yoto, kubun, syori) VALUES "
            "('2010-04-01', '04', '0411', '041101', 10000000, '11', '1111', '', 10000000, '01', '0101', 10),"
            "('2010-04-02', '04', '0411', '041102', 20000000, '11', '1112', '111201', 20000000, '01', '0104', 10),"
            "('2010-04-03', '11', '1112', '', 30000000, '11', '1111', '', 30000000, '', '', 10),"
            // filed under another category than its account's: still a row of category 03's account
            "('2010-04-04', '99', '0316', '031601', 5000000, '13', '1313', '131301', 5000000, '02', '0202', 10)"));
        db->exec(QStringLiteral("INSERT INTO shisanH (nendo, kcode, Lgaku, Rgaku) VALUES ('09', '0399', 10000, 0)"));
    }
    void TearDown() override
    {
        db.reset();
        Database::closeAll();
    }

    qint64 rowIdOf(Master master, const QString& code)
    {
        Statement s = db->prepare(QStringLiteral("SELECT rowid FROM %1 WHERE code = ?").arg(tableOf(master)));
        s.bind(1, code);
        return s.step() ? s.columnInt(0) : 0;
    }

    TestDataFolder folder;
    std::shared_ptr<Database> db;
};

} // namespace

TEST_F(BooksInUse, UsageCountsEveryRowThatWouldBeLeftBehind)
{
    struct Case {
        Master master;
        const char* code;
        qint64 journalRows;
        qint64 yearTotals;
        const char* guards;
    };
    const Case cases[] = {
        {Master::Category, "11", 3, 0, "either side, a row with both sides in it once"},
        {Master::Category, "03", 1, 1, "a row of one of its accounts, filed under another category"},
        {Master::Category, "02", 0, 0, "unused"},
        {Master::Account, "1111", 2, 0, "either side"},
        {Master::Account, "0399", 0, 1, "only a year-end total"},
        {Master::Account, "0412", 0, 0, "unused"},
        {Master::SubAccount, "111201", 1, 0, "credit side"},
        {Master::SubAccount, "041101", 1, 0, "debit side"},
        {Master::SubAccount, "111202", 0, 0, "unused"},
        {Master::Use, "01", 2, 0, "use"},
        {Master::Use, "03", 0, 0, "unused use"},
        {Master::UseCategory, "0104", 1, 0, "use category"},
        {Master::UseCategory, "0301", 0, 0, "unused use category"},
        {Master::SubAccount, "", 0, 0, "an empty code is what rows without a sub-account hold"},
    };
    for (const Case& c : cases) {
        const Usage usage = usageOf(*db, c.master, QString::fromLatin1(c.code));
        EXPECT_EQ(usage.journalRows, c.journalRows) << c.guards;
        EXPECT_EQ(usage.yearTotals, c.yearTotals) << c.guards;
    }
}

TEST_F(BooksInUse, ACodeStillUsedIsNeitherDeletedNorChanged)
{
    EXPECT_EQ(deletionProblem(*db, Master::Account, rowIdOf(Master::Account, "1111")),
              QStringLiteral("科目「1111 現金」は仕訳 2 件で使われているため削除できません。\n"
                             "名前を変えるだけなら、削除せずに名前を書き換えて保存してください。"));
    EXPECT_EQ(deletionProblem(*db, Master::Category, rowIdOf(Master::Category, "03")),
              QStringLiteral("科目区分「03 費用」は仕訳 1 件と年度集計 1 件で使われているため削除できません。\n"
                             "名前を変えるだけなら、削除せずに名前を書き換えて保存してください。"));
    EXPECT_TRUE(deletionProblem(*db, Master::UseCategory, rowIdOf(Master::UseCategory, "0104")));
    EXPECT_EQ(deletionProblem(*db, Master::UseCategory, rowIdOf(Master::UseCategory, "0301")), none());
    EXPECT_EQ(deletionProblem(*db, Master::Account, 0), none()) << "a row not yet stored";

    const qint64 cash = rowIdOf(Master::Account, "1111");
    EXPECT_EQ(postProblem(*db, Master::Account, "1110", "11", cash),
              QStringLiteral("科目「1111 現金」は仕訳 2 件で使われているため、コードを「1110」に変えることはできません。\n"
                             "名前を変えるだけなら、コードは「1111」のままにしてください。"));
    EXPECT_EQ(postProblem(*db, Master::Account, "1111", "11", cash), none()) << "renaming keeps the code";
    EXPECT_EQ(postProblem(*db, Master::Account, "1120", "11", rowIdOf(Master::Account, "1116")), none())
        << "an unused account may take a new code";
}

TEST_F(BooksInUse, ADuplicateCodeIsNamedWithTheRowThatHasIt)
{
    EXPECT_EQ(postProblem(*db, Master::Account, "0411", "04", 0),
              QStringLiteral("科目コード「0411」は既に「食費」に使われています。別のコードを指定してください。"));
    EXPECT_EQ(postProblem(*db, Master::Account, "0412", "04", rowIdOf(Master::Account, "0499")),
              QStringLiteral("科目コード「0412」は既に「日用品費」に使われています。別のコードを指定してください。"));
    EXPECT_EQ(postProblem(*db, Master::Use, "01", "", 0),
              QStringLiteral("用途コード「01」は既に「生活」に使われています。別のコードを指定してください。"));
    db->exec(QStringLiteral("INSERT INTO Bunrui (code) VALUES ('16')"));
    EXPECT_EQ(postProblem(*db, Master::Category, "16", "", 0),
              QStringLiteral("区分コード「16」は既に登録されています。別のコードを指定してください。"));
    // Codes and names go to the store as values: a quote or a blank in them is just text.
    db->exec(QStringLiteral("INSERT INTO Bunrui (code, Name) VALUES ('\"1', 'O''Brien \"商店\"')"));
    EXPECT_EQ(postProblem(*db, Master::Category, "'1", "", 0), none());
    EXPECT_EQ(postProblem(*db, Master::Category, "\"1", "", 0),
              QStringLiteral("区分コード「\"1」は既に「O'Brien \"商店\"」に使われています。別のコードを指定してください。"));
    EXPECT_FALSE(usageOf(*db, Master::Category, "' OR '1'='1").any());
    EXPECT_EQ(postProblem(*db, Master::SubAccount, "041103", "0411", 0), none());
    EXPECT_EQ(postProblem(*db, Master::SubAccount, "041203", "0411", 0),
              QStringLiteral("細目コード「041203」は科目コード「0411」で始まる6文字で指定してください。"))
        << "the form comes before the books";
}

TEST_F(BooksInUse, ARowFromOlderBooksWithAnOddCodeMayStillBeRenamed)
{
    db->exec(QStringLiteral("INSERT INTO Kamoku (code, kamoku, bunrui) VALUES ('377', '旧科目', '03')"));
    const qint64 old = rowIdOf(Master::Account, "377");
    EXPECT_EQ(postProblem(*db, Master::Account, "377", "03", old), none());
    EXPECT_EQ(postProblem(*db, Master::Account, "377", "04", old),
              QStringLiteral("科目コード「377」は区分コード「04」で始まる4文字で指定してください。"))
        << "moving it to another category is a new shape";
    EXPECT_EQ(postProblem(*db, Master::Account, "0377", "03", old), none()) << "and it may be mended";
}
