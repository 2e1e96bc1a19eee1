#include "orvcommon/platform/pdf_engine.hpp"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <mutex>

#include "orvcommon/base/errors.hpp"
#include "orvcommon/base/text.hpp"
#include "orvcommon/platform/files.hpp"
#include "orvcommon/platform/module.hpp"

namespace orv::platform {
namespace {

constexpr const char* kEntryName = "Tvpdfrun";

// dlerror() keeps the last failure of any dl call in the thread, so it is
// reset before each call and read right after (an entry point may be a
// null symbol only when dlerror says nothing went wrong).
std::string lastDlError() {
    const char* e = dlerror();
    return e ? e : "";
}

struct Loaded {
    void* handle = nullptr;
    PdfEntryPoint entry = nullptr;
};

// Loads the engine at `path` (a path with a "/", or a bare name for the
// system search) and returns its entry point, raising as pdfEngine says.
PdfEntryPoint load(const std::string& path, bool searchBySystem) {
    // Engines are loaded once per path and never unloaded: the entry point
    // stays valid for the life of the process, and an engine keeps whatever
    // it set up (fonts, caches) from one call to the next. The library has
    // no threads of its own; the lock only guards the table should two
    // client threads meet here.
    static std::mutex lock;
    static std::map<std::string, Loaded> loaded;
    std::lock_guard<std::mutex> guard(lock);
    auto it = loaded.find(path);
    if (it != loaded.end()) return it->second.entry;

    const Text name = fromUtf8(path);
    if (!searchBySystem && access(path.c_str(), F_OK) != 0)
        raise(err::kFileNotFound, u"File not found: " + name);
    dlerror();
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const std::string why = lastDlError();
        if (searchBySystem) raise(err::kFileNotFound, u"File not found: " + name);
        raise(err::kDllLoadFailed, standardMessage(err::kDllLoadFailed) + u": " + fromUtf8(why));
    }
    dlerror();
    void* symbol = dlsym(handle, kEntryName);
    const std::string why = lastDlError();
    if (!symbol || !why.empty()) {
        dlclose(handle);
        raise(err::kDllEntryPointNotFound, u"Can't find DLL entry point Tvpdfrun in " + name);
    }
    Loaded l{handle, reinterpret_cast<PdfEntryPoint>(symbol)};
    loaded.emplace(path, l);
    return l.entry;
}

}  // namespace

const char* pdfEngineFileName() {
    return "libtvpdf.so";
}

PdfEntryPoint pdfEngine() {
    if (const char* env = std::getenv("ORV_TVPDF"); env && *env) {
        const std::string path = env;
        // A bare name in the variable goes to the system search, as dlopen
        // treats a name without "/".
        return load(path, path.find('/') == std::string::npos);
    }
    const std::string beside = toUtf8(joinPath(moduleFolder(), fromUtf8(pdfEngineFileName())));
    if (fileExists(fromUtf8(beside))) return load(beside, false);
    return load(pdfEngineFileName(), true);
}

}  // namespace orv::platform
