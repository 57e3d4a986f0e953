// Helper programs and the bundle are built beside the test programs.
#pragma once

#include <orvalis/platform/paths.h>

#include <string>

namespace test_support {

inline std::string besideThisProgram(const std::string& name) {
    static const int anchor = 0;
    const std::string self = orvalis::platform::modulePath(&anchor);
    return self.substr(0, self.find_last_of("/\\") + 1) + name;
}

}  // namespace test_support
