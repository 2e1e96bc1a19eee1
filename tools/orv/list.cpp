// orv list: the published classes and their members, like a type-library
// viewer.
#include <iomanip>
#include <iostream>

#include "command.hpp"
#include "host.hpp"
#include "orvcommon/server/member_table.hpp"

namespace orv::tool {
namespace {

using server::ClassInfo;
using server::Member;
using server::MemberKind;

const char* kindName(MemberKind k) {
    switch (k) {
        case MemberKind::Method:
            return "method";
        case MemberKind::PropertyGet:
            return "property get";
        case MemberKind::PropertyPut:
            return "property put";
    }
    return "";
}

void show(const ClassInfo& c) {
    std::cout << "class " << toUtf8(c.name);
    if (c.creatable)
        std::cout << "  (orvcommon." << toUtf8(c.name) << ")";
    else
        std::cout << "  (not creatable)";
    std::cout << "\n";
    if (c.members.empty()) std::cout << "  no members\n";
    for (size_t i = 0; i < c.members.size(); ++i) {
        const Member& m = c.members[i];
        std::cout << "  " << std::setw(3) << ClassInfo::slotOf(i) << "  id " << std::setw(3)
                  << c.dispatchId(i) << "  " << std::left << std::setw(13) << kindName(m.kind)
                  << std::right << signature(m) << "\n";
    }
}

int run(const std::vector<std::string>& args) {
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
        std::cout << "usage: orv list [CLASS]\n\n"
                     "Lists the published classes, or one class, with every member in\n"
                     "interface order: slot number, dispatch id, kind (method, property get,\n"
                     "property put) and parameters (ByVal or ByRef, Optional, declared type).\n"
                     "A record parameter such as structError travels as an array of its\n"
                     "fields in record order (seven Variants for structError).\n";
        return 0;
    }
    if (args.size() > 1) {
        std::cerr << "orv list: expected at most one CLASS\n";
        return 2;
    }
    if (args.empty()) {
        bool first = true;
        for (const ClassInfo* c : server::classes()) {
            if (!first) std::cout << "\n";
            first = false;
            show(*c);
        }
        return 0;
    }
    const ClassInfo* c = server::findClass(fromUtf8(args[0]));
    if (!c) {
        std::cerr << "orv list: no class named '" << args[0] << "'\n";
        return 2;
    }
    show(*c);
    return 0;
}

const CommandRegistrar kRegistered{{"list", "list classes and members: orv list [CLASS]", run}};

}  // namespace
}  // namespace orv::tool
