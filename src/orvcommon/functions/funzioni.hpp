// Funzioni: value conversions and text functions. One source unit per topic
// (date_checks.cpp, xml.cpp, database.cpp, csv_sort_system.cpp, normalise.cpp,
// pdf.cpp, scramble.cpp); the declarations below follow interface order,
// topic by topic.
#pragma once

#include <cstdint>

#include "orvcommon/core/array.hpp"
#include "orvcommon/core/variant.hpp"
#include "orvcommon/results/errinfo.hpp"

namespace orv {

class ORV_API Funzioni {
  public:
    // Creating an object writes 1.1 as regional number text and keeps its
    // second character as this thread's regional decimal separator.
    Funzioni();

    // The regional decimal separator of this thread, as the last creation
    // of a Funzioni object on it read it.
    static char16_t regionalDecimalSeparator();

    // ---- Date and time validation (date_checks.cpp)
    //
    // Compact forms: date "YYYYMMDD", time "HHMMSS" (24-hour clock) and
    // date-time "YYYYMMDDHHMMSS". A text is valid when it is exactly the
    // canonical text of the value built from its pieces (the date-from-parts
    // rule with carry), so any carry, sign, blank or non-digit makes it
    // invalid. Years 0100 to 0999 are written with leading zeros and valid.
    // The six validators never throw: an unexpected failure makes them answer
    // false and writes its description to the host's event log.

    // True when `sDate` is a valid compact date (8 characters).
    bool isDateYYYYMMDD(const Text& sDate);
    // True when `sDate` is a valid compact date-time (14 characters): calls
    // isDateYYYYMMDD and isTimeHH24MISS on its two halves.
    bool isDateYYYYMMDDHH24MISS(const Text& sDate);
    // True when `sTime` is a valid compact time (6 characters, 000000-235959).
    bool isTimeHH24MISS(const Text& sTime);
    // True exactly for the placeholder "00000000".
    bool isDateYYYYMMDDefault(const Text& sDate);
    // True exactly for the placeholder of eight spaces.
    bool isDateYYYYMMDDefaultSpaces(const Text& sDate);
    // True when `sAnno` is four decimal digits naming a leap year ("0000"
    // included). By reference on the automation surface; never changed.
    bool isYYYYBisestile(Text& sAnno);
    // Day of the week of a compact date (built with carry, no validity
    // check): 1 = Sunday ... 7 = Saturday, read from the regional abbreviated
    // day name, which must be Italian or English; 0 otherwise or when the
    // pieces do not convert.
    int16_t getDayNumberFromYYYYMMDD(const Text& sDateYYYYMMDD);
    // getDayNumberFromYYYYMMDD of the date's compact text. Run-time error 5
    // for a value outside the OLE date range (1 January 100 - 31 December 9999).
    int16_t getDayNumberFromDate(Date sDate);

    // ---- XML value conversion (xml.cpp)
    //
    // Plain-value conversions: run-time errors (6 overflow, 13 type
    // mismatch, 94 invalid use of Null) reach the caller; nothing is logged.

    // "YYYY-MM-DDTHH:MI:SS" of a valid compact date-time, else "".
    Text getDate2Xml(const Text& sDate);
    // The compact date-time (String) of an XML date-time; a missing time is
    // midnight; separators, fraction and time zone are not examined. Empty
    // when the result is not a valid compact date-time.
    Variant getDateFromXml(const Text& sDate);
    // 1 when the value is numerically -1 (true), else 0.
    int16_t getBool2Xml(const Variant& vntBool);
    // True when the value is numerically 1, else false (true itself is -1).
    bool getBoolFromXml(const Variant& vntBool);
    // Tenths of a minute as "PT<h>H<m>M<s>S" (plain number text);
    // "PT0H0M0S" when the value fails the numeric test.
    Text getDur2Xml(const Variant& vntDur);
    // "PT..H..M..S" back to tenths of a minute. Digits are collected and
    // stored by the upper-case unit letters; other characters are skipped.
    // A unit letter with no digits before it raises error 13.
    double getDurFromXml(const Variant& vntDur);
    // Thousandths of a minute as "PT<h>H<m>M<s>S" (the parameter keeps its
    // published name).
    Text getWork2Xml(const Variant& vntBool);
    // "PT..H..M..S" back to thousandths of a minute (as getDurFromXml).
    double getWorkFromXml(const Variant& vntWork);
    // Single/Double: regional number text with "," turned into "." (String);
    // Decimal: 16-bit integer; other numeric values: 32-bit integer; "" when
    // the value fails the numeric test.
    Variant getNumber2Xml(const Variant& vntValue);
    // The number of a text with "," or "." as decimal point (read through
    // this thread's regional decimal separator); 0 when the value fails the
    // numeric test; error 13 when the text then does not convert (Empty too).
    double getNumberFromXml(const Variant& vntValue);

    // ---- Database value conversion (database.cpp)
    //
    // `lEngine` is a typeDataBaseEngine: dbengineORACLE 1, dbengineMSACCESS
    // 2, dbengineSQLSERVER 3; any other value is an unlisted engine. Absent
    // value: "''" for Oracle, "Null" for Access and SQL Server. Run-time
    // errors reach the caller; nothing is logged.

    // The SQL literal of a compact date-time (String or number):
    // to_date('...','YYYYMMDDHH24MISS'), #MM/DD/YYYY hh:mm:ss# or
    // '<regional short date> hh:mm:ss'; the absent value for Empty or an
    // invalid value; Empty for an unlisted engine; error 94 for Null.
    Variant getDataForDB(int32_t lEngine, const Variant& sDateYYYYMMDDHHMMSS);
    // The factor a Boolean (-1/0) is multiplied by for the engine: Oracle -1,
    // Access 1, SQL Server -1, unlisted 0.
    int16_t getBoolForDB(int32_t lEngine);
    // The Boolean as the engine writes it (16-bit integer), the absent value
    // when it fails the numeric test, Empty for an unlisted engine. By
    // reference on the automation surface; never changed. Error 6 out of the
    // 16-bit range (and for -32768 where it is negated).
    Variant getBoolForDBx(int32_t lEngine, Variant& vntBool);
    // The number as the statement writes it: Single/Double as regional number
    // text with "," turned into "." (that String is also stored back into
    // `vntValue`), Decimal as a 16-bit integer, other numeric values as a
    // 32-bit integer; the absent value when it fails the numeric test; Empty
    // for an unlisted engine (`vntValue` untouched). Error 6 out of range.
    Variant getNumberForDB(int32_t lEngine, Variant& vntValue);

    // ---- CSV string parsing, sorting and system information (csv_sort_system.cpp)

    // Splits one line at the semicolons that stand outside double quotes
    // into `sArrayValue` (in/out, already dimensioned: fields go to 1..n and
    // n may not exceed its upper bound) and the count into `lNumFieldFound`
    // (in/out). A field enclosed in quotes loses them; "" becomes ".
    ErrInfo getValueFromCsvString(const Text& sStringValue, Array<Text>& sArrayValue,
                                  int32_t& lNumFieldFound);
    // Sorts SortArray(Low..High) (in/out) by the key of `iByteLen` characters
    // from character `iByteStart`; `bIgnoreUcase` false compares upper-cased
    // keys, true compares them as they are (by character code).
    ErrInfo quickSortArray(Array<Text>& SortArray, int32_t Low, int32_t High, int16_t iByteStart,
                           int16_t iByteLen, bool bIgnoreUcase);
    // The Windows and system directories (both in/out, see the platform's
    // answers for this system).
    ErrInfo getWinAndSistemDir(Text& sWinDir, Text& sSystemDir);
    // The serial number of the volume that holds `sDisk`, made non-negative,
    // in `lSerialNumber` (in/out; kept when the volume cannot be read).
    ErrInfo getSerialNumber(const Text& sDisk, int32_t& lSerialNumber);

    // ---- String normalisation (normalise.cpp)

    // Each replaces its own characters, trims trailing spaces and gives " "
    // for an empty outcome; the output (in/out) is written only on success.
    // Apostrophe doubled; backquote, CR and LF become spaces.
    ErrInfo normStringForDb(const Text& sStringa, Text& sStringaOut);
    // CR and LF become spaces.
    ErrInfo normStringNoCRLF(const Text& sStringa, Text& sStringaOut);
    // Control characters and most of code page 1252's upper block become spaces.
    ErrInfo normStringOnlyAscii(const Text& sStringa, Text& sStringaOut);
    // Apostrophe doubled.
    ErrInfo normStringOnlyApice(const Text& sStringa, Text& sStringaOut);
    // & < > escaped, the accented lower-case vowels written as letter and
    // backquote, apostrophe as backquote.
    ErrInfo normStringForXML(const Text& sStringa, Text& sStringaOut);
    // Null or Empty give Null; anything else goes as text through
    // normStringOnlyApice into `vntStringaOut` (in/out).
    ErrInfo normStringOnlyApiceWithNull(const Variant& vntStringa, Variant& vntStringaOut);

    // ---- PDF generation (pdf.cpp)
    //
    // The external engine (see platform/pdf_engine.hpp) turns a command file
    // into a PDF. An engine failure is eiABORTED with the engine's message,
    // logged; a missing engine (53) or entry point (453) is trapped and
    // logged. Outputs keep the caller's value on every failure.

    // Command file to PDF file; the cleared result on success.
    ErrInfo createPdfFile(const Text& sCommandFile, const Text& sPdfFile);
    // Command text to PDF bytes through "cmd<suffix>" and "pdf<suffix>" in
    // the temporary folder (both left there). On success `vntPdfStream`
    // (in/out) receives the byte string and the result is readBinaryFile's.
    ErrInfo createPdfStream(const Variant& vntCommandStream, Variant& vntPdfStream);

    // ---- Simple string scrambling (scramble.cpp)
    //
    // A fixed shift of every character's code page 1252 code by
    // kScrambleShift; the output has the input's length. Results are trapped
    // and logged: error 5 when a shifted code leaves 0-255, error 6 for texts
    // longer than 32,767 characters; the output keeps the caller's value on
    // failure. A character outside code page 1252 counts as "?".

    // Shifts every code up; success result with location "simpleEncrypt".
    ErrInfo simpleEncrypt(const Text& sToEncrypt, Text& sEncrypted);
    // Shifts every code down; success result with location "simpleDecrypt".
    ErrInfo simpleDecrypt(const Text& sToDecrypt, Text& sDecrypted);

    // The scrambling shift: a two-digit constant of the library, the same for
    // both directions. Changing it makes texts scrambled before unreadable.
    static constexpr int kScrambleShift = 17;
};

}  // namespace orv
