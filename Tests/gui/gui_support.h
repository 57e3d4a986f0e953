// What the viewer's GUI tests share: which viewer and publisher to run
// (the Linux programs, or the Windows ones under Wine), starting them in a
// scratch environment, finding the viewer's client area on the X server,
// reading it back and waiting on what it shows.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "Shared/exchange.h"
#include "Tests/support/polling.h"
#include "Tests/support/scratch_folder.h"
#include "child_process.h"
#include "scene_geometry.h"
#include "x_display.h"

namespace gui_test {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Which programs the tests drive. ORVALIS_GUI_WINE names Wine's loader: the
// viewer and the publisher are then Windows programs run under it.
struct Programs {
    std::string wine;
    std::string viewer;
    std::string publisher;
    bool underWine() const { return !wine.empty(); }
};

// The environment value, or the fallback when it is unset or empty.
inline std::string envOr(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : fallback;
}

// The programs named by the environment, else the ones this build made.
inline Programs programs() {
#if defined(GUI_DEFAULT_VIEWER) && defined(GUI_DEFAULT_PUBLISHER)
    return {envOr("ORVALIS_GUI_WINE", ""), envOr("ORVALIS_GUI_VIEWER", GUI_DEFAULT_VIEWER),
            envOr("ORVALIS_GUI_PUBLISHER", GUI_DEFAULT_PUBLISHER)};
#else
    return {envOr("ORVALIS_GUI_WINE", ""), envOr("ORVALIS_GUI_VIEWER", ""), envOr("ORVALIS_GUI_PUBLISHER", "")};
#endif
}

// Deadlines only bound a hang; Wine starts slowly.
inline std::chrono::milliseconds patience() { return programs().underWine() ? 90s : 30s; }

// Polls the screen or a program until the condition holds, within patience().
inline bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds pause = 20ms) {
    return test_support::eventually(condition, patience(), pause);
}

// How many rows at the top of a Linux viewer's client area its drawn menu
// bar takes (its colour (16, 16, 16), the line below it included, where no
// item is); 0 while it is not drawn yet. The scene has the rows below.
inline int menuBarRows(XDisplay& display, const Rect& client) {
    const auto top = display.grab(Rect{client.x, client.y, client.w, std::min(client.h, 80)});
    if (!top)
        return 0;
    auto bar = [](Rgb c) { return std::abs(c.r - 16) <= 3 && std::abs(c.g - 16) <= 3 && std::abs(c.b - 16) <= 3; };
    int rows = 0;
    while (rows < top->height && bar(top->at(top->width - 3, rows)) && bar(top->at(top->width / 2, rows)))
        ++rows;
    return rows >= 20 ? rows : 0;  // never lower than a Windows menu bar
}

// The scene's part of a Linux viewer's client area: below the menu bar the
// viewer draws, empty until the bar shows. The whole client area goes to
// `client` when asked for.
inline std::optional<Rect> sceneBelowMenuBar(XDisplay& display, std::uint64_t window, Rect* client = nullptr) {
    const auto area = display.areaOf(window);
    const int bar = area ? menuBarRows(display, *area) : 0;
    if (bar == 0)
        return std::nullopt;
    if (client)
        *client = *area;
    return Rect{area->x, area->y + bar, area->w, area->h - bar};
}

// Points the programs this process starts (the plug-in's viewer) at private
// temporary, config and state folders in the scratch folder.
inline void usePrivateFolders(const test_support::ScratchFolder& scratch) {
    fs::permissions(scratch.path(), fs::perms::owner_all, fs::perm_options::replace);
    ::setenv("XDG_RUNTIME_DIR", scratch.str().c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", scratch.file("config").c_str(), 1);
    ::setenv("XDG_STATE_HOME", scratch.file("state").c_str(), 1);
}

// One colour-coded test scene: a fixture owning the X connection, a scratch
// folder for the programs' temporary, state and config folders, and the
// programs it started (ended in tear-down).
class ViewerTest : public ::testing::Test {
protected:
    void SetUp() override {
        programs_ = programs();
        display_ = XDisplay::open();
        ASSERT_NE(display_, nullptr) << "no X display with the XTest extension (run under xvfb-run)";
        ASSERT_TRUE(fs::exists(programs_.viewer)) << "no viewer at " << programs_.viewer;
        ASSERT_TRUE(fs::exists(programs_.publisher)) << "no publisher at " << programs_.publisher;
        ASSERT_FALSE(findViewerWindow()) << "a viewer window is already open";
        fs::permissions(scratch_.path(), fs::perms::owner_all, fs::perm_options::replace);
        fs::create_directories(scratch_.path() / "config");
        fs::create_directories(scratch_.path() / "state");
    }

    void TearDown() override {
        if (publisher_) {
            publisher_->ask("quit", 30s);
            publisher_->waitForExit(30s);
        }
        viewer_.reset();
        publisher_.reset();
        if (!fallbackFile_.empty())
            fs::remove(fallbackFile_);
        // The next test must not find this viewer's window.
        if (display_)
            waitFor([&] { return !findViewerWindow(); });
    }

    // The environment both programs get: on Linux the scratch folder as the
    // private temporary folder (so the block's lock files and the fallback
    // file are the test's own) and empty settings.
    std::vector<std::string> environment(std::vector<std::string> extra = {}) const {
        if (!programs_.underWine()) {
            const std::string s = scratch_.str();
            extra.push_back("XDG_RUNTIME_DIR=" + s);
            extra.push_back("TMPDIR=" + s);
            extra.push_back("XDG_CONFIG_HOME=" + s + "/config");
            extra.push_back("XDG_STATE_HOME=" + s + "/state");
        }
        return extra;
    }

    // The command line that runs a program of the build under test.
    std::vector<std::string> command(const std::string& program) const {
        if (programs_.underWine())
            return {programs_.wine, program};
        return {program};
    }

    // Starts the publisher helper (it attaches only when told).
    void startPublisher() {
        ChildProcess::Options options;
        options.argv = command(programs_.publisher);
        options.environment = environment();
        options.pipes = true;
        publisher_ = ChildProcess::start(options);
        if (!publisher_)
            ADD_FAILURE() << "cannot start " << programs_.publisher;
    }

    // Sends a command to the publisher and expects an "ok" answer; returns
    // what follows "ok ".
    std::string tell(const std::string& command) {
        if (!publisher_) {
            ADD_FAILURE() << "no publisher for: " << command;
            return {};
        }
        const auto answer = publisher_->ask(command, patience());
        EXPECT_TRUE(answer && answer->rfind("ok", 0) == 0)
            << command.substr(0, 80) << " -> " << answer.value_or("(no answer)");
        return answer && answer->size() > 3 ? answer->substr(3) : std::string();
    }

    // Starts the viewer with extra environment values; its stderr goes to
    // viewerErrors().
    void startViewer(std::vector<std::string> extra = {}) {
        ChildProcess::Options options;
        options.argv = command(programs_.viewer);
        options.environment = environment(std::move(extra));
        options.stderrPath = viewerErrorsPath();
        viewer_ = ChildProcess::start(options);
        if (!viewer_)
            ADD_FAILURE() << "cannot start " << programs_.viewer;
    }

    std::string viewerErrorsPath() const { return scratch_.file("viewer-stderr.txt"); }
    std::string viewerErrors() const {
        std::ifstream in(viewerErrorsPath());
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    // The viewer's main window as X knows it: by class on Linux; by its
    // title under Wine, which names the class after the program.
    std::uint64_t findViewerWindow() {
        return programs_.underWine() ? display_->findByTitle("Vantorel") : display_->findByClass("OrvalisViewer");
    }

    // Waits for the viewer's client area, in root coordinates.
    std::optional<Rect> waitForViewerArea() {
        if (programs_.underWine() && !publisher_)
            startPublisher();
        std::optional<Rect> scene;
        waitFor(
            [&] {
                if (viewer_ && !viewer_->running())
                    return true;
                if (const std::uint64_t window = findViewerWindow())
                    scene = sceneArea(window);
                return scene.has_value();
            },
            50ms);
        return scene;
    }

    // The scene's part of the viewer's client area, once the viewer shows it.
    std::optional<Rect> sceneArea(std::uint64_t window) {
        if (!programs_.underWine())
            return sceneBelowMenuBar(*display_, window, &clientArea_);
        if (!publisher_)
            return std::nullopt;
        // Wine draws the frame itself; only Wine knows where the client area lies.
        const auto answer = publisher_->ask("clientrect", patience());
        Rect r;
        std::istringstream in(answer.value_or(""));
        std::string ok;
        if (!(in >> ok >> r.x >> r.y >> r.w >> r.h) || ok != "ok" || r.w <= 0 || r.h <= 0)
            return std::nullopt;
        clientArea_ = r;  // Windows keeps the menu bar outside it
        return r;
    }

    // Reads the client area until `want` holds for what it shows, or the
    // deadline passes.
    bool waitForPicture(const std::function<bool(const Image&)>& want,
                        std::chrono::milliseconds deadline = std::chrono::milliseconds(0)) {
        if (deadline.count() == 0)
            deadline = patience();
        const auto until = Clock::now() + deadline;
        do {
            if (auto image = display_->grab(area_)) {
                lastImage_ = std::move(image);
                if (want(*lastImage_))
                    return true;
            }
            std::this_thread::sleep_for(20ms);
        } while (Clock::now() < until);
        if (lastImage_)
            saveImage(*lastImage_);
        return false;
    }

    // True when `keep` holds for every picture read during `span`: a check
    // that something does NOT happen, over many of the viewer's polls.
    bool holdsFor(const std::function<bool(const Image&)>& keep, std::chrono::milliseconds span = 1500ms) {
        const auto until = Clock::now() + span;
        do {
            if (auto image = display_->grab(area_)) {
                lastImage_ = std::move(image);
                if (!keep(*lastImage_)) {
                    saveImage(*lastImage_);
                    return false;
                }
            }
            std::this_thread::sleep_for(20ms);
        } while (Clock::now() < until);
        return true;
    }

    // Starts the viewer and waits until its window is there; false when it
    // did not come.
    bool openViewer() {
        startViewer();
        if (!viewer_)
            return false;
        const auto area = waitForViewerArea();
        if (!area)
            return false;
        area_ = *area;
        return true;
    }

    // Client pixel where the camera puts a cube point.
    Pixel where(Vec3 p, const Camera& camera = {}) const { return project(camera, area_.w, area_.h, p); }

    // Root coordinates of a client pixel.
    int rootX(double clientX) const { return area_.x + static_cast<int>(clientX); }
    int rootY(double clientY) const { return area_.y + static_cast<int>(clientY); }

    // The fallback points file the viewer reads while it has no block.
    std::string fallbackFile() {
        if (fallbackFile_.empty()) {
            std::string folder;
            if (programs_.underWine()) {
                if (!publisher_)
                    startPublisher();
                folder = tell("tempfolder");
            } else {
                folder = scratch_.str() + "/";
            }
            if (!folder.empty() && folder.back() != '/')
                folder += '/';
            fallbackFile_ = folder + orvalis::exchange::kFallbackFileName;
        }
        return fallbackFile_;
    }

    // Replaces the fallback file at once (written beside it, then renamed):
    // the count word, then the records; `count` may claim more than there are.
    void writeFallback(const std::vector<CloudPoint>& points, std::uint32_t count) {
        const std::string path = fallbackFile();
        const std::string temporary = path + ".part";
        {
            std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
            out.write(reinterpret_cast<const char*>(&count), sizeof count);
            std::vector<orvalis::exchange::PointRecord> records;
            records.reserve(points.size());
            for (const CloudPoint& p : points) {
                orvalis::exchange::PointRecord r;
                r.x = static_cast<float>(p.position.x);
                r.y = static_cast<float>(p.position.y);
                r.z = static_cast<float>(p.position.z);
                r.r = static_cast<float>(p.colour.r);
                r.g = static_cast<float>(p.colour.g);
                r.b = static_cast<float>(p.colour.b);
                records.push_back(r);
            }
            out.write(reinterpret_cast<const char*>(records.data()),
                      static_cast<std::streamsize>(records.size() * sizeof(records[0])));
            ASSERT_TRUE(out.good()) << "cannot write " << temporary;
        }
        fs::rename(temporary, path);
    }

    // "<size> x y z r g b ..." for the publisher's commands.
    static std::string cloudText(const std::vector<CloudPoint>& points) {
        std::ostringstream text;
        for (const CloudPoint& p : points) {
            text << ' ' << p.position.x << ' ' << p.position.y << ' ' << p.position.z << ' ' << p.colour.r << ' '
                 << p.colour.g << ' ' << p.colour.b;
        }
        return text.str();
    }

    // A picture of the last read-back, kept beside the test program for a
    // failed test.
    void saveImage(const Image& image) const {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        const std::string name = std::string("gui-") + (programs_.underWine() ? "wine-" : "") +
                                 (info ? std::string(info->test_suite_name()) + "." + info->name() : "last") + "-" +
                                 std::to_string(++savedImages_) + ".ppm";
        std::ofstream out(name, std::ios::binary);
        out << "P6\n" << image.width << ' ' << image.height << "\n255\n";
        for (const Rgb& p : image.pixels) {
            const char bytes[3] = {static_cast<char>(p.r), static_cast<char>(p.g), static_cast<char>(p.b)};
            out.write(bytes, 3);
        }
        std::fprintf(stderr, "last picture saved as %s\n", name.c_str());
    }

    Programs programs_;
    std::unique_ptr<XDisplay> display_;
    test_support::ScratchFolder scratch_{"orvalis-gui"};
    std::unique_ptr<ChildProcess> publisher_;
    std::unique_ptr<ChildProcess> viewer_;
    Rect area_;        // the scene, in root coordinates
    Rect clientArea_;  // the whole client area (on Linux with the menu bar)
    std::optional<Image> lastImage_;
    std::string fallbackFile_;
    mutable int savedImages_ = 0;
};

}  // namespace gui_test
