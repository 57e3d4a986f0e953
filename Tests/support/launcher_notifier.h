// What the launcher tests share: a notifier that records the messages
// instead of showing them, and the removal of the launch snapshot that a
// test program leaves behind.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "link/launcher.h"

namespace test_support {

struct Message {
    std::string text, title;
    orvalis::platform::MessageIcon icon;
};

struct RecordingNotifier : orvalis::plugin::Notifier {
    std::vector<Message> messages;
    void show(std::string_view text, std::string_view title, orvalis::platform::MessageIcon icon) override {
        messages.push_back({std::string(text), std::string(title), icon});
    }
};

// Each test program removes the one snapshot it leaves behind.
class SnapshotCleanup : public ::testing::Environment {
public:
    void TearDown() override {
        const std::string last = orvalis::plugin::lastLaunchSnapshot();
        if (!last.empty()) {
            std::error_code ignored;
            std::filesystem::remove(std::filesystem::path(last), ignored);
        }
    }
};
inline ::testing::Environment* const kSnapshotCleanup = ::testing::AddGlobalTestEnvironment(new SnapshotCleanup);

}  // namespace test_support
