// The gamut badge drawn over the scene.
#pragma once

#include "app/viewer_state.h"
#include "render/renderer_state.h"

namespace orvalis::viewer {

// drawOverlay: the badge in the top-right corner for a client area of
// width x height pixels; called by the frame after the points, only when
// there are points. The badge itself is not built yet: for now this draws
// nothing.
void drawOverlay(RendererState& renderer, const ViewerState& viewer, int width, int height);

}  // namespace orvalis::viewer
