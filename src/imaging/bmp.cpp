#include "imaging/bmp.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <string_view>

#include "imaging/dib.h"
#include "platform/bytes.h"
#include "platform/error.h"

namespace quillora {
namespace {

using dib::DibUse;

constexpr std::size_t kFileHeaderSize = 14;

void read_exact(files::Reader& in, void* buffer, std::size_t n,
                SourcePlace where = SourcePlace::current()) {
    if (in.read(buffer, n) != n)
        fail(kStreamReadError, where);
}

void skip_exact(files::Reader& in, std::uint64_t n, SourcePlace where = SourcePlace::current()) {
    if (n > 0 && in.skip(n) != n)
        fail(kStreamReadError, where);
}

// The information header as far as it is interpreted, read from the file in
// two steps: first the fields every header has, then the rest.
class HeaderBytes {
  public:
    // Reads the fields every header has; a size no header has fails with
    // "Bitmap image is not valid".
    dib::Header read_start(files::Reader& in) {
        read_exact(in, bytes_.data(), 4);
        const std::uint32_t size = view(4).u32le(0);
        read_ = dib::start_bytes(size, DibUse::file);
        if (read_ == 0)
            fail(kBitmapNotValid);
        read_exact(in, bytes_.data() + 4, read_ - 4);
        return dib::read_start(view(read_), DibUse::file);
    }
    // Reads the rest of the header; the bytes past the interpreted part are
    // skipped.
    void read_rest(files::Reader& in, dib::Header& h) {
        if (h.core())
            return;
        const std::uint32_t interpreted = dib::interpreted_bytes(h.size);
        read_exact(in, bytes_.data() + read_, interpreted - read_);
        skip_exact(in, h.size - interpreted);
        dib::read_rest(view(interpreted), h);
    }

  private:
    ByteView view(std::size_t n) const noexcept {
        return ByteView(std::span(bytes_.data(), n), kBitmapNotValid);
    }
    std::array<std::uint8_t, dib::kInterpretedHeaderSize> bytes_{};
    std::uint32_t read_ = 0;
};

// The colour table; entries past 2^bpp, and the table of a deeper bitmap, are
// read and dropped.
std::vector<Rgbq> read_colour_table(files::Reader& in, const dib::Header& h) {
    const std::uint64_t entry_size = h.colour_entry_size();
    const std::uint64_t entries = dib::stored_colours(h);
    // Checked before anything is read: the count may be absurd.
    if (entries * entry_size > in.remaining())
        fail(kStreamReadError);
    const std::size_t kept = dib::kept_colours(h);
    std::array<std::uint8_t, 256 * 4> raw;
    read_exact(in, raw.data(), kept * entry_size);
    skip_exact(in, (entries - kept) * entry_size);
    return dib::read_colour_table(ByteView(std::span(raw.data(), kept * entry_size)), h);
}

// Run-length data, read in blocks from the reader up to a limit.
class RunData {
  public:
    RunData(files::Reader& in, std::uint64_t limit) noexcept : in_(in), left_(limit) {}

    // The next byte, or -1 when the data has ended.
    int next() {
        if (pos_ == end_ && !refill())
            return -1;
        return buffer_[pos_++];
    }

  private:
    bool refill() {
        if (left_ == 0)
            return false;
        std::size_t n = in_.read(buffer_.data(),
                                 static_cast<std::size_t>(std::min<std::uint64_t>(left_, kBlock)));
        left_ = n == 0 ? 0 : left_ - n;
        pos_ = 0;
        end_ = n;
        return n > 0;
    }

    static constexpr std::size_t kBlock = 16384;
    files::Reader& in_;
    std::uint64_t left_;
    std::size_t pos_ = 0, end_ = 0;
    std::array<std::uint8_t, kBlock> buffer_;
};

// Decodes RLE8 or RLE4 data into a bottom-up bitmap whose pixels are all 0.
// Damaged data is taken as far as it makes sense, never refused: pixels of a
// run past the end of its row are dropped, a delta never moves past the
// right edge, and data that ends, or that moves past the top row, before
// the end-of-bitmap code ends the decoding with the pixels decoded so far.
void decode_rle(RunData& data, Bitmap& bitmap, bool rle4) {
    const int width = bitmap.width();
    const int height = bitmap.height();
    const std::size_t stride = bitmap.stride();
    int x = 0, y = 0;  // y counts rows from the bottom, in the order stored
    std::uint8_t* row = bitmap.bits();
    auto put = [&](int index) {
        if (x >= width)
            return;
        if (rle4) {
            std::uint8_t& byte = row[x >> 1];
            byte = (x & 1) ? static_cast<std::uint8_t>((byte & 0xF0) | index)
                           : static_cast<std::uint8_t>((byte & 0x0F) | index << 4);
        } else {
            row[x] = static_cast<std::uint8_t>(index);
        }
        ++x;
    };
    for (;;) {
        const int count = data.next();
        const int code = data.next();
        if (code < 0)
            return;
        if (count > 0) {
            // Encoded run: `count` pixels of one index, or of two alternating
            // indices (high nibble first) for RLE4.
            const int n = std::min(count, width - x);
            if (!rle4) {
                std::memset(row + x, code, static_cast<std::size_t>(n));
                x += n;
            } else {
                for (int i = 0; i < n; ++i)
                    put((i & 1) ? code & 0x0F : code >> 4);
            }
            continue;
        }
        switch (code) {
            case 0:  // end of line
                x = 0;
                if (++y >= height)
                    return;
                row += stride;
                break;
            case 1:  // end of bitmap
                return;
            case 2: {  // delta: move right and up
                const int dx = data.next();
                const int dy = data.next();
                if (dy < 0)
                    return;
                x = std::min(x + dx, width);
                y += dy;
                if (y >= height)
                    return;
                row = bitmap.bits() + static_cast<std::size_t>(y) * stride;
                break;
            }
            default: {  // absolute run of `code` pixels, padded to 16 bits
                int byte = 0;
                for (int i = 0; i < code; ++i) {
                    if (!rle4 || (i & 1) == 0) {
                        byte = data.next();
                        if (byte < 0)
                            return;
                    }
                    put(!rle4 ? byte : (i & 1) ? byte & 0x0F : byte >> 4);
                }
                const int bytes = rle4 ? (code + 1) / 2 : code;
                if ((bytes & 1) && data.next() < 0)
                    return;
            }
        }
    }
}

}  // namespace

BmpFile::BmpFile(files::Reader& in) : in_(in) {
    if (in.remaining() == 0)
        return;

    std::uint8_t file_header[kFileHeaderSize];
    read_exact(in, file_header, sizeof file_header);
    // The size and pixel-offset fields are not used: the pixels follow the
    // colour table.
    const ByteView file(file_header);
    if (file.u8(0) != 'B' || file.u8(1) != 'M')
        fail(kBitmapNotValid);

    HeaderBytes header;
    dib::Header h = header.read_start(in);
    if (h.planes != 1 || !dib::supported_depth(h.bpp) || h.width < 0)
        fail(kBitmapNotValid);
    const std::uint64_t rows = static_cast<std::uint64_t>(h.height < 0 ? -h.height : h.height);
    const bool empty = h.width == 0 || rows == 0;
    const std::uint64_t stride = Bitmap::stride_for(static_cast<int>(h.width), int(h.bpp));
    // Checked as soon as the dimensions are known, before anything is
    // allocated: a few bytes may claim gigabytes of pixels.
    if (!empty && stride > kMaxPixelBytes / rows)
        fail(kOutOfResources);

    header.read_rest(in, h);
    if (!dib::supported_compression(h, DibUse::file))
        fail(kBitmapNotValid);

    masks_ = default_masks(int(h.bpp));
    if (h.compression == dib::kBitFields) {
        if (h.masks_inside()) {
            masks_ = h.header_masks;
        } else {
            std::uint8_t b[dib::kMasksSize];
            read_exact(in, b, sizeof b);
            masks_ = dib::read_masks(ByteView(b));
        }
    }
    palette_ = read_colour_table(in, h);

    width_ = empty ? 0 : static_cast<int>(h.width);
    height_ = empty ? 0 : static_cast<int>(rows);
    bpp_ = int(h.bpp);
    top_down_ = h.height < 0;
    compression_ = h.compression;
    // The pixel data starts right here, after the colour table, whatever the
    // file header's offset says; its length never exceeds what the file holds.
    length_ = std::min(h.image_size != 0 ? h.image_size : stride * rows, in.remaining());
}

std::uint64_t BmpFile::pixel_bytes() const noexcept {
    return Bitmap::bytes_for(width_, height_, bpp_);
}

Bitmap BmpFile::read() {
    Bitmap bitmap(width_, height_, bpp_, top_down_);
    if (bpp_ <= 8)
        bitmap.palette() = std::move(palette_);
    bitmap.set_masks(masks_);
    if (bitmap.empty())
        return bitmap;
    if (compression_ == dib::kRle8 || compression_ == dib::kRle4) {
        bitmap.fill(0);
        RunData data(in_, length_);
        decode_rle(data, bitmap, compression_ == dib::kRle4);
        return bitmap;
    }
    // Stored rows have the bitmap's own layout: one read fills it.
    const auto wanted =
        static_cast<std::size_t>(std::min<std::uint64_t>(length_, bitmap.bits_size()));
    const std::size_t got = in_.read(bitmap.bits(), wanted);
    std::memset(bitmap.bits() + got, 0, bitmap.bits_size() - got);
    return bitmap;
}

Bitmap read_bmp(files::Reader& in) {
    BmpFile file(in);
    return file.read();
}

Bitmap read_bmp(const std::string& path) {
    files::InputFile in(path);
    return read_bmp(in);
}

// ---------------------------------------------------------------------------
// Writing

namespace {

// The file header, the information header, the masks when needed and the
// colour table of the file that holds `bitmap`.
std::vector<std::uint8_t> bmp_headers(const Bitmap& bitmap) {
    const int bpp = bitmap.bpp();
    // A 16 or 32-bit bitmap with other masks than the implied ones (a file's
    // 5-6-5 bitmap, say) keeps them as bit fields; written without them its
    // pixels would read as other colours.
    const bool bitfields = (bpp == 16 || bpp == 32) && !bitmap.has_default_masks();
    const std::size_t masks_size = bitfields ? dib::kMasksSize : 0;
    std::size_t entries = 0;
    if (bpp <= 8) {
        entries = bitmap.palette().size();
        // A used-colours field of 0 would announce the full table: a bitmap
        // without a colour table is written with a full black one.
        if (entries == 0)
            entries = std::size_t{1} << bpp;
    }
    const std::uint64_t offset = kFileHeaderSize + dib::kInfoHeaderSize + masks_size + entries * 4;
    const std::uint64_t image_size = bitmap.bits_size();
    if (offset + image_size > std::numeric_limits<std::uint32_t>::max())
        fail(kOutOfResources);

    std::vector<std::uint8_t> out;
    out.reserve(static_cast<std::size_t>(offset));
    ByteWriter w(out);
    w.u8('B').u8('M').u32le(static_cast<std::uint32_t>(offset + image_size)).u32le(0);
    w.u32le(static_cast<std::uint32_t>(offset));
    dib::InfoHeader h;
    h.width = bitmap.width();
    h.height = bitmap.height();
    h.bit_count = static_cast<std::uint16_t>(bpp);
    h.compression = bitfields ? dib::kBitFields : dib::kRgb;
    h.size_image = static_cast<std::uint32_t>(image_size);
    h.colours_used = static_cast<std::uint32_t>(entries);
    dib::write_info_header(w, h);
    if (bitfields)
        dib::write_masks(w, bitmap.masks());
    dib::write_colour_table(w, bitmap.palette(), entries);
    return out;
}

// Hands the pixel rows to `sink(data, size)` bottom row first: a bottom-up
// bitmap in one piece, a top-down one row by row.
template <class Sink>
void emit_rows(const Bitmap& bitmap, Sink&& sink) {
    if (bitmap.bits_size() == 0)
        return;
    if (!bitmap.top_down()) {
        sink(bitmap.bits(), bitmap.bits_size());
        return;
    }
    for (int y = bitmap.height() - 1; y >= 0; --y)
        sink(bitmap.row(y), bitmap.stride());
}

// Gathers small pieces into larger writes; large pieces go straight through.
class BufferedOutput {
  public:
    explicit BufferedOutput(files::OutputFile& out) : out_(out) { buffer_.reserve(kBlock); }

    void write(const std::uint8_t* data, std::size_t n) {
        if (buffer_.size() + n > kBlock)
            flush();
        if (n >= kBlock)
            out_.write(data, n);
        else
            buffer_.insert(buffer_.end(), data, data + n);
    }
    void flush() {
        if (!buffer_.empty())
            out_.write(buffer_.data(), buffer_.size());
        buffer_.clear();
    }

  private:
    static constexpr std::size_t kBlock = 256 * 1024;
    files::OutputFile& out_;
    std::vector<std::uint8_t> buffer_;
};

}  // namespace

std::vector<std::uint8_t> encode_bmp(const Bitmap& bitmap) {
    std::vector<std::uint8_t> out = bmp_headers(bitmap);
    out.reserve(out.size() + bitmap.bits_size());
    emit_rows(bitmap, [&out](const std::uint8_t* data, std::size_t n) {
        out.insert(out.end(), data, data + n);
    });
    return out;
}

void write_bmp(const Bitmap& bitmap, const std::string& path, const std::string& source) {
    const std::vector<std::uint8_t> headers = bmp_headers(bitmap);
    files::OutputFile file(path, source);
    BufferedOutput out(file);
    out.write(headers.data(), headers.size());
    emit_rows(bitmap, [&out](const std::uint8_t* data, std::size_t n) { out.write(data, n); });
    out.flush();
    file.commit();
}

}  // namespace quillora
