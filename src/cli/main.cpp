#include <iostream>
#include <string>
#include <vector>

#include "cli/convert_cli.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return quillora::cli::run(args, std::cout, std::cerr);
}
