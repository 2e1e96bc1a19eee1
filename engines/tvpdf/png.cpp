// PNG: the chunks read (IHDR, PLTE, tRNS, IDAT, IEND), the image data
// inflated with zlib, each row unfiltered (None, Sub, Up, Average, Paeth),
// the seven passes of an interlaced image put in place, samples of 1, 2, 4
// and 16 bits brought to 8.
#include "png.hpp"

#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace tvpdf {
namespace {

uint32_t be32(std::string_view s, size_t at) {
    return (uint32_t{static_cast<unsigned char>(s[at])} << 24) |
           (uint32_t{static_cast<unsigned char>(s[at + 1])} << 16) |
           (uint32_t{static_cast<unsigned char>(s[at + 2])} << 8) |
           uint32_t{static_cast<unsigned char>(s[at + 3])};
}

// Inflates exactly `size` bytes of zlib data; false when the data is short
// or damaged.
bool inflateAll(const std::string& in, std::vector<unsigned char>& out, size_t size) {
    out.clear();
    z_stream z{};
    if (inflateInit(&z) != Z_OK) return false;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    z.avail_in = static_cast<uInt>(in.size());
    int rc = Z_OK;
    // Grown as the data comes: a header claiming a huge image costs
    // nothing when its data is short.
    while (rc == Z_OK && out.size() < size) {
        const size_t have = out.size();
        out.resize(std::min(size, have + std::max<size_t>(have, 65536)));
        z.next_out = out.data() + have;
        z.avail_out = static_cast<uInt>(out.size() - have);
        rc = inflate(&z, Z_NO_FLUSH);
        out.resize(out.size() - z.avail_out);
        if (rc == Z_BUF_ERROR && z.avail_in == 0) break;
    }
    inflateEnd(&z);
    return out.size() == size && (rc == Z_OK || rc == Z_STREAM_END);
}

int paeth(int a, int b, int c) {
    const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

// Undoes the filters of `rows` rows of `rowBytes` bytes each (after their
// filter byte), `bpp` bytes a pixel (at least 1), in place at `data`.
bool unfilter(unsigned char* data, size_t rows, size_t rowBytes, size_t bpp) {
    const unsigned char* prev = nullptr;
    for (size_t y = 0; y < rows; ++y) {
        unsigned char* row = data + y * (rowBytes + 1);
        const int type = row[0];
        unsigned char* p = row + 1;
        for (size_t i = 0; i < rowBytes; ++i) {
            const int a = i >= bpp ? p[i - bpp] : 0;
            const int b = prev ? prev[i] : 0;
            const int c = prev && i >= bpp ? prev[i - bpp] : 0;
            switch (type) {
                case 0:
                    break;
                case 1:
                    p[i] = static_cast<unsigned char>(p[i] + a);
                    break;
                case 2:
                    p[i] = static_cast<unsigned char>(p[i] + b);
                    break;
                case 3:
                    p[i] = static_cast<unsigned char>(p[i] + (a + b) / 2);
                    break;
                case 4:
                    p[i] = static_cast<unsigned char>(p[i] + paeth(a, b, c));
                    break;
                default:
                    return false;
            }
        }
        prev = p;
    }
    return true;
}

}  // namespace

bool decodePng(std::string_view file, PngImage& out) {
    static const char kSignature[] = "\x89PNG\r\n\x1a\n";
    if (file.size() < 8 || file.substr(0, 8) != std::string_view(kSignature, 8)) return false;
    uint32_t width = 0, height = 0;
    int depth = 0, type = -1, interlace = 0;
    std::string palette, trns, idat;
    bool header = false, end = false;
    for (size_t at = 8; at + 12 <= file.size() && !end;) {
        const uint32_t len = be32(file, at);
        if (len > file.size() - at - 12) return false;
        const std::string_view tag = file.substr(at + 4, 4), body = file.substr(at + 8, len);
        if (tag == "IHDR") {
            if (len < 13 || header) return false;
            width = be32(body, 0);
            height = be32(body, 4);
            depth = static_cast<unsigned char>(body[8]);
            type = static_cast<unsigned char>(body[9]);
            interlace = static_cast<unsigned char>(body[12]);
            header = true;
        } else if (!header) {
            return false;
        } else if (tag == "PLTE") {
            palette = body;
        } else if (tag == "tRNS") {
            trns = body;
        } else if (tag == "IDAT") {
            idat.append(body);
        } else if (tag == "IEND") {
            end = true;
        }
        at += 12 + size_t{len};
    }
    if (!header || idat.empty() || width == 0 || height == 0 || interlace > 1) return false;
    if (uint64_t{width} * height > kMaxPngPixels) return false;
    // Samples a pixel and the bit depths each colour type allows.
    int samples = 0;
    bool depthOk = depth == 8 || depth == 16;
    switch (type) {
        case 0:
            samples = 1;
            depthOk = depthOk || depth == 1 || depth == 2 || depth == 4;
            break;
        case 2:
            samples = 3;
            break;
        case 3:
            samples = 1;
            depthOk = depth == 1 || depth == 2 || depth == 4 || depth == 8;
            if (palette.empty() || palette.size() % 3) return false;
            break;
        case 4:
            samples = 2;
            break;
        case 6:
            samples = 4;
            break;
        default:
            return false;
    }
    if (!depthOk) return false;
    const size_t bitsPerPixel = size_t(samples) * depth;
    const size_t bpp = bitsPerPixel < 8 ? 1 : bitsPerPixel / 8;

    // The passes: (x0, y0, dx, dy); one of (0, 0, 1, 1) when not interlaced.
    struct Pass {
        uint32_t x0, y0, dx, dy;
    };
    static const Pass kAdam7[7] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                   {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
    static const Pass kWhole[1] = {{0, 0, 1, 1}};
    const Pass* passes = interlace ? kAdam7 : kWhole;
    const int passCount = interlace ? 7 : 1;
    size_t total = 0;
    for (int p = 0; p < passCount; ++p) {
        const uint64_t w = (width + passes[p].dx - 1 - passes[p].x0) / passes[p].dx;
        const uint64_t h = (height + passes[p].dy - 1 - passes[p].y0) / passes[p].dy;
        if (width <= passes[p].x0 || height <= passes[p].y0) continue;
        total += h * ((w * bitsPerPixel + 7) / 8 + 1);
    }
    std::vector<unsigned char> raw;
    if (!inflateAll(idat, raw, total)) return false;

    const bool alphaOut = type == 4 || type == 6 || !trns.empty();
    out.width = width;
    out.height = height;
    out.channels = type == 2 || type == 3 || type == 6 ? 3 : 1;
    out.pixels.assign(size_t{width} * height * out.channels, '\0');
    out.alpha.assign(alphaOut ? size_t{width} * height : 0, '\xff');

    size_t offset = 0;
    for (int p = 0; p < passCount; ++p) {
        const Pass& ps = passes[p];
        if (width <= ps.x0 || height <= ps.y0) continue;
        const size_t w = (width + ps.dx - 1 - ps.x0) / ps.dx;
        const size_t h = (height + ps.dy - 1 - ps.y0) / ps.dy;
        const size_t rowBytes = (w * bitsPerPixel + 7) / 8;
        unsigned char* data = raw.data() + offset;
        if (!unfilter(data, h, rowBytes, bpp)) return false;
        offset += h * (rowBytes + 1);
        for (size_t y = 0; y < h; ++y) {
            const unsigned char* row = data + y * (rowBytes + 1) + 1;
            // Sample s of pixel x, its raw value and its 8-bit value.
            const auto sample = [&](size_t x, int s, uint32_t& value) -> unsigned char {
                if (depth == 16) {
                    const size_t i = (x * samples + s) * 2;
                    value = (uint32_t{row[i]} << 8) | row[i + 1];
                    return row[i];
                }
                if (depth == 8) {
                    value = row[x * samples + s];
                    return row[x * samples + s];
                }
                const size_t bit = x * depth;
                value = (row[bit / 8] >> (8 - depth - bit % 8)) & ((1u << depth) - 1);
                return static_cast<unsigned char>(type == 3 ? value
                                                            : value * 255 / ((1u << depth) - 1));
            };
            const size_t outY = ps.y0 + y * ps.dy;
            for (size_t x = 0; x < w; ++x) {
                const size_t at = outY * width + ps.x0 + x * ps.dx;
                unsigned char* px =
                    reinterpret_cast<unsigned char*>(out.pixels.data()) + at * out.channels;
                uint32_t v0 = 0, v1 = 0, v2 = 0, va = 0;
                if (type == 3) {
                    sample(x, 0, v0);
                    if (size_t{v0} * 3 + 2 >= palette.size()) return false;
                    for (int k = 0; k < 3; ++k)
                        px[k] = static_cast<unsigned char>(palette[v0 * 3 + k]);
                    if (alphaOut) out.alpha[at] = v0 < trns.size() ? trns[v0] : '\xff';
                } else if (type == 0 || type == 4) {
                    px[0] = sample(x, 0, v0);
                    if (type == 4)
                        out.alpha[at] = static_cast<char>(sample(x, 1, va));
                    else if (alphaOut && trns.size() >= 2 &&
                             v0 == ((uint32_t{static_cast<unsigned char>(trns[0])} << 8) |
                                    static_cast<unsigned char>(trns[1])))
                        out.alpha[at] = '\0';
                } else {
                    px[0] = sample(x, 0, v0);
                    px[1] = sample(x, 1, v1);
                    px[2] = sample(x, 2, v2);
                    if (type == 6) {
                        out.alpha[at] = static_cast<char>(sample(x, 3, va));
                    } else if (alphaOut && trns.size() >= 6) {
                        const auto key = [&](int k) {
                            return (uint32_t{static_cast<unsigned char>(trns[2 * k])} << 8) |
                                   static_cast<unsigned char>(trns[2 * k + 1]);
                        };
                        if (v0 == key(0) && v1 == key(1) && v2 == key(2)) out.alpha[at] = '\0';
                    }
                }
            }
        }
    }
    if (alphaOut && out.alpha.find_first_not_of('\xff') == std::string::npos) out.alpha.clear();
    return true;
}

}  // namespace tvpdf
