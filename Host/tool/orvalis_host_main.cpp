// orvalis-host: the command-line OpenFX host.
#include <iostream>
#include <string>
#include <vector>

#include "ofxhost/cli.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return ofxhost::runCommandLine(args, std::cout, std::cerr);
}
