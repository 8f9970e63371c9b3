#include "render/window_frame.h"

#include <GLES3/gl3.h>

#include <cstdio>

namespace render {

bool canCopyBetweenFramebuffers() {
  const auto* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  int major = 0;
  return version && std::sscanf(version, "OpenGL ES %d", &major) == 1 && major >= 3;
}

void clearWindow(int windowWidth, int windowHeight) {
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glDisable(GL_SCISSOR_TEST);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glViewport(0, 0, windowWidth, windowHeight);
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT);
}

void blackOutAround(const PixelRect& keep, int windowWidth, int windowHeight) {
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glClearColor(0, 0, 0, 1);
  glEnable(GL_SCISSOR_TEST);
  const int w = windowWidth, h = windowHeight;
  const int right = keep.x + keep.width, bottom = keep.y + keep.height;
  // Left, right, top, bottom; GL counts rows from the bottom.
  const int bars[4][4] = {{0, 0, keep.x, h},
                          {right, 0, w - right, h},
                          {0, h - keep.y, w, keep.y},
                          {0, 0, w, h - bottom}};
  for (const auto& b : bars) {
    if (b[2] <= 0 || b[3] <= 0) continue;
    glScissor(b[0], b[1], b[2], b[3]);
    glClear(GL_COLOR_BUFFER_BIT);
  }
  glDisable(GL_SCISSOR_TEST);
}

void copyIntoWindow(const FramebufferTarget& from, const PixelRect& to, int windowHeight) {
  glBindFramebuffer(GL_READ_FRAMEBUFFER, from.framebuffer());
  glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
  glDisable(GL_SCISSOR_TEST);
  const int top = windowHeight - to.y;
  glBlitFramebuffer(0, 0, to.width, to.height, to.x, top - to.height, to.x + to.width, top,
                    GL_COLOR_BUFFER_BIT, GL_NEAREST);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

}  // namespace render
