#include "orvcommon/files/file_utility.hpp"

#include <algorithm>
#include <array>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "orvcommon/base/cp1252.hpp"
#include "orvcommon/base/errors.hpp"
#include "orvcommon/core/convert.hpp"
#include "orvcommon/core/dates.hpp"
#include "orvcommon/files/csv_table.hpp"
#include "orvcommon/files/line_reader.hpp"
#include "orvcommon/operations/decimal_separator.hpp"
#include "orvcommon/operations/file_steps.hpp"
#include "orvcommon/operations/text_cleaning.hpp"
#include "orvcommon/platform/files.hpp"
#include "orvcommon/results/trap.hpp"

namespace orv {
namespace {

using operations::kFileSuccessText;
const char16_t* const kClass = u"FileUtility";

// A 16-bit sum as the automation run time computes it: error 6 outside.
int16_t add16(int32_t a, int32_t b) {
    const int32_t r = a + b;
    if (r < std::numeric_limits<int16_t>::min() || r > std::numeric_limits<int16_t>::max())
        raise(err::kOverflow);
    return static_cast<int16_t>(r);
}

// One cell in the written CSV form: quotes doubled; numbers, blanks and
// dates as they are; everything else in double quotes.
void appendCell(Text& out, const Text& cell) {
    Text doubled;
    const Text* value = &cell;
    if (cell.find(u'"') != Text::npos) {
        doubled.reserve(cell.size() + 8);
        for (char16_t c : cell) {
            doubled.push_back(c);
            if (c == u'"') doubled.push_back(u'"');
        }
        value = &doubled;
    }
    if (isNumericText(*value) || isBlank(*value) || parseDateText(*value).has_value()) {
        out.append(*value);
    } else {
        out.push_back(u'"');
        out.append(*value);
        out.push_back(u'"');
    }
}

constexpr std::array<int32_t, 11> kRecordLengths{20,  25,  125, 150, 160, 207,
                                                 247, 400, 450, 962, 970};

}  // namespace

uint64_t systemTimeToFileTime(const SYSTEMTIME& st) {
    const auto u = [](int16_t v) { return static_cast<uint32_t>(static_cast<uint16_t>(v)); };
    const uint32_t y = u(st.wYear), m = u(st.wMonth), d = u(st.wDay);
    const uint32_t h = u(st.wHour), mi = u(st.wMinute), s = u(st.wSecond), ms = u(st.wMilliseconds);
    if (y < 1601 || y > 30827 || m < 1 || m > 12 || h > 23 || mi > 59 || s > 59 || ms > 999)
        return 0;
    static constexpr uint32_t kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    const uint32_t monthDays = kDays[m - 1] + (m == 2 && leap ? 1 : 0);
    if (d < 1 || d > monthDays) return 0;
    // Days from 1 January 1601 (civil-from-days arithmetic on March-based years).
    const auto daysFromCivil = [](int64_t yy, int64_t mm, int64_t dd) {
        yy -= mm <= 2;
        const int64_t era = yy / 400;
        const int64_t yoe = yy - era * 400;
        const int64_t doy = (153 * (mm + (mm > 2 ? -3 : 9)) + 2) / 5 + dd - 1;
        const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
        return era * 146097 + doe;
    };
    const int64_t days = daysFromCivil(y, m, d) - daysFromCivil(1601, 1, 1);
    const int64_t seconds = days * 86400 + int64_t{h} * 3600 + int64_t{mi} * 60 + s;
    return static_cast<uint64_t>(seconds) * 10000000u + uint64_t{ms} * 10000u;
}

int64_t recordCount(int64_t fileLen, int32_t recordLen) {
    const int64_t unit = int64_t{recordLen} + 2;
    if ((fileLen + 2) % unit == 0) return (fileLen + 2) / unit;
    if (fileLen % unit == 0) return fileLen / unit;
    return -1;
}

ErrInfo FileUtility::numFileInDir(const Text& sDirectory, int16_t& iNumFile) {
    const Trap trap{u"numFileInDir", classOrigin(kClass), Description::Own};
    return trapped(trap, [&](ErrInfo& result) {
        // An empty pattern with no listing in progress is an invalid call.
        if (sDirectory.empty()) raise(err::kInvalidArgument);
        const auto entries = platform::listDirectory(sDirectory, platform::attr::kNormal).orRaise();
        int16_t count = 0;
        for (size_t i = 0; i < entries.size(); ++i)
            count = add16(count, 1);
        iNumFile = count;
        fillSuccess(result, trap, kFileSuccessText);
    });
}

ErrInfo FileUtility::UpdateFileTime(Variant& fname, Variant& fyear, Variant& fmonth,
                                    Variant& fdayofweek, Variant& fday, Variant& fhour,
                                    Variant& fmin, Variant& fsec) {
    const Trap trap{u"UpdateFileTime", classOrigin(kClass), Description::Own};
    return trapped(trap, [&](ErrInfo& result) {
        result.clear();
        const Text name = toText(fname);
        // Opened for writing without creation or truncation: a missing file,
        // a folder and a read-only file cannot be opened. The read-only test
        // is explicit so that a privileged process behaves the same.
        platform::File file;
        const auto attributes = platform::getAttributes(name);
        if (attributes && (*attributes & platform::attr::kReadOnly) == 0) {
            if (auto opened = platform::File::open(name, platform::OpenMode::WriteExisting))
                file = std::move(*opened);
        }
        if (!file.isOpen()) {
            fillDetectedFailure(result, trap, eiABORTED, u"Could not open file " + name);
            return;
        }
        SYSTEMTIME st;
        st.wYear = toInt16(fyear);
        st.wMonth = toInt16(fmonth);
        st.wDayOfWeek = toInt16(fdayofweek);
        st.wDay = toInt16(fday);
        st.wHour = toInt16(fhour);
        st.wMinute = toInt16(fmin);
        st.wSecond = toInt16(fsec);
        st.wMilliseconds = 0;
        st.wHour = add16(add16(st.wHour, utcoffset / 60), -int32_t{daylightoffset});
        if (st.wHour > 23) {
            st.wHour = static_cast<int16_t>(st.wHour - 24);
            st.wDay = add16(st.wDay, 1);
        }
        // The outcome of setting the times is not examined: a date that does
        // not exist converts to 0, which leaves the times as they were.
        (void)file.setTimes(systemTimeToFileTime(st));
        (void)file.close();
    });
}

ErrInfo FileUtility::writeFile(const Text& sFileName, int32_t attributeFile,
                               const Text& sTextFile) {
    return operations::writeTextFile(sFileName, attributeFile, sTextFile);
}

ErrInfo FileUtility::writeCsvFileFromArray(const Text& sFileName, Array<Text>& sArrayValue,
                                           int32_t lNumRows, int32_t lNumColumns) {
    const Trap trap{u"writeCsvFileFromArray", classOrigin(kClass), Description::Own};
    return trapped(trap, [&](ErrInfo& result) {
        result.clear();
        Text text;
        result = getCsvStringFromArray(text, sArrayValue, lNumRows, lNumColumns, u";");
        if (result.isSuccess()) result = writeFile(sFileName, platform::attr::kArchive, text);
    });
}

ErrInfo FileUtility::getCsvStringFromArray(Text& sStringFile, Array<Text>& sArrayValue,
                                           int32_t lNumRows, int32_t lNumColumns,
                                           const Text& /*sDelim: the separator is always ";"*/) {
    const Trap trap{u"getCsvStringFromArray", classOrigin(kClass), Description::Own};
    return trapped(trap, [&](ErrInfo& result) {
        result.clear();
        sStringFile.clear();
        // Without a column every line is blank and none is written; the
        // rows are not walked (up to 2^31 of them, all empty).
        if (lNumColumns < 1) return;
        Text line;
        // 64-bit counters: a bound of 2147483647 ends the loop too.
        for (int64_t row = 1; row <= lNumRows; ++row) {
            line.clear();
            bool hasContent = false;
            for (int64_t col = 1; col <= lNumColumns; ++col) {
                const Text& cell =
                    sArrayValue.at(static_cast<int32_t>(col), static_cast<int32_t>(row));
                if (!isBlank(cell)) hasContent = true;
                appendCell(line, cell);
                if (col < lNumColumns) line.push_back(u';');
            }
            if (hasContent) {
                sStringFile.append(line);
                sStringFile.append(u"\r\n");
            }
        }
    });
}

ErrInfo FileUtility::readFile(const Text& sFileName, Text& sTextFile) {
    const Trap trap{u"readFile", classOrigin(kClass), Description::Standard};
    return trapped(
        trap, [&](ErrInfo&) { sTextFile = cp1252::decode(operations::readWholeFile(sFileName)); });
}

ErrInfo FileUtility::getArrayFromCsvFile(const Text& sFileName, Array<Text>& sArrayValue,
                                         int32_t lNumRows, int32_t& lNumColumns) {
    return files::readCsvTable(sFileName, sArrayValue, lNumRows, lNumColumns);
}

ErrInfo FileUtility::readAndLoadInArrayByCRLF(const Text& sFileName, Array<Text>& listRows,
                                              int32_t& lNumRows) {
    const Trap trap{u"readAndLoadInArrayByCRLF", classOrigin(u"Utilita"), Description::Own};
    return trapped(trap, [&](ErrInfo& result) {
        result.clear();
        listRows.erase();
        listRows.redim({1, 1});
        platform::File f = platform::File::open(sFileName, platform::OpenMode::Read).orRaise();
        // Counted first, block by block, so the array is sized once; then
        // each line is decoded straight into its element.
        const size_t lines = files::countLines(f);
        if (lines > static_cast<size_t>(std::numeric_limits<int32_t>::max())) raise(err::kOverflow);
        int32_t count = static_cast<int32_t>(lines);
        if (count > 1) listRows.redimPreserve(count);
        if (!f.seek(0)) raise(err::kDeviceIo);
        int32_t read = 0;
        files::BlockLines(f).run([&](const char* b, const char* e) {
            files::forEachLine(std::string_view(b, static_cast<size_t>(e - b)),
                               [&](std::string_view line) {
                                   if (read == count) listRows.redimPreserve(count = read + 1);
                                   cp1252::decodeAppend(line, listRows.elements()[size_t(read++)]);
                               });
        });
        (void)f.close();  // read only: nothing to lose
        // A file that shrank since it was counted keeps its lines only.
        if (read < count) listRows.redimPreserve(std::max(read, 1));
        lNumRows = read;
    });
}

ErrInfo FileUtility::readBinaryFile(const Text& sFileName, Variant& vntTextFile) {
    return operations::readFileBytes(sFileName, vntTextFile);
}

ErrInfo FileUtility::ooReadFile(const Text& sFlLename, int16_t iObjectLen, int32_t lStartPosition,
                                int16_t& iNumObject, Array<Text>& sOList) {
    const Trap trap{u"ooReadFile", classOrigin(kClass), Description::Own};
    // Failures before the records are read carry the file's name.
    const auto fail = [&](ErrInfo& result, int32_t number) {
        fillTrappedFailure(result, trap, number,
                           standardMessage(number) + u" file [" + sFlLename + u"]");
    };
    // Failures while reading records carry no origin and are not logged.
    const Trap recordTrap{u"ooReadFile", Origin{}, Description::Standard};
    return trapped(trap, [&](ErrInfo& result) {
        operations::readDecimalSeparator();
        const auto length = platform::fileSize(sFlLename);
        if (!length) return fail(result, length.error());
        const int64_t fileLen = *length;
        const int32_t unit = int32_t{iObjectLen} + 2;  // a 16-bit sum
        if (unit > std::numeric_limits<int16_t>::max()) return fail(result, err::kOverflow);
        if (unit == 0) return fail(result, err::kDivisionByZero);
        const int64_t n = recordCount(fileLen, iObjectLen);
        if (n < 0) {
            fillDetectedFailure(result, recordTrap, eiABORTED,
                                u"File length [" + decimalText(fileLen) +
                                    u"] not compatible with string length[" +
                                    decimalText(iObjectLen) + u"]");
            return;
        }
        if (std::find(kRecordLengths.begin(), kRecordLengths.end(), iObjectLen) ==
            kRecordLengths.end()) {
            fillDetectedFailure(result, trap, eiABORTED,
                                u"Lenght string not supported[" + decimalText(iObjectLen) +
                                    u"] supported type are: 20, 25");
            return;
        }
        auto opened = platform::File::open(sFlLename, platform::OpenMode::Read);
        if (!opened) return fail(result, opened.error());
        platform::File f = std::move(*opened);

        const int64_t records = std::max<int64_t>(n, 0);
        int64_t wanted = iNumObject;
        if (wanted + lStartPosition > records) wanted = records - lStartPosition + 1;
        if (wanted < 0) wanted = 0;
        if (wanted > std::numeric_limits<int16_t>::max() ||
            wanted < std::numeric_limits<int16_t>::min())
            return fail(result, err::kOverflow);
        iNumObject = static_cast<int16_t>(wanted);

        // From here each record read is checked on its own. A store into
        // sOList that fails shows at the next record read as error 9.
        int32_t pending = 0;
        int32_t k = 0;
        for (int64_t p = lStartPosition; p < int64_t{lStartPosition} + iNumObject; ++p) {
            int32_t readError = pending;
            std::string bytes;
            if (readError == 0 && p < 1) readError = err::kBadRecordNumber;
            if (readError == 0) {
                if (!f.seek((p - 1) * unit)) {
                    readError = err::kBadRecordNumber;
                } else if (auto got = f.read(static_cast<size_t>(iObjectLen))) {
                    bytes = std::move(*got);
                } else {
                    readError = got.error();
                }
            }
            if (readError != 0) {
                fillDetectedFailure(result, recordTrap, readError, standardMessage(readError));
                return;
            }
            ++k;
            Text cleaned;
            result = operations::cleanOnlyAscii(cp1252::decode(bytes), cleaned);
            if (!result.isSuccess()) return;
            if (sOList.dims() == 1 && k >= sOList.lbound(1) && k <= sOList.ubound(1))
                sOList.at(k) = std::move(cleaned);
            else
                pending = err::kSubscriptOutOfRange;
        }
        (void)f.close();  // read only: nothing to lose
        fillSuccess(result, trap, kFileSuccessText);
    });
}

}  // namespace orv
