// What a JPEG file says about how it is to be shown, beyond its pixels: the
// EXIF orientation and the embedded colour profile. Read from the marker
// segments before the first scan; the segments are untrusted input, and
// nothing in them makes reading fail.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace quillora {

// The largest colour profile collected from a file: more than any real
// profile, and the most 255 APP2 chunks can hold comes close to it anyway.
inline constexpr std::size_t kMaxProfileBytes = std::size_t{16} << 20;

struct JpegMetadata {
    // 1 to 8, as EXIF numbers them: 1 is pixels as stored.
    int orientation = 1;
    // The ICC profile of the APP2 "ICC_PROFILE" chunks, joined in chunk
    // order; empty when there is none or the chunks do not make one whole
    // profile (a chunk missing, repeated or numbered past the count).
    std::vector<std::uint8_t> profile;
};

// Walks the marker segments from the start-of-image marker to the first
// start-of-scan marker (or the data's end) and collects the orientation of
// the first APP1 "Exif" segment and the profile chunks. Data that is not a
// JPEG file, or a segment cut short, ends the walk with what was found.
JpegMetadata read_jpeg_metadata(std::span<const std::uint8_t> data);

// The orientation tag (0x0112) of IFD0 of an EXIF block: the TIFF header and
// what follows, as it stands after the "Exif\0\0" of an APP1 segment. Both
// byte orders. A missing tag, a value outside 1 to 8 and anything malformed
// (offsets outside the block, a short entry table) give 1.
int exif_orientation(std::span<const std::uint8_t> tiff) noexcept;

}  // namespace quillora
