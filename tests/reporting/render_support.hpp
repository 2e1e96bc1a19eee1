// Test support for rendered reports: PNG pixels, PDF pages and words.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "support/command.hpp"
#include "support/environment.hpp"
#include "support/loopback_server.hpp"

namespace orv::test {

// An RGB image read from a PNG file by ImageMagick (not by our drawing library).
class Image {
  public:
    static std::optional<Image> load(const std::string& path) {
        Image img;
        const std::string size = runCommand("identify -format '%w %h' '" + path + "'").output;
        if (std::sscanf(size.c_str(), "%d %d", &img.width, &img.height) != 2) return std::nullopt;
        const std::string bytes = runCommand("convert '" + path + "' -depth 8 rgb:-").output;
        if (bytes.size() != static_cast<size_t>(img.width) * img.height * 3) return std::nullopt;
        for (size_t i = 0; i < bytes.size(); i += 3)
            img.rgb.push_back(static_cast<uint8_t>(bytes[i]) << 16 |
                              static_cast<uint8_t>(bytes[i + 1]) << 8 |
                              static_cast<uint8_t>(bytes[i + 2]));
        return img;
    }
    // 0xRRGGBB.
    uint32_t at(int x, int y) const { return rgb.at(static_cast<size_t>(y) * width + x); }
    bool dark(int x, int y) const {
        const uint32_t p = at(x, y);
        return ((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF) < 384;
    }
    // Dark pixels in [x0, x1) x [y0, y1).
    int darkIn(int x0, int y0, int x1, int y1) const {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                n += dark(x, y);
        return n;
    }

    int width = 0, height = 0;
    std::vector<uint32_t> rgb;
};

// Page `page` of a PDF rendered by pdftoppm at `dpi` into `base`.png.
inline std::optional<Image> renderPdfPage(const std::string& pdf, int dpi, const std::string& base,
                                          int page = 1) {
    const std::string p = std::to_string(page);
    if (runCommand("pdftoppm -r " + std::to_string(dpi) + " -f " + p + " -l " + p +
                   " -singlefile -png '" + pdf + "' '" + base + "'")
            .exitCode != 0)
        return std::nullopt;
    return Image::load(base + ".png");
}

// A word of a PDF and its box, in points from the page's top-left corner.
struct Word {
    int page;
    std::string text;
    double xMin, yMin, xMax, yMax;
};

// Every word of a PDF, through pdftotext -bbox.
inline std::vector<Word> pdfWords(const std::string& pdf) {
    const std::string html = runCommand("pdftotext -bbox '" + pdf + "' - 2>/dev/null").output;
    static const std::regex re(
        R"re(<page |<word xMin="([0-9.]+)" yMin="([0-9.]+)" xMax="([0-9.]+)" yMax="([0-9.]+)">([^<]*)</word>)re");
    std::vector<Word> words;
    int page = 0;
    for (std::sregex_iterator it(html.begin(), html.end(), re), end; it != end; ++it) {
        const std::smatch& m = *it;
        if (!m[1].matched) {
            ++page;
            continue;
        }
        words.push_back(
            {page, m[5], std::stod(m[1]), std::stod(m[2]), std::stod(m[3]), std::stod(m[4])});
    }
    return words;
}

// The first word `text` on `page`, or null.
inline const Word* findWord(const std::vector<Word>& words, int page, const std::string& text) {
    for (const Word& w : words)
        if (w.page == page && w.text == text) return &w;
    return nullptr;
}

// Asks `ready` every 100 ms, at most `tries` times; its last answer.
template <class Ready>
bool waitFor(Ready ready, int tries = 100) {
    for (int i = 1; i < tries && !ready(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    return ready();
}

}  // namespace orv::test
