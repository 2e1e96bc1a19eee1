// Test support: runs a shell command and collects its standard output and exit code.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace orv::test {

struct CommandResult {
    int exitCode = -1;
    std::string output;
};

// Runs a shell command, collecting its standard output.
inline CommandResult runCommand(const std::string& cmd) {
    CommandResult r;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        r.output.append(buf, n);
    const int status = pclose(p);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

}  // namespace orv::test
