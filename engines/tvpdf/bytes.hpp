// What the engine's readers and writers share: big-endian numbers appended
// to a byte string (the font tables' order), and the characters of code
// page 1252's bytes 0x80-0x9F.
#pragma once

#include <cstdint>
#include <string>

namespace tvpdf {

inline void add16(std::string& s, uint32_t v) {
    s.push_back(static_cast<char>(v >> 8));
    s.push_back(static_cast<char>(v));
}

inline void add32(std::string& s, uint32_t v) {
    add16(s, v >> 16);
    add16(s, v & 0xFFFF);
}

// The five undefined positions stand for the C1 control of the same number.
inline constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace tvpdf
