// FileUtility: text files, semicolon-separated tables, whole-file bytes,
// fixed-length record files, file counts and file times. Every operation
// opens, uses and closes its files within the call and returns a result
// object owned by the caller. The only state kept between calls is the two
// public offset fields read by UpdateFileTime.
#pragma once

#include <cstdint>

#include "orvcommon/base/text.hpp"
#include "orvcommon/core/array.hpp"
#include "orvcommon/core/variant.hpp"
#include "orvcommon/results/enums.hpp"
#include "orvcommon/results/errinfo.hpp"

namespace orv {

class ORV_API FileUtility {
  public:
    // Public fields (both 0 on creation), used only by UpdateFileTime:
    // whole hours subtracted from the hour.
    int16_t daylightoffset = 0;
    // Minutes; their whole hours (truncated toward zero) are added to the hour.
    int16_t utcoffset = 0;

    // Interface order: the two field accessors, then the ten operations.

    // 1-2. daylightoffset get / set.
    int16_t getDaylightoffset() const { return daylightoffset; }
    void setDaylightoffset(int16_t value) { daylightoffset = value; }
    // 3-4. utcoffset get / set.
    int16_t getUtcoffset() const { return utcoffset; }
    void setUtcoffset(int16_t value) { utcoffset = value; }

    // 5. Counts the plain files (neither hidden nor system; read-only and
    // archive included; folders never) that match `sDirectory`: a folder
    // followed by "/", or a path whose last part holds `*` and `?`.
    // `iNumFile` (in/out) is assigned only once the listing is complete;
    // a 32768th file overflows (error 6).
    ErrInfo numFileInDir(const Text& sDirectory, int16_t& iNumFile);

    // 6. Sets the last-access and last-write times of the existing file
    // `fname` to the given UTC date and time, hour shifted by the two fields.
    // All eight Variants are in/out and none is written. Returns the cleared
    // object (also for a date that does not exist, which changes nothing).
    ErrInfo UpdateFileTime(Variant& fname, Variant& fyear, Variant& fmonth, Variant& fdayofweek,
                           Variant& fday, Variant& fhour, Variant& fmin, Variant& fsec);

    // 7. Writes `sTextFile` and CR LF as code page 1252 bytes, replacing the
    // file (an existing read-only, hidden or system file too), then sets the
    // attributes `attributeFile` (0 normal, 1 read-only, 2 hidden, 4 system,
    // 32 archive).
    ErrInfo writeFile(const Text& sFileName, int32_t attributeFile, const Text& sTextFile);

    // 8. Writes the table (column, row) from 1..lNumColumns and 1..lNumRows
    // as semicolon-separated text to the file, archive attribute.
    // `sArrayValue` is in/out on the interface and is not changed.
    ErrInfo writeCsvFileFromArray(const Text& sFileName, Array<Text>& sArrayValue, int32_t lNumRows,
                                  int32_t lNumColumns);

    // 9. Builds the semicolon-separated text of the table in `sStringFile`
    // (in/out). `sDelim` is accepted and ignored: the separator is ";".
    ErrInfo getCsvStringFromArray(Text& sStringFile, Array<Text>& sArrayValue, int32_t lNumRows,
                                  int32_t lNumColumns, const Text& sDelim);

    // 10. Reads the whole file into `sTextFile` (in/out), line ends
    // unchanged. Success returns the object as created (type 0).
    ErrInfo readFile(const Text& sFileName, Text& sTextFile);

    // 11. Reads a semicolon-separated file into `sArrayValue` (in/out),
    // dimensioned (1..lNumRows, 1..number of lines): `lNumRows` is the most
    // fields a line may have; `lNumColumns` (in/out) receives the number of
    // non-blank lines. Returns the parser's object for the last such line.
    ErrInfo getArrayFromCsvFile(const Text& sFileName, Array<Text>& sArrayValue, int32_t lNumRows,
                                int32_t& lNumColumns);

    // 12. Reads the file's lines (ending at CR or CR LF) into `listRows`
    // (in/out, indices 1..count, at least one element) and their count into
    // `lNumRows` (in/out). Failures report class "Utilita".
    ErrInfo readAndLoadInArrayByCRLF(const Text& sFileName, Array<Text>& listRows,
                                     int32_t& lNumRows);

    // 13. Reads the whole file's bytes into `vntTextFile` (in/out) as a byte
    // string. Success returns the object as created (type 0).
    ErrInfo readBinaryFile(const Text& sFileName, Variant& vntTextFile);

    // 14. Reads records of `iObjectLen` characters (each followed by two
    // separator bytes) from record number `lStartPosition` on, at most
    // `iNumObject` (in/out: cut to the end of the file) of them, cleans each
    // with Funzioni::normStringOnlyAscii and stores them at 1, 2, ... of the
    // caller's already sized `sOList` (in/out).
    ErrInfo ooReadFile(const Text& sFlLename, int16_t iObjectLen, int32_t lStartPosition,
                       int16_t& iNumObject, Array<Text>& sOList);
};

// The file time (100-nanosecond intervals since 1 January 1601 UTC) of a
// SYSTEMTIME taken as UTC, its fields read as unsigned; 0 when a part is out
// of range (year 1601-30827, month, day of that month, hour 0-23, minute and
// second 0-59, milliseconds 0-999). wDayOfWeek is ignored.
uint64_t systemTimeToFileTime(const SYSTEMTIME& st);

// The number of records of length `recordLen` (each followed by two bytes,
// the last one possibly without them) in a file of `fileLen` bytes; -1 when
// the length fits neither form. `recordLen` + 2 must not be 0.
int64_t recordCount(int64_t fileLen, int32_t recordLen);

}  // namespace orv
