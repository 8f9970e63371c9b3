// The turn of the tablet in progress, as the gesture state machine tracks
// it: whether one runs, flat or tipped, its direction, when it started and
// may end, and the pivots it found.
#pragma once

#include "kit/geometry.h"

struct TurnGesture {
  bool gestureStarted = false, gestureIsFlat = false;
  int gestureDirection = 0, currentDirection = 0;
  // Radians and seconds.
  double gestureInitialYaw = 0, gestureStartTime = 0, debounceEndTime = 0;
  bool doesDebounce = false, gestureRotating = false, gestureTranslating = false;
  kit::Point currentFlatAnchor, currentGravityAnchor;

  // Every field under its name in the state dump (see visitFields).
  template <class Self, class V>
  static void fields(Self& s, V& v) {
    v("gestureStarted", s.gestureStarted);
    v("gestureIsFlat", s.gestureIsFlat);
    v("gestureDirection", s.gestureDirection);
    v("currentDirection", s.currentDirection);
    v("gestureInitialYaw", s.gestureInitialYaw);
    v("gestureStartTime", s.gestureStartTime);
    v("debounceEndTime", s.debounceEndTime);
    v("doesDebounce", s.doesDebounce);
    v("gestureRotating", s.gestureRotating);
    v("gestureTranslating", s.gestureTranslating);
    v("currentFlatAnchor", s.currentFlatAnchor);
    v("currentGravityAnchor", s.currentGravityAnchor);
  }
};
