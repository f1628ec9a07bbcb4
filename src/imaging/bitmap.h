// Bitmaps: width, height, pixel depth, colour table and pixel rows, laid out
// as in a BMP file (each row padded to a multiple of 4 bytes).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace quillora {

// One colour-table entry, in the byte order of BMP files.
struct Rgbq {
    std::uint8_t blue = 0, green = 0, red = 0, reserved = 0;
    friend bool operator==(const Rgbq&, const Rgbq&) = default;
};

// Channel masks of 16 and 32-bit pixels.
struct ChannelMasks {
    std::uint32_t red = 0, green = 0, blue = 0;
    friend bool operator==(const ChannelMasks&, const ChannelMasks&) = default;
};

// The masks a BMP file without bit fields implies: 5-5-5 for 16 bits,
// 8-8-8 for 24 and 32 bits.
ChannelMasks default_masks(int bpp) noexcept;

// The largest pixel buffer a bitmap may have; larger ones fail with
// "Out of system resources", as when the system cannot create a bitmap.
inline constexpr std::uint64_t kMaxPixelBytes = std::uint64_t{2} << 30;

class Bitmap {
  public:
    // An empty bitmap: width and height 0, no pixels.
    Bitmap() = default;
    // A bitmap whose pixel bytes are all 0. bpp is 1, 4, 8, 16, 24 or 32. A
    // bitmap with a palette depth gets a colour table of 2^bpp black entries.
    // Fails with "Out of system resources" when the pixels would not fit in
    // kMaxPixelBytes or cannot be allocated.
    Bitmap(int width, int height, int bpp, bool top_down = false);

    Bitmap(Bitmap&&) noexcept = default;
    Bitmap& operator=(Bitmap&&) noexcept = default;
    Bitmap(const Bitmap&) = delete;
    Bitmap& operator=(const Bitmap&) = delete;
    Bitmap clone() const;

    int width() const noexcept { return width_; }
    int height() const noexcept { return height_; }
    int bpp() const noexcept { return bpp_; }
    bool empty() const noexcept { return width_ == 0 || height_ == 0; }
    // Whether rows are stored top row first (BMP files store them bottom-up).
    bool top_down() const noexcept { return top_down_; }

    // Bytes per stored row, a multiple of 4.
    std::size_t stride() const noexcept { return stride_; }
    static std::size_t stride_for(int width, int bpp) noexcept;
    // The pixel bytes of a bitmap of that size and depth (0 for an empty one).
    static std::uint64_t bytes_for(int width, int height, int bpp) noexcept;

    // Row y, counted from the top.
    std::uint8_t* row(int y) noexcept { return bits_.get() + row_offset(y); }
    const std::uint8_t* row(int y) const noexcept { return bits_.get() + row_offset(y); }

    // All pixel rows in storage order.
    std::uint8_t* bits() noexcept { return bits_.get(); }
    const std::uint8_t* bits() const noexcept { return bits_.get(); }
    std::size_t bits_size() const noexcept { return stride_ * static_cast<std::size_t>(height_); }

    // Colour table, for 1, 4 and 8 bits per pixel (may be shorter than 2^bpp
    // when read from a file; indices past its end show black).
    std::vector<Rgbq>& palette() noexcept { return palette_; }
    const std::vector<Rgbq>& palette() const noexcept { return palette_; }

    // Channel masks, for 16, 24 and 32 bits per pixel.
    const ChannelMasks& masks() const noexcept { return masks_; }
    void set_masks(const ChannelMasks& masks) noexcept { masks_ = masks; }
    bool has_default_masks() const noexcept { return masks_ == default_masks(bpp_); }

    void fill(std::uint8_t byte) noexcept;

  private:
    std::size_t row_offset(int y) const noexcept {
        auto r = static_cast<std::size_t>(top_down_ ? y : height_ - 1 - y);
        return r * stride_;
    }

    int width_ = 0, height_ = 0, bpp_ = 32;
    bool top_down_ = false;
    std::size_t stride_ = 0;
    struct Free {
        void operator()(std::uint8_t* p) const noexcept;
    };
    std::unique_ptr<std::uint8_t[], Free> bits_;
    std::vector<Rgbq> palette_;
    ChannelMasks masks_ = default_masks(32);
};

// Converts row y of any bitmap to blue, green, red triples (width * 3 bytes).
void row_to_bgr(const Bitmap& bitmap, int y, std::uint8_t* out);
// Converts row y of any bitmap to blue, green, red, 0 quads (width * 4 bytes).
void row_to_bgrx(const Bitmap& bitmap, int y, std::uint8_t* out);

// Sets the fourth byte of `width` 4-byte pixels to 0, as 32-bit bitmaps have
// it (libjpeg-turbo and lcms2 leave 0xFF or whatever was there).
void clear_fourth_bytes(std::uint8_t* row, int width) noexcept;

// ---------------------------------------------------------------------------
// Screen bitmaps: the screen's pixel depth, every pixel white.

// A white bitmap at the screen's colour depth (platform/display): 32 bits on
// a true-colour screen (the fourth byte 0), 24, 16 (5-5-5) or 8 bits with the
// fixed screen palette.
Bitmap create_screen_bitmap(int width, int height);
// The same at a given depth (32, 24, 16 or 8).
Bitmap create_screen_bitmap(int width, int height, int depth);

// The 256 colours of the 8-bit screen. Index 0 is black and 255 white, and
// indices i and 255 - i hold complementary colours, so pixel arithmetic with
// exclusive-or behaves as on a palette screen.
const std::vector<Rgbq>& screen_palette_8bit();
// The screen palette index nearest to a colour.
std::uint8_t nearest_screen_index(std::uint8_t red, std::uint8_t green, std::uint8_t blue) noexcept;

// Packs a colour as a pixel value of a screen bitmap of depth 32, 24, 16 or 8.
std::uint32_t screen_pixel(int depth, std::uint8_t red, std::uint8_t green,
                           std::uint8_t blue) noexcept;

// Draws `source` onto a screen bitmap with its top-left corner at the
// target's top-left corner, at its own size, cut at the target's edges and
// converted to the target's depth.
void draw(const Bitmap& source, Bitmap& target);

}  // namespace quillora
