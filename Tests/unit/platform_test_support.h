// Small helpers shared by the platform tests: unique names, the helper
// program, scratch folders and the environment the helper reads.
#pragma once

#include <orvalis/platform/paths.h>
#include <orvalis/platform/process.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

namespace orvalis::platform::testing {

// "OrvalisTest.<pid>.<n>": unique across processes and calls.
inline std::string uniqueName(const std::string& stem = "OrvalisTest") {
    static std::atomic<unsigned> counter{0};
    return stem + "." + std::to_string(currentProcessId()) + "." + std::to_string(++counter);
}

inline void setEnv(const char* name, const std::string& value) {
#ifdef _WIN32
    _putenv_s(name, value.c_str());
#else
    setenv(name, value.c_str(), 1);
#endif
}

inline void unsetEnv(const char* name) {
#ifdef _WIN32
    _putenv_s(name, "");
#else
    unsetenv(name);
#endif
}

// A helper program, built beside the test executables.
inline std::string helperPath(const std::string& program = "platform_helper_child") {
    std::string self = modulePath(reinterpret_cast<const void*>(&uniqueName));
    const auto cut = self.find_last_of("\\/");
    if (cut == std::string::npos)
        return {};
    return self.substr(0, cut + 1) + program + ORVALIS_EXE_SUFFIX;
}

// Starts the helper in the given mode; the helper reads its orders from
// the environment, as it takes no arguments.
inline std::unique_ptr<ChildProcess> startHelper(const std::string& mode, const std::string& stopFile = {},
                                                 const std::string& block = {}, std::size_t size = 0) {
    setEnv("ORVALIS_HELPER_MODE", mode);
    setEnv("ORVALIS_HELPER_FILE", stopFile);
    setEnv("ORVALIS_HELPER_BLOCK", block);
    setEnv("ORVALIS_HELPER_SIZE", std::to_string(size));
    int error = 0;
    return ChildProcess::start(helperPath(), error);
}

// Polls until the condition holds or a generous limit passes.
inline bool eventually(const std::function<bool()>& condition,
                       std::chrono::milliseconds limit = std::chrono::seconds(30),
                       std::chrono::milliseconds pause = std::chrono::milliseconds(5)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        sleepFor(pause);
    }
    return true;
}

inline void touch(const std::string& path) { std::ofstream(path, std::ios::binary) << "x"; }

inline std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A fresh folder inside the temporary folder, removed with everything in it.
class ScratchFolder {
public:
    ScratchFolder() {
        path_ = tempFolder() + uniqueName("orvalis-scratch");
        std::filesystem::create_directories(path_);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    // With the platform's separator at the end.
    std::string path() const { return path_ + pathSeparator(); }
    std::string file(const std::string& name) const { return path() + name; }
    std::size_t entryCount() const {
        std::size_t n = 0;
        for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(path_))
            ++n;
        return n;
    }

private:
    std::string path_;
};

}  // namespace orvalis::platform::testing
