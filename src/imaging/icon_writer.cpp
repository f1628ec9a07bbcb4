#include "imaging/icon_writer.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <limits>
#include <mutex>
#include <new>
#include <system_error>
#include <utility>

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

constexpr std::size_t kHeaderSize = 40;
constexpr std::size_t kDirectorySize = 6;
constexpr std::size_t kEntrySize = 16;
constexpr std::uint32_t kImageOffset = kDirectorySize + kEntrySize;  // 22
constexpr std::uint32_t kBitFields = 3;

[[noreturn]] void fail_bitmap() {
    throw Error(std::string(kBitmapNotValid));
}

[[noreturn]] void fail_resources() {
    throw Error(std::string(kOutOfResources));
}

void put16(std::uint8_t* p, std::uint32_t v) noexcept {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
void put32(std::uint8_t* p, std::uint32_t v) noexcept {
    put16(p, v & 0xFFFFu);
    put16(p + 2, v >> 16);
}

void put_header(std::uint8_t* p, const IconBitmapHeader& h) noexcept {
    put32(p, h.size);
    put32(p + 4, static_cast<std::uint32_t>(h.width));
    put32(p + 8, static_cast<std::uint32_t>(h.height));
    put16(p + 12, h.planes);
    put16(p + 14, h.bit_count);
    put32(p + 16, h.compression);
    put32(p + 20, h.size_image);
    put32(p + 24, static_cast<std::uint32_t>(h.x_pels_per_meter));
    put32(p + 28, static_cast<std::uint32_t>(h.y_pels_per_meter));
    put32(p + 32, h.colours_used);
    put32(p + 36, h.colours_important);
}

// A zero-filled working buffer; a size the system cannot give fails as
// when the system cannot create a bitmap.
std::vector<std::uint8_t> zeroed_buffer(std::size_t n) {
    try {
        return std::vector<std::uint8_t>(n, 0);
    } catch (const std::bad_alloc&) {
        fail_resources();
    } catch (const std::length_error&) {
        fail_resources();
    }
}

// The description buffer as the bit read leaves it: the header, then the
// colour table (from the bitmap's own table, missing entries black) or the
// three channel masks.
void fill_description(std::vector<std::uint8_t>& out, const IconBitmapHeader& header,
                      const Bitmap& bitmap) {
    put_header(out.data(), header);
    std::uint8_t* extra = out.data() + kHeaderSize;
    if (header.bit_count <= 8) {
        const std::size_t entries = (out.size() - kHeaderSize) / 4;
        const std::vector<Rgbq>& table = bitmap.palette();
        for (std::size_t i = 0; i < entries && i < table.size(); ++i) {
            extra[4 * i] = table[i].blue;
            extra[4 * i + 1] = table[i].green;
            extra[4 * i + 2] = table[i].red;
            extra[4 * i + 3] = 0;
        }
    } else if (out.size() >= kHeaderSize + 12) {
        const ChannelMasks& masks = bitmap.masks();
        put32(extra, masks.red);
        put32(extra + 4, masks.green);
        put32(extra + 8, masks.blue);
    }
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
        fail_bitmap();
    IconBitmapHeader h;
    h.width = bitmap->width();
    h.height = bitmap->height();
    h.bit_count = static_cast<std::uint16_t>(bitmap->bpp());
    h.planes = 1;
    if ((h.bit_count == 16 || h.bit_count == 32) && !bitmap->has_default_masks())
        h.compression = kBitFields;
    if (h.bit_count <= 8) {
        const std::size_t full = std::size_t{1} << h.bit_count;
        const std::size_t own = bitmap->palette().size();
        h.colours_used = own < full ? static_cast<std::uint32_t>(own) : 0;
    }
    if (h.colours_important > h.colours_used)
        h.colours_important = h.colours_used;
    // Every row is filled out to a multiple of 4 bytes. A bitmap holds at most
    // kMaxPixelBytes, so the size fits its 32-bit field.
    const std::uint64_t stride =
        ((std::uint64_t{static_cast<std::uint32_t>(h.width)} * h.bit_count + 31) &
         ~std::uint64_t{31}) /
        8;
    const std::uint64_t size = stride * static_cast<std::uint64_t>(h.height);
    if (size > std::numeric_limits<std::uint32_t>::max())
        fail_resources();
    h.size_image = static_cast<std::uint32_t>(size);
    return h;
}

std::size_t icon_description_size(const IconBitmapHeader& header) noexcept {
    if (header.bit_count <= 8) {
        const std::size_t entries =
            header.colours_used != 0 ? header.colours_used : std::size_t{1} << header.bit_count;
        return kHeaderSize + 4 * entries;
    }
    return kHeaderSize + ((header.compression & 3u) != 0 ? 12 : 0);
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
        fail_bitmap();
    const std::size_t mask_description_size = icon_description_size(mask_header);
    const std::size_t colour_description_size = icon_description_size(colour_header);
    const std::uint64_t bytes_in_res =
        std::uint64_t{colour_description_size} + colour_header.size_image + mask_header.size_image;
    if (bytes_in_res > std::numeric_limits<std::uint32_t>::max() - kImageOffset)
        fail_resources();

    // The four working buffers.
    std::vector<std::uint8_t> mask_description = zeroed_buffer(mask_description_size);
    std::vector<std::uint8_t> mask_rows = zeroed_buffer(mask_header.size_image);
    std::vector<std::uint8_t> colour_description = zeroed_buffer(colour_description_size);
    std::vector<std::uint8_t> colour_rows = zeroed_buffer(colour_header.size_image);

    // The bits: the mask at its own depth of 1 bit, then the colour bitmap.
    fill_description(mask_description, mask_header, *mask);
    fill_rows(mask_rows, *mask);
    fill_description(colour_description, colour_header, *colour);
    fill_rows(colour_rows, *colour);

    std::uint8_t directory[kDirectorySize] = {};
    put16(directory, 0);      // reserved
    put16(directory + 2, 1);  // an icon
    put16(directory + 4, 1);  // one image
    stream.write(directory, sizeof directory);

    // The entry: width and height of one image (256 gives 0), the depth in
    // bits where the colour count would be, planes and bit count 0.
    std::uint8_t entry[kEntrySize] = {};
    entry[0] = static_cast<std::uint8_t>(colour_header.width & 0xFF);
    entry[1] = static_cast<std::uint8_t>(colour_header.height & 0xFF);
    put16(entry + 2, static_cast<std::uint32_t>(colour_header.planes * colour_header.bit_count));
    put16(entry + 4, 0);
    put16(entry + 6, 0);
    put32(entry + 8, static_cast<std::uint32_t>(bytes_in_res));
    put32(entry + 12, kImageOffset);
    stream.write(entry, sizeof entry);

    // The image's height counts the colour rows and the mask rows together.
    colour_header.height *= 2;
    put_header(colour_description.data(), colour_header);
    stream.write(colour_description.data(), colour_description.size());
    stream.write(colour_rows.data(), colour_rows.size());
    stream.write(mask_rows.data(), mask_rows.size());
}

namespace {

[[noreturn]] void fail_invalid_icon() {
    throw Error("System Error.  Code: " + std::to_string(kInvalidIconHandleCode) + ".\r\n" +
                std::string(kInvalidIconHandleText));
}

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
        fail_invalid_icon();
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
