// Regional settings as the operating system's locale data gives them.
#pragma once

#include <array>
#include <optional>

#include "orvcommon/base/text.hpp"

namespace orv::platform {

struct LocaleData {
    bool isPosix = false;  // the "C"/"POSIX" locale
    Text decimalPoint;
    Text thousandsSeparator;
    Text shortDatePattern;  // format-pattern letters, "/" for the date separator
    Text timeSeparator;
    Text longTimePattern;                 // h, hh, nn, ss, AM/PM; ":" for the time separator
    std::array<Text, 7> abbreviatedDays;  // Sunday first
    std::array<Text, 7> dayNames;
    std::array<Text, 12> monthNames;
    std::array<Text, 12> abbreviatedMonths;
    Text am, pm;
    Text currencySymbol;
};

// Locale data of an installed locale; "" means the process environment
// (LC_ALL, LC_NUMERIC, LC_TIME, LANG). nullopt when it is not installed.
std::optional<LocaleData> loadLocale(const char* name);

}  // namespace orv::platform
