// The library's own module, asked of the system once.
#include "orvcommon/platform/module.hpp"

#include "orvcommon/platform/backend.hpp"

namespace orv::platform {
namespace {

const backend::ModuleInfo& info() {
    static const backend::ModuleInfo i = backend::probeModule();
    return i;
}

}  // namespace

const Text& moduleName() {
    return info().name;
}
const Text& moduleFolder() {
    return info().folder;
}

}  // namespace orv::platform
