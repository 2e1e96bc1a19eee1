// Registry export text (".reg" files) as the settings store imports it.
#pragma once

#include <string_view>
#include <vector>

#include "orvcommon/platform/settings.hpp"

namespace orv::platform {

// The lines an import of `text` passes over on purpose, each with the
// reason: value lines under a deleted key ([-key]), which the registry
// editor skips too. They do not stop the import; lines that cannot be read
// do (importText lists those).
std::vector<StoreLineError> regTextWarnings(std::string_view text);

}  // namespace orv::platform
