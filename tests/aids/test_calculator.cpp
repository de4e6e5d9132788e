// The calculator's keys as a user presses them, one sequence per case.
#include "aids/calculator.h"

#include <QStringList>

#include <gtest/gtest.h>

using tolva::Calculator;

namespace {

struct Outcome {
    QString display;
    QString memory;
    QStringList messages;
};

// Presses the keys of `sequence`, separated by blanks: digits, "＋", "－", "×", "÷", "＝", "C",
// "CE", "M+", "M-", "MR", "MC", "BS" (Backspace). A run of digits is one key per digit.
Outcome press(Calculator& calc, const QString& sequence)
{
    Outcome out;
    for (const QString& key : sequence.split(u' ', Qt::SkipEmptyParts)) {
        if (key[0].isDigit()) {
            for (QChar d : key)
                calc.digit(d.digitValue());
        } else if (key == u"＋") {
            calc.plus();
        } else if (key == u"－") {
            calc.minus();
        } else if (key == u"×") {
            calc.times();
        } else if (key == u"÷") {
            calc.divide();
        } else if (key == u"＝") {
            if (const QString message = calc.equals(); !message.isEmpty())
                out.messages << message;
        } else if (key == u"C") {
            calc.clear();
        } else if (key == u"CE") {
            calc.clearEntry();
        } else if (key == u"BS") {
            calc.backspace();
        } else if (key == u"M+") {
            calc.memoryPlus();
        } else if (key == u"M-") {
            calc.memoryMinus();
        } else if (key == u"MR") {
            calc.memoryRecall();
        } else if (key == u"MC") {
            calc.memoryClear();
        } else {
            ADD_FAILURE() << "unknown key " << key.toStdString();
        }
    }
    out.display = calc.display();
    out.memory = calc.memory();
    return out;
}

struct Case {
    const char* keys;
    const char* display;
    const char* memory = "0";
    bool divisionByZero = false;
};

} // namespace

TEST(Calculator, KeySequencesGiveTheDisplaysOfADeskCalculator)
{
    const Case cases[] = {
        {"", "0"},
        {"1234567", "1,234,567"},
        {"1 ＋ 2 ＋", "3"},
        {"1 ＋ 2 ＋ 3 ＝", "6"},
        {"5 ＋ ＋", "10"},                 // the second "＋" adds the last typed 5 again
        {"5 － 3 ＋ 2 ＝", "10"},          // "＋" adds without applying the pending "－"
        {"10 ÷ 4 ＝", "3"},                // 2.5, halves away from zero
        {"10 ÷ 4 ＝ × 2 ＝", "6"},         // the shown 3 is what is used next
        {"10 ÷ 3 ＝", "3"},
        {"9 － 4 ＝", "5"},
        {"9 － 4 ＝ ＝", "-5"},            // "＝" again: 0 − 5
        {"2 × 3 ＝ ＝", "0"},              // 3 × 0
        {"7 ÷ 0 ＝", "7", "0", true},      // the message, then the left operand
        {"5 M+ C 3 M+", "3", "8"},
        {"5 M+ C 3 M+ MR", "8", "8"},
        {"5 M+ C 3 M+ MR MC", "8", "0"},
        {"9 M+ 4 M-", "94", "-85"},        // the memory keys do not start a new number
        {"5 M+ 3", "53", "5"},
        {"5 ＋ C 3 ＝", "8"},              // "C" leaves the running sum
        {"5 ＋ CE 3 ＝", "3"},             // "CE" clears it
        {"1 ＋ 2 M+ ＋", "3", "2"},        // the memory keys leave the number typed alone
        {"999999999999", "999,999,999,999"},
        {"999999999999 ＋ 1 ＝", "1.00000000000E+12"},
        {"1234567890123", "1.23456789012E+12"},  // a 13th digit: exponent, 12 significant digits
        {"3 － 5 ＝", "-2"},
        {"1000 × 1000 ＝", "1,000,000"},
        {"1234 BS", "123"},                // Backspace takes back the last digit typed
        {"1234 BS BS 9", "129"},
        {"7 BS BS", "0"},
        {"12 ＋ 3 ＝ BS", "15"},           // a result was not typed: it stays
        {"12 ＋ BS 3 ＝", "15"},           // nor is the number a "＋" left
        {"1234567890123 BS", "123,456,789,012"},  // from the exponent display too
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keys);
        Calculator calc;
        const Outcome out = press(calc, QString::fromUtf8(c.keys));
        EXPECT_EQ(out.display, QString::fromUtf8(c.display));
        EXPECT_EQ(out.memory, QString::fromUtf8(c.memory));
        EXPECT_EQ(out.messages.size(), c.divisionByZero ? 1 : 0);
        if (c.divisionByZero && !out.messages.isEmpty()) {
            EXPECT_EQ(out.messages[0], QStringLiteral("「0」で割ることはできません！"));
        }
    }
}

TEST(Calculator, TheDisplayFormatAndWhatIsCopied)
{
    const std::pair<double, const char*> formats[] = {
        {0, "0"},          {-0.4, "0"},        {0.5, "1"},         {-0.5, "-1"},
        {1234.5, "1,235"}, {-1234.5, "-1,235"}, {999.4, "999"},     {1e11, "100,000,000,000"},
        {1e12, "1.00000000000E+12"},
    };
    for (const auto& [value, text] : formats)
        EXPECT_EQ(Calculator::format(value), QString::fromUtf8(text)) << value;

    Calculator calc;
    press(calc, QStringLiteral("1234"));
    EXPECT_EQ(calc.display(), QStringLiteral("1,234"));
    EXPECT_EQ(calc.copyText(), QStringLiteral("1234"));
    EXPECT_EQ(Calculator::parse(QStringLiteral("-1,234,567")), -1234567.0);
}
