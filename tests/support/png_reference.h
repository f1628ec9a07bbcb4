// Reference pictures for tests: PNG files loaded and written through
// libpng's simplified interface.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillora::testing {

// 8-bit blue, green, red, alpha pixels, top row first.
struct ReferenceImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> bgra;

    const std::uint8_t* pixel(int x, int y) const {
        return bgra.data() + (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                              static_cast<std::size_t>(x)) *
                                 4;
    }
};

// Loads a PNG file. Throws std::runtime_error with libpng's message when it
// cannot. 16-bit files are not wanted here: the simplified interface takes
// their samples as linear light.
ReferenceImage load_png_reference(const std::string& path);

// Encodes an image as PNG data.
std::vector<std::uint8_t> encode_png_reference(const ReferenceImage& image);

}  // namespace quillora::testing
