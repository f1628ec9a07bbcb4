// The headless converter: argument parsing and the conversion of a list of files.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace quillora::cli {

// Runs quillora-convert with its arguments (without the program name);
// messages go to `out` and `err`. Returns the exit status.
int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace quillora::cli
