// Image list files of 100,000 paths: loading (reading the file, its keys and
// every path line, with a progress call per line) and saving.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "filelist/list_file.h"

namespace quillora {
namespace {

constexpr int kPaths = 100000;

// Paths shaped like a photo collection: a few levels of folders, names of
// varying length, about 60 bytes each.
std::vector<std::string> sample_paths() {
    std::vector<std::string> paths;
    paths.reserve(kPaths);
    for (int i = 0; i < kPaths; ++i) {
        char name[160];
        std::snprintf(name, sizeof name, "/home/usuario/Imagens/%04d/%02d/foto_%06d%s.bmp",
                      2000 + i / 10000, (i / 500) % 12 + 1, i, i % 7 == 0 ? " (copia)" : "");
        paths.emplace_back(name);
    }
    return paths;
}

class Scratch {
  public:
    Scratch() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "quillora-bench-list-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
        paths_ = sample_paths();
        list_ = (path_ / "fotos.lai").string();
        filelist::save_list_file(list_, Mode::BmpToJpeg, paths_);
    }
    ~Scratch() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::string& list() const { return list_; }
    const std::vector<std::string>& paths() const { return paths_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
    std::string list_;
    std::vector<std::string> paths_;
};

const Scratch& scratch() {
    static const Scratch s;
    return s;
}

// What the desktop program does per line, less the window: a progress call
// and the path handed over.
void BM_LoadListFile(benchmark::State& state) {
    const Scratch& s = scratch();
    std::size_t bytes = 0;
    for (auto _ : state) {
        filelist::ListFileReader reader(s.list());
        std::size_t taken = 0;
        reader.read_paths([](int position) { benchmark::DoNotOptimize(position); },
                          [&taken](std::string_view path) {
                              benchmark::DoNotOptimize(path.data());
                              ++taken;
                          });
        if (taken != kPaths)
            state.SkipWithError("wrong number of paths");
        bytes += std::filesystem::file_size(s.list());
    }
    state.SetItemsProcessed(state.iterations() * kPaths);
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}
BENCHMARK(BM_LoadListFile)->Unit(benchmark::kMillisecond);

// Loading into a vector of paths (what quillora-convert --list does).
void BM_LoadListFileCollected(benchmark::State& state) {
    const Scratch& s = scratch();
    for (auto _ : state) {
        filelist::ListFile list = filelist::load_list_file(s.list(), [](int) {});
        if (list.paths.size() != kPaths)
            state.SkipWithError("wrong number of paths");
        benchmark::DoNotOptimize(list.paths.data());
    }
    state.SetItemsProcessed(state.iterations() * kPaths);
}
BENCHMARK(BM_LoadListFileCollected)->Unit(benchmark::kMillisecond);

void BM_SaveListFile(benchmark::State& state) {
    const Scratch& s = scratch();
    const std::string target = s.file("saved.lai");
    for (auto _ : state)
        filelist::save_list_file(target, Mode::IcoToBmp, s.paths());
    state.SetItemsProcessed(state.iterations() * kPaths);
}
BENCHMARK(BM_SaveListFile)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillora
