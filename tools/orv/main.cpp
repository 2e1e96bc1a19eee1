// orv: the command-line face of the library on Linux.
#include <cstring>
#include <iostream>

#include "command.hpp"

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
    out << "usage: orv COMMAND [ARGUMENTS...]\n\ncommands:\n";
    for (const auto& c : orv::tool::commands())
        out << "  " << c.name << std::string(10 - std::min<size_t>(9, std::strlen(c.name)), ' ')
            << c.summary << "\n";
    out << "\n'orv COMMAND --help' describes a command.\n";
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
    if (argc < 2) {
        usage(std::cerr);
        return 2;
    }
    const std::string name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        usage(std::cout);
        return 0;
    }
    for (const auto& c : orv::tool::commands()) {
        if (name == c.name) return c.run(std::vector<std::string>(argv + 2, argv + argc));
    }
    std::cerr << "orv: unknown command '" << name << "'\n";
    usage(std::cerr);
    return 2;
}
