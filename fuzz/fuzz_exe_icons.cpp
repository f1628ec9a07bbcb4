// Reads the input as a Windows executable: counts its icon groups and hands
// out the icon of each of the first few, and of an index past them. Two bytes
// of the DOS header the reader does not look at pick the display facts: byte
// 2 the screen depth, byte 3 (when its low six bits are not 0) the system
// icon size, so the choice of the image is explored too.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

#include "imaging/exe_icons.h"
#include "platform/display.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static constexpr int kDepths[] = {32, 24, 16, 8};
    const int depth = size >= 3 ? kDepths[data[2] & 3] : 32;
    quillora::display::Size icon_size{32, 32};
    if (size >= 4 && (data[3] & 63) != 0)
        icon_size = {data[3] & 63, data[3] & 63};
    quillora::display::ScopedDisplay display(depth, icon_size);

    const std::span<const std::uint8_t> bytes(data, size);
    const int count = quillora::exe_icons::count_exe_icons(bytes);
    const int last = std::min(count, 8);
    for (int index = -1; index <= last; ++index) {
        const auto icon = quillora::exe_icons::extract_exe_icon(bytes, index);
        if (icon && (icon->width() != icon_size.width || icon->height() != icon_size.height ||
                     icon->mask.bpp() != 1))
            __builtin_trap();
    }
    return 0;
}
