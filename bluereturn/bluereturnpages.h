#pragma once

#include "bluereturn/bluereturn.h"

#include <functional>

class QPagedPaintDevice;

namespace tolva {

// The statement drawn in the layout of the form, one A4 page per page of the form: the form's
// captions and line numbers, amounts right-aligned in yen, the findings of the checks printed
// on the page they concern. Told `progress` page by page (false stops); returns the pages
// drawn, or -1 when stopped.
int paintBlueReturn(const BlueReturn& statement, QPagedPaintDevice& device,
                    const std::function<bool(int pagesDone, int pageCount)>& progress = {});

// "令和6年分" for a period starting in 2024.
[[nodiscard]] QString reiwaYearText(const FiscalPeriod& period);

} // namespace tolva
