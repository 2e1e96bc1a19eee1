// Information about the library's own module.
#pragma once

#include "orvcommon/base/text.hpp"

namespace orv::platform {

// Base name of the library's own file without "lib" and extension
// ("orvcommon"); a static build reports "orvcommon".
const Text& moduleName();
// Folder of the library's own file (of the executable in a static build),
// without a trailing separator.
const Text& moduleFolder();

}  // namespace orv::platform
