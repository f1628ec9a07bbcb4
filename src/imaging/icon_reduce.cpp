#include "imaging/icon_reduce.h"

#include <algorithm>

#include "platform/error.h"

namespace quillora {

display::Size icon_fit_size(int width, int height, display::Size box) noexcept {
    if (width <= box.width && height <= box.height)
        return {width, height};
    if (width <= 0 || height <= 0 || box.width <= 0 || box.height <= 0)
        return {std::clamp(width, 0, std::max(box.width, 0)),
                std::clamp(height, 0, std::max(box.height, 0))};
    const auto w = static_cast<std::uint64_t>(width), h = static_cast<std::uint64_t>(height);
    const auto bw = static_cast<std::uint64_t>(box.width),
               bh = static_cast<std::uint64_t>(box.height);
    // The width limits when width / height is at least the box's ratio.
    if (w * bh >= h * bw) {
        const std::uint64_t scaled = (2 * h * bw + w) / (2 * w);
        return {box.width, static_cast<int>(std::clamp<std::uint64_t>(scaled, 1, bh))};
    }
    const std::uint64_t scaled = (2 * w * bh + h) / (2 * h);
    return {static_cast<int>(std::clamp<std::uint64_t>(scaled, 1, bw)), box.height};
}

IconReduction::IconReduction(const IconImage& icon, int width, int height)
    : icon_(icon), width_(width), height_(height), alpha_(icon.alpha && icon.colour.bpp() == 32) {
    if (width < 1 || height < 1 || width > icon.width() || height > icon.height())
        fail(kBitmapNotValid);
    source_.resize(static_cast<std::size_t>(icon.width()) * 4);
    across_.resize(static_cast<std::size_t>(width) * 4);
    sums_.resize(static_cast<std::size_t>(width) * 4);
}

// Positions are counted in parts of a pixel: image pixel x spans
// [x * result width, (x + 1) * result width), result column j spans
// [j * image width, (j + 1) * image width); the weight of x in j is the length
// they share. The same goes for rows. A result pixel's weights add up to the
// image's width times its height.
void IconReduction::reduce_across(int source_y) {
    std::fill(across_.begin(), across_.end(), 0);
    const Bitmap& colour = icon_.colour;
    const Bitmap& mask = icon_.mask;
    row_to_bgrx(colour, source_y, source_.data());
    const std::uint8_t* stored = colour.row(source_y);
    const std::uint8_t* mask_row =
        mask.bpp() == 1 && source_y < mask.height() ? mask.row(source_y) : nullptr;
    const int mask_width = mask_row ? mask.width() : 0;
    const auto image_width = static_cast<std::uint64_t>(colour.width());
    const auto result_width = static_cast<std::uint64_t>(width_);
    std::uint64_t first = 0;  // the first result column pixel x falls in
    for (int x = 0; x < colour.width(); ++x) {
        const auto i = static_cast<std::size_t>(x);
        std::uint32_t blue = source_[4 * i], green = source_[4 * i + 1], red = source_[4 * i + 2];
        std::uint32_t alpha = 255;
        if (alpha_) {
            alpha = stored[4 * i + 3];
        } else if (x < mask_width && (mask_row[i >> 3] >> (7 - (i & 7)) & 1)) {
            if ((blue | green | red) == 0) {
                alpha = 0;
            } else {
                // What it shows on white: white exclusive-ored with it.
                blue ^= 255;
                green ^= 255;
                red ^= 255;
            }
        }
        const std::uint64_t start = i * result_width, end = start + result_width;
        while ((first + 1) * image_width <= start)
            ++first;
        for (std::uint64_t j = first; j < result_width && j * image_width < end; ++j) {
            const std::uint64_t weight =
                (std::min(end, (j + 1) * image_width) - std::max(start, j * image_width)) * alpha;
            std::uint64_t* sum = &across_[4 * j];
            sum[0] += weight * blue;
            sum[1] += weight * green;
            sum[2] += weight * red;
            sum[3] += weight;
        }
    }
}

void IconReduction::row(int y, std::uint8_t* bgra) {
    std::fill(sums_.begin(), sums_.end(), 0);
    const auto image_height = static_cast<std::uint64_t>(icon_.height());
    const auto result_height = static_cast<std::uint64_t>(height_);
    const std::uint64_t top = static_cast<std::uint64_t>(y) * image_height;
    const std::uint64_t bottom = top + image_height;
    for (std::uint64_t sy = top / result_height; sy < image_height && sy * result_height < bottom;
         ++sy) {
        const std::uint64_t weight =
            std::min(bottom, (sy + 1) * result_height) - std::max(top, sy * result_height);
        reduce_across(static_cast<int>(sy));
        for (std::size_t k = 0; k < sums_.size(); ++k)
            sums_[k] += weight * across_[k];
    }
    // Sums of up to 255 * 255 per image pixel: far inside 64 bits for any
    // bitmap there can be.
    const std::uint64_t total = static_cast<std::uint64_t>(icon_.width()) * image_height;
    for (std::size_t j = 0; j < static_cast<std::size_t>(width_); ++j) {
        const std::uint64_t* sum = &sums_[4 * j];
        std::uint8_t* out = bgra + 4 * j;
        const std::uint64_t alpha = (sum[3] + total / 2) / total;
        if (alpha == 0) {
            std::fill_n(out, 4, std::uint8_t{0});
            continue;
        }
        // Straight colour: the premultiplied sums divided by the alpha sum.
        for (int c = 0; c < 3; ++c)
            out[c] = static_cast<std::uint8_t>((sum[c] + sum[3] / 2) / sum[3]);
        out[3] = static_cast<std::uint8_t>(alpha);
    }
}

IconImage reduce_icon_image(const IconImage& icon, display::Size box) {
    const display::Size size = icon_fit_size(icon.width(), icon.height(), box);
    IconReduction reduction(icon, size.width, size.height);
    IconImage out;
    out.colour = Bitmap(box.width, box.height, 32);  // transparent black
    out.mask = Bitmap(box.width, box.height, 1);
    out.mask.fill(0xFF);
    out.mask.palette() = {Rgbq{0, 0, 0, 0}, Rgbq{255, 255, 255, 0}};
    out.alpha = true;
    for (int y = 0; y < size.height; ++y) {
        std::uint8_t* row = out.colour.row(y);
        reduction.row(y, row);
        std::uint8_t* mask_row = out.mask.row(y);
        for (int x = 0; x < size.width; ++x) {
            const auto i = static_cast<std::size_t>(x);
            if (row[4 * i + 3] != 0)
                mask_row[i >> 3] =
                    static_cast<std::uint8_t>(mask_row[i >> 3] & ~(0x80u >> (i & 7)));
        }
    }
    return out;
}

}  // namespace quillora
