// Code page 1252, both ways. Text on disk is one byte per character.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "orvcommon/base/text.hpp"

namespace orv::cp1252 {

// The character that byte b stands for. The five positions that code page
// 1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 control
// of the same number, so every byte survives a round trip.
char16_t toUnicode(std::uint8_t b);

// The byte for character c, or -1 when code page 1252 has none.
int fromUnicode(char16_t c);

// Bytes to text, one character per byte.
Text decode(std::string_view bytes);
// The same into `out`, which has room for `n` characters.
void decodeInto(const char* bytes, size_t n, char16_t* out);
void decodeAppend(std::string_view bytes, Text& out);

// Text to bytes, one byte per character. A character without a byte becomes
// '?', as the platform's best-fit-free conversion writes it.
std::string encode(TextView text);
void encodeAppend(TextView text, std::string& out);

}  // namespace orv::cp1252
