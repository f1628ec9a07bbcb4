#include "imaging/jpeg_scaled.h"

#include <algorithm>
#include <string>

#include "imaging/jpeg_library.h"

#include "platform/error.h"

namespace quillora {
namespace {

constexpr int kBatchRows = 16;

using jpeg_library::Decompressor;

struct ScaledJob {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    display::Size at_least{};
    // Filled by the header pass.
    std::uint64_t library_memory = 0;
    int divisor = 1;
    int width = 0, height = 0;
    int output_width = 0, output_height = 0;
    // The rows of the decoding pass: first_row + y * stride.
    std::uint8_t* first_row = nullptr;
    std::size_t stride = 0;
};

void set_output(j_decompress_ptr cinfo, int divisor) {
    cinfo->scale_num = 1;
    cinfo->scale_denom = static_cast<unsigned>(divisor);
    cinfo->dct_method = JDCT_ISLOW;
    cinfo->do_fancy_upsampling = FALSE;
    cinfo->do_block_smoothing = FALSE;
    cinfo->out_color_space = JCS_EXT_BGRX;
}

// Reads the header and the output size. Returns 0 or the message code.
int read_scaled_header(Decompressor* d, ScaledJob* job) noexcept {
    j_decompress_ptr cinfo = &d->cinfo;
    d->prepare();
    if (setjmp(d->errors.jump)) {
        jpeg_destroy_decompress(cinfo);
        return d->errors.pub.msg_code;
    }
    d->open({job->data, job->size});
    job->width = static_cast<int>(cinfo->image_width);
    job->height = static_cast<int>(cinfo->image_height);
    job->divisor = jpeg_scale_divisor(job->width, job->height, job->at_least);
    set_output(cinfo, job->divisor);
    jpeg_calc_output_dimensions(cinfo);
    job->output_width = static_cast<int>(cinfo->output_width);
    job->output_height = static_cast<int>(cinfo->output_height);
    job->library_memory = jpeg_library::library_memory(cinfo);
    jpeg_destroy_decompress(cinfo);
    return 0;
}

// Decodes into the job's rows. Returns 0 or the message code.
int run_scaled_decode(Decompressor* d, ScaledJob* job) noexcept {
    j_decompress_ptr cinfo = &d->cinfo;
    d->prepare();
    if (setjmp(d->errors.jump)) {
        jpeg_destroy_decompress(cinfo);
        return d->errors.pub.msg_code;
    }
    d->open({job->data, job->size});
    d->refuse_scan_bombs({job->data, job->size});
    set_output(cinfo, job->divisor);
    jpeg_library::limit_memory(cinfo, job->stride * static_cast<std::uint64_t>(job->output_height));
    jpeg_start_decompress(cinfo);
    // The rows were sized from the same header.
    if (cinfo->output_width != static_cast<JDIMENSION>(job->output_width) ||
        cinfo->output_height != static_cast<JDIMENSION>(job->output_height) ||
        cinfo->output_components != 4) {
        ERREXIT(cinfo, JERR_NOTIMPL);
    }
    JSAMPROW rows[kBatchRows];
    while (cinfo->output_scanline < cinfo->output_height) {
        const JDIMENSION first = cinfo->output_scanline;
        const JDIMENSION count =
            std::min<JDIMENSION>(kBatchRows, cinfo->output_height - cinfo->output_scanline);
        for (JDIMENSION i = 0; i < count; ++i)
            rows[i] = job->first_row + static_cast<std::size_t>(first + i) * job->stride;
        jpeg_read_scanlines(cinfo, rows, count);
    }
    jpeg_finish_decompress(cinfo);
    jpeg_destroy_decompress(cinfo);
    return 0;
}

int reduced(int side, int divisor) noexcept {
    return static_cast<int>((static_cast<long long>(side) + divisor - 1) / divisor);
}

}  // namespace

int jpeg_scale_divisor(int width, int height, display::Size at_least) noexcept {
    if (width <= 0 || height <= 0)
        return 1;
    for (int divisor : {8, 4, 2}) {
        if (reduced(width, divisor) >= at_least.width &&
            reduced(height, divisor) >= at_least.height) {
            return divisor;
        }
    }
    return 1;
}

display::Size jpeg_scaled_size(int width, int height, int divisor) noexcept {
    if (divisor < 1)
        divisor = 1;
    return {reduced(std::max(width, 0), divisor), reduced(std::max(height, 0), divisor)};
}

Bitmap decode_jpeg_scaled(std::span<const std::uint8_t> data, display::Size at_least) {
    ScaledJob job;
    job.data = data.data();
    job.size = data.size();
    job.at_least = at_least;
    {
        Decompressor header;
        if (int code = read_scaled_header(&header, &job); code != 0)
            jpeg_library::fail(code);
    }
    // Refused before the bitmap is allocated (a reduced progressive picture
    // still needs the coefficients of every block); the decoder checks again.
    const std::uint64_t bitmap_bytes = Bitmap::bytes_for(job.output_width, job.output_height, 32);
    if (bitmap_bytes > kMaxPixelBytes || job.library_memory > kMaxPixelBytes - bitmap_bytes)
        throw Error(std::string(kOutOfResources));
    Bitmap bitmap(job.output_width, job.output_height, 32, true);
    job.first_row = bitmap.bits();
    job.stride = bitmap.stride();
    Decompressor decompressor;
    if (int code = run_scaled_decode(&decompressor, &job); code != 0)
        jpeg_library::fail(code);
    // The library writes 0xFF as the fourth byte; the program's 32-bit
    // bitmaps have 0 there.
    for (int y = 0; y < bitmap.height(); ++y) {
        std::uint8_t* row = bitmap.row(y);
        for (int x = 0; x < bitmap.width(); ++x)
            row[4 * x + 3] = 0;
    }
    return bitmap;
}

}  // namespace quillora
