// What one frame is drawn at: the time, the framebuffer and where the root
// lands in it.
#pragma once

#include <string>

#include "kit/color.h"

namespace render {

struct FrameSettings {
  double time = 0;          // presentation time (main clock seconds)
  int viewportWidth = 768;  // pixels of the bound framebuffer
  int viewportHeight = 1024;
  float pixelsPerPoint = 1;  // the root's points to pixels
  float offsetX = 0;         // where the root's origin lands, in pixels
  float offsetY = 0;         // (letterboxing in a window)
  kit::Color clearColor = kit::Color::black();

  // The platform's status bar: a black strip 20 points high over the top
  // of the root, with statusBarClock centred in it. The host decides the
  // text (the wall clock live, a virtual one when replaying), so that a
  // frame depends on nothing but these settings and the tree.
  bool statusBarVisible = false;
  std::string statusBarClock;
};

// "9:41 AM": the clock as the status bar shows it (hour 0..23).
std::string statusBarClockText(int hour, int minute);

}  // namespace render
