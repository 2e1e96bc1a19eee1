// Funzioni: values to and from their XML schema forms (date-times, Booleans,
// durations, work amounts and numbers).
#include <cmath>

#include "orvcommon/base/errors.hpp"
#include "orvcommon/core/convert.hpp"
#include "orvcommon/functions/funzioni.hpp"
#include "orvcommon/functions/funzioni_detail.hpp"

namespace orv {
namespace {
using funzioni_detail::mid;

// Durations are counted in tenths of a minute, work in thousandths.
constexpr double kDurationUnitsPerMinute = 10;
constexpr double kWorkUnitsPerMinute = 1000;

Text amountToXml(const Variant& amount, double unitsPerMinute) {
    if (!isNumeric(amount)) return u"PT0H0M0S";
    const double seconds = toDouble(amount) * 60 / unitsPerMinute;
    double hours = 0;
    if (seconds >= 3600) hours = std::trunc(seconds / 3600);
    const double rest = seconds - hours * 3600;
    double minutes = 0;
    if (rest >= 60) minutes = std::trunc(rest / 60);
    const double secs = rest - minutes * 60;
    return u"PT" + plainNumberText(hours) + u"H" + plainNumberText(minutes) + u"M" +
           plainNumberText(secs) + u"S";
}

double amountFromXml(const Variant& xml, double unitsPerMinute) {
    const Text text = toText(xml);  // Null: error 94
    double hours = 0, minutes = 0, secs = 0;
    Text digits;
    // The first two characters ("PT") are not examined.
    for (size_t i = 2; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c >= u'0' && c <= u'9') {
            digits.push_back(c);
            continue;
        }
        double* target = c == u'H' ? &hours : c == u'M' ? &minutes : c == u'S' ? &secs : nullptr;
        if (!target) continue;                // other characters neither count nor clear the digits
        *target = toDouble(Variant(digits));  // no digits: error 13
        digits.clear();
    }
    return (minutes * 60 + hours * 3600 + secs) * unitsPerMinute / 60;
}

// The regional number text of a Single or Double with "." as decimal point.
Text pointNumberText(const Variant& v) {
    Text t = v.is<float>() ? singleText(v.get<float>()) : numberText(v.get<double>());
    for (auto& c : t)
        if (c == u',') c = u'.';
    return t;
}

}  // namespace

Text Funzioni::getDate2Xml(const Text& sDate) {
    if (!isDateYYYYMMDDHH24MISS(sDate)) return Text();
    Text out;
    out.reserve(19);
    out.append(mid(sDate, 1, 4)).append(u"-").append(mid(sDate, 5, 2)).append(u"-");
    out.append(mid(sDate, 7, 2)).append(u"T").append(mid(sDate, 9, 2)).append(u":");
    out.append(mid(sDate, 11, 2)).append(u":").append(mid(sDate, 13, 2));
    return out;
}

Variant Funzioni::getDateFromXml(const Text& sDate) {
    Text compact(14, u'0');
    struct Piece {
        size_t from, width, to;  // 1-based positions in the XML and the compact text
    };
    static constexpr Piece kPieces[] = {{1, 4, 1},  {6, 2, 5},   {9, 2, 7},
                                        {12, 2, 9}, {15, 2, 11}, {18, 2, 13}};
    for (const Piece& p : kPieces) {
        const TextView piece = mid(sDate, p.from, p.width);
        if (isNumericText(piece)) compact.replace(p.to - 1, piece.size(), piece);
    }
    if (!isDateYYYYMMDDHH24MISS(compact)) return Variant();
    return Variant(std::move(compact));
}

int16_t Funzioni::getBool2Xml(const Variant& vntBool) {
    return isNumeric(vntBool) && toDouble(vntBool) == -1 ? 1 : 0;
}

bool Funzioni::getBoolFromXml(const Variant& vntBool) {
    return isNumeric(vntBool) && toDouble(vntBool) == 1;
}

Text Funzioni::getDur2Xml(const Variant& vntDur) {
    return amountToXml(vntDur, kDurationUnitsPerMinute);
}

double Funzioni::getDurFromXml(const Variant& vntDur) {
    return amountFromXml(vntDur, kDurationUnitsPerMinute);
}

Text Funzioni::getWork2Xml(const Variant& vntBool) {
    return amountToXml(vntBool, kWorkUnitsPerMinute);
}

double Funzioni::getWorkFromXml(const Variant& vntWork) {
    return amountFromXml(vntWork, kWorkUnitsPerMinute);
}

Variant Funzioni::getNumber2Xml(const Variant& vntValue) {
    if (!isNumeric(vntValue)) return Variant(Text());
    if (vntValue.is<float>() || vntValue.is<double>()) return Variant(pointNumberText(vntValue));
    if (vntValue.is<Decimal>()) return Variant(toInt16(vntValue));
    return Variant(toInt32(vntValue));
}

double Funzioni::getNumberFromXml(const Variant& vntValue) {
    if (!isNumeric(vntValue)) return 0;
    Text text = toText(vntValue);
    const char16_t separator = regionalDecimalSeparator();
    for (auto& c : text)
        if (c == u',') c = separator;
    for (auto& c : text)
        if (c == u'.') c = separator;
    return toDouble(Variant(std::move(text)));
}

}  // namespace orv
