// Feeds arbitrary bytes to the settings-store parser: it must not crash, and
// a store written back from what was parsed must parse to the same values.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "orvcommon/platform/regformat.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace orv::platform;
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    RegDocument doc = documentFromText(bytes);
    std::string written = writeRegText(doc);
    std::vector<RegParseError> errors;
    RegDocument again = documentFromText(written, &errors);
    if (!errors.empty() || !(again == doc)) std::abort();
    return 0;
}
