#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "imaging/bitmap.h"
#include "imaging/ico.h"
#include "imaging/icon_image.h"
#include "imaging/icon_writer.h"
#include "platform/display.h"
#include "platform/error.h"
#include "platform/files.h"
#include "support/temp_dir.h"

namespace quillora {
namespace {

using Bytes = std::vector<std::uint8_t>;

const std::string kInvalidIcon = "System Error.  Code: 1402.\r\nInvalid cursor handle.";

std::uint32_t u16(const Bytes& b, std::size_t at) {
    return static_cast<std::uint32_t>(b.at(at) | b.at(at + 1) << 8);
}
std::uint32_t u32(const Bytes& b, std::size_t at) {
    return u16(b, at) | u16(b, at + 2) << 16;
}

// An icon of the given size and colour depth with a pixel pattern that
// differs from row to row and pixel to pixel, a colour table of `colours`
// entries for palette depths (-1: the bitmap's full table), and a mask that
// lets every third pixel show the background.
IconImage make_icon(int width, int height, int bpp, int colours = -1, bool top_down = false) {
    IconImage icon;
    icon.colour = Bitmap(width, height, bpp, top_down);
    if (bpp <= 8) {
        const int full = 1 << bpp;
        if (colours >= 0)
            icon.colour.palette().resize(static_cast<std::size_t>(colours));
        for (std::size_t i = 0; i < icon.colour.palette().size(); ++i) {
            icon.colour.palette()[i] =
                Rgbq{static_cast<std::uint8_t>(i * 37), static_cast<std::uint8_t>(255 - i * 11),
                     static_cast<std::uint8_t>(i * 5 + 1), 0x5A};
        }
        const int used = colours >= 0 ? colours : full;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const int index = used > 0 ? (x * 3 + y * 5) % used : 0;
                std::uint8_t* row = icon.colour.row(y);
                if (bpp == 8) {
                    row[x] = static_cast<std::uint8_t>(index);
                } else if (bpp == 4) {
                    row[x / 2] |= static_cast<std::uint8_t>(index << (x % 2 ? 0 : 4));
                } else if (index != 0) {
                    row[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
                }
            }
        }
    } else {
        const std::size_t bytes = static_cast<std::size_t>(bpp / 8);
        for (int y = 0; y < height; ++y) {
            std::uint8_t* row = icon.colour.row(y);
            for (std::size_t i = 0; i < bytes * static_cast<std::size_t>(width); ++i)
                row[i] = static_cast<std::uint8_t>(i * 29 + static_cast<std::size_t>(y) * 71 + 3);
            if (bpp == 32) {
                for (int x = 0; x < width; ++x)
                    row[4 * x + 3] = 0;
            }
        }
    }
    icon.mask = Bitmap(width, height, 1, top_down);
    icon.mask.fill(0);
    icon.mask.palette() = {Rgbq{0, 0, 0, 0}, Rgbq{255, 255, 255, 0}};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if ((x + 2 * y) % 3 == 0)
                icon.mask.row(y)[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
        }
    }
    return icon;
}

// A 32-bit icon whose fourth bytes are alpha values.
IconImage make_alpha_icon(int width, int height, bool top_down = false) {
    IconImage icon = make_icon(width, height, 32, -1, top_down);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            icon.colour.row(y)[4 * x + 3] = static_cast<std::uint8_t>((x * 40 + y * 9) % 256);
    }
    icon.alpha = true;
    return icon;
}

Bytes encode(const IconImage& icon) {
    MemoryIconStream stream;
    EncodeIconToStream(stream, icon);
    return stream.bytes;
}

template <typename F>
std::string error_of(F&& f) {
    try {
        f();
    } catch (const Error& e) {
        return e.what();
    }
    return "(no error)";
}

// The rows of a bitmap in file order: bottom row first.
Bytes rows_bottom_up(const Bitmap& bitmap) {
    Bytes out;
    for (int y = bitmap.height() - 1; y >= 0; --y)
        out.insert(out.end(), bitmap.row(y), bitmap.row(y) + bitmap.stride());
    return out;
}

// ---------------------------------------------------------------------------
// Sizes and the file layout

struct LayoutCase {
    const char* name;
    int width, height, bpp;
    int colours;  // -1: the bitmap's full colour table
    bool bit_fields;
    std::size_t description;  // bytes of the colour description
    std::size_t colour_stride, mask_stride;
    std::uint32_t colours_used;
};

TEST(IconWriterLayout, SizesAndFieldsFollowTheColourBitmap) {
    const LayoutCase cases[] = {
        {"32x32 at 32 bits", 32, 32, 32, -1, false, 40, 128, 4, 0},
        {"32x32 at 4 bits", 32, 32, 4, -1, false, 104, 16, 4, 0},
        {"48x48 at 24 bits", 48, 48, 24, -1, false, 40, 144, 8, 0},
        {"256 wide", 256, 256, 32, -1, false, 40, 1024, 32, 0},
        {"8 bits, full table", 32, 32, 8, -1, false, 1064, 32, 4, 0},
        {"8 bits, no table of its own", 16, 16, 8, 0, false, 1064, 16, 4, 0},
        {"8 bits, 16 colours of its own", 16, 16, 8, 16, false, 104, 16, 4, 16},
        {"1 bit", 16, 16, 1, -1, false, 48, 4, 4, 0},
        {"16 bits 5-5-5", 16, 16, 16, -1, false, 40, 32, 4, 0},
        {"16 bits 5-6-5", 16, 16, 16, -1, true, 52, 32, 4, 0},
        {"odd width at 24 bits", 17, 5, 24, -1, false, 40, 52, 4, 0},
        {"33 wide mask", 33, 2, 32, -1, false, 40, 132, 8, 0},
        {"not square", 20, 10, 24, -1, false, 40, 60, 4, 0},
        {"200 high", 4, 200, 24, -1, false, 40, 12, 4, 0},
        {"200 wide", 200, 2, 24, -1, false, 40, 600, 28, 0},
        {"wider than 256", 300, 3, 24, -1, false, 40, 900, 40, 0},
    };
    for (const LayoutCase& c : cases) {
        SCOPED_TRACE(c.name);
        IconImage icon = make_icon(c.width, c.height, c.bpp, c.colours);
        if (c.bit_fields)
            icon.colour.set_masks({0xF800, 0x07E0, 0x001F});
        const Bytes file = encode(icon);

        const std::size_t colour_rows = c.colour_stride * c.height;
        const std::size_t mask_rows = c.mask_stride * c.height;
        const std::size_t in_res = c.description + colour_rows + mask_rows;
        ASSERT_EQ(file.size(), 22 + in_res);

        // Directory header and entry.
        EXPECT_EQ(u16(file, 0), 0u);
        EXPECT_EQ(u16(file, 2), 1u);
        EXPECT_EQ(u16(file, 4), 1u);
        EXPECT_EQ(file[6], c.width % 256);
        EXPECT_EQ(file[7], c.height % 256);  // one image's height, not doubled
        EXPECT_EQ(file[8], c.bpp);           // the depth in bits, not a colour count
        EXPECT_EQ(file[9], 0);
        EXPECT_EQ(u16(file, 10), 0u);
        EXPECT_EQ(u16(file, 12), 0u);
        EXPECT_EQ(u32(file, 14), in_res);
        EXPECT_EQ(u32(file, 18), 22u);

        // Colour header.
        EXPECT_EQ(u32(file, 22), 40u);
        EXPECT_EQ(u32(file, 26), static_cast<std::uint32_t>(c.width));
        EXPECT_EQ(u32(file, 30), static_cast<std::uint32_t>(2 * c.height));
        EXPECT_EQ(u16(file, 34), 1u);
        EXPECT_EQ(u16(file, 36), static_cast<std::uint32_t>(c.bpp));
        EXPECT_EQ(u32(file, 38), c.bit_fields ? 3u : 0u);
        EXPECT_EQ(u32(file, 42), colour_rows);  // the colour rows alone
        EXPECT_EQ(u32(file, 46), 0u);
        EXPECT_EQ(u32(file, 50), 0u);
        EXPECT_EQ(u32(file, 54), c.colours_used);
        EXPECT_EQ(u32(file, 58), 0u);

        // Colour rows, then mask rows, both bottom row first.
        const std::size_t rows_at = 22 + c.description;
        EXPECT_EQ(Bytes(file.begin() + rows_at, file.begin() + rows_at + colour_rows),
                  rows_bottom_up(icon.colour));
        EXPECT_EQ(Bytes(file.begin() + rows_at + colour_rows, file.end()),
                  rows_bottom_up(icon.mask));

        // The prepared description says the same.
        const IconBitmapHeader header = prepare_icon_bitmap_header(&icon.colour);
        EXPECT_EQ(icon_description_size(header), c.description);
        EXPECT_EQ(header.height, c.height);
        EXPECT_EQ(header.size_image, colour_rows);
    }
}

TEST(IconWriterLayout, WorkedExampleAt32And4Bits) {
    const Bytes deep = encode(make_icon(32, 32, 32));
    ASSERT_EQ(deep.size(), 4286u);
    EXPECT_EQ(Bytes(deep.begin() + 6, deep.begin() + 14), (Bytes{32, 32, 32, 0, 0, 0, 0, 0}));
    EXPECT_EQ(u32(deep, 14), 4264u);
    EXPECT_EQ(u32(deep, 22 + 8), 64u);     // biHeight
    EXPECT_EQ(u32(deep, 22 + 20), 4096u);  // biSizeImage

    const Bytes sixteen = encode(make_icon(32, 32, 4));
    ASSERT_EQ(sixteen.size(), 766u);
    EXPECT_EQ(u32(sixteen, 14), 744u);
    EXPECT_EQ(sixteen[8], 4);
    EXPECT_EQ(u32(sixteen, 22 + 20), 512u);
}

TEST(IconWriterLayout, ColourTableAndChannelMasksFollowTheHeader) {
    // Palette entries are written as blue, green, red, 0; entries missing
    // from a short table stay black.
    IconImage icon = make_icon(8, 8, 4, -1);
    icon.colour.palette().resize(3);
    icon.colour.palette()[2] = Rgbq{1, 2, 3, 0xEE};
    const Bytes file = encode(icon);
    EXPECT_EQ(u32(file, 22 + 32), 3u);  // biClrUsed: its own colour count
    ASSERT_EQ(file.size(), 22 + 40 + 12 + 4 * 8 + 4 * 8u);
    EXPECT_EQ(Bytes(file.begin() + 62 + 8, file.begin() + 62 + 12), (Bytes{1, 2, 3, 0}));
    EXPECT_EQ(file[62 + 3], 0);

    IconImage wide = make_icon(4, 4, 32);
    wide.colour.set_masks({0x3FF00000, 0x000FFC00, 0x000003FF});
    const Bytes fields = encode(wide);
    EXPECT_EQ(u32(fields, 22 + 16), 3u);
    EXPECT_EQ(u32(fields, 62), 0x3FF00000u);
    EXPECT_EQ(u32(fields, 66), 0x000FFC00u);
    EXPECT_EQ(u32(fields, 70), 0x000003FFu);
}

TEST(IconWriterLayout, TopDownBitmapsAreWrittenBottomRowFirst) {
    const IconImage down = make_alpha_icon(5, 7, /*top_down=*/true);
    IconImage up = make_alpha_icon(5, 7, /*top_down=*/false);
    const Bytes a = encode(down);
    const Bytes b = encode(up);
    EXPECT_EQ(a, b);
    EXPECT_EQ(u32(a, 22 + 8), 14u);  // a positive height: rows bottom row first
    EXPECT_EQ(a[7], 7);
}

TEST(IconWriterLayout, FourthBytesOfAnIconWithoutAlphaAreCleared) {
    IconImage icon = make_icon(4, 4, 32);
    icon.colour.row(1)[4 * 2 + 3] = 0x80;
    const Bytes file = encode(icon);
    for (std::size_t i = 22 + 40 + 3; i < 22 + 40 + 64; i += 4)
        EXPECT_EQ(file[i], 0) << "at " << i;
    EXPECT_EQ(icon.colour.row(1)[4 * 2 + 3], 0x80);  // the icon itself is only read

    icon.alpha = true;
    EXPECT_EQ(encode(icon)[22 + 40 + 2 * 16 + 8 + 3], 0x80);  // row 1 of 4, bottom first
}

TEST(IconWriterLayout, BitmapsCanBeEncodedDirectly) {
    const IconImage icon = make_icon(24, 24, 8);
    MemoryIconStream stream;
    stream.bytes = {0xAA, 0xBB};  // written at the stream's position
    EncodeIconBitmaps(stream, &icon.colour, &icon.mask);
    ASSERT_EQ(stream.bytes.size(), 2 + encode(icon).size());
    EXPECT_EQ(Bytes(stream.bytes.begin() + 2, stream.bytes.end()), encode(icon));
}

// ---------------------------------------------------------------------------
// Failures

TEST(IconWriterFailures, MissingIconsAndBitmapsWriteNothing) {
    const IconImage no_colour = [] {
        IconImage icon = make_icon(16, 16, 24);
        icon.colour = Bitmap();
        return icon;
    }();
    const IconImage no_mask = [] {
        IconImage icon = make_icon(16, 16, 24);
        icon.mask = Bitmap();
        return icon;
    }();
    const IconImage deep_mask = [] {
        IconImage icon = make_icon(16, 16, 24);
        icon.mask = Bitmap(16, 16, 4);
        return icon;
    }();
    const IconImage short_mask = [] {
        IconImage icon = make_icon(16, 16, 24);
        icon.mask = make_icon(16, 8, 1).mask;
        return icon;
    }();
    const IconImage empty;
    struct Case {
        const char* name;
        const IconImage* icon;
        std::string error;
    } cases[] = {
        {"no icon", nullptr, kInvalidIcon},
        {"empty icon", &empty, kInvalidIcon},
        {"no colour bitmap", &no_colour, std::string(kBitmapNotValid)},
        {"no mask", &no_mask, std::string(kBitmapNotValid)},
        {"mask deeper than 1 bit", &deep_mask, std::string(kBitmapNotValid)},
        {"mask of another size", &short_mask, std::string(kBitmapNotValid)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryIconStream stream;
        EXPECT_EQ(error_of([&] { EncodeIconToStream(stream, c.icon); }), c.error);
        EXPECT_TRUE(stream.bytes.empty());
    }

    MemoryIconStream stream;
    EXPECT_EQ(error_of([&] { EncodeIconBitmaps(stream, nullptr, &no_colour.mask); }),
              kBitmapNotValid);
    EXPECT_EQ(error_of([&] { prepare_icon_bitmap_header(nullptr); }), kBitmapNotValid);
    EXPECT_TRUE(stream.bytes.empty());
}

// ---------------------------------------------------------------------------
// Saving

TEST(IconWriterSave, WritesTheEncodedIconAndReplacesAnOldFile) {
    testing::TempDir dir;
    const std::string path = dir.write("icon.ico", std::string(10000, 'x'));
    const IconImage icon = make_icon(32, 32, 32);
    SaveIconAsIcoFile(icon, path);
    EXPECT_EQ(files::read_file(path), encode(icon));
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"icon.ico"});
}

TEST(IconWriterSave, AFailedSaveLeavesTheOldFileAndNoTemporaryFile) {
    testing::TempDir dir;
    const std::string path = dir.write("icon.ico", std::string("old"));
    IconImage no_colour = make_icon(16, 16, 24);
    no_colour.colour = Bitmap();
    struct Case {
        const char* name;
        const IconImage* icon;
        std::string error;
    } cases[] = {
        {"empty icon", nullptr, kInvalidIcon},
        {"no colour bitmap", &no_colour, std::string(kBitmapNotValid)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(error_of([&] { SaveIconAsIcoFile(c.icon, path); }), c.error);
        EXPECT_EQ(files::read_file(path), (Bytes{'o', 'l', 'd'}));
        EXPECT_EQ(dir.entries(), std::vector<std::string>{"icon.ico"});
    }
}

TEST(IconWriterSave, TheFileIsCreatedBeforeTheIconIsExamined) {
    testing::TempDir dir;
    const std::string missing = dir.file("no folder/icon.ico");
    const std::string expected =
        "Cannot create file \"" + missing + "\". " + system_error_text(ENOENT);
    // A target that cannot be created is reported even for an empty icon.
    EXPECT_EQ(error_of([&] { SaveIconAsIcoFile(nullptr, missing); }), expected);
    EXPECT_EQ(error_of([&] { SaveIconAsIcoFile(make_icon(8, 8, 24), missing); }), expected);
    EXPECT_EQ(error_of([&] { SaveIconAsIcoFile(make_icon(8, 8, 24), dir.path().string()); }),
              "Cannot create file \"" + dir.path().string() + "\". " + system_error_text(EISDIR));
    EXPECT_TRUE(dir.entries().empty());
}

TEST(IconWriterSave, RelativePathsAreNamedInFullInFailures) {
    const std::string relative = "quillora-no-such-folder-7f3a/icon.ico";
    const std::string full = (std::filesystem::current_path() / relative).string();
    EXPECT_EQ(error_of([&] { SaveIconAsIcoFile(make_icon(8, 8, 24), relative); }),
              "Cannot create file \"" + full + "\". " + system_error_text(ENOENT));
    EXPECT_EQ(error_of([&] { SaveIconAsIcoFile(make_icon(8, 8, 24), ""); }),
              "Cannot create file \"\". " + system_error_text(ENOENT));
}

// ---------------------------------------------------------------------------
// Read back by the program's own icon reader

Bitmap white(int width, int height, int depth) {
    return create_screen_bitmap(width, height, depth);
}

TEST(IconWriterRoundTrip, TheSavedFileDrawsTheSamePicture) {
    IconImage stray_bytes = make_icon(32, 32, 32);
    for (int y = 0; y < 32; y += 3)
        stray_bytes.colour.row(y)[4 * y + 3] = 0x11;  // not alpha: the icon has none
    IconImage bit_fields = make_icon(32, 32, 16);
    bit_fields.colour.set_masks({0xF800, 0x07E0, 0x001F});
    struct Case {
        const char* name;
        IconImage icon;
    } cases[] = {
        {"32 bits without alpha", make_icon(32, 32, 32)},
        {"32 bits with alpha", make_alpha_icon(32, 32)},
        {"32 bits with alpha, stored top-down", make_alpha_icon(32, 32, true)},
        {"32 bits, stray fourth bytes", std::move(stray_bytes)},
        {"24 bits, 48 x 48", make_icon(48, 48, 24)},
        {"24 bits, odd size", make_icon(19, 13, 24)},
        {"16 bits 5-5-5", make_icon(32, 32, 16)},
        {"16 bits 5-6-5", std::move(bit_fields)},
        {"8 bits", make_icon(32, 32, 8)},
        {"8 bits, 16 colours", make_icon(32, 32, 8, 16)},
        {"4 bits", make_icon(32, 32, 4)},
        {"1 bit", make_icon(32, 32, 1)},
        {"256 x 256", make_alpha_icon(256, 256)},
    };
    testing::TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.file("round.ico");
        SaveIconAsIcoFile(c.icon, path);
        for (int depth : {32, 8}) {
            SCOPED_TRACE(depth);
            display::ScopedDisplay screen(depth, {c.icon.width(), c.icon.height()});
            IconPicture picture = IconPicture::read(path);
            // The icon as it is drawn before saving (an icon without alpha
            // through its mask, whatever its fourth bytes hold).
            Bitmap expected = white(c.icon.width(), c.icon.height(), depth);
            draw_icon(c.icon, expected);
            Bitmap actual = white(c.icon.width(), c.icon.height(), depth);
            picture.draw(actual);
            ASSERT_EQ(picture.width(), c.icon.width());
            ASSERT_EQ(picture.height(), c.icon.height());
            ASSERT_EQ(actual.bits_size(), expected.bits_size());
            EXPECT_EQ(Bytes(actual.bits(), actual.bits() + actual.bits_size()),
                      Bytes(expected.bits(), expected.bits() + expected.bits_size()));
            EXPECT_EQ(picture.image().alpha, c.icon.alpha);
            EXPECT_EQ(picture.image().colour.bpp(), c.icon.colour.bpp());
        }
    }
}

// ---------------------------------------------------------------------------
// Counting

TEST(IconWriterCount, CountsThroughTheSourceAndRaisesNothing) {
    testing::TempDir dir;
    const std::string exe = dir.write("three.exe", std::string("MZ"));
    const IconCountSource three = [&](const std::string& path) {
        files::read_file(path);  // a missing file fails here
        return path == exe ? 3 : 0;
    };
    EXPECT_EQ(CountIconsInFile(exe, three), 3);
    EXPECT_EQ(CountIconsInFile(dir.write("none.exe", std::string("MZ")), three), 0);
    EXPECT_EQ(CountIconsInFile(dir.file("missing.exe"), three), 0);
    EXPECT_EQ(CountIconsInFile(exe, [](const std::string&) -> int { throw std::bad_alloc(); }), 0);
    EXPECT_EQ(CountIconsInFile(exe, [](const std::string&) { return -1; }), 0);
    EXPECT_EQ(CountIconsInFile(exe, IconCountSource{}), 0);
}

TEST(IconWriterCount, TheInstalledSourceCounts) {
    set_icon_count_source({});
    EXPECT_EQ(CountIconsInFile("/any/file.exe"), 0);
    set_icon_count_source([](const std::string& path) { return path == "/a.exe" ? 2 : 0; });
    EXPECT_EQ(CountIconsInFile("/a.exe"), 2);
    EXPECT_EQ(CountIconsInFile("/b.exe"), 0);
    set_icon_count_source({});
    EXPECT_EQ(CountIconsInFile("/a.exe"), 0);
}

}  // namespace
}  // namespace quillora
