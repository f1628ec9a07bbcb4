// The error window's place code points a user's report at the check that
// fired: hostile pictures that fail in different checks of the readers and
// writers must give different codes, whatever their messages.
#include <gtest/gtest.h>
#include <png.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "imaging/bitmap.h"
#include "imaging/bmp.h"
#include "imaging/ico.h"
#include "imaging/icon_image.h"
#include "imaging/icon_writer.h"
#include "imaging/png.h"
#include "platform/display.h"
#include "platform/error.h"
#include "platform/files.h"

namespace quillora {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The bytes with the little-endian field of `size` bytes at `at` set to v.
Bytes with(Bytes bytes, std::size_t at, std::uint32_t v, int size = 4) {
    for (int i = 0; i < size; ++i)
        bytes[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    return bytes;
}
Bytes cut(Bytes bytes, std::size_t size) {
    bytes.resize(size);
    return bytes;
}

// Pictures the cases damage: a 4 x 4 BMP file at 8 bits (14-byte file
// header, then the information header at byte 14), one at 32 bits with
// channel masks, and icon images at 8 and 32 bits (information header at
// byte 0), each written by the program itself.
Bitmap small_bitmap(int bpp) {
    Bitmap bitmap(4, 4, bpp);
    bitmap.fill(0x5A);
    if (bpp <= 8)
        bitmap.palette().assign(std::size_t{1} << bpp, Rgbq{1, 2, 3, 0});
    return bitmap;
}
Bytes bmp8() {
    return encode_bmp(small_bitmap(8));
}
Bytes bmp_bitfields() {
    Bitmap bitmap = small_bitmap(32);
    bitmap.set_masks({0xFF, 0xFF00, 0xFF0000});
    return encode_bmp(bitmap);
}
IconImage small_icon(int bpp) {
    IconImage icon;
    icon.colour = small_bitmap(bpp);
    icon.mask = Bitmap(4, 4, 1);
    icon.mask.fill(0);
    return icon;
}
Bytes icon_file(int bpp) {
    MemoryIconStream stream;
    EncodeIconToStream(stream, small_icon(bpp));
    return stream.bytes;
}
Bytes icon_image(int bpp) {
    const Bytes file = icon_file(bpp);
    return Bytes(file.begin() + 22, file.end());
}
Bytes png_of_width(unsigned width) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = width;
    image.height = 1;
    image.format = PNG_FORMAT_RGBA;
    const Bytes pixels(std::size_t{width} * 4, 0x80);
    png_alloc_size_t size = 0;
    png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), 0, nullptr);
    Bytes out(size);
    png_image_write_to_memory(&image, out.data(), &size, 0, pixels.data(), 0, nullptr);
    out.resize(size);
    return out;
}

void read_bmp_bytes(const Bytes& bytes) {
    files::MemoryReader in(bytes.data(), bytes.size());
    read_bmp(in);
}
void draw_icon_file(const Bytes& bytes) {
    IconPicture picture(bytes);
    Bitmap target(32, 32, 32);
    picture.draw(target);
}

struct Case {
    const char* name;
    std::string_view message;
    std::function<void()> run;
};

TEST(PlaceCodes, EveryCheckOfTheReadersAndWritersHasItsOwn) {
    display::set_screen_depth(32);
    const Case cases[] = {
        // BMP files.
        {"bmp: cut in the file header", kStreamReadError, [] { read_bmp_bytes(cut(bmp8(), 10)); }},
        {"bmp: no BM", kBitmapNotValid, [] { read_bmp_bytes(with(bmp8(), 0, 'X', 1)); }},
        {"bmp: cut in the header size", kStreamReadError, [] { read_bmp_bytes(cut(bmp8(), 16)); }},
        {"bmp: header of 13 bytes", kBitmapNotValid, [] { read_bmp_bytes(with(bmp8(), 14, 13)); }},
        {"bmp: cut in the header's first fields", kStreamReadError,
         [] { read_bmp_bytes(cut(bmp8(), 24)); }},
        {"bmp: two planes", kBitmapNotValid, [] { read_bmp_bytes(with(bmp8(), 26, 2, 2)); }},
        {"bmp: gigantic", kOutOfResources,
         [] { read_bmp_bytes(with(with(bmp8(), 18, 0x7FFFFFFF), 22, 0x7FFFFFFF)); }},
        {"bmp: cut in the header's other fields", kStreamReadError,
         [] { read_bmp_bytes(cut(bmp8(), 40)); }},
        {"bmp: header longer than the file", kStreamReadError,
         [] { read_bmp_bytes(with(bmp8(), 14, 100000)); }},
        {"bmp: unknown compression", kBitmapNotValid, [] { read_bmp_bytes(with(bmp8(), 30, 9)); }},
        {"bmp: cut in the masks", kStreamReadError,
         [] { read_bmp_bytes(cut(bmp_bitfields(), 14 + 40 + 6)); }},
        {"bmp: colour table longer than the file", kStreamReadError,
         [] { read_bmp_bytes(with(bmp8(), 46, 100000)); }},
        // Icon files.
        {"ico: cut in the header", kStreamReadError, [] { IconPicture picture(Bytes(4, 0)); }},
        {"ico: type 2", kIconNotValid, [] { IconPicture picture(with(icon_file(8), 2, 2, 2)); }},
        {"ico: directory cut short", kIconNotValid,
         [] { draw_icon_file(with(icon_file(8), 4, 3000, 2)); }},
        {"ico: no entry", kIconNotValid, [] { draw_icon_file(with(icon_file(8), 4, 0, 2)); }},
        {"ico: image outside the file", kIconNotValid,
         [] { draw_icon_file(with(icon_file(8), 6 + 12, 1u << 30)); }},
        // Icon images.
        {"icon image: cut in the header size", kOutOfResources,
         [] { decode_icon_image(Bytes(3, 0)); }},
        {"icon image: header of 30 bytes", kOutOfResources,
         [] { decode_icon_image(with(icon_image(8), 0, 30)); }},
        {"icon image: header longer than the data", kOutOfResources,
         [] { decode_icon_image(with(icon_image(8), 0, 100000)); }},
        {"icon image: width 0", kOutOfResources,
         [] { decode_icon_image(with(icon_image(8), 4, 0)); }},
        {"icon image: 3 bits per pixel", kOutOfResources,
         [] { decode_icon_image(with(icon_image(8), 14, 3, 2)); }},
        {"icon image: cut in the masks", kOutOfResources,
         [] { decode_icon_image(cut(with(icon_image(32), 16, 3), 44)); }},
        {"icon image: 300 colours", kOutOfResources,
         [] { decode_icon_image(with(icon_image(8), 32, 300)); }},
        {"icon image: cut in the colour table", kOutOfResources,
         [] { decode_icon_image(cut(icon_image(8), 40 + 100)); }},
        {"icon image: cut in the colour rows", kOutOfResources,
         [] { decode_icon_image(cut(icon_image(8), 40 + 1024 + 8)); }},
        {"icon image: cut in the mask rows", kOutOfResources,
         [] { decode_icon_image(cut(icon_image(8), 40 + 1024 + 16 + 4)); }},
        {"icon image: damaged PNG", kIconNotValid,
         [] { decode_icon_image(cut(png_of_width(4), 20)); }},
        {"icon image: PNG wider than an icon", kIconNotValid,
         [] { decode_icon_image(png_of_width(kMaxPngIconSide + 1)); }},
        {"icon: drawn on a 1-bit target", kBitmapNotValid,
         [] {
             Bitmap target(4, 4, 1);
             draw_icon(small_icon(8), target);
         }},
        // The icon file writer.
        {"icon writer: no icon", "System Error.  Code: 1402.\r\nInvalid cursor handle.",
         [] {
             MemoryIconStream stream;
             EncodeIconToStream(stream, nullptr);
         }},
        {"icon writer: no bitmap", kBitmapNotValid, [] { prepare_icon_bitmap_header(nullptr); }},
        {"icon writer: mask of another size", kBitmapNotValid,
         [] {
             IconImage icon = small_icon(8);
             icon.mask = Bitmap(8, 8, 1);
             MemoryIconStream stream;
             EncodeIconToStream(stream, icon);
         }},
    };

    std::map<std::uint32_t, std::string> seen;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            c.run();
            ADD_FAILURE() << "no failure";
        } catch (const Error& e) {
            EXPECT_EQ(e.what(), std::string(c.message));
            const auto [at, fresh] = seen.emplace(e.place(), c.name);
            EXPECT_TRUE(fresh) << "place " << e.place_code() << " is also that of: " << at->second;
        }
    }
}

}  // namespace
}  // namespace quillora
