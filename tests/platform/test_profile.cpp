#include "platform/profile.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace quillora::profile {
namespace {

struct StringCase {
    const char* name;
    std::string text;
    std::string section, key;
    std::optional<std::string> expected;
};

TEST(Profile, ReadsKeysByTheProfileRules) {
    const std::vector<StringCase> cases = {
        {"plain", "[INFO]\r\nTipo=2\r\n", "INFO", "Tipo", "2"},
        {"names in other case", "[info]\r\ntIPO=2\r\n", "Info", "TIPO", "2"},
        {"blanks around names and values", "  [ INFO ]  \r\n \t Tipo \t=  2 \t\r\n", "INFO", "Tipo",
         "2"},
        {"blanks inside a value stay", "[INFO]\r\nTipo= a  b \r\n", "INFO", "Tipo", "a  b"},
        {"asked name with blanks", "[INFO]\r\nTipo=2\r\n", " INFO ", " Tipo ", "2"},
        {"first occurrence counts", "[INFO]\r\nTipo=1\r\nTIPO=3\r\n", "INFO", "Tipo", "1"},
        {"first section of the name counts first",
         "[INFO]\r\nTipo=1\r\n[Other]\r\nTipo=5\r\n[INFO]\r\nTipo=3\r\n", "INFO", "Tipo", "1"},
        {"a repeated section supplies what the first lacks",
         "[INFO]\r\nInicio=4\r\n[INFO]\r\nTipo=3\r\n", "INFO", "Tipo", "3"},
        {"key of another section", "[Other]\r\nTipo=1\r\n[INFO]\r\n", "INFO", "Tipo", std::nullopt},
        {"key before any section", "Tipo=1\r\n[INFO]\r\n", "INFO", "Tipo", std::nullopt},
        {"no such section", "[INFOS]\r\nTipo=1\r\n", "INFO", "Tipo", std::nullopt},
        {"no such key", "[INFO]\r\nTipos=1\r\nTip=1\r\n", "INFO", "Tipo", std::nullopt},
        {"lines without = are ignored", "[INFO]\r\n/home/a.bmp\r\nTipo\r\nTipo=2\r\n", "INFO",
         "Tipo", "2"},
        {"the first = splits", "[INFO]\r\nTipo==2=3\r\n", "INFO", "Tipo", "=2=3"},
        {"empty value", "[INFO]\r\nTipo=\r\n", "INFO", "Tipo", ""},
        {"LF endings", "[INFO]\nTipo=2\nInicio=4\n", "INFO", "Inicio", "4"},
        {"CR endings", "[INFO]\rTipo=2\rInicio=4\r", "INFO", "Inicio", "4"},
        {"mixed endings", "[INFO]\n\rTipo=2\r\n\nInicio=4", "INFO", "Inicio", "4"},
        {"no ending on the last line", "[INFO]\r\nTipo=2", "INFO", "Tipo", "2"},
        {"section without ]", "[INFO\r\nTipo=2\r\n", "INFO", "Tipo", "2"},
        {"text after ]", "[INFO] x\r\nTipo=2\r\n", "INFO", "Tipo", "2"},
        {"value of bytes", "[INFO]\r\nk=\xff\xfe\x80\r\n", "INFO", "k", "\xff\xfe\x80"},
        {"non-ASCII names compared exactly", "[\xc3\x89]\r\nk=1\r\n", "\xc3\xa9", "k",
         std::nullopt},
        {"empty text", "", "INFO", "Tipo", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(read_string(c.text, c.section, c.key), c.expected) << c.name;
        EXPECT_EQ(read_string(c.text, c.section, c.key, "def"), c.expected.value_or("def"))
            << c.name;
    }
}

TEST(Profile, ValuesAreCutToTheBufferLength) {
    const std::string value(5000, 'v');
    const std::string text = "[INFO]\r\nk=" + value + "\r\n";
    EXPECT_EQ(read_string(text, "INFO", "k"), value.substr(0, kMaxValueLength));
    EXPECT_EQ(kMaxValueLength, 2047u);
    // A long number cut to the buffer is too large to be one anyway.
    EXPECT_EQ(read_int("[INFO]\r\nk=" + std::string(3000, '1'), "INFO", "k"), -1);
}

TEST(Profile, IntegerValues) {
    const std::vector<std::pair<std::string, std::optional<int>>> cases = {
        {"0", 0},
        {"4", 4},
        {"007", 7},
        {"-3", -3},
        {"+7", 7},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"0x1F", 31},
        {"0X1f", 31},
        {"0x7FFFFFFF", 2147483647},
        {"0x0", 0},
        {"2147483648", std::nullopt},
        {"99999999999999999999999", std::nullopt},
        {"0x80000000", std::nullopt},
        {"12abc", std::nullopt},
        {"abc", std::nullopt},
        {"1 2", std::nullopt},
        {"", std::nullopt},
        {"-", std::nullopt},
        {"+", std::nullopt},
        {"+-3", std::nullopt},
        {"--3", std::nullopt},
        {"0x", std::nullopt},
        {"0x-5", std::nullopt},
        {"0x+5", std::nullopt},
        {"-0x5", std::nullopt},
        {"0xG", std::nullopt},
        {"$1F", std::nullopt},
        {"1.5", std::nullopt},
        {" 4", std::nullopt},  // values are trimmed before they get here
    };
    for (const auto& [value, expected] : cases)
        EXPECT_EQ(parse_int(value), expected) << '"' << value << '"';
}

TEST(Profile, ReadIntFallsBackWhenMissingOrNotANumber) {
    const std::string text = "[INFO]\r\nTipo = 0x2 \r\nInicio=4\r\nTermina=abc\r\nx=\r\n";
    EXPECT_EQ(read_int(text, "INFO", "tipo"), 2);
    EXPECT_EQ(read_int(text, "info", "INICIO"), 4);
    EXPECT_EQ(read_int(text, "INFO", "Termina"), -1);
    EXPECT_EQ(read_int(text, "INFO", "x"), -1);
    EXPECT_EQ(read_int(text, "INFO", "missing"), -1);
    EXPECT_EQ(read_int(text, "INFO", "missing", 9), 9);
    EXPECT_EQ(read_int(text, "OTHER", "Tipo"), -1);
}

}  // namespace
}  // namespace quillora::profile
