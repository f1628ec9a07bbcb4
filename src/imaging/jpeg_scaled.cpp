#include "imaging/jpeg_scaled.h"

#include <algorithm>
#include <string>

#include "imaging/jpeg_library.h"
#include "imaging/jpeg_metadata.h"
#include "imaging/jpeg_rows.h"
#include "platform/error.h"

namespace quillora {
namespace {

using jpeg_library::DecodedRows;
using jpeg_library::Decompressor;

struct ScaledJob {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    // The least size wanted, as stored (the sides of the size shown swapped
    // for orientations 5 to 8).
    display::Size at_least{};
    // Filled by the header pass.
    std::uint64_t library_memory = 0;
    int divisor = 1;
    int width = 0, height = 0;
    int output_width = 0, output_height = 0;
    JpegInks inks = JpegInks::kRgb;
    bool adobe = false;
    // Where the decoding pass puts its rows, and the bytes of their bitmap.
    DecodedRows* rows = nullptr;
    std::uint64_t bitmap_bytes = 0;
};

void set_output(j_decompress_ptr cinfo, int divisor) {
    cinfo->scale_num = 1;
    cinfo->scale_denom = static_cast<unsigned>(divisor);
    cinfo->dct_method = JDCT_ISLOW;
    cinfo->do_fancy_upsampling = FALSE;
    cinfo->do_block_smoothing = FALSE;
    cinfo->out_color_space =
        jpeg_library::inks_of(cinfo) == JpegInks::kCmyk ? JCS_CMYK : JCS_EXT_BGRX;
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
    job->inks = jpeg_library::inks_of(cinfo);
    job->adobe = cinfo->saw_Adobe_marker != FALSE;
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
    jpeg_library::limit_memory(cinfo, job->bitmap_bytes);
    jpeg_start_decompress(cinfo);
    // The rows were sized from the same header.
    if (cinfo->output_width != static_cast<JDIMENSION>(job->output_width) ||
        cinfo->output_height != static_cast<JDIMENSION>(job->output_height) ||
        cinfo->output_components != 4) {
        ERREXIT(cinfo, JERR_NOTIMPL);
    }
    while (cinfo->output_scanline < cinfo->output_height)
        job->rows->read_batch(cinfo);
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
    const JpegMetadata metadata = read_jpeg_metadata(data);
    const bool swapped = swaps_sides(metadata.orientation);
    ScaledJob job;
    job.data = data.data();
    job.size = data.size();
    job.at_least = swapped ? display::Size{at_least.height, at_least.width} : at_least;
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
    Bitmap bitmap(swapped ? job.output_height : job.output_width,
                  swapped ? job.output_width : job.output_height, 32, true);
    const auto colour = ColourConversion::make(job.inks, job.adobe, metadata.profile, 4);
    DecodedRows rows(bitmap, job.output_width, job.output_height, metadata.orientation, 4,
                     colour.get());
    job.rows = &rows;
    job.bitmap_bytes = bitmap_bytes;
    Decompressor decompressor;
    if (int code = run_scaled_decode(&decompressor, &job); code != 0)
        jpeg_library::fail(code);
    return bitmap;
}

}  // namespace quillora
