#include "windows.h"

#include "tmenu.h"

namespace tolva {

void registerWindows()
{
}

} // namespace tolva
