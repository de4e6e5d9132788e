#include "ui/freedmemory.h"

#if __has_include(<malloc.h>)
#include <malloc.h>
#endif

namespace tolva {

void returnFreedMemory()
{
#if __has_include(<malloc.h>)
    malloc_trim(0);
#endif
}

} // namespace tolva
