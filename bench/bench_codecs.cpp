// Codec throughput at 1920 x 1080 on photo-like content, in megapixels per
// second: reading and writing BMP files, decoding a JPEG into a screen
// bitmap, encoding a JPEG. And 24-megapixel camera photos converted to BMP
// as they come: untagged, with an Adobe RGB profile, turned by their EXIF
// orientation.
#include <benchmark/benchmark.h>
#include <unistd.h>

// clang-format off
#include <cstddef>
#include <cstdio>
#include <jpeglib.h>
// clang-format on
#include <lcms2.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/converters.h"
#include "imaging/bitmap.h"
#include "imaging/bmp.h"
#include "imaging/jpeg.h"
#include "platform/display.h"
#include "platform/files.h"

namespace quillora {
namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

// A picture that compresses like a photograph: smooth gradients and shading,
// fine noise and a few hard edges.
Bitmap photo(int bpp, int width = kWidth, int height = kHeight) {
    Bitmap bitmap(width, height, bpp);
    std::uint32_t state = 0x2545F491u;
    const int bytes = bpp / 8;
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = bitmap.row(y);
        for (int x = 0; x < width; ++x) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            int noise = static_cast<int>(state & 31) - 16;
            int grain = static_cast<int>(state >> 27) - 16;
            double shade = 0.5 + 0.25 * std::sin(x * 0.011) * std::cos(y * 0.017) +
                           0.2 * std::sin((x + 2 * y) * 0.003);
            bool stripe = ((x / 96) + (y / 64)) % 7 == 0;
            bool disc = (x - 1200) * (x - 1200) + (y - 500) * (y - 500) < 300 * 300;
            int r = static_cast<int>(255 * shade) + noise;
            int g = static_cast<int>(200 * (1 - shade) + 30) + grain;
            int b = static_cast<int>(120 + 100 * std::sin(y * 0.005)) - noise;
            if (stripe)
                r = g = b = 235 + noise;
            if (disc) {
                r = r / 3 + 150;
                g /= 2;
            }
            std::uint8_t* p = row + x * bytes;
            p[0] = static_cast<std::uint8_t>(std::clamp(b, 0, 255));
            p[1] = static_cast<std::uint8_t>(std::clamp(g, 0, 255));
            p[2] = static_cast<std::uint8_t>(std::clamp(r, 0, 255));
            if (bytes == 4)
                p[3] = 0;
        }
    }
    return bitmap;
}

// A folder for the files the benchmarks read and write, removed at exit.
class Scratch {
  public:
    Scratch() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "quillora-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~Scratch() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
};

Scratch& scratch() {
    static Scratch folder;
    return folder;
}

void count_pixels(benchmark::State& state) {
    state.counters["MP/s"] =
        benchmark::Counter(kWidth * kHeight / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

// The depth of a screen bitmap, or of a BMP file as image tools write them.
void depths(benchmark::internal::Benchmark* b) {
    b->Arg(32)->Arg(24);
}

void BM_ReadBmp(benchmark::State& state) {
    const int bpp = static_cast<int>(state.range(0));
    std::string path = scratch().file("read" + std::to_string(bpp) + ".bmp");
    write_bmp(photo(bpp), path);
    for (auto _ : state) {
        Bitmap bitmap = read_bmp(path);
        benchmark::DoNotOptimize(bitmap.bits());
    }
    count_pixels(state);
}
BENCHMARK(BM_ReadBmp)->Apply(depths)->Unit(benchmark::kMillisecond);

void BM_WriteBmp(benchmark::State& state) {
    const int bpp = static_cast<int>(state.range(0));
    Bitmap bitmap = photo(bpp);
    std::string path = scratch().file("write" + std::to_string(bpp) + ".bmp");
    for (auto _ : state)
        write_bmp(bitmap, path);
    count_pixels(state);
}
BENCHMARK(BM_WriteBmp)->Apply(depths)->Unit(benchmark::kMillisecond);

const std::vector<std::uint8_t>& photo_jpeg() {
    static const std::vector<std::uint8_t> data = encode_jpeg(photo(24));
    return data;
}

// What the JPEG-to-BMP converter does with the file's bytes: read the header,
// make a white screen bitmap of the picture's size, draw the picture on it.
void BM_DecodeJpegToScreen(benchmark::State& state) {
    display::ScopedDisplay screen(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        JpegPicture picture(photo_jpeg());
        Bitmap target = create_screen_bitmap(picture.width(), picture.height());
        picture.draw(target);
        benchmark::DoNotOptimize(target.bits());
    }
    count_pixels(state);
    state.counters["bytes"] = static_cast<double>(photo_jpeg().size());
}
BENCHMARK(BM_DecodeJpegToScreen)->Apply(depths)->Arg(16)->Unit(benchmark::kMillisecond);

// Decoding into the picture's own bitmap and drawing that, for comparison
// with the straight decode above.
void BM_DecodeJpegThenDraw(benchmark::State& state) {
    display::ScopedDisplay screen(32);
    for (auto _ : state) {
        JpegPicture picture(photo_jpeg());
        Bitmap target = create_screen_bitmap(picture.width(), picture.height());
        draw(picture.decoded(), target);
        benchmark::DoNotOptimize(target.bits());
    }
    count_pixels(state);
}
BENCHMARK(BM_DecodeJpegThenDraw)->Unit(benchmark::kMillisecond);

// Encoding a bitmap of the given depth in memory (32: a screen bitmap, 24: a
// BMP file as image tools write it, 16: rows converted one at a time).
void BM_EncodeJpeg(benchmark::State& state) {
    Bitmap bitmap =
        photo(static_cast<int>(state.range(0)) == 16 ? 24 : static_cast<int>(state.range(0)));
    if (state.range(0) == 16) {
        Bitmap sixteen(kWidth, kHeight, 16);
        display::ScopedDisplay screen(16);
        draw(bitmap, sixteen);
        bitmap = std::move(sixteen);
    }
    std::size_t size = 0;
    for (auto _ : state) {
        std::vector<std::uint8_t> data = encode_jpeg(bitmap);
        size = data.size();
        benchmark::DoNotOptimize(data.data());
    }
    count_pixels(state);
    state.counters["bytes"] = static_cast<double>(size);
}
BENCHMARK(BM_EncodeJpeg)->Apply(depths)->Arg(16)->Unit(benchmark::kMillisecond);

// Encoding straight into a file, as the BMP-to-JPEG converter does.
void BM_EncodeJpegFile(benchmark::State& state) {
    Bitmap bitmap = photo(static_cast<int>(state.range(0)));
    std::string path = scratch().file("encode.jpg");
    for (auto _ : state)
        encode_jpeg(bitmap, path);
    count_pixels(state);
}
BENCHMARK(BM_EncodeJpegFile)->Apply(depths)->Unit(benchmark::kMillisecond);

// Whole conversions, file to file, as quillora-convert runs them: the 24-bit
// BMP of an image tool to JPEG, and that JPEG to a 32-bit BMP.
void BM_ConvertBmpToJpeg(benchmark::State& state) {
    display::ScopedDisplay screen(32);
    std::string source = scratch().file("convert-source.bmp");
    write_bmp(photo(24), source);
    std::string stem = scratch().file("converted");
    for (auto _ : state)
        convert_bmp_to_jpeg(source, stem);
    count_pixels(state);
}
BENCHMARK(BM_ConvertBmpToJpeg)->Unit(benchmark::kMillisecond);

void BM_ConvertJpegToBmp(benchmark::State& state) {
    display::ScopedDisplay screen(32);
    std::string source = scratch().file("convert-source.jpg");
    files::write_file(source, photo_jpeg().data(), photo_jpeg().size());
    std::string stem = scratch().file("converted");
    for (auto _ : state)
        convert_jpeg_to_bmp(source, stem);
    count_pixels(state);
}
BENCHMARK(BM_ConvertJpegToBmp)->Unit(benchmark::kMillisecond);

// A camera's 24-megapixel photo (6000 x 4000) as it comes: 0 untagged, 1
// with an Adobe RGB profile, 2 with EXIF orientation 6 (a portrait photo),
// converted to a 32-bit BMP. The ratios of 1 and 2 to 0 are what colour
// management and turning cost.
constexpr int kPhotoWidth = 6000;
constexpr int kPhotoHeight = 4000;

// Adobe RGB (1998): its primaries, D65 white and gamma 563/256, as cameras
// embed it.
std::vector<std::uint8_t> adobe_rgb_profile() {
    const cmsCIExyY white = {0.3127, 0.3290, 1.0};
    const cmsCIExyYTRIPLE primaries = {{0.64, 0.33, 1.0}, {0.21, 0.71, 1.0}, {0.15, 0.06, 1.0}};
    cmsToneCurve* gamma = cmsBuildGamma(nullptr, 563.0 / 256.0);
    cmsToneCurve* curves[3] = {gamma, gamma, gamma};
    cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsUInt32Number size = 0;
    cmsSaveProfileToMem(profile, nullptr, &size);
    std::vector<std::uint8_t> bytes(size);
    cmsSaveProfileToMem(profile, bytes.data(), &size);
    cmsCloseProfile(profile);
    cmsFreeToneCurve(gamma);
    return bytes;
}

// `jpeg` with a marker segment right after its start-of-image marker.
std::vector<std::uint8_t> with_segment(const std::vector<std::uint8_t>& jpeg, std::uint8_t code,
                                       const std::string& name,
                                       const std::vector<std::uint8_t>& body) {
    const std::size_t length = 2 + name.size() + body.size();
    std::vector<std::uint8_t> out(jpeg.size() + 2 + length);
    const std::uint8_t marker[] = {0xFF,
                                   0xD8,
                                   0xFF,
                                   code,
                                   static_cast<std::uint8_t>(length >> 8),
                                   static_cast<std::uint8_t>(length)};
    auto at = std::copy(std::begin(marker), std::end(marker), out.begin());
    at = std::copy(name.begin(), name.end(), at);
    at = std::copy(body.begin(), body.end(), at);
    std::copy(jpeg.begin() + 2, jpeg.end(), at);
    return out;
}

void BM_ConvertCameraPhoto(benchmark::State& state) {
    display::ScopedDisplay screen(32);
    static const std::vector<std::uint8_t> plain =
        encode_jpeg(photo(24, kPhotoWidth, kPhotoHeight));
    std::vector<std::uint8_t> file = plain;
    if (state.range(0) == 1) {
        std::vector<std::uint8_t> chunk = {1, 1};
        const std::vector<std::uint8_t> profile = adobe_rgb_profile();
        chunk.insert(chunk.end(), profile.begin(), profile.end());
        file = with_segment(plain, 0xE2, std::string("ICC_PROFILE\0", 12), chunk);
    } else if (state.range(0) == 2) {
        // Little-endian TIFF header, IFD0 of one entry: orientation 6.
        const std::vector<std::uint8_t> tiff = {'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0, 0x12, 0x01, 3,
                                                0,   1,   0,  0, 0, 6, 0, 0, 0, 0, 0,    0,    0};
        file = with_segment(plain, 0xE1, std::string("Exif\0\0", 6), tiff);
    }
    std::string source = scratch().file("camera.jpg");
    files::write_file(source, file.data(), file.size());
    std::string stem = scratch().file("camera");
    for (auto _ : state)
        convert_jpeg_to_bmp(source, stem);
    state.counters["MP/s"] = benchmark::Counter(kPhotoWidth * kPhotoHeight / 1e6,
                                                benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_ConvertCameraPhoto)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->UseRealTime();

// The codec's own limit, for comparison: libjpeg decoding the same file
// into a buffer it may keep between runs (no bitmap to create or fill), and
// encoding from one.
void BM_LibjpegDecodeLimit(benchmark::State& state) {
    const std::vector<std::uint8_t>& data = photo_jpeg();
    std::vector<std::uint8_t> pixels(std::size_t{kWidth} * kHeight * 4);
    for (auto _ : state) {
        jpeg_decompress_struct cinfo{};
        jpeg_error_mgr err{};
        cinfo.err = jpeg_std_error(&err);
        jpeg_create_decompress(&cinfo);
        jpeg_mem_src(&cinfo, data.data(), static_cast<unsigned long>(data.size()));
        jpeg_read_header(&cinfo, TRUE);
        cinfo.out_color_space = JCS_EXT_BGRX;
        jpeg_start_decompress(&cinfo);
        while (cinfo.output_scanline < cinfo.output_height) {
            JSAMPROW row = pixels.data() + std::size_t{cinfo.output_scanline} * kWidth * 4;
            jpeg_read_scanlines(&cinfo, &row, 1);
        }
        jpeg_finish_decompress(&cinfo);
        jpeg_destroy_decompress(&cinfo);
        benchmark::DoNotOptimize(pixels.data());
    }
    count_pixels(state);
}
BENCHMARK(BM_LibjpegDecodeLimit)->Unit(benchmark::kMillisecond);

void BM_LibjpegEncodeLimit(benchmark::State& state) {
    Bitmap bitmap = photo(32);
    std::vector<std::uint8_t> out(std::size_t{kWidth} * kHeight * 4);
    for (auto _ : state) {
        jpeg_compress_struct cinfo{};
        jpeg_error_mgr err{};
        cinfo.err = jpeg_std_error(&err);
        jpeg_create_compress(&cinfo);
        unsigned char* buffer = out.data();
        unsigned long size = static_cast<unsigned long>(out.size());
        jpeg_mem_dest(&cinfo, &buffer, &size);
        cinfo.image_width = kWidth;
        cinfo.image_height = kHeight;
        cinfo.input_components = 4;
        cinfo.in_color_space = JCS_EXT_BGRX;
        jpeg_set_defaults(&cinfo);
        jpeg_set_quality(&cinfo, 90, TRUE);
        jpeg_start_compress(&cinfo, TRUE);
        while (cinfo.next_scanline < cinfo.image_height) {
            JSAMPROW row = bitmap.row(static_cast<int>(cinfo.next_scanline));
            jpeg_write_scanlines(&cinfo, &row, 1);
        }
        jpeg_finish_compress(&cinfo);
        jpeg_destroy_compress(&cinfo);
        benchmark::DoNotOptimize(buffer);
    }
    count_pixels(state);
}
BENCHMARK(BM_LibjpegEncodeLimit)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillora
