#include "values.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <new>
#include <optional>

#include "orvcommon/orv_tool_internal.hpp"
#include "orvcommon/results/errinfo.hpp"

namespace orv::tool {

using json = nlohmann::ordered_json;

namespace {

json typed(const char* type, json value) {
    return json{{"type", type}, {"value", std::move(value)}};
}

std::string currencyString(Currency c) {
    const bool negative = c.scaled < 0;
    // Magnitude as unsigned so that the most negative value is exact.
    uint64_t m = negative ? 0 - static_cast<uint64_t>(c.scaled) : static_cast<uint64_t>(c.scaled);
    std::string out = std::to_string(m / 10000);
    std::string frac = std::to_string(m % 10000);
    frac.insert(0, 4 - frac.size(), '0');
    while (!frac.empty() && frac.back() == '0')
        frac.pop_back();
    if (!frac.empty()) out += "." + frac;
    return negative ? "-" + out : out;
}

std::string isoDate(double ole) {
    const DateTimeParts p = splitDate(ole);
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", p.year, p.month, p.day, p.hour,
                  p.minute, p.second);
    return buf;
}

std::string hexOf(const std::string& bytes) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

json arrayJson(const VariantArray& a) {
    json lbound = json::array();
    json items = json::array();
    if (a.dims() == 1) {
        lbound.push_back(a.lbound(1));
        for (const Variant& e : a.storage())
            items.push_back(toJson(e));
    } else if (a.dims() == 2) {
        lbound = {a.lbound(1), a.lbound(2)};
        // 64-bit counters: an upper bound of 2147483647 must end the loop.
        for (int64_t i = a.lbound(1); i <= a.ubound(1); ++i) {
            json row = json::array();
            for (int64_t j = a.lbound(2); j <= a.ubound(2); ++j)
                row.push_back(toJson(a.at(static_cast<int32_t>(i), static_cast<int32_t>(j))));
            items.push_back(std::move(row));
        }
    }
    return json{{"type", "Array"}, {"lbound", lbound}, {"items", items}};
}

json objectJson(const ObjectRef& o) {
    if (!o) return json{{"type", "Nothing"}};
    if (auto* e = dynamic_cast<server::Instance<ErrInfo>*>(o.get())) {
        const ErrInfo& v = e->value;
        return typed("ErrInfo", json{{"numberInfo", v.numberInfo()},
                                     {"descriptionInfo", toUtf8(v.descriptionInfo())},
                                     {"typeInfo", v.typeInfo()},
                                     {"locationInfo", toUtf8(v.locationInfo())},
                                     {"processInfo", toUtf8(v.processInfo())},
                                     {"classInfo", toUtf8(v.classInfo())},
                                     {"stepInfo", toUtf8(toText(v.stepInfo()))}});
    }
    return json{{"type", toUtf8(o->className())}};
}

[[noreturn]] void bad(const std::string& what) {
    throw UsageError(what);
}

const json& member(const json& j, const char* key) {
    auto it = j.find(key);
    if (it == j.end())
        bad(std::string("a value of type ") + j.value("type", "?") + " needs \"" + key + "\"");
    return *it;
}

template <class T>
T wholeValue(const json& j, const char* type) {
    const json& v = member(j, "value");
    double d;
    if (v.is_number_integer()) {
        d = static_cast<double>(v.get<int64_t>());
    } else if (v.is_number_float()) {
        d = v.get<double>();
    } else {
        bad(std::string(type) + " value must be a JSON number");
    }
    if (d != std::trunc(d) || d < static_cast<double>(std::numeric_limits<T>::min()) ||
        d > static_cast<double>(std::numeric_limits<T>::max()))
        bad(std::string(type) + " value out of range: " + v.dump());  // a number: shallow
    return static_cast<T>(d);
}

double numberValue(const json& j, const char* type) {
    const json& v = member(j, "value");
    if (!v.is_number()) bad(std::string(type) + " value must be a JSON number");
    return v.get<double>();
}

std::string stringValue(const json& j, const char* key, const char* type) {
    const json& v = member(j, key);
    if (!v.is_string()) bad(std::string(type) + " \"" + key + "\" must be a JSON string");
    return v.get<std::string>();
}

// "YYYY-MM-DD" or "YYYY-MM-DDTHH:MM:SS" (a space instead of the T too). A
// text of that form whose day or time does not exist is told apart from
// one of another form.
double dateValue(std::string_view s) {
    DateTimeParts p;
    int consumed = 0;
    char sep = 0;
    const std::string z(s);
    const auto notIso = [&] { bad("not an ISO date (YYYY-MM-DD or YYYY-MM-DDTHH:MM:SS): " + z); };
    if (std::sscanf(z.c_str(), "%4d-%2d-%2d%n", &p.year, &p.month, &p.day, &consumed) != 3 ||
        consumed != 10)
        notIso();
    if (z.size() > 10) {
        int more = 0;
        if (std::sscanf(z.c_str() + 10, "%c%2d:%2d:%2d%n", &sep, &p.hour, &p.minute, &p.second,
                        &more) != 4 ||
            (sep != 'T' && sep != ' ') || 10 + static_cast<size_t>(more) != z.size() || more != 9)
            notIso();
    }
    if (p.year < 100 || p.year > 9999)
        bad("the year of " + z + " is outside 100 to 9999, the years a date can hold");
    if (p.month < 1 || p.month > 12) bad(z + " is not a date: there is no month " + z.substr(5, 2));
    if (p.day < 1 || p.day > daysInMonth(p.year, p.month))
        bad(z + " is not a date: " + z.substr(0, 7) + " has no day " + z.substr(8, 2) +
            " (it has " + std::to_string(daysInMonth(p.year, p.month)) + " days)");
    if (p.hour < 0 || p.hour > 23 || p.minute < 0 || p.minute > 59 || p.second < 0 || p.second > 59)
        bad(z + " is not a date: " + z.substr(11) + " is not a time of day");
    return oleFromParts(p);
}

Decimal decimalValue(std::string_view s) {
    std::string t(s);
    // Decimal::parse reads "[sign]digits[.digits]"; check the shape first.
    size_t k = (!t.empty() && (t[0] == '-' || t[0] == '+')) ? 1 : 0;
    bool digits = false, point = false;
    for (; k < t.size(); ++k) {
        if (t[k] >= '0' && t[k] <= '9') {
            digits = true;
        } else if (t[k] == '.' && !point) {
            point = true;
        } else {
            digits = false;
            break;
        }
    }
    auto d = digits ? Decimal::parse(t) : std::nullopt;
    if (!d) bad("not a decimal number: " + t);
    return *d;
}

Currency currencyValue(std::string_view s) {
    try {
        return toCurrency(Variant(decimalValue(s)));
    } catch (const RuntimeError&) {
        bad("Currency value out of range: " + std::string(s));
    }
}

std::string hexBytes(const std::string& hex) {
    if (hex.size() % 2) bad("ByteString hex needs an even number of digits");
    std::string out;
    for (size_t k = 0; k < hex.size(); k += 2) {
        unsigned v = 0;
        auto r = std::from_chars(hex.data() + k, hex.data() + k + 2, v, 16);
        if (r.ec != std::errc() || r.ptr != hex.data() + k + 2) bad("bad hex digits: " + hex);
        out.push_back(static_cast<char>(v));
    }
    return out;
}

ErrInfo errInfoFromJson(const json& v) {
    if (!v.is_object()) bad("ErrInfo value must be a JSON object");
    auto text = [&](const char* key) {
        auto it = v.find(key);
        if (it == v.end()) return Text();
        if (!it->is_string()) bad(std::string("ErrInfo \"") + key + "\" must be a string");
        return fromUtf8(it->get<std::string>());
    };
    auto number = [&](const char* key, int64_t lo, int64_t hi) -> int32_t {
        auto it = v.find(key);
        if (it == v.end()) return 0;
        if (!it->is_number_integer() || it->get<int64_t>() < lo || it->get<int64_t>() > hi)
            bad(std::string("ErrInfo \"") + key + "\" must be a whole number in range");
        return static_cast<int32_t>(it->get<int64_t>());
    };
    ErrInfo e;
    e.fill(number("numberInfo", INT32_MIN, INT32_MAX), text("descriptionInfo"),
           number("typeInfo", INT16_MIN, INT16_MAX), text("locationInfo"),
           Variant(text("classInfo")), Variant(text("processInfo")), Variant(text("stepInfo")));
    return e;
}

// Arrays inside arrays deeper than this are refused: a value is built (and
// later printed and destroyed) recursively, and a line of nothing but
// brackets must not exhaust the stack.
constexpr int kDeepestNesting = 64;

Variant valueFromJson(const json& j, int depth);

// The upper bound of a dimension of `count` elements from `lower`: run-time
// error 9 when it does not fit in 32 bits (an empty dimension from the lowest
// index too), as for an automation array.
int32_t upperBound(int32_t lower, size_t count) {
    const int64_t upper = int64_t{lower} + static_cast<int64_t>(count) - 1;
    if (upper > std::numeric_limits<int32_t>::max() || upper < std::numeric_limits<int32_t>::min())
        raise(err::kSubscriptOutOfRange);
    return static_cast<int32_t>(upper);
}

// An array from its lower bounds `lb` and its `items`, `depth` arrays deep.
Variant arrayFromJson(const json& lb, const json& items, int depth) {
    if (depth > kDeepestNesting)
        bad("arrays nested more than " + std::to_string(kDeepestNesting) + " deep");
    if (!lb.is_array() || !items.is_array() || lb.size() > 2)
        bad("Array needs \"lbound\" (0 to 2 numbers) and \"items\" (a JSON array)");
    std::vector<int32_t> lower;
    for (const json& b : lb) {
        if (!b.is_number_integer() || (b.is_number_unsigned() && b.get<uint64_t>() > INT32_MAX) ||
            b.get<int64_t>() < INT32_MIN || b.get<int64_t>() > INT32_MAX)
            bad("Array lbound must hold whole numbers of 32 bits");
        lower.push_back(static_cast<int32_t>(b.get<int64_t>()));
    }
    VariantArray a;
    if (lower.size() == 1) {
        a.redim(Bounds{lower[0], upperBound(lower[0], items.size())});
        for (size_t i = 0; i < items.size(); ++i)
            a.elements()[i] = valueFromJson(items[i], depth + 1);
    } else if (lower.size() == 2) {
        const size_t cols = items.empty() ? 0 : items[0].size();
        for (const json& row : items)
            if (!row.is_array() || row.size() != cols)
                bad("two-dimensional Array items must be rows of equal length");
        a.redim(Bounds{lower[0], upperBound(lower[0], items.size())},
                Bounds{lower[1], upperBound(lower[1], cols)});
        // Storage runs down the first index fastest.
        for (size_t i = 0; i < items.size(); ++i)
            for (size_t k = 0; k < cols; ++k)
                a.elements()[i + k * items.size()] = valueFromJson(items[i][k], depth + 1);
    } else if (!items.empty()) {
        bad("an Array without bounds has no items");
    }
    return Variant(std::move(a));
}

}  // namespace

json toJson(const Variant& v) {
    switch (v.type()) {
        case VarType::Empty:
            return json{{"type", "Empty"}};
        case VarType::Null:
            return json{{"type", "Null"}};
        case VarType::Error:
            return json{{"type", "Missing"}};
        case VarType::Integer:
            return typed("Integer", v.get<int16_t>());
        case VarType::Long:
            return typed("Long", v.get<int32_t>());
        case VarType::Single: {
            // The shortest text that reads back as the same Single.
            char buf[32];
            auto r = std::to_chars(buf, buf + sizeof buf, v.get<float>());
            double d = std::strtod(std::string(buf, r.ptr).c_str(), nullptr);
            return typed("Single", d);
        }
        case VarType::Double:
            return typed("Double", v.get<double>());
        case VarType::Currency:
            return typed("Currency", currencyString(v.get<Currency>()));
        case VarType::Decimal:
            return typed("Decimal", v.get<Decimal>().toString('.'));
        case VarType::Date:
            return typed("Date", isoDate(v.get<Date>().value));
        case VarType::String:
            if (v.is<ByteString>())
                return json{{"type", "ByteString"}, {"hex", hexOf(v.get<ByteString>().bytes)}};
            return typed("String", toUtf8(*v.text()));
        case VarType::Boolean:
            return typed("Boolean", v.get<bool>());
        case VarType::Byte:
            return typed("Byte", v.get<uint8_t>());
        case VarType::Array:
            return arrayJson(*v.array());
        case VarType::Object:
            return objectJson(v.get<ObjectRef>());
    }
    return json{{"type", "Empty"}};
}

Variant fromJson(const json& j) {
    return valueFromJson(j, 0);
}

namespace {

Variant valueFromJson(const json& j, int depth) {
    if (j.is_string()) return Variant(fromUtf8(j.get<std::string>()));
    if (j.is_boolean()) return Variant(j.get<bool>());
    if (j.is_null()) return Variant(Null{});
    if (j.is_number_integer()) {
        const auto n = j.is_number_unsigned() ? static_cast<double>(j.get<uint64_t>())
                                              : static_cast<double>(j.get<int64_t>());
        if (n >= INT32_MIN && n <= INT32_MAX) return Variant(static_cast<int32_t>(n));
        return Variant(n);
    }
    if (j.is_number_float()) return Variant(j.get<double>());
    if (j.is_array()) {
        // A plain JSON array: a one-dimensional array from index 0.
        static const json kFromZero = json::array({0});
        return arrayFromJson(kFromZero, j, depth);
    }
    if (!j.is_object() || !j.contains("type") || !j["type"].is_string())
        bad(std::string("not a value: a JSON ") + j.type_name() +
            " (expected {\"type\":...} or plain JSON)");
    const std::string t = j["type"].get<std::string>();
    if (t == "Empty") return Variant();
    if (t == "Null") return Variant(Null{});
    if (t == "Missing") return Variant(Missing{});
    if (t == "Nothing") return Variant(ObjectRef());
    if (t == "String") return Variant(fromUtf8(stringValue(j, "value", "String")));
    if (t == "Integer") return Variant(wholeValue<int16_t>(j, "Integer"));
    if (t == "Long") return Variant(wholeValue<int32_t>(j, "Long"));
    if (t == "Byte") return Variant(wholeValue<uint8_t>(j, "Byte"));
    if (t == "Single") {
        const double d = numberValue(j, "Single");
        if (std::fabs(d) > std::numeric_limits<float>::max()) bad("Single value out of range");
        return Variant(static_cast<float>(d));
    }
    if (t == "Double") return Variant(numberValue(j, "Double"));
    if (t == "Boolean") {
        const json& v = member(j, "value");
        if (v.is_boolean()) return Variant(v.get<bool>());
        if (v.is_number()) return Variant(v.get<double>() != 0);
        bad("Boolean value must be true or false");
    }
    if (t == "Currency" || t == "Decimal") {
        const json& v = member(j, "value");
        const std::string s = v.is_string() ? v.get<std::string>() : v.is_number() ? v.dump() : "";
        if (s.empty()) bad(t + " value must be a decimal string");
        return t == "Currency" ? Variant(currencyValue(s)) : Variant(decimalValue(s));
    }
    if (t == "Date") return Variant(Date{dateValue(stringValue(j, "value", "Date"))});
    if (t == "ByteString")
        return Variant(ByteString{hexBytes(stringValue(j, "hex", "ByteString"))});
    if (t == "Array") return arrayFromJson(member(j, "lbound"), member(j, "items"), depth);
    if (t == "ErrInfo") return server::errInfoObject(errInfoFromJson(member(j, "value")));
    bad("unknown value type \"" + t + "\"");
}

}  // namespace

Variant parseArgument(std::string_view arg) {
    if (arg == ":empty") return Variant();
    if (arg == ":null") return Variant(Null{});
    if (arg == ":missing") return Variant(Missing{});
    const size_t colon = arg.find(':');
    if (colon == std::string_view::npos) return Variant(fromUtf8(arg));
    const std::string_view prefix = arg.substr(0, colon);
    const std::string_view value = arg.substr(colon + 1);
    auto whole = [&](const char* type, int64_t lo, int64_t hi) -> int64_t {
        int64_t n = 0;
        auto r = std::from_chars(value.data(), value.data() + value.size(), n);
        if (r.ec != std::errc() || r.ptr != value.data() + value.size() || n < lo || n > hi)
            bad(std::string("not a valid ") + type + ": " + std::string(value));
        return n;
    };
    auto real = [&](const char* type) {
        std::string s(value);
        char* end = nullptr;
        const double d = s.empty() ? 0 : std::strtod(s.c_str(), &end);
        if (s.empty() || end != s.c_str() + s.size() || !std::isfinite(d))
            bad(std::string("not a valid ") + type + ": " + s);
        return d;
    };
    if (prefix == "str") return Variant(fromUtf8(value));
    if (prefix == "int") return Variant(static_cast<int16_t>(whole("int", INT16_MIN, INT16_MAX)));
    if (prefix == "long") return Variant(static_cast<int32_t>(whole("long", INT32_MIN, INT32_MAX)));
    if (prefix == "byte") return Variant(static_cast<uint8_t>(whole("byte", 0, 255)));
    if (prefix == "double") return Variant(real("double"));
    if (prefix == "single") {
        const double d = real("single");
        if (std::fabs(d) > std::numeric_limits<float>::max()) bad("single out of range");
        return Variant(static_cast<float>(d));
    }
    if (prefix == "cur") return Variant(currencyValue(value));
    if (prefix == "dec") return Variant(decimalValue(value));
    if (prefix == "date") return Variant(Date{dateValue(value)});
    if (prefix == "bool") {
        if (value == "true" || value == "True" || value == "1") return Variant(true);
        if (value == "false" || value == "False" || value == "0") return Variant(false);
        bad("not a valid bool (true or false): " + std::string(value));
    }
    if (prefix == "json") {
        json j;
        try {
            j = json::parse(value);
        } catch (const json::exception& e) {
            bad(std::string("bad JSON in argument: ") + e.what());
        }
        return fromJson(j);
    }
    // A word of two letters or more before the colon is a type prefix, and
    // an unknown one is a mistake (duble:2.5), not text. Other text with a
    // colon stays text: a drive letter (C:\\dir), an address (http://...).
    const bool word = prefix.size() >= 2 && std::all_of(prefix.begin(), prefix.end(), [](char c) {
                          return (c | 0x20) >= 'a' && (c | 0x20) <= 'z';
                      });
    if (word && value.rfind("//", 0) != 0)
        bad("unknown type prefix '" + std::string(prefix) +
            ":' (known: str int long single double cur dec bool byte date json; "
            "text that starts with a word and a colon is written str:" +
            std::string(arg) + ")");
    return Variant(fromUtf8(arg));
}

RuntimeError asRuntimeError(const std::exception& e) {
    if (const auto* runtime = dynamic_cast<const RuntimeError*>(&e)) return *runtime;
    if (dynamic_cast<const std::bad_alloc*>(&e)) return RuntimeError(err::kOutOfMemory);
    return RuntimeError(err::kInternal);
}

json errorJson(const RuntimeError& e) {
    return json{{"error", {{"number", e.number()}, {"description", toUtf8(e.description())}}}};
}

std::string dumpLine(const json& j) {
    return j.dump(-1, ' ', false, json::error_handler_t::replace);
}

}  // namespace orv::tool
