// The point the picture turns about (screen points), and why it is there:
// what placed it decides which rules may move it next. Every part moves it
// through here; shiftAnchor also keeps the picture still while it moves.
#pragma once

#include "kit/geometry.h"

class Pivot {
 public:
  // What placed the pivot.
  enum class Reason {
    // Fingers twisted the world about it (the launch places the centre as
    // a twist would): a flat tablet keeps it, and the frame that ends now
    // leaves the heading alone.
    Twist,
    // The fake screen centred it: counts as a twist, but this frame still
    // turns the picture.
    FakeScreen,
    // A tipped turn took the corner gravity found: the twist is forgotten.
    TippedTurn,
    // The tilt put it on the corner still on the table: the twist is
    // forgotten, this frame's too, and the corner is remembered.
    Gravity,
  };

  // Read-only copies (const, so that assigning to one does not compile).
  const kit::Point currentAnchor() const { return currentAnchor_; }
  bool anchorSetByTwist() const { return anchorSetByTwist_; }
  // A twist placed it since the last frame ended.
  bool anchorJustSetByTwist() const { return anchorJustSetByTwist_; }
  // Where the latest Gravity placing put it.
  const kit::Point lastGravityAnchor() const { return lastGravityAnchor_; }

  // Moves it and leaves the reason as it was.
  void moveTo(kit::Point anchor) { currentAnchor_ = anchor; }
  // Records why it is where it is now.
  void placedBy(Reason reason) {
    switch (reason) {
      case Reason::Twist: anchorSetByTwist_ = anchorJustSetByTwist_ = true; break;
      case Reason::FakeScreen: anchorSetByTwist_ = true; break;
      case Reason::TippedTurn: anchorSetByTwist_ = false; break;
      case Reason::Gravity:
        anchorSetByTwist_ = anchorJustSetByTwist_ = false;
        lastGravityAnchor_ = currentAnchor_;
        break;
    }
  }
  void set(kit::Point anchor, Reason reason) {
    moveTo(anchor);
    placedBy(reason);
  }
  // A twist holds the heading for the frame it came in only.
  void endFrame() { anchorJustSetByTwist_ = false; }

  // Every field under its name in the state dump (see visitFields); read
  // only, so the pivot still moves through the calls above alone.
  template <class V>
  static void fields(const Pivot& s, V& v) {
    v("currentAnchor", s.currentAnchor_);
    v("lastGravityAnchor", s.lastGravityAnchor_);
    v("anchorSetByTwist", s.anchorSetByTwist_);
    v("anchorJustSetByTwist", s.anchorJustSetByTwist_);
  }

 private:
  kit::Point currentAnchor_;
  kit::Point lastGravityAnchor_;
  bool anchorSetByTwist_ = false;
  bool anchorJustSetByTwist_ = false;
};
