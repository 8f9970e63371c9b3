// Draws a kit view tree with OpenGL ES (3.0, or 2.0 where that is all the
// context offers) into the framebuffer that is bound.
//
// What is drawn is each view's presentation at the given time: animations
// at their current values, alpha multiplied down the tree, hidden views and
// their subviews skipped, transforms about anchor points, background
// colours, images (one texture per bitmap, the orientation flag as texture
// coordinates, mipmapped), text, the activity indicator's spinner. Views
// wholly off the viewport are culled; clipsToBounds clips. Nothing under
// an opaque quad over the whole viewport is drawn, and a translucent black
// one over the whole viewport above it (a shadow) darkens the colours of
// what it covers rather than being blended over every pixel.
#pragma once

#include <memory>
#include <stdexcept>

#include "kit/color.h"
#include "kit/view.h"
#include "render/frame_settings.h"

namespace render {

struct FrameStats {
  int viewsVisited = 0;
  int quadsDrawn = 0;
  int viewsCulled = 0;
  int texturesAlive = 0;
  int drawCalls = 0;
  int quadsHidden = 0;  // under an opaque quad over the whole viewport: not drawn
  int quadsFolded = 0;  // translucent black over the whole viewport, drawn as the
                        // darker colours of the quads under it
};

// The context refused something (out of memory, a lost context).
class RenderError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Compositor {
 public:
  // Needs a current GL context; the compositor belongs to that context.
  // Throws RenderError when the context cannot run its shaders.
  // glesVersionLimit 2 keeps to what OpenGL ES 2.0 offers even on a newer
  // context (drivers hand out 3.x when 2.0 is asked for), so the fallback
  // can be tried anywhere.
  explicit Compositor(int glesVersionLimit = 3);
  ~Compositor();
  Compositor(const Compositor&) = delete;
  Compositor& operator=(const Compositor&) = delete;

  // Draws root (in its own coordinates, origin top-left) into the bound
  // framebuffer. Sets the GL state it needs (viewport, blending, scissor,
  // stencil, program, buffers) and does not restore it. Throws RenderError
  // when GL reports an error.
  void draw(const kit::View& root, const FrameSettings& settings);
  const FrameStats& lastFrameStats() const { return stats_; }

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  FrameStats stats_;
};

}  // namespace render
