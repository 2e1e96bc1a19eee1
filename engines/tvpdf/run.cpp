// Reading the command file and the code page 1252 conversions.
#include <string>

#include "bytes.hpp"
#include "document.hpp"
#include "system.hpp"

namespace tvpdf {
namespace {

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

// True when `bytes` is valid UTF-8 holding at least one multi-byte
// sequence: a file written as UTF-8, not code page 1252 text (whose
// letters past ASCII almost never form valid sequences).
bool looksUtf8(std::string_view bytes) {
    bool multi = false;
    for (size_t i = 0; i < bytes.size();) {
        const bool ascii = static_cast<unsigned char>(bytes[i]) < 0x80;
        char32_t c;
        if (!nextUtf8(bytes, i, c)) return false;
        multi = multi || !ascii;
    }
    return multi;
}

}  // namespace

bool nextUtf8(std::string_view s, size_t& i, char32_t& c) {
    const unsigned char b = static_cast<unsigned char>(s[i]);
    const int len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
    if (len == 0 || i + len > s.size()) {
        ++i;
        return false;
    }
    c = len == 1 ? b : b & (0xFF >> (len + 1));
    for (int k = 1; k < len; ++k) {
        const unsigned char n = static_cast<unsigned char>(s[i + k]);
        if ((n & 0xC0) != 0x80) {
            ++i;
            return false;
        }
        c = (c << 6) | (n & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
    static const char32_t kLeast[5] = {0, 0, 0x80, 0x800, 0x10000};
    const bool ok = c >= kLeast[len] && c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
    i += ok ? len : 1;
    return ok;
}

bool inCp1252(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return true;
    for (char16_t h : kCp1252High)
        if (h == c) return true;
    return false;
}

std::string decodeCommandFile(std::string_view bytes) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") return std::string(bytes.substr(3));
    if (looksUtf8(bytes)) return std::string(bytes);
    return utf8FromCp1252(bytes);
}

std::string utf8FromCp1252(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (unsigned char b : bytes)
        appendUtf8(out, b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : b);
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
                if (kCp1252High[k] == c) byte = static_cast<char>(0x80 + k);
        }
        out.push_back(byte);
    }
    return out;
}

void run(const std::string& commandPath, const std::string& pdfPath) {
    std::string bytes;
    if (sys::readRegularFile(commandPath, bytes) != sys::ReadResult::Ok)
        fail(kIo, 0, "Cannot read the command file " + quotedPath(commandPath));
    const Document doc = parse(decodeCommandFile(bytes));
    size_t slash = commandPath.find_last_of('/');
#ifdef _WIN32
    const size_t back = commandPath.find_last_of("\\:");
    if (back != std::string::npos && (slash == std::string::npos || back > slash)) slash = back;
#endif
    const std::string base = slash == std::string::npos ? "."
                             : slash == 0               ? "/"
                                                        : commandPath.substr(0, slash);
    render(doc, base, pdfPath);
}

}  // namespace tvpdf
