// The GL renderer: entry points, shader programs, sphere mesh, and one
// frame of the scene. Runs on the thread whose context is current.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "app/viewer_state.h"
#include "render/capabilities.h"
#include "render/gl_loader.h"
#include "render/label_text.h"

namespace orvalis::viewer {

struct RendererState;  // every GL name, location, capacity and flag

class Renderer {
public:
    Renderer();
    ~Renderer();
    Renderer(const Renderer&) = delete;
    Renderer& operator=(const Renderer&) = delete;

    // detectCapabilities on the current context (also run again by init).
    const GlCapabilities& detect();
    const GlCapabilities& capabilities() const noexcept;
    // initRenderer: loads the entry points, sets the default state and
    // builds the programs, the mesh and the vertex arrays. Once per context
    // (release first to run it again).
    void init(const GlLookup& lookup);
    // drawFrame: background, cube frame, points, overlay; then swapBuffers.
    // Holds state.intake.pointsMutex from the emptiness check through the
    // draw of the points. Before init it draws immediate-mode points.
    void drawFrame(ViewerState& state, int width, int height, const std::function<void()>& swapBuffers);
    // Deletes every GL object made by init and the overlay; the context
    // must be current. Safe twice.
    void release();
    // The platform's text renderer for the overlay's labels (GDI or
    // FreeType), given by the shell; without one the badge has no label.
    void setLabelRasterizer(std::unique_ptr<LabelRasterizer> rasterizer);
    // The rasterizer given, for other GL-drawn text; null when none.
    LabelRasterizer* labelRasterizer() const noexcept;

private:
    std::unique_ptr<RendererState> state_;
};

}  // namespace orvalis::viewer
