#include "render/offscreen_context.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GLES3/gl3.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>

#include "render/gl_program.h"
#include "render/readback.h"

namespace render {

namespace {

std::string eglErrorName(EGLint error) {
  switch (error) {
    case EGL_SUCCESS: return "EGL_SUCCESS";
    case EGL_NOT_INITIALIZED: return "EGL_NOT_INITIALIZED";
    case EGL_BAD_ACCESS: return "EGL_BAD_ACCESS";
    case EGL_BAD_ALLOC: return "EGL_BAD_ALLOC";
    case EGL_BAD_ATTRIBUTE: return "EGL_BAD_ATTRIBUTE";
    case EGL_BAD_CONFIG: return "EGL_BAD_CONFIG";
    case EGL_BAD_CONTEXT: return "EGL_BAD_CONTEXT";
    case EGL_BAD_CURRENT_SURFACE: return "EGL_BAD_CURRENT_SURFACE";
    case EGL_BAD_DISPLAY: return "EGL_BAD_DISPLAY";
    case EGL_BAD_MATCH: return "EGL_BAD_MATCH";
    case EGL_BAD_NATIVE_PIXMAP: return "EGL_BAD_NATIVE_PIXMAP";
    case EGL_BAD_NATIVE_WINDOW: return "EGL_BAD_NATIVE_WINDOW";
    case EGL_BAD_PARAMETER: return "EGL_BAD_PARAMETER";
    case EGL_BAD_SURFACE: return "EGL_BAD_SURFACE";
    case EGL_CONTEXT_LOST: return "EGL_CONTEXT_LOST";
    default: {
      char buf[32];
      std::snprintf(buf, sizeof buf, "EGL error 0x%04x", error);
      return buf;
    }
  }
}

bool listHas(const char* list, const char* name) {
  if (!list) return false;
  const std::size_t n = std::strlen(name);
  for (const char* p = list; (p = std::strstr(p, name)) != nullptr; p += n)
    if ((p == list || p[-1] == ' ') && (p[n] == ' ' || p[n] == '\0')) return true;
  return false;
}

// eglInitialize and eglTerminate do not nest: one process-wide count per
// display keeps a second context alive when the first one goes.
std::mutex displayMutex;
std::map<EGLDisplay, int> displayUsers;

bool acquireDisplay(EGLDisplay display) {
  std::lock_guard lock(displayMutex);
  if (displayUsers[display] == 0) {
    EGLint major = 0, minor = 0;
    if (!eglInitialize(display, &major, &minor)) {
      displayUsers.erase(display);
      return false;
    }
  }
  ++displayUsers[display];
  return true;
}

void releaseDisplay(EGLDisplay display) {
  std::lock_guard lock(displayMutex);
  if (--displayUsers[display] == 0) {
    displayUsers.erase(display);
    eglTerminate(display);
  }
}

}  // namespace

struct OffscreenContext::Egl {
  EGLDisplay display = EGL_NO_DISPLAY;
  EGLContext context = EGL_NO_CONTEXT;
  EGLSurface surface = EGL_NO_SURFACE;  // a 1×1 pbuffer, only where surfaceless is refused
  GLuint framebuffer = 0;
  GLuint color = 0;
  GLuint stencil = 0;
  int major = 2;
  bool ownsDisplay = false;

  ~Egl() {
    if (context != EGL_NO_CONTEXT) {
      if (eglMakeCurrent(display, surface, surface, context)) {
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        if (framebuffer) glDeleteFramebuffers(1, &framebuffer);
        if (color) glDeleteTextures(1, &color);
        if (stencil) glDeleteRenderbuffers(1, &stencil);
      }
      eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
      eglDestroyContext(display, context);
    }
    if (surface != EGL_NO_SURFACE) eglDestroySurface(display, surface);
    if (ownsDisplay) releaseDisplay(display);
  }

  // Mesa's surfaceless platform needs neither X, Wayland nor a GPU device.
  bool openSurfaceless(std::string& why) {
    const char* client = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    if (!listHas(client, "EGL_MESA_platform_surfaceless")) {
      why = "EGL_MESA_platform_surfaceless is not offered";
      return false;
    }
    auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!getPlatformDisplay) {
      why = "eglGetPlatformDisplayEXT is missing";
      return false;
    }
    display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display == EGL_NO_DISPLAY || !acquireDisplay(display)) {
      why = "the surfaceless display does not start (" + eglErrorName(eglGetError()) + ")";
      display = EGL_NO_DISPLAY;
      return false;
    }
    ownsDisplay = true;
    return true;
  }

  bool openDefault(std::string& why) {
    display = eglGetDisplay(EGL_DEFAULT_DISPLAY);
    if (display == EGL_NO_DISPLAY || !acquireDisplay(display)) {
      why = "the default display does not start (" + eglErrorName(eglGetError()) + ")";
      display = EGL_NO_DISPLAY;
      return false;
    }
    ownsDisplay = true;
    return true;
  }

  // ES 3 where there is one, else ES 2.
  bool createContext(bool surfaceless, std::string& why) {
    if (!eglBindAPI(EGL_OPENGL_ES_API)) {
      why = "OpenGL ES is not offered (" + eglErrorName(eglGetError()) + ")";
      return false;
    }
    for (const int version : {3, 2}) {
      const EGLint renderable = version == 3 ? EGL_OPENGL_ES3_BIT : EGL_OPENGL_ES2_BIT;
      const EGLint configAttributes[] = {
          EGL_RENDERABLE_TYPE, renderable, EGL_SURFACE_TYPE, surfaceless ? 0 : EGL_PBUFFER_BIT,
          EGL_RED_SIZE,        8,          EGL_GREEN_SIZE,   8,
          EGL_BLUE_SIZE,       8,          EGL_NONE};
      EGLConfig config = nullptr;
      EGLint count = 0;
      if (!eglChooseConfig(display, configAttributes, &config, 1, &count) || count < 1) continue;
      const EGLint contextAttributes[] = {EGL_CONTEXT_CLIENT_VERSION, version, EGL_NONE};
      context = eglCreateContext(display, config, EGL_NO_CONTEXT, contextAttributes);
      if (context == EGL_NO_CONTEXT) continue;
      if (!surfaceless) {
        const EGLint pbufferAttributes[] = {EGL_WIDTH, 1, EGL_HEIGHT, 1, EGL_NONE};
        surface = eglCreatePbufferSurface(display, config, pbufferAttributes);
        if (surface == EGL_NO_SURFACE) {
          eglDestroyContext(display, context);
          context = EGL_NO_CONTEXT;
          continue;
        }
      }
      if (eglMakeCurrent(display, surface, surface, context)) return true;
      why = "the context cannot be made current (" + eglErrorName(eglGetError()) + ")";
      if (surface != EGL_NO_SURFACE) eglDestroySurface(display, surface);
      surface = EGL_NO_SURFACE;
      eglDestroyContext(display, context);
      context = EGL_NO_CONTEXT;
    }
    if (why.empty()) why = "no OpenGL ES 2 or 3 context (" + eglErrorName(eglGetError()) + ")";
    return false;
  }

  void closeDisplay() {
    if (ownsDisplay) releaseDisplay(display);
    ownsDisplay = false;
    display = EGL_NO_DISPLAY;
  }
};

OffscreenContext::OffscreenContext(int width, int height)
    : egl_(std::make_unique<Egl>()), width_(width), height_(height) {
  if (width <= 0 || height <= 0)
    throw OffscreenError("an offscreen framebuffer of " + std::to_string(width) + "x" +
                         std::to_string(height) + " pixels has nothing to draw into");
  Egl& e = *egl_;
  std::string surfacelessWhy, defaultWhy;
  bool ready = e.openSurfaceless(surfacelessWhy) && e.createContext(true, surfacelessWhy);
  if (!ready) {
    e.closeDisplay();
    ready = e.openDefault(defaultWhy) && e.createContext(false, defaultWhy);
  }
  if (!ready)
    throw OffscreenError("no OpenGL ES context through EGL: surfaceless: " + surfacelessWhy +
                         "; default display: " + defaultWhy +
                         " (Mesa's EGL and its software rasteriser come in libegl-mesa0 and "
                         "libgl1-mesa-dri)");

  e.major = queryGlCapabilities().majorVersion;
  GLint largest = 0;
  glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &largest);
  if (width > largest || height > largest)
    throw OffscreenError("an offscreen framebuffer of " + std::to_string(width) + "x" +
                         std::to_string(height) + " pixels is larger than this GL allows (" +
                         std::to_string(largest) + " on a side)");
  glGenFramebuffers(1, &e.framebuffer);
  glBindFramebuffer(GL_FRAMEBUFFER, e.framebuffer);
  glGenTextures(1, &e.color);
  glBindTexture(GL_TEXTURE_2D, e.color);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, e.color, 0);
  glGenRenderbuffers(1, &e.stencil);
  glBindRenderbuffer(GL_RENDERBUFFER, e.stencil);
  // Turned clips are drawn through the stencil.
  if (e.major >= 3) {
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, width, height);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER,
                              e.stencil);
  } else {
    glRenderbufferStorage(GL_RENDERBUFFER, GL_STENCIL_INDEX8, width, height);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_STENCIL_ATTACHMENT, GL_RENDERBUFFER, e.stencil);
  }
  const GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
  if (status != GL_FRAMEBUFFER_COMPLETE) {
    char buf[160];
    std::snprintf(buf, sizeof buf,
                  "the offscreen framebuffer of %dx%d pixels is incomplete (status 0x%04x, %s)",
                  width, height, status, glErrorName(glGetError()).c_str());
    throw OffscreenError(buf);
  }
  glViewport(0, 0, width, height);
}

OffscreenContext::~OffscreenContext() = default;

void OffscreenContext::makeCurrent() {
  if (!eglMakeCurrent(egl_->display, egl_->surface, egl_->surface, egl_->context))
    throw OffscreenError("the offscreen context cannot be made current (" +
                         eglErrorName(eglGetError()) + ")");
  glBindFramebuffer(GL_FRAMEBUFFER, egl_->framebuffer);
}

int OffscreenContext::glesMajorVersion() const { return egl_->major; }

std::string OffscreenContext::description() const {
  const auto* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  const auto* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  return std::string(renderer ? renderer : "?") + ", " + (version ? version : "?");
}

kit::Bitmap OffscreenContext::readPixels() {
  glBindFramebuffer(GL_FRAMEBUFFER, egl_->framebuffer);
  kit::Result<kit::Bitmap> read = readFramebuffer(width_, height_, FramebufferAlpha::Premultiplied);
  if (!read)
    throw OffscreenError("reading the offscreen framebuffer failed: " + read.error().message);
  return std::move(*read);
}

}  // namespace render
