#include "render/readback.h"

#include <GLES3/gl3.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "render/gl_program.h"

namespace render {

namespace {

// Read from the version string alone: asking more of the context would
// take an error left pending by the drawing, which the read must report.
bool isGles3() {
  const auto* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  int major = 0;
  return version && std::sscanf(version, "OpenGL ES %d", &major) == 1 && major >= 3;
}

}  // namespace

kit::Result<kit::Bitmap> readFramebuffer(int width, int height, FramebufferAlpha alpha) {
  glFinish();
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  // Left over from elsewhere, either would shift or redirect the rows; an
  // OpenGL ES 2 context has neither.
  if (isGles3()) {
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
  }
  const std::size_t row = static_cast<std::size_t>(width) * 4;
  std::vector<std::uint8_t> raw(row * static_cast<std::size_t>(height));
  glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, raw.data());
  if (const GLenum error = glGetError(); error != GL_NO_ERROR)
    return kit::Error{glErrorName(error)};

  // GL's first row is the bottom one.
  kit::Bitmap out = kit::Bitmap::make(width, height, kit::PixelFormat::RGBA8);
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* src = raw.data() + row * static_cast<std::size_t>(height - 1 - y);
    std::uint8_t* dst = out.row(y);
    std::memcpy(dst, src, row);
    for (std::size_t i = 0; i < row; i += 4) {
      if (alpha == FramebufferAlpha::Meaningless) {
        dst[i + 3] = 255;
        continue;
      }
      const unsigned a = dst[i + 3];
      if (a == 255) continue;
      for (int c = 0; c < 3; ++c)
        dst[i + c] =
            a == 0 ? 0 : static_cast<std::uint8_t>(std::min(255u, (dst[i + c] * 255u + a / 2) / a));
    }
  }
  return out;
}

}  // namespace render
