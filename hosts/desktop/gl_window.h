// The desktop window and its OpenGL ES context, made current on opening
// and destroyed together (the context first) when this goes. Move-only.
#pragma once

#include <optional>
#include <string>

#include "hosts/desktop/screen_mapping.h"

struct SDL_Window;

namespace desktop {

class GlWindow {
 public:
  // "Vitrane", sized to the display, resizable; OpenGL ES 3 where there is
  // one, else 2. Nothing, with why, when either cannot be had. Needs SDL's
  // video started.
  static std::optional<GlWindow> open(std::string& error);

  GlWindow(GlWindow&& other) noexcept;
  GlWindow& operator=(GlWindow&& other) noexcept;
  GlWindow(const GlWindow&) = delete;
  GlWindow& operator=(const GlWindow&) = delete;
  ~GlWindow();

  // Swaps in step with the display; false where the driver cannot.
  bool syncToDisplay();
  // Frames a second of the display the window is on (60 when unknown).
  int refreshRate() const;
  // Window units and drawable pixels, as they are now.
  WindowGeometry geometry() const;
  // Minimised or hidden: nothing drawn would be seen.
  bool isConcealed() const;
  // In window units; the window system answers with a size event.
  void resize(int width, int height);
  void present();

 private:
  GlWindow(SDL_Window* window, void* context) : window_(window), context_(context) {}
  void destroy();

  SDL_Window* window_ = nullptr;
  void* context_ = nullptr;  // SDL_GLContext
};

}  // namespace desktop
