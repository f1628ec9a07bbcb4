// Colours and their texts, as the list colours are stored in the settings.
//
// A colour is a 32-bit value: a fixed colour 0x00BBGGRR (red in the lowest
// byte), a system colour 0xFF000000 plus a system colour index, or one of the
// special values clNone and clDefault. Its text is its name when it is one of
// the named colours, otherwise "$" and exactly 8 upper-case hex digits.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace quillora::settings {

using Colour = std::uint32_t;

inline constexpr Colour kSystemColour = 0xFF000000;
inline constexpr Colour kRed = 0x0000FF;
inline constexpr Colour kYellow = 0x00FFFF;
inline constexpr Colour kColourNone = 0x1FFFFFFF;
inline constexpr Colour kColourDefault = 0x20000000;

struct NamedColour {
    std::string_view name;
    Colour value;
};

// The 52 named colours, each value once.
std::span<const NamedColour> named_colours() noexcept;

// The colour's text: its name ("clRed") or "$" and 8 hex digits ("$00563412").
std::string colour_to_text(Colour colour);

// A colour text read back: a name (without regard to ASCII case), or an
// integer: an optional sign and decimal digits within the signed 32-bit range,
// or "$" and 1 to 8 hex digits. nullopt for anything else.
std::optional<Colour> parse_colour(std::string_view text) noexcept;

// As parse_colour; a text that is neither fails with quillora::Error
// "'%s' is not a valid integer value".
Colour text_to_colour(std::string_view text);

class SettingsStore;

// A colour setting: the value's text read from the store; an empty text (or
// an absent value) keeps `current`, any other text is converted by
// text_to_colour (and fails as it does).
Colour read_colour(const SettingsStore& store, std::string_view name, Colour current);

}  // namespace quillora::settings
