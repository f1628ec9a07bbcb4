// What the JPEG codec files share about driving libjpeg: its headers, the
// error manager that longjmps back instead of exiting, and the failure text.
//
// Every call into the library happens inside a small function that calls
// setjmp and holds no object with a destructor. The error manager longjmps
// back into that function, which destroys the library object and returns the
// message code; the C++ caller raises the failure after it has returned. No
// C++ exception ever passes through the library's C frames.
#pragma once

// jpeglib.h needs size_t and FILE declared before it.
#include <cstddef>
#include <cstdio>
// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include <csetjmp>
#include <cstdint>
#include <span>
#include <string>

#include "imaging/bitmap.h"
#include "platform/error.h"

namespace quillora::jpeg_library {

// The most scans a JPEG file may have. Real files have at most a few dozen;
// every scan of a progressive file makes the library visit every block of the
// picture, so a small file of thousands of nearly empty scans would cost
// minutes. More fail with "JPEG error #16" (the library's code for an
// invalid progression).
inline constexpr int kMaxScans = 500;

// The code of a message raised by the program rather than the library: the
// decode would hold more than a bitmap may ("Out of system resources").
inline constexpr int kOutOfMemoryCode = -1;

// Counts the scans (start-of-scan markers) of JPEG data the way the library
// meets them: marker segments skipped by their length, entropy-coded data up
// to the next marker, stopping at the end-of-image marker or the end of the
// data. Counting stops once it passes `limit`. Linear in the data's size and
// done before the library's first pass, so a file of too many scans fails at
// once instead of after hundreds of passes over its blocks.
int count_scans(std::span<const std::uint8_t> data, int limit) noexcept;

// Refuses, inside the library, a file whose scans pass kMaxScans: the
// library's progress monitor checks the number of the scan being read.
struct ScanLimit {
    jpeg_progress_mgr pub{};  // first, so the library's pointer converts back
};
void limit_scans(j_decompress_ptr cinfo, ScanLimit& limit) noexcept;

// The memory the library takes for itself to decode a file whose header has
// been read and whose output parameters are set: the coefficients of every
// block for a multi-scan file, the full picture buffer of two-pass colour
// quantisation, and a bound on its row buffers. Besides the bitmap decoded
// into.
std::uint64_t library_memory(j_decompress_ptr cinfo) noexcept;

// When `bitmap_bytes` plus the library's memory would pass kMaxPixelBytes,
// leaves through the library's error exit with kOutOfMemoryCode; otherwise
// lets the library take no more than what is left. Called, like every call
// into the library, inside the function that called setjmp.
void limit_memory(j_decompress_ptr cinfo, std::uint64_t bitmap_bytes);

// "JPEG error #N", raised at the caller's place.
// kOutOfMemoryCode gives "Out of system resources".
[[noreturn]] inline void fail(int code, SourcePlace where = SourcePlace::current()) {
    if (code == kOutOfMemoryCode)
        throw Error(std::string(kOutOfResources), where);
    throw Error("JPEG error #" + std::to_string(code), where);
}

struct ErrorManager {
    jpeg_error_mgr pub;  // first, so the library's pointer converts back
    std::jmp_buf jump;
};

[[noreturn]] inline void on_error(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}
// Warnings and trace messages are ignored.
inline void on_message(j_common_ptr, int) {}
inline void on_output(j_common_ptr) {}

inline void init_errors(ErrorManager& errors) noexcept {
    jpeg_std_error(&errors.pub);
    errors.pub.error_exit = on_error;
    errors.pub.emit_message = on_message;
    errors.pub.output_message = on_output;
}

// The library state of one decompression. It lives in the caller's frame,
// not in the frame that calls setjmp, so nothing the library changes is lost
// when it jumps back; zeroed, so that destroying one whose creation failed is
// harmless.
struct Decompressor {
    jpeg_decompress_struct cinfo{};
    ErrorManager errors{};
    ScanLimit scan_limit{};

    // Installs the error manager; called before setjmp.
    void prepare() noexcept {
        init_errors(errors);
        cinfo.err = &errors.pub;
    }
    // Creates the library object reading `data`, its scans limited, and reads
    // the header; called after setjmp.
    void open(std::span<const std::uint8_t> data) {
        jpeg_create_decompress(&cinfo);
        limit_scans(&cinfo, scan_limit);
        jpeg_mem_src(&cinfo, data.data(), static_cast<unsigned long>(data.size()));
        jpeg_read_header(&cinfo, TRUE);
    }
    // Leaves through the error exit when `data` has more than kMaxScans
    // scans: before the first pass, which would visit every block each scan.
    void refuse_scan_bombs(std::span<const std::uint8_t> data) {
        if (count_scans(data, kMaxScans) > kMaxScans)
            ERREXIT(&cinfo, JERR_BAD_PROGRESSION);
    }
};

}  // namespace quillora::jpeg_library
