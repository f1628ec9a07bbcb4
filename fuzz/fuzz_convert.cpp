// Runs each of the four converters on the input, as a file, at each screen
// depth, writing into a temporary folder: the whole road a user's file takes,
// drawing onto 32, 24, 16 and 8-bit screen bitmaps and writing BMP and JPEG
// files. The conversions take their memory from a small budget of their own,
// so headers that claim huge pictures are not skipped: they are reached and
// refused by the bound the program applies, without the time or memory a
// 2 GiB picture would cost. Failures must come out as quillora::Error,
// nothing else.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "engine/converters.h"
#include "engine/memory_budget.h"
#include "engine/modes.h"
#include "platform/display.h"
#include "platform/error.h"
#include "platform/files.h"

namespace {

constexpr std::uint64_t kBudgetBytes = std::uint64_t{32} << 20;

// The folder of the input file and the outputs, removed at exit.
class Scratch {
  public:
    Scratch() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "quillora-fuzz-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("mkdtemp failed");
        folder_ = pattern;
    }
    ~Scratch() {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    const std::string& folder() const noexcept { return folder_; }

  private:
    std::string folder_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quillora;
    static const Scratch scratch;
    static MemoryBudget budget(kBudgetBytes, 0);
    const std::string source = scratch.folder() + "/input";
    files::write_file(source, data, size);
    for (int depth : {32, 24, 16, 8}) {
        display::ScopedDisplay screen(depth);
        for (Mode mode : {Mode::BmpToJpeg, Mode::JpegToBmp, Mode::IcoToBmp, Mode::IcoToJpeg}) {
            try {
                convert_file(mode, source, scratch.folder() + "/output", budget);
            } catch (const Error&) {
            }
        }
    }
    return 0;
}
