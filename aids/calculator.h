#pragma once

#include <QString>

namespace tolva {

// The behaviour of the calculator "電卓": keys in, display texts out, no widgets. A small
// four-function calculator for whole yen with one memory. The main display is its working
// store: every key that needs the shown number reads it back from the display text without
// its separators, so what is used is always what the user sees.
class Calculator {
public:
    enum class Op { Add, Subtract, Multiply, Divide };

    // The main and the memory display: "0" at the start.
    [[nodiscard]] const QString& display() const { return display_; }
    [[nodiscard]] const QString& memory() const { return memory_; }
    // What "ｺﾋﾟｰ" puts on the clipboard: the main display without its separators.
    [[nodiscard]] QString copyText() const;

    // The keys. "＝" returns the message to show when it divides by a display of "0", else an
    // empty text.
    void digit(int d);
    void plus();
    void minus() { pending(Op::Subtract); }
    void times() { pending(Op::Multiply); }
    void divide() { pending(Op::Divide); }
    [[nodiscard]] QString equals();
    void clear();       // C: the display only
    // Takes back the last digit of the number being typed; a result is left as it is, since
    // no digit of it was typed.
    void backspace();
    void clearEntry();  // CE: the display and the running sum
    void memoryPlus();
    void memoryMinus();
    void memoryRecall();
    void memoryClear();

    // The message of a division by zero.
    static const QString kDivisionByZero;

    // F(x): thousands separators, no decimals, rounded to a whole number with halves away from
    // zero; a number of more than 12 integer digits in exponent notation with 12 significant
    // digits ("1.23456789012E+12").
    [[nodiscard]] static QString format(double x);
    // A display text read back as a number: separators removed.
    [[nodiscard]] static double parse(const QString& text);

private:
    void pending(Op op);
    [[nodiscard]] double shown() const { return parse(display_); }

    double accumulator_ = 0;
    double entry_ = 0;
    Op op_ = Op::Add;
    bool appending_ = true;
    QString display_ = QStringLiteral("0");
    QString memory_ = QStringLiteral("0");
};

} // namespace tolva
