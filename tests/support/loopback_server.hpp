// Test support: the servers of loopback_servers.py on ports the system picks,
// and the certificates of a private certificate authority made with openssl.
// Under Wine the suite cannot start them: scripts/windows-test.sh starts the
// plain origin and the proxy and passes their ports in the environment.
#pragma once

#ifndef _WIN32
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace orv::test {

#ifdef _WIN32
inline int portFromEnvironment(const char* name) {
    const char* v = std::getenv(name);
    if (!v || std::atoi(v) <= 0) throw std::runtime_error(std::string(name) + " is not set");
    return std::atoi(v);
}

inline int refusedLoopbackPort() {
    return portFromEnvironment("ORV_LOOPBACK_REFUSED_PORT");
}
#else
// A process the test started, its input from /dev/null and its output in a
// log file; stopped by its process id when the object goes.
class Child {
  public:
    Child(const std::vector<std::string>& argv, const std::string& log) {
        pid_ = fork();
        if (pid_ == 0) {
            const int in = open("/dev/null", O_RDONLY);
            const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(in, 0);
            dup2(out, 1);
            dup2(out, 2);
            std::vector<char*> args;
            for (const auto& a : argv)
                args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            execvp(args[0], args.data());
            _exit(127);
        }
    }
    ~Child() { stop(); }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool running() {
        if (pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == pid_) pid_ = -1;
        return pid_ > 0;
    }
    void stop() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

  private:
    pid_t pid_ = -1;
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

#endif

// A server of loopback_servers.py (from the source folder: tests run from
// elsewhere); it also stops by itself when the test process ends. The
// system's Python when present: version-manager shims start slowly. Under
// Wine: {"origin"} or {"proxy", originPort} only.
class LoopbackServer {
  public:
    explicit LoopbackServer(std::vector<std::string> args) {
#ifdef _WIN32
        port_ = portFromEnvironment(args[0] == "proxy" ? "ORV_LOOPBACK_PROXY_PORT"
                                                       : "ORV_LOOPBACK_ORIGIN_PORT");
#else
        args.insert(args.begin(),
                    {access("/usr/bin/python3", X_OK) == 0 ? "/usr/bin/python3" : "python3", "-u",
                     std::string(ORV_SOURCE_DIR) + "/tests/support/loopback_servers.py"});
        child_ = std::make_unique<Child>(args, log_);
        for (int i = 0; i < 1500 && port_ <= 0 && child_->running(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            std::ifstream in(log_);
            std::string line;  // "PORT n" and its line end
            if (std::getline(in, line) && !in.eof() && line.rfind("PORT ", 0) == 0)
                port_ = std::atoi(line.c_str() + 5);
        }
        if (port_ <= 0) throw std::runtime_error("loopback server did not start: " + args[3]);
#endif
    }
#ifndef _WIN32
    ~LoopbackServer() {
        child_.reset();
        std::remove(log_.c_str());
    }
#endif

    int port() const {
        return port_;
    }
    std::string url(const std::string& path, const std::string& scheme = "http") const {
        return scheme + "://127.0.0.1:" + std::to_string(port_) + path;
    }

  private:
#ifndef _WIN32
    std::string log_ = "/tmp/orvloopback-" + std::to_string(getpid()) + "-" +
                       std::to_string(reinterpret_cast<uintptr_t>(this)) + ".log";
    std::unique_ptr<Child> child_;
#endif
    int port_ = -1;
};

// Runs a shell command line; throws when it fails.
inline void run(const std::string& command) {
    if (std::system((command + " >/dev/null 2>&1").c_str()) != 0)
        throw std::runtime_error("command failed: " + command);
}

// In `dir`: ca.pem (a certificate authority), server.pem/server.key (for the
// host "other.example", signed by ca.pem) and rogue.pem/rogue.key (for the
// same host, signed by an authority nobody trusts).
inline void makeCertificates(const std::string& dir) {
#ifdef _WIN32
    throw std::runtime_error("the test certificates are made with openssl on POSIX only: " + dir);
#endif
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
