// Opens arbitrary bytes as the embedded colour profile of a grey, an RGB
// and a CMYK picture and converts a row of pixels through what it gives.
// lcms2 is held to its memory bound; nothing may crash or leak.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "imaging/colour_profile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quillora;
    const std::span<const std::uint8_t> profile(data, size);
    std::array<std::uint8_t, 64 * 4> in{}, out{};
    for (std::size_t i = 0; i < in.size(); ++i)
        in[i] = static_cast<std::uint8_t>(i * 37);
    for (JpegInks inks : {JpegInks::kGrey, JpegInks::kRgb, JpegInks::kCmyk}) {
        for (int bytes : {3, 4}) {
            const auto conversion = ColourConversion::make(inks, size % 2 == 1, profile, bytes);
            if (conversion)
                conversion->convert(in.data(), out.data(), 64);
        }
    }
    return 0;
}
