// Reading the command file and the code page 1252 conversions.
#include <cstdio>
#include <string>

#include "document.hpp"

namespace tvpdf {
namespace {

// Characters of bytes 0x80-0x9F; the five undefined positions stand for
// the C1 control of the same number.
constexpr char16_t kHigh[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

}  // namespace

std::string utf8FromCp1252(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (unsigned char b : bytes)
        appendUtf8(out, b >= 0x80 && b < 0xA0 ? kHigh[b - 0x80] : b);
    return out;
}

std::string cp1252FromUtf8(std::string_view utf8) {
    std::string out;
    for (size_t i = 0; i < utf8.size();) {
        const unsigned char b = static_cast<unsigned char>(utf8[i]);
        const int len = b < 0x80         ? 1
                        : (b >> 5) == 6  ? 2
                        : (b >> 4) == 14 ? 3
                        : (b >> 3) == 30 ? 4
                                         : 1;
        char32_t c = len == 1 ? b : b & (0xFF >> (len + 1));
        bool ok = len == 1 ? b < 0x80 : i + len <= utf8.size();
        for (int k = 1; ok && k < len; ++k) {
            const unsigned char n = static_cast<unsigned char>(utf8[i + k]);
            ok = (n & 0xC0) == 0x80;
            c = (c << 6) | (n & 0x3F);
        }
        i += ok ? len : 1;
        char byte = '?';
        if (ok && (c < 0x80 || (c >= 0xA0 && c <= 0xFF))) {
            byte = static_cast<char>(c);
        } else if (ok) {
            for (int k = 0; k < 32; ++k)
                if (kHigh[k] == c) byte = static_cast<char>(0x80 + k);
        }
        out.push_back(byte);
    }
    return out;
}

void run(const std::string& commandPath, const std::string& pdfPath) {
    FILE* in = std::fopen(commandPath.c_str(), "rb");
    if (!in) fail(kIo, 0, "Cannot read the command file " + quotedPath(commandPath));
    std::string bytes;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, in)) > 0)
        bytes.append(buf, n);
    const bool readError = std::ferror(in) != 0;
    std::fclose(in);
    if (readError) fail(kIo, 0, "Cannot read the command file " + quotedPath(commandPath));

    const Document doc = parse(utf8FromCp1252(bytes));
    const size_t slash = commandPath.find_last_of('/');
    const std::string base = slash == std::string::npos ? "."
                             : slash == 0               ? "/"
                                                        : commandPath.substr(0, slash);
    render(doc, base, pdfPath);
}

}  // namespace tvpdf
