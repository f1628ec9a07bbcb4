// The ASCII text helpers the line readers share.
#include "platform/text.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace quillora::text {
namespace {

TEST(Text, TrimTakesOnlySpacesAndTabsAtEitherEnd) {
    struct Case {
        std::string in, out;
    };
    const std::vector<Case> cases = {
        {"", ""},
        {" \t ", ""},
        {"a", "a"},
        {"\t a b \t", "a b"},
        {"\ra\n", "\ra\n"},          // line ends are no blanks
        {"\xC2\xA0x", "\xC2\xA0x"},  // nor is a no-break space
    };
    for (const auto& c : cases)
        EXPECT_EQ(trim(c.in), c.out) << '[' << c.in << ']';
}

TEST(Text, NamesCompareWithoutRegardToAsciiCaseOnly) {
    struct Case {
        std::string a, b;
        bool same;
    };
    const std::vector<Case> cases = {
        {"", "", true},
        {"DirSalvar", "dirsalvar", true},
        {"clRed", "CLRED", true},
        {"a", "ab", false},
        {"a ", "a", false},
        {"[", "{", false},                // one apart in ASCII like 'Z' and 'z' are not
        {"\xC3\x89", "\xC3\xA9", false},  // É and é: not ASCII
    };
    for (const auto& c : cases) {
        EXPECT_EQ(same_name(c.a, c.b), c.same) << c.a << " / " << c.b;
        EXPECT_EQ(same_name(c.b, c.a), c.same) << c.b << " / " << c.a;
        if (c.same) {
            EXPECT_EQ(ascii_lowered(c.a), ascii_lowered(c.b));
        }
    }
    EXPECT_EQ(ascii_lowered("AbZ@[\xC3\x89"), "abz@[\xC3\x89");
}

TEST(Text, HexDigitsAndWholeHexTexts) {
    EXPECT_EQ(hex_digit('0'), 0);
    EXPECT_EQ(hex_digit('9'), 9);
    EXPECT_EQ(hex_digit('a'), 10);
    EXPECT_EQ(hex_digit('F'), 15);
    for (char c : std::string("gG/:@`x -"))
        EXPECT_EQ(hex_digit(c), -1) << c;

    struct Case {
        std::string text;
        std::size_t max_digits;
        std::optional<std::uint64_t> value;
    };
    const std::vector<Case> cases = {
        {"0", 2, 0},
        {"fF", 2, 0xFF},
        {"100", 2, std::nullopt},  // too many digits
        {"", 8, std::nullopt},
        {"ffffffff", 8, 0xFFFFFFFFu},
        {"FFFFFFFFFFFFFFFF", 16, 0xFFFFFFFFFFFFFFFFu},
        {"0x1", 8, std::nullopt},
        {" 1", 8, std::nullopt},
        {"1 ", 8, std::nullopt},
        {"-1", 8, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(parse_hex(c.text, c.max_digits), c.value) << c.text;
}

}  // namespace
}  // namespace quillora::text
