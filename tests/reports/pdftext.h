#pragma once

#include <QString>
#include <QStringList>

namespace tolva::testing {

// The text of a PDF as `pdftotext -layout` lays it out, exactly as extracted: one string per
// page, lines kept. Fails the calling test (and returns nothing) when the tool cannot run.
[[nodiscard]] QStringList pdfPages(const QString& pdfPath);

// `pdfinfo`'s "Page size" line of the PDF, for example "595.276 x 841.89 pts (A4)".
[[nodiscard]] QString pdfPageSize(const QString& pdfPath);

// The first line of `text` that begins with `word` after its leading blanks, or an empty text.
[[nodiscard]] QString lineStartingWith(const QString& text, const QString& word);

} // namespace tolva::testing
