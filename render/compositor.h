// Draws a kit view tree with OpenGL ES (3.0, or 2.0 where that is all the
// context offers) into the framebuffer that is bound.
//
// What is drawn is each view's presentation at the given time: animations
// at their current values, alpha multiplied down the tree, hidden views and
// their subviews skipped, transforms about anchor points, background
// colours, images (one texture per bitmap, the orientation flag as texture
// coordinates, mipmapped), text, the activity indicator's spinner. Views
// wholly off the viewport are culled; clipsToBounds clips.
#pragma once

#include <memory>

#include "kit/color.h"
#include "kit/view.h"

namespace render {

struct FrameSettings {
  double time = 0;            // presentation time (main clock seconds)
  int viewportWidth = 768;    // pixels of the bound framebuffer
  int viewportHeight = 1024;
  float pixelsPerPoint = 1;   // the root's points to pixels
  float offsetX = 0;          // where the root's origin lands, in pixels
  float offsetY = 0;          // (letterboxing in a window)
  kit::Color clearColor = kit::Color::black();
};

struct FrameStats {
  int viewsVisited = 0;
  int quadsDrawn = 0;
  int viewsCulled = 0;
  int texturesAlive = 0;
};

class Compositor {
 public:
  // Needs a current GL context; the compositor belongs to that context.
  Compositor();
  ~Compositor();
  Compositor(const Compositor&) = delete;
  Compositor& operator=(const Compositor&) = delete;

  // Draws root (in its own coordinates, origin top-left) into the bound
  // framebuffer.
  void draw(const kit::View& root, const FrameSettings& settings);
  const FrameStats& lastFrameStats() const { return stats_; }

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  FrameStats stats_;
};

}  // namespace render
