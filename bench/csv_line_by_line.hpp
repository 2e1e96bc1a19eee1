// The CSV file reader as it was before the streaming pass, kept as the
// benchmarks' yardstick: the whole file read into memory, split into an array
// of UTF-16 lines, then each non-blank line split one character at a time
// into a field array (with its own positions table) and the fields copied
// into the table. Same cells and same result as getArrayFromCsvFile on the
// files the benchmarks generate.
#pragma once

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "orvcommon/base/cp1252.hpp"
#include "orvcommon/base/text.hpp"
#include "orvcommon/core/array.hpp"
#include "orvcommon/platform/files.hpp"
#include "orvcommon/results/errinfo.hpp"

namespace orv::bench {

inline void decodeLine(std::string_view bytes, Text& out) {
    out.resize(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<uint8_t>(bytes[i]);
        out[i] = b < 0x80 ? b : cp1252::toUnicode(b);
    }
}

// The line splitter's work for one line; false for a line it would refuse.
inline bool splitLineByCharacters(const Text& line, Array<Text>& fields, int32_t& found) {
    constexpr char16_t kQuote = u'"';
    found = 0;
    const int32_t cap = fields.ubound(1);
    const int32_t length = static_cast<int32_t>(line.size());
    if (length >= std::numeric_limits<int16_t>::max()) return false;
    std::array<int32_t, 64> local{};
    std::vector<int32_t> heap;
    int32_t* positions = local.data();
    if (static_cast<size_t>(cap) + 2 > local.size()) {
        heap.assign(static_cast<size_t>(cap) + 2, 0);
        positions = heap.data();
    }
    int32_t field = 1;
    bool evenQuotes = true;
    bool tooMany = false;
    for (int32_t i = 1; i <= length; ++i) {
        const char16_t c = line[static_cast<size_t>(i - 1)];
        if (c == kQuote) {
            evenQuotes = !evenQuotes;
        } else if (c == u';' && evenQuotes) {
            ++field;
            if (field > cap)
                tooMany = true;
            else
                positions[field] = i;
        }
    }
    if (tooMany || ++field > cap + 1) return false;
    positions[field] = length + 1;
    const TextView view(line);
    for (int32_t j = 1; j <= field - 1; ++j) {
        const size_t from = static_cast<size_t>(positions[j]);
        TextView text = view.substr(from, static_cast<size_t>(positions[j + 1]) - from - 1);
        if (!text.empty() && text.front() == kQuote && text.back() == kQuote) {
            if (text.size() < 2) return false;
            text = text.substr(1, text.size() - 2);
        }
        Text& target = fields.at(j);
        if (text.find(kQuote) == TextView::npos) {
            target.assign(text);
        } else {
            Text out;
            out.reserve(text.size());
            for (size_t i = 0; i < text.size(); ++i) {
                out.push_back(text[i]);
                if (text[i] == kQuote && i + 1 < text.size() && text[i + 1] == kQuote) ++i;
            }
            target = std::move(out);
        }
        ++found;
    }
    return true;
}

// The whole reader; returns the number of non-blank lines, -1 on failure.
inline int32_t readCsvLineByLine(const Text& path, Array<Text>& table, int32_t width) {
    auto opened = platform::File::open(path, platform::OpenMode::Read);
    if (!opened) return -1;
    platform::File f = std::move(*opened);
    auto bytes = f.readAll();
    if (!bytes) return -1;
    (void)f.close();  // read only
    // The line array.
    std::vector<std::string_view> spans;
    for (size_t start = 0; start < bytes->size();) {
        size_t cr = bytes->find('\r', start);
        if (cr == std::string::npos) cr = bytes->size();
        spans.emplace_back(bytes->data() + start, cr - start);
        start = cr + 1;
        if (start < bytes->size() && (*bytes)[start] == '\n') ++start;
    }
    Array<Text> lines({1, std::max<int32_t>(1, static_cast<int32_t>(spans.size()))});
    for (size_t i = 0; i < spans.size(); ++i)
        decodeLine(spans[i], lines.elements()[i]);
    std::string().swap(*bytes);
    const int32_t count = static_cast<int32_t>(spans.size());
    if (count < 1) return -1;
    // The table, line by line.
    Array<Text> fields({1, width});
    table.redim({1, width}, {1, count});
    int32_t nonBlank = 0;
    ErrInfo result;
    for (int32_t i = 1; i <= count; ++i) {
        const Text& line = lines.at(i);
        if (isBlank(line)) continue;
        ++nonBlank;
        int32_t found = 0;
        // Each line had its own result object, created and cleared.
        ErrInfo lineResult;
        lineResult.clear();
        result = lineResult;
        if (splitLineByCharacters(line, fields, found))
            for (int32_t k = 1; k <= found; ++k)
                table.at(k, i) = std::move(fields.at(k));
    }
    return nonBlank;
}

}  // namespace orv::bench
