// File names in quillora-convert's messages, written on one line.
#pragma once

#include <string>
#include <string_view>

namespace quillora::cli {

// A file name made printable on one line, in one way that can be undone: a
// backslash becomes "\\", line feed, carriage return and tab become "\n",
// "\r" and "\t", and every other control character (bytes 0x00 to 0x1F and
// 0x7F, and the C1 controls U+0080 to U+009F written in UTF-8) becomes "\xNN"
// for each of its bytes, in lower-case hexadecimal. All other bytes, those of
// names that are not UTF-8 included, are kept as they are.
std::string escape_file_name(std::string_view name);

}  // namespace quillora::cli
