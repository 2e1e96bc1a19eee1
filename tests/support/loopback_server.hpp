// Test support: the loopback servers of loopback_servers.py run as child
// processes on ports the system picks, and the certificates of a private
// certificate authority made with openssl.
//
// On Windows the suite runs under Wine and cannot start the servers itself:
// scripts/windows-test.sh starts the plain origin and the proxy on the Linux
// side and passes their ports in the environment; HTTPS servers are not
// there (their trust goes through ORV_CA_BUNDLE, a POSIX setting).
#pragma once

#ifdef _WIN32
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

namespace orv::test {

inline int portFromEnvironment(const char* name) {
    const char* v = std::getenv(name);
    const int port = v ? std::atoi(v) : 0;
    if (port <= 0)
        throw std::runtime_error(std::string(name) + " is not set: no loopback server here");
    return port;
}

class LoopbackServer {
  public:
    // {"origin"} or {"proxy", originPort}; anything else is not available.
    explicit LoopbackServer(std::vector<std::string> args) {
        if (args.size() == 1 && args[0] == "origin")
            port_ = portFromEnvironment("ORV_LOOPBACK_ORIGIN_PORT");
        else if (args.size() == 2 && args[0] == "proxy")
            port_ = portFromEnvironment("ORV_LOOPBACK_PROXY_PORT");
        else
            throw std::runtime_error("no HTTPS loopback server on Windows");
    }
    int port() const { return port_; }
    std::string url(const std::string& path, const std::string& scheme = "http") const {
        return scheme + "://127.0.0.1:" + std::to_string(port_) + path;
    }

  private:
    int port_ = -1;
};

inline int refusedLoopbackPort() {
    return portFromEnvironment("ORV_LOOPBACK_REFUSED_PORT");
}

inline void makeCertificates(const std::string&) {
    throw std::runtime_error("the test certificates are made with openssl on POSIX only");
}

}  // namespace orv::test

#else

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace orv::test {

// The system's Python (the one the Debian package installs) when present:
// version-manager shims on PATH can take a second or more to start.
inline const char* pythonProgram() {
    return access("/usr/bin/python3", X_OK) == 0 ? "/usr/bin/python3" : "python3";
}

inline std::string loopbackScript() {
    // From the source folder: __FILE__ may be relative to the build folder
    // (ccache's base_dir rewrites it), and tests run from elsewhere.
    return std::string(ORV_SOURCE_DIR) + "/tests/support/loopback_servers.py";
}

// A server child process; stopped when the object goes away. The child also
// stops by itself when its input closes, so it never outlives the tests.
class LoopbackServer {
  public:
    explicit LoopbackServer(std::vector<std::string> args) {
        args.insert(args.begin(), {pythonProgram(), "-u", loopbackScript()});
        int out[2], in[2];
        if (pipe2(out, O_CLOEXEC) != 0 || pipe2(in, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe failed");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        const int rc =
            posix_spawnp(&pid_, pythonProgram(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        close(in[0]);
        input_ = in[1];
        if (rc != 0) {
            close(out[0]);
            close(input_);
            throw std::runtime_error("cannot start python3");
        }
        port_ = readPort(out[0]);
        close(out[0]);
        if (port_ <= 0) {
            stop();
            throw std::runtime_error("loopback server did not start: " + args[3]);
        }
    }
    ~LoopbackServer() { stop(); }
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    int port() const { return port_; }
    std::string url(const std::string& path, const std::string& scheme = "http") const {
        return scheme + "://127.0.0.1:" + std::to_string(port_) + path;
    }

  private:
    // Waits (up to 30 seconds) for the "PORT n" line.
    static int readPort(int fd) {
        std::string line;
        while (line.find('\n') == std::string::npos) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 30000) <= 0) return -1;
            char buf[64];
            const ssize_t n = read(fd, buf, sizeof buf);
            if (n <= 0) return -1;
            line.append(buf, static_cast<size_t>(n));
        }
        if (line.rfind("PORT ", 0) != 0) return -1;
        return std::atoi(line.c_str() + 5);
    }
    void stop() {
        if (input_ >= 0) close(input_);
        input_ = -1;
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            int status = 0;
            waitpid(pid_, &status, 0);
        }
        pid_ = -1;
    }

    pid_t pid_ = -1;
    int input_ = -1;
    int port_ = -1;
};

// A port on 127.0.0.1 where nothing listens: bound by the system, then freed.
inline int refusedLoopbackPort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    close(fd);
    return ntohs(addr.sin_port);
}

// Runs a shell command line; throws when it fails.
inline void run(const std::string& command) {
    if (std::system((command + " >/dev/null 2>&1").c_str()) != 0)
        throw std::runtime_error("command failed: " + command);
}

// In `dir`: ca.pem (a certificate authority), server.pem/server.key (for the
// host "other.example", signed by ca.pem) and rogue.pem/rogue.key (for the
// same host, signed by an authority nobody trusts).
inline void makeCertificates(const std::string& dir) {
    const std::string ec = "-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";
    run("printf 'subjectAltName=DNS:other.example\\n' > " + dir + "/ext.cnf");
    for (const std::string ca : {"ca", "rogueca"}) {
        run("openssl req -x509 " + ec + " -days 2 -subj '/CN=orv test " + ca + "' -keyout " + dir +
            "/" + ca + ".key -out " + dir + "/" + ca + ".pem");
    }
    for (const auto& [name, ca] : {std::pair{"server", "ca"}, std::pair{"rogue", "rogueca"}}) {
        const std::string base = dir + "/" + name;
        run("openssl req " + ec + " -subj /CN=other.example -keyout " + base + ".key -out " + base +
            ".csr");
        run("openssl x509 -req -days 2 -in " + base + ".csr -CA " + dir + "/" + ca +
            ".pem -CAkey " + dir + "/" + ca + ".key -CAcreateserial -extfile " + dir +
            "/ext.cnf -out " + base + ".pem");
    }
}

}  // namespace orv::test

#endif
