#include "db/storeerror.h"
#include "reports/csvwriter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

using namespace tolva;

namespace {

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden, QDir::Name);
}

} // namespace

TEST(CsvWriter, QuotesACellOnlyForBlanksControlCharactersQuotesAndCommas)
{
    const std::pair<QString, QString> cases[] = {
        {"", ""},                                  // empty: unchanged
        {"2010/04/01", "2010/04/01"},              // a date
        {"999", "999"},                            // a number below 1,000
        {"借", "借"},                              // a mark
        {"1,000", "\"1,000\""},                    // the thousands separator
        {"-1,234", "\"-1,234\""},
        {"家計費 食費 ", "\"家計費 食費 \""},        // a blank (code 32)
        {"a\tb", "\"a\tb\""},                      // a control character
        {QString(QChar(1)), QString("\"\x01\"")},
        {"line\r\nbreak", "\"line\r\nbreak\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},      // inner quotes doubled
        {"\"", "\"\"\"\""},
        {"!#~", "!#~"},                            // code 33 and above
        {"全角　空白", "全角　空白"},              // the ideographic space is not a blank here
    };
    for (const auto& [cell, written] : cases)
        EXPECT_EQ(csv::quoteCell(cell), written) << cell.toStdString();
    EXPECT_EQ(csv::joinRow({"日付", "a b", "", "1,0"}), QStringLiteral("日付,\"a b\",,\"1,0\""));
    EXPECT_EQ(csv::joinRow({}), QString());
}

TEST(CsvWriter, WritesCodePage932AndMarksWhatItCannotHold)
{
    struct Case {
        QString text;
        QByteArray bytes;
        bool replaced;
    };
    const Case cases[] = {
        {"元帳", "\x8c\xb3\x92\xa0", false},
        {"～", "\x81\x60", false},            // FULLWIDTH TILDE, the code page's own
        {"〜", "\x81\x60", false},            // WAVE DASH, as input methods type it
        {"−", "\x81\x7c", false},             // MINUS SIGN
        {"①髙", "\x87\x40\xfb\xfc", false},  // NEC and IBM extensions
        {"ｻﾎﾟｰﾄ", "\xbb\xce\xdf\xb0\xc4", false},
        {"a\\b~", "a\\b~", false},
        {"a😀b", "a?b", true},                // one "?" per character, not per UTF-16 unit
        {"café", "caf?", true},
        {QString(QChar(0xD800)) + u'x', "?x", true},  // a lone surrogate
        {QStringLiteral("あ") + QChar(0xD800), "\x82\xa0?", true},  // one at the very end, once silently dropped
        {QStringLiteral("¶") + QChar(0xFEFF), "\x81\xf7?", true},    // a zero-width no-break space, once dropped as a byte order mark
        {"?", "?", false},
        {QStringLiteral("a\x1a\x1c\x7f"), "a\x1a\x1c\x7f", false},  // ASCII stays where it is, controls included
        {QString(QChar(0xE000)), "\xf0\x40", false},     // the code page's own user-defined area
        {QString(QChar(0xF86F)), "?", true},               // not written as the № it would read back as
    };
    for (const Case& c : cases) {
        const csv::CodePage932Text encoded = csv::toCodePage932(c.text);
        EXPECT_EQ(encoded.bytes, c.bytes) << c.text.toStdString();
        EXPECT_EQ(encoded.replaced, c.replaced) << c.text.toStdString();
    }
}

TEST(CsvWriter, ReplacesAnExistingFileWithCrLfLinesAndAddsNoExtension)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("export"));
    writeFile(path, QByteArray(5000, 'x'));

    const csv::WriteOutcome outcome = csv::writeRows(path, {{"元帳 (現金)"}, {}, {"日付", "残高"}, {"2010/04/01", "1,000"}});
    EXPECT_TRUE(outcome.lossless());
    EXPECT_EQ(readFile(path), QByteArray("\"\x8c\xb3\x92\xa0 (\x8c\xbb\x8b\xe0)\"\r\n"
                                         "\r\n"
                                         "\x93\xfa\x95\x74,\x8e\x63\x8d\x82\r\n"
                                         "2010/04/01,\"1,000\"\r\n"));
    // Nothing beside it: no extension added, no temporary file left.
    EXPECT_EQ(entries(dir.path()), QStringList{"export"});
}

TEST(CsvWriter, NamesTheLinesWhereACharacterWasReplaced)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("memo.csv"));
    const csv::WriteOutcome outcome = csv::writeLines(path, {"title", "ok 〜", "cake 🎂", "fine", "émoji 🎉"});
    EXPECT_EQ(outcome.linesWithReplacements, (QList<int>{2, 4}));
    EXPECT_EQ(readFile(path), QByteArray("title\r\nok \x81\x60\r\ncake ?\r\nfine\r\n?moji ?\r\n"));

    const QString notice = csv::replacementNotice(path, {3, 5, 9}, {"NO 12", "", "NO 40"}, 2);
    EXPECT_TRUE(notice.contains(QDir::toNativeSeparators(path)));
    EXPECT_TRUE(notice.contains(QStringLiteral("\n  3 行目 (NO 12)\n  5 行目\n  ほか 1 行")));
    EXPECT_FALSE(notice.contains(QStringLiteral("9 行目")));
}

TEST(CsvWriter, ATargetThatCannotBeCreatedThrowsNamingIt)
{
    QTemporaryDir dir;
    // A path beneath a regular file: no user, root included, can create it.
    const QString regular = dir.filePath(QStringLiteral("plain"));
    writeFile(regular, "keep");
    const QString path = regular + QStringLiteral("/out.csv");
    try {
        csv::writeRows(path, {{"a"}});
        FAIL() << "no error";
    } catch (const StoreError& e) {
        EXPECT_TRUE(e.message().contains(QDir::toNativeSeparators(path))) << e.message().toStdString();
    }
    EXPECT_EQ(readFile(regular), QByteArray("keep"));
    EXPECT_EQ(entries(dir.path()), QStringList{"plain"});
}

TEST(CsvWriter, AWriteThatFailsPartWayLeavesTheOldFileWhole)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ledger.csv"));
    writeFile(path, "the good file\r\n");

    // A file size limit makes the write fail after its first bytes, also for root.
    struct rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto savedHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    QList<QStringList> rows;
    for (int i = 0; i < 5000; ++i)
        rows << QStringList{"2010/04/01", "家計費 食費 ", QString::number(i)};
    bool thrown = false;
    try {
        csv::writeRows(path, rows);
    } catch (const StoreError& e) {
        thrown = e.message().contains(QDir::toNativeSeparators(path));
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, savedHandler);

    EXPECT_TRUE(thrown);
    EXPECT_EQ(readFile(path), QByteArray("the good file\r\n"));
    EXPECT_EQ(entries(dir.path()), QStringList{"ledger.csv"});
}
