// Feeds arbitrary bytes to the text-line splitter: no crash, the lines plus
// their line ends rebuild the input exactly, and no line holds a CR.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "orvcommon/files/line_reader.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::string rebuilt;
    size_t seen = 0;
    const size_t count = orv::files::forEachLine(bytes, [&](std::string_view line) {
        if (line.find('\r') != std::string_view::npos) std::abort();
        rebuilt.append(line);
        ++seen;
        // Whatever line end followed this line in the input.
        if (rebuilt.size() < bytes.size() && bytes[rebuilt.size()] == '\r') {
            rebuilt.push_back('\r');
            if (rebuilt.size() < bytes.size() && bytes[rebuilt.size()] == '\n')
                rebuilt.push_back('\n');
        }
    });
    if (count != seen || count != orv::files::countLines(bytes) || rebuilt != bytes) std::abort();
    return 0;
}
