// The plainest fast program doing the converter's work, as a yardstick for
// bench/compare.sh: no checks beyond what libjpeg-turbo does, no temporary
// files, one file at a time.
//
//   plain_convert jpg-bmp OUTDIR FILE...  decode each JPEG straight into the
//       rows of a 32-bit bottom-up BMP buffer and write it with one write()
//   plain_convert bmp-jpg OUTDIR FILE...  read each 24-bit bottom-up BMP whole
//       and encode it (quality 90, baseline) straight from its rows
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

// After <cstdio>: the library's header needs FILE.
#include <jpeglib.h>

namespace {

std::vector<unsigned char> slurp(const char* path) {
    std::vector<unsigned char> data;
    const int fd = ::open(path, O_RDONLY);
    struct stat st;
    if (fd < 0 || ::fstat(fd, &st) != 0)
        return data;
    data.resize(static_cast<std::size_t>(st.st_size));
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::read(fd, data.data() + done, data.size() - done);
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    data.resize(done);
    return data;
}

bool spill(const std::string& path, const unsigned char* data, std::size_t n) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, data, n) == static_cast<ssize_t>(n);
    return ::close(fd) == 0 && ok;
}

void put32(unsigned char* at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<unsigned char>(v >> (8 * i));
}

std::string stem(const std::string& out, const char* path) {
    std::string name = path;
    name = name.substr(name.find_last_of('/') + 1);
    return out + "/" + name.substr(0, name.find_last_of('.'));
}

bool jpeg_to_bmp(const std::string& out, const char* path) {
    const std::vector<unsigned char> jpeg = slurp(path);
    jpeg_decompress_struct d;
    jpeg_error_mgr err;
    d.err = jpeg_std_error(&err);
    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, jpeg.data(), jpeg.size());
    jpeg_read_header(&d, TRUE);
    d.out_color_space = JCS_EXT_BGRX;
    jpeg_start_decompress(&d);
    const std::size_t w = d.output_width, h = d.output_height, stride = w * 4;
    std::vector<unsigned char> file(54 + stride * h);
    unsigned char* header = file.data();
    header[0] = 'B';
    header[1] = 'M';
    put32(header + 2, static_cast<std::uint32_t>(file.size()));
    put32(header + 10, 54);
    put32(header + 14, 40);
    put32(header + 18, static_cast<std::uint32_t>(w));
    put32(header + 22, static_cast<std::uint32_t>(h));
    header[26] = 1;
    header[28] = 32;
    while (d.output_scanline < h) {
        JSAMPROW row = file.data() + 54 + stride * (h - 1 - d.output_scanline);
        jpeg_read_scanlines(&d, &row, 1);
    }
    jpeg_finish_decompress(&d);
    jpeg_destroy_decompress(&d);
    return spill(stem(out, path) + ".bmp", file.data(), file.size());
}

bool bmp_to_jpeg(const std::string& out, const char* path) {
    const std::vector<unsigned char> bmp = slurp(path);
    if (bmp.size() < 54)
        return false;
    auto get32 = [&](std::size_t at) {
        return std::uint32_t{bmp[at]} | std::uint32_t{bmp[at + 1]} << 8 |
               std::uint32_t{bmp[at + 2]} << 16 | std::uint32_t{bmp[at + 3]} << 24;
    };
    const std::size_t offset = get32(10), w = get32(18), h = get32(22);
    const std::size_t stride = (w * 3 + 3) & ~std::size_t{3};
    if (bmp[28] != 24 || offset + stride * h > bmp.size())
        return false;
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* encoded = nullptr;
    unsigned long encoded_size = 0;
    jpeg_mem_dest(&c, &encoded, &encoded_size);
    c.image_width = static_cast<JDIMENSION>(w);
    c.image_height = static_cast<JDIMENSION>(h);
    c.input_components = 3;
    c.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 90, TRUE);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < h) {
        JSAMPROW row =
            const_cast<unsigned char*>(bmp.data() + offset + stride * (h - 1 - c.next_scanline));
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    const bool ok = spill(stem(out, path) + ".jpg", encoded, encoded_size);
    jpeg_destroy_compress(&c);
    std::free(encoded);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 ||
        (std::strcmp(argv[1], "jpg-bmp") != 0 && std::strcmp(argv[1], "bmp-jpg") != 0)) {
        std::fprintf(stderr, "usage: plain_convert jpg-bmp|bmp-jpg OUTDIR FILE...\n");
        return 2;
    }
    const bool to_bmp = std::strcmp(argv[1], "jpg-bmp") == 0;
    int failed = 0;
    for (int i = 3; i < argc; ++i) {
        if (!(to_bmp ? jpeg_to_bmp(argv[2], argv[i]) : bmp_to_jpeg(argv[2], argv[i]))) {
            std::fprintf(stderr, "plain_convert: %s failed\n", argv[i]);
            failed = 1;
        }
    }
    return failed;
}
