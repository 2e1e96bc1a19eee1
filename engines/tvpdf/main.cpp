// tvpdf COMMANDFILE PDFFILE: runs the engine's entry point and exits with
// its code, printing its message on failure.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "document.hpp"
#include "system.hpp"

namespace {

constexpr const char* kUsage = "usage: tvpdf COMMANDFILE PDFFILE\n";

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::printf(
            "%s\n"
            "Reads the drawing commands in COMMANDFILE (code page 1252, or UTF-8) and writes\n"
            "the PDF document PDFFILE. Exits 0 on success, else with the engine's error code\n"
            "and its message on standard error.\n\n"
            "The command language: tvpdf-commands.md, in the documentation folder of the\n"
            "installation (share/doc/orvcommon/) or docs/ of the source tree.\n",
            kUsage);
        return 0;
    }
    if (argc != 3) {
        std::fputs(kUsage, stderr);
        return 64;
    }
#ifdef _WIN32
    // The command line comes in the ANSI code page, taken as 1252.
    const std::string cmd = argv[1], pdf = argv[2];
#else
    // The entry point takes code page 1252 paths; the command line is UTF-8.
    const std::string cmd = tvpdf::cp1252FromUtf8(argv[1]);
    const std::string pdf = tvpdf::cp1252FromUtf8(argv[2]);
#endif
    char message[150];
    std::memset(message, ' ', sizeof message);
    const int16_t code = Tvpdfrun(cmd.c_str(), pdf.c_str(), message);
    if (code != 0) {
        const std::string text(message, strnlen(message, sizeof message));
        std::fprintf(stderr, "tvpdf: %s\n", tvpdf::utf8FromCp1252(text).c_str());
    }
    // The command owns its process: hand back the font lookup's caches.
    tvpdf::sys::releaseSystemResources();
    return code;
}
