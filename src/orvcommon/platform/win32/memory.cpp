#include "orvcommon/platform/memory.hpp"

namespace orv::platform {

// Large pages on Windows need a privilege that ordinary processes lack and
// must be asked for when the memory is allocated, not afterwards: nothing to
// advise here.
void adviseLargeBlock(void* address, size_t bytes) {
    (void)address;
    (void)bytes;
}

}  // namespace orv::platform
