#include "hosts/desktop/sdl_input.h"

namespace desktop {

namespace {
// Scripted fingers get a device of their own, apart from any real one.
constexpr SDL_TouchID kScriptTouchDevice = -2;
}  // namespace

std::optional<TabletKey> tabletKeyFor(SDL_Scancode code, bool shift) {
  switch (code) {
    case SDL_SCANCODE_LEFT: return shift ? TabletKey::SlideLeft : TabletKey::TurnLeft;
    case SDL_SCANCODE_RIGHT: return shift ? TabletKey::SlideRight : TabletKey::TurnRight;
    case SDL_SCANCODE_UP: return shift ? std::optional(TabletKey::SlideUp) : std::nullopt;
    case SDL_SCANCODE_DOWN: return shift ? std::optional(TabletKey::SlideDown) : std::nullopt;
    case SDL_SCANCODE_W: return TabletKey::LiftTop;
    case SDL_SCANCODE_S: return TabletKey::LiftBottom;
    case SDL_SCANCODE_A: return TabletKey::LiftLeft;
    case SDL_SCANCODE_D: return TabletKey::LiftRight;
    case SDL_SCANCODE_SPACE: return TabletKey::LayFlat;
    default: return std::nullopt;
  }
}

bool isMirrorModifier(SDL_Keycode key) {
  return key == SDLK_LCTRL || key == SDLK_RCTRL || key == SDLK_LALT || key == SDLK_RALT;
}

std::optional<ScriptedEvent> sdlEventFor(const InputStep& step, const TouchMapper& touches) {
  ScriptedEvent out;
  SDL_Event& e = out.event;
  out.mirror = step.mirror;
  switch (step.kind) {
    case InputStep::Kind::Quit:
    case InputStep::Kind::Window: return std::nullopt;
    case InputStep::Kind::Key:
      e.type = step.action == InputStep::Action::Down ? SDL_KEYDOWN : SDL_KEYUP;
      e.key.type = e.type;
      e.key.keysym.sym = SDL_GetKeyFromName(step.key.c_str());
      e.key.keysym.scancode = SDL_GetScancodeFromKey(e.key.keysym.sym);
      e.key.keysym.mod = step.shift ? KMOD_LSHIFT : KMOD_NONE;
      out.mirror = isMirrorModifier(e.key.keysym.sym) && e.type == SDL_KEYDOWN;
      break;
    case InputStep::Kind::Mouse: {
      const kit::Point w = touches.windowPointFromScreen(step.location);
      e.type = step.action == InputStep::Action::Down ? SDL_MOUSEBUTTONDOWN
               : step.action == InputStep::Action::Up ? SDL_MOUSEBUTTONUP
                                                      : SDL_MOUSEMOTION;
      if (e.type == SDL_MOUSEMOTION) {
        e.motion.x = static_cast<Sint32>(w.x);
        e.motion.y = static_cast<Sint32>(w.y);
        e.motion.state = SDL_BUTTON_LMASK;
      } else {
        e.button.button = SDL_BUTTON_LEFT;
        e.button.x = static_cast<Sint32>(w.x);
        e.button.y = static_cast<Sint32>(w.y);
      }
      break;
    }
    case InputStep::Kind::Finger: {
      const kit::Point n = touches.normalisedPointFromScreen(step.location);
      e.type = step.action == InputStep::Action::Down ? SDL_FINGERDOWN
               : step.action == InputStep::Action::Up ? SDL_FINGERUP
                                                      : SDL_FINGERMOTION;
      e.tfinger.touchId = kScriptTouchDevice;
      e.tfinger.fingerId = step.finger;
      e.tfinger.x = n.x;
      e.tfinger.y = n.y;
      break;
    }
  }
  return out;
}

}  // namespace desktop
