// Private to the POSIX backend: the one mapping from system error codes to
// run-time error numbers, and the one read and one write loop.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "orvcommon/base/result.hpp"

namespace orv::platform::posix {

// The run-time error number for errno value `e`. `parentMissing` tells a
// missing file (53) from a missing folder on the way to it (76).
int32_t errorFromOs(int e, bool parentMissing = false);
// The same for a failure on `path`: ENOENT is looked at more closely.
Failure failureAt(int e, const std::string& path);
// errno as a failure.
Failure lastFailure();

// Reads until `n` bytes or the end of the file; EINTR is retried.
Result<size_t> readFully(int fd, char* buf, size_t n);
// Writes all of `bytes`; EINTR is retried. On failure `written` holds how
// much went out before it.
Status writeFully(int fd, std::string_view bytes, size_t* written = nullptr);
// Reads from the current position to the end.
Status readToEnd(int fd, std::string& out);

}  // namespace orv::platform::posix
