#include "orvcommon/platform/memory.hpp"

#include <sys/mman.h>

#include "orvcommon/platform/posix/posix_io.hpp"

namespace orv::platform {

// Only the block the library allocated itself is advised: the rest of the
// process's memory belongs to its host.
void adviseLargeBlock(void* address, size_t bytes) {
#ifdef MADV_HUGEPAGE
    // Transparent huge pages cover whole 2 MiB pages inside the block.
    constexpr uintptr_t kHugePage = uintptr_t{2} << 20;
    const uintptr_t start = reinterpret_cast<uintptr_t>(address);
    const uintptr_t first = (start + kHugePage - 1) & ~(kHugePage - 1);
    const uintptr_t end = (start + bytes) & ~(kHugePage - 1);
    if (end > first)  // a hint; may fail
        (void)posix::sys.madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
#else
    (void)address;
    (void)bytes;
#endif
}

}  // namespace orv::platform
