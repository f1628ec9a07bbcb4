// Whole-file reads with a limit, and the folders made on the way to a file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/files.h"
#include "support/failure_of.h"
#include "support/temp_dir.h"

namespace quillora::files {
namespace {

using quillora::testing::failure_of;
using quillora::testing::TempDir;

std::string bytes_of(std::size_t size) {
    std::string text(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        text[i] = static_cast<char>('a' + i % 26);
    return text;
}

// Sizes around the limit and past the read buffer's first growth step.
TEST(FileReads, WholeFilesUpToTheLimit) {
    struct Case {
        std::size_t size, limit;
        bool read;
    };
    const std::vector<Case> cases = {
        {0, 0, true},
        {1, 0, false},
        {10, 10, true},
        {11, 10, false},
        {70000, 70000, true},
        {70001, 70000, false},
        {200000, 1 << 20, true},
        {200000, 199999, false},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.size) + " bytes, limit " + std::to_string(c.limit));
        const std::string content = bytes_of(c.size);
        const std::string path = dir.write("f.txt", content);
        const auto bounded = read_bounded(path, c.limit);
        if (c.read) {
            ASSERT_TRUE(bounded.has_value());
            EXPECT_EQ(*bounded, content);
            EXPECT_EQ(read_all(path, c.limit), content);
        } else {
            EXPECT_FALSE(bounded.has_value());
            EXPECT_EQ(failure_of([&] { read_all(path, c.limit); }),
                      "Cannot open file \"" + path + "\". " + kTooLong);
        }
    }
}

TEST(FileReads, BoundedReadsTakeOnlyRegularFiles) {
    TempDir dir;
    const std::string file = dir.write("a.reg", "REGEDIT4\n");
    std::filesystem::create_symlink(file, dir.file("link.reg"));
    std::filesystem::create_directory(dir.file("folder.reg"));
    ASSERT_EQ(::mkfifo(dir.file("fifo.reg").c_str(), 0600), 0);  // never waited for
    EXPECT_EQ(read_bounded(dir.file("link.reg"), 100), "REGEDIT4\n");
    for (const std::string& path :
         {dir.file("missing.reg"), dir.file("folder.reg"), dir.file("fifo.reg"), std::string()})
        EXPECT_FALSE(read_bounded(path, 100).has_value()) << path;
    if (::geteuid() != 0) {  // permissions do not stop the superuser
        ASSERT_EQ(::chmod(file.c_str(), 0), 0);
        EXPECT_FALSE(read_bounded(file, 100).has_value());
    }
}

TEST(FileReads, ParentFoldersAreMadeOnTheWay) {
    TempDir dir;
    const std::string base = dir.path().string();
    dir.write("file", "x");
    std::filesystem::create_directory(dir.file("real"));
    std::filesystem::create_directory_symlink(dir.file("real"), dir.file("linked"));
    struct Case {
        std::string path;
        int result;
        std::string made;  // a folder that is there afterwards
    };
    const std::vector<Case> cases = {
        {base + "/a/b/c/Config.reg", 0, base + "/a/b/c"},
        {base + "/a/b/Config.reg", 0, base + "/a/b"},  // already there
        {base + "/linked/d/Config.reg", 0, base + "/real/d"},
        {base + "/e//Config.reg", 0, base + "/e"},
        {base + "/file/Config.reg", ENOTDIR, ""},
        {base + "/file/f/Config.reg", ENOTDIR, ""},
        {"Config.reg", 0, ""},  // no folder to make
    };
    for (const auto& c : cases) {
        EXPECT_EQ(make_parent_folders(c.path, 0700), c.result) << c.path;
        if (!c.made.empty()) {
            EXPECT_TRUE(std::filesystem::is_directory(c.made)) << c.made;
        }
    }
    EXPECT_FALSE(std::filesystem::exists(base + "/a/b/c/Config.reg"));
    struct stat st;
    ASSERT_EQ(::stat((base + "/a").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0077, 0u);  // for the user alone
}

}  // namespace
}  // namespace quillora::files
