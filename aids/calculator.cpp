#include "aids/calculator.h"

#include <cmath>

namespace tolva {

const QString Calculator::kDivisionByZero = QStringLiteral("「0」で割ることはできません！");

namespace {

// Beyond this a whole number no longer fits 12 digits and the display turns to exponents.
constexpr double kTwelveDigits = 1e12;

} // namespace

QString Calculator::format(double x)
{
    if (!std::isfinite(x))
        return QString::number(x);
    const double whole = std::round(x);  // halves away from zero
    if (std::fabs(whole) >= kTwelveDigits)
        return QString::number(x, 'E', 11);
    const qint64 n = qint64(whole);
    QString digits = QString::number(n < 0 ? -n : n);
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3)
        digits.insert(at, u',');
    return n < 0 ? u'-' + digits : digits;
}

double Calculator::parse(const QString& text)
{
    QString plain = text;
    plain.remove(u',');
    bool ok = false;
    const double value = plain.toDouble(&ok);
    return ok ? value : 0;
}

QString Calculator::copyText() const
{
    QString plain = display_;
    return plain.remove(u',');
}

void Calculator::digit(int d)
{
    if (appending_) {
        entry_ = shown() * 10 + d;
    } else {
        entry_ = d;
        appending_ = true;
    }
    display_ = format(entry_);
}

void Calculator::plus()
{
    // A running sum of the numbers typed between the presses; the pending operator is not
    // applied.
    if (accumulator_ != 0)
        accumulator_ += entry_;
    else
        accumulator_ = shown();
    display_ = format(accumulator_);
    accumulator_ = shown();
    op_ = Op::Add;
    appending_ = false;
}

void Calculator::pending(Op op)
{
    accumulator_ = shown();
    op_ = op;
    appending_ = false;
}

QString Calculator::equals()
{
    QString message;
    switch (op_) {
    case Op::Add:
        accumulator_ = shown() + accumulator_;
        break;
    case Op::Subtract:
        accumulator_ = accumulator_ - shown();
        break;
    case Op::Multiply:
        accumulator_ = shown() * accumulator_;
        break;
    case Op::Divide:
        if (display_ == u"0")
            message = kDivisionByZero;
        else
            accumulator_ = accumulator_ / shown();
        break;
    }
    display_ = format(accumulator_);
    appending_ = false;
    accumulator_ = 0;
    return message;
}

void Calculator::clear()
{
    display_ = QStringLiteral("0");
}

void Calculator::backspace()
{
    if (!appending_)
        return;
    entry_ = std::trunc(shown() / 10);
    display_ = format(entry_);
}

void Calculator::clearEntry()
{
    display_ = QStringLiteral("0");
    accumulator_ = 0;
}

// The memory keys leave the number being typed alone, so a "＋" right after them still adds
// what was typed last.
void Calculator::memoryPlus()
{
    memory_ = format(parse(memory_) + shown());
}

void Calculator::memoryMinus()
{
    memory_ = format(parse(memory_) - shown());
}

void Calculator::memoryRecall()
{
    display_ = memory_;
}

void Calculator::memoryClear()
{
    memory_ = QStringLiteral("0");
}

} // namespace tolva
