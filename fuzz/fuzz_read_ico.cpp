// Reads an icon file from the input and draws it onto a 32 x 32 screen
// bitmap. The header's reserved field, which the reader does not look at,
// picks the display facts: its first byte (when not 0) the system icon size,
// its second the screen depth, so the choice of the entry is explored too.
// A PNG picture (its signature in place of the header) is read as an icon of
// that one image; images larger than the bitmap are drawn reduced.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "imaging/bitmap.h"
#include "imaging/ico.h"
#include "platform/display.h"
#include "platform/error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static constexpr int kDepths[] = {32, 24, 16, 8};
    const int depth = size >= 2 ? kDepths[data[1] & 3] : 32;
    quillora::display::Size icon_size{32, 32};
    if (size >= 1 && data[0] != 0)
        icon_size = {data[0], data[0]};
    quillora::display::ScopedDisplay display(depth, icon_size);
    try {
        quillora::IconPicture picture(std::vector<std::uint8_t>(data, data + size));
        (void)picture.width();
        quillora::Bitmap target = quillora::create_screen_bitmap(32, 32, depth);
        picture.draw(target);
        picture.draw(target);
        (void)picture.height();
    } catch (const quillora::Error&) {
    }
    return 0;
}
