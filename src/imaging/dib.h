// The description of a device-independent bitmap, as BMP files and the
// images of icon files and icon resources hold it: the information header,
// then the channel masks or the colour table. One reader with its checks and
// one writer serve the BMP file reader and writer, the icon image decoder
// and the icon file writer.
//
// Short headers. A header of 12 bytes is the OS/2 core header: 16-bit width
// and height, 3-byte colour-table entries. Any other size is a Windows header
// of that many bytes, read at the same offsets as the 40-byte header; the
// fields it is too short to hold read as 0 (the OS/2 version-2 header may
// stop after any field). Every Windows header holds at least its size, width,
// height, planes and bit count, so one shorter than 16 bytes is not valid.
// That is the rule for BMP files (DibUse::file). An icon image
// (DibUse::icon) must have the 40-byte header or one of its longer versions:
// icon images are made only with those, and a core or short header there is
// read as damaged data, like any other image the decoder refuses.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "imaging/bitmap.h"
#include "platform/bytes.h"

namespace quillora::dib {

// Compression values.
inline constexpr std::uint32_t kRgb = 0;
inline constexpr std::uint32_t kRle8 = 1;
inline constexpr std::uint32_t kRle4 = 2;
inline constexpr std::uint32_t kBitFields = 3;

inline constexpr std::uint32_t kCoreHeaderSize = 12;
inline constexpr std::uint32_t kMinimumHeaderSize = 16;
inline constexpr std::uint32_t kInfoHeaderSize = 40;
// The part of a Windows header that is interpreted: the 40-byte header and
// the three channel masks the longer versions hold at bytes 40 to 51.
inline constexpr std::uint32_t kInterpretedHeaderSize = 52;
inline constexpr std::uint32_t kMasksSize = 12;

enum class DibUse { file, icon };

// The fields of a header that are read.
struct Header {
    std::uint32_t size = 0;
    std::int64_t width = 0;
    std::int64_t height = 0;  // negative: rows stored top-down
    std::uint32_t planes = 0;
    std::uint32_t bpp = 0;
    std::uint32_t compression = kRgb;
    std::uint32_t image_size = 0;
    std::uint32_t used_colours = 0;
    ChannelMasks header_masks;  // bytes 40 to 51 of a header of 52 bytes or more

    bool core() const noexcept { return size == kCoreHeaderSize; }
    // Whether the channel masks are inside the header rather than after it.
    bool masks_inside() const noexcept { return size >= kInterpretedHeaderSize; }
    std::uint32_t colour_entry_size() const noexcept { return core() ? 3 : 4; }
};

// The bytes of a header of `size` bytes that read_start() needs: 12 for a core
// header, 16 for a Windows one; 0 for a size that no header of this use has.
std::uint32_t start_bytes(std::uint32_t size, DibUse use) noexcept;
// The bytes of a header of `size` bytes that read_rest() interprets: all of
// them, up to kInterpretedHeaderSize.
std::uint32_t interpreted_bytes(std::uint32_t size) noexcept;

// Reads the size and the fields every header has (width, height, planes, bit
// count) from the header's first start_bytes(size) bytes. A size no header of
// this use has fails with the view's failure message.
Header read_start(ByteView header, DibUse use);
// Reads the fields after the bit count from the header's first
// interpreted_bytes(h.size) bytes; those a short header lacks stay 0.
void read_rest(ByteView header, Header& h);

// Whether the pixel depth is one bitmaps have.
bool supported_depth(std::uint32_t bpp) noexcept;
// Whether this compression and layout can be read: plain rows, bit fields for
// 16 and 32 bits; for files also RLE8 and RLE4 of bottom-up bitmaps.
bool supported_compression(const Header& h, DibUse use) noexcept;

// The colour-table entries stored after the header (and masks): the
// used-colours count, or when that is 0 the full table of a palette depth and
// none for deeper pixels.
std::uint64_t stored_colours(const Header& h) noexcept;
// The entries of the stored table that are kept: at most 2^bpp, none for
// deeper pixels.
std::size_t kept_colours(const Header& h) noexcept;
// The kept entries read from the table's bytes (entries of
// h.colour_entry_size() bytes).
std::vector<Rgbq> read_colour_table(ByteView table, const Header& h);
// The three channel masks at the start of `masks`.
ChannelMasks read_masks(ByteView masks);

// Bytes of one stored row: padded to a multiple of 4.
inline std::uint64_t row_bytes(std::uint64_t width, std::uint32_t bpp) noexcept {
    return (width * bpp + 31) / 32 * 4;
}

// ---------------------------------------------------------------------------
// Writing

// The 40-byte information header as it is written.
struct InfoHeader {
    std::uint32_t size = kInfoHeaderSize;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint16_t planes = 1;
    std::uint16_t bit_count = 0;
    std::uint32_t compression = kRgb;
    std::uint32_t size_image = 0;
    std::int32_t x_pels_per_meter = 0;
    std::int32_t y_pels_per_meter = 0;
    std::uint32_t colours_used = 0;  // 0: the full table of 2^bit_count entries
    std::uint32_t colours_important = 0;
};

void write_info_header(ByteWriter& out, const InfoHeader& h);
void write_masks(ByteWriter& out, const ChannelMasks& masks);
// `entries` four-byte entries from the palette, black where it has none.
void write_colour_table(ByteWriter& out, const std::vector<Rgbq>& palette, std::size_t entries);

}  // namespace quillora::dib
