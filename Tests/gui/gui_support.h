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
#include <vector>

#include "Tests/support/file_text.h"
#include "Tests/support/polling.h"
#include "Tests/support/run_program.h"
#include "Tests/support/scratch_folder.h"
#include "scene_geometry.h"
#include "x_display.h"

namespace gui_test {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Program = test_support::StartedProgram;

// Which programs the tests drive: those the environment names, else the
// ones this build made. ORVALIS_GUI_WINE names Wine's loader: the viewer
// and the publisher are then Windows programs run under it.
struct Programs {
    static std::string env(const char* name, const char* fallback) {
        const char* value = std::getenv(name);
        return value != nullptr && *value != '\0' ? value : fallback;
    }
    std::string wine = env("ORVALIS_GUI_WINE", ""), viewer = env("ORVALIS_GUI_VIEWER", GUI_DEFAULT_VIEWER),
                publisher = env("ORVALIS_GUI_PUBLISHER", GUI_DEFAULT_PUBLISHER);
    bool underWine() const { return !wine.empty(); }
};

// Deadlines only bound a hang; Wine starts slowly.
inline std::chrono::milliseconds patience() { return Programs().underWine() ? 90s : 30s; }

inline bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds pause = 20ms) {
    return test_support::eventually(condition, patience(), pause);
}

// One test scene: the X connection, a scratch folder for the programs'
// private folders, and the programs it started (ended in tear-down).
class ViewerTest : public ::testing::Test {
protected:
    void SetUp() override {
        display_ = XDisplay::open(keepWmState_);
        ASSERT_NE(display_, nullptr) << "no X display with the XTest extension (run under xvfb-run)";
        ASSERT_TRUE(fs::exists(programs_.viewer)) << "no viewer at " << programs_.viewer;
        ASSERT_TRUE(fs::exists(programs_.publisher)) << "no publisher at " << programs_.publisher;
        ASSERT_FALSE(findViewerWindow()) << "a viewer window is already open";
        fs::permissions(scratch_.path(), fs::perms::owner_all, fs::perm_options::replace);
        fs::create_directories(scratch_.path() / "config");
        fs::create_directories(scratch_.path() / "state");
    }

    void TearDown() override {
        if (publisher_ && publisher_->ask("quit", 30s))
            publisher_->wait(30s);
        viewer_.reset();
        publisher_.reset();
        // The next test must not find this viewer's window.
        if (display_)
            waitFor([&] { return !findViewerWindow(); });
    }

    // Starts a program of the build under test; on Linux with the scratch
    // folder as its private temporary folder (so the block's lock files and
    // the fallback file are the test's own) and empty settings.
    std::unique_ptr<Program> start(const std::string& program, std::vector<std::string> environment, bool pipes) {
        const bool wine = programs_.underWine();
        if (!wine) {
            const std::string s = scratch_.str();
            environment.insert(environment.end(),
                               {"XDG_RUNTIME_DIR=" + s, "TMPDIR=" + s, "XDG_CONFIG_HOME=" + s + "/config",
                                "XDG_STATE_HOME=" + s + "/state"});
        }
        auto child = std::make_unique<Program>(
            wine ? programs_.wine : program, wine ? std::vector<std::string>{program} : std::vector<std::string>{},
            test_support::StartOptions{std::move(environment), pipes, pipes ? "" : scratch_.file("viewer-stderr.txt")});
        if (child->started())
            return child;
        ADD_FAILURE() << "cannot start " << program;
        return nullptr;
    }

    // Starts the publisher helper (it attaches only when told).
    void startPublisher() { publisher_ = start(programs_.publisher, {}, true); }
    void startViewer(std::vector<std::string> environment = {}) {
        viewer_ = start(programs_.viewer, std::move(environment), false);
    }

    // Sends a command to the publisher and expects an "ok" answer; returns
    // what follows "ok ".
    std::string tell(const std::string& command) {
        if (!publisher_)
            startPublisher();
        const auto answer = publisher_ ? publisher_->ask(command, patience()) : std::nullopt;
        EXPECT_TRUE(answer && answer->rfind("ok", 0) == 0)
            << command.substr(0, 80) << " -> " << answer.value_or("(no answer)");
        return answer && answer->size() > 3 ? answer->substr(3) : std::string();
    }

    std::string viewerErrors() const { return test_support::fileText(scratch_.file("viewer-stderr.txt")); }

    // The viewer's main window as X knows it: by class on Linux; by its
    // title under Wine, which names the class after the program.
    std::uint64_t findViewerWindow() {
        return display_->findWindow(programs_.underWine() ? "Vantorel" : "OrvalisViewer");
    }

    // The scene's part of the client area once it shows, the menu bar in
    // menuBar_. Only Wine knows where its client area lies (Windows keeps
    // the bar above it); a Linux viewer draws its bar in the client area's
    // top rows, (16, 16, 16) where no item is, at least as high as Windows'.
    std::optional<Rect> sceneArea() {
        const std::uint64_t window = findViewerWindow();
        if (window != 0 && programs_.underWine()) {
            if (!publisher_)
                startPublisher();
            std::istringstream in(publisher_ ? publisher_->ask("clientrect", patience()).value_or("") : "");
            std::string ok;
            Rect r;
            int bar = 0;
            if (!(in >> ok >> r.x >> r.y >> r.w >> r.h >> bar) || ok != "ok" || r.w <= 0 || r.h <= 0)
                return std::nullopt;
            menuBar_ = Rect{r.x, r.y - bar, r.w, bar};
            return r;
        }
        const auto area = window ? display_->areaOf(window) : std::nullopt;
        const auto top = area ? display_->grab(Rect{area->x, area->y, area->w, std::min(area->h, 80)}) : std::nullopt;
        auto dark = [](Rgb c) { return std::abs(c.r - 16) <= 3 && std::abs(c.g - 16) <= 3 && std::abs(c.b - 16) <= 3; };
        int rows = 0;
        while (top && rows < top->height && dark(top->at(top->width - 3, rows)) && dark(top->at(top->width / 2, rows)))
            ++rows;
        if (rows < 20)
            return std::nullopt;
        menuBar_ = Rect{area->x, area->y, area->w, rows};
        return Rect{area->x, area->y + rows, area->w, area->h - rows};
    }

    // Waits until the viewer's window shows its scene; false when it did
    // not come (or the viewer this test started ended first).
    bool waitForScene() {
        std::optional<Rect> scene;
        waitFor([&] { return (viewer_ && !viewer_->running()) || (scene = sceneArea()).has_value(); }, 50ms);
        area_ = scene.value_or(Rect{});
        return scene.has_value();
    }

    bool openViewer() {
        startViewer();
        return viewer_ && waitForScene();
    }

    // Reads the scene until `want` holds for what it shows, or the deadline
    // passes; the last picture is kept beside the test program then.
    bool waitForPicture(const std::function<bool(const Image&)>& want) {
        std::optional<Image> image;
        if (waitFor([&] { return (image = display_->grab(area_)) && want(*image); }))
            return true;
        if (image)
            saveImage(*image);
        return false;
    }

    // Client pixel where the camera puts a cube point, and root coordinates
    // of a client pixel.
    Pixel where(Vec3 p, const Camera& camera = {}) const { return project(camera, area_.w, area_.h, p); }
    int rootX(double clientX) const { return area_.x + static_cast<int>(clientX); }
    int rootY(double clientY) const { return area_.y + static_cast<int>(clientY); }

    // A click at root coordinates, handled by the server before it returns.
    void click(int x, int y, unsigned button = 1) {
        display_->moveTo(x, y);
        display_->button(button, true);
        display_->button(button, false);
    }

    // " x y z r g b ..." for the publisher's commands.
    static std::string cloudText(const std::vector<CloudPoint>& points) {
        std::ostringstream text;
        for (const CloudPoint& p : points) {
            text << ' ' << p.position.x << ' ' << p.position.y << ' ' << p.position.z << ' ' << p.colour.r << ' '
                 << p.colour.g << ' ' << p.colour.b;
        }
        return text.str();
    }

    void saveImage(const Image& image) const {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        const std::string name = std::string("gui-") + (programs_.underWine() ? "wine-" : "") + info->name() + "-" +
                                 std::to_string(++savedImages_) + ".ppm";
        std::ofstream out(name, std::ios::binary);
        out << "P6\n" << image.width << ' ' << image.height << "\n255\n";
        for (const Rgb& p : image.pixels)
            out << static_cast<char>(p.r) << static_cast<char>(p.g) << static_cast<char>(p.b);
        std::fprintf(stderr, "last picture saved as %s\n", name.c_str());
    }

    Programs programs_;
    bool keepWmState_ = false;  // see XDisplay::open
    std::unique_ptr<XDisplay> display_;
    test_support::ScratchFolder scratch_{"orvalis-gui"};
    std::unique_ptr<Program> publisher_;
    std::unique_ptr<Program> viewer_;
    Rect area_;     // the scene, in root coordinates
    Rect menuBar_;  // the menu bar: inside the client area on Linux, above it under Wine
    mutable int savedImages_ = 0;
};

}  // namespace gui_test
