#include "hosts/desktop/sdl_video.h"

#include <SDL.h>

#include <cstdlib>

namespace desktop {

namespace {

bool isInvisibleVideoDriver(const char* driver) {
  if (!driver) return false;
  const std::string name = driver;
  const char* requested = std::getenv("SDL_VIDEODRIVER");
  return (name == "offscreen" || name == "dummy") && !(requested && *requested);
}

}  // namespace

std::optional<SdlVideo> SdlVideo::start(std::string& error) {
  // The loop watches its own flag; SDL's handlers would turn a signal into
  // a quit event only while events are being pumped.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  // Each pointing device is seen once: fingers as fingers, the mouse as the mouse.
  SDL_SetHint(SDL_HINT_TOUCH_MOUSE_EVENTS, "0");
  SDL_SetHint(SDL_HINT_MOUSE_TOUCH_EVENTS, "0");
  if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
    error = std::string("cannot open a window: ") + SDL_GetError();
    return std::nullopt;
  }
  std::optional<SdlVideo> video(SdlVideo{});
  if (isInvisibleVideoDriver(SDL_GetCurrentVideoDriver())) {
    error = "no display to open the window on (DISPLAY and WAYLAND_DISPLAY reach none)";
    return std::nullopt;
  }
  return video;
}

SdlVideo::~SdlVideo() {
  if (running_) SDL_Quit();
}

}  // namespace desktop
