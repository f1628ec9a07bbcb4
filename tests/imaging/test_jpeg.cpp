// JPEG pictures and the JPEG encoder.
#include "imaging/jpeg.h"

#include <gtest/gtest.h>

// clang-format off
#include <cstddef>
#include <cstdio>
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include <algorithm>
#include <array>
#include <cmath>
#include <csetjmp>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "imaging/bitmap.h"
#include "imaging/bmp.h"
#include "platform/display.h"
#include "platform/error.h"
#include "support/temp_dir.h"

namespace quillora {
namespace {

using testing::read_bytes;
using testing::TempDir;

std::string data_file(const std::string& name) {
    return std::string(QUILLORA_TEST_DATA) + "/" + name;
}

std::string jpeg_error(int code) {
    return "JPEG error #" + std::to_string(code);
}

// The message of the failure `f` raises, or "" when it raises none.
template <typename F>
std::string failure_of(F&& f) {
    try {
        f();
    } catch (const Error& e) {
        return e.what();
    }
    return {};
}

// A photo-like 24-bit picture: smooth gradients, noise and hard edges.
Bitmap photo_bitmap(int width, int height, int bpp = 24, unsigned salt = 1) {
    Bitmap bitmap(width, height, bpp);
    std::uint32_t state = 0x9E3779B9u * salt;
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = bitmap.row(y);
        for (int x = 0; x < width; ++x) {
            state = state * 1664525u + 1013904223u;
            int noise = static_cast<int>(state >> 28) - 8;
            bool edge = ((x / 13) + (y / 9)) % 5 == 0;
            int r = x * 255 / std::max(1, width - 1) + noise;
            int g = y * 255 / std::max(1, height - 1) - noise;
            int b = edge ? 240 : 60 + (x + y) % 40 + noise;
            std::uint8_t* p = row + x * (bpp / 8);
            p[0] = static_cast<std::uint8_t>(std::clamp(b, 0, 255));
            p[1] = static_cast<std::uint8_t>(std::clamp(g, 0, 255));
            p[2] = static_cast<std::uint8_t>(std::clamp(r, 0, 255));
            if (bpp == 32)
                p[3] = 0;
        }
    }
    return bitmap;
}

// Pixel rows of a bitmap, without padding, top row first.
std::vector<std::uint8_t> pixel_rows(const Bitmap& bitmap) {
    std::vector<std::uint8_t> bytes;
    std::size_t row_bytes = (static_cast<std::size_t>(bitmap.width()) * bitmap.bpp() + 7) / 8;
    for (int y = 0; y < bitmap.height(); ++y) {
        bytes.insert(bytes.end(), bitmap.row(y), bitmap.row(y) + row_bytes);
    }
    return bytes;
}

// ---------------------------------------------------------------------------
// A reference straight on libjpeg, with the parameters spelled out here, to
// check that the codec gives the library exactly what it should. It is used
// on valid data only: a library error ends the test program.

[[noreturn]] void reference_error(j_common_ptr cinfo) {
    char text[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, text);
    std::fprintf(stderr, "reference libjpeg failed: %s\n", text);
    std::abort();
}
void reference_quiet(j_common_ptr, int) {}

struct ReferenceImage {
    int width = 0, height = 0, components = 0;
    std::vector<std::uint8_t> pixels;  // top row first, no padding
    std::vector<std::array<std::uint8_t, 3>> colormap;
};

enum class Quantise { kNone, kDither, kNoDither };

ReferenceImage reference_decode(const std::vector<std::uint8_t>& data,
                                Quantise quantise = Quantise::kNone) {
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    err.error_exit = reference_error;
    err.emit_message = reference_quiet;
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data.data(), static_cast<unsigned long>(data.size()));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.dct_method = JDCT_ISLOW;
    if (cinfo.jpeg_color_space != JCS_GRAYSCALE)
        cinfo.out_color_space = JCS_RGB;
    if (quantise != Quantise::kNone) {
        cinfo.quantize_colors = TRUE;
        cinfo.desired_number_of_colors = 236;
        cinfo.two_pass_quantize = TRUE;
        cinfo.dither_mode = quantise == Quantise::kDither ? JDITHER_FS : JDITHER_NONE;
    }
    jpeg_start_decompress(&cinfo);
    ReferenceImage image;
    image.width = static_cast<int>(cinfo.output_width);
    image.height = static_cast<int>(cinfo.output_height);
    image.components = cinfo.output_components;
    std::size_t row_bytes = static_cast<std::size_t>(image.width) * image.components;
    image.pixels.resize(row_bytes * image.height);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = image.pixels.data() + row_bytes * cinfo.output_scanline;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    if (quantise != Quantise::kNone) {
        for (int i = 0; i < cinfo.actual_number_of_colors; ++i) {
            std::uint8_t r = cinfo.colormap[0][i];
            bool grey = cinfo.out_color_components == 1;
            image.colormap.push_back(
                {r, grey ? r : cinfo.colormap[1][i], grey ? r : cinfo.colormap[2][i]});
        }
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return image;
}

// Encodes red, green, blue triples with the library's defaults for RGB
// input and quality 90, through the library's own memory destination.
std::vector<std::uint8_t> reference_encode(int width, int height,
                                           const std::vector<std::uint8_t>& rgb) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    err.error_exit = reference_error;
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 90, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        auto row = const_cast<JSAMPROW>(rgb.data() + std::size_t{cinfo.next_scanline} * width * 3);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::vector<std::uint8_t> bytes(out, out + size);
    jpeg_destroy_compress(&cinfo);
    std::free(out);
    return bytes;
}

// The red, green, blue triples of any bitmap, top row first.
std::vector<std::uint8_t> rgb_of(const Bitmap& bitmap) {
    std::vector<std::uint8_t> rgb;
    std::vector<std::uint8_t> row(static_cast<std::size_t>(bitmap.width()) * 3);
    for (int y = 0; y < bitmap.height(); ++y) {
        row_to_bgr(bitmap, y, row.data());
        for (int x = 0; x < bitmap.width(); ++x) {
            rgb.insert(rgb.end(), {row[x * 3 + 2], row[x * 3 + 1], row[x * 3]});
        }
    }
    return rgb;
}

// The 24-bit equivalent of a bitmap of any depth.
Bitmap as_24_bit(const Bitmap& bitmap) {
    Bitmap out(bitmap.width(), bitmap.height(), 24);
    for (int y = 0; y < bitmap.height(); ++y)
        row_to_bgr(bitmap, y, out.row(y));
    return out;
}

// ---------------------------------------------------------------------------
// Reading

struct HeaderCase {
    const char* file;
    int width, height;
    bool grayscale, progressive;
};

TEST(JpegRead, HeaderFactsOfRealFiles) {
    const HeaderCase cases[] = {
        {"baseline_odd.jpg", 37, 23, false, false},   {"odd444.jpg", 37, 23, false, false},
        {"progressive.jpg", 48, 32, false, true},     {"gray.jpg", 48, 32, true, false},
        {"gray_progressive.jpg", 37, 23, true, true}, {"cmyk.jpg", 48, 32, false, false},
    };
    for (const HeaderCase& c : cases) {
        SCOPED_TRACE(c.file);
        JpegPicture picture = JpegPicture::read(data_file(c.file));
        EXPECT_EQ(picture.width(), c.width);
        EXPECT_EQ(picture.height(), c.height);
        EXPECT_EQ(picture.grayscale(), c.grayscale);
        EXPECT_EQ(picture.progressive(), c.progressive);
        EXPECT_FALSE(picture.is_decoded());
    }
}

TEST(JpegRead, DataThatIsNotJpegFailsWithCode53AtReading) {
    TempDir dir;
    // A BMP file given the extension .jpg.
    std::vector<std::uint8_t> bmp = {'B', 'M', 62, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0};
    bmp.resize(62);
    std::string path = dir.write("picture.jpg", bmp);
    EXPECT_EQ(failure_of([&] { JpegPicture::read(path); }), jpeg_error(53));
    EXPECT_EQ(JERR_NO_SOI, 53);

    const std::vector<std::vector<std::uint8_t>> others = {
        {0x00},
        {0xFF},
        {0xD8, 0xFF},
        {0xFF, 0xD9},
        {0xFF, 0xD8 ^ 1, 0xFF, 0xD9},
        {'G', 'I', 'F', '8'},
    };
    for (const auto& bytes : others) {
        SCOPED_TRACE(bytes.size());
        EXPECT_EQ(failure_of([&] { JpegPicture picture(bytes); }), jpeg_error(53));
    }
}

TEST(JpegRead, EmptyFileReadsAndFailsWithCode42WhenDrawn) {
    TempDir dir;
    std::string path = dir.write("empty.jpg", std::vector<std::uint8_t>{});
    JpegPicture picture = JpegPicture::read(path);
    EXPECT_EQ(picture.width(), 0);
    EXPECT_EQ(picture.height(), 0);
    EXPECT_EQ(JERR_INPUT_EMPTY, 42);
    Bitmap target = create_screen_bitmap(8, 8, 32);
    EXPECT_EQ(failure_of([&] { picture.draw(target); }), jpeg_error(42));
    EXPECT_EQ(failure_of([&] { picture.decoded(); }), jpeg_error(42));
    Bitmap empty_target;
    EXPECT_EQ(failure_of([&] { picture.draw(empty_target); }), jpeg_error(42));
}

TEST(JpegRead, MissingFileFailsToOpen) {
    TempDir dir;
    std::string path = dir.file("absent.jpg");
    EXPECT_EQ(failure_of([&] {
                  JpegPicture::read(path);
              }).rfind("Cannot open file \"" + path + "\". ", 0),
              0u);
}

// Headers the library refuses, each with its own message code.
TEST(JpegRead, DamagedHeadersFailWithTheLibraryCode) {
    auto sof = [](unsigned height, unsigned width, std::uint8_t precision = 8) {
        std::vector<std::uint8_t> d = {0xFF,
                                       0xD8,
                                       0xFF,
                                       0xC0,
                                       0,
                                       11,
                                       precision,
                                       static_cast<std::uint8_t>(height >> 8),
                                       static_cast<std::uint8_t>(height),
                                       static_cast<std::uint8_t>(width >> 8),
                                       static_cast<std::uint8_t>(width),
                                       1,
                                       1,
                                       0x11,
                                       0};
        d.insert(d.end(), {0xFF, 0xDA, 0, 8, 1, 1, 0x00, 0, 63, 0, 0xFF, 0xD9});
        return d;
    };
    struct Case {
        const char* what;
        std::vector<std::uint8_t> data;
        int code;
    };
    const Case cases[] = {
        {"start-of-image only", {0xFF, 0xD8}, JERR_NO_IMAGE},
        {"start and end of image", {0xFF, 0xD8, 0xFF, 0xD9}, JERR_NO_IMAGE},
        {"width 0", sof(10, 0), JERR_EMPTY_IMAGE},
        {"too large", sof(65535, 65535), JERR_IMAGE_TOO_BIG},
        {"12-bit samples", sof(10, 10, 12), JERR_BAD_PRECISION},
        {"marker length short", {0xFF, 0xD8, 0xFF, 0xC0, 0, 1}, JERR_BAD_LENGTH},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(failure_of([&] { JpegPicture picture(c.data); }), jpeg_error(c.code));
    }
}

// ---------------------------------------------------------------------------
// Decoding

// Colour files decode to exactly what the library gives for RGB output.
TEST(JpegDecode, ColourFilesGive24BitPixelsOfTheLibrary) {
    display::ScopedDisplay screen(32);
    for (const char* file : {"baseline_odd.jpg", "odd444.jpg", "progressive.jpg"}) {
        SCOPED_TRACE(file);
        std::vector<std::uint8_t> data = read_bytes(data_file(file));
        JpegPicture picture(data);
        const Bitmap& bitmap = picture.decoded();
        ASSERT_EQ(bitmap.bpp(), 24);
        ReferenceImage expected = reference_decode(data);
        ASSERT_EQ(bitmap.width(), expected.width);
        ASSERT_EQ(bitmap.height(), expected.height);
        EXPECT_EQ(rgb_of(bitmap), expected.pixels);
        EXPECT_TRUE(picture.is_decoded());
        EXPECT_EQ(&picture.decoded(), &bitmap);  // decoded once, kept
    }
}

// Grayscale files: 8 bits, 236 evenly spread grey levels, Floyd-Steinberg.
TEST(JpegDecode, GrayscaleFilesGo236LevelsWithDither) {
    display::ScopedDisplay screen(32);
    for (const char* file : {"gray.jpg", "gray_progressive.jpg"}) {
        SCOPED_TRACE(file);
        std::vector<std::uint8_t> data = read_bytes(data_file(file));
        JpegPicture picture(data);
        const Bitmap& bitmap = picture.decoded();
        ASSERT_EQ(bitmap.bpp(), 8);
        ASSERT_EQ(bitmap.palette().size(), 236u);
        for (int i = 0; i < 236; ++i) {
            const Rgbq& c = bitmap.palette()[i];
            std::uint8_t level = static_cast<std::uint8_t>((i * 255 + 117) / 235);
            EXPECT_EQ(c, (Rgbq{level, level, level, 0})) << i;
        }
        ReferenceImage dithered = reference_decode(data, Quantise::kDither);
        EXPECT_EQ(pixel_rows(bitmap), dithered.pixels);
        EXPECT_NE(pixel_rows(bitmap), reference_decode(data, Quantise::kNoDither).pixels);

        // Drawn on a screen bitmap, the grey levels appear as they are.
        Bitmap target = create_screen_bitmap(bitmap.width(), bitmap.height(), 32);
        picture.draw(target);
        for (int y = 0; y < target.height(); ++y) {
            for (int x = 0; x < target.width(); ++x) {
                const std::uint8_t* p = target.row(y) + x * 4;
                std::uint8_t level = bitmap.palette()[bitmap.row(y)[x]].red;
                ASSERT_EQ(p[0], level);
                ASSERT_EQ(p[1], level);
                ASSERT_EQ(p[2], level);
                ASSERT_EQ(p[3], 0);
            }
        }
    }
}

// A screen of 256 colours at start: colour files go to 236 colours in two
// passes with Floyd-Steinberg dither, whatever the screen is afterwards.
TEST(JpegDecode, EightBitStartupDepthQuantisesColourFiles) {
    display::ScopedDisplay screen(8);
    std::vector<std::uint8_t> data = read_bytes(data_file("progressive.jpg"));
    ReferenceImage expected = reference_decode(data, Quantise::kDither);
    for (int screen_depth : {8, 32}) {
        SCOPED_TRACE(screen_depth);
        display::set_screen_depth(screen_depth);
        display::set_startup_depth(8);
        JpegPicture picture(data);
        const Bitmap& bitmap = picture.decoded();
        ASSERT_EQ(bitmap.bpp(), 8);
        ASSERT_EQ(bitmap.palette().size(), expected.colormap.size());
        EXPECT_GT(bitmap.palette().size(), 200u);
        EXPECT_LE(bitmap.palette().size(), 236u);
        for (std::size_t i = 0; i < expected.colormap.size(); ++i) {
            const Rgbq& c = bitmap.palette()[i];
            EXPECT_EQ(c, (Rgbq{expected.colormap[i][2], expected.colormap[i][1],
                               expected.colormap[i][0], 0}));
        }
        EXPECT_EQ(pixel_rows(bitmap), expected.pixels);

        // A target of the picture's size still gets the quantised pixels.
        JpegPicture fresh(data);
        Bitmap target = create_screen_bitmap(fresh.width(), fresh.height());
        fresh.draw(target);
        EXPECT_TRUE(fresh.is_decoded());
        Bitmap copy = create_screen_bitmap(fresh.width(), fresh.height());
        draw(bitmap, copy);
        EXPECT_EQ(pixel_rows(target), pixel_rows(copy));
    }
}

// The library's default settings are what decoding uses.
TEST(JpegDecode, DefaultsAreAccurateDctSmoothUpsamplingFullSize) {
    display::ScopedDisplay screen(32);
    std::vector<std::uint8_t> data = encode_jpeg(photo_bitmap(45, 31));
    JpegPicture picture(data);
    ReferenceImage expected = reference_decode(data);
    EXPECT_EQ(rgb_of(picture.decoded()), expected.pixels);
}

// Where the last start-of-scan marker of a file is.
std::size_t last_scan_start(const std::vector<std::uint8_t>& data) {
    for (std::size_t i = data.size() - 1; i > 0; --i) {
        if (data[i - 1] == 0xFF && data[i] == 0xDA)
            return i - 1;
    }
    return 0;
}

// A file cut short decodes as far as its data goes, without a failure.
TEST(JpegDecode, CutOffFileDecodesWithoutFailure) {
    display::ScopedDisplay screen(32);
    const int width = 64, height = 256;
    std::vector<std::uint8_t> whole = encode_jpeg(photo_bitmap(width, height));
    JpegPicture complete(whole);
    Bitmap expected = create_screen_bitmap(width, height, 32);
    draw(complete.decoded(), expected);
    for (std::size_t keep : {whole.size() / 2, whole.size() - 2, std::size_t{700}}) {
        SCOPED_TRACE(keep);
        std::vector<std::uint8_t> cut(whole.begin(),
                                      whole.begin() + static_cast<std::ptrdiff_t>(keep));
        JpegPicture picture(cut);
        Bitmap target = create_screen_bitmap(width, height, 32);
        ASSERT_EQ(failure_of([&] { picture.draw(target); }), "");
        // The first rows come whole from the data that is there; without its
        // end-of-image marker the picture is complete.
        if (keep >= whole.size() / 2) {
            EXPECT_EQ(std::memcmp(target.row(0), expected.row(0), width * 4), 0);
        }
        if (keep == whole.size() - 2) {
            EXPECT_EQ(std::memcmp(target.bits(), expected.bits(), target.bits_size()), 0);
        }
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x)
                ASSERT_EQ(target.row(y)[x * 4 + 3], 0);
        }
    }
    // A progressive file cut inside its last scan.
    std::vector<std::uint8_t> progressive = read_bytes(data_file("progressive.jpg"));
    progressive.resize(last_scan_start(progressive) + 40);
    JpegPicture picture(progressive);
    EXPECT_EQ(failure_of([&] { picture.decoded(); }), "");
    EXPECT_EQ(picture.decoded().width(), 48);
}

// Errors met while decoding fail with the library's code; nothing leaks.
TEST(JpegDecode, ErrorsAfterTheHeaderFailWithTheLibraryCode) {
    display::ScopedDisplay screen(32);
    // A header without tables: the scan cannot be decoded.
    std::vector<std::uint8_t> data = {0xFF, 0xD8, 0xFF, 0xC0, 0,    11, 8,    0,    8,
                                      0,    8,    1,    1,    0x11, 0,  0xFF, 0xDA, 0,
                                      8,    1,    1,    0x00, 0,    63, 0,    0xFF, 0xD9};
    JpegPicture no_tables(data);
    EXPECT_EQ(no_tables.width(), 8);
    EXPECT_EQ(failure_of([&] { no_tables.decoded(); }).rfind("JPEG error #", 0), 0u);

    // A progressive file cut inside a table between two scans: the library
    // cannot take the table, and that is an error, not a warning.
    std::vector<std::uint8_t> progressive = read_bytes(data_file("progressive.jpg"));
    progressive.resize(last_scan_start(progressive) - 20);
    JpegPicture cut(progressive);
    EXPECT_EQ(failure_of([&] { cut.decoded(); }).rfind("JPEG error #", 0), 0u);
}

// A header that promises more pixels than a bitmap may hold fails before
// anything large is allocated.
TEST(JpegDecode, HugeDimensionsFailOutOfResources) {
    std::vector<std::uint8_t> data = {0xFF, 0xD8, 0xFF, 0xC0, 0,  17,   8,    0xEA, 0x60, 0xEA,
                                      0x60, 3,    1,    0x22, 0,  2,    0x11, 1,    3,    0x11,
                                      1,    0xFF, 0xDA, 0,    12, 3,    1,    0,    2,    0x11,
                                      3,    0x11, 0,    63,   0,  0xFF, 0xD9};
    JpegPicture picture(data);
    EXPECT_EQ(picture.width(), 60000);
    EXPECT_EQ(picture.height(), 60000);
    EXPECT_EQ(failure_of([&] { picture.decoded(); }), std::string(kOutOfResources));
}

// Drawing: straight into a 32 or 24-bit target of the picture's size, the
// same pixels as decoding first and copying; other targets through the
// decoded bitmap.
TEST(JpegDraw, StraightDecodeGivesTheSamePixelsAsDecodeThenCopy) {
    display::ScopedDisplay screen(32);
    struct Case {
        const char* file;
        int depth;
        int width_change, height_change;  // of the target against the picture
        bool straight;
    };
    const Case cases[] = {
        {"baseline_odd.jpg", 32, 0, 0, true}, {"baseline_odd.jpg", 24, 0, 0, true},
        {"odd444.jpg", 32, 0, 0, true},       {"progressive.jpg", 32, 0, 0, true},
        {"progressive.jpg", 24, 0, 0, true},  {"baseline_odd.jpg", 16, 0, 0, false},
        {"baseline_odd.jpg", 8, 0, 0, false}, {"baseline_odd.jpg", 32, -5, 0, false},
        {"progressive.jpg", 32, 7, 3, false}, {"progressive.jpg", 24, 0, -1, false},
        {"gray.jpg", 32, 0, 0, false},        {"gray.jpg", 24, 0, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " at " + std::to_string(c.depth) + " bits, " +
                     std::to_string(c.width_change) + "/" + std::to_string(c.height_change));
        std::vector<std::uint8_t> data = read_bytes(data_file(c.file));
        JpegPicture picture(data);
        int w = picture.width() + c.width_change, h = picture.height() + c.height_change;
        Bitmap target = create_screen_bitmap(w, h, c.depth);
        picture.draw(target);
        EXPECT_EQ(picture.is_decoded(), !c.straight);

        JpegPicture other(data);
        Bitmap expected = create_screen_bitmap(w, h, c.depth);
        draw(other.decoded(), expected);
        ASSERT_EQ(target.bits_size(), expected.bits_size());
        EXPECT_EQ(std::memcmp(target.bits(), expected.bits(), target.bits_size()), 0);

        // Drawing again gives the same again.
        Bitmap again = create_screen_bitmap(w, h, c.depth);
        picture.draw(again);
        EXPECT_EQ(std::memcmp(again.bits(), expected.bits(), again.bits_size()), 0);
    }
}

TEST(JpegDraw, StraightDecodeIntoTopDownAndBottomUpTargets) {
    display::ScopedDisplay screen(32);
    std::vector<std::uint8_t> data = encode_jpeg(photo_bitmap(50, 20));
    JpegPicture reference(data);
    const Bitmap& decoded = reference.decoded();
    for (bool top_down : {false, true}) {
        for (int depth : {24, 32}) {
            SCOPED_TRACE(std::to_string(depth) + (top_down ? " top-down" : " bottom-up"));
            Bitmap target(50, 20, depth, top_down);
            target.fill(0xAB);
            JpegPicture picture(data);
            picture.draw(target);
            EXPECT_FALSE(picture.is_decoded());
            for (int y = 0; y < 20; ++y) {
                for (int x = 0; x < 50; ++x) {
                    const std::uint8_t* p = target.row(y) + x * (depth / 8);
                    const std::uint8_t* q = decoded.row(y) + x * 3;
                    ASSERT_EQ(std::memcmp(p, q, 3), 0) << x << "," << y;
                    if (depth == 32) {
                        ASSERT_EQ(p[3], 0);
                    }
                }
            }
        }
    }
}

// A 640 x 480 colour JPEG drawn on a 640 x 480 screen bitmap of a 32-bit
// screen: 1,228,800 bytes of pixels, the fourth byte of each 0.
TEST(JpegDraw, ColourPictureOnTrueColourScreen) {
    display::ScopedDisplay screen(32);
    TempDir dir;
    std::string path = dir.file("photo.jpg");
    encode_jpeg(photo_bitmap(640, 480), path);
    JpegPicture picture = JpegPicture::read(path);
    ASSERT_EQ(picture.width(), 640);
    ASSERT_EQ(picture.height(), 480);
    Bitmap target = create_screen_bitmap(picture.width(), picture.height());
    picture.draw(target);
    EXPECT_EQ(target.bpp(), 32);
    EXPECT_EQ(target.bits_size(), 1228800u);
    EXPECT_EQ(encode_bmp(target).size(), 1228854u);
    for (int y = 0; y < 480; ++y) {
        for (int x = 0; x < 640; ++x)
            ASSERT_EQ(target.row(y)[x * 4 + 3], 0) << x << "," << y;
    }
    ReferenceImage expected = reference_decode(read_bytes(path));
    EXPECT_EQ(rgb_of(target), expected.pixels);
}

// ---------------------------------------------------------------------------
// Encoding

TEST(JpegEncode, EmptyBitmapGivesNoBytes) {
    TempDir dir;
    const Bitmap empties[] = {Bitmap(), Bitmap(0, 7, 24), Bitmap(9, 0, 32)};
    for (const Bitmap& empty : empties) {
        EXPECT_TRUE(encode_jpeg(empty).empty());
        // Also replaces an existing file with an empty one.
        std::string path = dir.write("out.jpg", std::string("old content"));
        encode_jpeg(empty, path);
        EXPECT_TRUE(std::filesystem::exists(path));
        EXPECT_EQ(std::filesystem::file_size(path), 0u);
    }
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"out.jpg"});
}

// Reads the marker segments of a JPEG file up to its first scan.
struct Segment {
    std::uint8_t marker;
    std::vector<std::uint8_t> body;
};

std::vector<Segment> segments_of(const std::vector<std::uint8_t>& data) {
    std::vector<Segment> segments;
    std::size_t at = 2;
    while (at + 4 <= data.size() && data[at] == 0xFF) {
        std::uint8_t marker = data[at + 1];
        std::size_t length = std::size_t{data[at + 2]} << 8 | data[at + 3];
        if (length < 2 || at + 2 + length > data.size())
            break;
        segments.push_back({marker,
                            {data.begin() + static_cast<std::ptrdiff_t>(at + 4),
                             data.begin() + static_cast<std::ptrdiff_t>(at + 2 + length)}});
        if (marker == 0xDA)
            break;
        at += 2 + length;
    }
    return segments;
}

// The library's standard quantisation tables at quality 90 (scale 20%),
// in zigzag order as the file holds them.
std::array<std::uint8_t, 64> quality_90_table(bool chroma) {
    static const unsigned luminance[64] = {
        16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
        14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
        18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
        49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};
    static const unsigned chrominance[64] = {
        17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99, 24, 26, 56, 99, 99, 99,
        99, 99, 47, 66, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
        99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99};
    static const int zigzag[64] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                                   12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                                   35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                                   58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};
    std::array<std::uint8_t, 64> table{};
    for (int k = 0; k < 64; ++k) {
        unsigned base = (chroma ? chrominance : luminance)[zigzag[k]];
        table[k] = static_cast<std::uint8_t>(std::clamp((base * 20 + 50) / 100, 1u, 255u));
    }
    return table;
}

TEST(JpegEncode, OutputIsBaselineJfifOfQuality90) {
    Bitmap bitmap = photo_bitmap(33, 17);
    std::vector<std::uint8_t> data = encode_jpeg(bitmap);
    ASSERT_GT(data.size(), 4u);
    EXPECT_EQ(data[0], 0xFF);
    EXPECT_EQ(data[1], 0xD8);
    EXPECT_EQ(data[data.size() - 2], 0xFF);
    EXPECT_EQ(data[data.size() - 1], 0xD9);

    std::vector<Segment> segments = segments_of(data);
    ASSERT_GE(segments.size(), 2u);
    std::vector<std::uint8_t> markers;
    for (const Segment& s : segments)
        markers.push_back(s.marker);
    // APP0, two quantisation tables, baseline frame, four Huffman tables, scan;
    // no restart interval, comment, progressive frame or other application marker.
    EXPECT_EQ(markers,
              (std::vector<std::uint8_t>{0xE0, 0xDB, 0xDB, 0xC0, 0xC4, 0xC4, 0xC4, 0xC4, 0xDA}));

    const std::vector<std::uint8_t> jfif = {'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0};
    EXPECT_EQ(segments[0].body, jfif);  // version 1.01, no units, aspect 1:1, no thumbnail

    for (int t = 0; t < 2; ++t) {
        const std::vector<std::uint8_t>& dqt = segments[1 + t].body;
        ASSERT_EQ(dqt.size(), 65u);
        EXPECT_EQ(dqt[0], t);  // 8-bit table number t
        auto expected = quality_90_table(t == 1);
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), dqt.begin() + 1)) << t;
    }

    const std::vector<std::uint8_t> sof = {8, 0, 17, 0, 33, 3, 1, 0x22, 0, 2, 0x11, 1, 3, 0x11, 1};
    EXPECT_EQ(segments[3].body, sof);  // 8 bits, 17 x 33, Y 2x2, Cb and Cr 1x1
    const std::vector<std::uint8_t> sos = {3, 1, 0x00, 2, 0x11, 3, 0x11, 0, 63, 0};
    EXPECT_EQ(segments.back().body, sos);
}

TEST(JpegEncode, SameBytesAsTheLibraryDefaultsForRgb) {
    // Sizes that fill no whole block, and noise large enough to overflow the
    // first output block.
    struct Case {
        int width, height;
        bool noise;
    };
    for (Case c : {Case{1, 1, false}, Case{33, 17, false}, Case{640, 48, false},
                   Case{256, 256, true}, Case{600, 400, true}}) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        Bitmap bitmap = photo_bitmap(c.width, c.height);
        if (c.noise) {
            std::uint32_t state = 12345;
            for (std::size_t i = 0; i < bitmap.bits_size(); ++i) {
                state = state * 1103515245u + 12345u;
                bitmap.bits()[i] = static_cast<std::uint8_t>(state >> 23);
            }
        }
        EXPECT_EQ(encode_jpeg(bitmap), reference_encode(c.width, c.height, rgb_of(bitmap)));
    }
}

// Every depth encodes to the same file as its 24-bit equivalent, whether its
// rows go to the library as they are or converted.
TEST(JpegEncode, EveryDepthGivesTheFileOfIts24BitEquivalent) {
    const int width = 37, height = 21;
    auto paletted = [&](int bpp) {
        Bitmap bitmap(width, height, bpp);
        int colours = 1 << bpp;
        for (int i = 0; i < colours; ++i) {
            bitmap.palette()[i] =
                Rgbq{static_cast<std::uint8_t>(i * 37), static_cast<std::uint8_t>(255 - i),
                     static_cast<std::uint8_t>(i * 11 + 5), 0};
        }
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                int index = (x * 3 + y * 5) % colours;
                int per_byte = 8 / bpp;
                int shift = 8 - bpp * (x % per_byte + 1);
                bitmap.row(y)[x / per_byte] |= static_cast<std::uint8_t>(index << shift);
            }
        }
        return bitmap;
    };
    auto sixteen = [&](ChannelMasks masks) {
        Bitmap bitmap(width, height, 16);
        bitmap.set_masks(masks);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                std::uint16_t v = static_cast<std::uint16_t>(x * 1777 + y * 313);
                bitmap.row(y)[x * 2] = static_cast<std::uint8_t>(v);
                bitmap.row(y)[x * 2 + 1] = static_cast<std::uint8_t>(v >> 8);
            }
        }
        return bitmap;
    };
    auto thirty_two = [&](ChannelMasks masks, bool top_down) {
        Bitmap photo = photo_bitmap(width, height, 32);
        Bitmap bitmap(width, height, 32, top_down);
        bitmap.set_masks(masks);
        for (int y = 0; y < height; ++y) {
            std::memcpy(bitmap.row(y), photo.row(y), width * 4);
            for (int x = 0; x < width; ++x)
                bitmap.row(y)[x * 4 + 3] = static_cast<std::uint8_t>(x * 7);
        }
        return bitmap;
    };
    auto twenty_four_top_down = [&] {
        Bitmap photo = photo_bitmap(width, height, 24);
        Bitmap bitmap(width, height, 24, true);
        for (int y = 0; y < height; ++y)
            std::memcpy(bitmap.row(y), photo.row(y), width * 3);
        return bitmap;
    };
    struct Case {
        const char* what;
        Bitmap bitmap;
    };
    Case cases[] = {
        {"1 bit", paletted(1)},
        {"4 bits", paletted(4)},
        {"8 bits", paletted(8)},
        {"16 bits 5-5-5", sixteen(default_masks(16))},
        {"16 bits 5-6-5", sixteen({0xF800, 0x07E0, 0x001F})},
        {"24 bits", photo_bitmap(width, height, 24)},
        {"24 bits top-down", twenty_four_top_down()},
        {"32 bits, fourth byte set", thirty_two(default_masks(32), false)},
        {"32 bits top-down", thirty_two(default_masks(32), true)},
        {"32 bits, other masks", thirty_two({0x0000FF, 0x00FF00, 0xFF0000}, false)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bitmap plain = as_24_bit(c.bitmap);
        std::vector<std::uint8_t> expected = encode_jpeg(plain);
        EXPECT_EQ(encode_jpeg(c.bitmap), expected);
        EXPECT_EQ(expected, reference_encode(width, height, rgb_of(plain)));
    }
}

TEST(JpegEncode, FileGetsTheSameBytesAndRoundTrips) {
    display::ScopedDisplay screen(32);
    TempDir dir;
    Bitmap bitmap = photo_bitmap(120, 80, 32);
    std::string path = dir.file("out.jpg");
    encode_jpeg(bitmap, path);
    std::vector<std::uint8_t> bytes = read_bytes(path);
    EXPECT_EQ(bytes, encode_jpeg(bitmap));
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"out.jpg"});

    // Decoded again, the picture is close to the original.
    JpegPicture picture(bytes);
    Bitmap target = create_screen_bitmap(120, 80);
    picture.draw(target);
    double error = 0;
    for (int y = 0; y < 80; ++y) {
        for (int x = 0; x < 120 * 4; ++x) {
            if (x % 4 == 3)
                continue;
            error += std::abs(int{target.row(y)[x]} - int{bitmap.row(y)[x]});
        }
    }
    EXPECT_LT(error / (120 * 80 * 3), 8.0);
}

TEST(JpegEncode, NeverOverwritesItsSourceAndReportsUncreatableFiles) {
    TempDir dir;
    std::vector<std::uint8_t> original = read_bytes(data_file("progressive.jpg"));
    std::string source = dir.write("photo.jpg", original);
    Bitmap bitmap = photo_bitmap(16, 16);
    std::string message = failure_of([&] { encode_jpeg(bitmap, source, source); });
    EXPECT_EQ(message.rfind("Cannot create file \"" + source + "\". ", 0), 0u) << message;
    EXPECT_EQ(read_bytes(source), original);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"photo.jpg"});

    std::string missing = dir.file("no such folder/out.jpg");
    message = failure_of([&] { encode_jpeg(bitmap, missing); });
    EXPECT_EQ(message.rfind("Cannot create file \"" + missing + "\". ", 0), 0u) << message;
}

}  // namespace
}  // namespace quillora
