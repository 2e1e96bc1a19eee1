#include "orvcommon/base/text.hpp"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace orv {
namespace {

// UTF-8 to UTF-16 and back, characters of two, three and four bytes at the
// start and inside a text; a surrogate without its pair becomes U+FFFD.
TEST(Utf8, ConvertsBothWaysWithSurrogatePairs) {
    const std::pair<std::string, Text> cases[] = {
        {"\xc3\xa9\xe2\x82\xac", u"\u00e9\u20ac"},
        {"\xe2\x82\xac"
         "a",
         u"\u20aca"},
        {"\xf0\x9f\x98\x80x", u"\U0001F600x"},
        {"\xee\x80\x80"
         "a",
         u"\ue000a"},
    };
    for (const auto& [bytes, text] : cases) {
        EXPECT_EQ(fromUtf8(bytes), text);
        EXPECT_EQ(toUtf8(text), bytes);
    }
    EXPECT_EQ(toUtf8(Text(1, char16_t{0xD800})), "\xef\xbf\xbd");
}

}  // namespace
}  // namespace orv
