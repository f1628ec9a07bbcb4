// PNG decoding (through libpng), for icon images stored as PNG.
#pragma once

#include <cstdint>
#include <span>

#include "imaging/bitmap.h"

namespace quillora {

// True when the data starts with the PNG signature.
bool is_png(std::span<const std::uint8_t> data) noexcept;

// Decodes a PNG image into a 32-bit top-down bitmap whose fourth byte is the
// alpha value (255 opaque). Fails with "Icon image is not valid" for damaged
// data, and with "Out of system resources" for images too large to hold.
Bitmap decode_png(std::span<const std::uint8_t> data);

}  // namespace quillora
