// POSIX programs receive their arguments as bytes, UTF-8 by convention.
#include "arguments.h"

std::vector<std::string> utf8Arguments(int argc, char** argv) {
    return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>{};
}
