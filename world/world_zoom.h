// The world's finger zoom: whether it is known to be 1, and the double
// tap's overview.
#pragma once

struct WorldZoom {
  bool isUnityScale = false, longShot = false;
  // The overview's zoom factor.
  double longShotScale = 0;

  // Every field under its name in the state dump (see visitFields).
  template <class Self, class V>
  static void fields(Self& s, V& v) {
    v("isUnityScale", s.isUnityScale);
    v("longShot", s.longShot);
    v("longShotScale", s.longShotScale);
  }
};
