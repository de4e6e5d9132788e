#pragma once

#include <QString>
#include <QStringList>

namespace tolva::testing {

// The text of a PDF as `pdftotext -layout` lays it out, folded (see `folded`): one string
// per page, lines kept. Fails the calling test (and returns nothing) when the tool cannot run.
[[nodiscard]] QStringList pdfPages(const QString& pdfPath);

// Text as it can be compared with what comes back out of a PDF. The PDF writer names each
// glyph by the lowest code point the font draws with it, and the CJK font draws 高 and the
// radical ⾼, or ～ and 〜, with one glyph: the printed page is right, the extracted text
// holds the twin. Compatibility folding (NFKC) joins radicals with their ideographs; the
// wave dash is folded by hand. Expected texts go through the same folding.
[[nodiscard]] QString folded(const QString& text);

// `pdfinfo`'s "Page size" line of the PDF, for example "595.276 x 841.89 pts (A4)".
[[nodiscard]] QString pdfPageSize(const QString& pdfPath);

// The first line of `text` that begins with `word` after its leading blanks, or an empty text.
[[nodiscard]] QString lineStartingWith(const QString& text, const QString& word);

} // namespace tolva::testing
