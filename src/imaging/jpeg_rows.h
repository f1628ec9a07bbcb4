// Where the rows a JPEG decoder reads go: straight into the bitmap shown when
// the picture is shown as stored, otherwise through a small band of rows that
// is colour-converted and placed where the picture's orientation puts it.
// Either way memory beyond the bitmap is a few rows, whatever the size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "imaging/bitmap.h"
#include "imaging/colour_profile.h"
#include "imaging/jpeg_library.h"
#include "imaging/orientation.h"

namespace quillora::jpeg_library {

// The inks of a file whose header has been read.
JpegInks inks_of(j_decompress_ptr cinfo) noexcept;

class DecodedRows {
  public:
    // Rows the library reads at once.
    static constexpr int kBatchRows = 16;

    // `target` has the size the picture is shown at and 8, 24 or 32 bits
    // per pixel; the library writes `in_bytes` per pixel of a picture stored
    // `stored_width` x `stored_height`. `colour` (may be null) turns the
    // library's pixels into the target's; without it they are the target's
    // already, and a fourth byte is cleared.
    DecodedRows(Bitmap& target, int stored_width, int stored_height, int orientation, int in_bytes,
                const ColourConversion* colour);

    // The memory rows of that width take besides the target.
    static std::uint64_t memory(int stored_width) noexcept;

    // Reads the next batch of rows from the library into place. Called, like
    // every call into the library, inside the function that called setjmp.
    void read_batch(j_decompress_ptr cinfo) noexcept;

  private:
    Bitmap& target_;
    OrientedRows placed_;
    const ColourConversion* colour_;
    int width_, in_bytes_, out_bytes_;
    // The library writes into the target's rows.
    bool direct_;
    // Otherwise into the band, and the conversion (when not in place) into
    // as many rows of `converted_`.
    std::vector<std::uint8_t> band_, converted_;
};

}  // namespace quillora::jpeg_library
