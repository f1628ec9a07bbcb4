// Decoding a JPEG file at a reduced size, for pictures shown much smaller
// than they are (the information panel's thumbnail).
#pragma once

#include <cstdint>
#include <span>

#include "imaging/bitmap.h"
#include "platform/display.h"

namespace quillora {

// The scales offered: each side divided by 1, 2, 4 or 8 (rounded up, as the
// library does). Returns the largest divisor whose result is still at least
// `at_least` in both directions; 1 when no reduction qualifies or a side is
// not positive.
int jpeg_scale_divisor(int width, int height, display::Size at_least) noexcept;

// The size a picture of width x height decodes to with that divisor.
display::Size jpeg_scaled_size(int width, int height, int divisor) noexcept;

// Decodes a whole JPEG file at the reduction jpeg_scale_divisor chooses for
// `at_least`, into a 32-bit top-down bitmap whose pixels are blue, green,
// red, 0. Colour and grayscale files alike give true colour (no palette);
// fast, not exact: plain upsampling, no block smoothing. The picture is
// turned and colour-converted as JpegPicture describes, and `at_least` is
// the size as shown. Library warnings
// are ignored (a cut-off file decodes as far as it goes); library errors fail
// with "JPEG error #N" and the library's message code, as full decoding
// does, and so does a file of more than 500 scans ("JPEG error #16"); a
// bitmap and library memory beyond kMaxPixelBytes fail with "Out of system
// resources".
Bitmap decode_jpeg_scaled(std::span<const std::uint8_t> data, display::Size at_least);

}  // namespace quillora
