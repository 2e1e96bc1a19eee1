// The engine's files through POSIX calls, its fonts through fontconfig.
#include <fcntl.h>
#include <fontconfig/fontconfig.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <mutex>

#include "system.hpp"

namespace tvpdf::sys {
namespace {

std::string lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

}  // namespace

ReadResult readRegularFile(const std::string& path, std::string& bytes) {
    // O_NONBLOCK: opening a FIFO does not wait for a writer; it is refused
    // by fstat below.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT || errno == ENOTDIR ? ReadResult::Missing : ReadResult::Failed;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return ReadResult::NotRegular;
    }
    bytes.clear();
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n > 0) {
            bytes.append(buf, static_cast<size_t>(n));
        } else if (n == 0) {
            break;
        } else if (errno != EINTR) {
            ::close(fd);
            return ReadResult::Failed;
        }
    }
    ::close(fd);
    return ReadResult::Ok;
}

FILE* createFile(const std::string& path) {
    return std::fopen(path.c_str(), "wb");
}

bool findFont(const std::string& family, bool bold, bool italic, std::string& data, int& index) {
    // Lookups are remembered: fontconfig's matching is the slow part.
    struct Found {
        std::string file;
        int index = 0;
    };
    static std::mutex lock;
    static std::map<std::string, Found> known;
    const std::string key = lower(family) + (bold ? "|b" : "|") + (italic ? "i" : "");
    Found found;
    {
        std::lock_guard<std::mutex> guard(lock);
        auto it = known.find(key);
        if (it != known.end()) {
            found = it->second;
        } else {
            FcInit();
            if (FcPattern* pattern = FcPatternCreate()) {
                FcPatternAddString(pattern, FC_FAMILY,
                                   reinterpret_cast<const FcChar8*>(family.c_str()));
                FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
                FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
                FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
                FcDefaultSubstitute(pattern);
                FcResult result;
                if (FcPattern* match = FcFontMatch(nullptr, pattern, &result)) {
                    // Its best match for an unknown family is some other
                    // font, which is not what the document asked for.
                    bool same = false;
                    FcChar8* name = nullptr;
                    for (int i = 0;
                         !same && FcPatternGetString(match, FC_FAMILY, i, &name) == FcResultMatch;
                         ++i)
                        same = lower(reinterpret_cast<const char*>(name)) == lower(family);
                    FcChar8* file = nullptr;
                    if (same && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
                        found.file = reinterpret_cast<const char*>(file);
                        FcPatternGetInteger(match, FC_INDEX, 0, &found.index);
                    }
                    FcPatternDestroy(match);
                }
                FcPatternDestroy(pattern);
            }
            known.emplace(key, found);
        }
    }
    if (found.file.empty()) return false;
    index = found.index;
    return readRegularFile(found.file, data) == ReadResult::Ok;
}

void releaseSystemResources() {
    FcFini();
}

}  // namespace tvpdf::sys
