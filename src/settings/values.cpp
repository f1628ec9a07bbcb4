#include "settings/values.h"

#include <climits>

#include "platform/text.h"

namespace quillora::settings {

const Value* find_value(const std::vector<Value>& values, std::string_view name) noexcept {
    for (const auto& v : values) {
        if (text::same_name(v.name, name))
            return &v;
    }
    return nullptr;
}

void set_value(std::vector<Value>& values, Value value) {
    for (auto& v : values) {
        if (text::same_name(v.name, value.name)) {
            v = std::move(value);
            return;
        }
    }
    values.push_back(std::move(value));
}

std::optional<std::int64_t> parse_integer_text(std::string_view text) noexcept {
    if (text.empty())
        return std::nullopt;
    if (text.front() == '$') {
        auto v = text::parse_hex(text.substr(1), 16);
        if (!v)
            return std::nullopt;
        return static_cast<std::int64_t>(*v);
    }
    bool negative = false;
    if (text.front() == '+' || text.front() == '-') {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty())
        return std::nullopt;
    // Accumulate as a negative number: its range holds the most negative value.
    std::int64_t v = 0;
    constexpr std::int64_t kMin = INT64_MIN;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        int d = c - '0';
        if (v < (kMin + d) / 10)
            return std::nullopt;
        v = v * 10 - d;
    }
    if (!negative) {
        if (v == kMin)
            return std::nullopt;
        v = -v;
    }
    return v;
}

std::int32_t integer_of(const Value* value, std::int32_t fallback) noexcept {
    if (value == nullptr)
        return fallback;
    switch (value->type) {
        case kRegDword:
        case kRegQword:
        case kRegBinary: {
            if (value->data.size() > 8)
                return fallback;
            std::uint32_t n = 0;
            for (std::size_t i = 0; i < value->data.size() && i < 4; ++i)
                n |= static_cast<std::uint32_t>(value->data[i]) << (8 * i);
            return static_cast<std::int32_t>(n);
        }
        case kRegSz:
        case kRegExpandSz: {
            std::string_view text(reinterpret_cast<const char*>(value->data.data()),
                                  value->data.size());
            if (!text.empty())
                text.remove_suffix(1);
            auto n = parse_integer_text(text);
            if (!n)
                return fallback;
            return static_cast<std::int32_t>(static_cast<std::uint32_t>(*n));
        }
        default:
            return fallback;
    }
}

std::string text_of(const Value* value, std::string_view fallback) {
    if (value == nullptr ||
        (value->type != kRegSz && value->type != kRegExpandSz && value->type != kRegBinary)) {
        return std::string(fallback);
    }
    if (value->data.empty())
        return {};
    return std::string(value->data.begin(), value->data.end() - 1);
}

}  // namespace quillora::settings
