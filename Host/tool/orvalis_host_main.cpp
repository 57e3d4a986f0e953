// orvalis-host: the command-line OpenFX host.
#include <iostream>

#include "arguments.h"
#include "ofxhost/cli.h"

int main(int argc, char** argv) { return ofxhost::runCommandLine(utf8Arguments(argc, argv), std::cout, std::cerr); }
