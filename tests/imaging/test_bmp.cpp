#include "imaging/bmp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <climits>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/files.h"
#include "support/png_reference.h"
#include "support/temp_dir.h"

namespace quillora {
namespace {

using quillora::testing::read_bytes;
using quillora::testing::ReferenceImage;
using quillora::testing::TempDir;
using Bytes = std::vector<std::uint8_t>;

void append16(Bytes& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void append32(Bytes& out, std::uint32_t v) {
    append16(out, v);
    append16(out, v >> 16);
}
std::uint32_t get32(const Bytes& in, std::size_t at) {
    return std::uint32_t{in[at]} | std::uint32_t{in[at + 1]} << 8 |
           std::uint32_t{in[at + 2]} << 16 | std::uint32_t{in[at + 3]} << 24;
}
std::uint32_t get16(const Bytes& in, std::size_t at) {
    return std::uint32_t{in[at]} | std::uint32_t{in[at + 1]} << 8;
}

// A BMP file described field by field.
struct BmpFile {
    std::uint32_t header_size = 40;
    std::int32_t width = 2;
    std::int32_t height = 2;
    std::uint32_t planes = 1;
    std::uint32_t bpp = 24;
    std::uint32_t compression = 0;
    std::uint32_t image_size = 0;
    std::uint32_t used_colours = 0;
    std::vector<std::uint32_t> header_masks;  // bytes 40 to 51 of a long header
    std::vector<std::uint32_t> masks;         // after the header
    Bytes table;                              // colour table, as stored
    std::optional<std::uint32_t> offset;      // pixel-offset field; default: right after the table
    Bytes pixels;

    BmpFile& with_header_size(std::uint32_t v) {
        header_size = v;
        return *this;
    }
    BmpFile& with_compression(std::uint32_t v) {
        compression = v;
        return *this;
    }
    BmpFile& with_image_size(std::uint32_t v) {
        image_size = v;
        return *this;
    }
    BmpFile& with_used_colours(std::uint32_t v) {
        used_colours = v;
        return *this;
    }
    BmpFile& with_header_masks(std::vector<std::uint32_t> v) {
        header_masks = std::move(v);
        return *this;
    }
    BmpFile& with_masks(std::vector<std::uint32_t> v) {
        masks = std::move(v);
        return *this;
    }
    BmpFile& with_table(Bytes v) {
        table = std::move(v);
        return *this;
    }
    BmpFile& with_offset(std::uint32_t v) {
        offset = v;
        return *this;
    }
    BmpFile& with_pixels(Bytes v) {
        pixels = std::move(v);
        return *this;
    }

    Bytes bytes() const {
        Bytes header;
        append32(header, header_size);
        if (header_size == 12) {
            append16(header, static_cast<std::uint32_t>(width));
            append16(header, static_cast<std::uint32_t>(height));
            append16(header, planes);
            append16(header, bpp);
        } else {
            append32(header, static_cast<std::uint32_t>(width));
            append32(header, static_cast<std::uint32_t>(height));
            append16(header, planes);
            append16(header, bpp);
            append32(header, compression);
            append32(header, image_size);
            append32(header, 0);
            append32(header, 0);
            append32(header, used_colours);
            append32(header, 0);
            for (std::uint32_t m : header_masks)
                append32(header, m);
            // At least the fields up to the bit count; a header larger than
            // 4 KiB is cut there, as if the file ended inside it.
            header.resize(std::clamp<std::size_t>(header_size, 16, 4096), 0);
        }
        Bytes out = {'B', 'M'};
        const std::size_t before_pixels = 14 + header.size() + masks.size() * 4 + table.size();
        append32(out, static_cast<std::uint32_t>(before_pixels + pixels.size()));
        append32(out, 0);
        append32(out, offset.value_or(static_cast<std::uint32_t>(before_pixels)));
        out.insert(out.end(), header.begin(), header.end());
        for (std::uint32_t m : masks)
            append32(out, m);
        out.insert(out.end(), table.begin(), table.end());
        out.insert(out.end(), pixels.begin(), pixels.end());
        return out;
    }
};

BmpFile bmp(std::int32_t width, std::int32_t height, std::uint32_t bpp) {
    BmpFile file;
    file.width = width;
    file.height = height;
    file.bpp = bpp;
    return file;
}

// A colour table of `n` entries (4 bytes each, or 3 for core headers) where
// entry i is (blue, green, red) = (i, 2i, 255 - i).
Bytes colour_table(std::size_t n, std::size_t entry_size = 4) {
    Bytes out;
    for (std::size_t i = 0; i < n; ++i) {
        out.push_back(static_cast<std::uint8_t>(i));
        out.push_back(static_cast<std::uint8_t>(2 * i));
        out.push_back(static_cast<std::uint8_t>(255 - i));
        if (entry_size == 4)
            out.push_back(0);
    }
    return out;
}
Rgbq table_colour(std::size_t i) {
    return {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(2 * i),
            static_cast<std::uint8_t>(255 - i), 0};
}

Bitmap read_memory(const Bytes& data) {
    files::MemoryReader in(data.data(), data.size());
    return read_bmp(in);
}

// The message of the quillora::Error that `f` raises, or "(no failure)".
std::string failure_of(const std::function<void()>& f) {
    try {
        f();
    } catch (const Error& e) {
        return e.what();
    }
    return "(no failure)";
}
std::string failure_of(const Bytes& data) {
    return failure_of([&] { read_memory(data); });
}

// Every row converted to blue, green, red triples, top row first.
Bytes bgr_rows(const Bitmap& bitmap) {
    Bytes out(static_cast<std::size_t>(bitmap.width()) * 3 *
              static_cast<std::size_t>(bitmap.height()));
    for (int y = 0; y < bitmap.height(); ++y) {
        row_to_bgr(bitmap, y, out.data() + static_cast<std::size_t>(y) * bitmap.width() * 3);
    }
    return out;
}

// The colour-table index of a pixel of a 1, 4 or 8-bit bitmap; y from the top.
int index_at(const Bitmap& bitmap, int x, int y) {
    const int bpp = bitmap.bpp();
    const int per_byte = 8 / bpp;
    const int shift = 8 - bpp * (x % per_byte + 1);
    return (bitmap.row(y)[x / per_byte] >> shift) & ((1 << bpp) - 1);
}

// All indices of a palette bitmap, bottom row first (the order BMP files store).
std::vector<std::vector<int>> indices_bottom_up(const Bitmap& bitmap) {
    std::vector<std::vector<int>> rows;
    for (int y = bitmap.height() - 1; y >= 0; --y) {
        std::vector<int> row;
        for (int x = 0; x < bitmap.width(); ++x)
            row.push_back(index_at(bitmap, x, y));
        rows.push_back(row);
    }
    return rows;
}

bool same_rows(const Bitmap& a, const Bitmap& b) {
    if (a.width() != b.width() || a.height() != b.height() || a.bpp() != b.bpp())
        return false;
    for (int y = 0; y < a.height(); ++y) {
        if (std::memcmp(a.row(y), b.row(y), a.stride()) != 0)
            return false;
    }
    return true;
}

// Reads the data both from memory and from a file, checks that both give the
// same bitmap and returns it.
Bitmap read_both_ways(const Bytes& data) {
    Bitmap from_memory = read_memory(data);
    TempDir dir;
    Bitmap from_file = read_bmp(dir.write("picture.bmp", data));
    EXPECT_TRUE(same_rows(from_memory, from_file));
    EXPECT_EQ(from_memory.palette(), from_file.palette());
    EXPECT_EQ(from_memory.masks(), from_file.masks());
    EXPECT_EQ(from_memory.top_down(), from_file.top_down());
    return from_memory;
}

const std::string kStreamRead(kStreamReadError);
const std::string kNotValid(kBitmapNotValid);
const std::string kOutOfMemory(kOutOfResources);

// ---------------------------------------------------------------------------
// Reading: the edge cases of the format

TEST(BmpRead, EmptyFileReadsAsEmptyBitmap) {
    Bitmap from_memory = read_memory({});
    EXPECT_EQ(from_memory.width(), 0);
    EXPECT_EQ(from_memory.height(), 0);
    EXPECT_TRUE(from_memory.empty());

    TempDir dir;
    Bitmap from_file = read_bmp(dir.write("empty.bmp", Bytes{}));
    EXPECT_EQ(from_file.width(), 0);
    EXPECT_EQ(from_file.height(), 0);
}

TEST(BmpRead, MissingFileFailsWithCannotOpen) {
    TempDir dir;
    const std::string path = dir.file("missing.bmp");
    EXPECT_EQ(failure_of([&] { read_bmp(path); }),
              "Cannot open file \"" + path + "\". No such file or directory");
}

TEST(BmpRead, FileEndingInsideItsHeadersOrTableFailsWithStreamReadError) {
    BmpFile pal8 = bmp(2, 2, 8).with_table(colour_table(256));
    pal8.pixels.assign(8, 1);
    BmpFile pal1 = bmp(2, 2, 1).with_table(colour_table(2));
    pal1.pixels.assign(8, 0);
    BmpFile core = bmp(2, 2, 8).with_header_size(12).with_table(colour_table(256, 3));
    BmpFile fields = bmp(2, 2, 16).with_compression(3).with_masks({0xF800, 0x07E0, 0x001F});
    fields.pixels.assign(8, 0);
    BmpFile v5 = bmp(2, 2, 24).with_header_size(124);
    BmpFile rgb_table = bmp(1, 1, 24).with_used_colours(5).with_table(colour_table(5));
    rgb_table.pixels.assign(4, 0);
    BmpFile absurd_table = bmp(2, 2, 8).with_used_colours(0x12345678).with_table(colour_table(256));
    absurd_table.pixels.assign(8, 0);
    BmpFile absurd_header = bmp(2, 2, 24).with_header_size(0x7FFFFFFF);

    struct Case {
        const char* name;
        Bytes data;
    };
    auto cut = [](const BmpFile& file, std::size_t size) {
        Bytes data = file.bytes();
        data.resize(size);
        return data;
    };
    const Case cases[] = {
        {"one byte", {'B'}},
        {"ten bytes", {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0}},
        {"ten bytes of anything", {'x', 'y', 1, 2, 3, 4, 5, 6, 7, 8}},
        {"thirteen bytes", cut(pal8, 13)},
        {"file header only", cut(pal8, 14)},
        {"inside the header size", cut(pal8, 16)},
        {"before the bit count", cut(pal8, 29)},
        {"core header before the bit count", cut(core, 24)},
        {"inside the 40-byte header", cut(pal8, 40)},
        {"inside a version-5 header", cut(v5, 100)},
        {"header longer than the file", absurd_header.bytes()},
        {"inside the masks", cut(fields, 14 + 40 + 8)},
        {"no colour table", cut(pal8, 54)},
        {"inside the colour table", cut(pal8, 54 + 1023)},
        {"inside a 1-bit table", cut(pal1, 54 + 6)},
        {"inside a core table", cut(core, 26 + 3 * 255)},
        {"inside the table of a 24-bit file", cut(rgb_table, 54 + 16)},
        {"table count larger than the file", absurd_table.bytes()},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(failure_of(c.data), kStreamRead) << c.name;
    }
}

TEST(BmpRead, InvalidFilesFailWithBitmapNotValid) {
    auto with = [](std::function<void(BmpFile&)> change) {
        BmpFile file = bmp(4, 2, 8).with_table(colour_table(256));
        file.pixels.assign(8, 1);
        change(file);
        return file.bytes();
    };
    auto retyped = [&](char a, char b) {
        Bytes data = with([](BmpFile&) {});
        data[0] = static_cast<std::uint8_t>(a);
        data[1] = static_cast<std::uint8_t>(b);
        return data;
    };
    struct Case {
        const char* name;
        Bytes data;
    };
    const Case cases[] = {
        {"type BA", retyped('B', 'A')},
        {"type MB", retyped('M', 'B')},
        {"type bm", retyped('b', 'm')},
        {"planes 0", with([](BmpFile& f) { f.planes = 0; })},
        {"planes 2", with([](BmpFile& f) { f.planes = 2; })},
        {"planes 30000", with([](BmpFile& f) { f.planes = 30000; })},
        {"core planes 0", with([](BmpFile& f) {
             f.header_size = 12;
             f.planes = 0;
         })},
        {"0 bits", with([](BmpFile& f) { f.bpp = 0; })},
        {"2 bits", with([](BmpFile& f) { f.bpp = 2; })},
        {"3 bits", with([](BmpFile& f) { f.bpp = 3; })},
        {"64 bits", with([](BmpFile& f) { f.bpp = 64; })},
        {"30000 bits", with([](BmpFile& f) { f.bpp = 30000; })},
        {"core 2 bits", with([](BmpFile& f) {
             f.header_size = 12;
             f.bpp = 2;
         })},
        {"header size 0", with([](BmpFile& f) { f.header_size = 0; })},
        {"header size 4", with([](BmpFile& f) { f.header_size = 4; })},
        {"header size 11", with([](BmpFile& f) { f.header_size = 11; })},
        {"header size 15", with([](BmpFile& f) { f.header_size = 15; })},
        {"negative width", with([](BmpFile& f) { f.width = -4; })},
        {"RLE8 at 4 bits", with([](BmpFile& f) {
             f.bpp = 4;
             f.compression = 1;
         })},
        {"RLE8 at 24 bits", with([](BmpFile& f) {
             f.bpp = 24;
             f.compression = 1;
         })},
        {"RLE4 at 8 bits", with([](BmpFile& f) { f.compression = 2; })},
        {"RLE8 top-down", with([](BmpFile& f) {
             f.compression = 1;
             f.height = -2;
         })},
        {"RLE4 top-down", with([](BmpFile& f) {
             f.bpp = 4;
             f.compression = 2;
             f.height = -2;
         })},
        {"bit fields at 8 bits", with([](BmpFile& f) { f.compression = 3; })},
        {"bit fields at 24 bits", with([](BmpFile& f) {
             f.bpp = 24;
             f.compression = 3;
             f.masks = {0xFF0000, 0xFF00, 0xFF};
         })},
        {"JPEG inside", with([](BmpFile& f) {
             f.bpp = 24;
             f.compression = 4;
         })},
        {"PNG inside", with([](BmpFile& f) {
             f.bpp = 24;
             f.compression = 5;
         })},
        {"alpha bit fields", with([](BmpFile& f) {
             f.bpp = 32;
             f.compression = 6;
         })},
        {"compression 0xFFFFFFFF", with([](BmpFile& f) { f.compression = 0xFFFFFFFF; })},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(failure_of(c.data), kNotValid) << c.name;
    }
}

TEST(BmpRead, PngFileNamedBmpFailsWithBitmapNotValid) {
    ReferenceImage image;
    image.width = 3;
    image.height = 2;
    image.bgra.assign(3 * 2 * 4, 0x80);
    TempDir dir;
    const std::string path = dir.write("photo.bmp", testing::encode_png_reference(image));
    EXPECT_EQ(failure_of([&] { read_bmp(path); }), kNotValid);
}

TEST(BmpRead, PixelDataStartsRightAfterTheColourTableNotAtTheOffsetField) {
    // The offset field points 4 bytes past the table; the program reads the
    // pixels from the byte right after the table all the same.
    BmpFile file =
        bmp(4, 2, 8).with_used_colours(8).with_table(colour_table(8)).with_offset(14 + 40 + 32 + 4);
    file.pixels = {1, 2, 3, 4, 5, 6, 7, 0, 9, 9, 9, 9};
    Bitmap bitmap = read_both_ways(file.bytes());
    EXPECT_EQ(indices_bottom_up(bitmap),
              (std::vector<std::vector<int>>{{1, 2, 3, 4}, {5, 6, 7, 0}}));

    // After the masks of a bit-field file, and after a core table.
    BmpFile fields =
        bmp(1, 1, 16).with_compression(3).with_masks({0xF800, 0x07E0, 0x001F}).with_offset(0);
    fields.pixels = {0x1F, 0x00, 0, 0};
    EXPECT_EQ(bgr_rows(read_memory(fields.bytes())), (Bytes{255, 0, 0}));
    BmpFile core =
        bmp(2, 1, 8).with_header_size(12).with_table(colour_table(256, 3)).with_offset(0xFFFFFFFF);
    core.pixels = {7, 200, 0, 0};
    Bitmap core_bitmap = read_memory(core.bytes());
    EXPECT_EQ(index_at(core_bitmap, 0, 0), 7);
    EXPECT_EQ(index_at(core_bitmap, 1, 0), 200);
    EXPECT_EQ(core_bitmap.palette()[200], table_colour(200));
}

// The same 8-bit picture and the same 5-6-5 picture stored with each kind of
// header read to the same pixels.
TEST(BmpRead, HeaderVariantsReadTheSamePixels) {
    const Bytes pixels = {1, 2, 3, 0, 4, 5, 6, 0};  // 3 x 2, bottom row first
    const Bytes expected = [] {
        Bytes out;
        for (int i : {4, 5, 6, 1, 2, 3}) {
            Rgbq c = table_colour(static_cast<std::size_t>(i));
            out.insert(out.end(), {c.blue, c.green, c.red});
        }
        return out;
    }();
    for (std::uint32_t size : {12u, 16u, 40u, 52u, 56u, 64u, 66u, 108u, 124u}) {
        BmpFile file = bmp(3, 2, 8).with_header_size(size).with_pixels(pixels);
        if (size == 12) {
            file.table = colour_table(256, 3);
        } else if (size == 16) {
            file.table = colour_table(256);  // no used-colours field: a full table
        } else {
            file.used_colours = 7;
            file.table = colour_table(7);
        }
        Bitmap bitmap = read_both_ways(file.bytes());
        EXPECT_EQ(bitmap.bpp(), 8) << size;
        EXPECT_FALSE(bitmap.top_down()) << size;
        EXPECT_EQ(bgr_rows(bitmap), expected) << "header size " << size;
    }

    const ChannelMasks m565{0xF800, 0x07E0, 0x001F};
    // Blue, green, red, white, then black: bottom row first.
    const Bytes pixels565 = {0x1F, 0x00, 0xE0, 0x07, 0x00, 0xF8, 0xFF, 0xFF};
    const Bytes expected565 = {0, 0, 255, 255, 255, 255, 255, 0, 0, 0, 255, 0};
    for (std::uint32_t size : {40u, 52u, 56u, 108u, 124u}) {
        BmpFile file =
            bmp(2, 2, 16).with_header_size(size).with_compression(3).with_pixels(pixels565);
        if (size == 40)
            file.masks = {m565.red, m565.green, m565.blue};
        else
            file.header_masks = {m565.red, m565.green, m565.blue};
        Bitmap bitmap = read_both_ways(file.bytes());
        EXPECT_EQ(bitmap.masks(), m565) << size;
        EXPECT_EQ(bgr_rows(bitmap), expected565) << "header size " << size;
    }
}

// A version-5 header may name a colour profile stored after the pixels; the
// profile plays no part in the pixels read.
TEST(BmpRead, EmbeddedColourProfileIsPassedOver) {
    const Bytes pixels = {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0};  // 2 x 2 at 24 bits
    BmpFile plain = bmp(2, 2, 24).with_header_size(124).with_pixels(pixels);
    Bytes with_profile = plain.bytes();
    const std::uint32_t profile_at = static_cast<std::uint32_t>(with_profile.size()) - 14;
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            with_profile[at + static_cast<std::size_t>(i)] =
                static_cast<std::uint8_t>(v >> (8 * i));
    };
    put32(14 + 56, 0x4D424544);   // colour space type: an embedded profile
    put32(14 + 112, profile_at);  // profile offset, from the start of the header
    put32(14 + 116, 96);          // profile size
    with_profile.insert(with_profile.end(), 96, 0xA5);
    EXPECT_EQ(bgr_rows(read_both_ways(with_profile)), bgr_rows(read_both_ways(plain.bytes())));
}

TEST(BmpRead, NegativeHeightKeepsTheRowsTopDown) {
    for (std::uint32_t bpp : {8u, 24u, 32u}) {
        const std::size_t stride = bpp == 8 ? 4 : (bpp == 24 ? 8 : 8);
        Bytes rows;
        for (std::size_t i = 0; i < stride * 3; ++i)
            rows.push_back(static_cast<std::uint8_t>(i * 7 + 1));
        BmpFile top_down = bmp(2, -3, bpp).with_pixels(rows);
        if (bpp == 8)
            top_down.table = colour_table(256);
        Bitmap bitmap = read_both_ways(top_down.bytes());
        ASSERT_EQ(bitmap.height(), 3);
        EXPECT_TRUE(bitmap.top_down());
        EXPECT_EQ(std::memcmp(bitmap.bits(), rows.data(), rows.size()), 0);
        EXPECT_EQ(bitmap.row(0)[0], rows[0]) << "the first stored row is the top row";

        // The same rows stored bottom-up give the same picture.
        BmpFile bottom_up = top_down;
        bottom_up.height = 3;
        bottom_up.pixels.clear();
        for (int r = 2; r >= 0; --r) {
            auto from = rows.begin() + static_cast<std::ptrdiff_t>(stride) * r;
            bottom_up.pixels.insert(bottom_up.pixels.end(), from,
                                    from + static_cast<std::ptrdiff_t>(stride));
        }
        Bitmap other = read_memory(bottom_up.bytes());
        EXPECT_FALSE(other.top_down());
        EXPECT_EQ(bgr_rows(other), bgr_rows(bitmap)) << bpp;
    }
}

TEST(BmpRead, ShortPixelDataReadsAsZero) {
    // 2 x 2 at 24 bits: 8 bytes a row.
    BmpFile file = bmp(2, 2, 24).with_pixels({1, 2, 3, 4, 5});
    Bitmap bitmap = read_both_ways(file.bytes());
    ASSERT_EQ(bitmap.bits_size(), 16u);
    EXPECT_EQ(Bytes(bitmap.bits(), bitmap.bits() + 16),
              (Bytes{1, 2, 3, 4, 5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));

    // The image-size field limits what is read even when the file has more.
    BmpFile sized = file;
    sized.image_size = 6;
    sized.pixels.assign(16, 9);
    bitmap = read_both_ways(sized.bytes());
    EXPECT_EQ(Bytes(bitmap.bits(), bitmap.bits() + 16),
              (Bytes{9, 9, 9, 9, 9, 9, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));

    // An image-size field larger than the file reads what is there.
    sized.image_size = 0x7FFFFFFF;
    bitmap = read_both_ways(sized.bytes());
    EXPECT_EQ(Bytes(bitmap.bits(), bitmap.bits() + 16), Bytes(16, 9));

    // No pixel data at all.
    file.pixels.clear();
    bitmap = read_both_ways(file.bytes());
    EXPECT_EQ(Bytes(bitmap.bits(), bitmap.bits() + 16), Bytes(16, 0));
}

TEST(BmpRead, ColourTableSizes) {
    struct Case {
        const char* name;
        std::uint32_t bpp;
        std::uint32_t used;
        std::size_t entries_stored;
        std::size_t palette_size;
    };
    const Case cases[] = {
        {"1 bit, default", 1, 0, 2, 2},
        {"4 bits, default", 4, 0, 16, 16},
        {"8 bits, default", 8, 0, 256, 256},
        {"1 bit, one colour", 1, 1, 1, 1},
        {"8 bits, three colours", 8, 3, 3, 3},
        {"8 bits, 300 colours", 8, 300, 300, 256},
        {"4 bits, 20 colours", 4, 20, 20, 16},
        {"24 bits, table skipped", 24, 2, 2, 0},
        {"32 bits, table skipped", 32, 256, 256, 0},
    };
    for (const Case& c : cases) {
        BmpFile file =
            bmp(1, 1, c.bpp).with_used_colours(c.used).with_table(colour_table(c.entries_stored));
        file.pixels = {0xAB, 0xCD, 0xEF, 0x12};
        Bitmap bitmap = read_both_ways(file.bytes());
        SCOPED_TRACE(c.name);
        ASSERT_EQ(bitmap.palette().size(), c.palette_size);
        for (std::size_t i = 0; i < c.palette_size; ++i)
            EXPECT_EQ(bitmap.palette()[i], table_colour(i));
        EXPECT_EQ(Bytes(bitmap.bits(), bitmap.bits() + 4), (Bytes{0xAB, 0xCD, 0xEF, 0x12}))
            << "the pixels follow the whole stored table";
    }

    // An index past the end of a short table reads as black.
    BmpFile file =
        bmp(2, 1, 8).with_used_colours(3).with_table(colour_table(3)).with_pixels({2, 200, 0, 0});
    Rgbq c2 = table_colour(2);
    EXPECT_EQ(bgr_rows(read_memory(file.bytes())), (Bytes{c2.blue, c2.green, c2.red, 0, 0, 0}));

    // A bit-field file with a table: masks first, then the table, then pixels.
    BmpFile fields = bmp(1, 1, 16)
                         .with_compression(3)
                         .with_used_colours(3)
                         .with_masks({0xF800, 0x07E0, 0x001F})
                         .with_table(colour_table(3))
                         .with_pixels({0x00, 0xF8, 0, 0});
    Bitmap bitmap = read_memory(fields.bytes());
    EXPECT_TRUE(bitmap.palette().empty());
    EXPECT_EQ(bgr_rows(bitmap), (Bytes{0, 0, 255}));
}

TEST(BmpRead, ChannelMasksAreKeptForTheRowConversion) {
    struct Case {
        const char* name;
        std::uint32_t bpp;
        std::uint32_t compression;
        std::vector<std::uint32_t> masks;
        ChannelMasks expected_masks;
        Bytes pixel;  // one pixel, padded to 4 bytes
        Bytes bgr;
    };
    const Case cases[] = {
        {"16 bits default, white",
         16,
         0,
         {},
         {0x7C00, 0x03E0, 0x001F},
         {0xFF, 0x7F, 0, 0},
         {255, 255, 255}},
        {"16 bits default, red",
         16,
         0,
         {},
         {0x7C00, 0x03E0, 0x001F},
         {0x00, 0x7C, 0, 0},
         {0, 0, 255}},
        {"16 bits default, top bit unused",
         16,
         0,
         {},
         {0x7C00, 0x03E0, 0x001F},
         {0x1F, 0x80, 0, 0},
         {255, 0, 0}},
        {"5-6-5, green",
         16,
         3,
         {0xF800, 0x07E0, 0x001F},
         {0xF800, 0x07E0, 0x001F},
         {0xE0, 0x07, 0, 0},
         {0, 255, 0}},
        {"5-6-5, white",
         16,
         3,
         {0xF800, 0x07E0, 0x001F},
         {0xF800, 0x07E0, 0x001F},
         {0xFF, 0xFF, 0, 0},
         {255, 255, 255}},
        {"32 bits default, fourth byte ignored",
         32,
         0,
         {},
         {0xFF0000, 0xFF00, 0xFF},
         {10, 20, 30, 99},
         {10, 20, 30}},
        {"32 bits, unusual order",
         32,
         3,
         {0xFF, 0xFF00, 0xFF0000},
         {0xFF, 0xFF00, 0xFF0000},
         {10, 20, 30, 0},
         {30, 20, 10}},
        {"32 bits, highest bits",
         32,
         3,
         {0xFF000000, 0xFF0000, 0xFF00},
         {0xFF000000, 0xFF0000, 0xFF00},
         {0, 30, 20, 10},
         {30, 20, 10}},
    };
    for (const Case& c : cases) {
        BmpFile file = bmp(1, 1, c.bpp)
                           .with_compression(c.compression)
                           .with_masks(c.masks)
                           .with_pixels(c.pixel);
        Bitmap bitmap = read_memory(file.bytes());
        EXPECT_EQ(bitmap.masks(), c.expected_masks) << c.name;
        EXPECT_EQ(bgr_rows(bitmap), c.bgr) << c.name;
    }
}

// ---------------------------------------------------------------------------
// Reading: run-length data

struct RleCase {
    const char* name;
    std::uint32_t bpp;  // 8: RLE8, 4: RLE4
    int width, height;
    Bytes data;
    std::vector<std::vector<int>> rows;  // bottom row first
};

TEST(BmpRead, RunLengthData) {
    const RleCase cases[] = {
        {"encoded runs, end of line, end of bitmap",
         8,
         4,
         2,
         {3, 5, 1, 7, 0, 0, 4, 9, 0, 1},
         {{5, 5, 5, 7}, {9, 9, 9, 9}}},
        {"absolute run of odd length is padded",
         8,
         4,
         1,
         {0, 3, 1, 2, 3, 0xEE, 1, 4, 0, 1},
         {{1, 2, 3, 4}}},
        {"absolute run of even length", 8, 4, 1, {0, 4, 1, 2, 3, 4, 0, 1}, {{1, 2, 3, 4}}},
        {"delta moves right and up",
         8,
         4,
         3,
         {1, 1, 0, 2, 2, 1, 1, 2, 0, 0, 1, 3, 0, 1},
         {{1, 0, 0, 0}, {0, 0, 0, 2}, {3, 0, 0, 0}}},
        {"pixels not written stay 0", 8, 3, 2, {1, 4, 0, 1, 5, 5}, {{4, 0, 0}, {0, 0, 0}}},
        {"end of line on an empty line",
         8,
         2,
         3,
         {0, 0, 0, 0, 2, 6, 0, 1},
         {{0, 0}, {0, 0}, {6, 6}}},
        {"run past the row end is cut", 8, 2, 2, {5, 7, 1, 8, 0, 0, 1, 3, 0, 1}, {{7, 7}, {3, 0}}},
        {"absolute run past the row end is cut",
         8,
         2,
         2,
         {0, 3, 1, 2, 3, 0, 0, 0, 1, 4, 0, 1},
         {{1, 2}, {4, 0}}},
        {"delta past the right edge stops at it",
         8,
         3,
         2,
         {0, 2, 9, 0, 1, 5, 0, 0, 1, 6},
         {{0, 0, 0}, {6, 0, 0}}},
        {"delta past the top ends the data", 8, 2, 2, {1, 1, 0, 2, 0, 5, 1, 2}, {{1, 0}, {0, 0}}},
        {"end of line past the top ends the data", 8, 2, 1, {1, 1, 0, 0, 1, 2}, {{1, 0}}},
        {"data ending without end of bitmap", 8, 4, 1, {2, 3}, {{3, 3, 0, 0}}},
        {"data ending inside an absolute run", 8, 4, 1, {0, 4, 1, 2}, {{1, 2, 0, 0}}},
        {"data ending inside a delta", 8, 4, 1, {1, 1, 0, 2, 1}, {{1, 0, 0, 0}}},
        {"data ending after a count", 8, 2, 1, {2}, {{0, 0}}},
        {"no data", 8, 2, 1, {}, {{0, 0}}},
        {"RLE4 runs alternate two indices",
         4,
         5,
         2,
         {5, 0x12, 0, 0, 3, 0x77, 0, 1},
         {{1, 2, 1, 2, 1}, {7, 7, 7, 0, 0}}},
        {"RLE4 absolute run of two bytes",
         4,
         4,
         1,
         {0, 3, 0x12, 0x30, 1, 0x44, 0, 1},
         {{1, 2, 3, 4}}},
        {"RLE4 absolute run of three bytes is padded",
         4,
         8,
         1,
         {0, 5, 0x12, 0x34, 0x50, 0xEE, 2, 0x67, 0, 1},
         {{1, 2, 3, 4, 5, 6, 7, 0}}},
        {"RLE4 odd start position", 4, 4, 1, {1, 0x90, 3, 0xAB, 0, 1}, {{9, 10, 11, 10}}},
        {"RLE4 run past the row end is cut",
         4,
         3,
         2,
         {9, 0x12, 0, 0, 0, 4, 0x34, 0x56, 0, 1},
         {{1, 2, 1}, {3, 4, 5}}},
        {"RLE4 delta", 4, 4, 2, {0, 2, 3, 1, 1, 0xC0, 0, 1}, {{0, 0, 0, 0}, {0, 0, 0, 12}}},
    };
    for (const RleCase& c : cases) {
        SCOPED_TRACE(c.name);
        BmpFile file = bmp(c.width, c.height, c.bpp)
                           .with_compression(c.bpp == 8 ? 1u : 2u)
                           .with_image_size(static_cast<std::uint32_t>(c.data.size()))
                           .with_table(colour_table(std::size_t{1} << c.bpp))
                           .with_pixels(c.data);
        Bitmap bitmap = read_both_ways(file.bytes());
        EXPECT_FALSE(bitmap.top_down());
        EXPECT_EQ(indices_bottom_up(bitmap), c.rows);
    }
}

TEST(BmpRead, RunLengthDataLengthFollowsTheImageSizeField) {
    // Data after the length the image-size field gives is not decoded.
    BmpFile file = bmp(4, 2, 8)
                       .with_compression(1)
                       .with_image_size(4)
                       .with_table(colour_table(256))
                       .with_pixels({2, 1, 0, 0, 4, 2, 0, 1});
    EXPECT_EQ(indices_bottom_up(read_both_ways(file.bytes())),
              (std::vector<std::vector<int>>{{1, 1, 0, 0}, {0, 0, 0, 0}}));
    // Without an image size, the length of the uncompressed rows.
    file.image_size = 0;
    EXPECT_EQ(indices_bottom_up(read_both_ways(file.bytes())),
              (std::vector<std::vector<int>>{{1, 1, 0, 0}, {2, 2, 2, 2}}));
}

TEST(BmpRead, LongRunLengthData) {
    // More data than one block of the reader: 600 x 60 in absolute runs of
    // 200 pixels.
    const int width = 600, height = 60;
    Bytes data;
    std::vector<std::vector<int>> expected;
    for (int y = 0; y < height; ++y) {
        std::vector<int> row;
        for (int run = 0; run < 3; ++run) {
            data.insert(data.end(), {0, 200});
            for (int i = 0; i < 200; ++i) {
                int index = (y * 31 + run * 7 + i) % 256;
                data.push_back(static_cast<std::uint8_t>(index));
                row.push_back(index);
            }
        }
        data.insert(data.end(), {0, 0});
        expected.push_back(row);
    }
    data.insert(data.end(), {0, 1});
    ASSERT_GT(data.size(), 32768u);
    BmpFile file = bmp(width, height, 8)
                       .with_compression(1)
                       .with_image_size(static_cast<std::uint32_t>(data.size()))
                       .with_table(colour_table(256))
                       .with_pixels(data);
    EXPECT_EQ(indices_bottom_up(read_both_ways(file.bytes())), expected);
}

// ---------------------------------------------------------------------------
// Reading: dimensions

TEST(BmpRead, ImpossibleDimensionsFailWithoutAllocating) {
    // 30 bytes claiming 60000 x 60000 at 32 bits (14.4 GB of pixels).
    BmpFile core = bmp(60000, 60000, 32).with_header_size(12).with_pixels({1, 2, 3, 4});
    Bytes core_bytes = core.bytes();
    ASSERT_EQ(core_bytes.size(), 30u);
    EXPECT_EQ(failure_of(core_bytes), kOutOfMemory);

    BmpFile info = bmp(60000, 60000, 32);
    Bytes info_bytes = info.bytes();
    info_bytes.resize(30);  // cut inside the information header
    EXPECT_EQ(failure_of(info_bytes), kOutOfMemory);

    struct Case {
        const char* name;
        std::int32_t width, height;
        std::uint32_t bpp;
    };
    const Case cases[] = {
        {"3000000 x 2000000", 3000000, 2000000, 24},
        {"widest", INT32_MAX, 1, 32},
        {"tallest, top-down", 1, INT32_MIN, 1},
        {"tallest", 1, INT32_MAX, 8},
        {"one row past the limit", 16384, 32769, 32},
        {"one column past the limit", 268435457, 2, 32},
    };
    for (const Case& c : cases) {
        BmpFile file = bmp(c.width, c.height, c.bpp);
        if (c.bpp <= 8)
            file.table = colour_table(std::size_t{1} << c.bpp);
        EXPECT_EQ(failure_of(file.bytes()), kOutOfMemory) << c.name;
    }
}

TEST(BmpRead, ZeroWidthOrHeightGivesAnEmptyBitmap) {
    for (auto [width, height] : {std::pair{0, 5}, std::pair{5, 0}, std::pair{0, 0},
                                 std::pair{0, INT32_MIN}, std::pair{0, INT32_MAX}}) {
        BmpFile file = bmp(width, height, 8).with_table(colour_table(256));
        Bitmap bitmap = read_memory(file.bytes());
        EXPECT_TRUE(bitmap.empty()) << width << " x " << height;
        EXPECT_EQ(bitmap.width(), 0);
        EXPECT_EQ(bitmap.height(), 0);
    }
    // The colour table must still be there.
    BmpFile cut = bmp(0, 5, 8).with_table(colour_table(10));
    EXPECT_EQ(failure_of(cut.bytes()), kStreamRead);
}

// ---------------------------------------------------------------------------
// Writing

// A bitmap with a recognisable pattern in every row, bottom-up or top-down.
Bitmap pattern_bitmap(int width, int height, int bpp, bool top_down = false) {
    Bitmap bitmap(width, height, bpp, top_down);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = bitmap.row(y);
        for (std::size_t i = 0; i < bitmap.stride(); ++i)
            row[i] = static_cast<std::uint8_t>(y * 37 + static_cast<int>(i) * 11 + 1);
    }
    for (std::size_t i = 0; i < bitmap.palette().size(); ++i)
        bitmap.palette()[i] = table_colour(i);
    return bitmap;
}

TEST(BmpWrite, ExactLayoutOfASmallFile) {
    // 3 x 2 at 8 bits with a colour table of 2 entries.
    Bitmap bitmap(3, 2, 8);
    bitmap.palette() = {{1, 2, 3, 0}, {4, 5, 6, 77}};
    std::memcpy(bitmap.row(0), "\x01\x00\x01\x00", 4);  // top row
    std::memcpy(bitmap.row(1), "\x00\x01\x00\x00", 4);  // bottom row
    const Bytes expected = {
        'B', 'M', 70, 0, 0, 0,        // type, file size 14 + 40 + 8 + 8
        0,   0,   0,  0,              // reserved
        62,  0,   0,  0,              // pixel offset
        40,  0,   0,  0,              // header size
        3,   0,   0,  0,              // width
        2,   0,   0,  0,              // height, bottom-up
        1,   0,                       // planes
        8,   0,                       // bits per pixel
        0,   0,   0,  0,              // no compression
        8,   0,   0,  0,              // image size
        0,   0,   0,  0, 0, 0, 0, 0,  // resolution
        2,   0,   0,  0,              // used colours
        0,   0,   0,  0,              // important colours
        1,   2,   3,  0, 4, 5, 6, 0,  // colour table, fourth byte 0
        0,   1,   0,  0,              // bottom row first
        1,   0,   1,  0,
    };
    EXPECT_EQ(encode_bmp(bitmap), expected);
    TempDir dir;
    write_bmp(bitmap, dir.file("small.bmp"));
    EXPECT_EQ(read_bytes(dir.file("small.bmp")), expected);
}

TEST(BmpWrite, ScreenBitmapOf640x480At32BitsWrites1228854Bytes) {
    Bitmap bitmap = create_screen_bitmap(640, 480, 32);
    TempDir dir;
    write_bmp(bitmap, dir.file("screen.bmp"));
    Bytes data = read_bytes(dir.file("screen.bmp"));
    ASSERT_EQ(data.size(), 1228854u);
    EXPECT_EQ(get32(data, 2), 1228854u);
    EXPECT_EQ(get32(data, 10), 54u);
    EXPECT_EQ(get32(data, 14), 40u);
    EXPECT_EQ(get32(data, 18), 640u);
    EXPECT_EQ(get32(data, 22), 480u);
    EXPECT_EQ(get16(data, 26), 1u);
    EXPECT_EQ(get16(data, 28), 32u);
    EXPECT_EQ(get32(data, 30), 0u);
    EXPECT_EQ(get32(data, 34), 1228800u);
    EXPECT_EQ(get32(data, 46), 0u);
    EXPECT_EQ(Bytes(data.begin() + 54, data.begin() + 58), (Bytes{255, 255, 255, 0}));
    EXPECT_EQ(data, encode_bmp(bitmap));
}

TEST(BmpWrite, RoundTripAtEveryDepth) {
    struct Case {
        int bpp;
        int width, height;
        bool top_down;
    };
    const Case cases[] = {
        {1, 13, 3, false}, {1, 33, 2, true}, {4, 5, 4, false},  {4, 8, 3, true},
        {8, 3, 5, false},  {8, 4, 2, true},  {16, 3, 3, false}, {16, 2, 3, true},
        {24, 5, 2, false}, {24, 1, 4, true}, {32, 3, 3, false}, {32, 2, 2, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.bpp) + " bits" + (c.top_down ? ", top-down" : ""));
        Bitmap bitmap = pattern_bitmap(c.width, c.height, c.bpp, c.top_down);
        Bytes data = encode_bmp(bitmap);
        const std::size_t table = c.bpp <= 8 ? (std::size_t{4} << c.bpp) : 0;
        const std::size_t image = bitmap.stride() * static_cast<std::size_t>(c.height);
        ASSERT_EQ(data.size(), 54 + table + image);
        EXPECT_EQ(get32(data, 2), data.size());
        EXPECT_EQ(get32(data, 10), 54 + table);
        EXPECT_EQ(static_cast<std::int32_t>(get32(data, 22)), c.height) << "always bottom-up";
        EXPECT_EQ(get32(data, 30), 0u);
        EXPECT_EQ(get32(data, 34), image);
        EXPECT_EQ(get32(data, 46), c.bpp <= 8 ? (1u << c.bpp) : 0u);

        Bitmap back = read_memory(data);
        EXPECT_FALSE(back.top_down());
        EXPECT_TRUE(same_rows(back, bitmap));
        EXPECT_EQ(back.palette(), bitmap.palette());
        EXPECT_EQ(back.masks(), bitmap.masks());

        TempDir dir;
        write_bmp(bitmap, dir.file("out.bmp"));
        EXPECT_EQ(read_bytes(dir.file("out.bmp")), data);
    }
}

TEST(BmpWrite, LargeTopDownBitmapIsWrittenBottomUp) {
    // More rows than one write block holds.
    Bitmap bitmap = pattern_bitmap(300, 400, 24, true);
    TempDir dir;
    write_bmp(bitmap, dir.file("big.bmp"));
    Bytes data = read_bytes(dir.file("big.bmp"));
    EXPECT_EQ(data, encode_bmp(bitmap));
    EXPECT_TRUE(same_rows(read_bmp(dir.file("big.bmp")), bitmap));
}

TEST(BmpWrite, NonDefaultMasksAreWrittenAsBitFields) {
    const ChannelMasks m565{0xF800, 0x07E0, 0x001F};
    Bitmap bitmap = pattern_bitmap(3, 2, 16);
    bitmap.set_masks(m565);
    Bytes data = encode_bmp(bitmap);
    ASSERT_EQ(data.size(), 14u + 40 + 12 + 16);
    EXPECT_EQ(get32(data, 2), data.size());
    EXPECT_EQ(get32(data, 10), 66u);
    EXPECT_EQ(get32(data, 30), 3u);
    EXPECT_EQ(get32(data, 54), m565.red);
    EXPECT_EQ(get32(data, 58), m565.green);
    EXPECT_EQ(get32(data, 62), m565.blue);
    Bitmap back = read_memory(data);
    EXPECT_EQ(back.masks(), m565);
    EXPECT_EQ(bgr_rows(back), bgr_rows(bitmap));

    Bitmap wide = pattern_bitmap(2, 2, 32);
    wide.set_masks({0xFF, 0xFF00, 0xFF0000});
    Bitmap wide_back = read_memory(encode_bmp(wide));
    EXPECT_EQ(wide_back.masks(), wide.masks());
    EXPECT_EQ(bgr_rows(wide_back), bgr_rows(wide));
}

TEST(BmpWrite, ColourTableAsTheBitmapHoldsIt) {
    // A short table is written as it is, with its length as used colours.
    Bitmap short_table = pattern_bitmap(4, 2, 8);
    short_table.palette().resize(5);
    Bytes data = encode_bmp(short_table);
    EXPECT_EQ(get32(data, 46), 5u);
    EXPECT_EQ(get32(data, 10), 54u + 20);
    EXPECT_EQ(read_memory(data).palette(), short_table.palette());

    // Without any table, used colours 0 would announce a full one: a full
    // black table is written, which shows the same colours.
    Bitmap no_table = pattern_bitmap(4, 2, 4);
    no_table.palette().clear();
    data = encode_bmp(no_table);
    EXPECT_EQ(get32(data, 46), 16u);
    EXPECT_EQ(get32(data, 10), 54u + 64);
    Bitmap back = read_memory(data);
    EXPECT_TRUE(same_rows(back, no_table));
    EXPECT_EQ(bgr_rows(back), bgr_rows(no_table));
}

TEST(BmpWrite, EmptyBitmapWritesHeadersOnly) {
    Bytes data = encode_bmp(Bitmap());
    ASSERT_EQ(data.size(), 54u);
    EXPECT_EQ(get32(data, 18), 0u);
    EXPECT_EQ(get32(data, 22), 0u);
    EXPECT_EQ(get32(data, 34), 0u);
    EXPECT_TRUE(read_memory(data).empty());
}

TEST(BmpWrite, FailuresLeaveNoFileAndNeverOverwriteTheSource) {
    TempDir dir;
    Bitmap bitmap = pattern_bitmap(2, 2, 24);
    const std::string missing = dir.file("no such folder/out.bmp");
    EXPECT_EQ(failure_of([&] { write_bmp(bitmap, missing); }),
              "Cannot create file \"" + missing + "\". No such file or directory");

    const std::string source = dir.write("photo.bmp", std::string("original"));
    EXPECT_EQ(failure_of([&] { write_bmp(bitmap, source, source); }),
              "Cannot create file \"" + source + "\". " + files::kOutputIsSource);
    EXPECT_EQ(read_bytes(source), (Bytes{'o', 'r', 'i', 'g', 'i', 'n', 'a', 'l'}));
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"photo.bmp"});

    // Any other existing file is replaced.
    const std::string other = dir.write("other.bmp", std::string("old"));
    write_bmp(bitmap, other, source);
    EXPECT_EQ(read_bytes(other), encode_bmp(bitmap));
}

// ---------------------------------------------------------------------------
// The BMP Suite

std::filesystem::path suite_folder() {
    return std::filesystem::path(QUILLORA_TEST_DATA) / "bmpsuite";
}

std::vector<std::filesystem::path> suite_files(const std::string& folder) {
    std::vector<std::filesystem::path> files;
    for (const auto& e : std::filesystem::directory_iterator(suite_folder() / folder)) {
        if (e.path().extension() == ".bmp")
            files.push_back(e.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

// How far a channel value may be from the reference: where a channel has
// other than 8 bits (5 or 6 in 16-bit files, 10 or 11 in some 32-bit ones),
// its widening to 8 bits may round the other way.
int tolerance_for(const Bitmap& bitmap) {
    if (bitmap.bpp() != 16 && bitmap.bpp() != 32)
        return 0;
    const ChannelMasks& m = bitmap.masks();
    for (std::uint32_t mask : {m.red, m.green, m.blue}) {
        if (std::popcount(mask) != 8)
            return 1;
    }
    return 0;
}

// Compares the bitmap with a reference picture, on the pixels the reference
// shows opaque. Returns a description of the first difference, or "".
std::string compare_with_reference(const Bitmap& bitmap, const ReferenceImage& reference) {
    if (bitmap.width() != reference.width || bitmap.height() != reference.height) {
        return "size " + std::to_string(bitmap.width()) + " x " + std::to_string(bitmap.height()) +
               ", reference " + std::to_string(reference.width) + " x " +
               std::to_string(reference.height);
    }
    const int tolerance = tolerance_for(bitmap);
    Bytes row(static_cast<std::size_t>(bitmap.width()) * 3);
    for (int y = 0; y < bitmap.height(); ++y) {
        row_to_bgr(bitmap, y, row.data());
        for (int x = 0; x < bitmap.width(); ++x) {
            const std::uint8_t* want = reference.pixel(x, y);
            if (want[3] != 255)
                continue;
            for (int c = 0; c < 3; ++c) {
                int got = row[static_cast<std::size_t>(x) * 3 + static_cast<std::size_t>(c)];
                if (std::abs(got - want[c]) > tolerance) {
                    return "pixel " + std::to_string(x) + "," + std::to_string(y) + " channel " +
                           std::to_string(c) + ": " + std::to_string(got) + ", reference " +
                           std::to_string(want[c]);
                }
            }
        }
    }
    return "";
}

// The reference picture of each file whose picture has another name
// (the suite's own pages pair them); every other file has its own name's PNG.
const std::map<std::string, std::string> kReferenceOf = {
    {"pal1wb", "pal1"},
    {"pal4rle", "pal4"},
    {"pal8-0", "pal8"},
    {"pal8rle", "pal8"},
    {"pal8topdown", "pal8"},
    {"pal8os2", "pal8"},
    {"pal8v4", "pal8"},
    {"pal8v5", "pal8"},
    {"pal8nonsquare", "pal8nonsquare-e"},  // as stored, not stretched
    {"rgb16bfdef", "rgb16"},
    {"rgb16-565pal", "rgb16-565"},
    {"rgb24pal", "rgb24"},
    {"rgb32", "rgb24"},
    {"rgb32bfdef", "rgb24"},
    {"rgb32bf", "rgb24"},
};

TEST(BmpSuite, GoodFilesReadToTheirReferencePictures) {
    const auto files = suite_files("g");
    ASSERT_FALSE(files.empty());
    for (const auto& path : files) {
        const std::string stem = path.stem().string();
        auto named = kReferenceOf.find(stem);
        const std::string reference_name = named != kReferenceOf.end() ? named->second : stem;
        SCOPED_TRACE(path.string() + " against " + reference_name + ".png");
        Bitmap bitmap;
        ASSERT_NO_THROW(bitmap = read_bmp(path.string()));
        ReferenceImage reference = testing::load_png_reference(
            (suite_folder() / "reference" / (reference_name + ".png")).string());
        EXPECT_EQ(compare_with_reference(bitmap, reference), "");
    }
}

// What each questionable or bad file gives: the pixels of a reference
// picture, a failure message, or just no crash.
struct SuiteOutcome {
    std::string reference;  // a reference picture the pixels match
    std::string failure;    // or the message it fails with
};

const std::map<std::string, SuiteOutcome> kQuestionable = {
    {"pal1p1", {"pal1p1", ""}},
    {"pal2", {"", kNotValid}},
    {"pal2color", {"", kNotValid}},
    {"pal1huffmsb", {"", kNotValid}},
    // Pixels a delta skips stay index 0.
    {"pal4rletrns", {"pal4rletrns-0", ""}},
    {"pal8rletrns", {"pal8rletrns-0", ""}},
    {"pal4rlecut", {"pal4rlecut-0", ""}},
    {"pal8rlecut", {"pal8rlecut-0", ""}},
    {"pal8os2-hs", {"pal8", ""}},
    {"pal8os2-sz", {"pal8", ""}},
    {"pal8os2v2", {"pal8", ""}},
    {"pal8os2v2-16", {"pal8", ""}},
    {"pal8os2v2-sz", {"pal8", ""}},
    {"pal8os2v2-40sz", {"pal8", ""}},
    {"pal8oversizepal", {"pal8", ""}},
    {"rgb16faketrns", {"rgb16", ""}},
    {"rgb24largepal", {"rgb24", ""}},
    {"rgb24lprof", {"rgb24", ""}},
    {"rgb24jpeg", {"", kNotValid}},
    {"rgb24png", {"", kNotValid}},
    {"rgb24rle24", {"", kNotValid}},
    {"rgb32fakealpha", {"rgb24", ""}},
    {"rgb32-xbgr", {"rgb24", ""}},
    {"rgb32h52", {"rgb24", ""}},
    {"rgba32abf", {"", kNotValid}},
    {"rgba64", {"", kNotValid}},
    {"rgb16-231", {"rgb16-231", ""}},
    {"rgb16-3103", {"rgb16-3103", ""}},
    {"rgb32-111110", {"rgb24", ""}},
    {"rgba16-4444", {"rgba16-4444", ""}},
    {"rgba16-5551", {"rgba16-5551", ""}},
    {"rgba16-1924", {"rgba16-1924", ""}},
    {"rgba32-1", {"rgba32", ""}},
    {"rgba32-2", {"rgba32", ""}},
    {"rgba32-1010102", {"rgba32-1010102", ""}},
    {"rgba32h56", {"rgba32", ""}},
};

const std::map<std::string, SuiteOutcome> kBad = {
    {"badbitcount", {"", kNotValid}},
    {"badheadersize", {"pal1", ""}},
    {"badpalettesize", {"", kStreamRead}},
    {"badplanes", {"", kNotValid}},
    {"badwidth", {"", kNotValid}},
    {"reallybig", {"", kOutOfMemory}},
    {"rletopdown", {"", kNotValid}},
    {"baddens1", {"pal1", ""}},
    {"baddens2", {"pal1", ""}},
    {"badfilesize", {"pal1", ""}},
    {"badbitssize", {"pal1", ""}},
};

void check_suite_folder(const std::string& folder,
                        const std::map<std::string, SuiteOutcome>& outcomes) {
    const auto files = suite_files(folder);
    ASSERT_FALSE(files.empty());
    for (const auto& path : files) {
        const std::string stem = path.stem().string();
        SCOPED_TRACE(path.string());
        std::optional<Bitmap> bitmap;
        std::string failure;
        try {
            bitmap = read_bmp(path.string());
            // Every row converts, whatever the masks and the table.
            Bytes row(static_cast<std::size_t>(bitmap->width()) * 4);
            for (int y = 0; y < bitmap->height(); ++y)
                row_to_bgrx(*bitmap, y, row.data());
        } catch (const Error& e) {
            failure = e.what();
        } catch (const std::exception& e) {
            ADD_FAILURE() << "not a quillora::Error: " << e.what();
            continue;
        }
        if (!failure.empty()) {
            EXPECT_TRUE(failure == kNotValid || failure == kStreamRead || failure == kOutOfMemory)
                << failure;
        }
        auto expected = outcomes.find(stem);
        if (expected == outcomes.end())
            continue;
        EXPECT_EQ(failure, expected->second.failure);
        if (bitmap && !expected->second.reference.empty()) {
            ReferenceImage reference = testing::load_png_reference(
                (suite_folder() / "reference" / (expected->second.reference + ".png")).string());
            EXPECT_EQ(compare_with_reference(*bitmap, reference), "")
                << "against " << expected->second.reference << ".png";
        }
    }
}

TEST(BmpSuite, QuestionableFilesReadOrFailCleanly) {
    check_suite_folder("q", kQuestionable);
}

TEST(BmpSuite, BadFilesReadOrFailCleanly) {
    check_suite_folder("b", kBad);
}

// Two files whose pixels do not start right after their colour table. The
// reader takes the pixels from the byte right after the table all the same,
// whatever the offset field says, so their pictures come out shifted and do
// not match the reference picture:
// - q/pal8offs.bmp has 100 unused bytes between its table and its pixels,
//   and its offset field points past them: the unused bytes become the
//   bottom rows and the picture moves up;
// - q/pal8os2sp.bmp has an OS/2 core header, which has no used-colours
//   field, so its table is taken as the full 256 entries; it stores only
//   252, and the pixels are read 12 bytes late (the last 12 bytes, past the
//   end of the file, are 0).
TEST(BmpSuite, PixelsAreReadRightAfterTheColourTableWhateverTheOffsetField) {
    struct Case {
        const char* file;
        std::uint32_t offset_field;
        std::size_t after_table;
    };
    const Case cases[] = {
        {"pal8offs.bmp", 1162, 14 + 40 + 252 * 4},
        {"pal8os2sp.bmp", 782, 14 + 12 + 256 * 3},
    };
    ReferenceImage reference =
        testing::load_png_reference((suite_folder() / "reference" / "pal8.png").string());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = (suite_folder() / "q" / c.file).string();
        const Bytes file = read_bytes(path);
        ASSERT_EQ(get32(file, 10), c.offset_field);
        Bitmap bitmap = read_bmp(path);
        ASSERT_EQ(bitmap.bits_size(), 8192u);
        Bytes expected(file.begin() + static_cast<std::ptrdiff_t>(c.after_table), file.end());
        expected.resize(8192, 0);
        EXPECT_EQ(Bytes(bitmap.bits(), bitmap.bits() + bitmap.bits_size()), expected);
        EXPECT_NE(compare_with_reference(bitmap, reference), "");
    }
}

}  // namespace
}  // namespace quillora
