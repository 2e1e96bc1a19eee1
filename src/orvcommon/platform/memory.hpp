// Hints to the operating system about how the library uses its memory.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orv::platform {

// Tells the system that the block at `address` is large and about to be
// filled from start to end, so that it can back it with large pages and
// take fewer page faults. Only a hint: it may do nothing.
void adviseLargeBlock(void* address, size_t bytes);

// For a loop that fills many new small allocations, one after another (the
// cells of a table): the process heap grows under it in steps of some
// hundred kilobytes, and each new page would cost a page fault when the
// allocator first writes it. A trip into the kernel and back per page costs
// several times the zeroing of the page in a virtual machine. Calling
// `catchUp` now and then (once per row) gives the memory that the heap has
// grown by since the last call its pages in one request instead. Cheap when
// the heap has not grown; it never changes memory's contents. Only a hint:
// where the heap does not grow that way, or the system cannot do it, it does
// nothing and the pages come one fault at a time as before.
class HeapGrowth {
  public:
    HeapGrowth();  // notes where the heap ends now
    void catchUp();

  private:
    uintptr_t end_ = 0;  // where the heap ended at the last look; 0: no end to follow
};

}  // namespace orv::platform
