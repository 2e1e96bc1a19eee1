#include <gtest/gtest.h>

#include <cmath>

#include "orvcommon/base/errors.hpp"
#include "orvcommon/core/convert.hpp"
#include "support/errors.hpp"

namespace orv {
namespace {

TEST(NumericTest, TextsUnderEnglishAndItalianSettings) {
    const struct {
        const char16_t* text;
        bool english, italian;
    } cases[] = {
        {u"12", true, true},        {u" 12 ", true, true},      {u"\t-3", true, true},
        {u"1.5", true, true},  // Italian reads the point as a group separator: 15
        {u"1,5", true, true},       {u"1.", true, true},        {u".5", true, false},
        {u",5", false, true},       {u"1e3", true, true},       {u"1E-3", true, true},
        {u"1e", false, false},      {u"(5)", true, true},       {u"5-", true, true},
        {u"-5-", false, false},     {u"$5", true, false},       {u"\u20ac5", false, true},
        {u"&HFF", true, true},      {u"&o17", true, true},      {u"0x10", false, false},
        {u"", false, false},        {u" ", false, false},       {u".", false, false},
        {u"()", false, false},      {u"1 2", false, false},     {u"abc", false, false},
        {u"1,000.25", true, false}, {u"1.000,25", false, true},
    };
    for (const auto& c : cases) {
        for (const bool english : {true, false}) {
            ScopedRegional scoped(english ? Regional::english() : Regional::italian());
            EXPECT_EQ(isNumeric(Variant(Text(c.text))), english ? c.english : c.italian)
                << toUtf8(c.text) << (english ? " (English)" : " (Italian)");
        }
    }
}

TEST(NumericTest, VariantKinds) {
    EXPECT_TRUE(isNumeric(Variant()));
    EXPECT_TRUE(isNumeric(Variant(true)));
    EXPECT_TRUE(isNumeric(Variant(Currency{5})));
    EXPECT_FALSE(isNumeric(Variant(Null{})));
    EXPECT_FALSE(isNumeric(Variant(Date{1.0})));
    EXPECT_FALSE(isNumeric(Variant(Missing{})));
}

TEST(WholeNumber, RoundingAndErrors) {
    ScopedRegional en(Regional::english());
    const struct {
        Variant value;
        int want16, error16;  // the value, or the error number when error16 is set
        int64_t want32;
        int error32;
    } cases[] = {
        {Variant(0.5), 0, 0, 0, 0},
        {Variant(2.5), 2, 0, 2, 0},
        {Variant(3.5), 4, 0, 4, 0},
        {Variant(-1.5), -2, 0, -2, 0},
        {Variant(32767.49), 32767, 0, 32767, 0},
        {Variant(32767.5), 0, 6, 32768, 0},
        {Variant(-32768.5), -32768, 0, -32768, 0},
        {Variant(-32768.51), 0, 6, -32769, 0},
        {Variant(2147483647.5), 0, 6, 0, 6},
        {Variant(u"2.5"), 2, 0, 2, 0},
        {Variant(u"-1.5"), -2, 0, -2, 0},
        {Variant(u"0.6"), 1, 0, 1, 0},
        {Variant(u"0.05"), 0, 0, 0, 0},
        {Variant(u"32768"), 0, 6, 32768, 0},
        {Variant(u"2.50000000000000000001"), 3, 0, 3, 0},
        {Variant(u"1e4"), 10000, 0, 10000, 0},
        {Variant(u"&HFFFF"), -1, 0, -1, 0},
        {Variant(u"&H10000"), 0, 6, 65536, 0},
        {Variant(u"&HFFFFFFFF"), -1, 0, -1, 0},  // the 32-bit -1 fits 16 bits too
        {Variant(u"abc"), 0, 13, 0, 13},
        {Variant(u""), 0, 13, 0, 13},
        {Variant(Null{}), 0, 94, 0, 94},
        {Variant(), 0, 0, 0, 0},
        {Variant(true), -1, 0, -1, 0},
        {Variant(Currency{25000}), 2, 0, 2, 0},
        {Variant(Currency{35000}), 4, 0, 4, 0},
        {Variant(Missing{}), 0, 13, 0, 13},
        {Variant(static_cast<uint8_t>(200)), 200, 0, 200, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(toUtf8(typeName(c.value)) + " " +
                     (c.value.isString() ? toUtf8(*c.value.text()) : ""));
        if (c.error16) {
            EXPECT_EQ(test::errorNumberOf([&] { toInt16(c.value); }), c.error16);
        } else {
            EXPECT_EQ(toInt16(c.value), c.want16);
        }
        if (c.error32) {
            EXPECT_EQ(test::errorNumberOf([&] { toInt32(c.value); }), c.error32);
        } else {
            EXPECT_EQ(toInt32(c.value), c.want32);
        }
    }
}

TEST(WholeNumber, ItalianTextUsesTheCommaSeparator) {
    ScopedRegional it(Regional::italian());
    EXPECT_EQ(toInt16(Variant(u"2,5")), 2);
    EXPECT_EQ(toInt16(Variant(u"1.000")), 1000);  // group separator
    EXPECT_EQ(toDouble(Variant(u"3,25")), 3.25);
}

TEST(TextConversion, VariantsAsText) {
    ScopedRegional it(Regional::italian());
    EXPECT_EQ(toText(Variant()), u"");
    EXPECT_EQ(toText(Variant(true)), u"True");
    EXPECT_EQ(toText(Variant(2.5)), u"2,5");
    EXPECT_EQ(toText(Variant(Currency{12345})), u"1,2345");
    EXPECT_EQ(toText(Variant(static_cast<int16_t>(-7))), u"-7");
    EXPECT_EQ(test::errorNumberOf([] { toText(Variant(Null{})); }), 94);
    EXPECT_EQ(toText(Variant(Date{46360.5})), u"04/12/2026 12:00:00");
    EXPECT_EQ(toText(Variant(Date{0.25})), u"06:00:00");
    EXPECT_TRUE(toBool(Variant(u"true")));
    EXPECT_FALSE(toBool(Variant(u"False")));
    EXPECT_TRUE(toBool(Variant(u"-1")));
    EXPECT_FALSE(toBool(Variant(u"0")));
    EXPECT_EQ(test::errorNumberOf([] { toBool(Variant(u"yes")); }), 13);
}

TEST(DecimalValues, ExactTextAndRounding) {
    auto d = Decimal::parse("-12.3450");
    ASSERT_TRUE(d);
    EXPECT_EQ(d->toString(), "-12.3450");
    EXPECT_EQ(d->roundToInt64(), -12);
    EXPECT_EQ(Decimal::parse("2.5")->roundToInt64(), 2);
    EXPECT_EQ(Decimal::parse("3.5")->roundToInt64(), 4);
    EXPECT_EQ(Decimal::parse("79228162514264337593543950335")->toString(),
              "79228162514264337593543950335");
    EXPECT_FALSE(Decimal::parse("79228162514264337593543950336"));
    EXPECT_FALSE(Decimal::parse("1.2.3"));
    EXPECT_DOUBLE_EQ(Decimal::parse("0.125")->toDouble(), 0.125);
    EXPECT_EQ(toDecimal(Variant(u"1e3")).toString(), "1000");
    EXPECT_EQ(toCurrency(Variant(u"1.23456")).scaled, 12346);
}

}  // namespace
}  // namespace orv
