// BMP files: reading them into file bitmaps and writing bitmaps as BMP files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "imaging/bitmap.h"
#include "platform/files.h"

namespace quillora {

// Reads a BMP file into a bitmap that keeps the file's pixel depth, colour
// table, channel masks and row order (top_down() for a negative height).
//
// An empty file gives an empty bitmap. The pixel data is taken from the byte
// right after the colour table (or the masks), whatever the file header's
// pixel-offset field says. A file shorter than its headers announce is
// accepted: the pixels it does not hold are 0. Run-length data (RLE8, RLE4)
// is decoded here; pixels it does not set stay index 0.
//
// Fails with "Stream read error" when the file ends inside its file header,
// the fields the program needs of its information header, its colour masks
// or its colour table; with "Bitmap image is not valid" for a type other
// than "BM", planes other than 1, an unsupported pixel depth, compression or
// header, or a negative width; with "Out of system resources" when the
// pixels would need more than kMaxPixelBytes.
Bitmap read_bmp(files::Reader& in);

// The same in two steps, so that the caller learns the size of the pixels
// before they are allocated: the constructor reads and checks the headers and
// the colour table (failing as read_bmp does), read() then reads the pixels.
class BmpFile {
  public:
    explicit BmpFile(files::Reader& in);
    // The size of the bitmap (0 x 0 for an empty one) and its depth.
    int width() const noexcept { return width_; }
    int height() const noexcept { return height_; }
    int bpp() const noexcept { return bpp_; }
    // The bytes of the bitmap read() makes.
    std::uint64_t pixel_bytes() const noexcept;
    // Reads the pixels; call once.
    Bitmap read();

  private:
    files::Reader& in_;
    int width_ = 0, height_ = 0, bpp_ = 32;
    bool top_down_ = false;
    std::uint32_t compression_ = 0;
    std::uint64_t length_ = 0;  // pixel data bytes to take from the file
    ChannelMasks masks_ = default_masks(32);
    std::vector<Rgbq> palette_;
};
// The same from a file; fails with "Cannot open file "%s". %s" when it cannot
// be opened.
Bitmap read_bmp(const std::string& path);

// The bytes of a BMP file holding the bitmap: 14-byte file header, 40-byte
// information header, no compression (bit fields with the three masks when
// a 16 or 32-bit bitmap has other than the default masks), the colour table
// for 8 bits per pixel or less, rows bottom-up.
std::vector<std::uint8_t> encode_bmp(const Bitmap& bitmap);

// Writes the bitmap as a BMP file, laid out as encode_bmp says. The file
// appears only when complete; `source` names the file being converted, which
// is never overwritten (see files::OutputFile).
void write_bmp(const Bitmap& bitmap, const std::string& path, const std::string& source = {});

}  // namespace quillora
