#include <windows.h>

#include <cstring>
#include <string>

#include "orvcommon/platform/locale.hpp"
#include "orvcommon/platform/win32/win32_io.hpp"

namespace orv::platform {
namespace {

// A locale name as the rest of the library spells it ("it_IT.UTF-8") in the
// system's form ("it-IT"): the code set goes, "_" becomes "-".
std::wstring systemName(const char* name) {
    std::string n = name;
    n = n.substr(0, n.find_first_of(".@"));
    std::wstring out;
    for (char c : n)
        out.push_back(c == '_' ? L'-' : static_cast<wchar_t>(static_cast<unsigned char>(c)));
    return out;
}

// Turns a Windows date pattern ("dd/MM/yyyy", "M/d/yyyy") into a format
// pattern: months are "m" there, days and years stay; quoted text and eras
// are dropped.
Text datePattern(const Text& fmt) {
    Text out;
    bool quoted = false;
    for (char16_t c : fmt) {
        if (c == u'\'') {
            quoted = !quoted;
            continue;
        }
        if (quoted || c == u'g') continue;
        out.push_back(c == u'M' ? u'm' : c);
    }
    return out;
}

// Turns a Windows time pattern ("HH:mm:ss", "h:mm:ss tt") into a format
// pattern: hours "h", minutes "n", seconds "s", "tt" becomes "AM/PM".
Text timePattern(const Text& fmt) {
    Text out;
    bool quoted = false;
    for (size_t i = 0; i < fmt.size(); ++i) {
        const char16_t c = fmt[i];
        if (c == u'\'') {
            quoted = !quoted;
            continue;
        }
        if (quoted) continue;
        if (c == u'H') {
            out.push_back(u'h');
        } else if (c == u'm') {
            out.push_back(u'n');
        } else if (c == u't') {
            if (i + 1 < fmt.size() && fmt[i + 1] == u't') ++i;
            out += u"AM/PM";
        } else {
            out.push_back(c);
        }
    }
    while (!out.empty() && out.back() == u' ')
        out.pop_back();
    return out;
}

}  // namespace

// The user's locale for "", else the named one; the "C" locale is the
// system's invariant locale.
std::optional<LocaleData> loadLocale(const char* name) {
    const bool posix = std::strcmp(name, "C") == 0 || std::strcmp(name, "POSIX") == 0;
    std::wstring wanted;
    LPCWSTR locale = LOCALE_NAME_USER_DEFAULT;
    if (posix) {
        locale = LOCALE_NAME_INVARIANT;
    } else if (*name) {
        wanted = systemName(name);
        if (!IsValidLocaleName(wanted.c_str())) return std::nullopt;
        locale = wanted.c_str();
    }
    auto get = [&](LCTYPE item) {
        wchar_t buf[128];
        const int n = GetLocaleInfoEx(locale, item, buf, 128);
        return n > 1 ? win32::fromWide(buf, static_cast<size_t>(n - 1)) : Text();
    };
    LocaleData d;
    d.isPosix = posix;
    d.decimalPoint = get(LOCALE_SDECIMAL);
    d.thousandsSeparator = get(LOCALE_STHOUSAND);
    d.shortDatePattern = datePattern(get(LOCALE_SSHORTDATE));
    const Text tfmt = get(LOCALE_STIMEFORMAT);
    d.longTimePattern = timePattern(tfmt);
    for (char16_t c : tfmt) {
        // The first character after the hours that is not a pattern letter.
        if (c != u'h' && c != u'H' && c != u'\'') {
            d.timeSeparator = Text(1, c);
            break;
        }
    }
    // The system counts days from Monday (1) to Sunday (7).
    for (int i = 0; i < 7; ++i) {
        const int day = i == 0 ? 6 : i - 1;
        d.abbreviatedDays[static_cast<size_t>(i)] = get(LOCALE_SABBREVDAYNAME1 + day);
        d.dayNames[static_cast<size_t>(i)] = get(LOCALE_SDAYNAME1 + day);
    }
    for (int i = 0; i < 12; ++i) {
        d.monthNames[static_cast<size_t>(i)] = get(LOCALE_SMONTHNAME1 + i);
        d.abbreviatedMonths[static_cast<size_t>(i)] = get(LOCALE_SABBREVMONTHNAME1 + i);
    }
    d.am = get(LOCALE_S1159);
    d.pm = get(LOCALE_S2359);
    d.currencySymbol = get(LOCALE_SCURRENCY);
    return d;
}

}  // namespace orv::platform
