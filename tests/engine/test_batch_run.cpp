#include "engine/batch_run.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <atomic>
#include <filesystem>
#include <map>
#include <numeric>
#include <set>
#include <thread>

#include "filelist/directory_search.h"
#include "imaging/bmp.h"
#include "imaging/jpeg.h"
#include "platform/display.h"
#include "platform/files.h"
#include "support/fixtures.h"
#include "support/ordinary_user.h"
#include "support/temp_dir.h"

namespace quillora {
namespace {

using testing::pattern_bitmap;
using testing::TempDir;
using Groups = std::vector<std::vector<std::size_t>>;

TEST(BatchPlan, OutputNames) {
    struct Case {
        Mode mode;
        std::string source, directory, stem, output;
    } cases[] = {
        {Mode::BmpToJpeg, "/fotos/ferias.2004.bmp", "/saida", "/saida/ferias.2004",
         "/saida/ferias.2004.jpg"},
        {Mode::BmpToJpeg, "/fotos/ferias.2004.bmp", "/saida/", "/saida/ferias.2004",
         "/saida/ferias.2004.jpg"},
        {Mode::JpegToBmp, "/f/photo.JPEG", "out", "out/photo", "out/photo.bmp"},
        {Mode::IcoToBmp, "README", "/o", "/o/README", "/o/README.bmp"},
        {Mode::IcoToJpeg, "/f/.ico", "/o", "/o/", "/o/.jpg"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source + " into " + c.directory);
        const BatchPlan plan = plan_batch(c.mode, {c.source}, c.directory);
        ASSERT_EQ(plan.entries.size(), 1u);
        EXPECT_EQ(plan.entries[0].source, c.source);
        EXPECT_EQ(plan.entries[0].stem, c.stem);
        EXPECT_EQ(plan.entries[0].output, c.output);
        EXPECT_EQ(plan.groups, (Groups{{0}}));
    }
    // The Windows convention names outputs the same way on every host.
    const BatchPlan windows = plan_batch(Mode::BmpToJpeg, {"E:\\fotos\\ferias.2004.bmp"},
                                         "D:\\saida", Subfolders::Flat, paths::Convention::Windows);
    EXPECT_EQ(windows.entries[0].output, "D:\\saida\\ferias.2004.jpg");
}

// Names are given in list order: a name an earlier entry has becomes the
// first "NAME (k)" that no entry of the run has.
TEST(BatchPlan, ANameAnEarlierEntryHasIsNumbered) {
    struct Case {
        const char* what;
        Mode mode;
        std::vector<std::string> sources;
        std::vector<std::string> names;
    } cases[] = {
        {"one name from two folders",
         Mode::JpegToBmp,
         {"/ferias/IMG_0001.jpg", "/natal/IMG_0001.jpg"},
         {"IMG_0001.bmp", "IMG_0001 (2).bmp"}},
        {"foto.jpg and foto.jpeg",
         Mode::JpegToBmp,
         {"/i/foto.jpg", "/i/foto.jpeg"},
         {"foto.bmp", "foto (2).bmp"}},
        {"a name that is already numbered in the list",
         Mode::JpegToBmp,
         {"/a/IMG.jpg", "/b/IMG.jpg", "/c/IMG (2).jpg", "/d/IMG (2).jpg"},
         {"IMG.bmp", "IMG (3).bmp", "IMG (2).bmp", "IMG (2) (2).bmp"}},
        {"many of one name",
         Mode::BmpToJpeg,
         {"/a/p.bmp", "/b/p.bmp", "/c/p.bmp", "/d/q.bmp"},
         {"p.jpg", "p (2).jpg", "p (3).jpg", "q.jpg"}},
        {"letters of another case",
         Mode::IcoToBmp,
         {"/a/Icone.ico", "/b/ICONE.ICO"},
         {"Icone.bmp", "ICONE (2).bmp"}},
        {"no base name", Mode::IcoToJpeg, {"/a/.ico", "/b/.ico"}, {".jpg", " (2).jpg"}},
        {"the same file twice", Mode::BmpToJpeg, {"/a/x.bmp", "/a/x.bmp"}, {"x.jpg", "x (2).jpg"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const BatchPlan plan = plan_batch(c.mode, c.sources, "/o");
        std::vector<std::string> names;
        for (const BatchEntry& e : plan.entries) {
            names.push_back(e.name);
            EXPECT_EQ(e.output, "/o/" + e.name);
            EXPECT_EQ(e.stem + std::string(mode_info(c.mode).output_extension), e.output);
            EXPECT_EQ(e.numbered,
                      std::string(paths::base_name(e.source)) != paths::base_name(e.name))
                << e.name;
        }
        EXPECT_EQ(names, c.names);
    }
}

// With the folders kept, each output goes below the output folder into its
// source's folder relative to the deepest folder holding every source, and
// names are numbered within each folder.
TEST(BatchPlan, KeptFoldersAreRelativeToTheDeepestCommonFolder) {
    const std::string cwd = std::filesystem::current_path().string();
    const std::string here = std::filesystem::current_path().filename().string();
    struct Case {
        const char* what;
        std::vector<std::string> sources;
        std::vector<std::string> names;
    } cases[] = {
        {"a searched tree",
         {"/f/IMG.jpg", "/f/ferias/IMG.jpg", "/f/natal/IMG.jpg", "/f/natal/2020/IMG.jpg"},
         {"IMG.bmp", "ferias/IMG.bmp", "natal/IMG.bmp", "natal/2020/IMG.bmp"}},
        {"numbered within a folder",
         {"/f/a/x.jpg", "/f/a/x.jpeg", "/f/b/x.jpg"},
         {"a/x.bmp", "a/x (2).bmp", "b/x.bmp"}},
        {"one folder", {"/f/a/x.jpg", "/f/a/y.jpg"}, {"x.bmp", "y.bmp"}},
        {"only the root in common", {"/f/x.jpg", "/g/h/y.jpg"}, {"f/x.bmp", "g/h/y.bmp"}},
        {"dots and doubled separators",
         {"/f/./a//x.jpg", "/f/b/../c/y.jpg", "/f/a/./z.jpg"},
         {"a/x.bmp", "c/y.bmp", "a/z.bmp"}},
        {"relative paths climbing up",
         {"../up/x.jpg", "a/y.jpg", "z.jpg"},
         {"up/x.bmp", here + "/a/y.bmp", here + "/z.bmp"}},
        {"relative and absolute", {"a/x.jpg", cwd + "/b/y.jpg"}, {"a/x.bmp", "b/y.bmp"}},
        {"names that are not UTF-8",
         {"/f/\xE9t\xE9/a.jpg", "/f/x/a.jpg"},
         {"\xE9t\xE9/a.bmp", "x/a.bmp"}},
        // A file and a folder of one name: the file is numbered, in either
        // order, so neither fails and every run gives the same names.
        {"a file named like a folder",
         {"/f/x.jpg", "/f/x.bmp/y.jpg"},
         {"x (2).bmp", "x.bmp/y.bmp"}},
        {"a folder named like a file",
         {"/f/X.BMP/y.jpg", "/f/x.jpg"},
         {"X.BMP/y.bmp", "x (2).bmp"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const BatchPlan plan = plan_batch(Mode::JpegToBmp, c.sources, "/o", Subfolders::Kept);
        std::vector<std::string> names;
        for (const BatchEntry& e : plan.entries) {
            names.push_back(e.name);
            EXPECT_EQ(e.output, "/o/" + e.name);
        }
        EXPECT_EQ(names, c.names);
    }
}

TEST(BatchPlan, EntriesThatTouchOneFileFormAGroupInListOrder) {
    struct Case {
        const char* what;
        Mode mode;
        std::vector<std::string> sources;
        Groups groups;
    } cases[] = {
        {"distinct names", Mode::BmpToJpeg, {"/a/x.bmp", "/a/y.bmp", "/b/z.bmp"}, {{0}, {1}, {2}}},
        {"one name from two folders: two outputs",
         Mode::BmpToJpeg,
         {"/a/x.bmp", "/a/y.bmp", "/b/x.bmp"},
         {{0}, {1}, {2}}},
        {"an output that a later entry reads",
         Mode::JpegToBmp,
         {"/i/b.jpg", "/i/a.jpg", "/o/b.bmp"},
         {{0, 2}, {1}}},
        {"a source in the output folder keeps its own name",
         Mode::JpegToBmp,
         {"/o/b.bmp", "/i/a.jpg", "/i/b.jpg"},
         {{0}, {1}, {2}}},
        {"two spellings of one file", Mode::BmpToJpeg, {"/a/./x.bmp", "/a/x.bmp"}, {{0, 1}}},
        {"the same file twice",
         Mode::IcoToBmp,
         {"/a/i.ico", "/a/i.ico", "/a/j.ico"},
         {{0, 1}, {2}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(plan_batch(c.mode, c.sources, "/o").groups, c.groups);
    }
    EXPECT_TRUE(plan_batch(Mode::BmpToJpeg, {}, "/o").groups.empty());
}

// Spread over N runs, a list converts every entry exactly once, under the
// name the whole plan gives it, with the entries of a group in one run, in
// list order.
TEST(BatchPlan, ShardsCoverEveryEntryOnceUnderTheWholePlansNames) {
    std::vector<std::string> sources;
    for (int i = 0; i < 40; ++i) {
        sources.push_back("/in" + std::to_string(i % 4) + "/" + std::to_string(i % 3) + "/p" +
                          std::to_string(i % 13) + ".bmp");
    }
    // Sources that are outputs of earlier entries make groups of more than one.
    sources.push_back("/o/p1.jpg");
    sources.push_back("/o/p2.jpg");
    for (Subfolders subfolders : {Subfolders::Flat, Subfolders::Kept}) {
        const BatchPlan whole = plan_batch(Mode::BmpToJpeg, sources, "/o", subfolders);
        std::set<std::string> outputs;
        for (const BatchEntry& e : whole.entries)
            EXPECT_TRUE(outputs.insert(e.output).second) << e.output << " planned twice";
        std::multiset<std::pair<std::string, std::string>> planned;
        for (const BatchEntry& e : whole.entries)
            planned.emplace(e.source, e.output);
        for (std::size_t n = 1; n <= 7; ++n) {
            SCOPED_TRACE(n);
            std::multiset<std::pair<std::string, std::string>> seen;
            std::size_t fewest = SIZE_MAX, most = 0;
            for (std::size_t k = 0; k < n; ++k) {
                const BatchPlan share = shard_of(whole, k, n);
                EXPECT_EQ(share.subfolders, subfolders);
                fewest = std::min(fewest, share.groups.size());
                most = std::max(most, share.groups.size());
                std::size_t next = 0;
                for (const auto& group : share.groups) {
                    for (std::size_t i : group) {
                        EXPECT_EQ(i, next++);  // entries in group order, indices renumbered
                        seen.emplace(share.entries[i].source, share.entries[i].output);
                    }
                }
            }
            EXPECT_EQ(seen, planned);
            EXPECT_LE(most - fewest, 1u);
        }
    }
}

class BatchRunner : public ::testing::Test {
  protected:
    display::ScopedDisplay screen{32};
    TempDir dir;

    std::string picture(const std::string& name, int salt = 0) {
        write_bmp(pattern_bitmap(6 + salt % 5, 4 + salt % 3, 24, salt), dir.file(name));
        return dir.file(name);
    }
    std::string out() const {
        std::filesystem::create_directories(dir.file("out"));
        return dir.file("out");
    }
    int outputs() const {
        return static_cast<int>(std::distance(std::filesystem::directory_iterator(dir.file("out")),
                                              std::filesystem::directory_iterator()));
    }
    struct Seen {
        std::vector<std::size_t> order;
        std::vector<FileOutcome> outcomes;
        std::vector<std::string> messages;
    };
    BatchSummary run(const BatchPlan& plan, BatchOptions options, Seen& seen,
                     std::function<bool()> cancelled = {}) {
        BatchCallbacks callbacks;
        callbacks.finished = [&seen](const FileResult& r) {
            seen.order.push_back(r.index);
            seen.outcomes.push_back(r.outcome);
            seen.messages.push_back(r.message);
        };
        callbacks.cancelled = std::move(cancelled);
        return run_batch(plan, options, callbacks);
    }
};

TEST_F(BatchRunner, ReportsInListOrderWithAnyNumberOfWorkers) {
    std::vector<std::string> sources;
    for (int i = 0; i < 24; ++i)
        sources.push_back(picture("p" + std::to_string(i) + ".bmp", i));
    sources[5] = dir.file("gone.bmp");                                           // skipped
    sources[9] = dir.write("damaged.bmp", "this file holds no picture at all");  // fails
    for (unsigned workers : {1u, 2u, 3u, 8u}) {
        SCOPED_TRACE(workers);
        std::filesystem::remove_all(dir.file("out"));
        const BatchPlan plan = plan_batch(Mode::BmpToJpeg, sources, out());
        Seen seen;
        const BatchSummary summary = run(plan, {workers, false, {}}, seen);
        std::vector<std::size_t> all(sources.size());
        std::iota(all.begin(), all.end(), 0);
        EXPECT_EQ(seen.order, all);
        EXPECT_EQ(seen.outcomes[5], FileOutcome::Skipped);
        EXPECT_EQ(seen.outcomes[9], FileOutcome::Failed);
        EXPECT_EQ(seen.messages[9], "Bitmap image is not valid");
        EXPECT_EQ(summary.converted, 22u);
        EXPECT_EQ(summary.skipped, 1u);
        EXPECT_EQ(summary.failed, 1u);
        EXPECT_EQ(summary.not_started, 0u);
        EXPECT_EQ(summary.workers, workers);
        EXPECT_EQ(outputs(), 22);
    }
}

// Sources of one name each get an output of their own, the same with any
// number of workers: nothing is overwritten by a later source.
TEST_F(BatchRunner, SameNamesGetOutputsOfTheirOwnWithAnyNumberOfWorkers) {
    std::vector<std::string> sources;
    for (int i = 0; i < 12; ++i) {
        std::filesystem::create_directories(dir.file("in" + std::to_string(i)));
        sources.push_back(
            picture("in" + std::to_string(i) + "/p" + std::to_string(i % 3) + ".bmp", i));
    }
    std::map<std::string, std::vector<std::uint8_t>> with_one;
    for (unsigned workers : {1u, 4u}) {
        SCOPED_TRACE(workers);
        std::filesystem::remove_all(dir.file("out"));
        Seen seen;
        const BatchSummary summary =
            run(plan_batch(Mode::BmpToJpeg, sources, out()), {workers, false, {}}, seen);
        EXPECT_EQ(summary.converted, 12u);
        EXPECT_EQ(summary.numbered, 9u);
        const auto outputs = testing::files_in(dir.file("out"));
        ASSERT_EQ(outputs.size(), 12u);
        if (workers == 1)
            with_one = outputs;
        EXPECT_EQ(outputs, with_one);
        // The fourth source of name p1 (in10) is the fourth p1 output.
        EXPECT_EQ(JpegPicture::read(dir.file("out/p1 (4).jpg")).width(), 6 + 10 % 5);
    }
}

// A recursive search converted with the folders kept gives the tree back
// below the output folder, every folder made and none else.
TEST_F(BatchRunner, KeptFoldersGiveTheSearchedTreeBack) {
    const std::vector<std::string> tree = {"IMG.bmp",       "ferias/IMG.bmp",   "ferias/b.bmp",
                                           "natal/IMG.bmp", "natal/2020/c.bmp", "\xE9t\xE9/d.bmp"};
    for (std::size_t i = 0; i < tree.size(); ++i) {
        std::filesystem::create_directories(
            std::filesystem::path(dir.file("fotos/" + tree[i])).parent_path());
        picture("fotos/" + tree[i], static_cast<int>(i));
    }
    std::filesystem::create_directories(dir.file("fotos/vazia"));
    std::vector<std::string> sources;
    SearchCallbacks found;
    found.found = [&sources](const std::string& path) { sources.push_back(path); };
    search_directory(dir.file("fotos"), {"*.bmp"}, true, found);
    // A missing source leaves no folder behind.
    sources.push_back(dir.file("fotos/sumida/e.bmp"));
    Seen seen;
    const BatchSummary summary =
        run(plan_batch(Mode::BmpToJpeg, sources, out(), Subfolders::Kept), {2, false, {}}, seen);
    EXPECT_EQ(summary.converted, tree.size());
    EXPECT_EQ(summary.skipped, 1u);
    EXPECT_EQ(summary.numbered, 0u);
    // Every file in its folder, each from its own source; only the folders
    // that hold outputs are made.
    std::map<std::string, int> expected = {
        {"ferias/", 0}, {"natal/", 0}, {"natal/2020/", 0}, {"\xE9t\xE9/", 0}};
    for (std::size_t i = 0; i < tree.size(); ++i)
        expected[tree[i].substr(0, tree[i].size() - 3) + "jpg"] = 6 + static_cast<int>(i) % 5;
    std::map<std::string, int> made;
    for (const auto& [name, bytes] : testing::tree_in(dir.file("out"))) {
        made[name] = name.back() == '/' ? 0 : JpegPicture::read(dir.file("out/" + name)).width();
    }
    EXPECT_EQ(made, expected);
}

// Nothing is written outside the output folder: a link or a file standing
// where a kept folder should be fails that file alone.
TEST_F(BatchRunner, KeptFoldersNeverLeadOutOfTheOutputFolder) {
    std::filesystem::create_directories(dir.file("fotos/a"));
    std::filesystem::create_directories(dir.file("fotos/b"));
    std::filesystem::create_directories(dir.file("fotos/c"));
    const std::vector<std::string> sources = {
        picture("fotos/a/x.bmp", 1), picture("fotos/b/y.bmp", 2), picture("fotos/c/z.bmp", 3)};
    std::filesystem::create_directories(dir.file("elsewhere"));
    out();
    std::filesystem::create_directory_symlink(dir.file("elsewhere"), dir.file("out/a"));
    dir.write("out/b", "a file where a folder should be");
    Seen seen;
    const BatchSummary summary =
        run(plan_batch(Mode::BmpToJpeg, sources, dir.file("out"), Subfolders::Kept), {1, false, {}},
            seen);
    EXPECT_EQ(summary.converted, 1u);
    EXPECT_EQ(seen.messages[0],
              "Cannot create file \"" + dir.file("out/a/x.jpg") + "\". Not a directory");
    EXPECT_EQ(seen.messages[1],
              "Cannot create file \"" + dir.file("out/b/y.jpg") + "\". Not a directory");
    EXPECT_TRUE(std::filesystem::is_empty(dir.file("elsewhere")));
    EXPECT_TRUE(files::exists(dir.file("out/c/z.jpg")));
}

TEST_F(BatchRunner, CancelStartsNoFurtherFile) {
    std::vector<std::string> sources;
    for (int i = 0; i < 10; ++i)
        sources.push_back(picture("p" + std::to_string(i) + ".bmp", i));
    for (unsigned workers : {1u, 3u}) {
        SCOPED_TRACE(workers);
        std::filesystem::remove_all(dir.file("out"));
        std::atomic<int> asked{0};
        Seen seen;
        // Cancelled from the fifth question on: four files start.
        const BatchSummary summary =
            run(plan_batch(Mode::BmpToJpeg, sources, out()), {workers, false, {}}, seen,
                [&asked] { return ++asked > 4; });
        EXPECT_TRUE(summary.cancelled);
        EXPECT_EQ(summary.converted, 4u);
        EXPECT_EQ(summary.not_started, 6u);
        EXPECT_EQ(seen.order.size(), 4u);
        EXPECT_TRUE(std::is_sorted(seen.order.begin(), seen.order.end()));
        EXPECT_EQ(outputs(), 4);
    }
}

TEST_F(BatchRunner, AnUnusableOutputFolderStopsOnlyWhenAsked) {
    std::vector<std::string> sources;
    for (int i = 0; i < 5; ++i)
        sources.push_back(picture("p" + std::to_string(i) + ".bmp", i));
    const BatchPlan plan = plan_batch(Mode::BmpToJpeg, sources, dir.file("missing"));
    Seen going_on;
    BatchSummary summary = run(plan, {1, false, {}}, going_on);
    EXPECT_EQ(summary.failed, 5u);
    EXPECT_FALSE(summary.output_folder_failed);

    Seen stopping;
    summary = run(plan, {1, true, {}}, stopping);
    EXPECT_EQ(summary.failed, 1u);
    EXPECT_EQ(summary.not_started, 4u);
    EXPECT_TRUE(summary.output_folder_failed);
    EXPECT_EQ(stopping.messages,
              std::vector<std::string>{"Cannot create file \"" + dir.file("missing/p0.jpg") +
                                       "\". No such file or directory"});

    // A file that fails on its own does not stop the run.
    sources[1] = dir.write("damaged.bmp", "this file holds no picture at all");
    Seen one_bad;
    summary = run(plan_batch(Mode::BmpToJpeg, sources, out()), {1, true, {}}, one_bad);
    EXPECT_EQ(summary.converted, 4u);
    EXPECT_EQ(summary.failed, 1u);
    EXPECT_FALSE(summary.output_folder_failed);
}

// Under a process limit no thread can start: the calling thread converts
// everything alone, and says so once.
TEST_F(BatchRunner, ThreadsThatCannotStartLeaveTheWorkToTheOthers) {
    std::vector<std::string> sources;
    for (int i = 0; i < 6; ++i)
        sources.push_back(picture("p" + std::to_string(i) + ".bmp", i));
    out();
    const BatchPlan plan = plan_batch(Mode::BmpToJpeg, sources, dir.file("out"));
    const auto seen = testing::as_ordinary_user(dir.path(), [&] {
        const rlimit one{1, 1};
        if (::setrlimit(RLIMIT_NPROC, &one) != 0)
            return std::string("no limit");
        std::string said;
        BatchCallbacks callbacks;
        callbacks.fewer_workers = [&said](unsigned started, unsigned asked) {
            said += std::to_string(started) + " of " + std::to_string(asked);
        };
        const BatchSummary summary = run_batch(plan, {4, false, {}}, callbacks);
        return said + ", " + std::to_string(summary.workers) + " worker, " +
               std::to_string(summary.converted) + " converted";
    });
    if (!seen)
        GTEST_SKIP() << "no process without privileges could run here";
    EXPECT_EQ(*seen, "1 of 4, 1 worker, 6 converted");
}

}  // namespace
}  // namespace quillora
