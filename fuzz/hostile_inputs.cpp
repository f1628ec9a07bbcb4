#include "fuzz/hostile_inputs.h"

#include <zlib.h>

#include <algorithm>
#include <stdexcept>
#include <string>

namespace quillora::hostile {
namespace {

void put8(Bytes& b, unsigned v) {
    b.push_back(static_cast<std::uint8_t>(v));
}
void put16le(Bytes& b, unsigned v) {
    put8(b, v & 0xFF);
    put8(b, (v >> 8) & 0xFF);
}
void put32le(Bytes& b, std::uint32_t v) {
    put16le(b, v & 0xFFFF);
    put16le(b, v >> 16);
}
void put16be(Bytes& b, unsigned v) {
    put8(b, (v >> 8) & 0xFF);
    put8(b, v & 0xFF);
}
void put32be(Bytes& b, std::uint32_t v) {
    put16be(b, v >> 16);
    put16be(b, v & 0xFFFF);
}
void set32le(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b.at(at + i) = static_cast<std::uint8_t>(v >> (8 * i));
}

// ---------------------------------------------------------------------------
// JPEG

// A marker segment: the marker, its length (counting itself) and the body.
void segment(Bytes& b, std::uint8_t marker, const Bytes& body) {
    put8(b, 0xFF);
    put8(b, marker);
    put16be(b, static_cast<unsigned>(body.size() + 2));
    b.insert(b.end(), body.begin(), body.end());
}

// One quantisation table 0 of all ones.
void quantisation_table(Bytes& b) {
    Bytes body{0x00};
    body.insert(body.end(), 64, 1);
    segment(b, 0xDB, body);
}

// A Huffman table holding one code of length 1 for `symbol`.
void single_code_table(Bytes& b, bool ac, std::uint8_t symbol) {
    Bytes body{static_cast<std::uint8_t>(ac ? 0x10 : 0x00)};
    body.push_back(1);  // one code of length 1
    body.insert(body.end(), 15, 0);
    body.push_back(symbol);
    segment(b, 0xC4, body);
}

void frame(Bytes& b, bool progressive, int width, int height, int components) {
    if (width < 1 || height < 1 || width > 65535 || height > 65535)
        throw std::invalid_argument("JPEG sides are 1 to 65535");
    Bytes body{8};
    put16be(body, static_cast<unsigned>(height));
    put16be(body, static_cast<unsigned>(width));
    put8(body, static_cast<unsigned>(components));
    for (int c = 1; c <= components; ++c) {
        put8(body, static_cast<unsigned>(c));
        put8(body, components > 1 && c == 1 ? 0x22 : 0x11);
        put8(body, 0);
    }
    segment(b, progressive ? 0xC2 : 0xC0, body);
}

// Writes entropy-coded bits, most significant first, with a 0 byte stuffed
// after every 0xFF.
class BitWriter {
  public:
    explicit BitWriter(Bytes& out) : out_(out) {}
    void put(std::uint32_t bits, int count) {
        for (int i = count - 1; i >= 0; --i) {
            byte_ = static_cast<std::uint8_t>(byte_ << 1 | ((bits >> i) & 1));
            if (++filled_ == 8)
                flush_byte();
        }
    }
    // Pads the last byte with 1 bits.
    void finish() {
        while (filled_ != 0)
            put(1, 1);
    }

  private:
    void flush_byte() {
        out_.push_back(byte_);
        if (byte_ == 0xFF)
            out_.push_back(0);
        byte_ = 0;
        filled_ = 0;
    }
    Bytes& out_;
    std::uint8_t byte_ = 0;
    int filled_ = 0;
};

}  // namespace

Bytes scan_bomb_jpeg(int width, int height, int scans) {
    Bytes b{0xFF, 0xD8};
    quantisation_table(b);
    frame(b, true, width, height, 1);
    // AC symbol 0xE0: a run of 2^14 plus 14 more bits end-of-band blocks.
    single_code_table(b, true, 0xE0);
    const std::uint64_t blocks = std::uint64_t{(static_cast<unsigned>(width) + 7) / 8} *
                                 ((static_cast<unsigned>(height) + 7) / 8);
    constexpr std::uint64_t kLongestRun = 32767;
    const std::uint64_t runs = (blocks + kLongestRun - 1) / kLongestRun;
    for (int s = 0; s < scans; ++s) {
        // Component 1, AC table 0, spectral band 1 to 63, no approximation.
        segment(b, 0xDA, Bytes{1, 1, 0x00, 1, 63, 0x00});
        BitWriter bits(b);
        for (std::uint64_t r = 0; r < runs; ++r) {
            bits.put(0, 1);                     // the code of 0xE0
            bits.put(kLongestRun - 16384, 14);  // the run's low 14 bits
        }
        bits.finish();
    }
    b.push_back(0xFF);
    b.push_back(0xD9);
    return b;
}

Bytes truncated_jpeg(int width, int height, int components, bool progressive) {
    if (components != 1 && components != 3)
        throw std::invalid_argument("one or three components");
    Bytes b{0xFF, 0xD8};
    quantisation_table(b);
    frame(b, progressive, width, height, components);
    single_code_table(b, false, 0x00);
    single_code_table(b, true, 0x00);
    Bytes scan{static_cast<std::uint8_t>(components)};
    for (int c = 1; c <= components; ++c) {
        scan.push_back(static_cast<std::uint8_t>(c));
        scan.push_back(0x00);
    }
    // Progressive: the first DC pass; baseline: the whole spectrum.
    scan.push_back(0);
    scan.push_back(progressive ? 0 : 63);
    scan.push_back(0);
    segment(b, 0xDA, scan);
    return b;
}

// ---------------------------------------------------------------------------
// BMP

Bytes headers_only_bmp(int width, int height, int bpp) {
    Bytes b{'B', 'M'};
    put32le(b, 54);
    put32le(b, 0);
    put32le(b, 54);
    put32le(b, 40);
    put32le(b, static_cast<std::uint32_t>(width));
    put32le(b, static_cast<std::uint32_t>(height));
    put16le(b, 1);
    put16le(b, static_cast<unsigned>(bpp));
    for (int i = 0; i < 6; ++i)
        put32le(b, 0);
    return b;
}

// ---------------------------------------------------------------------------
// PNG

namespace {

void png_chunk(Bytes& b, const char* type, const Bytes& body) {
    put32be(b, static_cast<std::uint32_t>(body.size()));
    const std::size_t start = b.size();
    b.insert(b.end(), type, type + 4);
    b.insert(b.end(), body.begin(), body.end());
    const uLong crc = crc32(0L, b.data() + start, static_cast<uInt>(b.size() - start));
    put32be(b, static_cast<std::uint32_t>(crc));
}

// Every row: filter byte 0 and zero samples, deflated row by row.
Bytes deflated_blank_rows(std::uint32_t width, std::uint32_t height, int bit_depth) {
    const std::size_t row_bytes = (std::uint64_t{width} * bit_depth + 7) / 8 + 1;
    std::vector<Bytef> row(row_bytes, 0);
    z_stream z{};
    if (deflateInit(&z, Z_BEST_COMPRESSION) != Z_OK)
        throw std::runtime_error("deflateInit");
    Bytes out;
    std::vector<Bytef> chunk(1 << 16);
    auto drain = [&](int flush) {
        int status;
        do {
            z.next_out = chunk.data();
            z.avail_out = static_cast<uInt>(chunk.size());
            status = deflate(&z, flush);
            out.insert(out.end(), chunk.data(), chunk.data() + (chunk.size() - z.avail_out));
        } while (z.avail_out == 0 && status != Z_STREAM_END);
        return status;
    };
    for (std::uint32_t y = 0; y < height; ++y) {
        z.next_in = row.data();
        z.avail_in = static_cast<uInt>(row.size());
        while (z.avail_in > 0)
            drain(Z_NO_FLUSH);
    }
    while (drain(Z_FINISH) != Z_STREAM_END) {
    }
    deflateEnd(&z);
    return out;
}

}  // namespace

Bytes blank_png(int width, int height, int bit_depth) {
    Bytes b{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes header;
    put32be(header, static_cast<std::uint32_t>(width));
    put32be(header, static_cast<std::uint32_t>(height));
    put8(header, static_cast<unsigned>(bit_depth));
    put8(header, 0);  // grey
    put8(header, 0);
    put8(header, 0);
    put8(header, 0);  // not interlaced
    png_chunk(b, "IHDR", header);
    png_chunk(b, "IDAT",
              deflated_blank_rows(static_cast<std::uint32_t>(width),
                                  static_cast<std::uint32_t>(height), bit_depth));
    png_chunk(b, "IEND", {});
    return b;
}

// ---------------------------------------------------------------------------
// Icon files and executables

Bytes icon_file(const Bytes& image, std::uint8_t size_byte) {
    Bytes b;
    put16le(b, 0);
    put16le(b, 1);
    put16le(b, 1);
    put8(b, size_byte);
    put8(b, size_byte);
    put8(b, 0);
    put8(b, 0);
    put16le(b, 1);
    put16le(b, 32);
    put32le(b, static_cast<std::uint32_t>(image.size()));
    put32le(b, 22);
    b.insert(b.end(), image.begin(), image.end());
    return b;
}

Bytes icon_image_32(int width, int height, bool with_mask) {
    Bytes b;
    put32le(b, 40);
    put32le(b, static_cast<std::uint32_t>(width));
    put32le(b, static_cast<std::uint32_t>(2 * height));
    put16le(b, 1);
    put16le(b, 32);
    for (int i = 0; i < 6; ++i)
        put32le(b, 0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            put32le(b, x == y ? 0xFF3366CCu : 0);
    }
    if (with_mask) {
        const std::size_t stride = (static_cast<std::size_t>(width) + 31) / 32 * 4;
        b.insert(b.end(), stride * static_cast<std::size_t>(height), 0);
    }
    return b;
}

Bytes icon_file_of_ties(const Bytes& image, int count) {
    Bytes b;
    put16le(b, 0);
    put16le(b, 1);
    put16le(b, static_cast<unsigned>(count));
    const auto offset = static_cast<std::uint32_t>(6 + 16 * count);
    for (int i = 0; i < count; ++i) {
        put8(b, 32);
        put8(b, 32);
        put8(b, 0);
        put8(b, 0);
        put16le(b, 1);
        put16le(b, 0);
        put32le(b, static_cast<std::uint32_t>(image.size()));
        put32le(b, offset);
    }
    b.insert(b.end(), image.begin(), image.end());
    return b;
}

Bytes executable_with_icon(const Bytes& image, std::uint8_t size_byte) {
    return executable_with_icons({{image, size_byte, 0, 32}});
}

Bytes executable_with_icons(const std::vector<GroupImage>& images) {
    constexpr std::uint32_t kPeAt = 0x40;
    constexpr std::uint32_t kOptionalSize = 96 + 16 * 8;
    constexpr std::uint32_t kSectionAt = 0x200;  // file offset of .rsrc
    constexpr std::uint32_t kSectionRva = 0x1000;
    const auto count = static_cast<std::uint32_t>(images.size());

    // The resource section: the root (types 3 and 14); the icon names
    // (1 to count) and the group name (1), each with one language; the data
    // entries of the images and of the group; the group; then the images.
    constexpr std::uint32_t kDirectory = 16, kEntry = 8, kData = 16;
    const std::uint32_t icon_names = kDirectory + 2 * kEntry;
    const std::uint32_t icon_languages = icon_names + kDirectory + count * kEntry;
    const std::uint32_t group_name = icon_languages + count * (kDirectory + kEntry);
    const std::uint32_t group_language = group_name + kDirectory + kEntry;
    const std::uint32_t image_data = group_language + kDirectory + kEntry;
    const std::uint32_t group_data = image_data + count * kData;
    const std::uint32_t group_at = group_data + kData;
    const std::uint32_t images_at = (group_at + 6 + 14 * count + 3) & ~3u;

    Bytes r;
    const auto directory = [&r](unsigned entries) {
        for (int i = 0; i < 3; ++i)
            put32le(r, 0);
        put16le(r, 0);  // named entries
        put16le(r, entries);
    };
    const auto entry = [&r](std::uint32_t id, std::uint32_t target, bool subdirectory) {
        put32le(r, id);
        put32le(r, target | (subdirectory ? 0x80000000u : 0));
    };
    directory(2);
    entry(3, icon_names, true);
    entry(14, group_name, true);
    directory(count);
    for (std::uint32_t i = 0; i < count; ++i)
        entry(i + 1, icon_languages + i * (kDirectory + kEntry), true);
    for (std::uint32_t i = 0; i < count; ++i) {
        directory(1);
        entry(0x409, image_data + i * kData, false);
    }
    directory(1);
    entry(1, group_language, true);
    directory(1);
    entry(0x409, group_data, false);
    std::uint32_t at = images_at;
    for (const GroupImage& image : images) {
        put32le(r, kSectionRva + at);
        put32le(r, static_cast<std::uint32_t>(image.data.size()));
        put32le(r, 0);
        put32le(r, 0);
        at += static_cast<std::uint32_t>(image.data.size());
    }
    put32le(r, kSectionRva + group_at);
    put32le(r, 6 + 14 * count);
    put32le(r, 0);
    put32le(r, 0);
    // The group: its images with ids 1 to count.
    put16le(r, 0);
    put16le(r, 1);
    put16le(r, count);
    for (std::uint32_t i = 0; i < count; ++i) {
        const GroupImage& image = images[i];
        put8(r, image.size_byte);
        put8(r, image.size_byte);
        put8(r, image.colour_count);
        put8(r, 0);
        put16le(r, 1);
        put16le(r, image.bit_count);
        put32le(r, static_cast<std::uint32_t>(image.data.size()));
        put16le(r, i + 1);
    }
    r.resize(images_at, 0);
    for (const GroupImage& image : images)
        r.insert(r.end(), image.data.begin(), image.data.end());
    r.resize((r.size() + 0x1FF) & ~std::size_t{0x1FF}, 0);

    Bytes b(kSectionAt, 0);
    b[0] = 'M';
    b[1] = 'Z';
    set32le(b, 0x3C, kPeAt);
    Bytes pe{'P', 'E', 0, 0};
    put16le(pe, 0x14C);  // i386
    put16le(pe, 1);      // one section
    put32le(pe, 0);
    put32le(pe, 0);
    put32le(pe, 0);
    put16le(pe, kOptionalSize);
    put16le(pe, 0x0102);  // executable, 32-bit
    Bytes optional(kOptionalSize, 0);
    optional[0] = 0x0B;  // PE32
    optional[1] = 0x01;
    set32le(optional, 92, 16);  // data directories
    set32le(optional, 96 + 8 * 2, kSectionRva);
    set32le(optional, 96 + 8 * 2 + 4, static_cast<std::uint32_t>(r.size()));
    pe.insert(pe.end(), optional.begin(), optional.end());
    Bytes section{'.', 'r', 's', 'r', 'c', 0, 0, 0};
    put32le(section, static_cast<std::uint32_t>(r.size()));
    put32le(section, kSectionRva);
    put32le(section, static_cast<std::uint32_t>(r.size()));
    put32le(section, kSectionAt);
    for (int i = 0; i < 3; ++i)
        put32le(section, 0);
    put32le(section, 0x40000040u);  // initialised data, readable
    pe.insert(pe.end(), section.begin(), section.end());
    std::copy(pe.begin(), pe.end(), b.begin() + kPeAt);
    b.insert(b.end(), r.begin(), r.end());
    return b;
}

}  // namespace quillora::hostile
