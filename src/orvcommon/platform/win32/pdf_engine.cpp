#include "orvcommon/platform/pdf_engine.hpp"

#include <windows.h>

#include <cstdlib>
#include <map>
#include <mutex>
#include <type_traits>

#include "orvcommon/base/errors.hpp"
#include "orvcommon/base/text.hpp"
#include "orvcommon/platform/files.hpp"
#include "orvcommon/platform/module.hpp"
#include "orvcommon/platform/win32/win32_io.hpp"

namespace orv::platform {
namespace {

constexpr const char* kEntryName = "Tvpdfrun";

// Engines export Tvpdfrun as a WINAPI function: on 32-bit Windows it pops
// its 12 bytes of arguments itself, and a caller using another convention
// would unbalance the stack.
using WinapiEntryPoint = int16_t(WINAPI*)(const char*, const char*, char*);
static_assert(std::is_same_v<WinapiEntryPoint, PdfEntryPoint>);

// Loads the engine named `path` (ANSI, as LoadLibraryA takes it; a bare name
// goes to the system's DLL search) and returns its entry point, raising as
// pdfEngine says.
PdfEntryPoint load(const std::string& path, bool searchBySystem) {
    // Engines are loaded once per path and never unloaded: the entry point
    // stays valid for the life of the process.
    static std::mutex lock;
    static std::map<std::string, PdfEntryPoint> loaded;
    std::lock_guard<std::mutex> guard(lock);
    auto it = loaded.find(path);
    if (it != loaded.end()) return it->second;

    const Text name = win32::fromAnsi(path);
    if (!searchBySystem && !fileExists(name)) raise(err::kFileNotFound, u"File not found: " + name);
    // No error box when the DLL or one it needs is missing.
    const UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE module = LoadLibraryA(path.c_str());
    const DWORD why = GetLastError();
    SetErrorMode(previous);
    if (!module) {
        if (searchBySystem || why == ERROR_FILE_NOT_FOUND || why == ERROR_PATH_NOT_FOUND)
            raise(err::kFileNotFound, u"File not found: " + name);
        raise(err::kDllLoadFailed, standardMessage(err::kDllLoadFailed) + u": " + name);
    }
    FARPROC symbol = GetProcAddress(module, kEntryName);
    if (!symbol) {
        FreeLibrary(module);
        raise(err::kDllEntryPointNotFound, u"Can't find DLL entry point Tvpdfrun in " + name);
    }
    const auto entry = reinterpret_cast<WinapiEntryPoint>(reinterpret_cast<void (*)()>(symbol));
    loaded.emplace(path, entry);
    return entry;
}

}  // namespace

const char* pdfEngineFileName() {
    return "Tvpdf.dll";
}

PdfEntryPoint pdfEngine() {
    if (const char* env = std::getenv("ORV_TVPDF"); env && *env) {
        const std::string path = env;
        // A bare name in the variable goes to the system search, as
        // LoadLibraryA treats a name without a folder.
        return load(path, path.find_first_of("\\/") == std::string::npos);
    }
    const Text beside = joinPath(moduleFolder(), fromUtf8(pdfEngineFileName()));
    if (fileExists(beside)) return load(win32::toAnsi(beside), false);
    return load(pdfEngineFileName(), true);
}

}  // namespace orv::platform
