#include "orvcommon/platform/paths.hpp"

namespace orv::platform {

Text parentFolder(TextView path) {
    auto slash = path.find_last_of(kPathSeparator);
    if (slash == TextView::npos) return Text();
    if (slash == 0) return Text(1, kPathSeparator);
    return Text(path.substr(0, slash));
}

Text joinPath(TextView folder, TextView name) {
    Text out(folder);
    if (!out.empty() && out.back() != kPathSeparator) out.push_back(kPathSeparator);
    out.append(name);
    return out;
}

}  // namespace orv::platform
