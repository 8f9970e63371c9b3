// The thresholds of touch delivery and the gesture recognisers, in one
// place. The platform leaves these open; the values are ours.
//
// Distances are screen points (132 to the inch), times seconds of the main
// clock, angles radians. A finger that stays within 10 points of where it
// came down is "still" for every recogniser: a tap, a press, and a pan that
// has not begun yet all agree on that.
#pragma once

namespace kit {

struct GestureConfig {
  // --- Delivery -------------------------------------------------------------
  // Fingers beyond this many on the screen at once are ignored to their end.
  int maximumTouches = 10;

  // --- Tap --------------------------------------------------------------------
  // A finger that strays farther than this from where it came down is no tap.
  float tapSlopPoints = 10;
  // A finger held down longer than this is no tap.
  double tapMaximumDurationSeconds = 0.75;
  // A multi-tap fails unless the next tap comes down within this long after
  // the previous one lifted.
  double multiTapIntervalSeconds = 0.35;
  // ... and this close to where the first tap came down.
  float multiTapSlopPoints = 45;

  // --- Long press ---------------------------------------------------------
  // Before the press has lasted its minimum duration, a finger may move this
  // far from where it came down (exactly this far is still allowed).
  float pressAllowedMovementPoints = 10;

  // --- Pan ----------------------------------------------------------------
  // A pan begins once its touches' centroid has moved more than this from
  // where it started. The translation it reports at Began includes that
  // first movement, so a drag moves what it drags by its whole length.
  float panStartDistancePoints = 10;
  // The release velocity is the average over the touches' last this-many
  // seconds of movement (positions in between are interpolated).
  double velocityWindowSeconds = 0.1;

  // --- Rotation and pinch (two fingers) --------------------------------------
  // A rotation begins once the line between the two fingers has turned more
  // than this (2°).
  double rotationStartRadians = 0.035;
  // A pinch begins once the distance between the two fingers has changed by
  // more than this.
  float pinchStartSpanChangePoints = 8;
  // Fingers closer together than this give no direction and no usable
  // ratio of distances; their moves are not measured.
  float twoFingerMinimumSpanPoints = 1;
};

}  // namespace kit
