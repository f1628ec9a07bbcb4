#include "imaging/png.h"

#include <png.h>

#include <cstring>
#include <string>

#include "platform/bytes.h"
#include "platform/error.h"

namespace quillora {

bool is_png(std::span<const std::uint8_t> data) noexcept {
    static constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    const ByteView view(data);
    return view.fits(0, sizeof kSignature) &&
           std::memcmp(view.bytes(0, sizeof kSignature), kSignature, sizeof kSignature) == 0;
}

unsigned png_bits_per_pixel(std::span<const std::uint8_t> data) noexcept {
    const ByteView view(data);
    if (!is_png(data) || !view.fits(24, 2))
        return 0;
    const unsigned depth = view.u8(24);
    switch (view.u8(25)) {
        case 2:  // RGB
            return depth * 3;
        case 4:  // grey and alpha
            return depth * 2;
        case 6:  // RGBA
            return depth * 4;
        default:  // grey, palette
            return depth;
    }
}

namespace {

// Owns a libpng simplified-interface image.
struct PngImage {
    png_image image{};
    PngImage() { image.version = PNG_IMAGE_VERSION; }
    ~PngImage() { png_image_free(&image); }
    PngImage(const PngImage&) = delete;
    PngImage& operator=(const PngImage&) = delete;
};

}  // namespace

Bitmap decode_png(std::span<const std::uint8_t> data) {
    PngImage png;
    if (!png_image_begin_read_from_memory(&png.image, data.data(), data.size())) {
        fail(kIconNotValid);
    }
    // No icon image is larger than 256 x 256 pixels; a larger one is refused
    // before anything is allocated.
    if (png.image.width == 0 || png.image.height == 0 || png.image.width > kMaxPngIconSide ||
        png.image.height > kMaxPngIconSide) {
        fail(kIconNotValid);
    }
    // Deflate expands at most about 1032 times, and every row holds a filter
    // byte and the bits the header declares for each pixel: a header claiming
    // more than the data could ever hold is refused too.
    const std::uint64_t row_bytes =
        (std::uint64_t{png.image.width} * png_bits_per_pixel(data) + 7) / 8 + 1;
    if (std::uint64_t{png.image.height} * row_bytes > std::uint64_t{data.size()} * 1032) {
        fail(kIconNotValid);
    }
    png.image.format = PNG_FORMAT_BGRA;
    Bitmap bitmap(static_cast<int>(png.image.width), static_cast<int>(png.image.height), 32,
                  /*top_down=*/true);
    if (!png_image_finish_read(&png.image, nullptr, bitmap.bits(),
                               static_cast<png_int_32>(bitmap.stride()), nullptr)) {
        fail(kIconNotValid);
    }
    return bitmap;
}

}  // namespace quillora
