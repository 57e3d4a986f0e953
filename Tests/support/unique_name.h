// Names for shared memory, files and windows that no other test, process or
// run uses at the same time.
#pragma once

#include <atomic>
#include <string>

#include "orvalis/platform/process.h"

namespace test_support {

// "<stem>.<pid>.<n>": unique across processes and calls.
inline std::string uniqueName(const std::string& stem = "OrvalisTest") {
    static std::atomic<unsigned> counter{0};
    return stem + "." + std::to_string(orvalis::platform::currentProcessId()) + "." + std::to_string(++counter);
}

}  // namespace test_support
