#include <malloc.h>

#include <iostream>
#include <string>
#include <vector>

#include "cli/convert_cli.h"
#include "platform/session.h"

int main(int argc, char** argv) {
    // Keep freed picture buffers in the heap for the next file instead of
    // returning them to the system: touching fresh pages costs more than
    // clearing reused ones, and every file needs buffers of similar sizes.
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 512 * 1024 * 1024);
    std::vector<std::string> args(argv + 1, argv + argc);
    return quillora::cli::run(args, std::cout, std::cerr,
                              quillora::session::standard_error_is_terminal());
}
