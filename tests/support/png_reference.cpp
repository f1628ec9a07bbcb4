#include "support/png_reference.h"

#include <png.h>

#include <stdexcept>

namespace quillora::testing {
namespace {

// Frees what libpng holds for an image on every path.
struct ImageGuard {
    png_image& image;
    ~ImageGuard() { png_image_free(&image); }
};

}  // namespace

ReferenceImage load_png_reference(const std::string& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ImageGuard guard{image};
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        throw std::runtime_error(path + ": " + image.message);
    }
    image.format = PNG_FORMAT_BGRA;
    ReferenceImage result;
    result.width = static_cast<int>(image.width);
    result.height = static_cast<int>(image.height);
    result.bgra.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, result.bgra.data(), 0, nullptr)) {
        throw std::runtime_error(path + ": " + image.message);
    }
    return result;
}

std::vector<std::uint8_t> encode_png_reference(const ReferenceImage& source) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ImageGuard guard{image};
    image.width = static_cast<png_uint_32>(source.width);
    image.height = static_cast<png_uint_32>(source.height);
    image.format = PNG_FORMAT_BGRA;
    png_alloc_size_t size = 0;
    if (!png_image_write_get_memory_size(image, size, 0, source.bgra.data(), 0, nullptr)) {
        throw std::runtime_error(std::string("PNG encoding: ") + image.message);
    }
    std::vector<std::uint8_t> data(size);
    if (!png_image_write_to_memory(&image, data.data(), &size, 0, source.bgra.data(), 0, nullptr)) {
        throw std::runtime_error(std::string("PNG encoding: ") + image.message);
    }
    data.resize(size);
    return data;
}

}  // namespace quillora::testing
