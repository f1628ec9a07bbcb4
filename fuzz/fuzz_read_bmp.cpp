// Reads a BMP file from arbitrary bytes and converts every row; then writes
// the bitmap as BMP data again, which must read back to the same bitmap.
// Reading failures must come out as quillora::Error, nothing else.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "imaging/bitmap.h"
#include "imaging/bmp.h"
#include "platform/error.h"
#include "platform/files.h"

namespace {

using quillora::Bitmap;

// A few bytes may claim up to 2 GiB of pixels, which the reader allocates and
// clears, and every row is then converted and written again. Large bitmaps
// reach no code that small ones do not and only slow the runs down, so inputs
// whose header claims more pixel bytes than this are skipped (unless they
// claim more than a bitmap may hold: those fail at once and are kept).
constexpr std::uint64_t kMaxFuzzedPixelBytes = std::uint64_t{256} << 10;

std::uint32_t get16(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8;
}
std::uint32_t get32(const std::uint8_t* p) {
    return get16(p) | get16(p + 2) << 16;
}

// The pixel bytes the header claims, or 0 when it cannot tell.
std::uint64_t claimed_pixel_bytes(const std::uint8_t* data, std::size_t size) {
    if (size < 26)
        return 0;
    std::int64_t width, height;
    std::uint32_t bpp;
    if (get32(data + 14) == 12) {
        width = get16(data + 18);
        height = get16(data + 20);
        bpp = get16(data + 24);
    } else if (size >= 30) {
        width = static_cast<std::int32_t>(get32(data + 18));
        height = static_cast<std::int32_t>(get32(data + 22));
        bpp = get16(data + 28);
    } else {
        return 0;
    }
    if (width <= 0 || bpp > 32)
        return 0;
    const std::uint64_t rows = static_cast<std::uint64_t>(height < 0 ? -height : height);
    const std::uint64_t stride = (static_cast<std::uint64_t>(width) * bpp + 31) / 32 * 4;
    if (rows != 0 && stride > UINT64_MAX / rows)
        return UINT64_MAX;
    return stride * rows;
}

[[noreturn]] void fault(const char* what) {
    std::fprintf(stderr, "fuzz_read_bmp: %s\n", what);
    std::abort();
}

bool same_colours(const std::vector<quillora::Rgbq>& a, const std::vector<quillora::Rgbq>& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        // The writer stores the fourth byte of each entry as 0.
        if (a[i].blue != b[i].blue || a[i].green != b[i].green || a[i].red != b[i].red)
            return false;
    }
    return true;
}

void check_round_trip(const Bitmap& bitmap) {
    const std::vector<std::uint8_t> encoded = quillora::encode_bmp(bitmap);
    quillora::files::MemoryReader in(encoded.data(), encoded.size());
    Bitmap back = quillora::read_bmp(in);
    if (back.width() != bitmap.width() || back.height() != bitmap.height() ||
        back.bpp() != bitmap.bpp())
        fault("the written file reads back with other dimensions");
    if (back.top_down())
        fault("the written file is top-down");
    if (back.masks() != bitmap.masks())
        fault("the written file reads back with other masks");
    if (bitmap.bpp() <= 8 && !same_colours(back.palette(), bitmap.palette()))
        fault("the written file reads back with another colour table");
    for (int y = 0; y < bitmap.height(); ++y) {
        if (std::memcmp(back.row(y), bitmap.row(y), bitmap.stride()) != 0)
            fault("the written file reads back with other pixels");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::uint64_t claimed = claimed_pixel_bytes(data, size);
    if (claimed > kMaxFuzzedPixelBytes && claimed <= quillora::kMaxPixelBytes)
        return 0;
    Bitmap bitmap;
    try {
        quillora::files::MemoryReader in(data, size);
        bitmap = quillora::read_bmp(in);
    } catch (const quillora::Error&) {
        return 0;
    }
    std::vector<std::uint8_t> row(static_cast<std::size_t>(bitmap.width()) * 4);
    for (int y = 0; y < bitmap.height(); ++y)
        quillora::row_to_bgrx(bitmap, y, row.data());
    check_round_trip(bitmap);
    return 0;
}
