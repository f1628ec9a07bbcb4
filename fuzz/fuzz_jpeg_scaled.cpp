// Decodes a JPEG at a reduced scale, as the information panel's thumbnail
// does, for one of four wanted sizes picked by the input's length. Failures
// must come out as quillora::Error, nothing else.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "imaging/jpeg.h"
#include "imaging/jpeg_scaled.h"
#include "platform/display.h"
#include "platform/error.h"

namespace {

// Larger pictures only have their header read, which keeps each run short...
constexpr long long kMaxPixels = 4096LL * 4096;
// ...unless they are progressive beyond this: every block's coefficients
// (at least 2 bytes a pixel) then pass 2 GiB, which the decoder must refuse
// before allocating.
constexpr long long kRefusedProgressivePixels = 1LL << 30;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quillora;
    static const display::Size kWanted[] = {{91, 53}, {1, 1}, {640, 480}, {4096, 4096}};
    try {
        const JpegPicture header(std::vector<std::uint8_t>(data, data + size));
        const long long pixels = static_cast<long long>(header.width()) * header.height();
        if (pixels > kMaxPixels && !(header.progressive() && pixels > kRefusedProgressivePixels))
            return 0;
        const Bitmap bitmap = decode_jpeg_scaled(std::span(data, size), kWanted[size % 4]);
        (void)bitmap.width();
    } catch (const Error&) {
    }
    return 0;
}
