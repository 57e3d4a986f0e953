// A third program, written from the block layout alone, reads what the
// plug-in's writer publishes.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <map>
#include <sstream>

#include "exchange_support.h"
#include "link/exchange_writer.h"

namespace {

using namespace orvalis;
using namespace exchange_test;

// The "name value" lines the peek program printed.
std::map<std::string, std::string> peek(const std::string& blockName, const TempDir& folder, int& status) {
    const std::string output = folder.file("peek.txt");
    status = runProgram(EXCHANGE_PEEK, {blockName}, output);
    std::map<std::string, std::string> values;
    std::ifstream in(fsPath(output));
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        const std::size_t blank = line.find(' ');
        if (blank != std::string::npos) {
            values[line.substr(0, blank)] = line.substr(blank + 1);
        }
    }
    return values;
}

TEST(ExchangePeek, ThirdProgramReadsThePublishedCloud) {
    TempDir folder;
    ASSERT_FALSE(folder.path().empty());
    const std::string name = uniqueName("OrvalisExchangePeek");
    plugin::BlockAttachment block = plugin::attachBlock(name);
    ASSERT_TRUE(block.attached());
    const BlockView view = *block.view();
    const std::uint32_t processId = platform::currentProcessId();
    plugin::setOwner(view, 7, processId);
    std::atomic<std::uint64_t> counter{1};

    const std::vector<PointRecord> first = {record(0.25f, 0.5f, 0.75f, 1.0f, 0.0f, 0.125f),
                                            record(0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f),
                                            record(1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f)};
    ASSERT_TRUE(plugin::publishCloud(view, 7, processId, first, 3.5f, {}, counter).toBlock);
    int status = -1;
    auto values = peek(name, folder, status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(values["sequence"], "2");
    EXPECT_EQ(values["activeBuffer"], "1");
    EXPECT_EQ(values["pointCount0"], "0");
    EXPECT_EQ(values["pointCount1"], "3");
    EXPECT_EQ(values["pointSize"], "3.5");
    EXPECT_EQ(values["pluginCount"], "1");
    EXPECT_EQ(values["ownerInstance"], "7");
    EXPECT_EQ(values["first"], "0.25 0.5 0.75 1 0 0.125");

    const std::vector<PointRecord> second = {record(0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f)};
    ASSERT_TRUE(plugin::publishCloud(view, 7, processId, second, 2.0f, {}, counter).toBlock);
    values = peek(name, folder, status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(values["sequence"], "3");
    EXPECT_EQ(values["activeBuffer"], "0");
    EXPECT_EQ(values["pointCount0"], "1");
    EXPECT_EQ(values["first"], "0.5 0.5 0.5 0.5 0.5 0.5");
}

TEST(ExchangePeek, NoBlockIsReported) {
    TempDir folder;
    ASSERT_FALSE(folder.path().empty());
    int status = 0;
    const auto values = peek(uniqueName("OrvalisExchangeNone"), folder, status);
    EXPECT_NE(status, 0);
    EXPECT_TRUE(values.empty());
}

}  // namespace
