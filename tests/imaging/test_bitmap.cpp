#include <gtest/gtest.h>

#include <set>

#include "imaging/bitmap.h"
#include "platform/display.h"
#include "platform/error.h"
#include "support/fixtures.h"

namespace quillora {
namespace {

using testing::rgb_at;

TEST(Bitmap, ScreenBitmapsAreWhiteAtEachDepth) {
    struct Case {
        int depth;
        std::vector<std::uint8_t> first_pixel;
    } cases[] = {
        {32, {0xFF, 0xFF, 0xFF, 0x00}},
        {24, {0xFF, 0xFF, 0xFF}},
        {16, {0xFF, 0x7F}},
        {8, {0xFF}},
    };
    for (const Case& c : cases) {
        display::ScopedDisplay screen(c.depth);
        Bitmap b = create_screen_bitmap(5, 3);
        ASSERT_EQ(b.bpp(), c.depth);
        EXPECT_EQ(b.stride() % 4, 0u);
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 5; ++x) {
                EXPECT_EQ(rgb_at(b, x, y), 0xFFFFFFu) << c.depth;
                const std::uint8_t* p = b.row(y) + x * c.depth / 8;
                EXPECT_TRUE(std::equal(c.first_pixel.begin(), c.first_pixel.end(), p)) << c.depth;
            }
            // Row padding is zero, so written files do not depend on memory contents.
            for (std::size_t i = 5 * c.depth / 8; i < b.stride(); ++i)
                EXPECT_EQ(b.row(y)[i], 0);
        }
    }
    EXPECT_TRUE(create_screen_bitmap(0, 7).empty());
    EXPECT_EQ(create_screen_bitmap(0, 7).bits_size(), 0u);
}

TEST(Bitmap, PixelBuffersAreBounded) {
    for (auto [w, h, bpp] : {std::tuple{60000, 60000, 32}, {1 << 30, 3, 24}, {-1, 5, 8}}) {
        try {
            Bitmap b(w, h, bpp);
            ADD_FAILURE() << w << "x" << h << " was allocated";
        } catch (const Error& e) {
            EXPECT_STREQ(e.what(), "Out of system resources");
        }
    }
    Bitmap just_fits(1 << 14, 1 << 15, 32);  // exactly 2 GiB: not touched, not refused
    EXPECT_EQ(just_fits.bits_size(), kMaxPixelBytes);
}

TEST(Bitmap, EightBitScreenPalette) {
    const auto& palette = screen_palette_8bit();
    ASSERT_EQ(palette.size(), 256u);
    EXPECT_EQ(palette[0], (Rgbq{0, 0, 0, 0}));
    EXPECT_EQ(palette[255], (Rgbq{255, 255, 255, 0}));
    std::set<std::uint32_t> distinct;
    for (int i = 0; i < 256; ++i) {
        const Rgbq a = palette[i], b = palette[255 - i];
        EXPECT_EQ(a.red + b.red, 255) << i;
        EXPECT_EQ(a.green + b.green, 255) << i;
        EXPECT_EQ(a.blue + b.blue, 255) << i;
        distinct.insert(a.red << 16 | a.green << 8 | a.blue);
        // Every palette colour maps to itself.
        EXPECT_EQ(nearest_screen_index(a.red, a.green, a.blue), i);
    }
    EXPECT_EQ(distinct.size(), 256u);
    // The nearest entry, checked against a full search for a spread of colours.
    for (int r = 0; r < 256; r += 17) {
        for (int g = 3; g < 256; g += 23) {
            for (int b = 5; b < 256; b += 29) {
                int best = 0, best_d = 1 << 30;
                for (int i = 0; i < 256; ++i) {
                    int d = (palette[i].red - r) * (palette[i].red - r) +
                            (palette[i].green - g) * (palette[i].green - g) +
                            (palette[i].blue - b) * (palette[i].blue - b);
                    if (d < best_d)
                        best_d = d, best = i;
                }
                const Rgbq got = palette[nearest_screen_index(r, g, b)];
                int d = (got.red - r) * (got.red - r) + (got.green - g) * (got.green - g) +
                        (got.blue - b) * (got.blue - b);
                EXPECT_EQ(d, best_d) << r << "," << g << "," << b << " best " << best;
            }
        }
    }
}

TEST(Bitmap, RowsExpandEveryDepth) {
    // 1, 4 and 8 bits through the colour table (indices past its end are black).
    Bitmap pal4(3, 1, 4);
    pal4.palette().resize(2);
    pal4.palette()[1] = {1, 2, 3, 0};
    pal4.row(0)[0] = 0x1F;  // pixels 1 and 15
    pal4.row(0)[1] = 0x10;  // pixel 1
    EXPECT_EQ(rgb_at(pal4, 0, 0), 0x030201u);
    EXPECT_EQ(rgb_at(pal4, 1, 0), 0u);
    EXPECT_EQ(rgb_at(pal4, 2, 0), 0x030201u);

    Bitmap pal1(9, 1, 1);
    pal1.palette()[1] = {255, 255, 255, 0};
    pal1.row(0)[0] = 0x80;
    pal1.row(0)[1] = 0x80;
    EXPECT_EQ(rgb_at(pal1, 0, 0), 0xFFFFFFu);
    EXPECT_EQ(rgb_at(pal1, 1, 0), 0u);
    EXPECT_EQ(rgb_at(pal1, 8, 0), 0xFFFFFFu);

    // 16 bits: 5-5-5 by default, any masks when set; channels widen to 8 bits.
    Bitmap rgb16(2, 1, 16);
    rgb16.row(0)[0] = 0xFF;  // 0x7FFF: white in 5-5-5
    rgb16.row(0)[1] = 0x7F;
    rgb16.row(0)[2] = 0x1F;  // 0x001F: blue
    rgb16.row(0)[3] = 0x00;
    EXPECT_EQ(rgb_at(rgb16, 0, 0), 0xFFFFFFu);
    EXPECT_EQ(rgb_at(rgb16, 1, 0), 0x0000FFu);
    rgb16.set_masks({0xF800, 0x07E0, 0x001F});
    EXPECT_EQ(rgb_at(rgb16, 0, 0) & 0xFF, 0xFFu);         // blue 31 of 31
    EXPECT_EQ(rgb_at(rgb16, 0, 0) >> 16, 0x7Bu);          // red 15 of 31
    EXPECT_EQ((rgb_at(rgb16, 0, 0) >> 8) & 0xFF, 0xFFu);  // green 63 of 63

    // 32 bits: the fourth byte never shows; 10-bit masks narrow to 8.
    Bitmap rgb32(1, 1, 32);
    rgb32.row(0)[0] = 0x10, rgb32.row(0)[1] = 0x20, rgb32.row(0)[2] = 0x30, rgb32.row(0)[3] = 0x99;
    EXPECT_EQ(rgb_at(rgb32, 0, 0), 0x302010u);
    rgb32.set_masks({0x3FF00000, 0x000FFC00, 0x000003FF});
    std::uint32_t v = 0x3FFu << 20 | 0u << 10 | 0x200u;
    std::memcpy(rgb32.row(0), &v, 4);
    EXPECT_EQ(rgb_at(rgb32, 0, 0), 0xFF0080u);
}

TEST(Bitmap, DrawConvertsAndCutsAtTheEdges) {
    Bitmap source = testing::pattern_bitmap(7, 5);
    for (int depth : {32, 24, 16, 8}) {
        Bitmap target = create_screen_bitmap(4, 8, depth);
        draw(source, target);
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 4; ++x) {
                std::uint32_t want = 0xFFFFFF;
                if (y < 5) {
                    std::uint32_t c = rgb_at(source, x, y);
                    std::uint8_t r = c >> 16, g = (c >> 8) & 0xFF, b = c & 0xFF;
                    if (depth == 16) {
                        auto widen = [](int v) {
                            return (v >> 3) * 255 / 31 + ((v >> 3) * 255 % 31 > 15);
                        };
                        want = widen(r) << 16 | widen(g) << 8 | widen(b);
                    } else if (depth == 8) {
                        Rgbq p = screen_palette_8bit()[nearest_screen_index(r, g, b)];
                        want = p.red << 16 | p.green << 8 | p.blue;
                    } else {
                        want = c;
                    }
                }
                EXPECT_EQ(rgb_at(target, x, y), want) << depth << " at " << x << "," << y;
            }
        }
        if (depth == 32) {
            for (int y = 0; y < 8; ++y)
                EXPECT_EQ(target.row(y)[3], 0);
        }
    }
}

}  // namespace
}  // namespace quillora
