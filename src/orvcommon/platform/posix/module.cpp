#include <dlfcn.h>
#include <errno.h>
#include <limits.h>
#include <stdlib.h>

#include <string>

#include "orvcommon/platform/backend.hpp"
#include "orvcommon/platform/posix/posix_io.hpp"

namespace orv::platform {

backend::ModuleInfo backend::probeModule() {
    // dladdr reports the file that holds this very function.
    ModuleInfo info;
    Dl_info dl{};
    if (posix::sys.dladdr(reinterpret_cast<void*>(&backend::probeModule), &dl) == 0 ||
        !dl.dli_fname)
        return info;
    std::string path = dl.dli_fname;
    // For the main program the loader reports the name it was started by
    // (a bare "orv" when found through PATH): the kernel knows its file.
    const bool mainProgram = path == program_invocation_name;
    char resolved[PATH_MAX];
    if (posix::sys.realpath(mainProgram ? "/proc/self/exe" : path.c_str(), resolved))
        path = resolved;
    auto slash = path.find_last_of('/');
    std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    info.folder = fromUtf8(slash == std::string::npos ? "."
                           : slash == 0               ? "/"
                                                      : path.substr(0, slash));
    auto so = base.find(".so");
    if (so != std::string::npos) {
        // A shared library: "liborvcommon.so.1" names the module "orvcommon".
        base = base.substr(0, so);
        if (base.rfind("lib", 0) == 0) base = base.substr(3);
        info.name = fromUtf8(base);
    }
    return info;
}

}  // namespace orv::platform
