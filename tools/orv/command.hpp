// Sub-commands of the `orv` tool. Each sub-command lives in its own source
// file and registers itself here, so the settings-store tool and the script
// host grow independently.
#pragma once

#include <string>
#include <vector>

namespace orv::tool {

struct Command {
    const char* name;     // "reg", "call", ...
    const char* summary;  // one line for `orv --help`
    // Runs with the arguments after the sub-command name; returns the exit
    // code (0 success, 1 failure, 2 usage error).
    int (*run)(const std::vector<std::string>& args);
};

void registerCommand(const Command& command);
const std::vector<Command>& commands();

struct CommandRegistrar {
    explicit CommandRegistrar(const Command& command) { registerCommand(command); }
};

}  // namespace orv::tool
