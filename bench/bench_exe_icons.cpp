// Icons inside executables: the resource walk that counts the icon groups,
// and the whole way from the file's bytes to an icon at the screen depth.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "fuzz/hostile_inputs.h"
#include "imaging/bitmap.h"
#include "imaging/exe_icons.h"
#include "imaging/icon_image.h"
#include "imaging/icon_writer.h"
#include "platform/display.h"

namespace quillora {
namespace {

// A PE32 executable whose one icon group holds a 32 x 32 image at 32 bits
// (a device-independent bitmap with its mask).
std::vector<std::uint8_t> sample_executable() {
    IconImage icon;
    icon.colour = Bitmap(32, 32, 32);
    for (int y = 0; y < 32; ++y) {
        std::uint8_t* row = icon.colour.row(y);
        for (std::size_t i = 0; i < icon.colour.stride(); ++i)
            row[i] = static_cast<std::uint8_t>(i * 5 + static_cast<std::size_t>(y) * 3);
    }
    icon.mask = Bitmap(32, 32, 1);
    icon.mask.fill(0);
    icon.mask.palette() = {Rgbq{0, 0, 0, 0}, Rgbq{255, 255, 255, 0}};
    MemoryIconStream stream;
    EncodeIconToStream(stream, icon);
    // The image data follows the icon file's header and its one entry.
    const std::vector<std::uint8_t> image(stream.bytes.begin() + 22, stream.bytes.end());
    return hostile::executable_with_icon(image, 32);
}

void BM_CountExeIcons(benchmark::State& state) {
    const std::vector<std::uint8_t> exe = sample_executable();
    for (auto _ : state)
        benchmark::DoNotOptimize(exe_icons::count_exe_icons(exe));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CountExeIcons);

// The icon of the one group, at each screen depth.
void BM_ExtractExeIcon(benchmark::State& state) {
    display::ScopedDisplay display(static_cast<int>(state.range(0)));
    const std::vector<std::uint8_t> exe = sample_executable();
    for (auto _ : state) {
        auto icon = exe_icons::extract_exe_icon(exe, 0);
        benchmark::DoNotOptimize(icon->colour.bits());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ExtractExeIcon)->Arg(32)->Arg(8);

}  // namespace
}  // namespace quillora
