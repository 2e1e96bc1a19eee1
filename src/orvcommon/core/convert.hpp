// Conversions between Variants, numbers and texts, written once for the whole
// library: the numeric test, whole-number conversion (halves to even), text to
// number and number to text under the regional settings.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "orvcommon/core/regional.hpp"
#include "orvcommon/core/variant.hpp"

namespace orv {

// A number read from text, kept exact: value = digits x 10^exponent.
struct NumberText {
    bool negative = false;
    std::string digits;    // decimal digits, no leading zeros ("" for zero)
    int64_t exponent = 0;  // power of ten applied to `digits`
    // "&H"/"&O" texts: the integer value and whether it fits 16 bits.
    bool radix = false;
    int64_t radixValue = 0;

    double toDouble() const;  // +-inf when out of range
};

// Reads a numeric text under the given regional settings (the automation
// rules: surrounding blanks, one sign, parentheses, currency symbol, group
// separators after the first digit, one decimal separator, an exponent;
// "&H" hex and "&O" octal). nullopt when the text is not a number.
std::optional<NumberText> parseNumber(TextView text, const Regional& r = Regional::current());

// The numeric test: Empty, numbers, Booleans and texts that read as a number.
bool isNumeric(const Variant& v);
bool isNumericText(TextView t, const Regional& r = Regional::current());

// Whole-number conversions (CInt, CLng, CByte): halves to even; error 6 out
// of range, 13 for a text that is not a number or a type that has no number,
// 94 for Null.
int16_t toInt16(const Variant& v);
int32_t toInt32(const Variant& v);
uint8_t toByte(const Variant& v);
// Rounds a double half to even into [lo, hi]; error 6 outside.
int64_t roundToRange(double d, int64_t lo, int64_t hi);

// CDbl, CSng, CCur, CBool: text read under the regional settings.
double toDouble(const Variant& v);
float toSingle(const Variant& v);
Currency toCurrency(const Variant& v);
bool toBool(const Variant& v);
Decimal toDecimal(const Variant& v);

// CStr: Empty -> "", Null -> error 94, numbers as regional number text,
// Booleans "True"/"False", dates as their general date text.
Text toText(const Variant& v);

// General number text with up to `digits` significant digits (15 for Double,
// 7 for Single) and the given decimal separator. Fixed notation is used
// whenever it needs no more than `digits` places after the separator and the
// value is below 10^digits; otherwise the exponent form "d.dddE+dd" (at
// least two exponent digits). Negative zero is "0".
Text generalNumberText(double v, int digits, char16_t decimalSeparator);
// Regional number text of a Double (15 digits) and a Single (7 digits).
Text numberText(double v, const Regional& r = Regional::current());
Text singleText(float v, const Regional& r = Regional::current());
// Plain number text: "." as separator whatever the settings, 15 digits, and
// no zero before the point below 1 (".6", "-.25").
//
// Exponent form, shared by the regional and the plain number text: values of
// 10^digits and above, and small values whose fixed form would need more
// than `digits` places after the separator, are written as one digit, the
// separator and the remaining significant digits (if any), then "E", the
// exponent's sign and at least two exponent digits: 1E+15, 1.2E+15,
// 5.6789E-12, -2.5E+200 (and 1E+08 for a Single). The mantissa always keeps
// its leading digit, so the plain text of 1.5e-20 is "1.5E-20". Fixed form
// is used down to 1E-15 for Double ("0.000000000000001", plain ".000000000000001").
Text plainNumberText(double v);
// Currency text: up to four decimals, regional separator.
Text currencyText(Currency c, const Regional& r = Regional::current());

}  // namespace orv
