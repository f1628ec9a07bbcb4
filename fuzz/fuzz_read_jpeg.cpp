// Reads a JPEG picture from arbitrary bytes and draws it onto a screen bitmap
// of its size. Failures must come out as quillora::Error, nothing else.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "imaging/bitmap.h"
#include "imaging/jpeg.h"
#include "platform/display.h"
#include "platform/error.h"

namespace {

// Larger pictures only have their header read, which keeps each run short.
constexpr long long kMaxPixels = 4096LL * 4096;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quillora;
    // The size picks the screen: true colour, 24, 16 bits, or 8 bits at start
    // (quantised decoding of colour files).
    static const int kDepths[] = {32, 24, 16, 8};
    display::set_screen_depth(kDepths[size % 4]);
    try {
        JpegPicture picture(std::vector<std::uint8_t>(data, data + size));
        if (static_cast<long long>(picture.width()) * picture.height() <= kMaxPixels) {
            Bitmap target = create_screen_bitmap(picture.width(), picture.height());
            picture.draw(target);
            // Drawn again: from the decoded pixels, or straight once more.
            picture.draw(target);
        }
    } catch (const Error&) {
    }
    return 0;
}
