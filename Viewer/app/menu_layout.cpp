#include "app/menu_layout.h"

#include <algorithm>
#include <cstddef>

namespace orvalis::viewer {

namespace {

// Keeps a span of `size` starting at `start` inside [0, limit), preferring
// the start when the span is larger than the limit.
int clampStart(int start, int size, int limit) noexcept { return std::max(0, std::min(start, limit - size)); }

}  // namespace

int menuBarHeight(int textHeight) noexcept {
    return std::max(kMinMenuBarHeight, (3 * std::max(0, textHeight) + 1) / 2);
}

MenuLayout::MenuLayout(const MenuMetrics& metrics, const std::array<int, kMenuItemCount>& itemIds) noexcept
    : itemIds_(itemIds),
      barHeight_(menuBarHeight(metrics.textHeight)),
      viewWidth_(metrics.viewTextWidth + kMenuBarItemExtraWidth) {
    // A popup is one column: every item takes the widest item's width.
    for (int textWidth : metrics.itemTextWidths) {
        const MenuItemSize size = menuItemSize(textWidth, metrics.textHeight);
        itemSize_.width = std::max(itemSize_.width, size.width);
        itemSize_.height = std::max(itemSize_.height, size.height);
    }
}

void MenuLayout::resize(int width, int height) noexcept {
    if (width != width_ || height != height_) {
        open_ = false;
        hotItem_ = -1;
    }
    width_ = std::max(0, width);
    height_ = std::max(0, height);
}

MenuRect MenuLayout::barRect() const noexcept { return {0, 0, width_, barHeight_}; }

MenuRect MenuLayout::viewRect() const noexcept {
    // The bar's last row is the line below the bar, not part of the item.
    return {0, 0, viewWidth_, barHeight_ - 1};
}

BarItemLook MenuLayout::viewLook() const noexcept {
    if (open_ && openedFromBar_) {
        return BarItemLook::Pressed;
    }
    return viewHot_ ? BarItemLook::Hot : BarItemLook::Normal;
}

MenuRect MenuLayout::popupRect() const noexcept {
    if (!open_) {
        return {};
    }
    return {popupLeft_, popupTop_, popupLeft_ + itemSize_.width + 2 * kPopupBorder,
            popupTop_ + kMenuItemCount * itemSize_.height + 2 * kPopupBorder};
}

MenuRect MenuLayout::itemRect(int index) const noexcept {
    if (!open_ || index < 0 || index >= kMenuItemCount) {
        return {};
    }
    const int left = popupLeft_ + kPopupBorder;
    const int top = popupTop_ + kPopupBorder + index * itemSize_.height;
    return {left, top, left + itemSize_.width, top + itemSize_.height};
}

int MenuLayout::itemAt(int x, int y) const noexcept {
    for (int i = 0; i < kMenuItemCount; ++i) {
        if (itemRect(i).contains(x, y)) {
            return i;
        }
    }
    return -1;
}

void MenuLayout::placePopup(int x, int y) noexcept {
    const int width = itemSize_.width + 2 * kPopupBorder;
    const int height = kMenuItemCount * itemSize_.height + 2 * kPopupBorder;
    // As a context menu near the screen's edge: it opens to the left of or
    // above the pointer when it does not fit to the right or below.
    if (x + width > width_) {
        x -= width;
    }
    if (y + height > height_) {
        y -= height;
    }
    popupLeft_ = clampStart(x, width, width_);
    popupTop_ = clampStart(y, height, height_);
}

MenuResponse MenuLayout::openAt(int x, int y) noexcept {
    open_ = true;
    openedFromBar_ = false;
    hotItem_ = -1;
    viewHot_ = false;
    placePopup(x, y);
    return {true, true, 0};
}

MenuResponse MenuLayout::openUnderView() noexcept {
    open_ = true;
    openedFromBar_ = true;
    hotItem_ = -1;
    const MenuRect popup = popupRect();
    popupLeft_ = clampStart(0, popup.width(), width_);
    popupTop_ = clampStart(barHeight_, popup.height(), height_);
    return {true, true, 0};
}

MenuResponse MenuLayout::choose(int index) noexcept {
    const int command = itemIds_[static_cast<std::size_t>(index)];
    close();
    return {true, true, command};
}

MenuResponse MenuLayout::close() noexcept {
    if (!open_) {
        return {};
    }
    open_ = false;
    openedFromBar_ = false;
    hotItem_ = -1;
    return {true, true, 0};
}

MenuResponse MenuLayout::leftPress(int x, int y) noexcept {
    if (open_) {
        if (viewRect().contains(x, y)) {
            return openedFromBar_ ? close() : openUnderView();
        }
        if (popupRect().contains(x, y)) {
            const int before = hotItem_;
            hotItem_ = itemAt(x, y);
            return {true, hotItem_ != before, 0};
        }
        // A click elsewhere only closes the menu.
        return close();
    }
    if (viewRect().contains(x, y)) {
        return openUnderView();
    }
    return {barRect().contains(x, y), false, 0};
}

MenuResponse MenuLayout::leftRelease(int x, int y) noexcept {
    if (!open_) {
        return {};
    }
    const int index = itemAt(x, y);
    if (index >= 0) {
        return choose(index);
    }
    return {true, false, 0};
}

MenuResponse MenuLayout::rightPress(int x, int y) noexcept {
    if (!open_) {
        return {};
    }
    if (popupRect().contains(x, y)) {
        return {true, false, 0};
    }
    swallowRightRelease_ = true;
    return close();
}

MenuResponse MenuLayout::rightRelease(int x, int y) noexcept {
    if (swallowRightRelease_) {
        swallowRightRelease_ = false;
        return {true, false, 0};
    }
    if (!open_) {
        return openAt(x, y);
    }
    const int index = itemAt(x, y);
    if (index >= 0) {
        return choose(index);
    }
    return {true, false, 0};
}

MenuResponse MenuLayout::pointerMove(int x, int y) noexcept {
    const bool viewHot = !open_ && viewRect().contains(x, y);
    const int hotItem = open_ ? itemAt(x, y) : -1;
    const bool changed = viewHot != viewHot_ || hotItem != hotItem_;
    viewHot_ = viewHot;
    hotItem_ = hotItem;
    return {open_, changed, 0};
}

MenuResponse MenuLayout::pointerLeave() noexcept {
    const bool changed = viewHot_;
    viewHot_ = false;
    return {open_, changed, 0};
}

MenuResponse MenuLayout::escape() noexcept { return close(); }

MenuResponse MenuLayout::moveHot(int step) noexcept {
    if (!open_ || step == 0) {
        return {};
    }
    if (hotItem_ < 0) {
        hotItem_ = step > 0 ? 0 : kMenuItemCount - 1;
    } else {
        hotItem_ = ((hotItem_ + step) % kMenuItemCount + kMenuItemCount) % kMenuItemCount;
    }
    return {true, true, 0};
}

MenuResponse MenuLayout::chooseHot() noexcept {
    if (!open_) {
        return {};
    }
    if (hotItem_ < 0) {
        return {true, false, 0};
    }
    return choose(hotItem_);
}

}  // namespace orvalis::viewer
