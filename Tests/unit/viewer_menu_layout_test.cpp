// The menu bar and popup the GLFW shell draws itself: their geometry, where
// the popup opens, and what clicks, moves and keys do to it.
#include "app/menu_layout.h"

#include <gtest/gtest.h>

#include <tuple>

namespace orvalis::viewer {
namespace {

constexpr std::array<int, kMenuItemCount> kIds = {1001, 1002, 1003, 1004};

// "View" 26 pixels wide; the widest item text 110, in lines 13 high.
MenuLayout sampleMenu(int width = 540, int height = 520, int textHeight = 13) {
    MenuLayout menu({textHeight, 26, {60, 80, 110, 75}}, kIds);
    menu.resize(width, height);
    return menu;
}

void expectRect(const MenuRect& rect, int left, int top, int right, int bottom) {
    EXPECT_EQ(std::tuple(rect.left, rect.top, rect.right, rect.bottom), std::tuple(left, top, right, bottom));
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
    for (int i = 0; i < kMenuItemCount; ++i)
        expectRect(menu.itemRect(i), 3, 23 + 24 * i, 173, 47 + 24 * i);
    expectRect(menu.itemRect(kMenuItemCount), 0, 0, 0, 0);

    MenuLayout tall = sampleMenu(540, 520, 20);
    tall.openAt(100, 100);
    EXPECT_EQ(tall.itemRect(0).height(), 28) << "taller text makes items 8 more than the text";
}

TEST(ViewerMenuLayout, ViewOpensOnAClickAChoiceReturnsItsIdAndOtherClicksOnlyClose) {
    MenuLayout menu = sampleMenu();
    // Closed: the scene has its clicks; the rest of the bar swallows them.
    EXPECT_FALSE(menu.leftPress(300, 300).consumed);
    EXPECT_FALSE(menu.leftRelease(300, 300).consumed);
    EXPECT_TRUE(menu.leftPress(300, 10).consumed);
    EXPECT_FALSE(menu.isOpen());

    EXPECT_TRUE(menu.pointerMove(20, 8).redraw);
    EXPECT_EQ(menu.viewLook(), BarItemLook::Hot);
    MenuResponse response = menu.leftPress(20, 8);
    EXPECT_TRUE(response.consumed && response.redraw && menu.isOpen());
    EXPECT_EQ(menu.viewLook(), BarItemLook::Pressed);
    EXPECT_EQ(menu.leftRelease(20, 8).command, 0);
    EXPECT_TRUE(menu.isOpen()) << "letting go over View leaves it open";
    EXPECT_TRUE(menu.leftPress(20, 8).consumed);
    EXPECT_FALSE(menu.isOpen()) << "the next click on View closes it";
    EXPECT_FALSE(menu.leftRelease(20, 8).consumed);

    // An item is chosen when the button comes up over it; the border is no item.
    menu.leftPress(20, 8);
    const MenuRect popup = menu.popupRect();
    EXPECT_EQ(menu.leftRelease(popup.left + 1, popup.top + 1).command, 0);
    const int x = menu.itemRect(2).left + 5, y = menu.itemRect(2).top + 5;
    menu.pointerMove(x, y);
    EXPECT_EQ(menu.hotItem(), 2);
    EXPECT_TRUE(menu.leftPress(x, y).consumed);
    response = menu.leftRelease(x, y);
    EXPECT_EQ(response.command, 1003);
    EXPECT_TRUE(response.redraw);
    EXPECT_FALSE(menu.isOpen());
    EXPECT_EQ(menu.hotItem(), -1);

    // A click elsewhere, Escape or a new size only closes.
    menu.leftPress(20, 8);
    response = menu.leftPress(300, 300);
    EXPECT_TRUE(response.consumed) << "the camera does not see the closing click";
    EXPECT_EQ(response.command, 0);
    EXPECT_FALSE(menu.isOpen());
    menu.leftPress(20, 8);
    response = menu.escape();
    EXPECT_TRUE(response.consumed && response.redraw && !menu.isOpen());
    EXPECT_FALSE(menu.escape().consumed);
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
    MenuLayout menu = sampleMenu(540, 520);
    const struct {
        const char* what;
        int x, y, left, top;
    } places[] = {
        {"near the bottom-right corner: to the left and above", 530, 510, 530 - 176, 510 - 102},
        {"near the right edge only: to the left, below", 539, 40, 539 - 176, 40},
        {"near the bottom only: above, to the right", 5, 519, 5, 519 - 102},
        {"from the keyboard with the pointer outside the window", -50, 2000, 0, 520 - 102},
    };
    for (const auto& p : places) {
        SCOPED_TRACE(p.what);
        menu.openAt(p.x, p.y);
        expectRect(menu.popupRect(), p.left, p.top, p.left + 176, p.top + 102);
        menu.close();
    }
    MenuLayout narrow = sampleMenu(150, 90);
    narrow.rightRelease(100, 60);
    EXPECT_EQ(narrow.popupRect().left, 0) << "a window narrower than the popup: from its left edge";
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
