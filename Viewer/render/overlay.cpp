#include "render/overlay.h"

#include "render/gl_headers.h"

namespace orvalis::viewer {

namespace {

constexpr float kOrthoNear = -1.0f;
constexpr float kOrthoFar = 1.0f;

void setColour(const OverlayColour& c) { glColor4f(c.r, c.g, c.b, c.a); }

void vertex(const OverlayPoint& p) { glVertex2f(p.x, p.y); }

// Step out of the scene's state: no program, buffers or vertex array; no
// depth, lighting or culling; blended, smoothed lines.
void enterOverlayState(const RendererState& r) {
    const GlApi& gl = r.gl;
    if (gl.UseProgram != nullptr) {
        gl.UseProgram(0);
    }
    if (gl.BindBuffer != nullptr) {
        gl.BindBuffer(GL_ARRAY_BUFFER, 0);
        gl.BindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    }
    if (r.sphereVertexArray != 0 && gl.BindVertexArray != nullptr) {
        gl.BindVertexArray(0);
    }
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glDisable(GL_CULL_FACE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_LINE_SMOOTH);
    glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
}

void drawLabel(GLuint texture, OverlayPoint origin, LabelSize size) {
    if (texture == 0) {
        return;
    }
    const float x = origin.x;
    const float y = origin.y;
    const float w = static_cast<float>(size.width);
    const float h = static_cast<float>(size.height);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texture);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    // Texture row 0 is the top of the text.
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 1.0f);
    glVertex2f(x, y);
    glTexCoord2f(1.0f, 1.0f);
    glVertex2f(x + w, y);
    glTexCoord2f(1.0f, 0.0f);
    glVertex2f(x + w, y + h);
    glTexCoord2f(0.0f, 0.0f);
    glVertex2f(x, y + h);
    glEnd();
    glBindTexture(GL_TEXTURE_2D, 0);
    glDisable(GL_TEXTURE_2D);
}

}  // namespace

void deleteLabelTextures(OverlayState& overlay) {
    for (GLuint* texture : {&overlay.inGamutTexture, &overlay.outOfGamutTexture}) {
        if (*texture != 0) {
            glDeleteTextures(1, texture);
            *texture = 0;
        }
    }
}

GLuint makeLabelTexture(LabelRasterizer* rasterizer, GamutLabel which, float scale, LabelSize& displaySize) {
    displaySize = labelDisplaySize(which, scale);
    const LabelSize texels = labelTextureSize(displaySize);
    const TextColour colour = labelTextColour(which);
    LabelStyle style;
    style.pixelHeight = labelPixelHeight(scale);
    style.weight = 600;
    style.red = colour.red;
    style.green = colour.green;
    style.blue = colour.blue;
    if (rasterizer != nullptr) {
        // A face wider than the one the sizes were made for would lose the
        // label's last letters at the texture's edge.
        style = fitLabelStyle(*rasterizer, labelText(which), style, texels.width);
    }
    const std::optional<LabelBitmap> bitmap =
        renderLabel(rasterizer, labelText(which), style, texels.width, texels.height);
    return bitmap ? static_cast<GLuint>(uploadLabelTexture(*bitmap)) : 0;
}

void drawDisc(OverlayPoint centre, float radius, int segments) {
    glBegin(GL_TRIANGLE_FAN);
    vertex(centre);
    for (const OverlayPoint& p : discRim(centre, radius, segments)) {
        vertex(p);
    }
    glEnd();
}

void drawOverlay(RendererState& r, const ViewerState& viewer, int width, int height) {
    if (!viewer.gamutIndicator.load() || width <= 0 || height <= 0) {
        return;
    }
    OverlayState& o = r.overlay;
    const float s = interfaceScale(height);
    if (labelsNeedRebuild(o.labelScale, s)) {
        deleteLabelTextures(o);
        o.labelScale = s;
    }
    LabelRasterizer* text = r.labelRasterizer.get();
    if (o.inGamutTexture == 0) {
        LabelSize size;
        o.inGamutTexture = makeLabelTexture(text, GamutLabel::InGamut, s, size);
        o.inGamutLabelWidth = size.width;
        o.inGamutLabelHeight = size.height;
    }
    if (o.outOfGamutTexture == 0) {
        LabelSize size;
        o.outOfGamutTexture = makeLabelTexture(text, GamutLabel::OutOfGamut, s, size);
        o.outOfGamutLabelWidth = size.width;
        o.outOfGamutLabelHeight = size.height;
    }

    enterOverlayState(r);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0.0, width, 0.0, height, kOrthoNear, kOrthoFar);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();

    const bool outOfGamut = viewer.intake.hasOutOfRange.load();
    const GLuint texture = outOfGamut ? o.outOfGamutTexture : o.inGamutTexture;
    const LabelSize label = outOfGamut ? LabelSize{o.outOfGamutLabelWidth, o.outOfGamutLabelHeight}
                                       : LabelSize{o.inGamutLabelWidth, o.inGamutLabelHeight};
    const BadgeGeometry badge = badgeGeometry(width, height, label);
    const BadgeColours colours = badgeColours(outOfGamut);

    setColour(colours.fill);
    glBegin(GL_TRIANGLE_FAN);
    for (const OverlayPoint& p : badgeFan(badge)) {
        vertex(p);
    }
    glEnd();

    glLineWidth(badge.borderWidth);
    setColour(colours.border);
    glBegin(GL_LINE_LOOP);
    for (const OverlayPoint& p : badgeOutline(badge)) {
        vertex(p);
    }
    glEnd();
    glLineWidth(1.0f);

    setColour(colours.glow);
    drawDisc(badge.dotCentre, badge.glowRadius, kDotSegments);
    setColour(colours.dot);
    drawDisc(badge.dotCentre, badge.dotRadius, kDotSegments);

    drawLabel(texture, badge.labelOrigin, label);

    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glEnable(GL_DEPTH_TEST);
}

}  // namespace orvalis::viewer
