#include "imaging/icon_writer.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <limits>
#include <mutex>
#include <new>
#include <system_error>
#include <utility>

#include "platform/bytes.h"
#include "platform/error.h"
#include "platform/files.h"

namespace quillora {

void MemoryIconStream::write(const void* data, std::size_t n) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    bytes.insert(bytes.end(), p, p + n);
}

void FileIconStream::write(const void* data, std::size_t n) {
    file_.write(data, n);
}

// ---------------------------------------------------------------------------
// Counting

namespace {

std::mutex& count_source_lock() {
    static std::mutex lock;
    return lock;
}

IconCountSource& installed_count_source() {
    static IconCountSource source;
    return source;
}

}  // namespace

void set_icon_count_source(IconCountSource source) {
    std::lock_guard guard(count_source_lock());
    installed_count_source() = std::move(source);
}

int CountIconsInFile(const std::string& path, const IconCountSource& source) noexcept {
    if (!source)
        return 0;
    try {
        const int count = source(path);
        return count > 0 ? count : 0;
    } catch (...) {
        // Counting tells how many icons can be had; a file that cannot be
        // read holds none.
        return 0;
    }
}

int CountIconsInFile(const std::string& path) noexcept {
    IconCountSource source;
    try {
        std::lock_guard guard(count_source_lock());
        source = installed_count_source();
    } catch (...) {
        return 0;
    }
    return CountIconsInFile(path, source);
}

// ---------------------------------------------------------------------------
// Descriptions

namespace {

constexpr std::size_t kDirectorySize = 6;
constexpr std::size_t kEntrySize = 16;
constexpr std::uint32_t kImageOffset = kDirectorySize + kEntrySize;  // 22

// A zero-filled working buffer; a size the system cannot give fails as
// when the system cannot create a bitmap.
std::vector<std::uint8_t> zeroed_buffer(std::size_t n, SourcePlace where = SourcePlace::current()) {
    try {
        return std::vector<std::uint8_t>(n, 0);
    } catch (const std::bad_alloc&) {
        fail(kOutOfResources, where);
    } catch (const std::length_error&) {
        fail(kOutOfResources, where);
    }
}

// The description as the bit read leaves it: the header, then the colour
// table (from the bitmap's own table, missing entries black) or the three
// channel masks.
std::vector<std::uint8_t> description(const IconBitmapHeader& header, const Bitmap& bitmap) {
    const std::size_t size = icon_description_size(header);
    std::vector<std::uint8_t> out;
    out.reserve(size);
    ByteWriter w(out);
    dib::write_info_header(w, header);
    const std::size_t extra = size - dib::kInfoHeaderSize;
    if (header.bit_count <= 8)
        dib::write_colour_table(w, bitmap.palette(), extra / 4);
    else if (extra > 0)
        dib::write_masks(w, bitmap.masks());
    return out;
}

// The rows buffer as the bit read leaves it: the bitmap's rows at its own
// depth, bottom row first, whichever way the bitmap stores them.
void fill_rows(std::vector<std::uint8_t>& out, const Bitmap& bitmap) {
    const std::size_t stride = bitmap.stride();
    const int height = bitmap.height();
    if (out.size() < stride * static_cast<std::size_t>(height))
        return;
    if (!bitmap.top_down()) {
        std::memcpy(out.data(), bitmap.bits(), bitmap.bits_size());
        return;
    }
    for (int i = 0; i < height; ++i)
        std::memcpy(out.data() + stride * static_cast<std::size_t>(i), bitmap.row(height - 1 - i),
                    stride);
}

}  // namespace

IconBitmapHeader prepare_icon_bitmap_header(const Bitmap* bitmap) {
    if (bitmap == nullptr || bitmap->empty())
        fail(kBitmapNotValid);
    IconBitmapHeader h;
    h.width = bitmap->width();
    h.height = bitmap->height();
    h.bit_count = static_cast<std::uint16_t>(bitmap->bpp());
    h.planes = 1;
    if ((h.bit_count == 16 || h.bit_count == 32) && !bitmap->has_default_masks())
        h.compression = dib::kBitFields;
    if (h.bit_count <= 8) {
        const std::size_t full = std::size_t{1} << h.bit_count;
        const std::size_t own = bitmap->palette().size();
        h.colours_used = own < full ? static_cast<std::uint32_t>(own) : 0;
    }
    if (h.colours_important > h.colours_used)
        h.colours_important = h.colours_used;
    // Every row is filled out to a multiple of 4 bytes. A bitmap holds at most
    // kMaxPixelBytes, so the size fits its 32-bit field.
    const std::uint64_t size = dib::row_bytes(static_cast<std::uint32_t>(h.width), h.bit_count) *
                               static_cast<std::uint64_t>(h.height);
    if (size > std::numeric_limits<std::uint32_t>::max())
        fail(kOutOfResources);
    h.size_image = static_cast<std::uint32_t>(size);
    return h;
}

std::size_t icon_description_size(const IconBitmapHeader& header) noexcept {
    if (header.bit_count <= 8) {
        const std::size_t entries =
            header.colours_used != 0 ? header.colours_used : std::size_t{1} << header.bit_count;
        return dib::kInfoHeaderSize + 4 * entries;
    }
    return dib::kInfoHeaderSize + ((header.compression & 3u) != 0 ? dib::kMasksSize : 0);
}

// ---------------------------------------------------------------------------
// Encoding

void EncodeIconBitmaps(IconStream& stream, const Bitmap* colour, const Bitmap* mask) {
    // Descriptions and sizes: the mask, then the colour bitmap.
    const IconBitmapHeader mask_header = prepare_icon_bitmap_header(mask);
    IconBitmapHeader colour_header = prepare_icon_bitmap_header(colour);
    // The mask's rows follow the colour rows without a header of their own,
    // so readers take them as 1-bit rows of the colour image's size.
    if (mask_header.bit_count != 1 || mask_header.width != colour_header.width ||
        mask_header.height != colour_header.height)
        fail(kBitmapNotValid);
    const std::uint64_t bytes_in_res = std::uint64_t{icon_description_size(colour_header)} +
                                       colour_header.size_image + mask_header.size_image;
    if (bytes_in_res > std::numeric_limits<std::uint32_t>::max() - kImageOffset)
        fail(kOutOfResources);

    // The rows: the mask at its own depth of 1 bit, then the colour bitmap.
    std::vector<std::uint8_t> mask_rows = zeroed_buffer(mask_header.size_image);
    std::vector<std::uint8_t> colour_rows = zeroed_buffer(colour_header.size_image);
    fill_rows(mask_rows, *mask);
    fill_rows(colour_rows, *colour);

    std::vector<std::uint8_t> head;
    ByteWriter w(head);
    w.u16le(0);  // reserved
    w.u16le(1);  // an icon
    w.u16le(1);  // one image
    // The entry: width and height of one image (256 gives 0), the depth in
    // bits where the colour count would be, planes and bit count 0.
    w.u8(static_cast<std::uint32_t>(colour_header.width) & 0xFF);
    w.u8(static_cast<std::uint32_t>(colour_header.height) & 0xFF);
    w.u16le(static_cast<std::uint32_t>(colour_header.planes * colour_header.bit_count));
    w.u16le(0).u16le(0);
    w.u32le(static_cast<std::uint32_t>(bytes_in_res)).u32le(kImageOffset);
    stream.write(head.data(), kDirectorySize);
    stream.write(head.data() + kDirectorySize, kEntrySize);

    // The image's height counts the colour rows and the mask rows together.
    colour_header.height *= 2;
    const std::vector<std::uint8_t> colour_description = description(colour_header, *colour);
    stream.write(colour_description.data(), colour_description.size());
    stream.write(colour_rows.data(), colour_rows.size());
    stream.write(mask_rows.data(), mask_rows.size());
}

namespace {

bool has_fourth_bytes(const Bitmap& bitmap) noexcept {
    for (int y = 0; y < bitmap.height(); ++y) {
        const std::uint8_t* row = bitmap.row(y);
        for (int x = 0; x < bitmap.width(); ++x) {
            if (row[4 * static_cast<std::size_t>(x) + 3] != 0)
                return true;
        }
    }
    return false;
}

}  // namespace

void EncodeIconToStream(IconStream& stream, const IconImage* icon) {
    if (icon == nullptr || (icon->colour.empty() && icon->mask.empty()))
        fail("System Error.  Code: " + std::to_string(kInvalidIconHandleCode) + ".\r\n" +
             std::string(kInvalidIconHandleText));
    const Bitmap* colour = icon->colour.empty() ? nullptr : &icon->colour;
    const Bitmap* mask = icon->mask.empty() ? nullptr : &icon->mask;

    // Icon files mark alpha only by non-zero fourth bytes: an icon drawn
    // through its mask keeps being drawn that way.
    Bitmap cleared;
    if (colour != nullptr && !icon->alpha && colour->bpp() == 32 && has_fourth_bytes(*colour)) {
        cleared = colour->clone();
        for (int y = 0; y < cleared.height(); ++y) {
            std::uint8_t* row = cleared.row(y);
            for (int x = 0; x < cleared.width(); ++x)
                row[4 * static_cast<std::size_t>(x) + 3] = 0;
        }
        colour = &cleared;
    }
    EncodeIconBitmaps(stream, colour, mask);
}

void SaveIconAsIcoFile(const IconImage* icon, const std::string& path) {
    if (path.empty())
        fail_cannot_create(path, system_error_text(ENOENT));
    std::string full = path;
    std::error_code ec;
    if (auto expanded = std::filesystem::absolute(path, ec); !ec)
        full = expanded.string();
    files::OutputFile file(full);
    FileIconStream stream(file);
    EncodeIconToStream(stream, icon);
    file.commit();
}

}  // namespace quillora
