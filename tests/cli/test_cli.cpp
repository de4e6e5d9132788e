// tolva-cli's reading verbs and its command line, against small books written as data.
#include "assets/depreciationlist.h"
#include "closing/closingoutput.h"
#include "db/database.h"
#include "db/datafolder.h"
#include "db/programstate.h"
#include "db/tdm01keiri.h"
#include "journal/journalprint.h"
#include "ledger/tfm04motocho.h"
#include "reports/reportproject.h"
#include "tests/cli/clirun.h"
#include "tests/ledger/journalrows.h"
#include "tests/support/scriptedprompter.h"
#include "tests/support/testdata.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tolva;
using namespace tolva::testing;

namespace {

// The books of one household's first weeks of fiscal year 2010 (April to March): an opening
// balance, shopping in cash and by card, a sale, the last day of the year and the first of
// the next.
class Cli : public ::testing::Test {
protected:
    void SetUp() override
    {
        setOwner(folder.path(), 2010, 3);
        addEntries(folder.path(),
                   {
                       {"2010-04-01", "1112", 100000, "1503", 100000, "元入れ", "111201", nullptr, 21},
                       {"2010-04-05", "0411", 1200, "1111", 1200, "八百屋", "041101", nullptr, 10, "0101"},
                       {"2010-04-05", "1111", 30000, "1112", 30000, "引出し", nullptr, "111201"},
                       {"2010-05-10", "0321", 2500, "1313", 2500, "インク \"黒\", 2本", nullptr, "131301", 10, "0202"},
                       {"2011-03-31", "0411", 800, "1111", 800, nullptr},
                       {"2011-04-01", "0411", 500, "1111", 500, "翌年度"},
                       {"2010-06-01", "1111", 1000, "0111", 1000, "すし🍣"},
                   });
        Database::closeAll();
    }

    [[nodiscard]] CliRun cli(const QStringList& arguments) const { return runCli(arguments, folder.path()); }

    TestDataFolder folder;
};

QJsonObject jsonOf(const CliRun& run)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(run.out, &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString() << "\n" << run.out.toStdString();
    return document.object();
}

QList<qint64> idsOf(const QJsonArray& rows)
{
    QList<qint64> ids;
    for (const QJsonValue& row : rows)
        ids << row.toObject().value(QStringLiteral("id")).toInteger();
    return ids;
}

TEST_F(Cli, LedgerShowsTheLinesBalanceAndTotalsOfTheFiscalYear)
{
    const CliRun run = cli({QStringLiteral("ledger"), QStringLiteral("1111")});
    ASSERT_EQ(run.exitCode, 0) << run.errText().toStdString();
    // Cash is debit-type: 30,000 in, 1,200 and 800 out, 1,000 in; the row of the next year
    // (NO 6) is outside the owner's fiscal year.
    const QString expected = QStringLiteral(
        "元帳 (流動資産 現金)\n"
        "期間：2010/ 04/ 01～2011/ 03/ 31\n"
        "\n"
        "日付        摘要                                     区分  NO    借方   貸方  BS    残高\n"
        "----------------------------------------------------------------------------------------\n"
        "2010/04/05  家計費 食費 食料品 (八百屋)              日常   2          1,200  貸   1,200\n"
        "2010/04/05  流動資産 普通預金 メインバンク (引出し)         3  30,000         借  28,800\n"
        "2010/06/01  収益 売上高  (すし🍣)                           7   1,000         借  29,800\n"
        "2011/03/31  家計費 食費                                     5            800  借  29,000\n"
        "\n"
        "  借方 : ￥31,000,  貸方 : ￥2,000,  残高 : ￥29,000\n");
    EXPECT_EQ(run.outText().toStdString(), expected.toStdString());
}


TEST_F(Cli, LedgerAndTheLedgerWindowGiveTheSameLinesForTheSameRequest)
{
    struct Case {
        const char* what;
        QString code;
        QStringList choices;  // category, then account, then sub-account, as the lists offer them
        QDate from;
        QDate to;
    };
    const Case cases[] = {
        {"a debit-type account", QStringLiteral("1111"), {QStringLiteral("11"), QStringLiteral("1111")}, {2010, 4, 1}, {2011, 3, 31}},
        {"a sub-account", QStringLiteral("111201"), {QStringLiteral("11"), QStringLiteral("1112"), QStringLiteral("111201")},
         {2010, 4, 1}, {2010, 4, 30}},
        {"a category with rows on both sides", QStringLiteral("11"), {QStringLiteral("11")}, {2010, 1, 1}, {2012, 12, 31}},
        {"a credit-type account", QStringLiteral("1313"), {QStringLiteral("13"), QStringLiteral("1313")}, {2010, 4, 1}, {2011, 3, 31}},
    };
    for (const Case& c : cases) {
        const CliRun run = cli({QStringLiteral("ledger"), c.code, QStringLiteral("--from"), c.from.toString(Qt::ISODate),
                                QStringLiteral("--to"), c.to.toString(Qt::ISODate), QStringLiteral("--format"), QStringLiteral("csv"),
                                QStringLiteral("--encoding"), QStringLiteral("utf-8")});
        ASSERT_EQ(run.exitCode, 0) << c.what << ": " << run.errText().toStdString();
        const QList<QStringList> rows = parseCsv(run.outText());
        const CliRun text = cli({QStringLiteral("ledger"), c.code, QStringLiteral("--from"), c.from.toString(Qt::ISODate),
                                 QStringLiteral("--to"), c.to.toString(Qt::ISODate)});

        ProgramState state;
        state.dataFolder = folder.path();
        state.periodStart = c.from;
        state.periodEnd = c.to;
        ScriptedPrompter prompts;
        {
            Tdm01Keiri dm(state);
            dm.DataModuleCreate(folder.path());
            Tfm04Motocho window(dm);
            window.FormShow();
            auto choose = [](QComboBox* list, const QString& code) {
                for (int i = 0; i < list->count(); ++i) {
                    if (list->itemText(i).startsWith(code))
                        return list->setCurrentIndex(i);
                }
                FAIL() << "no entry " << code.toStdString();
            };
            choose(window.categoryList(), c.choices[0]);
            window.accountCheck()->setChecked(c.choices.size() > 1);
            if (c.choices.size() > 1)
                choose(window.accountList(), c.choices[1]);
            window.subAccountCheck()->setChecked(c.choices.size() > 2);
            if (c.choices.size() > 2)
                choose(window.subAccountList(), c.choices[2]);
            window.SpeedButton1Click();

            const Ledger& shown = window.gridModel().ledger();
            ASSERT_FALSE(shown.lines.isEmpty()) << c.what;
            QList<QStringList> windowRows{ledgerTitles()};
            for (const LedgerLine& line : shown.lines)
                windowRows << ledgerCells(line);
            EXPECT_EQ(rows, windowRows) << c.what;
            EXPECT_TRUE(text.outText().endsWith(window.statusText() + u'\n')) << c.what << ": " << text.outText().toStdString();
            dm.closeAll();
        }
        Database::closeAll();
    }
}

TEST_F(Cli, LedgerCsvAndJsonReadBackToTheSameFigures)
{
    const QStringList ledger{QStringLiteral("ledger"), QStringLiteral("1111")};
    const CliRun csv = cli(ledger + QStringList{QStringLiteral("--format"), QStringLiteral("csv")});
    const CliRun json = cli(ledger + QStringList{QStringLiteral("--format"), QStringLiteral("json")});
    ASSERT_EQ(csv.exitCode, 0) << csv.errText().toStdString();
    ASSERT_EQ(json.exitCode, 0) << json.errText().toStdString();
    // Code page 932 by default, as the windows write: the emoji of NO 7 becomes "?", and the
    // user is told.
    EXPECT_TRUE(csv.errText().contains(QStringLiteral("4 行目"))) << csv.errText().toStdString();
    const QList<QStringList> rows = parseCsv(fromCodePage932(csv.out));
    const QJsonObject object = jsonOf(json);
    EXPECT_EQ(object.value(QStringLiteral("title")).toString(), QStringLiteral("元帳 (流動資産 現金)"));
    EXPECT_EQ(object.value(QStringLiteral("from")).toString(), QStringLiteral("2010-04-01"));
    EXPECT_EQ(object.value(QStringLiteral("to")).toString(), QStringLiteral("2011-03-31"));
    EXPECT_TRUE(object.value(QStringLiteral("debitType")).toBool());
    const QJsonArray lines = object.value(QStringLiteral("lines")).toArray();
    ASSERT_EQ(rows.size(), lines.size() + 1);
    EXPECT_EQ(rows[0], ledgerTitles());
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QJsonObject line = lines[i].toObject();
        EXPECT_EQ(rows[i + 1][3], QString::number(line.value(QStringLiteral("id")).toInteger()));
        EXPECT_EQ(QString(rows[i + 1][4]).remove(u','), line.value(QStringLiteral("debit")).toString());
        EXPECT_EQ(QString(rows[i + 1][5]).remove(u','), line.value(QStringLiteral("credit")).toString());
        EXPECT_EQ(rows[i + 1][6], line.value(QStringLiteral("side")).toString());
        // The cell shows the balance without its sign; the side says where it stands.
        EXPECT_EQ(QString(rows[i + 1][7]).remove(u','), line.value(QStringLiteral("balance")).toString().remove(u'-'));
    }
    EXPECT_EQ(lines[2].toObject().value(QStringLiteral("description")).toString(), QStringLiteral("収益 売上高  (すし🍣)"));
    EXPECT_EQ(rows[3][1], QStringLiteral("収益 売上高  (すし?)"));
    const QJsonObject totals = object.value(QStringLiteral("totals")).toObject();
    EXPECT_EQ(totals.value(QStringLiteral("debit")).toString(), QStringLiteral("31000"));
    EXPECT_EQ(totals.value(QStringLiteral("credit")).toString(), QStringLiteral("2000"));
    EXPECT_EQ(totals.value(QStringLiteral("balance")).toString(), QStringLiteral("29000"));
}

TEST_F(Cli, ExportLedgerWritesTheBytesOfTheLedgerWindowsExport)
{
    QTemporaryDir out;
    const QString fromCli = out.filePath(QStringLiteral("cli.csv"));
    const QString fromWindow = out.filePath(QStringLiteral("window.csv"));
    const CliRun run = cli({QStringLiteral("export"), QStringLiteral("ledger"), QStringLiteral("111201"), QStringLiteral("--from"),
                            QStringLiteral("2010-04-01"), QStringLiteral("--to"), QStringLiteral("2010-12-31"), QStringLiteral("-o"), fromCli});
    ASSERT_EQ(run.exitCode, 0) << run.errText().toStdString();

    ProgramState state;
    state.dataFolder = folder.path();
    state.periodStart = QDate(2010, 4, 1);
    state.periodEnd = QDate(2010, 12, 31);
    ScriptedPrompter prompts;
    prompts.fileNames.push_back(fromWindow);
    {
        Tdm01Keiri dm(state);
        dm.DataModuleCreate(folder.path());
        Tfm04Motocho window(dm);
        window.FormShow();
        window.categoryList()->setCurrentIndex(window.categoryList()->findText(QStringLiteral("11"), Qt::MatchStartsWith));
        window.accountCheck()->setChecked(true);
        window.accountList()->setCurrentIndex(window.accountList()->findText(QStringLiteral("1112"), Qt::MatchStartsWith));
        window.subAccountCheck()->setChecked(true);
        window.subAccountList()->setCurrentIndex(window.subAccountList()->findText(QStringLiteral("111201"), Qt::MatchStartsWith));
        window.SpeedButton1Click();
        window.CSV1Click();
        dm.closeAll();
    }
    QFile a(fromCli);
    QFile b(fromWindow);
    ASSERT_TRUE(a.open(QIODevice::ReadOnly));
    ASSERT_TRUE(b.open(QIODevice::ReadOnly));
    const QByteArray bytes = a.readAll();
    EXPECT_EQ(bytes, b.readAll());
    EXPECT_TRUE(fromCodePage932(bytes).startsWith(QStringLiteral("\"元帳 (流動資産 普通預金 メインバンク)\"\r\n\"期間：2010/ 04/ 01～2010/ 12/ 31\"\r\n\r\n")))
        << fromCodePage932(bytes).toStdString();
}

TEST_F(Cli, JournalNarrowsAsTheFilterPanelDoes)
{
    struct Case {
        const char* what;
        QStringList options;
        QList<qint64> ids;  // newest date first, then highest number
        const char* debitTotal;  // empty: no totals, as for the whole journal
    };
    const Case cases[] = {
        {"the whole journal", {}, {6, 5, 7, 4, 3, 2, 1}, nullptr},
        {"a debit category is the stored category", {QStringLiteral("--debit"), QStringLiteral("04")}, {6, 5, 2}, "2500"},
        {"an account within a period, both ends included",
         {QStringLiteral("--debit"), QStringLiteral("0411"), QStringLiteral("--from"), QStringLiteral("2010/04/01"), QStringLiteral("--to"),
          QStringLiteral("2011/03/31")},
         {5, 2},
         "2000"},
        {"a credit sub-account", {QStringLiteral("--credit"), QStringLiteral("131301")}, {4}, "2500"},
        {"a single day and a credit category",
         {QStringLiteral("--credit"), QStringLiteral("11"), QStringLiteral("--from"), QStringLiteral("2010-04-05"), QStringLiteral("--to"),
          QStringLiteral("2010-04-05")},
         {3, 2},
         "31200"},
        {"a category of a use", {QStringLiteral("--use"), QStringLiteral("0202")}, {4}, "2500"},
        {"a processing mode", {QStringLiteral("--mode"), QStringLiteral("21")}, {1}, "100000"},
    };
    for (const Case& c : cases) {
        const CliRun run = cli(QStringList{QStringLiteral("journal"), QStringLiteral("--format"), QStringLiteral("json")} + c.options);
        ASSERT_EQ(run.exitCode, 0) << c.what << ": " << run.errText().toStdString();
        const QJsonObject object = jsonOf(run);
        EXPECT_EQ(idsOf(object.value(QStringLiteral("rows")).toArray()), c.ids) << c.what;
        const QJsonValue totals = object.value(QStringLiteral("totals"));
        if (!c.debitTotal) {
            EXPECT_TRUE(totals.isNull()) << c.what;
        } else {
            EXPECT_EQ(totals.toObject().value(QStringLiteral("debit")).toString(), QString::fromLatin1(c.debitTotal)) << c.what;
            EXPECT_EQ(totals.toObject().value(QStringLiteral("credit")).toString(), QString::fromLatin1(c.debitTotal)) << c.what;
        }
    }
}

TEST_F(Cli, JournalTextAndCsvShowTheListsColumns)
{
    const CliRun text = cli({QStringLiteral("journal"), QStringLiteral("--debit"), QStringLiteral("04")});
    ASSERT_EQ(text.exitCode, 0) << text.errText().toStdString();
    const QString expected = QStringLiteral(
        "NO  月日        借方科目  細目     金額  貸方科目  細目   金額  区分  備考\n"
        "----------------------------------------------------------------------------\n"
        " 6  2011/04/01  食費                500  現金              500        翌年度\n"
        " 5  2011/03/31  食費                800  現金              800\n"
        " 2  2010/04/05  食費      食料品  1,200  現金            1,200  日常  八百屋\n"
        "\n"
        "  借方 : ￥2,500,  貸方 : ￥2,500\n");
    EXPECT_EQ(text.outText().toStdString(), expected.toStdString());

    const CliRun csv = cli({QStringLiteral("journal"), QStringLiteral("--mode"), QStringLiteral("10"), QStringLiteral("--format"),
                            QStringLiteral("csv"), QStringLiteral("--encoding"), QStringLiteral("utf-8")});
    ASSERT_EQ(csv.exitCode, 0) << csv.errText().toStdString();
    const QList<QStringList> rows = parseCsv(csv.outText());
    ASSERT_EQ(rows.size(), 7);
    EXPECT_EQ(rows[0], (QStringList{"NO", "月日", "借方科目", "細目", "金額", "貸方科目", "細目", "金額", "区分", "備考"}));
    EXPECT_EQ(rows[4], (QStringList{"4", "2010/05/10", "消耗品費", "", "2,500", "クレジットカード", "カードＡ", "2,500", "経費", "インク \"黒\", 2本"}));
}

TEST_F(Cli, ExportJournalWritesTheJournalWindowsFile)
{
    QTemporaryDir out;
    struct Case {
        const char* what;
        QStringList options;
        QString expected;  // the file, decoded
        const char* told;  // part of what standard error says, or nothing
    };
    const Case cases[] = {
        {"a period, a debit category matched by the account code and a mode",
         {QStringLiteral("--debit"), QStringLiteral("04"), QStringLiteral("--mode"), QStringLiteral("10"), QStringLiteral("--from"),
          QStringLiteral("2010-04-01"), QStringLiteral("--to"), QStringLiteral("2011-03-31")},
         QStringLiteral("仕訳帳（条件抽出）\r\n"
                        "期間：2010/ 04/ 01～2011/ 03/ 31\r\n"
                        "抽出条件 借方区分：家計費 処理ﾓｰﾄﾞ：通常処理\r\n"
                        "\r\n"
                        "\"ID\",\"月日\",\"借方科目\",\"借方金額\",\"貸方科目\",\"貸方金額\",\"備考\",\"区分\"\r\n"
                        "2,\"2010/04/05\",\"食費\",1200,\"現金\",1200,\"八百屋\",\"日常\"\r\n"
                        "5,\"2011/03/31\",\"食費\",800,\"現金\",800,\"\",\"\"\r\n"),
         nullptr},
        {"one day and a credit account; a memo with quotes and a comma stays one field, its quotes doubled",
         {QStringLiteral("--from"), QStringLiteral("2010-05-10"), QStringLiteral("--to"), QStringLiteral("2010-05-10"),
          QStringLiteral("--credit"), QStringLiteral("1313")},
         QStringLiteral("仕訳帳（条件抽出）\r\n"
                        "指定日：2010/ 05/ 10\r\n"
                        "抽出条件 貸方科目：クレジットカード\r\n"
                        "\r\n"
                        "\"ID\",\"月日\",\"借方科目\",\"借方金額\",\"貸方科目\",\"貸方金額\",\"備考\",\"区分\"\r\n"
                        "4,\"2010/05/10\",\"消耗品費\",2500,\"クレジットカード\",2500,\"インク \"\"黒\"\", 2本\",\"経費\"\r\n"),
         nullptr},
        {"only a period: no condition line, oldest first; what code page 932 lacks is told",
         {QStringLiteral("--from"), QStringLiteral("2010-05-01"), QStringLiteral("--to"), QStringLiteral("2010-06-30")},
         QStringLiteral("仕訳帳（条件抽出）\r\n"
                        "期間：2010/ 05/ 01～2010/ 06/ 30\r\n"
                        "\r\n"
                        "\"ID\",\"月日\",\"借方科目\",\"借方金額\",\"貸方科目\",\"貸方金額\",\"備考\",\"区分\"\r\n"
                        "4,\"2010/05/10\",\"消耗品費\",2500,\"クレジットカード\",2500,\"インク \"\"黒\"\", 2本\",\"経費\"\r\n"
                        "7,\"2010/06/01\",\"現金\",1000,\"売上高\",1000,\"すし?\",\"\"\r\n"),
         "6 行目 (NO 7)"},
    };
    int n = 0;
    for (const Case& c : cases) {
        const QString path = out.filePath(QStringLiteral("仕訳帳%1.csv").arg(++n));
        const CliRun run = cli(QStringList{QStringLiteral("export"), QStringLiteral("journal"), QStringLiteral("-o"), path} + c.options);
        ASSERT_EQ(run.exitCode, 0) << c.what << ": " << run.errText().toStdString();
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << c.what;
        EXPECT_EQ(fromCodePage932(file.readAll()).toStdString(), c.expected.toStdString()) << c.what;
        if (c.told)
            EXPECT_TRUE(run.errText().contains(QString::fromUtf8(c.told))) << c.what << ": " << run.errText().toStdString();
        else
            EXPECT_TRUE(run.err.isEmpty()) << c.what << ": " << run.errText().toStdString();
    }
}

TEST_F(Cli, BadInputIsToldWithTheUsageAndExitStatus2)
{
    QTemporaryDir out;
    const QString file = out.filePath(QStringLiteral("x.csv"));
    struct Case {
        QStringList arguments;
        const char* told;
    };
    const Case cases[] = {
        {{QStringLiteral("frobnicate")}, "「frobnicate」という動詞はありません"},
        {{QStringLiteral("ledger"), QStringLiteral("1111"), QStringLiteral("--from"), QStringLiteral("2024-02-30")}, "「2024-02-30」は正しくありません"},
        {{QStringLiteral("ledger"), QStringLiteral("1111"), QStringLiteral("--to"), QStringLiteral("2024/13/01")}, "「2024/13/01」は正しくありません"},
        {{QStringLiteral("ledger"), QStringLiteral("1111"), QStringLiteral("--from"), QStringLiteral("2011-01-01"), QStringLiteral("--to"),
          QStringLiteral("2010-01-01")},
         "より後です"},
        {{QStringLiteral("ledger"), QStringLiteral("1199")}, "「1199」の勘定科目は登録されていません"},
        {{QStringLiteral("ledger"), QStringLiteral("99")}, "「99」の分類は登録されていません"},
        {{QStringLiteral("ledger"), QStringLiteral("111")}, "分類なら2桁"},
        {{QStringLiteral("ledger")}, "CODE を指定してください"},
        {{QStringLiteral("ledger"), QStringLiteral("1111"), QStringLiteral("1112")}, "余分な引数"},
        {{QStringLiteral("ledger"), QStringLiteral("1111"), QStringLiteral("--format"), QStringLiteral("xml")}, "--format に「xml」"},
        {{QStringLiteral("ledger"), QStringLiteral("1111"), QStringLiteral("--encoding"), QStringLiteral("utf-8")}, "--format csv と一緒に"},
        {{QStringLiteral("journal"), QStringLiteral("--debit"), QStringLiteral("999999")}, "「999999」の細目は登録されていません"},
        {{QStringLiteral("journal"), QStringLiteral("--mode"), QStringLiteral("99")}, "「99」はありません"},
        {{QStringLiteral("journal"), QStringLiteral("--use"), QStringLiteral("9999")}, "「9999」は登録されていません"},
        {{QStringLiteral("journal"), QStringLiteral("--bogus")}, "「--bogus」というオプションはありません"},
        {{QStringLiteral("journal"), QStringLiteral("--from")}, "--from に値（DATE）がありません"},
        {{QStringLiteral("export")}, "export の後に"},
        {{QStringLiteral("export"), QStringLiteral("trial-balance")}, "export の後に"},
        {{QStringLiteral("export"), QStringLiteral("journal"), QStringLiteral("--debit"), QStringLiteral("04")}, "-o FILE"},
        {{QStringLiteral("export"), QStringLiteral("journal"), QStringLiteral("-o"), file}, "出力条件を指定してください。"},
        {{QStringLiteral("export"), QStringLiteral("journal"), QStringLiteral("--debit"), QStringLiteral("041101"), QStringLiteral("-o"), file},
         "細目では絞り込めません"},
        {{QStringLiteral("export"), QStringLiteral("ledger"), QStringLiteral("1111")}, "-o FILE"},
        {{QStringLiteral("check"), QStringLiteral("--format"), QStringLiteral("csv")}, "--format に「csv」"},
        {{QStringLiteral("restore")}, "FILE を指定してください"},
    };
    for (const Case& c : cases) {
        const std::string what = c.arguments.join(u' ').toStdString();
        const CliRun run = cli(c.arguments);
        EXPECT_EQ(run.exitCode, 2) << what << ": " << run.errText().toStdString();
        EXPECT_TRUE(run.errText().contains(QString::fromUtf8(c.told))) << what << ": " << run.errText().toStdString();
        EXPECT_TRUE(run.errText().contains(QStringLiteral("--help"))) << what;
        EXPECT_TRUE(run.out.isEmpty()) << what << ": " << run.outText().toStdString();
    }
    EXPECT_FALSE(QFile::exists(file));
    const CliRun none = runCli({});
    EXPECT_EQ(none.exitCode, 2);
    EXPECT_TRUE(none.errText().contains(QStringLiteral("動詞を指定してください"))) << none.errText().toStdString();
}

TEST_F(Cli, HelpListsEveryVerbAndEachVerbHasItsOwn)
{
    const CliRun help = runCli({QStringLiteral("--help")});
    ASSERT_EQ(help.exitCode, 0);
    for (const char* verb : {"ledger CODE", "journal", "export journal", "export ledger CODE", "check", "backup", "restore FILE"})
        EXPECT_TRUE(help.outText().contains(QStringLiteral("  ") + QString::fromUtf8(verb))) << verb;
    const QList<QStringList> verbs{{QStringLiteral("ledger")}, {QStringLiteral("journal")}, {QStringLiteral("export"), QStringLiteral("journal")},
                                   {QStringLiteral("export"), QStringLiteral("ledger")}, {QStringLiteral("check")},
                                   {QStringLiteral("backup")}, {QStringLiteral("restore")}};
    for (const QStringList& verb : verbs) {
        const CliRun run = runCli(verb + QStringList{QStringLiteral("--help")});
        EXPECT_EQ(run.exitCode, 0) << verb.join(u' ').toStdString();
        EXPECT_TRUE(run.outText().startsWith(QStringLiteral("使い方: tolva-cli ") + verb.join(u' '))) << run.outText().toStdString();
        EXPECT_TRUE(run.outText().contains(QStringLiteral("--data-dir DIR"))) << verb.join(u' ').toStdString();
    }
    EXPECT_TRUE(runCli({QStringLiteral("journal"), QStringLiteral("--help")}).outText().contains(QStringLiteral("--debit CODE")));
}

TEST_F(Cli, AProgramHoldingTheFolderIsToldAsTheWindowsTellIt)
{
    datafolder::Lock held(folder.path());
    ASSERT_TRUE(held.acquired());
    // What the program says to a second one on the same folder.
    const datafolder::Lock second(folder.path());
    ASSERT_FALSE(second.acquired());

    const CliRun refused = cli({QStringLiteral("ledger"), QStringLiteral("1111")});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.errText().trimmed().toStdString(), second.refusal().toStdString());
    EXPECT_TRUE(refused.out.isEmpty());
}

} // namespace

// The check's list of the reports the windows run holds every name a window asks for, and the
// template's project holds them all.
TEST(ReportsTheProgramRuns, AreTheWindowsOwnAndInTheTemplate)
{
    const QStringList asked{journalprint::kJournalBook,
                            journalprint::kSelection,
                            journalprint::kDetailed,
                            kDepreciationListReport,
                            closingReportName(ClosingView::TrialBalance),
                            closingReportName(ClosingView::Worksheet),
                            QStringLiteral("TlRepo03")};
    for (const QString& name : asked)
        EXPECT_TRUE(reports::programReports().contains(name)) << name.toStdString();
    EXPECT_EQ(reports::programReports().size(), asked.size());
    EXPECT_TRUE(reports::projectFindings(QDir(tolva::testing::templateDir()).filePath(QStringLiteral("TlRepo01.rav"))).isEmpty());
}
