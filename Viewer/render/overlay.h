// The gamut badge drawn over the scene: a dark rounded badge in the
// top-right corner with a status dot and the "In Gamut" / "Out of Gamut"
// label, in window pixels with immediate-mode GL.
#pragma once

#include "app/viewer_state.h"
#include "render/label_text.h"
#include "render/overlay_geometry.h"
#include "render/renderer_state.h"

namespace orvalis::viewer {

// drawOverlay: the badge for a client area of width x height pixels, while
// gamutIndicator is on; makes the label textures on the first call and
// again when the interface scale has moved by more than 0.05. Called by the
// frame after the points, only when there are points.
void drawOverlay(RendererState& renderer, const ViewerState& viewer, int width, int height);

// makeLabelTexture: one label's texture for scale s (twice its display size
// in texels), or 0 when no text could be drawn; `displaySize` always gets
// the label's display size.
GLuint makeLabelTexture(LabelRasterizer* rasterizer, GamutLabel which, float scale, LabelSize& displaySize);

// drawDisc: a filled disc as one triangle fan, in the current colour.
void drawDisc(OverlayPoint centre, float radius, int segments);

// Deletes both label textures that exist and zeroes their names.
void deleteLabelTextures(OverlayState& overlay);

}  // namespace orvalis::viewer
