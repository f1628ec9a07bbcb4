#include "imaging/bitmap.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <array>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/display.h"
#include "platform/error.h"

namespace quillora {

ChannelMasks default_masks(int bpp) noexcept {
    if (bpp == 16)
        return {0x7C00, 0x03E0, 0x001F};
    if (bpp == 24 || bpp == 32)
        return {0xFF0000, 0x00FF00, 0x0000FF};
    return {};
}

std::size_t Bitmap::stride_for(int width, int bpp) noexcept {
    auto bits = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(bpp);
    return static_cast<std::size_t>((bits + 31) / 32 * 4);
}

std::uint64_t Bitmap::bytes_for(int width, int height, int bpp) noexcept {
    if (width <= 0 || height <= 0 || bpp <= 0)
        return 0;
    const std::uint64_t stride =
        (std::uint64_t{static_cast<unsigned>(width)} * static_cast<unsigned>(bpp) + 31) / 32 * 4;
    return stride * static_cast<unsigned>(height);
}

void Bitmap::Free::operator()(std::uint8_t* p) const noexcept {
    std::free(p);
}

Bitmap::Bitmap(int width, int height, int bpp, bool top_down)
    : width_(width), height_(height), bpp_(bpp), top_down_(top_down), masks_(default_masks(bpp)) {
    if (width < 0 || height < 0)
        throw Error(std::string(kOutOfResources));
    std::uint64_t stride =
        (static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(bpp) + 31) / 32 * 4;
    if (stride * static_cast<std::uint64_t>(height) > kMaxPixelBytes) {
        throw Error(std::string(kOutOfResources));
    }
    stride_ = static_cast<std::size_t>(stride);
    if (width == 0 || height == 0) {
        width_ = height_ = 0;
        stride_ = 0;
    } else {
        // calloc hands out fresh zero pages for large blocks without touching them.
        bits_.reset(static_cast<std::uint8_t*>(std::calloc(bits_size(), 1)));
        if (!bits_)
            throw Error(std::string(kOutOfResources));
    }
    if (bpp <= 8)
        palette_.assign(std::size_t{1} << bpp, Rgbq{});
}

Bitmap Bitmap::clone() const {
    Bitmap copy(width_, height_, bpp_, top_down_);
    if (bits_size() > 0)
        std::memcpy(copy.bits(), bits(), bits_size());
    copy.palette_ = palette_;
    copy.masks_ = masks_;
    return copy;
}

void Bitmap::fill(std::uint8_t byte) noexcept {
    if (bits_size() > 0)
        std::memset(bits(), byte, bits_size());
}

// ---------------------------------------------------------------------------
// Row conversion

namespace {

// How to take one channel out of a masked pixel and widen it to 8 bits.
struct Channel {
    std::uint32_t mask = 0;
    int shift = 0;
    std::uint32_t max = 0;

    explicit Channel(std::uint32_t m) : mask(m) {
        if (m == 0)
            return;
        shift = std::countr_zero(m);
        max = m >> shift;
        // A mask with holes is taken up to its highest bit.
    }
    std::uint8_t operator()(std::uint32_t pixel) const noexcept {
        if (max == 0)
            return 0;
        std::uint32_t v = (pixel & mask) >> shift;
        return static_cast<std::uint8_t>((std::uint64_t{v} * 255 + max / 2) / max);
    }
};

template <int OutBytes>
void convert_row(const Bitmap& bitmap, int y, std::uint8_t* out) {
    const std::uint8_t* in = bitmap.row(y);
    const int width = bitmap.width();
    auto put = [&out](std::uint8_t b, std::uint8_t g, std::uint8_t r) {
        out[0] = b;
        out[1] = g;
        out[2] = r;
        if constexpr (OutBytes == 4)
            out[3] = 0;
        out += OutBytes;
    };
    switch (bitmap.bpp()) {
        case 1:
        case 4:
        case 8: {
            const auto& palette = bitmap.palette();
            const int bpp = bitmap.bpp();
            const int per_byte = 8 / bpp;
            const unsigned index_mask = (1u << bpp) - 1;
            for (int x = 0; x < width; ++x) {
                int shift = 8 - bpp * (x % per_byte + 1);
                unsigned index = (in[x / per_byte] >> shift) & index_mask;
                Rgbq c = index < palette.size() ? palette[index] : Rgbq{};
                put(c.blue, c.green, c.red);
            }
            break;
        }
        case 24:
            if constexpr (OutBytes == 3) {
                std::memcpy(out, in, static_cast<std::size_t>(width) * 3);
            } else {
                for (int x = 0; x < width; ++x, in += 3)
                    put(in[0], in[1], in[2]);
            }
            break;
        case 16:
        case 32: {
            if (bitmap.bpp() == 32 && bitmap.has_default_masks()) {
                for (int x = 0; x < width; ++x, in += 4)
                    put(in[0], in[1], in[2]);
                break;
            }
            const Channel red(bitmap.masks().red), green(bitmap.masks().green),
                blue(bitmap.masks().blue);
            const int bytes = bitmap.bpp() / 8;
            for (int x = 0; x < width; ++x, in += bytes) {
                std::uint32_t pixel =
                    bytes == 2 ? std::uint32_t{in[0]} | std::uint32_t{in[1]} << 8
                               : std::uint32_t{in[0]} | std::uint32_t{in[1]} << 8 |
                                     std::uint32_t{in[2]} << 16 | std::uint32_t{in[3]} << 24;
                put(blue(pixel), green(pixel), red(pixel));
            }
            break;
        }
        default:
            std::memset(out, 0, static_cast<std::size_t>(width) * OutBytes);
    }
}

}  // namespace

void row_to_bgr(const Bitmap& bitmap, int y, std::uint8_t* out) {
    convert_row<3>(bitmap, y, out);
}
void row_to_bgrx(const Bitmap& bitmap, int y, std::uint8_t* out) {
    convert_row<4>(bitmap, y, out);
}

// ---------------------------------------------------------------------------
// The fixed 8-bit screen palette: a 6 x 6 x 6 colour cube and 40 greys, laid
// out so that entry i and entry 255 - i are complementary colours.

namespace {

constexpr int kCubeLevel = 51;  // 6 levels: 0, 51, ..., 255
constexpr int kGreys = 40;

constexpr int cube_index(int r, int g, int b) noexcept {
    int c = r * 36 + g * 6 + b;
    return c < 108 ? c : c + kGreys;
}

constexpr std::uint8_t grey_level(int k) noexcept {
    // 255 * (k + 0.5) / 40, rounded; symmetric: level(39 - k) == 255 - level(k).
    return static_cast<std::uint8_t>((255 * (2 * k + 1) + 40) / 80);
}

int square(int v) noexcept {
    return v * v;
}

}  // namespace

const std::vector<Rgbq>& screen_palette_8bit() {
    static const std::vector<Rgbq> palette = [] {
        std::vector<Rgbq> p(256);
        for (int r = 0; r < 6; ++r) {
            for (int g = 0; g < 6; ++g) {
                for (int b = 0; b < 6; ++b) {
                    p[static_cast<std::size_t>(cube_index(r, g, b))] = {
                        static_cast<std::uint8_t>(b * kCubeLevel),
                        static_cast<std::uint8_t>(g * kCubeLevel),
                        static_cast<std::uint8_t>(r * kCubeLevel), 0};
                }
            }
        }
        for (int k = 0; k < kGreys; ++k) {
            std::uint8_t v = grey_level(k);
            p[static_cast<std::size_t>(108 + k)] = {v, v, v, 0};
        }
        return p;
    }();
    return palette;
}

std::uint8_t nearest_screen_index(std::uint8_t red, std::uint8_t green,
                                  std::uint8_t blue) noexcept {
    // The nearest cube colour is found channel by channel; the nearest grey is
    // the one nearest the mean. The better of the two is the nearest entry.
    auto level = [](int v) { return (v + kCubeLevel / 2) / kCubeLevel; };
    int r = level(red), g = level(green), b = level(blue);
    int cube_distance = square(red - r * kCubeLevel) + square(green - g * kCubeLevel) +
                        square(blue - b * kCubeLevel);
    int mean = (red + green + blue + 1) / 3;
    // Grey k has level 255 * (k + 0.5) / 40: the estimate below is at most one off.
    int k = std::min(mean * kGreys / 255, kGreys - 1);
    int best_grey = k;
    int grey_distance = 1 << 30;
    for (int candidate = std::max(0, k - 1); candidate <= std::min(kGreys - 1, k + 1);
         ++candidate) {
        int v = grey_level(candidate);
        int d = square(red - v) + square(green - v) + square(blue - v);
        if (d < grey_distance) {
            grey_distance = d;
            best_grey = candidate;
        }
    }
    if (grey_distance < cube_distance)
        return static_cast<std::uint8_t>(108 + best_grey);
    return static_cast<std::uint8_t>(cube_index(r, g, b));
}

std::uint32_t screen_pixel(int depth, std::uint8_t red, std::uint8_t green,
                           std::uint8_t blue) noexcept {
    switch (depth) {
        case 8:
            return nearest_screen_index(red, green, blue);
        case 16:
            return static_cast<std::uint32_t>((red >> 3) << 10 | (green >> 3) << 5 | (blue >> 3));
        default:
            return std::uint32_t{red} << 16 | std::uint32_t{green} << 8 | blue;
    }
}

// ---------------------------------------------------------------------------
// Screen bitmaps and drawing

namespace {

// Stores a pixel value in the target's byte layout.
inline void store_pixel(std::uint8_t* p, int depth, std::uint32_t value) noexcept {
    switch (depth) {
        case 32:
            p[3] = 0;
            [[fallthrough]];
        case 24:
            p[2] = static_cast<std::uint8_t>(value >> 16);
            [[fallthrough]];
        case 16:
            p[1] = static_cast<std::uint8_t>(value >> 8);
            [[fallthrough]];
        default:
            p[0] = static_cast<std::uint8_t>(value);
    }
}

}  // namespace

Bitmap create_screen_bitmap(int width, int height) {
    return create_screen_bitmap(width, height, display::screen_depth());
}

Bitmap create_screen_bitmap(int width, int height, int depth) {
    depth = display::normalised_depth(depth);
    Bitmap bitmap(width, height, depth);
    if (depth == 8)
        bitmap.palette() = screen_palette_8bit();
    if (bitmap.empty())
        return bitmap;
    const std::uint32_t white = screen_pixel(depth, 255, 255, 255);
    const int bytes = depth / 8;
    std::uint8_t* first = bitmap.row(0);
    for (int x = 0; x < width; ++x)
        store_pixel(first + x * bytes, depth, white);
    for (int y = 1; y < height; ++y) {
        std::memcpy(bitmap.row(y), first, static_cast<std::size_t>(width) * bytes);
    }
    return bitmap;
}

void draw(const Bitmap& source, Bitmap& target) {
    const int width = std::min(source.width(), target.width());
    const int height = std::min(source.height(), target.height());
    if (width <= 0 || height <= 0)
        return;
    const int depth = target.bpp();
    const int bytes = depth / 8;
    std::vector<std::uint8_t> line(static_cast<std::size_t>(source.width()) * 4);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* out = target.row(y);
        if (depth == 24 && source.bpp() == 24) {
            std::memcpy(out, source.row(y), static_cast<std::size_t>(width) * 3);
            continue;
        }
        std::uint8_t* bgrx = depth == 32 ? out : line.data();
        if (depth == 32 && source.width() > width)
            bgrx = line.data();
        row_to_bgrx(source, y, bgrx);
        if (bgrx == out)
            continue;
        if (depth == 32) {
            std::memcpy(out, bgrx, static_cast<std::size_t>(width) * 4);
            continue;
        }
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* c = bgrx + x * 4;
            store_pixel(out + x * bytes, depth, screen_pixel(depth, c[2], c[1], c[0]));
        }
    }
}

void clear_fourth_bytes(std::uint8_t* row, int width) noexcept {
    int x = 0;
#if defined(__SSE2__)
    const __m128i keep = _mm_set1_epi32(0x00FFFFFF);
    for (; x + 4 <= width; x += 4) {
        auto* p = reinterpret_cast<__m128i*>(row + 4 * x);
        _mm_storeu_si128(p, _mm_and_si128(_mm_loadu_si128(p), keep));
    }
#endif
    for (; x < width; ++x)
        row[4 * x + 3] = 0;
}

}  // namespace quillora
