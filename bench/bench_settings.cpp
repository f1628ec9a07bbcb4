// Reading a settings file at its size limit: 1 MiB of short values, each a
// name of its own, as a file grown by hand or by another program may hold.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "settings/settings_store.h"

namespace quillora::settings {
namespace {

std::string large_settings_text() {
    std::string text = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Quillora\\Config]\n";
    for (int i = 0;; ++i) {
        char line[64];
        std::snprintf(line, sizeof line, "\"V%d\"=dword:%08x\n", i, static_cast<unsigned>(i));
        if (text.size() + std::string_view(line).size() > kMaxSettingsFileSize)
            break;
        text += line;
    }
    return text;
}

void BM_ParseSettingsFileOf1MiB(benchmark::State& state) {
    const std::string text = large_settings_text();
    std::size_t values = 0;
    for (auto _ : state) {
        auto parsed = parse_settings_file(text);
        values = parsed ? parsed->values.size() : 0;
        benchmark::DoNotOptimize(values);
    }
    state.counters["values"] = static_cast<double>(values);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_ParseSettingsFileOf1MiB)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillora::settings
