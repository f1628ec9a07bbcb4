// Hostile picture files built in code: small files that claim huge pictures
// or cost the decoder a great deal of work. The corpus maker writes them as
// starting inputs of the fuzz targets; the tests and benchmarks use them too.
#pragma once

#include <cstdint>
#include <vector>

namespace quillora::hostile {

using Bytes = std::vector<std::uint8_t>;

// A grayscale progressive JPEG of width x height made of `scans` scans, each
// one spectral pass over all blocks coded as end-of-band runs of the longest
// kind: a few dozen bytes per scan, yet every scan makes the decoder visit
// every block of the picture.
Bytes scan_bomb_jpeg(int width, int height, int scans);

// A JPEG file that declares width x height (one component, or three with the
// luminance sampled 2 x 2) and ends right after the header of its first scan,
// as a download cut short does. Progressive or baseline.
Bytes truncated_jpeg(int width, int height, int components, bool progressive);

// A BMP file of its two headers only (14 + 40 bytes), claiming a picture of
// width x height at bpp bits per pixel, without compression.
Bytes headers_only_bmp(int width, int height, int bpp);

// A valid PNG file of width x height, grey at `bit_depth` bits per pixel and
// every pixel 0, its pixel data deflated as tightly as zlib goes.
Bytes blank_png(int width, int height, int bit_depth = 1);

// An icon file (type 1) with one directory entry whose image data is `image`;
// `size_byte` is the entry's width and height byte (0 for 256).
Bytes icon_file(const Bytes& image, std::uint8_t size_byte = 0);

// The data of a 32-bit icon image of width x height (a 40-byte header, the
// colour rows, and the mask rows when `with_mask`), transparent but for an
// opaque diagonal. Without its mask its alpha must give the transparency.
Bytes icon_image_32(int width, int height, bool with_mask);

// An icon file (type 1) of `count` entries that all tie: 32 x 32, colour
// count 0, bit count 0, every one naming `image`, so that the choice reads
// the bits of each from the image's header.
Bytes icon_file_of_ties(const Bytes& image, int count);

// A PE32 executable of headers and one resource section holding one icon
// group whose single image is `image`.
Bytes executable_with_icon(const Bytes& image, std::uint8_t size_byte = 0);

// One image of an icon group: its data and the facts the group states.
struct GroupImage {
    Bytes data;
    std::uint8_t size_byte = 0;  // width and height (0 for 256)
    std::uint8_t colour_count = 0;
    std::uint16_t bit_count = 32;
};

// The same with one icon group of the given images, in that order.
Bytes executable_with_icons(const std::vector<GroupImage>& images);

// The cases of one decompression bomb each, at full size: the truncated
// progressive colour JPEG of 23170 x 23170 pixels, the icon file and the
// executable whose PNG image is a 1-bit picture of 23170 x 23170 pixels.
inline constexpr int kBombSide = 23170;

}  // namespace quillora::hostile
