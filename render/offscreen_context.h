// An OpenGL ES context with no display and no window (EGL on Mesa; the
// software rasteriser where there is no GPU), drawing into a framebuffer
// object of a given size whose pixels can be read back.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>

#include "kit/bitmap.h"

namespace render {

// Why no context could be made, in words a person can act on.
class OffscreenError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class OffscreenContext {
 public:
  // Makes the context current and its framebuffer bound: OpenGL ES 3 where
  // there is one, else 2. Throws OffscreenError.
  OffscreenContext(int width, int height);
  ~OffscreenContext();
  OffscreenContext(const OffscreenContext&) = delete;
  OffscreenContext& operator=(const OffscreenContext&) = delete;

  // Makes it current again (after another context was) and binds its
  // framebuffer.
  void makeCurrent();
  int width() const { return width_; }
  int height() const { return height_; }
  int glesMajorVersion() const;
  // "llvmpipe (LLVM 15.0.6, 256 bits), OpenGL ES 3.2 Mesa 22.3.6".
  std::string description() const;

  // Waits for the drawing and returns the framebuffer as straight-alpha
  // RGBA, rows top to bottom. Throws OffscreenError when GL fails.
  kit::Bitmap readPixels();

 private:
  struct Egl;
  std::unique_ptr<Egl> egl_;
  int width_;
  int height_;
};

}  // namespace render
