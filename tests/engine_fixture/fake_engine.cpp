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
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

namespace {

std::string readAll(const char* path) {
    std::ifstream f(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
}

void record(const char* cmd, const char* pdf, const char* message) {
    const char* log = std::getenv("ORV_FAKE_ENGINE_LOG");
    if (!log) return;
    bool spaces = true;
    for (int i = 0; i < 150; ++i)
        spaces = spaces && message[i] == ' ';
    if (FILE* f = std::fopen(log, "ab")) {
        std::fprintf(f, "%s|%s|%d\n", cmd, pdf, spaces ? 1 : 0);
        std::fclose(f);
    }
}

int16_t run(const char* cmd, const char* pdf, char* message) {
    record(cmd, pdf, message);
    const std::string commands = readAll(cmd);
    const std::string verb = commands.substr(0, commands.find_first_of(" \r\n"));
    if (verb == "OK") {
        FILE* f = std::fopen(pdf, "wb");
        if (!f) return 9;
        std::fwrite(commands.data(), 1, commands.size(), f);
        std::fclose(f);
        return 0;
    }
    if (verb == "NOPDF") return 0;
    if (verb == "PADDED") {
        std::memset(message, ' ', 150);
        const char text[] = "Engine failed: padded";
        std::memcpy(message + 3, text, sizeof text - 1);
        return 7;
    }
    if (verb == "NUL") {
        std::memset(message, 'X', 150);
        const char text[] = "  Engine failed: nul";
        std::memcpy(message, text, sizeof text);  // with its NUL
        return -1;
    }
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
