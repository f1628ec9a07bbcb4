// The small-picture paths, where header parsing weighs most: reading small
// BMP files from memory, decoding icon images and writing icon files; and the
// reduction of a 256 x 256 icon image to the system icon size.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "imaging/bitmap.h"
#include "imaging/bmp.h"
#include "imaging/ico.h"
#include "imaging/icon_image.h"
#include "imaging/icon_writer.h"
#include "platform/files.h"

namespace quillora {
namespace {

// An icon of `side` x `side` pixels at `bpp` bits with a colour table for
// palette depths, a shaded picture and a mask with a hole in the middle.
IconImage sample_icon(int side, int bpp) {
    IconImage icon;
    icon.colour = Bitmap(side, side, bpp);
    icon.colour.fill(0);
    if (bpp <= 8) {
        icon.colour.palette().resize(std::size_t{1} << bpp);
        for (std::size_t i = 0; i < icon.colour.palette().size(); ++i) {
            const auto v = static_cast<std::uint8_t>(i * 255 / icon.colour.palette().size());
            icon.colour.palette()[i] = Rgbq{v, static_cast<std::uint8_t>(255 - v), v, 0};
        }
    }
    for (int y = 0; y < side; ++y) {
        std::uint8_t* row = icon.colour.row(y);
        for (std::size_t i = 0; i < icon.colour.stride(); ++i)
            row[i] = static_cast<std::uint8_t>(i * 7 + static_cast<std::size_t>(y) * 3);
    }
    icon.mask = Bitmap(side, side, 1);
    icon.mask.fill(0);
    icon.mask.palette() = {Rgbq{0, 0, 0, 0}, Rgbq{255, 255, 255, 0}};
    for (int y = side / 4; y < side * 3 / 4; ++y)
        icon.mask.row(y)[0] = 0xF0;
    return icon;
}

std::vector<std::uint8_t> icon_file(int side, int bpp) {
    MemoryIconStream stream;
    EncodeIconToStream(stream, sample_icon(side, bpp));
    return stream.bytes;
}

// 32 x 32 BMP files at each depth, read from memory.
void BM_ReadSmallBmp(benchmark::State& state) {
    const int bpp = static_cast<int>(state.range(0));
    const std::vector<std::uint8_t> file = encode_bmp(sample_icon(32, bpp).colour);
    for (auto _ : state) {
        files::MemoryReader in(file.data(), file.size());
        Bitmap bitmap = read_bmp(in);
        benchmark::DoNotOptimize(bitmap.bits());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ReadSmallBmp)->Arg(4)->Arg(8)->Arg(32);

// An icon file's directory read, its image chosen, decoded and drawn onto a
// 32-bit screen bitmap.
void BM_DrawIconFile(benchmark::State& state) {
    const int side = static_cast<int>(state.range(0));
    const std::vector<std::uint8_t> file = icon_file(side, 32);
    Bitmap target(32, 32, 32);
    for (auto _ : state) {
        IconPicture picture(file);
        picture.draw(target);
        benchmark::DoNotOptimize(target.bits());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DrawIconFile)->Arg(32)->Arg(256);

// A decoded 256 x 256 image drawn on a 32 x 32 screen bitmap: reduced by
// area averaging as it is drawn, at 32 and 8 bits per pixel.
void BM_DrawReducedIcon(benchmark::State& state) {
    const IconImage icon = sample_icon(256, static_cast<int>(state.range(0)));
    Bitmap target = create_screen_bitmap(32, 32, 32);
    for (auto _ : state) {
        draw_icon(icon, target);
        benchmark::DoNotOptimize(target.bits());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DrawReducedIcon)->Arg(32)->Arg(8);

// Icon images decoded from memory, at each depth.
void BM_DecodeIconImage(benchmark::State& state) {
    const int bpp = static_cast<int>(state.range(0));
    const std::vector<std::uint8_t> file = icon_file(48, bpp);
    const std::span<const std::uint8_t> image(file.data() + 22, file.size() - 22);
    for (auto _ : state) {
        IconImage icon = decode_icon_image(image);
        benchmark::DoNotOptimize(icon.colour.bits());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DecodeIconImage)->Arg(4)->Arg(8)->Arg(32);

// A 48 x 48 icon written as an icon file in memory.
void BM_EncodeIcon(benchmark::State& state) {
    const int bpp = static_cast<int>(state.range(0));
    const IconImage icon = sample_icon(48, bpp);
    for (auto _ : state) {
        MemoryIconStream stream;
        EncodeIconToStream(stream, icon);
        benchmark::DoNotOptimize(stream.bytes.data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EncodeIcon)->Arg(8)->Arg(32);

}  // namespace
}  // namespace quillora
