#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <tuple>
#include <utility>

#include "functions/regional_cases.hpp"
#include "orvcommon/base/errors.hpp"
#include "orvcommon/core/convert.hpp"
#include "orvcommon/functions/funzioni.hpp"
#include "support/errors.hpp"

namespace orv {
namespace {

TEST(FunzioniXml, DateTimeToXml) {
    Funzioni f;
    EXPECT_EQ(f.getDate2Xml(u"20230506102030"), u"2023-05-06T10:20:30");
    EXPECT_EQ(f.getDate2Xml(u"01000101000000"), u"0100-01-01T00:00:00");
    // Validity is isDateYYYYMMDDHH24MISS's: one row of each kind.
    for (const char16_t* bad : {u"20230506", u"2023050610203X", u"20230231102030"})
        EXPECT_EQ(f.getDate2Xml(bad), u"") << toUtf8(bad);
}

TEST(FunzioniXml, DateTimeFromXml) {
    Funzioni f;
    // nullptr: Empty.
    const std::pair<const char16_t*, const char16_t*> cases[] = {
        {u"2023-05-06", u"20230506000000"},
        {u"2023-05-06T10:20", u"20230506102000"},
        {u"2023-05-06T10:20:30.125+02:00", u"20230506102030"},
        {u"2023/05/06 10.20.30", u"20230506102030"},  // separators are not examined
        {u"2023-05-06T1", u"20230506100000"},         // a short piece overwrites its first zeros
        {u"2023-05-06Txx:20:30", u"20230506002030"},
        {u"2023-02-29T10:20:30", nullptr},  // validity is isDateYYYYMMDDHH24MISS's
        {u"2023-5-06T10:20:30", nullptr},
        {u"+023-05-06", nullptr},
    };
    for (const auto& [xml, compact] : cases)
        EXPECT_EQ(f.getDateFromXml(xml), compact ? Variant(compact) : Variant()) << toUtf8(xml);
}

TEST(FunzioniXml, DateTimeRoundTripsForRandomValidValues) {
    Funzioni f;
    std::mt19937 rng(20240229);
    char buf[32];
    int checked = 0;
    for (int k = 0; k < 20000; ++k) {
        std::snprintf(buf, sizeof buf, "%04u%02u%02u%02u%02u%02u",
                      static_cast<unsigned>(rng() % 9900 + 100),
                      static_cast<unsigned>(rng() % 12 + 1), static_cast<unsigned>(rng() % 31 + 1),
                      static_cast<unsigned>(rng() % 24), static_cast<unsigned>(rng() % 60),
                      static_cast<unsigned>(rng() % 60));
        const Text compact = ascii(buf);
        if (!f.isDateYYYYMMDDHH24MISS(compact)) continue;
        ++checked;
        const Text xml = f.getDate2Xml(compact);
        ASSERT_EQ(xml.size(), 19u) << buf;
        ASSERT_EQ(f.getDateFromXml(xml), Variant(compact)) << buf;
    }
    EXPECT_GT(checked, 15000);
}

TEST(FunzioniXml, BooleansCompareByNumericValue) {
    ScopedRegional english(Regional::english());
    Funzioni f;
    // A value, its XML form, the Boolean read from it.
    const std::tuple<Variant, int16_t, bool> cases[] = {
        {Variant(true), 1, false},     {Variant(int16_t{1}), 0, true},
        {Variant(Null{}), 0, false},   {Variant(u" -1.0 "), 1, false},
        {Variant(Date{-1}), 0, false}, {Variant(int16_t{0}), 0, false},
    };
    for (const auto& [value, toXml, fromXml] : cases) {
        EXPECT_EQ(f.getBool2Xml(value), toXml) << toUtf8(typeName(value));
        EXPECT_EQ(f.getBoolFromXml(value), fromXml) << toUtf8(typeName(value));
    }
}

class FunzioniXmlRegional : public test::RegionalTest {
  protected:
    Funzioni f;  // reads the preset's decimal separator
};

TEST_P(FunzioniXmlRegional, DurationAndWorkToXml) {
    struct Case {
        Variant value;
        const char16_t* duration;
    } durations[] = {
        {Variant(int32_t{4800}), u"PT8H0M0S"}, {Variant(int16_t{150}), u"PT0H15M0S"},
        {Variant(605.0), u"PT1H0M30S"},        {Variant(0.25), u"PT0H0M1.5S"},
        {Variant(0.1), u"PT0H0M.6S"},          {Variant(int32_t{-10}), u"PT0H0M-60S"},
        {Variant(u"abc"), u"PT0H0M0S"},        {Variant(), u"PT0H0M0S"},
        {Variant(Null{}), u"PT0H0M0S"},        {Variant(u"4800"), u"PT8H0M0S"},
        {Variant(true), u"PT0H0M-6S"},         {Variant(36000.5), u"PT60H0M3S"},
    };
    for (const auto& c : durations)
        EXPECT_EQ(f.getDur2Xml(c.value), c.duration) << toUtf8(c.duration);
    EXPECT_EQ(f.getWork2Xml(Variant(int32_t{480000})), u"PT8H0M0S");
    // Regional numeric text is read under the settings in force.
    const Text half = GetParam().make().decimalSeparator == u',' ? u"0,25" : u"0.25";
    EXPECT_EQ(f.getDur2Xml(Variant(half)), u"PT0H0M1.5S");
}

TEST_P(FunzioniXmlRegional, DurationAndWorkFromXml) {
    const std::pair<const char16_t*, double> cases[] = {
        {u"PT8H0M0S", 4800}, {u"PT1H30M", 900}, {u"PT0H0M1.5S", 2.5}, {u"PT1h30M", 1300},
        {u"PT", 0},          {u"", 0},          {u"PT5H2H", 1200},    {u"PT1H30M15", 900},
        {u"PT1DT1H", 6600},  {u"XX3S", 0.5},    {u"3S", 0},           {u"PT 1 H", 600},
    };
    for (const auto& [xml, duration] : cases)
        EXPECT_DOUBLE_EQ(f.getDurFromXml(Variant(xml)), duration) << toUtf8(xml);
    EXPECT_DOUBLE_EQ(f.getWorkFromXml(Variant(u"PT8H0M0S")), 480000);
    // A number is taken as its text: 12 is "12", whose first two characters are skipped.
    EXPECT_DOUBLE_EQ(f.getDurFromXml(Variant(int32_t{12})), 0);
    EXPECT_EQ(test::errorNumberOf([&] { f.getDurFromXml(Variant(u"PTH")); }), err::kTypeMismatch);
    EXPECT_EQ(test::errorNumberOf([&] { f.getDurFromXml(Variant(u"PT1HM")); }), err::kTypeMismatch);
    EXPECT_EQ(test::errorNumberOf([&] { f.getDurFromXml(Variant(Null{})); }),
              err::kInvalidUseOfNull);
    EXPECT_EQ(
        test::errorNumberOf([&] { f.getDurFromXml(Variant(u"PT" + Text(400, u'9') + u"S")); }),
        err::kOverflow);
}

TEST_P(FunzioniXmlRegional, DurationRoundTripsOnWholeSeconds) {
    // Tenths of a minute are six seconds, so every whole amount survives.
    for (int32_t tenths = 0; tenths < 20000; tenths += 7)
        ASSERT_DOUBLE_EQ(f.getDurFromXml(Variant(f.getDur2Xml(Variant(tenths)))), tenths);
}

// The digits of a double are numberText's (core); here the point whatever
// the settings, and the other kinds.
TEST_P(FunzioniXmlRegional, NumberToXml) {
    const std::pair<Variant, Variant> cases[] = {
        {Variant(-0.25), Variant(u"-0.25")},
        {Variant(1234.56789f), Variant(u"1234.568")},
        {Variant(int16_t{-3}), Variant(int32_t{-3})},
        {Variant(), Variant(int32_t{0})},
        {Variant(*Decimal::parse("2.5")), Variant(int16_t{2})},
        {Variant(u"abc"), Variant(Text())},
        {Variant(Null{}), Variant(Text())},
        {Variant(Date{45000}), Variant(Text())},
    };
    for (const auto& [value, xml] : cases)
        EXPECT_EQ(f.getNumber2Xml(value), xml) << toUtf8(typeName(value));
    // Numeric text is rounded as a whole number, halves to even.
    const Text twoAndHalf = GetParam().make().decimalSeparator == u',' ? u"2,5" : u"2.5";
    EXPECT_EQ(f.getNumber2Xml(Variant(twoAndHalf)), Variant(int32_t{2}));
    EXPECT_EQ(test::errorNumberOf([&] { f.getNumber2Xml(Variant(u"3000000000")); }),
              err::kOverflow);
    EXPECT_EQ(test::errorNumberOf([&] { f.getNumber2Xml(Variant(*Decimal::parse("40000"))); }),
              err::kOverflow);
}

TEST_P(FunzioniXmlRegional, NumberFromXml) {
    const std::pair<Variant, double> cases[] = {
        {Variant(u"1.5"), 1.5},         {Variant(u"1,5"), 1.5},  {Variant(int32_t{2}), 2},
        {Variant(u"abc"), 0},           {Variant(Null{}), 0},    {Variant(-0.125), -0.125},
        {Variant(u" -12.75 "), -12.75}, {Variant(u"1e3"), 1000},
    };
    for (const auto& [value, number] : cases)
        EXPECT_DOUBLE_EQ(f.getNumberFromXml(value), number) << toUtf8(typeName(value));
    EXPECT_EQ(test::errorNumberOf([&] { f.getNumberFromXml(Variant()); }), err::kTypeMismatch);
    // A text holding both marks, or one mark twice, has two decimal points.
    for (const char16_t* t : {u"1,000.5", u"1.000,5", u"1.000.5"}) {
        if (!isNumeric(Variant(t))) continue;  // fails the numeric test: 0, no error
        EXPECT_EQ(test::errorNumberOf([&] { f.getNumberFromXml(Variant(t)); }), err::kTypeMismatch)
            << toUtf8(t);
    }
}

INSTANTIATE_TEST_SUITE_P(Presets, FunzioniXmlRegional,
                         ::testing::Values(test::kItalian, test::kEnglish), test::regionalCaseName);

}  // namespace
}  // namespace orv
