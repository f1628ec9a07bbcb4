#include "platform/text.h"

namespace quillora::text {

bool same_name(std::string_view a, std::string_view b) noexcept {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (ascii_lower(a[i]) != ascii_lower(b[i]))
            return false;
    }
    return true;
}

std::string ascii_lowered(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        c = ascii_lower(c);
    return out;
}

std::optional<std::uint64_t> parse_hex(std::string_view s, std::size_t max_digits) noexcept {
    if (s.empty() || s.size() > max_digits)
        return std::nullopt;
    std::uint64_t v = 0;
    for (char c : s) {
        const int d = hex_digit(c);
        if (d < 0)
            return std::nullopt;
        v = (v << 4) | static_cast<std::uint64_t>(d);
    }
    return v;
}

}  // namespace quillora::text
