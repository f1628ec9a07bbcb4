// The directory search: masks, the order of the walk, what it passes over and
// how it ends.
#include "filelist/directory_search.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/modes.h"
#include "platform/dir_listing.h"
#include "support/ordinary_user.h"
#include "support/temp_dir.h"

namespace quillora {
namespace {

namespace fs = std::filesystem;
using files::DirEntry;
using files::OpenOutcome;
using strings = std::vector<std::string>;
using testing::TempDir;

// ---- masks ----

TEST(SplitMasks, SplitsAtSemicolonsAndTrimsBlanks) {
    const std::pair<const char*, strings> table[] = {
        {"*.bmp", {"*.bmp"}},
        {"*.jpg; *.jpeg", {"*.jpg", "*.jpeg"}},
        {"*.jpg;*.jpeg", {"*.jpg", "*.jpeg"}},
        {"  *.a \t;\t *.b  ", {"*.a", "*.b"}},
        {"a b ; c d", {"a b", "c d"}},  // blanks inside stay
        {"a;;b", {"a", "", "b"}},
        {"a;", {"a", ""}},
        {"", {""}},
    };
    for (const auto& [field, masks] : table)
        EXPECT_EQ(split_masks(field), masks) << field;
}

TEST(SplitMasks, EachModesMasks) {
    const strings expected[] = {{"*.bmp"}, {"*.jpg", "*.jpeg"}, {"*.ico"}, {"*.ico"}};
    for (int i = 0; i < kModeCount; ++i) {
        const ModeInfo& mode = mode_table()[static_cast<std::size_t>(i)];
        EXPECT_EQ(split_masks(descriptor_field(kFieldSearchMasks, "=", mode.descriptor)),
                  expected[i])
            << i;
    }
}

TEST(MaskMatches, Table) {
    struct Case {
        const char* mask;
        const char* name;
        bool match;
    };
    const Case table[] = {
        // Case does not matter, either side.
        {"*.jpg", "photo.jpg", true},
        {"*.jpg", "PHOTO.JPG", true},
        {"*.JPG", "photo.jpg", true},
        {"*.Jpg", "pHoTo.jPg", true},
        // The whole name must be consumed.
        {"*.jpg", "a.b.jpg", true},
        {"*.jpg", "a.jpgx", false},
        {"*.jpg", "photo.jpe", false},
        {"*.jpeg", "photo.jpeg", true},
        {"*.jpeg", "photo.jpe", false},
        {"*.jpg", ".jpg", true},
        {"*.jpg", "jpg", false},
        {"*.jpg", "x.jpg.bak", false},
        // "*" takes any run, none included.
        {"*", "", true},
        {"*", "anything at all", true},
        {"**", "x", true},
        {"a*", "a", true},
        {"*a", "a", true},
        {"a*b*c", "abc", true},
        {"a*b*c", "a__b__c", true},
        {"a*b*c", "a__c__b", false},
        {"*b", "abab", true},
        {"*ab", "aab", true},
        {"*aab", "aaab", true},
        // "?" takes exactly one character.
        {"?", "a", true},
        {"?", "", false},
        {"?", "ab", false},
        {"f?.bmp", "f1.bmp", true},
        {"f?.bmp", "f.bmp", false},
        {"f?.bmp", "f12.bmp", false},
        {"f??.bmp", "f12.bmp", true},
        {"*?", "", false},
        {"?*", "x", true},
        {"*.?mp", "a.bmp", true},
        // Everything else is itself, blanks and dots included.
        {"a b.bmp", "a b.bmp", true},
        {"a b.bmp", "ab.bmp", false},
        {"", "", true},
        {"", "a", false},
        {"a.bmp", "a.bmp", true},
        {"a.bmp", "a_bmp", false},
        {"[a].bmp", "[a].bmp", true},
        {"[a].bmp", "a.bmp", false},
        // Accented Latin letters in UTF-8 fold as well; "?" takes one of them.
        {"ação.jpg", "AÇÃO.JPG", true},
        {"AÇÃO.JPG", "ação.jpg", true},
        {"a??o.jpg", "ação.jpg", true},
        {"a?o.jpg", "ação.jpg", false},
        {"?.bmp", "\xe6\x97\xa5.bmp", true},      // one three-byte character
        {"?.bmp", "\xf0\x9f\x98\x80.bmp", true},  // one four-byte character
        {"÷.bmp", "\xc3\x97.bmp", false},         // ÷ and × stay apart
        {"ÿ.bmp", "Ÿ.bmp", false},                // only U+00E0 to U+00FE fold
        // Bytes that are not UTF-8 compare as they are, one character each.
        {"*.bmp", "\xff\xfe.bmp", true},
        {"??.bmp", "\xff\xfe.bmp", true},
        {"?.bmp", "\xff\xfe.bmp", false},
        {"\xe9.bmp", "\xe9.bmp", true},
        {"\xe9.bmp", "\xc9.bmp", false},
        {"?.bmp", "\xc3.bmp", true},  // a lead byte without its continuation
    };
    for (const Case& c : table)
        EXPECT_EQ(mask_matches(c.mask, c.name), c.match) << c.mask << " vs " << c.name;
}

TEST(MaskMatches, ManyStarsDoNotBacktrackWithoutEnd) {
    // Exponential backtracking would not finish these.
    const std::string many_a(5000, 'a');
    EXPECT_FALSE(mask_matches("*a*a*a*a*a*a*c", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaab"));
    EXPECT_FALSE(mask_matches("*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*c", many_a + "b"));
    EXPECT_TRUE(mask_matches("*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*b", many_a + "b"));
    EXPECT_FALSE(mask_matches("*?*?*?*?*?*?*?*?*?*?*?*?*?*?*?*?*?*?*?*?*c", many_a));
    EXPECT_TRUE(mask_matches("*?*?*?*?*?*?*?*?*?*?*?*?*?*?*?*?*?*?*?*?", many_a));
}

TEST(MaskMatches, AnyOfSeveral) {
    const strings masks = split_masks("*.jpg; *.jpeg");
    EXPECT_TRUE(matches_any(masks, "photo.jpg"));
    EXPECT_TRUE(matches_any(masks, "PHOTO.JPG"));
    EXPECT_TRUE(matches_any(masks, "photo.jpeg"));
    EXPECT_FALSE(matches_any(masks, "photo.jpe"));
    EXPECT_FALSE(matches_any(masks, "photo.jpgx"));
    EXPECT_FALSE(matches_any({}, "photo.jpg"));
    EXPECT_FALSE(matches_any({""}, "photo.jpg"));
}

// ---- the walk over a made-up listing ----

struct FakeDir {
    OpenOutcome outcome = OpenOutcome::Ok;
    std::vector<DirEntry> entries;
    bool read_fails = false;  // reading fails after the entries
};

DirEntry file(std::string name, bool hidden = false, bool system = false) {
    return {std::move(name), false, hidden, system};
}
DirEntry dir(std::string name, bool hidden = false, bool system = false) {
    return {std::move(name), true, hidden, system};
}
// Every directory lists "." and ".." first, as file systems do.
std::vector<DirEntry> with_dots(std::vector<DirEntry> entries) {
    entries.insert(entries.begin(), {dir(".", true), dir("..", true)});
    return entries;
}

class FakeEntries final : public files::DirectoryEntries {
  public:
    explicit FakeEntries(const FakeDir& d) : dir_(d) {}
    OpenOutcome outcome() const noexcept override { return dir_.outcome; }
    bool next(DirEntry& entry) override {
        if (dir_.outcome != OpenOutcome::Ok || at_ >= dir_.entries.size()) {
            failed_ = dir_.outcome == OpenOutcome::Ok && dir_.read_fails;
            return false;
        }
        entry = dir_.entries[at_++];
        return true;
    }
    bool read_failed() const noexcept override { return failed_; }

  private:
    const FakeDir& dir_;
    std::size_t at_ = 0;
    bool failed_ = false;
};

// A tree of made-up directories, keyed by the path the walk opens (ending
// with "/"); a path not in it is not found.
struct FakeTree {
    std::map<std::string, FakeDir> dirs;
    strings opened;
    FakeDir missing{OpenOutcome::NotFound, {}, false};

    OpenDirectory opener() {
        return [this](const std::string& path) -> std::unique_ptr<files::DirectoryEntries> {
            opened.push_back(path);
            auto it = dirs.find(path);
            return std::make_unique<FakeEntries>(it == dirs.end() ? missing : it->second);
        };
    }
};

// What the callbacks saw, in order.
struct Log {
    strings events;
    strings found;
    int progress_calls = 0;
    int stop_at = -1;  // the progress call (from 1) that asks to stop

    SearchCallbacks callbacks() {
        SearchCallbacks c;
        c.begin_dir = [this](const std::string& d) { events.push_back("dir " + d); };
        c.found = [this](const std::string& p) {
            events.push_back("found " + p);
            found.push_back(p);
        };
        c.progress = [this] { return ++progress_calls != stop_at; };
        return c;
    }
};

// The example tree: the root lists r1.bmp, s1 (holding a.bmp), r2.bmp, s2
// (holding b.bmp), in that order.
FakeTree example_tree() {
    FakeTree tree;
    tree.dirs["/r/"] = {OpenOutcome::Ok,
                        with_dots({file("r1.bmp"), dir("s1"), file("r2.bmp"), dir("s2")})};
    tree.dirs["/r/s1/"] = {OpenOutcome::Ok, with_dots({file("a.bmp")})};
    tree.dirs["/r/s2/"] = {OpenOutcome::Ok, with_dots({file("b.bmp")})};
    return tree;
}

TEST(SearchWalk, OwnFilesBeforeSubdirectoriesInTheOrderMet) {
    FakeTree tree = example_tree();
    Log log;
    EXPECT_EQ(search_directory("/r", {"*.bmp"}, true, log.callbacks(), tree.opener()),
              SearchEnd::Done);
    EXPECT_EQ(log.events, (strings{"dir /r", "found /r/r1.bmp", "found /r/r2.bmp", "dir /r/s1",
                                   "found /r/s1/a.bmp", "dir /r/s2", "found /r/s2/b.bmp"}));
    EXPECT_EQ(tree.opened, (strings{"/r/", "/r/s1/", "/r/s2/"}));
    // One progress call before each entry, dots included.
    EXPECT_EQ(log.progress_calls, 6 + 3 + 3);
}

TEST(SearchWalk, WithoutSubdirectoriesOnlyTheRootsFiles) {
    FakeTree tree = example_tree();
    Log log;
    EXPECT_EQ(search_directory("/r", {"*.bmp"}, false, log.callbacks(), tree.opener()),
              SearchEnd::Done);
    EXPECT_EQ(log.events, (strings{"dir /r", "found /r/r1.bmp", "found /r/r2.bmp"}));
    EXPECT_EQ(tree.opened, (strings{"/r/"}));
}

TEST(SearchWalk, DepthFirst) {
    FakeTree tree;
    tree.dirs["/r/"] = {OpenOutcome::Ok, with_dots({dir("a"), file("1.bmp"), dir("b")})};
    tree.dirs["/r/a/"] = {OpenOutcome::Ok, with_dots({dir("deep"), file("2.bmp")})};
    tree.dirs["/r/a/deep/"] = {OpenOutcome::Ok, with_dots({file("3.bmp"), dir("deeper")})};
    tree.dirs["/r/a/deep/deeper/"] = {OpenOutcome::Ok, with_dots({file("4.bmp")})};
    tree.dirs["/r/b/"] = {OpenOutcome::Ok, with_dots({file("5.bmp"), dir("c")})};
    tree.dirs["/r/b/c/"] = {OpenOutcome::Ok, with_dots({file("6.bmp")})};
    Log log;
    EXPECT_EQ(search_directory("/r/", {"*.bmp"}, true, log.callbacks(), tree.opener()),
              SearchEnd::Done);
    EXPECT_EQ(log.found, (strings{"/r/1.bmp", "/r/a/2.bmp", "/r/a/deep/3.bmp",
                                  "/r/a/deep/deeper/4.bmp", "/r/b/5.bmp", "/r/b/c/6.bmp"}));
    EXPECT_EQ(tree.opened,
              (strings{"/r/", "/r/a/", "/r/a/deep/", "/r/a/deep/deeper/", "/r/b/", "/r/b/c/"}));
}

TEST(SearchWalk, RootTextIsUsedAsGiven) {
    const std::pair<const char*, strings> table[] = {
        {"/r", {"dir /r", "found /r/x.bmp"}},
        {"/r/", {"dir /r", "found /r/x.bmp"}},
        {"/", {"dir ", "found /x.bmp"}},
        {"rel", {"dir rel", "found rel/x.bmp"}},
    };
    for (const auto& [root, events] : table) {
        FakeTree tree;
        const std::string key = std::string(root) + (std::string(root).ends_with('/') ? "" : "/");
        tree.dirs[key] = {OpenOutcome::Ok, with_dots({file("x.bmp"), file("y.txt")})};
        Log log;
        EXPECT_EQ(search_directory(root, {"*.bmp"}, true, log.callbacks(), tree.opener()),
                  SearchEnd::Done);
        EXPECT_EQ(log.events, events) << root;
    }
}

TEST(SearchWalk, MasksAndNames) {
    FakeTree tree;
    tree.dirs["/r/"] = {
        OpenOutcome::Ok,
        with_dots({file("photo.jpg"), file("PHOTO.JPG"), file("photo.jpeg"), file("photo.jpe"),
                   file("photo.jpgx"), file("a.b.jpg"), dir("dir.jpg")})};
    Log log;
    search_directory("/r", split_masks("*.jpg; *.jpeg"), false, log.callbacks(), tree.opener());
    // A directory is never reported, whatever its name.
    EXPECT_EQ(log.found, (strings{"/r/photo.jpg", "/r/PHOTO.JPG", "/r/photo.jpeg", "/r/a.b.jpg"}));
}

TEST(SearchWalk, HiddenAndSystemTogetherArePassedOver) {
    FakeTree tree;
    tree.dirs["/r/"] = {OpenOutcome::Ok,
                        with_dots({file("hs.bmp", true, true), file("h.bmp", true, false),
                                   file("s.bmp", false, true), dir("hsdir", true, true),
                                   dir("hdir", true, false), dir("sdir", false, true)})};
    for (const char* sub : {"/r/hsdir/", "/r/hdir/", "/r/sdir/"})
        tree.dirs[sub] = {OpenOutcome::Ok, with_dots({file("in.bmp")})};
    Log log;
    EXPECT_EQ(search_directory("/r", {"*.bmp"}, true, log.callbacks(), tree.opener()),
              SearchEnd::Done);
    EXPECT_EQ(log.found, (strings{"/r/h.bmp", "/r/s.bmp", "/r/hdir/in.bmp", "/r/sdir/in.bmp"}));
    EXPECT_EQ(tree.opened, (strings{"/r/", "/r/hdir/", "/r/sdir/"}));
}

TEST(SearchWalk, DirectoriesNotFoundOrDeniedAreEmpty) {
    for (OpenOutcome outcome : {OpenOutcome::NotFound, OpenOutcome::AccessDenied}) {
        FakeTree tree = example_tree();
        tree.dirs["/r/s1/"].outcome = outcome;
        Log log;
        EXPECT_EQ(search_directory("/r", {"*.bmp"}, true, log.callbacks(), tree.opener()),
                  SearchEnd::Done);
        EXPECT_EQ(log.found, (strings{"/r/r1.bmp", "/r/r2.bmp", "/r/s2/b.bmp"}));
    }
}

TEST(SearchWalk, OtherFailureToOpenEndsTheWholeSearch) {
    FakeTree tree = example_tree();
    tree.dirs["/r/s1/"].outcome = OpenOutcome::OtherError;
    Log log;
    EXPECT_EQ(search_directory("/r", {"*.bmp"}, true, log.callbacks(), tree.opener()),
              SearchEnd::Failed);
    // What was found stays; s2 is never visited.
    EXPECT_EQ(log.found, (strings{"/r/r1.bmp", "/r/r2.bmp"}));
    EXPECT_EQ(tree.opened, (strings{"/r/", "/r/s1/"}));
}

TEST(SearchWalk, ReadFailureEndsTheWholeSearch) {
    FakeTree tree = example_tree();
    tree.dirs["/r/"].read_fails = true;
    Log log;
    EXPECT_EQ(search_directory("/r", {"*.bmp"}, true, log.callbacks(), tree.opener()),
              SearchEnd::Failed);
    // The entries read before the failure count; no subdirectory is visited.
    EXPECT_EQ(log.found, (strings{"/r/r1.bmp", "/r/r2.bmp"}));
    EXPECT_EQ(tree.opened, (strings{"/r/"}));

    FakeTree deeper = example_tree();
    deeper.dirs["/r/s1/"].read_fails = true;
    Log log2;
    EXPECT_EQ(search_directory("/r", {"*.bmp"}, true, log2.callbacks(), deeper.opener()),
              SearchEnd::Failed);
    EXPECT_EQ(log2.found, (strings{"/r/r1.bmp", "/r/r2.bmp", "/r/s1/a.bmp"}));
}

TEST(SearchWalk, RootThatCannotBeListed) {
    const std::pair<OpenOutcome, SearchEnd> table[] = {
        {OpenOutcome::NotFound, SearchEnd::Done},
        {OpenOutcome::AccessDenied, SearchEnd::Done},
        {OpenOutcome::OtherError, SearchEnd::Failed},
    };
    for (auto [outcome, end] : table) {
        FakeTree tree = example_tree();
        tree.dirs["/r/"].outcome = outcome;
        Log log;
        EXPECT_EQ(search_directory("/r", {"*.bmp"}, true, log.callbacks(), tree.opener()), end);
        EXPECT_EQ(log.events, (strings{"dir /r"}));
        EXPECT_EQ(log.progress_calls, 0);
    }
}

TEST(SearchWalk, ProgressCanStopBeforeAnyEntry) {
    // Stopping at the n-th progress call keeps exactly what was found before.
    const std::pair<int, strings> table[] = {
        {1, {}},
        {3, {}},  // "." and ".." looked at, r1.bmp not yet
        {4, {"/r/r1.bmp"}},
        {7, {"/r/r1.bmp", "/r/r2.bmp"}},  // the first entry of s1
        {10, {"/r/r1.bmp", "/r/r2.bmp", "/r/s1/a.bmp"}},
        {12, {"/r/r1.bmp", "/r/r2.bmp", "/r/s1/a.bmp"}},  // the last entry, b.bmp
    };
    for (const auto& [stop_at, found] : table) {
        FakeTree tree = example_tree();
        Log log;
        log.stop_at = stop_at;
        EXPECT_EQ(search_directory("/r", {"*.bmp"}, true, log.callbacks(), tree.opener()),
                  SearchEnd::Cancelled)
            << stop_at;
        EXPECT_EQ(log.found, found) << stop_at;
        EXPECT_EQ(log.progress_calls, stop_at);
    }
}

TEST(SearchWalk, CallbacksMayBeLeftOut) {
    FakeTree tree = example_tree();
    EXPECT_EQ(search_directory("/r", {"*.bmp"}, true, {}, tree.opener()), SearchEnd::Done);
    EXPECT_EQ(tree.opened.size(), 3u);
    strings found;
    SearchCallbacks only_found;
    only_found.found = [&](const std::string& p) { found.push_back(p); };
    search_directory("/r", {"*.bmp"}, true, only_found, tree.opener());
    EXPECT_EQ(found.size(), 4u);
}

TEST(SearchWalk, AnOpenerThatGivesNothingEndsTheSearch) {
    Log log;
    OpenDirectory nothing = [](const std::string&) {
        return std::unique_ptr<files::DirectoryEntries>();
    };
    EXPECT_EQ(search_directory("/r", {"*.bmp"}, true, log.callbacks(), nothing), SearchEnd::Failed);
}

// ---- the walk over the file system ----

void touch(const fs::path& p) {
    std::ofstream(p).put('x');
}

// Goes back to the working directory it found when it ends.
class KeepWorkingDirectory {
  public:
    KeepWorkingDirectory() : start_(fs::current_path()) {}
    ~KeepWorkingDirectory() {
        std::error_code ec;
        fs::current_path(start_, ec);
    }
    KeepWorkingDirectory(const KeepWorkingDirectory&) = delete;
    KeepWorkingDirectory& operator=(const KeepWorkingDirectory&) = delete;

  private:
    fs::path start_;
};

strings search(const std::string& root, const strings& masks, bool subdirectories,
               SearchEnd* end = nullptr) {
    strings found;
    SearchCallbacks c;
    c.found = [&](const std::string& p) { found.push_back(p); };
    SearchEnd e = search_directory(root, masks, subdirectories, c);
    if (end)
        *end = e;
    return found;
}

// Each folder's files in name order (letters compared without regard to
// case), then its subfolders in name order, each finished before the next.
TEST(SearchFileSystem, EachFolderInNameOrder) {
    TempDir tmp;
    const fs::path root = tmp.path();
    for (const char* folder : {"s2/deep", "S10", "a_dir", ".hidden_dir"})
        fs::create_directories(root / folder);
    for (const char* file :
         {"s2/deep/z.bmp", "b.bmp", "a_dir/w.bmp", "r2.bmp", "S10/y.bmp", "_c.bmp", "A.BMP",
          "s2/x.bmp", "notes.txt", ".hidden.bmp", "a_dir/V.bmp", "r10.bmp", ".hidden_dir/in.bmp"})
        touch(root / file);

    const strings own = {".hidden.bmp", "A.BMP", "b.bmp", "r10.bmp", "r2.bmp", "_c.bmp"};
    const strings below = {".hidden_dir/in.bmp", "a_dir/V.bmp", "a_dir/w.bmp",
                           "S10/y.bmp",          "s2/x.bmp",    "s2/deep/z.bmp"};
    for (bool subdirectories : {true, false}) {
        SCOPED_TRACE(subdirectories);
        strings expected;
        for (const std::string& name : own)
            expected.push_back((root / name).string());
        if (subdirectories) {
            for (const std::string& name : below)
                expected.push_back((root / name).string());
        }
        SearchEnd end{};
        EXPECT_EQ(search(root.string(), {"*.bmp"}, subdirectories, &end), expected);
        EXPECT_EQ(end, SearchEnd::Done);
    }
}

TEST(SearchFileSystem, MissingRootOrFileGivesNothing) {
    TempDir tmp;
    const std::string file = tmp.write("a.bmp", "x");
    for (const std::string& root : {tmp.file("missing"), file, std::string()}) {
        SearchEnd end{};
        EXPECT_TRUE(search(root, {"*.bmp"}, true, &end).empty()) << root;
        EXPECT_EQ(end, SearchEnd::Done);
    }
}

TEST(SearchFileSystem, SymbolicLinkCycleIsNotFollowed) {
    TempDir tmp;
    const fs::path root = tmp.path();
    fs::create_directories(root / "a" / "b");
    touch(root / "top.bmp");
    touch(root / "a" / "mid.bmp");
    touch(root / "a" / "b" / "low.bmp");
    fs::create_directory_symlink(root, root / "a" / "b" / "up");
    fs::create_directory_symlink(root / "a", root / "a" / "self");
    SearchEnd end{};
    strings found = search(root.string(), {"*.bmp"}, true, &end);
    EXPECT_EQ(end, SearchEnd::Done);
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (strings{(root / "a" / "b" / "low.bmp").string(),
                              (root / "a" / "mid.bmp").string(), (root / "top.bmp").string()}));
}

// Only what can be read as a file is listed: a pipe, a link to a folder and
// a dangling link are not, a link to a regular file is.
TEST(SearchFileSystem, OnlyRegularFilesAndLinksToThemAreFound) {
    TempDir tmp;
    const fs::path root = tmp.path();
    fs::create_directories(root / "sub.bmp");
    touch(root / "real.bmp");
    fs::create_symlink(root / "real.bmp", root / "link.bmp");
    fs::create_directory_symlink(root / "sub.bmp", root / "folder-link.bmp");
    fs::create_symlink(root / "nowhere.bmp", root / "dangling.bmp");
    ASSERT_EQ(::mkfifo((root / "pipe.bmp").c_str(), 0600), 0);
    strings found = search(root.string(), {"*.bmp"}, true);
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (strings{(root / "link.bmp").string(), (root / "real.bmp").string()}));
}

TEST(SearchFileSystem, UnreadableFolderIsPassedOver) {
    TempDir tmp;
    const fs::path root = tmp.path();
    fs::create_directories(root / "locked");
    fs::create_directories(root / "open");
    touch(root / "locked" / "secret.bmp");
    touch(root / "open" / "free.bmp");
    touch(root / "top.bmp");
    const std::string locked = (root / "locked").string();
    ::chmod(locked.c_str(), 0);
    const auto seen = testing::as_ordinary_user(root, [&] {
        SearchEnd end{};
        strings found = search(root.string(), {"*.bmp"}, true, &end);
        std::sort(found.begin(), found.end());
        std::string text = end == SearchEnd::Done ? "done" : "not done";
        for (const auto& f : found)
            text += "\n" + f;
        return text;
    });
    ::chmod(locked.c_str(), 0700);
    if (!seen)
        GTEST_SKIP() << "no process without privileges could run here";
    EXPECT_EQ(*seen, "done\n" + (root / "open" / "free.bmp").string() + "\n" +
                         (root / "top.bmp").string());
}

TEST(SearchFileSystem, PathTooLongEndsTheSearch) {
    // A chain of folders deeper than a path may be long: the search takes the
    // files above the limit and then ends.
    TempDir tmp;
    const std::string name(200, 'd');
    fs::path deep = tmp.path();
    touch(deep / "top.bmp");
    KeepWorkingDirectory keep;
    // Build the chain relative to each folder, as absolute paths would get
    // too long to create.
    constexpr int kLevels = 30;
    int made = 0;
    ASSERT_EQ(::chdir(tmp.path().c_str()), 0);
    for (; made < kLevels && ::mkdir(name.c_str(), 0700) == 0; ++made)
        ASSERT_EQ(::chdir(name.c_str()), 0);
    std::ofstream("low.bmp").put('x');
    ASSERT_EQ(made, kLevels);

    SearchEnd end{};
    strings found = search(tmp.path().string(), {"*.bmp"}, true, &end);
    EXPECT_EQ(end, SearchEnd::Failed);
    EXPECT_EQ(found, (strings{(tmp.path() / "top.bmp").string()}));

    // The temporary folder cannot remove what it cannot name: take the chain
    // apart from the inside.
    ::unlink("low.bmp");
    for (int i = 0; i < made; ++i) {
        ASSERT_EQ(::chdir(".."), 0);
        ASSERT_EQ(::rmdir(name.c_str()), 0);
    }
}

}  // namespace
}  // namespace quillora
