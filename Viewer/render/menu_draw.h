// The View menu drawn in GL over the frame (the GLFW shell's menu): the dark
// bar with "View" and the open popup, in window pixels, with the menu
// colours, bold text and the check mark. Text comes from the label
// machinery, one texture per string, made on first use.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>

#include "app/menu_layout.h"
#include "app/view_menu.h"
#include "render/label_text.h"

namespace orvalis::viewer {

// The menu bar's item text.
inline constexpr char kViewMenuText[] = "View";

class MenuDrawer {
public:
    // Text through `rasterizer` (not owned; null draws no text) at a
    // character height of `pixelHeight`, bold.
    MenuDrawer(LabelRasterizer* rasterizer, int pixelHeight) noexcept;
    ~MenuDrawer() = default;
    MenuDrawer(const MenuDrawer&) = delete;
    MenuDrawer& operator=(const MenuDrawer&) = delete;

    // The text sizes the layout is made from. With no rasterizer, or text it
    // cannot measure, a size estimated from the character height.
    MenuMetrics measure(const std::array<MenuItem, kMenuItemCount>& items);

    // Draws the bar and, when open, the popup over a framebuffer of
    // width x height pixels; the context must be current. Leaves depth
    // testing and smoothing on, the renderer's defaults.
    void draw(const MenuLayout& layout, const std::array<MenuItem, kMenuItemCount>& items, int width, int height);

    // Deletes the text textures; the context must be current. Safe twice.
    void release();

private:
    struct TextTexture {
        std::uint32_t name = 0;  // 0: nothing to draw
        int width = 0;
        int height = 0;
    };
    LabelStyle styleFor(const MenuColor& colour) const noexcept;
    const TextTexture& textTexture(const std::string& text, const MenuColor& colour);
    void drawText(const std::string& text, const MenuColor& colour, const MenuRect& rect, bool centred);

    LabelRasterizer* rasterizer_;
    int pixelHeight_;
    std::map<std::string, TextTexture> textures_;  // by colour and text
};

}  // namespace orvalis::viewer
