// The tessarine command-line tool; every command lives in the tool library.
#include <iostream>
#include <string>
#include <vector>

#include "tessarine/Commands.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    const int status = tess::tool::runTool(args, std::cout, std::cerr);
    std::cout.flush();
    return status;
}
