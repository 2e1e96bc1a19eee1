// The process's standard streams.
#pragma once

#include <string>
#include <vector>

namespace orv::platform {

// The program's arguments after its name, in UTF-8, from `main`'s own. Here
// they are taken as they come; Windows hands `main` its arguments in the
// ANSI code page, so there they are read again from the wide command line.
// Also makes a console show UTF-8 output as such where it must be told.
std::vector<std::string> commandLineArguments(int argc, char** argv);

// True when standard output goes to a terminal (and not to a file or pipe).
bool standardOutputIsTerminal();

}  // namespace orv::platform
