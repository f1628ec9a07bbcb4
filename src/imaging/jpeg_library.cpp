#include "imaging/jpeg_library.h"

#include <cstring>

#include "platform/bytes.h"

namespace quillora::jpeg_library {
namespace {

constexpr std::uint8_t kStartOfImage = 0xD8;
constexpr std::uint8_t kEndOfImage = 0xD9;
constexpr std::uint8_t kStartOfScan = 0xDA;
constexpr std::uint8_t kTemporary = 0x01;

bool restart_marker(std::uint8_t code) noexcept {
    return code >= 0xD0 && code <= 0xD7;
}

void on_progress(j_common_ptr cinfo) {
    if (cinfo->is_decompressor &&
        reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxScans) {
        ERREXIT(cinfo, JERR_BAD_PROGRESSION);
    }
}

std::uint64_t round_up(std::uint64_t value, std::uint64_t multiple) noexcept {
    return multiple == 0 ? value : (value + multiple - 1) / multiple * multiple;
}

}  // namespace

int count_scans(std::span<const std::uint8_t> bytes, int limit) noexcept {
    // Every read is inside the view: each loop checks the room first.
    const ByteView data(bytes);
    const std::size_t size = data.size();
    if (!data.fits(0, 2) || data.u8(0) != 0xFF || data.u8(1) != kStartOfImage)
        return 0;
    int scans = 0;
    std::size_t at = 2;
    for (;;) {
        // The next marker. Bytes before it (entropy-coded data, or garbage the
        // library skips with a warning) are passed over, and so are fill
        // bytes, stuffed zeros and restart markers.
        std::uint8_t marker = 0;
        while (data.fits(at, 2)) {
            if (data.u8(at) != 0xFF) {
                // Entropy-coded data is most of the file: find its next 0xFF
                // the fast way.
                const std::size_t room = size - at - 1;
                const std::uint8_t* from = data.bytes(at, room);
                const void* next = std::memchr(from, 0xFF, room);
                if (next == nullptr)
                    return scans;
                at += static_cast<std::size_t>(static_cast<const std::uint8_t*>(next) - from);
                continue;
            }
            const std::uint8_t code = data.u8(at + 1);
            if (code == 0xFF) {
                ++at;
            } else if (code == 0x00 || restart_marker(code)) {
                at += 2;
            } else {
                marker = code;
                at += 2;
                break;
            }
        }
        if (marker == 0 || marker == kEndOfImage)
            return scans;
        if (marker == kStartOfImage || marker == kTemporary)
            continue;  // markers without a length
        if (marker == kStartOfScan && ++scans > limit)
            return scans;
        if (!data.fits(at, 2))
            return scans;
        const std::size_t length = data.be16(at);
        if (length < 2)
            return scans;  // the library refuses such a segment
        at += length;
    }
}

void limit_scans(j_decompress_ptr cinfo, ScanLimit& limit) noexcept {
    limit.pub.progress_monitor = on_progress;
    cinfo->progress = &limit.pub;
}

std::uint64_t library_memory(j_decompress_ptr cinfo) noexcept {
    jpeg_calc_output_dimensions(cinfo);
    // Tables, the managers and other small pieces.
    std::uint64_t bytes = std::uint64_t{1} << 20;
    const bool whole_coefficients = jpeg_has_multiple_scans(cinfo) || cinfo->buffered_image;
    for (int ci = 0; ci < cinfo->num_components; ++ci) {
        const jpeg_component_info& c = cinfo->comp_info[ci];
        const std::uint64_t blocks_wide = round_up(c.width_in_blocks, c.h_samp_factor);
        const std::uint64_t blocks_high = round_up(c.height_in_blocks, c.v_samp_factor);
        if (whole_coefficients)
            bytes += blocks_wide * blocks_high * sizeof(JBLOCK);
        // Coefficient and sample rows of a few block rows at a time, with the
        // context rows of upsampling and block smoothing.
        const std::uint64_t band = std::uint64_t{static_cast<unsigned>(c.v_samp_factor)} * 5;
        bytes += blocks_wide * band * (sizeof(JBLOCK) + DCTSIZE2 * 2);
    }
    // Upsampled and colour-converted rows.
    bytes += std::uint64_t{cinfo->output_width} *
             static_cast<unsigned>(cinfo->out_color_components) *
             static_cast<unsigned>(cinfo->max_v_samp_factor) * DCTSIZE * 4;
    if (cinfo->quantize_colors && cinfo->two_pass_quantize && cinfo->out_color_components > 1) {
        // The whole picture is kept for the second pass, with the histogram
        // and the dithering errors.
        bytes += std::uint64_t{cinfo->output_width} * cinfo->output_height *
                     static_cast<unsigned>(cinfo->out_color_components) +
                 (std::uint64_t{1} << 17) + std::uint64_t{cinfo->output_width + 2} * 3 * 2;
    }
    return bytes;
}

void limit_memory(j_decompress_ptr cinfo, std::uint64_t bitmap_bytes) {
    const std::uint64_t library = library_memory(cinfo);
    if (bitmap_bytes > kMaxPixelBytes || library > kMaxPixelBytes - bitmap_bytes) {
        cinfo->err->msg_code = kOutOfMemoryCode;
        (*cinfo->err->error_exit)(reinterpret_cast<j_common_ptr>(cinfo));
    }
    cinfo->mem->max_memory_to_use = static_cast<long>(kMaxPixelBytes - bitmap_bytes);
}

}  // namespace quillora::jpeg_library
