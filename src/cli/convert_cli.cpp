#include "cli/convert_cli.h"

#include <ostream>

namespace quillora::cli {

int run(const std::vector<std::string>&, std::ostream&, std::ostream& err) {
    err << "quillora-convert: not built yet\n";
    return 2;
}

}  // namespace quillora::cli
