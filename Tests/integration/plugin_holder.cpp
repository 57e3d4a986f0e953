// A second host process for the tests: loads the bundle, holds one
// instance until told to let go, then destroys it and exits.
//   plugin_holder <bundle> <folder>
// Writes <folder>/ready once the instance exists, waits for <folder>/release,
// then writes <folder>/done after the instance is gone.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <thread>

#include "ofxhost/host.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: plugin_holder <bundle> <folder>\n";
        return 2;
    }
    const fs::path folder = fs::u8path(argv[2]);
    std::string error;
    auto bundle = ofxhost::Bundle::load(argv[1], error);
    if (!bundle) {
        std::cerr << "plugin_holder: " << error << "\n";
        return 3;
    }
    auto instance = bundle->createInstance(0);
    if (!instance) {
        std::cerr << "plugin_holder: " << bundle->lastError() << "\n";
        return 4;
    }
    std::ofstream(folder / "ready") << "ready\n";
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (!fs::exists(folder / "release")) {
        if (std::chrono::steady_clock::now() > until) {
            return 5;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    instance.reset();
    bundle.reset();
    std::ofstream(folder / "done") << "done\n";
    return 0;
}
