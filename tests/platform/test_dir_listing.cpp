// Listing one directory: entries in name order, their kinds, and how opening
// and reading fail.
#include "platform/dir_listing.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "support/ordinary_user.h"
#include "support/temp_dir.h"

namespace quillora::files {
namespace {

namespace fs = std::filesystem;
using quillora::testing::TempDir;

std::vector<DirEntry> list_all(const std::string& path, bool* read_failed = nullptr) {
    DirListing listing(path);
    EXPECT_EQ(listing.outcome(), OpenOutcome::Ok) << path;
    std::vector<DirEntry> entries;
    DirEntry entry;
    while (listing.next(entry))
        entries.push_back(entry);
    if (read_failed)
        *read_failed = listing.read_failed();
    return entries;
}

std::map<std::string, DirEntry> by_name(const std::vector<DirEntry>& entries) {
    std::map<std::string, DirEntry> map;
    for (const DirEntry& e : entries)
        EXPECT_TRUE(map.emplace(e.name, e).second) << "listed twice: " << e.name;
    return map;
}

TEST(DirListing, ReportsEveryEntryWithItsKind) {
    TempDir dir;
    dir.write("a.bmp", "x");
    dir.write(".hidden.bmp", "x");
    dir.write("\xff\xfe name.BMP", "x");  // not UTF-8: bytes as they are
    fs::create_directory(dir.file("sub"));
    fs::create_directory(dir.file(".hidden_dir"));
    fs::create_directory_symlink(dir.path(), dir.file("loop"));
    fs::create_symlink(dir.file("a.bmp"), dir.file("link.bmp"));
    fs::create_symlink(dir.file("gone"), dir.file("dangling"));

    bool read_failed = true;
    auto entries = by_name(list_all(dir.path().string(), &read_failed));
    EXPECT_FALSE(read_failed);

    struct Expected {
        const char* name;
        bool directory;
        bool hidden;
    };
    const Expected table[] = {
        {".", true, true},
        {"..", true, true},
        {"a.bmp", false, false},
        {".hidden.bmp", false, true},
        {"\xff\xfe name.BMP", false, false},
        {"sub", true, false},
        {".hidden_dir", true, true},
        // Links are never directories, whatever they point to.
        {"loop", false, false},
        {"link.bmp", false, false},
        {"dangling", false, false},
    };
    EXPECT_EQ(entries.size(), std::size(table));
    for (const Expected& e : table) {
        SCOPED_TRACE(e.name);
        auto it = entries.find(e.name);
        ASSERT_NE(it, entries.end());
        EXPECT_EQ(it->second.directory, e.directory);
        EXPECT_EQ(it->second.hidden, e.hidden);
        EXPECT_FALSE(it->second.system);
    }
}

TEST(DirListing, NameOrder) {
    // Each pair in order: the first is listed before the second.
    const std::pair<std::string_view, std::string_view> table[] = {
        {"a", "B"},
        {"B", "c"},
        {"a", "a.bmp"},  // a name that starts another comes first
        {"photo.jpeg", "PHOTO.JPG"},
        {"PHOTO.JPG", "photo.jpg"},  // the same but for case: bytes decide
        {"ABC", "AbC"},
        {"R10.bmp", "r2.bmp"},  // digits compare as characters, not as numbers
        // Letters are compared upper-cased, so signs between the capitals and
        // the small letters come after every letter.
        {"Z.bmp", "[x].bmp"},
        {"z.bmp", "[x].bmp"},
        {"a.bmp", "_a.bmp"},
        {" lead", "."},
        {".", ".."},
        {"..", ".hidden"},
        // Bytes past ASCII are unsigned and not folded.
        {"~", "\x80"},
        {"\xC3\x89.bmp", "\xC3\xA9.bmp"},
        {"\xE9", "\xFF"},
    };
    for (auto [first, second] : table) {
        SCOPED_TRACE(std::string(first) + " | " + std::string(second));
        EXPECT_TRUE(listed_before(first, second));
        EXPECT_FALSE(listed_before(second, first));
        EXPECT_FALSE(listed_before(first, first));
    }
}

std::vector<std::string> names_listed(const std::string& path) {
    std::vector<std::string> names;
    for (const DirEntry& e : list_all(path))
        names.push_back(e.name);
    return names;
}

TEST(DirListing, ListsInNameOrder) {
    TempDir dir;
    // Made in an order that is neither the listed one nor its reverse. The
    // long names differ only after their sixteenth byte.
    for (const char* name :
         {"r2.bmp", "PHOTO.JPG", "_a.bmp", "a", "\xC3\xA9.bmp", "Z.bmp", "photo.jpg", " lead.bmp",
          "0123456789abcdef-b", "[x].bmp", "~.bmp", ".hidden", "a.bmp", "0123456789ABCDEF-a",
          "\xC3\x89.bmp", "photo.jpeg", "0123456789abcdef-a", "R10.bmp"})
        dir.write(name, "");
    fs::create_directory(dir.file("sub"));
    const std::vector<std::string> listed = {" lead.bmp",
                                             ".",
                                             "..",
                                             ".hidden",
                                             "0123456789ABCDEF-a",
                                             "0123456789abcdef-a",
                                             "0123456789abcdef-b",
                                             "a",
                                             "a.bmp",
                                             "photo.jpeg",
                                             "PHOTO.JPG",
                                             "photo.jpg",
                                             "R10.bmp",
                                             "r2.bmp",
                                             "sub",
                                             "Z.bmp",
                                             "[x].bmp",
                                             "_a.bmp",
                                             "~.bmp",
                                             "\xC3\x89.bmp",
                                             "\xC3\xA9.bmp"};
    EXPECT_EQ(names_listed(dir.path().string()), listed);

    // Many names, every one once and in order.
    TempDir many;
    std::vector<std::string> expected = {".", ".."};
    for (int i = 0; i < 3000; ++i) {
        const std::string name = "f" + std::to_string(i * 7919 % 3000) + ".bmp";
        many.write(name, "");
        expected.push_back(name);
    }
    // Digits and "." come before letters, and the letters are all small:
    // plain byte order is the listed order here.
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names_listed(many.path().string()), expected);
}

TEST(DirListing, EndStaysTheEnd) {
    TempDir dir;
    DirListing listing(dir.path().string());
    DirEntry entry;
    int count = 0;
    while (listing.next(entry))
        ++count;
    EXPECT_EQ(count, 2);  // "." and ".."
    EXPECT_FALSE(listing.next(entry));
    EXPECT_FALSE(listing.read_failed());
    EXPECT_EQ(listing.read_error(), 0);
}

TEST(DirListing, ClassifiesOpenErrors) {
    const std::pair<int, OpenOutcome> table[] = {
        {0, OpenOutcome::Ok},
        {ENOENT, OpenOutcome::NotFound},
        {ENOTDIR, OpenOutcome::NotFound},
        {EACCES, OpenOutcome::AccessDenied},
        {EPERM, OpenOutcome::AccessDenied},
        {ENAMETOOLONG, OpenOutcome::OtherError},
        {EIO, OpenOutcome::OtherError},
        {ELOOP, OpenOutcome::OtherError},
        {EMFILE, OpenOutcome::OtherError},
        {ENOMEM, OpenOutcome::OtherError},
    };
    for (auto [err, outcome] : table)
        EXPECT_EQ(classify_open_error(err), outcome) << err;
}

TEST(DirListing, OpeningFailures) {
    TempDir dir;
    std::string file = dir.write("a.bmp", "x");
    struct Case {
        std::string path;
        OpenOutcome outcome;
        int err;
    };
    const Case table[] = {
        {dir.file("missing"), OpenOutcome::NotFound, ENOENT},
        {"", OpenOutcome::NotFound, ENOENT},
        {file, OpenOutcome::NotFound, ENOTDIR},
        {file + "/x", OpenOutcome::NotFound, ENOTDIR},
        {dir.path().string() + "/" + std::string(5000, 'x'), OpenOutcome::OtherError, ENAMETOOLONG},
    };
    for (const Case& c : table) {
        SCOPED_TRACE(c.path.substr(0, 80));
        DirListing listing(c.path);
        EXPECT_EQ(listing.outcome(), c.outcome);
        EXPECT_EQ(listing.open_error(), c.err);
        DirEntry entry;
        EXPECT_FALSE(listing.next(entry));
        EXPECT_FALSE(listing.read_failed());
    }
}

TEST(DirListing, UnreadableDirectoryIsAccessDenied) {
    TempDir dir;
    std::string locked = dir.file("locked");
    fs::create_directory(locked);
    ::chmod(locked.c_str(), 0);
    const auto seen = testing::as_ordinary_user(dir.path(), [&] {
        DirListing listing(locked);
        return std::to_string(static_cast<int>(listing.outcome())) + " " +
               std::to_string(listing.open_error());
    });
    ::chmod(locked.c_str(), 0700);
    if (!seen)
        GTEST_SKIP() << "no process without privileges could run here";
    EXPECT_EQ(*seen, std::to_string(static_cast<int>(OpenOutcome::AccessDenied)) + " " +
                         std::to_string(EACCES));
}

}  // namespace
}  // namespace quillora::files
