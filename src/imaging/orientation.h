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

    // Stored row y: stored_width pixels of the target's depth.
    void put(int y, const std::uint8_t* row) const noexcept;

  private:
    Bitmap* target_;
    int width_, height_, orientation_, bytes_;
    // Between vertically adjacent rows of the target, top to bottom.
    std::ptrdiff_t down_;
};

}  // namespace quillora
