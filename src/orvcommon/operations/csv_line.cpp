// Splitting one semicolon-separated line: Funzioni::getValueFromCsvString,
// which the CSV table also runs for the lines its own fast split leaves.
#include "orvcommon/operations/csv_line.hpp"

#include <algorithm>
#include <array>
#include <limits>
#include <vector>

#include "orvcommon/base/errors.hpp"
#include "orvcommon/core/scan.hpp"
#include "orvcommon/results/trap.hpp"

namespace orv::operations {
namespace {

constexpr char16_t kQuote = u'"';
constexpr char16_t kSeparator = u';';
constexpr scan::Stops<char16_t> kStops{kQuote, kSeparator, kQuote};

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

ErrInfo splitCsvLine(const Text& sStringValue, Array<Text>& sArrayValue, int32_t& lNumFieldFound) {
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
        const char16_t* const begin = sStringValue.data();
        const char16_t* const end = begin + length;
        for (const char16_t* p = scan::find(begin, end, kStops); p < end;
             p = scan::find(p + 1, end, kStops)) {
            if (*p == kQuote) {
                evenQuotes = !evenQuotes;
            } else if (evenQuotes) {
                ++field;
                if (field > cap)
                    fillTooManyFields(result, trap);
                else
                    positions[static_cast<size_t>(field)] = static_cast<int32_t>(p - begin) + 1;
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

}  // namespace orv::operations
