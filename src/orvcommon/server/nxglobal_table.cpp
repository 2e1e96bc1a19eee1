// NxGlobal: published so that clients may refer to it, with no members and
// not creatable by name.
#include "orvcommon/server/member_table.hpp"

namespace orv::server {
const ClassInfo& nxGlobalClass() {
    static const ClassInfo info{u"NxGlobal", false, nullptr, {}};
    return info;
}
}  // namespace orv::server
