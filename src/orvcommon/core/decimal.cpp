#include "orvcommon/core/decimal.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace orv {
namespace {

using Mag = std::array<uint32_t, 3>;

// mag = mag * 10 + digit; false on overflow past 96 bits.
bool mulAdd10(Mag& m, uint32_t digit) {
    uint64_t carry = digit;
    for (auto& w : m) {
        uint64_t v = uint64_t{w} * 10 + carry;
        w = static_cast<uint32_t>(v);
        carry = v >> 32;
    }
    return carry == 0;
}

// mag /= 10, returns the remainder.
uint32_t divMod10(Mag& m) {
    uint64_t rem = 0;
    for (int i = 2; i >= 0; --i) {
        uint64_t cur = (rem << 32) | m[static_cast<size_t>(i)];
        m[static_cast<size_t>(i)] = static_cast<uint32_t>(cur / 10);
        rem = cur % 10;
    }
    return static_cast<uint32_t>(rem);
}

bool magIsZero(const Mag& m) {
    return m[0] == 0 && m[1] == 0 && m[2] == 0;
}

std::string digitsOf(Mag m) {
    if (magIsZero(m)) return "0";
    std::string s;
    while (!magIsZero(m))
        s.insert(s.begin(), static_cast<char>('0' + divMod10(m)));
    return s;
}

}  // namespace

std::optional<Decimal> Decimal::parse(std::string_view t) {
    Decimal d;
    size_t i = 0;
    if (i < t.size() && (t[i] == '-' || t[i] == '+')) d.negative = t[i++] == '-';
    std::string intDigits, fracDigits;
    while (i < t.size() && t[i] >= '0' && t[i] <= '9')
        intDigits.push_back(t[i++]);
    if (i < t.size() && t[i] == '.') {
        ++i;
        while (i < t.size() && t[i] >= '0' && t[i] <= '9')
            fracDigits.push_back(t[i++]);
    }
    if (i != t.size() || (intDigits.empty() && fracDigits.empty())) return std::nullopt;
    // Drop leading zeros of the whole part so they do not count against 96 bits.
    size_t nz = intDigits.find_first_not_of('0');
    intDigits = nz == std::string::npos ? "" : intDigits.substr(nz);
    for (char c : intDigits)
        if (!mulAdd10(d.mag, static_cast<uint32_t>(c - '0'))) return std::nullopt;
    // Fraction digits while they fit, then round half to even on the rest.
    size_t used = 0;
    while (used < fracDigits.size() && d.scale < 28) {
        Mag trial = d.mag;
        if (!mulAdd10(trial, static_cast<uint32_t>(fracDigits[used] - '0'))) break;
        d.mag = trial;
        ++d.scale;
        ++used;
    }
    if (used < fracDigits.size()) {
        int first = fracDigits[used] - '0';
        bool restNonZero = fracDigits.find_first_not_of('0', used + 1) != std::string::npos;
        bool up = first > 5 || (first == 5 && (restNonZero || (d.mag[0] & 1)));
        if (up) {
            Mag trial = d.mag;
            // Adding one: propagate the carry word by word.
            for (auto& w : trial)
                if (++w != 0) break;
            if (magIsZero(trial)) return std::nullopt;
            d.mag = trial;
        }
    }
    if (d.isZero()) d.negative = false;
    return d;
}

std::optional<Decimal> Decimal::fromDouble(double v) {
    if (!std::isfinite(v)) return std::nullopt;
    char buf[64];
    // Fixed notation with enough places for 15 significant digits, then parse.
    int exp10 = v == 0 ? 0 : static_cast<int>(std::floor(std::log10(std::fabs(v))));
    int places = 14 - exp10;
    if (places < 0) places = 0;
    if (places > 28) places = 28;
    if (std::fabs(v) >= 7.9228162514264338e28) return std::nullopt;
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, places);
    if (r.ec != std::errc{}) return std::nullopt;
    std::string s(buf, r.ptr);
    // Trailing zeros of the fraction carry no information here.
    if (s.find('.') != std::string::npos) {
        while (s.back() == '0')
            s.pop_back();
        if (s.back() == '.') s.pop_back();
    }
    return parse(s);
}

Decimal Decimal::fromInt64(int64_t v) {
    Decimal d;
    d.negative = v < 0;
    uint64_t m = v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
    d.mag[0] = static_cast<uint32_t>(m);
    d.mag[1] = static_cast<uint32_t>(m >> 32);
    return d;
}

std::string Decimal::toString(char point) const {
    std::string digits = digitsOf(mag);
    if (scale > 0) {
        if (digits.size() <= scale) digits.insert(0, scale - digits.size() + 1, '0');
        digits.insert(digits.size() - scale, 1, point);
    }
    if (negative && !isZero()) digits.insert(digits.begin(), '-');
    return digits;
}

double Decimal::toDouble() const {
    double v = 0;
    auto s = toString('.');
    std::from_chars(s.data(), s.data() + s.size(), v);
    return v;
}

std::optional<int64_t> Decimal::roundToInt64() const {
    Mag m = mag;
    uint32_t lastDropped = 0;
    bool restNonZero = false;
    for (int i = 0; i < scale; ++i) {
        if (lastDropped != 0) restNonZero = true;
        lastDropped = divMod10(m);
    }
    if (m[2] != 0) return std::nullopt;
    uint64_t whole = (uint64_t{m[1]} << 32) | m[0];
    bool up = lastDropped > 5 || (lastDropped == 5 && (restNonZero || (whole & 1)));
    if (up) ++whole;
    if (negative) {
        if (whole > uint64_t{1} << 63) return std::nullopt;
        return static_cast<int64_t>(0 - whole);
    }
    if (whole > static_cast<uint64_t>(INT64_MAX)) return std::nullopt;
    return static_cast<int64_t>(whole);
}

}  // namespace orv
