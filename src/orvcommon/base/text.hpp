// Text helpers: the library's text type and the conversions at its edges.
//
// Text inside the library is UTF-16, exactly as automation strings are, so
// that lengths, positions and 16-bit limits mean what the behaviour says.
// UTF-8 is used only at the edges (file names, the command line, JSON).
#pragma once

#include <string>
#include <string_view>

namespace orv {

using Text = std::u16string;
using TextView = std::u16string_view;

// UTF-8 to UTF-16. Malformed sequences become U+FFFD.
Text fromUtf8(std::string_view utf8);
// UTF-16 to UTF-8. Unpaired surrogates become U+FFFD.
std::string toUtf8(TextView text);

// ASCII-only literal helper for code that builds texts from narrow literals.
Text ascii(std::string_view s);

// Removes leading and trailing U+0020 characters only (the automation Trim).
Text trimSpaces(TextView t);
Text trimTrailingSpaces(TextView t);
// True when the text is empty or holds only U+0020 characters.
bool isBlank(TextView t);

// Case mapping used for comparisons and the automation UCase/LCase on the
// characters the library meets (ASCII and Latin-1 letters).
Text toUpper(TextView t);
Text toLower(TextView t);
bool equalsIgnoreCase(TextView a, TextView b);
// The upper-case form of one character, as toUpper maps it. ASCII is mapped
// inline (hot loops such as sort keys call this per character).
char16_t upperCharOther(char16_t c);
inline char16_t upperChar(char16_t c) {
    if (c < 0x80) return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c;
    return upperCharOther(c);
}

// Decimal text of a signed integer.
Text decimalText(long long v);

}  // namespace orv
