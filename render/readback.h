// Reading a drawn frame back from the bound framebuffer: the headless
// runner's snapshots and the window's screenshot at exit.
#pragma once

#include <stdexcept>
#include <string>

#include "kit/bitmap.h"

namespace render {

// What the framebuffer's alpha channel holds.
enum class FramebufferAlpha {
  Premultiplied,  // the compositor's own: colour is made straight again
  Meaningless,    // a window's, which may have no alpha channel: read as opaque
};

// GL refused the read; what() is its error's name ("GL_INVALID_OPERATION").
class ReadbackError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Waits for the drawing and returns width × height pixels from the bound
// framebuffer's bottom-left corner as straight-alpha RGBA, rows top to
// bottom. Needs a current context; throws ReadbackError.
kit::Bitmap readFramebuffer(int width, int height, FramebufferAlpha alpha);

}  // namespace render
