#include "orvcommon/platform/memory.hpp"

namespace orv::platform {

// Large pages on Windows need a privilege that ordinary processes lack and
// must be asked for when the memory is allocated, not afterwards: nothing to
// advise here.
void adviseLargeBlock(void* address, size_t bytes) {
    (void)address;
    (void)bytes;
}

// The Windows heap commits its pages on its own terms: there is no heap end to
// follow, and the hint does nothing.
HeapGrowth::HeapGrowth() = default;
void HeapGrowth::catchUp() {}

}  // namespace orv::platform
