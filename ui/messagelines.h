#pragma once

#include <QString>

class QFontMetrics;

namespace tolva {

// The lines of a message as a message box shows them. A Japanese sentence has no spaces, and a
// box left to wrap it breaks it anywhere ("…行いませ" / "ん。"). A line wider than `width` is
// broken after its sentences (。！？), fitting as many on a line as `width` holds; a single
// sentence wider than `widest` is broken after its commas (、，). What remains wider than
// `width` sets the width of the box, which then holds the longest sentence whole.
struct MessageLines {
    QString text;      // the message with its lines broken
    int widestLine = 0;  // in pixels, in the metrics given
};
[[nodiscard]] MessageLines messageLines(const QString& text, const QFontMetrics& metrics, int width, int widest);

} // namespace tolva
