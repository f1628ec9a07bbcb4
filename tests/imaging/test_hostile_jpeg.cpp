// JPEG files built to cost the decoders minutes or gigabytes: too many scans,
// and headers that promise pictures whose decoding would hold more than a
// bitmap may. Both decoders refuse them before doing the work.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "fuzz/hostile_inputs.h"
#include "imaging/bitmap.h"
#include "imaging/jpeg.h"
#include "imaging/jpeg_scaled.h"
#include "platform/display.h"
#include "platform/error.h"
#include "support/failure_of.h"

namespace quillora {
namespace {

using hostile::Bytes;
using testing::failure_of;

// The three ways a JPEG is decoded: into the picture's own bitmap, straight
// into a screen bitmap of its size, and reduced for the information panel.
const struct Decoder {
    const char* name;
    std::function<void(const Bytes&)> decode;
} kDecoders[] = {
    {"decoded", [](const Bytes& data) { JpegPicture(data).decoded(); }},
    {"drawn",
     [](const Bytes& data) {
         JpegPicture picture(data);
         Bitmap target = create_screen_bitmap(picture.width(), picture.height(), 32);
         picture.draw(target);
     }},
    {"reduced",
     [](const Bytes& data) {
         decode_jpeg_scaled(data, {91, 53});
     }},
};

TEST(HostileJpeg, MoreThan500ScansFailWithCode16BeforeAnyPass) {
    display::ScopedDisplay screen(32);
    const struct {
        int side, scans;
        std::string message;
    } cases[] = {
        {64, 1, "(no failure)"},
        {64, 500, "(no failure)"},
        {64, 501, "JPEG error #16"},
        // 970 KB: decoding it through would take minutes.
        {8000, 10000, "JPEG error #16"},
    };
    for (const auto& c : cases) {
        const Bytes data = hostile::scan_bomb_jpeg(c.side, c.side, c.scans);
        EXPECT_TRUE(JpegPicture(data).progressive());
        for (const Decoder& d : kDecoders) {
            // The large one is only decoded where its bitmap is small.
            if (c.side > 64 && std::string(d.name) != "reduced" && std::string(d.name) != "decoded")
                continue;
            EXPECT_EQ(failure_of([&] { d.decode(data); }), c.message)
                << c.scans << " scans, " << d.name;
        }
    }
}

TEST(HostileJpeg, ScansAreCountedAsTheLibraryMeetsThem) {
    // Bytes that look like markers must not change the count: the stuffed
    // 0xFF 0x00 pairs inside every scan's data (its runs are all one bits),
    // fill bytes, and a comment segment whose body holds start-of-scan codes.
    display::ScopedDisplay screen(32);
    Bytes data = hostile::scan_bomb_jpeg(64, 64, 501);
    data.insert(data.end() - 2, {0xFF, 0xFF, 0xFF});
    EXPECT_EQ(failure_of([&] { JpegPicture(data).decoded(); }), "JPEG error #16");
    Bytes fewer = hostile::scan_bomb_jpeg(64, 64, 499);
    const Bytes comment = {0xFF, 0xFF, 0xFF, 0xFE, 0, 6, 0xFF, 0xDA, 0xFF, 0xDA};
    fewer.insert(fewer.end() - 2, comment.begin(), comment.end());
    EXPECT_EQ(failure_of([&] { JpegPicture(fewer).decoded(); }), "(no failure)");
}

// The decoder's whole-picture buffers count with the bitmap it decodes into:
// together they may not pass 2 GiB. (The converters add the screen bitmap;
// their tests hold the cases that pass only with it.)
TEST(HostileJpeg, DecodesThatWouldHoldMoreThan2GiBFailBeforeAllocating) {
    const int side = hostile::kBombSide;
    const struct {
        const char* what;
        int depth;
        Bytes data;
        bool reduced_fails;
    } cases[] = {
        // 1.6 GB of pixels and 1.6 GB of coefficients.
        {"progressive colour", 32, hostile::truncated_jpeg(side, side, 3, true), false},
        // 0.5 GB of pixels, 1.6 GB of coefficients, 1.6 GB for quantising.
        {"progressive colour, 8-bit screen", 8, hostile::truncated_jpeg(side, side, 3, true),
         false},
        // 0.9 GB of pixels and 1.8 GB of coefficients.
        {"progressive grey", 32, hostile::truncated_jpeg(30000, 30000, 1, true), false},
        // 1.6 GB of pixels and 1.6 GB for quantising.
        {"baseline colour, 8-bit screen", 8, hostile::truncated_jpeg(side, side, 3, false), false},
        // Reduced decoding of a progressive file still keeps every block.
        {"progressive colour, 30000 x 30000", 32, hostile::truncated_jpeg(30000, 30000, 3, true),
         true},
    };
    for (const auto& c : cases) {
        display::ScopedDisplay screen(c.depth);
        EXPECT_LT(c.data.size(), 200u);
        EXPECT_EQ(failure_of([&] { JpegPicture(c.data).decoded(); }), std::string(kOutOfResources))
            << c.what;
        if (c.reduced_fails) {
            EXPECT_EQ(failure_of([&] {
                          decode_jpeg_scaled(c.data, {91, 53});
                      }),
                      std::string(kOutOfResources))
                << c.what;
        }
    }
}

TEST(HostileJpeg, DrawMemoryCountsTheDecodersBuffers) {
    display::ScopedDisplay screen(32);
    const int side = hostile::kBombSide;
    JpegPicture baseline(hostile::truncated_jpeg(side, side, 3, false));
    JpegPicture progressive(hostile::truncated_jpeg(side, side, 3, true));
    JpegPicture grey(hostile::truncated_jpeg(side, side, 1, true));
    // Straight into a 32-bit target: row buffers only, or every block's
    // coefficients (128 bytes per block; four luminance and two colour
    // blocks per 16 x 16 pixels).
    const std::uint64_t blocks = std::uint64_t{(side + 15) / 16} * ((side + 15) / 16) * 6;
    EXPECT_LT(baseline.draw_memory(side, side, 32), std::uint64_t{32} << 20);
    EXPECT_GE(progressive.draw_memory(side, side, 32), blocks * 128);
    EXPECT_LT(progressive.draw_memory(side, side, 32), blocks * 128 + (std::uint64_t{32} << 20));
    // Other targets, and grey files, are decoded into the picture's bitmap first.
    EXPECT_GE(baseline.draw_memory(side, side, 16), Bitmap::bytes_for(side, side, 24));
    EXPECT_GE(grey.draw_memory(side, side, 32), Bitmap::bytes_for(side, side, 8));
    {
        // Two-pass colour quantisation keeps the whole picture, 3 bytes a pixel.
        display::ScopedDisplay eight(8);
        EXPECT_GE(baseline.draw_memory(side, side, 8),
                  Bitmap::bytes_for(side, side, 8) + std::uint64_t{side} * side * 3);
    }
    // A decoded picture holds what it holds already.
    JpegPicture small(hostile::truncated_jpeg(64, 48, 3, true));
    EXPECT_GT(small.draw_memory(64, 48, 32), 0u);
    small.decoded();
    EXPECT_EQ(small.draw_memory(64, 48, 32), 0u);
}

}  // namespace
}  // namespace quillora
