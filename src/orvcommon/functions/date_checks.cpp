// Funzioni: validation of compact dates and times, placeholders, leap years
// and day numbers.
#include <cmath>
#include <new>
#include <optional>

#include "orvcommon/base/errors.hpp"
#include "orvcommon/core/convert.hpp"
#include "orvcommon/core/dates.hpp"
#include "orvcommon/functions/funzioni.hpp"
#include "orvcommon/functions/funzioni_detail.hpp"
#include "orvcommon/platform/eventlog.hpp"

namespace orv {
namespace funzioni_detail {

TextView mid(TextView s, size_t start, size_t count) {
    if (start == 0 || start > s.size()) return TextView();
    return s.substr(start - 1, count);
}

bool guardValidator(const std::function<bool()>& body) {
    try {
        return body();
    } catch (const RuntimeError& e) {
        platform::writeEventLog(e.description());
    } catch (const std::bad_alloc&) {
        platform::writeEventLog(standardMessage(err::kOutOfMemory));
    } catch (const std::exception&) {
        platform::writeEventLog(standardMessage(err::kInternal));
    }
    return false;
}

namespace {
void appendPadded(Text& out, int value, size_t width) {
    Text digits = decimalText(value);
    if (digits.size() < width) out.append(width - digits.size(), u'0');
    out += digits;
}
}  // namespace

Text compactDate(double ole) {
    const DateTimeParts p = splitDate(ole);
    Text out;
    out.reserve(8);
    appendPadded(out, p.year, 4);
    appendPadded(out, p.month, 2);
    appendPadded(out, p.day, 2);
    return out;
}

}  // namespace funzioni_detail

namespace {
using funzioni_detail::mid;

// A piece converted by the whole-number conversion to 16 bits; nullopt when
// the conversion fails (empty, not a number, out of range).
std::optional<int> pieceNumber(TextView piece) {
    // Most invalid texts stop here, without the cost of an exception.
    if (!isNumericText(piece)) return std::nullopt;
    try {
        return toInt16(Variant(Text(piece)));
    } catch (const RuntimeError&) {
        return std::nullopt;
    }
}

// The date built with carry from characters 1-4, 5-6 and 7-8 of `s`.
std::optional<double> dateFromPieces(TextView s) {
    auto y = pieceNumber(mid(s, 1, 4));
    auto m = pieceNumber(mid(s, 5, 2));
    auto d = pieceNumber(mid(s, 7, 2));
    if (!y || !m || !d) return std::nullopt;
    return dateFromParts(*y, *m, *d);
}

Text compactTime(double time) {
    const DateTimeParts p = splitDate(time);
    Text out;
    for (int v : {p.hour, p.minute, p.second}) {
        out.push_back(static_cast<char16_t>(u'0' + v / 10));
        out.push_back(static_cast<char16_t>(u'0' + v % 10));
    }
    return out;
}

// The day number of an abbreviated day name, Italian or English.
int16_t dayNumberOfName(const Text& name) {
    struct Row {
        const char16_t* italian;
        const char16_t* english;
        int16_t number;
    };
    static constexpr Row kRows[] = {
        {u"lun", u"mon", 2}, {u"mar", u"tue", 3}, {u"mer", u"wed", 4}, {u"gio", u"thu", 5},
        {u"ven", u"fri", 6}, {u"sab", u"sat", 7}, {u"dom", u"sun", 1},
    };
    const Text lower = toLower(name);
    for (const Row& row : kRows)
        if (lower == row.italian || lower == row.english) return row.number;
    return 0;
}

}  // namespace

bool Funzioni::isDateYYYYMMDD(const Text& sDate) {
    return funzioni_detail::guardValidator([&] {
        bool valid = sDate.size() == 8;
        auto date = dateFromPieces(sDate);
        if (!date) return false;
        if (funzioni_detail::compactDate(*date) != mid(sDate, 1, 8)) valid = false;
        return valid;
    });
}

bool Funzioni::isDateYYYYMMDDHH24MISS(const Text& sDate) {
    return funzioni_detail::guardValidator([&] {
        bool valid = sDate.size() == 14;
        if (!isDateYYYYMMDD(Text(mid(sDate, 1, 8)))) valid = false;
        if (!isTimeHH24MISS(Text(mid(sDate, 9, 6)))) valid = false;
        return valid;
    });
}

bool Funzioni::isTimeHH24MISS(const Text& sTime) {
    return funzioni_detail::guardValidator([&] {
        bool valid = sTime.size() == 6;
        auto h = pieceNumber(mid(sTime, 1, 2));
        auto m = pieceNumber(mid(sTime, 3, 2));
        auto s = pieceNumber(mid(sTime, 5, 2));
        if (!h || !m || !s) return false;
        // The time of day that remains after the carry into days.
        const double time = timeFromParts(*h, *m, *s);
        const double timeOfDay = time - std::floor(time);
        if (compactTime(timeOfDay) != mid(sTime, 1, 6)) valid = false;
        return valid;
    });
}

bool Funzioni::isDateYYYYMMDDefault(const Text& sDate) {
    return funzioni_detail::guardValidator([&] { return sDate == u"00000000"; });
}

bool Funzioni::isDateYYYYMMDDefaultSpaces(const Text& sDate) {
    return funzioni_detail::guardValidator([&] { return sDate == u"        "; });
}

bool Funzioni::isYYYYBisestile(Text& sAnno) {
    return funzioni_detail::guardValidator([&] {
        bool leap = sAnno.size() == 4;
        for (size_t pos = 1; pos <= 4; ++pos) {
            TextView c = mid(sAnno, pos, 1);
            if (c.size() != 1 || c[0] < u'0' || c[0] > u'9') leap = false;
        }
        if (leap) leap = isLeapYear(toInt32(Variant(sAnno)));
        return leap;
    });
}

int16_t Funzioni::getDayNumberFromYYYYMMDD(const Text& sDateYYYYMMDD) {
    auto date = dateFromPieces(sDateYYYYMMDD);
    if (!date) return 0;
    return dayNumberOfName(formatDate(*date, u"ddd"));
}

int16_t Funzioni::getDayNumberFromDate(Date sDate) {
    if (!isValidOleDate(sDate.value)) raise(err::kInvalidArgument);
    return getDayNumberFromYYYYMMDD(funzioni_detail::compactDate(sDate.value));
}

}  // namespace orv
