// Reads the orientation and profile of a JPEG file, and the orientation of
// an EXIF block, from arbitrary bytes: neither may fail or read outside them.
// The input is taken whole as a JPEG file and, from its third byte on, as
// the TIFF block of an APP1 "Exif" segment.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "imaging/jpeg_metadata.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quillora;
    const std::span<const std::uint8_t> bytes(data, size);
    const JpegMetadata metadata = read_jpeg_metadata(bytes);
    if (metadata.orientation < 1 || metadata.orientation > 8 ||
        metadata.profile.size() > kMaxProfileBytes || metadata.profile.size() > size) {
        std::abort();
    }
    const int orientation = exif_orientation(bytes.subspan(std::min<std::size_t>(size, 2)));
    if (orientation < 1 || orientation > 8)
        std::abort();
    return 0;
}
