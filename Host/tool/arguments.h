// The program's arguments as UTF-8, whatever the platform's own encoding.
#pragma once

#include <string>
#include <vector>

// Arguments after the program name.
std::vector<std::string> utf8Arguments(int argc, char** argv);
