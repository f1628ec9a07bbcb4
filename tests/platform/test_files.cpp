#include <gtest/gtest.h>
#include <sys/stat.h>

#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <functional>

#include "platform/error.h"
#include "platform/files.h"
#include "support/failure_of.h"
#include "support/temp_dir.h"

namespace quillora::files {
namespace {

using quillora::testing::read_bytes;
using quillora::testing::TempDir;

using quillora::testing::failure_of;

TEST(Files, ExistsForEntriesOfAnyKind) {
    TempDir dir;
    std::string file = dir.write("a.bmp", "x");
    std::filesystem::create_directory(dir.file("sub"));
    std::filesystem::create_symlink(dir.file("gone"), dir.file("dangling"));
    EXPECT_TRUE(exists(file));
    EXPECT_TRUE(exists(dir.file("sub")));
    EXPECT_TRUE(exists(dir.file("dangling")));
    EXPECT_FALSE(exists(dir.file("gone")));
    EXPECT_FALSE(exists(""));
}

TEST(Files, ReadFailuresNameThePath) {
    TempDir dir;
    std::string missing = dir.file("missing.bmp");
    EXPECT_EQ(failure_of([&] { read_file(missing); }),
              "Cannot open file \"" + missing + "\". No such file or directory");
    EXPECT_EQ(failure_of([&] { read_file(dir.path().string()); }),
              "Cannot open file \"" + dir.path().string() + "\". Is a directory");
}

TEST(Files, ReaderReadsAndSkipsWithinTheData) {
    const std::uint8_t data[] = {1, 2, 3, 4, 5};
    MemoryReader in(data, sizeof data);
    std::uint8_t buffer[8] = {};
    EXPECT_EQ(in.read(buffer, 2), 2u);
    EXPECT_EQ(in.skip(2), 2u);
    EXPECT_EQ(in.read(buffer, 8), 1u);
    EXPECT_EQ(buffer[0], 5);
    EXPECT_EQ(in.skip(9), 0u);
    EXPECT_EQ(in.remaining(), 0u);
}

TEST(Files, OutputAppearsOnlyWhenCommitted) {
    TempDir dir;
    std::string target = dir.write("out.jpg", "old");
    {
        OutputFile out(target);
        out.write("new!", 4);
        EXPECT_EQ(read_bytes(target), std::vector<std::uint8_t>({'o', 'l', 'd'}));
        // Abandoned: the old file stays and the temporary file goes.
    }
    EXPECT_EQ(read_bytes(target), std::vector<std::uint8_t>({'o', 'l', 'd'}));
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"out.jpg"});

    write_file(target, "new!", 4);
    EXPECT_EQ(read_bytes(target), std::vector<std::uint8_t>({'n', 'e', 'w', '!'}));
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"out.jpg"});
}

// Turns unnamed outputs off for as long as it lives, to reach the temporary
// names that file systems without O_TMPFILE get.
struct NamedTemporaries {
    NamedTemporaries() { OutputFile::allow_unnamed(false); }
    ~NamedTemporaries() { OutputFile::allow_unnamed(true); }
};

TEST(Files, UnnamedOutputIsInvisibleUntilCommitted) {
    TempDir dir;
    for (const bool existing : {false, true}) {
        const std::string target = dir.file("out.bmp");
        if (existing)
            dir.write("out.bmp", "old");
        OutputFile out(target);
        if (!out.unnamed())
            GTEST_SKIP() << "the file system of " << dir.path() << " has no unnamed files";
        out.write("new!", 4);
        EXPECT_EQ(dir.entries(),
                  existing ? std::vector<std::string>{"out.bmp"} : std::vector<std::string>{});
        out.commit();
        EXPECT_EQ(dir.entries(), std::vector<std::string>{"out.bmp"});
        EXPECT_EQ(read_bytes(target), std::vector<std::uint8_t>({'n', 'e', 'w', '!'}));
        std::filesystem::remove(target);
    }
}

TEST(Files, NamedTemporariesWorkAsWell) {
    NamedTemporaries named;
    TempDir dir;
    const std::string target = dir.write("out.jpg", "old");
    {
        OutputFile out(target);
        EXPECT_FALSE(out.unnamed());
        out.write("x", 1);
        EXPECT_EQ(dir.entries().size(), 2u);  // the target and the temporary file
    }
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"out.jpg"});
    write_file(target, "new!", 4);
    EXPECT_EQ(read_bytes(target), std::vector<std::uint8_t>({'n', 'e', 'w', '!'}));
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"out.jpg"});
}

// A process ended by a signal while it writes leaves nothing behind: unnamed
// files vanish whatever the signal (no handler is needed for them), named
// ones are removed on SIGINT and SIGTERM, which then end the process with 130
// and 143.
TEST(FilesDeathTest, AnInterruptedWriteLeavesNothing) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const struct {
        bool named;
        int signal;
        int status;  // -1: killed by the signal
    } cases[] = {
        {false, SIGKILL, -1}, {false, SIGTERM, -1}, {true, SIGINT, 130}, {true, SIGTERM, 143}};
    for (const auto& c : cases) {
        TempDir dir;
        if (!c.named && !OutputFile(dir.file("probe")).unnamed())
            continue;  // this file system has no unnamed files
        const std::string target = dir.file("out.bmp");
        auto write_and_signal = [&] {
            if (c.named)
                OutputFile::allow_unnamed(false);
            OutputFile out(target);
            std::vector<char> block(1 << 20, 'x');
            out.write(block.data(), block.size());
            std::raise(c.signal);
            ::_exit(1);
        };
        if (c.status < 0) {
            EXPECT_EXIT(write_and_signal(), ::testing::KilledBySignal(c.signal), "");
        } else {
            EXPECT_EXIT(write_and_signal(), ::testing::ExitedWithCode(c.status), "");
        }
        EXPECT_EQ(dir.entries(), std::vector<std::string>{}) << c.signal;
    }
}

TEST(Files, ReplacedOutputKeepsItsPermissions) {
    TempDir dir;
    std::string target = dir.write("out.bmp", "old");
    ::chmod(target.c_str(), 0640);
    write_file(target, "n", 1);
    struct stat st;
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST(Files, OutputFailures) {
    TempDir dir;
    std::string in_missing = dir.file("nowhere/out.jpg");
    EXPECT_EQ(failure_of([&] { write_file(in_missing, "x", 1); }),
              "Cannot create file \"" + in_missing + "\". No such file or directory");

    std::string read_only = dir.write("ro.jpg", "keep");
    ::chmod(read_only.c_str(), 0444);
    EXPECT_EQ(failure_of([&] { write_file(read_only, "x", 1); }),
              "Cannot create file \"" + read_only + "\". Permission denied");
    EXPECT_EQ(read_bytes(read_only), std::vector<std::uint8_t>({'k', 'e', 'e', 'p'}));

    std::filesystem::create_directory(dir.file("d.jpg"));
    EXPECT_EQ(failure_of([&] { write_file(dir.file("d.jpg"), "x", 1); }),
              "Cannot create file \"" + dir.file("d.jpg") + "\". Is a directory");

    std::string source = dir.write("photo.bmp", "only copy");
    EXPECT_EQ(failure_of([&] { write_file(dir.path().string() + "/./photo.bmp", "x", 1, source); }),
              "Cannot create file \"" + dir.path().string() +
                  "/./photo.bmp\". The output file is the source file");
    EXPECT_EQ(read_bytes(source).size(), 9u);
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"d.jpg", "photo.bmp", "ro.jpg"}));
}

TEST(Files, PlaceCodeIsEightUpperCaseHexDigits) {
    Error a("x");
    Error b("x");
    EXPECT_EQ(a.place_code().size(), 8u);
    EXPECT_EQ(a.place_code().find_first_not_of("0123456789ABCDEF"), std::string::npos);
    EXPECT_NE(a.place(), b.place());  // raised at different lines
}

}  // namespace
}  // namespace quillora::files
