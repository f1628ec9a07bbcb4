// JPEG files built in code for tests: segments spliced in after the
// start-of-image marker, EXIF blocks, profile chunks, and CMYK files.
#pragma once

// jpeglib.h needs size_t and FILE declared before it.
#include <cstddef>
#include <cstdio>
// clang-format off
#include <jpeglib.h>
// clang-format on

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace quillora::testing {

using Bytes = std::vector<std::uint8_t>;

// `jpeg` with a marker segment (marker 0xFF `code`, then `payload`) placed
// right after its start-of-image marker.
inline Bytes with_segment(const Bytes& jpeg, std::uint8_t code, const Bytes& payload) {
    const std::size_t length = payload.size() + 2;
    Bytes out(jpeg.begin(), jpeg.begin() + 2);
    out.insert(out.end(), {0xFF, code, static_cast<std::uint8_t>(length >> 8),
                           static_cast<std::uint8_t>(length)});
    out.insert(out.end(), payload.begin(), payload.end());
    out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
    return out;
}

inline Bytes text_bytes(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

// An EXIF block (the TIFF header and IFD0) whose IFD0 holds the orientation
// tag with `orientation`, in either byte order, without the "Exif\0\0".
inline Bytes exif_tiff(int orientation, bool little_endian = true) {
    Bytes t;
    auto u16 = [&](unsigned v) {
        if (little_endian)
            t.insert(t.end(), {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)});
        else
            t.insert(t.end(), {static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)});
    };
    auto u32 = [&](std::uint32_t v) {
        if (little_endian) {
            u16(v & 0xFFFF);
            u16(v >> 16);
        } else {
            u16(v >> 16);
            u16(v & 0xFFFF);
        }
    };
    t.insert(t.end(), little_endian ? std::initializer_list<std::uint8_t>{'I', 'I'}
                                    : std::initializer_list<std::uint8_t>{'M', 'M'});
    u16(42);
    u32(8);  // IFD0 right after the header
    u16(2);  // two entries: a resolution unit, then the orientation
    u16(0x0128), u16(3), u32(1), u16(2), u16(0);
    u16(0x0112), u16(3), u32(1), u16(static_cast<unsigned>(orientation)), u16(0);
    u32(0);  // no next IFD
    return t;
}

// The payload of an APP1 "Exif" segment around a TIFF block.
inline Bytes exif_payload(const Bytes& tiff) {
    Bytes p = text_bytes(std::string_view("Exif\0\0", 6));
    p.insert(p.end(), tiff.begin(), tiff.end());
    return p;
}

// `jpeg` with the orientation in an APP1 "Exif" segment.
inline Bytes with_orientation(const Bytes& jpeg, int orientation, bool little_endian = true) {
    return with_segment(jpeg, 0xE1, exif_payload(exif_tiff(orientation, little_endian)));
}

// `jpeg` with `profile` in APP2 "ICC_PROFILE" chunks of at most `chunk`
// bytes each, placed in the order `order` gives (chunk numbers from 1; all
// in order when empty).
inline Bytes with_profile(const Bytes& jpeg, const Bytes& profile, std::size_t chunk = 60000,
                          std::vector<int> order = {}) {
    const std::size_t count = (profile.size() + chunk - 1) / chunk;
    if (order.empty()) {
        for (std::size_t i = 1; i <= count; ++i)
            order.push_back(static_cast<int>(i));
    }
    Bytes out = jpeg;
    // Each splice goes right after the start marker, so splice in reverse.
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        const std::size_t from =
            std::min(profile.size(), (static_cast<std::size_t>(*it) - 1) * chunk);
        Bytes payload = text_bytes(std::string_view("ICC_PROFILE\0", 12));
        payload.push_back(static_cast<std::uint8_t>(*it));
        payload.push_back(static_cast<std::uint8_t>(count));
        payload.insert(
            payload.end(), profile.begin() + static_cast<std::ptrdiff_t>(from),
            profile.begin() + static_cast<std::ptrdiff_t>(std::min(profile.size(), from + chunk)));
        out = with_segment(out, 0xE2, payload);
    }
    return out;
}

// A CMYK JPEG (stored as CMYK, or as YCCK when `ycck`) of quality 95 whose
// pixel (x, y) has the inks `ink(x, y)` (cyan, magenta, yellow, black; 255 is
// full ink). With `adobe` the file carries an APP14 "Adobe" segment and
// stores 255 - ink, as Adobe's programs write CMYK; without it the inks are
// stored as they are.
inline Bytes cmyk_jpeg(int width, int height,
                       const std::function<std::array<std::uint8_t, 4>(int, int)>& ink, bool ycck,
                       bool adobe) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr errors{};
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 95, TRUE);
    jpeg_set_colorspace(&cinfo, ycck ? JCS_YCCK : JCS_CMYK);
    cinfo.write_Adobe_marker = adobe ? TRUE : FALSE;
    jpeg_start_compress(&cinfo, TRUE);
    Bytes row(static_cast<std::size_t>(width) * 4);
    while (cinfo.next_scanline < cinfo.image_height) {
        const int y = static_cast<int>(cinfo.next_scanline);
        for (int x = 0; x < width; ++x) {
            const std::array<std::uint8_t, 4> inks = ink(x, y);
            for (int c = 0; c < 4; ++c)
                row[4 * x + c] = static_cast<std::uint8_t>(adobe ? 255 - inks[c] : inks[c]);
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    Bytes out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

}  // namespace quillora::testing
