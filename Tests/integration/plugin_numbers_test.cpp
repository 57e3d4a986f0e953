// Instance numbers in a fresh host process: 1 for the first instance, 2 for
// the second, never 0. Runs in its own process so that no other test has
// taken a number before.
#include "plugin_support.h"

#include "orvalis/platform/process.h"

using namespace plugin_test;

TEST(InstanceNumbers, AFreshProcessNumbersItsInstancesFromOne) {
    auto first = newInstance();
    auto second = newInstance();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    BlockReader block;
    ASSERT_TRUE(block.attached());

    EXPECT_EQ(instanceNumber(*first, block), 1u);
    EXPECT_EQ(block.ownerProcess(), orvalis::platform::currentProcessId());
    EXPECT_EQ(instanceNumber(*second, block), 2u);

    // Numbers are never reused: a third instance after the first is gone gets 3.
    first.reset();
    auto third = newInstance();
    ASSERT_NE(third, nullptr);
    EXPECT_EQ(instanceNumber(*third, block), 3u);
}
