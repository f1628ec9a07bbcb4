// Icon images made smaller by area averaging, for images larger than the
// bitmap they are drawn on.
//
// Each pixel of the result is the mean of the part of the image it covers,
// every image pixel weighted by how much of it lies inside, taken with
// premultiplied alpha. The image's pixels count as follows:
//  - with alpha: their colour and alpha;
//  - under a clear mask bit: their colour, opaque;
//  - under a set mask bit over a black colour pixel: transparent;
//  - under a set mask bit over any other colour (they invert the background):
//    the colour they show on white, the background the program draws icons
//    on, opaque.
// The result carries straight alpha, so composited over a background of one
// colour it gives, to rounding, the mean of the full-size image drawn over
// that background: edges stay smooth, and the black that icons keep under
// their transparent pixels does not darken them.
#pragma once

#include <cstdint>
#include <vector>

#include "imaging/icon_image.h"
#include "platform/display.h"

namespace quillora {

// The size an image of width x height is drawn at on a box: its own when it
// fits; otherwise scaled down keeping its aspect ratio, the side that limits
// filling the box and the other rounded to the nearest pixel, at least 1.
display::Size icon_fit_size(int width, int height, display::Size box) noexcept;

// The rows of an icon image reduced to width x height (each at least 1 and
// no larger than the image), made one at a time: it holds one row of the
// image and two rows of sums, never the whole result.
class IconReduction {
  public:
    // Fails with "Bitmap image is not valid" for a size outside those bounds.
    IconReduction(const IconImage& icon, int width, int height);

    // Row y of the result, top row first, as blue, green, red, alpha quads
    // (straight alpha; a pixel of alpha 0 is black).
    void row(int y, std::uint8_t* bgra);

  private:
    void reduce_across(int source_y);

    const IconImage& icon_;
    int width_, height_;
    bool alpha_;
    std::vector<std::uint8_t> source_;   // one image row as blue, green, red, 0
    std::vector<std::uint64_t> across_;  // that row reduced across: 4 sums per column
    std::vector<std::uint64_t> sums_;    // the result row's sums
};

// The image reduced to fit a box of at least one pixel each way
// (icon_fit_size; an image that fits keeps its size) at the top-left corner
// of a transparent image of the box's size: a 32-bit image with alpha and a
// mask whose bits mark the pixels of alpha 0, both stored bottom row first.
IconImage reduce_icon_image(const IconImage& icon, display::Size box);

}  // namespace quillora
