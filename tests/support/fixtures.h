// Small pictures built in code for tests.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "imaging/bitmap.h"
#include "imaging/icon_image.h"
#include "imaging/icon_writer.h"

namespace quillora::testing {

// A 24-bit bitmap with a smooth colour pattern that depends on `salt`.
inline Bitmap pattern_bitmap(int width, int height, int bpp = 24, int salt = 0) {
    Bitmap bitmap(width, height, bpp);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = bitmap.row(y);
        for (int x = 0; x < width; ++x) {
            std::uint8_t b = static_cast<std::uint8_t>(x * 255 / std::max(1, width - 1));
            std::uint8_t g = static_cast<std::uint8_t>(y * 255 / std::max(1, height - 1));
            std::uint8_t r = static_cast<std::uint8_t>((x + y) * 7 + salt * 40);
            std::uint8_t* p = row + x * (bpp / 8);
            p[0] = b;
            p[1] = g;
            p[2] = r;
            if (bpp == 32)
                p[3] = 0;
        }
    }
    return bitmap;
}

inline void put16(std::vector<std::uint8_t>& v, unsigned x) {
    v.push_back(static_cast<std::uint8_t>(x));
    v.push_back(static_cast<std::uint8_t>(x >> 8));
}
inline void put32(std::vector<std::uint8_t>& v, std::uint32_t x) {
    put16(v, x & 0xFFFF);
    put16(v, x >> 16);
}

// One image of an icon file: a 24-bit colour image (`pixel(x, y)` gives
// 0xRRGGBB, y from the top) and a mask (`transparent(x, y)`).
struct IcoImageFixture {
    int width = 16, height = 16;
    std::uint8_t colour_count = 0;
    std::uint32_t (*pixel)(int x, int y) = nullptr;
    bool (*transparent)(int x, int y) = nullptr;
};

// An icon file (type 1) holding the given images, each a 24-bit DIB.
inline std::vector<std::uint8_t> make_ico(const std::vector<IcoImageFixture>& images) {
    std::vector<std::vector<std::uint8_t>> blobs;
    for (const IcoImageFixture& s : images) {
        std::vector<std::uint8_t> d;
        const std::size_t colour_stride = Bitmap::stride_for(s.width, 24);
        const std::size_t mask_stride = Bitmap::stride_for(s.width, 1);
        put32(d, 40);
        put32(d, static_cast<std::uint32_t>(s.width));
        put32(d, static_cast<std::uint32_t>(s.height * 2));
        put16(d, 1);
        put16(d, 24);
        for (int i = 0; i < 6; ++i)
            put32(d, 0);
        for (int y = s.height - 1; y >= 0; --y) {
            std::vector<std::uint8_t> row(colour_stride, 0);
            for (int x = 0; x < s.width; ++x) {
                std::uint32_t c = s.pixel ? s.pixel(x, y) : 0;
                row[x * 3] = static_cast<std::uint8_t>(c);
                row[x * 3 + 1] = static_cast<std::uint8_t>(c >> 8);
                row[x * 3 + 2] = static_cast<std::uint8_t>(c >> 16);
            }
            d.insert(d.end(), row.begin(), row.end());
        }
        for (int y = s.height - 1; y >= 0; --y) {
            std::vector<std::uint8_t> row(mask_stride, 0);
            for (int x = 0; x < s.width; ++x) {
                if (s.transparent && s.transparent(x, y))
                    row[x / 8] |= 0x80 >> (x % 8);
            }
            d.insert(d.end(), row.begin(), row.end());
        }
        blobs.push_back(std::move(d));
    }
    std::vector<std::uint8_t> file;
    put16(file, 0);
    put16(file, 1);
    put16(file, static_cast<unsigned>(images.size()));
    std::uint32_t offset = static_cast<std::uint32_t>(6 + 16 * images.size());
    for (std::size_t i = 0; i < images.size(); ++i) {
        file.push_back(static_cast<std::uint8_t>(images[i].width));
        file.push_back(static_cast<std::uint8_t>(images[i].height));
        file.push_back(images[i].colour_count);
        file.push_back(0);
        put16(file, 1);
        put16(file, 24);
        put32(file, static_cast<std::uint32_t>(blobs[i].size()));
        put32(file, offset);
        offset += static_cast<std::uint32_t>(blobs[i].size());
    }
    for (const auto& b : blobs)
        file.insert(file.end(), b.begin(), b.end());
    return file;
}

// A 24-bit icon image of width x height: `pixel(x, y)` gives 0xRRGGBB (y
// from the top), `masked(x, y)` the mask bit (none set without it).
inline IconImage make_icon_image(int width, int height,
                                 const std::function<std::uint32_t(int, int)>& pixel,
                                 const std::function<bool(int, int)>& masked = {}) {
    IconImage icon;
    icon.colour = Bitmap(width, height, 24);
    icon.mask = Bitmap(width, height, 1);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = icon.colour.row(y) + 3 * x;
            const std::uint32_t c = pixel(x, y);
            p[0] = static_cast<std::uint8_t>(c);
            p[1] = static_cast<std::uint8_t>(c >> 8);
            p[2] = static_cast<std::uint8_t>(c >> 16);
            if (masked && masked(x, y))
                icon.mask.row(y)[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
        }
    }
    return icon;
}

// The bytes of an icon file holding one image of width x height: 24 bits of
// one colour (0xRRGGBB), every pixel opaque.
inline std::vector<std::uint8_t> solid_icon_file(int width, int height, std::uint32_t rgb) {
    MemoryIconStream stream;
    EncodeIconToStream(stream, make_icon_image(width, height, [rgb](int, int) { return rgb; }));
    return stream.bytes;
}

// The blue, green, red of pixel (x, y) of a bitmap of any depth.
inline std::uint32_t rgb_at(const Bitmap& bitmap, int x, int y) {
    std::vector<std::uint8_t> row(static_cast<std::size_t>(bitmap.width()) * 4);
    row_to_bgrx(bitmap, y, row.data());
    const std::uint8_t* p = row.data() + x * 4;
    return std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0];
}

}  // namespace quillora::testing
