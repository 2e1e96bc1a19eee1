// The engine's readers on arbitrary bytes. A PNG (by its signature) goes to
// the PNG reader: no read out of bounds, and a decoded image has the sizes
// its buffers say. Anything else is a command file (code page 1252 or UTF-8):
// a failure is a syntax error whose message names a line of the input and
// fits the engine's message buffer; a success has one command per non-blank,
// non-comment line at most and a page per NEWPAGE.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "document.hpp"
#include "png.hpp"

namespace {

void png(std::string_view bytes) {
    tvpdf::PngImage img;
    if (!tvpdf::decodePng(bytes, img)) return;
    const size_t pixels = size_t{img.width} * img.height;
    if (pixels == 0 || pixels > tvpdf::kMaxPngPixels) std::abort();
    if (img.channels != 1 && img.channels != 3) std::abort();
    if (img.pixels.size() != pixels * static_cast<size_t>(img.channels)) std::abort();
    if (!img.alpha.empty() && img.alpha.size() != pixels) std::abort();
}

void commands(std::string_view bytes) {
    const std::string text = tvpdf::decodeCommandFile(bytes);
    size_t lines = 1;
    for (char c : text)
        lines += c == '\n';
    try {
        const tvpdf::Document doc = tvpdf::parse(text);
        if (doc.commands.size() > lines) std::abort();
        int pages = 1;
        for (const tvpdf::Command& c : doc.commands) {
            if (c.line < 1 || static_cast<size_t>(c.line) > lines) std::abort();
            pages += c.op == tvpdf::Op::NewPage;
        }
        if (pages != doc.pageCount) std::abort();
    } catch (const tvpdf::Error& e) {
        const std::string m = e.what();
        if (e.code() != tvpdf::kSyntax || m.rfind("Line ", 0) != 0) std::abort();
        if (tvpdf::cp1252FromUtf8(m).size() > tvpdf::kMaxMessage) std::abort();
        if (std::strtoul(m.c_str() + 5, nullptr, 10) > lines) std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (bytes.rfind("\x89PNG", 0) == 0)
        png(bytes);
    else
        commands(bytes);
    return 0;
}
