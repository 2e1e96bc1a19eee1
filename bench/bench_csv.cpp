// Reading a semicolon-separated file into all of its cells, next to its
// peers, at three sizes (about 1, 10 and 95 MB: 9,000, 90,000 and 900,000
// lines of 8 fields with quoted fields, ";" inside quotes, doubled quotes and
// code page 1252 letters, CR LF line ends).
//
// Every contender runs in a child process of its own, once per repetition,
// and reports the processor time (user + system) of the reading alone; the
// parent takes the child's peak resident memory from wait4. So every row
// measures the same thing the same way, and the repetitions of all rows are
// interleaved at random. Contenders:
//   orv         FileUtility::getArrayFromCsvFile into its table of texts
//   reference   the tests' reference reader (tests/support/csv_reference.hpp):
//               the whole file read, split into lines, each line split one
//               character at a time, none of the library's reading code
//   libcsv      Debian's libcsv, each field decoded from code page 1252 into
//               a text, rows as vectors of texts
//   fccp        Debian's header-only libfccp ("Fast C++ CSV Parser"), eight
//               columns, ";" and doubled quotes, no trimming, every cell kept
//               as it reads it: the bytes in a std::string (a code page 1252
//               byte is one character), rows as vectors of std::string. Its
//               reader keeps a 48 MB buffer and reads ahead on a thread of
//               its own; that thread's time is in the process's CPU time.
//   python      Python's csv.reader into a list of lists (timed inside the
//               interpreter with time.process_time, start-up excluded)
//   bytes       reading the file's bytes in blocks and nothing else (the floor)
// Every contender must report the same number of cells and of characters in
// them, or the row fails.
//
// Time column: processor seconds of the reading; counters: peak_MB (maximum
// resident set of the child process), MB_file, and cells_MB: the memory the
// library's table of these cells needs at the least (32-byte text objects
// plus one allocation for each cell of more than seven characters), the
// floor under the library's peak.
#include <benchmark/benchmark.h>
#include <csv.h>
#include <libfccp/csv.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "orvcommon/base/cp1252.hpp"
#include "orvcommon/files/file_utility.hpp"
#include "orvcommon/platform/files.hpp"
#include "support/csv_reference.hpp"

namespace {

using namespace orv;

constexpr int32_t kFields = 8;

struct Sample {
    const char* name;
    int lines;
    std::string path;
    long cells = 0;  // expected
    long chars = 0;  // expected, after unquoting
    double mb = 0;
    double cellsMb = 0;  // what the table's cells alone occupy (see cellBytes)
};

// The memory one cell of n characters occupies in the library's table: its
// text object, plus, past the seven characters kept inside the object, the
// allocator's chunk for n + 1 UTF-16 units (8 bytes of header, 16-byte
// granules, 32 at least).
double cellBytes(size_t n) {
    double bytes = sizeof(Text);
    if (n > 7)
        bytes += static_cast<double>(std::max<size_t>(32, (2 * (n + 1) + 8 + 15) & ~size_t{15}));
    return bytes;
}

// Appends one line of 8 fields; counts the characters each cell holds and
// the memory the cells need.
void appendLine(std::string& out, std::mt19937& rng, long& chars, double& cellMemory) {
    static const char* const kNames[] = {"Rossi",
                                         "Bianchi",
                                         "M\xfcller",
                                         "Ferr\xe0",
                                         "Caf\xe9",
                                         "Jos\xe9",
                                         "Gro\xdf",
                                         "N\xfa\xf1"
                                         "ez"};
    static const char* const kWords[] = {"consegna",  "fattura",    "ordine",
                                         "reso",      "\x80 saldo", "prezzo \x92netto\x92",
                                         "c\xf2mputo"};
    auto pick = [&](auto& list) { return std::string(list[rng() % std::size(list)]); };
    const auto field = [&](const std::string& raw, size_t value) {
        out += raw;
        chars += static_cast<long>(value);
        cellMemory += cellBytes(value);
    };
    // 1: a plain number.
    std::string s = std::to_string(100000 + rng() % 900000);
    field(s, s.size());
    out += ';';
    // 2: quoted, with a separator inside.
    s = pick(kNames) + "; " + pick(kNames);
    field('"' + s + '"', s.size());
    out += ';';
    // 3: plain text with code page 1252 letters.
    s = pick(kWords) + " " + std::to_string(rng() % 1000);
    field(s, s.size());
    out += ';';
    // 4: quoted, with doubled quotes.
    s = "detto \"\"" + pick(kWords) + "\"\" n." + std::to_string(rng() % 100);
    field('"' + s + '"', s.size() - 2);
    out += ';';
    // 5: a decimal number.
    s = std::to_string(rng() % 100000) + "," + std::to_string(10 + rng() % 90);
    field(s, s.size());
    out += ';';
    // 6: a date.
    s = std::to_string(10 + rng() % 18) + "/0" + std::to_string(1 + rng() % 9) + "/2024";
    field(s, s.size());
    out += ';';
    // 7: an address, quoted.
    s = "Via " + pick(kNames) + " " + std::to_string(rng() % 300) + ", Milano";
    field('"' + s + '"', s.size());
    out += ';';
    // 8: a short code.
    s = "A" + std::to_string(rng() % 100);
    field(s, s.size());
    out += "\r\n";
}

std::vector<Sample>& samples() {
    static std::vector<Sample> all = [] {
        std::vector<Sample> v{{"1MB", 9000, {}}, {"10MB", 90000, {}}, {"95MB", 900000, {}}};
        std::string dir = (std::filesystem::temp_directory_path() / "orvbench-XXXXXX").string();
        if (!mkdtemp(dir.data())) std::abort();
        for (Sample& s : v) {
            std::mt19937 rng(42);
            std::string out;
            double cellMemory = 0;
            for (int i = 0; i < s.lines; ++i)
                appendLine(out, rng, s.chars, cellMemory);
            s.cellsMb = cellMemory / (1 << 20);
            s.cells = long{s.lines} * kFields;
            s.mb = static_cast<double>(out.size()) / (1 << 20);
            s.path = dir + "/table-" + s.name + ".csv";
            std::ofstream(s.path, std::ios::binary) << out;
        }
        return v;
    }();
    return all;
}

void removeSamples() {
    for (const Sample& s : samples())
        std::filesystem::remove(s.path);
    std::filesystem::remove(std::filesystem::path(samples()[0].path).parent_path());
}

// ---- Child side: one reading, then "<cpu seconds> <cells> <characters>".

double cpuSeconds() {
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
           static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

struct LibcsvTable {
    std::vector<std::vector<Text>> rows;
    std::vector<Text> row;
};

int runChild(const std::string& contender, const std::string& path) {
    long cells = 0, chars = 0;
    double cpu = 0;
    const Text tpath = fromUtf8(path);
    if (contender == "orv" || contender == "reference") {
        Array<Text> table;
        const double t0 = cpuSeconds();
        int32_t lines = 0;
        if (contender == "orv") {
            FileUtility fu;
            if (!fu.getArrayFromCsvFile(tpath, table, kFields, lines).isSuccess()) return 1;
        } else {
            auto opened = platform::File::open(tpath, platform::OpenMode::Read);
            if (!opened) return 1;
            auto bytes = opened->readAll();
            if (!bytes) return 1;
            lines = test::naiveTable(*bytes, table, kFields);
        }
        cpu = cpuSeconds() - t0;
        cells = long{lines} * kFields;
        for (const Text& c : table.storage())
            chars += static_cast<long>(c.size());
    } else if (contender == "libcsv") {
        LibcsvTable t;
        const double t0 = cpuSeconds();
        csv_parser p;
        if (csv_init(&p, 0) != 0) return 1;
        csv_set_delim(&p, ';');
        csv_set_quote(&p, '"');
        csv_set_space_func(&p, [](unsigned char) { return 0; });  // spaces are data
        auto onField = [](void* s, size_t n, void* data) {
            auto* table = static_cast<LibcsvTable*>(data);
            Text cell(n, u'\0');
            cp1252::decodeInto(static_cast<const char*>(s), n, cell.data());
            table->row.push_back(std::move(cell));
        };
        auto onRow = [](int, void* data) {
            auto* table = static_cast<LibcsvTable*>(data);
            table->rows.push_back(std::move(table->row));
            table->row = {};
        };
        platform::File f = *platform::File::open(tpath, platform::OpenMode::Read);
        std::vector<char> block(size_t{256} << 10);
        for (;;) {
            const int64_t got =
                static_cast<int64_t>(f.readInto(block.data(), block.size()).valueOr(0));
            if (got <= 0) break;
            if (csv_parse(&p, block.data(), static_cast<size_t>(got), onField, onRow, &t) !=
                static_cast<size_t>(got))
                return 1;
        }
        csv_fini(&p, onField, onRow, &t);
        csv_free(&p);
        cpu = cpuSeconds() - t0;
        for (const auto& r : t.rows) {
            cells += static_cast<long>(r.size());
            for (const Text& c : r)
                chars += static_cast<long>(c.size());
        }
    } else if (contender == "fccp") {
        std::vector<std::vector<std::string>> rows;
        const double t0 = cpuSeconds();
        {
            io::CSVReader<kFields, io::trim_chars<>, io::double_quote_escape<';', '"'>> in(path);
            std::string c[kFields];
            while (in.read_row(c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7]))
                rows.emplace_back(std::begin(c), std::end(c));
        }
        cpu = cpuSeconds() - t0;
        for (const auto& r : rows) {
            cells += static_cast<long>(r.size());
            for (const std::string& c : r)
                chars += static_cast<long>(c.size());
        }
    } else if (contender == "bytes") {
        const double t0 = cpuSeconds();
        platform::File f = *platform::File::open(tpath, platform::OpenMode::Read);
        std::vector<char> block(size_t{256} << 10);
        long total = 0;
        for (int64_t got;
             (got = static_cast<int64_t>(f.readInto(block.data(), block.size()).valueOr(0))) > 0;)
            total += got;
        cpu = cpuSeconds() - t0;
        benchmark::DoNotOptimize(total);
        cells = -1;  // no cells: not compared
    } else {
        return 2;
    }
    printf("%.6f %ld %ld\n", cpu, cells, chars);
    return 0;
}

// ---- Parent side.

const char* const kPython =
    "import csv,sys,time\n"
    "t=time.process_time()\n"
    "with open(sys.argv[1], newline='', encoding='cp1252') as f:\n"
    "    rows=list(csv.reader(f, delimiter=';'))\n"
    "t=time.process_time()-t\n"
    "print(t, sum(len(r) for r in rows), sum(len(c) for r in rows for c in r))\n";

struct ChildRun {
    bool ok = false;
    double cpu = 0;
    long cells = 0, chars = 0;
    double peakMb = 0;
};

ChildRun spawn(const std::vector<std::string>& args) {
    ChildRun run;
    int fds[2];
    if (pipe(fds) != 0) return run;
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], 1);
        close(fds[0]);
        close(fds[1]);
        std::vector<char*> argv;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(fds[1]);
    std::string out;
    char buf[256];
    for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;)
        out.append(buf, static_cast<size_t>(n));
    close(fds[0]);
    int status = 0;
    rusage ru{};
    if (pid < 0 || wait4(pid, &status, 0, &ru) != pid) return run;
    run.peakMb = static_cast<double>(ru.ru_maxrss) / 1024.0;
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0 &&
             sscanf(out.c_str(), "%lf %ld %ld", &run.cpu, &run.cells, &run.chars) == 3;
    return run;
}

std::string selfPath() {
    char buf[4096];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

void BM_Read(benchmark::State& state, std::string contender, size_t sample) {
    const Sample& s = samples()[sample];
    for (auto _ : state) {
        const ChildRun r = contender == "python"
                               ? spawn({"python3", "-c", kPython, s.path})
                               : spawn({selfPath(), "--child", contender, s.path});
        if (!r.ok) {
            state.SkipWithError("the contender failed");
            break;
        }
        if (r.cells >= 0 && (r.cells != s.cells || r.chars != s.chars)) {
            state.SkipWithError("the contender's cells differ");
            break;
        }
        state.SetIterationTime(r.cpu);
        state.counters["peak_MB"] = r.peakMb;
    }
    state.counters["MB_file"] = s.mb;
    state.counters["cells_MB"] = s.cellsMb;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--child") == 0) return runChild(argv[2], argv[3]);
    // "--samples": generate the three files, print their paths and keep them
    // (to run one contender alone: bench_csv --child orv <path>).
    if (argc == 2 && std::strcmp(argv[1], "--samples") == 0) {
        for (const Sample& s : samples())
            printf("%s\n", s.path.c_str());
        return 0;
    }
    std::vector<char*> args(argv, argv + argc);
    std::string interleave = "--benchmark_enable_random_interleaving=true";
    std::string repetitions = "--benchmark_repetitions=3";
    bool haveReps = false;
    for (int i = 1; i < argc; ++i)
        haveReps = haveReps || std::strncmp(argv[i], "--benchmark_repetitions", 23) == 0;
    args.insert(args.begin() + 1, interleave.data());
    if (!haveReps) args.insert(args.begin() + 1, repetitions.data());
    int n = static_cast<int>(args.size());
    for (size_t i = 0; i < samples().size(); ++i)
        for (const char* c : {"orv", "reference", "libcsv", "fccp", "python", "bytes"})
            benchmark::RegisterBenchmark(
                ("BM_Read/" + std::string(c) + "/" + samples()[i].name).c_str(), BM_Read,
                std::string(c), i)
                ->UseManualTime()
                ->Iterations(1)
                ->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&n, args.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    removeSamples();
    return 0;
}
