// The window's input: SDL's events and the script's steps, which go
// through the same handling.
#include <cstdio>
#include <stdexcept>

#include "hosts/desktop/host_loop.h"
#include "hosts/desktop/sdl_input.h"

namespace desktop {

bool HostLoop::mirrorHeld() const { return (SDL_GetModState() & (KMOD_CTRL | KMOD_ALT)) != 0; }

void HostLoop::handleEvent(const SDL_Event& e, bool mirror) {
  const double t = clock_.now();
  switch (e.type) {
    case SDL_QUIT: quit_ = true; break;
    case SDL_WINDOWEVENT:
      switch (e.window.event) {
        case SDL_WINDOWEVENT_CLOSE: quit_ = true; break;
        case SDL_WINDOWEVENT_LEAVE: mouseInWindow_ = false; break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
          // The key-up and button-up events of whatever is held now will go
          // to another window.
          keys_.releaseAll(t);
          touches_->cancelAll(t);
          break;
        // Resized, moved to a display of another density, shown, exposed:
        // the pixels may have changed under the same size.
        default: updateGeometry(); break;
      }
      break;
    case SDL_KEYDOWN:
    case SDL_KEYUP: handleKey(e.key, mirror, t); break;
    case SDL_MOUSEBUTTONDOWN:
      if (e.button.which == SDL_TOUCH_MOUSEID || e.button.button != SDL_BUTTON_LEFT) break;
      mouseX_ = static_cast<float>(e.button.x);
      mouseY_ = static_cast<float>(e.button.y);
      mirrorHeldNow_ = mirror;
      touches_->mouseDown(mouseX_, mouseY_, mirror, t);
      needsDraw_ = true;
      break;
    case SDL_MOUSEMOTION:
      if (e.motion.which == SDL_TOUCH_MOUSEID) break;
      mouseX_ = static_cast<float>(e.motion.x);
      mouseY_ = static_cast<float>(e.motion.y);
      mouseInWindow_ = true;
      mirrorHeldNow_ = mirror;
      touches_->mouseMoved(mouseX_, mouseY_, mirror, t);
      needsDraw_ = true;
      break;
    case SDL_MOUSEBUTTONUP:
      if (e.button.which == SDL_TOUCH_MOUSEID || e.button.button != SDL_BUTTON_LEFT) break;
      touches_->mouseUp(static_cast<float>(e.button.x), static_cast<float>(e.button.y), t);
      needsDraw_ = true;
      break;
    case SDL_FINGERDOWN:
    case SDL_FINGERMOTION:
    case SDL_FINGERUP: {
      const SDL_TouchFingerEvent& f = e.tfinger;
      if (f.touchId == SDL_MOUSE_TOUCHID) break;  // the mouse, already seen as the mouse
      if (e.type == SDL_FINGERDOWN) touches_->fingerDown(f.touchId, f.fingerId, f.x, f.y, t);
      if (e.type == SDL_FINGERMOTION) touches_->fingerMoved(f.touchId, f.fingerId, f.x, f.y, t);
      if (e.type == SDL_FINGERUP) touches_->fingerUp(f.touchId, f.fingerId, f.x, f.y, t);
      needsDraw_ = true;
      break;
    }
    default: break;
  }
}

void HostLoop::handleKey(const SDL_KeyboardEvent& key, bool mirror, double t) {
  const bool down = key.type == SDL_KEYDOWN;
  const SDL_Scancode code = key.keysym.scancode;
  if (!down && (code == SDL_SCANCODE_LEFT || code == SDL_SCANCODE_RIGHT)) {
    // Whatever Shift does now: the key may have gone down without it.
    keys_.release(code == SDL_SCANCODE_LEFT ? TabletKey::TurnLeft : TabletKey::TurnRight, t);
  } else if (auto tabletKey = tabletKeyFor(code, (key.keysym.mod & KMOD_SHIFT) != 0)) {
    if (down) pressTabletKey(*tabletKey, t, key.repeat != 0);
  } else if (key.keysym.sym == SDLK_h && down && !key.repeat) {
    keyHint_.toggle();
  } else if (key.keysym.sym == SDLK_b && down && !key.repeat) {
    panel_->toggle(drawableWidth_, drawableHeight_);
    needsDraw_ = true;
  } else if (isMirrorModifier(key.keysym.sym) && !key.repeat) {
    // The second finger comes down or lifts with the modifier, even while
    // the mouse is still.
    mirrorHeldNow_ = mirror;
    touches_->mouseMoved(mouseX_, mouseY_, mirror, t);
  }
}

void HostLoop::pressTabletKey(TabletKey key, double t, bool repeat) {
  if (motion_.live) {
    if (!keysIgnoredSaid_)
      std::fprintf(
          stderr,
          "vitrane: the keys move the simulated tablet, which is not in use (--motion sim)\n");
    keysIgnoredSaid_ = true;
    return;
  }
  try {
    keys_.press(key, t, repeat);
  } catch (const std::invalid_argument& e) {
    std::fprintf(stderr, "vitrane: the tablet cannot do that: %s\n", e.what());
  }
}

void HostLoop::replayDueSteps() {
  while (nextStep_ < script_.size() && script_[nextStep_].time <= clock_.now()) {
    const InputStep& step = script_[nextStep_++];
    if (step.kind == InputStep::Kind::Quit) {
      quit_ = true;
      return;
    }
    if (step.kind == InputStep::Kind::Window) {
      // The window system answers with a size event of its own.
      window_.resize(step.width, step.height);
      continue;
    }
    if (const auto scripted = sdlEventFor(step, *touches_))
      handleEvent(scripted->event, scripted->mirror);
  }
}

}  // namespace desktop
