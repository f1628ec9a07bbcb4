// The directory search over a large tree: 100,000 files in 1,000 folders
// (10 folders of 100 folders, 100 files each: 90 bitmaps, the rest other
// pictures and text), found with subdirectories, every match appended to a
// list. The tree is made once, in a temporary folder removed at exit.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "filelist/directory_search.h"

namespace quillora {
namespace {

namespace fs = std::filesystem;

constexpr int kTopFolders = 10;
constexpr int kFoldersEach = 100;
constexpr int kFilesEach = 100;
constexpr int kBitmapsEach = 90;

class Tree {
  public:
    Tree() {
        std::string pattern = (fs::temp_directory_path() / "quillora-bench-search-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("mkdtemp failed");
        root_ = pattern;
        const char* others[] = {".jpg", ".txt", ".ico", ".BMP.bak", ".png"};
        for (int t = 0; t < kTopFolders; ++t) {
            const fs::path top = root_ / ("pasta" + std::to_string(t));
            fs::create_directory(top);
            for (int f = 0; f < kFoldersEach; ++f) {
                const fs::path folder = top / ("fotos " + std::to_string(f));
                fs::create_directory(folder);
                for (int i = 0; i < kFilesEach; ++i) {
                    std::string name = "IMG_" + std::to_string(t * 100000 + f * 1000 + i);
                    name += i < kBitmapsEach ? (i % 3 == 0 ? ".BMP" : ".bmp") : others[i % 5];
                    const int fd =
                        ::open((folder / name).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
                    if (fd < 0)
                        throw std::runtime_error("cannot create " + (folder / name).string());
                    ::close(fd);
                }
            }
        }
    }
    ~Tree() {
        std::error_code ec;
        fs::remove_all(root_, ec);
    }
    Tree(const Tree&) = delete;
    Tree& operator=(const Tree&) = delete;

    std::string root() const { return root_.string(); }

  private:
    fs::path root_;
};

const Tree& tree() {
    static const Tree made;
    return made;
}

void BM_DirectorySearch100k(benchmark::State& state) {
    const std::string root = tree().root();
    const std::vector<std::string> masks = split_masks("*.bmp");
    std::size_t found_count = 0;
    int folders = 0;
    for (auto _ : state) {
        std::vector<std::string> found;
        folders = 0;
        SearchCallbacks callbacks;
        callbacks.begin_dir = [&](const std::string&) { ++folders; };
        callbacks.found = [&](const std::string& path) { found.push_back(path); };
        callbacks.progress = [] { return true; };
        if (search_directory(root, masks, true, callbacks) != SearchEnd::Done)
            state.SkipWithError("the search did not finish");
        found_count = found.size();
        benchmark::DoNotOptimize(found.data());
    }
    if (found_count != std::size_t{kTopFolders} * kFoldersEach * kBitmapsEach)
        state.SkipWithError("wrong number of files found");
    state.counters["found"] = static_cast<double>(found_count);
    state.counters["folders"] = folders;
    state.counters["entries_per_s"] =
        benchmark::Counter(static_cast<double>(kTopFolders) * kFoldersEach * (kFilesEach + 2),
                           benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_DirectorySearch100k)->Unit(benchmark::kMillisecond)->UseRealTime();

// The mask test alone, for the names of one folder of the tree.
void BM_MaskMatches(benchmark::State& state) {
    const std::vector<std::string> masks = split_masks("*.jpg; *.jpeg");
    std::vector<std::string> names;
    for (int i = 0; i < kFilesEach; ++i)
        names.push_back("IMG_" + std::to_string(1000 + i) + (i % 2 ? ".JPG" : ".bmp"));
    for (auto _ : state) {
        int hits = 0;
        for (const std::string& name : names)
            hits += matches_any(masks, name);
        benchmark::DoNotOptimize(hits);
    }
    state.SetItemsProcessed(state.iterations() * kFilesEach);
}
BENCHMARK(BM_MaskMatches);

}  // namespace
}  // namespace quillora
