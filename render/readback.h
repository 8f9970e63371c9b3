// Reading a drawn frame back from the bound framebuffer: the headless
// runner's snapshots and the window's screenshot at exit.
#pragma once

#include "kit/bitmap.h"
#include "kit/result.h"

namespace render {

// What the framebuffer's alpha channel holds.
enum class FramebufferAlpha {
  Premultiplied,  // the compositor's own: colour is made straight again
  Meaningless,    // a window's, which may have no alpha channel: read as opaque
};

// Waits for the drawing and returns width × height pixels from the bound
// framebuffer's bottom-left corner as straight-alpha RGBA, rows top to
// bottom. Needs a current context. When GL refuses the read (or an error
// the drawing left is pending) the error is GL's name for it
// ("GL_INVALID_OPERATION").
kit::Result<kit::Bitmap> readFramebuffer(int width, int height, FramebufferAlpha alpha);

}  // namespace render
