// The per-file converters: one source file into one output file.
#pragma once

#include <string>

#include "engine/memory_budget.h"
#include "engine/modes.h"
#include "engine/paths.h"

namespace quillora {

enum class ConvertResult {
    Converted,  // the output file was written
    Skipped,    // the source does not exist (BMP and JPEG sources only)
};

// The output stem: the output directory with its separator, then the base
// name of the source.
std::string output_stem(const std::string& source, const std::string& output_directory,
                        paths::Convention convention = paths::kHost);

// The file a conversion writes: the stem plus the mode's extension.
std::string output_file(Mode mode, const std::string& source, const std::string& output_directory,
                        paths::Convention convention = paths::kHost);

// Each converter reads `source` in its mode's source format, whatever its
// extension, and writes stem + the mode's extension. Failures are raised as
// quillora::Error; an output is only ever replaced by a complete file.
//
// Before it decodes anything a converter works out from the headers what it
// will hold (the file's bytes, the bitmaps, the decoder's and the encoder's
// buffers) and takes that from `budget`, which the conversions running at
// once share: more than 2 GiB fails with "Out of system resources"; a
// conversion that does not fit beside the others yet waits (MemoryBudget).
ConvertResult convert_bmp_to_jpeg(const std::string& source, const std::string& stem,
                                  MemoryBudget& budget = MemoryBudget::shared());
ConvertResult convert_jpeg_to_bmp(const std::string& source, const std::string& stem,
                                  MemoryBudget& budget = MemoryBudget::shared());
ConvertResult convert_ico_to_bmp(const std::string& source, const std::string& stem,
                                 MemoryBudget& budget = MemoryBudget::shared());
ConvertResult convert_ico_to_jpeg(const std::string& source, const std::string& stem,
                                  MemoryBudget& budget = MemoryBudget::shared());

// The converter of a mode.
ConvertResult convert_file(Mode mode, const std::string& source, const std::string& stem,
                           MemoryBudget& budget = MemoryBudget::shared());

}  // namespace quillora
