// The settings rule, the View menu's commands and check mark, and the
// system's settings store, never at the user's own key or file.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>

#include "Tests/support/file_text.h"
#include "Tests/support/scoped_env.h"
#include "Tests/support/scratch_folder.h"
#include "app/settings.h"
#include "app/view_menu.h"
#include "orvalis/platform/settings_store.h"

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace {

using namespace orvalis::viewer;
using namespace std::string_literals;

// A store in memory that counts its writes.
class FakeStore final : public SettingsStore {
public:
    std::map<std::string, std::optional<std::uint32_t>> values;
    int writes = 0;

    std::optional<std::uint32_t> read(const char* name) override {
        const auto found = values.find(name);
        return found != values.end() ? found->second : std::nullopt;
    }
    bool writeAll(std::uint32_t backgroundColor, std::uint32_t highlightOutOfRange,
                  std::uint32_t gamutIndicator) override {
        ++writes;
        values[kBackgroundColorValue] = backgroundColor;
        values[kHighlightOutOfRangeValue] = highlightOutOfRange;
        values[kGamutIndicatorValue] = gamutIndicator;
        return true;
    }
};

void setAll(ViewerState& state, bool on) {
    state.greyBackground = on;
    state.highlightOutOfRange.store(on);
    state.gamutIndicator.store(on);
}

TEST(ViewerSettings, OnlyExactlyOneIsOnAndEverythingElseIsOff) {
    FakeStore store;
    store.values[kBackgroundColorValue] = 1;
    store.values[kHighlightOutOfRangeValue] = 2;
    store.values[kGamutIndicatorValue] = 0;
    ViewerState state;
    loadSettings(state, store);
    EXPECT_TRUE(state.greyBackground);
    EXPECT_FALSE(state.highlightOutOfRange.load() || state.gamutIndicator.load()) << "2 is not on";

    // Values the store cannot give (missing, another type or size) turn a
    // setting that was on before off.
    store.values = {{kHighlightOutOfRangeValue, std::nullopt}, {kGamutIndicatorValue, 0xFFFFFFFFu}};
    setAll(state, true);
    loadSettings(state, store);
    EXPECT_FALSE(state.greyBackground || state.highlightOutOfRange.load() || state.gamutIndicator.load());
    EXPECT_EQ(store.writes, 0) << "loading never writes";
}

TEST(ViewerMenu, StayOnTopIsNotStoredAndTheOthersSaveAllThree) {
    FakeStore store;
    ViewerState state;
    CommandEffect effect = onMenuCommand(state, kCommandStayOnTop, store);
    EXPECT_TRUE(effect.handled && effect.stayOnTopChanged && !effect.redraw);
    EXPECT_EQ(menuItemChecked(state, kCommandStayOnTop), false);
    onMenuCommand(state, kCommandStayOnTop, store);
    EXPECT_TRUE(state.stayOnTop);
    EXPECT_EQ(store.writes, 0);

    for (const int id : {kCommandGreyBackground, kCommandHighlightOutOfRange, kCommandGamutIndicator}) {
        effect = onMenuCommand(state, id, store);
        EXPECT_TRUE(effect.handled && effect.redraw && !effect.stayOnTopChanged) << id;
        EXPECT_EQ(menuItemChecked(state, id), true) << id;
    }
    onMenuCommand(state, kCommandGreyBackground, store);
    EXPECT_EQ(store.writes, 4);
    EXPECT_EQ(store.read(kBackgroundColorValue), 0u);
    EXPECT_EQ(store.read(kHighlightOutOfRangeValue), 1u);
    EXPECT_EQ(store.read(kGamutIndicatorValue), 1u);

    for (const int id : {0, 1000, 1005, -1001}) {
        effect = onMenuCommand(state, id, store);
        EXPECT_FALSE(effect.handled || effect.redraw || effect.stayOnTopChanged) << id;
        EXPECT_FALSE(menuItemChecked(state, id).has_value()) << id;
    }
    EXPECT_EQ(store.writes, 4) << "any other id changes nothing";
}

// The system's store at a location of the test's own: a key under HKCU on
// Windows (deleted afterwards), a file in a scratch folder on Linux.
class SystemSettingsStore : public ::testing::Test {
protected:
#ifdef _WIN32
    void SetUp() override {
        location_ = "SOFTWARE\\OrvalisTest-" + std::to_string(::GetCurrentProcessId()) + "-" +
                    std::to_string(::GetTickCount64());
    }
    void TearDown() override { ::RegDeleteTreeA(HKEY_CURRENT_USER, location_.c_str()); }

    void plant(const char* name, DWORD type, const void* data, DWORD size) {
        HKEY key = nullptr;
        ASSERT_EQ(
            ::RegCreateKeyExA(HKEY_CURRENT_USER, location_.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
        EXPECT_EQ(::RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
        ::RegCloseKey(key);
    }
#else
    void SetUp() override { location_ = scratch_.file("config/Orvalis/settings.ini"); }
    test_support::ScratchFolder scratch_{"orvalis-settings"};
#endif
    std::string location_;
};

#ifdef _WIN32

TEST_F(SystemSettingsStore, ValuesOfAnotherTypeOrSizeReadAsOff) {
    plant(kBackgroundColorValue, REG_SZ, "1", 2);
    const unsigned char eight[8] = {1, 0, 0, 0, 0, 0, 0, 0};
    plant(kHighlightOutOfRangeValue, REG_BINARY, eight, sizeof eight);
    ViewerState state;
    setAll(state, true);
    loadSettings(state, *settingsStoreAt(location_));
    EXPECT_FALSE(state.greyBackground) << "the text 1 is not the number 1";
    EXPECT_FALSE(state.highlightOutOfRange.load()) << "more than four bytes do not read";

    // A save turns all three into 4-byte REG_DWORDs, read back as they were.
    state.gamutIndicator.store(true);
    saveSettings(state, *settingsStoreAt(location_));
    for (const char* name : {kBackgroundColorValue, kHighlightOutOfRangeValue, kGamutIndicatorValue}) {
        DWORD type = 0, value = 7, size = sizeof value;
        EXPECT_EQ(::RegGetValueA(HKEY_CURRENT_USER, location_.c_str(), name, RRF_RT_ANY, &type, &value, &size),
                  ERROR_SUCCESS)
            << name;
        EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD)) << name;
        EXPECT_EQ(value, name == kGamutIndicatorValue ? 1u : 0u) << name;
    }
    ViewerState next;
    loadSettings(next, *settingsStoreAt(location_));
    EXPECT_TRUE(next.gamutIndicator.load() && !next.greyBackground);
}

#else

void writeText(const std::string& path, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

TEST_F(SystemSettingsStore, FileIsReplacedWholeWithNoStrayTemporary) {
    writeText(location_, "Something=else\nBackgroundColor=1\n");
    ASSERT_TRUE(settingsStoreAt(location_)->writeAll(0, 1, 0));
    EXPECT_EQ(test_support::fileText(location_), "BackgroundColor=0\nHighlightOutOfRange=1\nGamutIndicator=0\n");
    const auto folder = std::filesystem::path(location_).parent_path();
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        EXPECT_EQ(entry.path().filename(), "settings.ini");
    EXPECT_EQ(std::filesystem::status(location_).permissions() & std::filesystem::perms::others_all,
              std::filesystem::perms::none);
}

TEST_F(SystemSettingsStore, MalformedLinesReadAsOffAndGoodLinesStillCount) {
    writeText(location_,
              "garbage\n"
              "BackgroundColor = 1\n"
              " HighlightOutOfRange=1\n"
              "HighlightOutOfRange=1x\n"
              "HighlightOutOfRange=+1\n"
              "HighlightOutOfRange=-1\n"
              "HighlightOutOfRange=4294967297\n"
              "HighlightOutOfRange=\n"
              "BackgroundColorX=1\n"
              "=1\n"
              "GamutIndicator=1\r\n"
              "\0BackgroundColor=1\n"s);
    auto store = settingsStoreAt(location_);
    EXPECT_FALSE(store->read(kBackgroundColorValue).has_value());
    EXPECT_FALSE(store->read(kHighlightOutOfRangeValue).has_value());
    EXPECT_EQ(store->read(kGamutIndicatorValue), 1u) << "a Windows line end is still a line";

    // The last good line of a name wins; a bad one after it changes nothing.
    writeText(location_,
              "BackgroundColor=1\nBackgroundColor=0\nGamutIndicator=0\nGamutIndicator=1\n"
              "GamutIndicator=one\nHighlightOutOfRange=4294967295");
    EXPECT_EQ(store->read(kBackgroundColorValue), 0u);
    EXPECT_EQ(store->read(kGamutIndicatorValue), 1u);
    EXPECT_EQ(store->read(kHighlightOutOfRangeValue), 4294967295u) << "a last line without its line feed";
}

TEST_F(SystemSettingsStore, OversizedFileReadsOnlyItsWholeLinesWithinTheLimit) {
    constexpr std::size_t kLimit = 64 * 1024;
    // The line "HighlightOutOfRange=10" is cut by the limit after its "1".
    const std::string head = "GamutIndicator=1\n", cutLine = "HighlightOutOfRange=10\n";
    const std::size_t cutAt = cutLine.find("10") + 1;
    const std::string filler = std::string(kLimit - cutAt - head.size() - 1, '#') + "\n";
    writeText(location_, head + filler + cutLine + "BackgroundColor=1\n" + std::string(100000, 'x') + "\n");

    ViewerState state;
    loadSettings(state, *settingsStoreAt(location_));
    EXPECT_TRUE(state.gamutIndicator.load()) << "what could be read still counts";
    EXPECT_FALSE(state.highlightOutOfRange.load()) << "a line cut at the limit is not read as 1";
    EXPECT_FALSE(state.greyBackground) << "lines past the limit are not read";
}

TEST_F(SystemSettingsStore, UnreadableOrUnwritableFileIsOffAndNeverHangs) {
    std::filesystem::create_directories(location_);  // a folder where the file belongs
    auto store = settingsStoreAt(location_);
    EXPECT_FALSE(store->read(kBackgroundColorValue).has_value());
    EXPECT_FALSE(store->writeAll(1, 1, 1));
    ViewerState state;
    onMenuCommand(state, kCommandGreyBackground, *store);
    EXPECT_TRUE(state.greyBackground) << "the change holds for this run";
    std::filesystem::remove(location_);

    // A pipe at the path: opening it for reading must not wait for a writer.
    ASSERT_EQ(::mkfifo(location_.c_str(), 0600), 0);
    EXPECT_FALSE(store->read(kBackgroundColorValue).has_value());
    std::filesystem::remove(location_);

    // The folder cannot be made where a file stands in its way.
    const std::string blocked = scratch_.file("plain-file");
    writeText(blocked, "x");
    EXPECT_FALSE(settingsStoreAt(blocked + "/Orvalis/settings.ini")->writeAll(1, 0, 0));
}

TEST(SystemSettingsLocation, FollowsXdgConfigHomeElseHomeConfig) {
    using orvalis::platform::userSettingsLocation;
    using test_support::ScopedEnv;
    {
        ScopedEnv config("XDG_CONFIG_HOME", "/somewhere/config/");
        EXPECT_EQ(userSettingsLocation("Orvalis"), "/somewhere/config/Orvalis/settings.ini");
    }
    ScopedEnv home("HOME", "/home/someone");
    for (const char* config : {"relative/config", static_cast<const char*>(nullptr)}) {
        ScopedEnv xdg("XDG_CONFIG_HOME", config);
        EXPECT_EQ(userSettingsLocation("Orvalis"), "/home/someone/.config/Orvalis/settings.ini")
            << "a relative XDG path is ignored";
    }
}

#endif

}  // namespace
