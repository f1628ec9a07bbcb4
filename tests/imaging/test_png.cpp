#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

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

}  // namespace
}  // namespace quillora
