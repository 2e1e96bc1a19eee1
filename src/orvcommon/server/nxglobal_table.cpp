// NxGlobal: published so that clients may refer to it, with no members and
// not creatable by name.
#include "orvcommon/server/member_table.hpp"

namespace orv::server {
namespace {

const ClassInfo kNxGlobal{u"NxGlobal", false, nullptr, {}};

const ClassRegistrar kRegistered{kNxGlobal};

}  // namespace
}  // namespace orv::server
