#include "settings/settings_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/error.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace quillora::settings {
namespace {

using quillora::testing::read_bytes;
using quillora::testing::TempDir;

const std::string kHead = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Quillora\\Config]\n";

std::string read_text_file(const std::string& path) {
    auto bytes = read_bytes(path);
    return {bytes.begin(), bytes.end()};
}

using testing::ScopedEnv;

// How each kind of stored value reads as an integer and as a text.
TEST(SettingsStore, ReadsEveryValueTypeByTheRules) {
    struct Case {
        const char* line;                     // the value line for "V"
        std::optional<std::int32_t> integer;  // nullopt: the integer read gives the default
        std::optional<std::string> text;      // nullopt: the text read gives the default
    };
    const auto none = std::nullopt;
    const std::vector<Case> cases = {
        // Integers: exactly what was stored, REG_DWORD 2 is 2 (and so "off").
        {"\"V\"=dword:00000001", 1, none},
        {"\"V\"=dword:00000002", 2, none},
        {"\"V\"=dword:ffffffff", -1, none},
        {"\"V\"=dword:7", 7, none},
        {"\"V\"=hex(4):01,00,00,00", 1, none},
        {"\"V\"=hex(4):05", 5, none},
        // REG_QWORD and REG_BINARY of at most 8 bytes: the low 32 bits; REG_BINARY
        // reads as text too.
        {"\"V\"=hex(b):01,00,00,00,02,00,00,00", 1, none},
        {"\"V\"=hex:2a,01", 0x12A, "*"},
        {"\"V\"=hex:01,02,03,04,05,06,07,08", 0x04030201, "\x01\x02\x03\x04\x05\x06\x07"},
        {"\"V\"=hex:01,02,03,04,05,06,07,08,09", none, "\x01\x02\x03\x04\x05\x06\x07\x08"},
        {"\"V\"=hex:", 0, ""},
        // A REG_DWORD_BIG_ENDIAN, REG_MULTI_SZ or REG_NONE is none of them.
        {"\"V\"=hex(5):00,00,00,01", none, none},
        {"\"V\"=hex(7):31,00,00", none, none},
        {"\"V\"=hex(0):31,00", none, none},
        // Texts: REG_SZ "1" is 1 (and so "on"); integers in decimal or "$" hex.
        {"\"V\"=\"1\"", 1, "1"},
        {"\"V\"=\"2\"", 2, "2"},
        {"\"V\"=\"-1\"", -1, "-1"},
        {"\"V\"=\"+12\"", 12, "+12"},
        {"\"V\"=\"$FF\"", 255, "$FF"},
        {"\"V\"=\"$1ffffffff\"", -1, "$1ffffffff"},
        {"\"V\"=\"4294967297\"", 1, "4294967297"},
        {"\"V\"=\"99999999999999999999\"", none, "99999999999999999999"},
        {"\"V\"=\"1 \"", none, "1 "},
        {"\"V\"=\" 1\"", none, " 1"},
        {"\"V\"=\"0x10\"", none, "0x10"},
        {"\"V\"=\"$\"", none, "$"},
        {"\"V\"=\"\"", none, ""},
        {"\"V\"=\"/home/ana/Imagens\"", none, "/home/ana/Imagens"},
        {"\"V\"=\"a\\\\b \\\"q\\\"\"", none, "a\\b \"q\""},
        // hex(1) and hex(2): the stored bytes less the last one, not expanded.
        {"\"V\"=hex(1):31,00", 1, "1"},
        {"\"V\"=hex(2):24,48,4f,4d,45,00", none, "$HOME"},
        {"\"V\"=hex(2):31,32", 1, "1"},
        {"\"V\"=hex(1):", none, ""},
        // Removed again.
        {"\"V\"=dword:00000001\n\"V\"=-", none, none},
    };
    TempDir dir;
    SettingsStore store(dir.file("Config.reg"));
    for (const auto& c : cases) {
        dir.write("Config.reg", kHead + c.line + "\n");
        EXPECT_EQ(store.read_integer("V"), c.integer.value_or(0)) << c.line;
        EXPECT_EQ(store.read_integer("V", 77), c.integer.value_or(77)) << c.line;
        EXPECT_EQ(store.read_text("V"), c.text.value_or("")) << c.line;
        EXPECT_EQ(store.read_text("V", "<default>"), c.text.value_or("<default>")) << c.line;
        EXPECT_EQ(store.value_exists("v"), std::string(c.line).find("=-") == std::string::npos)
            << c.line;
    }
}

// The default comes back when a value cannot be read as the type asked.
TEST(SettingsStore, DefaultsForAbsentAndUnreadableValues) {
    TempDir dir;
    dir.write("Config.reg", kHead +
                                "\"Minimizar\"=\"yes\"\n\"DirSalvar\"=dword:00000001\n"
                                "\"Big\"=hex:01,02,03,04,05,06,07,08,09\n");
    SettingsStore store(dir.file("Config.reg"));
    EXPECT_EQ(store.read_integer("Minimizar", 9), 9);
    EXPECT_EQ(store.read_text("DirSalvar", "x"), "x");
    EXPECT_EQ(store.read_integer("Big", 9), 9);
    EXPECT_EQ(store.read_integer("Missing", 9), 9);
    EXPECT_EQ(store.read_text("Missing", "x"), "x");
    EXPECT_EQ(store.read_integer("Missing"), 0);
    EXPECT_EQ(store.read_text("Missing"), "");
    EXPECT_TRUE(store.value_exists("minimizar"));
    EXPECT_FALSE(store.value_exists("Missing"));
}

TEST(SettingsStore, ValueNamesIgnoreCaseAndTheLastLineWins) {
    TempDir dir;
    dir.write("Config.reg", kHead + "\"minimizar\"=dword:00000000\n\"MINIMIZAR\"=dword:00000001\n");
    SettingsStore store(dir.file("Config.reg"));
    EXPECT_EQ(store.read_integer("Minimizar"), 1);
    store.write_integer("Minimizar", 0);
    EXPECT_EQ(read_text_file(dir.file("Config.reg")), kHead + "\"Minimizar\"=dword:00000000\n");
}

// Files that are not settings files hold no values, and nothing crashes.
TEST(SettingsStore, FilesThatAreNoSettingsFilesReadAsAbsentValues) {
    const std::string good = "\"DirSalvar\"=\"/out\"\n\"Minimizar\"=dword:00000001\n";
    const std::vector<std::string> not_settings = {
        "",
        "\n",
        "REGEDIT5\n[HKEY_CURRENT_USER\\Software\\Quillora\\Config]\n" + good,
        std::string("REGEDIT4\0\n", 10) + kHead.substr(9) + good,
        std::string("\xFF\xFE"
                    "R\0E\0G\0",
                    8),
    };
    TempDir dir;
    SettingsStore store(dir.file("Config.reg"));
    for (const auto& text : not_settings) {
        dir.write("Config.reg", text);
        EXPECT_EQ(store.read_text("DirSalvar", "none"), "none") << text;
        EXPECT_EQ(store.read_integer("Minimizar"), 0) << text;
        EXPECT_FALSE(parse_settings_file(text).has_value()) << text;
    }
}

// A line that cannot be read is passed over; the values around it keep what
// the file says.
TEST(SettingsStore, DamagedLinesArePassedOverOneByOne) {
    const std::vector<std::string> damaged = {
        "\"DirBuscar\"=\"/in\n",     "\"DirBuscar\"=\"/in\" x\n",
        "\"DirBuscar\"=\"a\\nb\"\n", "\"DirBuscar\"=\"ends in \\\"\n",
        "\"DirBuscar\"\n",           "DirBuscar=\"x\"\n",
        "\"X\"=dword:123456789\n",   "\"X\"=dword:\n",
        "\"X\"=dword:12g\n",         "\"X\"=hex:123\n",
        "\"X\"=hex:1,,2\n",          "\"X\"=hex:01,\n",
        "\"X\"=hex:01,\\\n",  // continued into the next value's line
        "\"X\"=hex(zz):01\n",        "\"X\"=hex(1:01\n",
        "\"X\"=hexx:01\n",           "\"X\"=qword:01\n",
    };
    TempDir dir;
    SettingsStore store(dir.file("Config.reg"));
    for (const auto& line : damaged) {
        const std::string text = kHead + "\"DirSalvar\"=\"/out\"\n" + line +
                                 "\"Minimizar\"=dword:00000001\n\"ListCor1\"=\"clRed\"\n";
        dir.write("Config.reg", text);
        EXPECT_EQ(store.read_text("DirSalvar"), "/out") << line;
        EXPECT_EQ(store.read_integer("Minimizar"), 1) << line;
        EXPECT_EQ(store.read_text("ListCor1"), "clRed") << line;
        EXPECT_FALSE(store.value_exists("X")) << line;
        auto parsed = parse_settings_file(text);
        ASSERT_TRUE(parsed) << line;
        EXPECT_EQ(parsed->passed_over, 1u) << line;
        EXPECT_EQ(parsed->values.size(), 3u) << line;
    }
    // Values outside any key, or under a key whose name cannot be read, are
    // not the settings key's.
    const std::string outside = "REGEDIT4\n\"DirSalvar\"=\"/out\"\n";
    const std::string broken_key = kHead + "[HKEY_CURRENT_USER\\Other\n\"Minimizar\"=dword:1\n";
    for (const std::string& text : {outside, broken_key}) {
        dir.write("Config.reg", text);
        EXPECT_EQ(store.read_text("DirSalvar", "none"), "none") << text;
        EXPECT_EQ(store.read_integer("Minimizar"), 0) << text;
    }
}

// The first write after a file with damaged lines keeps the file as it was
// beside the new one.
TEST(SettingsStore, WritingOverDamagedLinesKeepsTheOldFile) {
    TempDir dir;
    const std::string old_text =
        kHead + "\"DirSalvar\"=\"/out\"\n\"Typed\"=dword:xyz\n\"Minimizar\"=dword:00000001\n";
    dir.write("Config.reg", old_text);
    SettingsStore store(dir.file("Config.reg"));
    store.write_text("DirBuscar", "/in");
    EXPECT_EQ(read_text_file(dir.file("Config.reg.bak")), old_text);
    EXPECT_EQ(
        read_text_file(dir.file("Config.reg")),
        kHead + "\"DirSalvar\"=\"/out\"\n\"Minimizar\"=dword:00000001\n\"DirBuscar\"=\"/in\"\n");
    // The new file is clean: later writes leave the kept one alone.
    dir.write("Config.reg.bak", "kept");
    store.write_integer("Minimizar", 0);
    EXPECT_EQ(read_text_file(dir.file("Config.reg.bak")), "kept");
    // A clean file is never copied.
    TempDir clean;
    clean.write("Config.reg", kHead + "\"A\"=dword:00000001\n");
    SettingsStore(clean.file("Config.reg")).write_integer("B", 2);
    EXPECT_EQ(clean.entries(), std::vector<std::string>{"Config.reg"});
}

TEST(SettingsStore, AcceptedFileForms) {
    const std::vector<std::string> forms = {
        kHead + "\"DirSalvar\"=\"/out\"\n\"Minimizar\"=dword:00000001\n",
        // Version 5 header, CR LF lines, byte-order mark, comments, blanks.
        "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n\r\n"
        "; written by hand\r\n[hkey_current_user\\software\\quillora\\config]\r\n"
        "  \"DirSalvar\" = \"/out\"  \r\n\"Minimizar\"=dword:00000001\r\n",
        // Other keys are skipped; the key may come twice.
        "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Other]\n\"DirSalvar\"=\"/other\"\n"
        "[HKEY_CURRENT_USER\\Software\\Quillora\\Config]\n\"DirSalvar\"=\"/out\"\n"
        "[HKEY_CURRENT_USER\\Software\\Quillora\\Config\\Sub]\n\"Minimizar\"=dword:00000000\n"
        "[HKEY_CURRENT_USER\\Software\\Quillora\\Config]\n\"Minimizar\"=dword:00000001\n",
        // Hex data continued over lines, no newline at the end.
        kHead + "\"DirSalvar\"=hex(1):2f,6f,\\\n  75,74,\\\n  00\n\"Minimizar\"=hex:1",
    };
    TempDir dir;
    SettingsStore store(dir.file("Config.reg"));
    for (const auto& text : forms) {
        dir.write("Config.reg", text);
        EXPECT_EQ(store.read_text("DirSalvar"), "/out") << text;
        EXPECT_EQ(store.read_integer("Minimizar"), 1) << text;
    }
}

TEST(SettingsStore, MissingOrUnreadableFileReadsAsAbsentValues) {
    TempDir dir;
    SettingsStore missing(dir.file("nowhere/Config.reg"));
    EXPECT_EQ(missing.read_text("DirSalvar", "d"), "d");
    EXPECT_EQ(missing.read_integer("Minimizar", 3), 3);
    EXPECT_TRUE(missing.read_values().empty());

    // A folder or a FIFO in the file's place.
    std::filesystem::create_directory(dir.file("Config.reg"));
    SettingsStore folder(dir.file("Config.reg"));
    EXPECT_EQ(folder.read_text("DirSalvar", "d"), "d");
    ASSERT_EQ(::mkfifo(dir.file("fifo.reg").c_str(), 0600), 0);
    SettingsStore fifo(dir.file("fifo.reg"));
    EXPECT_EQ(fifo.read_integer("Minimizar", 3), 3);

    // Not pointed at any key.
    SettingsStore none;
    EXPECT_EQ(none.read_text("DirSalvar", "d"), "d");
}

TEST(SettingsStore, OversizedFileIsNotRead) {
    TempDir dir;
    std::string text = kHead + "\"Minimizar\"=dword:00000001\n";
    const std::string filler = "; " + std::string(1000, 'x') + "\n";
    while (text.size() + filler.size() <= kMaxSettingsFileSize)
        text += filler;
    text.append(kMaxSettingsFileSize - text.size(), '\n');
    ASSERT_EQ(text.size(), kMaxSettingsFileSize);
    dir.write("Config.reg", text);
    SettingsStore store(dir.file("Config.reg"));
    EXPECT_EQ(store.read_integer("Minimizar"), 1);  // at the limit: read
    dir.write("Config.reg", text + "\n");
    EXPECT_EQ(store.read_integer("Minimizar"), 0);  // one byte more: damaged
    EXPECT_FALSE(parse_settings_file(text + "\n").has_value());
}

TEST(SettingsStore, WritesTheRegistryExportForm) {
    TempDir dir;
    const std::string file = dir.file("cfg/Quillora/Config.reg");
    SettingsStore store(file);
    store.write_text("DirBuscar", "/home/ana/Imagens");
    store.write_text("DirSalvar", "C:\\Saída \"nova\"");
    store.write_integer("Minimizar", 1);
    store.write_text("ListCor1", "clRed");
    store.write_text("ListCor2", "$00563412");
    store.write_integer("LinhasHorizontais", 0);
    store.write_integer("Negative", -2);
    store.write_text("Lines", "a\nb\r");
    store.write_text("Empty", "");
    EXPECT_EQ(read_text_file(file), kHead +
                                        "\"DirBuscar\"=\"/home/ana/Imagens\"\n"
                                        "\"DirSalvar\"=\"C:\\\\Saída \\\"nova\\\"\"\n"
                                        "\"Minimizar\"=dword:00000001\n"
                                        "\"ListCor1\"=\"clRed\"\n"
                                        "\"ListCor2\"=\"$00563412\"\n"
                                        "\"LinhasHorizontais\"=dword:00000000\n"
                                        "\"Negative\"=dword:fffffffe\n"
                                        "\"Lines\"=hex(1):61,0a,62,0d,00\n"
                                        "\"Empty\"=\"\"\n");
    EXPECT_EQ(store.read_text("DirSalvar"), "C:\\Saída \"nova\"");
    EXPECT_EQ(store.read_text("Lines"), "a\nb\r");
    EXPECT_EQ(store.read_text("Empty", "x"), "");
    EXPECT_EQ(store.read_integer("Negative"), -2);
    // Rewriting a value keeps its place and the others.
    store.write_integer("Minimizar", 0);
    EXPECT_EQ(store.read_integer("Minimizar"), 0);
    EXPECT_EQ(store.read_text("DirBuscar"), "/home/ana/Imagens");
    // The folder holds the file alone: no temporary file is left.
    EXPECT_EQ(std::filesystem::directory_iterator(dir.file("cfg/Quillora"))->path().filename(),
              "Config.reg");
}

// Values of every type round-trip through the file text.
TEST(SettingsStore, FormatAndParseRoundTrip) {
    const std::vector<Value> values = {
        text_value("DirSalvar", "/x/\\\"y\""),
        text_value("Ctl", std::string("\x01\x7F\0z", 4)),
        integer_value("Minimizar", 1),
        integer_value("Min", INT32_MIN),
        {"Bin", kRegBinary, {1, 2, 255}},
        {"Empty", kRegBinary, {}},
        {"Expand", kRegExpandSz, {'$', 'H', 0}},
        {"Multi", kRegMultiSz, {'a', 0, 0}},
        {"Q", kRegQword, {1, 2, 3, 4, 5, 6, 7, 8}},
        {"ShortDword", kRegDword, {1}},
        {"SzNoZero", kRegSz, {'a'}},
        {"Odd", 0xABCDEF01, {9}},
        {"", kRegSz, {'d', 0}},
    };
    const std::string text = format_settings_file(values);
    EXPECT_NE(text.find("\n@=\"d\"\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\n\"Odd\"=hex(abcdef01):09\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\n\"ShortDword\"=hex(4):01\n"), std::string::npos) << text;
    auto back = parse_settings_file(text);
    ASSERT_TRUE(back.has_value()) << text;
    EXPECT_EQ(back->values, values) << text;
    EXPECT_EQ(back->passed_over, 0u) << text;
    EXPECT_THROW(format_settings_file({text_value("a\nb", "x")}), std::invalid_argument);
}

TEST(SettingsStore, WriteKeepsOtherValuesAndReplacesADamagedFile) {
    TempDir dir;
    const std::string file = dir.file("Config.reg");
    dir.write("Config.reg", kHead + "\"Keep\"=hex(7):61,00,00\n");
    SettingsStore store(file);
    store.write_integer("Minimizar", 1);
    EXPECT_EQ(read_text_file(file),
              kHead + "\"Keep\"=hex(7):61,00,00\n\"Minimizar\"=dword:00000001\n");
    dir.write("Config.reg", "garbage");
    store.write_text("DirSalvar", "/d");
    EXPECT_EQ(read_text_file(file), kHead + "\"DirSalvar\"=\"/d\"\n");
}

TEST(SettingsStore, WriteFailuresNameTheKey) {
    TempDir dir;
    dir.write("file", "x");
    struct Case {
        std::string file;
        std::string prefix;
    };
    const std::vector<Case> cases = {
        {dir.file("file/Quillora/Config.reg"), "Failed to create key Software\\Quillora\\Config. "},
        {"", "Failed to create key Software\\Quillora\\Config"},
    };
    for (const auto& c : cases) {
        SettingsStore store(c.file);
        try {
            store.write_integer("Minimizar", 1);
            ADD_FAILURE() << c.file << ": no failure";
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()).substr(0, c.prefix.size()), c.prefix) << e.what();
        }
    }
    if (::geteuid() != 0) {
        std::filesystem::create_directory(dir.file("ro"));
        SettingsStore store(dir.file("ro/Config.reg"));
        ::chmod(dir.file("ro").c_str(), 0500);
        try {
            store.write_text("DirSalvar", "/d");
            ADD_FAILURE() << "no failure";
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()).rfind(
                          "Failed to set data for 'DirSalvar' in Software\\Quillora\\Config. "
                          "Cannot create file \"",
                          0),
                      0u)
                << e.what();
        }
        EXPECT_FALSE(std::filesystem::exists(dir.file("ro/Config.reg")));
    }
}

TEST(SettingsStore, SettingsFileFollowsXdgConfigHome) {
    TempDir dir;
    struct Case {
        std::optional<std::string> xdg;
        std::string home;
        std::string file;
    };
    const std::string d = dir.path().string();
    const auto none = std::nullopt;
    const std::vector<Case> cases = {
        {d + "/xdg", "/home/ana", d + "/xdg/Quillora/Config.reg"},
        {none, "/home/ana", "/home/ana/.config/Quillora/Config.reg"},
        {"", "/home/ana", "/home/ana/.config/Quillora/Config.reg"},
        {"relative/dir", "/home/ana", "/home/ana/.config/Quillora/Config.reg"},
        {"/cfg/", "/home/ana", "/cfg/Quillora/Config.reg"},
    };
    for (const auto& c : cases) {
        ScopedEnv xdg("XDG_CONFIG_HOME", c.xdg ? c.xdg->c_str() : nullptr);
        ScopedEnv home("HOME", c.home.c_str());
        EXPECT_EQ(settings_file_path(), c.file) << c.xdg.value_or("(unset)");
    }

    // The store looks there when pointed at the settings key, and creates
    // the folders on the first write.
    const std::string xdg_dir = d + "/config-home";
    ScopedEnv xdg("XDG_CONFIG_HOME", xdg_dir.c_str());
    SettingsStore store;
    store.open_settings_key();
    EXPECT_EQ(store.file(), xdg_dir + "/Quillora/Config.reg");
    EXPECT_EQ(store.read_integer("LinhasHorizontais"), 0);
    store.write_integer("LinhasHorizontais", 1);
    EXPECT_EQ(read_text_file(xdg_dir + "/Quillora/Config.reg"),
              kHead + "\"LinhasHorizontais\"=dword:00000001\n");
    struct stat st;
    ASSERT_EQ(::stat((xdg_dir + "/Quillora").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

// Another writer's change is seen by the next read: nothing is cached.
TEST(SettingsStore, EveryReadSeesTheFileAsItIsNow) {
    TempDir dir;
    SettingsStore reader(dir.file("Config.reg"));
    SettingsStore writer(dir.file("Config.reg"));
    EXPECT_EQ(reader.read_integer("Minimizar"), 0);
    writer.write_integer("Minimizar", 1);
    EXPECT_EQ(reader.read_integer("Minimizar"), 1);
    dir.write("Config.reg", kHead + "\"Minimizar\"=\"0\"\n");
    EXPECT_EQ(reader.read_integer("Minimizar", 5), 0);
    std::filesystem::remove(dir.file("Config.reg"));
    EXPECT_EQ(reader.read_integer("Minimizar", 5), 5);
}

TEST(SettingsStore, IntegerTexts) {
    struct Case {
        const char* text;
        std::optional<std::int64_t> value;
    };
    const std::vector<Case> cases = {
        {"0", 0},
        {"007", 7},
        {"-9223372036854775808", INT64_MIN},
        {"9223372036854775807", INT64_MAX},
        {"9223372036854775808", std::nullopt},
        {"-9223372036854775809", std::nullopt},
        {"$ffffffffffffffff", -1},
        {"$0000000000000000F", std::nullopt},
        {"$aB", 0xAB},
        {"", std::nullopt},
        {"-", std::nullopt},
        {"+", std::nullopt},
        {"$", std::nullopt},
        {"-$5", std::nullopt},
        {"1e3", std::nullopt},
        {"12 ", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(parse_integer_text(c.text), c.value) << c.text;
}

}  // namespace
}  // namespace quillora::settings
