// Funzioni: splitting a semicolon-separated line (the split itself is
// operations/csv_line.cpp, which the CSV table shares), sorting a string
// array by a substring key, and the system's directories and volume serial
// number.
#include <algorithm>
#include <array>
#include <limits>
#include <numeric>
#include <vector>

#include "orvcommon/base/errors.hpp"
#include "orvcommon/functions/funzioni.hpp"
#include "orvcommon/operations/csv_line.hpp"
#include "orvcommon/platform/files.hpp"
#include "orvcommon/results/trap.hpp"

namespace orv {
namespace {

// A sort item: eight key characters packed into two integers (the level's
// characters), the element's index and its key's length.
struct SortItem {
    uint64_t high;  // characters 1-4 of the level
    uint64_t low;   // characters 5-8
    uint32_t index;
    uint32_t length;
};

constexpr size_t kPacked = 8;

// Where the keys come from: key i is the `length` characters of element i
// from `start` on, upper-cased unless `keepCase`.
struct KeySource {
    const Text* elements;
    size_t start;
    bool keepCase;
};

// Packs the characters level * 8 + 1 to level * 8 + 8 of the item's key (0
// past its end) into the item.
void pack(SortItem& it, const KeySource& keys, size_t level) {
    const char16_t* k = keys.elements[it.index].data();
    const size_t from = level * kPacked;
    uint64_t packed[2] = {0, 0};
    for (size_t c = 0; c < kPacked; ++c) {
        char16_t ch = from + c < it.length ? k[keys.start + from + c] : u'\0';
        if (!keys.keepCase) ch = upperChar(ch);
        packed[c / 4] = (packed[c / 4] << 16) | ch;
    }
    it.high = packed[0];
    it.low = packed[1];
}

// Sorts [b, e), items whose keys agree on their first `level` * 8 characters
// and hold the next eight packed, by the rest of their keys. Keys that end
// within the level are ordered by length among equal packs (the shorter is a
// prefix of the longer); runs of longer keys with equal packs go on to the
// next level. Only those runs ever read more of their keys.
void sortPackedKeys(SortItem* b, SortItem* e, const KeySource& keys, size_t level) {
    const size_t limit = (level + 1) * kPacked;
    std::sort(b, e, [limit](const SortItem& x, const SortItem& y) {
        if (x.high != y.high) return x.high < y.high;
        if (x.low != y.low) return x.low < y.low;
        if (x.length <= limit || y.length <= limit) return x.length < y.length;
        return false;
    });
    for (SortItem* run = b; run < e;) {
        SortItem* end = run + 1;
        while (end < e && end->high == run->high && end->low == run->low)
            ++end;
        SortItem* longer = run;
        while (longer < end && longer->length <= limit)
            ++longer;
        if (end - longer > 1) {
            for (SortItem* it = longer; it < end; ++it)
                pack(*it, keys, level + 1);
            sortPackedKeys(longer, end, keys, level + 1);
        }
        run = end;
    }
}

}  // namespace

ErrInfo Funzioni::getValueFromCsvString(const Text& sStringValue, Array<Text>& sArrayValue,
                                        int32_t& lNumFieldFound) {
    return operations::splitCsvLine(sStringValue, sArrayValue, lNumFieldFound);
}

ErrInfo Funzioni::quickSortArray(Array<Text>& SortArray, int32_t Low, int32_t High,
                                 int16_t iByteStart, int16_t iByteLen, bool bIgnoreUcase) {
    const Trap trap{u"quickSortArray", moduleOrigin(), Description::Own};
    return trapped(trap, [&](ErrInfo& result) {
        if (Low < High) {
            // The key is a middle part of each element: a start below 1 or a
            // negative length is an invalid argument, raised before anything
            // moves.
            if (iByteStart < 1 || iByteLen < 0) raise(err::kInvalidArgument);
            if (SortArray.dims() != 1 || Low < SortArray.lbound(1) || High > SortArray.ubound(1))
                raise(err::kSubscriptOutOfRange);

            // The elements are sorted by key and then moved whole into their
            // new places. On this platform there is no host event loop to run
            // between partition passes, so the sort runs to completion.
            const size_t n = static_cast<size_t>(int64_t{High} - Low + 1);
            Text* base = &SortArray.at(Low);
            const size_t start = static_cast<size_t>(iByteStart - 1);
            const size_t len = static_cast<size_t>(iByteLen);
            // The sort works on small items that carry eight key characters
            // packed into two integers, so comparisons are integer
            // comparisons: first on characters 1-8 of every key, then, only
            // inside runs of items that are still equal, on characters 9-16,
            // and so on (see sortPackedKeys). Equal keys may end in any order.
            const KeySource keys{base, start, bIgnoreUcase};
            std::vector<SortItem> items(n);
            for (size_t i = 0; i < n; ++i) {
                const size_t size = base[i].size();
                const size_t keyLength = size > start ? std::min(size - start, len) : 0;
                items[i] =
                    SortItem{0, 0, static_cast<uint32_t>(i), static_cast<uint32_t>(keyLength)};
                pack(items[i], keys, 0);
            }
            sortPackedKeys(items.data(), items.data() + n, keys, 0);
            // Move the elements into key order in place, one cycle of the
            // permutation at a time: each element moves once and no second
            // array is needed. `from[k]` is where the element for place k is.
            std::vector<uint32_t> from(n);
            for (size_t k = 0; k < n; ++k)
                from[k] = items[k].index;
            std::vector<SortItem>().swap(items);
            for (size_t first = 0; first < n; ++first) {
                if (from[first] == first) continue;
                Text held = std::move(base[first]);
                size_t k = first;
                for (;;) {
                    const size_t src = from[k];
                    from[k] = static_cast<uint32_t>(k);
                    if (src == first) {
                        base[k] = std::move(held);
                        break;
                    }
                    base[k] = std::move(base[src]);
                    k = src;
                }
            }
        }
        fillSuccess(result, trap, Text());
    });
}

ErrInfo Funzioni::getWinAndSistemDir(Text& sWinDir, Text& sSystemDir) {
    const Trap trap{u"getWinAndSistemDir", moduleOrigin(), Description::Own};
    return trapped(trap, [&](ErrInfo& result) {
        result.clear();
        // The system answers with a buffer of 256 characters.
        constexpr size_t kBuffer = 256;
        const Text system = platform::systemFolder();
        if (system.empty()) {
            fillDetectedFailure(result, trap, eiABORTED, Text());
            return;
        }
        sSystemDir = system.substr(0, kBuffer);
        const Text windows = platform::windowsFolder();
        if (windows.empty()) {
            fillDetectedFailure(result, trap, eiABORTED, Text());
            return;
        }
        sWinDir = windows.substr(0, kBuffer);
    });
}

ErrInfo Funzioni::getSerialNumber(const Text& sDisk, int32_t& lSerialNumber) {
    const Trap trap{u"getSerialNumber", moduleOrigin(), Description::Own};
    return trapped(trap, [&](ErrInfo& result) {
        result.clear();
        // A volume that cannot be read leaves the caller's value in place.
        if (auto serial = platform::volumeSerial(sDisk); serial.ok())
            lSerialNumber = static_cast<int32_t>(*serial);
        if (lSerialNumber < 0) {
            if (lSerialNumber == std::numeric_limits<int32_t>::min()) raise(err::kOverflow);
            lSerialNumber = -lSerialNumber;
        }
    });
}

}  // namespace orv
