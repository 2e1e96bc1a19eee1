#include "orvcommon/platform/memory.hpp"

#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>

namespace orv::platform {
namespace {

// Linux 5.14; older headers lack it, and older kernels refuse it (EINVAL).
#ifdef MADV_POPULATE_WRITE
constexpr int kPopulateWrite = MADV_POPULATE_WRITE;
#else
constexpr int kPopulateWrite = 23;
#endif

// The end of the heap that the allocator grows with brk; 0 where none can
// be read. sbrk(0) only reads the library's note of it (no system call).
uintptr_t heapEnd() {
    void* const end = sbrk(0);
    return end == reinterpret_cast<void*>(-1) ? 0 : reinterpret_cast<uintptr_t>(end);
}

}  // namespace

void adviseLargeBlock(void* address, size_t bytes) {
#ifdef MADV_HUGEPAGE
    // Transparent huge pages cover whole 2 MiB pages inside the block.
    constexpr uintptr_t kHugePage = uintptr_t{2} << 20;
    const uintptr_t start = reinterpret_cast<uintptr_t>(address);
    const uintptr_t first = (start + kHugePage - 1) & ~(kHugePage - 1);
    const uintptr_t end = (start + bytes) & ~(kHugePage - 1);
    if (end > first)
        madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);  // a hint; may fail
#else
    (void)address;
    (void)bytes;
#endif
}

HeapGrowth::HeapGrowth() : end_(heapEnd()) {}

void HeapGrowth::catchUp() {
    if (end_ == 0) return;
    const uintptr_t end = heapEnd();
    if (end <= end_) {
        end_ = end != 0 ? end : end_;  // unchanged, or trimmed: follow it down
        return;
    }
    // The allocator has already written the first page of the new part (the
    // header of the chunk that asked for it); the whole pages after it are
    // still untouched. Populating is a no-op on pages already there.
    static const auto page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
    const uintptr_t first = (end_ + page - 1) & ~(page - 1);
    const uintptr_t last = end & ~(page - 1);
    end_ = end;
    if (last > first &&
        madvise(reinterpret_cast<void*>(first), last - first, kPopulateWrite) != 0 &&
        errno == EINVAL)
        end_ = 0;  // a kernel without it: stop asking
}

}  // namespace orv::platform
