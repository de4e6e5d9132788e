#include "app/startup.h"
#include "app/tmenu.h"
#include "db/database.h"
#include "db/programstate.h"
#include "db/tdm01keiri.h"
#include "tests/support/helpshown.h"
#include "tests/support/scriptedprompter.h"
#include "tests/support/testdata.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QTemporaryDir>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QSysInfo>
#include <QTimer>
#include <QToolButton>

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

using namespace tolva;
using tolva::testing::ScriptedPrompter;
using tolva::testing::TestDataFolder;

namespace {

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        menu = std::make_unique<TMenu>(folder.path());
        dm.DataModuleCreate(programState().dataFolder);
        menu->setDataModule(dm);
    }
    void TearDown() override
    {
        menu.reset();
        dm.closeAll();
        tolva::testing::expectNoWindowLeftOpen();
    }

    void setOwner(int nendo, int shime)
    {
        Table& t = dm.t07Jigyou;
        t.open();
        t.edit();
        t.fieldByName("Nendo").setInteger(nendo);
        t.fieldByName("shime").setInteger(shime);
        t.post();
        t.close();
    }

    int storedYear()
    {
        Table& t = dm.t07Jigyou;
        t.close();
        t.open();
        const int year = int(t.fieldByName("Nendo").asInteger());
        t.close();
        return year;
    }

    TestDataFolder folder;
    Tdm01Keiri dm{programState()};
    ScriptedPrompter prompts;
    std::unique_ptr<TMenu> menu;
};

} // namespace

TEST_F(MainWindow, ShowsThePeriodAndMovesItWithTheYearControl)
{
    setOwner(2011, 2);
    menu->show();
    EXPECT_EQ(menu->windowTitle(), QStringLiteral("メイン画面"));
    EXPECT_EQ(menu->yearText(), QStringLiteral("2011"));
    EXPECT_EQ(menu->periodText(), QStringLiteral("2011/03/01～2012/02/29"));

    menu->upDown()->upButton()->click();
    EXPECT_EQ(menu->yearText(), QStringLiteral("2012"));
    EXPECT_EQ(menu->periodText(), QStringLiteral("2012/03/01～2013/02/28"));
    EXPECT_EQ(programState().periodStart, QDate(2012, 3, 1));
    EXPECT_EQ(programState().periodEnd, QDate(2013, 2, 28));
    EXPECT_EQ(storedYear(), 2012);

    menu->upDown()->downButton()->click();
    menu->upDown()->downButton()->click();
    EXPECT_EQ(menu->periodText(), QStringLiteral("2010/03/01～2011/02/28"));
    EXPECT_EQ(storedYear(), 2010);
    EXPECT_TRUE(prompts.messages.empty());
    menu->close();
}

TEST_F(MainWindow, TheYearStaysWithin1980And2100)
{
    for (const auto& [start, up, expected] : {std::tuple{1981, false, 1980}, std::tuple{2099, true, 2100}}) {
        setOwner(start, 12);
        auto window = std::make_unique<TMenu>(folder.path());
        window->setDataModule(dm);
        window->show();
        QToolButton* arrow = up ? window->upDown()->upButton() : window->upDown()->downButton();
        arrow->click();
        arrow->click();
        arrow->click();
        EXPECT_EQ(window->yearText(), QString::number(expected));
        EXPECT_EQ(storedYear(), expected);
        EXPECT_FALSE(arrow->isEnabled());
        window->close();
    }
}

TEST_F(MainWindow, VersionAndHelp)
{
    menu->show();
    menu->CheckBooksClick();
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, QStringLiteral("帳簿のファイルを検査しました。壊れている箇所はありません。"));
    prompts.messages.clear();


    menu->N12Click();
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, QStringLiteral("Version 1.0 2010/7/3"));

    // The local page in the program's own help window: no question about the internet, no
    // browser needed.
    const std::size_t before = prompts.messages.size();
    menu->N13Click();
    EXPECT_EQ(prompts.messages.size(), before);
    EXPECT_TRUE(prompts.openedUrls.empty());
    const QString page = tolva::testing::shownHelpPage(menu.get());
    EXPECT_TRUE(page.endsWith(QStringLiteral("help/TMenu.html")));
    EXPECT_TRUE(QFileInfo::exists(page));
    menu->close();
}

TEST_F(MainWindow, WindowsNotYetBuiltHaveTheirButtonsDisabled)
{
    menu->show();
    QPushButton* journal = menu->button(TMenu::Window::Journal);
    ASSERT_NE(journal, nullptr);
    EXPECT_EQ(journal->text(), QStringLiteral("仕訳"));
    EXPECT_FALSE(journal->isEnabled());
    EXPECT_EQ(menu->button(TMenu::Window::Owner)->text(), QStringLiteral("事業主　"));
    menu->close();
}

TEST_F(MainWindow, AStoreErrorAtShowIsShownNotThrown)
{
    // The owner table is gone: the message names it, and the window still comes up.
    {
        auto db = Database::forFolder(folder.path());
        db->exec(QStringLiteral("DROP TABLE Jigyounushi"));
    }
    menu->show();
    ASSERT_EQ(prompts.texts(ScriptedPrompter::Message::Error).size(), 1);
    EXPECT_TRUE(prompts.texts(ScriptedPrompter::Message::Error).first().contains(QStringLiteral("Jigyounushi")));
    menu->close();
}

TEST(OpeningBooks, MissingDamagedAndBusyFolders)
{
    ScriptedPrompter prompts;
    QTemporaryDir root;
    const QString folder = QDir(root.path()).filePath(QStringLiteral("Data"));

    prompts.answers = {false};  // no new books wanted
    EXPECT_EQ(startup::openBooks(folder, tolva::testing::templateDir()), nullptr);
    EXPECT_TRUE(prompts.messages.back().text.contains(QStringLiteral("見つかりません")));
    EXPECT_FALSE(QFileInfo::exists(folder));

    prompts.answers = {true};
    auto first = startup::openBooks(folder, tolva::testing::templateDir());
    ASSERT_NE(first, nullptr);
    Database::closeAll();

    // The same folder again while it is held.
    EXPECT_EQ(startup::openBooks(folder, tolva::testing::templateDir()), nullptr);
    EXPECT_TRUE(prompts.messages.back().text.contains(QStringLiteral("使用中"))) << prompts.messages.back().text.toStdString();
    first.reset();

    // Damaged books are refused in a few lines of Japanese naming the file and what to do;
    // SQLite's findings go to the detail area, three lines at most.
    QFile db(QDir(folder).filePath(QString::fromLatin1(Database::kFileName)));
    ASSERT_TRUE(db.open(QIODevice::ReadWrite));
    ASSERT_TRUE(db.seek(2 * 4096));
    db.write(QByteArray(20 * 4096, '\x5a'));
    db.close();
    EXPECT_EQ(startup::openBooks(folder, tolva::testing::templateDir()), nullptr);
    const ScriptedPrompter::Message damaged = prompts.messages.back();
    EXPECT_EQ(damaged.kind, ScriptedPrompter::Message::Error);
    EXPECT_TRUE(damaged.text.contains(QDir::toNativeSeparators(db.fileName()))) << damaged.text.toStdString();
    EXPECT_TRUE(damaged.text.contains(QStringLiteral("壊れている"))) << damaged.text.toStdString();
    EXPECT_TRUE(damaged.text.contains(QStringLiteral("バックアップ"))) << damaged.text.toStdString();
    EXPECT_LE(damaged.text.count(u'\n'), 1) << damaged.text.toStdString();
    EXPECT_FALSE(damaged.text.contains(QStringLiteral("Page"))) << damaged.text.toStdString();
    const qsizetype detailLines = damaged.detail.split(u'\n', Qt::SkipEmptyParts).size();
    EXPECT_GE(detailLines, 1);
    EXPECT_LE(detailLines, 3) << damaged.detail.toStdString();
    Database::closeAll();
}

// 帳簿の検査 reads the files beside the database too, and puts drifted row counts right.
TEST(OpeningBooks, TheMenusCheckNamesABrokenStoredQueryAndCountsTheJournalAgain)
{
    ScriptedPrompter prompts;
    TestDataFolder folder;
    auto lock = startup::openBooks(folder.path(), tolva::testing::templateDir());
    ASSERT_NE(lock, nullptr);
    TMenu menu(folder.path());
    auto* check = menu.findChild<QAction*>(QStringLiteral("CheckBooks"));
    ASSERT_NE(check, nullptr);

    QFile query(folder.file(QStringLiteral("uqSai.sql")));
    ASSERT_TRUE(query.open(QIODevice::ReadOnly));
    const QByteArray good = query.readAll();
    query.close();
    ASSERT_TRUE(query.open(QIODevice::WriteOnly | QIODevice::Truncate));
    query.write("DELETE FROM shiwake");
    query.close();
    check->trigger();
    ASSERT_FALSE(prompts.messages.empty());
    EXPECT_EQ(prompts.messages.back().kind, ScriptedPrompter::Message::Error);
    EXPECT_TRUE(prompts.messages.back().text.contains(QStringLiteral("uqSai.sql"))) << prompts.messages.back().text.toStdString();
    ASSERT_TRUE(query.open(QIODevice::WriteOnly | QIODevice::Truncate));
    query.write(good);
    query.close();

    Database::forFolder(folder.path())->exec(QStringLiteral("UPDATE RowCount SET n = n + 5 WHERE tableName = 'shiwake'"));
    check->trigger();
    EXPECT_EQ(prompts.messages.back().kind, ScriptedPrompter::Message::Information);
    EXPECT_TRUE(prompts.messages.back().text.contains(QStringLiteral("数え直して"))) << prompts.messages.back().text.toStdString();
    EXPECT_TRUE(Database::forFolder(folder.path())->countDrift().isEmpty());
    lock.reset();
    Database::closeAll();
}

// A log left beside the books: the start reads the whole file before it folds the log in, and
// says so while it does, in a notice that goes once the books are open.
TEST(OpeningBooks, AfterAnUncleanEndTheWholeFileIsCheckedUnderABusyNotice)
{
    ScriptedPrompter prompts;
    TestDataFolder folder;
    {
        sqlite3* handle = nullptr;
        ASSERT_EQ(sqlite3_open_v2(folder.file(QString::fromLatin1(Database::kFileName)).toUtf8().constData(), &handle,
                                  SQLITE_OPEN_READWRITE, nullptr),
                  SQLITE_OK);
        sqlite3_db_config(handle, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
        EXPECT_EQ(sqlite3_exec(handle, "UPDATE Jigyounushi SET name = '山田'", nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(handle);
    }
    ASSERT_TRUE(QFileInfo::exists(folder.file(QStringLiteral("tolva.sqlite-wal"))));
    QString shown;
    // Runs from the notice's own repaint, while the check is under way.
    QTimer::singleShot(0, [&] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* notice = qobject_cast<QProgressDialog*>(widget); notice && notice->isVisible())
                shown = notice->labelText();
        }
    });
    auto lock = startup::openBooks(folder.path(), tolva::testing::templateDir());
    ASSERT_NE(lock, nullptr) << (prompts.messages.empty() ? std::string() : prompts.messages.back().text.toStdString());
    EXPECT_TRUE(Database::forFolder(folder.path())->fullyChecked());
    EXPECT_TRUE(shown.contains(QStringLiteral("ファイル全体を検査しています"))) << shown.toStdString();
    for (QWidget* widget : QApplication::topLevelWidgets())
        EXPECT_FALSE(qobject_cast<QProgressDialog*>(widget) && widget->isVisible()) << "the notice stayed";
    lock.reset();
    Database::closeAll();
}

// Books of an older layout are brought to the new one at start under a notice whose bar
// fills as the books are rewritten, drawn while SQLite works; it goes once they are open.
TEST(OpeningBooks, BooksOfAnOlderLayoutAreBroughtUpToDateUnderANoticeThatShowsHowFar)
{
    ScriptedPrompter prompts;
    TestDataFolder folder;
    tolva::testing::makeBooksOfLayoutTwo(folder.path());
    Database::closeAll();
    QString shown;
    int highest = -1;
    int paints = 0;
    // Looks at the notice each time it is drawn during the upgrade.
    struct Watch : QObject {
        std::function<void(QProgressDialog*)> seen;
        bool eventFilter(QObject* watched, QEvent* event) override
        {
            if (event->type() == QEvent::Paint)
                if (auto* notice = qobject_cast<QProgressDialog*>(watched))
                    seen(notice);
            return false;
        }
    } watch;
    watch.seen = [&](QProgressDialog* notice) {
        ++paints;
        shown = notice->labelText();
        if (notice->maximum() == 100)
            highest = std::max(highest, notice->value());
    };
    qApp->installEventFilter(&watch);
    auto lock = startup::openBooks(folder.path(), tolva::testing::templateDir());
    qApp->removeEventFilter(&watch);
    ASSERT_NE(lock, nullptr) << (prompts.messages.empty() ? std::string() : prompts.messages.back().text.toStdString());
    EXPECT_EQ(Database::forFolder(folder.path())->schemaVersion(), Database::kSchemaVersion);
    EXPECT_GT(paints, 0) << "the notice was never drawn";
    EXPECT_TRUE(shown.contains(QStringLiteral("新しい形式"))) << shown.toStdString();
    EXPECT_GE(highest, 90);
    for (QWidget* widget : QApplication::topLevelWidgets())
        EXPECT_FALSE(qobject_cast<QProgressDialog*>(widget) && widget->isVisible()) << "the notice stayed";
    lock.reset();
    Database::closeAll();
}

// A normal start reads only what does not grow with the journal; a start after a program
// that did not end (its lock file left behind) reads every page first.
TEST(OpeningBooks, AfterAProgramThatDidNotEndEveryPageIsCheckedFirst)
{
    ScriptedPrompter prompts;
    TestDataFolder folder;
    ASSERT_TRUE(tolva::testing::damageAJournalPage(folder.path()));

    auto lock = startup::openBooks(folder.path(), tolva::testing::templateDir());
    ASSERT_NE(lock, nullptr) << "a normal start";
    EXPECT_FALSE(Database::forFolder(folder.path())->fullyChecked());
    {
        // The user asks for the whole check from the menu.
        TMenu menu(folder.path());
        auto* check = menu.findChild<QAction*>(QStringLiteral("CheckBooks"));
        ASSERT_NE(check, nullptr);
        EXPECT_EQ(check->text(), QStringLiteral("帳簿の検査"));
        check->trigger();
        ASSERT_FALSE(prompts.messages.empty());
        const ScriptedPrompter::Message found = prompts.messages.back();
        EXPECT_EQ(found.kind, ScriptedPrompter::Message::Error);
        EXPECT_TRUE(found.text.contains(QStringLiteral("壊れている箇所"))) << found.text.toStdString();
        EXPECT_FALSE(found.detail.isEmpty());
    }
    lock.reset();
    Database::closeAll();

    // A lock file naming a process that is gone: that program was killed or crashed.
    QProcess gone;
    gone.start(QStringLiteral("true"));
    gone.waitForFinished();
    QFile lockFile(folder.file(QStringLiteral("tolva.lock")));
    ASSERT_TRUE(lockFile.open(QIODevice::WriteOnly));
    lockFile.write(QByteArray::number(gone.processId()) + "\n" + QCoreApplication::applicationName().toUtf8() + "\n"
                   + QSysInfo::machineHostName().toUtf8() + "\n");
    lockFile.close();
    EXPECT_EQ(startup::openBooks(folder.path(), tolva::testing::templateDir()), nullptr);
    ASSERT_FALSE(prompts.messages.empty());
    EXPECT_TRUE(prompts.messages.back().text.contains(QStringLiteral("壊れている"))) << prompts.messages.back().text.toStdString();
    Database::closeAll();
}

TEST(OpeningBooks, AnEmptyFolderIsOfferedNewBooksAndWhatIsNoFolderIsSaidSo)
{
    ScriptedPrompter prompts;
    QTemporaryDir root;
    const QString folder = root.path();

    prompts.answers = {false};
    EXPECT_EQ(startup::openBooks(folder, tolva::testing::templateDir()), nullptr);
    EXPECT_TRUE(prompts.texts(ScriptedPrompter::Message::Question).value(0).contains(QStringLiteral("空です")));
    EXPECT_TRUE(prompts.messages.back().text.contains(QStringLiteral("帳簿がありません"))) << prompts.messages.back().text.toStdString();
    EXPECT_TRUE(QDir(folder).isEmpty());

    prompts.answers = {true};
    EXPECT_NE(startup::openBooks(folder, tolva::testing::templateDir()), nullptr);
    EXPECT_TRUE(QFileInfo::exists(QDir(folder).filePath(QString::fromLatin1(Database::kFileName))));
    Database::closeAll();

    // A file named as the data folder: said so, and nothing asked.
    prompts.messages.clear();
    const QString file = QDir(folder).filePath(QStringLiteral("uqSai.sql"));
    EXPECT_EQ(startup::openBooks(file, tolva::testing::templateDir()), nullptr);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_TRUE(prompts.messages[0].text.contains(QStringLiteral("フォルダではありません"))) << prompts.messages[0].text.toStdString();

    // A folder where only the log of removed books is left is no place for new books: nothing
    // is offered, and the leftover is named.
    QTemporaryDir leftovers;
    QFile wal(QDir(leftovers.path()).filePath(QStringLiteral("tolva.sqlite-wal")));
    ASSERT_TRUE(wal.open(QIODevice::WriteOnly));
    wal.write("the log of removed books");
    wal.close();
    prompts.messages.clear();
    EXPECT_EQ(startup::openBooks(leftovers.path(), tolva::testing::templateDir()), nullptr);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_TRUE(prompts.messages[0].text.contains(QStringLiteral("tolva.sqlite-wal"))) << prompts.messages[0].text.toStdString();
    EXPECT_EQ(QFileInfo(wal.fileName()).size(), qint64(qstrlen("the log of removed books")));
    Database::closeAll();
}

// A folder whose layout stopped part way is offered what it lacks, named, with the promise
// that the files there are kept; they are, byte for byte, and the books open. Refused, the
// folder is left as it was.
TEST(OpeningBooks, AHalfMadeFolderIsOfferedWhatItLacksAndKeepsItsFiles)
{
    const QString db = QString::fromLatin1(Database::kFileName);
    const QString sai = QStringLiteral("uqSai.sql");
    const QString project = QStringLiteral("TlRepo01.rav");
    const auto bytesOf = [](const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    struct Case {
        const char* what;
        QStringList removed;  // from a copy of the template
        QString own;          // replaced by the user's own
        const char* missingNamed;
    };
    const Case cases[] = {
        {"the template's files without the database", {db}, project, "tolva.sqlite がありません"},
        {"a database without uqSai.sql", {sai}, QStringLiteral("qUnionCode.sql"), "uqSai.sql がありません"},
        {"a database without the report project", {project}, sai, "TlRepo01.rav がありません"},
    };
    for (const bool agree : {false, true}) {
        for (const Case& c : cases) {
            const std::string what = std::string(c.what) + (agree ? ", completed" : ", refused");
            ScriptedPrompter prompts;
            TestDataFolder folder;
            for (const QString& name : c.removed)
                ASSERT_TRUE(QFile::remove(folder.file(name)));
            QFile own(folder.file(c.own));
            ASSERT_TRUE(own.open(QIODevice::WriteOnly | QIODevice::Truncate));
            own.write(c.own == project ? bytesOf(QDir(tolva::testing::templateDir()).filePath(project)).replace("合計残高試算表", "わが家の試算表")
                                       : QByteArray("-- the user's own\nSELECT Kcode AS Kcode FROM Kamoku\n"));
            own.close();
            QMap<QString, QByteArray> before;
            for (const QString& name : QDir(folder.path()).entryList(QDir::Files))
                before.insert(name, bytesOf(folder.file(name)));

            prompts.answers = {agree};
            auto lock = startup::openBooks(folder.path(), tolva::testing::templateDir());
            const QStringList questions = prompts.texts(ScriptedPrompter::Message::Question);
            ASSERT_EQ(questions.size(), 1) << what;
            EXPECT_TRUE(questions[0].contains(QStringLiteral("作成の途中で止まっています"))) << what << ": " << questions[0].toStdString();
            EXPECT_TRUE(questions[0].contains(QString::fromUtf8(c.missingNamed))) << what << ": " << questions[0].toStdString();
            EXPECT_TRUE(questions[0].contains(QStringLiteral("補いますか"))) << what;
            EXPECT_TRUE(questions[0].contains(c.own)) << what << ": the files kept are not named";
            EXPECT_TRUE(questions[0].contains(QStringLiteral("そのまま残します"))) << what;
            for (auto it = before.cbegin(); it != before.cend(); ++it)
                EXPECT_EQ(bytesOf(folder.file(it.key())), it.value()) << what << ": " << it.key().toStdString() << " was changed";
            if (agree) {
                EXPECT_NE(lock, nullptr) << what;
                EXPECT_TRUE(prompts.texts(ScriptedPrompter::Message::Error).isEmpty()) << what;
                EXPECT_EQ(datafolder::inspect(folder.path()).state, datafolder::Contents::State::Books) << what;
            } else {
                EXPECT_EQ(lock, nullptr) << what;
                EXPECT_TRUE(prompts.messages.back().text.contains(QStringLiteral("開けません"))) << what;
                EXPECT_EQ(QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(), before.size())
                    << what << ": the refused folder was changed";
            }
            lock.reset();
            Database::closeAll();
        }
    }
}
