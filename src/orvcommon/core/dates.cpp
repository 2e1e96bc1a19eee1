#include "orvcommon/core/dates.hpp"

#include <cmath>
#include <vector>

#include "orvcommon/base/errors.hpp"
#include "orvcommon/core/convert.hpp"
#include "orvcommon/platform/clock.hpp"

namespace orv {
namespace {

// Days from 1970-01-01 of a proleptic Gregorian date (H. Hinnant's method).
int64_t daysFromCivil(int64_t y, int64_t m, int64_t d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void civilFromDays(int64_t z, int& y, int& m, int& d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

constexpr int64_t kEpochOffset = 25569;  // 1970-01-01 is OLE day 25569

}  // namespace

int64_t daySerial(int year, int month, int day) {
    return daysFromCivil(year, month, day) + kEpochOffset;
}

bool isLeapYear(int y) {
    return y % 4 == 0 && (y % 100 != 0 || y % 400 == 0);
}

int daysInMonth(int y, int m) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeapYear(y) ? 29 : kDays[m - 1];
}

std::optional<double> dateFromParts(int year, int month, int day) {
    if (year < 0) return std::nullopt;
    int64_t y = year;
    if (y <= 29)
        y += 2000;
    else if (y <= 99)
        y += 1900;
    int64_t m0 = int64_t{month} - 1;
    y += m0 >= 0 ? m0 / 12 : -((11 - m0) / 12);
    m0 = ((m0 % 12) + 12) % 12;
    if (y < 100 - 1 || y > 9999 + 1) return std::nullopt;
    int64_t serial = daysFromCivil(y, m0 + 1, 1) + kEpochOffset + (int64_t{day} - 1);
    if (serial < static_cast<int64_t>(kMinDate) || serial > static_cast<int64_t>(kMaxDate))
        return std::nullopt;
    return static_cast<double>(serial);
}

double dateFromPartsOrRaise(int year, int month, int day) {
    auto d = dateFromParts(year, month, day);
    if (!d) raise(err::kInvalidArgument);
    return *d;
}

double timeFromParts(int hour, int minute, int second) {
    const int64_t total = int64_t{hour} * 3600 + int64_t{minute} * 60 + second;
    return static_cast<double>(total) / 86400.0;
}

double combineDateTime(double date, double time) {
    return date < 0 ? date - time : date + time;
}

// A negative OLE date carries its time below the day number (-1.25 is
// 29 December 1899 at 06:00), so 1 January 100 at any hour lies in
// (kMinDate - 1, kMinDate]: the day, not the number, is what must be in range.
bool isValidOleDate(double ole) {
    return std::isfinite(ole) && ole > kMinDate - 1.0 && ole < 2958466.0;
}

DateTimeParts splitDate(double ole) {
    double whole = std::trunc(ole);
    double frac = std::fabs(ole - whole);
    int64_t day = static_cast<int64_t>(whole);
    int64_t secs = std::llround(frac * 86400.0);
    if (secs >= 86400) {
        secs -= 86400;
        day += ole < 0 ? -1 : 1;
    }
    DateTimeParts p;
    civilFromDays(day - kEpochOffset, p.year, p.month, p.day);
    p.hour = static_cast<int>(secs / 3600);
    p.minute = static_cast<int>(secs / 60 % 60);
    p.second = static_cast<int>(secs % 60);
    p.dayOfWeek = static_cast<int>(((day % 7) + 7 + 6) % 7 + 1);
    return p;
}

double oleFromParts(const DateTimeParts& p) {
    return combineDateTime(static_cast<double>(daySerial(p.year, p.month, p.day)),
                           timeFromParts(p.hour, p.minute, p.second));
}

namespace {

Text pad2(int v) {
    Text t = decimalText(v);
    return t.size() < 2 ? u"0" + t : t;
}

bool matchAt(TextView s, size_t i, TextView what) {
    return s.size() - i >= what.size() && equalsIgnoreCase(s.substr(i, what.size()), what);
}

}  // namespace

Text formatDate(double ole, TextView pattern, const Regional& r) {
    if (equalsIgnoreCase(pattern, u"Short Date")) return formatDate(ole, r.shortDatePattern, r);
    if (equalsIgnoreCase(pattern, u"Long Time")) return formatDate(ole, r.longTimePattern, r);
    if (equalsIgnoreCase(pattern, u"Short Time")) return formatDate(ole, u"hh:nn", r);
    if (equalsIgnoreCase(pattern, u"General Date")) return generalDateText(ole, r);
    const DateTimeParts p = splitDate(ole);
    // An AM/PM token anywhere switches hours to the 12-hour clock.
    const Text upper = toUpper(pattern);
    const bool twelve = upper.find(u"AM/PM") != Text::npos || upper.find(u"A/P") != Text::npos;
    Text out;
    bool afterHour = false;
    size_t i = 0;
    auto run = [&](char16_t c) {
        size_t n = 0;
        while (i + n < pattern.size() && (pattern[i + n] | 0x20) == c)
            ++n;
        return n;
    };
    while (i < pattern.size()) {
        char16_t c = pattern[i];
        char16_t lc = static_cast<char16_t>(c | 0x20);
        if (c == u'"') {
            size_t end = pattern.find(u'"', i + 1);
            if (end == TextView::npos) end = pattern.size();
            out.append(pattern.substr(i + 1, end - i - 1));
            i = end + 1;
            continue;
        }
        if (c == u'\\' && i + 1 < pattern.size()) {
            out.push_back(pattern[i + 1]);
            i += 2;
            continue;
        }
        if (matchAt(pattern, i, u"AM/PM")) {
            Text designator = p.hour < 12 ? r.am : r.pm;
            out += designator.empty() ? (p.hour < 12 ? u"AM" : u"PM") : designator;
            i += 5;
            continue;
        }
        if (matchAt(pattern, i, u"A/P")) {
            bool upper = c == u'A';
            out += p.hour < 12 ? (upper ? u"A" : u"a") : (upper ? u"P" : u"p");
            i += 3;
            continue;
        }
        if (c == u'/') {
            out.push_back(r.dateSeparator);
            ++i;
            continue;
        }
        if (c == u':') {
            out.push_back(r.timeSeparator);
            ++i;
            continue;
        }
        if (lc == u'd') {
            size_t n = run(u'd');
            if (n == 1)
                out += decimalText(p.day);
            else if (n == 2)
                out += pad2(p.day);
            else if (n == 3)
                out += r.abbreviatedDays[static_cast<size_t>(p.dayOfWeek - 1)];
            else if (n == 4)
                out += r.dayNames[static_cast<size_t>(p.dayOfWeek - 1)];
            else
                out += formatDate(ole, r.shortDatePattern, r);
            i += n;
            afterHour = false;
            continue;
        }
        if (lc == u'm') {
            size_t n = run(u'm');
            if (afterHour && n <= 2) {
                out += n == 1 ? decimalText(p.minute) : pad2(p.minute);
            } else if (n == 1) {
                out += decimalText(p.month);
            } else if (n == 2) {
                out += pad2(p.month);
            } else if (n == 3) {
                out += r.abbreviatedMonths[static_cast<size_t>(p.month - 1)];
            } else {
                out += r.monthNames[static_cast<size_t>(p.month - 1)];
            }
            i += n;
            afterHour = false;
            continue;
        }
        if (lc == u'y') {
            size_t n = run(u'y');
            if (n >= 3)
                out += decimalText(p.year);
            else if (n == 2)
                out += pad2(p.year % 100);
            else
                out += decimalText(daySerial(p.year, p.month, p.day) - daySerial(p.year, 1, 1) + 1);
            i += n;
            afterHour = false;
            continue;
        }
        if (lc == u'h') {
            size_t n = run(u'h');
            int h = p.hour;
            if (twelve) {
                h %= 12;
                if (h == 0) h = 12;
            }
            out += n >= 2 ? pad2(h) : decimalText(h);
            i += n;
            afterHour = true;
            continue;
        }
        if (lc == u'n') {
            size_t n = run(u'n');
            out += n >= 2 ? pad2(p.minute) : decimalText(p.minute);
            i += n;
            afterHour = false;
            continue;
        }
        if (lc == u's') {
            size_t n = run(u's');
            out += n >= 2 ? pad2(p.second) : decimalText(p.second);
            i += n;
            afterHour = false;
            continue;
        }
        out.push_back(c);
        ++i;
    }
    return out;
}

Text generalDateText(double ole, const Regional& r) {
    double whole = std::trunc(ole);
    bool hasTime = ole != whole;
    if (whole == 0 && hasTime) return formatDate(ole, r.longTimePattern, r);
    Text t = formatDate(ole, r.shortDatePattern, r);
    if (hasTime) t += u" " + formatDate(ole, r.longTimePattern, r);
    return t;
}

namespace {

enum class Tok { Number, Month, DayName, Am, Pm, DateSep, TimeSep };
struct Token {
    Tok kind;
    int value = 0;  // number value or month number
    size_t digits = 0;
};

bool isLetter(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
           (c >= 0xC0 && c <= 0x24F && c != 0xD7 && c != 0xF7);
}

// Two-digit years: 0-29 are 2000-2029, 30-99 are 1930-1999.
int windowYear(int y, size_t digits) {
    if (digits <= 2 && y < 100) return y < 30 ? 2000 + y : 1900 + y;
    return y;
}

bool validYmd(int y, int m, int d) {
    return y >= 100 && y <= 9999 && m >= 1 && m <= 12 && d >= 1 && d <= daysInMonth(y, m);
}

}  // namespace

std::optional<double> parseDateText(TextView t, const Regional& r) {
    std::vector<Token> toks;
    size_t i = 0;
    while (i < t.size()) {
        char16_t c = t[i];
        if (c == u' ' || c == u'\t' || c == u',' || c == 0xA0) {
            ++i;
        } else if (c >= u'0' && c <= u'9') {
            int v = 0;
            size_t n = 0;
            while (i < t.size() && t[i] >= u'0' && t[i] <= u'9') {
                if (v < 100000) v = v * 10 + (t[i] - u'0');
                ++i;
                ++n;
            }
            toks.push_back({Tok::Number, v, n});
        } else if (c == u'-' || c == u'/' || (c == u'.' && r.dateSeparator == u'.') ||
                   c == r.dateSeparator) {
            toks.push_back({Tok::DateSep});
            ++i;
        } else if (c == u':' || c == r.timeSeparator) {
            toks.push_back({Tok::TimeSep});
            ++i;
        } else if (isLetter(c)) {
            size_t b = i;
            while (i < t.size() && (isLetter(t[i]) || t[i] == u'.'))
                ++i;
            Text word(t.substr(b, i - b));
            while (!word.empty() && word.back() == u'.')
                word.pop_back();
            bool found = false;
            auto same = [&](const Text& name) {
                return !name.empty() && equalsIgnoreCase(word, name);
            };
            for (int k = 0; k < 12 && !found; ++k) {
                if (same(r.monthNames[static_cast<size_t>(k)]) ||
                    same(r.abbreviatedMonths[static_cast<size_t>(k)])) {
                    toks.push_back({Tok::Month, k + 1});
                    found = true;
                }
            }
            for (size_t k = 0; k < 7 && !found; ++k)
                if (same(r.dayNames[k]) || same(r.abbreviatedDays[k])) {
                    toks.push_back({Tok::DayName});
                    found = true;
                }
            if (!found) {
                if (same(r.am) || equalsIgnoreCase(word, u"AM") || equalsIgnoreCase(word, u"A"))
                    toks.push_back({Tok::Am});
                else if (same(r.pm) || equalsIgnoreCase(word, u"PM") ||
                         equalsIgnoreCase(word, u"P"))
                    toks.push_back({Tok::Pm});
                else
                    return std::nullopt;
            }
        } else {
            return std::nullopt;
        }
    }
    // Separate the time (numbers joined by ':') from the date numbers.
    std::vector<Token> dateNums;
    int month = 0;
    std::vector<int> timeParts;
    int ampm = 0;
    size_t numbers = 0;
    for (size_t k = 0; k < toks.size(); ++k) {
        const Token& tk = toks[k];
        if (tk.kind == Tok::Number) {
            ++numbers;
            bool joined = (k + 1 < toks.size() && toks[k + 1].kind == Tok::TimeSep) ||
                          (k > 0 && toks[k - 1].kind == Tok::TimeSep);
            if (joined) {
                if (!timeParts.empty() && !(k > 0 && toks[k - 1].kind == Tok::TimeSep))
                    return std::nullopt;  // a second, separate time
                timeParts.push_back(tk.value);
            } else {
                dateNums.push_back(tk);
            }
        } else if (tk.kind == Tok::TimeSep) {
            if (k == 0 || toks[k - 1].kind != Tok::Number || k + 1 >= toks.size() ||
                toks[k + 1].kind != Tok::Number)
                return std::nullopt;
        } else if (tk.kind == Tok::Month) {
            if (month) return std::nullopt;
            month = tk.value;
        } else if (tk.kind == Tok::Am || tk.kind == Tok::Pm) {
            if (ampm || timeParts.empty()) {
                // A designator after a lone hour ("3 PM") makes that number the hour.
                if (ampm || dateNums.empty() || !timeParts.empty()) return std::nullopt;
                timeParts.push_back(dateNums.back().value);
                dateNums.pop_back();
            }
            ampm = tk.kind == Tok::Am ? 1 : 2;
        }
    }
    if (numbers > 6 || timeParts.size() > 3 || dateNums.size() > 3) return std::nullopt;
    double time = 0;
    bool hasTime = !timeParts.empty();
    if (hasTime) {
        if (timeParts.size() == 1 && !ampm) return std::nullopt;
        int h = timeParts[0];
        int mi = timeParts.size() > 1 ? timeParts[1] : 0;
        int s = timeParts.size() > 2 ? timeParts[2] : 0;
        if (ampm) {
            if (h < 1 || h > 12) return std::nullopt;
            h = (h % 12) + (ampm == 2 ? 12 : 0);
        }
        if (h > 23 || mi > 59 || s > 59) return std::nullopt;
        time = timeFromParts(h, mi, s);
    }
    if (dateNums.empty() && !month) {
        if (!hasTime) return std::nullopt;
        return time;
    }
    const int thisYear = platform::now().year;
    int y = 0, m = 0, d = 0;
    bool ok = false;
    auto tryYmd = [&](int yy, size_t ydigits, int mm, int dd) {
        int full = windowYear(yy, ydigits);
        if (validYmd(full, mm, dd)) {
            y = full;
            m = mm;
            d = dd;
            return true;
        }
        return false;
    };
    const size_t n = dateNums.size();
    if (month) {
        if (n == 1) ok = tryYmd(thisYear, 4, month, dateNums[0].value);
        if (n == 1 && !ok) ok = tryYmd(dateNums[0].value, dateNums[0].digits, month, 1);
        if (n == 2) {
            ok = tryYmd(dateNums[1].value, dateNums[1].digits, month, dateNums[0].value) ||
                 tryYmd(dateNums[0].value, dateNums[0].digits, month, dateNums[1].value);
        }
        if (n == 0 || n == 3) return std::nullopt;
    } else if (n == 3) {
        const Token &a = dateNums[0], &b = dateNums[1], &c = dateNums[2];
        switch (r.dateOrder) {
            case DateOrder::DayMonthYear:
                ok = tryYmd(c.value, c.digits, b.value, a.value);
                break;
            case DateOrder::MonthDayYear:
                ok = tryYmd(c.value, c.digits, a.value, b.value);
                break;
            case DateOrder::YearMonthDay:
                ok = tryYmd(a.value, a.digits, b.value, c.value);
                break;
        }
        // Then any order that gives a valid date.
        ok = ok || tryYmd(a.value, a.digits, b.value, c.value) ||
             tryYmd(c.value, c.digits, b.value, a.value) ||
             tryYmd(c.value, c.digits, a.value, b.value) ||
             tryYmd(a.value, a.digits, c.value, b.value) ||
             tryYmd(b.value, b.digits, a.value, c.value) ||
             tryYmd(b.value, b.digits, c.value, a.value);
    } else if (n == 2) {
        const Token &a = dateNums[0], &b = dateNums[1];
        // Day and month of the current year, in the locale's order...
        if (r.dateOrder == DateOrder::MonthDayYear)
            ok = tryYmd(thisYear, 4, a.value, b.value) || tryYmd(thisYear, 4, b.value, a.value);
        else
            ok = tryYmd(thisYear, 4, b.value, a.value) || tryYmd(thisYear, 4, a.value, b.value);
        // ...else month and year.
        ok = ok || tryYmd(b.value, b.digits, a.value, 1) || tryYmd(a.value, a.digits, b.value, 1);
    } else {
        return std::nullopt;  // one number alone is not a date
    }
    if (!ok) return std::nullopt;
    return combineDateTime(static_cast<double>(daySerial(y, m, d)), time);
}

bool isDate(const Variant& v) {
    if (v.is<Date>()) return true;
    if (v.isString()) return parseDateText(*v.text()).has_value();
    return false;
}

double toDate(const Variant& v) {
    if (v.is<Date>()) return v.get<Date>().value;
    if (v.isNull()) raise(err::kInvalidUseOfNull);
    if (v.isString()) {
        if (auto d = parseDateText(*v.text())) return *d;
        auto n = parseNumber(*v.text());
        if (!n) raise(err::kTypeMismatch);
        double d = n->toDouble();
        if (!isValidOleDate(d)) raise(err::kOverflow);
        return d;
    }
    if (v.isEmpty() || v.isNumber() || v.is<bool>()) {
        double d = toDouble(v);
        if (!isValidOleDate(d)) raise(err::kOverflow);
        return d;
    }
    raise(err::kTypeMismatch);
}

}  // namespace orv
