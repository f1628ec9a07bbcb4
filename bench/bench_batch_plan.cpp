// Getting a long list ready to convert: 200,000 paths read from a pipe (as
// `find ... | quillora-convert --files-from -` gives them), split, named and
// grouped. This is the time before the first file can start.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "engine/batch_run.h"
#include "platform/files.h"

namespace quillora {
namespace {

std::string path_list(int n) {
    std::string text;
    for (int i = 0; i < n; ++i) {
        char line[160];
        std::snprintf(line, sizeof line, "/home/usuario/Imagens/%04d/%02d/foto_%06d.bmp\n",
                      2000 + i / 20000, (i / 1000) % 12 + 1, i);
        text += line;
    }
    return text;
}

void BM_PlanListFromPipe(benchmark::State& state) {
    const std::string text = path_list(static_cast<int>(state.range(0)));
    std::size_t entries = 0;
    for (auto _ : state) {
        int ends[2];
        if (::pipe(ends) != 0) {
            state.SkipWithError("no pipe");
            break;
        }
        std::thread writer([&] {
            for (std::size_t done = 0; done < text.size();) {
                const ssize_t n = ::write(ends[1], text.data() + done, text.size() - done);
                if (n <= 0)
                    break;
                done += static_cast<std::size_t>(n);
            }
            ::close(ends[1]);
        });
        const std::string name = "/dev/fd/" + std::to_string(ends[0]);
        const std::string list = files::read_all(name, std::size_t{1} << 30);
        std::vector<std::string> paths;
        for (std::size_t at = 0; at < list.size();) {
            const std::size_t end = list.find('\n', at);
            paths.emplace_back(list, at, end - at);
            at = end + 1;
        }
        const BatchPlan plan = plan_batch(Mode::BmpToJpeg, paths, "/tmp/saida");
        entries = plan.entries.size();
        writer.join();
        ::close(ends[0]);
        benchmark::DoNotOptimize(plan.groups.data());
    }
    state.counters["entries"] = static_cast<double>(entries);
}
BENCHMARK(BM_PlanListFromPipe)->Arg(200000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace quillora
