// Pictures turned as their EXIF orientation says, row by row as they are
// decoded, so that a turned picture never needs a second copy of itself.
#pragma once

#include <cstddef>
#include <cstdint>

#include "imaging/bitmap.h"

namespace quillora {

// Orientations 5 to 8 swap width and height.
constexpr bool swaps_sides(int orientation) noexcept {
    return orientation >= 5 && orientation <= 8;
}

// Writes the rows of a picture stored `stored_width` x `stored_height` into
// a bitmap of the size it is shown at (the sides swapped for 5 to 8), each
// pixel where the orientation puts it:
//   1 as stored, 2 mirrored left to right, 3 turned 180 degrees, 4 mirrored
//   top to bottom, 5 transposed, 6 turned 90 degrees clockwise, 7 transverse,
//   8 turned 90 degrees counter-clockwise.
// Other values count as 1. The target has 8, 24 or 32 bits per pixel.
class OrientedRows {
  public:
    OrientedRows(Bitmap& target, int stored_width, int stored_height, int orientation) noexcept;

    // Stored rows first to first + count - 1, each stored_width pixels of the
    // target's depth. Orientations 5 to 8 turn rows into columns: a batch of
    // rows is placed column by column, so that each row of the target gets
    // `count` adjacent pixels at once instead of one pixel a row.
    void put(int first, const std::uint8_t* const* rows, int count) const noexcept;

  private:
    template <int kBytes>
    void put_pixels(int first, const std::uint8_t* const* rows, int count) const noexcept;

    Bitmap* target_;
    int width_, height_, orientation_, bytes_;
};

}  // namespace quillora
