#include "engine/converters.h"

namespace quillora {

std::string output_stem(const std::string& source, const std::string& output_directory,
                        paths::Convention convention) {
    return paths::with_separator(output_directory, convention) +
           std::string(paths::base_name(source, convention));
}

std::string output_file(Mode mode, const std::string& source, const std::string& output_directory,
                        paths::Convention convention) {
    return output_stem(source, output_directory, convention) +
           std::string(mode_info(mode).output_extension);
}

}  // namespace quillora
