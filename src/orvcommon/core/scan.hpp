// Finding the next character of a small set in text: the scan under the text
// line reader (CR), the CSV line splitter (double quote and ";") and the CSV
// file reader (all three at once). Sixteen bytes are tested at a time with
// SSE2 where the processor has it (always on x86-64), eight at a time with
// word arithmetic elsewhere; UTF-16 text is scanned eight units at a time.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define ORV_SCAN_SSE2 1
#endif

namespace orv::scan {

// The characters to stop at. A set of one or two repeats a member.
template <class Char>
struct Stops {
    Char a, b, c;
};

// The first position in [p, end) that holds a member of `s`, or `end`.
inline const char* find(const char* p, const char* end, Stops<char> s) {
#if ORV_SCAN_SSE2
    const __m128i va = _mm_set1_epi8(s.a);
    const __m128i vb = _mm_set1_epi8(s.b);
    const __m128i vc = _mm_set1_epi8(s.c);
    while (end - p >= 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(x, va), _mm_cmpeq_epi8(x, vb)),
                                         _mm_cmpeq_epi8(x, vc));
        const auto mask = static_cast<unsigned>(_mm_movemask_epi8(hit));
        if (mask != 0) return p + std::countr_zero(mask);
        p += 16;
    }
#else
    if constexpr (std::endian::native == std::endian::little) {
        // A byte equal to a member becomes zero after the XOR; the zero-byte
        // test marks the first one exactly (marks above it may be false).
        constexpr uint64_t kOnes = 0x0101010101010101ull;
        constexpr uint64_t kHigh = 0x8080808080808080ull;
        const uint64_t wa = kOnes * static_cast<unsigned char>(s.a);
        const uint64_t wb = kOnes * static_cast<unsigned char>(s.b);
        const uint64_t wc = kOnes * static_cast<unsigned char>(s.c);
        const auto zero = [](uint64_t v) { return (v - kOnes) & ~v & kHigh; };
        while (end - p >= 8) {
            uint64_t w;
            std::memcpy(&w, p, sizeof w);
            const uint64_t hit = zero(w ^ wa) | zero(w ^ wb) | zero(w ^ wc);
            if (hit != 0) return p + std::countr_zero(hit) / 8;
            p += 8;
        }
    }
#endif
    for (; p < end; ++p)
        if (*p == s.a || *p == s.b || *p == s.c) return p;
    return end;
}

inline const char16_t* find(const char16_t* p, const char16_t* end, Stops<char16_t> s) {
#if ORV_SCAN_SSE2
    const __m128i va = _mm_set1_epi16(static_cast<short>(s.a));
    const __m128i vb = _mm_set1_epi16(static_cast<short>(s.b));
    const __m128i vc = _mm_set1_epi16(static_cast<short>(s.c));
    while (end - p >= 8) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i hit = _mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi16(x, va), _mm_cmpeq_epi16(x, vb)), _mm_cmpeq_epi16(x, vc));
        const auto mask = static_cast<unsigned>(_mm_movemask_epi8(hit));
        if (mask != 0) return p + std::countr_zero(mask) / 2;
        p += 8;
    }
#endif
    for (; p < end; ++p)
        if (*p == s.a || *p == s.b || *p == s.c) return p;
    return end;
}

}  // namespace orv::scan
