#include "settings/colour_text.h"

#include <array>
#include <cstdint>
#include <cstdio>

#include "platform/error.h"
#include "platform/text.h"
#include "settings/settings_store.h"

namespace quillora::settings {

namespace {

constexpr std::array<NamedColour, 52> kNamed = {{
    {"clBlack", 0x000000},
    {"clMaroon", 0x000080},
    {"clGreen", 0x008000},
    {"clOlive", 0x008080},
    {"clNavy", 0x800000},
    {"clPurple", 0x800080},
    {"clTeal", 0x808000},
    {"clGray", 0x808080},
    {"clSilver", 0xC0C0C0},
    {"clRed", 0x0000FF},
    {"clLime", 0x00FF00},
    {"clYellow", 0x00FFFF},
    {"clBlue", 0xFF0000},
    {"clFuchsia", 0xFF00FF},
    {"clAqua", 0xFFFF00},
    {"clWhite", 0xFFFFFF},
    {"clMoneyGreen", 0xC0DCC0},
    {"clSkyBlue", 0xF0CAA6},
    {"clCream", 0xF0FBFF},
    {"clMedGray", 0xA4A0A0},
    {"clScrollBar", kSystemColour + 0},
    {"clBackground", kSystemColour + 1},
    {"clActiveCaption", kSystemColour + 2},
    {"clInactiveCaption", kSystemColour + 3},
    {"clMenu", kSystemColour + 4},
    {"clWindow", kSystemColour + 5},
    {"clWindowFrame", kSystemColour + 6},
    {"clMenuText", kSystemColour + 7},
    {"clWindowText", kSystemColour + 8},
    {"clCaptionText", kSystemColour + 9},
    {"clActiveBorder", kSystemColour + 10},
    {"clInactiveBorder", kSystemColour + 11},
    {"clAppWorkSpace", kSystemColour + 12},
    {"clHighlight", kSystemColour + 13},
    {"clHighlightText", kSystemColour + 14},
    {"clBtnFace", kSystemColour + 15},
    {"clBtnShadow", kSystemColour + 16},
    {"clGrayText", kSystemColour + 17},
    {"clBtnText", kSystemColour + 18},
    {"clInactiveCaptionText", kSystemColour + 19},
    {"clBtnHighlight", kSystemColour + 20},
    {"cl3DDkShadow", kSystemColour + 21},
    {"cl3DLight", kSystemColour + 22},
    {"clInfoText", kSystemColour + 23},
    {"clInfoBk", kSystemColour + 24},
    {"clHotLight", kSystemColour + 26},
    {"clGradientActiveCaption", kSystemColour + 27},
    {"clGradientInactiveCaption", kSystemColour + 28},
    {"clMenuHighlight", kSystemColour + 29},
    {"clMenuBar", kSystemColour + 30},
    {"clNone", kColourNone},
    {"clDefault", kColourDefault},
}};

}  // namespace

std::span<const NamedColour> named_colours() noexcept {
    return kNamed;
}

std::string colour_to_text(Colour colour) {
    for (const auto& named : kNamed) {
        if (named.value == colour)
            return std::string(named.name);
    }
    char buffer[12];
    std::snprintf(buffer, sizeof buffer, "$%08X", static_cast<unsigned>(colour));
    return buffer;
}

std::optional<Colour> parse_colour(std::string_view text) noexcept {
    for (const auto& named : kNamed) {
        if (text::same_name(named.name, text))
            return named.value;
    }
    if (!text.empty() && text.front() == '$') {
        // A 32-bit value: at most 8 hex digits.
        if (text.size() > 9)
            return std::nullopt;
    }
    auto n = parse_integer_text(text);
    if (!n)
        return std::nullopt;
    if (text.front() != '$' && (*n < INT32_MIN || *n > INT32_MAX))
        return std::nullopt;
    return static_cast<Colour>(static_cast<std::uint64_t>(*n));
}

Colour text_to_colour(std::string_view text) {
    auto colour = parse_colour(text);
    if (!colour)
        throw Error("'" + std::string(text) + "' is not a valid integer value");
    return *colour;
}

Colour read_colour(const SettingsStore& store, std::string_view name, Colour current) {
    const std::string text = store.read_text(name);
    return text.empty() ? current : text_to_colour(text);
}

}  // namespace quillora::settings
