// The fake home screen's two pictures (the screen and the brush that rubs
// it away) and whether the trick is on.
#pragma once

#include "kit/image.h"

struct FakeHomeScreen {
  kit::ImageRef rubbingMaskImage, iPhoneDesktopImage;
  bool rubbingLayerVisible = false;

  // Every field under its name in the state dump (see visitFields).
  template <class Self, class V>
  static void fields(Self& s, V& v) {
    v("rubbingMaskImage", s.rubbingMaskImage);
    v("iPhoneDesktopImage", s.iPhoneDesktopImage);
    v("rubbingLayerVisible", s.rubbingLayerVisible);
  }
};
