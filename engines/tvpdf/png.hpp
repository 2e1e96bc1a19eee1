// A PNG reader of our own: every colour type and bit depth of the format,
// interlaced or not, decoded to 8-bit grey or RGB samples with an 8-bit
// alpha channel apart (from the file's alpha or its tRNS chunk).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tvpdf {

struct PngImage {
    uint32_t width = 0, height = 0;
    int channels = 0;    // 1 (grey) or 3 (RGB)
    std::string pixels;  // width * height * channels bytes, rows top to bottom
    std::string alpha;   // width * height bytes, or empty when fully opaque
};

// The largest image read, in pixels: larger files are refused.
inline constexpr uint64_t kMaxPngPixels = uint64_t{1} << 26;

// Decodes `file` (a whole PNG file). Returns false when it is not a PNG
// image this reader can decode.
bool decodePng(std::string_view file, PngImage& out);

}  // namespace tvpdf
