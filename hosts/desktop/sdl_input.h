// What SDL's keys mean to the window, and scripted input as the SDL events
// a person would have made, so both go through the same handling.
#pragma once

#include <SDL.h>

#include <optional>

#include "hosts/desktop/input_script.h"
#include "hosts/desktop/screen_mapping.h"
#include "hosts/desktop/tablet_keys.h"

namespace desktop {

// The key that moves the keyboard's tablet, if code is one; by position, so
// W A S D sit under the left hand on any layout.
std::optional<TabletKey> tabletKeyFor(SDL_Scancode code, bool shift);

// Ctrl or Alt: held, the mouse is two fingers mirrored about the screen's
// centre.
bool isMirrorModifier(SDL_Keycode key);

// A key, mouse or finger step as its SDL event, at the window's points
// that the screen points map to now; mirror: whether the second finger's
// modifier counts as held with it. Window and quit steps are no events.
struct ScriptedEvent {
  SDL_Event event{};
  bool mirror = false;
};
std::optional<ScriptedEvent> sdlEventFor(const InputStep& step, const TouchMapper& touches);

}  // namespace desktop
