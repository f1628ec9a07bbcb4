#include "filelist/list_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "support/failure_of.h"
#include "support/ordinary_user.h"
#include "support/temp_dir.h"

namespace quillora::filelist {
namespace {

using quillora::testing::read_bytes;
using quillora::testing::TempDir;

std::string read_text(const std::string& path) {
    auto bytes = read_bytes(path);
    return {bytes.begin(), bytes.end()};
}

using quillora::testing::failure_of;

// What one load passed to its callbacks, and how it ended.
struct Load {
    std::vector<int> positions;
    std::vector<std::string> paths;
    std::string failure;  // empty when the load ended normally
};

Load load(const ListFileReader& reader) {
    Load result;
    try {
        reader.read_paths([&](int position) { result.positions.push_back(position); },
                          [&](std::string_view path) { result.paths.emplace_back(path); });
    } catch (const Error& e) {
        result.failure = e.what();
    }
    return result;
}

TEST(ListFile, SaveWritesTheExactLayout) {
    struct Case {
        Mode mode;
        std::vector<std::string> paths;
        std::string bytes;
    };
    const std::vector<Case> cases = {
        {Mode::IcoToBmp,
         {"/img/a.ico", "/img/b.ico", "/img/c.ico"},
         "[INFO]\r\nTipo=2\r\nInicio=4\r\nTermina=6\r\n/img/a.ico\r\n/img/b.ico\r\n"
         "/img/c.ico\r\n"},
        {Mode::JpegToBmp,
         {"/x/one.jpg", "/x/two.jpeg"},
         "[INFO]\r\nTipo=1\r\nInicio=4\r\nTermina=5\r\n/x/one.jpg\r\n/x/two.jpeg\r\n"},
        {Mode::IcoToJpeg,
         {"dup.ico", "dup.ico"},
         "[INFO]\r\nTipo=3\r\nInicio=4\r\nTermina=5\r\ndup.ico\r\ndup.ico\r\n"},
        {Mode::BmpToJpeg, {}, "[INFO]\r\nTipo=0\r\nInicio=4\r\nTermina=3\r\n"},
    };
    TempDir dir;
    for (const auto& c : cases) {
        const std::string file = dir.file("list.lai");
        save_list_file(file, c.mode, c.paths);
        EXPECT_EQ(read_text(file), c.bytes) << c.paths.size() << " paths";
        EXPECT_EQ(dir.entries(), std::vector<std::string>{"list.lai"});
        ListFile back = load_list_file(file);
        EXPECT_EQ(back.mode, c.mode);
        EXPECT_EQ(back.paths, c.paths);
    }
}

TEST(ListFile, SavingOverALongerFileReplacesIt) {
    TempDir dir;
    const std::string file = dir.file("list.lai");
    save_list_file(file, Mode::BmpToJpeg,
                   std::vector<std::string>{"/a/long/path/number/one.bmp", "/a/long/path/two.bmp",
                                            "/a/long/path/three.bmp", "/a/long/path/four.bmp"});
    ::chmod(file.c_str(), 0640);
    save_list_file(file, Mode::IcoToBmp, std::vector<std::string>{"/s.ico"});
    EXPECT_EQ(read_text(file), "[INFO]\r\nTipo=2\r\nInicio=4\r\nTermina=4\r\n/s.ico\r\n");
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"list.lai"});
    struct stat st;
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);  // the replaced file keeps its permissions

    // Any file is replaced whole, whatever it held.
    dir.write("other.lai", std::string(100000, 'x'));
    save_list_file(dir.file("other.lai"), Mode::JpegToBmp, std::vector<std::string>{"a.jpg"});
    EXPECT_EQ(read_text(dir.file("other.lai")),
              "[INFO]\r\nTipo=1\r\nInicio=4\r\nTermina=4\r\na.jpg\r\n");
}

TEST(ListFile, PathsRoundTripByteForByte) {
    const std::vector<std::string> paths = {
        "/fotos/f\xe9rias/ver\xe3o.bmp",  // Latin-1, not valid UTF-8
        "/fotos/\xc3\xa1gua.bmp",         // UTF-8
        "/odd/\xff\xfe\x80\x01.bmp",      // any bytes
        "  blanks around  ",              // kept, not trimmed
        "trailing tab\t",
        "",        // an empty path is a line too
        "Tipo=3",  // a path line never counts as a key
        "[INFO]",  // nor as a section
        "Inicio=9",
        std::string("nul\0inside.bmp", 14),
        "C:\\Windows\\style\\path.bmp",
        "",
    };
    TempDir dir;
    const std::string file = dir.file("bytes.lai");
    save_list_file(file, Mode::JpegToBmp, paths);
    ListFile back = load_list_file(file);
    EXPECT_EQ(back.mode, Mode::JpegToBmp);
    EXPECT_EQ(back.paths, paths);
    // And saved again, the same bytes.
    const std::string again = dir.file("again.lai");
    save_list_file(again, back.mode, back.paths);
    EXPECT_EQ(read_bytes(again), read_bytes(file));
}

TEST(ListFile, AListWithALineBreakInAPathIsNotSaved) {
    TempDir dir;
    const std::string file = dir.write("list.lai", "old content");
    for (const std::string& broken : {std::string("a\nb.bmp"), std::string("a\rb.bmp"),
                                      std::string("a\r\nb.bmp"), std::string("end\n")}) {
        try {
            save_list_file(file, Mode::BmpToJpeg,
                           std::vector<std::string>{"first.bmp", "second.bmp", broken, "x\n"});
            ADD_FAILURE() << "saved a path with a line break";
        } catch (const ListFileRefused& e) {
            EXPECT_EQ(e.reason(), ListFileRefused::Reason::PathWithLineBreak);
            EXPECT_EQ(e.item(), 2);
            EXPECT_EQ(std::string(e.what()),
                      "A lista não foi salva: o caminho do item 3 contém uma quebra de linha, que "
                      "não pode ser gravada em um arquivo de lista.");
        }
        EXPECT_EQ(read_text(file), "old content");
        EXPECT_EQ(dir.entries(), std::vector<std::string>{"list.lai"});
    }
}

TEST(ListFile, AFailedSaveLeavesTheOldFileAndNoTemporaryFile) {
    TempDir dir;
    const std::vector<std::string> paths = {"/a.bmp"};

    const std::string in_missing_folder = dir.file("missing/list.lai");
    EXPECT_EQ(failure_of([&] { save_list_file(in_missing_folder, Mode::BmpToJpeg, paths); }),
              "Unable to write to " + in_missing_folder);

    const std::string read_only = dir.write("read-only.lai", "the old list");
    ::chmod(read_only.c_str(), 0444);
    EXPECT_EQ(failure_of([&] { save_list_file(read_only, Mode::BmpToJpeg, paths); }),
              "Unable to write to " + read_only);
    EXPECT_EQ(read_text(read_only), "the old list");

    std::filesystem::create_directory(dir.file("folder.lai"));
    EXPECT_EQ(failure_of([&] { save_list_file(dir.file("folder.lai"), Mode::BmpToJpeg, paths); }),
              "Unable to write to " + dir.file("folder.lai"));

    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"folder.lai", "read-only.lai"}));
}

TEST(ListFile, AFolderThatCannotBeWrittenKeepsTheOldList) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("locked"));
    const std::string file = dir.write("locked/list.lai", "the old list");
    ::chmod(dir.file("locked").c_str(), 0555);
    const auto seen = testing::as_ordinary_user(dir.path(), [&] {
        return failure_of(
            [&] { save_list_file(file, Mode::BmpToJpeg, std::vector<std::string>{"/a.bmp"}); });
    });
    ::chmod(dir.file("locked").c_str(), 0755);
    if (!seen)
        GTEST_SKIP() << "no process without privileges could run here";
    EXPECT_EQ(*seen, "Unable to write to " + file);
    EXPECT_EQ(read_text(file), "the old list");
    EXPECT_EQ(std::filesystem::directory_iterator(dir.file("locked"))->path().filename(),
              "list.lai");
}

TEST(ListFile, LoadPositions) {
    struct Case {
        std::int64_t line;
        int last;
        int position;
    };
    const std::vector<Case> cases = {
        {4, 5, 80},
        {5, 5, 100},
        {4, 6, 66},
        {3, 7, 42},
        {0, 0, 100},  // "Termina" 0 never divides
        {-1, -1, 100},
        {-5, 3, 0},
        {4, 2000000000, 0},
        {2000000000, 2000000000, 100},
        {2147483647, 2147483647, 100},
    };
    for (const auto& c : cases)
        EXPECT_EQ(load_position(c.line, c.last), c.position) << c.line << "/" << c.last;
}

TEST(ListFile, LoadTakesTheLinesFromInicioToTermina) {
    struct Case {
        const char* name;
        std::string text;
        Mode mode;
        std::vector<int> positions;
        std::vector<std::string> paths;
        std::string failure;
    };
    const std::string header = "[INFO]\r\nTipo=1\r\nInicio=4\r\n";
    const std::vector<Case> cases = {
        {"two paths",
         header + "Termina=5\r\n/a.jpg\r\n/b.jpg\r\n",
         Mode::JpegToBmp,
         {80, 100},
         {"/a.jpg", "/b.jpg"},
         ""},
        {"trailing blanks kept",
         header + "Termina=5\r\n/a.jpg  \r\n\t/b.jpg \t\r\n",
         Mode::JpegToBmp,
         {80, 100},
         {"/a.jpg  ", "\t/b.jpg \t"},
         ""},
        {"Inicio=5 skips the first path",
         "[INFO]\r\nTipo=1\r\nInicio=5\r\nTermina=6\r\n/a.jpg\r\n/b.jpg\r\n/c.jpg\r\n",
         Mode::JpegToBmp,
         {83, 100},
         {"/b.jpg", "/c.jpg"},
         ""},
        {"Inicio above Termina takes nothing",
         "[INFO]\r\nTipo=0\r\nInicio=4\r\nTermina=3\r\n",
         Mode::BmpToJpeg,
         {},
         {},
         ""},
        {"keys in other case, with blanks, repeated, in hex",
         "[ info ]\r\n  tipo = 0x3\r\nTIPO=1\r\n INICIO=  0X5 \r\ntermina "
         "=6\r\n/a.ico\r\n/b.ico\r\n"
         "Termina=9\r\n",
         Mode::IcoToJpeg,
         {83, 100},
         {"/a.ico", "/b.ico"},
         ""},
        {"keys in another order",
         "[INFO]\r\nTermina=4\r\nInicio=4\r\nTipo=2\r\n/a.ico\r\n",
         Mode::IcoToBmp,
         {100},
         {"/a.ico"},
         ""},
        {"LF, CR and a last line without ending",
         "[INFO]\nTipo=1\rInicio=4\r\nTermina=6\n/a.jpg\r/b.jpg\r\n/c.jpg",
         Mode::JpegToBmp,
         {66, 83, 100},
         {"/a.jpg", "/b.jpg", "/c.jpg"},
         ""},
        {"an empty line is a path",
         header + "Termina=6\r\n/a.jpg\r\n\r\n/c.jpg\r\n",
         Mode::JpegToBmp,
         {66, 83, 100},
         {"/a.jpg", "", "/c.jpg"},
         ""},
        {"LF CR is two line ends",
         header + "Termina=5\r\n/a.jpg\n\r/c.jpg\r\n",
         Mode::JpegToBmp,
         {80, 100},
         {"/a.jpg", ""},
         ""},
        {"Termina 0",
         "[INFO]\r\nTipo=1\r\nInicio=0\r\nTermina=0\r\n",
         Mode::JpegToBmp,
         {100},
         {"[INFO]"},
         ""},
        {"lines missing at the end",
         header + "Termina=8\r\n/a.jpg\r\n/b.jpg\r\n",
         Mode::JpegToBmp,
         {50, 62, 75},
         {"/a.jpg", "/b.jpg"},
         "List index out of bounds (6)"},
        {"a file without a path line",
         header + "Termina=4",
         Mode::JpegToBmp,
         {100},
         {},
         "List index out of bounds (4)"},
        {"Inicio and Termina missing",
         "[INFO]\r\nTipo=1\r\n/a.jpg\r\n",
         Mode::JpegToBmp,
         {100},
         {},
         "List index out of bounds (-1)"},
        {"Inicio missing",
         "[INFO]\r\nTipo=1\r\nTermina=4\r\n/a.jpg\r\n",
         Mode::JpegToBmp,
         {0},
         {},
         "List index out of bounds (-1)"},
        {"Inicio negative",
         "[INFO]\r\nTipo=1\r\nInicio=-3\r\nTermina=5\r\n/a.jpg\r\n",
         Mode::JpegToBmp,
         {0},
         {},
         "List index out of bounds (-3)"},
        {"Termina missing",
         "[INFO]\r\nTipo=1\r\nInicio=4\r\n/a.jpg\r\n",
         Mode::JpegToBmp,
         {},
         {},
         ""},
        {"huge Termina",
         header + "Termina=2000000000\r\n/a.jpg\r\n/b.jpg\r\n",
         Mode::JpegToBmp,
         {0, 0, 0},
         {"/a.jpg", "/b.jpg"},
         "List index out of bounds (6)"},
        {"largest Termina",
         header + "Termina=0x7FFFFFFF\r\n/a.jpg\r\n",
         Mode::JpegToBmp,
         {0, 0},
         {"/a.jpg"},
         "List index out of bounds (5)"},
        {"huge Inicio",
         "[INFO]\r\nTipo=1\r\nInicio=2147483647\r\nTermina=2147483647\r\n/a.jpg\r\n",
         Mode::JpegToBmp,
         {100},
         {},
         "List index out of bounds (2147483647)"},
    };
    TempDir dir;
    for (const auto& c : cases) {
        const std::string file = dir.write("case.lai", c.text);
        ListFileReader reader(file);
        EXPECT_EQ(reader.mode(), c.mode) << c.name;
        Load got = load(reader);
        EXPECT_EQ(got.positions, c.positions) << c.name;
        EXPECT_EQ(got.paths, c.paths) << c.name;
        EXPECT_EQ(got.failure, c.failure) << c.name;
        // The failure is known before any path is taken.
        const auto missing = reader.first_missing_line();
        EXPECT_EQ(missing ? "List index out of bounds (" + std::to_string(*missing) + ")" : "",
                  c.failure)
            << c.name;
        // The same through the one-call form, which keeps nothing on a failure.
        if (c.failure.empty()) {
            std::vector<int> positions;
            ListFile list = load_list_file(file, [&](int p) { positions.push_back(p); });
            EXPECT_EQ(list.mode, c.mode) << c.name;
            EXPECT_EQ(list.paths, c.paths) << c.name;
            EXPECT_EQ(positions, c.positions) << c.name;
        } else {
            EXPECT_EQ(failure_of([&] { load_list_file(file); }), c.failure) << c.name;
        }
    }
}

TEST(ListFile, ReaderReportsTheKeysAndTakesEmptyCallbacks) {
    TempDir dir;
    const std::string file =
        dir.write("a.lai", "[INFO]\r\nTipo=3\r\nInicio=4\r\nTermina=5\r\n/a.ico\r\n/b.ico\r\n");
    ListFileReader reader(file);
    EXPECT_EQ(reader.path(), file);
    EXPECT_EQ(reader.mode(), Mode::IcoToJpeg);
    EXPECT_EQ(reader.first_line(), 4);
    EXPECT_EQ(reader.last_line(), 5);
    reader.read_paths({}, {});
    // The file is read once, when the reader is made: later changes are not seen.
    dir.write("a.lai", "[INFO]\r\nTipo=0\r\n");
    EXPECT_EQ(load(reader).paths, (std::vector<std::string>{"/a.ico", "/b.ico"}));
}

TEST(ListFile, AFileWhoseTipoIsNotAModeIsRefused) {
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"Tipo missing", "[INFO]\r\nInicio=4\r\nTermina=4\r\n/a.bmp\r\n"},
        {"Tipo -1", "[INFO]\r\nTipo=-1\r\nInicio=4\r\nTermina=4\r\n/a.bmp\r\n"},
        {"Tipo 4", "[INFO]\r\nTipo=4\r\nInicio=4\r\nTermina=4\r\n/a.bmp\r\n"},
        {"Tipo in hex out of range", "[INFO]\r\nTipo=0x10\r\nInicio=4\r\nTermina=4\r\n/a\r\n"},
        {"Tipo not a number", "[INFO]\r\nTipo=2x\r\nInicio=4\r\nTermina=4\r\n/a.bmp\r\n"},
        {"Tipo empty", "[INFO]\r\nTipo=\r\nInicio=4\r\nTermina=4\r\n/a.bmp\r\n"},
        {"Tipo in another section", "[OTHER]\r\nTipo=1\r\n[INFO]\r\nInicio=4\r\n"},
        {"not a list at all", "just some text\nTipo=1\n"},
        {"empty file", ""},
        {"binary", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)},
    };
    TempDir dir;
    for (const auto& [name, text] : cases) {
        const std::string file = dir.write("bad.lai", text);
        try {
            ListFileReader reader(file);
            ADD_FAILURE() << name << ": taken as mode " << static_cast<int>(reader.mode());
        } catch (const ListFileRefused& e) {
            EXPECT_EQ(e.reason(), ListFileRefused::Reason::NotAList) << name;
            EXPECT_EQ(std::string(e.what()),
                      "O arquivo \"" + file + "\" não é uma lista de imagens válida.")
                << name;
        }
        bool called = false;
        EXPECT_THROW(load_list_file(file, [&](int) { called = true; }), ListFileRefused) << name;
        EXPECT_FALSE(called) << name;
    }
}

TEST(ListFile, AFileThatCannotBeReadIsRefused) {
    TempDir dir;
    auto refusal = [](const std::string& path) {
        try {
            ListFileReader reader(path);
        } catch (const ListFileRefused& e) {
            return std::make_pair(e.reason(), std::string(e.what()));
        }
        return std::make_pair(ListFileRefused::Reason::PathWithLineBreak, std::string("taken"));
    };
    const std::string missing = dir.file("typed name.lai");
    EXPECT_EQ(refusal(missing),
              std::make_pair(ListFileRefused::Reason::NotFound,
                             "O arquivo \"" + missing + "\" não foi encontrado."));
    EXPECT_EQ(refusal(""), std::make_pair(ListFileRefused::Reason::NotFound,
                                          std::string("O arquivo \"\" não foi encontrado.")));
    std::filesystem::create_directory(dir.file("folder.lai"));
    EXPECT_EQ(refusal(dir.file("folder.lai")),
              std::make_pair(ListFileRefused::Reason::Unreadable,
                             "Não foi possível ler o arquivo \"" + dir.file("folder.lai") + "\"."));
    std::filesystem::create_symlink(dir.file("gone.lai"), dir.file("dangling.lai"));
    EXPECT_EQ(refusal(dir.file("dangling.lai")).first, ListFileRefused::Reason::Unreadable);
    if (::geteuid() != 0) {
        const std::string locked = dir.write("locked.lai", "[INFO]\r\nTipo=1\r\n");
        ::chmod(locked.c_str(), 0);
        EXPECT_EQ(refusal(locked).first, ListFileRefused::Reason::Unreadable);
    }
}

TEST(ListFile, ARefusalIsAnError) {
    // A caller that does not tell refusals apart still reports them as failures.
    TempDir dir;
    EXPECT_THROW(ListFileReader(dir.file("none.lai")), Error);
}

}  // namespace
}  // namespace quillora::filelist
