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
      bytes_(target.bpp() / 8) {}

void OrientedRows::put(int first, const std::uint8_t* const* rows, int count) const noexcept {
    switch (bytes_) {
        case 4:
            put_pixels<4>(first, rows, count);
            break;
        case 3:
            put_pixels<3>(first, rows, count);
            break;
        default:
            put_pixels<1>(first, rows, count);
            break;
    }
}

template <int kBytes>
void OrientedRows::put_pixels(int first, const std::uint8_t* const* rows,
                              int count) const noexcept {
    Bitmap& t = *target_;
    const std::size_t row_bytes = static_cast<std::size_t>(width_) * kBytes;
    const std::ptrdiff_t last_x = static_cast<std::ptrdiff_t>(width_ - 1) * kBytes;
    if (orientation_ <= 4) {
        for (int i = 0; i < count; ++i) {
            const int y = first + i;
            switch (orientation_) {
                case 1:
                    std::memcpy(t.row(y), rows[i], row_bytes);
                    break;
                case 2:
                    scatter<kBytes>(rows[i], width_, t.row(y) + last_x, -kBytes);
                    break;
                case 3:
                    scatter<kBytes>(rows[i], width_, t.row(height_ - 1 - y) + last_x, -kBytes);
                    break;
                default:  // 4
                    std::memcpy(t.row(height_ - 1 - y), rows[i], row_bytes);
                    break;
            }
        }
        return;
    }
    // Stored pixel (x, y) goes to row x (5, 6) or width - 1 - x (7, 8) of the
    // target, at column y (5, 8) or height - 1 - y (6, 7).
    const bool rows_from_bottom = orientation_ == 7 || orientation_ == 8;
    const bool columns_from_right = orientation_ == 6 || orientation_ == 7;
    const std::ptrdiff_t column =
        static_cast<std::ptrdiff_t>(columns_from_right ? height_ - 1 - first : first) * kBytes;
    const std::ptrdiff_t next = columns_from_right ? -kBytes : kBytes;
    for (int x = 0; x < width_; ++x) {
        std::uint8_t* to = t.row(rows_from_bottom ? width_ - 1 - x : x) + column;
        const std::ptrdiff_t from = static_cast<std::ptrdiff_t>(x) * kBytes;
        for (int i = 0; i < count; ++i, to += next)
            std::memcpy(to, rows[i] + from, kBytes);
    }
}

}  // namespace quillora
