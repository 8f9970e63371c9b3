#include "hosts/desktop/tablet_keys.h"

#include <algorithm>

namespace desktop {

void TabletKeyboard::press(TabletKey key, double t, bool repeat) {
  tablet_.step(t);
  switch (key) {
    case TabletKey::TurnLeft:
    case TabletKey::TurnRight:
      held_[static_cast<int>(key)] = true;
      steer();
      break;
    case TabletKey::LiftTop:
      if (!repeat) lift(kit::TabletSide::Top);
      break;
    case TabletKey::LiftBottom:
      if (!repeat) lift(kit::TabletSide::Bottom);
      break;
    case TabletKey::LiftLeft:
      if (!repeat) lift(kit::TabletSide::Left);
      break;
    case TabletKey::LiftRight:
      if (!repeat) lift(kit::TabletSide::Right);
      break;
    case TabletKey::LayFlat:
      if (!repeat) layFlat();
      break;
    // Screen points: y runs down, toward the bottom edge.
    case TabletKey::SlideLeft: slide(-kSlideStep, 0, repeat); break;
    case TabletKey::SlideRight: slide(kSlideStep, 0, repeat); break;
    case TabletKey::SlideUp: slide(0, -kSlideStep, repeat); break;
    case TabletKey::SlideDown: slide(0, kSlideStep, repeat); break;
  }
}

void TabletKeyboard::release(TabletKey key, double t) {
  if (key != TabletKey::TurnLeft && key != TabletKey::TurnRight) return;
  tablet_.step(t);
  held_[static_cast<int>(key)] = false;
  steer();
}

void TabletKeyboard::releaseAll(double t) {
  tablet_.step(t);
  held_.fill(false);
  steer();
}

void TabletKeyboard::steer() {
  const double rate =
      ((held(TabletKey::TurnLeft) ? 1 : 0) - (held(TabletKey::TurnRight) ? 1 : 0)) * kTurnRate;
  if (rate == turning_) return;
  turning_ = rate;
  tablet_.turnAtRate(rate);
}

void TabletKeyboard::lift(kit::TabletSide side) {
  double angle = kLiftStep;
  if (lifted_ == side) {
    if (liftAngle_ >= kMostLift) return;
    angle = std::min(kMostLift, liftAngle_ + kLiftStep);
  } else if (lifted_) {
    // A side lifts only about the opposite one resting on the table, which
    // for another side than the one up now means starting from flat.
    tablet_.lower(kTiltSeconds);
  }
  tablet_.lift(side, angle, kTiltSeconds);
  lifted_ = side;
  liftAngle_ = angle;
  // Every move stops a steady turn first; the key is still down.
  if (turning_ != 0) tablet_.turnAtRate(turning_);
}

void TabletKeyboard::layFlat() {
  if (!lifted_) return;
  tablet_.lower(kTiltSeconds);
  lifted_.reset();
  liftAngle_ = 0;
  if (turning_ != 0) tablet_.turnAtRate(turning_);
}

void TabletKeyboard::slide(double dx, double dy, bool repeat) {
  // A held key slides on inch by inch, but never piles up slides faster
  // than they are made: the tablet would go on moving after the key is let go.
  if (repeat && tablet_.now() < slidesEnd_) return;
  const kit::TabletPose from = tablet_.finalPose();
  tablet_.slide(dx, dy, kSlideSeconds);
  slidesEnd_ = tablet_.movesEnd();
  lastSlide_ = Slide{from, slidesEnd_};
  if (turning_ != 0) tablet_.turnAtRate(turning_);
}

}  // namespace desktop
