// Hostile files: how long the program takes to refuse them. The JPEG of
// 8000 x 8000 pixels and 10,000 nearly empty scans (970 KB) must fail in
// well under a second, converted as a file, decoded in memory, or decoded at
// a reduced scale for the information panel.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "engine/converters.h"
#include "fuzz/hostile_inputs.h"
#include "imaging/jpeg.h"
#include "imaging/jpeg_scaled.h"
#include "platform/display.h"
#include "platform/error.h"

namespace quillora {
namespace {

const hostile::Bytes& scan_bomb() {
    static const hostile::Bytes bytes = hostile::scan_bomb_jpeg(8000, 8000, 10000);
    return bytes;
}

// Runs `f`, which must fail with "JPEG error #16".
template <class F>
void expect_scan_limit(benchmark::State& state, F&& f) {
    try {
        f();
    } catch (const Error& e) {
        if (std::string(e.what()) == "JPEG error #16")
            return;
        state.SkipWithError(e.what());
        return;
    }
    state.SkipWithError("the scan bomb was not refused");
}

void BM_ScanBombConverted(benchmark::State& state) {
    display::ScopedDisplay screen(32);
    std::string folder =
        (std::filesystem::temp_directory_path() / "quillora-bench-XXXXXX").string();
    if (::mkdtemp(folder.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    const std::string source = folder + "/scans.jpg";
    std::ofstream(source, std::ios::binary)
        .write(reinterpret_cast<const char*>(scan_bomb().data()),
               static_cast<std::streamsize>(scan_bomb().size()));
    for (auto _ : state)
        expect_scan_limit(state, [&] { convert_jpeg_to_bmp(source, folder + "/scans"); });
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_ScanBombConverted)->Unit(benchmark::kMillisecond);

void BM_ScanBombDecoded(benchmark::State& state) {
    display::ScopedDisplay screen(32);
    for (auto _ : state) {
        expect_scan_limit(state, [] {
            JpegPicture picture(scan_bomb());
            picture.decoded();
        });
    }
}
BENCHMARK(BM_ScanBombDecoded)->Unit(benchmark::kMillisecond);

void BM_ScanBombThumbnail(benchmark::State& state) {
    for (auto _ : state)
        expect_scan_limit(state, [] { decode_jpeg_scaled(scan_bomb(), {91, 53}); });
}
BENCHMARK(BM_ScanBombThumbnail)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillora
