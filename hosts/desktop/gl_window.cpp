#include "hosts/desktop/gl_window.h"

#include <SDL.h>

#include <utility>

#include "hosts/desktop/birds_eye.h"

namespace desktop {

namespace {

WindowSize displayedWindowSize() {
  SDL_Rect usable;
  if (SDL_GetDisplayUsableBounds(0, &usable) != 0) return initialWindowSize(0, 0);
  return initialWindowSize(usable.w, usable.h);
}

}  // namespace

std::optional<GlWindow> GlWindow::open(std::string& error) {
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_ES);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
  const WindowSize size = displayedWindowSize();
  SDL_Window* window = SDL_CreateWindow(
      "Vitrane", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, size.width, size.height,
      SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI);
  if (!window) {
    error = std::string("cannot open a window: ") + SDL_GetError();
    return std::nullopt;
  }
  SDL_SetWindowMinimumSize(window, 192, 256);

  std::string failures;
  for (int major : {3, 2}) {
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, major);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0);
    if (SDL_GLContext context = SDL_GL_CreateContext(window)) return GlWindow(window, context);
    failures += std::string(failures.empty() ? "" : "; ") + "ES " + std::to_string(major) +
                ".0: " + SDL_GetError();
  }
  SDL_DestroyWindow(window);
  error = "no OpenGL ES context (" + failures + ")";
  return std::nullopt;
}

GlWindow::GlWindow(GlWindow&& other) noexcept
    : window_(std::exchange(other.window_, nullptr)),
      context_(std::exchange(other.context_, nullptr)) {}

GlWindow& GlWindow::operator=(GlWindow&& other) noexcept {
  if (this != &other) {
    destroy();
    window_ = std::exchange(other.window_, nullptr);
    context_ = std::exchange(other.context_, nullptr);
  }
  return *this;
}

GlWindow::~GlWindow() { destroy(); }

void GlWindow::destroy() {
  if (context_) SDL_GL_DeleteContext(context_);
  if (window_) SDL_DestroyWindow(window_);
  context_ = nullptr;
  window_ = nullptr;
}

bool GlWindow::syncToDisplay() { return SDL_GL_SetSwapInterval(1) == 0; }

int GlWindow::refreshRate() const {
  SDL_DisplayMode mode;
  if (SDL_GetWindowDisplayMode(window_, &mode) == 0 && mode.refresh_rate > 0)
    return mode.refresh_rate;
  return 60;
}

WindowGeometry GlWindow::geometry() const {
  WindowGeometry g;
  SDL_GetWindowSize(window_, &g.windowWidth, &g.windowHeight);
  SDL_GL_GetDrawableSize(window_, &g.drawableWidth, &g.drawableHeight);
  return g;
}

bool GlWindow::isConcealed() const {
  return (SDL_GetWindowFlags(window_) & (SDL_WINDOW_MINIMIZED | SDL_WINDOW_HIDDEN)) != 0;
}

void GlWindow::resize(int width, int height) { SDL_SetWindowSize(window_, width, height); }

void GlWindow::present() { SDL_GL_SwapWindow(window_); }

}  // namespace desktop
