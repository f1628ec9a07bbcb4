// The four conversion modes and their descriptors.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace quillora {

// The selected tab index of the main window's tab strip.
enum class Mode : int { BmpToJpeg = 0, JpegToBmp = 1, IcoToBmp = 2, IcoToJpeg = 3 };

inline constexpr int kModeCount = 4;

struct ModeInfo {
    Mode mode;
    std::string_view tab_caption;
    // Dialog filter, mode caption and search masks, separated by "=".
    std::string_view descriptor;
    // Extension given to the files written, with its dot, lower case.
    std::string_view output_extension;
    // Short name on the command line.
    std::string_view cli_name;
};

const std::array<ModeInfo, kModeCount>& mode_table() noexcept;
const ModeInfo& mode_info(Mode mode) noexcept;

// The mode with tab index `index`, if there is one.
std::optional<Mode> mode_from_index(int index) noexcept;

// The descriptor field numbers.
inline constexpr int kFieldDialogFilter = 1;
inline constexpr int kFieldModeCaption = 2;
inline constexpr int kFieldSearchMasks = 3;

// Field n (counted from 1) of a text whose fields are separated by
// `separator`, or the empty text when it has fewer than n fields.
// Line breaks inside the text also end a field.
std::string descriptor_field(int n, std::string_view separator, std::string_view text);

}  // namespace quillora
