#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "fuzz/hostile_inputs.h"
#include "imaging/ico.h"
#include "imaging/icon_image.h"
#include "imaging/png.h"
#include "platform/display.h"
#include "platform/error.h"
#include "support/temp_dir.h"

namespace quillora {
namespace {

using Bytes = std::vector<std::uint8_t>;

// ---------------------------------------------------------------------------
// Fixture builders

void put16(Bytes& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void put32(Bytes& out, std::uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}
void set32(Bytes& out, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// One icon image as a device-independent bitmap: pixel values and mask bits
// are given top row first and written bottom row first, as icon files hold
// them.
struct Dib {
    int width = 1, height = 1, bpp = 24;
    std::vector<Rgbq> table;  // colour table written after the header
    std::function<std::uint32_t(int, int)> pixel = [](int, int) { return 0u; };
    std::function<bool(int, int)> and_bit = [](int, int) { return false; };
    std::uint32_t header_size = 40;
    std::uint32_t compression = 0;
    std::optional<std::uint32_t> colours_used;  // default: table size
    std::vector<std::uint32_t> bit_fields;      // written after a 40-byte header
    std::optional<std::int32_t> stored_height;  // default: 2 x height

    Bytes encode() const {
        Bytes out;
        put32(out, header_size);
        put32(out, static_cast<std::uint32_t>(width));
        put32(out, static_cast<std::uint32_t>(stored_height.value_or(2 * height)));
        put16(out, 1);
        put16(out, static_cast<std::uint32_t>(bpp));
        put32(out, compression);
        put32(out, 0);  // image size: not used
        put32(out, 0);
        put32(out, 0);
        put32(out, colours_used.value_or(static_cast<std::uint32_t>(table.size())));
        put32(out, 0);
        if (header_size > 40) {
            // Longer headers carry the channel masks right after the first 40 bytes.
            for (std::uint32_t m : bit_fields)
                put32(out, m);
            out.resize(header_size, 0);
        } else {
            for (std::uint32_t m : bit_fields)
                put32(out, m);
        }
        for (const Rgbq& c : table) {
            out.insert(out.end(), {c.blue, c.green, c.red, 0});
        }
        write_rows(out, bpp, pixel);
        write_rows(out, 1, [this](int x, int y) { return and_bit(x, y) ? 1u : 0u; });
        return out;
    }

    void write_rows(Bytes& out, int depth,
                    const std::function<std::uint32_t(int, int)>& value) const {
        const std::size_t stride = (static_cast<std::size_t>(width) * depth + 31) / 32 * 4;
        for (int y = height - 1; y >= 0; --y) {
            Bytes row(stride, 0);
            for (int x = 0; x < width; ++x) {
                const std::uint32_t v = value(x, y);
                const auto i = static_cast<std::size_t>(x);
                switch (depth) {
                    case 1:
                        row[i / 8] |= static_cast<std::uint8_t>((v & 1) << (7 - i % 8));
                        break;
                    case 4:
                        row[i / 2] |= static_cast<std::uint8_t>((v & 15) << (i % 2 ? 0 : 4));
                        break;
                    default:
                        for (int b = 0; b < depth / 8; ++b) {
                            row[i * (depth / 8) + b] = static_cast<std::uint8_t>(v >> (8 * b));
                        }
                }
            }
            out.insert(out.end(), row.begin(), row.end());
        }
    }
};

// A pixel value of 24 and 32-bit images.
constexpr std::uint32_t rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a = 0) {
    return std::uint32_t{a} << 24 | std::uint32_t{r} << 16 | std::uint32_t{g} << 8 | b;
}

// A solid 24-bit image of the given size, with a mask of all zeros.
Dib solid(int width, int height, std::uint32_t colour = rgb(10, 20, 30)) {
    Dib dib;
    dib.width = width;
    dib.height = height;
    dib.pixel = [colour](int, int) { return colour; };
    return dib;
}

struct Entry {
    std::uint8_t width = 32, height = 32, colour_count = 0;
    Bytes data;
    std::uint16_t planes = 1, bit_count = 24;
    std::optional<std::uint32_t> bytes, offset;  // overrides of the real values
};

Bytes make_ico(const std::vector<Entry>& entries, std::uint16_t type = 1,
               std::optional<std::uint16_t> count = std::nullopt) {
    Bytes out;
    put16(out, 0);
    put16(out, type);
    put16(out, count.value_or(static_cast<std::uint16_t>(entries.size())));
    std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(entries.size());
    for (const Entry& e : entries) {
        out.insert(out.end(), {e.width, e.height, e.colour_count, 0});
        put16(out, e.planes);
        put16(out, e.bit_count);
        put32(out, e.bytes.value_or(static_cast<std::uint32_t>(e.data.size())));
        put32(out, e.offset.value_or(offset));
        offset += static_cast<std::uint32_t>(e.data.size());
    }
    for (const Entry& e : entries)
        out.insert(out.end(), e.data.begin(), e.data.end());
    return out;
}

// An entry whose image has the entry's own size.
Entry entry(int size, std::uint8_t colour_count = 0, std::uint32_t colour = rgb(10, 20, 30)) {
    Entry e;
    e.width = e.height = static_cast<std::uint8_t>(size);
    e.colour_count = colour_count;
    e.data = solid(size, size, colour).encode();
    return e;
}

Bytes encode_png(int width, int height, const Bytes& rgba) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    EXPECT_TRUE(png_image_write_to_memory(&image, nullptr, &size, 0, rgba.data(), 0, nullptr));
    Bytes out(size);
    EXPECT_TRUE(png_image_write_to_memory(&image, out.data(), &size, 0, rgba.data(), 0, nullptr));
    out.resize(size);
    return out;
}

// The stored value of a pixel of a screen bitmap (32, 24, 16 or 8 bits).
std::uint32_t pixel_at(const Bitmap& bitmap, int x, int y) {
    const std::uint8_t* p = bitmap.row(y) + static_cast<std::size_t>(x) * (bitmap.bpp() / 8);
    switch (bitmap.bpp()) {
        case 8:
            return p[0];
        case 16:
            return static_cast<std::uint32_t>(p[0] | p[1] << 8);
        case 24:
            return rgb(p[2], p[1], p[0]);
        default:
            return rgb(p[2], p[1], p[0], p[3]);
    }
}

std::uint32_t screen(int depth, std::uint32_t colour) {
    return screen_pixel(depth, static_cast<std::uint8_t>(colour >> 16),
                        static_cast<std::uint8_t>(colour >> 8), static_cast<std::uint8_t>(colour));
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

// Draws an icon file onto a white screen bitmap and returns the bitmap.
Bitmap drawn(IconPicture& picture, int width = 32, int height = 32, int depth = 32) {
    Bitmap target = create_screen_bitmap(width, height, depth);
    picture.draw(target);
    return target;
}

// ---------------------------------------------------------------------------
// File header

TEST(IcoHeader, ShortFilesAreStreamReadErrors) {
    for (std::size_t size : {0, 1, 5}) {
        Bytes data(size, 0);
        if (size > 2)
            data[2] = 1;
        EXPECT_EQ(error_of([&] { IconPicture picture(data); }), "Stream read error") << size;
    }
}

TEST(IcoHeader, TypesAboveOneAreNotIcons) {
    for (std::uint16_t type : {2, 3, 0xFFFF}) {
        EXPECT_EQ(error_of([&] { IconPicture picture(make_ico({entry(32)}, type)); }),
                  "Icon image is not valid")
            << type;
    }
}

TEST(IcoHeader, ReservedFieldIsNotCheckedAndDirectoryWaitsForTheDraw) {
    Bytes data = make_ico({entry(16)});
    data[0] = 0x7F;
    data[1] = 0x33;
    IconPicture picture(data);
    EXPECT_EQ(picture.type(), 1);
    EXPECT_FALSE(picture.chosen_index());
    // A header alone with no directory is accepted until drawn.
    IconPicture bare(Bytes{0, 0, 1, 0, 5, 0});
    EXPECT_EQ(bare.width(), 32);
}

TEST(IcoHeader, ReportsSystemIconSizeUntilChosen) {
    display::ScopedDisplay screen(32, {48, 40});
    IconPicture picture(make_ico({entry(16)}));
    EXPECT_EQ(picture.width(), 48);
    EXPECT_EQ(picture.height(), 40);
    drawn(picture);
    EXPECT_EQ(picture.width(), 16);
    EXPECT_EQ(picture.height(), 16);
}

TEST(IcoHeader, ReadsFilesAndReportsMissingOnes) {
    testing::TempDir dir;
    const std::string path = dir.write("a.ico", make_ico({entry(16), entry(32)}));
    IconPicture picture = IconPicture::read(path);
    drawn(picture);
    EXPECT_EQ(picture.chosen_index(), 1u);
    const std::string message = error_of([&] { IconPicture::read(dir.file("missing.ico")); });
    EXPECT_EQ(message.rfind("Cannot open file \"" + dir.file("missing.ico") + "\". ", 0), 0u)
        << message;
}

// ---------------------------------------------------------------------------
// The choice of the entry

IconEntry dir_entry(int width, int height, std::uint8_t colours = 0, std::uint16_t bits = 0) {
    IconEntry e;
    e.width = static_cast<std::uint8_t>(width);
    e.height = static_cast<std::uint8_t>(height);
    e.colour_count = colours;
    e.planes = 1;
    e.bit_count = bits;
    return e;
}

TEST(IcoChoice, FollowsTheReplacementRule) {
    constexpr int kAny = 32;  // a true-colour screen: no colour limit
    struct Case {
        const char* what;
        std::vector<IconEntry> entries;
        display::Size wanted;
        int depth;
        std::size_t chosen;
    } cases[] = {
        {"16 then 32, equal colours", {dir_entry(16, 16), dir_entry(32, 32)}, {32, 32}, kAny, 1},
        {"32 then 16", {dir_entry(32, 32), dir_entry(16, 16)}, {32, 32}, kAny, 0},
        {"only 48", {dir_entry(48, 48)}, {32, 32}, kAny, 0},
        {"fewer colours never replace",
         {dir_entry(16, 16, 0), dir_entry(32, 32, 16)},
         {32, 32},
         kAny,
         0},
        {"more colours replace", {dir_entry(32, 32, 16), dir_entry(32, 32, 0)}, {32, 32}, kAny, 1},
        {"tie: the later wins", {dir_entry(32, 32, 16), dir_entry(32, 32, 16)}, {32, 32}, kAny, 1},
        {"48 then 16: 16 is as near and smaller",
         {dir_entry(48, 48), dir_entry(16, 16)},
         {32, 32},
         kAny,
         1},
        {"16 then 48: 48 is larger than both",
         {dir_entry(16, 16), dir_entry(48, 48)},
         {32, 32},
         kAny,
         0},
        {"64 then 48: larger than wanted but smaller than the choice",
         {dir_entry(64, 64), dir_entry(48, 48)},
         {32, 32},
         kAny,
         1},
        {"48 then 64: farther", {dir_entry(48, 48), dir_entry(64, 64)}, {32, 32}, kAny, 0},
        {"byte 0 counts as 0, not 256", {dir_entry(0, 0), dir_entry(32, 32)}, {32, 32}, kAny, 1},
        {"a 0 byte is far from 32", {dir_entry(32, 32), dir_entry(0, 0)}, {32, 32}, kAny, 0},
        {"byte 0 beats 64 when 0 is as near",
         {dir_entry(64, 64), dir_entry(0, 0)},
         {32, 32},
         kAny,
         1},
        {"height must fit as well", {dir_entry(32, 32), dir_entry(32, 48)}, {32, 32}, kAny, 0},
        {"width must fit as well", {dir_entry(32, 32), dir_entry(40, 32)}, {32, 32}, kAny, 0},
        {"a tie goes to the greater bit count",
         {dir_entry(32, 32, 0, 32), dir_entry(32, 32, 0, 4)},
         {32, 32},
         kAny,
         0},
        {"16 wanted", {dir_entry(32, 32), dir_entry(16, 16)}, {16, 16}, kAny, 1},
        {"16 wanted, 16 first", {dir_entry(16, 16), dir_entry(32, 32)}, {16, 16}, kAny, 0},
        {"non-square wanted",
         {dir_entry(16, 16), dir_entry(32, 16), dir_entry(32, 32)},
         {32, 16},
         kAny,
         1},
        {"limit 16: unlimited exceeds it",
         {dir_entry(32, 32, 16), dir_entry(32, 32, 0)},
         {32, 32},
         4,
         0},
        {"limit 16: the first stays even above the limit",
         {dir_entry(32, 32, 0), dir_entry(32, 32, 16)},
         {32, 32},
         4,
         0},
        {"limit 256: 255 colours fit",
         {dir_entry(32, 32, 16), dir_entry(32, 32, 255)},
         {32, 32},
         8,
         1},
        {"limit 256: the nearest fitting size",
         {dir_entry(16, 16, 2), dir_entry(32, 32, 16), dir_entry(32, 32, 0)},
         {32, 32},
         8,
         1},
        {"limit 2: 16 colours exceed it",
         {dir_entry(16, 16, 2), dir_entry(32, 32, 16)},
         {32, 32},
         1,
         0},
        {"walk: each later entry compares with the current choice",
         {dir_entry(16, 16), dir_entry(24, 24), dir_entry(48, 48), dir_entry(32, 32)},
         {32, 32},
         kAny,
         3},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(choose_icon_entry(c.entries, c.wanted, c.depth), c.chosen) << c.what;
    }
}

TEST(IcoChoice, NoEntryIsNotAnIcon) {
    EXPECT_EQ(error_of([] { choose_icon_entry({}, {32, 32}, 32); }), "Icon image is not valid");
}

// Entries of the same size and colour count, told apart by their bits per
// pixel: from the directory, or from the image's header when the directory
// says 0. Each case runs in both directory orders.
TEST(IcoChoice, TiesGoToTheDeeperImageUpToTheScreenDepth) {
    struct Tagged {
        char tag;
        IconEntry entry;
        unsigned header_bits;
    };
    const auto e = [](char tag, int size, std::uint8_t colours, std::uint16_t bits,
                      unsigned header_bits = 0) {
        return Tagged{tag, dir_entry(size, size, colours, bits), header_bits};
    };
    struct Case {
        const char* what;
        std::vector<Tagged> entries;
        int depth;
        char forward, reversed;
    } cases[] = {
        {"256 colours and true colour", {e('a', 32, 0, 8), e('b', 32, 0, 32)}, 32, 'b', 'b'},
        {"bit count 0: the image header tells",
         {e('a', 32, 0, 0, 8), e('b', 32, 0, 0, 32)},
         32,
         'b',
         'b'},
        {"directory and header mixed", {e('a', 32, 0, 24), e('b', 32, 0, 0, 32)}, 32, 'b', 'b'},
        {"unknown bits count as 0", {e('a', 32, 0, 0, 0), e('b', 32, 0, 4)}, 32, 'b', 'b'},
        {"three entries: the deepest",
         {e('a', 32, 0, 4), e('b', 32, 0, 32), e('c', 32, 0, 8)},
         32,
         'b',
         'b'},
        {"equal bits: the later", {e('a', 32, 0, 32), e('b', 32, 0, 32)}, 32, 'b', 'a'},
        {"16-bit screen: 32 bits count as 16, more than 8",
         {e('a', 32, 0, 8), e('b', 32, 0, 32)},
         16,
         'b',
         'b'},
        {"16-bit screen: 24 and 32 bits both count as 16",
         {e('a', 32, 0, 24), e('b', 32, 0, 32)},
         16,
         'b',
         'a'},
        {"8-bit screen: colour byte 0 stays over the limit as before",
         {e('a', 32, 0, 8), e('b', 32, 0, 32)},
         8,
         'a',
         'b'},
        {"8-bit screen: 4 bits against 8", {e('a', 32, 16, 4), e('b', 32, 16, 8)}, 8, 'b', 'b'},
        {"8-bit screen: 32 bits count as 8", {e('a', 32, 16, 8), e('b', 32, 16, 32)}, 8, 'b', 'a'},
        {"the size comes first", {e('a', 16, 0, 32), e('b', 32, 0, 8)}, 32, 'b', 'b'},
        {"the colour count comes first", {e('a', 32, 16, 32), e('b', 32, 0, 8)}, 32, 'b', 'b'},
    };
    for (const Case& c : cases) {
        for (const bool reversed : {false, true}) {
            std::vector<Tagged> tagged = c.entries;
            if (reversed)
                std::reverse(tagged.begin(), tagged.end());
            std::vector<IconEntry> entries;
            for (const Tagged& t : tagged)
                entries.push_back(t.entry);
            const auto header_bits = [&](std::size_t i) {
                // Asked only for entries whose directory says nothing.
                EXPECT_EQ(entries.at(i).bit_count, 0) << c.what;
                return tagged.at(i).header_bits;
            };
            const std::size_t chosen = choose_icon_entry(entries, {32, 32}, c.depth, header_bits);
            EXPECT_EQ(tagged.at(chosen).tag, reversed ? c.reversed : c.forward)
                << c.what << (reversed ? ", reversed" : "");
        }
    }
}

// The picture reads the bits of entries whose directory says 0 from their
// image headers, and takes the true-colour image whatever the order.
TEST(IcoChoice, PictureTakesTheTrueColourImageOfATie) {
    Dib palette = solid(32, 32, 0);
    palette.bpp = 8;
    palette.table = {{0, 0, 200, 0}};  // red
    Dib true_colour = solid(32, 32, rgb(0, 200, 0));
    true_colour.bpp = 32;
    for (const std::uint16_t listed : {0, 1}) {
        Entry eight = entry(32);
        eight.data = palette.encode();
        eight.bit_count = static_cast<std::uint16_t>(listed * 8);
        Entry thirty_two = entry(32);
        thirty_two.data = true_colour.encode();
        thirty_two.bit_count = static_cast<std::uint16_t>(listed * 32);
        for (const bool reversed : {false, true}) {
            SCOPED_TRACE(::testing::Message()
                         << "bits listed " << listed << ", reversed " << reversed);
            IconPicture picture(reversed ? make_ico({thirty_two, eight})
                                         : make_ico({eight, thirty_two}));
            EXPECT_EQ(pixel_at(drawn(picture), 5, 5), rgb(0, 200, 0));
            EXPECT_EQ(picture.chosen_index(), reversed ? 0u : 1u);
            // On an 8-bit screen colour byte 0 is over the limit: the first stays.
            display::ScopedDisplay screen(8);
            IconPicture eight_bit(reversed ? make_ico({thirty_two, eight})
                                           : make_ico({eight, thirty_two}));
            drawn(eight_bit, 32, 32, 8);
            EXPECT_EQ(eight_bit.chosen_index(), 0u);
        }
    }
}

TEST(IcoChoice, ColourLimitFollowsTheScreenDepth) {
    EXPECT_EQ(icon_colour_limit(1), 2u);
    EXPECT_EQ(icon_colour_limit(4), 16u);
    EXPECT_EQ(icon_colour_limit(8), 256u);
    EXPECT_EQ(icon_colour_limit(16), kUnlimitedColours);
    EXPECT_EQ(icon_colour_limit(24), kUnlimitedColours);
    EXPECT_EQ(icon_colour_limit(32), kUnlimitedColours);
}

TEST(IcoChoice, PictureChoosesWithTheDisplayFacts) {
    // 16 x 16 and 32 x 32 with equal colour bytes: the 32 x 32 image.
    {
        IconPicture picture(make_ico({entry(16, 0, rgb(1, 2, 3)), entry(32, 0, rgb(4, 5, 6))}));
        Bitmap target = drawn(picture);
        EXPECT_EQ(picture.chosen_index(), 1u);
        EXPECT_EQ(picture.width(), 32);
        EXPECT_EQ(pixel_at(target, 31, 31), rgb(4, 5, 6));
    }
    // First 16 x 16 with colour byte 0, second 32 x 32 with 16: the first.
    {
        IconPicture picture(make_ico({entry(16, 0, rgb(1, 2, 3)), entry(32, 16, rgb(4, 5, 6))}));
        Bitmap target = drawn(picture);
        EXPECT_EQ(picture.chosen_index(), 0u);
        EXPECT_EQ(picture.width(), 16);
        EXPECT_EQ(pixel_at(target, 15, 15), rgb(1, 2, 3));
        EXPECT_EQ(pixel_at(target, 16, 16), rgb(255, 255, 255));
    }
    // An 8-bit screen limits the colours to 256; a true-colour one does not.
    const Bytes two = make_ico({entry(32, 16), entry(32, 0)});
    {
        display::ScopedDisplay screen(8);
        IconPicture picture(two);
        drawn(picture, 32, 32, 8);
        EXPECT_EQ(picture.chosen_index(), 0u);
    }
    {
        display::ScopedDisplay screen(16);
        IconPicture picture(two);
        drawn(picture, 32, 32, 16);
        EXPECT_EQ(picture.chosen_index(), 1u);
    }
    // The system icon size is the wanted size.
    {
        display::ScopedDisplay screen(32, {16, 16});
        IconPicture picture(make_ico({entry(32), entry(16)}));
        drawn(picture);
        EXPECT_EQ(picture.chosen_index(), 1u);
    }
}

TEST(IcoChoice, ChosenOnceAndKept) {
    IconPicture picture(make_ico({entry(16, 0, rgb(1, 2, 3)), entry(32, 0, rgb(4, 5, 6))}));
    drawn(picture);
    display::ScopedDisplay screen(32, {16, 16});
    Bitmap target = drawn(picture);
    EXPECT_EQ(picture.chosen_index(), 1u);
    EXPECT_EQ(picture.width(), 32);
    EXPECT_EQ(pixel_at(target, 20, 20), rgb(4, 5, 6));
}

// Larger images are reduced to fit the bitmap, as modern icons that hold
// only a 256 x 256 PNG image are. Every image here is magenta with a
// transparent top-left quarter, so the reduced one shows the same quarters.
TEST(IcoChoice, LargerImagesAreReducedToTheBitmap) {
    constexpr std::uint32_t kMagenta = rgb(255, 0, 255);
    const auto transparent = [](int side) {
        return [side](int x, int y) { return x < side / 2 && y < side / 2; };
    };
    Dib dib = solid(48, 48, kMagenta);
    dib.pixel = [t = transparent(48)](int x, int y) { return t(x, y) ? 0u : kMagenta; };
    dib.and_bit = transparent(48);
    Bytes rgba;
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            const bool clear = transparent(256)(x, y);
            rgba.insert(rgba.end(), {static_cast<std::uint8_t>(clear ? 0 : 255), 0,
                                     static_cast<std::uint8_t>(clear ? 0 : 255),
                                     static_cast<std::uint8_t>(clear ? 0 : 255)});
        }
    }
    Entry png;
    png.width = png.height = 0;
    png.bit_count = 32;
    png.data = encode_png(256, 256, rgba);
    Entry dib48;
    dib48.width = dib48.height = 48;
    dib48.data = dib.encode();
    for (const auto& [what, e, side] :
         {std::tuple{"48 x 48 DIB", dib48, 48}, std::tuple{"256 x 256 PNG", png, 256}}) {
        for (const int depth : {32, 16}) {
            SCOPED_TRACE(::testing::Message() << what << " at " << depth << " bits");
            IconPicture picture(make_ico({e}));
            Bitmap target = drawn(picture, 32, 32, depth);
            EXPECT_EQ(picture.width(), side);
            EXPECT_EQ(picture.height(), side);
            for (int y = 0; y < 32; ++y) {
                for (int x = 0; x < 32; ++x) {
                    ASSERT_EQ(pixel_at(target, x, y),
                              screen(depth, x < 16 && y < 16 ? rgb(255, 255, 255) : kMagenta))
                        << x << "," << y;
                }
            }
        }
    }
}

// ---------------------------------------------------------------------------
// Drawing

// Four pixels in a row: black under a set mask bit, a colour under a set
// bit, the same colour under a clear bit, white under a set bit.
constexpr std::uint32_t kColour = rgb(0x12, 0xB4, 0x56);
IconImage and_xor_row() {
    Dib dib;
    dib.width = 4;
    dib.height = 1;
    const std::uint32_t values[] = {rgb(0, 0, 0), kColour, kColour, rgb(255, 255, 255)};
    const bool bits[] = {true, true, false, true};
    dib.pixel = [values](int x, int) { return values[x]; };
    dib.and_bit = [bits](int x, int) { return bits[x]; };
    return decode_icon_image(dib.encode());
}

TEST(IcoDraw, AndXorRuleAtEveryScreenDepth) {
    const IconImage icon = and_xor_row();
    EXPECT_FALSE(icon.alpha);
    for (int depth : {32, 24, 16, 8}) {
        const std::uint32_t white = screen(depth, rgb(255, 255, 255));
        const std::uint32_t colour = screen(depth, kColour);
        Bitmap target = create_screen_bitmap(5, 2, depth);
        draw_icon(icon, target);
        EXPECT_EQ(pixel_at(target, 0, 0), white) << depth << ": black XOR leaves white";
        EXPECT_EQ(pixel_at(target, 1, 0), white ^ colour) << depth << ": colour XOR inverts";
        EXPECT_EQ(pixel_at(target, 2, 0), colour) << depth << ": clear bit copies";
        EXPECT_EQ(pixel_at(target, 3, 0), white ^ white) << depth << ": white XOR white";
        EXPECT_EQ(pixel_at(target, 4, 0), white) << depth << ": beyond the icon";
        EXPECT_EQ(pixel_at(target, 0, 1), white) << depth << ": below the icon";
    }
}

TEST(IcoDraw, XorKeepsWhatIsUnderneath) {
    // On a background that is not white the exclusive-or uses the pixel there.
    const IconImage icon = and_xor_row();
    for (int depth : {32, 24, 16, 8}) {
        const std::uint32_t under = screen(depth, rgb(0x33, 0x66, 0x99));
        Bitmap target = create_screen_bitmap(4, 1, depth);
        for (int x = 0; x < 4; ++x) {
            std::uint8_t* p = target.row(0) + x * (depth / 8);
            for (int b = 0; b < depth / 8; ++b)
                p[b] = static_cast<std::uint8_t>(under >> (8 * b));
        }
        draw_icon(icon, target);
        EXPECT_EQ(pixel_at(target, 0, 0), under) << depth;
        EXPECT_EQ(pixel_at(target, 1, 0), under ^ screen(depth, kColour)) << depth;
        EXPECT_EQ(pixel_at(target, 2, 0), screen(depth, kColour)) << depth;
    }
}

TEST(IcoDraw, EightBitXorGivesTheComplementaryColour) {
    // The 8-bit screen palette pairs i with 255 - i: white XOR i is the
    // complement of colour i.
    const IconImage icon = and_xor_row();
    Bitmap target = create_screen_bitmap(4, 1, 8);
    draw_icon(icon, target);
    const std::uint32_t index = pixel_at(target, 1, 0);
    EXPECT_EQ(index, 255u - screen(8, kColour));
}

TEST(IcoDraw, ReducedOnSmallTargetsAndNothingOnEmptyOnes) {
    const IconImage icon = decode_icon_image(solid(8, 8, rgb(1, 2, 3)).encode());
    Bitmap small = create_screen_bitmap(3, 2, 24);
    draw_icon(icon, small);
    EXPECT_EQ(pixel_at(small, 1, 1), rgb(1, 2, 3));
    EXPECT_EQ(pixel_at(small, 2, 1), rgb(255, 255, 255)) << "2 x 2: the shape is kept";
    Bitmap empty;
    EXPECT_NO_THROW(draw_icon(icon, empty));
    Bitmap none = create_screen_bitmap(0, 5, 32);
    EXPECT_NO_THROW(draw_icon(icon, none));
}

TEST(IcoDraw, TargetsWithPaletteDepthsBelow8AreRefused) {
    const IconImage icon = decode_icon_image(solid(2, 2).encode());
    Bitmap target(2, 2, 4);
    EXPECT_EQ(error_of([&] { draw_icon(icon, target); }), "Bitmap image is not valid");
}

// ---------------------------------------------------------------------------
// Colour image depths

TEST(IcoImage, ColourDepthsDecodeToTheirColours) {
    const std::vector<Rgbq> table16 = {
        {0, 0, 0, 0},    {255, 255, 255, 0}, {0, 0, 255, 0},  {0, 255, 0, 0},
        {255, 0, 0, 0},  {10, 20, 30, 0},    {40, 50, 60, 0}, {70, 80, 90, 0},
        {1, 2, 3, 0},    {4, 5, 6, 0},       {7, 8, 9, 0},    {11, 12, 13, 0},
        {14, 15, 16, 0}, {17, 18, 19, 0},    {20, 21, 22, 0}, {23, 24, 25, 0},
    };
    std::vector<Rgbq> table256(256);
    for (int i = 0; i < 256; ++i) {
        table256[i] = Rgbq{static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i),
                           static_cast<std::uint8_t>(i / 2), 0};
    }
    const auto colour_of = [](const Rgbq& c) { return rgb(c.red, c.green, c.blue); };
    // Channels of fewer than 8 bits widen to v * 255 / max, rounded.
    const auto widen = [](std::uint32_t v, std::uint32_t max) {
        return static_cast<std::uint8_t>((v * 255 + max / 2) / max);
    };
    const auto expand5 = [widen](std::uint32_t v) { return widen(v, 31); };
    struct Case {
        const char* what;
        Dib dib;
        std::function<std::uint32_t(int, int)> expected;
    };
    std::vector<Case> cases;
    {
        Dib d;
        d.width = 9;  // crosses a byte of pixels
        d.height = 3;
        d.bpp = 1;
        d.table = {{0, 0, 255, 0}, {255, 0, 0, 0}};
        d.pixel = [](int x, int y) { return static_cast<std::uint32_t>((x + y) % 2); };
        cases.push_back({"1 bit", d, [d, colour_of](int x, int y) {
                             return colour_of(d.table[d.pixel(x, y)]);
                         }});
    }
    {
        Dib d;
        d.width = 5;
        d.height = 4;
        d.bpp = 4;
        d.table = table16;
        d.pixel = [](int x, int y) { return static_cast<std::uint32_t>((x * 4 + y) % 16); };
        cases.push_back({"4 bit", d, [d, colour_of](int x, int y) {
                             return colour_of(d.table[d.pixel(x, y)]);
                         }});
    }
    {
        Dib d;
        d.width = 7;
        d.height = 3;
        d.bpp = 8;
        d.table = table256;
        d.pixel = [](int x, int y) { return static_cast<std::uint32_t>(x * 37 + y * 11) % 256; };
        cases.push_back({"8 bit", d, [d, colour_of](int x, int y) {
                             return colour_of(d.table[d.pixel(x, y)]);
                         }});
    }
    {
        Dib d;
        d.width = 3;
        d.height = 2;
        d.bpp = 8;
        d.table = {{9, 8, 7, 0}, {6, 5, 4, 0}};  // a short table: rows follow it directly
        d.pixel = [](int x, int) { return static_cast<std::uint32_t>(x % 2); };
        cases.push_back({"8 bit with 2 colours", d, [d, colour_of](int x, int y) {
                             return colour_of(d.table[d.pixel(x, y)]);
                         }});
    }
    {
        Dib d;
        d.width = 3;
        d.height = 3;
        d.bpp = 16;  // 5-5-5
        d.pixel = [](int x, int y) {
            return static_cast<std::uint32_t>((x * 7) << 10 | (y * 9) << 5 | (x + y));
        };
        cases.push_back({"16 bit", d, [d, expand5](int x, int y) {
                             const std::uint32_t v = d.pixel(x, y);
                             return rgb(expand5(v >> 10 & 31), expand5(v >> 5 & 31),
                                        expand5(v & 31));
                         }});
    }
    {
        Dib d;
        d.width = 3;
        d.height = 2;
        d.bpp = 16;  // 5-6-5 bit fields
        d.compression = 3;
        d.bit_fields = {0xF800, 0x07E0, 0x001F};
        d.pixel = [](int x, int y) { return static_cast<std::uint32_t>(x << 11 | y << 5); };
        cases.push_back({"16 bit 5-6-5", d, [widen](int x, int y) {
                             return rgb(widen(static_cast<std::uint32_t>(x), 31),
                                        widen(static_cast<std::uint32_t>(y), 63), 0);
                         }});
    }
    {
        Dib d;
        d.width = 5;  // rows padded to 16 bytes
        d.height = 3;
        d.bpp = 24;
        d.pixel = [](int x, int y) {
            return rgb(static_cast<std::uint8_t>(x * 50), static_cast<std::uint8_t>(y * 70), 200);
        };
        cases.push_back({"24 bit", d, d.pixel});
    }
    {
        Dib d = cases.back().dib;
        d.header_size = 108;
        cases.push_back({"24 bit, 108-byte header", d, d.pixel});
    }
    {
        Dib d;
        d.width = 3;
        d.height = 3;
        d.bpp = 32;  // fourth byte all 0: no alpha
        d.pixel = [](int x, int y) {
            return rgb(static_cast<std::uint8_t>(x * 80), 3, static_cast<std::uint8_t>(y * 90));
        };
        cases.push_back({"32 bit", d, d.pixel});
    }
    for (const Case& c : cases) {
        const IconImage icon = decode_icon_image(c.dib.encode());
        EXPECT_EQ(icon.width(), c.dib.width) << c.what;
        EXPECT_EQ(icon.height(), c.dib.height) << c.what;
        EXPECT_EQ(icon.colour.bpp(), c.dib.bpp) << c.what;
        EXPECT_FALSE(icon.alpha) << c.what;
        EXPECT_EQ(icon.mask.bpp(), 1) << c.what;
        Bitmap target = create_screen_bitmap(c.dib.width, c.dib.height, 32);
        draw_icon(icon, target);
        for (int y = 0; y < c.dib.height; ++y) {
            for (int x = 0; x < c.dib.width; ++x) {
                EXPECT_EQ(pixel_at(target, x, y), c.expected(x, y))
                    << c.what << " at " << x << "," << y;
            }
        }
    }
}

TEST(IcoImage, MaskBitsFollowTheirPixels) {
    // A 10 x 3 image whose mask is a diagonal pattern, in a picture file.
    Dib dib = solid(10, 3, rgb(200, 100, 50));
    dib.and_bit = [](int x, int y) { return (x + 2 * y) % 3 == 0; };
    Entry e;
    e.width = 10;
    e.height = 3;
    e.data = dib.encode();
    IconPicture picture(make_ico({e}));
    Bitmap target = drawn(picture, 10, 3, 24);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 10; ++x) {
            const std::uint32_t expected =
                dib.and_bit(x, y) ? rgb(255, 255, 255) ^ rgb(200, 100, 50) : rgb(200, 100, 50);
            EXPECT_EQ(pixel_at(target, x, y), expected) << x << "," << y;
        }
    }
}

TEST(IcoImage, StoredSizeDifferentFromTheEntryIsScaled) {
    Dib dib;
    dib.width = dib.height = 16;
    dib.pixel = [](int x, int y) {
        return rgb(static_cast<std::uint8_t>(x * 16), static_cast<std::uint8_t>(y * 16), 5);
    };
    dib.and_bit = [](int x, int y) { return x == 0 && y == 0; };
    Entry e;
    e.width = e.height = 32;
    e.data = dib.encode();
    IconPicture picture(make_ico({e}));
    Bitmap target = drawn(picture);
    EXPECT_EQ(picture.width(), 32);
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const std::uint32_t expected =
                (x < 2 && y < 2) ? rgb(255, 255, 255) ^ dib.pixel(0, 0) : dib.pixel(x / 2, y / 2);
            ASSERT_EQ(pixel_at(target, x, y), expected) << x << "," << y;
        }
    }
    // An entry size byte of 0 stands for 256 pixels.
    Entry big;
    big.width = big.height = 0;
    big.data = solid(8, 8, rgb(9, 9, 9)).encode();
    IconPicture huge(make_ico({big}));
    drawn(huge);
    EXPECT_EQ(huge.width(), 256);
    EXPECT_EQ(huge.height(), 256);
    EXPECT_EQ(huge.image().mask.width(), 256);
    // Non-square scaling, 4-bit image: palette and depth are kept.
    Dib four;
    four.width = 4;
    four.height = 2;
    four.bpp = 4;
    four.table.assign(16, Rgbq{});
    four.table[3] = Rgbq{1, 2, 3, 0};
    four.pixel = [](int, int) { return 3u; };
    const IconImage scaled = decode_icon_image(four.encode(), 6, 5);
    EXPECT_EQ(scaled.width(), 6);
    EXPECT_EQ(scaled.height(), 5);
    EXPECT_EQ(scaled.colour.bpp(), 4);
    Bitmap t = create_screen_bitmap(6, 5, 32);
    draw_icon(scaled, t);
    EXPECT_EQ(pixel_at(t, 5, 4), rgb(3, 2, 1));
}

// ---------------------------------------------------------------------------
// Alpha

TEST(IcoAlpha, PngEntryIsCompositedOverWhite) {
    // RGBA: opaque red, transparent green, half blue, quarter black.
    const Bytes rgba = {255, 0, 0, 255, 0, 255, 0, 0, 0, 0, 255, 128, 0, 0, 0, 64};
    Entry e;
    e.width = e.height = 2;
    e.bit_count = 32;
    e.data = encode_png(2, 2, rgba);
    IconPicture picture(make_ico({e}));
    const auto blend = [](int c, int a) {
        return static_cast<std::uint8_t>((c * a + 255 * (255 - a) + 127) / 255);
    };
    for (int depth : {32, 24}) {
        Bitmap target = drawn(picture, 3, 3, depth);
        EXPECT_EQ(pixel_at(target, 0, 0), rgb(255, 0, 0)) << depth;
        EXPECT_EQ(pixel_at(target, 1, 0), rgb(255, 255, 255)) << depth;
        EXPECT_EQ(pixel_at(target, 0, 1), rgb(blend(0, 128), blend(0, 128), 255)) << depth;
        EXPECT_EQ(pixel_at(target, 1, 1), rgb(blend(0, 64), blend(0, 64), blend(0, 64))) << depth;
        EXPECT_EQ(pixel_at(target, 2, 2), rgb(255, 255, 255)) << depth;
    }
    EXPECT_TRUE(picture.image().alpha);
    // The mask marks the fully transparent pixel, for writers that need one.
    const Bitmap& mask = picture.image().mask;
    EXPECT_EQ(mask.row(0)[0] & 0xC0, 0x40);
    EXPECT_EQ(mask.row(1)[0] & 0xC0, 0x00);
    // On 16 and 8-bit screens the blended colour is packed for the screen.
    Bitmap sixteen = drawn(picture, 2, 2, 16);
    EXPECT_EQ(pixel_at(sixteen, 0, 1), screen(16, rgb(blend(0, 128), blend(0, 128), 255)));
    Bitmap eight = drawn(picture, 2, 2, 8);
    EXPECT_EQ(pixel_at(eight, 0, 0), screen(8, rgb(255, 0, 0)));
    EXPECT_EQ(pixel_at(eight, 1, 0), 255u);
}

TEST(IcoAlpha, PngOfAnotherSizeIsScaledToTheEntry) {
    Bytes rgba(4 * 4 * 4, 255);
    Entry e;
    e.width = e.height = 8;
    e.data = encode_png(4, 4, rgba);
    IconPicture picture(make_ico({e}));
    drawn(picture);
    EXPECT_EQ(picture.width(), 8);
    EXPECT_TRUE(picture.image().alpha);
}

TEST(IcoAlpha, DamagedPngIsNotAnIcon) {
    Entry e;
    e.width = e.height = 2;
    e.data = encode_png(2, 2, Bytes(16, 200));
    e.data.resize(e.data.size() / 2);
    IconPicture picture(make_ico({e}));
    EXPECT_EQ(error_of([&] { drawn(picture); }), "Icon image is not valid");
}

TEST(IcoAlpha, ThirtyTwoBitEntryWithUsedAlphaIsComposited) {
    Dib dib;
    dib.width = 3;
    dib.height = 1;
    dib.bpp = 32;
    const std::uint32_t values[] = {rgb(255, 0, 0, 255), rgb(0, 255, 0, 0), rgb(0, 0, 255, 128)};
    dib.pixel = [values](int x, int) { return values[x]; };
    // A mask that says "copy" everywhere: alpha decides instead.
    dib.and_bit = [](int, int) { return false; };
    const IconImage icon = decode_icon_image(dib.encode());
    EXPECT_TRUE(icon.alpha);
    Bitmap target = create_screen_bitmap(3, 1, 32);
    draw_icon(icon, target);
    const auto b = static_cast<std::uint8_t>((255 * 127 + 127) / 255);
    EXPECT_EQ(pixel_at(target, 0, 0), rgb(255, 0, 0));
    EXPECT_EQ(pixel_at(target, 1, 0), rgb(255, 255, 255));
    EXPECT_EQ(pixel_at(target, 2, 0), rgb(b, b, 255));
}

TEST(IcoAlpha, ThirtyTwoBitWithoutAlphaKeepsTheMaskRule) {
    Dib dib;
    dib.width = 2;
    dib.height = 1;
    dib.bpp = 32;
    dib.pixel = [](int x, int) { return x == 0 ? rgb(0, 0, 0) : rgb(1, 2, 3); };
    dib.and_bit = [](int x, int) { return x == 0; };
    const IconImage icon = decode_icon_image(dib.encode());
    EXPECT_FALSE(icon.alpha);
    Bitmap target = create_screen_bitmap(2, 1, 32);
    draw_icon(icon, target);
    EXPECT_EQ(pixel_at(target, 0, 0), rgb(255, 255, 255));
    EXPECT_EQ(pixel_at(target, 1, 0), rgb(1, 2, 3));
    // With bit fields that differ from 8-8-8 the fourth byte is not alpha.
    Dib fields = dib;
    fields.compression = 3;
    fields.bit_fields = {0x3FF00000, 0x000FFC00, 0x000003FF};
    fields.pixel = [](int, int) { return 0xC0000000u; };
    EXPECT_FALSE(decode_icon_image(fields.encode()).alpha);
}

// Icons written by web tools often leave out the mask of a 32-bit image:
// its alpha gives the transparency then.
TEST(IcoAlpha, ThirtyTwoBitImageWithoutItsMaskTakesAlpha) {
    Dib dib;
    dib.width = 3;
    dib.height = 2;
    dib.bpp = 32;
    dib.pixel = [](int x, int y) {
        return y == 1 ? rgb(0, 0, 0, 0) : rgb(200, 10, 10, x == 0 ? 0 : 255);
    };
    const Bytes whole = dib.encode();
    const std::size_t mask_bytes = 2 * 4;
    const Bytes without(whole.begin(), whole.end() - mask_bytes);
    const Bytes cut(whole.begin(), whole.end() - 3);
    Dib no_alpha = dib;
    no_alpha.pixel = [](int, int) { return rgb(0, 0, 0, 0); };
    Bytes opaque = no_alpha.encode();
    opaque.resize(opaque.size() - mask_bytes);
    constexpr std::uint32_t kWhite = rgb(255, 255, 255);
    const struct {
        const char* what;
        Bytes data;
        std::uint32_t expected[2][3];  // row, column
    } cases[] = {
        {"mask left out",
         without,
         {{kWhite, rgb(200, 10, 10), rgb(200, 10, 10)}, {kWhite, kWhite, kWhite}}},
        {"mask cut short",
         cut,
         {{kWhite, rgb(200, 10, 10), rgb(200, 10, 10)}, {kWhite, kWhite, kWhite}}},
        // No alpha and no mask: nothing says a pixel is transparent.
        {"mask left out, alpha all 0", opaque, {{0, 0, 0}, {0, 0, 0}}},
    };
    for (const auto& c : cases) {
        const IconImage icon = decode_icon_image(c.data);
        Bitmap target = create_screen_bitmap(3, 2, 32);
        draw_icon(icon, target);
        for (int y = 0; y < 2; ++y) {
            for (int x = 0; x < 3; ++x)
                EXPECT_EQ(pixel_at(target, x, y), c.expected[y][x])
                    << c.what << " " << x << "," << y;
        }
        // The mask made for writers: set where the alpha is 0.
        EXPECT_EQ(icon.mask.row(0)[0] & 0xE0, icon.alpha ? 0x80 : 0) << c.what;
        EXPECT_EQ(icon.mask.row(1)[0] & 0xE0, icon.alpha ? 0xE0 : 0) << c.what;
    }
    // In a file whose entry counts the header and the colour rows alone.
    Entry e;
    e.width = 3;
    e.height = 2;
    e.bit_count = 32;
    e.data = without;
    IconPicture picture(make_ico({e}));
    EXPECT_EQ(pixel_at(drawn(picture, 3, 2), 1, 0), rgb(200, 10, 10));
    EXPECT_EQ(pixel_at(drawn(picture, 3, 2), 0, 0), kWhite);
}

// A favicon.ico that is a PNG picture is an icon of that one image.
TEST(IcoPngPicture, IsAnIconOfOneImage) {
    // Opaque red, transparent, half blue, opaque green.
    const Bytes rgba = {255, 0, 0, 255, 0, 0, 0, 0, 0, 0, 255, 128, 0, 255, 0, 255};
    IconPicture picture(encode_png(2, 2, rgba));
    EXPECT_EQ(picture.type(), 1);
    EXPECT_EQ(picture.width(), 32);
    Bitmap target = drawn(picture);
    EXPECT_EQ(picture.chosen_index(), 0u);
    EXPECT_EQ(picture.width(), 2);
    EXPECT_EQ(picture.height(), 2);
    const auto half = static_cast<std::uint8_t>((255 * 127 + 127) / 255);
    EXPECT_EQ(pixel_at(target, 0, 0), rgb(255, 0, 0));
    EXPECT_EQ(pixel_at(target, 1, 0), rgb(255, 255, 255));
    EXPECT_EQ(pixel_at(target, 0, 1), rgb(half, half, 255));
    EXPECT_EQ(pixel_at(target, 1, 1), rgb(0, 255, 0));
    EXPECT_EQ(pixel_at(target, 2, 2), rgb(255, 255, 255));

    // A logo of 194 x 313 is reduced to 20 x 32 at the top-left corner.
    Bytes logo;
    for (int i = 0; i < 194 * 313; ++i)
        logo.insert(logo.end(), {10, 20, 200, 255});
    testing::TempDir dir;
    IconPicture read = IconPicture::read(dir.write("favicon.ico", encode_png(194, 313, logo)));
    Bitmap reduced = drawn(read);
    EXPECT_EQ(pixel_at(reduced, 19, 31), rgb(10, 20, 200));
    EXPECT_EQ(pixel_at(reduced, 20, 31), rgb(255, 255, 255));
    EXPECT_EQ(pixel_at(reduced, 0, 0), rgb(10, 20, 200));
}

TEST(IcoPngPicture, DamagedOrHugePngPicturesAreNotIcons) {
    Bytes cut = encode_png(2, 2, Bytes(16, 200));
    cut.resize(cut.size() / 2);
    for (const Bytes& data : {cut, hostile::blank_png(hostile::kBombSide, hostile::kBombSide, 1),
                              hostile::blank_png(kMaxPngIconSide + 1, 1, 8)}) {
        IconPicture picture(data);
        // Nothing large is held for them before they fail.
        EXPECT_LT(picture.draw_memory(), 4096u) << data.size();
        EXPECT_EQ(error_of([&] { drawn(picture); }), "Icon image is not valid") << data.size();
    }
}

// ---------------------------------------------------------------------------
// Damaged files

TEST(IcoDamage, DirectoryProblemsAreNotIcons) {
    Entry outside = entry(32);
    outside.offset = 1u << 20;
    Entry too_long = entry(32);
    too_long.bytes = static_cast<std::uint32_t>(too_long.data.size() + 1);
    Bytes cut_directory = {0, 0, 1, 0, 3, 0};  // three entries declared, 47 bytes follow
    cut_directory.resize(6 + 47, 0);
    Entry wraps = entry(32);
    wraps.offset = 0xFFFFFFF0u;
    wraps.bytes = 0x20;
    struct Case {
        const char* what;
        Bytes file;
    } cases[] = {
        {"no entry", make_ico({})},
        {"chosen entry starts outside the file", make_ico({outside})},
        {"chosen entry ends outside the file", make_ico({too_long})},
        {"offset and size wrap around", make_ico({wraps})},
        {"directory cut short", cut_directory},
    };
    for (const Case& c : cases) {
        IconPicture picture(c.file);
        EXPECT_EQ(error_of([&] { drawn(picture); }), "Icon image is not valid") << c.what;
        EXPECT_EQ(picture.width(), 32) << c.what;
    }
    // Only the chosen entry's place matters.
    Entry outside16 = entry(16);
    outside16.offset = 1u << 20;
    IconPicture other(make_ico({outside16, entry(32)}));
    EXPECT_EQ(error_of([&] { drawn(other); }), "(no error)");
    EXPECT_EQ(other.chosen_index(), 1u);
}

TEST(IcoDamage, UnreadableImageDataIsOutOfResources) {
    const Bytes good = solid(4, 4).encode();
    const auto edit = [&](auto change) {
        Bytes d = good;
        change(d);
        return d;
    };
    Dib rle = solid(4, 4);
    rle.bpp = 8;
    rle.compression = 1;
    Dib many = solid(4, 4);
    many.bpp = 8;
    many.colours_used = 257;
    Dib short_table = solid(4, 4);
    short_table.bpp = 8;
    short_table.table.assign(2, Rgbq{});
    short_table.colours_used = 256;
    Dib fields24 = solid(4, 4);
    fields24.compression = 3;
    fields24.bit_fields = {0xFF0000, 0xFF00, 0xFF};
    struct Case {
        const char* what;
        Bytes data;
    } cases[] = {
        {"no data", {}},
        {"header cut", Bytes(good.begin(), good.begin() + 39)},
        {"core header", edit([](Bytes& d) { set32(d, 0, 12); })},
        {"header longer than the data", edit([](Bytes& d) { set32(d, 0, 4000); })},
        {"width 0", edit([](Bytes& d) { set32(d, 4, 0); })},
        {"negative width", edit([](Bytes& d) { set32(d, 4, 0xFFFFFFFC); })},
        {"height 1", edit([](Bytes& d) { set32(d, 8, 1); })},
        {"top-down", edit([](Bytes& d) { set32(d, 8, static_cast<std::uint32_t>(-8)); })},
        {"2 bits per pixel", edit([](Bytes& d) { d[14] = 2; })},
        {"0 bits per pixel", edit([](Bytes& d) { d[14] = 0; })},
        {"run-length compressed", rle.encode()},
        {"bit fields at 24 bits", fields24.encode()},
        {"PNG compression value", edit([](Bytes& d) { set32(d, 16, 5); })},
        {"257 colours", many.encode()},
        {"colour table cut", short_table.encode()},
        {"mask cut by a byte", Bytes(good.begin(), good.end() - 1)},
        {"colour image cut", Bytes(good.begin(), good.begin() + 40 + 47)},
        {"huge width", edit([](Bytes& d) { set32(d, 4, 0x7FFFFFFF); })},
        {"huge height", edit([](Bytes& d) { set32(d, 8, 0x7FFFFFFE); })},
        {"32 bits without alpha (10-10-10 bit fields), mask left out",
         [] {
             Dib fields = solid(4, 4);
             fields.bpp = 32;
             fields.compression = 3;
             fields.bit_fields = {0x3FF00000, 0x000FFC00, 0x000003FF};
             Bytes d = fields.encode();
             d.resize(d.size() - 4 * 4);
             return d;
         }()},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(error_of([&] { decode_icon_image(c.data, 4, 4); }), "Out of system resources")
            << c.what;
        Entry e;
        e.width = e.height = 4;
        e.data = c.data;
        IconPicture picture(make_ico({e}));
        EXPECT_EQ(error_of([&] { drawn(picture); }), "Out of system resources") << c.what;
    }
    EXPECT_NO_THROW(decode_icon_image(good, 4, 4));
    // Trailing bytes after the mask do no harm.
    Bytes longer = good;
    longer.resize(good.size() + 10, 0xEE);
    EXPECT_NO_THROW(decode_icon_image(longer));
    // An odd stored height counts whole pixel rows for the colour image.
    Dib odd = solid(4, 4);
    odd.stored_height = 9;
    EXPECT_EQ(decode_icon_image(odd.encode()).height(), 4);
}

// Thousands of entries that all tie, each naming the same image: each
// image header is read once, and the last entry wins on equal bits.
TEST(IcoDamage, ManyTiedEntriesWithoutBitCounts) {
    const hostile::Bytes file =
        hostile::icon_file_of_ties(hostile::icon_image_32(32, 32, true), 65535);
    IconPicture picture(file);
    Bitmap target = drawn(picture);
    EXPECT_EQ(picture.chosen_index(), 65534u);
    EXPECT_EQ(pixel_at(target, 0, 31), rgb(0x33, 0x66, 0xCC));
    EXPECT_EQ(pixel_at(target, 0, 0), rgb(255, 255, 255));
}

// ---------------------------------------------------------------------------
// Type 0

TEST(IcoGeneric, TypeZeroDrawsTheGenericApplicationIcon) {
    for (std::uint16_t count : {0, 1}) {
        IconPicture picture(
            make_ico(count ? std::vector<Entry>{entry(16)} : std::vector<Entry>{}, 0));
        Bitmap target = drawn(picture);
        EXPECT_FALSE(picture.chosen_index());
        EXPECT_EQ(picture.width(), 32);
        EXPECT_EQ(picture.height(), 32);
        // Transparent corners, a blue title bar, a white client area with a black frame.
        EXPECT_EQ(pixel_at(target, 0, 0), rgb(255, 255, 255));
        EXPECT_EQ(pixel_at(target, 31, 31), rgb(255, 255, 255));
        EXPECT_EQ(pixel_at(target, 10, 6), rgb(0, 0, 128));
        EXPECT_EQ(pixel_at(target, 15, 18), rgb(255, 255, 255));
        EXPECT_EQ(pixel_at(target, 1, 15), rgb(0, 0, 0));
        EXPECT_EQ(pixel_at(target, 30, 15), rgb(128, 128, 128));
    }
}

TEST(IcoGeneric, GenericIconIsAPlainIconImage) {
    const IconImage icon = generic_application_icon();
    EXPECT_EQ(icon.width(), 32);
    EXPECT_EQ(icon.height(), 32);
    EXPECT_EQ(icon.colour.bpp(), 4);
    EXPECT_EQ(icon.mask.bpp(), 1);
    EXPECT_FALSE(icon.alpha);
    const IconImage copy = icon.clone();
    EXPECT_EQ(copy.colour.bits_size(), icon.colour.bits_size());
    EXPECT_TRUE(
        std::equal(copy.mask.bits(), copy.mask.bits() + copy.mask.bits_size(), icon.mask.bits()));
}

}  // namespace
}  // namespace quillora
