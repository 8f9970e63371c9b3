#include "render/framebuffer_target.h"

namespace render {

FramebufferTarget::~FramebufferTarget() { release(); }

bool FramebufferTarget::bind(int width, int height) {
  if (width != width_ || height != height_) {
    release();
    glGenFramebuffers(1, &framebuffer_);
    glGenRenderbuffers(2, buffers_);
    glBindRenderbuffer(GL_RENDERBUFFER, buffers_[0]);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
    glBindRenderbuffer(GL_RENDERBUFFER, buffers_[1]);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, width, height);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, buffers_[0]);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER,
                              buffers_[1]);
    width_ = width;
    height_ = height;
  }
  glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
  if (glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE) return true;
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  return false;
}

void FramebufferTarget::release() {
  if (!framebuffer_) return;
  glDeleteFramebuffers(1, &framebuffer_);
  glDeleteRenderbuffers(2, buffers_);
  framebuffer_ = 0;
  width_ = 0;
  height_ = 0;
}

}  // namespace render
