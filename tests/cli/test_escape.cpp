#include <gtest/gtest.h>

#include <string>

#include "cli/escape.h"

namespace quillora::cli {
namespace {

TEST(EscapeFileName, ControlCharactersAndBackslashesAreWrittenOut) {
    const struct {
        std::string name, written;
    } cases[] = {
        {"plain/photo 1.bmp", "plain/photo 1.bmp"},
        {"evil\nquillora-convert: fake.ico", "evil\\nquillora-convert: fake.ico"},
        {"a\rb\tc", "a\\rb\\tc"},
        {"back\\slash", "back\\\\slash"},
        {"\\n", "\\\\n"},  // a real backslash and n stays told apart from a line feed
        {std::string("nul\0x", 5), "nul\\x00x"},
        {"\x1b[31mred\x7f", "\\x1b[31mred\\x7f"},
        {"\x01\x1f", "\\x01\\x1f"},
        // UTF-8 letters stay; a C1 control (U+0085, next line) is written byte by byte.
        {"f\xc3\xa9rias.jpg", "f\xc3\xa9rias.jpg"},
        {"a\xc2\x85"
         "b",
         "a\\xc2\\x85b"},
        {"\xc2\xa0nbsp", "\xc2\xa0nbsp"},
        // Bytes of names that are not UTF-8 are kept.
        {"latin1\xe9\xff.bmp", "latin1\xe9\xff.bmp"},
        {"cut\xc2", "cut\xc2"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(escape_file_name(c.name), c.written) << c.written;
        EXPECT_EQ(escape_file_name(c.name).find_first_of("\r\n"), std::string::npos);
    }
}

}  // namespace
}  // namespace quillora::cli
