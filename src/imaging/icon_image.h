// Icon images: a colour (XOR) image with its 1-bit transparency (AND) mask,
// decoded from one image of an icon file or resource, and the rule that draws
// them onto a bitmap.
#pragma once

#include <cstdint>
#include <span>

#include "imaging/bitmap.h"

namespace quillora {

// One icon image. `colour` keeps the depth and colour table it was stored
// with (for PNG images: 32 bits with alpha in the fourth byte); `mask` is a
// 1-bit bitmap of the same size whose set bits mark the pixels where the
// background shows through (exclusive-ored with the colour image).
struct IconImage {
    Bitmap colour;
    Bitmap mask;
    // The colour image carries alpha in its fourth byte and is composited by
    // it (the mask is then not used for drawing): 32-bit images with a
    // non-zero alpha value anywhere, and PNG images.
    bool alpha = false;

    int width() const noexcept { return colour.width(); }
    int height() const noexcept { return colour.height(); }
    IconImage clone() const { return {colour.clone(), mask.clone(), alpha}; }
};

// The bits per pixel the data of one icon image declares in its own header:
// a device-independent bitmap's bit count, a PNG image's bit depth times its
// samples. 0 when the data is too short to tell.
unsigned icon_image_bits(std::span<const std::uint8_t> data) noexcept;

// Decodes the data of one icon image: either a PNG image, or a
// device-independent bitmap with a 40-byte (or longer) information header
// whose height counts the colour image and the mask together (twice the
// icon's height), followed by its colour table (or three channel masks for
// bit fields), the colour rows and the mask rows, both bottom row first.
// Colour image and mask are scaled (nearest pixel) to width x height when
// their stored size differs; a width or height of 0 keeps the stored size.
// A 32-bit image with an alpha channel may lack its mask, wholly or in part:
// the pixels of alpha 0 then make the mask (none when all alpha is 0).
// Data that cannot be read as such an image, short data included, fails with
// "Out of system resources" (damaged PNG data with "Icon image is not valid").
IconImage decode_icon_image(std::span<const std::uint8_t> data, int width = 0, int height = 0);

// The memory decode_icon_image(data, width, height) and drawing the result
// hold, read from the image's header before anything is decoded: the colour
// image and the mask, their scaled copies, a row buffer (drawing it reduced
// on a smaller bitmap adds 68 bytes per column of that bitmap). 0 for data
// that the decoder refuses before allocating (too short, an unknown format,
// a PNG image larger than kMaxPngIconSide).
std::uint64_t icon_image_memory(std::span<const std::uint8_t> data, int width = 0,
                                int height = 0) noexcept;

// Scales an icon image (colour and mask, nearest pixel) to a new size.
IconImage scale_icon_image(const IconImage& icon, int width, int height);

// Draws an icon image with its top-left corner at the target's top-left
// corner. An image wider or higher than the target is drawn reduced to fit it
// (icon_fit_size, reduced and composited as icon_reduce.h says); a smaller
// one at its own size. The target has 32, 24, 16 or 8 bits per pixel (a
// screen bitmap); other depths fail with "Bitmap image is not valid".
//  - Without alpha: where the mask bit is 1 the target's pixel is kept and
//    exclusive-ored with the colour pixel (a black colour pixel leaves it
//    unchanged); where it is 0 the target's pixel becomes the colour pixel.
//    Colour pixels are packed as screen pixels of the target's depth first.
//  - With alpha: the colour image is composited over the target by alpha.
void draw_icon(const IconImage& icon, Bitmap& target);

// The program's own generic application icon (32 x 32, 4 bits per pixel): a
// plain window with a blue title bar on a transparent background. Drawn for
// icon files of type 0.
IconImage generic_application_icon();

}  // namespace quillora
