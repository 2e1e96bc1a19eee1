// Splitting file bytes into text lines as the text-file reader does: a line
// ends at CR, and an LF right after that CR belongs to the line end; a lone
// LF is an ordinary character of the line. The last line needs no line end,
// and a file that ends with a line end has no further, empty line.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

#include "orvcommon/base/errors.hpp"
#include "orvcommon/core/scan.hpp"
#include "orvcommon/platform/files.hpp"

namespace orv::files {

inline constexpr scan::Stops<char> kCr{'\r', '\r', '\r'};

// Calls `each(std::string_view line)` for every line of `bytes`, in order,
// without its line end. Returns the number of lines.
template <class Each>
size_t forEachLine(std::string_view bytes, Each&& each) {
    size_t count = 0;
    const char* p = bytes.data();
    const char* const end = p + bytes.size();
    while (p < end) {
        const char* cr = scan::find(p, end, kCr);
        each(std::string_view(p, static_cast<size_t>(cr - p)));
        ++count;
        p = cr + 1;
        if (cr < end && p < end && *p == '\n') ++p;
    }
    return count;
}

// The number of lines of `bytes` (what forEachLine would report).
inline size_t countLines(std::string_view bytes) {
    size_t count = 0;
    const char* p = bytes.data();
    const char* const end = p + bytes.size();
    while (p < end) {
        const char* cr = scan::find(p, end, kCr);
        ++count;
        p = cr + 1;
        if (cr < end && p < end && *p == '\n') ++p;
    }
    return count;
}

// The bytes of an open file, from its current position, in runs of whole
// lines, without holding more of the file than one block and the longest
// line: `each(const char* begin, const char* end)` gets runs that split into
// lines exactly as the whole file would (every line in a run ends in CR, or
// CR LF, except the file's last line, which comes alone in the last run).
// A failing read raises its run-time error.
class BlockLines {
  public:
    static constexpr size_t kBlockSize = size_t{256} << 10;

    explicit BlockLines(platform::File& file, size_t blockSize = kBlockSize)
        : file_(file), blockSize_(blockSize < 1 ? 1 : blockSize) {}

    template <class Each>
    void run(Each&& each) {
        std::string buf(blockSize_, '\0');
        size_t have = 0;      // bytes of an unfinished line kept at the front
        bool skipLf = false;  // the last run ended with a CR at the block's end
        for (;;) {
            if (have > buf.size() / 2) buf.resize(buf.size() * 2);
            const size_t got = file_.readInto(buf.data() + have, buf.size() - have).orRaise();
            const size_t data = have + static_cast<size_t>(got);
            size_t start = 0;
            if (skipLf && got > 0) {
                if (buf[0] == '\n') start = 1;
                skipLf = false;
            }
            if (got == 0) {
                if (data > start) each(buf.data() + start, buf.data() + data);
                return;
            }
            // Up to the last CR of the block (and its LF, when it is here).
            size_t end = data;
            while (end > start && buf[end - 1] != '\r')
                --end;
            if (end > start) {
                if (end < data && buf[end] == '\n')
                    ++end;
                else if (end == data)
                    skipLf = true;
                each(buf.data() + start, buf.data() + end);
                start = end;
            }
            have = data - start;
            std::memmove(buf.data(), buf.data() + start, have);
        }
    }

  private:
    platform::File& file_;
    size_t blockSize_;
};

// The number of lines from the file's current position on, read block by
// block.
inline size_t countLines(platform::File& file, size_t blockSize = BlockLines::kBlockSize) {
    size_t count = 0;
    BlockLines(file, blockSize).run([&](const char* b, const char* e) {
        count += countLines(std::string_view(b, static_cast<size_t>(e - b)));
    });
    return count;
}

}  // namespace orv::files
