#include "imaging/jpeg_rows.h"

#include <algorithm>

namespace quillora::jpeg_library {

JpegInks inks_of(j_decompress_ptr cinfo) noexcept {
    switch (cinfo->jpeg_color_space) {
        case JCS_GRAYSCALE:
            return JpegInks::kGrey;
        case JCS_CMYK:
        case JCS_YCCK:
            return JpegInks::kCmyk;
        default:
            return JpegInks::kRgb;
    }
}

DecodedRows::DecodedRows(Bitmap& target, int stored_width, int stored_height, int orientation,
                         int in_bytes, const ColourConversion* colour)
    : target_(target),
      placed_(target, stored_width, stored_height, orientation),
      colour_(colour),
      width_(stored_width),
      in_bytes_(in_bytes),
      out_bytes_(target.bpp() / 8),
      // A conversion that changes the pixels' size needs a row of its own.
      direct_((orientation < 2 || orientation > 8) && in_bytes == out_bytes_) {
    const auto width = static_cast<std::size_t>(std::max(stored_width, 0));
    if (!direct_)
        band_.resize(width * static_cast<std::size_t>(in_bytes) * kBatchRows);
    if (colour_ && in_bytes_ != out_bytes_)
        converted_.resize(width * static_cast<std::size_t>(out_bytes_) * kBatchRows);
}

std::uint64_t DecodedRows::memory(int stored_width) noexcept {
    // The band and its converted rows.
    const std::uint64_t row = std::uint64_t{static_cast<unsigned>(std::max(stored_width, 0))} * 4;
    return row * kBatchRows * 2;
}

void DecodedRows::read_batch(j_decompress_ptr cinfo) noexcept {
    JSAMPROW rows[kBatchRows];
    const JDIMENSION first = cinfo->output_scanline;
    const JDIMENSION count =
        std::min<JDIMENSION>(kBatchRows, cinfo->output_height - cinfo->output_scanline);
    const std::size_t band_stride = static_cast<std::size_t>(width_) * in_bytes_;
    for (JDIMENSION i = 0; i < count; ++i) {
        rows[i] =
            direct_ ? target_.row(static_cast<int>(first + i)) : band_.data() + i * band_stride;
    }
    // The library hands out a row or two a call; the band is filled first,
    // so that a turned band is placed with whole runs of pixels.
    JDIMENSION got = 0;
    while (got < count) {
        const JDIMENSION more = jpeg_read_scanlines(cinfo, rows + got, count - got);
        if (more == 0)
            break;
        got += more;
    }
    const std::size_t converted_stride = static_cast<std::size_t>(width_) * out_bytes_;
    const std::uint8_t* done[kBatchRows];
    for (JDIMENSION i = 0; i < got; ++i) {
        std::uint8_t* row = rows[i];
        if (colour_ && converted_.empty()) {
            colour_->convert(row, row, width_);
        } else if (colour_) {
            colour_->convert(row, converted_.data() + i * converted_stride, width_);
            row = converted_.data() + i * converted_stride;
        } else if (out_bytes_ == 4) {
            clear_fourth_bytes(row, width_);
        }
        done[i] = row;
    }
    if (!direct_)
        placed_.put(static_cast<int>(first), done, static_cast<int>(got));
}

}  // namespace quillora::jpeg_library
