// Writes arbitrary bytes as a record file and reads it with ooReadFile (the
// first bytes choose the record length, the start and the count): no crash,
// no sanitizer report, and the stored count stays within what was asked.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz_support.hpp"
#include "orvcommon/files/file_utility.hpp"
#include "orvcommon/platform/files.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace orv;
    static const fuzz::QuietLog quiet;
    if (size < 3) return 0;
    static const int16_t lengths[] = {20,  25,  125, 150, 160, 207, 247,
                                      400, 450, 962, 970, 30,  -2,  0};
    const int16_t len = lengths[data[0] % (sizeof lengths / sizeof lengths[0])];
    const int32_t start = static_cast<int32_t>(data[1] % 16) - 2;
    int16_t count = static_cast<int16_t>(static_cast<int32_t>(data[2] % 20) - 2);
    const Text path = quiet.folder() + u"records.dat";
    {
        auto f = platform::File::open(path, platform::OpenMode::WriteTruncate);
        if (!f || !f->writeAll(std::string_view(reinterpret_cast<const char*>(data + 3), size - 3)))
            std::abort();
    }
    Array<Text> list({1, 8});
    const int16_t asked = count;
    FileUtility fu;
    fu.ooReadFile(path, len, start, count, list);
    if (count > asked && asked >= 0) std::abort();
    for (const Text& s : list.storage())
        if (s.size() > 970) std::abort();
    return 0;
}
