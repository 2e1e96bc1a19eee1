// Speed of the file readers and the sort:
// - a 20 MB semicolon CSV (200,000 lines of 10 fields, quoted and unquoted
//   cells mixed) read with getArrayFromCsvFile, next to Python's csv module
//   reading the same file into a list and next to a plain read of its bytes;
// - quickSortArray on 1,000,000 strings next to std::sort on the same keys
//   computed beforehand.
#include <benchmark/benchmark.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "orvcommon/files/file_utility.hpp"
#include "orvcommon/functions/funzioni.hpp"
#include "orvcommon/platform/files.hpp"

namespace {

using namespace orv;

const std::string& csvPath() {
    static const std::string path = [] {
        std::string dir = (std::filesystem::temp_directory_path() / "orvbench-XXXXXX").string();
        if (!mkdtemp(dir.data())) std::abort();
        const std::string p = dir + "/table.csv";
        std::mt19937 rng(42);
        std::string out;
        out.reserve(21u << 20);
        const char* words[] = {"alpha", "beta;gamma", "delta \"x\"", "epsilon", "zeta eta"};
        for (int line = 0; line < 200000; ++line) {
            for (int f = 0; f < 10; ++f) {
                if (f) out += ';';
                switch ((line + f) % 4) {
                    case 0:
                        out += std::to_string(rng() % 1000000);
                        break;
                    case 1: {
                        std::string w = words[rng() % 5];
                        std::string q;
                        for (char c : w) {
                            q += c;
                            if (c == '"') q += '"';
                        }
                        out += '"' + q + " " + std::to_string(rng() % 1000) + '"';
                        break;
                    }
                    case 2:
                        out += "plain" + std::to_string(rng() % 100000);
                        break;
                    default:
                        out += "\"Via Roma " + std::to_string(rng() % 500) + ", Milano\"";
                }
            }
            out += "\r\n";
        }
        std::ofstream(p, std::ios::binary) << out;
        return p;
    }();
    return path;
}

void BM_CsvGetArrayFromCsvFile(benchmark::State& state) {
    const Text path = fromUtf8(csvPath());
    FileUtility fu;
    Array<Text> table;
    for (auto _ : state) {
        // The previous table is freed while the clock stands, as Python's
        // timing ends before its list is freed.
        state.PauseTiming();
        table.erase();
        state.ResumeTiming();
        int32_t lines = 0;
        ErrInfo r = fu.getArrayFromCsvFile(path, table, 10, lines);
        if (!r.isSuccess() || lines != 200000) state.SkipWithError("unexpected result");
        benchmark::DoNotOptimize(table);
    }
    state.SetBytesProcessed(state.iterations() * platform::fileSize(path).valueOr(0));
}

void BM_CsvPlainRead(benchmark::State& state) {
    const Text path = fromUtf8(csvPath());
    for (auto _ : state) {
        platform::File f = *platform::File::open(path, platform::OpenMode::Read);
        auto bytes = *f.readAll();
        benchmark::DoNotOptimize(bytes);
    }
    state.SetBytesProcessed(state.iterations() * platform::fileSize(path).valueOr(0));
}

// Python's csv module reading the same file into a list, timed inside the
// Python process as processor time (interpreter start-up excluded), to set
// next to the CPU column of the other two on a shared machine.
void BM_CsvPythonCsvModule(benchmark::State& state) {
    const std::string cmd =
        "python3 -c \"import csv,sys,time\n"
        "t=time.process_time()\n"
        "with open(sys.argv[1], newline='', encoding='cp1252') as f: rows=list(csv.reader(f, "
        "delimiter=';'))\n"
        "print(time.process_time()-t, len(rows))\" " +
        csvPath();
    for (auto _ : state) {
        FILE* p = popen(cmd.c_str(), "r");
        double seconds = 0;
        long rows = 0;
        if (!p || fscanf(p, "%lf %ld", &seconds, &rows) != 2 || rows != 200000) {
            if (p) pclose(p);
            state.SkipWithError("python3 csv run failed");
            break;
        }
        pclose(p);
        state.SetIterationTime(seconds);
    }
    state.SetBytesProcessed(state.iterations() *
                            platform::fileSize(fromUtf8(csvPath())).valueOr(0));
}

std::vector<Text> sortInput() {
    std::mt19937 rng(7);
    std::vector<Text> v(1000000);
    for (Text& s : v) {
        s.resize(12);
        for (char16_t& c : s) {
            const unsigned r = rng() % 52;
            c = static_cast<char16_t>(r < 26 ? u'a' + r : u'A' + (r - 26));
        }
    }
    return v;
}

void BM_SortQuickSortArray(benchmark::State& state) {
    const std::vector<Text> input = sortInput();
    Funzioni f;
    // Copies are made (and the previous round freed) while the clock stands.
    Array<Text> arr({1, static_cast<int32_t>(input.size())});
    for (auto _ : state) {
        state.PauseTiming();
        arr.storage() = input;
        state.ResumeTiming();
        ErrInfo r = f.quickSortArray(arr, 1, static_cast<int32_t>(input.size()), 3, 6, false);
        if (!r.isSuccess()) state.SkipWithError("sort failed");
        benchmark::DoNotOptimize(arr);
    }
}

// The yardstick: std::sort of the same keys (characters 3 to 8, upper-cased)
// computed before the clock starts.
void BM_SortStdSortPrecomputedKeys(benchmark::State& state) {
    const std::vector<Text> input = sortInput();
    std::vector<Text> keys;
    keys.reserve(input.size());
    for (const Text& s : input)
        keys.push_back(toUpper(TextView(s).substr(2, 6)));
    std::vector<Text> k;
    for (auto _ : state) {
        state.PauseTiming();
        k = keys;
        state.ResumeTiming();
        std::sort(k.begin(), k.end());
        benchmark::DoNotOptimize(k);
    }
}

}  // namespace

BENCHMARK(BM_CsvGetArrayFromCsvFile)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_CsvPythonCsvModule)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_CsvPlainRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortQuickSortArray)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_SortStdSortPrecomputedKeys)->Unit(benchmark::kMillisecond)->Iterations(5);

BENCHMARK_MAIN();
