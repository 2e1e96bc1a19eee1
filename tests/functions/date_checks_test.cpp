#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "functions/regional_cases.hpp"
#include "orvcommon/base/errors.hpp"
#include "orvcommon/core/dates.hpp"
#include "orvcommon/functions/funzioni.hpp"
#include "orvcommon/functions/funzioni_detail.hpp"
#include "support/errors.hpp"
#include "support/system_call.hpp"

namespace orv {
namespace {

// Calendar days of the years 0100 to 9999 and one-character damage are checked by the
// properties at the end; these are the texts they do not draw. The placeholders are exact.
TEST(FunzioniDates, CompactTextsAndPlaceholders) {
    // A check, texts it accepts, texts it refuses.
    const std::tuple<bool (Funzioni::*)(const Text&), std::vector<Text>, std::vector<Text>>
        cases[] = {{&Funzioni::isDateYYYYMMDD,
                    {},
                    {u"00000000", u"00190506", u"00990101", u"        ", u"", u"&H7D0101",
                     u"1E030101", u"2023\uff1101\uff11"}},
                   {&Funzioni::isTimeHH24MISS,
                    {u"000000", u"235959"},
                    {u"240000", u"126000", u"235960", u"12000", u"1200000", u"-10000"}},
                   {&Funzioni::isDateYYYYMMDDHH24MISS,
                    {u"20230101235959", u"20240229000000"},
                    {u"2023010123595", u"202301012359590", u"20230229000000", u"2023010100000X"}},
                   {&Funzioni::isDateYYYYMMDDefault,
                    {u"00000000"},
                    {u"0000000", u"00000000 ", u"", u"        "}},
                   {&Funzioni::isDateYYYYMMDDefaultSpaces,
                    {u"        "},
                    {u"       ", u"", u"\t\t\t\t\t\t\t\t", u"00000000", u"         "}}};
    Funzioni f;
    test::EventLogCapture log;
    for (const auto& [check, accepted, refused] : cases) {
        for (const Text& t : accepted)
            EXPECT_TRUE((f.*check)(t)) << toUtf8(t);
        for (const Text& t : refused)
            EXPECT_FALSE((f.*check)(t)) << toUtf8(t);
    }
    EXPECT_TRUE(log.messages().empty()) << "ordinary invalid texts are not logged";
}

TEST(FunzioniDates, LeapYearNeedsFourDigitsAndLeavesTheTextAlone) {
    const std::pair<const char16_t*, bool> cases[] = {
        {u"2024", true},  {u"2000", true},   {u"0000", true},  {u"1900", false},
        {u"2023", false}, {u"24", false},    {u"20a4", false}, {u"+024", false},
        {u" 024", false}, {u"20240", false}, {u"", false},
    };
    Funzioni f;
    for (const auto& [text, expected] : cases) {
        Text year = text;
        EXPECT_EQ(f.isYYYYBisestile(year), expected) << toUtf8(text);
        EXPECT_EQ(year, text);
    }
}

TEST(FunzioniDates, ValidatorFailuresGoToTheEventLog) {
    test::EventLogCapture log;
    EXPECT_FALSE(funzioni_detail::guardValidator([]() -> bool { raise(err::kOverflow); }));
    EXPECT_TRUE(funzioni_detail::guardValidator([] { return true; }));
    ASSERT_EQ(log.messages(), std::vector<Text>{u"Overflow"});
}

// The day number of a date under both presets; the same table serves both.
class FunzioniDayNumber : public test::RegionalTest {};

TEST_P(FunzioniDayNumber, FromCompactTextAndFromDate) {
    Funzioni f;
    const std::pair<const char16_t*, int16_t> cases[] = {
        {u"20240101", 2}, {u"20230230", 5}, {u"00000000", 3}, {u"2023AB01", 0},
        {u"20241207", 7}, {u"20241208", 1}, {u"2024120", 7},  {u"202412", 0},
        {u"", 0},         {u"99991231", 6}, {u"99991232", 0},
    };
    for (const auto& [text, day] : cases)
        EXPECT_EQ(f.getDayNumberFromYYYYMMDD(text), day) << toUtf8(text);
    // Every day of one week, from dates with a time of day.
    const double monday = *dateFromParts(2024, 1, 1) + 0.75;
    for (int k = 0; k < 7; ++k)
        EXPECT_EQ(f.getDayNumberFromDate(Date{monday + k}), (k + 1) % 7 + 1);
    EXPECT_EQ(f.getDayNumberFromDate(Date{*dateFromParts(100, 1, 1)}), 6);  // a Friday
}

INSTANTIATE_TEST_SUITE_P(Presets, FunzioniDayNumber,
                         ::testing::Values(test::kItalian, test::kEnglish), test::regionalCaseName);

TEST(FunzioniDates, DayNumberIsZeroUnderOtherDayNames) {
    Regional german = Regional::english();
    german.abbreviatedDays = {u"So", u"Mo", u"Di", u"Mi", u"Do", u"Fr", u"Sa"};
    ScopedRegional scoped(german);
    Funzioni f;
    for (const char16_t* t : {u"20240101", u"20240107"})  // a Monday, a Sunday
        EXPECT_EQ(f.getDayNumberFromYYYYMMDD(t), 0) << toUtf8(t);
    EXPECT_EQ(f.getDayNumberFromDate(Date{*dateFromParts(2024, 1, 1)}), 0);
}

TEST(FunzioniDates, DayNumberOfAnInvalidDateValueIsAnError) {
    Funzioni f;
    for (double bad : {kMinDate - 1, 2958466.0, std::numeric_limits<double>::quiet_NaN()})
        EXPECT_EQ(test::errorNumberOf([&] { f.getDayNumberFromDate(Date{bad}); }),
                  err::kInvalidArgument)
            << bad;
}

// An independent calendar: month lengths by table, leap years by the
// Gregorian rule written out.
bool calendarValid(int y, int m, int d) {
    static const int kLen[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (y < 100 || y > 9999 || m < 1 || m > 12 || d < 1) return false;
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return d <= kLen[m - 1] + (m == 2 && leap ? 1 : 0);
}

// Sanitizer builds check a sample of the years (four full centuries, every
// century year and every 37th year); the plain build checks them all.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSampleYears = true;
#elif defined(__has_feature)
constexpr bool kSampleYears = __has_feature(address_sanitizer);
#else
constexpr bool kSampleYears = false;
#endif

TEST(FunzioniDates, CompactDateAgreesWithAnIndependentCalendar) {
    Funzioni f;
    long accepted = 0, expected = 0;
    char buf[40];
    for (int y = 100; y <= 9999; ++y) {
        if (kSampleYears && !(y < 500 || y % 100 == 0 || y % 37 == 0)) continue;
        expected += 365 + (calendarValid(y, 2, 29) ? 1 : 0);
        for (int m = 0; m <= 13; ++m) {
            // Every day of real months with the neighbours 0 and 32; a few
            // days of the months 00 and 13.
            const int step = m >= 1 && m <= 12 ? 1 : 14;
            for (int d = 0; d <= 32; d += step) {
                std::snprintf(buf, sizeof buf, "%04d%02d%02d", y, m, d);
                const bool valid = f.isDateYYYYMMDD(ascii(buf));
                if (valid != calendarValid(y, m, d)) FAIL() << buf;
                accepted += valid;
            }
        }
    }
    // Every calendar day of the years checked, and in full from 1 January
    // 0100 to 31 December 9999.
    EXPECT_EQ(accepted, expected);
    if (!kSampleYears) {
        EXPECT_EQ(accepted, *dateFromParts(9999, 12, 31) - *dateFromParts(100, 1, 1) + 1);
    }
}

TEST(FunzioniDates, CompactDateRejectsEveryOneCharacterDamage) {
    Funzioni f;
    const Text good = u"20240229";
    const char16_t replacements[] = {u' ', u'+', u'-', u'.', u',', u'a', u'\t', u'&', 0xA0};
    for (size_t pos = 0; pos < good.size(); ++pos) {
        for (char16_t r : replacements) {
            Text t = good;
            t[pos] = r;
            EXPECT_FALSE(f.isDateYYYYMMDD(t)) << toUtf8(t);
        }
        EXPECT_FALSE(f.isDateYYYYMMDD(good.substr(0, pos)));
        EXPECT_FALSE(f.isDateYYYYMMDD(good + good.substr(pos, 1)));
    }
}

}  // namespace
}  // namespace orv
