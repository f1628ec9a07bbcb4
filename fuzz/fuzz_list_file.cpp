// Loading an image list file: the profile keys and the paths by line number.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "filelist/list_file.h"
#include "platform/profile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = "/dev/shm/quillora-fuzz-" + std::to_string(::getpid()) + ".lai";
    if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, file);
        std::fclose(file);
    }
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    (void)quillora::profile::read_int(text, "INFO", "Tipo");
    try {
        quillora::filelist::ListFileReader reader(path);
        std::size_t bytes = 0;
        reader.read_paths(
            [](int position) {
                if (position < 0 || position > 100)
                    __builtin_trap();
            },
            [&bytes](std::string_view line) { bytes += line.size(); });
        if (bytes > size)
            __builtin_trap();  // a path is always a piece of the file
    } catch (const quillora::Error&) {
    }
    return 0;
}
