// The user's regional settings: everything that a number or date text
// depends on. Loaded once from the process locale, replaceable per thread by
// a scoped override (tests run the Italian and the English behaviour without
// installed locales).
#pragma once

#include <array>

#include "orvcommon/base/text.hpp"

namespace orv {

enum class DateOrder { DayMonthYear, MonthDayYear, YearMonthDay };

struct Regional {
    char16_t decimalSeparator = u'.';
    char16_t groupSeparator = u',';
    char16_t dateSeparator = u'/';
    char16_t timeSeparator = u':';
    // Short-date pattern in format-pattern letters (d, dd, m, mm, yy, yyyy),
    // with "/" standing for the date separator, e.g. "dd/mm/yyyy".
    Text shortDatePattern = u"m/d/yyyy";
    DateOrder dateOrder = DateOrder::MonthDayYear;
    // Long-time pattern in the same letters (h, hh, nn, ss, AM/PM), with ":"
    // standing for the time separator.
    Text longTimePattern = u"h:nn:ss AM/PM";
    std::array<Text, 7> abbreviatedDays;  // Sunday first
    std::array<Text, 7> dayNames;
    std::array<Text, 12> monthNames;
    std::array<Text, 12> abbreviatedMonths;
    Text am = u"AM";
    Text pm = u"PM";
    Text currencySymbol = u"$";

    // The settings in force on this thread: the innermost override, else the
    // process locale (loaded on first use).
    static const Regional& current();

    // Windows-like presets, independent of installed locales.
    static Regional italian();
    static Regional english();
    // Settings from a named installed locale ("it_IT.UTF-8"); throws
    // orv::RuntimeError 5 when the locale is not installed.
    static Regional fromLocale(const char* name);
    // Settings from the process environment (LC_ALL, LC_NUMERIC, LC_TIME,
    // LANG), as any program takes them.
    static Regional fromEnvironment();

    // Derives dateOrder and dateSeparator from shortDatePattern.
    void deriveFromPattern();
};

// Replaces the regional settings for the current thread while it lives.
class ScopedRegional {
  public:
    explicit ScopedRegional(Regional r);
    ~ScopedRegional();
    ScopedRegional(const ScopedRegional&) = delete;
    ScopedRegional& operator=(const ScopedRegional&) = delete;

  private:
    Regional settings_;
    const Regional* previous_;
};

}  // namespace orv
