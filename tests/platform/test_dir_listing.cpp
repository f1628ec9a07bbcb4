// Listing one directory: entries in the file system's order, their kinds, and
// how opening and reading fail.
#include "platform/dir_listing.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <map>
#include <string>
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

TEST(DirListing, KeepsTheFileSystemsOrder) {
    TempDir dir;
    // Enough names that a sorted listing would almost surely differ from the
    // order the file system keeps.
    for (int i = 0; i < 300; ++i)
        dir.write("f" + std::to_string(i * 7919 % 1000) + ".bmp", "");
    std::vector<std::string> reference;
    for (const auto& e : fs::directory_iterator(dir.path()))
        reference.push_back(e.path().filename().string());

    std::vector<std::string> names;
    for (const DirEntry& e : list_all(dir.path().string())) {
        if (e.name != "." && e.name != "..")
            names.push_back(e.name);
    }
    EXPECT_EQ(names, reference);
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
