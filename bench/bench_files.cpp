// Speed of quickSortArray on 1,000,000 strings, next to std::sort of the same
// keys (upper-cased) computed beforehand as texts, with keys of 6 characters
// and of 12 characters (longer than the 8 that fit in two integers), the long
// ones either random or sharing their first 8 characters (article codes with
// one prefix). Processor time of both in the same run; the reading of CSV
// files is measured in bench_csv.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "orvcommon/core/array.hpp"
#include "orvcommon/functions/funzioni.hpp"

namespace {

using namespace orv;

// The key: characters 3 to 3 + length - 1 of each 16-character element.
constexpr int16_t kKeyStart = 3;

enum KeyKind { kShort = 0, kLongRandom = 1, kLongSharedPrefix = 2 };

int16_t keyLength(int64_t kind) {
    return kind == kShort ? 6 : 12;
}

std::vector<Text> sortInput(int64_t kind) {
    std::mt19937 rng(7);
    std::vector<Text> v(1000000);
    for (Text& s : v) {
        s.resize(16);
        for (char16_t& c : s) {
            const unsigned r = rng() % 52;
            c = static_cast<char16_t>(r < 26 ? u'a' + r : u'A' + (r - 26));
        }
        if (kind == kLongSharedPrefix) s.replace(kKeyStart - 1, 8, u"ArtCode-");
    }
    return v;
}

void BM_SortQuickSortArray(benchmark::State& state) {
    const std::vector<Text> input = sortInput(state.range(0));
    Funzioni f;
    // Copies are made (and the previous round freed) while the clock stands.
    Array<Text> arr({1, static_cast<int32_t>(input.size())});
    for (auto _ : state) {
        state.PauseTiming();
        std::copy(input.begin(), input.end(), arr.elements().begin());
        state.ResumeTiming();
        ErrInfo r = f.quickSortArray(arr, 1, static_cast<int32_t>(input.size()), kKeyStart,
                                     keyLength(state.range(0)), false);
        if (!r.isSuccess()) state.SkipWithError("sort failed");
        benchmark::DoNotOptimize(arr);
    }
}

// The yardstick: std::sort of the same keys (upper-cased) computed before the
// clock starts.
void BM_SortStdSortPrecomputedKeys(benchmark::State& state) {
    const std::vector<Text> input = sortInput(state.range(0));
    std::vector<Text> keys;
    keys.reserve(input.size());
    for (const Text& s : input)
        keys.push_back(toUpper(TextView(s).substr(kKeyStart - 1, keyLength(state.range(0)))));
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

BENCHMARK(BM_SortQuickSortArray)
    ->Arg(kShort)
    ->Arg(kLongRandom)
    ->Arg(kLongSharedPrefix)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->Repetitions(3);
BENCHMARK(BM_SortStdSortPrecomputedKeys)
    ->Arg(kShort)
    ->Arg(kLongRandom)
    ->Arg(kLongSharedPrefix)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->Repetitions(3);

// Repetitions of both run interleaved at random, so a busy moment of the
// machine does not fall on one of them only.
int main(int argc, char** argv) {
    std::vector<char*> args(argv, argv + argc);
    std::string interleave = "--benchmark_enable_random_interleaving=true";
    args.insert(args.begin() + 1, interleave.data());
    int n = static_cast<int>(args.size());
    benchmark::Initialize(&n, args.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
