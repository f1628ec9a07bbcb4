// The information panel's core work for a 24-megapixel photograph (6000 x
// 4000, quality 90): the file facts, the reduced-scale JPEG decode behind
// the thumbnail, and every core step of one panel fill together.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/paths.h"
#include "filelist/file_info.h"
#include "filelist/thumbnail.h"
#include "imaging/bitmap.h"
#include "imaging/jpeg.h"
#include "imaging/jpeg_scaled.h"
#include "imaging/picture_loader.h"
#include "platform/display.h"
#include "platform/files.h"

namespace quillora {
namespace {

constexpr int kPhotoWidth = 6000;
constexpr int kPhotoHeight = 4000;

// Smooth shading with grain and a few hard edges, so the file compresses
// like a photograph (about 9 MB, 3 bits per pixel at quality 90).
Bitmap large_photo() {
    Bitmap bitmap(kPhotoWidth, kPhotoHeight, 24);
    std::uint32_t state = 0x9E3779B9u;
    for (int y = 0; y < kPhotoHeight; ++y) {
        std::uint8_t* p = bitmap.row(y);
        for (int x = 0; x < kPhotoWidth; ++x, p += 3) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            const int noise = static_cast<int>(state & 63) - 32;
            const int grain = static_cast<int>((state >> 8) & 31) - 16;
            const double shade = 0.5 + 0.25 * std::sin(x * 0.0037) * std::cos(y * 0.0051) +
                                 0.2 * std::sin((x + 2 * y) * 0.001);
            int r = static_cast<int>(255 * shade) + noise;
            int g = static_cast<int>(200 * (1 - shade) + 30) + grain;
            int b = static_cast<int>(120 + 100 * std::sin(y * 0.0017)) - noise;
            if (((x / 300) + (y / 200)) % 7 == 0)
                r = g = b = 235 + noise;
            p[0] = static_cast<std::uint8_t>(std::clamp(b, 0, 255));
            p[1] = static_cast<std::uint8_t>(std::clamp(g, 0, 255));
            p[2] = static_cast<std::uint8_t>(std::clamp(r, 0, 255));
        }
    }
    return bitmap;
}

class Scratch {
  public:
    Scratch() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "quillora-bench-filelist-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
        jpeg_ = (path_ / "photo.jpg").string();
        const std::vector<std::uint8_t> data = encode_jpeg(large_photo());
        files::write_file(jpeg_, data.data(), data.size());
    }
    ~Scratch() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::string& jpeg() const { return jpeg_; }

  private:
    std::filesystem::path path_;
    std::string jpeg_;
};

const Scratch& scratch() {
    static const Scratch folder;
    return folder;
}

void BM_ThumbnailSize(benchmark::State& state) {
    int w = 6000;
    for (auto _ : state) {
        benchmark::DoNotOptimize(thumbnail_size(w, 4000));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ThumbnailSize);

void BM_FileSizeAndDate(benchmark::State& state) {
    const std::string& path = scratch().jpeg();
    for (auto _ : state) {
        benchmark::DoNotOptimize(file_size(path));
        benchmark::DoNotOptimize(file_date_time(path));
    }
}
BENCHMARK(BM_FileSizeAndDate)->Unit(benchmark::kMicrosecond);

// The thumbnail's decode: the file's bytes at 1/8 scale (750 x 500).
void BM_DecodeJpegScaled24MP(benchmark::State& state) {
    const std::vector<std::uint8_t> data = files::read_file(scratch().jpeg());
    const display::Size box = thumbnail_size(kPhotoWidth, kPhotoHeight);
    for (auto _ : state) {
        Bitmap bitmap = decode_jpeg_scaled(data, box);
        benchmark::DoNotOptimize(bitmap.bits());
    }
    state.counters["file_MB"] = static_cast<double>(data.size()) / 1e6;
}
BENCHMARK(BM_DecodeJpegScaled24MP)->Unit(benchmark::kMillisecond);

// For comparison: the same file decoded at full size onto a screen bitmap.
void BM_DecodeJpegFull24MP(benchmark::State& state) {
    display::ScopedDisplay screen(32);
    const std::vector<std::uint8_t> data = files::read_file(scratch().jpeg());
    for (auto _ : state) {
        JpegPicture picture(data);
        Bitmap target = create_screen_bitmap(picture.width(), picture.height());
        picture.draw(target);
        benchmark::DoNotOptimize(target.bits());
    }
}
BENCHMARK(BM_DecodeJpegFull24MP)->Unit(benchmark::kMillisecond);

// Every core step of one panel fill, in its order: existence, name, size,
// the picture loaded to measure it, existence again and the date, the
// picture loaded again and decoded for the thumbnail. What the window adds
// (the last smooth scaling to 79 x 53 and the labels) is not in here.
void BM_PanelFillCore24MP(benchmark::State& state) {
    const std::string& path = scratch().jpeg();
    for (auto _ : state) {
        if (!files::exists(path))
            state.SkipWithError("photo missing");
        benchmark::DoNotOptimize(paths::file_name(path));
        benchmark::DoNotOptimize(file_size(path));
        {
            std::unique_ptr<Picture> picture = load_picture(path);
            benchmark::DoNotOptimize(picture->width());
        }
        if (files::exists(path))
            benchmark::DoNotOptimize(file_date_time(path));
        std::unique_ptr<Picture> picture = load_picture(path);
        auto* jpeg = static_cast<JpegPicture*>(picture.get());
        Bitmap bitmap =
            decode_jpeg_scaled(jpeg->data(), thumbnail_size(jpeg->width(), jpeg->height()));
        benchmark::DoNotOptimize(bitmap.bits());
    }
}
BENCHMARK(BM_PanelFillCore24MP)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillora
