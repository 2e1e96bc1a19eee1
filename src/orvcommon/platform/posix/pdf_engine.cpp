#include "orvcommon/platform/pdf_engine.hpp"

#include <dlfcn.h>
#include <errno.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <mutex>
#include <vector>

#include "orvcommon/base/errors.hpp"
#include "orvcommon/base/text.hpp"
#include "orvcommon/platform/module.hpp"
#include "orvcommon/platform/posix/posix_io.hpp"

// Where the build put things, recorded at configure time (see
// src/orvcommon/CMakeLists.txt): the installed library folder, relative to
// the prefix and in full, the folder the build writes the engine to, and
// the build tree itself.
#ifndef ORV_INSTALL_LIBDIR
#define ORV_INSTALL_LIBDIR "lib"
#endif
#ifndef ORV_INSTALL_FULL_LIBDIR
#define ORV_INSTALL_FULL_LIBDIR ""
#endif
#ifndef ORV_LIBRARY_ARCHITECTURE
#define ORV_LIBRARY_ARCHITECTURE ""
#endif
#ifndef ORV_ENGINE_BUILD_DIR
#define ORV_ENGINE_BUILD_DIR ""
#endif
#ifndef ORV_BUILD_TREE
#define ORV_BUILD_TREE ""
#endif

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
// system search) and returns its entry point, or null when there is no file
// by that name (the caller goes on to the next place). A file that is there but does
// not load raises 48, one without the entry point 453. The file is not
// looked at before dlopen (it could change in between); only when dlopen
// fails does its absence tell "not there" from "does not load".
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

    dlerror();
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const std::string why = lastDlError();
        if (searchBySystem) return nullptr;
        struct stat st {};
        if (posix::sys.stat(path.c_str(), &st) != 0 && (errno == ENOENT || errno == ENOTDIR))
            return nullptr;
        raise(err::kDllLoadFailed, standardMessage(err::kDllLoadFailed) + u": " + fromUtf8(why));
    }
    dlerror();
    void* symbol = dlsym(handle, kEntryName);
    const std::string why = lastDlError();
    if (!symbol || !why.empty()) {
        dlclose(handle);
        raise(err::kDllEntryPointNotFound,
              u"Can't find DLL entry point Tvpdfrun in " + fromUtf8(path));
    }
    Loaded l{handle, reinterpret_cast<PdfEntryPoint>(symbol)};
    loaded.emplace(path, l);
    return l.entry;
}

bool inside(const std::filesystem::path& p, const std::filesystem::path& folder) {
    const auto [end, _] = std::mismatch(folder.begin(), folder.end(), p.begin(), p.end());
    return !folder.empty() && end == folder.end();
}

// The folders the engine is looked for in, first to last, each once:
// beside this library's own file; the library folder of an installation
// this file is part of (`orv` carries the library inside an executable in
// bin/, the engine installs in lib/); for a program run from the build
// tree, the folder the build writes the engine to; and the library folder
// chosen at configure time.
std::vector<std::string> engineFolders() {
    namespace fs = std::filesystem;
    const fs::path own = fs::path(toUtf8(moduleFolder())).lexically_normal();
    std::vector<fs::path> folders{own};
    const fs::path prefix = own.parent_path();
    folders.push_back(prefix / ORV_INSTALL_LIBDIR);
    folders.push_back(prefix / "lib");
    if (*ORV_LIBRARY_ARCHITECTURE) folders.push_back(prefix / "lib" / ORV_LIBRARY_ARCHITECTURE);
    if (*ORV_ENGINE_BUILD_DIR && inside(own, fs::path(ORV_BUILD_TREE).lexically_normal()))
        folders.emplace_back(ORV_ENGINE_BUILD_DIR);
    if (*ORV_INSTALL_FULL_LIBDIR) folders.emplace_back(ORV_INSTALL_FULL_LIBDIR);
    std::vector<std::string> out;
    for (const fs::path& f : folders) {
        std::string s = f.lexically_normal().string();
        while (s.size() > 1 && s.back() == '/')
            s.pop_back();
        if (std::find(out.begin(), out.end(), s) == out.end()) out.push_back(s);
    }
    return out;
}

}  // namespace

const char* pdfEngineFileName() {
    return "libtvpdf.so";
}

PdfEntryPoint pdfEngine() {
    const std::string file = pdfEngineFileName();
    // A set-user-id host does not load a library the environment names.
    if (const char* env = secure_getenv("ORV_TVPDF"); env && *env) {
        const std::string path = env;
        // A bare name in the variable goes to the system search, as dlopen
        // treats a name without "/".
        if (PdfEntryPoint entry = load(path, path.find('/') == std::string::npos)) return entry;
        raise(err::kFileNotFound, u"File not found: " + fromUtf8(path));
    }
    const std::vector<std::string> folders = engineFolders();
    for (const std::string& folder : folders)
        if (PdfEntryPoint entry = load(folder + "/" + file, false)) return entry;
    if (PdfEntryPoint entry = load(file, true)) return entry;
    std::string where;
    for (const std::string& folder : folders)
        where += (where.empty() ? "" : ", ") + folder;
    raise(err::kFileNotFound, u"File not found: " + fromUtf8(file) + u" (looked in " +
                                  fromUtf8(where) +
                                  u" and the system's library path; set ORV_TVPDF to the "
                                  u"engine's file)");
}

}  // namespace orv::platform
