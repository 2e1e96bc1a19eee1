// Hints to the operating system about how the library uses its memory.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orv::platform {

// Tells the system that the block at `address` is large and about to be
// filled from start to end, so that it can back it with large pages and
// take fewer page faults. Only a hint: it may do nothing. It touches that
// block alone, never memory the library does not own.
void adviseLargeBlock(void* address, size_t bytes);

}  // namespace orv::platform
