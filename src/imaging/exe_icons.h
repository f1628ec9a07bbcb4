// Icons inside Windows executables (PE32 and PE32+ .exe and .dll files):
// how many icon groups the resource section holds, and the icon of one group
// as the platform hands it out for showing on the screen. The resource walk
// itself is platform/pe_resources; this chooses, decodes and converts.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "imaging/icon_image.h"

namespace quillora::exe_icons {

// The number of icon groups (resource type 14) in the resource section.
// 0 for data that is not a PE32 or PE32+ executable, for one without
// resources or icon groups, and for a damaged resource section. Never fails.
int count_exe_icons(std::span<const std::uint8_t> data) noexcept;
// The same for a file; a file that cannot be read holds 0 icons.
int count_exe_icons(const std::string& path) noexcept;

// The icon of the group at a zero-based index, the groups taken in the order
// of the resource directory (named groups first, then numbered ones, each as
// stored). Of the group's images the one that fits the system icon size at
// the screen depth best is chosen (choose_icon_entry, an image's own header
// telling its bits per pixel when the group does not), decoded (a DIB or a
// PNG image) and brought to the system icon size: an image wider or higher
// than that is reduced to fit it keeping its shape (reduce_icon_image: top-
// left, the rest transparent), a smaller one stretched to it (nearest pixel).
// Its colour image is converted to the screen depth; the 1-bit mask comes
// with it.
// Both bitmaps are stored bottom row first. On a 32-bit screen an image with
// alpha keeps it in the fourth byte (and `alpha` stays set); on other screens
// the colour is weighted by alpha so that transparent pixels are black.
// No icon (nullopt) for a negative index, an index past the last group, a
// group or image that is damaged or missing, and data that is not an
// executable. Never fails.
std::optional<IconImage> extract_exe_icon(std::span<const std::uint8_t> data, int index) noexcept;
// The same for a file; a file that cannot be read holds no icon.
std::optional<IconImage> extract_exe_icon(const std::string& path, int index) noexcept;

}  // namespace quillora::exe_icons
