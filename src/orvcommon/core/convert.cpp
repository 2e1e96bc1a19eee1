#include "orvcommon/core/convert.hpp"

#include <charconv>
#include <cmath>
#include <limits>

#include "orvcommon/base/errors.hpp"
#include "orvcommon/core/dates.hpp"

namespace orv {
namespace {

bool isWhite(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == 0xA0;
}
bool isDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

bool startsWith(TextView t, size_t at, TextView what) {
    return !what.empty() && t.size() - at >= what.size() && t.substr(at, what.size()) == what;
}

std::optional<NumberText> parseRadix(TextView t) {
    size_t i = 0;
    while (i < t.size() && isWhite(t[i]))
        ++i;
    if (i + 1 >= t.size() || t[i] != u'&') return std::nullopt;
    char16_t kind = t[i + 1];
    int base = (kind == u'H' || kind == u'h') ? 16 : (kind == u'O' || kind == u'o') ? 8 : 0;
    if (!base) return std::nullopt;
    i += 2;
    uint64_t value = 0;
    size_t digits = 0;
    for (; i < t.size(); ++i) {
        char16_t c = t[i];
        int d = isDigit(c)                               ? c - u'0'
                : (base == 16 && c >= u'a' && c <= u'f') ? c - u'a' + 10
                : (base == 16 && c >= u'A' && c <= u'F') ? c - u'A' + 10
                                                         : -1;
        if (d < 0 || d >= base) break;
        value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
        if (value > 0xFFFFFFFFull) return std::nullopt;  // beyond 32 bits: overflow
        ++digits;
    }
    while (i < t.size() && isWhite(t[i]))
        ++i;
    if (!digits || i != t.size()) return std::nullopt;
    NumberText n;
    n.radix = true;
    // A value that fits 16 bits is the signed Integer it reinterprets
    // (&HFFFF is -1); otherwise the signed 32-bit reinterpretation.
    if (value <= 0xFFFF)
        n.radixValue = static_cast<int16_t>(static_cast<uint16_t>(value));
    else
        n.radixValue = static_cast<int32_t>(static_cast<uint32_t>(value));
    return n;
}

}  // namespace

double NumberText::toDouble() const {
    if (radix) return static_cast<double>(radixValue);
    if (digits.empty()) return negative ? -0.0 : 0.0;
    if (exponent > 100000) return negative ? -HUGE_VAL : HUGE_VAL;
    if (exponent < -100000) return negative ? -0.0 : 0.0;
    std::string s = digits + "e" + std::to_string(exponent);
    double v = 0;
    auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    if (r.ec == std::errc::result_out_of_range) {
        // from_chars leaves v unchanged on range errors: decide by magnitude.
        v = (static_cast<int64_t>(digits.size()) + exponent > 0) ? HUGE_VAL : 0.0;
    }
    return negative ? -v : v;
}

std::optional<NumberText> parseNumber(TextView t, const Regional& r) {
    if (auto radix = parseRadix(t)) return radix;
    const char16_t dec = r.decimalSeparator;
    char16_t group = r.groupSeparator;
    const bool groupsAllowed = group != dec && group != 0;
    const bool nbspGroup = group == 0xA0;
    const TextView cur = r.currencySymbol;

    NumberText n;
    bool sign = false, paren = false, hadCurrency = false;
    size_t i = 0;
    const size_t len = t.size();
    // Leading part.
    for (;;) {
        if (i >= len) return std::nullopt;
        char16_t c = t[i];
        if (isWhite(c)) {
            ++i;
        } else if ((c == u'+' || c == u'-') && !sign) {
            sign = true;
            n.negative = c == u'-';
            ++i;
        } else if (c == u'(' && !paren) {
            paren = true;
            ++i;
        } else if (!hadCurrency && startsWith(t, i, cur)) {
            hadCurrency = true;
            i += cur.size();
        } else {
            break;
        }
    }
    // Mantissa.
    std::string digits;
    digits.reserve(len);
    int64_t pointPos = -1;  // digits before the decimal separator
    bool anyDigit = false;
    for (; i < len; ++i) {
        char16_t c = t[i];
        if (isDigit(c)) {
            anyDigit = true;
            if (!(digits.empty() && c == u'0'))
                digits.push_back(static_cast<char>(c));
            else if (pointPos >= 0)
                digits.push_back('0');  // zeros after the point count
        } else if (c == dec && pointPos < 0) {
            pointPos = static_cast<int64_t>(digits.size());
        } else if (groupsAllowed && anyDigit && pointPos < 0 &&
                   (c == group || (nbspGroup && c == u' ') || (group == u' ' && c == 0xA0))) {
            // group separators anywhere after the first digit
            if (c == u' ' && !(i + 1 < len && isDigit(t[i + 1]))) break;  // trailing blank
        } else {
            break;
        }
    }
    if (!anyDigit) return std::nullopt;
    // Leading zeros after the point were kept so that pointPos is right;
    // strip them into the exponent.
    int64_t intDigits = pointPos < 0 ? static_cast<int64_t>(digits.size()) : pointPos;
    int64_t exponent = -(static_cast<int64_t>(digits.size()) - intDigits);
    // Exponent.
    if (i < len && (t[i] == u'e' || t[i] == u'E')) {
        size_t j = i + 1;
        bool eneg = false;
        if (j < len && (t[j] == u'+' || t[j] == u'-')) eneg = t[j++] == u'-';
        if (j >= len || !isDigit(t[j])) return std::nullopt;
        int64_t e = 0;
        for (; j < len && isDigit(t[j]); ++j)
            if (e < 1000000000) e = e * 10 + (t[j] - u'0');
        exponent += eneg ? -e : e;
        i = j;
    }
    // Trailing part.
    bool closed = false;
    for (; i < len; ++i) {
        char16_t c = t[i];
        if (isWhite(c) || (groupsAllowed && c == group)) continue;
        if ((c == u'+' || c == u'-') && !sign) {
            sign = true;
            n.negative = c == u'-';
        } else if (c == u')' && paren && !closed) {
            closed = true;
        } else if (!hadCurrency && startsWith(t, i, cur)) {
            hadCurrency = true;
            i += cur.size() - 1;
        } else {
            return std::nullopt;
        }
    }
    if (paren && !closed) return std::nullopt;
    if (paren) n.negative = true;
    // Normalise: strip leading zeros (kept above only for the point position)
    // and trailing zeros into the exponent.
    size_t lead = digits.find_first_not_of('0');
    if (lead == std::string::npos) {
        digits.clear();
        exponent = 0;
    } else {
        digits.erase(0, lead);
        size_t last = digits.find_last_not_of('0');
        exponent += static_cast<int64_t>(digits.size() - 1 - last);
        digits.resize(last + 1);
    }
    n.digits = std::move(digits);
    n.exponent = exponent;
    return n;
}

bool isNumericText(TextView t, const Regional& r) {
    auto n = parseNumber(t, r);
    return n && std::isfinite(n->toDouble());
}

bool isNumeric(const Variant& v) {
    switch (v.type()) {
        case VarType::Empty:
        case VarType::Boolean:
            return true;
        case VarType::String:
            return v.isString() && isNumericText(*v.text());
        default:
            return v.isNumber();
    }
}

int64_t roundToRange(double d, int64_t lo, int64_t hi) {
    if (std::isnan(d) || d < static_cast<double>(lo) - 0.5 || d >= static_cast<double>(hi) + 0.5)
        raise(err::kOverflow);
    double r = std::nearbyint(d);  // the default rounding mode: halves to even
    if (r < static_cast<double>(lo) || r > static_cast<double>(hi)) raise(err::kOverflow);
    return static_cast<int64_t>(r);
}

namespace {

// Rounds a parsed decimal exactly to a whole number in [lo, hi].
int64_t roundNumberText(const NumberText& n, int64_t lo, int64_t hi) {
    if (n.radix) {
        if (n.radixValue < lo || n.radixValue > hi) raise(err::kOverflow);
        return n.radixValue;
    }
    if (n.digits.empty()) return 0;
    const int64_t len = static_cast<int64_t>(n.digits.size());
    const int64_t intLen = len + n.exponent;  // digits before the point
    if (intLen > 19) raise(err::kOverflow);
    uint64_t whole = 0;
    for (int64_t k = 0; k < intLen; ++k) {
        int d = k < len ? n.digits[static_cast<size_t>(k)] - '0' : 0;
        if (whole > (UINT64_MAX - static_cast<uint64_t>(d)) / 10) raise(err::kOverflow);
        whole = whole * 10 + static_cast<uint64_t>(d);
    }
    // Fraction: first dropped digit and whether anything follows it.
    int first = 0;
    bool rest = false;
    if (intLen < len) {
        int64_t firstIdx = intLen < 0 ? -1 : intLen;
        if (intLen < 0) {
            first = 0;  // the first fractional digit is a leading zero
            rest = true;
        } else {
            first = n.digits[static_cast<size_t>(firstIdx)] - '0';
            rest = firstIdx + 1 < len;  // digits carry no trailing zeros
        }
    }
    bool up = first > 5 || (first == 5 && (rest || (whole & 1)));
    if (up) ++whole;
    if (n.negative) {
        if (whole > static_cast<uint64_t>(-(lo + 1)) + 1) raise(err::kOverflow);
        return -static_cast<int64_t>(whole);
    }
    if (whole > static_cast<uint64_t>(hi)) raise(err::kOverflow);
    return static_cast<int64_t>(whole);
}

// The one reading of a Variant as a number, which the conversions to whole
// numbers, to Double and to Boolean share: each passes a handler with one
// member per kind of value and gets that member's answer.
//   boolean(bool)               Boolean, and Empty as False (0)
//   real(double)                Byte, Integer, Long, Single, Double, Date
//   currency(Currency)          Currency
//   decimal(const Decimal&)     Decimal
//   text(const Text&)           String (a byte string is a type mismatch)
// Null raises error 94; arrays, objects and missing arguments error 13.
template <class Handler>
auto visitNumber(const Variant& v, const Handler& h) -> decltype(h.boolean(false)) {
    switch (v.type()) {
        case VarType::Empty:
            return h.boolean(false);
        case VarType::Null:
            raise(err::kInvalidUseOfNull);
        case VarType::Boolean:
            return h.boolean(v.get<bool>());
        case VarType::Byte:
            return h.real(v.get<uint8_t>());
        case VarType::Integer:
            return h.real(v.get<int16_t>());
        case VarType::Long:
            return h.real(v.get<int32_t>());
        case VarType::Single:
            return h.real(v.get<float>());
        case VarType::Double:
            return h.real(v.get<double>());
        case VarType::Date:
            return h.real(v.get<Date>().value);
        case VarType::Currency:
            return h.currency(v.get<Currency>());
        case VarType::Decimal:
            return h.decimal(v.get<Decimal>());
        case VarType::String:
            if (!v.isString()) raise(err::kTypeMismatch);
            return h.text(*v.text());
        default:
            raise(err::kTypeMismatch);
    }
}

// A Decimal's whole value rounded halves to even, error 6 outside [lo, hi].
int64_t roundDecimal(const Decimal& d, int64_t lo, int64_t hi) {
    auto r = d.roundToInt64();
    if (!r || *r < lo || *r > hi) raise(err::kOverflow);
    return *r;
}

int64_t toWhole(const Variant& v, int64_t lo, int64_t hi) {
    struct {
        int64_t lo, hi;
        // A Boolean is -1 or 0 whatever the range (a Byte of True is 255).
        int64_t boolean(bool b) const { return b ? -1 : 0; }
        int64_t real(double d) const { return roundToRange(d, lo, hi); }
        int64_t currency(Currency c) const {
            Decimal d = Decimal::fromInt64(c.scaled);
            d.scale = 4;
            return roundDecimal(d, lo, hi);
        }
        int64_t decimal(const Decimal& d) const { return roundDecimal(d, lo, hi); }
        int64_t text(const Text& t) const {
            auto n = parseNumber(t);
            if (!n) raise(err::kTypeMismatch);
            return roundNumberText(*n, lo, hi);
        }
    } whole{lo, hi};
    return visitNumber(v, whole);
}

}  // namespace

int16_t toInt16(const Variant& v) {
    return static_cast<int16_t>(toWhole(v, INT16_MIN, INT16_MAX));
}
int32_t toInt32(const Variant& v) {
    return static_cast<int32_t>(toWhole(v, INT32_MIN, INT32_MAX));
}
uint8_t toByte(const Variant& v) {
    return static_cast<uint8_t>(toWhole(v, 0, 255));
}

double toDouble(const Variant& v) {
    struct {
        double boolean(bool b) const { return b ? -1 : 0; }
        double real(double d) const { return d; }
        double currency(Currency c) const { return static_cast<double>(c.scaled) / 10000.0; }
        double decimal(const Decimal& d) const { return d.toDouble(); }
        double text(const Text& t) const {
            auto n = parseNumber(t);
            if (!n) raise(err::kTypeMismatch);
            double d = n->toDouble();
            if (!std::isfinite(d)) raise(err::kOverflow);
            return d;
        }
    } real;
    return visitNumber(v, real);
}

float toSingle(const Variant& v) {
    double d = toDouble(v);
    if (std::fabs(d) > std::numeric_limits<float>::max()) raise(err::kOverflow);
    return static_cast<float>(d);
}

Currency toCurrency(const Variant& v) {
    if (v.is<Currency>()) return v.get<Currency>();
    if (v.is<Decimal>() || v.isString()) {
        Decimal d = v.is<Decimal>() ? v.get<Decimal>() : toDecimal(v);
        // Scale to four places exactly, halves to even.
        auto s = d.toString('.');
        Decimal shifted = d;
        if (d.scale <= 4) {
            std::string digits = s;
            auto dot = digits.find('.');
            std::string frac = dot == std::string::npos ? "" : digits.substr(dot + 1);
            std::string whole = dot == std::string::npos ? digits : digits.substr(0, dot);
            frac.resize(4, '0');
            auto p = Decimal::parse(whole + frac);
            if (!p) raise(err::kOverflow);
            shifted = *p;
        } else {
            auto dot = s.find('.');
            std::string moved = s.substr(0, dot) + s.substr(dot + 1, 4) + "." + s.substr(dot + 5);
            auto p = Decimal::parse(moved);
            if (!p) raise(err::kOverflow);
            shifted = *p;
        }
        auto r = shifted.roundToInt64();
        if (!r || *r > 922337203685477LL * 10000 + 5807 || *r < -922337203685477LL * 10000 - 5808)
            raise(err::kOverflow);
        return Currency{*r};
    }
    double d = toDouble(v) * 10000.0;
    return Currency{roundToRange(d, INT64_MIN / 2, INT64_MAX / 2)};
}

Decimal toDecimal(const Variant& v) {
    if (v.is<Decimal>()) return v.get<Decimal>();
    if (v.is<Currency>()) {
        Decimal d = Decimal::fromInt64(v.get<Currency>().scaled);
        d.scale = 4;
        return d;
    }
    if (v.isString()) {
        auto n = parseNumber(*v.text());
        if (!n) raise(err::kTypeMismatch);
        if (n->radix) return Decimal::fromInt64(n->radixValue);
        std::string digits = n->digits.empty() ? "0" : n->digits;
        int64_t e = n->exponent;
        std::string s;
        if (e >= 0) {
            if (e > 29) raise(err::kOverflow);
            s = digits + std::string(static_cast<size_t>(e), '0');
        } else {
            int64_t intLen = static_cast<int64_t>(digits.size()) + e;
            if (intLen > 0)
                s = digits.substr(0, static_cast<size_t>(intLen)) + "." +
                    digits.substr(static_cast<size_t>(intLen));
            else if (intLen > -40)
                s = "0." + std::string(static_cast<size_t>(-intLen), '0') + digits;
            else
                s = "0";
        }
        auto d = Decimal::parse((n->negative ? "-" : "") + s);
        if (!d) raise(err::kOverflow);
        return *d;
    }
    if (v.is<int16_t>() || v.is<int32_t>() || v.is<uint8_t>() || v.is<bool>() || v.isEmpty())
        return Decimal::fromInt64(toInt32(v));
    auto d = Decimal::fromDouble(toDouble(v));
    if (!d) raise(err::kOverflow);
    return *d;
}

bool toBool(const Variant& v) {
    struct {
        bool boolean(bool b) const { return b; }
        bool real(double d) const { return d != 0; }
        bool currency(Currency c) const { return c.scaled != 0; }
        bool decimal(const Decimal& d) const { return !d.isZero(); }
        bool text(const Text& t) const {
            Text trimmed = trimSpaces(t);
            if (equalsIgnoreCase(trimmed, u"True") || equalsIgnoreCase(trimmed, u"#TRUE#"))
                return true;
            if (equalsIgnoreCase(trimmed, u"False") || equalsIgnoreCase(trimmed, u"#FALSE#"))
                return false;
            auto n = parseNumber(t);
            if (!n) raise(err::kTypeMismatch);
            return n->radix ? n->radixValue != 0 : !n->digits.empty();
        }
    } truth;
    return visitNumber(v, truth);
}

Text generalNumberText(double v, int digits, char16_t sep) {
    if (std::isnan(v)) return u"NaN";
    if (std::isinf(v)) return v < 0 ? u"-Infinity" : u"Infinity";
    if (v == 0) return u"0";
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, digits - 1);
    std::string s(buf, r.ptr);  // [-]d.ddde[+-]xx
    bool neg = s[0] == '-';
    if (neg) s.erase(0, 1);
    auto ePos = s.find('e');
    int exp10 = std::stoi(s.substr(ePos + 1));
    std::string mant;
    for (size_t k = 0; k < ePos; ++k)
        if (s[k] != '.') mant.push_back(s[k]);
    while (mant.size() > 1 && mant.back() == '0')
        mant.pop_back();
    const int sig = static_cast<int>(mant.size());
    std::string out;
    const int places = sig - 1 - exp10;  // digits after the point in fixed form
    if (exp10 < digits && places <= digits) {
        if (exp10 < 0) {
            out = "0." + std::string(static_cast<size_t>(-exp10 - 1), '0') + mant;
        } else if (sig <= exp10 + 1) {
            out = mant + std::string(static_cast<size_t>(exp10 + 1 - sig), '0');
        } else {
            out = mant.substr(0, static_cast<size_t>(exp10 + 1)) + "." +
                  mant.substr(static_cast<size_t>(exp10 + 1));
        }
    } else {
        out = mant.substr(0, 1);
        if (sig > 1) out += "." + mant.substr(1);
        char e[16];
        std::snprintf(e, sizeof e, "E%c%02d", exp10 < 0 ? '-' : '+', exp10 < 0 ? -exp10 : exp10);
        out += e;
    }
    if (neg) out.insert(out.begin(), '-');
    Text t = ascii(out);
    for (auto& c : t)
        if (c == u'.') c = sep;
    return t;
}

Text numberText(double v, const Regional& r) {
    return generalNumberText(v, 15, r.decimalSeparator);
}

Text singleText(float v, const Regional& r) {
    return generalNumberText(static_cast<double>(v), 7, r.decimalSeparator);
}

Text plainNumberText(double v) {
    Text t = generalNumberText(v, 15, u'.');
    if (t.size() >= 2 && t[0] == u'0' && t[1] == u'.')
        t.erase(0, 1);
    else if (t.size() >= 3 && t[0] == u'-' && t[1] == u'0' && t[2] == u'.')
        t.erase(1, 1);
    return t;
}

Text currencyText(Currency c, const Regional& r) {
    Decimal d = Decimal::fromInt64(c.scaled);
    d.scale = 4;
    std::string s = d.toString('.');
    auto dot = s.find('.');
    if (dot != std::string::npos) {
        while (s.back() == '0')
            s.pop_back();
        if (s.back() == '.') s.pop_back();
    }
    Text t = ascii(s);
    for (auto& ch : t)
        if (ch == u'.') ch = r.decimalSeparator;
    return t;
}

Text toText(const Variant& v) {
    const Regional& r = Regional::current();
    switch (v.type()) {
        case VarType::Empty:
            return Text();
        case VarType::Null:
            raise(err::kInvalidUseOfNull);
        case VarType::Boolean:
            return v.get<bool>() ? u"True" : u"False";
        case VarType::Byte:
            return decimalText(v.get<uint8_t>());
        case VarType::Integer:
            return decimalText(v.get<int16_t>());
        case VarType::Long:
            return decimalText(v.get<int32_t>());
        case VarType::Single:
            return singleText(v.get<float>(), r);
        case VarType::Double:
            return numberText(v.get<double>(), r);
        case VarType::Currency:
            return currencyText(v.get<Currency>(), r);
        case VarType::Decimal: {
            Text t = ascii(v.get<Decimal>().toString('.'));
            for (auto& c : t)
                if (c == u'.') c = r.decimalSeparator;
            return t;
        }
        case VarType::Date:
            return generalDateText(v.get<Date>().value, r);
        case VarType::String: {
            if (v.isString()) return *v.text();
            // A byte string read as text: two bytes make one character, as
            // the storage is shared; an odd last byte stands alone.
            const std::string& b = v.get<ByteString>().bytes;
            Text t;
            t.reserve((b.size() + 1) / 2);
            for (size_t k = 0; k < b.size(); k += 2) {
                unsigned lo = static_cast<unsigned char>(b[k]);
                unsigned hi = k + 1 < b.size() ? static_cast<unsigned char>(b[k + 1]) : 0;
                t.push_back(static_cast<char16_t>(lo | (hi << 8)));
            }
            return t;
        }
        default:
            raise(err::kTypeMismatch);
    }
}

}  // namespace orv
