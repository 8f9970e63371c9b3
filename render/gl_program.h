// The one shader program the compositor draws with, and what the current
// GL ES context can do.
#pragma once

#include <GLES3/gl3.h>

#include <string>

namespace render {

struct GlCapabilities {
  int majorVersion = 2;  // 3 for an ES 3.x context
  int maxTextureSize = 2048;
  bool npotMipmaps = false;  // mipmaps of sizes that are not powers of two
  int stencilBits = 0;       // of the bound framebuffer
};

// Needs a current context.
GlCapabilities queryGlCapabilities();

// What a quad is filled with.
enum class QuadFill {
  Solid,     // the vertex colour alone
  Textured,  // texture times vertex colour
  Masked,    // texture times a grey mask's first channel times vertex colour
};

// Texture times vertex colour (or the vertex colour alone, for solid
// fills: a software rasteriser spends half a frame sampling a white texel
// otherwise), everything premultiplied; positions in framebuffer pixels,
// y down. The masked kind reads its mask from texture unit 1 at its own
// coordinates.
class QuadProgram {
 public:
  static constexpr GLuint kPosition = 0;
  static constexpr GLuint kTexCoord = 1;
  static constexpr GLuint kColor = 2;
  static constexpr GLuint kMaskCoord = 3;

  // Throws std::runtime_error with the compiler's log.
  QuadProgram(int glesMajorVersion, bool textured)
      : QuadProgram(glesMajorVersion, textured ? QuadFill::Textured : QuadFill::Solid) {}
  QuadProgram(int glesMajorVersion, QuadFill fill);
  ~QuadProgram();
  QuadProgram(const QuadProgram&) = delete;
  QuadProgram& operator=(const QuadProgram&) = delete;

  void use(int viewportWidth, int viewportHeight) const;

 private:
  GLuint program_ = 0;
  GLint viewport_ = -1;
  GLint sampler_ = -1;
  GLint maskSampler_ = -1;
};

// "GL_INVALID_OPERATION" and the like.
std::string glErrorName(GLenum error);

}  // namespace render
