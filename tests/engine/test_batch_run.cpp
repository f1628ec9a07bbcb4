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

#include "imaging/bmp.h"
#include "platform/display.h"
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
                                         "D:\\saida", paths::Convention::Windows);
    EXPECT_EQ(windows.entries[0].output, "D:\\saida\\ferias.2004.jpg");
}

TEST(BatchPlan, EntriesThatTouchOneFileFormAGroupInListOrder) {
    struct Case {
        const char* what;
        Mode mode;
        std::vector<std::string> sources;
        Groups groups;
    } cases[] = {
        {"distinct names", Mode::BmpToJpeg, {"/a/x.bmp", "/a/y.bmp", "/b/z.bmp"}, {{0}, {1}, {2}}},
        {"one name from two folders",
         Mode::BmpToJpeg,
         {"/a/x.bmp", "/a/y.bmp", "/b/x.bmp"},
         {{0, 2}, {1}}},
        {"a.jpg and a.jpeg", Mode::JpegToBmp, {"/i/a.jpg", "/i/b.jpg", "/i/a.jpeg"}, {{0, 2}, {1}}},
        {"an output that is another entry's source",
         Mode::JpegToBmp,
         {"/o/b.bmp", "/i/a.jpg", "/i/b.jpg"},
         {{0, 2}, {1}}},
        {"chains join",
         Mode::BmpToJpeg,
         {"/a/x.bmp", "/b/y.bmp", "/c/x.bmp", "/d/y.bmp", "/o/x.jpg"},
         {{0, 2, 4}, {1, 3}}},
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

// Spread over N runs, a list converts every entry exactly once, with the
// entries of one output name in one run, in list order.
TEST(BatchPlan, ShardsCoverEveryEntryOnceAndKeepGroupsWhole) {
    std::vector<std::string> sources;
    for (int i = 0; i < 40; ++i)
        sources.push_back("/in" + std::to_string(i % 4) + "/p" + std::to_string(i % 13) + ".bmp");
    const BatchPlan whole = plan_batch(Mode::BmpToJpeg, sources, "/o");
    for (std::size_t n = 1; n <= 7; ++n) {
        SCOPED_TRACE(n);
        std::map<std::string, std::size_t> shard_of_output;
        std::multiset<std::string> seen;
        std::size_t fewest = SIZE_MAX, most = 0;
        for (std::size_t k = 0; k < n; ++k) {
            const BatchPlan share = shard_of(whole, k, n);
            fewest = std::min(fewest, share.groups.size());
            most = std::max(most, share.groups.size());
            std::size_t next = 0;
            for (const auto& group : share.groups) {
                for (std::size_t i : group) {
                    EXPECT_EQ(i, next++);  // entries in group order, indices renumbered
                    const BatchEntry& e = share.entries[i];
                    seen.insert(e.source);
                    auto [it, fresh] = shard_of_output.emplace(e.output, k);
                    EXPECT_EQ(it->second, k) << e.output << " in two shards";
                }
            }
        }
        EXPECT_EQ(seen, std::multiset<std::string>(sources.begin(), sources.end()));
        EXPECT_LE(most - fewest, 1u);
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

TEST_F(BatchRunner, SameNameGroupsConvertInListOrder) {
    // Each later source of one name overwrites the earlier one's output.
    std::vector<std::string> sources;
    for (int i = 0; i < 12; ++i) {
        std::filesystem::create_directories(dir.file("in" + std::to_string(i)));
        sources.push_back(
            picture("in" + std::to_string(i) + "/p" + std::to_string(i % 3) + ".bmp", i));
    }
    std::map<std::string, std::vector<std::uint8_t>> with_one;
    for (unsigned workers : {1u, 4u}) {
        std::filesystem::remove_all(dir.file("out"));
        Seen seen;
        run(plan_batch(Mode::BmpToJpeg, sources, out()), {workers, false, {}}, seen);
        const auto outputs = testing::files_in(dir.file("out"));
        ASSERT_EQ(outputs.size(), 3u);
        if (workers == 1)
            with_one = outputs;
        EXPECT_EQ(outputs, with_one) << workers << " workers";
    }
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
