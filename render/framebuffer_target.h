// An offscreen framebuffer to draw a tree into apart from the window's, to
// be copied in afterwards (the compositor clears all of the framebuffer it
// draws into). Colour plus depth and stencil, of one size at a time.
#pragma once

#include <GLES3/gl3.h>

namespace render {

class FramebufferTarget {
 public:
  FramebufferTarget() = default;
  FramebufferTarget(const FramebufferTarget&) = delete;
  FramebufferTarget& operator=(const FramebufferTarget&) = delete;
  ~FramebufferTarget();

  // Binds it, made width × height pixels (remade only when that changes);
  // false, with the window's framebuffer (0) bound again, when the driver
  // will not make it complete. Needs OpenGL ES 3.
  bool bind(int width, int height);
  GLuint framebuffer() const { return framebuffer_; }

 private:
  void release();

  GLuint framebuffer_ = 0;
  GLuint buffers_[2] = {0, 0};  // colour, depth and stencil
  int width_ = 0;
  int height_ = 0;
};

}  // namespace render
