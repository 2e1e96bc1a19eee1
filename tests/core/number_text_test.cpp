#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

#include "orvcommon/core/convert.hpp"

namespace orv {
namespace {

TEST(NumberText, RegionalTextFollowsTheDigitBudgets) {
    struct Case {
        double value;
        bool single;
        const char16_t* english;
    } cases[] = {
        {0.56789, false, u"0.56789"},
        {5.6789e-5, false, u"0.000056789"},
        {5.6789e-12, false, u"5.6789E-12"},
        {999999999999999.0, false, u"999999999999999"},
        {1e15, false, u"1E+15"},
        {1.2e15, false, u"1.2E+15"},
        {std::numbers::pi, false, u"3.14159265358979"},
        {-0.0, false, u"0"},
        {-1234.5, false, u"-1234.5"},
        {0.1 + 0.2, false, u"0.3"},
        {1e-15, false, u"0.000000000000001"},
        {1.5e-15, false, u"1.5E-15"},
        {-2.5e200, false, u"-2.5E+200"},
        {1e-300, false, u"1E-300"},
        {1234.56789, true, u"1234.568"},
        {1e8, true, u"1E+08"},
        {9999999, true, u"9999999"},
        {0.1, true, u"0.1"},
    };
    for (const auto& c : cases) {
        const Text english = c.single ? singleText(static_cast<float>(c.value), Regional::english())
                                      : numberText(c.value, Regional::english());
        EXPECT_EQ(english, c.english) << c.value;
        Text italian = c.english;
        for (auto& ch : italian)
            if (ch == u'.') ch = u',';
        EXPECT_EQ(c.single ? singleText(static_cast<float>(c.value), Regional::italian())
                           : numberText(c.value, Regional::italian()),
                  italian)
            << c.value;
    }
}

TEST(NumberText, PlainTextDropsTheLeadingZeroAndIgnoresTheSettings) {
    struct Case {
        double value;
        const char16_t* text;
    } cases[] = {
        {0.6, u".6"},       {-0.25, u"-.25"},
        {0, u"0"},          {-0.0, u"0"},
        {1.5, u"1.5"},      {100, u"100"},
        {0.06, u".06"},     {1e15, u"1E+15"},
        {1e-16, u"1E-16"},  {-1.5e-20, u"-1.5E-20"},
        {1e-5, u".00001"},  {123456.75, u"123456.75"},
        {0.1 + 0.7, u".8"}, {-7, u"-7"},
    };
    ScopedRegional italian(Regional::italian());
    for (const auto& c : cases)
        EXPECT_EQ(plainNumberText(c.value), c.text) << c.value;
}

TEST(NumberText, RegionalTextReadsBackToTheSameDouble) {
    // Fifteen digits do not always give the same double back, but they give
    // a double within the last digit's half unit.
    for (double v : {1.0 / 3, 2.0 / 3, 123.456, 9.87654321e-7, 6.02214076e23, -4.9e-9}) {
        for (const Regional& r : {Regional::italian(), Regional::english()}) {
            const Text t = numberText(v, r);
            auto parsed = parseNumber(t, r);
            ASSERT_TRUE(parsed) << toUtf8(t);
            EXPECT_NEAR(parsed->toDouble(), v, std::fabs(v) * 1e-14) << toUtf8(t);
        }
    }
}

}  // namespace
}  // namespace orv
