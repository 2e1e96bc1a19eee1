#include <langinfo.h>
#include <locale.h>

#include <cstring>

#include "orvcommon/platform/locale.hpp"
#include "orvcommon/platform/posix/posix_io.hpp"

namespace orv::platform {
namespace {

// Turns a strftime date format into a format pattern: %d -> dd, %e -> d,
// %m -> mm, %Y -> yyyy, %y -> yy; the separator becomes "/" (the pattern's
// placeholder for the date separator), other conversions are dropped.
Text patternFromStrftime(const char* fmt, char16_t& separator) {
    Text out;
    separator = 0;
    for (const char* p = fmt; *p; ++p) {
        if (*p == '%' && p[1]) {
            ++p;
            if (*p == 'E' || *p == 'O') ++p;  // alternative-form modifiers
            switch (*p) {
                case 'd':
                    out += u"dd";
                    break;
                case 'e':
                    out += u"d";
                    break;
                case 'm':
                    out += u"mm";
                    break;
                case 'Y':
                    out += u"yyyy";
                    break;
                case 'y':
                    out += u"yy";
                    break;
                default:
                    break;
            }
        } else if (*p == '/' || *p == '-' || *p == '.') {
            if (!separator) separator = static_cast<char16_t>(*p);
            out += u'/';
        }
    }
    return out;
}

// Turns a strftime time format into a format pattern (%H -> hh, %I -> hh
// with AM/PM, %M -> nn, %S -> ss, %r and %T expanded).
Text timePatternFromStrftime(const Text& fmt) {
    Text out;
    for (size_t i = 0; i < fmt.size(); ++i) {
        if (fmt[i] == u'%' && i + 1 < fmt.size()) {
            char16_t c = fmt[++i];
            if ((c == u'E' || c == u'O') && i + 1 < fmt.size()) c = fmt[++i];
            switch (c) {
                case u'H':
                    out += u"hh";
                    break;
                case u'k':
                    out += u"h";
                    break;
                case u'I':
                    out += u"hh";
                    break;
                case u'l':
                    out += u"h";
                    break;
                case u'M':
                    out += u"nn";
                    break;
                case u'S':
                    out += u"ss";
                    break;
                case u'p':
                case u'P':
                    out += u"AM/PM";
                    break;
                case u'r':
                    out += u"hh:nn:ss AM/PM";
                    break;
                case u'T':
                    out += u"hh:nn:ss";
                    break;
                default:
                    break;
            }
        } else {
            out += fmt[i];
        }
    }
    while (!out.empty() && out.back() == u' ')
        out.pop_back();
    return out;
}

}  // namespace

std::optional<LocaleData> loadLocale(const char* name) {
    locale_t loc = posix::sys.newlocale(LC_ALL_MASK, name, static_cast<locale_t>(nullptr));
    if (loc == static_cast<locale_t>(nullptr)) return std::nullopt;
    auto get = [&](nl_item item) { return fromUtf8(posix::sys.nl_langinfo_l(item, loc)); };
    LocaleData d;
    const char* dfmt = posix::sys.nl_langinfo_l(D_FMT, loc);
    d.isPosix = std::strcmp(dfmt, "%m/%d/%y") == 0 && get(ABDAY_1) == u"Sun" &&
                std::strlen(posix::sys.nl_langinfo_l(THOUSEP, loc)) == 0;
    d.decimalPoint = get(RADIXCHAR);
    d.thousandsSeparator = get(THOUSEP);
    char16_t sep = 0;
    d.shortDatePattern = patternFromStrftime(dfmt, sep);
    if (sep && sep != u'/') {
        // Keep the locale's own separator visible in the pattern.
        for (auto& c : d.shortDatePattern)
            if (c == u'/') c = sep;
    }
    Text tfmt = get(T_FMT);
    auto h = tfmt.find(u"%H");
    if (h == Text::npos) h = tfmt.find(u"%I");
    if (h != Text::npos && h + 2 < tfmt.size() && tfmt[h + 2] != u'%')
        d.timeSeparator = Text(1, tfmt[h + 2]);
    d.longTimePattern = timePatternFromStrftime(tfmt);
    const nl_item abday[] = {ABDAY_1, ABDAY_2, ABDAY_3, ABDAY_4, ABDAY_5, ABDAY_6, ABDAY_7};
    const nl_item day[] = {DAY_1, DAY_2, DAY_3, DAY_4, DAY_5, DAY_6, DAY_7};
    for (size_t i = 0; i < 7; ++i) {
        d.abbreviatedDays[i] = get(abday[i]);
        d.dayNames[i] = get(day[i]);
    }
    const nl_item mon[] = {MON_1, MON_2, MON_3, MON_4,  MON_5,  MON_6,
                           MON_7, MON_8, MON_9, MON_10, MON_11, MON_12};
    const nl_item abmon[] = {ABMON_1, ABMON_2, ABMON_3, ABMON_4,  ABMON_5,  ABMON_6,
                             ABMON_7, ABMON_8, ABMON_9, ABMON_10, ABMON_11, ABMON_12};
    for (size_t i = 0; i < 12; ++i) {
        d.monthNames[i] = get(mon[i]);
        d.abbreviatedMonths[i] = get(abmon[i]);
    }
    d.am = get(AM_STR);
    d.pm = get(PM_STR);
    Text cur = get(CRNCYSTR);
    // CRNCYSTR starts with '-', '+' or '.' telling where the symbol goes.
    if (!cur.empty() && (cur[0] == u'-' || cur[0] == u'+' || cur[0] == u'.')) cur.erase(0, 1);
    d.currencySymbol = cur;
    posix::sys.freelocale(loc);
    return d;
}

}  // namespace orv::platform
