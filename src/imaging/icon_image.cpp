#include "imaging/icon_image.h"

#include <algorithm>
#include <string>
#include <vector>

#include "imaging/dib.h"
#include "imaging/icon_reduce.h"
#include "imaging/png.h"
#include "platform/bytes.h"
#include "platform/error.h"

namespace quillora {
namespace {

using dib::DibUse;

// The stored value of pixel x of a row at any depth.
std::uint32_t get_pixel(const std::uint8_t* row, int x, int bpp) noexcept {
    const auto i = static_cast<std::size_t>(x);
    switch (bpp) {
        case 1:
            return (row[i >> 3] >> (7 - (i & 7))) & 1u;
        case 4:
            return (row[i >> 1] >> ((i & 1) ? 0 : 4)) & 15u;
        case 8:
            return row[i];
        case 16:
            return std::uint32_t{row[2 * i]} | std::uint32_t{row[2 * i + 1]} << 8;
        case 24:
            return std::uint32_t{row[3 * i]} | std::uint32_t{row[3 * i + 1]} << 8 |
                   std::uint32_t{row[3 * i + 2]} << 16;
        default:
            return std::uint32_t{row[4 * i]} | std::uint32_t{row[4 * i + 1]} << 8 |
                   std::uint32_t{row[4 * i + 2]} << 16 | std::uint32_t{row[4 * i + 3]} << 24;
    }
}

void set_pixel(std::uint8_t* row, int x, int bpp, std::uint32_t value) noexcept {
    const auto i = static_cast<std::size_t>(x);
    switch (bpp) {
        case 1: {
            const auto bit = static_cast<std::uint8_t>(0x80u >> (i & 7));
            row[i >> 3] =
                static_cast<std::uint8_t>((value & 1) ? row[i >> 3] | bit : row[i >> 3] & ~bit);
            break;
        }
        case 4: {
            const unsigned shift = (i & 1) ? 0 : 4;
            row[i >> 1] =
                static_cast<std::uint8_t>((row[i >> 1] & ~(15u << shift)) | (value & 15u) << shift);
            break;
        }
        case 8:
            row[i] = static_cast<std::uint8_t>(value);
            break;
        case 16:
            row[2 * i] = static_cast<std::uint8_t>(value);
            row[2 * i + 1] = static_cast<std::uint8_t>(value >> 8);
            break;
        case 24:
            row[3 * i] = static_cast<std::uint8_t>(value);
            row[3 * i + 1] = static_cast<std::uint8_t>(value >> 8);
            row[3 * i + 2] = static_cast<std::uint8_t>(value >> 16);
            break;
        default:
            row[4 * i] = static_cast<std::uint8_t>(value);
            row[4 * i + 1] = static_cast<std::uint8_t>(value >> 8);
            row[4 * i + 2] = static_cast<std::uint8_t>(value >> 16);
            row[4 * i + 3] = static_cast<std::uint8_t>(value >> 24);
            break;
    }
}

// A monochrome bitmap for masks: colour 0 black, colour 1 white, all bits 0.
Bitmap make_mask(int width, int height, bool top_down) {
    Bitmap mask(width, height, 1, top_down);
    mask.fill(0);
    mask.palette() = {Rgbq{0, 0, 0, 0}, Rgbq{255, 255, 255, 0}};
    return mask;
}

Bitmap scale_bitmap(const Bitmap& source, int width, int height) {
    Bitmap out(width, height, source.bpp(), source.top_down());
    out.fill(0);
    out.palette() = source.palette();
    out.set_masks(source.masks());
    if (source.empty())
        return out;
    const int bpp = source.bpp();
    for (int y = 0; y < height; ++y) {
        const auto sy = static_cast<int>(std::int64_t{y} * source.height() / height);
        const std::uint8_t* from = source.row(sy);
        std::uint8_t* to = out.row(y);
        for (int x = 0; x < width; ++x) {
            const auto sx = static_cast<int>(std::int64_t{x} * source.width() / width);
            set_pixel(to, x, bpp, get_pixel(from, sx, bpp));
        }
    }
    return out;
}

// Sets the mask bits of the pixels whose alpha is 0 (the mask starts clear).
void mask_from_alpha(IconImage& icon) noexcept {
    for (int y = 0; y < icon.colour.height(); ++y) {
        const std::uint8_t* row = icon.colour.row(y);
        std::uint8_t* mask_row = icon.mask.row(y);
        for (int x = 0; x < icon.colour.width(); ++x) {
            if (row[4 * static_cast<std::size_t>(x) + 3] == 0)
                set_pixel(mask_row, x, 1, 1);
        }
    }
}

// A PNG image: its alpha decides everything; the mask marks the fully
// transparent pixels, as the system derives it for such icons.
IconImage decode_png_image(std::span<const std::uint8_t> data) {
    IconImage icon;
    icon.colour = decode_png(data);
    icon.mask = make_mask(icon.colour.width(), icon.colour.height(), icon.colour.top_down());
    mask_from_alpha(icon);
    icon.alpha = true;
    return icon;
}

// The information header of an icon image, checked; `data` fails with "Out
// of system resources", the icon decoder's one failure for damaged data.
dib::Header icon_header(ByteView data) {
    dib::Header h = dib::read_start(data.first_at_most(dib::kInfoHeaderSize), DibUse::icon);
    // The header must lie inside the data.
    dib::read_rest(data.sub(0, h.size).first_at_most(dib::kInterpretedHeaderSize), h);
    return h;
}

IconImage decode_dib_image(std::span<const std::uint8_t> bytes) {
    const ByteView data(bytes, kOutOfResources);
    const dib::Header h = icon_header(data);
    // Colour image and mask are stacked, so the height counts both; top-down
    // icon images do not exist.
    if (h.width <= 0 || h.height < 2)
        data.fail();
    const auto width = static_cast<int>(h.width);
    const auto height = static_cast<int>(h.height / 2);
    const int bpp = static_cast<int>(h.bpp);
    if (!dib::supported_depth(h.bpp) || !dib::supported_compression(h, DibUse::icon))
        data.fail();

    std::uint64_t position = h.size;
    ChannelMasks masks = default_masks(bpp);
    if (h.compression == dib::kBitFields) {
        masks = dib::read_masks(
            data.sub(h.masks_inside() ? dib::kInfoHeaderSize : position, dib::kMasksSize));
        if (!h.masks_inside())
            position += dib::kMasksSize;
    }

    // No icon image has a colour table longer than 256 entries.
    const std::uint64_t table_entries = dib::stored_colours(h);
    if (table_entries > 256)
        data.fail();
    const ByteView table = data.sub(position, 4 * table_entries);
    std::vector<Rgbq> palette = dib::read_colour_table(table, h);
    // Icon images keep no reserved byte in their colour table.
    for (Rgbq& entry : palette)
        entry.reserved = 0;
    position += table.size();

    // The colour image must be there in full, and so must the mask, except
    // that a 32-bit image with an alpha channel may leave its mask out or cut
    // it short (as icons written by web tools do): its alpha then gives the
    // transparency.
    const std::uint64_t colour_stride = dib::row_bytes(static_cast<std::uint64_t>(width), h.bpp);
    const std::uint64_t mask_stride = dib::row_bytes(static_cast<std::uint64_t>(width), 1);
    const ByteView colour_rows =
        data.sub(position, colour_stride * static_cast<std::uint64_t>(height));
    const std::uint64_t mask_at = position + colour_rows.size();
    const std::uint64_t mask_size = mask_stride * static_cast<std::uint64_t>(height);
    const bool alpha_channel = bpp == 32 && masks == default_masks(32);
    const bool has_mask = data.fits(mask_at, mask_size) || !alpha_channel;
    const ByteView mask_rows = has_mask ? data.sub(mask_at, mask_size) : ByteView();

    IconImage icon;
    icon.colour = Bitmap(width, height, bpp);
    icon.colour.fill(0);
    if (bpp <= 8)
        icon.colour.palette() = std::move(palette);
    icon.colour.set_masks(masks);
    icon.mask = make_mask(width, height, false);
    const std::size_t colour_copy = std::min<std::size_t>(icon.colour.stride(), colour_stride);
    const std::size_t mask_copy = std::min<std::size_t>(icon.mask.stride(), mask_stride);
    // The views were checked whole: the rows are copied straight out of them.
    const std::uint8_t* colour_from = colour_rows.data();
    const std::uint8_t* mask_from = mask_rows.data();
    for (int r = 0; r < height; ++r) {  // r counts from the bottom row
        const int y = height - 1 - r;
        const auto row = static_cast<std::size_t>(r);
        std::copy_n(colour_from + colour_stride * row, colour_copy, icon.colour.row(y));
        if (has_mask)
            std::copy_n(mask_from + mask_stride * row, mask_copy, icon.mask.row(y));
    }

    // 32-bit images whose fourth byte is not all zero carry alpha (only when
    // that byte is not part of a colour channel).
    if (alpha_channel) {
        for (int y = 0; y < height && !icon.alpha; ++y) {
            const std::uint8_t* row = icon.colour.row(y);
            for (int x = 0; x < width; ++x) {
                if (row[4 * static_cast<std::size_t>(x) + 3] != 0) {
                    icon.alpha = true;
                    break;
                }
            }
        }
    }
    // Without a mask the fully transparent pixels make it; an image whose
    // alpha is all 0 tells nothing about transparency and shows opaque.
    if (!has_mask && icon.alpha)
        mask_from_alpha(icon);
    return icon;
}

// The colour of a target pixel (screen bitmaps: 5-5-5 for 16 bits, the
// bitmap's palette for 8).
void target_colour(const Bitmap& target, std::uint32_t value, std::uint8_t& red,
                   std::uint8_t& green, std::uint8_t& blue) noexcept {
    switch (target.bpp()) {
        case 16: {
            // Widened as the row conversion does it: v * 255 / 31, rounded.
            const auto expand = [](std::uint32_t v) {
                return static_cast<std::uint8_t>((v * 255 + 15) / 31);
            };
            red = expand(value >> 10 & 31);
            green = expand(value >> 5 & 31);
            blue = expand(value & 31);
            break;
        }
        case 8: {
            const Rgbq entry = value < target.palette().size() ? target.palette()[value] : Rgbq{};
            red = entry.red;
            green = entry.green;
            blue = entry.blue;
            break;
        }
        default:
            blue = static_cast<std::uint8_t>(value);
            green = static_cast<std::uint8_t>(value >> 8);
            red = static_cast<std::uint8_t>(value >> 16);
            break;
    }
}

std::uint8_t blend(std::uint8_t over, std::uint8_t under, unsigned alpha) noexcept {
    return static_cast<std::uint8_t>((over * alpha + under * (255 - alpha) + 127) / 255);
}

// Composites a blue, green, red colour of alpha `a` over pixel x of a target
// row.
void composite(const Bitmap& target, std::uint8_t* row, int x, const std::uint8_t* bgr,
               unsigned a) noexcept {
    const int depth = target.bpp();
    if (a == 0)
        return;
    if (a == 255) {
        set_pixel(row, x, depth, screen_pixel(depth, bgr[2], bgr[1], bgr[0]));
        return;
    }
    std::uint8_t red, green, blue;
    target_colour(target, get_pixel(row, x, depth), red, green, blue);
    set_pixel(row, x, depth,
              screen_pixel(depth, blend(bgr[2], red, a), blend(bgr[1], green, a),
                           blend(bgr[0], blue, a)));
}

// An image larger than the target, reduced to fit it row by row and
// composited by the alpha the reduction gives.
void draw_reduced(const IconImage& icon, Bitmap& target) {
    const display::Size size =
        icon_fit_size(icon.width(), icon.height(), {target.width(), target.height()});
    IconReduction reduction(icon, size.width, size.height);
    std::vector<std::uint8_t> bgra(static_cast<std::size_t>(size.width) * 4);
    for (int y = 0; y < size.height; ++y) {
        reduction.row(y, bgra.data());
        std::uint8_t* row = target.row(y);
        for (int x = 0; x < size.width; ++x) {
            const std::uint8_t* p = &bgra[4 * static_cast<std::size_t>(x)];
            composite(target, row, x, p, p[3]);
        }
    }
}

}  // namespace

unsigned icon_image_bits(std::span<const std::uint8_t> data) noexcept {
    if (is_png(data))
        return png_bits_per_pixel(data);
    const ByteView view(data);
    return view.fits(14, 2) ? view.u16le(14) : 0;
}

IconImage decode_icon_image(std::span<const std::uint8_t> data, int width, int height) {
    IconImage icon = is_png(data) ? decode_png_image(data) : decode_dib_image(data);
    if (width <= 0)
        width = icon.width();
    if (height <= 0)
        height = icon.height();
    if (width != icon.width() || height != icon.height()) {
        return scale_icon_image(icon, width, height);
    }
    return icon;
}

std::uint64_t icon_image_memory(std::span<const std::uint8_t> data, int width,
                                int height) noexcept {
    // Every read is inside the view: the sizes are checked first.
    const ByteView view(data);
    std::uint32_t stored_width = 0, stored_height = 0;
    int bpp = 32;
    if (is_png(data)) {
        if (!view.fits(16, 8))
            return 0;
        stored_width = view.be32(16);
        stored_height = view.be32(20);
        if (stored_width > kMaxPngIconSide || stored_height > kMaxPngIconSide)
            return 0;
    } else {
        if (!view.fits(0, dib::kInfoHeaderSize))
            return 0;
        const std::int32_t w = view.s32le(4);
        const std::int32_t h = view.s32le(8) / 2;
        if (w <= 0 || h <= 0)
            return 0;
        stored_width = static_cast<std::uint32_t>(w);
        stored_height = static_cast<std::uint32_t>(h);
        bpp = std::min<int>(view.u16le(14), 32);
    }
    // Sides beyond what a bitmap may hold fail when the bitmap is made.
    const auto side = [](std::uint32_t v) {
        return static_cast<int>(std::min<std::uint32_t>(v, 0x7FFFFFFF));
    };
    const int w = side(stored_width), h = side(stored_height);
    std::uint64_t bytes =
        Bitmap::bytes_for(w, h, bpp) + Bitmap::bytes_for(w, h, 1) + std::uint64_t{stored_width} * 4;
    if (width <= 0)
        width = w;
    if (height <= 0)
        height = h;
    if (width != w || height != h)
        bytes += Bitmap::bytes_for(width, height, bpp) + Bitmap::bytes_for(width, height, 1) +
                 std::uint64_t{static_cast<unsigned>(width)} * 4;
    return bytes;
}

IconImage scale_icon_image(const IconImage& icon, int width, int height) {
    return {scale_bitmap(icon.colour, width, height), scale_bitmap(icon.mask, width, height),
            icon.alpha};
}

void draw_icon(const IconImage& icon, Bitmap& target) {
    const int depth = target.bpp();
    if (depth != 32 && depth != 24 && depth != 16 && depth != 8)
        fail(kBitmapNotValid);
    if (target.empty() || icon.colour.empty())
        return;
    if (icon.width() > target.width() || icon.height() > target.height()) {
        draw_reduced(icon, target);
        return;
    }
    const Bitmap& colour = icon.colour;
    const Bitmap& mask = icon.mask;
    const int width = colour.width();
    const int height = colour.height();
    const bool alpha = icon.alpha && colour.bpp() == 32;
    const bool mask_1bpp = mask.bpp() == 1;

    std::vector<std::uint8_t> bgrx(static_cast<std::size_t>(colour.width()) * 4);
    for (int y = 0; y < height; ++y) {
        row_to_bgrx(colour, y, bgrx.data());
        const std::uint8_t* source = colour.row(y);
        const std::uint8_t* mask_row = mask_1bpp && y < mask.height() ? mask.row(y) : nullptr;
        const int mask_width = mask_row ? mask.width() : 0;
        std::uint8_t* row = target.row(y);
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* c = &bgrx[4 * static_cast<std::size_t>(x)];
            if (alpha) {
                composite(target, row, x, c, source[4 * static_cast<std::size_t>(x) + 3]);
                continue;
            }
            const std::uint32_t pixel = screen_pixel(depth, c[2], c[1], c[0]);
            const bool keep = x < mask_width && get_pixel(mask_row, x, 1) != 0;
            set_pixel(row, x, depth, keep ? get_pixel(row, x, depth) ^ pixel : pixel);
        }
    }
}

IconImage generic_application_icon() {
    constexpr int kSize = 32;
    enum : std::uint8_t { kBlack, kWhite, kBlue, kSilver, kGrey };
    IconImage icon;
    icon.colour = Bitmap(kSize, kSize, 4);
    icon.colour.fill(0);
    icon.colour.palette() = {Rgbq{0, 0, 0, 0},
                             Rgbq{255, 255, 255, 0},
                             Rgbq{128, 0, 0, 0},
                             Rgbq{192, 192, 192, 0},
                             Rgbq{128, 128, 128, 0},
                             Rgbq{},
                             Rgbq{},
                             Rgbq{},
                             Rgbq{},
                             Rgbq{},
                             Rgbq{},
                             Rgbq{},
                             Rgbq{},
                             Rgbq{},
                             Rgbq{},
                             Rgbq{}};
    icon.mask = make_mask(kSize, kSize, false);
    // A window from (1, 3) to (29, 27): black frame, blue title bar with a
    // silver box at its right end, white client area, and a grey shadow one
    // pixel to the right and below. Everything else is transparent.
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            int value = -1;
            if (x >= 1 && x <= 29 && y >= 3 && y <= 27) {
                if (x == 1 || x == 29 || y == 3 || y == 27 || y == 9) {
                    value = kBlack;
                } else if (y < 9) {
                    value = (x >= 24 && x <= 27 && y >= 5 && y <= 7) ? kSilver : kBlue;
                } else {
                    value = kWhite;
                }
            } else if ((x == 30 && y >= 4 && y <= 28) || (y == 28 && x >= 2 && x <= 30)) {
                value = kGrey;
            }
            if (value < 0) {
                set_pixel(icon.mask.row(y), x, 1, 1);
            } else {
                set_pixel(icon.colour.row(y), x, 4, static_cast<std::uint32_t>(value));
            }
        }
    }
    return icon;
}

}  // namespace quillora
