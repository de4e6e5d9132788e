#include "largeblocks.h"

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace tolva {

void keepLargeBlocks()
{
#ifdef __GLIBC__
    constexpr int kLarge = 64 * 1024 * 1024;
    mallopt(M_MMAP_THRESHOLD, kLarge);
    mallopt(M_TRIM_THRESHOLD, kLarge);
#endif
}

} // namespace tolva
