// The shared block across two host processes: the first instance anywhere
// writes the creator values once, every instance in every process counts
// itself in and out of pluginCount.
#include "plugin_support.h"

#include <atomic>
#include <filesystem>
#include <fstream>

#include "Tests/support/scratch_folder.h"

using namespace plugin_test;
namespace fs = std::filesystem;

TEST(PluginProcesses, CreatorValuesOnceAndPluginCountAcrossProcesses) {
    {
        BlockReader stale;
        ASSERT_FALSE(stale.attached()) << "another holder of the shared block is running";
    }
    auto first = newInstance();
    ASSERT_NE(first, nullptr);
    BlockReader block;
    ASSERT_TRUE(block.attached());
    const BlockView view = block.view();

    // The creator's values.
    EXPECT_EQ(view.f32(off::pointSize).load(), 1.0f);
    EXPECT_EQ(view.u32(off::lightingEnabled).load(), 1u);
    EXPECT_EQ(view.f32(off::ambient).load(), 0.3f);
    EXPECT_EQ(view.f32(off::diffuse).load(), 0.4f);
    EXPECT_EQ(view.f32(off::lightDir2).load(), -2.0f);
    EXPECT_EQ(view.f32(off::lightDir2 + 4).load(), -2.0f);
    EXPECT_EQ(view.f32(off::lightDir2 + 8).load(), -2.0f);
    EXPECT_EQ(block.pluginCount(), 1u);

    // A marker a second creator would overwrite.
    view.f32(off::pointSize).store(9.25f);
    view.f32(off::ambient).store(0.75f);

    const test_support::ScratchFolder scratch("orvalis-plugin-holder");
    const fs::path& folder = scratch.path();
    std::atomic<int> status{-1};
    std::thread holder([&] { status.store(runProgram(HOLDER_PROGRAM, {bundlePath(), folder.string()})); });

    const bool ready =
        waitFor([&] { return fs::exists(folder / "ready") || status.load() != -1; }, std::chrono::seconds(60));
    EXPECT_TRUE(ready && fs::exists(folder / "ready")) << "the second process did not make its instance";
    if (fs::exists(folder / "ready")) {
        EXPECT_EQ(block.pluginCount(), 2u);
        EXPECT_EQ(view.f32(off::pointSize).load(), 9.25f) << "the second process must not re-initialise the header";
        EXPECT_EQ(view.f32(off::ambient).load(), 0.75f);
    }
    std::ofstream(folder / "release") << "release\n";
    holder.join();
    EXPECT_EQ(status.load(), 0);
    EXPECT_TRUE(fs::exists(folder / "done"));
    EXPECT_EQ(block.pluginCount(), 1u);

    first.reset();
    EXPECT_EQ(block.pluginCount(), 0u);
}
