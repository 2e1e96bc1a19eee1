// Reading a semicolon-separated file into a table in one pass over its bytes.
//
// The file is read in blocks (see BlockLines). One scan per line finds the
// quotes, the separators and the CR that ends it, on the code page 1252
// bytes, where all three are single bytes; each field is decoded from its
// bytes straight into its cell, sized once from the byte length. No array of
// lines and no table of positions is built.
//
// Cells stay the library's texts, each owning its characters: up to seven
// characters live inside the text itself, longer ones take one allocation of
// exactly their size. One arena per table would save those allocations, but
// a table's cells are ordinary texts that callers keep, move and assign one
// by one, so they cannot borrow storage that the table owns.
//
// Lines that the fast split does not cover as a plain success (more fields
// than the table has room for, a field that is a single quote character, a
// line of 32,767 characters or more, a table too wide for 16-bit positions)
// go through the parser itself (operations::splitCsvLine, which is
// Funzioni::getValueFromCsvString), so their result objects and log lines
// are the parser's own.
#include "orvcommon/files/csv_table.hpp"

#include <limits>

#include "orvcommon/base/cp1252.hpp"
#include "orvcommon/base/errors.hpp"
#include "orvcommon/core/scan.hpp"
#include "orvcommon/operations/csv_line.hpp"
#include "orvcommon/operations/decimal_separator.hpp"
#include "orvcommon/platform/files.hpp"
#include "orvcommon/platform/memory.hpp"
#include "orvcommon/results/trap.hpp"

namespace orv::files {
namespace {

// Positions inside a line are 16-bit: a line of 32,767 characters or more,
// and a table of 32,767 fields or more, are for the parser to refuse.
constexpr int32_t kMaxPosition = std::numeric_limits<int16_t>::max();

constexpr scan::Stops<char> kLineStops{'"', ';', '\r'};
constexpr scan::Stops<char> kQuote{'"', '"', '"'};

// Gives the empty cell room for exactly n characters. Growing an empty text
// would round its first allocation up (to twice the characters it holds
// inside itself); a new text of n characters allocates exactly n + 1.
void sizeCell(Text& cell, size_t n) {
    if (n <= cell.capacity())
        cell.resize(n);
    else
        cell = Text(n, u'\0');
}

// Stores one field's characters: a field that begins and ends with a quote
// loses both, and each pair of quotes in it becomes one. False for a field
// that is a single quote character (a failure the parser reports).
bool storeField(const char* b, const char* e, bool quoted, Text& cell) {
    size_t n = static_cast<size_t>(e - b);
    if (!quoted) {
        if (n != 0) {
            sizeCell(cell, n);
            cp1252::decodeInto(b, n, cell.data());
        }
        return true;
    }
    if (*b == '"' && e[-1] == '"') {
        if (n == 1) return false;
        ++b;
        --e;
        n -= 2;
    }
    sizeCell(cell, n);
    char16_t* out = cell.data();
    size_t k = 0;
    while (b < e) {
        const char* q = scan::find(b, e, kQuote);
        cp1252::decodeInto(b, static_cast<size_t>(q - b), out + k);
        k += static_cast<size_t>(q - b);
        if (q == e) break;
        out[k++] = u'"';
        b = q + 1;
        if (b < e && *b == '"') ++b;
    }
    cell.resize(k);
    return true;
}

class TableReader {
  public:
    TableReader(Array<Text>& table, int32_t width, int32_t rows, Array<Text>& fields,
                int32_t& nonBlank)
        : table_(table), width_(width), rows_(rows), fields_(fields), nonBlank_(nonBlank) {
        operations::readDecimalSeparator();
    }

    // Splits the lines of one run of whole lines into the table.
    void run(const char* p, const char* const e) {
        while (p < e) {
            ++line_;
            // A blank line (empty or spaces only) is skipped.
            const char* t = p;
            while (t < e && *t == ' ')
                ++t;
            const char* lineEnd = t;
            if (t == e || *t == '\r') {
                lineEnd = t;
            } else {
                ++nonBlank_;
                if (line_ > rows_) table_.redimPreserve(rows_ = line_);  // the file grew
                Text* row = table_.elements().data() + size_t(line_ - 1) * size_t(width_);
                lineEnd = fast_ ? split(p, e, row) : nullptr;
                if (lineEnd) {
                    lastFast_ = true;
                } else {
                    lineEnd = scan::find(p, e, files::kCr);
                    parseLine(p, lineEnd);
                }
            }
            p = lineEnd;
            if (p < e) {
                ++p;
                if (p < e && *p == '\n') ++p;
            }
        }
    }

    int32_t lines() const { return line_; }
    // The result of the last non-blank line, when the parser gave it.
    const ErrInfo* lastParserResult() const {
        return nonBlank_ > 0 && !lastFast_ ? &last_ : nullptr;
    }

  private:
    // Splits the line that starts at `p` into `row`. Returns where the line
    // ends (its CR, or `e`), or null with nothing stored when the line is not
    // a plain success.
    const char* split(const char* const p, const char* const e, Text* row) const {
        const char* fieldStart = p;
        const char* q = p;
        bool even = true;
        bool quoted = false;
        int32_t field = 0;
        for (;;) {
            const char* s = scan::find(q, e, kLineStops);
            if (s < e && *s == '"') {
                even = !even;
                quoted = true;
                q = s + 1;
                continue;
            }
            const bool lineEnds = s == e || *s == '\r';
            if (!lineEnds && !even) {  // a separator inside quotes
                q = s + 1;
                continue;
            }
            if (s - p >= kMaxPosition || field == width_ ||
                !storeField(fieldStart, s, quoted, row[field])) {
                for (int32_t i = 0; i < field; ++i)
                    Text().swap(row[i]);
                return nullptr;
            }
            ++field;
            if (lineEnds) return s;
            fieldStart = q = s + 1;
            quoted = false;
        }
    }

    void parseLine(const char* b, const char* e) {
        const Text text = cp1252::decode(std::string_view(b, static_cast<size_t>(e - b)));
        int32_t found = 0;
        last_ = operations::splitCsvLine(text, fields_, found);
        lastFast_ = false;
        if (last_.isSuccess())
            for (int32_t k = 1; k <= found; ++k)
                table_.at(k, line_) = std::move(fields_.at(k));
    }

    Array<Text>& table_;
    const int32_t width_;
    int32_t rows_;
    Array<Text>& fields_;
    int32_t& nonBlank_;
    const bool fast_ = width_ < kMaxPosition;
    int32_t line_ = 0;
    bool lastFast_ = false;
    ErrInfo last_;
};

}  // namespace

ErrInfo readCsvTable(const Text& sFileName, Array<Text>& sArrayValue, int32_t lNumRows,
                     int32_t& lNumColumns, size_t blockSize) {
    static const Trap trap{u"getArrayFromCsvFile", classOrigin(u"FileUtility"), Description::Own};
    static const Trap lineTrap{u"readAndLoadInArrayByCRLF", classOrigin(u"Utilita"),
                               Description::Own};
    return trapped(trap, [&](ErrInfo& result) {
        result.clear();
        Array<Text> fields;  // for the lines that the parser itself splits
        if (lNumRows < 1) raise(err::kSubscriptOutOfRange);
        fields.redim({1, lNumRows});
        lNumColumns = 0;
        // Counting the lines is the line reader's step: its failures are
        // reported and logged as the line reader's own.
        platform::File file;
        int32_t lineCount = 0;
        result = trapped(lineTrap, [&](ErrInfo& counted) {
            counted.clear();
            file = platform::File::open(sFileName, platform::OpenMode::Read).orRaise();
            const size_t lines = countLines(file, blockSize);
            if (lines > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
                raise(err::kOverflow);
            lineCount = static_cast<int32_t>(lines);
        });
        if (lineCount < 1) raise(err::kSubscriptOutOfRange);
        // The table is one large block filled from start to end: the system
        // may back it with large pages (fewer page faults).
        const int64_t cells = int64_t{lNumRows} * lineCount;
        if (cells <= int64_t{1} << 31 && static_cast<size_t>(cells) > sArrayValue.capacity()) {
            sArrayValue.erase();
            sArrayValue.reserve(static_cast<size_t>(cells));
            platform::adviseLargeBlock(sArrayValue.elements().data(),
                                       static_cast<size_t>(cells) * sizeof(Text));
        }
        sArrayValue.redim({1, lNumRows}, {1, lineCount});
        file.seek(0).orRaise();
        TableReader reader(sArrayValue, lNumRows, lineCount, fields, lNumColumns);
        BlockLines(file, blockSize).run([&](const char* b, const char* e) { reader.run(b, e); });
        (void)file.close();  // read only: nothing to lose
        // A file that shrank since it was counted keeps its lines only.
        if (reader.lines() >= 1 && reader.lines() < lineCount)
            sArrayValue.redimPreserve(reader.lines());
        if (const ErrInfo* last = reader.lastParserResult()) result = *last;
    });
}

}  // namespace orv::files
