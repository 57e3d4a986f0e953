// The program's arguments as UTF-8, whatever the platform's own encoding.
#ifndef ORVALIS_HOST_TOOL_ARGUMENTS_H
#define ORVALIS_HOST_TOOL_ARGUMENTS_H

#include <string>
#include <vector>

// Arguments after the program name.
std::vector<std::string> utf8Arguments(int argc, char** argv);

#endif
