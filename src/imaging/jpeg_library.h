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
#include <string>

#include "imaging/bitmap.h"
#include "platform/error.h"

namespace quillora::jpeg_library {

// The working memory the library may take for itself, besides the bitmap it
// decodes into (the coefficients of a multi-scan file, the full-image buffer
// of two-pass colour quantisation). Beyond it the library fails with its own
// message code instead of allocating without bound.
inline constexpr long kMaxLibraryMemory = static_cast<long>(kMaxPixelBytes);

// "JPEG error #N", raised at the caller's place.
[[noreturn]] inline void fail(int code, SourcePlace where = SourcePlace::current()) {
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

}  // namespace quillora::jpeg_library
