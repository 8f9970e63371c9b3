#include "render/gl_program.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace render {

namespace {

// ES 3.0 first; the 2.0 dialect for contexts that offer nothing newer.
const char* const kVertex300 = R"(#version 300 es
uniform vec2 viewport;
in vec2 position;
in vec2 texCoord;
in vec4 color;
out vec2 vTexCoord;
out vec4 vColor;
void main() {
  gl_Position = vec4(position.x / viewport.x * 2.0 - 1.0, 1.0 - position.y / viewport.y * 2.0, 0.0, 1.0);
  vTexCoord = texCoord;
  vColor = color;
}
)";

// Texture coordinates need more than mediump's 11 bits over a 4096-texel
// picture.
const char* const kFragment300 = R"(#version 300 es
precision highp float;
uniform sampler2D picture;
in vec2 vTexCoord;
in vec4 vColor;
out vec4 fragColor;
void main() { fragColor = texture(picture, vTexCoord) * vColor; }
)";

const char* const kSolidFragment300 = R"(#version 300 es
precision mediump float;
in vec4 vColor;
out vec4 fragColor;
void main() { fragColor = vColor; }
)";

const char* const kVertex100 = R"(#version 100
uniform vec2 viewport;
attribute vec2 position;
attribute vec2 texCoord;
attribute vec4 color;
varying vec2 vTexCoord;
varying vec4 vColor;
void main() {
  gl_Position = vec4(position.x / viewport.x * 2.0 - 1.0, 1.0 - position.y / viewport.y * 2.0, 0.0, 1.0);
  vTexCoord = texCoord;
  vColor = color;
}
)";

const char* const kFragment100 = R"(#version 100
#ifdef GL_FRAGMENT_PRECISION_HIGH
precision highp float;
#else
precision mediump float;
#endif
uniform sampler2D picture;
varying vec2 vTexCoord;
varying vec4 vColor;
void main() { gl_FragColor = texture2D(picture, vTexCoord) * vColor; }
)";

const char* const kSolidFragment100 = R"(#version 100
precision mediump float;
varying vec4 vColor;
void main() { gl_FragColor = vColor; }
)";

// The masked kind: the picture times the mask's first channel, which an
// ES 3 red texture and an ES 2 luminance texture both fill with the grey.
const char* const kMaskedVertex300 = R"(#version 300 es
uniform vec2 viewport;
in vec2 position;
in vec2 texCoord;
in vec4 color;
in vec2 maskCoord;
out vec2 vTexCoord;
out vec2 vMaskCoord;
out vec4 vColor;
void main() {
  gl_Position = vec4(position.x / viewport.x * 2.0 - 1.0, 1.0 - position.y / viewport.y * 2.0, 0.0, 1.0);
  vTexCoord = texCoord;
  vMaskCoord = maskCoord;
  vColor = color;
}
)";

const char* const kMaskedFragment300 = R"(#version 300 es
precision highp float;
uniform sampler2D picture;
uniform sampler2D mask;
in vec2 vTexCoord;
in vec2 vMaskCoord;
in vec4 vColor;
out vec4 fragColor;
void main() { fragColor = texture(picture, vTexCoord) * (texture(mask, vMaskCoord).r * vColor); }
)";

const char* const kMaskedVertex100 = R"(#version 100
uniform vec2 viewport;
attribute vec2 position;
attribute vec2 texCoord;
attribute vec4 color;
attribute vec2 maskCoord;
varying vec2 vTexCoord;
varying vec2 vMaskCoord;
varying vec4 vColor;
void main() {
  gl_Position = vec4(position.x / viewport.x * 2.0 - 1.0, 1.0 - position.y / viewport.y * 2.0, 0.0, 1.0);
  vTexCoord = texCoord;
  vMaskCoord = maskCoord;
  vColor = color;
}
)";

const char* const kMaskedFragment100 = R"(#version 100
#ifdef GL_FRAGMENT_PRECISION_HIGH
precision highp float;
#else
precision mediump float;
#endif
uniform sampler2D picture;
uniform sampler2D mask;
varying vec2 vTexCoord;
varying vec2 vMaskCoord;
varying vec4 vColor;
void main() { gl_FragColor = texture2D(picture, vTexCoord) * (texture2D(mask, vMaskCoord).r * vColor); }
)";

GLuint compile(GLenum kind, const char* source) {
  const GLuint shader = glCreateShader(kind);
  glShaderSource(shader, 1, &source, nullptr);
  glCompileShader(shader);
  GLint ok = GL_FALSE;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
  if (ok) return shader;
  GLint length = 0;
  glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
  std::vector<char> log(static_cast<std::size_t>(std::max(length, 1)));
  glGetShaderInfoLog(shader, length, nullptr, log.data());
  glDeleteShader(shader);
  throw std::runtime_error(std::string("the ") +
                           (kind == GL_VERTEX_SHADER ? "vertex" : "fragment") +
                           " shader does not compile: " + log.data());
}

bool hasExtension(const char* name) {
  const auto* all = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
  if (!all) return false;
  const std::size_t n = std::strlen(name);
  for (const char* p = all; (p = std::strstr(p, name)) != nullptr; p += n)
    if ((p == all || p[-1] == ' ') && (p[n] == ' ' || p[n] == '\0')) return true;
  return false;
}

}  // namespace

GlCapabilities queryGlCapabilities() {
  GlCapabilities c;
  // "OpenGL ES 3.2 Mesa ..." (the ES prefix is required of every implementation).
  const auto* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  int major = 2, minor = 0;
  if (version && std::sscanf(version, "OpenGL ES %d.%d", &major, &minor) >= 1)
    c.majorVersion = major;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &c.maxTextureSize);
  if (c.maxTextureSize <= 0) c.maxTextureSize = 2048;
  c.npotMipmaps = c.majorVersion >= 3 || hasExtension("GL_OES_texture_npot");
  glGetIntegerv(GL_STENCIL_BITS, &c.stencilBits);
  glGetError();  // GL_STENCIL_BITS is gone from some newer contexts; that reads as none
  return c;
}

QuadProgram::QuadProgram(int glesMajorVersion, QuadFill fill) {
  const bool es3 = glesMajorVersion >= 3;
  const bool masked = fill == QuadFill::Masked;
  const GLuint vs = compile(GL_VERTEX_SHADER, masked ? (es3 ? kMaskedVertex300 : kMaskedVertex100)
                                                     : (es3 ? kVertex300 : kVertex100));
  GLuint fs = 0;
  try {
    const char* fragment = nullptr;
    switch (fill) {
      case QuadFill::Solid: fragment = es3 ? kSolidFragment300 : kSolidFragment100; break;
      case QuadFill::Textured: fragment = es3 ? kFragment300 : kFragment100; break;
      case QuadFill::Masked: fragment = es3 ? kMaskedFragment300 : kMaskedFragment100; break;
    }
    fs = compile(GL_FRAGMENT_SHADER, fragment);
  } catch (...) {
    glDeleteShader(vs);
    throw;
  }
  program_ = glCreateProgram();
  glAttachShader(program_, vs);
  glAttachShader(program_, fs);
  glBindAttribLocation(program_, kPosition, "position");
  glBindAttribLocation(program_, kTexCoord, "texCoord");
  glBindAttribLocation(program_, kColor, "color");
  if (masked) glBindAttribLocation(program_, kMaskCoord, "maskCoord");
  glLinkProgram(program_);
  glDeleteShader(vs);
  glDeleteShader(fs);
  GLint ok = GL_FALSE;
  glGetProgramiv(program_, GL_LINK_STATUS, &ok);
  if (!ok) {
    GLint length = 0;
    glGetProgramiv(program_, GL_INFO_LOG_LENGTH, &length);
    std::vector<char> log(static_cast<std::size_t>(std::max(length, 1)));
    glGetProgramInfoLog(program_, length, nullptr, log.data());
    glDeleteProgram(program_);
    throw std::runtime_error(std::string("the shader program does not link: ") + log.data());
  }
  viewport_ = glGetUniformLocation(program_, "viewport");
  sampler_ = glGetUniformLocation(program_, "picture");
  maskSampler_ = glGetUniformLocation(program_, "mask");
}

QuadProgram::~QuadProgram() {
  if (program_) glDeleteProgram(program_);
}

void QuadProgram::use(int viewportWidth, int viewportHeight) const {
  glUseProgram(program_);
  glUniform2f(viewport_, static_cast<float>(viewportWidth), static_cast<float>(viewportHeight));
  if (sampler_ >= 0) glUniform1i(sampler_, 0);
  if (maskSampler_ >= 0) glUniform1i(maskSampler_, 1);
}

std::string glErrorName(GLenum error) {
  switch (error) {
    case GL_NO_ERROR: return "GL_NO_ERROR";
    case GL_INVALID_ENUM: return "GL_INVALID_ENUM";
    case GL_INVALID_VALUE: return "GL_INVALID_VALUE";
    case GL_INVALID_OPERATION: return "GL_INVALID_OPERATION";
    case GL_INVALID_FRAMEBUFFER_OPERATION: return "GL_INVALID_FRAMEBUFFER_OPERATION";
    case GL_OUT_OF_MEMORY: return "GL_OUT_OF_MEMORY";
    default: {
      char buf[32];
      std::snprintf(buf, sizeof buf, "GL error 0x%04x", error);
      return buf;
    }
  }
}

}  // namespace render
