// Colour conversion of decoded JPEG pixels to sRGB, which is what a BMP file
// and every viewer of one assume: through an embedded ICC profile with Little
// CMS 2, or for CMYK without a profile by the plain ink formula.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

namespace quillora {

// The inks a JPEG file's pixels are in, once the library has undone its own
// colour transform (YCbCr to RGB, YCCK to CMYK).
enum class JpegInks {
    kGrey,
    kRgb,
    kCmyk,
};

// The pixels a conversion reads and writes.
//   grey and RGB pictures: blue, green, red (and a fourth byte) in, the same
//   layout out, converted in place or not; a grey picture has its grey level
//   in all three;
//   CMYK pictures: cyan, magenta, yellow, black in, as the file stores them.
// Out: `bytes` (3 or 4) per pixel, blue, green, red and a fourth byte of 0.
class ColourConversion {
  public:
    // The conversion a picture needs, or nullptr when it is drawn as stored:
    // grey and RGB pictures without a profile, with one that lcms2 cannot
    // open or that is not for their inks, or with an sRGB profile (one whose
    // conversion leaves every colour of a grid within 1 of itself). CMYK
    // pictures always get one: through their profile when it is a usable
    // CMYK profile (perceptual intent), or else by R = (255 - C)(255 - K) /
    // 255 and likewise for G and B. `inverted` says the file stores 255 - ink,
    // as Adobe's programs write CMYK (an APP14 "Adobe" segment).
    static std::unique_ptr<ColourConversion> make(JpegInks inks, bool inverted,
                                                  std::span<const std::uint8_t> profile, int bytes);
    virtual ~ColourConversion() = default;

    // Converts `pixels` pixels from `in` to `out`; `in` may be `out` when
    // both have as many bytes per pixel.
    virtual void convert(const std::uint8_t* in, std::uint8_t* out, int pixels) const noexcept = 0;

    // The memory a conversion may take besides the pixels: the profile's
    // tables, within a bound that lcms2 is held to.
    static std::uint64_t memory(std::span<const std::uint8_t> profile) noexcept;
};

}  // namespace quillora
