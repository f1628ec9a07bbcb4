#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "fuzz/hostile_inputs.h"
#include "imaging/bitmap.h"
#include "imaging/exe_icons.h"
#include "imaging/icon_writer.h"
#include "platform/display.h"
#include "support/pe_layout.h"
#include "support/png_reference.h"
#include "support/temp_dir.h"

namespace quillora {
namespace {

using exe_icons::count_exe_icons;
using exe_icons::extract_exe_icon;
using testing::Bytes;
using testing::get16;
using testing::get32;
using testing::kGroup;
using testing::kIcon;
using testing::PeDamage;
using testing::PeLayout;
using testing::set16;
using testing::set32;

std::string fixture(const std::string& name) {
    return testing::exe_fixture(name);
}
Bytes fixture_bytes(const std::string& name) {
    return testing::exe_fixture_bytes(name);
}

// ---------------------------------------------------------------------------
// Pixel checks

struct Rgb {
    int red, green, blue;
};
constexpr Rgb kYellow{255, 255, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255}, kMagenta{255, 0, 255},
    kCyan{0, 255, 255}, kOrange{255, 128, 0}, kNavy{0, 0, 128}, kBlack{0, 0, 0};

std::uint32_t pixel_value(const Bitmap& bitmap, int x, int y) {
    const std::uint8_t* row = bitmap.row(y);
    switch (bitmap.bpp()) {
        case 8:
            return row[x];
        case 16:
            return row[2 * x] | row[2 * x + 1] << 8;
        case 24:
            return row[3 * x] | row[3 * x + 1] << 8 | row[3 * x + 2] << 16;
        default:
            return row[4 * x] | row[4 * x + 1] << 8 | row[4 * x + 2] << 16;
    }
}
int alpha_at(const Bitmap& bitmap, int x, int y) {
    return bitmap.row(y)[4 * x + 3];
}
bool mask_at(const Bitmap& mask, int x, int y) {
    return (mask.row(y)[x / 8] >> (7 - x % 8)) & 1;
}

// The icon is the system icon size at the screen depth, bottom row first, of
// the colour `opaque` with a transparent top-left quarter.
void expect_icon(const std::optional<IconImage>& icon, Rgb opaque, int size = 32) {
    ASSERT_TRUE(icon.has_value());
    const int depth = display::screen_depth();
    EXPECT_EQ(icon->width(), size);
    EXPECT_EQ(icon->height(), size);
    EXPECT_EQ(icon->colour.bpp(), depth);
    EXPECT_FALSE(icon->colour.top_down());
    EXPECT_EQ(icon->mask.bpp(), 1);
    EXPECT_EQ(icon->mask.width(), size);
    EXPECT_EQ(icon->mask.height(), size);
    EXPECT_FALSE(icon->mask.top_down());
    const std::uint32_t colour = screen_pixel(depth, opaque.red, opaque.green, opaque.blue);
    const std::uint32_t black = screen_pixel(depth, 0, 0, 0);
    const int half = size / 2;
    for (const auto& [x, y] : {std::pair{0, 0}, {half - 1, half - 1}, {half - 1, 0}}) {
        SCOPED_TRACE(::testing::Message() << "transparent pixel " << x << "," << y);
        EXPECT_TRUE(mask_at(icon->mask, x, y));
        EXPECT_EQ(pixel_value(icon->colour, x, y), black);
        if (depth == 32) {
            EXPECT_EQ(alpha_at(icon->colour, x, y), 0);
        }
    }
    for (const auto& [x, y] : {std::pair{half, 0}, {0, half}, {size - 1, size - 1}, {half, half}}) {
        SCOPED_TRACE(::testing::Message() << "opaque pixel " << x << "," << y);
        EXPECT_FALSE(mask_at(icon->mask, x, y));
        EXPECT_EQ(pixel_value(icon->colour, x, y), colour);
        if (depth == 32) {
            EXPECT_EQ(alpha_at(icon->colour, x, y), icon->alpha ? 255 : 0);
        }
    }
}

// ---------------------------------------------------------------------------
// The fixture executables

struct FixtureCase {
    const char* file;
    int count;
};

class ExeIconsFixtures : public ::testing::TestWithParam<FixtureCase> {};

TEST_P(ExeIconsFixtures, CountsGroupsFromFileAndBytes) {
    display::ScopedDisplay display(32);
    EXPECT_EQ(count_exe_icons(fixture(GetParam().file)), GetParam().count);
    EXPECT_EQ(count_exe_icons(fixture_bytes(GetParam().file)), GetParam().count);
}

TEST_P(ExeIconsFixtures, NoIconBeforeTheFirstOrPastTheLastGroup) {
    display::ScopedDisplay display(32);
    const Bytes bytes = fixture_bytes(GetParam().file);
    for (const int index : {-1, -2, GetParam().count, GetParam().count + 1, 1 << 30}) {
        SCOPED_TRACE(index);
        EXPECT_FALSE(extract_exe_icon(bytes, index).has_value());
        EXPECT_FALSE(extract_exe_icon(fixture(GetParam().file), index).has_value());
    }
}

INSTANTIATE_TEST_SUITE_P(
    All, ExeIconsFixtures,
    ::testing::Values(FixtureCase{"icons3_x64.exe", 3}, FixtureCase{"icons3_x86.exe", 3},
                      FixtureCase{"icon1_x64.dll", 1}, FixtureCase{"icon1_x86.dll", 1},
                      FixtureCase{"noicons_x64.exe", 0}, FixtureCase{"noicons_x86.exe", 0}));

// The icon at each index, per screen depth: the choice of the image changes
// with the colour limit (the 16-colour images come first in their groups).
struct IconCase {
    const char* file;
    int index;
    int depth;
    Rgb colour;
    bool alpha;  // on a 32-bit screen
};

class ExeIconAtIndex : public ::testing::TestWithParam<IconCase> {};

TEST_P(ExeIconAtIndex, IsTheChosenImageAtTheScreenDepth) {
    const IconCase& c = GetParam();
    display::ScopedDisplay display(c.depth);
    const auto icon = extract_exe_icon(fixture(c.file), c.index);
    expect_icon(icon, c.colour);
    if (icon) {
        EXPECT_EQ(icon->alpha, c.alpha && c.depth == 32);
    }
}

std::vector<IconCase> icon_cases() {
    std::vector<IconCase> cases;
    for (const char* file : {"icons3_x64.exe", "icons3_x86.exe"}) {
        // MAINICON: 32x32 green at full colour, the 16-colour yellow at 8 bits.
        cases.push_back({file, 0, 32, kGreen, true});
        cases.push_back({file, 0, 24, kGreen, true});
        cases.push_back({file, 0, 16, kGreen, true});
        cases.push_back({file, 0, 8, kYellow, false});
        // A PNG image of 256 x 256, scaled down.
        for (const int depth : {32, 24, 16})
            cases.push_back({file, 1, depth, kMagenta, true});
        // 48 x 48 at 24 bits, reduced: the reduction's edges need alpha.
        for (const int depth : {32, 16, 8})
            cases.push_back({file, 2, depth, kCyan, true});
    }
    for (const char* file : {"icon1_x64.dll", "icon1_x86.dll"}) {
        // 32x32 8-bit orange, or the 16x16 4-bit navy scaled up at 8 bits.
        cases.push_back({file, 0, 32, kOrange, false});
        cases.push_back({file, 0, 16, kOrange, false});
        cases.push_back({file, 0, 8, kNavy, false});
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(All, ExeIconAtIndex, ::testing::ValuesIn(icon_cases()));

TEST(ExeIcons, PngImageOnTheEightBitScreen) {
    // Screen palette colours are near, not exact: check by the palette index.
    display::ScopedDisplay display(8);
    const auto icon = extract_exe_icon(fixture("icons3_x64.exe"), 1);
    ASSERT_TRUE(icon.has_value());
    EXPECT_EQ(icon->colour.bpp(), 8);
    EXPECT_FALSE(icon->alpha);
    EXPECT_EQ(pixel_value(icon->colour, 0, 0), 0u);
    EXPECT_TRUE(mask_at(icon->mask, 0, 0));
    EXPECT_EQ(pixel_value(icon->colour, 31, 31), nearest_screen_index(255, 0, 255));
}

TEST(ExeIcons, SystemIconSizeDecidesTheImageAndTheSize) {
    // Wanted 48 x 48: the 48 x 48 blue image, at its own size.
    display::ScopedDisplay display(32, {48, 48});
    expect_icon(extract_exe_icon(fixture("icons3_x64.exe"), 0), kBlue, 48);
    // The 24-bit group's only image is 48 x 48 too.
    expect_icon(extract_exe_icon(fixture("icons3_x64.exe"), 2), kCyan, 48);
}

TEST(ExeIcons, MissingFileAndFolderHoldNothing) {
    testing::TempDir dir;
    EXPECT_EQ(count_exe_icons(dir.file("missing.exe")), 0);
    EXPECT_FALSE(extract_exe_icon(dir.file("missing.exe"), 0).has_value());
    EXPECT_EQ(count_exe_icons(dir.path().string()), 0);
    EXPECT_FALSE(extract_exe_icon(dir.path().string(), 0).has_value());
    EXPECT_EQ(count_exe_icons(std::string()), 0);
}

// ---------------------------------------------------------------------------
// Groups built in code

// The data of a 32 x 32 icon image as icon files and resources store it: a
// DIB of `bpp` bits (8 with a one-colour table), one solid opaque colour.
Bytes dib_image(int bpp, Rgb colour) {
    IconImage icon;
    icon.colour = Bitmap(32, 32, bpp);
    icon.mask = Bitmap(32, 32, 1);
    if (bpp == 8) {
        icon.colour.palette().assign(256, Rgbq{});
        icon.colour.palette()[0] =
            Rgbq{static_cast<std::uint8_t>(colour.blue), static_cast<std::uint8_t>(colour.green),
                 static_cast<std::uint8_t>(colour.red), 0};
    } else {
        for (int y = 0; y < 32; ++y) {
            for (int x = 0; x < 32; ++x) {
                std::uint8_t* p = icon.colour.row(y) + x * bpp / 8;
                p[0] = static_cast<std::uint8_t>(colour.blue);
                p[1] = static_cast<std::uint8_t>(colour.green);
                p[2] = static_cast<std::uint8_t>(colour.red);
            }
        }
    }
    MemoryIconStream stream;
    EncodeIconToStream(stream, icon);
    return Bytes(stream.bytes.begin() + 22, stream.bytes.end());
}

// A PNG image of width x height whose pixels `bgra(x, y)` gives.
template <typename F>
Bytes png_image(int width, int height, F bgra) {
    testing::ReferenceImage image{width, height, {}};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::array<std::uint8_t, 4> p = bgra(x, y);
            image.bgra.insert(image.bgra.end(), p.begin(), p.end());
        }
    }
    return testing::encode_png_reference(image);
}

// A 256-colour and a true-colour image of 32 x 32 whose colour-count bytes
// are both 0 tie: the true-colour one is taken in either order, up to the
// screen depth; the bits come from the group or, where it says 0, from the
// image's header.
TEST(ExeIconsChoice, TiesGoToTheDeeperImageInEitherOrder) {
    constexpr Rgb kRed{200, 0, 0}, kGreen200{0, 200, 0};
    for (const bool listed : {true, false}) {
        const hostile::GroupImage eight{dib_image(8, kRed), 32, 0,
                                        static_cast<std::uint16_t>(listed ? 8 : 0)};
        const hostile::GroupImage deep{dib_image(32, kGreen200), 32, 0,
                                       static_cast<std::uint16_t>(listed ? 32 : 0)};
        for (const bool reversed : {false, true}) {
            const Bytes exe = hostile::executable_with_icons(reversed ? std::vector{deep, eight}
                                                                      : std::vector{eight, deep});
            for (const int depth : {32, 16, 8}) {
                SCOPED_TRACE(::testing::Message() << "listed " << listed << ", reversed "
                                                  << reversed << ", depth " << depth);
                display::ScopedDisplay display(depth);
                const auto icon = extract_exe_icon(exe, 0);
                ASSERT_TRUE(icon.has_value());
                // On an 8-bit screen colour byte 0 is over the limit: the first stays.
                const Rgb expected = depth == 8 ? (reversed ? kGreen200 : kRed) : kGreen200;
                EXPECT_EQ(pixel_value(icon->colour, 5, 5),
                          screen_pixel(depth, static_cast<std::uint8_t>(expected.red),
                                       static_cast<std::uint8_t>(expected.green),
                                       static_cast<std::uint8_t>(expected.blue)));
            }
        }
    }
}

// An image larger than the system icon size is reduced by area averaging
// to fit it keeping its shape, at the top-left corner; the rest of the icon
// is transparent.
TEST(ExeIcons, LargerImagesAreReducedKeepingTheirShape) {
    display::ScopedDisplay display(32);
    const auto wide = png_image(64, 32, [](int, int) {
        return std::array<std::uint8_t, 4>{255, 0, 255, 255};
    });
    const auto icon = extract_exe_icon(hostile::executable_with_icon(wide, 64), 0);
    ASSERT_TRUE(icon.has_value());
    EXPECT_EQ(icon->width(), 32);
    EXPECT_EQ(icon->height(), 32);
    EXPECT_TRUE(icon->alpha);
    for (int y = 0; y < 32; ++y) {
        SCOPED_TRACE(y);
        const bool inside = y < 16;
        EXPECT_EQ(mask_at(icon->mask, 31, y), !inside);
        EXPECT_EQ(alpha_at(icon->colour, 31, y), inside ? 255 : 0);
        EXPECT_EQ(pixel_value(icon->colour, 31, y), inside ? 0xFF00FFu : 0u);
    }
    // Pixels alternating black and white average to grey, not to either.
    const auto checks = png_image(64, 64, [](int x, int y) {
        const auto v = static_cast<std::uint8_t>((x + y) % 2 ? 255 : 0);
        return std::array<std::uint8_t, 4>{v, v, v, 255};
    });
    const auto grey = extract_exe_icon(hostile::executable_with_icon(checks, 64), 0);
    ASSERT_TRUE(grey.has_value());
    for (const auto& [x, y] : {std::pair{0, 0}, {13, 7}, {31, 31}})
        EXPECT_EQ(pixel_value(grey->colour, x, y), 0x808080u) << x << "," << y;
}

// ---------------------------------------------------------------------------
// Damaged files

TEST(ExeIconsDamaged, TruncationInsideAnImageLosesThatIconOnly) {
    display::ScopedDisplay display(32);
    const Bytes whole = fixture_bytes("icons3_x64.exe");
    const PeLayout layout(whole);
    // The chosen images of the three groups are icon resources 3, 6 and 7
    // (entries 2, 5 and 6 of the icon directory). Cut inside the cyan one.
    const std::size_t image_entries[3] = {2, 5, 6};
    const std::size_t cut_at = layout.data(kIcon, 6) + 100;
    const Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut_at));
    const auto ends = [&](std::uint32_t type, std::size_t i) {
        return layout.data(type, i) + get32(whole, layout.data_entry(type, i) + 4);
    };
    EXPECT_EQ(count_exe_icons(cut), 3);
    const Rgb colours[3] = {kGreen, kMagenta, kCyan};
    for (int index = 0; index < 3; ++index) {
        SCOPED_TRACE(index);
        const bool whole_icon =
            ends(kGroup, index) <= cut_at && ends(kIcon, image_entries[index]) <= cut_at;
        const auto icon = extract_exe_icon(cut, index);
        EXPECT_EQ(icon.has_value(), whole_icon);
        if (whole_icon) {
            expect_icon(icon, colours[index]);
        }
    }
    EXPECT_FALSE(extract_exe_icon(cut, 2).has_value());
}

// Damages to the data of a group or an image of the 64-bit fixture.
const PeDamage kDamages[] = {
    {"group with no images",
     [](Bytes& b, const PeLayout& l) { set16(b, l.data(kGroup, 0) + 4, 0); },
     3,
     {false, true, true}},
    {"group claims more images than it holds",
     [](Bytes& b, const PeLayout& l) { set16(b, l.data(kGroup, 0) + 4, 0xFFFF); },
     3,
     {true, true, true}},
    {"group names an icon that is not there",
     [](Bytes& b, const PeLayout& l) { set16(b, l.data(kGroup, 2) + 6 + 12, 999); },
     3,
     {true, true, false}},
    {"PNG image claims 60000 x 60000 pixels",
     [](Bytes& b, const PeLayout& l) {
         // Group 1's only image is the PNG: its IHDR width and height.
         const std::size_t group = l.data(kGroup, 1);
         const std::uint32_t id = get16(b, group + 6 + 12);
         const std::size_t icons = l.root + l.subdirectory(l.type_entry(kIcon));
         for (std::size_t i = 0; i < get16(b, icons + 14); ++i) {
             if (get32(b, l.entry(l.subdirectory(l.type_entry(kIcon)), i)) == id) {
                 const std::size_t png = l.data(kIcon, i);
                 for (const std::size_t at : {png + 16, png + 20}) {
                     b[at] = 0;
                     b[at + 1] = 0;
                     b[at + 2] = 0xEA;
                     b[at + 3] = 0x60;
                 }
             }
         }
     },
     3,
     {true, false, true}},
    {"image that is neither DIB nor PNG",
     [](Bytes& b, const PeLayout& l) { set32(b, l.data(kIcon, 6), 0x12345678); },
     3,
     {true, true, false}},
};

TEST(ExeIconsDamaged, EachDamageLosesOnlyWhatItTouches) {
    display::ScopedDisplay display(32);
    const Bytes original = fixture_bytes("icons3_x64.exe");
    const Rgb colours[3] = {kGreen, kMagenta, kCyan};
    for (const PeDamage& damage : kDamages) {
        SCOPED_TRACE(damage.name);
        Bytes bytes = original;
        damage.apply(bytes, PeLayout(original));
        ASSERT_NE(bytes, original);
        const int count = count_exe_icons(bytes);
        if (damage.count >= 0) {
            EXPECT_EQ(count, damage.count);
        }
        for (int index = 0; index < 3; ++index) {
            SCOPED_TRACE(index);
            const auto icon = extract_exe_icon(bytes, index);
            EXPECT_EQ(icon.has_value(), damage.icons[index]);
            if (icon && damage.icons[index])
                expect_icon(icon, colours[index]);
        }
        for (int index = 3; index < std::min(count, 64); ++index)
            (void)extract_exe_icon(bytes, index);
    }
}

// A group whose images all tie and name no bit count: the choice reads each
// image's header, through the one reader's bounded look-ups, and still
// finds the icon.
TEST(ExeIconsHostile, ManyTiedImagesWithoutBitCounts) {
    display::ScopedDisplay display(32);
    const Bytes exe = hostile::executable_with_icons(std::vector<hostile::GroupImage>(
        1000, hostile::GroupImage{hostile::icon_image_32(1, 1, true), 32, 0, 0}));
    EXPECT_EQ(count_exe_icons(exe), 1);
    const std::optional<IconImage> icon = extract_exe_icon(exe, 0);
    ASSERT_TRUE(icon.has_value());
    EXPECT_EQ(icon->width(), 32);
    EXPECT_EQ(icon->height(), 32);
}

// A PNG image larger than any icon format holds is no icon, whatever its
// data: a 66 KB executable must not cost gigabytes to show 32 x 32 pixels.
TEST(ExeIconsHostile, PngImagesOver1024PixelsAreNoIcon) {
    display::ScopedDisplay display(32);
    const struct {
        const char* what;
        Bytes png;
        bool icon;
    } cases[] = {
        {"32 x 32", hostile::blank_png(32, 32, 8), true},
        {"1024 x 1024", hostile::blank_png(1024, 1024, 1), true},
        {"1025 x 1", hostile::blank_png(1025, 1, 8), false},
        {"23170 x 23170, 1 bit", hostile::blank_png(hostile::kBombSide, hostile::kBombSide, 1),
         false},
    };
    for (const auto& c : cases) {
        const Bytes exe = hostile::executable_with_icon(c.png);
        EXPECT_EQ(count_exe_icons(exe), 1) << c.what;
        const std::optional<IconImage> icon = extract_exe_icon(exe, 0);
        EXPECT_EQ(icon.has_value(), c.icon) << c.what;
        if (icon) {
            EXPECT_EQ(icon->width(), 32) << c.what;
            EXPECT_EQ(icon->height(), 32) << c.what;
        }
    }
}

}  // namespace
}  // namespace quillora
