#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <sstream>

#include "cli/convert_cli.h"
#include "filelist/list_file.h"
#include "imaging/bmp.h"
#include "imaging/jpeg.h"
#include "platform/display.h"
#include "support/fixtures.h"
#include "support/ordinary_user.h"
#include "support/temp_dir.h"

namespace quillora::cli {
namespace {

using testing::pattern_bitmap;
using testing::read_bytes;
using testing::TempDir;

struct CliRun {
    int status;
    std::string out, err;
};

CliRun convert(std::vector<std::string> args) {
    display::ScopedDisplay keep(32);  // the converter sets the depth it is given
    std::ostringstream out, err;
    int status = run(args, out, err);
    return {status, out.str(), err.str()};
}

TEST(ConvertCli, UsageErrors) {
    TempDir dir;
    std::string d = dir.path().string();
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"--mode", "bmp-jpg", "--output", d},  // no files
        {"--mode", "png-gif", "--output", d, "a"},
        {"--mode", "4", "--output", d, "a"},
        {"--output", d, "a"},
        {"--mode", "0", "a"},
        {"--mode", "0", "--output", "", "a"},
        {"--mode", "0", "--output", d, "--jobs", "0", "a"},
        {"--mode", "0", "--output", d, "--jobs", "two", "a"},
        {"--mode", "0", "--output", d, "--screen-depth", "15", "a"},
        {"--mode", "0", "--output", d, "--colour", "a"},
        {"--mode", "0", "--output"},
        {"--list", d + "/a.lai", "--mode", "0", "--output", d},
        {"--mode=1", "--list=" + d + "/a.lai", "--output", d},
        {"--list", d + "/a.lai", "--output", d, "a.bmp"},
        {"--list", d + "/a.lai"},
        {"--list", "", "--output", d},
        {"--output", d, "--list"},
    };
    for (const auto& args : bad) {
        CliRun r = convert(args);
        EXPECT_EQ(r.status, 2) << (args.empty() ? "" : args.back());
        EXPECT_NE(r.err.find("usage: quillora-convert --mode MODE --output DIR"),
                  std::string::npos);
        EXPECT_EQ(r.out, "");
    }
    CliRun help = convert({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: quillora-convert", 0), 0u);
    EXPECT_EQ(help.err, "");
}

TEST(ConvertCli, ReportsEachFailureAndGoesOn) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("out"));
    write_bmp(pattern_bitmap(20, 10), dir.file("good.bmp"));
    std::string bad = dir.write("bad.bmp", "not a bitmap, really");
    std::string missing = dir.file("missing.bmp");
    CliRun r = convert(
        {"--mode", "bmp-jpg", "--output", dir.file("out"), bad, missing, dir.file("good.bmp")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "quillora-convert: " + bad + ": Bitmap image is not valid\n" +
                         "1 converted, 1 skipped, 1 failed\n");
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"bad.bmp", "good.bmp", "out"}));
    EXPECT_TRUE(files::exists(dir.file("out/good.jpg")));

    CliRun ok = convert({"--mode=0", "--output=" + dir.file("out"), missing, dir.file("good.bmp")});
    EXPECT_EQ(ok.status, 0);
    EXPECT_EQ(ok.err, "1 converted, 1 skipped, 0 failed\n");
}

TEST(ConvertCli, AFileNameCannotForgeAFailureLine) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("out"));
    const std::string evil = dir.file("evil\nquillora-convert: fake.ico: injected.ico");
    const std::string tabbed = dir.file("back\\slash\tand tab.ico");
    CliRun r = convert({"--mode", "ico-bmp", "--output", dir.file("out"), evil, tabbed});
    EXPECT_EQ(r.status, 1);
    const std::string folder = dir.path().string();
    EXPECT_EQ(r.err,
              "quillora-convert: " + folder +
                  "/evil\\nquillora-convert: fake.ico: injected.ico: Cannot open file \"" + folder +
                  "/evil quillora-convert: fake.ico: injected.ico\". No such file or directory\n"
                  "quillora-convert: " +
                  folder + "/back\\\\slash\\tand tab.ico: Cannot open file \"" + tabbed +
                  "\". No such file or directory\n"
                  "0 converted, 0 skipped, 2 failed\n");

    // The list file's name too.
    CliRun list = convert({"--list", dir.file("a\rb.lai"), "--output", dir.file("out")});
    EXPECT_EQ(list.err.rfind("quillora-convert: " + folder + "/a\\rb.lai: ", 0), 0u) << list.err;
    EXPECT_EQ(list.err.find('\r'), std::string::npos) << list.err;
}

TEST(ConvertCli, JobsGiveTheSameBytesAsOneAtATime) {
    TempDir dir;
    std::vector<std::string> sources;
    for (int i = 0; i < 12; ++i) {
        // Three folders with the same names: later sources of a name win.
        std::string sub = dir.file("src" + std::to_string(i % 3));
        std::filesystem::create_directories(sub);
        std::string path = sub + "/p" + std::to_string(i / 3) + (i % 2 ? ".jpeg" : ".jpg");
        encode_jpeg(pattern_bitmap(40 + i, 30, 24, i), path);
        sources.push_back(path);
    }
    sources.push_back(dir.write("broken.jpg", "not a jpeg"));
    auto outputs = [&](const std::string& jobs, int depth) {
        std::string out = dir.file("out" + jobs + "-" + std::to_string(depth));
        std::filesystem::create_directory(out);
        std::vector<std::string> args = {
            "--mode", "jpg-bmp", "--output",       out,
            "--jobs", jobs,      "--screen-depth", std::to_string(depth)};
        args.insert(args.end(), sources.begin(), sources.end());
        CliRun r = convert(args);
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find("quillora-convert: " + sources.back() + ": JPEG error #53\n"),
                  std::string::npos);
        EXPECT_TRUE(
            r.err.ends_with("12 converted, 0 skipped, 1 failed, 8 saved under a numbered name\n"))
            << r.err;
        return testing::files_in(out);
    };
    for (int depth : {32, 8}) {
        auto one = outputs("1", depth);
        EXPECT_EQ(one.size(), 12u);  // p0..p3, each three times
        EXPECT_EQ(outputs("4", depth), one);
        // The third source named p3 in the list is src2/p3.jpeg.
        display::ScopedDisplay keep(depth);
        JpegPicture last = JpegPicture::read(sources[11]);
        Bitmap expected = create_screen_bitmap(last.width(), last.height());
        last.draw(expected);
        EXPECT_EQ(read_bmp(dir.file("out1-" + std::to_string(depth)) + "/p3 (3).bmp").width(),
                  expected.width());
    }
}

// A name an earlier file of the run has is numbered, and said so: no output
// replaces another of the same run. Shards of the list give the same names.
TEST(ConvertCli, OneNameFromTwoFoldersIsNumbered) {
    TempDir dir;
    for (const char* folder : {"ferias", "natal", "one", "shards"})
        std::filesystem::create_directory(dir.file(folder));
    const std::vector<std::string> sources = {
        dir.file("ferias/IMG_0001.jpg"), dir.file("natal/IMG_0001.jpg"),
        dir.file("ferias/foto.jpg"), dir.file("ferias/foto.jpeg")};
    for (std::size_t i = 0; i < sources.size(); ++i)
        encode_jpeg(pattern_bitmap(10 + static_cast<int>(i), 8), sources[i]);
    std::vector<std::string> args = {"--mode", "jpg-bmp", "--output", dir.file("one")};
    args.insert(args.end(), sources.begin(), sources.end());
    const CliRun r = convert(args);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "quillora-convert: " + sources[1] +
                         ": saved as IMG_0001 (2).bmp\n"
                         "quillora-convert: " +
                         sources[3] +
                         ": saved as foto (2).bmp\n"
                         "4 converted, 0 skipped, 0 failed, 2 saved under a numbered name\n");
    const auto one = testing::files_in(dir.file("one"));
    EXPECT_EQ(one.size(), 4u);
    EXPECT_EQ(read_bmp(dir.file("one/IMG_0001 (2).bmp")).width(), 11);
    EXPECT_EQ(read_bmp(dir.file("one/foto (2).bmp")).width(), 13);

    // Each shard names the files it converts as the whole run does.
    auto saved_lines = [](const std::string& err) {
        std::multiset<std::string> lines;
        std::istringstream in(err);
        for (std::string line; std::getline(in, line);) {
            if (line.find(": saved as ") != std::string::npos)
                lines.insert(line);
        }
        return lines;
    };
    std::multiset<std::string> said;
    args[3] = dir.file("shards");
    for (const char* shard : {"0/3", "1/3", "2/3"}) {
        std::vector<std::string> share = args;
        share.insert(share.end(), {"--shard", shard});
        const CliRun part = convert(share);
        EXPECT_EQ(part.status, 0);
        said.merge(saved_lines(part.err));
    }
    EXPECT_EQ(said, saved_lines(r.err));
    EXPECT_EQ(testing::files_in(dir.file("shards")), one);
}

// --keep-folders puts each output in its source's folder below the deepest
// folder holding every source, making the folders; shards find that folder
// on the whole list, so each gives the tree one run gives.
TEST(ConvertCli, KeepFoldersGivesTheTreeBackInShardsToo) {
    TempDir dir;
    const std::vector<std::string> tree = {"a/x.bmp", "c/x.bmp", "a/b/y.bmp"};
    std::vector<std::string> sources;
    for (std::size_t i = 0; i < tree.size(); ++i) {
        sources.push_back(dir.file("fotos/" + tree[i]));
        std::filesystem::create_directories(std::filesystem::path(sources.back()).parent_path());
        write_bmp(pattern_bitmap(4 + static_cast<int>(i), 4), sources.back());
    }
    auto run_into = [&](const std::string& out, std::vector<std::string> extra) {
        std::filesystem::create_directory(dir.file(out));
        std::vector<std::string> args = {"--mode", "bmp-jpg", "--output", dir.file(out)};
        args.insert(args.end(), extra.begin(), extra.end());
        args.insert(args.end(), sources.begin(), sources.end());
        return convert(args);
    };
    const CliRun whole = run_into("one", {"--keep-folders"});
    EXPECT_EQ(whole.status, 0);
    EXPECT_EQ(whole.err, "3 converted, 0 skipped, 0 failed\n");
    const auto one = testing::tree_in(dir.file("one"));
    std::vector<std::string> names;
    for (const auto& [name, bytes] : one)
        names.push_back(name);
    EXPECT_EQ(names,
              (std::vector<std::string>{"a/", "a/b/", "a/b/y.jpg", "a/x.jpg", "c/", "c/x.jpg"}));
    for (const char* shard : {"0/3", "1/3", "2/3"})
        EXPECT_EQ(run_into("shards", {"--keep-folders", "--shard", shard}).status, 0);
    EXPECT_EQ(testing::tree_in(dir.file("shards")), one);

    // Without it, one folder and numbered names.
    EXPECT_EQ(run_into("flat", {}).status, 0);
    names.clear();
    for (const auto& [name, bytes] : testing::tree_in(dir.file("flat")))
        names.push_back(name);
    EXPECT_EQ(names, (std::vector<std::string>{"x (2).jpg", "x.jpg", "y.jpg"}));
}

TEST(ConvertCli, ListTakesTheModeAndTheFilesFromAListFile) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("out"));
    encode_jpeg(pattern_bitmap(20, 10), dir.file("b.jpg"));
    encode_jpeg(pattern_bitmap(8, 6, 24, 1), dir.file("a.jpeg"));
    const std::string broken = dir.write("broken.jpg", "not a jpeg");
    const std::string list = dir.file("fotos.lai");
    filelist::save_list_file(list, Mode::JpegToBmp,
                             std::vector<std::string>{dir.file("b.jpg"), dir.file("missing.jpg"),
                                                      broken, dir.file("a.jpeg")});
    CliRun r = convert({"--list", list, "--output", dir.file("out"), "--jobs", "1"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "quillora-convert: " + broken +
                         ": JPEG error #53\n"
                         "2 converted, 1 skipped, 1 failed\n");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(read_bmp(dir.file("out/b.bmp")).width(), 20);
    EXPECT_EQ(read_bmp(dir.file("out/a.bmp")).width(), 8);

    // The mode is the file's: the same sources listed for ICO to BMP fail as icons.
    filelist::save_list_file(list, Mode::IcoToBmp, std::vector<std::string>{dir.file("b.jpg")});
    r = convert({"--output=" + dir.file("out"), "--list=" + list});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "quillora-convert: " + dir.file("b.jpg") + ": Icon image is not valid\n" +
                         "0 converted, 0 skipped, 1 failed\n");

    // A list with no paths converts nothing, and that is no failure.
    dir.write("empty.lai", "[INFO]\r\nTipo=0\r\nInicio=4\r\nTermina=3\r\n");
    r = convert({"--list", dir.file("empty.lai"), "--output", dir.file("out")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "0 converted, 0 skipped, 0 failed\n");
}

TEST(ConvertCli, ARefusedOrDamagedListIsOneLineAndConvertsNothing) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("out"));
    write_bmp(pattern_bitmap(4, 4), dir.file("a.bmp"));
    const std::string a = dir.file("a.bmp");
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"bad-mode.lai",
         "O arquivo \"" + dir.file("bad-mode.lai") + "\" não é uma lista de imagens válida."},
        {"missing.lai", "O arquivo \"" + dir.file("missing.lai") + "\" não foi encontrado."},
        {"short.lai", "List index out of bounds (5)"},
    };
    dir.write("bad-mode.lai", "[INFO]\r\nTipo=7\r\nInicio=4\r\nTermina=4\r\n" + a + "\r\n");
    dir.write("short.lai", "[INFO]\r\nTipo=0\r\nInicio=4\r\nTermina=5\r\n" + a + "\r\n");
    for (const auto& [name, message] : cases) {
        CliRun r = convert({"--list", dir.file(name), "--output", dir.file("out")});
        EXPECT_EQ(r.status, 1) << name;
        EXPECT_EQ(r.err, "quillora-convert: " + dir.file(name) + ": " + message + "\n") << name;
        EXPECT_EQ(r.out, "") << name;
        EXPECT_TRUE(std::filesystem::is_empty(dir.file("out"))) << name;
    }
}

// Only regular files are pictures: a pipe (standard input among them) fails
// at once instead of converting as an empty file; a source that cannot be
// looked at fails with the reason instead of counting as missing.
TEST(ConvertCli, PipesAndUnreachableSourcesFail) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("out"));
    const std::string out = dir.file("out");
    const std::string exe = QUILLORA_CONVERT_EXE;
    write_bmp(pattern_bitmap(4, 4), dir.file("a.bmp"));
    const std::string piped = "cat " + dir.file("a.bmp") + " | " + exe +
                              " --mode bmp-jpg --output " + out + " /dev/stdin 2>" +
                              dir.file("err.txt");
    const int raw = std::system(piped.c_str());
    EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, 1);
    const auto err = read_bytes(dir.file("err.txt"));
    EXPECT_EQ(std::string(err.begin(), err.end()),
              "quillora-convert: /dev/stdin: Cannot open file \"/dev/stdin\". Not a regular "
              "file\n0 converted, 0 skipped, 1 failed\n");
    EXPECT_TRUE(std::filesystem::is_empty(out));

    std::filesystem::create_directory(dir.file("locked"));
    write_bmp(pattern_bitmap(4, 4), dir.file("locked/b.bmp"));
    ::chmod(dir.file("locked").c_str(), 0);
    const auto seen = testing::as_ordinary_user(dir.path(), [&] {
        return convert({"--mode", "bmp-jpg", "--output", out, dir.file("locked/b.bmp")}).err;
    });
    ::chmod(dir.file("locked").c_str(), 0700);
    if (!seen)
        GTEST_SKIP() << "no process without privileges could run here";
    EXPECT_EQ(*seen, "quillora-convert: " + dir.file("locked/b.bmp") + ": Cannot open file \"" +
                         dir.file("locked/b.bmp") +
                         "\". Permission denied\n0 converted, 0 skipped, 1 failed\n");
}

// Under a process limit the run goes on with the workers that could start,
// and says so once.
TEST(ConvertCli, WorkersThatCannotStartAreReportedOnce) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("out"));
    std::vector<std::string> args = {"--mode",        "bmp-jpg", "--output",
                                     dir.file("out"), "--jobs",  "4"};
    for (int i = 0; i < 6; ++i) {
        args.push_back(dir.file("p" + std::to_string(i) + ".bmp"));
        write_bmp(pattern_bitmap(4, 4), args.back());
    }
    const auto seen = testing::as_ordinary_user(dir.path(), [&] {
        const rlimit one{1, 1};
        if (::setrlimit(RLIMIT_NPROC, &one) != 0)
            return std::string("no limit");
        const CliRun r = convert(args);
        return std::to_string(r.status) + " " + r.err;
    });
    if (!seen)
        GTEST_SKIP() << "no process without privileges could run here";
    EXPECT_EQ(*seen,
              "0 quillora-convert: only 1 of 4 workers could be started; converting with 1\n"
              "6 converted, 0 skipped, 0 failed\n");
}

// --files-from: one path a line, or a zero byte after each with --null;
// blank lines passed over, every other path kept byte for byte.
TEST(ConvertCli, FilesFromAListOrAPipe) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("out"));
    const std::string a = dir.file("a.bmp"), odd = dir.file("\xE9t\xE9 \xFF.bmp");
    write_bmp(pattern_bitmap(4, 4), a);
    write_bmp(pattern_bitmap(6, 4), odd);
    const std::string out = dir.file("out");
    struct Case {
        const char* what;
        std::string list;
        std::vector<std::string> extra;
    } cases[] = {
        {"lines", a + "\n" + odd + "\n", {}},
        {"blank lines and no final line break", "\n\n" + a + "\n\n" + odd, {}},
        {"zero bytes", a + std::string(1, '\0') + odd + std::string(1, '\0'), {"--null"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(out);
        std::filesystem::create_directory(out);
        const std::string list = dir.write("list.txt", c.list);
        std::vector<std::string> args = {"--mode", "bmp-jpg",      "--output",
                                         out,      "--files-from", list};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        const CliRun r = convert(args);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, "2 converted, 0 skipped, 0 failed\n");
        EXPECT_EQ(JpegPicture::read(out + "/\xE9t\xE9 \xFF.jpg").width(), 6);
    }

    // From standard input, through the program itself.
    const std::string exe = QUILLORA_CONVERT_EXE;
    const std::string from_pipe = "printf '%s\\000' " + a + " | " + exe +
                                  " --mode bmp-jpg --output " + out +
                                  " --files-from - --null --quiet";
    const int raw = std::system(from_pipe.c_str());
    EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, 0);

    // A list that cannot be read converts nothing.
    const std::string missing = dir.file("missing.txt");
    CliRun r = convert({"--mode", "0", "--output", out, "--files-from", missing});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "quillora-convert: " + missing + ": Cannot open file \"" + missing +
                         "\". No such file or directory\n");
    for (const std::vector<std::string>& wrong :
         {std::vector<std::string>{"--mode", "0", "--output", out, "--files-from", missing, a},
          {"--list", dir.file("l.lai"), "--output", out, "--files-from", missing},
          {"--mode", "0", "--output", out, "--null", a},
          {"--mode", "0", "--output", out, "--shard", "2/2", a},
          {"--mode", "0", "--output", out, "--shard", "-1/2", a},
          {"--mode", "0", "--output", out, "--shard", "0/0", a},
          {"--mode", "0", "--output", out, "--shard", "1", a}}) {
        EXPECT_EQ(convert(wrong).status, 2) << wrong.back();
    }
}

TEST(ConvertCli, ShardsSayWhichShardTheyWere) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("out"));
    std::vector<std::string> args = {"--mode",        "bmp-jpg", "--output",
                                     dir.file("out"), "--shard", "1/3"};
    for (int i = 0; i < 7; ++i) {
        args.push_back(dir.file("p" + std::to_string(i) + ".bmp"));
        write_bmp(pattern_bitmap(4, 4), args.back());
    }
    const CliRun r = convert(args);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "2 converted, 0 skipped, 0 failed (shard 1/3)\n");
    EXPECT_TRUE(files::exists(dir.file("out/p1.jpg")));
    EXPECT_TRUE(files::exists(dir.file("out/p4.jpg")));
}

TEST(ConvertCli, ProgressOnATerminalAndElsewhere) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("out"));
    std::vector<std::string> args = {"--mode", "bmp-jpg", "--output",  dir.file("out"),
                                     "--jobs", "2",       "--progress"};
    for (int i = 0; i < 40; ++i) {
        args.push_back(dir.file("p" + std::to_string(i) + ".bmp"));
        write_bmp(pattern_bitmap(4, 4), args.back());
    }
    args[7 + 10] = dir.write("bad.bmp", "this file holds no picture at all");

    // Not a terminal: a line at every 5 % (every second file of 40).
    std::ostringstream out, plain;
    EXPECT_EQ(run(args, out, plain, false), 1);
    std::istringstream lines(plain.str());
    std::vector<std::string> progress;
    std::string line, failure;
    for (std::string l; std::getline(lines, l);) {
        if (l.rfind("progress: ", 0) == 0)
            progress.push_back(l);
        else if (l.rfind("quillora-convert: ", 0) == 0)
            failure = l;
        else
            line = l;
    }
    ASSERT_EQ(progress.size(), 20u);
    EXPECT_TRUE(std::regex_match(progress[0],
                                 std::regex("progress: 2/40 files, [0-9]+:[0-9]{2} elapsed, about "
                                            "[0-9]+:[0-9]{2} left")))
        << progress[0];
    EXPECT_TRUE(std::regex_match(progress[19],
                                 std::regex("progress: 40/40 files, [0-9]+:[0-9]{2} elapsed")))
        << progress[19];
    EXPECT_EQ(failure, "quillora-convert: " + args[17] + ": Bitmap image is not valid");
    EXPECT_EQ(line, "39 converted, 0 skipped, 1 failed");

    // A terminal: one line rewritten in place, cleared for the failure line.
    args.push_back("--quiet");
    std::ostringstream terminal;
    EXPECT_EQ(run(args, out, terminal, true), 1);
    const std::string shown = terminal.str();
    EXPECT_EQ(shown.find("\r\x1b[Kprogress: 1/40 files"), 0u) << shown;
    EXPECT_NE(shown.find("\r\x1b[Kquillora-convert: " + args[17] +
                         ": Bitmap image is not valid\n\r\x1b[Kprogress: 10/40 files"),
              std::string::npos)
        << shown;
    EXPECT_TRUE(
        std::regex_search(shown, std::regex("progress: 40/40 files, [0-9]+:[0-9]{2} elapsed\n$")))
        << shown;
    EXPECT_EQ(shown.find("converted"), std::string::npos);
}

// The README's recipe for many machines, run with GNU parallel on this one:
// four shards as four local jobs give the very bytes of one run.
TEST(ConvertCli, GnuParallelShardsGiveTheOutputsOfOneRun) {
    ASSERT_EQ(std::system("command -v parallel >/dev/null"), 0)
        << "GNU parallel is not installed (scripts/setup.sh installs it)";
    TempDir dir;
    std::string list;
    for (int i = 0; i < 60; ++i) {
        // Three folders holding pictures of the same twenty names.
        const std::string folder = dir.file("in" + std::to_string(i % 3));
        std::filesystem::create_directories(folder);
        const std::string path = folder + "/p" + std::to_string(i % 20) + ".bmp";
        write_bmp(pattern_bitmap(8 + i % 7, 6 + i % 5, 24, i), path);
        list += path + '\n';
    }
    dir.write("list.txt", list);
    for (const char* out : {"one", "shards"})
        std::filesystem::create_directory(dir.file(out));
    const std::string exe = QUILLORA_CONVERT_EXE;
    const std::string common =
        " --mode bmp-jpg --files-from " + dir.file("list.txt") + " --quiet --output ";
    ASSERT_EQ(std::system((exe + common + dir.file("one") + " --jobs 1").c_str()), 0);
    const std::string recipe = "cd " + dir.path().string() + " && HOME=" + dir.path().string() +
                               " parallel --sshlogin 4/: " + exe + common + dir.file("shards") +
                               " --shard {}/4 ::: 0 1 2 3";
    ASSERT_EQ(std::system(recipe.c_str()), 0);
    auto outputs = [&](const std::string& out) { return testing::files_in(dir.file(out)); };
    const auto one = outputs("one");
    EXPECT_EQ(one.size(), 60u);
    EXPECT_EQ(outputs("shards"), one);
}

TEST(ConvertCli, ExecutableExitStatus) {
    TempDir dir;
    std::string exe = QUILLORA_CONVERT_EXE;
    auto status = [&](const std::string& args) {
        int raw = std::system((exe + " " + args + " 2>/dev/null >/dev/null").c_str());
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    };
    write_bmp(pattern_bitmap(4, 4), dir.file("a.bmp"));
    EXPECT_EQ(status("--mode bmp-jpg --output " + dir.path().string() + " " + dir.file("a.bmp")),
              0);
    EXPECT_TRUE(files::exists(dir.file("a.jpg")));
    EXPECT_EQ(status("--mode ico-bmp --output " + dir.path().string() + " " + dir.file("x.ico")),
              1);
    EXPECT_EQ(status("--mode"), 2);
    filelist::save_list_file(dir.file("a.lai"), Mode::BmpToJpeg,
                             std::vector<std::string>{dir.file("a.bmp")});
    EXPECT_EQ(status("--list " + dir.file("a.lai") + " --output " + dir.path().string()), 0);
    EXPECT_EQ(status("--list " + dir.file("b.lai") + " --output " + dir.path().string()), 1);
    EXPECT_EQ(status("--list " + dir.file("a.lai") + " --mode 0 --output " + dir.path().string()),
              2);
    EXPECT_EQ(status("--help"), 0);
}

// --version prints the program's name and version and nothing else, before
// anything is checked or converted.
TEST(ConvertCli, PrintsItsVersion) {
    TempDir dir;
    write_bmp(pattern_bitmap(4, 4), dir.file("a.bmp"));
    const std::vector<std::vector<std::string>> asks = {
        {"--version"},
        {"--mode", "bmp-jpg", "--output", dir.path().string(), "--version", dir.file("a.bmp")},
        {"--version", "--no-such-option"},
    };
    for (const auto& args : asks) {
        CliRun r = convert(args);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, "quillora-convert 1.0\n");
        EXPECT_EQ(r.err, "");
    }
    EXPECT_FALSE(files::exists(dir.file("a.jpg")));
    EXPECT_NE(convert({"--help"}).out.find("  --version "), std::string::npos);

    // The program itself says the same.
    const std::string command = std::string(QUILLORA_CONVERT_EXE) + " --version";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
    ASSERT_TRUE(pipe);
    std::string printed;
    char chunk[256];
    while (std::fgets(chunk, sizeof chunk, pipe.get()) != nullptr)
        printed += chunk;
    EXPECT_EQ(printed, "quillora-convert 1.0\n");
}

}  // namespace
}  // namespace quillora::cli
