// Reference readers for semicolon-separated files, for differential checks and the CSV
// benchmark: the line and field rules written out one character at a time (naive*), and the
// table reader composed of the public line reader and line splitter (readTableLineByLine).
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "orvcommon/base/cp1252.hpp"
#include "orvcommon/base/errors.hpp"
#include "orvcommon/base/text.hpp"
#include "orvcommon/core/array.hpp"
#include "orvcommon/files/file_utility.hpp"
#include "orvcommon/functions/funzioni.hpp"
#include "orvcommon/results/trap.hpp"

namespace orv::test {

// Lines end at CR; an LF right after the CR belongs to the line end.
inline std::vector<std::string> naiveLines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::string line;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\r') {
            line += bytes[i];
            continue;
        }
        lines.push_back(line);
        line.clear();
        if (i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

struct NaiveSplit {
    int32_t number = 0;  // 0, eiABORTED (too many fields) or the run-time error
    std::vector<Text> fields;
};

// A line split into at most `upper` fields at the semicolons preceded by an
// even number of quotes.
inline NaiveSplit naiveSplit(const Text& line, int32_t upper) {
    NaiveSplit out;
    if (upper >= 32767 || line.size() >= 32767) {
        out.number = err::kOverflow;
        return out;
    }
    std::vector<Text> raw(1);
    int quotes = 0;
    for (char16_t c : line) {
        if (c == u'"') ++quotes;
        if (c == u';' && quotes % 2 == 0)
            raw.emplace_back();
        else
            raw.back() += c;
    }
    if (static_cast<int64_t>(raw.size()) > upper) {
        out.number = eiABORTED;
        return out;
    }
    for (Text f : raw) {
        if (!f.empty() && f.front() == u'"' && f.back() == u'"') {
            if (f.size() == 1) {
                out.number = err::kInvalidArgument;
                return out;
            }
            f = f.substr(1, f.size() - 2);
        }
        Text v;
        for (size_t i = 0; i < f.size(); ++i) {
            v += f[i];
            if (f[i] == u'"' && i + 1 < f.size() && f[i + 1] == u'"') ++i;
        }
        out.fields.push_back(v);
    }
    return out;
}

// The table from a file's bytes by the rules above: the cells of each
// non-blank line that splits; answers the count of non-blank lines.
inline int32_t naiveTable(const std::string& bytes, Array<Text>& table, int32_t width) {
    const std::vector<std::string> lines = naiveLines(bytes);
    table.redim({1, width}, {1, std::max<int32_t>(1, static_cast<int32_t>(lines.size()))});
    int32_t nonBlank = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        const Text line = cp1252::decode(lines[i]);
        if (line.find_first_not_of(u' ') == Text::npos) continue;
        ++nonBlank;
        NaiveSplit split = naiveSplit(line, width);
        if (split.number != 0) continue;
        for (size_t k = 0; k < split.fields.size(); ++k)
            table.at(static_cast<int32_t>(k + 1), static_cast<int32_t>(i + 1)) =
                std::move(split.fields[k]);
    }
    return nonBlank;
}

// The table reader, line by line through the public operations.
inline ErrInfo readTableLineByLine(const Text& path, Array<Text>& table, int32_t width,
                                   int32_t& nonBlank) {
    const Trap trap{u"getArrayFromCsvFile", classOrigin(u"FileUtility"), Description::Own};
    return trapped(trap, [&](ErrInfo& result) {
        result.clear();
        if (width < 1) raise(err::kSubscriptOutOfRange);
        Array<Text> fields({1, width}), lines;
        Funzioni parser;
        int32_t count = 0;
        nonBlank = 0;
        result = FileUtility().readAndLoadInArrayByCRLF(path, lines, count);
        if (count < 1) raise(err::kSubscriptOutOfRange);
        table.redim({1, width}, {1, count});
        for (int32_t i = 1; i <= count; ++i) {
            const Text& line = lines.at(i);
            if (isBlank(line)) continue;
            ++nonBlank;
            int32_t found = 0;
            result = parser.getValueFromCsvString(line, fields, found);
            if (result.isSuccess())
                for (int32_t k = 1; k <= found; ++k)
                    table.at(k, i) = fields.at(k);
        }
    });
}

// How the differential fuzz target reads an input: the first byte chooses
// the table width (255: one too wide for 16-bit positions), the second the
// block size (0: the default), the rest is the file.
struct CsvFileInput {
    int32_t width = 1;
    size_t blockSize = size_t{256} << 10;
    std::string bytes;
};

inline CsvFileInput csvFileInput(const uint8_t* data, size_t size) {
    CsvFileInput in;
    if (size > 0) in.width = data[0] == 255 ? 32767 : data[0] % 8 - 1;
    if (size > 1 && data[1] != 0) in.blockSize = data[1] % 64 + 1u;
    if (size > 2) in.bytes.assign(reinterpret_cast<const char*>(data + 2), size - 2);
    return in;
}

}  // namespace orv::test
