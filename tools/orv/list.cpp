// orv list: the published classes and their members, enumerations and
// records, like a type-library viewer.
#include <iomanip>
#include <iostream>

#include "command.hpp"
#include "host.hpp"
#include "orvcommon/orv_tool_internal.hpp"

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
    else if (c.members.empty())
        std::cout << "  (a name clients may refer to: no members, not creatable)";
    else
        std::cout << "  (not creatable)";
    std::cout << "\n";
    for (size_t i = 0; i < c.members.size(); ++i) {
        const Member& m = c.members[i];
        std::cout << "  " << std::setw(3) << ClassInfo::slotOf(i) << "  id " << std::setw(3)
                  << c.dispatchId(i) << "  " << std::left << std::setw(13) << kindName(m.kind)
                  << std::right << signature(m) << "\n";
    }
}

void show(const server::Enumeration& e) {
    std::cout << "enumeration " << toUtf8(e.name) << "  (Long; a member's name may be passed for "
              << "its value)\n";
    size_t width = 0;
    for (const auto& m : e.members)
        width = std::max(width, toUtf8(m.name).size());
    for (const auto& m : e.members)
        std::cout << "  " << std::left << std::setw(static_cast<int>(width)) << toUtf8(m.name)
                  << std::right << "  " << m.value << "\n";
}

void show(const server::PublishedRecord& r) {
    std::cout << "record " << toUtf8(r.name)
              << "  (passed as an array of its fields in this order)\n";
    for (size_t i = 0; i < r.fields.size(); ++i) {
        const auto& f = r.fields[i];
        std::cout << "  " << std::setw(2) << i + 1 << "  " << toUtf8(f.name) << " As " << f.idlType;
        if (f.count) std::cout << "[" << f.count << "]";
        std::cout << "\n";
    }
}

int run(const std::vector<std::string>& args) {
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
        std::cout << "usage: orv list [NAME]\n\n"
                     "Lists the published classes, enumerations and records, or the one\n"
                     "NAME names. A class shows every member in interface order: slot\n"
                     "number, dispatch id, kind (method, property get, property put) and\n"
                     "parameters (ByVal or ByRef, Optional, declared type). An enumeration\n"
                     "shows its members and values; `orv call` takes a member's name\n"
                     "(dbengineORACLE) for its value. A record parameter such as\n"
                     "structError travels as an array of its fields in record order\n"
                     "(seven Variants for structError).\n";
        return 0;
    }
    if (args.size() > 1) {
        std::cerr << "orv list: expected at most one NAME\n";
        return 2;
    }
    if (args.empty()) {
        bool first = true;
        const auto gap = [&] {
            if (!first) std::cout << "\n";
            first = false;
        };
        for (const ClassInfo* c : server::classes()) {
            gap();
            show(*c);
        }
        for (const auto& e : server::enumerations()) {
            gap();
            show(e);
        }
        for (const auto& r : server::records()) {
            gap();
            show(r);
        }
        return 0;
    }
    const Text asked = fromUtf8(args[0]);
    if (const ClassInfo* c = server::findClass(asked)) {
        show(*c);
        return 0;
    }
    std::vector<std::string> names;
    for (const ClassInfo* c : server::classes())
        names.push_back(toUtf8(c->name));
    for (const auto& e : server::enumerations()) {
        if (equalsIgnoreCase(e.name, asked)) {
            show(e);
            return 0;
        }
        names.push_back(toUtf8(e.name));
    }
    for (const auto& r : server::records()) {
        if (equalsIgnoreCase(r.name, asked)) {
            show(r);
            return 0;
        }
        names.push_back(toUtf8(r.name));
    }
    const auto nearest = nearestNames(args[0], names);
    std::cerr << "orv list: no class, enumeration or record named '" << args[0] << "'";
    if (nearest.empty()) {
        std::cerr << " (orv list shows them all)\n";
    } else {
        std::cerr << "; nearest:";
        for (size_t i = 0; i < nearest.size(); ++i)
            std::cerr << (i ? ", " : " ") << nearest[i];
        std::cerr << "\n";
    }
    return 2;
}

const CommandRegistrar kRegistered{
    {"list", "list classes, enumerations and records: orv list [NAME]", run}};

}  // namespace
}  // namespace orv::tool
