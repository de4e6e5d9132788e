#pragma once

#include <QString>

#include <vector>

namespace tolva::reports {

// Gives the characters outside the Basic Multilingual Plane (𠮷, 𩸽) their text in a PDF that
// Qt's writer made. The writer names each glyph by a code point below U+10000 that the font
// draws with it, so a glyph drawn only for such a character is named by none: it prints, but
// a search or a copy loses it. Each font's subset numbers its glyphs in the order they were
// first drawn, so the glyphs that were left unnamed, in that order, are the characters outside
// the plane that face drew, in the order they were first drawn (`drawnInOrder`, each once).
// The file is rewritten in place. False (the file left as it was) when it is not a PDF of
// that writer or cannot be rewritten; a font whose unnamed glyphs do not match its characters
// one for one is left as it was.
bool restoreTextOutsideBmp(const QString& pdfPath, const std::vector<char32_t>& drawnInOrder);

// The family of the face that draws `c` in a report's text, for matching a font of the PDF.
[[nodiscard]] QString drawingFamily(char32_t c);

} // namespace tolva::reports
