#include "platform/profile.h"

#include <charconv>
#include <cstdint>
#include <limits>

#include "platform/text.h"

namespace quillora::profile {
namespace {

using text::same_name;
using text::trim;

// The value of the first matching key line, not yet cut to length.
std::optional<std::string_view> find_value(std::string_view text, std::string_view section,
                                           std::string_view key) {
    section = trim(section);
    key = trim(key);
    bool in_section = false;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = trim(text.substr(pos, end - pos));
        pos = end;
        if (pos < text.size() && text[pos++] == '\r' && pos < text.size() && text[pos] == '\n')
            ++pos;  // CR LF is one line end

        if (!line.empty() && line.front() == '[') {
            std::string_view name = line.substr(1);
            name = name.substr(0, name.find(']'));
            in_section = same_name(trim(name), section);
            continue;
        }
        if (!in_section)
            continue;
        std::size_t eq = line.find('=');
        if (eq == std::string_view::npos)
            continue;
        if (same_name(trim(line.substr(0, eq)), key))
            return trim(line.substr(eq + 1));
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> read_string(std::string_view text, std::string_view section,
                                       std::string_view key) {
    auto value = find_value(text, section, key);
    if (!value)
        return std::nullopt;
    return std::string(value->substr(0, kMaxValueLength));
}

std::string read_string(std::string_view text, std::string_view section, std::string_view key,
                        std::string_view fallback) {
    auto value = read_string(text, section, key);
    return value ? std::move(*value) : std::string(fallback);
}

std::optional<int> parse_int(std::string_view value) {
    const char* first = value.data();
    const char* last = value.data() + value.size();
    std::int64_t number = 0;
    std::from_chars_result result{};
    if (value.size() > 2 && value[0] == '0' && (value[1] == 'x' || value[1] == 'X')) {
        // from_chars would take a sign after "0x"; only digits may follow.
        if (value[2] == '-' || value[2] == '+')
            return std::nullopt;
        result = std::from_chars(first + 2, last, number, 16);
    } else {
        if (first != last && *first == '+')
            ++first;  // from_chars takes "-" but not "+"
        if (first != last && (*first == '-' || *first == '+') && first != value.data())
            return std::nullopt;  // "+-3", "++3"
        result = std::from_chars(first, last, number, 10);
    }
    if (result.ec != std::errc{} || result.ptr != last)
        return std::nullopt;
    if (number < std::numeric_limits<int>::min() || number > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(number);
}

int read_int(std::string_view text, std::string_view section, std::string_view key, int fallback) {
    auto value = read_string(text, section, key);
    if (!value)
        return fallback;
    return parse_int(*value).value_or(fallback);
}

}  // namespace quillora::profile
