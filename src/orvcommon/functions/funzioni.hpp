// Funzioni: value conversions and text functions. One source unit per topic
// (dates.cpp, xml.cpp, database.cpp, csv_sort_system.cpp, normalise.cpp,
// pdf.cpp, scramble.cpp); the declarations below follow interface order,
// topic by topic.
#pragma once

#include <cstdint>

#include "orvcommon/core/array.hpp"
#include "orvcommon/core/variant.hpp"
#include "orvcommon/results/errinfo.hpp"

namespace orv {

class Funzioni {
  public:
    // Creating an object writes 1.1 as regional number text and keeps its
    // second character as this thread's regional decimal separator.
    Funzioni();

    // The regional decimal separator of this thread, as the last creation
    // of a Funzioni object on it read it.
    static char16_t regionalDecimalSeparator();

    // ---- Date and time validation (dates.cpp)

    // ---- XML value conversion (xml.cpp)

    // ---- Database value conversion (database.cpp)

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

    // ---- Simple string scrambling (scramble.cpp)
};

}  // namespace orv
