// The fake home screen's two pictures (the screen and the brush that rubs
// it away) and whether the trick is on.
#pragma once

#include "kit/image.h"

struct FakeHomeScreen {
  kit::ImageRef rubbingMaskImage, iPhoneDesktopImage;
  bool rubbingLayerVisible = false;

  template <class V>
  void visit(V&& v) {
    fields(*this, v);
  }
  template <class V>
  void visit(V&& v) const {
    fields(*this, v);
  }

 private:
  template <class Self, class V>
  static void fields(Self& s, V& v) {
    v("rubbingMaskImage", s.rubbingMaskImage);
    v("iPhoneDesktopImage", s.iPhoneDesktopImage);
    v("rubbingLayerVisible", s.rubbingLayerVisible);
  }
};
