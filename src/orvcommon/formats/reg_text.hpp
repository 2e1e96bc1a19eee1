// Registry export text (".reg" files) as the settings store imports it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace orv::formats {

// A line of registry export text that could not be read.
struct RegLineError {
    size_t line;  // 1-based
    std::string message;
};

// The lines an import of `text` passes over on purpose, each with the
// reason: value lines under a deleted key ([-key]), which the registry
// editor skips too. They do not stop the import; lines that cannot be read
// do (importText lists those).
std::vector<RegLineError> regTextWarnings(std::string_view text);

}  // namespace orv::formats
