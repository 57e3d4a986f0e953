// What the launcher tests share: a notifier that records the messages
// instead of showing them. Each test's launch state removes the snapshot it
// leaves behind.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
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

}  // namespace test_support
