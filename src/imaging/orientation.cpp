#include "imaging/orientation.h"

#include <cstring>

namespace quillora {
namespace {

template <int kBytes>
void scatter(const std::uint8_t* row, int pixels, std::uint8_t* to, std::ptrdiff_t step) noexcept {
    for (int x = 0; x < pixels; ++x, row += kBytes, to += step)
        std::memcpy(to, row, kBytes);
}

}  // namespace

OrientedRows::OrientedRows(Bitmap& target, int stored_width, int stored_height,
                           int orientation) noexcept
    : target_(&target),
      width_(stored_width),
      height_(stored_height),
      orientation_(orientation >= 1 && orientation <= 8 ? orientation : 1),
      bytes_(target.bpp() / 8),
      down_(target.top_down() ? static_cast<std::ptrdiff_t>(target.stride())
                              : -static_cast<std::ptrdiff_t>(target.stride())) {}

void OrientedRows::put(int y, const std::uint8_t* row) const noexcept {
    Bitmap& t = *target_;
    const std::ptrdiff_t across = bytes_;
    const std::ptrdiff_t last_x = static_cast<std::ptrdiff_t>(width_ - 1) * across;
    // Where the stored row's first pixel goes, and the step to the next one.
    std::uint8_t* to = nullptr;
    std::ptrdiff_t step = 0;
    switch (orientation_) {
        case 1:
            std::memcpy(t.row(y), row, static_cast<std::size_t>(width_) * bytes_);
            return;
        case 2:
            to = t.row(y) + last_x, step = -across;
            break;
        case 3:
            to = t.row(height_ - 1 - y) + last_x, step = -across;
            break;
        case 4:
            std::memcpy(t.row(height_ - 1 - y), row, static_cast<std::size_t>(width_) * bytes_);
            return;
        case 5:
            to = t.row(0) + y * across, step = down_;
            break;
        case 6:
            to = t.row(0) + (height_ - 1 - y) * across, step = down_;
            break;
        case 7:
            to = t.row(width_ - 1) + (height_ - 1 - y) * across, step = -down_;
            break;
        default:  // 8
            to = t.row(width_ - 1) + y * across, step = -down_;
            break;
    }
    switch (bytes_) {
        case 4:
            scatter<4>(row, width_, to, step);
            break;
        case 3:
            scatter<3>(row, width_, to, step);
            break;
        default:
            scatter<1>(row, width_, to, step);
            break;
    }
}

}  // namespace quillora
