#pragma once

#include "bluereturn/bluereturn.h"

#include <QPageLayout>

class QPainter;

namespace tolva {

// The statement drawn in the layout of the form, one A4 page per page of the form: the form's
// captions and line numbers, amounts right-aligned in yen, the findings of the checks printed
// on the page they concern.
inline constexpr int kBlueReturnPages = 4;
[[nodiscard]] QPageLayout blueReturnPageLayout();
// Draws page `page` (from 0); the painter's origin is the top left corner of the printable
// area, its device gives the resolution.
void drawBlueReturnPage(const BlueReturn& statement, QPainter& painter, int page);

// "令和6年分" for a period starting in 2024.
[[nodiscard]] QString reiwaYearText(const FiscalPeriod& period);

} // namespace tolva
