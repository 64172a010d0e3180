#include "base/uHugePages.h"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

void AdviseHugePages(const void* Data, size_t Bytes)
{
#if defined(MADV_HUGEPAGE)
    constexpr uintptr_t kHugePage = uintptr_t{2} << 20;
    if (!Data || Bytes < 2 * kHugePage)
        return;
    const uintptr_t begin = reinterpret_cast<uintptr_t>(Data);
    const uintptr_t first = (begin + kHugePage - 1) & ~(kHugePage - 1);
    const uintptr_t last = (begin + Bytes) & ~(kHugePage - 1);
    if (last > first)
        // Only advice: a refusal leaves ordinary pages, which work the same.
        (void)madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
    (void)Data;
    (void)Bytes;
#endif
}
