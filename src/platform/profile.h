// Profile (INI) text: reading one key of one section.
//
// The reading rules:
// - a line ends at CR, at LF or at CR LF;
// - a line whose first non-blank character is "[" starts a section; its name
//   is the text up to the next "]" (or to the end of the line);
// - any other line of a section is a key line when it holds "=": the key name
//   is the text before the first "=", the value the text after it; a line
//   without "=" is ignored;
// - section and key names are compared without regard to ASCII case; blanks
//   (spaces and tabs) around names and values do not count;
// - the first occurrence counts: the first matching key line of the first
//   section of that name that has one (a section name may appear more than
//   once; later keys of the same name are never seen);
// - a value is cut to kMaxValueLength characters, as read into a buffer of
//   2048 characters.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quillora::profile {

// The longest value a read returns (a buffer of 2048 characters with its
// terminating NUL).
inline constexpr std::size_t kMaxValueLength = 2047;

// The value of `key` in `section` of `text`, or nullopt when there is none.
std::optional<std::string> read_string(std::string_view text, std::string_view section,
                                       std::string_view key);

// The value of `key` in `section`, or `fallback` when there is none.
std::string read_string(std::string_view text, std::string_view section, std::string_view key,
                        std::string_view fallback);

// A value read as an integer: the whole value is a decimal number with an
// optional sign ("12", "-3", "+7", "007"), or "0x"/"0X" followed by
// hexadecimal digits ("0x1F"); either way it must fit in an int. Anything
// else is not a number: "12abc", "1 2", "", "0x", "-0x5", "99999999999".
std::optional<int> parse_int(std::string_view value);

// The value of `key` in `section` read as an integer; `fallback` (-1 by
// default) when the key is missing or its value is not a number.
int read_int(std::string_view text, std::string_view section, std::string_view key,
             int fallback = -1);

}  // namespace quillora::profile
