// The settings store: parsing a store of a given number of keys, reading a
// value from the cached parse (what every log line does three times), and
// one locked, flushed write.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>

#include "orvcommon/formats/reg_document.hpp"
#include "orvcommon/platform/settings.hpp"

namespace {

using namespace orv;
using namespace orv::platform;
using namespace orv::formats;

RegistryDocument storeOf(int keys) {
    RegistryDocument doc;
    for (int i = 0; i < keys; ++i) {
        const Text key = u"HKEY_LOCAL_MACHINE\\SOFTWARE\\App" + decimalText(i) + u"\\DbAccess";
        doc.setValue(key, {u"connectionDbName", kRegSz, regStringData(u"DATABASE01")});
        doc.setValue(key, {u"connectionUser", kRegSz, regStringData(u"someuser")});
        doc.setValue(key, {u"connectionPassword", kRegSz, regStringData(u"secret")});
    }
    return doc;
}

void BM_ParseStore(benchmark::State& state) {
    const std::string text = writeRegText(storeOf(static_cast<int>(state.range(0))));
    for (auto _ : state)
        benchmark::DoNotOptimize(documentFromText(text));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ParseStore)->Arg(10)->Arg(100)->Arg(1000);

class TempStore {
  public:
    explicit TempStore(int keys) {
        std::string tmpl = (std::filesystem::temp_directory_path() / "orvbench-XXXXXX").string();
        dir_ = mkdtemp(tmpl.data());
        setSettingsStorePath(fromUtf8(dir_ + "/registry.reg"));
        const RegistryDocument doc = storeOf(keys);
        (void)importText(writeRegText(doc), nullptr);
    }
    ~TempStore() {
        setSettingsStorePath(std::nullopt);
        std::filesystem::remove_all(dir_);
    }

  private:
    std::string dir_;
};

void BM_ReadCachedSetting(benchmark::State& state) {
    TempStore store(static_cast<int>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(
            readValue(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\App7\\DbAccess", u"connectionUser"));
}
BENCHMARK(BM_ReadCachedSetting)->Arg(100);

void BM_WriteSetting(benchmark::State& state) {
    TempStore store(static_cast<int>(state.range(0)));
    int i = 0;
    for (auto _ : state)
        (void)writeValue(u"HKEY_LOCAL_MACHINE\\SOFTWARE\\App7\\DbAccess",
                         {u"connectionUser", kRegSz, regStringData(decimalText(i++))});
}
BENCHMARK(BM_WriteSetting)->Arg(10)->Arg(100)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
