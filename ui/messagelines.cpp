#include "ui/messagelines.h"

#include <QFontMetrics>
#include <QStringList>

namespace tolva {

namespace {

bool isClosing(QChar c)
{
    return QStringView(u"」』）)］】\"'").contains(c);
}

// The line cut into pieces, each ending after one of `marks` (and the closing brackets that
// follow it, which belong to the sentence).
QStringList piecesAfter(const QString& line, QStringView marks)
{
    QStringList pieces;
    QString piece;
    for (qsizetype i = 0; i < line.size(); ++i) {
        piece += line[i];
        if (!marks.contains(line[i]))
            continue;
        while (i + 1 < line.size() && isClosing(line[i + 1]))
            piece += line[++i];
        pieces << piece;
        piece.clear();
    }
    if (!piece.isEmpty())
        pieces << piece;
    return pieces;
}

// Pieces joined into lines of at most `width`; a piece wider than that has a line of its own.
QStringList fitted(const QStringList& pieces, const QFontMetrics& metrics, int width)
{
    QStringList lines;
    QString current;
    for (const QString& piece : pieces) {
        if (!current.isEmpty() && metrics.horizontalAdvance(current + piece) > width) {
            lines << current;
            current.clear();
        }
        current += piece;
    }
    if (!current.isEmpty())
        lines << current;
    return lines;
}

} // namespace

MessageLines messageLines(const QString& text, const QFontMetrics& metrics, int width, int widest)
{
    MessageLines out;
    QStringList lines;
    for (const QString& line : text.split(u'\n')) {
        if (metrics.horizontalAdvance(line) <= width) {
            lines << line;
            continue;
        }
        for (const QString& sentence : fitted(piecesAfter(line, u"。！？"), metrics, width)) {
            if (metrics.horizontalAdvance(sentence) <= widest)
                lines << sentence;
            else
                lines << fitted(piecesAfter(sentence, u"、，"), metrics, widest);
        }
    }
    for (const QString& line : lines)
        out.widestLine = qMax(out.widestLine, metrics.horizontalAdvance(line));
    out.text = lines.join(u'\n');
    return out;
}

} // namespace tolva
