// Shared by the Funzioni fuzz targets: the first byte chooses the regional
// preset, the rest is the text (UTF-8, malformed sequences become U+FFFD).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "orvcommon/base/text.hpp"
#include "orvcommon/core/regional.hpp"

namespace orv::fuzz {

struct Input {
    Regional regional;
    Text text;
};

inline Input split(const uint8_t* data, size_t size) {
    Input in{size && (data[0] & 1) ? Regional::italian() : Regional::english(), Text()};
    if (size)
        in.text = fromUtf8(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
    return in;
}

}  // namespace orv::fuzz
