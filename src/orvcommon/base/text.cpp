#include "orvcommon/base/text.hpp"

#include <cstdint>

namespace orv {

Text fromUtf8(std::string_view s) {
    Text out;
    out.reserve(s.size());
    size_t i = 0;
    const size_t n = s.size();
    auto cont = [&](size_t k) {
        return k < n && (static_cast<unsigned char>(s[k]) & 0xC0) == 0x80;
    };
    while (i < n) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        char32_t cp = 0xFFFD;
        size_t len = 1;
        if (c < 0x80) {
            cp = c;
        } else if ((c & 0xE0) == 0xC0 && cont(i + 1)) {
            cp = ((c & 0x1Fu) << 6) | (static_cast<unsigned char>(s[i + 1]) & 0x3Fu);
            len = 2;
            if (cp < 0x80) cp = 0xFFFD;
        } else if ((c & 0xF0) == 0xE0 && cont(i + 1) && cont(i + 2)) {
            cp = ((c & 0x0Fu) << 12) | ((static_cast<unsigned char>(s[i + 1]) & 0x3Fu) << 6) |
                 (static_cast<unsigned char>(s[i + 2]) & 0x3Fu);
            len = 3;
            if (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
        } else if ((c & 0xF8) == 0xF0 && cont(i + 1) && cont(i + 2) && cont(i + 3)) {
            cp = ((c & 0x07u) << 18) | ((static_cast<unsigned char>(s[i + 1]) & 0x3Fu) << 12) |
                 ((static_cast<unsigned char>(s[i + 2]) & 0x3Fu) << 6) |
                 (static_cast<unsigned char>(s[i + 3]) & 0x3Fu);
            len = 4;
            if (cp < 0x10000 || cp > 0x10FFFF) cp = 0xFFFD;
        }
        i += len;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

std::string toUtf8(TextView t) {
    // Sized for the worst case (three bytes per UTF-16 unit), written through
    // a pointer, then trimmed: no per-character growth checks.
    std::string out(t.size() * 3, '\0');
    char* p = out.data();
    for (size_t i = 0; i < t.size(); ++i) {
        char32_t cp = t[i];
        if (cp < 0x80) {
            *p++ = static_cast<char>(cp);
            continue;
        }
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < t.size() && t[i + 1] >= 0xDC00 &&
            t[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (t[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x800) {
            *p++ = static_cast<char>(0xC0 | (cp >> 6));
            *p++ = static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            *p++ = static_cast<char>(0xE0 | (cp >> 12));
            *p++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            *p++ = static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            // A surrogate pair: two units in, four bytes out.
            *p++ = static_cast<char>(0xF0 | (cp >> 18));
            *p++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            *p++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            *p++ = static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    out.resize(static_cast<size_t>(p - out.data()));
    return out;
}

Text ascii(std::string_view s) {
    Text out(s.size(), u'\0');
    for (size_t i = 0; i < s.size(); ++i)
        out[i] = static_cast<unsigned char>(s[i]);
    return out;
}

Text trimSpaces(TextView t) {
    size_t b = 0, e = t.size();
    while (b < e && t[b] == u' ')
        ++b;
    while (e > b && t[e - 1] == u' ')
        --e;
    return Text(t.substr(b, e - b));
}

Text trimTrailingSpaces(TextView t) {
    size_t e = t.size();
    while (e > 0 && t[e - 1] == u' ')
        --e;
    return Text(t.substr(0, e));
}

bool isBlank(TextView t) {
    for (char16_t c : t)
        if (c != u' ') return false;
    return true;
}

namespace {
char16_t upperOf(char16_t c) {
    if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - 32);
    // Latin-1 lower-case letters, except the division sign and y-diaeresis.
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char16_t>(c - 32);
    if (c == 0xFF) return 0x178;
    if (c == 0x161 || c == 0x153 || c == 0x17E) return static_cast<char16_t>(c - 1);
    return c;
}
char16_t lowerOf(char16_t c) {
    if (c >= u'A' && c <= u'Z') return static_cast<char16_t>(c + 32);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<char16_t>(c + 32);
    if (c == 0x178) return 0xFF;
    if (c == 0x160 || c == 0x152 || c == 0x17D) return static_cast<char16_t>(c + 1);
    return c;
}
}  // namespace

Text toUpper(TextView t) {
    Text out(t);
    for (auto& c : out)
        c = upperOf(c);
    return out;
}

char16_t upperCharOther(char16_t c) {
    return upperOf(c);
}

Text toLower(TextView t) {
    Text out(t);
    for (auto& c : out)
        c = lowerOf(c);
    return out;
}

bool equalsIgnoreCase(TextView a, TextView b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (upperOf(a[i]) != upperOf(b[i])) return false;
    return true;
}

Text decimalText(long long v) {
    return ascii(std::to_string(v));
}

}  // namespace orv
