#include "imaging/png.h"

#include <png.h>

#include <cstring>
#include <string>

#include "platform/error.h"

namespace quillora {

bool is_png(std::span<const std::uint8_t> data) noexcept {
    static constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    return data.size() >= 8 && std::memcmp(data.data(), kSignature, 8) == 0;
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
        throw Error(std::string(kIconNotValid));
    }
    // Deflate expands at most about 1032 times, and every row holds at least
    // one filter byte and a bit per pixel: a header claiming more pixels than
    // the data could ever hold is refused before anything is allocated.
    const std::uint64_t least_raw =
        std::uint64_t{png.image.height} * (std::uint64_t{png.image.width} / 8 + 1);
    if (least_raw > std::uint64_t{data.size()} * 1032) {
        throw Error(std::string(kIconNotValid));
    }
    png.image.format = PNG_FORMAT_BGRA;
    if (png.image.width == 0 || png.image.height == 0 || png.image.width > 0x7FFFFFFF ||
        png.image.height > 0x7FFFFFFF ||
        std::uint64_t{png.image.width} * png.image.height * 4 > kMaxPixelBytes) {
        throw Error(std::string(kOutOfResources));
    }
    Bitmap bitmap(static_cast<int>(png.image.width), static_cast<int>(png.image.height), 32,
                  /*top_down=*/true);
    if (!png_image_finish_read(&png.image, nullptr, bitmap.bits(),
                               static_cast<png_int_32>(bitmap.stride()), nullptr)) {
        throw Error(std::string(kIconNotValid));
    }
    return bitmap;
}

}  // namespace quillora
