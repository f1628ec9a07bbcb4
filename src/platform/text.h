// Small text helpers for the line formats the program reads: ASCII case,
// blanks and hexadecimal digits. Bytes outside ASCII are left as they are.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillora::text {

// The letter in lower case when it is an ASCII capital; any other byte as it is.
constexpr char ascii_lower(char c) noexcept {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// A space or a tab.
constexpr bool is_blank(char c) noexcept {
    return c == ' ' || c == '\t';
}

// The text without the blanks at either end.
constexpr std::string_view trim(std::string_view s) noexcept {
    while (!s.empty() && is_blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && is_blank(s.back()))
        s.remove_suffix(1);
    return s;
}

// The value of a hexadecimal digit (either case), or -1 for any other byte.
constexpr int hex_digit(char c) noexcept {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// True when both texts are equal without regard to ASCII case.
bool same_name(std::string_view a, std::string_view b) noexcept;

// The text with its ASCII capitals in lower case.
std::string ascii_lowered(std::string_view s);

// The number the whole text writes as 1 to `max_digits` hexadecimal digits,
// or nullopt for anything else (no sign, no blanks, no prefix). More than 16
// digits keep only the low 64 bits.
std::optional<std::uint64_t> parse_hex(std::string_view s, std::size_t max_digits) noexcept;

}  // namespace quillora::text
