// Where a message box breaks the lines of a message.
#include "ui/messagelines.h"

#include <QApplication>
#include <QFontMetrics>

#include <gtest/gtest.h>

using namespace tolva;

TEST(MessageLines, LinesBreakAfterSentencesAndNeverInsideAWord)
{
    const QFontMetrics metrics(QApplication::font());
    // Widths measured in the font itself: "n characters" of the widest kana in the texts.
    const auto chars = [&](int n) { return metrics.horizontalAdvance(QString(n, QChar(u'あ'))); };
    struct Case {
        const char* what;
        const char* text;
        int width;   // in characters
        int widest;  // in characters
        const char* lines;
    };
    const Case cases[] = {
        {"a message that fits is left as it is", "入力値が正しくありません", 20, 40, "入力値が正しくありません"},
        {"its own line breaks are kept", "一行目です。\n二行目です。", 40, 40, "一行目です。\n二行目です。"},
        {"sentences share a line as far as it holds them",
         "ここまでです。次の文です。最後の文です。", 14, 40, "ここまでです。次の文です。\n最後の文です。"},
        {"a sentence wider than the box widens it instead of breaking",
         "この仕訳は期間の外にあるため集計を行いません。確認してください。", 12, 40,
         "この仕訳は期間の外にあるため集計を行いません。\n確認してください。"},
        {"a sentence wider than the widest box breaks after its commas",
         "期間の外の仕訳は、集計にも印刷にも含まれず、決算の仕訳にも使われません。", 10, 16,
         "期間の外の仕訳は、\n集計にも印刷にも含まれず、\n決算の仕訳にも使われません。"},
        {"a closing bracket stays with its sentence", "「0」で割ることはできません！」次へ進みます。", 8, 40,
         "「0」で割ることはできません！」\n次へ進みます。"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const MessageLines out = messageLines(QString::fromUtf8(c.text), metrics, chars(c.width), chars(c.widest));
        EXPECT_EQ(out.text, QString::fromUtf8(c.lines));
        int widest = 0;
        for (const QString& line : out.text.split(u'\n'))
            widest = qMax(widest, metrics.horizontalAdvance(line));
        EXPECT_EQ(out.widestLine, widest);
    }
}
