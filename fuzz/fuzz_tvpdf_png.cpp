// Feeds arbitrary bytes to the engine's PNG reader: no crash, no read out
// of bounds; a decoded image has the sizes its buffers say.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "png.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tvpdf::PngImage img;
    if (!tvpdf::decodePng(std::string_view(reinterpret_cast<const char*>(data), size), img))
        return 0;
    const size_t pixels = size_t{img.width} * img.height;
    if (pixels == 0 || pixels > tvpdf::kMaxPngPixels) std::abort();
    if (img.channels != 1 && img.channels != 3) std::abort();
    if (img.pixels.size() != pixels * static_cast<size_t>(img.channels)) std::abort();
    if (!img.alpha.empty() && img.alpha.size() != pixels) std::abort();
    return 0;
}
