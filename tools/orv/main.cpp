// orv: the command-line face of the library on Linux.
#include <cstring>
#include <iostream>

#include "command.hpp"
#include "orvcommon/orv_tool_internal.hpp"
#include "orvcommon/version.hpp"

namespace orv::tool {

namespace {
std::vector<Command>& registry() {
    static std::vector<Command> all;
    return all;
}
}  // namespace

void registerCommand(const Command& command) {
    registry().push_back(command);
}
const std::vector<Command>& commands() {
    return registry();
}

}  // namespace orv::tool

namespace {
void usage(std::ostream& out) {
    out << "usage: orv COMMAND [ARGUMENTS...]\n"
           "       orv help COMMAND     (the same as orv COMMAND --help)\n"
           "       orv --version\n\ncommands:\n";
    for (const auto& c : orv::tool::commands())
        out << "  " << c.name << std::string(10 - std::min<size_t>(9, std::strlen(c.name)), ' ')
            << c.summary << "\n";
    out << "\n'orv COMMAND --help' describes a command.\n";
    out << "\ncall and run print readable text on a terminal and JSON lines otherwise;\n"
           "--format text|json chooses. Exit code 0 when the call returned, whatever its\n"
           "result object says (a failure the operation traps, such as a missing file, is\n"
           "in the result object), 1 when a call raised a run-time error, 2 on a usage\n"
           "error.\n";
    out << "\nArguments of 'orv call' are plain text (a String) or TYPE:VALUE with TYPE one\n"
           "of str int long single double cur dec bool byte date, or :empty, :null,\n"
           ":missing, or json: and a typed JSON value. Examples:\n"
           "  orv list ErrInfo\n"
           "  orv call ErrInfo.ErrInfo long:53 \"File not found\" int:1 readFile\n"
           "  orv call ErrInfo.getInfo :empty :empty :empty :empty\n"
           "  echo '{\"new\":\"ErrInfo\",\"as\":\"e\"}' | orv run -\n";
}
}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args = orv::platform::commandLineArguments(argc, argv);
    if (args.empty()) {
        usage(std::cerr);
        return 2;
    }
    const std::string& name = args[0];
    if (name == "--version" || name == "-V" || name == "version") {
        std::cout << "orv (orvcommon) " << ORVCOMMON_VERSION_STRING << "\n";
        return 0;
    }
    if (name == "help" && args.size() > 1) {
        // orv help CMD: the command's own help.
        for (const auto& c : orv::tool::commands())
            if (args[1] == c.name) return c.run({"--help"});
        std::cerr << "orv: unknown command '" << args[1] << "'\n";
        usage(std::cerr);
        return 2;
    }
    if (name == "--help" || name == "-h" || name == "help") {
        usage(std::cout);
        return 0;
    }
    for (const auto& c : orv::tool::commands()) {
        if (name == c.name) return c.run(std::vector<std::string>(args.begin() + 1, args.end()));
    }
    std::cerr << "orv: unknown command '" << name << "'\n";
    usage(std::cerr);
    return 2;
}
