// What a window's frame needs around the compositor's drawing, in the
// window's own framebuffer (0): clearing it, blacking out all but the
// screen's rectangle, and copying in a picture drawn apart. Rectangles are
// in pixels from the top-left corner, y down, as the window lays them out;
// GL's rows counted from the bottom stay in here.
#pragma once

#include "render/framebuffer_target.h"

namespace render {

struct PixelRect {
  int x = 0, y = 0, width = 0, height = 0;
};

// Whether the context can copy between framebuffers (OpenGL ES 3), which
// copyIntoWindow needs. Needs a current context.
bool canCopyBetweenFramebuffers();

// Binds the window's framebuffer and clears all of it to black.
void clearWindow(int windowWidth, int windowHeight);

// Blacks out everything outside keep: the compositor draws a tree that
// reaches beyond it.
void blackOutAround(const PixelRect& keep, int windowWidth, int windowHeight);

// Copies from's bottom-left to.width × to.height pixels into the window at
// to, pixel for pixel, and leaves the window's framebuffer bound.
void copyIntoWindow(const FramebufferTarget& from, const PixelRect& to, int windowHeight);

}  // namespace render
