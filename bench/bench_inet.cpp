// A 100 MB body from a loopback server read through NxInet::IReadFile, next
// to the curl command downloading the same address to /dev/null in the same
// run; then the peak memory of a process doing each download.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <memory>

#include "../tests/support/loopback_server.hpp"
#include "orvcommon/inet/nxinet.hpp"

namespace {

constexpr size_t kBodyBytes = 100u * 1000u * 1000u;

orv::test::LoopbackServer& server() {
    static orv::test::LoopbackServer instance(std::vector<std::string>{"origin"});
    return instance;
}
std::string bodyUrl() {
    return server().url("/bytes/" + std::to_string(kBodyBytes));
}

// Downloads the body through NxInet; returns the number of characters.
size_t downloadWithNxInet() {
    orv::NxInet inet;
    int32_t session = 0, file = 0;
    if (!inet.IOpenExtended(session).isSuccess()) return 0;
    orv::Text url = orv::fromUtf8(bodyUrl());
    orv::Text text;
    if (inet.IOpenUrl(session, url, file).isSuccess()) {
        inet.IReadFile(file, text);
        inet.IClose(file);
    }
    inet.IClose(session);
    return text.size();
}

double cpuSeconds(const rusage& u) {
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}
double ownCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return cpuSeconds(u);
}

double nxinetSeconds = 0, curlSeconds = 0, nxinetCpu = 0, curlCpu = 0;

// Runs `curl -s -o /dev/null URL`; returns its peak memory in kilobytes, or
// -1 when it failed, and adds its processor time to curlCpu.
long runCurl() {
    const std::string url = bodyUrl();
    const pid_t pid = fork();
    if (pid == 0) {
        execlp("curl", "curl", "-s", "--noproxy", "*", "-o", "/dev/null", url.c_str(),
               static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0)
        return -1;
    curlCpu += cpuSeconds(usage);
    return usage.ru_maxrss;
}

void BM_IReadFile100MB(benchmark::State& state) {
    server();
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = ownCpuSeconds();
        const size_t n = downloadWithNxInet();
        nxinetCpu += ownCpuSeconds() - cpuStart;
        nxinetSeconds +=
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (n != kBodyBytes) state.SkipWithError("short body");
    }
    nxinetSeconds /= static_cast<double>(state.iterations());
    nxinetCpu /= static_cast<double>(state.iterations());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBodyBytes));
}
BENCHMARK(BM_IReadFile100MB)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_CurlCommand100MB(benchmark::State& state) {
    server();
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        if (runCurl() < 0) state.SkipWithError("curl failed");
        curlSeconds +=
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    curlSeconds /= static_cast<double>(state.iterations());
    curlCpu /= static_cast<double>(state.iterations());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kBodyBytes));
}
BENCHMARK(BM_CurlCommand100MB)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// Peak resident memory of a child process that downloads the body through
// NxInet, less what the child held before it started.
void BM_PeakMemory(benchmark::State& state) {
    server();
    for (auto _ : state) {
        int fds[2];
        if (pipe(fds) != 0) state.SkipWithError("pipe");
        const pid_t pid = fork();
        if (pid == 0) {
            close(fds[0]);
            rusage before{};
            getrusage(RUSAGE_SELF, &before);
            const long baseline = before.ru_maxrss;
            const bool ok = downloadWithNxInet() == kBodyBytes;
            if (write(fds[1], &baseline, sizeof baseline) != sizeof baseline) _exit(2);
            _exit(ok ? 0 : 1);
        }
        close(fds[1]);
        long baseline = 0;
        const bool got = read(fds[0], &baseline, sizeof baseline) == sizeof baseline;
        close(fds[0]);
        int status = 0;
        rusage usage{};
        if (pid < 0 || !got || wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) ||
            WEXITSTATUS(status) != 0) {
            state.SkipWithError("child download failed");
            continue;
        }
        const double mb = 1000.0 * 1000.0 / 1024.0;  // kilobytes per MB
        state.counters["nxinet_peak_MB"] = static_cast<double>(usage.ru_maxrss) / mb;
        state.counters["nxinet_growth_MB"] = static_cast<double>(usage.ru_maxrss - baseline) / mb;
        state.counters["growth_per_body_byte"] =
            static_cast<double>(usage.ru_maxrss - baseline) * 1024.0 / kBodyBytes;
        const double curlCpuSoFar = curlCpu;
        state.counters["curl_peak_MB"] = static_cast<double>(runCurl()) / mb;
        curlCpu = curlCpuSoFar;
    }
}
BENCHMARK(BM_PeakMemory)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (nxinetSeconds > 0 && curlSeconds > 0)
        std::printf("IReadFile / curl time ratio: %.2f (%.3f s vs %.3f s for %zu bytes)\n",
                    nxinetSeconds / curlSeconds, nxinetSeconds, curlSeconds, kBodyBytes);
    if (nxinetCpu > 0 && curlCpu > 0)
        std::printf("IReadFile / curl processor time: %.3f s vs %.3f s\n", nxinetCpu, curlCpu);
    return 0;
}
