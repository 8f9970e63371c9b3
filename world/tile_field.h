// The tile field's repeat: one tile is the table image's stored bitmap,
// this many points wide and high.
#pragma once

struct TileField {
  int tileHorizontalPitch = 0, tileVerticalPitch = 0;

  // Every field under its name in the state dump (see visitFields).
  template <class Self, class V>
  static void fields(Self& s, V& v) {
    v("tileHorizontalPitch", s.tileHorizontalPitch);
    v("tileVerticalPitch", s.tileVerticalPitch);
  }
};
