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

// Iterative, with one backtrack point: the last "*" seen.
bool matchesWildcard(TextView name, TextView pat, bool (*same)(char16_t, char16_t)) {
    size_t ni = 0, pi = 0, starP = TextView::npos, starN = 0;
    while (ni < name.size()) {
        if (pi < pat.size() && (pat[pi] == u'?' || same(pat[pi], name[ni]))) {
            ++ni;
            ++pi;
        } else if (pi < pat.size() && pat[pi] == u'*') {
            starP = pi++;
            starN = ni;
        } else if (starP != TextView::npos) {
            pi = starP + 1;
            ni = ++starN;
        } else {
            return false;
        }
    }
    while (pi < pat.size() && pat[pi] == u'*')
        ++pi;
    return pi == pat.size();
}

}  // namespace orv::platform
