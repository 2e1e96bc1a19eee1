// Dates: OLE date serials, date and time from parts with carry, formatting
// with format patterns, and the date test.
#pragma once

#include <optional>

#include "orvcommon/core/regional.hpp"
#include "orvcommon/core/variant.hpp"

namespace orv {

struct DateTimeParts {
    int year = 1899, month = 12, day = 30;
    int hour = 0, minute = 0, second = 0;
    int dayOfWeek = 7;  // 1 = Sunday ... 7 = Saturday
};

// Day serial (days since 30 December 1899) of a proleptic Gregorian date;
// no range checks, month and day must be in range.
int64_t daySerial(int year, int month, int day);
bool isLeapYear(int year);
int daysInMonth(int year, int month);

// Date from parts with carry: years 0-29 are 2000-2029 and 30-99 are
// 1930-1999; months and days outside their ranges run into neighbouring
// months and years. nullopt for a negative year or a result outside the
// years 100 to 9999.
std::optional<double> dateFromParts(int year, int month, int day);
// The same, raising run-time error 5 on failure.
double dateFromPartsOrRaise(int year, int month, int day);
// Time from parts with carry: 60 seconds make a minute, 60 minutes an hour,
// 24 hours a day; the result may reach past one day or below zero.
double timeFromParts(int hour, int minute, int second);
// A date serial and a time added as OLE dates do: the time's absolute value
// is the fraction, on the far side of zero for dates before 30 December 1899.
double combineDateTime(double date, double time);

// Splits an OLE date into calendar parts, rounding to the nearest second.
DateTimeParts splitDate(double ole);
// The OLE date of calendar parts (no carry; parts must be in range).
double oleFromParts(const DateTimeParts& p);
// Earliest and latest OLE dates (1 January 100, 31 December 9999 23:59:59).
inline constexpr double kMinDate = -657434.0;
inline constexpr double kMaxDate = 2958465.99998843;
bool isValidOleDate(double ole);

// Formats an OLE date with a format pattern: d dd ddd dddd, m mm mmm mmmm
// (minutes right after an hour), yy yyyy, h hh, n nn, s ss, AM/PM am/pm A/P,
// "/" the date separator, ":" the time separator, "quoted" and \x literals.
// The named formats "Short Date", "Long Time", "Short Time" and
// "General Date" are understood too.
Text formatDate(double ole, TextView pattern, const Regional& r = Regional::current());
// The general date text (CStr of a date): the short date, then the long time
// when there is a time of day; a time alone when the day is 30 December 1899.
Text generalDateText(double ole, const Regional& r = Regional::current());

// The date test on text: a date, a time, or both, under the settings.
std::optional<double> parseDateText(TextView text, const Regional& r = Regional::current());
// IsDate: dates, and texts that pass the date test.
bool isDate(const Variant& v);
// CDate: dates, numbers, and date or numeric texts; error 13 otherwise.
double toDate(const Variant& v);

}  // namespace orv
