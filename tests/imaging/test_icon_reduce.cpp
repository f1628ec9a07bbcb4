#include <gtest/gtest.h>

#include <cstdint>

#include "imaging/icon_reduce.h"
#include "support/fixtures.h"

namespace quillora {
namespace {

using testing::make_icon_image;
using testing::rgb_at;

TEST(IconFitSize, KeepsTheShapeAndNeverEnlarges) {
    const struct {
        int width, height;
        display::Size box, expected;
    } cases[] = {
        {16, 16, {32, 32}, {16, 16}},  // fits: its own size
        {32, 32, {32, 32}, {32, 32}},  // exactly
        {48, 48, {32, 32}, {32, 32}},   {256, 256, {32, 32}, {32, 32}},
        {64, 32, {32, 32}, {32, 16}},                                  // wider than high
        {194, 313, {32, 32}, {20, 32}},                                // 19.8 rounds to 20
        {313, 194, {32, 32}, {32, 20}}, {48, 16, {32, 32}, {32, 11}},  // 10.7 rounds to 11
        {33, 32, {32, 32}, {32, 31}},   {40, 8, {32, 32}, {32, 6}},    // larger one way only
        {1024, 1, {32, 32}, {32, 1}},                                  // never thinner than a pixel
        {1, 1024, {32, 32}, {1, 32}},   {640, 480, {91, 53}, {71, 53}},  // a box that is not square
        {8, 8, {3, 2}, {2, 2}},
    };
    for (const auto& c : cases) {
        const display::Size size = icon_fit_size(c.width, c.height, c.box);
        EXPECT_EQ(size.width, c.expected.width) << c.width << " x " << c.height;
        EXPECT_EQ(size.height, c.expected.height) << c.width << " x " << c.height;
    }
}

// The icon drawn on a white 32 x 32 bitmap of a depth.
Bitmap drawn(const IconImage& icon, int depth = 32) {
    Bitmap target = create_screen_bitmap(32, 32, depth);
    draw_icon(icon, target);
    return target;
}

constexpr std::uint32_t kWhite = 0xFFFFFF, kRed = 0xFF0000;

TEST(IconReduce, SolidColoursStayExactAtEveryDepth) {
    const IconImage icon = make_icon_image(64, 64, [](int, int) { return 0x12B456u; });
    for (const int depth : {32, 24, 16, 8}) {
        const Bitmap target = drawn(icon, depth);
        const Bitmap expected = [&] {
            Bitmap one = create_screen_bitmap(1, 1, depth);
            draw_icon(make_icon_image(1, 1, [](int, int) { return 0x12B456u; }), one);
            return one;
        }();
        EXPECT_EQ(rgb_at(target, 0, 0), rgb_at(expected, 0, 0)) << depth;
        EXPECT_EQ(rgb_at(target, 31, 31), rgb_at(expected, 0, 0)) << depth;
    }
}

TEST(IconReduce, NeighboursAreAveraged) {
    // Pixels alternating black and white: every result pixel covers two of
    // each, and shows grey rather than either.
    const IconImage checks =
        make_icon_image(64, 64, [](int x, int y) { return (x + y) % 2 ? kWhite : 0u; });
    const Bitmap target = drawn(checks);
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x)
            ASSERT_EQ(rgb_at(target, x, y), 0x808080u) << x << "," << y;
    }
    // Three to two, columns white, black, black: the first result column
    // covers the white one and half a black one, the second only black.
    const IconImage stripes =
        make_icon_image(48, 48, [](int x, int) { return x % 3 ? 0u : kWhite; });
    const Bitmap mixed = drawn(stripes);
    EXPECT_EQ(rgb_at(mixed, 0, 0), 0xAAAAAAu);
    EXPECT_EQ(rgb_at(mixed, 1, 0), 0u);
    EXPECT_EQ(rgb_at(mixed, 2, 31), 0xAAAAAAu);
}

TEST(IconReduce, TransparencyIsAveragedWithoutDarkEdges) {
    // Transparent (set bit over black) left of x = 33, red right of it: the
    // result column 16 covers one pixel of each and is half red over white,
    // not red darkened by the black under the transparent pixels.
    const IconImage icon = make_icon_image(
        64, 64, [](int x, int) { return x < 33 ? 0u : kRed; }, [](int x, int) { return x < 33; });
    const Bitmap target = drawn(icon);
    EXPECT_EQ(rgb_at(target, 15, 9), kWhite);
    EXPECT_EQ(rgb_at(target, 16, 9), 0xFF7F7Fu);
    EXPECT_EQ(rgb_at(target, 17, 9), kRed);
    // On another background the same reduction shows that background.
    Bitmap blue(32, 32, 32);
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x)
            blue.row(y)[4 * x] = 0xFF;
    }
    draw_icon(icon, blue);
    EXPECT_EQ(rgb_at(blue, 15, 9), 0x0000FFu);
    EXPECT_EQ(rgb_at(blue, 16, 9), 0x80007Fu);
}

TEST(IconReduce, InvertingPixelsShowWhatTheyShowOnWhite) {
    // A set mask bit over a colour inverts the background: on white, the
    // colour's complement, which the reduced image keeps.
    const IconImage icon = make_icon_image(
        64, 64, [](int, int) { return 0x12B456u; }, [](int, int) { return true; });
    const Bitmap target = drawn(icon);
    EXPECT_EQ(rgb_at(target, 0, 0), 0xED4BA9u);
    EXPECT_EQ(rgb_at(target, 31, 31), 0xED4BA9u);
}

TEST(IconReduce, AlphaKeepsItsColourAndAveragesItsCover) {
    // Blue at alpha 255 and 0 in turns: half covered by pure blue.
    IconImage icon;
    icon.colour = Bitmap(64, 64, 32);
    icon.mask = Bitmap(64, 64, 1);
    icon.alpha = true;
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            std::uint8_t* p = icon.colour.row(y) + 4 * x;
            p[0] = 255;
            p[3] = (x + y) % 2 ? 255 : 0;
        }
    }
    const Bitmap target = drawn(icon);
    EXPECT_EQ(rgb_at(target, 7, 7), 0x7F7FFFu);
}

TEST(IconReduce, ReducedImageIsPlacedInATransparentBox) {
    const IconImage icon = make_icon_image(
        64, 32, [](int x, int) { return x >= 62 ? 0u : kRed; }, [](int x, int) { return x >= 62; });
    const IconImage boxed = reduce_icon_image(icon, {32, 32});
    ASSERT_EQ(boxed.width(), 32);
    ASSERT_EQ(boxed.height(), 32);
    EXPECT_TRUE(boxed.alpha);
    EXPECT_EQ(boxed.colour.bpp(), 32);
    const auto alpha = [&](int x, int y) { return boxed.colour.row(y)[4 * x + 3]; };
    const auto mask = [&](int x, int y) { return (boxed.mask.row(y)[x / 8] >> (7 - x % 8)) & 1; };
    EXPECT_EQ(alpha(0, 0), 255);
    EXPECT_EQ(mask(0, 0), 0);
    EXPECT_EQ(rgb_at(boxed.colour, 0, 0), kRed);
    EXPECT_EQ(alpha(31, 15), 0);  // the transparent right edge
    EXPECT_EQ(mask(31, 15), 1);
    for (const int x : {0, 31}) {
        EXPECT_EQ(alpha(x, 16), 0);
        EXPECT_EQ(mask(x, 16), 1);
        EXPECT_EQ(rgb_at(boxed.colour, x, 16), 0u);
    }
}

}  // namespace
}  // namespace quillora
