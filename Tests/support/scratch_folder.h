// A fresh folder for one test, under the system's temporary folder, removed
// with everything in it.
#pragma once

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

namespace test_support {

class ScratchFolder {
public:
    explicit ScratchFolder(std::string_view prefix = "orvalis-test") {
        static std::atomic<unsigned> counter{0};
        // The clock tells apart processes that share a counter value.
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        path_ = std::filesystem::temp_directory_path() /
                (std::string(prefix) + "-" + std::to_string(stamp) + "-" + std::to_string(counter++));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string str() const { return path_.string(); }
    std::string file(std::string_view name) const { return (path_ / name).string(); }
    // With the platform's separator at the end, for APIs that take a folder that way.
    std::string folder() const { return (path_ / "").string(); }
    // How many entries the folder holds (what a test left behind).
    std::size_t entryCount() const {
        std::size_t n = 0;
        for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(path_))
            ++n;
        return n;
    }

private:
    std::filesystem::path path_;
};

}  // namespace test_support
