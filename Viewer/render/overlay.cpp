#include "render/overlay.h"

namespace orvalis::viewer {

void drawOverlay(RendererState& renderer, const ViewerState& viewer, int width, int height) {
    // The badge comes with its own change; the frame already calls here at
    // the right moment, after the points and before the swap.
    (void)renderer;
    (void)viewer;
    (void)width;
    (void)height;
}

}  // namespace orvalis::viewer
