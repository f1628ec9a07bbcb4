// The corpus maker: writes the hostile files of fuzz/hostile_inputs.h that
// suit a fuzz target into a folder, as starting inputs beside the target's
// kept corpus.
//   make_corpus TARGET FOLDER     (TARGET: the name after "fuzz_")
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "fuzz/hostile_inputs.h"

namespace {

using namespace quillora::hostile;
using Maker = std::function<Bytes()>;
using Files = std::vector<std::pair<const char*, Maker>>;

Files jpeg_files() {
    return {
        {"scan_bomb_8000_10000_scans.jpg", [] { return scan_bomb_jpeg(8000, 8000, 10000); }},
        {"scan_bomb_256_501_scans.jpg", [] { return scan_bomb_jpeg(256, 256, 501); }},
        {"scans_64_500.jpg", [] { return scan_bomb_jpeg(64, 64, 500); }},
        {"cut_progressive_colour_bomb.jpg",
         [] { return truncated_jpeg(kBombSide, kBombSide, 3, true); }},
        {"cut_progressive_grey_bomb.jpg",
         [] { return truncated_jpeg(kBombSide, kBombSide, 1, true); }},
        {"cut_baseline_colour_bomb.jpg",
         [] { return truncated_jpeg(kBombSide, kBombSide, 3, false); }},
        {"cut_progressive_small.jpg", [] { return truncated_jpeg(64, 48, 3, true); }},
    };
}

Files bmp_files() {
    return {
        {"headers_2gib.bmp", [] { return headers_only_bmp(16384, 32768, 32); }},
        {"headers_over_2gib.bmp", [] { return headers_only_bmp(kBombSide, kBombSide + 2, 32); }},
        {"headers_small.bmp", [] { return headers_only_bmp(64, 48, 24); }},
    };
}

Files icon_files() {
    return {
        {"png_bomb.ico", [] { return icon_file(blank_png(kBombSide, kBombSide, 1)); }},
        {"png_1025.ico", [] { return icon_file(blank_png(1025, 1, 8)); }},
        {"png_small.ico", [] { return icon_file(blank_png(32, 32, 8), 32); }},
        {"png_256.ico", [] { return icon_file(blank_png(256, 256, 8)); }},
        {"png_picture.ico", [] { return blank_png(194, 313, 8); }},
        {"png_picture_bomb.ico", [] { return blank_png(kBombSide, kBombSide, 1); }},
        {"mask_left_out.ico", [] { return icon_file(icon_image_32(48, 48, false), 48); }},
        {"ties_4096.ico", [] { return icon_file_of_ties(icon_image_32(32, 32, true), 4096); }},
    };
}

Files exe_files() {
    return {
        {"png_bomb.exe", [] { return executable_with_icon(blank_png(kBombSide, kBombSide, 1)); }},
        {"png_small.exe", [] { return executable_with_icon(blank_png(32, 32, 8), 32); }},
        {"png_wide.exe", [] { return executable_with_icon(blank_png(256, 64, 8), 0); }},
        {"ties_100.exe",
         [] {
             return executable_with_icons(
                 std::vector<GroupImage>(100, GroupImage{icon_image_32(1, 1, true), 32, 0, 0}));
         }},
    };
}

Files files_for(const std::string& target) {
    if (target == "read_jpeg" || target == "jpeg_scaled")
        return jpeg_files();
    if (target == "read_bmp")
        return bmp_files();
    if (target == "read_ico")
        return icon_files();
    if (target == "exe_icons")
        return exe_files();
    if (target == "convert") {
        Files all = jpeg_files();
        for (Files more : {bmp_files(), icon_files()})
            all.insert(all.end(), more.begin(), more.end());
        return all;
    }
    return {};
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_corpus TARGET FOLDER\n");
        return 2;
    }
    for (const auto& [name, make] : files_for(argv[1])) {
        const Bytes bytes = make();
        const std::string path = std::string(argv[2]) + "/" + name;
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        if (!out) {
            std::fprintf(stderr, "make_corpus: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
