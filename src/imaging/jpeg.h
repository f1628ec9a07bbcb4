// JPEG pictures and the JPEG encoder, through the IJG libjpeg 6b interface
// (libjpeg-turbo).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "imaging/bitmap.h"
#include "imaging/colour_profile.h"
#include "imaging/picture.h"

namespace quillora {

// The complete bytes of a JPEG file plus the facts of its header. The pixels
// are decoded at the first draw (or the first call of decoded()) and kept.
//
// Decoding: full size, accurate integer DCT, smooth upsampling, block
// smoothing. Colour files give 24 bits per pixel; grayscale files give 8 bits
// with 236 evenly spread grey levels and Floyd-Steinberg dithering; when the
// screen had 8 bits per pixel or less at start (display::startup_depth()),
// RGB files too give 8 bits: 236 colours chosen in two passes, dithered.
//
// The picture is the one a colour-managed viewer shows: turned as its EXIF
// orientation says (width() and height() are the sides as shown, swapped for
// orientations 5 to 8), and in sRGB. CMYK and YCCK files are converted
// through their embedded profile, or else by the plain ink formula; grey and
// RGB files with an embedded profile that is not sRGB are converted through
// it (a quantised picture's palette is). Files without a profile, or with an
// sRGB one, decode exactly as stored (ColourConversion::make).
// Library warnings are ignored (a cut-off file decodes as far as it goes);
// library errors fail with "JPEG error #N" and the library's message code.
// A file of more than 500 scans fails with "JPEG error #16" before any pass
// over its blocks. A decode whose bitmap and library memory together would
// pass kMaxPixelBytes fails with "Out of system resources" before anything is
// allocated.
class JpegPicture final : public Picture {
  public:
    // Reads the header at once. An empty file is accepted (size 0, drawing
    // it fails); a header the library refuses fails with "JPEG error #N"
    // (#53 for data that does not start with the start-of-image marker).
    explicit JpegPicture(std::vector<std::uint8_t> data);
    // Reads the whole file. Fails with "Cannot open file "%s". %s" too.
    static JpegPicture read(const std::string& path);

    int width() const override { return width_; }
    int height() const override { return height_; }
    // The file's colour space is grayscale.
    bool grayscale() const noexcept { return grayscale_; }
    // The file has more than one scan.
    bool progressive() const noexcept { return progressive_; }
    // The EXIF orientation, 1 to 8 (1 when the file has none).
    int orientation() const noexcept { return orientation_; }
    const std::vector<std::uint8_t>& data() const noexcept { return data_; }

    // Draws the picture at the target's top-left corner. A colour picture
    // not decoded yet that is drawn onto a 32 or 24-bit target of exactly its
    // size as shown is decoded straight into the target's rows, or through a
    // band of a few rows when it is turned or CMYK (the same pixels as
    // decoding first and copying, without the intermediate bitmap; the
    // picture then keeps no pixels of its own). Otherwise the picture is
    // decoded once and its bitmap drawn with quillora::draw.
    void draw(Bitmap& target) override;
    // Whether draw() decodes straight into a target of that size and depth,
    // and so writes every one of its pixels.
    bool decodes_straight_into(int width, int height, int bpp, bool default_masks) const noexcept;

    // The memory draw() takes besides the target bitmap (of that size and
    // depth, with the default masks): the picture's own decoded bitmap unless
    // it decodes straight into the target, and the library's memory (the
    // coefficients of a multi-scan file, the picture buffer of two-pass
    // colour quantisation, row buffers). 0 once the picture is decoded.
    std::uint64_t draw_memory(int target_width, int target_height, int target_bpp) const noexcept;

    // The decoded pixels (24 bits, or 8 bits with a palette), decoding first
    // if needed.
    const Bitmap& decoded();
    bool is_decoded() const noexcept { return decoded_; }

  private:
    std::vector<std::uint8_t> data_;
    int width_ = 0, height_ = 0;
    int stored_width_ = 0, stored_height_ = 0;
    int orientation_ = 1;
    bool grayscale_ = false, progressive_ = false;
    JpegInks inks_ = JpegInks::kRgb;
    bool adobe_ = false;
    std::vector<std::uint8_t> profile_;
    bool decoded_ = false;
    std::uint64_t memory_true_colour_ = 0, memory_quantised_ = 0;
    Bitmap bitmap_;

    bool quantised() const noexcept;
    // Decodes into `target`, of the size shown: 8 bits with a palette when
    // `quantise`, else 24 or 32 bits.
    void decode_into(Bitmap& target, bool quantise) const;
};

// Encodes a bitmap as a baseline JFIF file of quality 90 (the library's
// defaults for RGB input: YCbCr, 2x2/1x1/1x1 sampling, standard Huffman
// tables, accurate integer DCT). Bitmaps of any depth give the same file as
// their 24-bit equivalent. A bitmap of width or height 0 gives no bytes.
std::vector<std::uint8_t> encode_jpeg(const Bitmap& bitmap);

// The memory encoding a bitmap of that size takes besides the bitmap: the
// first block of compressed output, a converted row and the library's rows.
std::uint64_t encode_jpeg_memory(int width, int height) noexcept;

// Encodes a bitmap into a file, written atomically through files::OutputFile
// (which refuses to replace `source`). A bitmap of width or height 0 gives a
// file of 0 bytes.
void encode_jpeg(const Bitmap& bitmap, const std::string& path, const std::string& source = {});

}  // namespace quillora
