#include <gtest/gtest.h>

#include <optional>

#include "orvcommon/base/errors.hpp"
#include "orvcommon/core/dates.hpp"
#include "orvcommon/platform/clock.hpp"
#include "support/system_call.hpp"

namespace orv {
namespace {

Text ymd(double ole) {
    return formatDate(ole, u"yyyy-mm-dd hh:nn:ss", Regional::english());
}

// "" when there is no date.
Text ymd(std::optional<double> ole) {
    return ole ? ymd(*ole) : Text();
}

TEST(DateFromParts, CarryAndTwoDigitYears) {
    const struct {
        int y, m, d;
        const char16_t* want;
    } cases[] = {
        {2024, 2, 29, u"2024-02-29 00:00:00"},
        {2023, 2, 29, u"2023-03-01 00:00:00"},
        {2023, 13, 1, u"2024-01-01 00:00:00"},
        {2023, 0, 1, u"2022-12-01 00:00:00"},
        {2023, 1, 0, u"2022-12-31 00:00:00"},
        {2023, 1, 32, u"2023-02-01 00:00:00"},
        {2023, -11, 1, u"2022-01-01 00:00:00"},
        {0, 0, 0, u"1999-11-30 00:00:00"},
        {29, 1, 1, u"2029-01-01 00:00:00"},
        {30, 1, 1, u"1930-01-01 00:00:00"},
        {99, 13, 1, u"2000-01-01 00:00:00"},
        {100, 1, 1, u"100-01-01 00:00:00"},  // "yyyy" writes the year without padding
        {9999, 12, 31, u"9999-12-31 00:00:00"},
        {9999, 12, 32, u""},
        {100, 1, 0, u""},
        {-1, 1, 1, u""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ymd(dateFromParts(c.y, c.m, c.d)), c.want) << c.y << "-" << c.m << "-" << c.d;
    EXPECT_THROW(dateFromPartsOrRaise(-5, 1, 1), RuntimeError);
}

TEST(DateFromParts, TimesCarryIntoDays) {
    EXPECT_EQ(ymd(combineDateTime(*dateFromParts(2024, 3, 15), timeFromParts(23, 59, 60))),
              u"2024-03-16 00:00:00");
    EXPECT_EQ(ymd(timeFromParts(10, 75, 0)), u"1899-12-30 11:15:00");
    // Before 30 December 1899 the time is added away from zero.
    double d = combineDateTime(*dateFromParts(1899, 12, 29), timeFromParts(6, 0, 0));
    EXPECT_DOUBLE_EQ(d, -1.25);
    EXPECT_EQ(ymd(d), u"1899-12-29 06:00:00");
}

TEST(DateFormat, PatternsAndSeparators) {
    const double d = combineDateTime(*dateFromParts(2026, 12, 4), timeFromParts(9, 5, 7));
    ScopedRegional it(Regional::italian());
    EXPECT_EQ(formatDate(d, u"d/m/yy h:mm"), u"4/12/26 9:05");
    EXPECT_EQ(formatDate(d, u"yyyymmddhhnnss"), u"20261204090507");
    EXPECT_EQ(formatDate(d, u"Short Date"), u"04/12/2026");
    EXPECT_EQ(formatDate(d, u"ddd dddd mmm mmmm"), u"ven venerd\u00ec dic dicembre");
    EXPECT_EQ(formatDate(d, u"hh:nn AM/PM"), u"09:05 AM");
    EXPECT_EQ(formatDate(d, u"\"at\" h\\h"), u"at 9h");
    ScopedRegional en(Regional::english());
    EXPECT_EQ(formatDate(d, u"Short Date"), u"12/4/2026");
    EXPECT_EQ(formatDate(d, u"ddd"), u"Fri");
    EXPECT_EQ(splitDate(d).dayOfWeek, 6);
}

TEST(DateTest, TextsUnderBothSettings) {
    test::ReplacedCall clock("clock", [] { return platform::LocalTime{2026, 12, 4, 9, 5, 0, 0}; });
    const struct {
        const char16_t* text;
        const char16_t* italian;  // "": not a date
        const char16_t* english;
    } cases[] = {
        {u"31/12/2024", u"2024-12-31 00:00:00", u"2024-12-31 00:00:00"},
        {u"1/2/2024", u"2024-02-01 00:00:00", u"2024-01-02 00:00:00"},
        {u"2024-02-01", u"2024-02-01 00:00:00", u"2024-02-01 00:00:00"},
        {u"12:30", u"1899-12-30 12:30:00", u"1899-12-30 12:30:00"},
        {u"3 PM", u"1899-12-30 15:00:00", u"1899-12-30 15:00:00"},
        {u"1/2/24 10:11:12", u"2024-02-01 10:11:12", u"2024-01-02 10:11:12"},
        {u"5/3", u"2026-03-05 00:00:00", u"2026-05-03 00:00:00"},
        {u"12/2025", u"2025-12-01 00:00:00", u"2025-12-01 00:00:00"},
        {u"13/2025", u"", u""},
        {u"15 marzo 2024", u"2024-03-15 00:00:00", u""},
        {u"March 15, 2024", u"", u"2024-03-15 00:00:00"},
        {u"31/2/2024", u"", u""},
        {u"5", u"", u""},
        {u"", u"", u""},
        {u"abc", u"", u""},
        {u"25:00", u"", u""},
        {u"1/1/10000", u"", u""},
        // The earliest day at an hour past midnight: a negative date number
        // below the first day's, and still a valid date.
        {u"1/1/0100 1 PM", u"100-01-01 13:00:00", u"100-01-01 13:00:00"},
        {u"1.5", u"", u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(toUtf8(c.text));
        EXPECT_EQ(ymd(parseDateText(c.text, Regional::italian())), c.italian);
        EXPECT_EQ(ymd(parseDateText(c.text, Regional::english())), c.english);
    }
}

TEST(DateTest, VariantKindsAndConversion) {
    ScopedRegional it(Regional::italian());
    EXPECT_TRUE(isDate(Variant(Date{1.0})));
    EXPECT_FALSE(isDate(Variant(5.0)));
    EXPECT_FALSE(isDate(Variant(Null{})));
    EXPECT_DOUBLE_EQ(toDate(Variant(u"31/12/1899")), 1.0);
    EXPECT_DOUBLE_EQ(toDate(Variant(2.5)), 2.5);
    EXPECT_DOUBLE_EQ(toDate(Variant(u"1e1")), 10.0);
    EXPECT_THROW(toDate(Variant(u"nope")), RuntimeError);
    // The earliest day keeps its hours: the time lies below the day number.
    EXPECT_DOUBLE_EQ(toDate(Variant(u"1/1/0100 13:00")), kMinDate - 13.0 / 24.0);
    EXPECT_DOUBLE_EQ(toDate(Variant(kMinDate - 0.5)), kMinDate - 0.5);
    EXPECT_THROW(toDate(Variant(kMinDate - 1.0)), RuntimeError);
}

}  // namespace
}  // namespace orv
