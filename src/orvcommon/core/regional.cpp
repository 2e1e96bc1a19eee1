#include "orvcommon/core/regional.hpp"

#include "orvcommon/base/errors.hpp"
#include "orvcommon/platform/locale.hpp"

namespace orv {
namespace {
thread_local const Regional* tOverride = nullptr;

Regional fromData(const platform::LocaleData& d) {
    Regional r;
    auto first = [](const Text& t, char16_t dflt) { return t.empty() ? dflt : t[0]; };
    r.decimalSeparator = first(d.decimalPoint, u'.');
    r.groupSeparator = first(d.thousandsSeparator, r.decimalSeparator == u',' ? u'.' : u',');
    if (!d.shortDatePattern.empty()) r.shortDatePattern = d.shortDatePattern;
    r.timeSeparator = first(d.timeSeparator, u':');
    if (!d.longTimePattern.empty()) r.longTimePattern = d.longTimePattern;
    r.abbreviatedDays = d.abbreviatedDays;
    r.dayNames = d.dayNames;
    r.monthNames = d.monthNames;
    r.abbreviatedMonths = d.abbreviatedMonths;
    r.am = d.am;
    r.pm = d.pm;
    if (!d.currencySymbol.empty()) r.currencySymbol = d.currencySymbol;
    r.deriveFromPattern();
    return r;
}
}  // namespace

void Regional::deriveFromPattern() {
    int dPos = -1, mPos = -1, yPos = -1;
    for (size_t i = 0; i < shortDatePattern.size(); ++i) {
        char16_t c = shortDatePattern[i];
        int pos = static_cast<int>(i);
        if ((c == u'd' || c == u'D') && dPos < 0) dPos = pos;
        if ((c == u'm' || c == u'M') && mPos < 0) mPos = pos;
        if ((c == u'y' || c == u'Y') && yPos < 0) yPos = pos;
        if (c == u'/' || c == u'-' || c == u'.') dateSeparator = c;
    }
    if (yPos >= 0 && yPos < dPos && yPos < mPos)
        dateOrder = DateOrder::YearMonthDay;
    else if (mPos >= 0 && mPos < dPos)
        dateOrder = DateOrder::MonthDayYear;
    else
        dateOrder = DateOrder::DayMonthYear;
}

const Regional& Regional::current() {
    if (tOverride) return *tOverride;
    static const Regional process = fromEnvironment();
    return process;
}

Regional Regional::italian() {
    Regional r;
    r.decimalSeparator = u',';
    r.groupSeparator = u'.';
    r.dateSeparator = u'/';
    r.timeSeparator = u':';
    r.shortDatePattern = u"dd/mm/yyyy";
    r.longTimePattern = u"hh:nn:ss";
    r.abbreviatedDays = {u"dom", u"lun", u"mar", u"mer", u"gio", u"ven", u"sab"};
    r.dayNames = {u"domenica",     u"luned\u00ec",  u"marted\u00ec", u"mercoled\u00ec",
                  u"gioved\u00ec", u"venerd\u00ec", u"sabato"};
    r.monthNames = {u"gennaio", u"febbraio", u"marzo",     u"aprile",  u"maggio",   u"giugno",
                    u"luglio",  u"agosto",   u"settembre", u"ottobre", u"novembre", u"dicembre"};
    r.abbreviatedMonths = {u"gen", u"feb", u"mar", u"apr", u"mag", u"giu",
                           u"lug", u"ago", u"set", u"ott", u"nov", u"dic"};
    r.am = u"";
    r.pm = u"";
    r.currencySymbol = u"\u20ac";
    r.deriveFromPattern();
    return r;
}

Regional Regional::english() {
    Regional r;
    r.decimalSeparator = u'.';
    r.groupSeparator = u',';
    r.dateSeparator = u'/';
    r.timeSeparator = u':';
    r.shortDatePattern = u"m/d/yyyy";
    r.longTimePattern = u"h:nn:ss AM/PM";
    r.abbreviatedDays = {u"Sun", u"Mon", u"Tue", u"Wed", u"Thu", u"Fri", u"Sat"};
    r.dayNames = {u"Sunday",   u"Monday", u"Tuesday", u"Wednesday",
                  u"Thursday", u"Friday", u"Saturday"};
    r.monthNames = {u"January", u"February", u"March",     u"April",   u"May",      u"June",
                    u"July",    u"August",   u"September", u"October", u"November", u"December"};
    r.abbreviatedMonths = {u"Jan", u"Feb", u"Mar", u"Apr", u"May", u"Jun",
                           u"Jul", u"Aug", u"Sep", u"Oct", u"Nov", u"Dec"};
    r.am = u"AM";
    r.pm = u"PM";
    r.currencySymbol = u"$";
    r.deriveFromPattern();
    return r;
}

Regional Regional::fromLocale(const char* name) {
    auto data = platform::loadLocale(name);
    if (!data) raise(err::kInvalidArgument, u"Locale not installed: " + fromUtf8(name));
    return fromData(*data);
}

Regional Regional::fromEnvironment() {
    auto data = platform::loadLocale("");
    // The "C" locale stands for the English behaviour.
    if (!data || data->isPosix) return english();
    return fromData(*data);
}

ScopedRegional::ScopedRegional(Regional r) : settings_(std::move(r)), previous_(tOverride) {
    tOverride = &settings_;
}
ScopedRegional::~ScopedRegional() {
    tOverride = previous_;
}

}  // namespace orv
