// Names for shared memory, files and windows that no other test, process or
// run uses at the same time.
#pragma once

#include <atomic>
#include <string>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

namespace test_support {

// "<stem>.<pid>.<n>": unique across processes and calls.
inline std::string uniqueName(const std::string& stem = "OrvalisTest") {
    static std::atomic<unsigned> counter{0};
#ifdef _WIN32
    const long pid = _getpid();
#else
    const long pid = ::getpid();
#endif
    return stem + "." + std::to_string(pid) + "." + std::to_string(++counter);
}

}  // namespace test_support
