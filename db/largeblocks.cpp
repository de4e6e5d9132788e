#include "db/largeblocks.h"

#if __has_include(<malloc.h>)
#include <malloc.h>
#endif

namespace tolva {

void keepLargeBlocks()
{
    // The GNU C library's settings; elsewhere its own allocator decides.
#if defined(M_MMAP_THRESHOLD) && defined(M_TRIM_THRESHOLD)
    constexpr int kLarge = 64 * 1024 * 1024;
    mallopt(M_MMAP_THRESHOLD, kLarge);
    mallopt(M_TRIM_THRESHOLD, kLarge);
#endif
}

} // namespace tolva
