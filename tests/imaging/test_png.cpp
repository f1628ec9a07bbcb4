#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "fuzz/hostile_inputs.h"
#include "imaging/png.h"
#include "platform/error.h"

namespace quillora {
namespace {

void put32be(std::vector<std::uint8_t>& v, std::uint32_t x) {
    for (int shift : {24, 16, 8, 0})
        v.push_back(static_cast<std::uint8_t>(x >> shift));
}

void chunk(std::vector<std::uint8_t>& png, const char* type,
           const std::vector<std::uint8_t>& body) {
    put32be(png, static_cast<std::uint32_t>(body.size()));
    std::vector<std::uint8_t> typed(type, type + 4);
    typed.insert(typed.end(), body.begin(), body.end());
    png.insert(png.end(), typed.begin(), typed.end());
    put32be(png,
            static_cast<std::uint32_t>(crc32(0, typed.data(), static_cast<uInt>(typed.size()))));
}

// A PNG whose valid header claims width x height pixels, with no image data.
std::vector<std::uint8_t> header_only(std::uint32_t width, std::uint32_t height) {
    std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<std::uint8_t> ihdr;
    put32be(ihdr, width);
    put32be(ihdr, height);
    ihdr.insert(ihdr.end(), {8, 6, 0, 0, 0});  // 8-bit RGBA
    chunk(png, "IHDR", ihdr);
    chunk(png, "IEND", {});
    return png;
}

TEST(Png, HeaderClaimingMorePixelsThanItsDataCanHoldIsRefusedUpFront) {
    // 20000 x 20000 would need 1.6 GB; the file is 45 bytes.
    for (auto [w, h] : {std::pair{20000u, 20000u}, {1u << 20, 64u}, {64u, 1u << 20}}) {
        try {
            decode_png(header_only(w, h));
            ADD_FAILURE() << w << " x " << h << " decoded";
        } catch (const Error& e) {
            EXPECT_STREQ(e.what(), "Icon image is not valid");
        }
    }
    EXPECT_TRUE(is_png(header_only(1, 1)));
}

// The same file with another bit depth and colour type in its header (the
// header's check value made to match).
std::vector<std::uint8_t> redeclared(std::vector<std::uint8_t> png, std::uint8_t depth,
                                     std::uint8_t colour_type) {
    png[24] = depth;
    png[25] = colour_type;
    const uLong crc = crc32(0, png.data() + 12, 17);  // "IHDR" and its 13 bytes
    for (int i = 0; i < 4; ++i)
        png[29 + i] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
    return png;
}

TEST(Png, IconImagesLargerThan1024PixelsAndImplausibleHeadersAreRefused) {
    const std::vector<std::uint8_t> blank_1024 = hostile::blank_png(1024, 1024, 1);
    const struct {
        const char* what;
        std::vector<std::uint8_t> data;
        bool decodes;
    } cases[] = {
        {"1024 x 1024, 1 bit", blank_1024, true},
        {"1024 x 1 RGBA", hostile::blank_png(1024, 1, 8), true},
        {"1025 x 1", hostile::blank_png(1025, 1, 8), false},
        {"1 x 1025", hostile::blank_png(1, 1025, 8), false},
        // 65 KB of deflated zeros: plausible for its declared 1 bit per pixel,
        // but 2 GiB once decoded to 32 bits.
        {"23170 x 23170, 1 bit", hostile::blank_png(23170, 23170, 1), false},
        // The same data declared as 16-bit RGBA (64 bits a pixel) could never
        // hold its rows; declared as 1 bit it could.
        {"1024 x 1024 claiming 64 bits a pixel", redeclared(blank_1024, 16, 6), false},
    };
    for (const auto& c : cases) {
        try {
            const Bitmap bitmap = decode_png(c.data);
            EXPECT_TRUE(c.decodes) << c.what;
            EXPECT_EQ(bitmap.bpp(), 32) << c.what;
        } catch (const Error& e) {
            EXPECT_FALSE(c.decodes) << c.what;
            EXPECT_STREQ(e.what(), "Icon image is not valid") << c.what;
        }
    }
}

}  // namespace
}  // namespace quillora
