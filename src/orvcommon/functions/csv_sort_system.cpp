// Funzioni: splitting a semicolon-separated line, sorting a string array by a
// substring key, and the system's directories and volume serial number.
#include <algorithm>
#include <array>
#include <limits>
#include <numeric>
#include <vector>

#include "orvcommon/base/errors.hpp"
#include "orvcommon/functions/funzioni.hpp"
#include "orvcommon/platform/files.hpp"
#include "orvcommon/results/trap.hpp"

namespace orv {
namespace {

constexpr char16_t kQuote = u'"';
constexpr char16_t kSeparator = u';';

// Positions inside the line are 16-bit: the line and the array's upper bound
// stay below 32,767.
constexpr int32_t kMaxPosition = std::numeric_limits<int16_t>::max();

void fillTooManyFields(ErrInfo& result, const Trap& trap) {
    fillDetectedFailure(result, trap, eiABORTED, u"Array di input sottodimensionato");
}

// Replaces each pair of quote characters by one.
Text unquotePairs(TextView field) {
    Text out;
    out.reserve(field.size());
    for (size_t i = 0; i < field.size(); ++i) {
        out.push_back(field[i]);
        if (field[i] == kQuote && i + 1 < field.size() && field[i + 1] == kQuote) ++i;
    }
    return out;
}

}  // namespace

ErrInfo Funzioni::getValueFromCsvString(const Text& sStringValue, Array<Text>& sArrayValue,
                                        int32_t& lNumFieldFound) {
    // Built once: the file reader calls this for every line.
    static const Trap trap{u"getValueFromCsvString", classOrigin(u"Funzioni"), Description::Own};
    return trapped(trap, [&](ErrInfo& result) {
        result.clear();
        lNumFieldFound = 0;
        const int32_t upper = sArrayValue.ubound(1);  // error 9 without dimensions
        if (upper >= kMaxPosition || upper < std::numeric_limits<int16_t>::min())
            raise(err::kOverflow);
        const int32_t cap = upper;
        if (cap + 1 < 1) raise(err::kSubscriptOutOfRange);  // positions table 1 to cap + 1
        const int32_t length =
            static_cast<int32_t>(std::min<size_t>(sStringValue.size(), 1u << 20));
        if (length >= kMaxPosition) raise(err::kOverflow);

        // positions[f] is the position (1-based) of the separator before field f.
        // Small tables live on the stack; the file reader's lines rarely
        // have more than a few dozen fields.
        std::array<int32_t, 64> local{};
        std::vector<int32_t> heap;
        int32_t* positions = local.data();
        if (static_cast<size_t>(cap) + 2 > local.size()) {
            heap.assign(static_cast<size_t>(cap) + 2, 0);
            positions = heap.data();
        }
        int32_t field = 1;
        bool evenQuotes = true;
        for (int32_t i = 1; i <= length; ++i) {
            const char16_t c = sStringValue[static_cast<size_t>(i - 1)];
            if (c == kQuote) {
                evenQuotes = !evenQuotes;
            } else if (c == kSeparator && evenQuotes) {
                ++field;
                if (field > cap)
                    fillTooManyFields(result, trap);
                else
                    positions[static_cast<size_t>(field)] = i;
            }
        }
        if (!result.isSuccess()) return;
        ++field;
        if (field > cap + 1) {
            fillTooManyFields(result, trap);
            return;
        }
        positions[static_cast<size_t>(field)] = length + 1;

        const TextView line(sStringValue);
        for (int32_t j = 1; j <= field - 1; ++j) {
            const size_t from = static_cast<size_t>(positions[static_cast<size_t>(j)]);
            const size_t len =
                static_cast<size_t>(positions[static_cast<size_t>(j) + 1]) - from - 1;
            TextView text = line.substr(from, len);
            if (!text.empty() && text.front() == kQuote && text.back() == kQuote) {
                // A field that is a single quote character: taking its middle
                // asks for a length of -1.
                if (text.size() < 2) raise(err::kInvalidArgument);
                text = text.substr(1, text.size() - 2);
            }
            Text& target = sArrayValue.at(j);
            if (text.find(kQuote) == TextView::npos)
                target.assign(text);
            else
                target = unquotePairs(text);
            ++lNumFieldFound;
        }
    });
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

            // Each key is computed once; the elements are then sorted by key
            // and moved whole into their new places. Equal keys may end in any
            // order. On this platform there is no host event loop to run
            // between partition passes, so the sort runs to completion.
            const size_t n = static_cast<size_t>(int64_t{High} - Low + 1);
            Text* base = &SortArray.at(Low);
            const size_t start = static_cast<size_t>(iByteStart - 1);
            const size_t len = static_cast<size_t>(iByteLen);
            // Each key is computed once. The item carries the key's first
            // eight characters packed into two integers, so most comparisons
            // are integer comparisons, and keys of up to eight characters need
            // nothing else; longer keys are also kept in one buffer, at most
            // `len` characters per element (key i starts at i * stride), for
            // the rare comparison whose first eight characters are equal.
            // Keys longer than the elements are cut to the longest element.
            size_t longest = 0;
            for (size_t i = 0; i < n; ++i)
                longest = std::max(longest, base[i].size() > start ? base[i].size() - start : 0);
            const size_t stride = std::min(len, longest);
            constexpr size_t kPacked = 8;
            const bool needFlat = stride > kPacked;
            Text flat;
            if (needFlat) flat.resize(n * stride);
            struct Item {
                uint64_t high;  // characters 1-4 of the key
                uint64_t low;   // characters 5-8
                uint32_t index;
                uint32_t length;
            };
            std::vector<Item> items(n);
            char16_t scratch[kPacked];
            for (size_t i = 0; i < n; ++i) {
                const Text& s = base[i];
                const TextView key =
                    start < s.size() ? TextView(s).substr(start, stride) : TextView();
                char16_t* k = needFlat ? flat.data() + i * stride : scratch;
                const size_t copied = needFlat ? key.size() : std::min(key.size(), kPacked);
                if (bIgnoreUcase)
                    std::copy(key.begin(), key.begin() + static_cast<ptrdiff_t>(copied), k);
                else
                    for (size_t c = 0; c < copied; ++c)
                        k[c] = upperChar(key[c]);
                uint64_t high = 0, low = 0;
                for (size_t c = 0; c < 4; ++c)
                    high = (high << 16) | (c < copied ? k[c] : 0u);
                for (size_t c = 4; c < 8; ++c)
                    low = (low << 16) | (c < copied ? k[c] : 0u);
                items[i] =
                    Item{high, low, static_cast<uint32_t>(i), static_cast<uint32_t>(key.size())};
            }
            const char16_t* keys = flat.data();
            std::sort(items.begin(), items.end(), [keys, stride](const Item& a, const Item& b) {
                if (a.high != b.high) return a.high < b.high;
                if (a.low != b.low) return a.low < b.low;
                if (a.length <= kPacked || b.length <= kPacked) return a.length < b.length;
                return TextView(keys + size_t{a.index} * stride, a.length) <
                       TextView(keys + size_t{b.index} * stride, b.length);
            });
            // Move the elements into key order in place, one cycle of the
            // permutation at a time: each element moves once and no second
            // array is needed. `from[k]` is where the element for place k is.
            std::vector<uint32_t> from(n);
            for (size_t k = 0; k < n; ++k)
                from[k] = items[k].index;
            std::vector<Item>().swap(items);
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
