// The automation Decimal: a 96-bit unsigned magnitude, a sign and a power-of-
// ten scale from 0 to 28. Only what the library needs: exact text in and out,
// conversion to double, and rounding to a whole number.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "orvcommon/export.hpp"

namespace orv {

struct ORV_API Decimal {
    std::array<uint32_t, 3> mag{};  // little-endian 32-bit words
    uint8_t scale = 0;
    bool negative = false;

    // Reads "[-|+]digits[.digits]" (ASCII). Digits beyond what 96 bits and
    // scale 28 hold are rounded half to even; a value too large is nullopt.
    static std::optional<Decimal> parse(std::string_view text);
    // From a double, keeping 15 significant digits (as the automation
    // conversion does). nullopt when out of range or not finite.
    static std::optional<Decimal> fromDouble(double d);
    static Decimal fromInt64(int64_t v);

    bool isZero() const { return mag[0] == 0 && mag[1] == 0 && mag[2] == 0; }
    // Exact decimal text with `point` as decimal separator; trailing zeros of
    // the fraction are kept as the scale says ("1.50" stays "1.50").
    std::string toString(char point = '.') const;
    double toDouble() const;
    // Rounds to a whole number, halves to even; nullopt past 64 bits.
    std::optional<int64_t> roundToInt64() const;

    friend bool operator==(const Decimal& a, const Decimal& b) {
        return a.toString() == b.toString();
    }
};

}  // namespace orv
