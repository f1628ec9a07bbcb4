#include "platform/folders_below.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "support/temp_dir.h"

namespace quillora::files {
namespace {

using testing::TempDir;

// Folders are made inside the base and nowhere else: nothing below the base
// is followed, whatever stands in the way.
TEST(FoldersBelow, MadeInsideTheBaseOnly) {
    TempDir dir;
    std::filesystem::create_directories(dir.file("out/there"));
    std::filesystem::create_directory(dir.file("elsewhere"));
    std::filesystem::create_directory_symlink(dir.file("elsewhere"), dir.file("out/link"));
    std::filesystem::create_directory_symlink(dir.file("out"), dir.file("out-link"));
    dir.write("out/file", "x");
    struct Case {
        std::string base, relative;
        int result;
        std::string made;  // a folder that is there afterwards
    } cases[] = {
        {dir.file("out"), "a/b/c", 0, "out/a/b/c"}, {dir.file("out"), "there/d/", 0, "out/there/d"},
        {dir.file("out"), "e//f", 0, "out/e/f"},    {dir.file("out"), "", 0, "out"},
        {dir.file("out-link"), "g", 0, "out/g"},  // the base itself may be a link
        {dir.file("out"), "link/h", ENOTDIR, ""},   {dir.file("out"), "file/i", ENOTDIR, ""},
        {dir.file("out"), "../j", EINVAL, ""},      {dir.file("out"), "k/./l", EINVAL, ""},
        {dir.file("missing"), "m", ENOENT, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.base + " + " + c.relative);
        EXPECT_EQ(make_folders_below(c.base, c.relative), c.result);
        if (!c.made.empty()) {
            EXPECT_TRUE(std::filesystem::is_directory(dir.file(c.made)));
        }
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir.file("elsewhere")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("j")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("missing")));
}

}  // namespace
}  // namespace quillora::files
