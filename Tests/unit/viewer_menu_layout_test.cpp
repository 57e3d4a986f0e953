// The menu bar and popup the GLFW shell draws itself: their geometry, where
// the popup opens, and what clicks, moves and keys do to it.
#include "app/menu_layout.h"

#include <gtest/gtest.h>

namespace orvalis::viewer {
namespace {

constexpr std::array<int, kMenuItemCount> kIds = {1001, 1002, 1003, 1004};

// "View" 26 pixels wide; the widest item text 110, in lines 13 high.
MenuMetrics sampleMetrics() {
    MenuMetrics metrics;
    metrics.textHeight = 13;
    metrics.viewTextWidth = 26;
    metrics.itemTextWidths = {60, 80, 110, 75};
    return metrics;
}

MenuLayout sampleMenu(int width = 540, int height = 520) {
    MenuLayout menu(sampleMetrics(), kIds);
    menu.resize(width, height);
    return menu;
}

void expectRect(const MenuRect& rect, int left, int top, int right, int bottom) {
    EXPECT_EQ(rect.left, left);
    EXPECT_EQ(rect.top, top);
    EXPECT_EQ(rect.right, right);
    EXPECT_EQ(rect.bottom, bottom);
}

// The popup lies wholly inside the client area.
void expectInside(const MenuLayout& menu, int width, int height) {
    const MenuRect popup = menu.popupRect();
    EXPECT_GE(popup.left, 0);
    EXPECT_GE(popup.top, 0);
    EXPECT_LE(popup.right, width);
    EXPECT_LE(popup.bottom, height);
}

TEST(ViewerMenuLayout, BarAndItemsTakeTheirSizesFromTheText) {
    EXPECT_EQ(menuBarHeight(0), 20);
    EXPECT_EQ(menuBarHeight(13), 20);
    EXPECT_EQ(menuBarHeight(26), 39);  // grows with larger text

    MenuLayout menu = sampleMenu();
    expectRect(menu.barRect(), 0, 0, 540, 20);
    expectRect(menu.viewRect(), 0, 0, 56, 19);  // text + 30; the bar's last row is its line

    // Under "View": one column as wide as the widest text + 60, rows of 24.
    menu.leftPress(10, 10);
    expectRect(menu.popupRect(), 0, 20, 176, 122);
    for (int i = 0; i < kMenuItemCount; ++i) {
        expectRect(menu.itemRect(i), 3, 23 + 24 * i, 173, 47 + 24 * i);
    }
    expectRect(menu.itemRect(kMenuItemCount), 0, 0, 0, 0);

    // Taller text makes taller items: 8 more than the text.
    MenuMetrics tall = sampleMetrics();
    tall.textHeight = 20;
    MenuLayout tallMenu(tall, kIds);
    tallMenu.resize(540, 520);
    tallMenu.openAt(100, 100);
    EXPECT_EQ(tallMenu.itemRect(0).height(), 28);
}

TEST(ViewerMenuLayout, ViewOpensOnAClickAndClosesOnTheNext) {
    MenuLayout menu = sampleMenu();
    EXPECT_EQ(menu.viewLook(), BarItemLook::Normal);
    EXPECT_TRUE(menu.pointerMove(20, 8).redraw);
    EXPECT_EQ(menu.viewLook(), BarItemLook::Hot);

    MenuResponse response = menu.leftPress(20, 8);
    EXPECT_TRUE(response.consumed);
    EXPECT_TRUE(response.redraw);
    EXPECT_TRUE(menu.isOpen());
    EXPECT_EQ(menu.viewLook(), BarItemLook::Pressed);
    // Letting go over "View" leaves the popup open.
    response = menu.leftRelease(20, 8);
    EXPECT_EQ(response.command, 0);
    EXPECT_TRUE(menu.isOpen());

    response = menu.leftPress(20, 8);
    EXPECT_TRUE(response.consumed);
    EXPECT_FALSE(menu.isOpen());
    EXPECT_EQ(menu.leftRelease(20, 8).consumed, false);
}

TEST(ViewerMenuLayout, AChoiceReturnsItsIdAndCloses) {
    MenuLayout menu = sampleMenu();
    menu.leftPress(20, 8);
    const MenuRect highlight = menu.itemRect(2);
    const int x = highlight.left + 5;
    const int y = highlight.top + 5;

    menu.pointerMove(x, y);
    EXPECT_EQ(menu.hotItem(), 2);
    EXPECT_TRUE(menu.leftPress(x, y).consumed);
    EXPECT_TRUE(menu.isOpen());  // chosen when the button comes up
    const MenuResponse response = menu.leftRelease(x, y);
    EXPECT_EQ(response.command, 1003);
    EXPECT_TRUE(response.redraw);
    EXPECT_FALSE(menu.isOpen());
    EXPECT_EQ(menu.hotItem(), -1);

    // The popup's border is no item.
    menu.leftPress(20, 8);
    const MenuRect popup = menu.popupRect();
    EXPECT_EQ(menu.leftRelease(popup.left + 1, popup.top + 1).command, 0);
    EXPECT_TRUE(menu.isOpen());
}

TEST(ViewerMenuLayout, AClickElsewhereOrEscapeOnlyCloses) {
    MenuLayout menu = sampleMenu();
    // Closed: the scene has its clicks; the rest of the bar swallows them.
    EXPECT_FALSE(menu.leftPress(300, 300).consumed);
    EXPECT_FALSE(menu.leftRelease(300, 300).consumed);
    const MenuResponse onBar = menu.leftPress(300, 10);
    EXPECT_TRUE(onBar.consumed);
    EXPECT_FALSE(menu.isOpen());

    menu.leftPress(20, 8);
    MenuResponse response = menu.leftPress(300, 300);
    EXPECT_TRUE(response.consumed);  // the camera does not see the closing click
    EXPECT_EQ(response.command, 0);
    EXPECT_FALSE(menu.isOpen());

    menu.leftPress(20, 8);
    response = menu.escape();
    EXPECT_TRUE(response.consumed);
    EXPECT_TRUE(response.redraw);
    EXPECT_FALSE(menu.isOpen());
    EXPECT_FALSE(menu.escape().consumed);

    // A new size closes it too: its place no longer holds.
    menu.leftPress(20, 8);
    menu.resize(600, 520);
    EXPECT_FALSE(menu.isOpen());
}

TEST(ViewerMenuLayout, ARightClickOpensAtThePointer) {
    MenuLayout menu = sampleMenu();
    EXPECT_FALSE(menu.rightPress(200, 150).consumed);
    MenuResponse response = menu.rightRelease(200, 150);
    EXPECT_TRUE(response.consumed);
    EXPECT_TRUE(menu.isOpen());
    EXPECT_EQ(menu.popupRect().left, 200);
    EXPECT_EQ(menu.popupRect().top, 150);
    EXPECT_EQ(menu.viewLook(), BarItemLook::Normal);  // not the bar's menu

    // The right button chooses too.
    const MenuRect top = menu.itemRect(0);
    EXPECT_TRUE(menu.rightPress(top.left + 4, top.top + 4).consumed);
    EXPECT_EQ(menu.rightRelease(top.left + 4, top.top + 4).command, 1001);
    EXPECT_FALSE(menu.isOpen());

    // A right click outside an open popup closes it and opens nothing.
    menu.rightRelease(200, 150);
    EXPECT_TRUE(menu.rightPress(20, 400).consumed);
    EXPECT_FALSE(menu.isOpen());
    EXPECT_TRUE(menu.rightRelease(20, 400).consumed);
    EXPECT_FALSE(menu.isOpen());

    // A click on "View" moves the open context menu under it.
    menu.rightRelease(200, 150);
    menu.leftPress(20, 8);
    EXPECT_TRUE(menu.isOpen());
    EXPECT_EQ(menu.popupRect().left, 0);
    EXPECT_EQ(menu.popupRect().top, 20);
}

TEST(ViewerMenuLayout, APopupNearAnEdgeStaysInsideTheWindow) {
    constexpr int kWidth = 540;
    constexpr int kHeight = 520;
    MenuLayout menu = sampleMenu(kWidth, kHeight);
    // Near the bottom-right corner it opens to the left and above.
    menu.rightRelease(kWidth - 10, kHeight - 10);
    expectRect(menu.popupRect(), kWidth - 10 - 176, kHeight - 10 - 102, kWidth - 10, kHeight - 10);
    // Near the right edge only: to the left, below the pointer.
    menu.close();
    menu.rightRelease(kWidth - 1, 40);
    expectRect(menu.popupRect(), kWidth - 1 - 176, 40, kWidth - 1, 142);
    // Near the bottom only, close to the left edge: above, to the right.
    menu.close();
    menu.openAt(5, kHeight - 1);
    expectRect(menu.popupRect(), 5, kHeight - 1 - 102, 181, kHeight - 1);
    // From the keyboard with the pointer outside the window.
    menu.close();
    menu.openAt(-50, 2000);
    expectInside(menu, kWidth, kHeight);

    // A window narrower than the popup: it starts at the left edge.
    MenuLayout narrow = sampleMenu(150, 90);
    narrow.rightRelease(100, 60);
    EXPECT_EQ(narrow.popupRect().left, 0);
    EXPECT_EQ(narrow.popupRect().top, 0);
}

TEST(ViewerMenuLayout, ThePointerAndTheKeysPickTheHotItem) {
    MenuLayout menu = sampleMenu();
    EXPECT_FALSE(menu.moveHot(1).consumed);  // closed: keys are not the menu's
    EXPECT_FALSE(menu.chooseHot().consumed);

    menu.rightRelease(100, 100);
    const MenuRect second = menu.itemRect(1);
    EXPECT_TRUE(menu.pointerMove(second.left + 1, second.bottom - 1).redraw);
    EXPECT_EQ(menu.hotItem(), 1);
    EXPECT_FALSE(menu.pointerMove(second.left + 2, second.top).redraw);  // same item
    EXPECT_TRUE(menu.pointerMove(second.left + 1, second.bottom).redraw);
    EXPECT_EQ(menu.hotItem(), 2);
    menu.pointerMove(10, 400);
    EXPECT_EQ(menu.hotItem(), -1);
    EXPECT_TRUE(menu.pointerMove(10, 400).consumed);  // the camera waits while it is open

    EXPECT_EQ(menu.chooseHot().command, 0);
    EXPECT_TRUE(menu.isOpen());
    menu.moveHot(-1);
    EXPECT_EQ(menu.hotItem(), 3);
    menu.moveHot(1);
    EXPECT_EQ(menu.hotItem(), 0);
    menu.moveHot(1);
    EXPECT_EQ(menu.chooseHot().command, 1002);
    EXPECT_FALSE(menu.isOpen());
}

}  // namespace
}  // namespace orvalis::viewer
