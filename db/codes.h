#pragma once

#include <QString>

#include <array>
#include <optional>

namespace tolva {

// The codes of the books that carry meaning. Everything that compares or writes one of them
// names it here instead of writing the bare number or letter.

// shiwake.syori: the processing mode of a journal row.
enum class ProcessingMode : int {
    Ordinary = 10,           // "通常処理"
    BroughtForward = 21,     // "前期繰越": the opening rows the closing writes for the next year
    ClosingAdjustment = 31,  // "決算整理": totalled apart, as LSgaku / RSgaku
    ClosingTransfer = 41,    // "決算振替": written by the closing
    CarriedForward = 51,     // "次期繰越": written by the closing
};

inline constexpr std::array<ProcessingMode, 5> kProcessingModes = {
    ProcessingMode::Ordinary, ProcessingMode::BroughtForward, ProcessingMode::ClosingAdjustment,
    ProcessingMode::ClosingTransfer, ProcessingMode::CarriedForward};

[[nodiscard]] constexpr int code(ProcessingMode mode) { return static_cast<int>(mode); }

[[nodiscard]] constexpr std::optional<ProcessingMode> processingModeFromCode(int value)
{
    for (ProcessingMode mode : kProcessingModes) {
        if (code(mode) == value)
            return mode;
    }
    return std::nullopt;
}

// The menu caption of a mode, as the journal window lists them.
[[nodiscard]] inline QString processingModeName(ProcessingMode mode)
{
    switch (mode) {
    case ProcessingMode::Ordinary: return QStringLiteral("通常処理");
    case ProcessingMode::BroughtForward: return QStringLiteral("前期繰越");
    case ProcessingMode::ClosingAdjustment: return QStringLiteral("決算整理");
    case ProcessingMode::ClosingTransfer: return QStringLiteral("決算振替");
    case ProcessingMode::CarriedForward: return QStringLiteral("次期繰越");
    }
    return {};
}

// How the aggregations count a row of a mode: modes up to 21 as ordinary movements, 31 as
// closing adjustments, 41 and 51 never (they are the closing's own rows). In SQL the same
// rule reads "syori <= 21" and "syori = 31".
enum class AggregationShare { Movement, Adjustment, Excluded };
inline constexpr int kLastMovementMode = code(ProcessingMode::BroughtForward);

[[nodiscard]] constexpr AggregationShare aggregationShare(int syori)
{
    if (syori <= kLastMovementMode)
        return AggregationShare::Movement;
    if (syori == code(ProcessingMode::ClosingAdjustment))
        return AggregationShare::Adjustment;
    return AggregationShare::Excluded;
}

// Bunrui.BP: the statement an account category belongs to, stored as "1", "2" or "3".
enum class StatementCode { BalanceSheet = 1, ProfitAndLoss = 2, Adjustment = 3 };
// Bunrui.LR: the normal side of a category's accounts, stored as "1", "2" or "3". The trial
// balances show debit minus credit for Debit and credit minus debit for the others.
enum class SideCode { Debit = 1, Credit = 2, Adjustment = 3 };

// The stored text of a code ("1", "2", "3").
template <typename Code>
[[nodiscard]] inline QString codeText(Code value)
{
    return QString::number(static_cast<int>(value));
}

// The code a stored text names; nothing for another text (a record may hold anything).
template <typename Code>
[[nodiscard]] inline std::optional<Code> codeFromText(const QString& text)
{
    const QString t = text.trimmed();
    if (t == u"1" || t == u"2" || t == u"3")
        return static_cast<Code>(t.toInt());
    return std::nullopt;
}

} // namespace tolva
