// Splitting file bytes into text lines as the text-file reader does: a line
// ends at CR, and an LF right after that CR belongs to the line end; a lone
// LF is an ordinary character of the line. The last line needs no line end,
// and a file that ends with a line end has no further, empty line.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace orv::files {

// Calls `each(std::string_view line)` for every line of `bytes`, in order,
// without its line end. Returns the number of lines.
template <class Each>
size_t forEachLine(std::string_view bytes, Each&& each) {
    size_t count = 0;
    size_t start = 0;
    const size_t n = bytes.size();
    while (start < n) {
        const void* hit = std::char_traits<char>::find(bytes.data() + start, n - start, '\r');
        const size_t cr =
            hit ? static_cast<size_t>(static_cast<const char*>(hit) - bytes.data()) : n;
        each(bytes.substr(start, cr - start));
        ++count;
        start = cr + 1;
        if (cr < n && start < n && bytes[start] == '\n') ++start;
    }
    return count;
}

// The number of lines of `bytes` (what forEachLine would report).
inline size_t countLines(std::string_view bytes) {
    return forEachLine(bytes, [](std::string_view) {});
}

}  // namespace orv::files
