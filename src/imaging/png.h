// PNG decoding (through libpng), for icon images stored as PNG.
#pragma once

#include <cstdint>
#include <span>

#include "imaging/bitmap.h"

namespace quillora {

// True when the data starts with the PNG signature.
bool is_png(std::span<const std::uint8_t> data) noexcept;

// The bits of one pixel as the header (the IHDR chunk right after the
// signature) declares them: bit depth times the samples of the colour type.
// 0 when the data is not PNG or ends inside the header.
unsigned png_bits_per_pixel(std::span<const std::uint8_t> data) noexcept;

// The largest width and height of a PNG icon image. The icon formats hold at
// most 256 x 256 pixels; no real icon image is larger.
inline constexpr std::uint32_t kMaxPngIconSide = 1024;

// Decodes a PNG image into a 32-bit top-down bitmap whose fourth byte is the
// alpha value (255 opaque). Fails with "Icon image is not valid" for damaged
// data, for an image wider or higher than kMaxPngIconSide, and for a header
// that claims more pixels (at the bits per pixel it declares) than the data
// could hold; nothing is allocated for those.
Bitmap decode_png(std::span<const std::uint8_t> data);

}  // namespace quillora
