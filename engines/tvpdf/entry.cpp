// The engine's entry point: paths and message in code page 1252. On
// Windows it is a WINAPI (__stdcall) function exported undecorated as
// Tvpdfrun (tvpdf.def), the way clients of such engines declare it.
#include <cstdint>
#include <cstring>
#include <new>

#include "document.hpp"

namespace {

// Writes `message` (UTF-8) into the 150-byte buffer as code page 1252,
// ended by a NUL.
void report(char* buffer, const std::string& message) {
    std::string bytes = tvpdf::cp1252FromUtf8(message);
    if (bytes.size() > tvpdf::kMaxMessage) bytes.resize(tvpdf::kMaxMessage);
    std::memcpy(buffer, bytes.data(), bytes.size());
    buffer[bytes.size()] = '\0';
}

}  // namespace

extern "C" TVPDF_EXPORT int16_t TVPDF_CALL Tvpdfrun(const char* commandFile, const char* pdfFile,
                                                    char* message) {
    try {
        if (!commandFile || !pdfFile)
            tvpdf::fail(tvpdf::kIo, 0, "No command file or PDF file given");
        tvpdf::run(tvpdf::utf8FromCp1252(commandFile), tvpdf::utf8FromCp1252(pdfFile));
        return tvpdf::kOk;
    } catch (const tvpdf::Error& e) {
        if (message) report(message, e.what());
        return e.code();
    } catch (const std::bad_alloc&) {
        if (message) report(message, "Out of memory");
    } catch (...) {
        if (message) report(message, "Internal error");
    }
    return tvpdf::kInternal;
}
