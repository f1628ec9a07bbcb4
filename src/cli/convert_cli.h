// The headless converter: argument parsing and the conversion of a list of files.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace quillora::cli {

// Runs quillora-convert with its arguments (without the program name);
// messages go to `out` and `err`. Returns the exit status.
int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
// The same, saying whether `err` is a terminal (progress is then shown in
// one line rewritten in place).
int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
        bool err_is_terminal);

}  // namespace quillora::cli
