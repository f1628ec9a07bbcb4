// Raw pixel values of bitmaps, as the tests compare them.
#pragma once

#include <cstdint>

#include "imaging/bitmap.h"

namespace quillora::testing {

// The raw pixel value at x, y of a bitmap of 8, 16, 24 or 32 bits per pixel.
inline std::uint32_t pixel_at(const Bitmap& bitmap, int x, int y) {
    const int bytes = bitmap.bpp() / 8;
    const std::uint8_t* p = bitmap.row(y) + x * bytes;
    std::uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = value << 8 | p[i];
    return value;
}

}  // namespace quillora::testing
