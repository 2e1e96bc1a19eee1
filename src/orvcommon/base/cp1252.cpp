#include "orvcommon/base/cp1252.hpp"

#include <array>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define ORV_CP1252_SSE2 1
#endif

namespace orv::cp1252 {
namespace {

constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

struct Reverse {
    // Characters 0-0xFF except 0x80-0x9F map to themselves; the table holds
    // the 32 special ones.
    int lookup(char16_t c) const {
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return c;
        for (int i = 0; i < 32; ++i)
            if (kHigh[static_cast<size_t>(i)] == c) return 0x80 + i;
        return -1;
    }
};

}  // namespace

char16_t toUnicode(std::uint8_t b) {
    return b >= 0x80 && b < 0xA0 ? kHigh[b - 0x80] : b;
}

int fromUnicode(char16_t c) {
    return Reverse{}.lookup(c);
}

void decodeInto(const char* bytes, size_t n, char16_t* out) {
    size_t i = 0;
#if ORV_CP1252_SSE2
    // ASCII runs sixteen bytes at a time: widened to sixteen characters.
    const __m128i zero = _mm_setzero_si128();
    for (; i + 16 <= n; i += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
        if (_mm_movemask_epi8(x) != 0) break;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_unpacklo_epi8(x, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 8), _mm_unpackhi_epi8(x, zero));
    }
#endif
    for (; i < n; ++i) {
        const auto b = static_cast<std::uint8_t>(bytes[i]);
        out[i] = b < 0x80 ? b : toUnicode(b);  // ASCII maps to itself
    }
}

void decodeAppend(std::string_view bytes, Text& out) {
    const size_t base = out.size();
    out.resize(base + bytes.size());
    decodeInto(bytes.data(), bytes.size(), out.data() + base);
}

Text decode(std::string_view bytes) {
    Text out;
    decodeAppend(bytes, out);
    return out;
}

void encodeAppend(TextView text, std::string& out) {
    const size_t base = out.size();
    out.resize(base + text.size());
    char* dst = out.data() + base;
    const char16_t* src = text.data();
    const size_t n = text.size();
    size_t i = 0;
    // ASCII runs four characters at a time: the common case of log lines,
    // paths and file contents.
    for (; i + 4 <= n; i += 4) {
        uint64_t four;
        std::memcpy(&four, src + i, sizeof four);
        if (four & 0xFF80FF80FF80FF80ull) break;
        dst[i] = static_cast<char>(src[i]);
        dst[i + 1] = static_cast<char>(src[i + 1]);
        dst[i + 2] = static_cast<char>(src[i + 2]);
        dst[i + 3] = static_cast<char>(src[i + 3]);
    }
    for (; i < n; ++i) {
        const char16_t c = src[i];
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            dst[i] = static_cast<char>(c);
        } else {
            int b = fromUnicode(c);
            dst[i] = static_cast<char>(b < 0 ? '?' : b);
        }
    }
}

std::string encode(TextView text) {
    std::string out;
    encodeAppend(text, out);
    return out;
}

}  // namespace orv::cp1252
