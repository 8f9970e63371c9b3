// Reading frames back (the runner's snapshots, the window's screenshot)
// and the offscreen framebuffer a picture is drawn into apart.
#include <gtest/gtest.h>

#include <GLES3/gl3.h>

#include <array>
#include <memory>

#include "render/framebuffer_target.h"
#include "render/offscreen_context.h"
#include "render/readback.h"
#include "render/window_frame.h"

namespace {

class Readback : public ::testing::Test {
 protected:
  void SetUp() override {
    try {
      gl = std::make_unique<render::OffscreenContext>(6, 4);
    } catch (const render::OffscreenError& e) {
      GTEST_SKIP() << e.what();
    }
  }

  // The top rows one colour, the rest another, in premultiplied colour as
  // the compositor leaves it.
  static void paintTopAndBottom(int width, int height, int topRows) {
    glDisable(GL_SCISSOR_TEST);
    glClearColor(0.25f, 0.5f, 0, 0.5f);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, height - topRows, width, topRows);  // GL's rows count from the bottom
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
  }

  static std::array<int, 4> at(const kit::Bitmap& b, int x, int y) {
    const std::uint8_t* p = b.row(y) + 4 * x;
    return {p[0], p[1], p[2], p[3]};
  }

  std::unique_ptr<render::OffscreenContext> gl;
};

TEST_F(Readback, RowsComeTopFirstWithColourMadeStraightOrAlphaMadeOpaque) {
  paintTopAndBottom(6, 4, 1);
  const kit::Bitmap straight =
      *render::readFramebuffer(6, 4, render::FramebufferAlpha::Premultiplied);
  ASSERT_EQ(straight.width, 6);
  ASSERT_EQ(straight.height, 4);
  EXPECT_EQ(at(straight, 0, 0), (std::array<int, 4>{255, 0, 0, 255}));
  EXPECT_EQ(at(straight, 5, 3),
            (std::array<int, 4>{128, 255, 0, 128}));  // 64 and 128 over an alpha of 128

  const kit::Bitmap opaque = *render::readFramebuffer(6, 4, render::FramebufferAlpha::Meaningless);
  EXPECT_EQ(at(opaque, 0, 0), (std::array<int, 4>{255, 0, 0, 255}));
  EXPECT_EQ(at(opaque, 5, 3), (std::array<int, 4>{64, 128, 0, 255}));

  // The runner's own read is the same.
  EXPECT_EQ(gl->readPixels().pixels, straight.pixels);
}

TEST_F(Readback, APendingErrorFailsTheRead) {
  glBindTexture(GL_TEXTURE_2D, 0);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_RGBA);  // not a filter: GL_INVALID_ENUM
  const kit::Result<kit::Bitmap> refused =
      render::readFramebuffer(6, 4, render::FramebufferAlpha::Meaningless);
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.error().message, "GL_INVALID_ENUM");
  EXPECT_TRUE(render::readFramebuffer(6, 4, render::FramebufferAlpha::Meaningless));
}

TEST_F(Readback, AFramebufferTargetKeepsWhatIsDrawnIntoItApartAndFollowsItsSize) {
  if (!render::canCopyBetweenFramebuffers()) GTEST_SKIP() << "an OpenGL ES 2 context";
  render::FramebufferTarget target;
  ASSERT_TRUE(target.bind(3, 5));
  GLint bound = 0;
  glGetIntegerv(GL_FRAMEBUFFER_BINDING, &bound);
  EXPECT_EQ(static_cast<GLuint>(bound), target.framebuffer());
  paintTopAndBottom(3, 5, 2);
  const kit::Bitmap apart = *render::readFramebuffer(3, 5, render::FramebufferAlpha::Meaningless);
  EXPECT_EQ(at(apart, 2, 1), (std::array<int, 4>{255, 0, 0, 255}));
  EXPECT_EQ(at(apart, 2, 2), (std::array<int, 4>{64, 128, 0, 255}));

  // The context's own framebuffer was not drawn on.
  gl->makeCurrent();
  glClearColor(0, 0, 1, 1);
  glClear(GL_COLOR_BUFFER_BIT);
  ASSERT_TRUE(target.bind(3, 5));
  EXPECT_EQ(at(*render::readFramebuffer(3, 5, render::FramebufferAlpha::Meaningless), 0, 4),
            (std::array<int, 4>{64, 128, 0, 255}));
  // A new size is a new framebuffer, complete again.
  ASSERT_TRUE(target.bind(7, 2));
  EXPECT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE));
}

}  // namespace
