// writeLog of an error line with no named file, next to two bare loops that
// append the same line: (a) open with O_APPEND, write, close; (b) open,
// flock, fstat, write, close (a multi-process-safe append with a size check).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "orvcommon/base/cp1252.hpp"
#include "orvcommon/core/registry_as_text.hpp"
#include "orvcommon/platform/settings.hpp"
#include "orvcommon/results/errinfo.hpp"

namespace {

struct Setup {
    std::string dir;
    std::string log;
    Setup() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "orvbench-XXXXXX").string();
        dir = mkdtemp(tmpl.data());
        setenv("ORV_REGISTRY", (dir + "/registry.reg").c_str(), 1);
        // A large switch size so the run never rotates.
        (void)orv::platform::writeValue(
            u"HKEY_LOCAL_MACHINE\\SOFTWARE\\VELN\\LogSystem",
            {u"Path", orv::platform::kRegSz, orv::platform::regStringData(orv::fromUtf8(dir))});
        (void)orv::platform::writeValue(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\VELN\\LogSystem",
                                        {u"SwitchDimension", orv::platform::kRegSz,
                                         orv::platform::regStringData(u"2000000000")});
        log = dir + "/orvmira.log";
    }
    ~Setup() { std::filesystem::remove_all(dir); }
};

Setup& setup() {
    static Setup s;
    return s;
}

orv::ErrInfo sampleError() {
    orv::ErrInfo e;
    e.fill(53, u"File not found", orv::eiERRORTYPE, u"readFile", orv::Variant(u"FileUtility"),
           orv::Variant(u"orvcommon"));
    return e;
}

const std::string& sampleLine() {
    static const std::string line =
        "\"" + orv::cp1252::encode(sampleError().logLine(46360.378)) + "\"\r\n";
    return line;
}

void BM_WriteLog(benchmark::State& state) {
    setup();
    orv::ErrInfo e = sampleError();
    for (auto _ : state)
        benchmark::DoNotOptimize(e.writeLog());
    state.SetItemsProcessed(state.iterations());
}

void BM_BareAppend(benchmark::State& state) {
    const std::string path = setup().dir + "/bare_a.log";
    const std::string& line = sampleLine();
    for (auto _ : state) {
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
        benchmark::DoNotOptimize(::write(fd, line.data(), line.size()));
        ::close(fd);
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_LockedAppendWithSizeCheck(benchmark::State& state) {
    const std::string path = setup().dir + "/bare_b.log";
    const std::string& line = sampleLine();
    for (auto _ : state) {
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
        ::flock(fd, LOCK_EX);
        struct stat st {};
        ::fstat(fd, &st);
        benchmark::DoNotOptimize(st.st_size);
        benchmark::DoNotOptimize(::write(fd, line.data(), line.size()));
        ::close(fd);
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_WriteLog)->MinTime(2.0);
BENCHMARK(BM_BareAppend)->MinTime(2.0);
BENCHMARK(BM_LockedAppendWithSizeCheck)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
