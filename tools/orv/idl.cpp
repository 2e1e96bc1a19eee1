// orv idl: writes the type library's IDL, generated from the member tables.
#include <fstream>
#include <iostream>

#include "command.hpp"
#include "orvcommon/base/errors.hpp"
#include "orvcommon/orv_tool_internal.hpp"

namespace orv::tool {
namespace {

int run(const std::vector<std::string>& args) {
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
        std::cout << "usage: orv idl [FILE]\n\n"
                     "Writes the IDL of the type library (every published class with its\n"
                     "dispatch interface, the enumerations and the records) to FILE, or to\n"
                     "standard output. `widl` compiles it into the type library that the\n"
                     "Windows server embeds.\n";
        return 0;
    }
    if (args.size() > 1) {
        std::cerr << "orv idl: expected at most one FILE\n";
        return 2;
    }
    std::string idl;
    try {
        idl = server::typeLibraryIdl();
    } catch (const RuntimeError& e) {
        std::cerr << "orv idl: a member table cannot be described in IDL (error " << e.number()
                  << ")\n";
        return 1;
    }
    if (args.empty()) {
        std::cout << idl;
        return std::cout ? 0 : 1;
    }
    std::ofstream out(args[0], std::ios::binary);
    out << idl;
    out.close();
    if (!out) {
        std::cerr << "orv idl: cannot write " << args[0] << "\n";
        return 1;
    }
    return 0;
}

const CommandRegistrar kRegistered{{"idl", "write the type library's IDL", run}};

}  // namespace
}  // namespace orv::tool
