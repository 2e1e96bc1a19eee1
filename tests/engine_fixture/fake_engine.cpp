// A stand-in PDF engine for the tests of the engine contract. The first
// word of the command file says what to do:
//   OK      write the command file's bytes as the "PDF" and return 0
//   NOPDF   return 0 without writing anything
//   PADDED  fail (7) with a message padded by spaces to the full buffer
//   NUL     fail (-1) with a message ended by a NUL, junk after it
//   SILENT  fail (3) and leave the buffer as it came
// Every call appends "<command>|<pdf>|<buffer all spaces: 1 or 0>" and a
// newline to the file named by ORV_FAKE_ENGINE_LOG, when set.
// Built a second time with ORV_FAKE_NO_ENTRY, it exports no entry point.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

namespace {

int16_t run(const char* cmd, const char* pdf, char* message) {
    if (const char* log = std::getenv("ORV_FAKE_ENGINE_LOG"))
        std::ofstream(log, std::ios::binary | std::ios::app)
            << cmd << '|' << pdf << '|' << (std::string(message, 150) == std::string(150, ' '))
            << '\n';
    std::ifstream in(cmd, std::ios::binary);
    const std::string commands{std::istreambuf_iterator<char>(in), {}};
    const std::string verb = commands.substr(0, commands.find_first_of(" \r\n"));
    const auto fail = [&](int16_t code, char fill, const char* text, size_t at) {
        std::memset(message, fill, 150);
        std::memcpy(message + at, text, std::strlen(text) + (fill == ' ' ? 0 : 1));
        return code;
    };
    if (verb == "OK") return std::ofstream(pdf, std::ios::binary) << commands ? 0 : 9;
    if (verb == "NOPDF") return 0;
    if (verb == "PADDED") return fail(7, ' ', "Engine failed: padded", 3);
    if (verb == "NUL") return fail(-1, 'X', "  Engine failed: nul", 0);  // with its NUL
    return 3;
}

}  // namespace

// On Windows engines are WINAPI functions exported undecorated (the
// library links this one with --kill-at).
#ifdef _WIN32
#define FAKE_EXPORT __declspec(dllexport)
#define FAKE_CALL __stdcall
#else
#define FAKE_EXPORT __attribute__((visibility("default")))
#define FAKE_CALL
#endif

#ifdef ORV_FAKE_NO_ENTRY
extern "C" FAKE_EXPORT int16_t FAKE_CALL Tvpdfrun_missing(const char* c, const char* p, char* m) {
    return run(c, p, m);
}
#else
extern "C" FAKE_EXPORT int16_t FAKE_CALL Tvpdfrun(const char* c, const char* p, char* m) {
    return run(c, p, m);
}
#endif
