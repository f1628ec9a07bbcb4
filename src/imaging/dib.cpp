#include "imaging/dib.h"

#include <algorithm>
#include <array>

namespace quillora::dib {

std::uint32_t start_bytes(std::uint32_t size, DibUse use) noexcept {
    if (use == DibUse::icon)
        return size >= kInfoHeaderSize ? kMinimumHeaderSize : 0;
    if (size == kCoreHeaderSize)
        return kCoreHeaderSize;
    return size >= kMinimumHeaderSize ? kMinimumHeaderSize : 0;
}

std::uint32_t interpreted_bytes(std::uint32_t size) noexcept {
    return std::min(size, kInterpretedHeaderSize);
}

Header read_start(ByteView header, DibUse use) {
    Header h;
    h.size = header.u32le(0);
    if (start_bytes(h.size, use) == 0)
        header.fail();
    if (h.core()) {
        h.width = header.u16le(4);
        h.height = header.u16le(6);
        h.planes = header.u16le(8);
        h.bpp = header.u16le(10);
        return h;
    }
    h.width = header.s32le(4);
    h.height = header.s32le(8);
    h.planes = header.u16le(12);
    h.bpp = header.u16le(14);
    return h;
}

void read_rest(ByteView header, Header& h) {
    if (h.core())
        return;
    // A field the header is too short to hold reads as 0.
    const auto field = [&header](std::uint64_t at) {
        return header.fits(at, 4) ? header.u32le(at) : 0;
    };
    h.compression = field(16);
    h.image_size = field(20);
    h.used_colours = field(32);
    h.header_masks = {field(40), field(44), field(48)};
}

bool supported_depth(std::uint32_t bpp) noexcept {
    return bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
}

bool supported_compression(const Header& h, DibUse use) noexcept {
    switch (h.compression) {
        case kRgb:
            return true;
        case kRle8:
            return use == DibUse::file && h.bpp == 8 && h.height > 0;
        case kRle4:
            return use == DibUse::file && h.bpp == 4 && h.height > 0;
        case kBitFields:
            return h.bpp == 16 || h.bpp == 32;
        default:
            return false;
    }
}

std::uint64_t stored_colours(const Header& h) noexcept {
    if (h.used_colours != 0)
        return h.used_colours;
    return h.bpp <= 8 ? std::uint64_t{1} << h.bpp : 0;
}

std::size_t kept_colours(const Header& h) noexcept {
    if (h.bpp > 8)
        return 0;
    return static_cast<std::size_t>(std::min(stored_colours(h), std::uint64_t{1} << h.bpp));
}

std::vector<Rgbq> read_colour_table(ByteView table, const Header& h) {
    const std::size_t kept = kept_colours(h);
    const std::uint32_t entry_size = h.colour_entry_size();
    const std::uint8_t* e = table.bytes(0, std::uint64_t{kept} * entry_size);
    std::vector<Rgbq> palette(kept);
    for (std::size_t i = 0; i < kept; ++i, e += entry_size)
        palette[i] = {e[0], e[1], e[2], entry_size == 4 ? e[3] : std::uint8_t{0}};
    return palette;
}

ChannelMasks read_masks(ByteView masks) {
    return {masks.u32le(0), masks.u32le(4), masks.u32le(8)};
}

void write_info_header(ByteWriter& out, const InfoHeader& h) {
    out.u32le(h.size)
        .s32le(h.width)
        .s32le(h.height)
        .u16le(h.planes)
        .u16le(h.bit_count)
        .u32le(h.compression)
        .u32le(h.size_image)
        .s32le(h.x_pels_per_meter)
        .s32le(h.y_pels_per_meter)
        .u32le(h.colours_used)
        .u32le(h.colours_important);
}

void write_masks(ByteWriter& out, const ChannelMasks& masks) {
    out.u32le(masks.red).u32le(masks.green).u32le(masks.blue);
}

void write_colour_table(ByteWriter& out, const std::vector<Rgbq>& palette, std::size_t entries) {
    // Built in one piece: a table has at most 256 entries of 4 bytes.
    std::array<std::uint8_t, 256 * 4> table{};
    std::size_t written = 0;
    while (written < entries) {
        const std::size_t n = std::min(entries - written, std::size_t{256});
        for (std::size_t i = 0; i < n; ++i) {
            const Rgbq entry = written + i < palette.size() ? palette[written + i] : Rgbq{};
            table[4 * i] = entry.blue;
            table[4 * i + 1] = entry.green;
            table[4 * i + 2] = entry.red;
            table[4 * i + 3] = 0;
        }
        out.bytes(table.data(), 4 * n);
        written += n;
    }
}

}  // namespace quillora::dib
