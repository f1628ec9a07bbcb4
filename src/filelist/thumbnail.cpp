#include "filelist/thumbnail.h"

namespace quillora {

display::Size thumbnail_size(int width, int height) noexcept {
    if (width < 0)
        width = 0;
    if (height < 0)
        height = 0;
    const int box_width = kThumbnailBox.width;
    const int box_height = kThumbnailBox.height;
    if (width <= box_width && height <= box_height)
        return {width, height};
    // Here at least one side exceeds the box, so the larger side is not 0;
    // a height of 0 only occurs with the first branch, where a is infinite
    // and box_width / a is 0.
    const double a = static_cast<double>(width) / static_cast<double>(height);
    display::Size size{};
    if (width > height) {
        size.width = box_width;
        size.height = static_cast<int>(box_width / a);
        if (size.height > box_height) {
            size.height = box_height;
            size.width = static_cast<int>(box_height * a);
        }
    } else {
        size.height = box_height;
        size.width = static_cast<int>(box_height * a);
        if (size.width > box_width) {
            size.width = box_width;
            size.height = static_cast<int>(box_width / a);
        }
    }
    // A very thin picture still shows as a line of one pixel.
    if (width > 0 && size.width < 1)
        size.width = 1;
    if (height > 0 && size.height < 1)
        size.height = 1;
    return size;
}

}  // namespace quillora
