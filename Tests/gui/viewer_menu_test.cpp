// The View menu, the stored settings and the gamut badge in the real
// viewer, driven by clicks through the X test extension and checked in the
// picture, the test's own store and the window system's above-others state.
#include <iterator>
#include <set>

#include "gui_support.h"

namespace gui_test {
namespace {

constexpr Vec3 kInside{0.2, 0.6, 0.2};
constexpr Colour kInsideColour{0.3, 0.6, 0.9};
constexpr Vec3 kOutside{1.2, 0.5, 0.5};  // beyond the cube's x = 1 face
constexpr Colour kOutsideColour{0.95, 0.6, 0.1};
constexpr Colour kMagenta{1.0, 0.0, 0.9};
constexpr double kLitHighlight = 0.82;  // a highlighted sphere is lit at 85 % or more

constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kGrey{51, 51, 51};

// The menu's colours.
constexpr Rgb kPopupBackground{32, 32, 32};
constexpr Rgb kSelectedItem{21, 74, 88};

// Menu items in menu order.
enum Item { kStayOnTop = 0, kGreyBackground = 1, kHighlight = 2, kIndicator = 3 };

// A pixel whose darkest channel reaches `minimum`.
auto light(int minimum) {
    return [minimum](Rgb c) { return std::min({c.r, c.g, c.b}) >= minimum; };
}

// The badge for a scene of at most 720 rows (interface scale 1): 22 high,
// 96 or 118 wide, 14 from the scene's top and right edges, the dot's centre
// 14.5 from its left edge and halfway down, fill (0.08, 0.08, 0.10) at 0.82
// over the background.
bool badgeShows(const Image& image, bool outOfGamut, Rgb background) {
    const int width = outOfGamut ? 118 : 96;
    const int right = image.width - 14, left = right - width;
    const double middle = 14 + 22 / 2.0;  // rows from the top
    const Colour dot = outOfGamut ? Colour{1.0, 0.22, 0.22} : Colour{0.18, 0.80, 0.44};
    if (countAround(image, {left + 14.5, middle}, 2, [&](Rgb c) { return isShadeOf(c, dot, 0.9, 1.08, 20.0); }) < 22) {
        return false;
    }
    auto over = [&](double fill, int channel) { return static_cast<int>(0.82 * fill * 255.0 + 0.18 * channel + 0.5); };
    const Rgb fill{over(0.08, background.r), over(0.08, background.g), over(0.10, background.b)};
    const int row = static_cast<int>(middle);
    if (!near(image.at(left + 4, row), fill, 6) || !near(image.at(right - 4, row), fill, 6))
        return false;
    if (!near(image.at(left - 4, row), background, 6) || !near(image.at(right + 4, row), background, 6))
        return false;
    // Light label text between the dot and the right padding.
    return countIn(image, {left + 26, 14 + 4, right - 10 - (left + 26), 14}, light(140)) >= 10;
}

// Nothing but the background where a badge would be.
bool noBadge(const Image& image, Rgb background) {
    return countIn(image, {image.width - 140, 8, 132, 36}, [&](Rgb c) { return !near(c, background, 6); }) == 0;
}

class ViewerMenu : public ViewerTest {
protected:
    // The window system's above-others state is announced and kept (Xvfb
    // has no window manager) from before the viewer starts.
    ViewerMenu() { keepWmState_ = true; }

    void SetUp() override {
        ViewerTest::SetUp();
        if (!HasFatalFailure() && programs_.underWine())
            tell("clear-settings");  // a first run
    }

    void TearDown() override {
        if (programs_.underWine() && publisher_)
            publisher_->ask("clear-settings", patience());
        ViewerTest::TearDown();
    }

    // The stored values as sorted "Name=value" words: from the publisher
    // under Wine, lines of the settings file on Linux.
    std::string storedSettings() {
        std::stringstream text;
        if (programs_.underWine())
            text << tell("settings");
        else
            text << std::ifstream(scratch_.file("config/Orvalis/settings.ini")).rdbuf();
        std::set<std::string> words{std::istream_iterator<std::string>(text), {}};
        std::string values;
        for (const std::string& word : words)
            values += word.find('=') != std::string::npos ? word + " " : "";
        return values;
    }

    static std::string settings(int grey, int highlight, int indicator) {
        return "BackgroundColor=" + std::to_string(grey) + " GamutIndicator=" + std::to_string(indicator) +
               " HighlightOutOfRange=" + std::to_string(highlight) + " ";
    }

    // Whether the window is kept above others, as the window system has it:
    // _NET_WM_STATE_ABOVE on the viewer's X window; under Wine also Win32's
    // WS_EX_TOPMOST, which must agree (empty when they differ).
    std::optional<bool> above() {
        const std::optional<bool> x = display_->hasWmState(findViewerWindow(), "_NET_WM_STATE_ABOVE");
        if (programs_.underWine()) {
            const bool topmost = tell("topmost") == "1";
            if (!x || *x != topmost)
                return std::nullopt;
            return topmost;
        }
        return x.value_or(false);
    }

    bool waitForAbove(bool wanted) {
        return waitFor([&] { return above() == wanted; });
    }

    // The open popup's dark inside in root coordinates, with room to the
    // scene's right and below (Wine's popups are windows of their own): rows
    // and columns mostly of popup colours, which stray scene pixels cannot make.
    std::optional<Rect> findPopup() {
        const Rect search{area_.x, area_.y, area_.w + 320, area_.h + 200};
        popupImage_ = display_->grab(search);
        if (!popupImage_)
            return std::nullopt;
        const Image& image = *popupImage_;
        std::vector<int> rows(static_cast<std::size_t>(image.height)), columns(static_cast<std::size_t>(image.width));
        for (int y = 0; y < image.height; ++y) {
            for (int x = 0; x < image.width; ++x) {
                if (near(image.at(x, y), kPopupBackground, 3) || near(image.at(x, y), kSelectedItem, 3))
                    ++rows[y], ++columns[x];
            }
        }
        auto span = [](const std::vector<int>& counts, int least) {
            const auto first = std::find_if(counts.begin(), counts.end(), [&](int n) { return n >= least; });
            const auto last = std::find_if(counts.rbegin(), counts.rend(), [&](int n) { return n >= least; });
            return std::pair<int, int>(static_cast<int>(first - counts.begin()),
                                       static_cast<int>(counts.rend() - last) - 1);
        };
        const auto [top, bottom] = span(rows, 80);
        const auto [left, right] = span(columns, 50);
        if (right - left + 1 < 100 || bottom - top + 1 < 96)
            return std::nullopt;
        return Rect{search.x + left, search.y + top, right - left + 1, bottom - top + 1};
    }

    // An item's rows in the popup: four equal items, centred in the dark inside.
    static Rect itemRect(const Rect& popup, int index) {
        const int itemHeight = popup.h / 4;
        const int margin = (popup.h - 4 * itemHeight) / 2;
        return {popup.x + margin, popup.y + margin + index * itemHeight, popup.w - 2 * margin, itemHeight};
    }

    // Per item of the popup, '1' when the part of it that `part` picks holds
    // `least` pixels or more that are light(minimum), once that reads
    // `expected` or at the deadline; popup_ is the popup last found.
    std::string litItems(const std::string& expected, int minimum, int least, Rect (*part)(const Rect&)) {
        std::string lit;
        waitFor([&] {
            popup_ = findPopup();
            lit.clear();
            for (int i = 0; popup_ && i < 4; ++i) {
                const Rect r = part(itemRect(*popup_, i));  // root coordinates; the picture starts at the scene's
                const int count = countIn(*popupImage_, {r.x - area_.x, r.y - area_.y, r.w, r.h}, light(minimum));
                lit += count >= least ? '1' : '0';
            }
            return lit == expected;
        });
        return lit;
    }

    // The popup is open once its four items show their light text (Wine maps
    // the popup window before it paints the items).
    bool waitForPopup() {
        return litItems("1111", 200, 10, [](const Rect& item) {
                   return Rect{item.x + 10, item.y + 4, item.w / 2, item.h - 8};
               }) == "1111";
    }

    bool waitForNoPopup() {
        return waitFor([&] { return !findPopup(); });
    }

    // The open popup's check marks: "1" for a white stroke about 13 pixels
    // left of an item's right edge.
    std::string checkMarks(const std::string& expected) {
        return litItems(expected, 230, 6, [](const Rect& item) {
            return Rect{item.x + item.w - 22, item.y + item.h / 2 - 6, 16, 12};
        });
    }

    // Opens the popup from "View", the first item on the menu bar.
    void openFromBar() {
        click(menuBar_.x + 12, menuBar_.y + menuBar_.h / 2);
        ASSERT_TRUE(waitForPopup()) << "no popup with light item text after a click on View";
    }

    // Points at the item, waits for it to show selected, and clicks it.
    void choose(int index) {
        ASSERT_TRUE(popup_) << "no popup to choose from";
        const Rect item = itemRect(*popup_, index);
        display_->moveTo(item.x + 30, item.y + item.h / 2);
        const bool selected = waitFor([&] {
            const auto image = display_->grab({item.x + 2, item.y + item.h / 2, 4, 1});
            return image && near(image->at(1, 0), kSelectedItem, 3);
        });
        EXPECT_TRUE(selected) << "item " << index << " does not show selected under the pointer";
        click(item.x + 30, item.y + item.h / 2);
        EXPECT_TRUE(waitForNoPopup()) << "the popup stays open after choosing item " << index;
    }

    // A right click in the scene: the popup opens with its corner at the pointer.
    void openAtPointer(int clientX, int clientY) {
        const int x = rootX(clientX), y = rootY(clientY);
        click(x, y, 3);
        ASSERT_TRUE(waitForPopup()) << "no popup with light item text after a right click";
        EXPECT_LE(std::abs(popup_->x - x), 4) << "popup left " << popup_->x << ", pointer " << x;
        EXPECT_LE(std::abs(popup_->y - y), 4) << "popup top " << popup_->y << ", pointer " << y;
    }

    std::optional<Rect> popup_;  // the last popup opened
    std::optional<Image> popupImage_;
};

TEST_F(ViewerMenu, ChoicesChangeThePictureAndTheStoreAndComeBackAtTheNextStart) {
    const std::string outsideCloud = "publish 20" + cloudText({{kInside, kInsideColour}, {kOutside, kOutsideColour}});
    tell("attach");
    tell(outsideCloud);
    ASSERT_TRUE(openViewer()) << "no viewer window; viewer stderr:\n" << viewerErrors();

    // First run: black, the out-of-cube point in its own colour, no badge,
    // nothing stored, above the others.
    EXPECT_TRUE(waitForPicture([&](const Image& image) {
        return backgroundIs(image, kBlack) && sphereAt(image, where(kInside), kInsideColour) &&
               sphereAt(image, where(kOutside), kOutsideColour) && noBadge(image, kBlack);
    })) << "first run";
    EXPECT_TRUE(storedSettings().empty());
    EXPECT_TRUE(waitForAbove(true)) << "not kept above the others at the start";

    // Each choice from the bar or the scene's context menu changes the
    // picture and stores all three values.
    ASSERT_NO_FATAL_FAILURE(openFromBar());
    EXPECT_EQ(checkMarks("1000"), "1000");
    choose(kGreyBackground);
    EXPECT_TRUE(waitForPicture([&](const Image& image) {
        return backgroundIs(image, kGrey) && sphereAt(image, where(kOutside), kOutsideColour);
    })) << "grey background";
    EXPECT_EQ(storedSettings(), settings(1, 0, 0));

    ASSERT_NO_FATAL_FAILURE(openAtPointer(40, area_.h - 160));
    EXPECT_EQ(checkMarks("1100"), "1100");
    choose(kHighlight);
    EXPECT_TRUE(waitForPicture([&](const Image& image) {
        return sphereAt(image, where(kOutside), kMagenta, kLitHighlight) &&
               sphereAt(image, where(kInside), kInsideColour);
    })) << "the out-of-cube point in magenta";
    EXPECT_EQ(storedSettings(), settings(1, 1, 0));

    ASSERT_NO_FATAL_FAILURE(openAtPointer(60, area_.h - 140));
    choose(kIndicator);
    EXPECT_TRUE(waitForPicture([&](const Image& image) { return badgeShows(image, true, kGrey); }))
        << "Out of Gamut badge";
    EXPECT_EQ(storedSettings(), settings(1, 1, 1));
    tell("publish 20" + cloudText({{kInside, kInsideColour}}));
    EXPECT_TRUE(waitForPicture([&](const Image& image) { return badgeShows(image, false, kGrey); }))
        << "In Gamut badge";

    // "Stay on top" off: the window system follows, the store is left alone
    // (the next start is above the others again). The drawn menu closes on
    // Escape, Windows' own on a click elsewhere.
    ASSERT_NO_FATAL_FAILURE(openFromBar());
    choose(kStayOnTop);
    EXPECT_TRUE(waitForAbove(false)) << "still above the others";
    ASSERT_NO_FATAL_FAILURE(openFromBar());
    EXPECT_EQ(checkMarks("0111"), "0111");
    if (programs_.underWine())
        click(rootX(area_.w - 60), rootY(area_.h - 40));
    else
        display_->tap("Escape");
    EXPECT_TRUE(waitForNoPopup()) << "the popup stays open";
    EXPECT_EQ(storedSettings(), settings(1, 1, 1));

    // The plug-in goes and the viewer with it; the next start brings back
    // what was stored, and "Stay on top" on.
    tell("release");
    ASSERT_EQ(viewer_->wait(patience()), std::optional<int>(0));
    tell("attach");
    ASSERT_TRUE(openViewer()) << "no viewer window at the second start; viewer stderr:\n" << viewerErrors();
    EXPECT_TRUE(waitForPicture([&](const Image& image) { return backgroundIs(image, kGrey) && noBadge(image, kGrey); }))
        << "no points: no badge";
    EXPECT_TRUE(waitForAbove(true)) << "not above the others at the next start";
    ASSERT_NO_FATAL_FAILURE(openFromBar());
    EXPECT_EQ(checkMarks("1111"), "1111");
    click(rootX(area_.w - 60), rootY(area_.h - 40));  // elsewhere
    EXPECT_TRUE(waitForNoPopup()) << "a click elsewhere leaves the popup open";

    tell(outsideCloud);
    EXPECT_TRUE(waitForPicture([&](const Image& image) {
        return sphereAt(image, where(kOutside), kMagenta, kLitHighlight) && badgeShows(image, true, kGrey);
    })) << "stored settings at the next start";
}

}  // namespace
}  // namespace gui_test
