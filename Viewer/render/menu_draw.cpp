#include "render/menu_draw.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <optional>

#include "render/gl_headers.h"

namespace orvalis::viewer {

namespace {

void setColour(const MenuColor& colour) { glColor4ub(colour.red, colour.green, colour.blue, 255); }

void fillRect(const MenuRect& rect, const MenuColor& colour) {
    if (rect.width() <= 0 || rect.height() <= 0) {
        return;
    }
    setColour(colour);
    glBegin(GL_QUADS);
    glVertex2i(rect.left, rect.top);
    glVertex2i(rect.right, rect.top);
    glVertex2i(rect.right, rect.bottom);
    glVertex2i(rect.left, rect.bottom);
    glEnd();
}

// A one-pixel frame just inside the rectangle, as FrameRect draws it.
void frameRect(const MenuRect& r, const MenuColor& colour) {
    fillRect({r.left, r.top, r.right, r.top + 1}, colour);
    fillRect({r.left, r.bottom - 1, r.right, r.bottom}, colour);
    fillRect({r.left, r.top + 1, r.left + 1, r.bottom - 1}, colour);
    fillRect({r.right - 1, r.top + 1, r.right, r.bottom - 1}, colour);
}

void drawCheckMark(const MenuRect& item) {
    const std::array<MenuPoint, 3> points = checkMarkPoints(item.left, item.top, item.right, item.bottom);
    glLineWidth(static_cast<GLfloat>(kMenuCheckMarkPenWidth));
    setColour(kMenuCheckMark);
    glBegin(GL_LINE_STRIP);
    for (const MenuPoint& p : points) {
        // A pixel's centre: the pen is centred on the points GDI names.
        glVertex2f(static_cast<float>(p.x) + 0.5f, static_cast<float>(p.y) + 0.5f);
    }
    glEnd();
    glLineWidth(1.0f);
}

std::string textureKey(const std::string& text, const MenuColor& colour) {
    std::string key(3, '\0');
    key[0] = static_cast<char>(colour.red);
    key[1] = static_cast<char>(colour.green);
    key[2] = static_cast<char>(colour.blue);
    return key + text;
}

}  // namespace

MenuDrawer::MenuDrawer(LabelRasterizer* rasterizer, int pixelHeight) noexcept
    : rasterizer_(rasterizer), pixelHeight_(std::max(1, pixelHeight)) {}

LabelStyle MenuDrawer::styleFor(const MenuColor& colour) const noexcept {
    LabelStyle style;
    style.pixelHeight = pixelHeight_;
    style.weight = 700;
    style.red = colour.red;
    style.green = colour.green;
    style.blue = colour.blue;
    return style;
}

MenuMetrics MenuDrawer::measure(const std::array<MenuItem, kMenuItemCount>& items) {
    // Without a text renderer: an average bold character is about 0.6 of
    // the character height wide, a line 1.2 of it high.
    const int estimatedHeight = (pixelHeight_ * 6 + 4) / 5;
    auto measureOne = [&](const char* text, int& height) {
        int width = 0;
        int measuredHeight = 0;
        if (rasterizer_ != nullptr) {
            rasterizer_->measure(text, styleFor(kMenuText), width, measuredHeight);
        }
        if (width <= 0 || measuredHeight <= 0) {
            width = static_cast<int>(std::strlen(text)) * pixelHeight_ * 3 / 5;
            measuredHeight = estimatedHeight;
        }
        height = std::max(height, measuredHeight);
        return width;
    };
    MenuMetrics metrics;
    metrics.viewTextWidth = measureOne(kViewMenuText, metrics.textHeight);
    for (std::size_t i = 0; i < items.size(); ++i) {
        metrics.itemTextWidths[i] = measureOne(items[i].text, metrics.textHeight);
    }
    return metrics;
}

const MenuDrawer::TextTexture& MenuDrawer::textTexture(const std::string& text, const MenuColor& colour) {
    const std::string key = textureKey(text, colour);
    if (auto found = textures_.find(key); found != textures_.end()) {
        return found->second;
    }
    // Made once, even when it fails: no text renderer work per frame.
    TextTexture& texture = textures_[key];
    if (rasterizer_ == nullptr) {
        return texture;
    }
    const LabelStyle style = styleFor(colour);
    int width = 0;
    int height = 0;
    rasterizer_->measure(text, style, width, height);
    if (const std::optional<LabelBitmap> bitmap = renderLabel(rasterizer_, text, style, width, height)) {
        texture.name = uploadLabelTexture(*bitmap);
        texture.width = width;
        texture.height = height;
    }
    return texture;
}

void MenuDrawer::drawText(const std::string& string, const MenuColor& colour, const MenuRect& rect, bool centred) {
    const TextTexture& texture = textTexture(string, colour);
    if (texture.name == 0) {
        return;
    }
    // Whole pixels, so that each texel lands on one pixel.
    const int x = centred ? rect.left + (rect.width() - texture.width) / 2 : rect.left;
    const int y = rect.top + (rect.height() - texture.height) / 2;
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture.name);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex2i(x, y);
    glTexCoord2f(1.0f, 0.0f);
    glVertex2i(x + texture.width, y);
    glTexCoord2f(1.0f, 1.0f);
    glVertex2i(x + texture.width, y + texture.height);
    glTexCoord2f(0.0f, 1.0f);
    glVertex2i(x, y + texture.height);
    glEnd();
    glBindTexture(GL_TEXTURE_2D, 0);
    glDisable(GL_TEXTURE_2D);
}

void MenuDrawer::draw(const MenuLayout& layout, const std::array<MenuItem, kMenuItemCount>& items, int width,
                      int height) {
    if (width <= 0 || height <= 0) {
        return;
    }
    glViewport(0, 0, width, height);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glDisable(GL_CULL_FACE);
    // Smoothed polygons would show the seams between a quad's triangles.
    glDisable(GL_POLYGON_SMOOTH);
    glDisable(GL_LINE_SMOOTH);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    // Window pixels as the layout counts them: origin top-left, y down.
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0.0, width, height, 0.0, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();

    fillRect(layout.barRect(), kMenuBarBackground);
    const MenuRect view = layout.viewRect();
    switch (layout.viewLook()) {
    case BarItemLook::Normal: fillRect(view, kMenuBarItemNormal); break;
    case BarItemLook::Hot:
        fillRect(view, kMenuBarItemHot);
        frameRect(view, kMenuBarItemFrame);
        break;
    case BarItemLook::Pressed:
        fillRect(view, kMenuBarItemPressed);
        frameRect(view, kMenuBarItemFrame);
        break;
    }
    drawText(kViewMenuText, kMenuText, view, true);

    if (layout.isOpen()) {
        const MenuRect popup = layout.popupRect();
        fillRect(popup, kMenuPopupBackground);
        // The popup window's border, so that it stands out from a grey scene.
        frameRect(popup, kMenuBarItemFrame);
        for (int i = 0; i < kMenuItemCount; ++i) {
            const MenuItem& item = items[static_cast<std::size_t>(i)];
            const MenuRect rect = layout.itemRect(i);
            fillRect(rect, i == layout.hotItem() ? kMenuItemSelected : kMenuPopupBackground);
            const MenuRect textRect{rect.left + kMenuTextLeftInset, rect.top, rect.right - kMenuTextRightInset,
                                    rect.bottom};
            drawText(item.text, item.enabled ? kMenuText : kMenuTextDisabled, textRect, false);
            if (item.checked) {
                drawCheckMark(rect);
            }
        }
    }

    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glEnable(GL_LINE_SMOOTH);
    glEnable(GL_POLYGON_SMOOTH);
    glEnable(GL_DEPTH_TEST);
}

void MenuDrawer::release() {
    for (auto& [key, texture] : textures_) {
        if (texture.name != 0) {
            const GLuint name = texture.name;
            glDeleteTextures(1, &name);
        }
    }
    textures_.clear();
}

}  // namespace orvalis::viewer
